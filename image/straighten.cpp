#include "image/straighten.h"

#include "measure/ideal_view.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <optional>

namespace kvx {

QImage StraightenedImage(const QImage& shown, const Document& doc, const Progress& progress)
{
    if (shown.isNull() || !CorrectsLens(doc))
        return shown;
    const QImage rgb = shown.convertToFormat(QImage::Format_RGB888);
    QImage result(rgb.width(), rgb.height(), QImage::Format_RGB888);
    if (rgb.isNull() || result.isNull())
        return {};
    const cv::Mat source(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                         static_cast<std::size_t>(rgb.bytesPerLine()));
    cv::Mat target(result.height(), result.width(), CV_8UC3, result.bits(), static_cast<std::size_t>(result.bytesPerLine()));
    for (int top = 0; top < target.rows; top += kStraightenBand) {
        const int rows = std::min(kStraightenBand, target.rows - top);
        cv::Mat mapX(rows, target.cols, CV_32FC1), mapY(rows, target.cols, CV_32FC1);
        for (int r = 0; r < rows; ++r) {
            auto* xs = mapX.ptr<float>(r);
            auto* ys = mapY.ptr<float>(r);
            for (int c = 0; c < target.cols; ++c) {
                // Pixel c spans c..c + 1; OpenCV's pixel c is centred at c.
                const std::optional<TDPoint> p = IdealToShown(doc, {c + 0.5, top + r + 0.5});
                xs[c] = p ? static_cast<float>(p->x - 0.5) : -1e6f;
                ys[c] = p ? static_cast<float>(p->y - 0.5) : -1e6f;
            }
        }
        cv::Mat band = target.rowRange(top, top + rows);
        cv::remap(source, band, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
        if (progress)
            progress(static_cast<int>(100LL * (top + rows) / target.rows));
    }
    return result;
}

} // namespace kvx
