#include "image/corner_snap.h"

#include "image/edge_fit.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>

namespace kvx {

namespace {

// Below this smaller eigenvalue of the gradients (OpenCV's normalised scale)
// the place is an edge or flat, not a corner: a faint texture must not pull
// the click away.
constexpr double kCornerStrength = 0.002;
constexpr int kRefineHalf = 4;  // the sub-pixel search looks 9 x 9 pixels around
constexpr double kEdgeLength = 40;  // how far along each edge the fit may go

} // namespace

std::optional<CornerSnapResult> SnapCorner(const QImage& photo, TDPoint near, double reach)
{
    if (photo.isNull() || !std::isfinite(near.x) || !std::isfinite(near.y) || !(reach > 0) || reach > 1000)
        return std::nullopt;
    const int r = static_cast<int>(std::ceil(reach + kEdgeLength)) + kRefineHalf + 3;
    const int cx = static_cast<int>(std::floor(near.x)), cy = static_cast<int>(std::floor(near.y));
    const QRect area = QRect(cx - r, cy - r, 2 * r + 1, 2 * r + 1).intersected(photo.rect());
    if (area.width() < 2 * kRefineHalf + 3 || area.height() < 2 * kRefineHalf + 3)
        return std::nullopt;
    const QImage rgb = photo.copy(area).convertToFormat(QImage::Format_RGB888);
    const cv::Mat colour(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                         static_cast<std::size_t>(rgb.bytesPerLine()));
    cv::Mat grey;
    cv::cvtColor(colour, grey, cv::COLOR_RGB2GRAY);
    cv::Mat strength;
    cv::cornerMinEigenVal(grey, strength, 5, 3);
    // The strongest place within reach of the click (pixel centres at i + 0.5).
    const double lx = near.x - area.x() - 0.5, ly = near.y - area.y() - 0.5;
    double best = kCornerStrength;
    std::optional<cv::Point2f> peak;
    for (int y = 0; y < strength.rows; ++y)
        for (int x = 0; x < strength.cols; ++x) {
            if (std::hypot(x - lx, y - ly) > reach)
                continue;
            const double s = strength.at<float>(y, x);
            if (s > best) {
                best = s;
                peak = cv::Point2f(static_cast<float>(x), static_cast<float>(y));
            }
        }
    if (!peak)
        return std::nullopt;
    std::vector<cv::Point2f> corners{*peak};
    cv::cornerSubPix(grey, corners, cv::Size(kRefineHalf, kRefineHalf), cv::Size(-1, -1),
                     cv::TermCriteria(cv::TermCriteria::EPS + cv::TermCriteria::COUNT, 40, 0.001));
    // The detector's corner sits inside an L-shaped corner's angle by up to a
    // pixel; the crossing of the two edges does not.
    const TDPoint rough{static_cast<double>(corners[0].x) + 0.5, static_cast<double>(corners[0].y) + 0.5};
    CornerSnapResult result{{area.x() + rough.x, area.y() + rough.y}, false, {}};
    if (const auto fitted = CornerFromEdges(grey, rough, kEdgeLength)) {
        const TDPoint offset{static_cast<double>(area.x()), static_cast<double>(area.y())};
        auto shift = [&](TDPoint p) { return TDPoint{p.x + offset.x, p.y + offset.y}; };
        result.corner = shift(fitted->corner);
        result.fromEdges = true;
        for (std::size_t e = 0; e < 2; ++e)
            result.edges[e] = {shift(fitted->edges[e].start), shift(fitted->edges[e].end)};
    }
    const TDPoint snapped = result.corner;
    if (!std::isfinite(snapped.x) || !std::isfinite(snapped.y) || std::hypot(snapped.x - near.x, snapped.y - near.y) > reach + 1)
        return std::nullopt;
    return result;
}

std::optional<TDPoint> SnapToCorner(const QImage& photo, TDPoint near, double reach)
{
    if (const auto snapped = SnapCorner(photo, near, reach))
        return snapped->corner;
    return std::nullopt;
}

} // namespace kvx
