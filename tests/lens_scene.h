#pragma once

// A known lens put between tests/scene.h's pinhole camera and the photo,
// written out here on its own so that the program's lens code is checked
// against it, never against itself; and the scene's straight edges and clicks
// as they show on such a photo.

#include "measure/geometry.h"
#include "measure/lens.h"
#include "scene.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <random>
#include <vector>

namespace kvx::test {

struct LensTruth {
    enum class Kind { Division, Brown } kind = Kind::Division;
    double k = 0, width = 0, height = 0;
    BrownConrady bc;

    static LensTruth Division(double k, double width, double height)
    {
        LensTruth t;
        t.kind = Kind::Division;
        t.k = k;
        t.width = width;
        t.height = height;
        return t;
    }
    static LensTruth Brown(const BrownConrady& b)
    {
        LensTruth t;
        t.kind = Kind::Brown;
        t.bc = b;
        return t;
    }

    // Where the photo shows the ideal camera's point q.
    TDPoint ToPhoto(TDPoint q) const
    {
        if (kind == Kind::Brown) {
            // OpenCV's pixels have pixel i's centre at i, ours at i + 0.5.
            const double x = (q.x - 0.5 - bc.cx) / bc.fx, y = (q.y - 0.5 - bc.cy) / bc.fy;
            const double r2 = x * x + y * y;
            const double radial = 1 + bc.k1 * r2 + bc.k2 * r2 * r2 + bc.k3 * r2 * r2 * r2;
            const double xd = x * radial + 2 * bc.p1 * x * y + bc.p2 * (r2 + 2 * x * x);
            const double yd = y * radial + bc.p1 * (r2 + 2 * y * y) + 2 * bc.p2 * x * y;
            return {bc.fx * xd + bc.cx + 0.5, bc.fy * yd + bc.cy + 0.5};
        }
        // The division model maps photo radius r_d to r_d / (1 + k r_d^2); the
        // photo radius of q is found by bisection on that increasing function.
        const double cx = width / 2, cy = height / 2, radius = std::hypot(width, height) / 2;
        const double ru = std::hypot(q.x - cx, q.y - cy) / radius;
        if (ru == 0)
            return q;
        double lo = 0, hi = k > 0 ? 1 / std::sqrt(k) : (k < 0 ? 1 / std::sqrt(-k) : ru);
        if (k == 0)
            return q;
        for (int i = 0; i < 64; ++i) {
            const double mid = (lo + hi) / 2;
            (mid / (1 + k * mid * mid) < ru ? lo : hi) = mid;
        }
        const double f = lo / ru;
        return {cx + (q.x - cx) * f, cy + (q.y - cy) * f};
    }
};

// Normal click noise with a fixed seed, the same on every run.
class Clicks {
public:
    explicit Clicks(double sigma, unsigned seed = 12345) : sigma_(sigma), gen_(seed) {}
    TDPoint operator()(TDPoint p)
    {
        std::normal_distribution<double> n(0.0, sigma_);
        const double dx = n(gen_);
        const double dy = n(gen_);
        return DPoint(p.x + dx, p.y + dy);
    }

private:
    double sigma_;
    std::mt19937 gen_;
};

// The photo point of the front wall's point (X, Y) (mm) through camera and lens.
inline TDPoint Shot(const Camera& cam, const LensTruth& lens, double X, double Y)
{
    return lens.ToPhoto(cam.Project(X, Y));
}

// The scene's photo, its straight wall lines and the lengths measured over it.
inline constexpr double kW = 4000, kH = 3000;  // the photo of tests/scene.h's camera
inline constexpr double kMargin = 30;          // px: nobody clicks on the photo's very border

inline bool OnPhoto(TDPoint p)
{
    return p.x >= kMargin && p.x <= kW - kMargin && p.y >= kMargin && p.y <= kH - kMargin;
}

// The photo point of the wall's point (X, Y), for points the ideal camera sees
// near its frame: far beyond it a lens model folds back over the photo, and
// a real lens shows nothing there.
inline std::optional<TDPoint> Seen(const Camera& cam, const LensTruth& lens, double X, double Y)
{
    const TDPoint q = cam.Project(X, Y);
    if (std::fabs(q.x - kW / 2) > 0.75 * kW || std::fabs(q.y - kH / 2) > 0.75 * kH)
        return std::nullopt;
    const TDPoint p = lens.ToPhoto(q);
    if (!OnPhoto(p))
        return std::nullopt;
    return p;
}

// The photo points of the wall's line from a to b (mm) that fall on the
// photo, n of them evenly spread, each clicked.
inline std::vector<TDPoint> EdgeOnPhoto(const Camera& cam, const LensTruth& lens, TDPoint a, TDPoint b, int n, Clicks& click)
{
    std::vector<TDPoint> seen;
    constexpr int kSamples = 4000;
    for (int i = 0; i <= kSamples; ++i) {
        const double t = static_cast<double>(i) / kSamples;
        if (const std::optional<TDPoint> p = Seen(cam, lens, a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t))
            seen.push_back(*p);
    }
    std::vector<TDPoint> out;
    if (seen.size() < 2)
        return out;
    for (int i = 0; i < n; ++i)
        out.push_back(click(seen[(seen.size() - 1) * static_cast<std::size_t>(i) / static_cast<std::size_t>(n - 1)]));
    return out;
}

// The wall's horizontal (or vertical) line whose photo runs nearest to the
// given photo coordinate (y, or x) while crossing most of the photo.
inline std::pair<TDPoint, TDPoint> WallLineNear(const Camera& cam, const LensTruth& lens, bool horizontal, double target)
{
    std::pair<TDPoint, TDPoint> best;
    double bestMiss = 1e300;
    for (double at = -15000; at <= 15000; at += 100) {
        const TDPoint a = horizontal ? TDPoint{-40000, at} : TDPoint{at, -40000};
        const TDPoint b = horizontal ? TDPoint{40000, at} : TDPoint{at, 40000};
        double sum = 0, lo = 1e300, hi = -1e300;
        int count = 0;
        for (int i = 0; i <= 1000; ++i) {
            const double t = i / 1000.0;
            const std::optional<TDPoint> p = Seen(cam, lens, a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
            if (!p)
                continue;
            sum += horizontal ? p->y : p->x;
            lo = std::min(lo, horizontal ? p->x : p->y);
            hi = std::max(hi, horizontal ? p->x : p->y);
            ++count;
        }
        if (count == 0 || hi - lo < 0.7 * (horizontal ? kW : kH))
            continue;
        const double miss = std::fabs(sum / count - target);
        if (miss < bestMiss) {
            bestMiss = miss;
            best = {a, b};
        }
    }
    return best;
}

struct Segment {
    TDPoint from, to;  // wall mm
};

// Horizontal and vertical lengths over the whole wall the photo shows.
inline std::vector<Segment> WallSegments(const Camera& cam, const LensTruth& lens)
{
    std::vector<Segment> out;
    for (double X = -12000; X <= 12000; X += 600)
        for (double Y = -9000; Y <= 9000; Y += 600)
            for (const Segment s : {Segment{{X, Y}, {X + 1500, Y}}, Segment{{X, Y}, {X, Y + 1200}}})
                if (Seen(cam, lens, s.from.x, s.from.y) && Seen(cam, lens, s.to.x, s.to.y))
                    out.push_back(s);
    return out;
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace kvx::test
