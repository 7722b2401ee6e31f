#include "output/export/results_table.h"

#include "documents.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"
#include "output/export/exports.h"
#include "scene.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string>
#include <vector>

namespace kvx {
namespace {

using test::Camera;
using Record = std::vector<std::string>;

// RFC 4180 read back independently: fields separated by commas, records by
// CR LF, a quoted field may hold commas, doubled quotes and line breaks.
std::vector<Record> ReadRfc4180(std::string_view text)
{
    std::vector<Record> records;
    Record record;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            EXPECT_TRUE(field.empty()) << "a quote inside an unquoted field";
            quoted = true;
        } else if (c == ',') {
            record.push_back(std::exchange(field, {}));
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record.push_back(std::exchange(field, {}));
            records.push_back(std::exchange(record, {}));
            ++i;
        } else {
            EXPECT_NE(c, '\n') << "a bare line feed";
            field += c;
        }
    }
    EXPECT_FALSE(quoted);
    EXPECT_TRUE(field.empty() && record.empty()) << "the last record ends with CR LF";
    return records;
}

// A plain decimal with a point, and nothing else.
double Number(const std::string& text)
{
    EXPECT_EQ(text.find_first_not_of("-.0123456789"), std::string::npos) << "'" << text << "'";
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    EXPECT_TRUE(ec == std::errc() && end == text.data() + text.size()) << "'" << text << "'";
    return v;
}

// The numbers of the CSV in its order: each group's distances, then each
// group's areas.
struct CsvNumbers {
    std::vector<double> distances;
    std::vector<double> areas;
};

CsvNumbers ReadCsv(const std::string& cp932)
{
    CsvNumbers out;
    const std::string text = Cp932ToUtf8(cp932);
    bool areas = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        if (line == "[面積]")
            areas = true;
        if (line.empty() || line[0] != ' ')
            continue;
        const std::string first = line.substr(1, line.find(',') - 1);
        (areas ? out.areas : out.distances).push_back(Number(first[0] == '+' ? first.substr(1) : first));
    }
    return out;
}

constexpr double kSigma = 0.5;

struct Fixture {
    test::TempFolder folder;
    test::ScriptedUi ui;
    Camera cam{30, 10};
    Document doc;

    // Setting 1 measured and saved to the working files, then setting 4 built
    // and measured on both planes, not saved: the current setting.
    Fixture()
    {
        doc.ImageFileName = "/photos/site, \"north\".jpg";
        doc.CurrentSetting = 1;
        SetReferenceRect(doc, cam.Rect(0, 0, 1000, 800), true);
        doc.KijunHText = "800";
        auto add = [&](std::int32_t group, TDPoint a, TDPoint b) {
            TDistance d;
            d.group = group;
            d.start = cam.Project(a.x, a.y);
            d.end = cam.Project(b.x, b.y);
            doc.Plane.Distances.Append(d);
        };
        add(2, {-400, -300}, {600, 200});
        add(0, {-900, 100}, {1800, -600});
        add(2, {100, 100}, {300, 700});
        auto area = [&](std::uint8_t kind, TDPoint c, double w, double h, const char* name, double slantV) {
            TSpace s;
            s.kind = kind;
            s.group = kind == kSpaceAdd ? 1 : 0;
            s.points = {cam.Project(c.x - w / 2, c.y + h / 2), cam.Project(c.x + w / 2, c.y + h / 2),
                        cam.Project(c.x + w / 2, c.y - h / 2), cam.Project(c.x - w / 2, c.y - h / 2)};
            s.points.push_back(s.points.front());
            s.correctedPoints.resize(s.points.size());
            s.name = Utf8ToCp932(name);
            s.slantV = slantV;
            doc.Plane.Spaces.Append(s);
        };
        area(kSpaceAdd, {0, 0}, 2000, 1500, "壁,東", 0);
        area(kSpaceSub, {200, 100}, 600, 400, "窓 \"大\"", 0);
        area(kSpaceAdd, {-500, 600}, 800, 500, "屋根", 22.5);
        EXPECT_TRUE(SaveCurrentSetting(doc, folder.path(), ui).all);
        setting1 = doc;

        LoadSetting(doc, 4, folder.path());
        test::TwoPlanes(doc);
        doc.Plane.Distances.Append(TDistance{0, {100, 300}, {400, 500}});
        {
            const ParkedPlaneScope right(doc);
            doc.Plane.Distances.Append(TDistance{3, {600, 300}, {900, 450}});
            doc.Plane.Distances.Append(TDistance{3, {650, 350}, {700, 600}});
        }
    }
    Document setting1;
};

TEST(ResultsTable, EverySettingEveryPlaneWithItsUncertainty)
{
    Fixture f;
    const std::string bytes = ResultsTableBytes(EverySetting(f.doc, f.folder.path()), kSigma);
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF") << "a byte-order mark";
    const std::vector<Record> records = ReadRfc4180(std::string_view(bytes).substr(3));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0], (Record{"photo", "setting", "plane", "kind", "number", "group", "name", "value", "unit",
                                  "uncertainty", "slope_v", "slope_h", "corrected", "check_length"}));
    for (const Record& r : records)
        ASSERT_EQ(r.size(), 14u);
    ASSERT_EQ(records.size(), 1u + 3 + 3 + 1 + 2);

    // Setting 1 from its working file: the distances, then the areas.
    const Document& s1 = f.setting1;
    for (std::size_t k = 0; k < 6; ++k) {
        const Record& r = records[1 + k];
        SCOPED_TRACE(k);
        EXPECT_EQ(r[0], "site, \"north\".jpg");
        EXPECT_EQ(r[1], "1");
        EXPECT_EQ(r[2], "1");
        const bool distance = k < 3;
        const std::int32_t i = static_cast<std::int32_t>(distance ? k + 1 : k - 2);
        EXPECT_EQ(r[3], distance ? "distance" : "area");
        EXPECT_EQ(r[4], std::to_string(i));
        EXPECT_EQ(r[8], distance ? "mm" : "m2");
        // The uncertainties as the file writes them: two significant figures.
        static constexpr const char* kUncertainty[] = {"2.0", "8.2", "2.2", "0.0059", "0.00094", "0.0033"};
        EXPECT_EQ(r[9], kUncertainty[k]);
        EXPECT_GT(Number(r[9]), 0);
        EXPECT_EQ(r[12], "0");
        EXPECT_EQ(r[13], "");
        if (distance) {
            EXPECT_EQ(r[5], std::to_string(s1.Plane.Distances[i].group));
            EXPECT_EQ(r[6], "");
            EXPECT_EQ(r[10], "");
        } else {
            EXPECT_EQ(r[6], Cp932ToUtf8(s1.Plane.Spaces[i].name));
            EXPECT_EQ(Number(r[10]), s1.Plane.Spaces[i].slantV);
            EXPECT_EQ(Number(r[11]), 0);
        }
    }
    EXPECT_EQ(records[4][6], "壁,東");
    EXPECT_EQ(records[5][6], "窓 \"大\"");
    EXPECT_EQ(records[6][10], "22.5");
    EXPECT_LT(Number(records[5][7]), 0) << "a subtracted area counts against the total";

    // Setting 4: the left plane as plane 1, the right one as plane 2.
    EXPECT_EQ((Record{records[7][1], records[7][2], records[7][3], records[7][4]}), (Record{"4", "1", "distance", "1"}));
    EXPECT_EQ((Record{records[8][1], records[8][2], records[8][5]}), (Record{"4", "2", "3"}));
    EXPECT_EQ((Record{records[9][1], records[9][2], records[9][4]}), (Record{"4", "2", "2"}));
    EXPECT_EQ(records[9][9], "3.5");

    // The raw bytes: quoted exactly where RFC 4180 wants it, CR LF everywhere.
    EXPECT_NE(bytes.find("\r\n\"site, \"\"north\"\".jpg\",1,1,area,1,1,\"壁,東\","), std::string::npos) << bytes;
    EXPECT_NE(bytes.find(",\"窓 \"\"大\"\"\","), std::string::npos);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'));
}

// Where the CSV has a number the results file has the same one.
TEST(ResultsTable, NumbersEqualToTheCsvs)
{
    Fixture f;
    const Document& s1 = f.setting1;
    const std::vector<Record> records =
        ReadRfc4180(std::string_view(ResultsTableBytes({s1}, kSigma)).substr(3));
    const CsvNumbers csv = ReadCsv(CsvBytes(s1, true));

    // The CSV lists each group's in turn.
    std::vector<Record> distances, areas;
    for (std::size_t k = 1; k < records.size(); ++k)
        (records[k][3] == "distance" ? distances : areas).push_back(records[k]);
    auto byGroup = [](const Record& a, const Record& b) { return std::stoi(a[5]) < std::stoi(b[5]); };
    std::stable_sort(distances.begin(), distances.end(), byGroup);
    std::stable_sort(areas.begin(), areas.end(), byGroup);
    ASSERT_EQ(distances.size(), csv.distances.size());
    ASSERT_EQ(areas.size(), csv.areas.size());
    for (std::size_t k = 0; k < distances.size(); ++k)
        EXPECT_EQ(Number(distances[k][7]), csv.distances[k]) << k;
    for (std::size_t k = 0; k < areas.size(); ++k)
        EXPECT_EQ(Number(areas[k][7]), csv.areas[k]) << k;
    EXPECT_LT(csv.areas[0], 0) << "the subtracted area of group 0 comes first, signed in both";
}

// The current setting is written as it is now, not as its working file
// last held it; settings without a working file have no rows.
TEST(ResultsTable, TheCurrentSettingAsItIsNow)
{
    Fixture f;
    Document now = f.setting1;
    now.Plane.Distances.Append(TDistance{5, {100, 100}, {900, 120}});
    const std::vector<Document> settings = EverySetting(now, f.folder.path());
    ASSERT_EQ(settings.size(), 1u) << "only setting 1 has a working file; setting 4 was never saved";
    EXPECT_EQ(settings[0].Plane.DistanceCount(), 4);
}

TEST(ResultsTable, ADamagedWorkingFileIsTold)
{
    Fixture f;
    const std::filesystem::path one = WorkingFile(f.folder.path(), 1);
    std::string bytes;
    {
        std::ifstream in(one, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(one, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
    EXPECT_THROW(EverySetting(f.doc, f.folder.path()), WorkFileReadError);
}

TEST(ResultsTable, FieldsQuotedAsRfc4180)
{
    EXPECT_EQ(TableField("plain"), "plain");
    EXPECT_EQ(TableField(""), "");
    EXPECT_EQ(TableField("a,b"), "\"a,b\"");
    EXPECT_EQ(TableField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(TableField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(TableField("lf\nonly"), "\"lf\nonly\"");
}

} // namespace
} // namespace kvx
