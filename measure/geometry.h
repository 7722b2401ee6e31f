#pragma once

// Numeric and plane-geometry primitives shared by the whole measuring core.
//
// Results are compared for equality elsewhere (a closed outline is one whose
// plane end points are at distance 0, a vanishing point is an intersection), so
// every routine rounds exactly as documented here; the intermediates are computed
// in long double (80-bit extended on x86) and only stored results are double.
//
// Spaces: the same TDPoint carries image points (pixels of the decoded photo,
// origin top-left, x right, y down, kept to 4 decimals) and plane points
// (millimetres from the unit-cell centre, X right, Y up).  TPoint is a screen
// point in display pixels, origin top-left of the display, y down.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace kvx {

struct TDPoint {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const TDPoint&, const TDPoint&) = default;
};

struct TPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// --- rounding ---------------------------------------------------------------

// x rounded half away from zero; throws std::range_error outside int32 (and for NaN).
std::int32_t Roundoff(long double x);
// x rounded half away from zero to 4 decimals.  Never returns -0.
double DigitFix(long double x);

// --- text --------------------------------------------------------------------
// Positions count bytes of the UTF-8 text; every set used with them is ASCII.

// 1-based position in s of the first byte that occurs in set, 0 when none does.
int Strchr(std::string_view set, std::string_view s);
// The n-th field (1-based; n <= 1 gives the first) of s, fields separated by any
// single byte of delims; empty when s has fewer fields.
std::string GetField(std::string_view s, int n, std::string_view delims);
// The number a user meant by s: the first run of digits, '.', '+', '-' read
// leniently ("約1,000mm" -> 1, "W=2.5.1" -> 2.5, "-.5" -> -0.5).  Never throws:
// a sign after a digit ends the number ("12+3" -> 12), and text without a number
// gives 0.
double StrToVal(std::string_view s);
// Shortest text that StrToVal reads back as exactly x (fixed notation: the
// fields this fills are read without exponent).
std::string FloatToStr(double x);

// --- points and directions -----------------------------------------------------

TDPoint DPoint(long double x, long double y);
TDPoint DPoint(TPoint p);
TPoint PPoint(TDPoint p);
TDPoint MidPoint(TDPoint a, TDPoint b);
double Distance(TDPoint a, TDPoint b);
// Direction of b seen from a in degrees [0, 360), from +x toward +y.
double Angle(TDPoint a, TDPoint b);
// b - a folded into [-180, 180].
double AngleDiff(long double a, long double b);
TDPoint Polar(TDPoint p, long double angle, long double dist);
TPoint Polar(TPoint p, long double angle, long double dist);
int SignOf(long double x);

// --- areas and containment ---------------------------------------------------

// Area enclosed by the closed outline q[0..high] (q[high] == q[0]); 0 for high < 3.
double PolygonSpace(std::span<const TDPoint> q, int high);
// Whether p lies inside the closed outline q; a point on the boundary counts as
// inside exactly when onEdgeInside.
bool Inner(TDPoint p, std::span<const TDPoint> q, bool onEdgeInside);

// --- outlines of four corners --------------------------------------------------

// What makes four image points, given in the order their outline runs (either
// direction), useless as a reference rectangle or a measurement base: two edges
// that cross each other (the corners were not given around the outline), or no
// area (a corner repeated, or three corners on one line).  Both give lengths that
// look like numbers and mean nothing.
enum class OutlineFault { None, Crossed, Empty };
// A corner within half a pixel of the line through two others lies on it.
OutlineFault CheckOutline(std::span<const TDPoint, 4> q);

// --- lines ---------------------------------------------------------------------

enum class IntersCode : int {
    Parallel = 0,     // no point
    FirstOnly = 1,    // within segment p1-p2's box only
    SecondOnly = 2,   // within segment p3-p4's box only
    Both = 3,
    Neither = 4,
};

struct IntersResult {
    IntersCode code = IntersCode::Parallel;
    TDPoint point;  // meaningful unless code is Parallel
    explicit operator bool() const { return code != IntersCode::Parallel; }
};

// Intersection of the infinite lines p1-p2 and p3-p4.
IntersResult Inters(TDPoint p1, TDPoint p2, TDPoint p3, TDPoint p4);

// The same point as Inters, without the position code, for the constructions
// that only need the point: they run thousands of times per plane coordinate.
std::optional<TDPoint> IntersPoint(TDPoint p1, TDPoint p2, TDPoint p3, TDPoint p4);

// The part of segment a-b inside the rectangle [x0, x1] x [y0, y1], if any.
// Lines that start at a vanishing point far away are cut to the view with it
// before they become device coordinates.
std::optional<std::pair<TDPoint, TDPoint>> ClipSegment(TDPoint a, TDPoint b, double x0, double y0, double x1,
                                                       double y1);

struct PLDistResult {
    double distance = 0.0;
    TDPoint nearest;
};

// Distance from p to the segment a-b and the segment's point nearest to p.
PLDistResult PLDist(TDPoint p, TDPoint a, TDPoint b);

template <class T>
void Swap(T& a, T& b) noexcept { std::swap(a, b); }
inline void SwapInt(std::int32_t& a, std::int32_t& b) noexcept { Swap(a, b); }
inline void SwapDbl(double& a, double& b) noexcept { Swap(a, b); }
inline void SwapPt(TDPoint& a, TDPoint& b) noexcept { Swap(a, b); }

} // namespace kvx
