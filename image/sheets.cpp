#include "image/sheets.h"

#include "image/edge_fit.h"
#include "measure/calibration.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kvx {

namespace {

constexpr double kToleranceRightAngle = 0.03;  // log of the proportion
constexpr double kToleranceTypicalFocal = 0.15;

// The angle in degrees between the lines a-b and c-d.
double LineAngle(TDPoint a, TDPoint b, TDPoint c, TDPoint d)
{
    const double u = std::atan2(b.y - a.y, b.x - a.x), v = std::atan2(d.y - c.y, d.x - c.x);
    double diff = std::abs(u - v) * 180 / std::numbers::pi;
    diff = std::fmod(diff, 180.0);
    return std::min(diff, 180 - diff);
}

} // namespace

double SheetAspect(SheetKind kind)
{
    switch (kind) {
    case SheetKind::A4:
        return 297.0 / 210.0;
    case SheetKind::A3:
        return 420.0 / 297.0;
    case SheetKind::Letter:
        return 279.4 / 215.9;
    case SheetKind::Card:
        return 85.60 / 53.98;
    }
    return 1;
}

namespace {

// The homography of the unit square onto the corners, about the photo's
// centre: its columns (a, d, g) and (b, e, h) are the rectangle's two
// directions, at right angles in space once K = diag(f, f, 1) is undone.
struct SquareMap {
    double a, b, d, e, g, h;
};

std::optional<SquareMap> MapSquare(const std::array<TDPoint, 4>& corners, cv::Size image)
{
    const double cx = image.width / 2.0, cy = image.height / 2.0;
    double x[4], y[4];
    for (std::size_t i = 0; i < 4; ++i) {
        x[i] = corners[i].x - cx;
        y[i] = corners[i].y - cy;
        if (!std::isfinite(x[i]) || !std::isfinite(y[i]))
            return std::nullopt;
    }
    const double sx = x[0] - x[1] + x[2] - x[3], sy = y[0] - y[1] + y[2] - y[3];
    const double dx1 = x[1] - x[2], dx2 = x[3] - x[2], dy1 = y[1] - y[2], dy2 = y[3] - y[2];
    const double den = dx1 * dy2 - dx2 * dy1;
    if (std::abs(den) < 1e-9)
        return std::nullopt;
    const double g = (sx * dy2 - dx2 * sy) / den, h = (dx1 * sy - sx * dy1) / den;
    return SquareMap{x[1] - x[0] + g * x[1], x[3] - x[0] + h * x[3], y[1] - y[0] + g * y[1], y[3] - y[0] + h * y[3], g, h};
}

std::optional<double> AspectAt(const SquareMap& m, double focal)
{
    const double f2 = focal * focal;
    const double first = std::sqrt((m.a * m.a + m.d * m.d) / f2 + m.g * m.g);
    const double second = std::sqrt((m.b * m.b + m.e * m.e) / f2 + m.h * m.h);
    if (!(first > 0) || !(second > 0) || !std::isfinite(first / second))
        return std::nullopt;
    return std::max(first / second, second / first);
}

double TypicalFocal(cv::Size image) { return 0.8 * std::max(image.width, image.height); }

} // namespace

std::optional<PlaneAspect> EstimateAspect(const std::array<TDPoint, 4>& corners, cv::Size image)
{
    if (image.width <= 0 || image.height <= 0)
        return std::nullopt;
    const auto m = MapSquare(corners, image);
    if (!m)
        return std::nullopt;
    PlaneAspect out;
    const double longer = std::max(image.width, image.height);
    const bool twoVanishing = LineAngle(corners[0], corners[1], corners[3], corners[2]) > 2 &&
                              LineAngle(corners[1], corners[2], corners[0], corners[3]) > 2;
    if (twoVanishing && m->g * m->h != 0) {
        const double f2 = -(m->a * m->b + m->d * m->e) / (m->g * m->h);
        if (f2 > 0 && std::sqrt(f2) > 0.2 * longer && std::sqrt(f2) < 5 * longer) {
            out.focal = std::sqrt(f2);
            out.fromRightAngle = true;
        }
    }
    if (!out.fromRightAngle)
        out.focal = TypicalFocal(image);
    const auto aspect = AspectAt(*m, out.focal);
    const auto shortFocal = AspectAt(*m, 0.5 * longer), longFocal = AspectAt(*m, 2 * longer);
    if (!aspect || !shortFocal || !longFocal)
        return std::nullopt;
    out.aspect = *aspect;
    out.low = std::min({*aspect, *shortFocal, *longFocal});
    out.high = std::max({*aspect, *shortFocal, *longFocal});
    return out;
}

namespace {

// The right angle decides the focal length only when a few tenths of a pixel
// on any corner leave the proportion within a per cent: with a vanishing
// point far outside the photo the answer is noise, and the typical focal
// length stands in.
std::optional<PlaneAspect> SteadyAspect(const std::array<TDPoint, 4>& corners, cv::Size image)
{
    auto found = EstimateAspect(corners, image);
    if (!found || !found->fromRightAngle)
        return found;
    for (std::size_t i = 0; i < 4; ++i)
        for (const TDPoint shift : {TDPoint{0.3, 0}, TDPoint{-0.3, 0}, TDPoint{0, 0.3}, TDPoint{0, -0.3}}) {
            std::array<TDPoint, 4> moved = corners;
            moved[i] = {moved[i].x + shift.x, moved[i].y + shift.y};
            const auto other = EstimateAspect(moved, image);
            if (other && other->fromRightAngle && std::abs(std::log(other->aspect / found->aspect)) <= 0.01)
                continue;
            const auto m = MapSquare(corners, image);
            const double longer = std::max(image.width, image.height);
            const auto aspect = AspectAt(*m, TypicalFocal(image));
            const auto shortFocal = AspectAt(*m, 0.5 * longer), longFocal = AspectAt(*m, 2 * longer);
            if (!aspect || !shortFocal || !longFocal)
                return std::nullopt;
            return PlaneAspect{*aspect, TypicalFocal(image), false, std::min({*aspect, *shortFocal, *longFocal}),
                               std::max({*aspect, *shortFocal, *longFocal})};
        }
    return found;
}

// The proportion the A series shares, A4 and A3 alike.
double MatchAspect(SheetKind kind)
{
    return kind == SheetKind::A4 || kind == SheetKind::A3 ? std::numbers::sqrt2 : SheetAspect(kind);
}

// The corners where straight lines through the outline's sides meet.  The
// polygon approximation keeps points of the outline itself, and on a narrow
// card seen steeply its tolerance (a fiftieth of the outline) can cut a
// rounded corner by more than the edge fit's band; lines fitted to the middle
// of each side's stretch of the outline are not pulled by the corners.  Two
// rounds: the second takes the sides as the first found them.
std::optional<std::array<TDPoint, 4>> OutlineCorners(const std::vector<cv::Point>& hull, std::array<TDPoint, 4> q)
{
    // The outline as points a pixel apart.
    std::vector<TDPoint> dense;
    for (std::size_t i = 0; i < hull.size(); ++i) {
        const TDPoint a{hull[i].x + 0.5, hull[i].y + 0.5};
        const cv::Point& nb = hull[(i + 1) % hull.size()];
        const TDPoint b{nb.x + 0.5, nb.y + 0.5};
        const int steps = std::max(1, static_cast<int>(std::ceil(Distance(a, b))));
        for (int k = 0; k < steps; ++k)
            dense.push_back({a.x + (b.x - a.x) * k / steps, a.y + (b.y - a.y) * k / steps});
    }
    for (int round = 0; round < 2; ++round) {
        // A side's points lie within the approximation's tolerance of it
        // (a fiftieth of the outline), not across the shape.
        double perimeter = 0;
        for (std::size_t i = 0; i < 4; ++i)
            perimeter += Distance(q[i], q[(i + 1) % 4]);
        const double reach = std::max(3.0, 0.03 * perimeter);
        std::array<std::vector<cv::Point2f>, 4> sides;
        for (const TDPoint& p : dense) {
            int best = -1;
            double bestDistance = 0;
            for (std::size_t i = 0; i < 4; ++i) {
                const TDPoint a = q[i], b = q[(i + 1) % 4];
                const double len2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
                if (!(len2 > 0))
                    return std::nullopt;
                const double t = ((p.x - a.x) * (b.x - a.x) + (p.y - a.y) * (b.y - a.y)) / len2;
                if (t < 0.2 || t > 0.8)
                    continue;
                const double d = std::abs((p.x - a.x) * (b.y - a.y) - (p.y - a.y) * (b.x - a.x)) / std::sqrt(len2);
                if (d <= reach && (best < 0 || d < bestDistance)) {
                    best = static_cast<int>(i);
                    bestDistance = d;
                }
            }
            if (best >= 0)
                sides[static_cast<std::size_t>(best)].emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        }
        std::array<cv::Vec4f, 4> lines;
        for (std::size_t i = 0; i < 4; ++i) {
            if (sides[i].size() < 4)
                return std::nullopt;
            cv::fitLine(sides[i], lines[i], cv::DIST_HUBER, 0, 0.01, 0.01);
        }
        std::array<TDPoint, 4> next;
        for (std::size_t i = 0; i < 4; ++i) {
            const cv::Vec4f& u = lines[(i + 3) % 4];
            const cv::Vec4f& v = lines[i];
            const double den = static_cast<double>(u[0]) * v[1] - static_cast<double>(u[1]) * v[0];
            if (std::abs(den) < 1e-6)
                return std::nullopt;
            const double dx = static_cast<double>(v[2]) - u[2], dy = static_cast<double>(v[3]) - u[3];
            const double t = (dx * v[1] - dy * v[0]) / den;
            next[i] = {u[2] + t * u[0], u[3] + t * u[1]};
            if (!std::isfinite(next[i].x) || !std::isfinite(next[i].y))
                return std::nullopt;
        }
        q = next;
    }
    return q;
}

} // namespace

std::vector<SheetCandidate> DetectSheets(const cv::Mat& grey)
{
    std::vector<SheetCandidate> out;
    if (grey.empty() || grey.type() != CV_8UC1 || grey.cols < 32 || grey.rows < 32)
        return out;
    cv::Mat blurred;
    cv::GaussianBlur(grey, blurred, cv::Size(5, 5), 0);
    // Outlines from two sources: the edges, and the light and dark regions.
    std::vector<std::vector<cv::Point>> contours;
    {
        cv::Mat edges;
        cv::Canny(blurred, edges, 20, 60);
        cv::dilate(edges, edges, cv::Mat());
        std::vector<std::vector<cv::Point>> found;
        cv::findContours(edges, found, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
        contours.insert(contours.end(), found.begin(), found.end());
        cv::Mat binary;
        cv::threshold(blurred, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
        for (int pass = 0; pass < 2; ++pass) {
            found.clear();
            cv::findContours(binary, found, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
            contours.insert(contours.end(), found.begin(), found.end());
            cv::bitwise_not(binary, binary);
        }
    }
    const double photoArea = static_cast<double>(grey.cols) * grey.rows;
    std::vector<std::array<TDPoint, 4>> quads;
    for (const auto& contour : contours) {
        std::vector<cv::Point> hull, poly;
        cv::convexHull(contour, hull);
        const double area = cv::contourArea(hull);
        if (area < std::max(400.0, 0.002 * photoArea) || area > 0.98 * photoArea)
            continue;
        cv::approxPolyDP(hull, poly, 0.02 * cv::arcLength(hull, true), true);
        if (poly.size() != 4 || !cv::isContourConvex(poly))
            continue;
        std::array<TDPoint, 4> q;
        for (std::size_t i = 0; i < 4; ++i)
            q[i] = {poly[i].x + 0.5, poly[i].y + 0.5};
        double shortest = 1e300;
        for (std::size_t i = 0; i < 4; ++i)
            shortest = std::min(shortest, Distance(q[i], q[(i + 1) % 4]));
        if (shortest < 16)
            continue;
        // A card's rounded corners and the outline's own cut corners stay out of the fit.
        auto exact = RefineQuad(grey, q, 4.5, 0.12);
        if (!exact)
            if (const auto outline = OutlineCorners(hull, q))
                exact = RefineQuad(grey, *outline, 4.5, 0.12);
        if (!exact)
            continue;
        std::array<TDPoint, 4> r = *exact;
        if (!NormaliseCorners(r))
            continue;
        const bool seen = std::any_of(quads.begin(), quads.end(), [&](const std::array<TDPoint, 4>& o) {
            for (std::size_t i = 0; i < 4; ++i)
                if (Distance(o[i], r[i]) > 3)
                    return false;
            return true;
        });
        if (!seen)
            quads.push_back(r);
    }
    for (const auto& q : quads) {
        const auto aspect = SteadyAspect(q, grey.size());
        if (!aspect)
            continue;
        const double tolerance = aspect->fromRightAngle ? kToleranceRightAngle : kToleranceTypicalFocal;
        double area = 0;
        for (std::size_t i = 0; i < 4; ++i)
            area += q[i].x * q[(i + 1) % 4].y - q[(i + 1) % 4].x * q[i].y;
        const double share = std::min(1.0, std::abs(area) / 2 / photoArea);
        for (const SheetKind kind : {SheetKind::A4, SheetKind::A3, SheetKind::Letter, SheetKind::Card}) {
            const double target = MatchAspect(kind);
            const double miss = std::log(aspect->aspect / target) / tolerance;
            double fit = std::exp(-0.5 * miss * miss);
            if (!aspect->fromRightAngle) {
                // Without the focal length any proportion a plausible camera
                // allows is possible, the typical camera's more so.
                if (target < aspect->low * 0.97 || target > aspect->high * 1.03)
                    continue;
                fit = 0.5 * std::max(fit, 0.1);
            } else if (std::abs(miss) > 3) {
                continue;
            }
            out.push_back({kind, q, *aspect, fit * (0.5 + 0.5 * std::sqrt(share))});
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const SheetCandidate& a, const SheetCandidate& b) { return a.score > b.score; });
    return out;
}

} // namespace kvx
