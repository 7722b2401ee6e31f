#include "measure/uncertainty.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "scene.h"
#include "testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <utility>
#include <vector>

namespace kvx {
namespace {

using test::Camera;
using test::Near;

// --- an independent Monte-Carlo ------------------------------------------------
//
// Every distinct point of the document is moved by a normal error of sigma
// pixels in x and in y (points equal bit for bit move together, as the one
// click they are), the calibration and the corrections are worked out again
// by the program's own construction, and the result is read as the window
// reads it.  The spread of many such results is what the propagated
// uncertainty has to match.

class Jitter {
public:
    Jitter(std::uint64_t seed, double sigma) : rng_(seed), normal_(0.0, sigma) {}

    void Start() { moved_.clear(); }
    void Move(TDPoint& p)
    {
        const std::pair<double, double> key{p.x, p.y};
        auto it = moved_.find(key);
        if (it == moved_.end())
            it = moved_.emplace(key, TDPoint{p.x + normal_(rng_), p.y + normal_(rng_)}).first;
        p = it->second;
    }

private:
    std::mt19937_64 rng_;
    std::normal_distribution<double> normal_;
    std::map<std::pair<double, double>, TDPoint> moved_;
};

void MovePlane(Jitter& j, TPlaneState& plane)
{
    TBaseBlock& b = plane.base;
    for (TDPoint& p : b.BaseRect)
        j.Move(p);
    for (int i = 1; i <= 2; ++i) {
        j.Move(b.BaseUnit[static_cast<std::size_t>(i)]);
        j.Move(b.BaseLineW[static_cast<std::size_t>(i)]);
        j.Move(b.BaseLineH[static_cast<std::size_t>(i)]);
    }
    for (TDistance& d : plane.Distances) {
        j.Move(d.start);
        j.Move(d.end);
        j.Move(d.correctionRef);
    }
    for (TSpace& s : plane.Spaces) {
        for (TDPoint& p : s.points)
            j.Move(p);
        j.Move(s.correctionRef);
    }
}

void Recalibrate(TPlaneState& plane, const std::array<TDPoint, 6>& other)
{
    CalcuBasePoint(plane.base, other);
    CalcuBaseUnitFromLines(plane);
    CalcuUnitPoint(plane);
}

// One sample of the document with every click moved.
Document Moved(const Document& doc, Jitter& j)
{
    Document d = doc;
    j.Start();
    MovePlane(j, d.Plane);
    MovePlane(j, d.ParkedPlane);
    for (TDPoint& p : d.OtherBaseRect)
        j.Move(p);
    for (TDPoint& p : d.SixPoint)
        j.Move(p);
    j.Move(d.CrossLinePoint);
    Recalibrate(d.Plane, d.OtherBaseRect);
    if (d.ParkedPlane.base.BaseSet == 1)
        Recalibrate(d.ParkedPlane, d.Plane.base.BaseRect);
    RebuildTwoPlaneGeometry(d);
    RecomputeCorrections(d);
    return d;
}

// The standard deviation of result over the samples.
double Spread(const Document& doc, double sigma, const std::function<double(Document&)>& result, int samples = 2000)
{
    Jitter j(20261211, sigma);
    long double sum = 0, sum2 = 0;
    for (int n = 0; n < samples; ++n) {
        Document d = Moved(doc, j);
        const long double v = result(d);
        sum += v;
        sum2 += v * v;
    }
    const long double mean = sum / samples;
    return static_cast<double>(std::sqrt((sum2 - samples * mean * mean) / (samples - 1)));
}

double DistanceValue(Document& d, std::int32_t i)
{
    TDistanceResult r;
    CalcuDistance(d, i, r, ChainSums::Skip);
    return r.distance;
}

double AreaValue(Document& d, std::int32_t i)
{
    TSpaceResult r;
    CalcuSpace(d, i, r);
    return r.area;
}

constexpr double kSigmaForPlanes = 1.0;

// --- the scenes ----------------------------------------------------------------

// A 1000 x 1000 mm reference on the front wall (Z = 0) at the origin.
Document WithReference(const Camera& cam)
{
    Document doc;
    SetReferenceRect(doc, cam.Rect(0, 0, 1000, 1000), true);
    return doc;
}

void AddDistance(Document& doc, const Camera& cam, TDPoint a, TDPoint b, double Z = 0)
{
    TDistance d;
    d.start = cam.Project(a.x, a.y, Z);
    d.end = cam.Project(b.x, b.y, Z);
    doc.Plane.Distances.Append(d);
}

void AddRectangle(Document& doc, const Camera& cam, TDPoint centre, double w, double h, double Z = 0)
{
    TSpace s;
    s.points = {cam.Project(centre.x - w / 2, centre.y + h / 2, Z), cam.Project(centre.x + w / 2, centre.y + h / 2, Z),
                cam.Project(centre.x + w / 2, centre.y - h / 2, Z), cam.Project(centre.x - w / 2, centre.y - h / 2, Z)};
    s.points.push_back(s.points.front());
    s.correctedPoints.resize(s.points.size());
    doc.Plane.Spaces.Append(s);
}

struct SceneCase {
    const char* name;
    double yaw, pitch;
    double reach;  // how far out the far marks lie, mm
};

class UncertaintyScene : public ::testing::TestWithParam<SceneCase> {
protected:
    // One pixel: the first-order figure is linear in it, and the program's
    // step of a millimetre stays well below the spread it makes.
    static constexpr double kSigma = 1.0;
    Camera cam{GetParam().yaw, GetParam().pitch};
};

::testing::AssertionResult WithinTenPercent(std::optional<double> propagated, double sampled)
{
    if (!propagated)
        return ::testing::AssertionFailure() << "no uncertainty worked out (sampled " << sampled << ")";
    const double ratio = *propagated / sampled;
    if (ratio >= 0.9 && ratio <= 1.1)
        return ::testing::AssertionSuccess() << "propagated " << *propagated << " sampled " << sampled;
    return ::testing::AssertionFailure() << "propagated " << *propagated << " sampled " << sampled << " ratio " << ratio;
}

// The projective map of the corners is the map the construction walks.
TEST_P(UncertaintyScene, TheMapIsTheProgramsCalibration)
{
    Document doc = WithReference(cam);
    const std::optional<PlaneMap> map = PlaneMap::Of(doc);
    ASSERT_TRUE(map);
    const double r = GetParam().reach;
    for (const TDPoint p : {TDPoint{0, 0}, TDPoint{-r, 300}, TDPoint{r, -300}, TDPoint{400, r / 2}, TDPoint{-200, -r / 2}}) {
        const TDPoint image = cam.Project(p.x, p.y);
        const std::optional<TDPoint> plane = map->ToPlane(image);
        ASSERT_TRUE(plane) << p;
        EXPECT_TRUE(Near(*plane, p, 0.05)) << "the scene's plane point, to the image points' 4 decimals";
        EXPECT_TRUE(Near(*plane, GetDelta(doc, image), 1.0)) << "the construction's, to its step";
        const std::optional<TDPoint> back = map->ToImage(*plane);
        ASSERT_TRUE(back);
        EXPECT_TRUE(Near(*back, image, 1e-6));
    }
}

TEST_P(UncertaintyScene, DistancesNearAndFar)
{
    Document doc = WithReference(cam);
    const double r = GetParam().reach;
    AddDistance(doc, cam, {-300, -200}, {400, 300});    // beside the reference
    AddDistance(doc, cam, {r - 1000, 200}, {r, -300});  // far out
    AddDistance(doc, cam, {-r, 0}, {-r + 800, 600});    // far out on the other side
    for (std::int32_t i = 1; i <= 3; ++i) {
        const double sampled = Spread(doc, kSigma, [i](Document& d) { return DistanceValue(d, i); });
        EXPECT_TRUE(WithinTenPercent(DistanceUncertainty(doc, i, kSigma), sampled)) << "distance " << i;
    }
    // Farther from the reference, less certain.
    EXPECT_GT(*DistanceUncertainty(doc, 2, kSigma), *DistanceUncertainty(doc, 1, kSigma));
}

TEST_P(UncertaintyScene, AreasWithAndWithoutSlopes)
{
    Document doc = WithReference(cam);
    const double r = GetParam().reach;
    AddRectangle(doc, cam, {200, -100}, 800, 600);
    AddRectangle(doc, cam, {r - 500, 0}, 1000, 1200);
    AddRectangle(doc, cam, {-200, 300}, 1500, 700);
    doc.Plane.Spaces[3].slantV = 35;
    doc.Plane.Spaces[3].slantH = -20;
    for (std::int32_t i = 1; i <= 3; ++i) {
        const double sampled = Spread(doc, kSigma, [i](Document& d) { return AreaValue(d, i); });
        EXPECT_TRUE(WithinTenPercent(SpaceUncertainty(doc, i, kSigma), sampled)) << "area " << i;
    }
}

// A measurement base of its own, and one from both base lines.
TEST_P(UncertaintyScene, MeasurementBases)
{
    Document unit = WithReference(cam);
    SetBaseUnit(unit, cam.Project(900, 700), cam.Project(1500, 300));
    unit.KijunWText = "600";
    unit.KijunHText = "400";
    AddDistance(unit, cam, {-500, -300}, {700, 400});

    Document lines = WithReference(cam);
    TBaseBlock& b = lines.Plane.base;
    b.BaseLineW[1] = cam.Project(-900, 1300);
    b.BaseLineW[2] = cam.Project(-100, 1300);
    b.BaseLineH[1] = cam.Project(1700, 600);
    b.BaseLineH[2] = cam.Project(1700, 100);
    b.BaseLineWSet = b.BaseLineHSet = 1;
    CalcuBaseUnitFromLines(lines.Plane);
    lines.KijunWText = "800";
    lines.KijunHText = "500";
    AddDistance(lines, cam, {-500, -300}, {700, 400});

    for (Document* doc : {&unit, &lines}) {
        const double sampled = Spread(*doc, kSigma, [](Document& d) { return DistanceValue(d, 1); });
        EXPECT_TRUE(WithinTenPercent(DistanceUncertainty(*doc, 1, kSigma), sampled));
    }
}

// A group's length and area, each carried as one result: the spread of the
// sum over the samples, where the shared reference's error adds up before it
// is squared.  The root of the sum of the results' squares would miss that.
TEST_P(UncertaintyScene, SumsOfAGroup)
{
    Document doc = WithReference(cam);
    const double r = GetParam().reach;
    // A chain of two sharing its middle point, and one far out.
    AddDistance(doc, cam, {-300, -200}, {400, 300});
    AddDistance(doc, cam, {400, 300}, {1200, -100});
    AddDistance(doc, cam, {r - 1000, 200}, {r, -300});
    ASSERT_EQ(doc.Plane.Distances[1].end, doc.Plane.Distances[2].start);
    AddRectangle(doc, cam, {200, -100}, 1600, 1200);
    AddRectangle(doc, cam, {300, 0}, 500, 400);  // a window taken away
    doc.Plane.Spaces[2].kind = kSpaceSub;
    AddRectangle(doc, cam, {r - 500, 0}, 1000, 1200);
    doc.Plane.Spaces[3].slantV = 30;

    const std::vector<std::int32_t> all{1, 2, 3};
    const double length = Spread(doc, kSigma, [&](Document& d) {
        double sum = 0;
        for (const std::int32_t i : all)
            sum += DistanceValue(d, i);
        return sum;
    });
    const std::optional<double> lengthSum = DistanceSumUncertainty(doc, all, kSigma);
    EXPECT_TRUE(WithinTenPercent(lengthSum, length));
    const double area = Spread(doc, kSigma, [](Document& d) { return AreaValue(d, 1) - AreaValue(d, 2) + AreaValue(d, 3); });
    const std::optional<double> areaSum = SpaceSumUncertainty(doc, all, kSigma);
    EXPECT_TRUE(WithinTenPercent(areaSum, area));

    // Not the root of the sum of squares: the results' errors are correlated.
    double squares = 0;
    for (const std::int32_t i : all)
        squares += std::pow(*DistanceUncertainty(doc, i, kSigma), 2);
    EXPECT_GT(*lengthSum, 1.1 * std::sqrt(squares));
    // One result alone is its own uncertainty; none is certain.
    EXPECT_NEAR(*DistanceSumUncertainty(doc, {3}, kSigma), *DistanceUncertainty(doc, 3, kSigma), 1e-12);
    EXPECT_NEAR(*SpaceSumUncertainty(doc, {2}, kSigma), *SpaceUncertainty(doc, 2, kSigma), 1e-12);
    EXPECT_EQ(DistanceSumUncertainty(doc, {}, kSigma), 0.0);
    EXPECT_FALSE(DistanceSumUncertainty(doc, {1, 9}, kSigma)) << "a result that is not there";
}

INSTANTIATE_TEST_SUITE_P(Cameras, UncertaintyScene,
                         ::testing::Values(SceneCase{"StraightOn", 0, 0, 3000}, SceneCase{"Yaw45", 45, 0, 2500},
                                           SceneCase{"Yaw70", 70, 0, 1800}, SceneCase{"Yaw45Pitch20", 45, 20, 2000}),
                         [](const auto& param) { return std::string(param.param.name); });

// Two walls meeting at a vertical edge: the front wall (Z = 0) carries this
// setting's rectangle, the side wall (X = 1500, toward the camera) the other
// setting's.  Marks on a surface 400 mm in front of the wall are corrected.
class CorrectedScene : public ::testing::TestWithParam<SceneCase> {
protected:
    static constexpr double kSigma = 1.0;
    static constexpr double kEdge = 1500;
    static constexpr double kDepth = -400;
    Camera cam{GetParam().yaw, GetParam().pitch};

    Document Scene()
    {
        Document doc = test::TwoWalls(cam, kEdge);
        EXPECT_EQ(doc.OtherBaseSet, 1);
        return doc;
    }
};

TEST_P(CorrectedScene, CorrectedDistanceAndArea)
{
    Document doc = Scene();
    const TDPoint R = cam.Project(kEdge, 300, kDepth);
    AddDistance(doc, cam, {-800, 200}, {1000, -100}, kDepth);
    doc.Plane.Distances[1].corrected = 1;
    doc.Plane.Distances[1].correctionRef = R;
    AddRectangle(doc, cam, {0, 0}, 1000, 1000, kDepth);
    doc.Plane.Spaces[1].corrected = 1;
    doc.Plane.Spaces[1].correctionRef = R;
    doc.Plane.Spaces[1].slantV = 25;
    RecomputeCorrections(doc);
    ASSERT_NEAR(DistanceValue(doc, 1), std::hypot(1800, 300), 2.0) << "the correction is in force";

    const double distance = Spread(doc, kSigma, [](Document& d) { return DistanceValue(d, 1); });
    EXPECT_TRUE(WithinTenPercent(DistanceUncertainty(doc, 1, kSigma), distance));
    const double area = Spread(doc, kSigma, [](Document& d) { return AreaValue(d, 1); });
    EXPECT_TRUE(WithinTenPercent(SpaceUncertainty(doc, 1, kSigma), area));
}

// A corrected distance and a plain one on the wall, added: the correction's
// inputs move only the corrected one.
TEST_P(CorrectedScene, SumOfACorrectedAndAPlainDistance)
{
    Document doc = Scene();
    AddDistance(doc, cam, {-800, 200}, {1000, -100}, kDepth);
    doc.Plane.Distances[1].corrected = 1;
    doc.Plane.Distances[1].correctionRef = cam.Project(kEdge, 300, kDepth);
    AddDistance(doc, cam, {-600, -400}, {900, 300});
    RecomputeCorrections(doc);
    const double sampled = Spread(doc, kSigma, [](Document& d) { return DistanceValue(d, 1) + DistanceValue(d, 2); });
    EXPECT_TRUE(WithinTenPercent(DistanceSumUncertainty(doc, {1, 2}, kSigma), sampled));

    // A table's results share the maps worked out for the first of them,
    // with the correction and without: the same figures, bit for bit.
    PlaneUncertainties table(doc, kSigma);
    EXPECT_EQ(table.Distance(2), DistanceUncertainty(doc, 2, kSigma));
    EXPECT_EQ(table.Distance(1), DistanceUncertainty(doc, 1, kSigma));
    EXPECT_EQ(table.DistanceSum({1, 2}), DistanceSumUncertainty(doc, {1, 2}, kSigma));
    EXPECT_EQ(table.Distance(2), DistanceUncertainty(doc, 2, kSigma));
}

INSTANTIATE_TEST_SUITE_P(Cameras, CorrectedScene,
                         ::testing::Values(SceneCase{"Yaw25Pitch12", 25, 12, 0}, SceneCase{"Yaw45", 45, 0, 0},
                                           SceneCase{"Yaw10", 10, 5, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

// Setting 4: an inside corner, the front wall (Z = 0) left of the edge at
// X = 0 and the side wall (X = 0) running away from the camera right of it.
// Each plane's results are uncertain through its own rectangle and the
// corners the two share.
TEST(TwoPlaneUncertainty, EachPlaneThroughItsOwnReference)
{
    const Camera cam{30, 10};
    auto side = [&](double Z, double Y) { return cam.Project(0, Y, Z); };
    Document doc;
    doc.CurrentSetting = 4;
    doc.CurrentBase = 1;
    doc.SixPoint = {TDPoint{}, side(0, 500), side(0, -500), cam.Project(-1000, 500), cam.Project(-1000, -500),
                    side(1000, 500), side(1000, -500)};
    BuildTwoPlanes(doc);
    // Each plane's depth direction from the other's rectangle, as a load gives it.
    RebuildTwoPlaneGeometry(doc);
    ASSERT_EQ(doc.CurrentBase, 1);
    AddDistance(doc, cam, {-900, -300}, {-100, 400});
    {
        const ParkedPlaneScope right(doc);
        TDistance d;
        d.start = side(200, -300);
        d.end = side(1500, 600);
        doc.Plane.Distances.Append(d);
        TDistance c;
        c.start = cam.Project(-300, 200, 600);
        c.end = cam.Project(-300, -400, 1400);
        c.corrected = 1;
        c.correctionRef = cam.Project(-300, 0, 0);
        doc.Plane.Distances.Append(c);
    }
    RecomputeCorrections(doc);
    auto parked = [](Document& d, std::int32_t i) {
        const ParkedPlaneScope right(d);
        return DistanceValue(d, i);
    };
    {
        Document probe = doc;
        ASSERT_NEAR(parked(probe, 1), std::hypot(1300, 900), 2.0);
        ASSERT_NEAR(parked(probe, 2), std::hypot(800, 600), 3.0) << "the corrected distance on the side wall";
    }

    const double left = Spread(doc, kSigmaForPlanes, [](Document& d) { return DistanceValue(d, 1); });
    EXPECT_TRUE(WithinTenPercent(DistanceUncertainty(doc, 1, kSigmaForPlanes), left));
    for (std::int32_t i = 1; i <= 2; ++i) {
        const double right = Spread(doc, kSigmaForPlanes, [&](Document& d) { return parked(d, i); });
        Document probe = doc;
        const ParkedPlaneScope scope(probe);
        EXPECT_TRUE(WithinTenPercent(DistanceUncertainty(probe, i, kSigmaForPlanes), right)) << "right plane " << i;
    }
}

// The warning after a reference is set: a 1 m distance through the photo's
// middle (2000, 1500) more uncertain than one per cent, and why.
struct StrengthCase {
    const char* name;
    Camera cam;
    double side;  // the reference's width and height, mm
    WeakReason reason;
};

class ReferenceStrengthCase : public ::testing::TestWithParam<StrengthCase> {};

TEST_P(ReferenceStrengthCase, WeakWhenAMetreIsUncertainByMoreThanOnePercent)
{
    const StrengthCase& c = GetParam();
    Document doc;
    SetReferenceRect(doc, c.cam.Rect(0, 0, c.side, c.side), true);
    doc.KijunWText = FloatToStr(c.side);
    doc.KijunHText = FloatToStr(c.side);
    const TDPoint middle{2000, 1500};
    const std::optional<ReferenceStrength> s = ReferenceStrengthAt(doc, middle, kDefaultClickSigma);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->reason, c.reason) << "relative " << s->relative;
    EXPECT_EQ(s->reason != WeakReason::None, s->relative > kWeakReference);

    // The figure is the uncertainty of that metre, wherever the scene puts it.
    const std::optional<PlaneMap> map = PlaneMap::Of(doc);
    ASSERT_TRUE(map);
    const TDPoint m = *map->ToPlane(middle);
    double largest = 0;
    for (const TDPoint half : {TDPoint{500, 0}, TDPoint{0, 500}})
        largest = std::max(largest, *SegmentUncertainty(doc, *map->ToImage({m.x - half.x, m.y - half.y}),
                                                        *map->ToImage({m.x + half.x, m.y + half.y}), kDefaultClickSigma));
    EXPECT_NEAR(s->millimetres, largest, 1e-9);
    EXPECT_NEAR(s->relative, largest / 1000, 1e-12);

    // Just either side of the threshold, by the click precision the figure is proportional to.
    const double atThreshold = kDefaultClickSigma * kWeakReference / s->relative;
    EXPECT_EQ(ReferenceStrengthAt(doc, middle, atThreshold * 0.99)->reason, WeakReason::None);
    EXPECT_NE(ReferenceStrengthAt(doc, middle, atThreshold * 1.01)->reason, WeakReason::None);
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, ReferenceStrengthCase,
    ::testing::Values(StrengthCase{"LargeStraightOn", Camera{0, 0}, 1000, WeakReason::None},
                      StrengthCase{"LargeAt45", Camera{45, 0}, 1000, WeakReason::None},
                      StrengthCase{"SmallFarAway", Camera{0, 0, 20000}, 150, WeakReason::FewPixels},
                      StrengthCase{"SmallAt30", Camera{30, 10, 15000}, 200, WeakReason::FewPixels},
                      StrengthCase{"Grazing", Camera{80, 0}, 500, WeakReason::Oblique}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ClickSigma, PreferenceKeptWithinItsRange)
{
    EXPECT_EQ(ClickSigma(0.5), 0.5);
    EXPECT_EQ(ClickSigma(2.25), 2.25);
    EXPECT_EQ(ClickSigma(0.01), kMinClickSigma);
    EXPECT_EQ(ClickSigma(40), kMaxClickSigma);
    EXPECT_EQ(ClickSigma(std::nan("")), kDefaultClickSigma);
}

// --- a found sheet's own tolerance -----------------------------------------------
//
// A landscape A4 sheet (297 x 210 mm, W along X) found as the reference, each
// side cut within +-2 mm: a standard uncertainty of 2 / sqrt(3) mm, anywhere
// within the limits alike.  Lengths on the wall scale with the size the
// sheet is taken at, X with W and Y with H, so a length L running dx, dy
// moves by dx^2 / (L W) per mm of W and dy^2 / (L H) per mm of H; that
// share joins the clicks' in quadrature.

struct SheetLength {
    const char* name;
    TDPoint a, b;  // wall points, mm
};

class SheetTolerance : public ::testing::TestWithParam<SheetLength> {};

TEST_P(SheetTolerance, WidensEveryLengthByItsShareOfTheSize)
{
    Camera cam{20, 10};
    cam.distance = 2500;
    const double W = 297, H = 210, u = 2 / std::sqrt(3.0);
    Document doc;
    SetReferenceRect(doc, cam.Rect(0, 0, W, H), true);
    doc.KijunWText = "297";
    doc.KijunHText = "210";
    AddDistance(doc, cam, GetParam().a, GetParam().b);
    const std::optional<double> clicks = DistanceUncertainty(doc, 1, 0.5);
    ASSERT_TRUE(clicks);

    doc.Plane.SheetSize = {W, H, u, u};
    const std::optional<double> both = DistanceUncertainty(doc, 1, 0.5);
    ASSERT_TRUE(both);
    const double dx = GetParam().b.x - GetParam().a.x, dy = GetParam().b.y - GetParam().a.y;
    const double L = std::hypot(dx, dy);
    const double share = std::hypot(dx * dx / (L * W) * u, dy * dy / (L * H) * u);
    EXPECT_NEAR(*both, std::hypot(*clicks, share), 1e-3 * share) << "clicks " << *clicks << " share " << share;
    // Clicks on a sheet 2.5 m away weigh about as much: the share is plain in the sum.
    EXPECT_GT(*both, 1.05 * *clicks);

    // W typed anew: the sheet no longer says the size, and only the clicks count.
    doc.KijunWText = "300";
    const std::optional<double> typed = DistanceUncertainty(doc, 1, 0.5);
    doc.Plane.SheetSize = {};
    const std::optional<double> clicked = DistanceUncertainty(doc, 1, 0.5);
    ASSERT_TRUE(typed && clicked);
    EXPECT_EQ(*typed, *clicked);
}

INSTANTIATE_TEST_SUITE_P(Lengths, SheetTolerance,
                         ::testing::Values(SheetLength{"AlongW", {-1500, 0}, {1500, 0}},
                                           SheetLength{"AlongH", {0, -1200}, {0, 1200}},
                                           SheetLength{"Slanting", {-1000, -800}, {1400, 900}}),
                         [](const ::testing::TestParamInfo<SheetLength>& p) { return std::string(p.param.name); });

// A reference clicked anew drops the found sheet's tolerance.
TEST(SheetTolerance, GoesWithANewReference)
{
    const Camera cam{0, 0};
    Document doc;
    SetReferenceRect(doc, cam.Rect(0, 0, 297, 210), true);
    doc.Plane.SheetSize = {297, 210, 1, 1};
    SetReferenceRect(doc, cam.Rect(10, 0, 297, 210), true);
    EXPECT_FALSE(doc.Plane.SheetSize.Any());
}

TEST(Uncertainty, NothingWithoutAReference)
{
    Document doc;
    TDistance d;
    d.end = {100, 100};
    doc.Plane.Distances.Append(d);
    EXPECT_FALSE(DistanceUncertainty(doc, 1, 0.5));
    EXPECT_FALSE(SegmentUncertainty(doc, {0, 0}, {10, 10}, 0.5));
    EXPECT_FALSE(ReferenceStrengthAt(doc, {0, 0}, 0.5));
    EXPECT_FALSE(PlaneMap::Of(doc));
}

// A point beyond the plane's horizon has no plane point, and no uncertainty.
TEST(Uncertainty, NothingBeyondTheHorizon)
{
    const Camera cam{60, 0};
    Document doc;
    SetReferenceRect(doc, cam.Rect(0, 0, 1000, 1000), true);
    const std::optional<PlaneMap> map = PlaneMap::Of(doc);
    ASSERT_TRUE(map);
    // The horizon of a wall turned 60 degrees lies left of the picture's middle.
    const TDPoint beyond{cam.cx - cam.focal * 2.5, cam.cy};
    EXPECT_FALSE(map->ToPlane(beyond));
    EXPECT_TRUE(map->ToPlane({cam.cx, cam.cy}));
    EXPECT_FALSE(SegmentUncertainty(doc, beyond, {cam.cx, cam.cy}, 0.5));
}

} // namespace
} // namespace kvx
