// Check distances: the deviation arithmetic against a camera that knows the
// true lengths, the known length as typed, and the file of their own beside
// the working files.

#include "measure/checks.h"

#include "documents.h"
#include "measure/calibration.h"
#include "measure/cp932.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/export/results_table.h"
#include "scene.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::Camera;

constexpr double kSigma = 0.5;

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A wall seen at 30 degrees with a 1000 x 800 reference in its middle.
struct Wall {
    Camera cam{30, 10};
    Document doc;
    Wall()
    {
        doc.ImageFileName = "/photos/wall.jpg";
        doc.ImageCheckSum = 1234;
        SetReferenceRect(doc, cam.Rect(0, 0, 1000, 800), true);
        doc.KijunHText = "800";
    }
    // A check along a line of the wall whose true length is length, typed
    // as known.
    std::int32_t Check(TDPoint from, TDPoint to, double known)
    {
        return doc.Plane.Checks.Append(TCheck{cam.Project(from.x, from.y), cam.Project(to.x, to.y), known});
    }
};

// The measured length is the wall's, the deviation is measured less known,
// and a deviation within twice the uncertainty is told apart from one beyond it.
TEST(Checks, DeviationAgainstTheTrueLength)
{
    struct Case {
        const char* what;
        TDPoint from, to;
        double typedOff;  // the known length typed is the true one times (1 + typedOff)
        bool within;
    } const cases[] = {
        {"exact, near the reference", {-300, -200}, {300, -200}, 0.0, true},
        {"exact, far along the wall", {1500, 0}, {3000, 0}, 0.0, true},
        {"a metre typed as 1010 mm", {-500, 300}, {500, 300}, 0.01, false},
        {"a tenth of the uncertainty off", {-400, 0}, {400, 0}, 1e-4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Wall w;
        const double truth = std::hypot(c.to.x - c.from.x, c.to.y - c.from.y);
        w.Check(c.from, c.to, truth * (1 + c.typedOff));
        const std::vector<CheckResult> r = CheckResults(w.doc, kSigma);
        ASSERT_EQ(r.size(), 1u);
        // The perspective construction walks in steps of about a millimetre.
        EXPECT_NEAR(r[0].measured, truth, 1.0);
        EXPECT_DOUBLE_EQ(r[0].deviation, r[0].measured - r[0].known);
        EXPECT_DOUBLE_EQ(r[0].relative, r[0].deviation / r[0].known);
        ASSERT_TRUE(r[0].uncertainty);
        EXPECT_EQ(r[0].uncertainty, SegmentUncertainty(w.doc, w.doc.Plane.Checks[1].start, w.doc.Plane.Checks[1].end, kSigma));
        EXPECT_EQ(r[0].within, c.within) << r[0].deviation << " against ±" << *r[0].uncertainty;
    }
}

TEST(Checks, SummaryOfSeveral)
{
    std::vector<CheckResult> checks(3);
    checks[0] = {1, 1000, 1002, 2, 0.002, 1.5, true};
    checks[1] = {2, 500, 494, -6, -0.012, 1.0, false};
    checks[2] = {3, 2000, 2003, 3, 0.0015, 2.0, true};
    const CheckSummary s = SummariseChecks(checks);
    EXPECT_EQ(s.count, 3);
    EXPECT_EQ(s.within, 2);
    EXPECT_EQ(s.largest, -6) << "the largest deviation keeps its sign";
    EXPECT_EQ(s.largestRelative, -0.012);
    EXPECT_NEAR(s.rms, std::sqrt((4.0 + 36 + 9) / 3), 1e-12);
    EXPECT_NEAR(s.rmsRelative, std::sqrt((0.002 * 0.002 + 0.012 * 0.012 + 0.0015 * 0.0015) / 3), 1e-15);
    EXPECT_EQ(SummariseChecks({}).count, 0);
    EXPECT_EQ(CheckSummaryLine(SummariseChecks({})), "");
    EXPECT_EQ(DeviationText(-6, -0.012), "-6.0㎜ (-1.20 %)");
    EXPECT_EQ(DeviationText(2, 0.002), "+2.0㎜ (+0.20 %)");
}

TEST(Checks, NothingWithoutAReference)
{
    Document doc;
    doc.Plane.Checks.Append(TCheck{{0, 0}, {100, 0}, 1000});
    EXPECT_TRUE(CheckResults(doc, kSigma).empty());
}

TEST(Checks, KnownLengthAsTyped)
{
    struct Case {
        std::string typed;
        std::optional<double> length;
    } const cases[] = {
        {"1000", 1000},
        {"1250.5", 1250.5},
        {"1,250.5", 1250.5},
        {" 900 mm", 900},
        {"900㎜", 900},
        {"１２３４．５", 1234.5},
        {"２，０００ｍｍ", 2000},
        {".5", 0.5},
        // Anything else is refused rather than read leniently: "1.000" is
        // read as one, as a point is a point, never a thousands mark.
        {"1.000", 1},
        {"12,345,678.25", std::nullopt},
        {"999,999.5", 999999.5},
        {"1,5", std::nullopt},
        {"1.000,5", std::nullopt},
        {",500", std::nullopt},
        {"1000,000", std::nullopt},
        {"1,0000", std::nullopt},
        {"1,000,", std::nullopt},
        {"0.1", 0.1},
        {"0.05", std::nullopt},
        {"0.00001", std::nullopt},
        {"1000000", 1e6},
        {"1000000.5", std::nullopt},
        {"123456789012345", std::nullopt},
        {"", std::nullopt},
        {"mm", std::nullopt},
        {"0", std::nullopt},
        {"-100", std::nullopt},
        {"+100", std::nullopt},
        {"1e3", std::nullopt},
        {"100 cm", std::nullopt},
        {"約1000", std::nullopt},
        {"12+3", std::nullopt},
        {"nan", std::nullopt},
        {"1" + std::string(400, '0'), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseKnownLength(c.typed), c.length) << "'" << c.typed << "'";
}

// --- the check file -----------------------------------------------------------

struct Saved {
    test::TempFolder folder;
    test::ScriptedUi ui;
    Wall wall;
};

TEST(CheckFile, KeptBesideThePlaneAndReadBack)
{
    Saved s;
    Document& doc = s.wall.doc;
    doc.CurrentSetting = 2;
    const std::string planeWithout = EncodePlaneFile(doc);
    s.wall.Check({-300, 0}, {300, 0}, 600);
    s.wall.Check({0, -1000}, {0.1234567, 1000}, 2000.25);
    EXPECT_EQ(EncodePlaneFile(doc), planeWithout) << "the plane file stays as it was";
    ASSERT_TRUE(SaveCurrentSetting(doc, s.folder.path(), s.ui).all);
    EXPECT_TRUE(fs::exists(s.folder.path() / "check2.tmp"));

    Document back;
    back.ImageFileName = doc.ImageFileName;
    ASSERT_TRUE(LoadSetting(back, 2, s.folder.path()));
    EXPECT_EQ(back.Plane.Checks, doc.Plane.Checks) << "every coordinate to the last bit";

    // No check left: no file, not an empty one.
    doc.Plane.Checks.Clear();
    ASSERT_TRUE(SaveCurrentSetting(doc, s.folder.path(), s.ui).all);
    EXPECT_FALSE(fs::exists(s.folder.path() / "check2.tmp"));
    ASSERT_TRUE(LoadSetting(back, 2, s.folder.path()));
    EXPECT_TRUE(back.Plane.Checks.empty());
}

TEST(CheckFile, EachPlaneOfTheTwoPlaneSettingHasItsOwn)
{
    Saved s;
    Document doc;
    test::TwoPlanes(doc);
    doc.Plane.Checks.Append(TCheck{{100, 300}, {400, 300}, 1000});
    {
        const ParkedPlaneScope right(doc);
        doc.Plane.Checks.Append(TCheck{{600, 300}, {900, 320}, 1500});
        doc.Plane.Checks.Append(TCheck{{650, 350}, {700, 600}, 800});
    }
    doc.KijunWText = "1500.0";
    const Document before = doc;
    ASSERT_TRUE(SaveCurrentSetting(doc, s.folder.path(), s.ui).all);
    EXPECT_EQ(doc.CurrentBase, before.CurrentBase) << "saving walks through both planes and comes back";
    EXPECT_EQ(doc.KijunWText, "1500.0") << "the W text as the user typed it";
    EXPECT_EQ(doc.Plane.Checks, before.Plane.Checks);
    Document back;
    ASSERT_TRUE(LoadSetting(back, 4, s.folder.path()));
    ASSERT_EQ(back.CurrentBase, 1);
    EXPECT_EQ(back.Plane.Checks, before.Plane.Checks);
    EXPECT_EQ(back.ParkedPlane.Checks, before.ParkedPlane.Checks);
    EXPECT_EQ(back.ParkedPlane.Checks.Count(), 2);
    EXPECT_EQ(back.Plane.Checks.Count(), 1);
}

// A damaged or hostile check file is told, and the plane's measurements,
// which are whole, are kept.
TEST(CheckFile, DamagedIsToldAndThePlaneIsKept)
{
    struct Case {
        const char* what;
        std::string bytes;
        int kept;  // check distances read whole before the damage
    } const cases[] = {
        {"no header", "1 2 3 4 5\r\n", 0},
        {"another header", "kalvex-checks 2\r\n1 2 3 4 5\r\n", 0},
        {"cut in a line", "kalvex-checks 1\r\n1 2 3 4 5\r\n6 7 8", 1},
        {"a comma for a point", "kalvex-checks 1\r\n1,5 2 3 4 5\r\n", 0},
        {"a length of zero", "kalvex-checks 1\r\n1 2 3 4 0\r\n", 0},
        {"a length the dialog never takes", "kalvex-checks 1\r\n1 2 3 4 5\r\n1 2 3 4 0.00001\r\n", 1},
        {"a length far beyond any photo", "kalvex-checks 1\r\n1 2 3 4 123456789012345\r\n", 0},
        {"a point far outside any photo", "kalvex-checks 1\r\n1e300 2 3 4 5\r\n", 0},
        {"not a number", "kalvex-checks 1\r\n1 2 3 4 nan\r\n", 0},
        {"binary", std::string("kalvex-checks 1\r\n\0\xFF\x01", 20), 0},
        {"larger than any real one", "kalvex-checks 1\r\n" + std::string(2 << 20, '1'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Saved s;
        Document& doc = s.wall.doc;
        doc.CurrentSetting = 1;
        doc.Plane.Distances.Append(TDistance{0, {100, 100}, {900, 100}});
        ASSERT_TRUE(SaveCurrentSetting(doc, s.folder.path(), s.ui).all);
        std::ofstream(s.folder.path() / "check1.tmp", std::ios::binary) << c.bytes;
        Document back;
        EXPECT_THROW(LoadSetting(back, 1, s.folder.path()), WorkFileReadError);
        EXPECT_EQ(back.Plane.Distances, doc.Plane.Distances);
        EXPECT_EQ(back.Plane.base.BaseSet, 1);
        EXPECT_EQ(back.Plane.Checks.Count(), c.kept);
    }
}

// The photo's own copies carry the check files, and a photo whose check
// distances were all deleted keeps none: another photo opened after it
// never shows them.
TEST(CheckFile, ThePhotosCopiesFollow)
{
    Saved s;
    Document& doc = s.wall.doc;
    doc.CurrentSetting = 1;
    s.wall.Check({-300, 0}, {300, 0}, 600);
    ASSERT_TRUE(SaveCurrentSetting(doc, s.folder.path(), s.ui).all);
    SaveSet(doc, s.folder.path(), s.ui);
    const fs::path copy = PerImageFile(s.folder.path(), ImageKeyOf(doc), CheckFile(1));
    EXPECT_EQ(Read(copy), Read(WorkingFile(s.folder.path(), CheckFile(1))));

    // Another photo: its working files replace these, and it has no checks.
    Document other = doc;
    other.ImageFileName = "/photos/other.jpg";
    other.ImageKey.clear();
    EXPECT_TRUE(LoadSet(other, s.folder.path()));
    EXPECT_FALSE(fs::exists(WorkingFile(s.folder.path(), CheckFile(1))));

    // Back to the first photo, delete every check, keep it.
    EXPECT_TRUE(LoadSet(doc, s.folder.path()));
    Document back = doc;
    back.Plane.Checks.Clear();
    ASSERT_TRUE(LoadSetting(back, 1, s.folder.path()));
    EXPECT_EQ(back.Plane.Checks.Count(), 1);
    back.Plane.Checks.Clear();
    ASSERT_TRUE(SaveCurrentSetting(back, s.folder.path(), s.ui).all);
    SaveSet(back, s.folder.path(), s.ui);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(s.ui.warnings.empty());
}

// Check distances are rows of their own kind in the results file and never
// reach the CSV.
TEST(CheckFile, InTheResultsFileNeverInTheCsv)
{
    Saved s;
    Document& doc = s.wall.doc;
    doc.CurrentSetting = 1;
    doc.Plane.Distances.Append(TDistance{0, s.wall.cam.Project(-500, -300), s.wall.cam.Project(500, -300)});
    const std::string csv = CsvBytes(doc, true);
    s.wall.Check({-300, 0}, {300, 0}, 600);
    s.wall.Check({-1000, 200}, {1000, 200}, 2000);
    EXPECT_EQ(CsvBytes(doc, true), csv);

    const std::string table = ResultsTableBytes({doc}, kSigma);
    // Each check with its measured length and uncertainty, as the file writes them.
    for (const std::string row : {"wall.jpg,1,1,check,1,,,600.6,mm,1.8,,,0,600\r\n",
                                  "wall.jpg,1,1,check,2,,,2000.0,mm,3.1,,,0,2000\r\n"})
        EXPECT_NE(table.find(row), std::string::npos) << row << "\n" << table;
}

} // namespace
} // namespace kvx
