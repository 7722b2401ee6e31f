// A lens worked out from edges straight in reality: rendered scenes of a wall
// through a known lens, measured with the program's own plane construction
// after the correction, and the fits the edges must refuse.

#include "measure/lens_fit.h"

#include "lens_scene.h"
#include "measure/calibration.h"
#include "scene.h"
#include "testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace kvx {
namespace {

using test::Camera;
using test::Clicks;
using test::LensTruth;

using test::kH;
using test::kW;
using test::EdgeOnPhoto;
using test::Median;
using test::Seen;
using test::Segment;
using test::WallLineNear;
using test::WallSegments;

// The median relative length error over the wall's segments, each end and
// each reference corner taken on the photo and mapped through lens to the
// ideal camera before the program's plane construction measures them.  The
// points are placed exactly: the clicks' own noise is the uncertainty's
// business, and would hide what the lens leaves.
double MedianLengthError(const Camera& cam, const LensTruth& truth, const LensModel& lens)
{
    auto ideal = [&](TDPoint wall) {
        const std::optional<TDPoint> q = ToIdeal(lens, test::Shot(cam, truth, wall.x, wall.y));
        EXPECT_TRUE(q);
        return q ? DPoint(q->x, q->y) : TDPoint{};
    };
    Document doc;
    SetReferenceRect(doc, {ideal({-500, 400}), ideal({500, 400}), ideal({500, -400}), ideal({-500, -400})}, true);
    doc.KijunWText = "1000";
    doc.KijunHText = "800";
    std::vector<double> errors;
    for (const Segment& s : WallSegments(cam, truth)) {
        const double real = Distance(s.from, s.to);
        const double measured =
            Distance(GetDelta(doc, doc.W(), doc.H(), ideal(s.from)), GetDelta(doc, doc.W(), doc.H(), ideal(s.to)));
        errors.push_back(std::fabs(measured - real) / real);
    }
    EXPECT_GT(errors.size(), 50u) << "the photo shows too little of the wall";
    return Median(errors);
}

struct SceneCase {
    const char* what;
    LensTruth lens;
    double correctedWithin;     // the median error after the correction is below this
    double uncorrectedAtLeast;  // the median error without correction is at least this
};

class EdgeFitScene : public ::testing::TestWithParam<SceneCase> {};

BrownConrady Brown(double k1, double k2)
{
    BrownConrady b;
    b.fx = b.fy = 3000;
    b.cx = kW / 2 - 0.5;
    b.cy = kH / 2 - 0.5;
    b.k1 = k1;
    b.k2 = k2;
    return b;
}

// Two edges of the wall, one along the top of the photo and one down its
// side, give a lens that brings lengths all over the wall to within 0.2 %,
// where the uncorrected photo is off by much more.  A Brown-Conrady lens is
// another curve than the division model's: one k bends the photo's middle
// and its corners in another ratio than k1 does, so the best single k for the
// whole wall still leaves 0.07 % (|k1| = 0.1) to 0.26 % (0.3), and the k the
// edges near the border choose a little more; those cases are held to what
// the one-parameter model can give.
TEST_P(EdgeFitScene, TwoEdgesCorrectLengthsOverTheWall)
{
    const SceneCase& c = GetParam();
    const Camera cam{30, 10};
    Clicks click(0.3);
    const auto top = WallLineNear(cam, c.lens, true, 0.1 * kH);
    const auto side = WallLineNear(cam, c.lens, false, 0.1 * kW);
    const std::vector<std::vector<TDPoint>> edges{EdgeOnPhoto(cam, c.lens, top.first, top.second, 12, click),
                                                  EdgeOnPhoto(cam, c.lens, side.first, side.second, 12, click)};
    const EdgeFit fit = FitDivisionFromEdges(edges, {kW, kH});
    ASSERT_TRUE(fit) << "refused: " << static_cast<int>(fit.fault) << " edge " << fit.edge << " k " << fit.k << " ±"
                     << fit.kUncertainty;
    if (c.lens.kind == LensTruth::Kind::Division) {
        EXPECT_LT(fit.rmsAfter, 0.4) << "the corrected edges lie within the click noise of their lines";
    }
    EXPECT_LT(fit.rmsAfter, 1.5);
    EXPECT_GT(fit.rmsBefore, 2 * fit.rmsAfter);
    EXPECT_GT(fit.kUncertainty, 0);
    EXPECT_LT(fit.strength, kMaxKUncertainty);
    if (c.lens.kind == LensTruth::Kind::Division) {
        EXPECT_NEAR(fit.k, c.lens.k, 3 * fit.kUncertainty) << "the lens the photo was taken with, within its uncertainty";
    }

    const double corrected = MedianLengthError(cam, c.lens, fit.lens);
    const double uncorrected = MedianLengthError(cam, c.lens, LensModel{});
    RecordProperty("corrected", std::to_string(corrected));
    RecordProperty("uncorrected", std::to_string(uncorrected));
    EXPECT_LT(corrected, c.correctedWithin) << "k " << fit.k << " ±" << fit.kUncertainty << ", uncorrected " << uncorrected;
    EXPECT_GT(uncorrected, c.uncorrectedAtLeast) << "corrected " << corrected;
    EXPECT_GT(uncorrected, 4 * corrected);
}

INSTANTIATE_TEST_SUITE_P(
    Lenses, EdgeFitScene,
    ::testing::Values(SceneCase{"division_barrel_strong", LensTruth::Division(-0.3, kW, kH), 0.002, 0.2},
                      SceneCase{"division_barrel", LensTruth::Division(-0.1, kW, kH), 0.002, 0.05},
                      SceneCase{"division_pincushion", LensTruth::Division(0.15, kW, kH), 0.002, 0.05},
                      SceneCase{"division_pincushion_strong", LensTruth::Division(0.3, kW, kH), 0.002, 0.1},
                      SceneCase{"brown_barrel_strong", LensTruth::Brown(Brown(-0.3, 0.1)), 0.005, 0.15},
                      SceneCase{"brown_barrel", LensTruth::Brown(Brown(-0.1, 0)), 0.006, 0.04},
                      SceneCase{"brown_pincushion", LensTruth::Brown(Brown(0.1, 0)), 0.004, 0.03},
                      SceneCase{"brown_pincushion_strong", LensTruth::Brown(Brown(0.3, 0)), 0.02, 0.08}),
    [](const ::testing::TestParamInfo<SceneCase>& param) { return std::string(param.param.what); });

// Edges of a photo through a known division lens: runs of points along ideal
// straight lines, without noise.
std::vector<TDPoint> BentEdge(const LensTruth& lens, TDPoint from, TDPoint to, int n)
{
    std::vector<TDPoint> out;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / (n - 1);
        out.push_back(lens.ToPhoto({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t}));
    }
    return out;
}

// Three points in a straight row on the photo spanning length px from p.
std::vector<TDPoint> ShortEdge(TDPoint p, double length)
{
    return {p, {p.x + length / 2, p.y}, {p.x + length, p.y}};
}

// Each limit from both sides: the last value taken and the first refused.
TEST(EdgeFit, RefusesWhatCannotTellTheLens)
{
    const LensTruth lens = LensTruth::Division(-0.1, kW, kH);
    const std::vector<TDPoint> top = BentEdge(lens, {300, 250}, {3700, 300}, 15);
    const std::vector<TDPoint> left = BentEdge(lens, {250, 350}, {300, 2700}, 15);
    const std::vector<TDPoint> bottom = BentEdge(lens, {400, 2750}, {3600, 2700}, 15);
    const double diagonal = std::hypot(kW, kH);
    const double nan = std::nan("");
    const double radius = diagonal / 2;
    auto at = [&](double r) { return TDPoint{kW / 2 + 0.8 * radius * r, kH / 2 + 0.6 * radius * r}; };
    std::vector<TDPoint> topWithNaN = top;
    topWithNaN[4].y = nan;
    // A line through the centre stays straight whatever k: it tells nothing
    // and holds the points at the limit.
    const std::vector<TDPoint> radialBeyond{at(0.5), at(0.8), at(1.0501)}, radialJustIn{at(0.5), at(0.8), at(1.0499)};
    std::vector<TDPoint> tooMany(kMaxEdgePoints + 1), mostPoints(kMaxEdgePoints);
    for (std::size_t i = 0; i < tooMany.size(); ++i) {
        const TDPoint p = lens.ToPhoto({300 + 3.4 * static_cast<double>(i), 250 + 0.05 * static_cast<double>(i)});
        tooMany[i] = p;
        if (i < mostPoints.size())
            mostPoints[i] = p;
    }
    // Edges near the middle of the photo bend too little to tell k.
    // Clicked as anyone clicks, they could be straight as well as bent.
    std::vector<TDPoint> midA = BentEdge(lens, {1600, 1300}, {2400, 1310}, 15);
    std::vector<TDPoint> midB = BentEdge(lens, {1750, 1150}, {1760, 1850}, 15);
    Clicks click(0.3, 7);
    for (auto* edge : {&midA, &midB})
        for (TDPoint& p : *edge)
            p = click(p);
    // Straight on the photo: a lens without distortion, nothing to correct.
    const std::vector<TDPoint> straightH{{200, 300}, {1200, 300}, {2400, 300}, {3800, 300}};
    const std::vector<TDPoint> straightV{{300, 200}, {300, 1500}, {300, 2800}};

    struct Case {
        const char* what;
        std::vector<std::vector<TDPoint>> edges;
        PhotoSize size;
        EdgeFitFault fault;
        int edge;
    } const cases[] = {
        {"no edge", {}, {kW, kH}, EdgeFitFault::TooFewEdges, -1},
        {"one edge", {top}, {kW, kH}, EdgeFitFault::TooFewEdges, -1},
        {"two edges", {top, left}, {kW, kH}, EdgeFitFault::None, -1},
        {"an edge of two points", {top, left, {top[0], top[14]}}, {kW, kH}, EdgeFitFault::TooFewPoints, 2},
        {"an edge of three points", {top, left, {top[0], top[7], top[14]}}, {kW, kH}, EdgeFitFault::None, -1},
        {"an edge of more points than anyone clicks", {top, tooMany}, {kW, kH}, EdgeFitFault::TooFewPoints, 1},
        {"an edge of the most points taken", {left, mostPoints}, {kW, kH}, EdgeFitFault::None, -1},
        {"an edge just short of 5 % of the diagonal", {top, left, ShortEdge({1000, 1000}, 0.0499 * diagonal)},
         {kW, kH}, EdgeFitFault::EdgeTooShort, 2},
        {"an edge just over 5 % of the diagonal", {top, left, ShortEdge({1000, 1000}, 0.0501 * diagonal)},
         {kW, kH}, EdgeFitFault::None, -1},
        {"a point not a number", {left, topWithNaN}, {kW, kH}, EdgeFitFault::BadPoint, 1},
        {"a point beyond the photo's corner", {left, top, radialBeyond}, {kW, kH}, EdgeFitFault::BadPoint, 2},
        {"a point just outside the photo", {left, top, radialJustIn}, {kW, kH}, EdgeFitFault::None, -1},
        {"no photo size", {top, left}, {0, kH}, EdgeFitFault::BadPhotoSize, -1},
        {"a photo size not a number", {top, left}, {kW, nan}, EdgeFitFault::BadPhotoSize, -1},
        {"edges near the middle only", {midA, midB}, {kW, kH}, EdgeFitFault::Undecided, -1},
        {"edges straight already", {straightH, straightV}, {kW, kH}, EdgeFitFault::NoImprovement, -1},
        {"three edges", {top, left, bottom}, {kW, kH}, EdgeFitFault::None, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const EdgeFit fit = FitDivisionFromEdges(c.edges, c.size);
        EXPECT_EQ(fit.fault, c.fault) << "k " << fit.k << " ±" << fit.kUncertainty;
        EXPECT_EQ(fit.edge, c.edge);
        EXPECT_EQ(static_cast<bool>(fit), c.fault == EdgeFitFault::None);
        if (fit) {
            EXPECT_EQ(fit.lens.kind, LensKind::Division);
            EXPECT_EQ(fit.lens, LensModel::Division(fit.k, kW, kH));
            EXPECT_LT(fit.rmsAfter, fit.rmsBefore);
            EXPECT_NEAR(fit.k, -0.1, 0.01);
        } else {
            EXPECT_EQ(fit.lens.kind, LensKind::None) << "a refusal carries no lens to apply by mistake";
        }
    }
}

// The uncertainty limit from both sides, and the before and after residuals
// measured here on the corrected points.
TEST(EdgeFit, UncertaintyLimitAndResiduals)
{
    const LensTruth lens = LensTruth::Division(0.12, kW, kH);
    Clicks click(0.3, 99);
    std::vector<std::vector<TDPoint>> edges{BentEdge(lens, {300, 250}, {3700, 300}, 10),
                                            BentEdge(lens, {3750, 350}, {3700, 2700}, 10)};
    for (auto& edge : edges)
        for (TDPoint& p : edge)
            p = click(p);
    const EdgeFit fit = FitDivisionFromEdges(edges, {kW, kH});
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit.k, 0.12, 3 * fit.kUncertainty);
    EXPECT_EQ(FitDivisionFromEdges(edges, {kW, kH}, fit.kUncertainty * 0.999).fault, EdgeFitFault::Undecided);
    EXPECT_TRUE(FitDivisionFromEdges(edges, {kW, kH}, fit.kUncertainty * 1.001));

    // The residuals, worked out here: each edge's points from their own
    // best line (through the mean, along the scatter's main direction).
    auto rms = [&](const LensModel& m) {
        double sum = 0;
        int n = 0;
        for (const auto& edge : edges) {
            std::vector<TDPoint> q;
            for (const TDPoint& p : edge)
                q.push_back(*ToIdeal(m, p));
            double mx = 0, my = 0;
            for (const TDPoint& p : q) {
                mx += p.x / static_cast<double>(q.size());
                my += p.y / static_cast<double>(q.size());
            }
            double sxx = 0, syy = 0, sxy = 0;
            for (const TDPoint& p : q) {
                sxx += (p.x - mx) * (p.x - mx);
                syy += (p.y - my) * (p.y - my);
                sxy += (p.x - mx) * (p.y - my);
            }
            const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
            for (const TDPoint& p : q) {
                const double d = -(p.x - mx) * std::sin(angle) + (p.y - my) * std::cos(angle);
                sum += d * d;
                ++n;
            }
        }
        return std::sqrt(sum / n);
    };
    EXPECT_NEAR(fit.rmsBefore, rms(LensModel{}), 1e-6);
    EXPECT_NEAR(fit.rmsAfter, rms(fit.lens), 1e-6);
    EXPECT_NEAR(fit.rmsAfter, 0.3, 0.15) << "what is left is the clicks' noise";
    EXPECT_NEAR(fit.strength, fit.kUncertainty / (1 + fit.k), 1e-15);
}

// A length's share of the uncertainty of k: the relative change of a short
// tangential length at the point when k moves by its uncertainty, worked out
// here from the corrected points themselves.
TEST(EdgeFit, ScaleUncertaintyOfALength)
{
    const double k = -0.15, u = 0.002;
    const LensModel lens = LensModel::Division(k, kW, kH);
    const LensModel moved = LensModel::Division(k + u, kW, kH);
    for (const TDPoint p : {TDPoint{kW / 2, kH / 2}, TDPoint{3000, 2000}, TDPoint{10, 10}, TDPoint{kW, kH / 2}}) {
        SCOPED_TRACE(::testing::Message() << p);
        // A short step across the radius: only the scale 1 / (1 + k r^2) acts on it.
        const double dx = p.y - kH / 2, dy = -(p.x - kW / 2);
        const double n = std::max(1e-9, std::hypot(dx, dy)) / 0.01;
        const TDPoint q{p.x + dx / n, p.y + dy / n};
        auto length = [](TDPoint a, TDPoint b) { return std::hypot(a.x - b.x, a.y - b.y); };
        const double before = length(*ToIdeal(lens, p), *ToIdeal(lens, q));
        const double after = length(*ToIdeal(moved, p), *ToIdeal(moved, q));
        const double expected = p == TDPoint{kW / 2, kH / 2} ? 0.0 : std::fabs(after / before - 1);
        EXPECT_NEAR(DivisionScaleUncertainty(lens, u, p), expected, 0.02 * expected + 1e-12);
    }
    EXPECT_EQ(DivisionScaleUncertainty(LensModel{}, u, {10, 10}), 0.0);
    EXPECT_EQ(DivisionScaleUncertainty(lens, u, {1e9, 0}), 0.0) << "a point the model cannot map";
}

} // namespace
} // namespace kvx
