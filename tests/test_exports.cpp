#include "output/export/exports.h"
#include "output/export/results_table.h"
#include "output/pd25/pd25.h"

#include "measure/calibration.h"
#include "measure/cp932.h"
#include "scene.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace kvx {
namespace {

constexpr double kStep = 0.9765625;

// A wall straight on at 0.5 px per mm: points half a step past whole
// thousands map back to exactly those thousands.
class Exports : public ::testing::Test {
protected:
    const test::Camera cam{0, 0, 6000, 3000};
    Document doc;

    void SetUp() override { SetReferenceRect(doc, cam.Rect(0, 0, 1000, 1000), true); }
    TDPoint At(double X, double Y) const { return cam.Project(X + kStep / 2, Y + kStep / 2); }

    void Dist(double x1, double y1, double x2, double y2, std::int32_t group, std::int32_t prev, std::int32_t next)
    {
        TDistance d;
        d.group = group;
        d.start = At(x1, y1);
        d.end = At(x2, y2);
        d.prev = prev;
        d.next = next;
        doc.Plane.Distances.Append(d);
    }
    TSpace& Rect(double x1, double y1, double x2, double y2, std::uint8_t kind, std::int32_t group, const char* name)
    {
        TSpace s;
        s.group = group;
        s.kind = kind;
        s.points = {At(x1, y1), At(x2, y1), At(x2, y2), At(x1, y2), At(x1, y1)};
        s.correctedPoints.resize(5);
        s.name = AreaNameFromUtf8(name);
        const std::int32_t i = doc.Plane.Spaces.Append(s);
        return doc.Plane.Spaces[i];
    }
    void Fill()
    {
        Dist(-1500, 0, -500, 0, 0, 0, 2);
        Dist(-500, 0, 500, 0, 0, 1, 3);
        Dist(500, 0, 1500, 0, 0, 2, 0);
        Dist(0, 0, -3000, -4000, 2, 0, 0);
        Rect(0, 0, 2000, 1000, kSpaceAdd, 0, "外壁");
        Rect(0, 0, 1000, 1000, kSpaceSub, 0, "").corrected = 1;  // not in force: no cross line
        Rect(-1000, -2000, 0, -1000, kSpaceAdd, 1, "勾配").slantH = 60;
    }
};

std::string Cp(const std::string& utf8)
{
    return Utf8ToCp932(utf8);
}

TEST_F(Exports, EmptyCsvHasFourteenLines)
{
    const std::string expected = Cp("[距離]") + "\r\n0, 0\r\n1, 0\r\n2, 0\r\n3, 0\r\n4, 0\r\n5, 0\r\n" + Cp("[面積]") +
                                 "\r\n0, 0\r\n1, 0\r\n2, 0\r\n3, 0\r\n4, 0\r\n5, 0\r\n";
    EXPECT_EQ(CsvBytes(doc, true), expected);
}

TEST_F(Exports, CsvBytesWithChainsGroupsNamesAndSlopes)
{
    Fill();
    const std::string expected = Cp("[距離]") + "\r\n" +
                                 "0, 3\r\n"
                                 " 1000, 1000, 0, 0.000,\r\n"
                                 " 1000, 1000, 0, 0.000,\r\n"
                                 " 1000, 1000, 0, 0.000, 3000\r\n"
                                 "1, 0\r\n"
                                 "2, 1\r\n"
                                 " 5000, 3000, 4000, -126.870, 5000\r\n"
                                 "3, 0\r\n4, 0\r\n5, 0\r\n" +
                                 Cp("[面積]") + "\r\n" +
                                 "0, 2\r\n"
                                 " +2.000, 6000," + Cp("外壁") + "\r\n" +
                                 " -1.000, 4000,\r\n"
                                 "1, 1\r\n"
                                 " +2.000, 6000," + Cp("勾配") + "\r\n" +
                                 "2, 0\r\n3, 0\r\n4, 0\r\n5, 0\r\n";
    EXPECT_EQ(CsvBytes(doc, true), expected);

    // Names hidden: the name and its comma go.
    const std::string hidden = CsvBytes(doc, false);
    EXPECT_NE(hidden.find(" +2.000, 6000\r\n"), std::string::npos);
    EXPECT_NE(hidden.find(" -1.000, 4000\r\n"), std::string::npos);
    EXPECT_EQ(hidden.find(Cp("外壁")), std::string::npos);
}

// Links that are not adjacent and mutual chain nothing, in the CSV as on the
// photo: a half-open link left by a chain saved while it was drawn must not
// take away the distance's total.
TEST_F(Exports, CsvFollowsOnlyMutualLinks)
{
    Dist(0, 0, 1000, 0, 0, 0, 2);     // points at a segment that never came
    Dist(0, 0, 0, 2000, 0, 0, 0);     // a single distance after it
    Dist(0, 0, 3000, 0, 0, 0, 9);     // points past the end
    const std::string csv = CsvBytes(doc, true);
    EXPECT_NE(csv.find(" 1000, 1000, 0, 0.000, 1000\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(" 2000, 0, 2000, 90.000, 2000\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(" 3000, 3000, 0, 0.000, 3000\r\n"), std::string::npos) << csv;
}

TEST_F(Exports, CsvQuotesNamesThatWouldSplitTheRecord)
{
    const std::pair<std::string, std::string> cases[] = {
        {"外壁", Cp("外壁")},  // without them: as before
        {"表,裏", "\"" + Cp("表,裏") + "\""},
        {"A\"型\"", "\"A\"\"" + Cp("型") + "\"\"\""},
        {"一行\r\n二行", "\"" + Cp("一行") + "\r\n" + Cp("二行") + "\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"\"", "\"\"\"\""},
        {"ソ表", Cp("ソ表")},  // second bytes 0x5C and 0x95 are no special characters
    };
    for (const auto& [name, field] : cases) {
        doc = Document();
        SetUp();
        Rect(0, 0, 2000, 1000, kSpaceAdd, 0, "").name = Cp(name);
        EXPECT_EQ(CsvBytes(doc, true),
                  Cp("[距離]") + "\r\n0, 0\r\n1, 0\r\n2, 0\r\n3, 0\r\n4, 0\r\n5, 0\r\n" + Cp("[面積]") +
                      "\r\n0, 1\r\n +2.000, 6000," + field + "\r\n1, 0\r\n2, 0\r\n3, 0\r\n4, 0\r\n5, 0\r\n")
            << name;
    }
}

TEST_F(Exports, SdBytesShiftByTheAddedAreasOfAllGroups)
{
    Fill();
    // The sloped added area of group 1 reaches X = -2000 (1000 mm at 60 degrees)
    // and Y = -2000: every group is shifted by 2000 in both.
    const std::string expected = Cp("外壁") +
                                 ", 0, 1\r\n"
                                 "4, 2000.000, 2000.000, 4000.000, 2000.000, 4000.000, 3000.000, 2000.000, 3000.000\r\n"
                                 ", 0, 0\r\n"
                                 "4, 2000.000, 2000.000, 3000.000, 2000.000, 3000.000, 3000.000, 2000.000, 3000.000\r\n";
    EXPECT_EQ(SdBytes(doc, 0), expected);
    EXPECT_EQ(SdBytes(doc, 1), Cp("勾配") + ", 1, 1\r\n4, 0.000, 0.000, 2000.000, 0.000, 2000.000, 1000.000, 0.000, 1000.000\r\n");
    EXPECT_EQ(SdBytes(doc, 3), "");

    TSpace lone;
    lone.group = 4;
    lone.kind = 5;
    lone.points = {At(0, 0)};
    doc.Plane.Spaces.Append(lone);
    EXPECT_EQ(SdBytes(doc, 4), ", 4, 1\r\n0\r\n") << "any non-zero kind counts as added; no vertices, no list";
}

// The records of a file as Python's csv module reads them: an independent
// reader, the kind a spreadsheet or a script of the user's would be.
std::vector<std::vector<std::string>> ReadWithPython(const std::filesystem::path& file, const char* encoding, bool space)
{
    const std::string command = std::string("python3 '") + KALVEX_TEST_SOURCE_DIR + "/read_csv.py' '" + file.string() +
                                "' " + encoding + (space ? " --space" : "");
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    if (pipe) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        EXPECT_EQ(pclose(pipe), 0) << command;
    } else {
        ADD_FAILURE() << "cannot run " << command;
    }
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    for (const char c : out) {
        if (c == '\x1f') {
            record.push_back(std::exchange(field, {}));
        } else if (c == '\x1e') {
            record.push_back(std::exchange(field, {}));
            records.push_back(std::exchange(record, {}));
        } else {
            field += c;
        }
    }
    return records;
}

// An area's name in each file that carries it: the CSV and the results file
// keep it one field and never let a spreadsheet run it as a formula; the
// outline file keeps it one field too, as it is.
struct NameCase {
    const char* name;      // UTF-8, as typed
    const char* csvField;  // UTF-8 of the exact field written into the CSV
    const char* sdField;   // the same for the outline file
    const char* cell;      // what a CSV reader finds in the CSV and the results file
};

class NamesInExports : public Exports, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NamesInExports, StayOneFieldAndNeverAFormula)
{
    const NameCase& c = GetParam();
    Rect(0, 0, 2000, 1000, kSpaceAdd, 2, "").name = Cp(c.name);

    const std::string csv = CsvBytes(doc, true);
    EXPECT_EQ(csv, Cp("[距離]") + "\r\n0, 0\r\n1, 0\r\n2, 0\r\n3, 0\r\n4, 0\r\n5, 0\r\n" + Cp("[面積]") +
                       "\r\n0, 0\r\n1, 0\r\n2, 1\r\n +2.000, 6000," + Cp(c.csvField) + "\r\n3, 0\r\n4, 0\r\n5, 0\r\n");
    const std::string sd = SdBytes(doc, 2);
    EXPECT_EQ(sd, Cp(c.sdField) + ", 2, 1\r\n4, 0.000, 0.000, 2000.000, 0.000, 2000.000, 1000.000, 0.000, 1000.000\r\n");
    doc.ImageFileName = "/photos/wall.jpg";
    const std::string table = ResultsTableBytes({doc}, 0.5);

    test::TempFolder folder;
    const auto csvFile = folder.path() / "areas.csv";
    const auto sdFile = folder.path() / "areas.jts";
    const auto tableFile = folder.path() / "results.csv";
    test::WriteAll(csvFile, csv);
    test::WriteAll(sdFile, sd);
    test::WriteAll(tableFile, table);

    const auto csvRecords = ReadWithPython(csvFile, "cp932", false);
    ASSERT_EQ(csvRecords.size(), 15u);
    EXPECT_EQ(csvRecords[11], (std::vector<std::string>{" +2.000", " 6000", c.cell}));

    const auto sdRecords = ReadWithPython(sdFile, "cp932", true);
    ASSERT_EQ(sdRecords.size(), 2u);
    EXPECT_EQ(sdRecords[0], (std::vector<std::string>{c.name, "2", "1"})) << "the group and kind stay in their fields";

    const auto tableRecords = ReadWithPython(tableFile, "utf-8-sig", false);
    ASSERT_EQ(tableRecords.size(), 2u);
    ASSERT_EQ(tableRecords[1].size(), 14u);
    EXPECT_EQ(tableRecords[1][0], "wall.jpg");
    EXPECT_EQ(tableRecords[1][3], "area");
    EXPECT_EQ(tableRecords[1][5], "2");
    EXPECT_EQ(tableRecords[1][6], c.cell);
    EXPECT_EQ(tableRecords[1][7], "2.000");
}

INSTANTIATE_TEST_SUITE_P(
    Exports, NamesInExports,
    ::testing::Values(NameCase{"外壁", "外壁", "外壁", "外壁"},  // ordinary names: the bytes of before
                      NameCase{"", "", "", ""},
                      NameCase{"Window, 9, 0, 0, 1", "\"Window, 9, 0, 0, 1\"", "\"Window, 9, 0, 0, 1\"",
                               "Window, 9, 0, 0, 1"},
                      NameCase{"A\"B", "\"A\"\"B\"", "\"A\"\"B\"", "A\"B"},
                      NameCase{"=1+2", "'=1+2", "=1+2", "'=1+2"},
                      NameCase{"+1", "'+1", "+1", "'+1"},
                      NameCase{"-1", "'-1", "-1", "'-1"},
                      NameCase{"@SUM(A1)", "'@SUM(A1)", "@SUM(A1)", "'@SUM(A1)"},
                      NameCase{"\tx", "'\tx", "\tx", "'\tx"},
                      NameCase{"=HYPERLINK(\"a\",\"b\")", "\"'=HYPERLINK(\"\"a\"\",\"\"b\"\")\"",
                               "\"=HYPERLINK(\"\"a\"\",\"\"b\"\")\"", "'=HYPERLINK(\"a\",\"b\")"},
                      NameCase{"a=b-c", "a=b-c", "a=b-c", "a=b-c"},  // only a leading character starts a formula
                      NameCase{"＝全角", "＝全角", "＝全角", "＝全角"}),
    [](const auto& tp) { return "name" + std::to_string(tp.index); });

TEST(ResultsTable, APhotoNamedLikeAFormulaIsText)
{
    Document doc;
    doc.ImageFileName = "/photos/=cmd.jpg";
    TDistance d;
    d.end = {10, 0};
    doc.Plane.Distances.Append(d);
    const std::string table = ResultsTableBytes({doc}, 0.5);
    EXPECT_EQ(table.substr(table.find("\r\n") + 2, 12), "'=cmd.jpg,1,");
}

TEST(Pd25, ListLinesAndUnits)
{
    EXPECT_EQ(Pd25ListLine("1,2,1.234,m,5,6"), "         1,   2,        1.234,    m,   5,   6");
    EXPECT_EQ(Pd25ListLine("A"), "         A,    ,             ,     ,    ,    ");
    EXPECT_EQ(Pd25ListLine("12345678901,x,y"), "12345678901,   x,            y,     ,    ,    ") << "never cut";

    struct Case {
        const char* line;
        const char* field;
    };
    const Case cases[] = {
        {"1,2,1.234,m,5,6", "1234"},
        {"1,2,56.7,cm,5,6", "567"},
        {"1,2,890,mm,5,6", "890"},
        {"1,2,2.5,ｍ,,", "2500"},
        {"1,2,3,㎝,,", "30"},
        {"1,2,4,㎜,,", "4"},
        {"1,2,3.5,ft,,", "1066.8"},
        {"1,2,10,FT,,", "3048"},
        {"1,2,12.5,in,,", "317.5"},
        {"1,2,2,ｉｎ,,", "50.8"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Pd25FieldText(Pd25ListLine(c.line)), std::optional<std::string>(c.field)) << c.line;
        EXPECT_EQ(Pd25Millimetres(Pd25ListLine(c.line)).refusal, "") << c.line;
    }

    // Any other unit, or none, gives no length and says which unit it was.
    const std::pair<const char*, const char*> refused[] = {
        {"1,2,3.5,yd,,", "'yd'"},
        {"No,Type,Value,Unit,A,B", "'Unit'"},
        {"1,2,3,ｍｉ,,", "'ｍｉ'"},
        {"1,2", "単位のない"},
        {"3,x,7", "単位のない"},
    };
    for (const auto& [line, named] : refused) {
        const Pd25Length length = Pd25Millimetres(Pd25ListLine(line));
        EXPECT_FALSE(length.millimetres.has_value()) << line;
        EXPECT_NE(length.refusal.find(named), std::string::npos) << length.refusal;
        EXPECT_FALSE(Pd25FieldText(Pd25ListLine(line)).has_value()) << line;
    }
}

TEST(Pd25, FilesOfTheMeterAndFilesThatAreNot)
{
    test::TempFolder folder;
    const auto file = folder.path() / "pd25.csv";
    test::WriteAll(file, Utf8ToCp932("番号,種別,値,単位,日付,時刻\r\n1,距離,1.234,m,1,2\r\n2,距離,45.6,cm,1,2\n3,x,7"));
    const auto lines = ReadPd25File(file);
    ASSERT_TRUE(lines.has_value());
    ASSERT_EQ(lines->size(), 4u);
    EXPECT_EQ((*lines)[0], "      番号, 種別,           値, 単位, 日付, 時刻");
    EXPECT_EQ(Pd25FieldText((*lines)[1]), std::optional<std::string>("1234"));
    EXPECT_EQ(Pd25FieldText((*lines)[2]), std::optional<std::string>("456"));
    EXPECT_FALSE(Pd25FieldText((*lines)[3]).has_value()) << "a value without its unit";

    test::WriteAll(file, std::string("\x00\xff\x81,\xfe", 5) + std::string(100000, 'x') + "\nend");
    const auto junk = ReadPd25File(file);
    ASSERT_TRUE(junk.has_value());
    EXPECT_EQ(junk->size(), 2u);
    EXPECT_LT((*junk)[0].size(), 2000u) << "an overlong line is cut";

    EXPECT_FALSE(ReadPd25File(folder.path() / "missing.csv").has_value());
    EXPECT_FALSE(ReadPd25File(folder.path()).has_value());
}

} // namespace
} // namespace kvx
