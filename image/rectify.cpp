#include "image/rectify.h"

#include "image/colour.h"
#include "measure/calibration.h"
#include "measure/ideal_view.h"
#include "measure/numfmt.h"

#include <QPainter>
#include <QPolygonF>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace kvx {

double ReferenceMmPerPixel(const Document& doc)
{
    const TBaseBlock& b = doc.Plane.base;
    if (b.BaseSet != 1)
        return 0;
    const auto length = [](TDPoint a, TDPoint c) { return std::hypot(c.x - a.x, c.y - a.y); };
    const double w = (length(b.BaseRect[1], b.BaseRect[2]) + length(b.BaseRect[4], b.BaseRect[3])) / 2;
    const double h = (length(b.BaseRect[1], b.BaseRect[4]) + length(b.BaseRect[2], b.BaseRect[3])) / 2;
    if (!(w > 0) || !(h > 0))
        return 0;
    return (doc.W() / w + doc.H() / h) / 2;
}

Rectified Rectify(const QImage& photo, const Document& placed, double mmPerPixel, const TAppSettings* overlay)
{
    // The plane is the ideal camera's: through the lens when one is in force.
    const Measured measured(placed);
    const Document& doc = *measured;
    Rectified out;
    const TPlaneState& plane = doc.Plane;
    if (plane.base.BaseSet != 1 || photo.isNull()) {
        out.error = "no reference rectangle is set";
        return out;
    }
    if (!(mmPerPixel > 0) || !std::isfinite(mmPerPixel)) {
        out.error = "the millimetres per pixel must be a positive number";
        return out;
    }
    // The reference's corners on the plane, as every measurement has them:
    // the four pairs fix the plane's projective map.
    std::vector<cv::Point2f> imageCorners, planeCorners;
    for (int k = 1; k <= 4; ++k) {
        const TDPoint p = plane.base.BaseRect[static_cast<std::size_t>(k)];
        const TDPoint g = GetDelta(doc, p);
        imageCorners.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        planeCorners.emplace_back(static_cast<float>(g.x), static_cast<float>(g.y));
    }
    // What is to be covered: the reference and every mark, with a margin.
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    auto cover = [&](TDPoint image) {
        const TDPoint g = GetDelta(doc, image);
        if (!std::isfinite(g.x) || !std::isfinite(g.y))
            return;
        x0 = std::min(x0, g.x);
        y0 = std::min(y0, g.y);
        x1 = std::max(x1, g.x);
        y1 = std::max(y1, g.y);
    };
    for (int k = 1; k <= 4; ++k)
        cover(plane.base.BaseRect[static_cast<std::size_t>(k)]);
    for (const TDistance& d : plane.Distances) {
        cover(d.start);
        cover(d.end);
    }
    for (const TSpace& s : plane.Spaces)
        for (const TDPoint& p : s.points)
            cover(p);
    const double margin = std::max(x1 - x0, y1 - y0) * 0.05;
    x0 -= margin;
    y0 -= margin;
    x1 += margin;
    y1 += margin;
    const double width = std::ceil((x1 - x0) / mmPerPixel), height = std::ceil((y1 - y0) / mmPerPixel);
    if (!(width >= 1 && height >= 1) || width * height > kRectifiedPixels) {
        out.error = "the straight-on image would be " + FormatNumber0(width) + " x " + FormatNumber0(height) +
                    " pixels, more than 100 megapixels: choose more millimetres per pixel";
        return out;
    }
    // From a pixel of the straight-on image to the plane, and on to the photo.
    const cv::Mat toImage = cv::getPerspectiveTransform(planeCorners, imageCorners);
    // The plane's y runs up, the image's rows down: the top row is the plane's highest.
    cv::Mat toPlane =
        (cv::Mat_<double>(3, 3) << mmPerPixel, 0, x0 + mmPerPixel / 2, 0, -mmPerPixel, y1 - mmPerPixel / 2, 0, 0, 1);
    // Pixel centres: photo pixel i covers i to i + 1.
    const cv::Mat toPixel = (cv::Mat_<double>(3, 3) << 1, 0, -0.5, 0, 1, -0.5, 0, 0, 1);
    const cv::Mat map = toPixel * toImage * toPlane;
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB888);
    const cv::Mat source(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                         static_cast<std::size_t>(rgb.bytesPerLine()));
    QImage result(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB888);
    if (result.isNull()) {
        out.error = "no memory for the straight-on image";
        return out;
    }
    cv::Mat target(result.height(), result.width(), CV_8UC3, result.bits(), static_cast<std::size_t>(result.bytesPerLine()));
    if (!CorrectsLens(placed)) {
        cv::warpPerspective(source, target, map, target.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                            cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    } else {
        // The plane's projection gives the ideal camera's point, the lens the
        // photo's: both in one look-up per pixel, so the photo is resampled
        // once.  In bands of rows, so the maps stay small for a large image.
        const cv::Mat toIdeal = toImage * toPlane;
        const cv::Matx33d h(toIdeal);
        constexpr int kBand = 256;
        for (int top = 0; top < target.rows; top += kBand) {
            const int rows = std::min(kBand, target.rows - top);
            cv::Mat mapX(rows, target.cols, CV_32FC1), mapY(rows, target.cols, CV_32FC1);
            for (int r = 0; r < rows; ++r) {
                auto* xs = mapX.ptr<float>(r);
                auto* ys = mapY.ptr<float>(r);
                for (int c = 0; c < target.cols; ++c) {
                    const cv::Vec3d q = h * cv::Vec3d(c, top + r, 1);
                    std::optional<TDPoint> p;
                    if (q[2] != 0)
                        p = IdealToShown(placed, {q[0] / q[2], q[1] / q[2]});
                    // A point no photo pixel shows stays blank.
                    xs[c] = p ? static_cast<float>(p->x - 0.5) : -1e6f;
                    ys[c] = p ? static_cast<float>(p->y - 0.5) : -1e6f;
                }
            }
            cv::Mat band = target.rowRange(top, top + rows);
            cv::remap(source, band, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
        }
    }
    if (overlay) {
        // Plane millimetres to the image's pixels (pixel u spans u to u + 1).
        auto at = [&](TDPoint image) {
            const TDPoint g = GetDelta(doc, image);
            return QPointF((g.x - x0) / mmPerPixel, (y1 - g.y) / mmPerPixel);
        };
        QPainter p(&result);
        p.setRenderHint(QPainter::Antialiasing);
        auto outline = [&](const std::vector<TDPoint>& points, std::int32_t colour, bool closed) {
            QPolygonF shape;
            for (const TDPoint& q : points)
                shape << at(q);
            p.setPen(QPen(ColorOf(colour), 2));
            if (closed)
                p.drawPolygon(shape);
            else
                p.drawPolyline(shape);
        };
        p.setBrush(Qt::NoBrush);
        outline({plane.base.BaseRect[1], plane.base.BaseRect[2], plane.base.BaseRect[3], plane.base.BaseRect[4]},
                overlay->ColorBase, true);
        for (const TDistance& d : plane.Distances)
            outline({d.start, d.end}, overlay->ColorDistance, false);
        for (const TSpace& sp : plane.Spaces)
            outline(sp.points, sp.kind == kSpaceSub ? overlay->ColorSpaceSub : overlay->ColorSpaceAdd, true);
    }
    const int dotsPerMetre = static_cast<int>(std::lround(1000.0 / mmPerPixel));
    result.setDotsPerMeterX(dotsPerMetre);
    result.setDotsPerMeterY(dotsPerMetre);
    out.image = result;
    // The world file: pixel size, no rotation, y up, the top-left pixel's centre.
    out.world = FormatGeneral(mmPerPixel) + "\n0\n0\n" + FormatGeneral(-mmPerPixel) + "\n" +
                FormatGeneral(x0 + mmPerPixel / 2) + "\n" + FormatGeneral(y1 - mmPerPixel / 2) + "\n";
    return out;
}

} // namespace kvx
