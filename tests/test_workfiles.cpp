#include "le_bytes.h"
#include "measure/workfiles.h"
#include "base/safe_file.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "base/error_trail.h"
#include "testing.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::ScriptedUi;
using test::TempFolder;
using test::WriteAll;

using test::Bytes;

// The fixed part of a plane file: a reference rectangle, no base lines, no base.
Bytes PlaneHead(std::int32_t version)
{
    Bytes f;
    f.i32(version).u8(1);
    f.pt(100, 100).pt(500, 110).pt(490, 400).pt(110, 390).pt(100, 100);
    f.u8(0).pt(0, 0).pt(0, 0);
    f.u8(0).pt(0, 0).pt(0, 0);
    f.u8(0).pt(100, 100).pt(490, 400);
    return f;
}

Bytes& OneDistance(Bytes& f)
{
    f.i32(1);
    f.i32(2).pt(150, 200).pt(300, 210).i32(0).i32(0).u8(1).zeros(3);
    f.pt(600, 250).pt(151, 201).pt(301, 211);
    return f;
}

Bytes& PlaneTail(Bytes& f)
{
    f.f64(1500).f64(750);
    f.i32(1).i32(10).i32(20).i32(-30).i32(40).u8(1).u8(0).u8(1);
    return f;
}

Bytes V3Fixture()
{
    Bytes f = PlaneHead(3);
    OneDistance(f);
    const std::string name = Utf8ToCp932("外壁");
    f.i32(1);
    f.i32(3).u8(0).i32(4).u8(0).pt(0, 0);
    f.pt(120, 130).pt(0, 0).pt(200, 130).pt(0, 0).pt(200, 220).pt(0, 0).pt(120, 130).pt(0, 0);
    f.u8(static_cast<int>(name.size())).raw(name).zeros(20 - static_cast<int>(name.size()));
    f.f64(15).f64(-30);
    return PlaneTail(f);
}

void FillFromFixture(Document& doc)
{
    TBaseBlock& b = doc.Plane.base;
    b.BaseSet = 1;
    b.BaseRect = {TDPoint{}, {100, 100}, {500, 110}, {490, 400}, {110, 390}, {100, 100}};
    b.BaseUnit[1] = {100, 100};
    b.BaseUnit[2] = {490, 400};
    TDistance d;
    d.group = 2;
    d.start = {150, 200};
    d.end = {300, 210};
    d.corrected = 1;
    d.correctionRef = {600, 250};
    d.correctedStart = {151, 201};
    d.correctedEnd = {301, 211};
    doc.Plane.Distances.Append(d);
    TSpace s;
    s.group = 3;
    s.kind = kSpaceSub;
    s.points = {{120, 130}, {200, 130}, {200, 220}, {120, 130}};
    s.correctedPoints.resize(4);
    s.slantV = 15;
    s.slantH = -30;
    s.name = AreaNameFromUtf8("外壁");
    doc.Plane.Spaces.Append(s);
    doc.KijunWText = "1500";
    doc.KijunHText = "750";
    doc.Effects = {1, 10, 20, -30, 40, 1, 0, 1};
}

class WorkFiles : public ::testing::Test {
protected:
    TempFolder folder;
    ScriptedUi ui;
    Document doc;
    fs::path Working(int n) const { return WorkingFile(folder.path(), n); }
};

TEST_F(WorkFiles, PlaneFileBytesAreExact)
{
    FillFromFixture(doc);
    const std::string expected = V3Fixture().b;
    EXPECT_EQ(EncodePlaneFile(doc), expected);
    EXPECT_EQ(expected.size(), 188u + 96u + 4u + (26u + 4u * 32u + 37u) + 16u + 23u);

    doc.CrossLineSet = 1;
    doc.CrossLinePoint = {12.5, -3};
    ASSERT_TRUE(SaveTemp(doc, 2, folder.path(), ui));
    EXPECT_EQ(ReadAll(Working(2)), expected);
    EXPECT_EQ(ReadAll(Working(0)), Bytes().i32(3).u8(1).pt(12.5, -3).b);
    EXPECT_TRUE(ui.warnings.empty());
    for (const auto& entry : fs::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().extension(), ".tmp") << "no temporary file stays behind: " << entry.path();
}

TEST_F(WorkFiles, HandWrittenFileLoadsIntoTheDocument)
{
    WriteAll(Working(3), V3Fixture().b);
    doc.Modified = 1;
    doc.View.BaseView = false;
    ASSERT_TRUE(LoadTemp(doc, 3, folder.path()));
    EXPECT_EQ(doc.Modified, 1) << "loading is no modification";
    EXPECT_TRUE(doc.View.BaseView);
    EXPECT_EQ(doc.Plane.base.BaseSet, 1);
    EXPECT_EQ(doc.Plane.DistanceCount(), 1);
    EXPECT_EQ(doc.Plane.Distances[1].correctedEnd, (TDPoint{301, 211}));
    ASSERT_EQ(doc.Plane.SpaceCount(), 1);
    EXPECT_EQ(Cp932ToUtf8(doc.Plane.Spaces[1].name), "外壁");
    EXPECT_EQ(doc.Plane.Spaces[1].slantH, -30);
    EXPECT_EQ(doc.KijunWText, "1500");
    EXPECT_EQ(doc.KijunHText, "750");
    EXPECT_EQ(doc.Effects, (ImageEffects{1, 10, 20, -30, 40, 1, 0, 1}));
    EXPECT_EQ(doc.CrossLineSet, 0) << "no shared file";
    EXPECT_EQ(doc.OtherBaseSet, 0) << "setting 3 has no other setting";
    EXPECT_NE(doc.Plane.UnitPoint[5], (TDPoint{})) << "the unit cell is rebuilt on load";
    EXPECT_EQ(EncodePlaneFile(doc), V3Fixture().b) << "saved back byte for byte";
}

// A file saved while a chain was still open links its last segment to one that
// was never drawn; read back, the next single distance would join the chain.
TEST_F(WorkFiles, LinksThatAreNotAdjacentAndMutualAreDroppedAtLoad)
{
    WriteAll(Working(3), V3Fixture().b);
    ASSERT_TRUE(LoadTemp(doc, 3, folder.path()));
    TDistance first = doc.Plane.Distances[1];
    first.prev = 0;
    first.next = 2;
    TDistance second = first;
    second.prev = 1;
    second.next = 3;  // the half-open link
    TDistance stray = first;
    stray.prev = 1;   // not adjacent: claims the first as its predecessor
    stray.next = 0;
    doc.Plane.Distances.Clear();
    doc.Plane.Distances.Append(first);
    doc.Plane.Distances.Append(second);
    doc.Plane.Distances.Append(stray);
    WriteAll(Working(3), EncodePlaneFile(doc));

    Document again;
    ASSERT_TRUE(LoadTemp(again, 3, folder.path()));
    ASSERT_EQ(again.Plane.DistanceCount(), 3);
    EXPECT_EQ(again.Plane.Distances[1].prev, 0);
    EXPECT_EQ(again.Plane.Distances[1].next, 2);
    EXPECT_EQ(again.Plane.Distances[2].prev, 1);
    EXPECT_EQ(again.Plane.Distances[2].next, 0) << "the link to a segment never drawn";
    EXPECT_EQ(again.Plane.Distances[3].prev, 0) << "a link that is not adjacent";
    EXPECT_EQ(again.Plane.Distances[3].next, 0);
}

TEST_F(WorkFiles, ANameOfTwentyBytesComesBackWhole)
{
    // The longest names the name field takes, saved and read back byte for byte.
    for (const char* typed : {"Window opening south", "北側外壁窓開口部南東", "abcdefghijklmnopqrｶﾍ", "abcdefghijklmnopqr窓"}) {
        const std::optional<std::string> cp932 = Utf8ToCp932Exact(typed);
        ASSERT_TRUE(cp932.has_value()) << typed;
        ASSERT_EQ(cp932->size(), kAreaNameBytes) << typed;
        FillFromFixture(doc);
        doc.Plane.Spaces[1].name = AreaNameFromUtf8(typed);
        ASSERT_TRUE(SaveTemp(doc, 1, folder.path(), ui));
        Document back;
        ASSERT_TRUE(LoadTemp(back, 1, folder.path()));
        EXPECT_EQ(Cp932ToUtf8(back.Plane.Spaces[1].name), typed);
    }
}

TEST_F(WorkFiles, AreaNamesLoseLineBreaksAndZeroBytes)
{
    struct Case {
        std::string stored;
        std::string loaded;
    };
    const std::string wall = Utf8ToCp932("外壁");
    const std::vector<Case> cases = {
        {"north\r\nside", "northside"},
        {"a\nb\rc", "abc"},
        {std::string("x\0y", 3), "xy"},
        {"\r\n" + wall + "\n", wall},
        {wall + std::string("\0\0", 2) + "1", wall + "1"},
    };
    for (const Case& c : cases) {
        Bytes f = PlaneHead(3);
        OneDistance(f);
        f.i32(1);
        f.i32(3).u8(0).i32(4).u8(0).pt(0, 0);
        f.pt(120, 130).pt(0, 0).pt(200, 130).pt(0, 0).pt(200, 220).pt(0, 0).pt(120, 130).pt(0, 0);
        f.u8(static_cast<int>(c.stored.size())).raw(c.stored).zeros(20 - static_cast<int>(c.stored.size()));
        f.f64(0).f64(0);
        PlaneTail(f);
        WriteAll(Working(1), f.b);
        ASSERT_TRUE(LoadTemp(doc, 1, folder.path()));
        ASSERT_EQ(doc.Plane.SpaceCount(), 1);
        EXPECT_EQ(doc.Plane.Spaces[1].name, c.loaded) << Cp932ToUtf8(c.stored);
    }
}

TEST_F(WorkFiles, Version2LoadsWithoutNamesAndSavesAsVersion3)
{
    Bytes f = PlaneHead(2);
    OneDistance(f);
    f.i32(1).i32(0).u8(1).i32(4).u8(0).pt(0, 0);
    f.pt(120, 130).pt(0, 0).pt(200, 130).pt(0, 0).pt(200, 220).pt(0, 0).pt(120, 130).pt(0, 0);
    PlaneTail(f);
    WriteAll(Working(1), f.b);

    ASSERT_TRUE(LoadTemp(doc, 1, folder.path()));
    ASSERT_EQ(doc.Plane.SpaceCount(), 1);
    EXPECT_EQ(doc.Plane.Spaces[1].name, "");
    EXPECT_EQ(doc.Plane.Spaces[1].slantV, 0);
    EXPECT_EQ(doc.Plane.Spaces[1].slantH, 0);
    EXPECT_EQ(doc.Plane.Spaces[1].count(), 4);
    ASSERT_TRUE(SaveTemp(doc, 1, folder.path(), ui));
    const std::string saved = ReadAll(Working(1));
    EXPECT_EQ(saved.substr(0, 4), Bytes().i32(3).b);
    EXPECT_EQ(saved.size(), f.b.size() + 37);
}

TEST_F(WorkFiles, UnknownVersionsLoadNothing)
{
    Bytes f = V3Fixture();
    f.b.replace(0, 4, Bytes().i32(4).b);
    WriteAll(Working(1), f.b);
    WriteAll(Working(0), Bytes().i32(2).u8(1).pt(1, 1).b);
    EXPECT_TRUE(LoadTemp(doc, 1, folder.path())) << "the file exists";
    EXPECT_EQ(doc.Plane.base.BaseSet, 0);
    EXPECT_EQ(doc.Plane.DistanceCount(), 0);
    EXPECT_EQ(doc.KijunWText, "1000");
    EXPECT_EQ(doc.CrossLineSet, 0);
}

TEST_F(WorkFiles, EveryTruncationFailsCleanlyAndKeepsWholeRecords)
{
    const std::string full = V3Fixture().b;
    for (std::size_t len = 0; len < full.size(); ++len) {
        WriteAll(Working(1), full.substr(0, len));
        Document d;
        d.Modified = 1;
        const std::size_t trail = ErrorTrail::global().size();
        EXPECT_THROW(LoadTemp(d, 1, folder.path()), WorkFileReadError) << "length " << len;
        EXPECT_EQ(ErrorTrail::global().lines().back(), "LoadTemp");
        EXPECT_GT(ErrorTrail::global().size(), trail);
        EXPECT_EQ(d.Modified, 1);
        EXPECT_LE(d.Plane.DistanceCount(), 1);
        EXPECT_LE(d.Plane.SpaceCount(), 1);
        const std::int32_t wholeRecords = len >= 188 + 96 ? 1 : 0;
        EXPECT_EQ(d.Plane.DistanceCount(), wholeRecords) << "only whole records are kept, length " << len;
        for (const TSpace& s : d.Plane.Spaces)
            EXPECT_EQ(s.points.size(), s.correctedPoints.size());
        EXPECT_EQ(d.Plane.base.BaseSet, len >= 184 ? 1 : 0) << "a reference is taken whole, length " << len;
        if (d.Plane.base.BaseSet == 1) {
            EXPECT_EQ(d.Plane.base.BaseRect[5], d.Plane.base.BaseRect[1]);
        }
    }
}

TEST_F(WorkFiles, ImpossibleCountsAllocateNothing)
{
    struct Case {
        const char* what;
        std::int32_t distances;
        std::int32_t spaces;
        std::int32_t points;
    };
    const Case cases[] = {
        {"negative distances", -1, 0, 4},
        {"huge distances", 0x7FFFFFFF, 0, 4},
        {"more distances than bytes", 5, 0, 4},
        {"negative areas", 0, -5, 4},
        {"huge areas", 0, 0x7FFFFFFF, 4},
        {"negative points", 0, 1, -1},
        {"huge points", 0, 1, 0x7FFFFFFF},
        {"points past the end", 0, 1, 6},
    };
    for (const Case& c : cases) {
        Bytes f = PlaneHead(3);
        f.i32(c.distances);
        if (c.distances == 5)
            f.zeros(96);  // only one of the five announced records is there
        f.i32(c.spaces);
        f.i32(0).u8(1).i32(c.points).u8(0).pt(0, 0);
        f.zeros(4 * 32 + 37);
        PlaneTail(f);
        WriteAll(Working(1), f.b);
        Document d;
        EXPECT_THROW(LoadTemp(d, 1, folder.path()), WorkFileReadError) << c.what;
        EXPECT_EQ(d.Plane.SpaceCount(), 0) << c.what;
        EXPECT_LE(d.Plane.DistanceCount(), 1) << c.what;
        EXPECT_EQ(d.Plane.base.BaseSet, 1) << c.what;
    }
}

TEST_F(WorkFiles, DamagedNumbersAreTreatedLikeAShortRead)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Offsets into V3Fixture: the reference corners start at 5, the measurement
    // base at 152, the distance record at 188 (its start point at 192), the area
    // record at 288 (its first point at 314), the slopes at 463, W and H at 479.
    struct Case {
        const char* what;
        std::size_t offset;
        double value;
        bool baseSet;
        std::int32_t distances;
        std::int32_t spaces;
    };
    const Case cases[] = {
        {"NaN reference corner", 5 + 16, nan, false, 0, 0},
        {"absurd reference corner", 5 + 8, 1e20, false, 0, 0},
        {"infinite measurement base", 168, -inf, false, 0, 0},
        {"NaN distance end", 192, nan, true, 0, 0},
        {"absurd distance end", 192 + 24, 1e20, true, 0, 0},
        {"absurd correction reference", 188 + 4 + 32 + 4 + 4 + 4, -1e20, true, 0, 0},
        {"NaN corrected point", 188 + 4 + 32 + 12 + 16, nan, true, 0, 0},
        {"NaN area point", 314, nan, true, 1, 0},
        {"absurd area point", 314 + 32 + 8, 1e20, true, 1, 0},
        {"NaN slope", 463, nan, true, 1, 0},
        {"right-angle slope", 471, 90.5, true, 1, 0},
        {"NaN W", 479, nan, true, 1, 1},
        {"absurd H", 487, 1e20, true, 1, 1},
    };
    for (const Case& c : cases) {
        std::string bytes = V3Fixture().b;
        ASSERT_LE(c.offset + 8, bytes.size()) << c.what;
        bytes.replace(c.offset, 8, Bytes().f64(c.value).b);
        WriteAll(Working(1), bytes);
        Document d;
        EXPECT_THROW(LoadTemp(d, 1, folder.path()), WorkFileReadError) << c.what;
        EXPECT_EQ(d.Plane.base.BaseSet, c.baseSet ? 1 : 0) << c.what;
        EXPECT_EQ(d.Plane.DistanceCount(), c.distances) << c.what;
        EXPECT_EQ(d.Plane.SpaceCount(), c.spaces) << c.what;
        EXPECT_EQ(d.KijunWText, "1000") << c.what << ": W and H after the damage are not taken";
        EXPECT_EQ(d.Effects, ImageEffects{}) << c.what;
        for (const TDPoint& p : d.Plane.base.BaseRect)
            EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << c.what;
    }
}

// A slope at the edge of what the slope dialog allows loads; past it the
// secant the area is stretched by runs away, so the file is damaged.
struct SlopeCase {
    const char* what;
    double value;
    bool loads;
};

class SlopeLimit : public ::testing::TestWithParam<SlopeCase> {
protected:
    TempFolder folder;
};

TEST_P(SlopeLimit, OnlySlopesTheDialogAllowsLoad)
{
    const SlopeCase& c = GetParam();
    // Offsets into V3Fixture: the vertical slope at 463, the horizontal one at 471.
    for (const std::size_t offset : {std::size_t{463}, std::size_t{471}}) {
        std::string bytes = V3Fixture().b;
        bytes.replace(offset, 8, Bytes().f64(c.value).b);
        WriteAll(WorkingFile(folder.path(), 1), bytes);
        Document d;
        if (c.loads) {
            EXPECT_TRUE(LoadTemp(d, 1, folder.path())) << c.what;
            ASSERT_EQ(d.Plane.SpaceCount(), 1) << c.what;
            EXPECT_EQ(offset == 463 ? d.Plane.Spaces[1].slantV : d.Plane.Spaces[1].slantH, c.value) << c.what;
            EXPECT_EQ(d.KijunWText, "1500") << c.what << ": the rest of the file is read";
        } else {
            EXPECT_THROW(LoadTemp(d, 1, folder.path()), WorkFileReadError) << c.what;
            EXPECT_EQ(d.Plane.SpaceCount(), 0) << c.what;
            EXPECT_EQ(d.Plane.DistanceCount(), 1) << c.what << ": the whole record before is kept";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    WorkFiles, SlopeLimit,
    ::testing::Values(SlopeCase{"89", 89, true}, SlopeCase{"-89", -89, true}, SlopeCase{"0", 0, true},
                      SlopeCase{"just over 89", std::nextafter(89.0, 90.0), false},
                      SlopeCase{"just under -89", std::nextafter(-89.0, -90.0), false}, SlopeCase{"90", 90, false},
                      SlopeCase{"-90", -90, false}, SlopeCase{"NaN", std::numeric_limits<double>::quiet_NaN(), false},
                      SlopeCase{"infinity", std::numeric_limits<double>::infinity(), false},
                      SlopeCase{"-infinity", -std::numeric_limits<double>::infinity(), false}),
    [](const auto& tp) { return "case" + std::to_string(tp.index); });

// Groups are 0 to 5; a record of any other group is damage, refused like a
// number no photo can have.
struct GroupCase {
    std::int32_t group;
    bool loads;
};

class GroupLimit : public ::testing::TestWithParam<GroupCase> {
protected:
    TempFolder folder;
};

TEST_P(GroupLimit, OnlyGroupsZeroToFiveLoad)
{
    const GroupCase& c = GetParam();
    // The distance's group at 188, the area's at 288.
    for (const std::size_t offset : {std::size_t{188}, std::size_t{288}}) {
        std::string bytes = V3Fixture().b;
        bytes.replace(offset, 4, Bytes().i32(c.group).b);
        WriteAll(WorkingFile(folder.path(), 1), bytes);
        Document d;
        const bool distance = offset == 188;
        if (c.loads) {
            EXPECT_TRUE(LoadTemp(d, 1, folder.path())) << c.group;
            ASSERT_EQ(d.Plane.DistanceCount(), 1);
            ASSERT_EQ(d.Plane.SpaceCount(), 1);
            EXPECT_EQ(distance ? d.Plane.Distances[1].group : d.Plane.Spaces[1].group, c.group);
        } else {
            EXPECT_THROW(LoadTemp(d, 1, folder.path()), WorkFileReadError) << c.group;
            EXPECT_EQ(d.Plane.DistanceCount(), distance ? 0 : 1) << c.group;
            EXPECT_EQ(d.Plane.SpaceCount(), 0) << c.group;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WorkFiles, GroupLimit,
                         ::testing::Values(GroupCase{-1, false}, GroupCase{0, true}, GroupCase{5, true},
                                           GroupCase{6, false}, GroupCase{std::numeric_limits<std::int32_t>::min(), false}),
                         [](const auto& tp) { return "case" + std::to_string(tp.index); });

// An outline of kMaxAreaPoints loads; one more point is refused before
// anything is allocated for the points.
struct PointCountCase {
    std::int32_t points;
    bool loads;
};

class AreaPointLimit : public ::testing::TestWithParam<PointCountCase> {
protected:
    TempFolder folder;
};

TEST_P(AreaPointLimit, AbsurdOutlinesAreRefused)
{
    const PointCountCase& c = GetParam();
    Bytes f = PlaneHead(3);
    f.i32(0);
    f.i32(1);
    f.i32(0).u8(1).i32(c.points).u8(0).pt(0, 0);
    // Every point there, on a circle, so the file is short of nothing.
    for (std::int32_t j = 0; j < c.points; ++j) {
        const double a = 2 * 3.141592653589793 * j / c.points;
        f.pt(300 + 100 * std::cos(a), 250 + 100 * std::sin(a)).pt(0, 0);
    }
    f.zeros(21).f64(0).f64(0);
    PlaneTail(f);
    WriteAll(WorkingFile(folder.path(), 1), f.b);
    Document d;
    if (c.loads) {
        EXPECT_TRUE(LoadTemp(d, 1, folder.path()));
        ASSERT_EQ(d.Plane.SpaceCount(), 1);
        EXPECT_EQ(d.Plane.Spaces[1].count(), c.points);
    } else {
        EXPECT_THROW(LoadTemp(d, 1, folder.path()), WorkFileReadError);
        EXPECT_EQ(d.Plane.SpaceCount(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(WorkFiles, AreaPointLimit,
                         ::testing::Values(PointCountCase{4, true}, PointCountCase{kMaxAreaPoints, true},
                                           PointCountCase{kMaxAreaPoints + 1, false}),
                         [](const auto& tp) { return "points" + std::to_string(tp.param.points); });

TEST_F(WorkFiles, DamagedCrossLineAndOtherRectangleStayUnset)
{
    WriteAll(Working(1), V3Fixture().b);
    WriteAll(Working(0), Bytes().i32(3).u8(1).pt(std::numeric_limits<double>::quiet_NaN(), 5).b);
    EXPECT_THROW(LoadTemp(doc, 1, folder.path()), WorkFileReadError);
    EXPECT_EQ(doc.CrossLineSet, 0);

    fs::remove(Working(0));
    Bytes other = PlaneHead(3);
    other.b.replace(5, 8, Bytes().f64(1e20).b);
    WriteAll(Working(2), other.b);
    EXPECT_THROW(LoadTemp(doc, 1, folder.path()), WorkFileReadError);
    EXPECT_EQ(doc.OtherBaseSet, 0);
}

TEST_F(WorkFiles, HalfReadReferenceIsUnset)
{
    // 21 bytes: the version, the reference's flag and one corner of five.
    const std::string cut = V3Fixture().b.substr(0, 21);
    WriteAll(Working(1), cut);
    EXPECT_THROW(LoadTemp(doc, 1, folder.path()), WorkFileReadError);
    EXPECT_EQ(doc.Plane.base.BaseSet, 0);
}

TEST_F(WorkFiles, CorrectionsFollowTheOtherSettingsRectangleChangedSince)
{
    // Setting 1 with a correction made against setting 2's rectangle.
    doc.CurrentSetting = 2;
    SetReferenceRect(doc, {TDPoint{500, 100}, {700, 50}, {700, 450}, {500, 400}}, true);
    ASSERT_TRUE(SaveTemp(doc, 2, folder.path(), ui));
    ASSERT_TRUE(LoadSetting(doc, 1, folder.path()));
    SetReferenceRect(doc, {TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}}, true);
    doc.CrossLineSet = 1;
    doc.CrossLinePoint = {500, 250};
    TDistance d;
    d.start = {150, 250};
    d.end = {250, 260};
    d.corrected = 1;
    d.correctionRef = {600, 260};
    doc.Plane.Distances.Append(d);
    CalcuDistanceHosei(doc);
    const TDPoint before = doc.Plane.Distances[1].correctedEnd;

    // Setting 2's rectangle is adjusted; back in setting 1 the correction is new.
    ASSERT_TRUE(SwitchSetting(doc, 2, folder.path(), ui).loaded);
    doc.Plane.base.BaseRect[2] = {720, 80};
    CalcuBasePoint(doc);
    ASSERT_TRUE(SwitchSetting(doc, 1, folder.path(), ui).loaded);
    const TDistance& loaded = doc.Plane.Distances[1];
    EXPECT_EQ(loaded.correctedEnd, CorrectPoint(doc, loaded.end, loaded.correctionRef));
    EXPECT_NE(loaded.correctedEnd, before);
}

TEST_F(WorkFiles, APhotoWithTheSameKeyNeverSeesOrReplacesAnothersCopies)
{
    // Two photos of one name and size whose legacy keys are the same.
    auto photo = [](const char* path, const char* fingerprint) {
        Document d;
        d.ImageFileName = path;
        d.ImageCheckSum = 4321;
        d.ImageFingerprint = fingerprint;
        return d;
    };
    Document first = photo("/cards/a/IMG_0001.JPG", "aaaa");
    first.ImageKey = ResolvePerImageKey(folder.path(), first);
    EXPECT_EQ(first.ImageKey, "IMG_0001_4321") << "the first photo keeps the legacy name";
    LoadSet(first, folder.path());
    FillFromFixture(first);
    ASSERT_TRUE(SaveTemp(first, 1, folder.path(), ui));
    first.Modified = 1;
    SaveSet(first, folder.path(), ui);
    ASSERT_TRUE(ui.warnings.empty());
    EXPECT_EQ(ReadAll(PerImageFingerprintFile(folder.path(), "IMG_0001_4321")), "aaaa");
    const std::string firstCopy = ReadAll(PerImageFile(folder.path(), "IMG_0001_4321", 1));

    // The second photo starts empty, under a name of its own.
    Document second = photo("/cards/b/IMG_0001.JPG", "bbbb");
    second.ImageKey = ResolvePerImageKey(folder.path(), second);
    EXPECT_EQ(second.ImageKey, "IMG_0001~2_4321");
    LoadSet(second, folder.path());
    EXPECT_FALSE(LoadTemp(second, 1, folder.path()));
    EXPECT_EQ(second.Plane.DistanceCount(), 0);
    SetReferenceRect(second, {TDPoint{10, 10}, {90, 10}, {90, 90}, {10, 90}}, true);
    ASSERT_TRUE(SaveTemp(second, 1, folder.path(), ui));
    SaveSet(second, folder.path(), ui);
    EXPECT_EQ(ReadAll(PerImageFile(folder.path(), "IMG_0001_4321", 1)), firstCopy) << "never replaced";
    EXPECT_EQ(ReadAll(PerImageFingerprintFile(folder.path(), "IMG_0001~2_4321")), "bbbb");

    // Each finds its own again, whichever opens first.
    for (Document* d : {&second, &first}) {
        Document again = photo(d->ImageFileName.c_str(), d->ImageFingerprint.c_str());
        again.ImageKey = ResolvePerImageKey(folder.path(), again);
        EXPECT_EQ(again.ImageKey, d->ImageKey);
        LoadSet(again, folder.path());
        ASSERT_TRUE(LoadTemp(again, 1, folder.path()));
        EXPECT_EQ(again.Plane.DistanceCount(), d == &first ? 1 : 0);
    }

    // A save under a key whose copies are another photo's is refused.
    Document stray = photo("/cards/c/IMG_0001.JPG", "cccc");
    stray.ImageKey = "IMG_0001_4321";
    stray.Modified = 1;
    SaveSet(stray, folder.path(), ui);
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(ReadAll(PerImageFile(folder.path(), "IMG_0001_4321", 1)), firstCopy);
    EXPECT_EQ(ReadAll(PerImageFingerprintFile(folder.path(), "IMG_0001_4321")), "aaaa");
}

// Copies kept by an earlier version carry a longer fingerprint (64 digits)
// than this version takes (32): the earlier kind is worked out only when
// such copies stand in the way, at most once, and the photo keeps it.
struct OlderCase {
    const char* name;
    std::vector<std::string> stored;  // beside IMG_0001_4321, ~2, ~3...
    std::string expectedKey;
    std::string expectedFingerprint;
    int expectedAsks;
};

class OlderFingerprints : public WorkFiles, public ::testing::WithParamInterface<OlderCase> {};

TEST_P(OlderFingerprints, AreAskedForOnlyWhenNeeded)
{
    const std::string mine(32, 'a');
    const std::string myOlder(64, 'b');
    const OlderCase& c = GetParam();
    for (std::size_t i = 0; i < c.stored.size(); ++i) {
        const std::string key = i == 0 ? "IMG_0001_4321" : "IMG_0001~" + std::to_string(i + 1) + "_4321";
        WriteAll(PerImageFingerprintFile(folder.path(), key), c.stored[i] == "mine" ? mine
                                                              : c.stored[i] == "my older" ? myOlder
                                                                                          : c.stored[i]);
    }
    Document d;
    d.ImageFileName = "/cards/a/IMG_0001.JPG";
    d.ImageCheckSum = 4321;
    d.ImageFingerprint = mine;
    int asks = 0;
    const PerImageIdentity id = ResolvePerImageIdentity(folder.path(), d, [&] {
        ++asks;
        return myOlder;
    });
    EXPECT_EQ(id.key, c.expectedKey);
    EXPECT_EQ(id.fingerprint, c.expectedFingerprint == "mine" ? mine : c.expectedFingerprint == "my older" ? myOlder : "");
    EXPECT_EQ(asks, c.expectedAsks);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, OlderFingerprints,
    ::testing::Values(
        OlderCase{"none_stored", {}, "IMG_0001_4321", "mine", 0},
        OlderCase{"mine_stored", {"mine"}, "IMG_0001_4321", "mine", 0},
        OlderCase{"my_older_stored", {"my older"}, "IMG_0001_4321", "my older", 1},
        OlderCase{"anothers_new_then_mine", {std::string(32, 'c'), "mine"}, "IMG_0001~2_4321", "mine", 0},
        OlderCase{"anothers_older_then_free", {std::string(64, 'c')}, "IMG_0001~2_4321", "mine", 1},
        OlderCase{"two_older_then_my_older",
                  {std::string(64, 'c'), std::string(64, 'd'), "my older"},
                  "IMG_0001~3_4321",
                  "my older",
                  1}),
    [](const ::testing::TestParamInfo<OlderCase>& i) { return std::string(i.param.name); });

TEST_F(WorkFiles, CopiesWithoutAFingerprintStillLoad)
{
    // Copies kept by an earlier version: no fingerprint beside them.
    WriteAll(folder.path() / "wall_5120[1].tmp", V3Fixture().b);
    Document d;
    d.ImageFileName = "/photos/wall.jpg";
    d.ImageCheckSum = 5120;
    d.ImageFingerprint = "0123";
    d.ImageKey = ResolvePerImageKey(folder.path(), d);
    EXPECT_EQ(d.ImageKey, "wall_5120");
    LoadSet(d, folder.path());
    ASSERT_TRUE(LoadTemp(d, 1, folder.path()));
    EXPECT_EQ(d.Plane.DistanceCount(), 1);
    // Kept again, they are marked as this photo's.
    d.Modified = 1;
    SaveSet(d, folder.path(), ui);
    EXPECT_EQ(ReadAll(PerImageFingerprintFile(folder.path(), "wall_5120")), "0123");
}

TEST_F(WorkFiles, WriteFailureIsReportedAndReturnsFalse)
{
    FillFromFixture(doc);
    EXPECT_FALSE(SaveTemp(doc, 1, folder.path() / "missing", ui));
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(ui.warnings[0], "設定情報を作業ファイルに保存できませんでした.");

    // The setting switch refuses and keeps everything.
    ui.warnings.clear();
    const SwitchResult r = SwitchSetting(doc, 2, folder.path() / "missing", ui);
    EXPECT_FALSE(r.switched);
    EXPECT_EQ(doc.CurrentSetting, 1);
    EXPECT_EQ(doc.Plane.DistanceCount(), 1);
    ASSERT_EQ(ui.warnings.size(), 2u);
    EXPECT_EQ(ui.warnings[1], "設定を切り換えることができません.");
}

TEST_F(WorkFiles, SettingsSwitchAndComeBack)
{
    // Setting 1: a rectangle and a distance; W typed with a separator.
    SetReferenceRect(doc, {TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}}, true);
    doc.Plane.Distances.Append(TDistance{0, {150, 150}, {250, 150}});
    doc.KijunWText = "1,500";
    doc.Effects.Noise = 3;
    const std::string setting1 = EncodePlaneFile(doc);

    // Setting 2: its own rectangle.
    ASSERT_TRUE(SwitchSetting(doc, 2, folder.path(), ui).switched);
    EXPECT_EQ(doc.CurrentSetting, 2);
    EXPECT_EQ(doc.Plane.base.BaseSet, 0);
    EXPECT_EQ(doc.KijunWText, "1000");
    EXPECT_EQ(doc.OtherBaseSet, 1) << "setting 1's rectangle is the other one";
    EXPECT_EQ(doc.OtherBaseRect[1], (TDPoint{100, 100}));
    SetReferenceRect(doc, {TDPoint{600, 100}, {900, 150}, {900, 350}, {600, 400}}, true);

    EXPECT_EQ(doc.Effects, ImageEffects{}) << "setting 1's processing stays with setting 1";

    // Setting 3 knows no other rectangle.
    ASSERT_TRUE(SwitchSetting(doc, 3, folder.path(), ui).switched);
    EXPECT_EQ(doc.OtherBaseSet, 0);

    const SwitchResult back = SwitchSetting(doc, 1, folder.path(), ui);
    EXPECT_TRUE(back.switched);
    EXPECT_TRUE(back.loaded);
    EXPECT_EQ(doc.KijunWText, "1") << "stored as the value it was read as";
    EXPECT_EQ(doc.Effects.Noise, 3);
    EXPECT_EQ(doc.Plane.DistanceCount(), 1);
    EXPECT_EQ(doc.OtherBaseRect[2], (TDPoint{900, 150}));
    doc.KijunWText = "1,500";
    EXPECT_EQ(EncodePlaneFile(doc), setting1);
}

TEST_F(WorkFiles, TwoPlaneSettingRoundTripLeavesTheSharedCrossLineAlone)
{
    doc.CrossLineSet = 1;
    doc.CrossLinePoint = {42, 43};
    ASSERT_TRUE(SaveTemp(doc, 1, folder.path(), ui));
    const std::string crossLine1 = ReadAll(Working(0));

    ASSERT_TRUE(SwitchSetting(doc, 4, folder.path(), ui).switched);
    EXPECT_EQ(doc.CurrentBase, 1);
    doc.SixPoint = SixPointFromClick({500, 300}, {0, 0}, {1000, 800});
    BuildTwoPlanes(doc);
    doc.KijunWText = "900";
    doc.Plane.Distances.Append(TDistance{0, {300, 400}, {350, 420}});
    SwapBDS(doc);  // the right plane current while saving
    doc.KijunHText = "1200";
    doc.Plane.Distances.Append(TDistance{1, {600, 400}, {700, 420}});
    const auto figure = doc.SixPoint;

    ASSERT_TRUE(SwitchSetting(doc, 1, folder.path(), ui).switched);
    EXPECT_EQ(ReadAll(Working(0)), crossLine1) << "saving setting 4 leaves settings 1-3's cross line";
    EXPECT_EQ(doc.CurrentBase, 0);
    EXPECT_EQ(doc.CrossLinePoint, (TDPoint{42, 43}));

    ASSERT_TRUE(SwitchSetting(doc, 4, folder.path(), ui).loaded);
    EXPECT_EQ(doc.CurrentSetting, 4);
    EXPECT_EQ(doc.CurrentBase, 1) << "the left plane is current after loading";
    EXPECT_EQ(doc.SixPoint, figure);
    EXPECT_EQ(doc.KijunWText, "900");
    EXPECT_EQ(doc.Plane.DistanceCount(), 1);
    EXPECT_EQ(doc.Plane.Distances[1].group, 0);
    EXPECT_EQ(doc.ParkedPlane.DistanceCount(), 1);
    EXPECT_EQ(doc.ParkedPlane.Distances[1].group, 1);
    EXPECT_EQ(doc.ParkedPlane.BaseH, 1200);
    EXPECT_EQ(doc.CrossLineSet, 1);
    EXPECT_EQ(doc.CrossLinePoint, figure[1]);
    EXPECT_EQ(doc.OtherBaseSet, 1) << "the parked right plane is the other plane at once";
    EXPECT_EQ(doc.OtherBaseRect, doc.ParkedPlane.base.BaseRect);
}

// A found sheet's tolerance lives in a side file of its plane's: the plane
// file keeps its bytes, the side file travels with the photo's copies, and
// it goes when the reference is clicked anew.
TEST_F(WorkFiles, AFoundSheetsToleranceTravelsBesideItsPlane)
{
    doc.ImageFileName = "/photos/site/wall.jpg";
    doc.ImageCheckSum = 5120;
    SetReferenceRect(doc, {TDPoint{100, 100}, {500, 110}, {490, 400}, {110, 390}}, true);
    doc.KijunWText = "297";
    doc.KijunHText = "210";
    const std::string plain = EncodePlaneFile(doc);
    doc.Plane.SheetSize = {297, 210, 2 / std::sqrt(3.0), 2 / std::sqrt(3.0)};
    EXPECT_EQ(EncodePlaneFile(doc), plain) << "the plane file's format stays as it was";
    ASSERT_TRUE(SaveTemp(doc, 2, folder.path(), ui));
    EXPECT_EQ(Working(SheetFile(2)).filename(), "sheet2.tmp");
    ASSERT_TRUE(fs::exists(Working(SheetFile(2))));
    EXPECT_EQ(ReadAll(Working(2)), plain);

    Document back;
    ASSERT_TRUE(LoadTemp(back, 2, folder.path()));
    EXPECT_EQ(back.Plane.SheetSize, doc.Plane.SheetSize) << "read back bit for bit";

    doc.CurrentSetting = 2;
    doc.Modified = 1;
    ui.answer = true;
    SaveSet(doc, folder.path(), ui);
    const fs::path copy = folder.path() / "wall_5120[sheet2].tmp";
    EXPECT_EQ(ReadAll(copy), ReadAll(Working(SheetFile(2))));

    // Clicked anew: no tolerance, and no file for it, here or in the copies.
    SetReferenceRect(doc, {TDPoint{120, 100}, {500, 110}, {490, 400}, {110, 390}}, true);
    EXPECT_FALSE(doc.Plane.SheetSize.Any());
    ASSERT_TRUE(SaveTemp(doc, 2, folder.path(), ui));
    EXPECT_FALSE(fs::exists(Working(SheetFile(2))));
    doc.Modified = 1;
    SaveSet(doc, folder.path(), ui);
    EXPECT_FALSE(fs::exists(copy));
}

// A damaged side file costs the tolerance, named in the error, never the plane.
TEST_F(WorkFiles, ADamagedSheetFileKeepsThePlane)
{
    FillFromFixture(doc);
    doc.Plane.SheetSize = {1500, 750, 1, 1};
    ASSERT_TRUE(SaveTemp(doc, 1, folder.path(), ui));
    for (const std::string& bytes : {std::string("kalvex-sheet 1\r\n1500 750 1\r\n"), std::string("kalvex-sheet 2\r\n1500 750 1 1\r\n"),
                                    std::string("kalvex-sheet 1\r\n1500 750 1 nan\r\n"), std::string("kalvex-sheet 1\r\n1500 750 -1 1\r\n"),
                                    std::string("kalvex-sheet 1\r\n1500 750 900 1\r\n"), std::string(100000, 'x'), std::string()}) {
        WriteAll(Working(SheetFile(1)), bytes);
        Document back;
        try {
            LoadTemp(back, 1, folder.path());
            ADD_FAILURE() << "read as whole: " << bytes.substr(0, 40);
        } catch (const WorkFileReadError& e) {
            EXPECT_NE(std::string(e.what()).find("sheet1.tmp"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(back.Plane.SheetSize.Any());
        EXPECT_EQ(back.Plane.DistanceCount(), 1);
        EXPECT_EQ(back.Plane.base.BaseSet, 1);
    }
}

TEST_F(WorkFiles, PerImageCopiesFollowTheAnswer)
{
    doc.ImageFileName = "/photos/site/wall.jpg";
    doc.ImageCheckSum = 5120;
    EXPECT_EQ(PerImageFile(folder.path(), PerImageKey(doc.ImageFileName, doc.ImageCheckSum), 2).filename(),
              "wall_5120[2].tmp");

    FillFromFixture(doc);
    ASSERT_TRUE(SaveTemp(doc, 1, folder.path(), ui));
    const fs::path copy1 = folder.path() / "wall_5120[1].tmp";

    doc.Modified = 0;
    SaveSet(doc, folder.path(), ui);
    EXPECT_TRUE(ui.questions.empty()) << "nothing changed, nothing asked";
    EXPECT_FALSE(fs::exists(copy1));

    doc.Modified = 1;
    ui.answer = false;
    SaveSet(doc, folder.path(), ui);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0],
              "現在表示中の画像に対する基準等の設定が変更されています.\r現在の設定を保存しますか？");
    EXPECT_FALSE(fs::exists(copy1));

    ui.answer = true;
    SaveSet(doc, folder.path(), ui);
    EXPECT_EQ(ReadAll(copy1), ReadAll(Working(1)));
    EXPECT_TRUE(fs::exists(folder.path() / "wall_5120[0].tmp"));
    EXPECT_FALSE(fs::exists(folder.path() / "wall_5120[2].tmp"));

    // Another photo without copies starts with every working file gone.
    Document other;
    other.ImageFileName = "/photos/site/roof.jpg";
    other.ImageCheckSum = 77;
    LoadSet(other, folder.path());
    for (int i = 0; i <= 6; ++i)
        EXPECT_FALSE(fs::exists(Working(i))) << i;
    EXPECT_FALSE(LoadTemp(other, 1, folder.path()));
    EXPECT_EQ(other.KijunWText, "1000");

    // Coming back to the first photo restores its files.
    LoadSet(doc, folder.path());
    EXPECT_EQ(ReadAll(Working(1)), ReadAll(copy1));
    Document again;
    ASSERT_TRUE(LoadTemp(again, 1, folder.path()));
    EXPECT_EQ(again.Plane.DistanceCount(), 1);
}

TEST_F(WorkFiles, LongPhotoNamesKeepTheirMeasurements)
{
    std::string wall;
    for (int i = 0; i < 80; ++i)
        wall += "壁";  // 240 bytes, three to a character
    const std::vector<std::string> stems = {std::string(238, 'b'), std::string(239, 'c'), wall,
                                            std::string(250, 'a') + "-east"};
    for (const std::string& stem : stems) {
        SCOPED_TRACE(stem.size());
        ScriptedUi answers;
        Document photo;
        photo.ImageFileName = "/photos/" + stem + ".jpg";
        photo.ImageCheckSum = 5120;
        FillFromFixture(photo);
        photo.Modified = 1;
        ASSERT_TRUE(SaveTemp(photo, 1, folder.path(), answers));
        SaveSet(photo, folder.path(), answers);
        EXPECT_TRUE(answers.warnings.empty()) << answers.warnings.front();

        const std::string key = PerImageKey(photo.ImageFileName, photo.ImageCheckSum);
        EXPECT_LE(key.size(), kMaxPerImageKeyBytes);
        EXPECT_EQ(Utf8ToCp932(key).find('?'), std::string::npos) << "no character cut in two";
        ASSERT_TRUE(fs::exists(PerImageFile(folder.path(), key, 1)));
        fs::remove(Working(1));
        LoadSet(photo, folder.path());
        Document back;
        ASSERT_TRUE(LoadTemp(back, 1, folder.path()));
        EXPECT_EQ(back.Plane.DistanceCount(), 1);
    }
    EXPECT_EQ(PerImageKey("/p/" + std::string(238, 'b') + ".jpg", 5120), std::string(238, 'b') + "_5120")
        << "names that always fitted keep their files";
    EXPECT_NE(PerImageKey("/p/" + std::string(250, 'a') + "-east.jpg", 1),
              PerImageKey("/p/" + std::string(250, 'a') + "-west.jpg", 1));
    EXPECT_NE(PerImageKey("/p/" + std::string(250, 'a') + ".jpg", 1), PerImageKey("/p/" + std::string(250, 'a') + ".jpg", 2));
}

// Names whose key is the longest kept (kMaxPerImageKeyBytes): every copy,
// the check files and the fingerprint among them, and the temporary each is
// written under, fit in a file name, up to a photo name of 255 bytes.
TEST_F(WorkFiles, ThePhotosWithTheLongestNamesKeepAndReloadEveryFile)
{
    const std::vector<std::pair<std::string, std::int32_t>> photos = {
        {std::string(232, 'k') + ".jpg", 1234567890},    // the key itself is 243 bytes
        {std::string(236, 'm') + ".jpg", -123456789},    // shortened to 243
        {std::string(251, 'p') + ".jpg", -1234567890},   // a name of 255 bytes
    };
    for (const auto& [name, sum] : photos) {
        SCOPED_TRACE(name.size());
        ScriptedUi answers;
        Document photo;
        photo.ImageFileName = "/photos/" + name;
        photo.ImageCheckSum = sum;
        photo.ImageFingerprint = "fingerprint of " + name.substr(0, 1);
        FillFromFixture(photo);
        // A check distance, so that the plane's check file is kept beside it.
        photo.Plane.Checks.Append(TCheck{{150, 200}, {300, 210}, 1000});
        photo.Modified = 1;
        ASSERT_TRUE(SaveTemp(photo, 1, folder.path(), answers));
        SaveSet(photo, folder.path(), answers);
        ASSERT_TRUE(answers.warnings.empty()) << answers.warnings.front();
        const std::string key = ImageKeyOf(photo);
        EXPECT_EQ(key.size(), kMaxPerImageKeyBytes);
        EXPECT_TRUE(fs::exists(PerImageFingerprintFile(folder.path(), key)));
        for (const int i : {1, CheckFile(1)})
            EXPECT_TRUE(fs::exists(PerImageFile(folder.path(), key, i))) << i;
        fs::remove(Working(1));
        ASSERT_TRUE(LoadSet(photo, folder.path()));
        Document back;
        ASSERT_TRUE(LoadTemp(back, 1, folder.path()));
        EXPECT_EQ(back.Plane.DistanceCount(), 1);
        EXPECT_EQ(back.Plane.Checks.Count(), 1);
        for (const auto& e : fs::directory_iterator(folder.path()))
            EXPECT_FALSE(IsTemporaryName(e.path())) << e.path();
    }
}

TEST_F(WorkFiles, FailedCopyIsReportedAndLeavesTheOldCopy)
{
    doc.ImageFileName = "wall.jpg";
    doc.ImageCheckSum = 9;
    doc.Modified = 1;
    ASSERT_TRUE(SaveTemp(doc, 1, folder.path(), ui));
    // A folder where the copy should go: the copy cannot replace it.
    fs::create_directory(folder.path() / "wall_9[1].tmp");
    SaveSet(doc, folder.path(), ui);
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_NE(ui.warnings[0].find("wall_9[1].tmp"), std::string::npos) << ui.warnings[0];
    EXPECT_TRUE(fs::is_directory(folder.path() / "wall_9[1].tmp"));
    EXPECT_TRUE(fs::exists(folder.path() / "wall_9[0].tmp")) << "the other copies are still made";
}

} // namespace
} // namespace kvx

namespace kvx {
namespace {

// Measurements kept while a photo stored 600 x 400 with EXIF orientation 6
// was shown as stored: each point goes to the same pixel of the photo shown
// upright (400 x 600; the stored top row is its right column), in every
// setting that has a file, with the setting's own quarter turn, and only once.
struct UprightCase {
    std::int32_t rotate;  // the setting's quarter turn: 0 none, 1 +90, 2 -90
    TDPoint before;       // clicked on the photo as shown then
    TDPoint after;        // the same pixel as shown now
};

class UprightKeptPoints : public ::testing::TestWithParam<UprightCase> {};

TEST_P(UprightKeptPoints, LandOnTheSamePixels)
{
    const UprightCase c = GetParam();
    const TempFolder folder;
    test::ScriptedUi ui;
    Document old;
    old.Effects.Rotate = c.rotate;
    TDistance d;
    d.start = c.before;
    d.end = c.before;
    old.Plane.Distances.Append(d);
    old.CrossLineSet = 1;
    old.CrossLinePoint = c.before;
    ASSERT_TRUE(SaveTemp(old, 1, folder.path(), ui));
    ASSERT_TRUE(SaveTemp(old, 2, folder.path(), ui));
    ASSERT_FALSE(fs::exists(WorkingFile(folder.path(), kUprightMark)));

    ASSERT_TRUE(UprightWorkingFiles(folder.path(), 6, {600, 400}));
    EXPECT_TRUE(fs::exists(WorkingFile(folder.path(), kUprightMark)));
    // A second opening finds the mark and leaves the points alone.
    ASSERT_TRUE(UprightWorkingFiles(folder.path(), 6, {600, 400}));
    for (const int n : {1, 2}) {
        Document now;
        ASSERT_TRUE(LoadTemp(now, n, folder.path()));
        ASSERT_EQ(now.Plane.Distances.Count(), 1);
        EXPECT_EQ(now.Plane.Distances[1].start, c.after) << n;
        EXPECT_EQ(now.CrossLinePoint, c.after) << "the shared cross line is mapped once, setting " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Orientation6, UprightKeptPoints,
    ::testing::Values(
        // Stored pixel (10, 20): 20 rows from the top, so 20 columns from the right of 400.
        UprightCase{0, {10, 20}, {379, 10}},
        // Shown turned -90 (clockwise) then, the stored pixel (10, 20) stood at
        // (379, 10); now the upright photo is turned once more: the stored photo
        // upside down, where that pixel is (589, 379).
        UprightCase{2, {379, 10}, {589, 379}},
        // Shown turned +90 then, the stored pixel (10, 20) stood at (20, 589);
        // now the upright photo turned +90 is the stored photo itself.
        UprightCase{1, {20, 589}, {10, 20}}));

TEST(UprightKeptPoints, PhotosStoredUprightKeepTheirPoints)
{
    const TempFolder folder;
    test::ScriptedUi ui;
    Document old;
    TDistance d;
    d.start = {10, 20};
    old.Plane.Distances.Append(d);
    ASSERT_TRUE(SaveTemp(old, 1, folder.path(), ui));
    ASSERT_TRUE(UprightWorkingFiles(folder.path(), 1, {600, 400}));
    Document now;
    ASSERT_TRUE(LoadTemp(now, 1, folder.path()));
    EXPECT_EQ(now.Plane.Distances[1].start, (TDPoint{10, 20}));
}

} // namespace
} // namespace kvx
