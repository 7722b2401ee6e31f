#include "measure/computation.h"
#include "interact/commands.h"

#include "measure/calibration.h"
#include "scene.h"
#include "testing.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvx {
namespace {

using test::Camera;
using test::Near;

constexpr double kStep = 0.9765625;

// Straight on at 0.5 px per mm: a plane coordinate of k * 1000 + half a step
// maps back to exactly k * 1000, so these scenes give round figures.
class FlatWall : public ::testing::Test {
protected:
    const Camera cam{0, 0, 6000, 3000};
    Document doc;

    void SetUp() override { SetReferenceRect(doc, cam.Rect(0, 0, 1000, 1000), true); }

    TDPoint At(double X, double Y) const { return cam.Project(X + kStep / 2, Y + kStep / 2); }

    std::int32_t AddDistance(double x1, double y1, double x2, double y2, std::int32_t group = 0)
    {
        TDistance d;
        d.group = group;
        d.start = At(x1, y1);
        d.end = At(x2, y2);
        return doc.Plane.Distances.Append(d);
    }

    std::int32_t AddRect(double x1, double y1, double x2, double y2, std::uint8_t kind, std::int32_t group = 0)
    {
        TSpace s;
        s.group = group;
        s.kind = kind;
        s.points = {At(x1, y1), At(x2, y1), At(x2, y2), At(x1, y2), At(x1, y1)};
        s.correctedPoints.resize(5);
        return doc.Plane.Spaces.Append(s);
    }
};

TEST_F(FlatWall, ChainOfThreeSegmentsMiddleCurrent)
{
    for (int i = 0; i < 3; ++i)
        AddDistance(-1500 + 1000 * i, 0, -500 + 1000 * i, 0);
    doc.Plane.Distances[1].next = 2;
    doc.Plane.Distances[2].prev = 1;
    doc.Plane.Distances[2].next = 3;
    doc.Plane.Distances[3].prev = 2;
    doc.CurrentDistance = 2;
    doc.TankaText = "2500";

    TDistanceResult r;
    CalcuDistance(doc, 2, r);
    EXPECT_EQ(r.distance, 1000);
    EXPECT_EQ(r.before, 1000);
    EXPECT_EQ(r.after, 1000);
    EXPECT_EQ(r.dX, 1000);
    EXPECT_EQ(r.dY, 0);
    EXPECT_EQ(r.angle, 0);
    EXPECT_EQ(SetCalcu(doc, uCommand::Distance),
              "長さ=3,000㎜( ￥7,500 ),  [距離=1,000㎜,  ΔX=1,000㎜,  ΔY=0㎜,  ∠0.000ﾟ]");
}

TEST_F(FlatWall, DistanceAngleAndComponents)
{
    const std::int32_t i = AddDistance(0, 0, -3000, -4000);
    TDistanceResult r;
    CalcuDistance(doc, i, r);
    EXPECT_EQ(r.distance, 5000);
    EXPECT_EQ(r.dX, 3000);
    EXPECT_EQ(r.dY, 4000);
    EXPECT_NEAR(r.angle, -126.870, 0.0005) << "counter-clockwise from +X with Y up";

    TDistanceResult untouched;
    untouched.distance = 42;
    CalcuDistance(doc, 0, untouched);
    CalcuDistance(doc, 2, untouched);
    EXPECT_EQ(untouched.distance, 42) << "out of range leaves the result as it was";
}

TEST_F(FlatWall, DamagedChainLinksCannotLoop)
{
    AddDistance(0, 0, 1000, 0);
    AddDistance(1000, 0, 2000, 0);
    doc.Plane.Distances[1].next = 1;  // points at itself
    doc.Plane.Distances[2].prev = 7;  // points nowhere
    TDistanceResult r;
    CalcuDistance(doc, 1, r);
    EXPECT_EQ(r.before + r.after, 0);
}

TEST_F(FlatWall, AreaTotalsOfTheCurrentGroup)
{
    AddRect(0, 0, 2000, 1000, kSpaceAdd);           // 2 m²
    AddRect(-1000, 0, 0, 3000, kSpaceAdd);          // 3 m²
    AddRect(0, 0, 1000, 1000, kSpaceSub);           // 1 m²
    AddRect(0, 0, 5000, 5000, kSpaceAdd, 2);        // other group: not counted
    doc.CurrentSpace = 4;                           // but shown as the current area
    doc.TankaText = "1000";
    EXPECT_EQ(SetCalcu(doc, uCommand::Distance),
              "合計面積=4.000㎡( ￥4,000 ),  加算=5.000㎡,  減算=1.000㎡,  [面積=25.000㎡, 周長=20,000㎜]");

    TSpaceResult r;
    CalcuSpace(doc, 1, r);
    EXPECT_EQ(r.area, 2);
    EXPECT_EQ(r.perimeter, 6000);
}

TEST_F(FlatWall, SubtractionsBeyondAdditionsGoNegative)
{
    AddRect(0, 0, 1000, 1000, kSpaceAdd);
    AddRect(0, 0, 2000, 2000, kSpaceSub);
    doc.TankaText = "単価 1500円";
    EXPECT_EQ(SetCalcu(doc, uCommand::SpaceAdd),
              "合計面積=-3.000㎡( -￥4,500 ),  加算=1.000㎡,  減算=4.000㎡,  [面積=0.000㎡, 周長=0㎜]");
}

TEST_F(FlatWall, SummaryChoosesItsKind)
{
    EXPECT_EQ(SetCalcu(doc, uCommand::None), "");
    EXPECT_EQ(SetCalcu(doc, uCommand::SpaceAdd),
              "合計面積=0.000㎡( ￥0 ),  加算=0.000㎡,  減算=0.000㎡,  [面積=0.000㎡, 周長=0㎜]")
        << "the area modes show the area summary even with nothing measured";
    AddDistance(0, 0, 1000, 0);
    EXPECT_EQ(SetCalcu(doc, uCommand::Distance), "") << "no current distance";
    doc.CurrentDistance = 1;
    doc.TankaText = "no digits";
    EXPECT_EQ(SetCalcu(doc, uCommand::Distance), "長さ=1,000㎜( ￥0 ),  [距離=1,000㎜,  ΔX=1,000㎜,  ΔY=0㎜,  ∠0.000ﾟ]");
    AddRect(0, 0, 1000, 1000, kSpaceAdd);
    EXPECT_EQ(SetCalcu(doc, uCommand::Distance).substr(0, 6), "長さ") << "distances win outside the area modes";
}

TEST_F(FlatWall, SlopesStretchThePlaneAxes)
{
    const std::int32_t i = AddRect(0, 0, 1000, 1000, kSpaceAdd);
    doc.Plane.Spaces[i].slantH = 60;
    TSpaceResult r;
    CalcuSpace(doc, i, r);
    EXPECT_NEAR(r.area, 2.0, 1e-9);
    EXPECT_NEAR(r.perimeter, 6000, 0.01);
    doc.Plane.Spaces[i].slantV = 60;
    CalcuSpace(doc, i, r);
    EXPECT_NEAR(r.area, 4.0, 1e-9);
}

TEST_F(FlatWall, DegenerateOutlines)
{
    TSpace empty;
    doc.Plane.Spaces.Append(empty);
    TSpace open;
    open.points = {At(0, 0), At(1000, 0), At(1000, 1000)};
    doc.Plane.Spaces.Append(open);
    TSpaceResult r;
    CalcuSpace(doc, 1, r);
    EXPECT_EQ(r.area, 0);
    EXPECT_EQ(r.perimeter, 0);
    CalcuSpace(doc, 2, r);
    EXPECT_EQ(r.area, 0) << "an outline that does not close has no area";
    EXPECT_EQ(r.perimeter, 2000);
    CalcuSpace(doc, 99, r);
    EXPECT_EQ(r.area, 0);
}

// Two walls meeting at a vertical edge, both in perspective.  The front wall
// (Z = 0) carries this setting's rectangle; the side wall (X = 1500, running
// toward the camera) carries the other setting's.  A surface 400 mm in front of
// the front wall is measured through the correction.
class TwoWalls : public ::testing::Test {
protected:
    const Camera cam{25, 12};
    const double edgeX = 1500;
    const double depth = -400;
    Document doc;

    void SetUp() override
    {
        doc = test::TwoWalls(cam, edgeX);
        ASSERT_EQ(doc.OtherBaseSet, 1);
    }
};

TEST_F(TwoWalls, CorrectedPointsMeasureLikeTheirFootOnTheWall)
{
    const TDPoint R = cam.Project(edgeX, 300, depth);
    for (const TDPoint p : {TDPoint{0, 0}, TDPoint{-800, 600}, TDPoint{1200, -900}}) {
        const TDPoint E = cam.Project(p.x, p.y, depth);
        const TDPoint corrected = CorrectPoint(doc, E, R);
        EXPECT_TRUE(Near(GetDelta(doc, corrected), p, 1.5)) << "plane point " << p;
        EXPECT_FALSE(Near(GetDelta(doc, E), p, 20)) << "uncorrected it measures wrong";
    }

    TDistance d;
    d.start = cam.Project(-800, 200, depth);
    d.end = cam.Project(1000, 200, depth);
    d.corrected = 1;
    d.correctionRef = R;
    doc.Plane.Distances.Append(d);
    CalcuDistanceHosei(doc);
    TDistanceResult r;
    CalcuDistance(doc, 1, r);
    EXPECT_NEAR(r.distance, 1800, 2.0);

    doc.Plane.Distances[1].corrected = 0;
    CalcuDistance(doc, 1, r);
    EXPECT_GT(std::fabs(r.distance - 1800), 20) << "without the correction the surface in front looks longer";

    doc.CrossLineSet = 0;
    doc.Plane.Distances[1].corrected = 1;
    CalcuDistance(doc, 1, r);
    EXPECT_GT(std::fabs(r.distance - 1800), 20) << "no cross line, no correction";
}

TEST_F(TwoWalls, AreaCorrectionAndSideProjection)
{
    const TDPoint R = cam.Project(edgeX, 0, depth);
    TSpace s;
    s.points = {cam.Project(-500, 500, depth), cam.Project(500, 500, depth), cam.Project(500, -500, depth),
                cam.Project(-500, -500, depth), cam.Project(-500, 500, depth)};
    s.correctedPoints.resize(5);
    s.corrected = 1;
    s.correctionRef = R;
    doc.Plane.Spaces.Append(s);
    CalcuSpaceHosei(doc);
    TSpaceResult r;
    CalcuSpace(doc, 1, r);
    EXPECT_NEAR(r.area, 1.0, 0.005);

    const SideProjection sp = SpaceSideProjection(doc, 1);
    // The projections lie on the correction line (the H line through R) and
    // span the outline's height there.
    EXPECT_NEAR(AngleDiff(Angle(doc.Plane.base.VanishH, R), Angle(doc.Plane.base.VanishH, sp.nearPoint)), 0, 1e-3);
    const TDPoint top = cam.Project(edgeX, 500, depth);
    const TDPoint bottom = cam.Project(edgeX, -500, depth);
    const bool topNearer = Distance(doc.Plane.base.VanishH, top) < Distance(doc.Plane.base.VanishH, bottom);
    EXPECT_TRUE(Near(sp.nearPoint, topNearer ? top : bottom, 0.05));
    EXPECT_TRUE(Near(sp.farPoint, topNearer ? bottom : top, 0.05));
}

} // namespace
} // namespace kvx
