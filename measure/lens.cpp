#include "measure/lens.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kvx {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

bool Finite(TDPoint p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

bool HasDistortion(const BrownConrady& b)
{
    return b.k1 != 0 || b.k2 != 0 || b.p1 != 0 || b.p2 != 0 || b.k3 != 0;
}

double HalfDiagonal(const LensModel& lens)
{
    return std::hypot(lens.width, lens.height) / 2;
}

// g(s) = d/dr [r R(r^2)] with s = r^2: where it first reaches zero the
// Brown-Conrady model folds.
double FoldSlope(const BrownConrady& b, double s)
{
    return 1 + s * (3 * b.k1 + s * (5 * b.k2 + s * 7 * b.k3));
}

// The smallest s > 0 with FoldSlope(s) = 0, or infinity.  The cubic's own
// turning points split the half-line into pieces where it is monotone, and
// the first piece that changes sign holds the root, found by bisection.
double FoldSquare(const BrownConrady& b)
{
    // Beyond r = 1000 (a field of view of 179.9 degrees) no photo reaches.
    constexpr double kFar = 1e6;
    double cuts[4] = {0, kFar, kFar, kFar};
    int n = 1;
    // g'(s) = 3 k1 + 10 k2 s + 21 k3 s^2.
    const double a = 21 * b.k3, bb = 10 * b.k2, c = 3 * b.k1;
    if (a != 0) {
        const double disc = bb * bb - 4 * a * c;
        if (disc >= 0) {
            const double q = -0.5 * (bb + std::copysign(std::sqrt(disc), bb));
            double r1 = q != 0 ? q / a : 0, r2 = q != 0 ? c / q : 0;
            if (r1 > r2)
                std::swap(r1, r2);
            for (const double r : {r1, r2})
                if (r > 0 && r < kFar)
                    cuts[n++] = r;
        }
    } else if (bb != 0) {
        const double r = -c / bb;
        if (r > 0 && r < kFar)
            cuts[n++] = r;
    }
    cuts[n++] = kFar;
    for (int i = 0; i + 1 < n; ++i) {
        double lo = cuts[i], hi = cuts[i + 1];
        if (FoldSlope(b, hi) > 0)
            continue;
        // g(lo) > 0 here: g(0) = 1 and every earlier piece kept its sign.
        for (int step = 0; step < 200 && hi - lo > 1e-15 * hi; ++step) {
            const double mid = 0.5 * (lo + hi);
            (FoldSlope(b, mid) > 0 ? lo : hi) = mid;
        }
        return lo;
    }
    return kInf;
}

struct Distorted {
    double x = 0, y = 0;                  // the distorted normalised point
    double jxx = 0, jxy = 0, jyy = 0;     // its (symmetric) Jacobian
};

Distorted Distort(const BrownConrady& b, double x, double y)
{
    const double s = x * x + y * y;
    const double radial = 1 + s * (b.k1 + s * (b.k2 + s * b.k3));
    const double slope = b.k1 + s * (2 * b.k2 + s * 3 * b.k3);
    Distorted d;
    d.x = x * radial + 2 * b.p1 * x * y + b.p2 * (s + 2 * x * x);
    d.y = y * radial + b.p1 * (s + 2 * y * y) + 2 * b.p2 * x * y;
    d.jxx = radial + 2 * x * x * slope + 2 * b.p1 * y + 6 * b.p2 * x;
    d.jxy = 2 * x * y * slope + 2 * b.p1 * x + 2 * b.p2 * y;
    d.jyy = radial + 2 * y * y * slope + 6 * b.p1 * y + 2 * b.p2 * x;
    return d;
}

} // namespace

LensModel LensModel::Division(double k, double width, double height)
{
    LensModel m;
    m.kind = LensKind::Division;
    m.k = k;
    m.width = width;
    m.height = height;
    return m;
}

LensModel LensModel::Brown(const BrownConrady& bc)
{
    LensModel m;
    m.kind = LensKind::BrownConrady;
    m.bc = bc;
    return m;
}

bool IsSane(const LensModel& lens)
{
    switch (lens.kind) {
    case LensKind::None:
        return true;
    case LensKind::Division:
        return std::isfinite(lens.k) && std::isfinite(lens.width) && std::isfinite(lens.height) && lens.width > 0 &&
               lens.height > 0;
    case LensKind::BrownConrady: {
        const BrownConrady& b = lens.bc;
        for (const double v : {b.fx, b.fy, b.cx, b.cy, b.k1, b.k2, b.p1, b.p2, b.k3})
            if (!std::isfinite(v))
                return false;
        return b.fx > 0 && b.fy > 0;
    }
    }
    return false;
}

double FoldRadius(const LensModel& lens)
{
    switch (lens.kind) {
    case LensKind::None:
        return kInf;
    case LensKind::Division:
        return lens.k == 0 ? kInf : 1 / std::sqrt(std::fabs(lens.k));
    case LensKind::BrownConrady:
        return std::sqrt(FoldSquare(lens.bc));
    }
    return kInf;
}

std::optional<TDPoint> ToIdeal(const LensModel& lens, TDPoint p)
{
    // No correction must give exactly today's numbers.
    if (lens.kind == LensKind::None)
        return p;
    if (!Finite(p) || !IsSane(lens))
        return std::nullopt;
    if (lens.kind == LensKind::Division) {
        if (lens.k == 0)
            return p;
        const double cx = lens.width / 2, cy = lens.height / 2, radius = HalfDiagonal(lens);
        const double dx = p.x - cx, dy = p.y - cy;
        const double s = (dx * dx + dy * dy) / (radius * radius);
        // Past the fold (k > 0) or the end (k < 0) no ideal point belongs here.
        if (lens.k * s >= 1 || 1 + lens.k * s <= 0)
            return std::nullopt;
        const double f = 1 / (1 + lens.k * s);
        return TDPoint{cx + dx * f, cy + dy * f};
    }
    const BrownConrady& b = lens.bc;
    if (!HasDistortion(b))
        return p;
    const double xd = (p.x - 0.5 - b.cx) / b.fx, yd = (p.y - 0.5 - b.cy) / b.fy;
    const double fold = FoldSquare(b);
    double x = xd, y = yd;
    // Newton's method on distort(x, y) = (xd, yd), each step shortened until
    // it lowers the miss, so a strong lens never throws the point past the
    // fold where a second, false solution waits.
    auto miss = [&](double u, double v) {
        const Distorted d = Distort(b, u, v);
        return std::hypot(d.x - xd, d.y - yd);
    };
    bool converged = false;
    for (int i = 0; i < kLensIterations && !converged; ++i) {
        const Distorted d = Distort(b, x, y);
        const double ex = d.x - xd, ey = d.y - yd;
        const double det = d.jxx * d.jyy - d.jxy * d.jxy;
        if (!(det > 0) || !std::isfinite(det))
            return std::nullopt;
        double sx = (d.jyy * ex - d.jxy * ey) / det;
        double sy = (d.jxx * ey - d.jxy * ex) / det;
        const double before = std::hypot(ex, ey);
        // Within rounding of the photo point: a further step cannot do better.
        if (before <= 1e-14 * std::max(1.0, std::hypot(xd, yd))) {
            converged = true;
            break;
        }
        double t = 1;
        bool accepted = false;
        for (int half = 0; half < 30 && !accepted; ++half) {
            const double nx = x - t * sx, ny = y - t * sy;
            accepted = nx * nx + ny * ny < fold && miss(nx, ny) <= before;
            if (!accepted)
                t *= 0.5;
        }
        if (!accepted)
            return std::nullopt;
        sx *= t;
        sy *= t;
        x -= sx;
        y -= sy;
        converged = std::hypot(sx, sy) < 1e-12 * std::max(1.0, std::hypot(x, y));
    }
    if (!converged || !(x * x + y * y < fold) || miss(x, y) > 1e-9)
        return std::nullopt;
    const Distorted at = Distort(b, x, y);
    if (!(at.jxx * at.jyy - at.jxy * at.jxy > 0))
        return std::nullopt;
    const TDPoint q{b.fx * x + b.cx + 0.5, b.fy * y + b.cy + 0.5};
    if (!Finite(q))
        return std::nullopt;
    return q;
}

std::optional<TDPoint> ToPhoto(const LensModel& lens, TDPoint q)
{
    if (lens.kind == LensKind::None)
        return q;
    if (!Finite(q) || !IsSane(lens))
        return std::nullopt;
    if (lens.kind == LensKind::Division) {
        if (lens.k == 0)
            return q;
        const double cx = lens.width / 2, cy = lens.height / 2, radius = HalfDiagonal(lens);
        const double dx = q.x - cx, dy = q.y - cy;
        const double s = (dx * dx + dy * dy) / (radius * radius);
        // r_u (1 + k r_d^2) = r_d solved for r_d on the branch through r_u = 0;
        // written without dividing by k or r_u so k near 0 loses nothing.
        const double disc = 1 - 4 * lens.k * s;
        if (!(disc > 0))
            return std::nullopt;
        const double f = 2 / (1 + std::sqrt(disc));
        return TDPoint{cx + dx * f, cy + dy * f};
    }
    const BrownConrady& b = lens.bc;
    if (!HasDistortion(b))
        return q;
    const double x = (q.x - 0.5 - b.cx) / b.fx, y = (q.y - 0.5 - b.cy) / b.fy;
    if (!(x * x + y * y < FoldSquare(b)))
        return std::nullopt;
    const Distorted d = Distort(b, x, y);
    if (!(d.jxx * d.jyy - d.jxy * d.jxy > 0))
        return std::nullopt;
    const TDPoint p{b.fx * d.x + b.cx + 0.5, b.fy * d.y + b.cy + 0.5};
    if (!Finite(p))
        return std::nullopt;
    return p;
}

} // namespace kvx
