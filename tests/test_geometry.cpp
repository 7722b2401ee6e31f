#include "measure/geometry.h"

#include "base/error_trail.h"
#include "testing.h"
#include "view/view_mapping.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace kvx {
namespace {

TEST(Rounding, HalvesGoAwayFromZero)
{
    struct Case {
        long double in;
        double digitFix;
    };
    const Case cases[] = {
        {0.03125L, 0.0313}, {-0.03125L, -0.0313}, {0.00004999L, 0.0}, {2.5L, 2.5},
        {0.0L, 0.0},        {-0.00004L, 0.0},     {-2.5L, -2.5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DigitFix(c.in), c.digitFix) << static_cast<double>(c.in);
    EXPECT_FALSE(std::signbit(DigitFix(-0.00001L))) << "a rounded-away value must not print as -0";

    EXPECT_EQ(Roundoff(2.5L), 3);
    EXPECT_EQ(Roundoff(-2.5L), -3);
    EXPECT_EQ(Roundoff(2.4999L), 2);
    EXPECT_EQ(Roundoff(2147483647.4L), 2147483647);
}

// Rounding is half away from zero, then toward zero, exactly, wherever the
// next representable value decides: at halves, just beside them, at the ends
// of the ranges and far beyond the integers.
TEST(Rounding, HalvesAndNeighboursAtEveryMagnitude)
{
    std::vector<long double> values{0.0L, -0.0L, 1e-30L, -1e-30L, 0x1p62L, -0x1p62L, 0x1p63L, 3e30L, -3e30L};
    for (long double m = 0.5L; m < 0x1p66L; m *= 3.7L)
        for (const long double v : {m, m + 0.5L, std::floor(m) + 0.5L})
            for (const long double s : {1.0L, -1.0L})
                for (const long double n : {std::nextafter(s * v, 0.0L), s * v, std::nextafter(s * v, s * 1e40L)})
                    values.push_back(n);
    for (const long double x : values) {
        const long double fixed = x > 0 ? std::trunc(x * 10000.0L + 0.5L) / 10000.0L
                                        : std::trunc(x * 10000.0L - 0.5L) / 10000.0L;
        const double expected = static_cast<double>(fixed) == 0.0 ? 0.0 : static_cast<double>(fixed);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(DigitFix(x)), std::bit_cast<std::uint64_t>(expected)) << std::hexfloat << x;
        const long double r = x >= 0 ? std::trunc(x + 0.5L) : std::trunc(x - 0.5L);
        if (r >= -2147483648.0L && r <= 2147483647.0L) {
            EXPECT_EQ(Roundoff(x), static_cast<std::int32_t>(r)) << std::hexfloat << x;
        }
    }
}

TEST(Rounding, RoundoffOutsideInt32RaisesThroughTheTrail)
{
    const std::size_t before = ErrorTrail::global().size();
    EXPECT_THROW(Roundoff(2147483648.0L), std::range_error);
    EXPECT_THROW(Roundoff(std::numeric_limits<long double>::quiet_NaN()), std::range_error);
    ASSERT_EQ(ErrorTrail::global().size(), before + 2);
    EXPECT_EQ(ErrorTrail::global().lines().back(), "Roundoff");
}

TEST(Text, StrToValReadsWhatTheUserMeant)
{
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"", 0},          {"+", 0},          {"-", 0},          {"abc", 0},        {"  1234 mm", 1234},
        {"約1,000mm", 1}, {"W=2.5.1", 2.5},  {"-.5", -0.5},     {"1500.25", 1500.25},
        {"+7", 7},        {"12+3", 12},      {"1-", 1},         {"-5-3", -5},      {".", 0},
        {"-.", 0},        {"5.", 5},         {"1e5", 1},        {"..5", 0},        {"＝12", 12},
        {"+-3", 0},       {".5+3", 0.5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrToVal(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(StrToVal(std::string(400, '9')), 0) << "a number past double range counts as none";
}

TEST(Text, FloatToStrRoundTripsThroughStrToVal)
{
    for (const double v : {1000.0, 0.1, 1500.5, -3.25, 1e20, 123456.789, 0.0})
        EXPECT_EQ(StrToVal(FloatToStr(v)), v) << FloatToStr(v);
    EXPECT_EQ(FloatToStr(1000.0), "1000");
    EXPECT_EQ(FloatToStr(-0.0), "0");
}

TEST(Text, StrchrAndGetField)
{
    EXPECT_EQ(Strchr("0123456789", "ab3c"), 3);
    EXPECT_EQ(Strchr("xyz", "abc"), 0);
    EXPECT_EQ(GetField("a,,b", 3, ","), "b");
    EXPECT_EQ(GetField("a,,b", 2, ","), "");
    EXPECT_EQ(GetField("a,,b", 1, ","), "a");
    EXPECT_EQ(GetField("a,,b", 0, ","), "a");
    EXPECT_EQ(GetField("a,,b", 4, ","), "");
    EXPECT_EQ(GetField("a;b,c", 3, ",;"), "c");
}

TEST(Points, AngleAndAngleDiff)
{
    struct Case {
        TDPoint a, b;
        double angle;
    };
    const Case cases[] = {
        {{0, 0}, {1, 1}, 45},   {{0, 0}, {-1, 1}, 135}, {{0, 0}, {0, -1}, 270}, {{0, 0}, {1, -1}, 315},
        {{0, 0}, {0, 5}, 90},   {{0, 0}, {0, 0}, 0},    {{0, 0}, {-1, 0}, 180}, {{0, 0}, {-1, -1}, 225},
        {{3, 3}, {4, 3}, 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(Angle(c.a, c.b), c.angle) << c.a << " -> " << c.b;

    EXPECT_EQ(AngleDiff(350, 10), 20);
    EXPECT_EQ(AngleDiff(10, 350), -20);
    EXPECT_EQ(AngleDiff(0, 180), 180);
    EXPECT_EQ(AngleDiff(180, 0), -180);
}

TEST(Points, PolarMidPointDistance)
{
    EXPECT_EQ(Polar(TDPoint{10, 10}, 0, 5), (TDPoint{15, 10}));
    EXPECT_EQ(Polar(TDPoint{0, 0}, 90, 2), (TDPoint{0, 2}));
    EXPECT_EQ(Polar(TPoint{0, 0}, 180, 3), (TPoint{-3, 0}));
    EXPECT_EQ(MidPoint({0, 0}, {1, 0.00005}), (TDPoint{0.5, 0.0}));
    EXPECT_EQ(Distance({0, 0}, {3, 4}), 5);
    EXPECT_EQ(Distance({0, 0}, {1, 1}), 1.4142);
}

TEST(Areas, PolygonSpaceAndInner)
{
    const std::vector<TDPoint> cw{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    const std::vector<TDPoint> ccw{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}};
    EXPECT_EQ(PolygonSpace(cw, 4), 100);
    EXPECT_EQ(PolygonSpace(ccw, 4), 100);
    EXPECT_EQ(PolygonSpace(cw, 2), 0);

    for (const auto* q : {&cw, &ccw}) {
        EXPECT_TRUE(Inner({5, 5}, *q, false));
        EXPECT_FALSE(Inner({15, 5}, *q, true));
        EXPECT_TRUE(Inner({10, 5}, *q, true)) << "on an edge";
        EXPECT_FALSE(Inner({10, 5}, *q, false));
        EXPECT_TRUE(Inner({10, 10}, *q, true)) << "on a corner";
        EXPECT_FALSE(Inner({10, 10}, *q, false));
    }
}

TEST(Lines, IntersCodes)
{
    struct Case {
        TDPoint p1, p2, p3, p4;
        IntersCode code;
        TDPoint at;
    };
    const Case cases[] = {
        {{0, 0}, {2, 2}, {0, 2}, {2, 0}, IntersCode::Both, {1, 1}},
        {{0, 0}, {0.5, 0.5}, {0, 2}, {2, 0}, IntersCode::SecondOnly, {1, 1}},
        {{0, 0}, {2, 2}, {0, 2}, {0.5, 1.5}, IntersCode::FirstOnly, {1, 1}},
        {{0, 0}, {1, 1}, {0, 2}, {2, 0}, IntersCode::Both, {1, 1}},
        {{0, 0}, {0.5, 0.5}, {0, 2}, {0.5, 1.5}, IntersCode::Neither, {1, 1}},
        {{5, 0}, {5, 10}, {0, 3}, {10, 3}, IntersCode::Both, {5, 3}},
        {{0, 0}, {1, 0}, {0, 1}, {1, 1}, IntersCode::Parallel, {}},
        {{2, 0}, {2, 1}, {3, 0}, {3, 1}, IntersCode::Parallel, {}},
        {{0, 0}, {3, 1}, {0, 0}, {3, 1}, IntersCode::Parallel, {}},
    };
    for (const Case& c : cases) {
        const IntersResult r = Inters(c.p1, c.p2, c.p3, c.p4);
        EXPECT_EQ(r.code, c.code) << c.p1 << c.p2 << c.p3 << c.p4;
        if (c.code != IntersCode::Parallel) {
            EXPECT_TRUE(test::Near(r.point, c.at, 1e-9));
        }
    }
}

TEST(Lines, PLDist)
{
    struct Case {
        TDPoint p, a, b;
        double distance;
        TDPoint nearest;
    };
    const Case cases[] = {
        {{5, 5}, {0, 0}, {10, 0}, 5, {5, 0}},
        {{-3, 4}, {0, 0}, {10, 0}, 5, {0, 0}},
        {{13, 4}, {0, 0}, {10, 0}, 5, {10, 0}},
        {{3, 4}, {0, 0}, {0, 0}, 5, {0, 0}},
        {{1, 1}, {0, 0}, {3, 0}, 1, {1, 0}},
    };
    for (const Case& c : cases) {
        const PLDistResult r = PLDist(c.p, c.a, c.b);
        EXPECT_EQ(r.distance, c.distance) << c.p;
        EXPECT_EQ(r.nearest, c.nearest) << c.p;
    }
}

TEST(Screen, WtoSAndStoWInvertEachOther)
{
    const ViewState view{100, 50, 0.25, 7, 3};
    EXPECT_EQ(WtoS(view, {100, 50}), (TPoint{7, 3}));
    EXPECT_EQ(WtoS(view, {502, 450}), (TPoint{108, 103}));  // 100.5 rounds up
    EXPECT_EQ(StoW(view, {107, 103}), (TDPoint{500, 450}));
    const ViewState zoomed{0, 0, 3.0, 0, 0};
    EXPECT_EQ(StoW(zoomed, {10, 1}), (TDPoint{3.3333, 0.3333}));
    EXPECT_THROW(WtoS(zoomed, {1e10, 0}), std::range_error);
}

} // namespace
} // namespace kvx
