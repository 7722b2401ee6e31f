// The lens between the photo and the plane: both directions of each model
// over the whole frame, the regions where a model folds, and a lens worked
// out from straight edges of a rendered scene, measured with the program's
// own plane construction.

#include "measure/lens.h"
#include "measure/lens_fit.h"

#include "lens_scene.h"
#include "measure/calibration.h"
#include "testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace kvx {
namespace {

using test::LensTruth;

constexpr double kW = 4000, kH = 3000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool SameBits(TDPoint a, TDPoint b)
{
    return std::bit_cast<std::uint64_t>(a.x) == std::bit_cast<std::uint64_t>(b.x) &&
           std::bit_cast<std::uint64_t>(a.y) == std::bit_cast<std::uint64_t>(b.y);
}

// Points over the whole frame, its edges and corners among them.
std::vector<TDPoint> FramePoints(double w, double h, int steps)
{
    std::vector<TDPoint> out;
    for (int i = 0; i <= steps; ++i)
        for (int j = 0; j <= steps; ++j)
            out.push_back({w * i / steps, h * j / steps});
    return out;
}

BrownConrady Intrinsics(double f)
{
    BrownConrady b;
    b.fx = f;
    b.fy = f * 1.002;
    b.cx = kW / 2 - 0.5 + 7;
    b.cy = kH / 2 - 0.5 - 5;
    return b;
}

TEST(Lens, NoCorrectionGivesEveryPointBackBitForBit)
{
    const std::vector<TDPoint> odd{{0, 0},           {-0.0, 1e-300},   {1234.5678, 2345.6789},
                                   {kW, kH},         {-1e9, 1e12},     {0.1 + 0.2, 1.0 / 3},
                                   {kNaN, 5},        {kInf, -kInf},    {4e-320, -4e-320}};
    BrownConrady still = Intrinsics(3000);
    const LensModel ideal[] = {LensModel{}, LensModel::Division(0.0, kW, kH), LensModel::Brown(still)};
    for (const LensModel& lens : ideal) {
        for (const TDPoint& p : odd) {
            if (lens.kind != LensKind::None && !(std::isfinite(p.x) && std::isfinite(p.y)))
                continue;
            const std::optional<TDPoint> q = ToIdeal(lens, p);
            const std::optional<TDPoint> back = ToPhoto(lens, p);
            ASSERT_TRUE(q && back) << p;
            EXPECT_TRUE(SameBits(*q, p)) << p << " became " << *q;
            EXPECT_TRUE(SameBits(*back, p)) << p << " became " << *back;
        }
    }
}

// The division model against its formula written out here, and the centre
// and normalisation it promises.
TEST(Lens, DivisionModelAsDefined)
{
    const LensModel lens = LensModel::Division(-0.2, kW, kH);
    const double radius = std::hypot(kW, kH) / 2;
    for (const TDPoint& p : FramePoints(kW, kH, 8)) {
        const double dx = p.x - kW / 2, dy = p.y - kH / 2;
        const double s = (dx * dx + dy * dy) / (radius * radius);
        const TDPoint expected{kW / 2 + dx / (1 - 0.2 * s), kH / 2 + dy / (1 - 0.2 * s)};
        const std::optional<TDPoint> q = ToIdeal(lens, p);
        ASSERT_TRUE(q) << p;
        EXPECT_TRUE(test::Near(*q, expected, 1e-9));
    }
    EXPECT_TRUE(test::Near(*ToIdeal(lens, {kW / 2, kH / 2}), {kW / 2, kH / 2}, 0));
    // A corner moves out by a quarter (1 / (1 - 0.2)), whatever the photo's size.
    for (const double scale : {1.0, 0.25, 3.0}) {
        const LensModel scaled = LensModel::Division(-0.2, kW * scale, kH * scale);
        const std::optional<TDPoint> corner = ToIdeal(scaled, {0, 0});
        ASSERT_TRUE(corner);
        EXPECT_TRUE(test::Near(*corner, {kW * scale / 2 - kW * scale / 2 * 1.25, kH * scale / 2 - kH * scale / 2 * 1.25},
                               1e-9 * scale * kW));
    }
}

// Brown-Conrady against the photo point the test's own distortion gives, with
// the principal point in OpenCV's convention (half a pixel from ours).
TEST(Lens, BrownConradyAsOpenCvDefinesIt)
{
    BrownConrady b = Intrinsics(2800);
    b.k1 = -0.21;
    b.k2 = 0.05;
    b.p1 = 0.001;
    b.p2 = -0.0007;
    b.k3 = -0.01;
    const LensModel lens = LensModel::Brown(b);
    const LensTruth truth = LensTruth::Brown(b);
    for (const TDPoint& q : FramePoints(kW, kH, 10)) {
        const TDPoint p = truth.ToPhoto(q);
        const std::optional<TDPoint> photo = ToPhoto(lens, q);
        ASSERT_TRUE(photo) << q;
        EXPECT_TRUE(test::Near(*photo, p, 1e-9));
        const std::optional<TDPoint> ideal = ToIdeal(lens, p);
        ASSERT_TRUE(ideal) << p;
        EXPECT_TRUE(test::Near(*ideal, q, 1e-7));
    }
    // The principal point stays where it is.
    const TDPoint principal{b.cx + 0.5, b.cy + 0.5};
    EXPECT_TRUE(test::Near(*ToIdeal(lens, principal), principal, 1e-12));
}

struct RoundTripCase {
    const char* what;
    LensModel lens;
};

class LensRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Photo to ideal and back, and ideal to photo and back, over the frame.
TEST_P(LensRoundTrip, OverTheWholeFrame)
{
    const LensModel& lens = GetParam().lens;
    int mapped = 0;
    for (const TDPoint& p : FramePoints(kW, kH, 40)) {
        const std::optional<TDPoint> q = ToIdeal(lens, p);
        ASSERT_TRUE(q) << "photo point " << p;
        const std::optional<TDPoint> back = ToPhoto(lens, *q);
        ASSERT_TRUE(back) << "ideal point " << *q;
        EXPECT_TRUE(test::Near(*back, p, 1e-7));
        ++mapped;
    }
    for (const TDPoint& q : FramePoints(kW, kH, 40)) {
        const std::optional<TDPoint> p = ToPhoto(lens, q);
        if (!p)
            continue;  // an ideal point no photo point shows (beyond a fold)
        const std::optional<TDPoint> back = ToIdeal(lens, *p);
        ASSERT_TRUE(back) << "photo point " << *p;
        EXPECT_TRUE(test::Near(*back, q, 1e-7));
    }
    EXPECT_EQ(mapped, 41 * 41);
}

BrownConrady With(double f, double k1, double k2, double p1, double p2, double k3)
{
    BrownConrady b = Intrinsics(f);
    b.k1 = k1;
    b.k2 = k2;
    b.p1 = p1;
    b.p2 = p2;
    b.k3 = k3;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Lenses, LensRoundTrip,
    ::testing::Values(RoundTripCase{"division barrel", LensModel::Division(-0.3, kW, kH)},
                      RoundTripCase{"division slight barrel", LensModel::Division(-0.02, kW, kH)},
                      RoundTripCase{"division pincushion", LensModel::Division(0.3, kW, kH)},
                      RoundTripCase{"division strong pincushion", LensModel::Division(0.6, kW, kH)},
                      RoundTripCase{"brown barrel k1 -0.3", LensModel::Brown(With(3000, -0.3, 0.1, 0, 0, 0))},
                      RoundTripCase{"brown barrel k1 -0.2 alone", LensModel::Brown(With(3000, -0.2, 0, 0, 0, 0))},
                      RoundTripCase{"brown pincushion k1 0.3", LensModel::Brown(With(3000, 0.3, 0, 0, 0, 0))},
                      RoundTripCase{"brown wide barrel", LensModel::Brown(With(2000, -0.3, 0.09, 0.001, -0.001, -0.005))},
                      RoundTripCase{"brown pincushion with tangential",
                                    LensModel::Brown(With(2500, 0.25, 0.05, -0.002, 0.0015, 0.01))}),
    [](const ::testing::TestParamInfo<RoundTripCase>& param) {
        std::string name = param.param.what;
        std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

// Beyond the fold there is no answer, and never a NaN.
TEST(Lens, NothingBeyondWhereTheModelFolds)
{
    const double radius = std::hypot(kW, kH) / 2;
    auto along = [&](double r) { return TDPoint{kW / 2 + r * radius * 0.8, kH / 2 + r * radius * 0.6}; };
    struct Case {
        const char* what;
        LensModel lens;
        TDPoint inside, outside;  // photo points either side of the fold
    } const cases[] = {
        // k = 0.5: the photo folds at r_d^2 = 2.
        {"division pincushion", LensModel::Division(0.5, kW, kH), along(std::sqrt(2.0) * 0.999),
         along(std::sqrt(2.0) * 1.001)},
        // k = -0.5: the ideal point runs off to infinity at r_d^2 = 2.
        {"division barrel", LensModel::Division(-0.5, kW, kH), along(std::sqrt(2.0) * 0.999),
         along(std::sqrt(2.0) * 1.001)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(ToIdeal(c.lens, c.inside));
        EXPECT_FALSE(ToIdeal(c.lens, c.outside));
        EXPECT_NEAR(FoldRadius(c.lens), std::sqrt(2.0), 1e-12);
    }
    // Pincushion k = 0.5: no photo point shows an ideal point beyond r_u = 1 / (2 sqrt(k)).
    const LensModel pin = LensModel::Division(0.5, kW, kH);
    const double far = 1 / (2 * std::sqrt(0.5));
    EXPECT_TRUE(ToPhoto(pin, along(far * 0.999)));
    EXPECT_FALSE(ToPhoto(pin, along(far * 1.001)));

    // k1 = -0.3 alone: r (1 - 0.3 r^2) turns back at r^2 = 1 / 0.9, where the
    // photo shows r_d = 0.703; the photo's corners, at 0.83, show nothing.
    const BrownConrady b = With(3000, -0.3, 0, 0, 0, 0);
    const LensModel strong = LensModel::Brown(b);
    EXPECT_NEAR(FoldRadius(strong), std::sqrt(1 / 0.9), 1e-9);
    const double fold = std::sqrt(1 / 0.9);
    const double foldPhoto = fold * (1 - 0.3 * fold * fold) * b.fx;
    const TDPoint principal{b.cx + 0.5, b.cy + 0.5};
    EXPECT_TRUE(ToIdeal(strong, {principal.x + foldPhoto * 0.999, principal.y}));
    EXPECT_FALSE(ToIdeal(strong, {principal.x + foldPhoto * 1.001, principal.y}));
    EXPECT_FALSE(ToIdeal(strong, {0, 0}));
    EXPECT_TRUE(ToPhoto(strong, {principal.x + fold * b.fx * 0.999, principal.y}));
    EXPECT_FALSE(ToPhoto(strong, {principal.x + fold * b.fx * 1.001, principal.y}));
    EXPECT_EQ(FoldRadius(LensModel::Brown(With(3000, 0.3, 0, 0, 0, 0))), kInf);
}

TEST(Lens, NothingForPointsOrModelsThatAreNotNumbers)
{
    const LensModel lenses[] = {LensModel::Division(-0.1, kW, kH), LensModel::Brown(With(3000, -0.1, 0, 0, 0, 0))};
    for (const LensModel& lens : lenses)
        for (const TDPoint p : {TDPoint{kNaN, 1}, TDPoint{1, kInf}, TDPoint{-kInf, kNaN}}) {
            EXPECT_FALSE(ToIdeal(lens, p));
            EXPECT_FALSE(ToPhoto(lens, p));
        }
    const LensModel insane[] = {LensModel::Division(kNaN, kW, kH), LensModel::Division(-0.1, 0, kH),
                                LensModel::Division(-0.1, kW, -1), LensModel::Division(kInf, kW, kH),
                                LensModel::Brown(With(0, -0.1, 0, 0, 0, 0)), LensModel::Brown(With(3000, kNaN, 0, 0, 0, 0)),
                                LensModel::Brown(With(-3000, -0.1, 0, 0, 0, 0))};
    for (const LensModel& lens : insane) {
        EXPECT_FALSE(IsSane(lens));
        EXPECT_FALSE(ToIdeal(lens, {100, 100}));
        EXPECT_FALSE(ToPhoto(lens, {100, 100}));
    }
}

} // namespace
} // namespace kvx
