#include "measure/calibration.h"

#include "realistic.h"
#include "scene.h"
#include "testing.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

namespace kvx {
namespace {

using test::Camera;
using test::Near;

// The step of the subdivision for a half cell of s millimetres: the first
// halving of s that falls below one millimetre.
double StepFor(double s)
{
    double h = s;
    do
        h /= 2;
    while (h >= 1);
    return h;
}

// Coordinates are whole steps, rounded to the 4 decimals every result keeps, and
// a point just past a step line is counted in the step before it: so a result
// may be short of the true value by one step as rounded.
double Within(double step)
{
    return DigitFix(step) + 1e-9;
}

bool WholeSteps(double v, double step)
{
    return v == DigitFix(std::round(v / step) * step);
}

Document DocumentWithReference(const Camera& cam, double W = 1000, double H = 1000)
{
    Document doc;
    SetReferenceRect(doc, cam.Rect(0, 0, W, H), true);
    doc.KijunWText = FloatToStr(W);
    doc.KijunHText = FloatToStr(H);
    return doc;
}

struct SceneCase {
    const char* name;
    double yaw, pitch;
};

class PerspectiveScene : public ::testing::TestWithParam<SceneCase> {};

// Image points of a grid on the plane, up to metres outside the reference,
// come back as their plane coordinates within one step of the subdivision.
TEST_P(PerspectiveScene, GetDeltaRecoversPlaneCoordinates)
{
    const Camera cam{GetParam().yaw, GetParam().pitch};
    const Document doc = DocumentWithReference(cam);
    const double step = StepFor(500);
    ASSERT_DOUBLE_EQ(step, 0.9765625);

    for (double X = -3000; X <= 3000; X += 737.3) {
        for (double Y = -2000; Y <= 2000; Y += 611.9) {
            const TDPoint got = GetDelta(doc, cam.Project(X, Y));
            EXPECT_TRUE(Near(got, {X, Y}, Within(step))) << "plane point " << X << ", " << Y;
        }
    }
}

// A measurement base set elsewhere on the plane: coordinates are relative to its
// centre, in steps of the halvings of W / 2 and H / 2.
TEST_P(PerspectiveScene, MeasurementBaseElsewhere)
{
    const Camera cam{GetParam().yaw, GetParam().pitch};
    Document doc = DocumentWithReference(cam);
    const double cx = 1200, cy = -800, W = 600, H = 400;
    SetBaseUnit(doc, cam.Project(cx - W / 2, cy + H / 2), cam.Project(cx + W / 2, cy - H / 2));
    doc.KijunWText = "600";
    doc.KijunHText = "400";
    const double stepX = StepFor(W / 2), stepY = StepFor(H / 2);
    ASSERT_DOUBLE_EQ(stepX, 0.5859375);
    ASSERT_DOUBLE_EQ(stepY, 0.78125);

    for (double X = -2500; X <= 2500; X += 833.1) {
        for (double Y = -2000; Y <= 1500; Y += 571.7) {
            const TDPoint got = GetDelta(doc, cam.Project(X, Y));
            const TDPoint want{X - cx, Y - cy};
            EXPECT_LE(std::fabs(got.x - want.x), Within(stepX)) << got << " want " << want;
            EXPECT_LE(std::fabs(got.y - want.y), Within(stepY)) << got << " want " << want;
            EXPECT_TRUE(WholeSteps(got.x, stepX)) << got.x;
            EXPECT_TRUE(WholeSteps(got.y, stepY)) << got.y;
        }
    }
}

// Both base lines: the unit cell spans line W along W and line H along H.
TEST_P(PerspectiveScene, MeasurementBaseFromBothBaseLines)
{
    const Camera cam{GetParam().yaw, GetParam().pitch};
    Document doc = DocumentWithReference(cam);
    TBaseBlock& b = doc.Plane.base;
    b.BaseLineW[1] = cam.Project(-900, 1300);
    b.BaseLineW[2] = cam.Project(-100, 1300);
    b.BaseLineH[1] = cam.Project(1700, 600);
    b.BaseLineH[2] = cam.Project(1700, 100);
    b.BaseLineWSet = b.BaseLineHSet = 1;
    CalcuBaseUnitFromLines(doc.Plane);
    ASSERT_EQ(b.BaseUnitSet, 1);
    doc.KijunWText = "800";
    doc.KijunHText = "500";
    const TDPoint centre{-500, 350};

    for (const TDPoint p : {TDPoint{0, 0}, TDPoint{2000, -1500}, TDPoint{-2500, 1800}, TDPoint{-500, 350}}) {
        const TDPoint got = GetDelta(doc, cam.Project(p.x, p.y));
        EXPECT_TRUE(Near(got, {p.x - centre.x, p.y - centre.y}, 1.0)) << "plane point " << p;
    }
}

INSTANTIATE_TEST_SUITE_P(Cameras, PerspectiveScene,
                         ::testing::Values(SceneCase{"StraightOn", 0, 0}, SceneCase{"Yaw30", 30, 0},
                                           SceneCase{"Yaw60", 60, 0}, SceneCase{"TwoPoint", 40, 25},
                                           SceneCase{"Pitch50", -10, 50}),
                         [](const auto& param) { return std::string(param.param.name); });

// Remembered answers are the walk's answers, and any change of calibration
// (corners, W or H typed, the other plane of a two-plane setting) is seen.
TEST(Calibration, RememberedPlaneCoordinatesFollowTheCalibration)
{
    const Camera cam{40, 25};
    Document doc = DocumentWithReference(cam);
    const std::vector<TDPoint> points{cam.Project(-2500, 700), cam.Project(0, 0), cam.Project(1234, -987)};
    auto fresh = [&](TDPoint p) { return GetDelta(doc.Plane, doc.W(), doc.H(), p); };
    auto asked = [&] {
        std::vector<TDPoint> out;
        for (TDPoint p : points)
            out.push_back(GetDelta(doc, p));
        return out;
    };
    auto walked = [&] {
        std::vector<TDPoint> out;
        for (TDPoint p : points)
            out.push_back(fresh(p));
        return out;
    };
    const std::vector<TDPoint> first = asked();
    EXPECT_EQ(first, walked());
    EXPECT_EQ(asked(), first);  // now from the memo

    doc.KijunWText = "2000";
    EXPECT_EQ(asked(), walked());
    EXPECT_NE(asked()[0].x, first[0].x);

    SetReferenceRect(doc, cam.Rect(100, 100, 900, 700), true);
    EXPECT_EQ(asked(), walked());

    // Two planes drawn in turn keep their own answers.
    Document other = DocumentWithReference(Camera{-30, 10});
    std::swap(doc.Plane, other.Plane);
    const std::vector<TDPoint> otherAnswers = walked();
    EXPECT_EQ(asked(), otherAnswers);
    std::swap(doc.Plane, other.Plane);
    EXPECT_EQ(asked(), walked());
    std::swap(doc.Plane, other.Plane);
    EXPECT_EQ(asked(), otherAnswers);
}

TEST(Calibration, StraightOnSquareIsProportional)
{
    // Parallel edges: vanishing points far away, coordinates proportional to pixels.
    const Camera cam{0, 0, 6000, 3000};  // 0.5 px per mm at the wall
    const Document doc = DocumentWithReference(cam);
    EXPECT_GT(std::fabs(doc.Plane.base.VanishW.x), 1e7);
    EXPECT_GT(std::fabs(doc.Plane.base.VanishH.y), 1e7);
    for (const double X : {-2500.0, -10.0, 0.5, 730.0, 4100.0}) {
        const TDPoint got = GetDelta(doc, cam.Project(X, -X / 2));
        EXPECT_TRUE(Near(got, {X, -X / 2}, Within(0.9765625))) << X;
    }
}

TEST(Calibration, EveryCyclicCornerOrderGivesTheSameFrame)
{
    const Camera cam{35, 20};
    const auto corners = cam.Rect(200, -100, 1000, 1000);
    const Document reference = DocumentWithReference(cam);
    std::vector<TDPoint> expected;
    Document first;
    SetReferenceRect(first, corners, true);
    for (const TDPoint p : {TDPoint{100, 200}, TDPoint{3000, -2000}, TDPoint{-1800, 900}})
        expected.push_back(GetDelta(first, cam.Project(p.x, p.y)));

    for (int startCorner = 0; startCorner < 4; ++startCorner) {
        for (const int dir : {1, -1}) {
            std::array<TDPoint, 4> q;
            for (int i = 0; i < 4; ++i)
                q[static_cast<std::size_t>(i)] = corners[static_cast<std::size_t>((startCorner + dir * i + 8) % 4)];
            Document doc;
            SetReferenceRect(doc, q, true);
            for (int i = 1; i <= 5; ++i)
                EXPECT_EQ(doc.Plane.base.BaseRect[static_cast<std::size_t>(i)],
                          first.Plane.base.BaseRect[static_cast<std::size_t>(i)])
                    << "start " << startCorner << " dir " << dir << " corner " << i;
            std::size_t k = 0;
            for (const TDPoint p : {TDPoint{100, 200}, TDPoint{3000, -2000}, TDPoint{-1800, 900}})
                EXPECT_EQ(GetDelta(doc, cam.Project(p.x, p.y)), expected[k++]);
        }
    }
    // Normalised: top-left, top-right, bottom-right, bottom-left on screen.
    const auto& r = first.Plane.base.BaseRect;
    EXPECT_EQ(r[1], corners[0]);
    EXPECT_EQ(r[3], corners[2]);
    EXPECT_EQ(r[5], r[1]);
    EXPECT_EQ(first.Plane.UnitPoint[4], first.Plane.UnitPoint[0]);
}

TEST(Calibration, CollinearCornersAreLeftAsGiven)
{
    // Given out of cyclic order, so that the "diagonals" are two parallel edges.
    std::array<TDPoint, 4> q{TDPoint{0, 0}, TDPoint{0, 5}, TDPoint{10, 0}, TDPoint{10, 5}};
    const auto before = q;
    EXPECT_FALSE(NormaliseCorners(q));
    EXPECT_EQ(q, before);
}

TEST(Calibration, WalkEdgeCases)
{
    const Camera cam{0, 0, 6000, 3000};
    Document doc = DocumentWithReference(cam);
    const TDPoint c = doc.Plane.UnitPoint[5];
    const TDPoint onCentre = GetDelta(doc, c);
    EXPECT_GE(onCentre.y, 0) << "a point on the centre line is not below it";
    EXPECT_GE(onCentre.x, 0);
    EXPECT_LT(onCentre.y, 0.9765625 * 1.0001);

    // With H = 1000 every Y is a whole number of steps.
    for (const double Y : {-1234.5, -3.3, 0.2, 77.7, 2999.0}) {
        const double y = GetDelta(doc, cam.Project(10, Y)).y;
        EXPECT_TRUE(WholeSteps(y, 0.9765625)) << Y << " gave " << y;
    }

    // Far beyond 2002 half cells the walk stops at its limit.
    doc.KijunHText = "1";
    doc.KijunWText = "1";
    const TDPoint farDown = GetDelta(doc, {c.x, c.y + 1e6});
    EXPECT_DOUBLE_EQ(farDown.y, -2002 * 0.5);
    const TDPoint farUp = GetDelta(doc, {c.x, c.y - 1e6});
    EXPECT_DOUBLE_EQ(farUp.y, 2001 * 0.5);
}

// The walk's exact answers, bit for bit, for points from inside the cell to
// far beyond it, behind the camera and past the walk's limit: the A4 sheet of
// the realistic document (W 210, H 297) and a 1 m cell seen at an angle.
struct WalkCase {
    TDPoint image;
    TDPoint plane;
};

void ExpectWalk(const Document& doc, double W, double H, const std::vector<WalkCase>& cases)
{
    for (const WalkCase& c : cases) {
        const TDPoint got = GetDelta(doc.Plane, W, H, c.image);
        EXPECT_EQ(got.x, c.plane.x) << std::hexfloat << c.image;
        EXPECT_EQ(got.y, c.plane.y) << std::hexfloat << c.image;
        EXPECT_EQ(GetDelta(doc, W, H, c.image), got);
    }
}

TEST(Calibration, WalkAnswersOnAnA4Sheet)
{
    const Document doc = test::RealisticDocument(10);
    ExpectWalk(doc, 210, 297, {
        {{0x1.77p+11, 0x1.f4p+10}, {0x0p+0, 0x0p+0}},  // 0, 0 mm
        {{0x1.7907439581062p+11, 0x1.fd5bf2e48e8a7p+10}, {0x1.89c01a36e2eb2p+5, -0x1.18c20c49ba5e3p+6}},  // 50, -70 mm
        {{0x1.7b4601a36e2ebp+11, 0x1.ddf121ff2e48fp+10}, {0x1.a4p+6, 0x1.29p+7}},  // 105, 148.5 mm
        {{0x1.6eb559b3d07c8p+11, 0x1.f6106a7ef9db2p+10}, {-0x1.a4p+7, 0x0p+0}},  // -210, 0 mm
        {{0x1.77p+11, 0x1.0edef1a9fbe77p+11}, {-0x1.a3fe5c91d14e4p-1, -0x1.29p+8}},  // 0, -297 mm
        {{0x1.330f439581062p+11, 0x1.6e490ff972474p+9}, {-0x1.068p+11, 0x1.732d6fd21ff2ep+11}},  // -2100, 2970 mm
        {{0x1.b8a5758e21965p+10, 0x1.0d40b923a29c7p+11}, {-0x1.89cp+12, -0x1.2902de00d1b71p-1}},  // -6300, 0 mm
        {{0x1.77p+11, -0x1.3ee123a29c77ap+11}, {0x0p+0, 0x1.167p+13}},  // 0, 8910 mm
        {{0x1.9a9e809d49518p+9, 0x1.5ecbf141205bcp+11}, {-0x1.481cb80346dc6p+14, -0x1.734p+11}},  // -21000, -2970 mm
        {{0x1.1ae05bc01a36ep+8, 0x1.eaead916872bp+10}, {-0x1.ec383404ea4a9p+15, 0x1.386887fcb923ap+12}},  // -63000, 5000 mm
        {{0x1.8ef0ebedfa44p+8, -0x1.cfc5bc01a36e3p+7}, {-0x1.ec3690068db8cp+15, 0x1.165b1e00d1b71p+15}},  // -63000, 35640 mm
        {{0x1.0f7d3da5119cep+13, 0x1.4303367a0f909p+10}, {0x1.89cp+12, 0x0p+0}},  // 6300, 0 mm
        {{-0x1.6e8d8e219652cp+11, 0x1.564d53f7ced91p+11}, {-0x1.9a91p+17, -0x1.67118p+16}},  // 21000, 0 mm: behind the camera
        {{0x1.2fa9930be0dedp+6, 0x1.277ede00d1b71p+11}, {-0x1.d4f4bc01a36e3p+16, -0x1.2902de00d1b71p-1}},  // -120000, 0 mm
        {{0x1.77p+11, 0x1.d698e425aee63p+12}, {-0x1.a3fe5c91d14e4p-1, -0x1.167p+13}},  // 0, -8910 mm
        {{-0x1.5e5cfaacd9e84p+4, 0x1.290476c8b4396p+11}, {-0x1.97d2dp+17, -0x1.2902de00d1b71p-1}},  // -210000, 0 mm: 1,000 cells
    });
}

TEST(Calibration, WalkAnswersOnAMetreCell)
{
    const Document doc = DocumentWithReference(Camera{30, 10});
    ExpectWalk(doc, 1000, 1000, {
        {{-0x1.e3fd61e4f766p+10, -0x1.42c2ebedfa44p+11}, {-0x1.e8c5p+19, 0x1.e8868p+19}},  // 1,000 cells down and right: behind the camera
        {{-0x1.f1943573eab36p+14, -0x1.0c564b439581p+15}, {-0x1.e8c5p+19, 0x1.e8868p+19}},  // 10 m down and right: behind the camera too
        {{-0x1.2fb119ce075f7p+10, -0x1.336aa30553261p+9}, {-0x1.d4cp+14, 0x1.388p+14}},  // -30000, 20000 mm
        {{-0x1.7fcbc6a7ef9dbp+11, 0x1.f6155e9e1b08ap+10}, {-0x1.254ac380346dcp+18, -0x1.f404ea4a8c155p-1}},  // -300 m, 0 mm
        {{0x1.f4p+10, -0x1.1501fb2fec56dp+14}, {0x1.82b8p+13, 0x1.e8868p+19}},  // 0, -300 m: behind the camera, the walk runs to its limit
    });
}

// The kept lines are searched rather than walked: over the whole photo and
// beyond it (past the horizon, behind the camera, on the vanishing points
// themselves) the answers are the step-by-step walk's, bit for bit.
TEST_P(PerspectiveScene, SearchedLinesGiveTheWalksAnswers)
{
    const Camera cam{GetParam().yaw, GetParam().pitch};
    const Document doc = DocumentWithReference(cam, 210, 297);
    test::Sequence seq(static_cast<std::uint64_t>(GetParam().yaw * 1000 + GetParam().pitch));
    std::vector<TDPoint> points{doc.Plane.base.VanishW, doc.Plane.base.VanishH, doc.Plane.UnitPoint[5],
                                doc.Plane.UnitPoint[0], MidPoint(doc.Plane.UnitPoint[0], doc.Plane.UnitPoint[1])};
    for (int i = 0; i < 120; ++i)
        points.push_back(DPoint(seq.Between(-6000, 10000), seq.Between(-6000, 9000)));
    for (int i = 0; i < 60; ++i)
        points.push_back(cam.Project(seq.Between(-80000, 80000), seq.Between(-80000, 80000)));
    for (const TDPoint p : points) {
        const TDPoint walked = GetDelta(doc.Plane, 210, 297, p);
        const TDPoint searched = GetDelta(doc, 210, 297, p);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(searched.x), std::bit_cast<std::uint64_t>(walked.x)) << p;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(searched.y), std::bit_cast<std::uint64_t>(walked.y)) << p;
    }
}

// A rubber band asks for a new point at every move; long after, the marks'
// answers are still right and still there.
TEST(Calibration, RememberedAnswersOutliveARubberBand)
{
    const Camera cam{40, 25};
    Document doc = DocumentWithReference(cam);
    const std::vector<TDPoint> marks{cam.Project(-2500, 700), cam.Project(0, 0), cam.Project(1234, -987)};
    for (int move = 0; move < 60000; ++move) {
        GetDelta(doc, {1000 + move * 0.01, 800 + move * 0.02});
        if (move % 5000 == 0)
            for (const TDPoint m : marks)
                GetDelta(doc, m);
    }
    for (const TDPoint m : marks)
        EXPECT_EQ(GetDelta(doc, m), GetDelta(doc.Plane, doc.W(), doc.H(), m));
}

TEST(Calibration, NoReferenceMeansOrigin)
{
    const Document doc;
    EXPECT_EQ(GetDelta(doc, {123, 456}), (TDPoint{0, 0}));
}

struct LineSink : DeltaSink {
    std::vector<std::pair<TDPoint, TDPoint>> lines;
    void Line(TDPoint from, TDPoint to) override { lines.emplace_back(from, to); }
};

TEST(Calibration, DrawFlagReportsEachNewLineOfBothWalks)
{
    const Camera cam{30, 10};
    const Document doc = DocumentWithReference(cam);
    LineSink sink;
    const TDPoint p = cam.Project(2400, -1700);
    EXPECT_EQ(GetDelta(doc, p, &sink), GetDelta(doc, p));
    ASSERT_GE(sink.lines.size(), 4u);
    bool fromW = false, fromH = false;
    for (const auto& [from, to] : sink.lines) {
        fromW |= from == doc.Plane.base.VanishW;
        fromH |= from == doc.Plane.base.VanishH;
    }
    EXPECT_TRUE(fromW && fromH);
}

TEST(Snapping, OrthogonalPointsLieOnTheDirectionLines)
{
    const Camera cam{30, 15};
    const Document doc = DocumentWithReference(cam);
    const TDPoint A = cam.Project(-300, 200);
    // Mostly along W: snaps onto the W line through A, so plane Y equals A's.
    const TDPoint alongW = GetOrthPoint(doc, A, cam.Project(900, 260));
    EXPECT_NEAR(GetDelta(doc, alongW).y, GetDelta(doc, A).y, 1.0);
    const TDPoint alongH = GetOrthPoint(doc, A, cam.Project(-250, -900));
    EXPECT_NEAR(GetDelta(doc, alongH).x, GetDelta(doc, A).x, 1.0);

    const TDPoint P = cam.Project(800, 400);
    const TDPoint x = GetOrthXPoint(doc, A, P);
    EXPECT_EQ(x.x, P.x);
    EXPECT_NEAR(GetDelta(doc, x).y, GetDelta(doc, A).y, 1.0);
    const TDPoint y = GetOrthYPoint(doc, A, P);
    EXPECT_EQ(y.y, P.y);
    EXPECT_NEAR(GetDelta(doc, y).x, GetDelta(doc, A).x, 1.0);

    const Document none;
    EXPECT_EQ(GetOrthPoint(none, A, P), P);
}

TEST(TwoPlanes, OneClickFigureAndBuild)
{
    Document doc;
    doc.CurrentSetting = 4;
    doc.CurrentBase = 1;
    doc.SixPoint = SixPointFromClick({500, 300}, {0, 0}, {1000, 800});
    EXPECT_EQ(doc.SixPoint[2], (TDPoint{500, 550}));
    EXPECT_EQ(doc.SixPoint[3], (TDPoint{250, 350}));
    EXPECT_EQ(doc.SixPoint[4], (TDPoint{250, 591.6667}));
    EXPECT_EQ(doc.SixPoint[6], (TDPoint{750, 591.6667}));

    BuildTwoPlanes(doc);
    EXPECT_EQ(doc.CurrentBase, 1);
    EXPECT_EQ(doc.CrossLineSet, 1);
    EXPECT_EQ(doc.CrossLinePoint, doc.SixPoint[1]);
    EXPECT_EQ(doc.OtherBaseSet, 1);
    EXPECT_EQ(doc.Plane.base.BaseRect[2], doc.SixPoint[1]) << "left plane's top-right is the centre top";
    EXPECT_EQ(doc.ParkedPlane.base.BaseRect[1], doc.SixPoint[1]) << "right plane's top-left is the centre top";
    EXPECT_EQ(doc.OtherBaseRect, doc.ParkedPlane.base.BaseRect);

    const auto figure = doc.SixPoint;
    doc.SixPoint = {};
    RebuildSixPoint(doc);
    EXPECT_EQ(doc.SixPoint, figure);

    EXPECT_EQ(BaseHantei(doc, {400, 400}), 1);
    EXPECT_EQ(BaseHantei(doc, {600, 400}), 2);
}

TEST(TwoPlanes, SwapTwiceRestoresTheState)
{
    Document doc;
    doc.CurrentSetting = 4;
    doc.CurrentBase = 1;
    doc.SixPoint = SixPointFromClick({500, 300}, {0, 0}, {1000, 800});
    BuildTwoPlanes(doc);
    doc.KijunWText = "1,500";  // typed with a separator: reads as 1
    doc.KijunHText = "750.5";
    doc.Plane.Distances.Append(TDistance{0, {300, 400}, {350, 420}});
    doc.ParkedPlane.BaseW = 2500;
    doc.ParkedPlane.BaseH = 600;

    const auto leftRect = doc.Plane.base.BaseRect;
    SwapBDS(doc);
    EXPECT_EQ(doc.CurrentBase, 2);
    EXPECT_EQ(doc.KijunWText, "2500");
    EXPECT_EQ(doc.KijunHText, "600");
    EXPECT_EQ(doc.Plane.DistanceCount(), 0);
    EXPECT_EQ(doc.OtherBaseRect, leftRect);
    SwapBDS(doc);
    EXPECT_EQ(doc.CurrentBase, 1);
    EXPECT_EQ(doc.KijunWText, "1");
    EXPECT_EQ(doc.KijunHText, "750.5");
    EXPECT_EQ(doc.Plane.DistanceCount(), 1);
    EXPECT_EQ(doc.Plane.base.BaseRect, leftRect);

    Document single;
    SwapBDS(single);
    EXPECT_EQ(single.CurrentBase, 0) << "no exchange outside the two-plane setting";
}

} // namespace
} // namespace kvx
