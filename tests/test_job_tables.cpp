#include "output/export/job_tables.h"

#include "job_photos.h"
#include "output/export/results_table.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kvx {
namespace {

using test::OwnResults;
using test::ThreePhotos;

// The job's results file is each photo's own, one after the other, under the one header.
TEST(JobResultsTable, EachPhotosOwnRowsUnderOneHeader)
{
    const std::vector<JobPhoto> photos = ThreePhotos();
    const std::string job = JobResultsTableBytes(photos, 0.5);
    const std::string head = "\xEF\xBB\xBF" + std::string(kResultsTableHeader) + "\r\n";
    std::string expected = head;
    for (const JobPhoto& p : photos) {
        const std::string own = ResultsTableBytes(p.settings, 0.5);
        ASSERT_EQ(own.substr(0, head.size()), head);
        expected += own.substr(head.size());
    }
    EXPECT_EQ(job, expected);
    // One header, and every row names its photo first, in the job's order.
    EXPECT_EQ(job.find(kResultsTableHeader), 3u);
    EXPECT_EQ(job.find(kResultsTableHeader, 4), std::string::npos);
    const std::size_t north = job.find("\r\nnorth.jpg,1,1,distance,1,2,");
    const std::size_t south = job.find("\r\nsouth.jpg,1,1,distance,1,2,");
    EXPECT_NE(north, std::string::npos);
    EXPECT_NE(south, std::string::npos);
    EXPECT_LT(north, south);
    EXPECT_EQ(job.find("empty.jpg"), std::string::npos) << "a photo without results has no rows";
    // An empty job is the header alone, as a photo without results.
    EXPECT_EQ(JobResultsTableBytes({}, 0.5), head);
}

// The totals of the job agree with the photos' own results files and with the scenes.
TEST(JobTotals, TheSumsOfEachPhotosOwnResultsFile)
{
    const std::vector<JobPhoto> photos = ThreePhotos();
    const double prices[] = {1200, 800, 500};
    std::map<std::int32_t, JobGroupTotal> expected;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        std::map<std::int32_t, JobGroupTotal> own;
        for (const test::OwnRow& r : OwnResults(photos[i])) {
            for (auto* t : {&own[r.group], &expected[r.group]}) {
                t->group = r.group;
                const bool distance = r.kind == "distance";
                (distance ? t->length : t->area) += r.value;
                t->cost += prices[i] * (distance ? r.value / 1000 : r.value);
            }
        }
        const std::vector<JobGroupTotal> totals = PhotoTotals(photos[i]);
        ASSERT_EQ(totals.size(), own.size()) << photos[i].title;
        for (const JobGroupTotal& t : totals) {
            EXPECT_DOUBLE_EQ(t.length, own[t.group].length) << photos[i].title << " group " << t.group;
            EXPECT_DOUBLE_EQ(t.area, own[t.group].area) << photos[i].title << " group " << t.group;
            EXPECT_NEAR(t.cost, own[t.group].cost, 1e-9) << photos[i].title << " group " << t.group;
        }
    }
    const std::vector<JobGroupTotal> job = JobTotals(photos);
    const std::map<std::int32_t, test::SceneTotal> scene = test::SceneTotals();
    ASSERT_EQ(job.size(), scene.size());
    for (const JobGroupTotal& t : job) {
        EXPECT_DOUBLE_EQ(t.length, expected[t.group].length) << "group " << t.group;
        EXPECT_DOUBLE_EQ(t.area, expected[t.group].area) << "group " << t.group;
        EXPECT_NEAR(t.cost, expected[t.group].cost, 1e-9) << "group " << t.group;
        // Each to its millimetre and thousandth of a m² per result.
        EXPECT_NEAR(t.length, scene.at(t.group).length, 2.0) << "group " << t.group;
        EXPECT_NEAR(t.area, scene.at(t.group).area, 0.003) << "group " << t.group;
    }
    EXPECT_EQ(job[2].distances, 2);
    EXPECT_EQ(job[2].areas, 2);
}

// ---- The workbook, read back by openpyxl ----

struct Cell {
    std::string kind;  // n, s or f
    std::string value;
    std::optional<double> cached, evaluated;
    double Number() const
    {
        double x = 0;
        const auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), x);
        EXPECT_TRUE(kind == "n" && ec == std::errc() && p == value.data() + value.size()) << kind << " " << value;
        return x;
    }
};
using Sheets = std::map<std::string, std::map<std::string, Cell>>;

std::optional<double> Repr(const std::string& text)
{
    if (text.empty() || text == "None")
        return std::nullopt;
    double x = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), x);
    if (ec != std::errc() || p != text.data() + text.size())
        return std::nullopt;
    return x;
}

Sheets ReadWorkbook(const std::filesystem::path& file)
{
    const std::string out = test::CommandOutput(std::string("/usr/bin/python3 '") + KALVEX_TEST_SOURCE_DIR + "/read_xlsx.py' '" +
                                                file.string() + "'");
    Sheets sheets;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        at = end == std::string::npos ? out.size() : end + 1;
        std::vector<std::string> f(1);
        for (const char c : line) {
            if (c == '\t')
                f.emplace_back();
            else
                f.back() += c;
        }
        if (f.size() != 6) {
            ADD_FAILURE() << "a line of the reader: " << line;
            continue;
        }
        sheets[f[0]][f[1]] = Cell{f[2], f[3], Repr(f[4]), Repr(f[5])};
    }
    return sheets;
}

WorkbookTexts English()
{
    WorkbookTexts t;
    t.resultsSheet = "Results";
    t.totalsSheet = "Totals";
    t.photo = "Photo";
    t.setting = "Setting";
    t.plane = "Plane";
    t.kind = "Kind";
    t.number = "Number";
    t.group = "Group";
    t.name = "Name";
    t.length = "Length";
    t.area = "Area";
    t.uncertainty = "Standard uncertainty";
    t.unitPrice = "Unit price";
    t.cost = "Cost";
    t.mm = "mm";
    t.m2 = "m²";
    t.m = "m";
    t.byPhoto = "Totals by photo and group";
    t.byGroup = "Totals by group over the job";
    t.total = "Total";
    return t;
}

WorkbookTexts Japanese()
{
    WorkbookTexts t = English();
    t.resultsSheet = "計測結果";
    t.totalsSheet = "合計";
    t.photo = "写真";
    t.group = "グループ";
    t.length = "長さ";
    t.area = "面積";
    t.unitPrice = "単価";
    t.cost = "金額";
    t.byPhoto = "写真とグループごとの合計";
    t.byGroup = "作業全体のグループごとの合計";
    t.total = "総計";
    return t;
}

Sheets WriteAndRead(const std::vector<JobPhoto>& photos, const WorkbookTexts& texts)
{
    test::TempFolder folder;
    const std::string bytes = WorkbookBytes(photos, 0.5, texts, folder.path());
    EXPECT_EQ(bytes.substr(0, 2), "PK") << "an xlsx file is a zip archive";
    // Nothing of the library's is left behind in the scratch folder.
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    const std::filesystem::path file = folder.path() / "read.xlsx";
    std::ofstream(file, std::ios::binary) << bytes;
    return ReadWorkbook(file);
}

class Workbook : public ::testing::TestWithParam<WorkbookTexts (*)()> {};

TEST_P(Workbook, NumbersAreNumbersAndCostsAreFormulasOverTheirCells)
{
    const WorkbookTexts t = GetParam()();
    const std::vector<JobPhoto> photos = ThreePhotos();
    Sheets sheets = WriteAndRead(photos, t);
    ASSERT_EQ(sheets.size(), 2u);
    ASSERT_TRUE(sheets.contains(t.resultsSheet));
    ASSERT_TRUE(sheets.contains(t.totalsSheet));
    auto& results = sheets[t.resultsSheet];
    // The captions in the interface's language, each quantity with its unit.
    EXPECT_EQ(results["A1"].value, t.photo);
    EXPECT_EQ(results["F1"].value, t.group);
    EXPECT_EQ(results["H1"].value, t.length + " (mm)");
    EXPECT_EQ(results["I1"].value, t.area + " (m²)");
    EXPECT_EQ(results["K1"].value, t.unitPrice + " (/m, /m²)");
    EXPECT_EQ(results["L1"].value, t.cost);

    // Every result of every photo's own results file, in order, as a number.
    const double prices[] = {1200, 800, 500};
    int row = 2;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        for (const test::OwnRow& own : OwnResults(photos[i])) {
            const std::string r = std::to_string(row);
            SCOPED_TRACE("row " + r);
            const bool distance = own.kind == "distance";
            EXPECT_EQ(results["A" + r].value, photos[i].title);
            EXPECT_EQ(results["D" + r].value, distance ? t.length : t.area);
            EXPECT_EQ(results["F" + r].Number(), own.group);
            const std::string quantityCell = (distance ? "H" : "I") + r;
            EXPECT_EQ(results[quantityCell].Number(), own.value);
            EXPECT_FALSE(results.contains((distance ? "I" : "H") + r));
            EXPECT_EQ(results["K" + r].Number(), prices[i]);
            // The cost: the quantity's cell times the price's cell, a length per metre.
            const Cell& cost = results["L" + r];
            EXPECT_EQ(cost.kind, "f");
            EXPECT_EQ(cost.value, "=" + quantityCell + (distance ? "/1000" : "") + "*K" + r);
            const double expected =
                results[quantityCell].Number() * results["K" + r].Number() / (distance ? 1000 : 1);
            ASSERT_TRUE(cost.cached && cost.evaluated);
            EXPECT_NEAR(*cost.cached, expected, 1e-9);
            EXPECT_NEAR(*cost.evaluated, expected, 1e-9);
            ++row;
        }
    }
    EXPECT_FALSE(results.contains("A" + std::to_string(row))) << "no row past the results";
    // A name that looks like a formula is text in the workbook, as typed.
    bool named = false;
    for (const auto& [cell, c] : results)
        if (cell[0] == 'G' && c.value == "=SUM(A1)")
            named = c.kind == "s";
    EXPECT_TRUE(named);
}

TEST_P(Workbook, TotalsByPhotoAndByGroupAgreeWithTheOwnResultsFiles)
{
    const WorkbookTexts t = GetParam()();
    const std::vector<JobPhoto> photos = ThreePhotos();
    Sheets sheets = WriteAndRead(photos, t);
    auto& totals = sheets[t.totalsSheet];
    EXPECT_EQ(totals["A1"].value, t.byPhoto);
    EXPECT_EQ(totals["C2"].value, t.length + " (mm)");
    const double prices[] = {1200, 800, 500};
    std::map<std::int32_t, test::SceneTotal> job;
    std::map<std::int32_t, double> jobCost;
    int row = 3;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        std::map<std::int32_t, test::SceneTotal> own;
        std::map<std::int32_t, double> ownCost;
        for (const test::OwnRow& r : OwnResults(photos[i])) {
            const bool distance = r.kind == "distance";
            (distance ? own[r.group].length : own[r.group].area) += r.value;
            ownCost[r.group] += prices[i] * (distance ? r.value / 1000 : r.value);
        }
        for (const auto& [group, sum] : own) {
            const std::string r = std::to_string(row++);
            SCOPED_TRACE(photos[i].title + " row " + r);
            EXPECT_EQ(totals["A" + r].value, photos[i].title);
            EXPECT_EQ(totals["B" + r].Number(), group);
            for (const auto& [column, expected] :
                 {std::pair{"C", sum.length}, std::pair{"D", sum.area}, std::pair{"E", ownCost[group]}}) {
                const Cell& c = totals[column + r];
                EXPECT_EQ(c.kind, "f");
                EXPECT_EQ(c.value.rfind("=SUMIFS(", 0), 0u) << c.value;
                ASSERT_TRUE(c.cached && c.evaluated) << column;
                EXPECT_NEAR(*c.cached, expected, 1e-9) << column;
                EXPECT_NEAR(*c.evaluated, expected, 1e-9) << column;
            }
            job[group].length += sum.length;
            job[group].area += sum.area;
            jobCost[group] += ownCost[group];
        }
    }
    // By group over the job, after a blank row, its title and its header.
    EXPECT_EQ(totals["A" + std::to_string(row + 1)].value, t.byGroup);
    row += 3;
    double length = 0, area = 0, cost = 0;
    const std::map<std::int32_t, test::SceneTotal> scene = test::SceneTotals();
    for (const auto& [group, sum] : job) {
        const std::string r = std::to_string(row++);
        SCOPED_TRACE("group row " + r);
        EXPECT_EQ(totals["A" + r].Number(), group);
        for (const auto& [column, expected] :
             {std::pair{"B", sum.length}, std::pair{"C", sum.area}, std::pair{"D", jobCost[group]}}) {
            const Cell& c = totals[column + r];
            ASSERT_TRUE(c.cached && c.evaluated) << column;
            EXPECT_NEAR(*c.cached, expected, 1e-9) << column;
            EXPECT_NEAR(*c.evaluated, expected, 1e-9) << column;
        }
        EXPECT_NEAR(*totals["B" + r].cached, scene.at(group).length, 2.0);
        EXPECT_NEAR(*totals["C" + r].cached, scene.at(group).area, 0.003);
        length += sum.length;
        area += sum.area;
        cost += jobCost[group];
    }
    const std::string r = std::to_string(row);
    EXPECT_EQ(totals["A" + r].value, t.total);
    for (const auto& [column, expected] : {std::pair{"B", length}, std::pair{"C", area}, std::pair{"D", cost}}) {
        const Cell& c = totals[column + r];
        EXPECT_EQ(c.value.rfind("=SUM(", 0), 0u) << c.value;
        ASSERT_TRUE(c.cached && c.evaluated) << column;
        EXPECT_NEAR(*c.cached, expected, 1e-6) << column;
        EXPECT_NEAR(*c.evaluated, expected, 1e-6) << column;
    }
}

INSTANTIATE_TEST_SUITE_P(InEitherLanguage, Workbook, ::testing::Values(&English, &Japanese),
                         [](const ::testing::TestParamInfo<WorkbookTexts (*)()>& param) {
                             return param.index == 0 ? "English" : "Japanese";
                         });

// A locale that writes decimals with a comma changes no number of the workbook.
TEST(WorkbookNumbers, TheSameUnderACommaLocale)
{
    const std::vector<JobPhoto> photos = ThreePhotos();
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    const Sheets classic = WriteAndRead(photos, English());
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no de_DE.UTF-8 locale";
    const Sheets comma = WriteAndRead(photos, English());
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_EQ(comma.size(), classic.size());
    for (const auto& [sheet, cells] : classic) {
        ASSERT_TRUE(comma.contains(sheet));
        ASSERT_EQ(comma.at(sheet).size(), cells.size()) << sheet;
        for (const auto& [cell, c] : cells) {
            const Cell& d = comma.at(sheet).at(cell);
            EXPECT_EQ(d.value, c.value) << sheet << "!" << cell;
            EXPECT_EQ(d.cached, c.cached) << sheet << "!" << cell;
        }
    }
    // The uncertainties have decimals: a comma would have cut them.
    const auto& results = classic.at("Results");
    EXPECT_NE(results.at("J2").value.find('.'), std::string::npos) << results.at("J2").value;
}

// Sheet names the spreadsheet refuses are refused before anything is written.
struct SheetName {
    std::string results, totals;
    bool accepted;
};
class WorkbookSheetNames : public ::testing::TestWithParam<SheetName> {};

TEST_P(WorkbookSheetNames, RefusedWithAWorkbookError)
{
    WorkbookTexts t = English();
    t.resultsSheet = GetParam().results;
    t.totalsSheet = GetParam().totals;
    test::TempFolder folder;
    if (GetParam().accepted) {
        EXPECT_NO_THROW(WorkbookBytes(ThreePhotos(), 0.5, t, folder.path()));
    } else {
        EXPECT_THROW(WorkbookBytes(ThreePhotos(), 0.5, t, folder.path()), WorkbookError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, WorkbookSheetNames,
    ::testing::Values(SheetName{std::string(31, 'R'), "Totals", true}, SheetName{std::string(32, 'R'), "Totals", false},
                      SheetName{"計測結果", std::string(31, 'T'), true}, SheetName{"a[b]", "Totals", false},
                      SheetName{"Results", "Results", false}, SheetName{"Results", "", false},
                      SheetName{"O'Brien's", "Totals", true}));

// A photo's name that is not UTF-8 is written as a replacement character,
// the rest of it kept, and the workbook stays readable.
TEST(WorkbookText, ANameInAnotherEncodingStaysReadable)
{
    std::vector<JobPhoto> photos = ThreePhotos();
    photos[0].title = "kita\x96k.jpg";
    photos.resize(1);
    Sheets sheets = WriteAndRead(photos, English());
    EXPECT_EQ(sheets["Results"]["A2"].value, "kita\xEF\xBF\xBDk.jpg");
    EXPECT_EQ(sheets["Totals"]["A3"].value, "kita\xEF\xBF\xBDk.jpg");
}

// A job without results still has both sheets, and its total is nothing.
TEST(WorkbookText, AJobWithoutResults)
{
    std::vector<JobPhoto> photos = ThreePhotos();
    photos.erase(photos.begin(), photos.begin() + 2);
    Sheets sheets = WriteAndRead(photos, English());
    EXPECT_EQ(sheets["Results"].size(), 12u) << "the header alone";
    EXPECT_EQ(sheets["Totals"]["A6"].value, "Total");
    EXPECT_EQ(sheets["Totals"]["D6"].Number(), 0.0);
}

} // namespace
} // namespace kvx
