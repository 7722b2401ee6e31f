#include "measure/uncertainty.h"

#include "measure/ideal_view.h"

#include "measure/computation.h"
#include "base/error_trail.h"
#include "base/translate.h"
#include "measure/numfmt.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <numbers>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kvx {

namespace {

using Real = long double;

// A point or a line of the projective plane.  Kept scaled to its largest
// component, so that a vanishing point at infinity (parallel edges seen
// straight on) is an ordinary value and nothing overflows.
struct Hom {
    Real x = 0, y = 0, z = 0;
};

Hom Scaled(Hom h)
{
    const Real m = std::max({std::fabs(h.x), std::fabs(h.y), std::fabs(h.z)});
    if (m > 0) {
        h.x /= m;
        h.y /= m;
        h.z /= m;
    }
    return h;
}

Hom Of(TDPoint p)
{
    return {p.x, p.y, 1};
}

// The line through two points, or the point where two lines meet.
Hom Join(Hom a, Hom b)
{
    return Scaled({a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x});
}

std::optional<TDPoint> Finite(Hom h)
{
    if (h.z == 0)
        return std::nullopt;
    const Real x = h.x / h.z;
    const Real y = h.y / h.z;
    if (!std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    return TDPoint{static_cast<double>(x), static_cast<double>(y)};
}

using Matrix = std::array<Real, 9>;

Hom Apply(const Matrix& m, Real x, Real y, Real z = 1)
{
    return {m[0] * x + m[1] * y + m[2] * z, m[3] * x + m[4] * y + m[5] * z, m[6] * x + m[7] * y + m[8] * z};
}

Matrix Product(const Matrix& a, const Matrix& b)
{
    Matrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[static_cast<std::size_t>(3 * i + j)] += a[static_cast<std::size_t>(3 * i + k)] * b[static_cast<std::size_t>(3 * k + j)];
    return r;
}

// The inverse up to scale, which is all a projective map needs.
Matrix Adjugate(const Matrix& m)
{
    return {m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
            m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
            m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3]};
}

Real Determinant(const Matrix& m)
{
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) + m[2] * (m[3] * m[7] - m[4] * m[6]);
}

// The map of the unit square (0,0) (1,0) (1,1) (0,1) onto the quadrilateral
// c0..c3, in closed form; the affine case needs no branch of its own.
std::optional<Matrix> SquareTo(const std::array<TDPoint, 4>& c)
{
    const Real x0 = c[0].x, x1 = c[1].x, x2 = c[2].x, x3 = c[3].x;
    const Real y0 = c[0].y, y1 = c[1].y, y2 = c[2].y, y3 = c[3].y;
    const Real dx1 = x1 - x2, dx2 = x3 - x2, dx3 = x0 - x1 + x2 - x3;
    const Real dy1 = y1 - y2, dy2 = y3 - y2, dy3 = y0 - y1 + y2 - y3;
    const Real den = dx1 * dy2 - dx2 * dy1;
    if (den == 0)
        return std::nullopt;
    const Real g = (dx3 * dy2 - dx2 * dy3) / den;
    const Real h = (dx1 * dy3 - dx3 * dy1) / den;
    return Matrix{x1 - x0 + g * x1, x3 - x0 + h * x3, x0, y1 - y0 + g * y1, y3 - y0 + h * y3, y0, g, h, 1};
}

// The points a result depends on, each distinct point once.  A sum of a
// group's results has thousands: they are found by their value, not by
// looking through them all.
class Inputs {
public:
    int Add(TDPoint p)
    {
        // Equal as doubles are: 0 and -0 the same point, a point with no
        // number (from a damaged file) equal to none.
        const bool number = !std::isnan(p.x) && !std::isnan(p.y);
        const Key key{p.x == 0 ? 0.0 : p.x, p.y == 0 ? 0.0 : p.y};
        if (number)
            if (const auto it = index_.find(key); it != index_.end())
                return it->second;
        values.push_back(p);
        const int i = static_cast<int>(values.size()) - 1;
        if (number)
            index_.emplace(key, i);
        return i;
    }
    std::vector<TDPoint> values;

private:
    using Key = std::pair<double, double>;
    std::map<Key, int> index_;
};

// Where each point of the calibration stands among the inputs.
struct Calibration {
    std::array<int, 4> rect{};  // BaseRect[1..4]
    bool fromLines = false;     // the base from both base lines, else from its two corners
    std::array<int, 2> unit{};  // BaseUnit[1..2]
    std::array<int, 4> lines{}; // BaseLineW[1..2], BaseLineH[1..2]
    // Which constructed cell corner (U1, U1/U2, U2, U2/U1) stands at each of
    // UnitPoint[0..3], as the program's ordering put them.
    std::array<int, 4> order{};
    double W = 0, H = 0;
};

struct Correction {
    bool used = false;
    std::array<int, 4> other{};  // OtherBaseRect[1..4]
    int cross = 0;               // CrossLinePoint
};

// A calibration evaluated at some values of its inputs.
struct Geometry {
    PlaneMap map;
    Hom vanishW, vanishH, vanishOtherW;
};

struct Corners {
    std::array<TDPoint, 4> cell{};
    Hom vanishW, vanishH;
};

std::optional<Corners> CellCorners(const Calibration& c, const std::vector<TDPoint>& v)
{
    auto at = [&](int i) { return Of(v[static_cast<std::size_t>(i)]); };
    Corners out;
    out.vanishW = Join(Join(at(c.rect[0]), at(c.rect[1])), Join(at(c.rect[2]), at(c.rect[3])));
    out.vanishH = Join(Join(at(c.rect[1]), at(c.rect[2])), Join(at(c.rect[3]), at(c.rect[0])));
    const Hom& VW = out.vanishW;
    const Hom& VH = out.vanishH;
    Hom u1, u2;
    if (c.fromLines) {
        u1 = Join(Join(VW, at(c.lines[2])), Join(VH, at(c.lines[0])));
        u2 = Join(Join(VW, at(c.lines[3])), Join(VH, at(c.lines[1])));
    } else {
        u1 = at(c.unit[0]);
        u2 = at(c.unit[1]);
    }
    const std::array<Hom, 4> built{u1, Join(Join(VW, u1), Join(VH, u2)), u2, Join(Join(VW, u2), Join(VH, u1))};
    for (std::size_t j = 0; j < 4; ++j) {
        const std::optional<TDPoint> p = Finite(built[static_cast<std::size_t>(c.order[j])]);
        if (!p)
            return std::nullopt;
        out.cell[j] = *p;
    }
    return out;
}

std::optional<PlaneMap> MapFromCell(const std::array<TDPoint, 4>& cell, double W, double H)
{
    const std::optional<Matrix> square = SquareTo(cell);
    if (!square || Determinant(*square) == 0 || W == 0 || H == 0)
        return std::nullopt;
    // Unit square (u, v) to plane: X = (u - 1/2) W, Y = (1/2 - v) H.
    const Matrix toPlaneFromSquare{W, 0, -W / 2.0L, 0, -H, H / 2.0L, 0, 0, 1};
    PlaneMap m;
    m.toPlane = Product(toPlaneFromSquare, Adjugate(*square));
    m.toImage = Adjugate(m.toPlane);
    // The cell's middle is on the plane, in front of the camera.
    const Real cx = (static_cast<Real>(cell[0].x) + cell[1].x + cell[2].x + cell[3].x) / 4;
    const Real cy = (static_cast<Real>(cell[0].y) + cell[1].y + cell[2].y + cell[3].y) / 4;
    const Real z = Apply(m.toPlane, cx, cy).z;
    if (z == 0)
        return std::nullopt;
    m.side = z > 0 ? 1 : -1;
    return m;
}

std::optional<Geometry> Evaluate(const Calibration& c, const Correction& k, const std::vector<TDPoint>& v)
{
    const std::optional<Corners> corners = CellCorners(c, v);
    if (!corners)
        return std::nullopt;
    const std::optional<PlaneMap> map = MapFromCell(corners->cell, c.W, c.H);
    if (!map)
        return std::nullopt;
    Geometry g{*map, corners->vanishW, corners->vanishH, {}};
    if (k.used) {
        auto at = [&](int i) { return Of(v[static_cast<std::size_t>(i)]); };
        g.vanishOtherW = Join(Join(at(k.other[0]), at(k.other[1])), Join(at(k.other[2]), at(k.other[3])));
    }
    return g;
}

// Sets up the calibration roles of the current plane; nothing when the
// program's cell cannot be told apart in the constructed one.
std::optional<Calibration> CalibrationOf(const Document& doc, Inputs& in)
{
    const TPlaneState& plane = doc.Plane;
    const TBaseBlock& b = plane.base;
    if (b.BaseSet != 1)
        return std::nullopt;
    Calibration c;
    c.W = doc.W();
    c.H = doc.H();
    for (std::size_t i = 0; i < 4; ++i)
        c.rect[i] = in.Add(b.BaseRect[i + 1]);
    c.unit = {in.Add(b.BaseUnit[1]), in.Add(b.BaseUnit[2])};
    c.order = {0, 1, 2, 3};

    // The program puts parallel edges' vanishing point far away instead of at
    // infinity, which moves its corners by a hair: about size² / 1e8.
    constexpr double kSameCorner = 1e-4;
    // Which constructed corner is which of the program's; the same test tells
    // whether a base from the lines still is the base in force.
    auto match = [&](Calibration& cal) {
        const std::optional<Corners> built = [&]() -> std::optional<Corners> {
            Calibration raw = cal;
            raw.order = {0, 1, 2, 3};
            // Corners of a raw order never meet at infinity unless the base is degenerate.
            return CellCorners(raw, in.values);
        }();
        if (!built)
            return false;
        std::array<bool, 4> taken{};
        const double size = Distance(plane.UnitPoint[0], plane.UnitPoint[2]) + Distance(plane.UnitPoint[1], plane.UnitPoint[3]);
        for (std::size_t j = 0; j < 4; ++j) {
            int best = -1;
            double bestDistance = 0;
            for (int k = 0; k < 4; ++k) {
                const double d = Distance(built->cell[static_cast<std::size_t>(k)], plane.UnitPoint[j]);
                if (best < 0 || d < bestDistance) {
                    best = k;
                    bestDistance = d;
                }
            }
            if (taken[static_cast<std::size_t>(best)] || !(bestDistance <= kSameCorner * std::max(1.0, size)))
                return false;
            taken[static_cast<std::size_t>(best)] = true;
            cal.order[j] = best;
        }
        return true;
    };

    if (b.BaseLineWSet == 1 && b.BaseLineHSet == 1 && b.BaseUnitSet == 1) {
        Inputs trial = in;
        Calibration lines = c;
        lines.fromLines = true;
        lines.lines = {trial.Add(b.BaseLineW[1]), trial.Add(b.BaseLineW[2]), trial.Add(b.BaseLineH[1]),
                       trial.Add(b.BaseLineH[2])};
        std::swap(in, trial);
        if (match(lines))
            return lines;
        std::swap(in, trial);
    }
    if (!match(c))
        return std::nullopt;
    return c;
}

Correction CorrectionOf(const Document& doc, Inputs& in, bool used)
{
    Correction k;
    if (!used)
        return k;
    k.used = true;
    for (std::size_t i = 0; i < 4; ++i)
        k.other[i] = in.Add(doc.OtherBaseRect[i + 1]);
    k.cross = in.Add(doc.CrossLinePoint);
    return k;
}

// CorrectPoint on projective points: E carried along the depth direction onto
// the plane, for a surface meeting the other plane at R.
Hom Corrected(const Geometry& g, Hom E, Hom R, Hom C)
{
    const Hom t1 = Join(Join(g.vanishW, E), Join(g.vanishH, R));
    const Hom t2 = Join(Join(g.vanishOtherW, t1), Join(g.vanishH, C));
    return Join(Join(g.vanishW, t2), Join(g.vanishOtherW, E));
}

std::optional<TDPoint> PlaneOf(const PlaneMap& m, Hom p)
{
    if (p.z == 0)
        return std::nullopt;
    // The image point with a positive third coordinate, so that the sign of
    // the plane point's tells the side of the horizon.
    const Real s = p.z > 0 ? 1 : -1;
    const Hom q = Apply(m.toPlane, p.x * s, p.y * s, p.z * s);
    if (!(q.z * m.side > 0))
        return std::nullopt;
    const Real X = q.x / q.z;
    const Real Y = q.y / q.z;
    if (!std::isfinite(X) || !std::isfinite(Y))
        return std::nullopt;
    return TDPoint{static_cast<double>(X), static_cast<double>(Y)};
}

// A result as a function of the plane points of its measured points.
using Result = std::function<std::optional<Real>(const std::vector<TDPoint>& plane)>;

// One of the results a measurement adds up: its measured points, each the
// input it is, and how they make its value.
// An outline's area as its value: areaScale times the size of the sum of the
// cross products of neighbouring corners (the closing point repeats the
// first).  Moving one corner changes two of the terms only, so the gradient
// over every corner is worked out term by term, not outline by outline: the
// whole sum again for each corner made a long outline take minutes.
struct Outline {
    Real areaScale = 0;
};

Real Cross(TDPoint a, TDPoint b)
{
    return static_cast<Real>(b.x) * a.y - static_cast<Real>(a.x) * b.y;
}

Real TwiceArea(const std::vector<TDPoint>& q)
{
    Real twice = 0;
    for (std::size_t j = 0; j + 1 < q.size(); ++j)
        twice += Cross(q[j], q[j + 1]);
    return twice;
}

struct Part {
    bool corrected = false;  // the correction in force for it
    int ref = 0;             // the correction's reference point, when corrected
    std::vector<int> points;
    Result value;
    std::optional<Outline> outline;  // set for an area: its value is worked out by terms
};

// What a result (or a sum of them) is made of: the calibration and the
// correction's inputs first, then the measured points, each the input it is
// (a measured point that is also a calibration point, a corner clicked again,
// is that input).
struct Measurement {
    Calibration calibration;
    Correction correction;
    Inputs in;
    std::size_t mapInputs = 0;   // the inputs the map and the vanishing points are made of
    std::size_t firstLocal = 0;  // inputs from here on move measured points only
    std::vector<Part> parts;
};

// The calibration (and correction) evaluated as it is and with each of its
// inputs moved by the step either way in x and in y.  They are the same for
// every result of the plane, so a table of many results works them out once.
struct MovedMaps {
    std::optional<Geometry> base;
    std::vector<std::optional<Geometry>> moved;  // [4 input + 2 axis + (down ? 1 : 0)]
};

// Far below a click's error and far above the rounding of the map.
constexpr double kStep = 1e-3;

MovedMaps MapsOf(const Measurement& m)
{
    MovedMaps maps;
    std::vector<TDPoint> v = m.in.values;
    maps.base = Evaluate(m.calibration, m.correction, v);
    for (std::size_t input = 0; input < m.mapInputs; ++input)
        for (double TDPoint::*axis : {&TDPoint::x, &TDPoint::y}) {
            const double kept = v[input].*axis;
            for (const double step : {kStep, -kStep}) {
                v[input].*axis = kept + step;
                maps.moved.push_back(Evaluate(m.calibration, m.correction, v));
            }
            v[input].*axis = kept;
        }
    return maps;
}

// The plane point of input e, corrected about r when corrected.
std::optional<TDPoint> PlanePoint(const Geometry& g, const Correction& k, bool corrected, const std::vector<TDPoint>& v,
                                  int e, int r)
{
    auto at = [&](int i) { return Of(v[static_cast<std::size_t>(i)]); };
    const Hom p = corrected ? Corrected(g, at(e), at(r), at(k.cross)) : at(e);
    return PlaneOf(g.map, p);
}

using PlaneSets = std::vector<std::vector<TDPoint>>;  // the plane points of each part

std::optional<PlaneSets> PlanePoints(const Measurement& m, const Geometry& g, const std::vector<TDPoint>& v)
{
    PlaneSets sets;
    sets.reserve(m.parts.size());
    for (const Part& part : m.parts) {
        std::vector<TDPoint>& q = sets.emplace_back();
        q.reserve(part.points.size());
        for (const int e : part.points) {
            const std::optional<TDPoint> p = PlanePoint(g, m.correction, part.corrected, v, e, part.ref);
            if (!p)
                return std::nullopt;
            q.push_back(*p);
        }
    }
    return sets;
}

// The sum of the parts' values.
std::optional<Real> Total(const Measurement& m, const PlaneSets& sets)
{
    Real total = 0;
    for (std::size_t k = 0; k < m.parts.size(); ++k) {
        const std::optional<Real> r = m.parts[k].value(sets[k]);
        if (!r)
            return std::nullopt;
        total += *r;
    }
    return total;
}

} // namespace

// What one sum keeps: for the calibration it was worked out on, each part's
// values with each calibration input moved, and each measured point's two
// slopes, by the bytes of what they are made of.  Every number is worked
// out as the whole sum works it out and added up in the same order, so a
// kept value is the value afresh, bit for bit.
struct SumMemo::Impl {
    struct Values {
        std::vector<std::optional<Real>> moved;  // [4 * calibration input + slot]
        std::uint64_t round = 0;
    };
    struct Slopes {
        std::array<std::optional<Real>, 2> slope;  // x, y
        std::uint64_t round = 0;
    };
    std::string start;
    std::unordered_map<std::string, Values> parts;
    std::unordered_map<std::string, Slopes> points;
    std::uint64_t round = 0;
};

SumMemo::SumMemo() : impl_(std::make_unique<Impl>()) {}
SumMemo::~SumMemo() = default;
SumMemo::SumMemo(SumMemo&&) noexcept = default;
SumMemo& SumMemo::operator=(SumMemo&&) noexcept = default;

namespace {

template <class T>
void AddBytes(std::string& key, const T& v)
{
    key.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// The calibration a memo's values hold for: its roles and the values of its inputs.
std::string StartKey(const Measurement& m)
{
    std::string key;
    const Calibration& c = m.calibration;
    for (const int i : c.rect)
        AddBytes(key, i);
    AddBytes(key, c.fromLines);
    for (const int i : c.unit)
        AddBytes(key, i);
    for (const int i : c.lines)
        AddBytes(key, i);
    for (const int i : c.order)
        AddBytes(key, i);
    AddBytes(key, c.W);
    AddBytes(key, c.H);
    AddBytes(key, m.correction.used);
    AddBytes(key, m.mapInputs);
    AddBytes(key, m.firstLocal);
    for (std::size_t i = 0; i < m.firstLocal; ++i) {
        AddBytes(key, m.in.values[i].x);
        AddBytes(key, m.in.values[i].y);
    }
    return key;
}

// What part k's value under any map is made of: its points, which of them
// are calibration inputs (those move with the map), and its kind.
void AddPartKey(std::string& key, const Measurement& m, std::size_t k)
{
    const Part& part = m.parts[k];
    AddBytes(key, part.points.size());
    for (const int e : part.points) {
        const TDPoint& p = m.in.values[static_cast<std::size_t>(e)];
        AddBytes(key, p.x);
        AddBytes(key, p.y);
        AddBytes(key, static_cast<std::size_t>(e) < m.firstLocal ? e : -1);
    }
    AddBytes(key, part.outline.has_value());
    if (part.outline)
        AddBytes(key, part.outline->areaScale);
}

// Total(m, PlanePoints(m, g, v)) without keeping the plane points: the same
// values summed in the same order.  scratch: room for one part's points.
std::optional<Real> TotalAt(const Measurement& m, const Geometry& g, const std::vector<TDPoint>& v,
                            std::vector<TDPoint>& scratch)
{
    Real total = 0;
    for (const Part& part : m.parts) {
        scratch.clear();
        for (const int e : part.points) {
            const std::optional<TDPoint> p = PlanePoint(g, m.correction, part.corrected, v, e, part.ref);
            if (!p)
                return std::nullopt;
            scratch.push_back(*p);
        }
        const std::optional<Real> r = part.value(scratch);
        if (!r)
            return std::nullopt;
        total += *r;
    }
    return total;
}

// The standard uncertainty of the sum of the parts: its gradient over every
// coordinate of every input, by central differences, times sigma.  The sum
// is carried as one result, so an error the parts share (the reference's, a
// shared end) adds up before it is squared.  An input of the calibration or
// a correction's reference point moves every plane point; a measured point's
// own input moves only the plane points it is, and only the parts it belongs
// to change, so a long outline costs its length, not its square, in
// projective maps, and a sum of many results no more than the results alone.
std::optional<double> Propagate(const Measurement& m, const MovedMaps& maps, double sigma, SumMemo::Impl* memo)
{
    std::vector<TDPoint> v = m.in.values;
    // Kept only for uncorrected sums: their calibration's inputs move every
    // point, and a measured point only its own parts.
    const bool keep = memo && m.firstLocal == m.mapInputs &&
                      std::none_of(m.parts.begin(), m.parts.end(), [](const Part& p) { return p.corrected; });
    if (keep) {
        std::string start = StartKey(m);
        if (start != memo->start) {
            *memo = SumMemo::Impl{};
            memo->start = std::move(start);
        }
        ++memo->round;
    }
    const std::optional<Geometry>& g0 = maps.base;
    if (!g0)
        return std::nullopt;
    std::optional<PlaneSets> q = PlanePoints(m, *g0, v);
    if (!q || !Total(m, *q))
        return std::nullopt;
    // Where each input stands: which part, which of its points; by part.
    std::vector<std::vector<std::pair<std::size_t, std::size_t>>> uses(v.size());
    for (std::size_t k = 0; k < m.parts.size(); ++k)
        for (std::size_t j = 0; j < m.parts[k].points.size(); ++j)
            uses[static_cast<std::size_t>(m.parts[k].points[j])].emplace_back(k, j);
    // Each outline's sum of terms where it stands.
    std::vector<Real> twice(m.parts.size(), 0);
    for (std::size_t k = 0; k < m.parts.size(); ++k)
        if (m.parts[k].outline)
            twice[k] = TwiceArea((*q)[k]);

    // The sum, or for a measured point the sum of the parts it moves: the
    // others stay as they are and drop out of the difference.
    // slot: which way the input moved, as MovedMaps counts it.
    // Reused from one input to the next: a sum of many results moves
    // thousands of inputs.
    std::vector<TDPoint> scratch;
    std::vector<Real> before;
    std::vector<TDPoint> unmoved;
    auto at = [&](std::size_t input, std::size_t slot) -> std::optional<Real> {
        if (input < m.firstLocal) {
            const std::optional<Geometry>& g = input < m.mapInputs ? maps.moved[4 * input + slot] : g0;
            if (!g)
                return std::nullopt;
            return TotalAt(m, *g, v, scratch);
        }
        PlaneSets& sets = *q;
        // The terms of the outlines the input moves, before it moves: each
        // edge (e, e + 1) once.
        auto edgesOf = [&](std::size_t k) {
            std::vector<std::size_t> edges;
            for (const auto& [kk, j] : uses[input]) {
                if (kk != k)
                    continue;
                if (j > 0)
                    edges.push_back(j - 1);
                if (j + 1 < sets[k].size())
                    edges.push_back(j);
            }
            std::sort(edges.begin(), edges.end());
            edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
            return edges;
        };
        auto termsOf = [&](std::size_t k, const std::vector<std::size_t>& edges) {
            Real t = 0;
            for (const std::size_t e : edges)
                t += Cross(sets[k][e], sets[k][e + 1]);
            return t;
        };
        before.assign(uses[input].size(), 0);
        for (std::size_t n = 0; n < uses[input].size(); ++n) {
            const std::size_t k = uses[input][n].first;
            if (m.parts[k].outline && (n == 0 || uses[input][n - 1].first != k))
                before[n] = termsOf(k, edgesOf(k));
        }
        unmoved.clear();
        for (const auto& [k, j] : uses[input]) {
            const Part& part = m.parts[k];
            unmoved.push_back(sets[k][j]);
            const std::optional<TDPoint> p = PlanePoint(*g0, m.correction, part.corrected, v, part.points[j], part.ref);
            if (!p)
                return std::nullopt;
            sets[k][j] = *p;
        }
        Real sum = 0;
        bool valued = true;
        for (std::size_t n = 0; n < uses[input].size(); ++n) {
            const std::size_t k = uses[input][n].first;
            if (n > 0 && uses[input][n - 1].first == k)
                continue;  // each part once
            std::optional<Real> r;
            if (const std::optional<Outline>& o = m.parts[k].outline)
                r = o->areaScale * std::fabs(twice[k] - before[n] + termsOf(k, edgesOf(k)));
            else
                r = m.parts[k].value(sets[k]);
            valued = valued && r;
            if (r)
                sum += *r;
        }
        for (std::size_t n = 0; n < unmoved.size(); ++n)
            sets[uses[input][n].first][uses[input][n].second] = unmoved[n];
        if (!valued)
            return std::nullopt;
        return sum;
    };
    // The two slopes of input, as the sum works them out.
    auto slopes = [&](std::size_t input) {
        std::array<std::optional<Real>, 2> out;
        TDPoint& p = v[input];
        std::size_t slot = 0;
        for (double TDPoint::*axis : {&TDPoint::x, &TDPoint::y}) {
            const double kept = p.*axis;
            p.*axis = kept + kStep;
            const std::optional<Real> up = at(input, slot++);
            p.*axis = kept - kStep;
            const std::optional<Real> down = at(input, slot++);
            p.*axis = kept;
            if (!up || !down)
                return out;
            out[slot / 2 - 1] = (*up - *down) / (2 * kStep);
        }
        return out;
    };
    // Kept: the sum's value with each calibration input moved, from its
    // parts' kept values added in the parts' order.
    std::vector<std::optional<Real>> movedTotals;
    std::string key;
    if (keep) {
        movedTotals.assign(4 * m.mapInputs, Real{0});
        for (std::size_t k = 0; k < m.parts.size(); ++k) {
            key.clear();
            AddPartKey(key, m, k);
            SumMemo::Impl::Values& values = memo->parts[key];
            if (values.moved.empty()) {
                values.moved.resize(4 * m.mapInputs);
                const Part& part = m.parts[k];
                for (std::size_t input = 0; input < m.mapInputs; ++input) {
                    std::size_t slot = 0;
                    for (double TDPoint::*axis : {&TDPoint::x, &TDPoint::y}) {
                        const double kept = v[input].*axis;
                        for (const double step : {kStep, -kStep}) {
                            v[input].*axis = kept + step;
                            const std::optional<Geometry>& g = maps.moved[4 * input + slot];
                            std::optional<Real>& value = values.moved[4 * input + slot];
                            ++slot;
                            if (!g)
                                continue;
                            scratch.clear();
                            bool all = true;
                            for (const int e : part.points) {
                                const std::optional<TDPoint> point = PlanePoint(*g, m.correction, false, v, e, part.ref);
                                if (!point) {
                                    all = false;
                                    break;
                                }
                                scratch.push_back(*point);
                            }
                            if (all)
                                value = part.value(scratch);
                        }
                        v[input].*axis = kept;
                    }
                }
            }
            values.round = memo->round;
            for (std::size_t s = 0; s < movedTotals.size(); ++s)
                movedTotals[s] = movedTotals[s] && values.moved[s] ? std::optional<Real>(*movedTotals[s] + *values.moved[s])
                                                                   : std::nullopt;
        }
    }
    Real sum = 0;
    for (std::size_t input = 0; input < v.size(); ++input) {
        std::array<std::optional<Real>, 2> slope;
        if (keep && input < m.mapInputs) {
            for (std::size_t a = 0; a < 2; ++a) {
                const std::optional<Real>& up = movedTotals[4 * input + 2 * a];
                const std::optional<Real>& down = movedTotals[4 * input + 2 * a + 1];
                if (up && down)
                    slope[a] = (*up - *down) / (2 * kStep);
            }
        } else if (keep) {
            // A measured point's slopes are made of the parts it is a point of.
            key.clear();
            AddBytes(key, v[input].x);
            AddBytes(key, v[input].y);
            for (const auto& [k, j] : uses[input]) {
                AddBytes(key, j);
                AddPartKey(key, m, k);
            }
            SumMemo::Impl::Slopes& kept = memo->points[key];
            if (kept.round == 0)
                kept.slope = slopes(input);
            kept.round = memo->round;
            slope = kept.slope;
        } else {
            slope = slopes(input);
        }
        for (const std::optional<Real>& a : slope) {
            if (!a)
                return std::nullopt;
            sum += *a * *a;
        }
    }
    if (keep) {
        // What this sum no longer holds goes, once it is most of what is kept.
        auto prune = [&](auto& map) {
            std::size_t used = 0;
            for (const auto& e : map)
                used += e.second.round == memo->round;
            if (map.size() > 2 * used)
                std::erase_if(map, [&](const auto& e) { return e.second.round != memo->round; });
        };
        prune(memo->parts);
        prune(memo->points);
    }
    const Real u = std::sqrt(sum) * sigma;
    if (!std::isfinite(u))
        return std::nullopt;
    return static_cast<double>(u);
}

// A result before its inputs are known: its measured points as image points.
struct PartOf {
    bool corrected = false;
    TDPoint ref;
    std::vector<TDPoint> points;
    Result value;
    std::optional<Outline> outline = std::nullopt;
};

// Sets up the calibration of the current plane and, when corrected, the
// correction: what every result of the plane starts from.
std::optional<Measurement> Start(const Document& doc, bool corrected)
{
    Measurement m;
    const std::optional<Calibration> c = CalibrationOf(doc, m.in);
    if (!c)
        return std::nullopt;
    m.calibration = *c;
    m.correction = CorrectionOf(doc, m.in, corrected);
    m.mapInputs = m.in.values.size();
    return m;
}

// Far below any k's uncertainty, far above the rounding of the lens's map.
constexpr double kLensStep = 1e-6;

// The standard uncertainty the lens's k (as its edges or its profile fix it) gives the sum
// of m's parts: every point of the photo, reference and marks alike, moves
// with k, so the reference's share cancels what it can of the marks'.  The
// slope is taken by moving k either way and working the whole sum out again.
std::optional<double> LensPart(const Document& doc, const Measurement& m)
{
    const LensModel& lens = LensInForce(doc);
    if (lens.kind == LensKind::None)
        return 0.0;
    std::vector<TDPoint> photo;
    photo.reserve(m.in.values.size());
    for (const TDPoint& q : m.in.values) {
        const std::optional<TDPoint> p = IdealToShown(doc, q);
        if (!p)
            return std::nullopt;
        photo.push_back(*p);
    }
    auto totalWith = [&](double dk) -> std::optional<Real> {
        // A calibration's k1 is moved alone: its other coefficients are
        // held where the calibration put them, as their own spread is not kept.
        LensModel moved = lens;
        if (moved.kind == LensKind::Division)
            moved.k += dk;
        else
            moved.bc.k1 += dk;
        std::vector<TDPoint> v;
        v.reserve(photo.size());
        for (const TDPoint& p : photo) {
            const std::optional<TDPoint> q = ShownToIdealWith(doc, moved, p);
            if (!q)
                return std::nullopt;
            v.push_back(*q);
        }
        const std::optional<Geometry> g = Evaluate(m.calibration, m.correction, v);
        if (!g)
            return std::nullopt;
        const std::optional<PlaneSets> sets = PlanePoints(m, *g, v);
        if (!sets)
            return std::nullopt;
        return Total(m, *sets);
    };
    const std::optional<Real> up = totalWith(kLensStep), down = totalWith(-kLensStep);
    if (!up || !down)
        return std::nullopt;
    const Real u = std::fabs((*up - *down) / (2 * kLensStep)) * doc.LensKUncertainty;
    if (!std::isfinite(u))
        return std::nullopt;
    return static_cast<double>(u);
}

// The standard uncertainty the true size of a found sheet or card gives the
// sum of m's parts: W and H are moved either way in turn and the whole sum
// worked out again, each slope times the side's own uncertainty, the two
// sides' shares (cut independently) in quadrature.  0 when the reference has
// no such share: clicked, a marker's, or a sheet's whose W or H was changed.
std::optional<double> SheetPart(const Document& doc, const Measurement& m)
{
    const SizeTolerance& sheet = doc.Plane.SheetSize;
    auto same = [](double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b)); };
    if (!sheet.Any() || !same(m.calibration.W, sheet.w) || !same(m.calibration.H, sheet.h))
        return 0.0;
    auto totalWith = [&](double Calibration::*side, double by) -> std::optional<Real> {
        Measurement moved = m;
        moved.calibration.*side += by;
        const std::optional<Geometry> g = Evaluate(moved.calibration, moved.correction, moved.in.values);
        if (!g)
            return std::nullopt;
        const std::optional<PlaneSets> sets = PlanePoints(moved, *g, moved.in.values);
        if (!sets)
            return std::nullopt;
        return Total(moved, *sets);
    };
    Real sum = 0;
    for (const auto& [side, u] : {std::pair{&Calibration::W, sheet.dw}, std::pair{&Calibration::H, sheet.dh}}) {
        if (!(u > 0))
            continue;
        const double step = 1e-6 * std::max(1.0, std::fabs(m.calibration.*side));
        const std::optional<Real> up = totalWith(side, step), down = totalWith(side, -step);
        if (!up || !down)
            return std::nullopt;
        const Real share = (*up - *down) / (2 * step) * u;
        sum += share * share;
    }
    const Real out = std::sqrt(sum);
    if (!std::isfinite(out))
        return std::nullopt;
    return static_cast<double>(out);
}

// A start and its moved maps.
struct Origin {
    Measurement start;
    MovedMaps maps;
};

// Adds to a start every corrected part's reference point, then the measured
// points.
Measurement Complete(Measurement m, std::vector<PartOf> parts)
{
    m.parts.resize(parts.size());
    for (std::size_t k = 0; k < parts.size(); ++k) {
        m.parts[k].corrected = parts[k].corrected;
        if (parts[k].corrected)
            m.parts[k].ref = m.in.Add(parts[k].ref);
    }
    m.firstLocal = m.in.values.size();
    for (std::size_t k = 0; k < parts.size(); ++k) {
        for (const TDPoint& p : parts[k].points)
            m.parts[k].points.push_back(m.in.Add(p));
        m.parts[k].value = std::move(parts[k].value);
        m.parts[k].outline = parts[k].outline;
    }
    return m;
}

Real Length(const std::vector<TDPoint>& q)
{
    return std::hypot(static_cast<Real>(q[0].x) - q[1].x, static_cast<Real>(q[0].y) - q[1].y);
}

// A distance of the current plane as a part; nothing for an index out of range.
std::optional<PartOf> DistancePart(const Document& doc, std::int32_t i)
{
    if (!doc.Plane.Distances.Valid(i))
        return std::nullopt;
    const TDistance& d = doc.Plane.Distances[i];
    return PartOf{CorrectionInForce(doc, d.corrected), d.correctionRef, {d.start, d.end},
                  [](const std::vector<TDPoint>& q) -> std::optional<Real> { return Length(q); }};
}

// An area of the current plane as a part, its slopes included: its size
// (sign dropped) times sign.  Nothing for an index out of range or an
// outline of fewer than three corners.
std::optional<PartOf> SpacePart(const Document& doc, std::int32_t i, int sign)
{
    if (!doc.Plane.Spaces.Valid(i))
        return std::nullopt;
    const TSpace& s = doc.Plane.Spaces[i];
    if (s.points.size() < 4)
        return std::nullopt;
    const bool corrected = CorrectionInForce(doc, s.corrected) && s.correctedPoints.size() == s.points.size();
    constexpr Real kRad = std::numbers::pi_v<Real> / 180;
    const Real stretch = std::cos(s.slantH * kRad) * std::cos(s.slantV * kRad);
    const Outline outline{sign / (2 * stretch) / 1000000};
    return PartOf{corrected, s.correctionRef, s.points,
                  [outline](const std::vector<TDPoint>& q) -> std::optional<Real> {
                      return outline.areaScale * std::fabs(TwiceArea(q));
                  },
                  outline};
}

} // namespace

double ClickSigma(double preference)
{
    if (!std::isfinite(preference))
        return kDefaultClickSigma;
    return std::clamp(preference, kMinClickSigma, kMaxClickSigma);
}

std::optional<PlaneMap> PlaneMap::Of(const Document& doc)
{
    Inputs in;
    const std::optional<Calibration> c = CalibrationOf(doc, in);
    if (!c)
        return std::nullopt;
    const std::optional<Geometry> g = Evaluate(*c, Correction{}, in.values);
    if (!g)
        return std::nullopt;
    return g->map;
}

std::optional<TDPoint> PlaneMap::ToPlane(TDPoint p) const
{
    return PlaneOf(*this, kvx::Of(p));
}

std::optional<TDPoint> PlaneMap::ToImage(TDPoint q) const
{
    // The plane point is in front when the image point maps back to it on
    // the cell's side of the horizon.
    const Hom h = Apply(toImage, q.x, q.y);
    const std::optional<TDPoint> p = Finite(h);
    if (!p)
        return std::nullopt;
    const std::optional<TDPoint> back = ToPlane(*p);
    if (!back)
        return std::nullopt;
    return p;
}

// Without and with the correction: not yet worked out, nothing (no
// calibration), or the origin.
struct PlaneUncertainties::Shared {
    std::array<std::optional<std::optional<Origin>>, 2> origins;
};

namespace {

std::optional<double> SumOf(const Document& doc, PlaneUncertainties::Shared& shared, std::vector<PartOf> parts,
                            double sigma, SumMemo* memo = nullptr)
{
    const bool corrected = std::any_of(parts.begin(), parts.end(), [](const PartOf& p) { return p.corrected; });
    std::optional<std::optional<Origin>>& origin = shared.origins[corrected ? 1 : 0];
    if (!origin) {
        std::optional<Measurement> start = Start(doc, corrected);
        if (start) {
            MovedMaps maps = MapsOf(*start);
            origin.emplace(Origin{std::move(*start), std::move(maps)});
        } else {
            origin.emplace(std::nullopt);
        }
    }
    if (!*origin)
        return std::nullopt;
    const Measurement m = Complete((*origin)->start, std::move(parts));
    const std::optional<double> clicks = Propagate(m, (*origin)->maps, sigma, memo ? memo->Get() : nullptr);
    if (!clicks)
        return std::nullopt;
    const std::optional<double> sheet = SheetPart(doc, m);
    if (!sheet)
        return std::nullopt;
    if (!(doc.LensKUncertainty > 0))
        return std::hypot(*clicks, *sheet);
    const std::optional<double> lens = LensPart(doc, m);
    if (!lens)
        return std::nullopt;
    return std::hypot(*clicks, *lens, *sheet);
}

} // namespace

PlaneUncertainties::PlaneUncertainties(const Document& doc, double sigma)
    : doc_(doc), sigma_(sigma), shared_(std::make_unique<Shared>())
{
}

PlaneUncertainties::~PlaneUncertainties() = default;

std::optional<double> PlaneUncertainties::Distance(std::int32_t i)
{
    return Guard("DistanceUncertainty", [&] { return DistanceSum({i}); });
}

std::optional<double> PlaneUncertainties::Space(std::int32_t i)
{
    return Guard("SpaceUncertainty", [&]() -> std::optional<double> {
        std::optional<PartOf> part = SpacePart(doc_, i, 1);
        if (!part)
            return std::nullopt;
        return SumOf(doc_, *shared_, {std::move(*part)}, sigma_);
    });
}

std::optional<double> PlaneUncertainties::DistanceSum(const std::vector<std::int32_t>& distances, SumMemo* memo)
{
    return Guard("DistanceSumUncertainty", [&]() -> std::optional<double> {
        std::vector<PartOf> parts;
        for (const std::int32_t i : distances) {
            std::optional<PartOf> part = DistancePart(doc_, i);
            if (!part)
                return std::nullopt;
            parts.push_back(std::move(*part));
        }
        return SumOf(doc_, *shared_, std::move(parts), sigma_, memo);
    });
}

std::optional<double> PlaneUncertainties::SpaceSum(const std::vector<std::int32_t>& spaces, SumMemo* memo)
{
    return Guard("SpaceSumUncertainty", [&]() -> std::optional<double> {
        std::vector<PartOf> parts;
        for (const std::int32_t i : spaces) {
            const bool subtracted = doc_.Plane.Spaces.Valid(i) && doc_.Plane.Spaces[i].kind == kSpaceSub;
            std::optional<PartOf> part = SpacePart(doc_, i, subtracted ? -1 : 1);
            if (!part)
                return std::nullopt;
            parts.push_back(std::move(*part));
        }
        return SumOf(doc_, *shared_, std::move(parts), sigma_, memo);
    });
}

std::optional<double> PlaneUncertainties::Segment(TDPoint a, TDPoint b)
{
    return Guard("SegmentUncertainty", [&]() -> std::optional<double> {
        return SumOf(doc_, *shared_,
                     {PartOf{false, {}, {a, b}, [](const std::vector<TDPoint>& q) -> std::optional<Real> { return Length(q); }}},
                     sigma_);
    });
}

std::optional<double> DistanceUncertainty(const Document& doc, std::int32_t i, double sigma)
{
    return PlaneUncertainties(doc, sigma).Distance(i);
}

std::optional<double> SpaceUncertainty(const Document& doc, std::int32_t i, double sigma)
{
    return PlaneUncertainties(doc, sigma).Space(i);
}

std::optional<double> DistanceSumUncertainty(const Document& doc, const std::vector<std::int32_t>& distances, double sigma)
{
    return PlaneUncertainties(doc, sigma).DistanceSum(distances);
}

std::optional<double> SpaceSumUncertainty(const Document& doc, const std::vector<std::int32_t>& spaces, double sigma)
{
    return PlaneUncertainties(doc, sigma).SpaceSum(spaces);
}

std::optional<double> SegmentUncertainty(const Document& doc, TDPoint a, TDPoint b, double sigma)
{
    return PlaneUncertainties(doc, sigma).Segment(a, b);
}

std::optional<ReferenceStrength> ReferenceStrengthAt(const Document& doc, TDPoint middle, double sigma)
{
    return Guard("ReferenceStrengthAt", [&]() -> std::optional<ReferenceStrength> {
        const std::optional<PlaneMap> map = PlaneMap::Of(doc);
        if (!map)
            return std::nullopt;
        constexpr double kMetre = 1000;
        ReferenceStrength out;
        const ReferenceStrength beyond{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                                       WeakReason::Oblique};
        const std::optional<TDPoint> m = map->ToPlane(middle);
        if (!m)
            return beyond;
        PlaneUncertainties uncertainties(doc, sigma);
        for (const TDPoint half : {TDPoint{kMetre / 2, 0}, TDPoint{0, kMetre / 2}}) {
            const std::optional<TDPoint> a = map->ToImage({m->x - half.x, m->y - half.y});
            const std::optional<TDPoint> b = map->ToImage({m->x + half.x, m->y + half.y});
            if (!a || !b)
                return beyond;
            const std::optional<double> u = uncertainties.Segment(*a, *b);
            if (!u)
                return beyond;
            out.millimetres = std::max(out.millimetres, *u);
        }
        out.relative = out.millimetres / kMetre;
        if (out.relative <= kWeakReference)
            return out;
        // How unevenly a pixel stretches over the plane at the middle: the
        // ratio of the largest to the smallest stretch of the map there.
        constexpr double kPixel = 1;
        const std::optional<TDPoint> px = map->ToPlane({middle.x + kPixel, middle.y});
        const std::optional<TDPoint> py = map->ToPlane({middle.x, middle.y + kPixel});
        if (!px || !py) {
            out.reason = WeakReason::Oblique;
            return out;
        }
        const double a = px->x - m->x, b = py->x - m->x, c = px->y - m->y, d = py->y - m->y;
        const double frobenius = a * a + b * b + c * c + d * d;
        const double det = std::fabs(a * d - b * c);
        const double root = std::sqrt(std::max(0.0, frobenius * frobenius - 4 * det * det));
        const double large = std::sqrt((frobenius + root) / 2);
        const double small = std::sqrt(std::max(0.0, (frobenius - root) / 2));
        out.reason = !(small > 0) || large / small > kObliqueStretch ? WeakReason::Oblique : WeakReason::FewPixels;
        return out;
    });
}

std::string WeakReferenceWarning(const ReferenceStrength& strength, int plane)
{
    std::string text;
    if (plane == 1 || plane == 2)
        text = (plane == 1 ? Tx("Uncertainty", "左の面: ") : Tx("Uncertainty", "右の面: "));
    if (std::isfinite(strength.relative)) {
        text += Tx("Uncertainty", "この基準矩形では, 写真の中央を通る 1 m の距離の不確かさが ") + PlusMinus(strength.millimetres) +
                " mm (" + FormatSignificant(strength.relative * 100, 2) + " %) " + Tx("Uncertainty", "になり, 1 % を超えます.");
    } else {
        text += Tx("Uncertainty", "この基準矩形では, 写真の中央が面の地平線の向こうにあり, 測れません.");
    }
    text += "\r";
    text += strength.reason == WeakReason::Oblique
                ? Tx("Uncertainty", "原因: 面を斜めから見すぎています. もっと正面から撮った写真を使ってください.")
                : Tx("Uncertainty", "原因: 基準矩形が写真の中で小さく, 画素が少なすぎます. もっと大きな基準を使うか, 近づいて撮ってください.");
    return text;
}

} // namespace kvx
