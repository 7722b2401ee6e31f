#include "image/edge_fit.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace kvx {

namespace {

constexpr double kMinContrast = 8;   // grey levels: below this there is no edge to measure
constexpr int kMinPixels = 12;

TDPoint Add(TDPoint a, TDPoint b) { return {a.x + b.x, a.y + b.y}; }
TDPoint Sub(TDPoint a, TDPoint b) { return {a.x - b.x, a.y - b.y}; }
TDPoint Scale(TDPoint a, double s) { return {a.x * s, a.y * s}; }
double Dot(TDPoint a, TDPoint b) { return a.x * b.x + a.y * b.y; }

// The grey level at a photo point, bilinear between pixel centres; -1 off the photo.
double Sample(const cv::Mat& grey, double x, double y)
{
    const double u = x - 0.5, v = y - 0.5;
    const int i = static_cast<int>(std::floor(u)), j = static_cast<int>(std::floor(v));
    if (i < 0 || j < 0 || i + 1 >= grey.cols || j + 1 >= grey.rows)
        return -1;
    const double fu = u - i, fv = v - j;
    const double p00 = grey.at<uchar>(j, i), p10 = grey.at<uchar>(j, i + 1);
    const double p01 = grey.at<uchar>(j + 1, i), p11 = grey.at<uchar>(j + 1, i + 1);
    return (p00 * (1 - fu) + p10 * fu) * (1 - fv) + (p01 * (1 - fu) + p11 * fu) * fv;
}

struct Pixel {
    double x, y, value;
};

// The blurred-step model of one edge: the line is n(phi) . (p - origin) = rho,
// the grey level a + b * Phi(d / s) at signed distance d from it.
struct StepModel {
    double phi, rho, a, b, s;
};

double NormalCdf(double z) { return 0.5 * std::erfc(-z / std::numbers::sqrt2); }
double NormalPdf(double z) { return std::exp(-0.5 * z * z) / std::sqrt(2 * std::numbers::pi); }
// The first and second integrals of the normal distribution function.
double CdfIntegral(double z) { return z * NormalCdf(z) + NormalPdf(z); }
double CdfIntegral2(double z) { return ((z * z + 1) * NormalCdf(z) + z * NormalPdf(z)) / 2; }

// What a pixel records of a straight step blurred by s: the blurred step
// averaged over the pixel's square, whose shadow across a line with normal
// (cos, sin) is a trapezoid (a box |cos| wide smeared by a box |sin| wide).
// Without the pixel's own averaging a sharp edge would be placed by its one
// mixed pixel alone, a tenth of a pixel off.  Also the slope along d.
struct Profile {
    double value, slope;
};
Profile PixelStep(double d, double s, double c, double sn)
{
    double w1 = std::abs(c), w2 = std::abs(sn);
    if (w1 < w2)
        std::swap(w1, w2);
    if (w2 < 1e-4) {
        const double a = (d + w1 / 2) / s, b = (d - w1 / 2) / s;
        return {s / w1 * (CdfIntegral(a) - CdfIntegral(b)), (NormalCdf(a) - NormalCdf(b)) / w1};
    }
    const double z1 = (d + (w1 + w2) / 2) / s, z2 = (d + (w1 - w2) / 2) / s;
    const double z3 = (d - (w1 - w2) / 2) / s, z4 = (d - (w1 + w2) / 2) / s;
    const double k = s * s / (w1 * w2);
    return {k * (CdfIntegral2(z1) - CdfIntegral2(z2) - CdfIntegral2(z3) + CdfIntegral2(z4)),
            k / s * (CdfIntegral(z1) - CdfIntegral(z2) - CdfIntegral(z3) + CdfIntegral(z4))};
}

} // namespace

std::optional<EdgeLine> FitEdge(const cv::Mat& grey, TDPoint from, TDPoint to, double band)
{
    if (grey.empty() || grey.type() != CV_8UC1 || !(band >= 1.5))
        return std::nullopt;
    const double len = Distance(from, to);
    if (!std::isfinite(len) || len < 2 || len > 1e5)
        return std::nullopt;
    const TDPoint origin = MidPoint(from, to);
    const TDPoint u0 = Scale(Sub(to, from), 1 / len);
    StepModel m{std::atan2(u0.x, -u0.y), 0, 0, 0, 1.2};  // n = (-u.y, u.x)

    // The pixels whose centres lie in the band along the segment, as the line now lies.
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min(from.x, to.x) - band - 2)));
    const int x1 = std::min(grey.cols - 1, static_cast<int>(std::ceil(std::max(from.x, to.x) + band + 2)));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min(from.y, to.y) - band - 2)));
    const int y1 = std::min(grey.rows - 1, static_cast<int>(std::ceil(std::max(from.y, to.y) + band + 2)));
    if (x0 > x1 || y0 > y1)
        return std::nullopt;
    std::vector<Pixel> px;
    auto select = [&] {
        px.clear();
        const TDPoint n{std::cos(m.phi), std::sin(m.phi)};
        const TDPoint t{-n.y, n.x};
        for (int j = y0; j <= y1; ++j)
            for (int i = x0; i <= x1; ++i) {
                const TDPoint q{i + 0.5 - origin.x, j + 0.5 - origin.y};
                if (std::abs(Dot(q, t)) > len / 2 || std::abs(Dot(q, n) - m.rho) > band)
                    continue;
                px.push_back({q.x, q.y, static_cast<double>(grey.at<uchar>(j, i))});
            }
    };
    select();
    if (static_cast<int>(px.size()) < kMinPixels)
        return std::nullopt;

    // Start from the two sides' levels and the place the mean profile crosses halfway.
    {
        const TDPoint n{std::cos(m.phi), std::sin(m.phi)};
        const int bins = static_cast<int>(std::ceil(band * 2)) * 2;
        std::vector<double> sum(static_cast<std::size_t>(bins), 0), count(static_cast<std::size_t>(bins), 0);
        for (const Pixel& p : px) {
            const double d = p.x * n.x + p.y * n.y;
            const int k = std::clamp(static_cast<int>(std::floor((d + band) * 2)), 0, bins - 1);
            sum[static_cast<std::size_t>(k)] += p.value;
            count[static_cast<std::size_t>(k)] += 1;
        }
        double lo = 0, loN = 0, hi = 0, hiN = 0;
        for (int k = 0; k < bins / 4; ++k) {
            lo += sum[static_cast<std::size_t>(k)];
            loN += count[static_cast<std::size_t>(k)];
            hi += sum[static_cast<std::size_t>(bins - 1 - k)];
            hiN += count[static_cast<std::size_t>(bins - 1 - k)];
        }
        if (loN == 0 || hiN == 0)
            return std::nullopt;
        m.a = lo / loN;
        m.b = hi / hiN - m.a;
        if (std::abs(m.b) < kMinContrast)
            return std::nullopt;
        // The bin whose mean is nearest the middle level.
        const double mid = m.a + m.b / 2;
        double best = 1e300;
        for (int k = 0; k < bins; ++k) {
            if (count[static_cast<std::size_t>(k)] == 0)
                continue;
            const double diff = std::abs(sum[static_cast<std::size_t>(k)] / count[static_cast<std::size_t>(k)] - mid);
            if (diff < best) {
                best = diff;
                m.rho = (k + 0.5) / 2 - band;
            }
        }
    }

    // Levenberg-Marquardt over every pixel, the outliers (a stray mark, a
    // block of a compressed photo) weighed down by Huber's rule.
    std::vector<double> weight;
    double cost = 0;
    auto residuals = [&](const StepModel& s, std::vector<double>* r) {
        const double c = std::cos(s.phi), sn = std::sin(s.phi);
        double total = 0;
        if (r)
            r->resize(px.size());
        for (std::size_t k = 0; k < px.size(); ++k) {
            const double d = c * px[k].x + sn * px[k].y - s.rho;
            const double e = px[k].value - (s.a + s.b * PixelStep(d, s.s, c, sn).value);
            if (r)
                (*r)[k] = e;
            total += weight[k] * e * e;
        }
        return total;
    };
    for (int outer = 0; outer < 4; ++outer) {
        if (outer > 0)
            select();
        if (static_cast<int>(px.size()) < kMinPixels)
            return std::nullopt;
        weight.assign(px.size(), 1.0);
        std::vector<double> r;
        if (outer >= 2) {
            residuals(m, &r);
            std::vector<double> absr(r.size());
            for (std::size_t k = 0; k < r.size(); ++k)
                absr[k] = std::abs(r[k]);
            std::nth_element(absr.begin(), absr.begin() + static_cast<long>(absr.size() / 2), absr.end());
            const double scale = std::max(1.0, 1.4826 * absr[absr.size() / 2]) * 2.0;
            for (std::size_t k = 0; k < r.size(); ++k)
                weight[k] = std::abs(r[k]) <= scale ? 1.0 : scale / std::abs(r[k]);
        }
        cost = residuals(m, &r);
        double lambda = 1e-3;
        for (int it = 0; it < 30; ++it) {
            cv::Matx<double, 5, 5> A = cv::Matx<double, 5, 5>::zeros();
            cv::Vec<double, 5> g = cv::Vec<double, 5>::all(0);
            const double c = std::cos(m.phi), sn = std::sin(m.phi);
            for (std::size_t k = 0; k < px.size(); ++k) {
                const double d = c * px[k].x + sn * px[k].y - m.rho;
                const Profile f = PixelStep(d, m.s, c, sn);
                // The blur's effect by a central difference: its formula gains nothing.
                const double h = 1e-4 * m.s;
                const double fs = (PixelStep(d, m.s + h, c, sn).value - PixelStep(d, m.s - h, c, sn).value) / (2 * h);
                const double dd = -sn * px[k].x + c * px[k].y;
                const cv::Vec<double, 5> J{m.b * f.slope * dd, -m.b * f.slope, 1.0, f.value, m.b * fs};
                const double w = weight[k];
                for (int p = 0; p < 5; ++p) {
                    g[p] += w * J[p] * r[k];
                    for (int q = p; q < 5; ++q)
                        A(p, q) += w * J[p] * J[q];
                }
            }
            for (int p = 0; p < 5; ++p)
                for (int q = 0; q < p; ++q)
                    A(p, q) = A(q, p);
            bool improved = false;
            for (int tries = 0; tries < 8 && !improved; ++tries) {
                cv::Matx<double, 5, 5> D = A;
                for (int p = 0; p < 5; ++p)
                    D(p, p) += lambda * (A(p, p) + 1e-9);
                cv::Vec<double, 5> step;
                if (!cv::solve(D, g, step, cv::DECOMP_CHOLESKY))
                    return std::nullopt;
                StepModel next{m.phi + step[0], m.rho + step[1], m.a + step[2], m.b + step[3], m.s + step[4]};
                next.s = std::clamp(next.s, 0.05, 6.0);
                const double nextCost = residuals(next, nullptr);
                if (nextCost < cost) {
                    const double change = std::abs(step[1]) + std::abs(step[0]) * len;
                    m = next;
                    cost = nextCost;
                    lambda = std::max(lambda / 3, 1e-7);
                    improved = true;
                    if (change < 1e-5)
                        it = 1000;
                } else {
                    lambda *= 4;
                }
            }
            if (!improved)
                break;
            residuals(m, &r);
        }
    }
    const TDPoint n{std::cos(m.phi), std::sin(m.phi)};
    TDPoint dir{-n.y, n.x};
    if (Dot(dir, u0) < 0)
        dir = Scale(dir, -1);
    const TDPoint point = Add(origin, Scale(n, m.rho));
    // A line that turned or slid off the segment followed something else.
    if (std::abs(Dot(Sub(from, point), n)) > band || std::abs(Dot(Sub(to, point), n)) > band || Dot(dir, u0) < 0.95)
        return std::nullopt;
    if (std::abs(m.b) < kMinContrast || m.s >= 6.0 || !std::isfinite(m.rho))
        return std::nullopt;
    EdgeLine e;
    e.point = point;
    e.dir = dir;
    double tmin = 1e300, tmax = -1e300;
    for (const Pixel& p : px) {
        const double t = Dot(Sub(Add(origin, TDPoint{p.x, p.y}), point), dir);
        tmin = std::min(tmin, t);
        tmax = std::max(tmax, t);
    }
    e.start = Add(point, Scale(dir, tmin));
    e.end = Add(point, Scale(dir, tmax));
    e.contrast = std::abs(m.b);
    e.blur = m.s;
    double wsum = 0;
    for (double w : weight)
        wsum += w;
    e.rms = std::sqrt(cost / std::max(1.0, wsum));
    e.pixels = static_cast<int>(px.size());
    return e;
}

std::optional<TDPoint> CrossEdges(const EdgeLine& a, const EdgeLine& b)
{
    const double den = a.dir.x * b.dir.y - a.dir.y * b.dir.x;
    if (std::abs(den) < 0.05)  // under about 3 degrees apart
        return std::nullopt;
    const TDPoint w = Sub(b.point, a.point);
    const double t = (w.x * b.dir.y - w.y * b.dir.x) / den;
    return Add(a.point, Scale(a.dir, t));
}

namespace {

constexpr double kCornerBand = 4.5;

// How far from the corner along u the edge with light side toward n goes on,
// in whole pixels from t0; 0 when it does not start there.
double EdgeReach(const cv::Mat& grey, TDPoint corner, TDPoint u, TDPoint n, double t0, double length)
{
    std::vector<double> contrast;
    for (double t = t0; t <= length; t += 1) {
        const TDPoint p = Add(corner, Scale(u, t));
        const double light = Sample(grey, p.x + 3 * n.x, p.y + 3 * n.y);
        const double dark = Sample(grey, p.x - 3 * n.x, p.y - 3 * n.y);
        if (light < 0 || dark < 0)
            break;
        contrast.push_back(light - dark);
    }
    if (contrast.size() < 4)
        return 0;
    std::vector<double> first(contrast.begin(), contrast.begin() + 3);
    std::sort(first.begin(), first.end());
    const double reference = first[1];
    if (reference < kMinContrast)
        return 0;
    double reach = t0;
    for (std::size_t k = 0; k < contrast.size(); ++k) {
        if (contrast[k] < 0.5 * reference)
            break;
        reach = t0 + static_cast<double>(k);
    }
    return reach;
}

} // namespace

std::optional<EdgeCorner> CornerFromEdges(const cv::Mat& grey, TDPoint guess, double length)
{
    if (grey.empty() || grey.type() != CV_8UC1 || !std::isfinite(guess.x) || !std::isfinite(guess.y) || !(length >= 10))
        return std::nullopt;
    // The gradient directions around the guess, weighed by their strength.
    constexpr int kHalf = 10;
    const int gx0 = static_cast<int>(std::floor(guess.x)) - kHalf - 1, gy0 = static_cast<int>(std::floor(guess.y)) - kHalf - 1;
    const cv::Rect window = cv::Rect(gx0, gy0, 2 * kHalf + 3, 2 * kHalf + 3) & cv::Rect(0, 0, grey.cols, grey.rows);
    if (window.width < 2 * kHalf + 3 || window.height < 2 * kHalf + 3)
        return std::nullopt;
    cv::Mat gx, gy;
    cv::Sobel(grey(window), gx, CV_32F, 1, 0, 3);
    cv::Sobel(grey(window), gy, CV_32F, 0, 1, 3);
    constexpr int kBins = 72;
    std::array<double, kBins> hist{};
    struct Grad {
        TDPoint p;
        double angle, weight;
    };
    std::vector<Grad> grads;
    for (int j = 1; j < window.height - 1; ++j)
        for (int i = 1; i < window.width - 1; ++i) {
            const TDPoint p{window.x + i + 0.5, window.y + j + 0.5};
            const double r = Distance(p, guess);
            if (r < 2 || r > kHalf)
                continue;
            const double dx = gx.at<float>(j, i), dy = gy.at<float>(j, i);
            const double mag = std::hypot(dx, dy);
            if (mag < 4 * kMinContrast)
                continue;
            double angle = std::atan2(dy, dx) * 180 / std::numbers::pi;
            if (angle < 0)
                angle += 360;
            grads.push_back({p, angle, mag});
            hist[static_cast<std::size_t>(std::min(kBins - 1, static_cast<int>(angle / (360.0 / kBins))))] += mag;
        }
    std::array<double, kBins> smooth{};
    for (int k = 0; k < kBins; ++k)
        for (int o = -2; o <= 2; ++o)
            smooth[static_cast<std::size_t>(k)] += (3 - std::abs(o)) * hist[static_cast<std::size_t>((k + o + kBins) % kBins)];
    auto binDistance = [](int a, int b) {
        const int d = std::abs(a - b) % kBins;
        return std::min(d, kBins - d);
    };
    int first = 0;
    for (int k = 1; k < kBins; ++k)
        if (smooth[static_cast<std::size_t>(k)] > smooth[static_cast<std::size_t>(first)])
            first = k;
    int second = -1;
    for (int k = 0; k < kBins; ++k) {
        const int sep = binDistance(k, first);
        if (sep < 35 / 5 || sep > 150 / 5)
            continue;
        if (second < 0 || smooth[static_cast<std::size_t>(k)] > smooth[static_cast<std::size_t>(second)])
            second = k;
    }
    if (second < 0 || smooth[static_cast<std::size_t>(first)] <= 0 ||
        smooth[static_cast<std::size_t>(second)] < 0.25 * smooth[static_cast<std::size_t>(first)])
        return std::nullopt;

    // Each edge's side of the corner: where its own gradients lie.
    std::array<TDPoint, 2> normal, along;
    for (int e = 0; e < 2; ++e) {
        const int bin = e == 0 ? first : second;
        const double centre = (bin + 0.5) * 360.0 / kBins;
        double sx = 0, sy = 0;
        for (const Grad& g : grads)
            if (std::abs(AngleDiff(centre, g.angle)) <= 15) {
                sx += g.weight * std::cos(g.angle * std::numbers::pi / 180);
                sy += g.weight * std::sin(g.angle * std::numbers::pi / 180);
            }
        const double a = std::atan2(sy, sx);
        normal[static_cast<std::size_t>(e)] = {std::cos(a), std::sin(a)};
        const TDPoint t{-std::sin(a), std::cos(a)};
        double side = 0, total = 0;
        for (const Grad& g : grads)
            if (std::abs(AngleDiff(a * 180 / std::numbers::pi, g.angle)) <= 15) {
                side += g.weight * Dot(Sub(g.p, guess), t);
                total += g.weight;
            }
        if (total <= 0 || std::abs(side / total) < 1.5)
            return std::nullopt;  // the edge runs through: no corner ends it here
        along[static_cast<std::size_t>(e)] = side > 0 ? t : Scale(t, -1);
    }

    EdgeCorner result{guess, {}};
    for (int pass = 0; pass < 2; ++pass) {
        const double sinAngle = std::abs(along[0].x * along[1].y - along[0].y * along[1].x);
        if (sinAngle < 0.3)
            return std::nullopt;
        const double t0 = (kCornerBand + 3.5) / sinAngle;
        for (std::size_t e = 0; e < 2; ++e) {
            const double reach = EdgeReach(grey, result.corner, along[e], normal[e], t0, length);
            if (reach - t0 < 5)
                return std::nullopt;
            const auto fit = FitEdge(grey, Add(result.corner, Scale(along[e], t0)), Add(result.corner, Scale(along[e], reach)),
                                     kCornerBand);
            if (!fit)
                return std::nullopt;
            result.edges[e] = *fit;
        }
        const auto cross = CrossEdges(result.edges[0], result.edges[1]);
        if (!cross || Distance(*cross, guess) > 3)
            return std::nullopt;
        result.corner = *cross;
        for (std::size_t e = 0; e < 2; ++e) {
            along[e] = result.edges[e].dir;
            normal[e] = Dot(normal[e], TDPoint{-along[e].y, along[e].x}) > 0 ? TDPoint{-along[e].y, along[e].x}
                                                                              : TDPoint{along[e].y, -along[e].x};
        }
    }
    // Each fitted stretch is drawn from the corner outward.
    for (EdgeLine& e : result.edges)
        e.start = result.corner;
    return result;
}

std::optional<std::array<TDPoint, 4>> RefineQuad(const cv::Mat& grey, const std::array<TDPoint, 4>& corners, double band,
                                                 double endFraction)
{
    return RefineQuad(grey, corners, std::array<double, 4>{band, band, band, band}, endFraction);
}

std::optional<std::array<TDPoint, 4>> RefineQuad(const cv::Mat& grey, const std::array<TDPoint, 4>& corners,
                                                 const std::array<double, 4>& bands, double endFraction)
{
    std::array<TDPoint, 4> q = corners;
    for (const TDPoint& c : q)
        if (!std::isfinite(c.x) || !std::isfinite(c.y))
            return std::nullopt;
    for (int pass = 0; pass < 2; ++pass) {
        std::array<EdgeLine, 4> sides;
        for (std::size_t i = 0; i < 4; ++i) {
            const TDPoint a = q[i], b = q[(i + 1) % 4];
            const TDPoint d = Sub(b, a);
            const auto fit = FitEdge(grey, Add(a, Scale(d, endFraction)), Add(a, Scale(d, 1 - endFraction)), bands[i]);
            if (!fit)
                return std::nullopt;
            sides[i] = *fit;
        }
        std::array<TDPoint, 4> next;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto c = CrossEdges(sides[(i + 3) % 4], sides[i]);
            if (!c)
                return std::nullopt;
            const double side = std::min(Distance(q[i], q[(i + 1) % 4]), Distance(q[i], q[(i + 3) % 4]));
            if (Distance(*c, corners[i]) > std::max(3.0, 0.1 * side))
                return std::nullopt;
            next[i] = *c;
        }
        q = next;
    }
    return q;
}

} // namespace kvx
