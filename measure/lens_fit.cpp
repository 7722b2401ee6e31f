#include "measure/lens_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kvx {

namespace {

// A point further out than this (normalised by the half-diagonal) was not
// clicked on the photo; within it, every k of the range maps every point.
constexpr double kMaxPointRadius = 1.05;

// The squared distances of the points from their total-least-squares line:
// the smaller eigenvalue of their scatter matrix.
double LineScatter(const std::vector<TDPoint>& pts)
{
    long double mx = 0, my = 0;
    for (const TDPoint& p : pts) {
        mx += p.x;
        my += p.y;
    }
    mx /= static_cast<long double>(pts.size());
    my /= static_cast<long double>(pts.size());
    long double sxx = 0, syy = 0, sxy = 0;
    for (const TDPoint& p : pts) {
        const long double dx = p.x - mx, dy = p.y - my;
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
    }
    const long double half = (sxx + syy) / 2;
    const long double root = std::sqrt(((sxx - syy) / 2) * ((sxx - syy) / 2) + sxy * sxy);
    // The product of the eigenvalues over the larger one: no cancellation for
    // nearly straight edges, where the smaller one is what counts.
    const long double larger = half + root;
    if (larger <= 0)
        return 0.0;
    return static_cast<double>(std::max(0.0L, (sxx * syy - sxy * sxy) / larger));
}

double Span(const std::vector<TDPoint>& pts)
{
    double longest = 0;
    for (std::size_t i = 0; i < pts.size(); ++i)
        for (std::size_t j = i + 1; j < pts.size(); ++j)
            longest = std::max(longest, Distance(pts[i], pts[j]));
    return longest;
}

// Brent's minimisation of f on [a, b] (golden sections with parabolic steps
// where the function allows them), to an interval of tol.
template <class F>
double BrentMin(F f, double a, double b, double tol)
{
    constexpr double kGold = 0.3819660112501051;
    double x = a + kGold * (b - a), w = x, v = x;
    double fx = f(x), fw = fx, fv = fx;
    double d = 0, e = 0;
    for (int iter = 0; iter < 200; ++iter) {
        const double m = 0.5 * (a + b);
        const double tol1 = tol + 1e-12 * std::fabs(x), tol2 = 2 * tol1;
        if (std::fabs(x - m) <= tol2 - 0.5 * (b - a))
            break;
        bool golden = true;
        if (std::fabs(e) > tol1) {
            double r = (x - w) * (fx - fv);
            double q = (x - v) * (fx - fw);
            double p = (x - v) * q - (x - w) * r;
            q = 2 * (q - r);
            if (q > 0)
                p = -p;
            q = std::fabs(q);
            const double last = e;
            e = d;
            if (std::fabs(p) < std::fabs(0.5 * q * last) && p > q * (a - x) && p < q * (b - x)) {
                d = p / q;
                const double u = x + d;
                if (u - a < tol2 || b - u < tol2)
                    d = x < m ? tol1 : -tol1;
                golden = false;
            }
        }
        if (golden) {
            e = (x < m ? b : a) - x;
            d = kGold * e;
        }
        const double u = std::fabs(d) >= tol1 ? x + d : x + (d > 0 ? tol1 : -tol1);
        const double fu = f(u);
        if (fu <= fx) {
            (u < x ? b : a) = x;
            v = w;
            fv = fw;
            w = x;
            fw = fx;
            x = u;
            fx = fu;
        } else {
            (u < x ? a : b) = u;
            if (fu <= fw || w == x) {
                v = w;
                fv = fw;
                w = u;
                fw = fu;
            } else if (fu <= fv || v == x || v == w) {
                v = u;
                fv = fu;
            }
        }
    }
    return x;
}

} // namespace

double DivisionScaleUncertainty(const LensModel& lens, double kUncertainty, TDPoint p)
{
    if (lens.kind != LensKind::Division || !IsSane(lens) || !ToIdeal(lens, p))
        return 0.0;
    const double radius = std::hypot(lens.width, lens.height) / 2;
    const double s = (std::pow(p.x - lens.width / 2, 2) + std::pow(p.y - lens.height / 2, 2)) / (radius * radius);
    return std::fabs(kUncertainty) * s / (1 + lens.k * s);
}

std::optional<double> StraightnessCost(const std::vector<std::vector<TDPoint>>& edges, const LensModel& lens)
{
    double sum = 0;
    std::vector<TDPoint> ideal;
    for (const std::vector<TDPoint>& edge : edges) {
        ideal.clear();
        for (const TDPoint& p : edge) {
            const std::optional<TDPoint> q = ToIdeal(lens, p);
            if (!q)
                return std::nullopt;
            ideal.push_back(*q);
        }
        sum += LineScatter(ideal);
    }
    return sum;
}

EdgeFit FitDivisionFromEdges(const std::vector<std::vector<TDPoint>>& edges, PhotoSize size, double maxUncertainty)
{
    EdgeFit fit;
    auto refuse = [&](EdgeFitFault fault, int edge) {
        fit.fault = fault;
        fit.edge = edge;
        return fit;
    };
    if (!(std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0))
        return refuse(EdgeFitFault::BadPhotoSize, -1);
    if (edges.size() < static_cast<std::size_t>(kMinFitEdges))
        return refuse(EdgeFitFault::TooFewEdges, -1);
    const double diagonal = std::hypot(size.width, size.height);
    const TDPoint centre{size.width / 2, size.height / 2};
    std::size_t points = 0;
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const std::vector<TDPoint>& edge = edges[i];
        const int index = static_cast<int>(i);
        if (edge.size() < static_cast<std::size_t>(kMinEdgePoints) ||
            edge.size() > static_cast<std::size_t>(kMaxEdgePoints))
            return refuse(EdgeFitFault::TooFewPoints, index);
        for (const TDPoint& p : edge)
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !(Distance(p, centre) <= kMaxPointRadius * diagonal / 2))
                return refuse(EdgeFitFault::BadPoint, index);
        if (Span(edge) < kMinEdgeFraction * diagonal)
            return refuse(EdgeFitFault::EdgeTooShort, index);
        points += edge.size();
    }

    auto cost = [&](double k) {
        const std::optional<double> c = StraightnessCost(edges, LensModel::Division(k, size.width, size.height));
        return c ? *c : std::numeric_limits<double>::infinity();
    };
    // A scan first: the cost of strongly bent edges need not have one basin
    // over the whole range, and Brent's method only finds the basin it is in.
    constexpr int kSteps = 160;
    const double step = 2 * kFitRange / kSteps;
    int best = 0;
    double bestCost = std::numeric_limits<double>::infinity();
    for (int i = 0; i <= kSteps; ++i) {
        const double c = cost(-kFitRange + i * step);
        if (c < bestCost) {
            bestCost = c;
            best = i;
        }
    }
    const double lo = -kFitRange + std::max(0, best - 1) * step;
    const double hi = -kFitRange + std::min(kSteps, best + 1) * step;
    const double k = BrentMin(cost, lo, hi, 1e-10);
    const double before = cost(0);
    const double after = cost(k);
    const double n = static_cast<double>(points);
    fit.k = k;
    fit.rmsBefore = std::sqrt(before / n);
    fit.rmsAfter = std::sqrt(after / n);
    if (!(after < before))
        return refuse(EdgeFitFault::NoImprovement, -1);

    // Least squares: var(k) = sigma^2 (J'J)^-1 with the cost's curvature
    // S'' = 2 J'J, and sigma^2 the residual per degree of freedom (each edge's
    // line takes two, k one).
    const double h = 1e-3;
    const double curvature = (cost(k + h) - 2 * after + cost(k - h)) / (h * h);
    const double freedom = n - 2.0 * static_cast<double>(edges.size()) - 1;
    const bool interior = k - h > -kFitRange && k + h < kFitRange;
    if (!(curvature > 0) || !interior || !(freedom > 0))
        return refuse(EdgeFitFault::Undecided, -1);
    fit.kUncertainty = std::sqrt(2 * (after / freedom) / curvature);
    fit.strength = fit.kUncertainty / (1 + k);
    if (!(fit.kUncertainty <= maxUncertainty))
        return refuse(EdgeFitFault::Undecided, -1);
    fit.lens = LensModel::Division(k, size.width, size.height);
    return fit;
}

} // namespace kvx
