#pragma once

// A known lens put between tests/scene.h's pinhole camera and the photo,
// written out here on its own so that the program's lens code is checked
// against it, never against itself; and the scene's straight edges and clicks
// as they show on such a photo.

#include "measure/geometry.h"
#include "measure/lens.h"
#include "scene.h"

#include <cmath>
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

} // namespace kvx::test
