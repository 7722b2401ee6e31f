#include "measure/geometry.h"

#include "base/error_trail.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <algorithm>
#include <stdexcept>

namespace kvx {

namespace {

constexpr long double kDegPerRad = 180.0L / std::numbers::pi_v<long double>;
// The degree-to-radian factor Polar has always used; kept as it is so that
// placed points land on the same 4-decimal values as in stored files.
constexpr long double kPolarRad = 0.01745329251994L;
// tan(0.00005): below this the two slopes are taken as one direction.
constexpr long double kParallelLimit = 0.0000500000000042L;

} // namespace

// Only Roundoff (and the routines built on it) can fail, with a range error; the
// others have no failure to report, so only these carry a guard.
namespace {

// std::trunc without its library call or the change of the x87 control word
// an integer conversion makes: the overlay rounds every point it draws.  Below
// 2^62, adding and taking away 2^63 leaves the nearest whole number (the
// significand has 64 bits), which is then stepped toward zero if it passed y.
long double Truncated(long double y)
{
    constexpr long double kShift = 0x1p63L;
    constexpr long double kExact = 0x1p62L;
    if (y >= 0 && y < kExact) {
        long double r = (y + kShift) - kShift;
        if (r > y)
            r -= 1;
        return r;
    }
    if (y < 0 && y > -kExact) {
        long double r = (y - kShift) + kShift;
        if (r < y)
            r += 1;
        return r;
    }
    return std::trunc(y);
}

} // namespace

std::int32_t Roundoff(long double x)
{
    return Guard("Roundoff", [&] {
        const long double r = Truncated(x >= 0 ? x + 0.5L : x - 0.5L);
        if (!(r >= static_cast<long double>(std::numeric_limits<std::int32_t>::min()) &&
              r <= static_cast<long double>(std::numeric_limits<std::int32_t>::max())))
            throw std::range_error("Range check error");
        // A whole number in range: exact as a double, whose conversion needs no x87 mode change.
        return static_cast<std::int32_t>(static_cast<double>(r));
    });
}

double DigitFix(long double x)
{
    const long double r = x > 0 ? Truncated(x * 10000.0L + 0.5L) / 10000.0L
                                : Truncated(x * 10000.0L - 0.5L) / 10000.0L;
    const double d = static_cast<double>(r);
    return d == 0.0 ? 0.0 : d;
}

int Strchr(std::string_view set, std::string_view s)
{
    const auto pos = s.find_first_of(set);
    return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

std::string GetField(std::string_view s, int n, std::string_view delims)
{
    std::size_t begin = 0;
    for (int skipped = 1; skipped < n; ++skipped) {
        const auto d = s.find_first_of(delims, begin);
        if (d == std::string_view::npos)
            return {};
        begin = d + 1;
    }
    const auto end = s.find_first_of(delims, begin);
    return std::string(s.substr(begin, end == std::string_view::npos ? s.npos : end - begin));
}

double StrToVal(std::string_view s)
{
    static constexpr std::string_view kNumberChars = "0123456789.+-";
    const int start = Strchr(kNumberChars, s);
    if (start == 0)
        return 0.0;

    // Copy the run of number characters: after a sign no further sign, after a
    // point no further point or sign.
    std::string text;
    int state = 0;
    for (std::size_t i = static_cast<std::size_t>(start - 1); i < s.size(); ++i) {
        const char c = s[i];
        if (kNumberChars.find(c) == std::string_view::npos)
            break;
        const bool sign = c == '+' || c == '-';
        if ((state == 1 && sign) || (state == 2 && (sign || c == '.')))
            break;
        // A sign after digits ends the number: "12+3" is 12, "1-" is 1.
        if (sign && !text.empty())
            break;
        text += c;
        if (sign)
            state = 1;
        else if (c == '.')
            state = 2;
    }

    bool negative = false;
    std::string_view body = text;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    if (body.empty() || body == ".")
        return 0.0;

    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value,
                                           std::chars_format::fixed);
    if (ec != std::errc() || !std::isfinite(value))
        return 0.0;
    (void)ptr;
    return negative ? -value : value;
}

std::string FloatToStr(double x)
{
    if (!std::isfinite(x))
        return "0";
    char buf[400];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, x == 0.0 ? 0.0 : x,
                                         std::chars_format::fixed);
    if (ec != std::errc())
        return "0";
    return std::string(buf, ptr);
}

TDPoint DPoint(long double x, long double y)
{
    return {DigitFix(x), DigitFix(y)};
}

TDPoint DPoint(TPoint p)
{
    return {static_cast<double>(p.x), static_cast<double>(p.y)};
}

TPoint PPoint(TDPoint p)
{
    return Guard("PPoint", [&] { return TPoint{Roundoff(p.x), Roundoff(p.y)}; });
}

TDPoint MidPoint(TDPoint a, TDPoint b)
{
    return DPoint((static_cast<long double>(a.x) + b.x) / 2, (static_cast<long double>(a.y) + b.y) / 2);
}

double Distance(TDPoint a, TDPoint b)
{
    const long double dx = static_cast<long double>(b.x) - a.x;
    const long double dy = static_cast<long double>(b.y) - a.y;
    return DigitFix(std::sqrt(dx * dx + dy * dy));
}

double Angle(TDPoint a, TDPoint b)
{
    const long double dx = static_cast<long double>(b.x) - a.x;
    const long double dy = static_cast<long double>(b.y) - a.y;
    long double t;
    if (dx == 0) {
        if (dy > 0)
            return 90.0;
        if (dy < 0)
            return 270.0;
        return 0.0;
    }
    if (dx > 0)
        t = std::atan(dy / dx) * kDegPerRad + 360.0L;
    else
        t = std::atan(dy / dx) * kDegPerRad + 180.0L + 360.0L;
    return static_cast<double>(t - 360.0L * std::trunc(t / 360.0L));
}

double AngleDiff(long double a, long double b)
{
    const long double d = b - a;
    if (d > 180)
        return static_cast<double>(d - 360);
    if (d < -180)
        return static_cast<double>(d + 360);
    return static_cast<double>(d);
}

TDPoint Polar(TDPoint p, long double angle, long double dist)
{
    const long double rad = angle * kPolarRad;
    return {DigitFix(p.x + dist * std::cos(rad)), DigitFix(p.y + dist * std::sin(rad))};
}

TPoint Polar(TPoint p, long double angle, long double dist)
{
    return Guard("Polar", [&] { return PPoint(Polar(DPoint(p), angle, dist)); });
}

int SignOf(long double x)
{
    return x > 0 ? 1 : (x < 0 ? -1 : 0);
}

double PolygonSpace(std::span<const TDPoint> q, int high)
{
    if (high < 3 || static_cast<std::size_t>(high) >= q.size())
        return 0.0;
    long double sum = 0;
    for (int j = 0; j < high; ++j) {
        const TDPoint a = q[static_cast<std::size_t>(j)];
        const TDPoint b = q[static_cast<std::size_t>(j) + 1];
        sum += DigitFix((static_cast<long double>(b.x) * a.y - static_cast<long double>(a.x) * b.y) / 2);
    }
    return static_cast<double>(std::fabs(sum));
}

bool Inner(TDPoint p, std::span<const TDPoint> q, bool onEdgeInside)
{
    long double sum = 0;
    double previous = 0;
    for (std::size_t i = 0; i < q.size(); ++i) {
        const double a = Angle(p, q[i]);
        const double d = i == 0 ? 0.0 : AngleDiff(previous, a);
        if (std::fabs(d) == 180.0 || p == q[i]) {
            sum = onEdgeInside ? 360 : 0;
            break;
        }
        sum += d;
        previous = a;
        if (i >= 1 && q[i] == q[0])
            break;
    }
    return std::fabs(sum) > 180;
}

namespace {

struct LinePair {
    long double a1, m1, c1, a2, m2, c2;
};

// Each line as a*y = m*x + c; a = 0 marks a vertical line x = -c.  Returns
// false when the two are taken as parallel.
bool Solve(TDPoint p1, TDPoint p2, TDPoint p3, TDPoint p4, TDPoint& at)
{
    auto line = [](TDPoint u, TDPoint v, long double& a, long double& m, long double& c) {
        if (u.x == v.x) {
            a = 0;
            m = 1;
            c = -static_cast<long double>(u.x);
        } else {
            a = 1;
            m = (static_cast<long double>(v.y) - u.y) / (static_cast<long double>(v.x) - u.x);
            c = u.y - u.x * m;
        }
    };
    LinePair l;
    line(p1, p2, l.a1, l.m1, l.c1);
    line(p3, p4, l.a2, l.m2, l.c2);
    const long double den = l.a2 * l.m1 - l.a1 * l.m2;
    if (std::fabs(den) < kParallelLimit)
        return false;
    // a1 m2 - a2 m1 is exactly -den.
    at.x = DigitFix((l.a1 * l.c2 - l.a2 * l.c1) / den);
    at.y = DigitFix((l.c1 * l.m2 - l.m1 * l.c2) / -den);
    return true;
}

} // namespace

IntersResult Inters(TDPoint p1, TDPoint p2, TDPoint p3, TDPoint p4)
{
    IntersResult r;
    TDPoint at;
    if (!Solve(p1, p2, p3, p4, at))
        return r;
    const double X = at.x;
    const double Y = at.y;
    auto within = [X, Y](TDPoint u, TDPoint v) {
        return DigitFix((static_cast<long double>(u.x) - X) * (static_cast<long double>(v.x) - X)) <= 0 &&
               DigitFix((static_cast<long double>(u.y) - Y) * (static_cast<long double>(v.y) - Y)) <= 0;
    };
    int code = 4;
    if (within(p1, p2))
        code = 1;
    if (within(p3, p4))
        code = code == 1 ? 3 : 2;
    r.code = static_cast<IntersCode>(code);
    r.point = at;
    return r;
}

std::optional<TDPoint> IntersPoint(TDPoint p1, TDPoint p2, TDPoint p3, TDPoint p4)
{
    TDPoint at;
    if (!Solve(p1, p2, p3, p4, at))
        return std::nullopt;
    return at;
}

std::optional<std::pair<TDPoint, TDPoint>> ClipSegment(TDPoint a, TDPoint b, double x0, double y0, double x1,
                                                       double y1)
{
    // Liang-Barsky: the part of a + t (b - a), t in [0, 1], inside the rectangle.
    const long double dx = static_cast<long double>(b.x) - a.x;
    const long double dy = static_cast<long double>(b.y) - a.y;
    long double t0 = 0, t1 = 1;
    const long double p[4] = {-dx, dx, -dy, dy};
    const long double q[4] = {a.x - x0, x1 - a.x, a.y - y0, y1 - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return std::nullopt;
            continue;
        }
        const long double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return std::nullopt;
    }
    const TDPoint from = t0 == 0 ? a : TDPoint{static_cast<double>(a.x + t0 * dx), static_cast<double>(a.y + t0 * dy)};
    const TDPoint to = t1 == 1 ? b : TDPoint{static_cast<double>(a.x + t1 * dx), static_cast<double>(a.y + t1 * dy)};
    return std::pair{from, to};
}

PLDistResult PLDist(TDPoint p, TDPoint a, TDPoint b)
{
    const long double dx = static_cast<long double>(b.x) - a.x;
    const long double dy = static_cast<long double>(b.y) - a.y;
    const long double len2 = dx * dx + dy * dy;
    const long double t = len2 == 0 ? 1.0L : (dx * (p.x - a.x) + dy * (p.y - a.y)) / len2;
    TDPoint n;
    if (t <= 0)
        n = DPoint(a.x, a.y);
    else if (t >= 1)
        n = DPoint(b.x, b.y);
    else
        n = DPoint((1 - t) * a.x + t * b.x, (1 - t) * a.y + t * b.y);
    return {Distance(p, n), n};
}

OutlineFault CheckOutline(std::span<const TDPoint, 4> q)
{
    auto cross = [](TDPoint o, TDPoint a, TDPoint b) {
        return (static_cast<long double>(a.x) - o.x) * (static_cast<long double>(b.y) - o.y) -
               (static_cast<long double>(a.y) - o.y) * (static_cast<long double>(b.x) - o.x);
    };
    // Every three corners must span a triangle at least half a pixel high over its
    // longest side; a repeated corner makes that height 0.
    constexpr long double kMinHeight = 0.5;
    for (std::size_t skip = 0; skip < 4; ++skip) {
        std::array<TDPoint, 3> t{};
        std::size_t n = 0;
        for (std::size_t i = 0; i < 4; ++i)
            if (i != skip)
                t[n++] = q[i];
        const long double longest =
            std::max({static_cast<long double>(Distance(t[0], t[1])), static_cast<long double>(Distance(t[1], t[2])),
                      static_cast<long double>(Distance(t[2], t[0]))});
        if (!(longest > 0) || !(std::fabs(cross(t[0], t[1], t[2])) / longest >= kMinHeight))
            return OutlineFault::Empty;
    }
    // With no three corners on a line, two opposite edges either cross properly
    // or not at all.
    auto crosses = [&](TDPoint a, TDPoint b, TDPoint c, TDPoint d) {
        return (cross(a, b, c) > 0) != (cross(a, b, d) > 0) && (cross(c, d, a) > 0) != (cross(c, d, b) > 0);
    };
    if (crosses(q[0], q[1], q[2], q[3]) || crosses(q[1], q[2], q[3], q[0]))
        return OutlineFault::Crossed;
    return OutlineFault::None;
}

} // namespace kvx
