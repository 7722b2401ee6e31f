#include "measure/calibration.h"

#include "base/error_trail.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

namespace kvx {

namespace {

// Vanishing points of parallel edges are put this far away along the edges, so
// the construction still works with nearly parallel lines.
constexpr double kFarAway = 100000000.0;
// The walk gives up this many half cells from the centre.
constexpr int kMaxHalfSteps = 2000;
// Length of a drawn construction line beyond its middle point, in image pixels.
constexpr double kDrawLength = 5000.0;

// The side of P relative to the line through V and Q: -1, 0 or 1, the sign of
// the turn from direction V->Q to direction V->P.  It is decided on the two
// directions in degrees; but unless the turn is within a hair of 0 or 180
// degrees, far beyond what rounding the degrees could move, the cross product
// has the same sign and saves the arctangents that otherwise dominate GetDelta.
int Side(TDPoint V, TDPoint Q, TDPoint P)
{
    const long double ax = static_cast<long double>(Q.x) - V.x;
    const long double ay = static_cast<long double>(Q.y) - V.y;
    const long double bx = static_cast<long double>(P.x) - V.x;
    const long double by = static_cast<long double>(P.y) - V.y;
    const long double cross = ax * by - ay * bx;
    const long double dot = ax * bx + ay * by;
    // Compared squared: |cross| > k |a| |b|  <=>  cross^2 > k^2 |a|^2 |b|^2.
    const long double norms = (ax * ax + ay * ay) * (bx * bx + by * by);
    const long double cross2 = cross * cross;
    constexpr long double kClear2 = 1e-18L;  // (1e-9 radians)^2
    if (cross2 > kClear2 * norms && (dot > 0 || cross2 > 0.25L * norms))
        return cross > 0 ? 1 : -1;
    return SignOf(AngleDiff(Angle(V, Q), Angle(V, P)));
}

void NormaliseAbout(std::array<TDPoint, 4>& q, TDPoint C)
{
    if (AngleDiff(Angle(C, q[0]), Angle(C, q[1])) < 0)
        std::swap(q[1], q[3]);
    // The top edge is the one whose middle is seen straight up from the centre
    // (270 degrees in image coordinates); the first of equals wins.
    int top = 0;
    double best = 0;
    for (int i = 0; i < 4; ++i) {
        const TDPoint m = MidPoint(q[static_cast<std::size_t>(i)], q[static_cast<std::size_t>((i + 1) % 4)]);
        const double e = std::fabs(AngleDiff(270, Angle(C, m)));
        if (i == 0 || e < best) {
            best = e;
            top = i;
        }
    }
    std::array<TDPoint, 4> r;
    for (int i = 0; i < 4; ++i)
        r[static_cast<std::size_t>(i)] = q[static_cast<std::size_t>((i + top) % 4)];
    q = r;
}

// Where the lines q1-q2 and q3-q4 of a quadrilateral meet; for parallel lines a
// point far away along q1->q2 from the middle of the edge (m1, m2).
TDPoint VanishingPoint(TDPoint q1, TDPoint q2, TDPoint q3, TDPoint q4, TDPoint m1, TDPoint m2)
{
    if (const auto r = IntersPoint(q1, q2, q3, q4))
        return (*r);
    return Polar(MidPoint(m1, m2), Angle(q1, q2), kFarAway);
}

TDPoint OtherVanishW(const std::array<TDPoint, 6>& o)
{
    return VanishingPoint(o[1], o[2], o[3], o[4], o[2], o[3]);
}

// One axis of GetDelta, set up so that the same walk serves Y (lines of the W
// direction stepping along H) and X (lines of the H direction stepping along W).
struct Axis {
    TDPoint V;             // vanishing point of the walked lines
    TDPoint Vo;            // the other vanishing point
    TDPoint firstTarget;   // reflections of a line's first end land on line Vo-firstTarget
    TDPoint secondTarget;  // and of its second end on line Vo-secondTarget
    TDPoint negFirst, negSecond;  // line 1 when P is on the negative side
    TDPoint posFirst, posSecond;  // line 1 when P is on the positive side
    TDPoint edge1a, edge1b;       // the cell edge holding the first ends
    TDPoint edge2a, edge2b;       // the cell edge holding the second ends
    bool testX;            // the negative side is decided on x (Y walk) or y (X walk)
    double s;              // real size of a half cell
    int negProcess, posProcess;
};

struct Line {
    TDPoint first, second;
};

// The walk's way out from the cell centre C for P, and the side of P that the
// side tests keep until a line passes it.
struct Heading {
    bool negative;
    int sb;
};

Heading HeadingFor(const Axis& ax, TDPoint C, TDPoint P)
{
    const double b = AngleDiff(Angle(ax.V, C), Angle(ax.V, P));
    const int sb = SignOf(b);
    const double vc = ax.testX ? ax.V.x : ax.V.y;
    const double cc = ax.testX ? C.x : C.y;
    const bool negative = (vc < cc && b > 0) || (vc > cc && b < 0);
    return {negative, sb};
}

// The walk's first line on its way out, and the one through the centre.
std::optional<std::array<Line, 2>> FirstLines(const Axis& ax, TDPoint C, bool negative)
{
    const Line l1 = negative ? Line{ax.negFirst, ax.negSecond} : Line{ax.posFirst, ax.posSecond};
    const std::optional<TDPoint> t1 = IntersPoint(l1.first, l1.second, ax.Vo, C);
    const std::optional<TDPoint> l2a = IntersPoint(ax.edge1a, ax.edge1b, ax.V, C);
    const std::optional<TDPoint> l2b = IntersPoint(ax.edge2a, ax.edge2b, ax.V, C);
    if (!t1 || !l2a || !l2b)
        return std::nullopt;
    return std::array<Line, 2>{l1, Line{(*l2a), (*l2b)}};
}

// Line l reflected about the line whose middle is T; the ends swap edges.
bool Reflect(const Axis& ax, Line& l, TDPoint T)
{
    const std::optional<TDPoint> a = IntersPoint(l.first, T, ax.Vo, ax.firstTarget);
    const std::optional<TDPoint> c = IntersPoint(l.second, T, ax.Vo, ax.secondTarget);
    if (!a || !c)
        return false;
    l = Line{(*c), (*a)};
    return true;
}

// The coordinate once the n-th line (farLine) is the first past P; without
// one, the walk stopped at its limit after n lines.
double Finish(const Axis& ax, TDPoint P, bool negative, int n, const Line* farLine, const Line* nearLine)
{
    const long double s = ax.s;
    if (!farLine)
        return static_cast<double>(negative ? -n * s : (n - 1) * s);
    if (negative)
        return static_cast<double>(
            GetDivDelta(P, farLine->first, farLine->second, ax.s, ax.V, nearLine->first, nearLine->second) - n * s);
    return static_cast<double>(
        GetDivDelta(P, nearLine->first, nearLine->second, ax.s, ax.V, farLine->first, farLine->second) + (n - 1) * s);
}

// The walk step by step, drawing its lines when asked to.
std::optional<double> Walk(const Axis& ax, TDPoint C, TDPoint P, DeltaSink* draw, int& process)
{
    const auto [negative, sb] = HeadingFor(ax, C, P);
    process = negative ? ax.negProcess : ax.posProcess;

    const std::optional<std::array<Line, 2>> first = FirstLines(ax, C, negative);
    if (!first)
        return std::nullopt;
    Line l1 = (*first)[0];
    Line l2 = (*first)[1];
    auto middle = [&](const Line& l) { return IntersPoint(l.first, l.second, ax.Vo, C); };
    TDPoint T1;
    TDPoint T2 = C;
    auto reflect = [&](Line& l, TDPoint T) { return Reflect(ax, l, T); };

    int n = 0;
    const Line* farLine = nullptr;
    const Line* nearLine = nullptr;
    for (;;) {
        if (!reflect(l1, T2))
            return std::nullopt;
        const std::optional<TDPoint> m1 = middle(l1);
        if (!m1)
            return std::nullopt;
        T1 = (*m1);
        ++n;
        if (draw)
            draw->Line(ax.V, Polar(T1, Angle(ax.V, T1), kDrawLength));
        if (Side(ax.V, T1, P) != sb) {
            farLine = &l1;
            nearLine = &l2;
            break;
        }
        if (!reflect(l2, T1))
            return std::nullopt;
        const std::optional<TDPoint> m2 = middle(l2);
        if (!m2)
            return std::nullopt;
        T2 = (*m2);
        ++n;
        if (Side(ax.V, T2, P) != sb) {
            farLine = &l2;
            nearLine = &l1;
            break;
        }
        if (n > kMaxHalfSteps)
            break;
    }
    return Finish(ax, P, negative, n, farLine, nearLine);
}

// The most lines a walk draws before it stops at its limit.
constexpr int kLastLine = kMaxHalfSteps + 2;

// Consecutive lines this far apart (sine of the angle between them) or more
// can never both be within rounding of P's direction: the side tests then
// change at most once along them.
constexpr long double kApart2 = 1e-20L;  // (1e-10)^2
// Lines sweeping less than this keep P's direction and its opposite from both
// falling between them.
constexpr long double kMostSwept = 179.0L * std::numbers::pi_v<long double> / 180.0L;

// The lines of one walk (one axis, one way out from the centre), built as far
// as asked.  L(-1) and L(0) are where the walk starts, L(n) is L(n - 2)
// reflected about the line through T(n - 1), and T(n) is the middle of L(n);
// T(0) is the centre.  These are exactly the values the step-by-step walk
// computes, whatever the point.
class WalkRun {
public:
    WalkRun(const Axis& ax, TDPoint C, bool negative) : ax_(ax), C_(C)
    {
        const std::optional<std::array<Line, 2>> first = FirstLines(ax, C, negative);
        if (!first) {
            broken_ = true;
            return;
        }
        lines_ = {(*first)[0], (*first)[1]};
        middles_ = {C};
    }

    // Whether L(n) exists, building the lines up to it.
    bool Reach(int n)
    {
        while (Built() < n && !broken_)
            Next();
        return Built() >= n;
    }
    const Line& L(int n) const { return lines_[static_cast<std::size_t>(n + 1)]; }
    TDPoint T(int n) const { return middles_[static_cast<std::size_t>(n)]; }
    // Lines 1..Clean() turn one way, each clearly apart from the one before,
    // and together sweep less than half a turn.
    int Clean() const { return clean_; }

private:
    int Built() const { return static_cast<int>(middles_.size()) - 1; }

    void Next()
    {
        const int n = Built() + 1;
        Line l = L(n - 2);
        if (!Reflect(ax_, l, T(n - 1))) {
            broken_ = true;
            return;
        }
        const std::optional<TDPoint> m = IntersPoint(l.first, l.second, ax_.Vo, C_);
        if (!m) {
            broken_ = true;
            return;
        }
        lines_.push_back(l);
        middles_.push_back(*m);
        if (n == 1)
            clean_ = 1;
        else if (clean_ == n - 1)
            CheckTurn(n);
    }

    void CheckTurn(int n)
    {
        const TDPoint V = ax_.V;
        const TDPoint a = T(n - 1);
        const TDPoint b = T(n);
        const long double ax = static_cast<long double>(a.x) - V.x;
        const long double ay = static_cast<long double>(a.y) - V.y;
        const long double bx = static_cast<long double>(b.x) - V.x;
        const long double by = static_cast<long double>(b.y) - V.y;
        const long double cross = ax * by - ay * bx;
        const long double dot = ax * bx + ay * by;
        const long double norms = (ax * ax + ay * ay) * (bx * bx + by * by);
        const int turn = cross > 0 ? 1 : -1;
        if (!(cross * cross > kApart2 * norms) || !(dot > 0) || (n > 2 && turn != turn_))
            return;
        turn_ = turn;
        swept_ += std::atan2(std::fabs(cross), dot);
        if (swept_ < kMostSwept)
            clean_ = n;
    }

    Axis ax_;
    TDPoint C_;
    std::vector<Line> lines_;     // L(-1), L(0), L(1), ...
    std::vector<TDPoint> middles_;  // T(0), T(1), ...
    bool broken_ = false;         // the next line cannot be constructed
    int clean_ = 0;
    int turn_ = 0;
    long double swept_ = 0;
};

// The first line the walk finds past P, from the built lines: its number, 0
// when the walk reaches its limit first, nothing when it breaks off first.
//
// Along the clean lines the test "P is not on the side it started" is false
// up to some line and true from there on (only a line within rounding of P's
// direction could disagree, and it stands where the answer changes), so a
// doubling search then a halving search finds the first true one that the
// walk finds one by one.  Past the clean lines the search goes one by one.
std::optional<int> FirstPast(WalkRun& run, const Axis& ax, TDPoint P, int sb)
{
    auto past = [&](int n) { return Side(ax.V, run.T(n), P) != sb; };
    auto halve = [&](int lo, int hi) {
        while (hi - lo > 1) {
            const int mid = lo + (hi - lo) / 2;
            (past(mid) ? hi : lo) = mid;
        }
        return hi;
    };
    if (!run.Reach(1))
        return std::nullopt;
    if (past(1))
        return 1;
    int lo = 1;  // the last line known not to be past P
    for (int hi = 2;; hi *= 2) {
        const int t = std::min(hi, kLastLine);
        run.Reach(t);
        if (t > run.Clean())
            break;
        if (past(t))
            return halve(lo, t);
        lo = t;
        if (t == kLastLine)
            return 0;
    }
    const int clean = run.Clean();
    if (clean > lo) {
        if (past(clean))
            return halve(lo, clean);
        lo = clean;
    }
    for (int n = lo + 1; n <= kLastLine; ++n) {
        if (!run.Reach(n))
            return std::nullopt;
        if (past(n))
            return n;
    }
    return 0;
}

Axis YAxis(const TPlaneState& plane, double H)
{
    const auto& u = plane.UnitPoint;
    return Axis{plane.base.VanishW, plane.base.VanishH, u[2], u[3], u[0], u[1], u[3], u[2],
                u[0], u[3], u[1], u[2], true, H / 2, 1, 2};
}

Axis XAxis(const TPlaneState& plane, double W)
{
    const auto& u = plane.UnitPoint;
    return Axis{plane.base.VanishH, plane.base.VanishW, u[2], u[1], u[1], u[2], u[0], u[3],
                u[0], u[1], u[2], u[3], false, W / 2, 3, 4};
}

} // namespace

bool NormaliseCorners(std::array<TDPoint, 4>& q)
{
    const std::optional<TDPoint> c = IntersPoint(q[0], q[2], q[1], q[3]);
    if (!c)
        return false;
    NormaliseAbout(q, (*c));
    return true;
}

void CalcuBasePoint(TBaseBlock& b, const std::array<TDPoint, 6>& otherBaseRect)
{
    Guard("CalcuBasePoint", [&] {
        std::array<TDPoint, 4> q{b.BaseRect[1], b.BaseRect[2], b.BaseRect[3], b.BaseRect[4]};
        NormaliseCorners(q);
        for (std::size_t i = 0; i < 4; ++i)
            b.BaseRect[i + 1] = q[i];
        b.BaseRect[5] = b.BaseRect[1];
        const auto& r = b.BaseRect;
        b.VanishW = VanishingPoint(r[1], r[2], r[3], r[4], r[2], r[3]);
        b.VanishH = VanishingPoint(r[2], r[3], r[4], r[1], r[3], r[4]);
        b.VanishOtherW = OtherVanishW(otherBaseRect);
        if (b.BaseUnitSet == 0) {
            b.BaseUnit[1] = r[1];
            b.BaseUnit[2] = r[3];
        }
    });
}

void CalcuBasePoint(Document& doc)
{
    CalcuBasePoint(doc.Plane.base, doc.OtherBaseRect);
}

void CalcuUnitPoint(TPlaneState& plane)
{
    Guard("CalcuUnitPoint", [&] {
        const TBaseBlock& b = plane.base;
        auto& u = plane.UnitPoint;
        const TDPoint U1 = b.BaseUnit[1];
        const TDPoint U2 = b.BaseUnit[2];
        auto set = [](TDPoint& target, const std::optional<TDPoint>& r) {
            if (r)
                target = (*r);
        };
        set(u[0], IntersPoint(b.VanishW, U1, b.VanishH, U1));
        set(u[1], IntersPoint(b.VanishW, U1, b.VanishH, U2));
        set(u[2], IntersPoint(b.VanishW, U2, b.VanishH, U2));
        set(u[3], IntersPoint(b.VanishW, U2, b.VanishH, U1));
        u[4] = u[0];
        set(u[5], IntersPoint(u[0], u[2], u[1], u[3]));
        std::array<TDPoint, 4> q{u[0], u[1], u[2], u[3]};
        NormaliseAbout(q, u[5]);
        for (std::size_t i = 0; i < 4; ++i)
            u[i] = q[i];
        u[4] = u[0];
    });
}

double GetDivDelta(TDPoint P, TDPoint A, TDPoint B, double h, TDPoint V, TDPoint D, TDPoint E)
{
    long double sum = 0;
    long double half = h;
    for (;;) {
        const std::optional<TDPoint> m = IntersPoint(A, E, B, D);
        if (!m)
            return static_cast<double>(sum);
        const TDPoint M = (*m);
        half /= 2;
        if (Side(V, M, A) == Side(V, M, P)) {
            const std::optional<TDPoint> d = IntersPoint(A, D, V, M);
            const std::optional<TDPoint> e = IntersPoint(B, E, V, M);
            if (!d || !e)
                return 0.0;
            D = (*d);
            E = (*e);
        } else {
            sum += half;
            const std::optional<TDPoint> a = IntersPoint(A, D, V, M);
            const std::optional<TDPoint> b = IntersPoint(B, E, V, M);
            if (!a || !b)
                return 0.0;
            A = (*a);
            B = (*b);
        }
        if (!(half >= 1))
            return static_cast<double>(sum);
    }
}

TDPoint GetDelta(const TPlaneState& plane, double W, double H, TDPoint P, DeltaSink* draw)
{
    int process = 0;
    return GuardWith([&] { return TrailLine("GetDelta", "process", process); }, [&]() -> TDPoint {
        const TDPoint C = plane.UnitPoint[5];
        const std::optional<double> Y = Walk(YAxis(plane, H), C, P, draw, process);
        if (!Y)
            return {};
        const std::optional<double> X = Walk(XAxis(plane, W), C, P, draw, process);
        if (!X)
            return {};
        return DPoint(*X, *Y);
    });
}

// The two axes, each with its two ways out, built on first use.
struct WalkLines::Impl {
    explicit Impl(const TPlaneState& plane)
        : C(plane.UnitPoint[5]), y(YAxis(plane, 0)), x(XAxis(plane, 0))
    {
    }

    std::optional<double> Coordinate(Axis ax, double s, std::array<std::unique_ptr<WalkRun>, 2>& runs, TDPoint P,
                                     int& process)
    {
        ax.s = s;
        const auto [negative, sb] = HeadingFor(ax, C, P);
        process = negative ? ax.negProcess : ax.posProcess;
        std::unique_ptr<WalkRun>& run = runs[negative ? 0 : 1];
        if (!run)
            run = std::make_unique<WalkRun>(ax, C, negative);
        const std::optional<int> n = FirstPast(*run, ax, P, sb);
        if (!n)
            return std::nullopt;
        if (*n == 0)
            return Finish(ax, P, negative, kLastLine, nullptr, nullptr);
        return Finish(ax, P, negative, *n, &run->L(*n), &run->L(*n - 1));
    }

    TDPoint C;
    Axis y, x;
    std::array<std::unique_ptr<WalkRun>, 2> yRuns, xRuns;  // negative, positive
};

WalkLines::WalkLines(const TPlaneState& plane) : impl_(std::make_unique<Impl>(plane)) {}

WalkLines::~WalkLines() = default;

TDPoint WalkLines::Delta(double W, double H, TDPoint P)
{
    int process = 0;
    return GuardWith([&] { return TrailLine("GetDelta", "process", process); }, [&]() -> TDPoint {
        const std::optional<double> Y = impl_->Coordinate(impl_->y, H / 2, impl_->yRuns, P, process);
        if (!Y)
            return {};
        const std::optional<double> X = impl_->Coordinate(impl_->x, W / 2, impl_->xRuns, P, process);
        if (!X)
            return {};
        return DPoint(*X, *Y);
    });
}

TDPoint GetDelta(const Document& doc, TDPoint P, DeltaSink* draw)
{
    // The diagnostic drawing wants the walk itself, so it is never answered
    // from the memo.
    if (draw)
        return GetDelta(doc.Plane, doc.W(), doc.H(), P, draw);
    return GetDelta(doc, doc.W(), doc.H(), P);
}

TDPoint GetDelta(const Document& doc, double W, double H, TDPoint P)
{
    const DeltaCalibration c{doc.Plane.UnitPoint, doc.Plane.base.VanishW, doc.Plane.base.VanishH, W, H};
    if (const std::optional<TDPoint> known = doc.Deltas.Find(c, P))
        return *known;
    std::shared_ptr<WalkLines>& lines = doc.Deltas.Lines(c);
    if (!lines)
        lines = std::make_shared<WalkLines>(doc.Plane);
    const TDPoint delta = lines->Delta(W, H, P);
    doc.Deltas.Store(c, P, delta);
    return delta;
}

TDPoint GetOrthPoint(const Document& doc, TDPoint A, TDPoint P)
{
    return Guard("GetOrthPoint", [&] {
        const TBaseBlock& b = doc.Plane.base;
        if (b.BaseSet != 1)
            return P;
        const TDPoint a = GetDelta(doc, A);
        const TDPoint p = GetDelta(doc, P);
        const TDPoint V = std::fabs(a.x - p.x) > std::fabs(a.y - p.y) ? b.VanishW : b.VanishH;
        const TDPoint Q = Polar(P, static_cast<long double>(Angle(V, A)) + 90, 100);
        const std::optional<TDPoint> r = IntersPoint(V, A, P, Q);
        return r ? (*r) : P;
    });
}

TDPoint GetOrthXPoint(const Document& doc, TDPoint A, TDPoint P)
{
    return Guard("GetOrthXPoint", [&] {
        const TBaseBlock& b = doc.Plane.base;
        if (b.BaseSet != 1)
            return P;
        const std::optional<TDPoint> r = IntersPoint(b.VanishW, A, P, TDPoint{P.x, P.y + 100});
        return r ? TDPoint{P.x, (*r).y} : P;
    });
}

TDPoint GetOrthYPoint(const Document& doc, TDPoint A, TDPoint P)
{
    return Guard("GetOrthYPoint", [&] {
        const TBaseBlock& b = doc.Plane.base;
        if (b.BaseSet != 1)
            return P;
        const std::optional<TDPoint> r = IntersPoint(b.VanishH, A, P, TDPoint{P.x + 100, P.y});
        return r ? TDPoint{(*r).x, P.y} : P;
    });
}

void SetReferenceRect(Document& doc, const std::array<TDPoint, 4>& corners, bool singlePlane)
{
    TPlaneState& plane = doc.Plane;
    for (std::size_t i = 0; i < 4; ++i)
        plane.base.BaseRect[i + 1] = corners[i];
    plane.base.BaseSet = 1;
    plane.base.BaseLineWSet = 0;
    plane.base.BaseLineHSet = 0;
    plane.base.BaseUnitSet = 0;
    plane.Distances.Clear();
    plane.Spaces.Clear();
    plane.Checks.Clear();
    plane.SheetSize = {};
    doc.CurrentDistance = 0;
    doc.CurrentSpace = 0;
    CalcuBasePoint(doc);
    CalcuUnitPoint(plane);
    if (singlePlane)
        doc.CrossLineSet = 0;
    doc.Modified = 1;
}

void SetBaseUnit(Document& doc, TDPoint u1, TDPoint u2)
{
    TBaseBlock& b = doc.Plane.base;
    b.BaseUnit[1] = u1;
    b.BaseUnit[2] = u2;
    b.BaseUnitSet = 1;
    b.BaseLineWSet = 0;
    b.BaseLineHSet = 0;
    CalcuUnitPoint(doc.Plane);
    doc.Modified = 1;
}

OutlineFault CheckUnitCell(const TPlaneState& plane, TDPoint u1, TDPoint u2)
{
    TPlaneState cell;
    cell.base = plane.base;
    cell.base.BaseUnit[1] = u1;
    cell.base.BaseUnit[2] = u2;
    CalcuUnitPoint(cell);
    const auto& u = cell.UnitPoint;
    return CheckOutline(std::array<TDPoint, 4>{u[0], u[1], u[2], u[3]});
}

void CalcuBaseUnitFromLines(TPlaneState& plane)
{
    TBaseBlock& b = plane.base;
    if (b.BaseLineWSet != 1 || b.BaseLineHSet != 1)
        return;
    if (const std::optional<TDPoint> u1 = IntersPoint(b.VanishW, b.BaseLineH[1], b.VanishH, b.BaseLineW[1])) {
        b.BaseUnit[1] = (*u1);
        if (const std::optional<TDPoint> u2 = IntersPoint(b.VanishW, b.BaseLineH[2], b.VanishH, b.BaseLineW[2])) {
            b.BaseUnit[2] = (*u2);
            b.BaseUnitSet = 1;
        }
    }
    CalcuUnitPoint(plane);
}

void SwapBDS(Document& doc)
{
    Guard("SwapBDS", [&] {
        if (doc.CurrentBase != 1 && doc.CurrentBase != 2)
            return;
        doc.Plane.BaseW = doc.W();
        doc.Plane.BaseH = doc.H();
        std::swap(doc.Plane, doc.ParkedPlane);
        doc.CurrentBase = 3 - doc.CurrentBase;
        doc.KijunWText = FloatToStr(doc.Plane.BaseW);
        doc.KijunHText = FloatToStr(doc.Plane.BaseH);
        doc.OtherBaseSet = 1;
        doc.OtherBaseRect = doc.ParkedPlane.base.BaseRect;
        // The depth direction of a correction is the other plane's W direction;
        // when the planes were built one after the other, the plane built first
        // saw the other rectangle before it existed, so take it afresh here.
        if (doc.Plane.base.BaseSet == 1 && doc.ParkedPlane.base.BaseSet == 1)
            doc.Plane.base.VanishOtherW = OtherVanishW(doc.OtherBaseRect);
    });
}

Document ParkedPlaneView(const Document& doc)
{
    Document view = doc;
    SwapBDS(view);
    return view;
}

Document PlaneView(const Document& doc, int base)
{
    if ((doc.CurrentBase == 1 || doc.CurrentBase == 2) && base != doc.CurrentBase)
        return ParkedPlaneView(doc);
    return doc;
}

std::vector<TDPoint> RectangleOutline(const TBaseBlock& base, TDPoint A, TDPoint B)
{
    const std::optional<TDPoint> p1 = IntersPoint(base.VanishW, A, base.VanishH, B);
    const std::optional<TDPoint> p3 = IntersPoint(base.VanishW, B, base.VanishH, A);
    return {A, p1.value_or(TDPoint{A.x, B.y}), B, p3.value_or(TDPoint{B.x, A.y}), A};
}

int BaseHantei(const Document& doc, TDPoint P)
{
    const double d = AngleDiff(Angle(doc.SixPoint[1], doc.SixPoint[2]), Angle(doc.SixPoint[1], P));
    return d >= 0 ? 1 : 2;
}

std::array<TDPoint, 7> SixPointFromClick(TDPoint P, TDPoint visibleTopLeft, TDPoint visibleBottomRight)
{
    const long double a = (static_cast<long double>(P.x) - visibleTopLeft.x) * 0.5L;
    const long double b = (static_cast<long double>(visibleBottomRight.x) - P.x) * 0.5L;
    const long double c = (static_cast<long double>(visibleBottomRight.y) - P.y) * 0.5L;
    std::array<TDPoint, 7> s{};
    s[1] = DPoint(P.x, P.y);
    s[2] = DPoint(P.x, P.y + c);
    s[3] = DPoint(P.x - a, P.y + c / 5);
    s[4] = DPoint(P.x - a, P.y + c + c / 6);
    s[5] = DPoint(P.x + b, P.y + c / 5);
    s[6] = DPoint(P.x + b, P.y + c + c / 6);
    return s;
}

void BuildTwoPlanes(Document& doc)
{
    const auto& s = doc.SixPoint;
    doc.CrossLineSet = 1;
    doc.CrossLinePoint = s[1];

    auto build = [&](TDPoint q1, TDPoint q2, TDPoint q3, TDPoint q4) {
        TPlaneState& plane = doc.Plane;
        plane.base.BaseRect = {TDPoint{}, q1, q2, q3, q4, q1};
        plane.base.BaseSet = 1;
        plane.base.BaseLineWSet = 0;
        plane.base.BaseLineHSet = 0;
        plane.base.BaseUnitSet = 0;
        plane.Distances.Clear();
        plane.Spaces.Clear();
        plane.Checks.Clear();
        plane.SheetSize = {};
        CalcuBasePoint(doc);
        CalcuUnitPoint(plane);
    };
    build(s[1], s[5], s[6], s[2]);  // right plane
    doc.CurrentBase = 2;
    SwapBDS(doc);                   // park it; the left plane becomes current
    build(s[3], s[1], s[2], s[4]);  // left plane
    doc.CurrentDistance = 0;
    doc.CurrentSpace = 0;
    doc.Modified = 1;
}

void RebuildSixPoint(Document& doc)
{
    const TPlaneState& left = doc.CurrentBase == 2 ? doc.ParkedPlane : doc.Plane;
    const TPlaneState& right = doc.CurrentBase == 2 ? doc.Plane : doc.ParkedPlane;
    auto& s = doc.SixPoint;
    s[1] = right.base.BaseRect[1];
    s[2] = right.base.BaseRect[4];
    s[3] = left.base.BaseRect[1];
    s[4] = left.base.BaseRect[4];
    s[5] = right.base.BaseRect[2];
    s[6] = right.base.BaseRect[3];
}

void RebuildTwoPlaneGeometry(Document& doc)
{
    Guard("RebuildTwoPlaneGeometry", [&] {
        if (doc.CurrentSetting != 4 || (doc.CurrentBase != 1 && doc.CurrentBase != 2) ||
            doc.Plane.base.BaseSet != 1 || doc.ParkedPlane.base.BaseSet != 1)
            return;
        RebuildSixPoint(doc);
        // The centre line is the planes' common edge and so their cross line:
        // left where it was, the automatic plane choice and every correction
        // would go on using an edge the user has moved.
        doc.CrossLineSet = 1;
        doc.CrossLinePoint = doc.SixPoint[1];
        doc.OtherBaseSet = 1;
        doc.OtherBaseRect = doc.ParkedPlane.base.BaseRect;
        doc.Plane.base.VanishOtherW = OtherVanishW(doc.OtherBaseRect);
        doc.ParkedPlane.base.VanishOtherW = OtherVanishW(doc.Plane.base.BaseRect);
    });
}

ParkedPlaneScope::ParkedPlaneScope(Document& doc)
    : doc_(doc), w_(doc.KijunWText), h_(doc.KijunHText), otherSet_(doc.OtherBaseSet), otherRect_(doc.OtherBaseRect)
{
    Exchange();
    doc_.KijunWText = FloatToStr(doc_.Plane.BaseW);
    doc_.KijunHText = FloatToStr(doc_.Plane.BaseH);
    doc_.OtherBaseSet = 1;
    doc_.OtherBaseRect = doc_.ParkedPlane.base.BaseRect;
}

ParkedPlaneScope::~ParkedPlaneScope()
{
    Exchange();
    doc_.KijunWText = w_;
    doc_.KijunHText = h_;
    doc_.OtherBaseSet = otherSet_;
    doc_.OtherBaseRect = otherRect_;
}

CurrentPlaneKept::CurrentPlaneKept(Document& doc)
    : doc_(doc), base_(doc.CurrentBase), w_(doc.KijunWText), h_(doc.KijunHText)
{
}

CurrentPlaneKept::~CurrentPlaneKept()
{
    const bool twoPlanes = base_ == 1 || base_ == 2;
    if (!twoPlanes || (doc_.CurrentBase != 1 && doc_.CurrentBase != 2))
        return;
    try {
        if (doc_.CurrentBase != base_)
            SwapBDS(doc_);
        doc_.KijunWText = w_;
        doc_.KijunHText = h_;
    } catch (...) {
        // A destructor must not throw; SwapBDS has put the failure on the trail.
    }
}

void ParkedPlaneScope::Exchange()
{
    // Another plane current is another document: whatever was cached for
    // this one must not serve it.
    doc_.Revision.Forget();
    std::swap(doc_.Plane, doc_.ParkedPlane);
    if (doc_.CurrentBase == 1 || doc_.CurrentBase == 2)
        doc_.CurrentBase = 3 - doc_.CurrentBase;
}

} // namespace kvx
