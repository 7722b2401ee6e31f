#include "image/effects.h"

#include "base/error_trail.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace kvx {

namespace {

void Report(const Progress& progress, int percent)
{
    if (progress)
        progress(percent);
}

// The photo's pixels as an OpenCV matrix (RGB, no copy).
cv::Mat View(const QImage& image)
{
    return cv::Mat(image.height(), image.width(), CV_8UC3, const_cast<uchar*>(image.constBits()),
                   static_cast<std::size_t>(image.bytesPerLine()));
}

// The matrix handed to a photo without copying its pixels: the photo keeps the
// matrix's buffer alive for as long as it needs it.
QImage Adopt(const cv::Mat& m)
{
    auto* keeper = new cv::Mat(m);
    return QImage(keeper->data, keeper->cols, keeper->rows, static_cast<qsizetype>(keeper->step),
                  QImage::Format_RGB888, [](void* p) { delete static_cast<cv::Mat*>(p); }, keeper);
}

} // namespace

Photo Effect(const Photo& source, const ImageEffects& e, const Progress& progress)
{
    int process = 1;
    return GuardWith([&] { return "Effect  [process = " + std::to_string(process) + "]"; }, [&]() -> Photo {
        Report(progress, 0);
        if (source.isNull())
            return Photo();
        // The pixels are worked on in one matrix, in place where the operation
        // allows; the source is read, never written.
        const cv::Mat in = View(source.Image());
        cv::Mat m;

        // 2. Rotation by a quarter turn: +90 turns the photo counter-clockwise
        //    (the mathematical sense), -90 clockwise.  Pixels are moved, not resampled.
        process = 2;
        if (e.Rotate == 1 || e.Rotate == 2) {
            cv::rotate(in, m, e.Rotate == 1 ? cv::ROTATE_90_COUNTERCLOCKWISE : cv::ROTATE_90_CLOCKWISE);
            Report(progress, 0);
        } else {
            m = in.clone();
        }
        // 3. Noise removal: a median filter whose window grows with the level,
        //    3 x 3 up to 85, 5 x 5 up to 170, 7 x 7 above.
        process = 3;
        if (e.Noise > 0) {
            cv::Mat out;
            cv::medianBlur(m, out, e.Noise <= 85 ? 3 : (e.Noise <= 170 ? 5 : 7));
            m = out;
            Report(progress, 0);
        }
        // 4. Sharpening: an unsharp mask of radius 1 whose amount is Sharp / 50
        //    (0.02 to 2): out = in + amount x (in - blurred).
        process = 4;
        if (e.Sharp > 0) {
            cv::Mat blurred;
            cv::GaussianBlur(m, blurred, cv::Size(0, 0), 1.0);
            const double amount = std::clamp(e.Sharp, 0, 100) / 50.0;
            cv::addWeighted(m, 1.0 + amount, blurred, -amount, 0.0, m);
            Report(progress, 0);
        }
        // 5. Saturation: each colour moves away from its grey (luma) by Chroma
        //    percent: -100 leaves grey, +100 doubles the colourfulness, +1000
        //    multiplies it by 11; results are clamped to 0..255.
        process = 5;
        if (e.Chroma != 0) {
            cv::Mat grey, grey3;
            cv::cvtColor(m, grey, cv::COLOR_RGB2GRAY);
            cv::cvtColor(grey, grey3, cv::COLOR_GRAY2RGB);
            const double k = 1.0 + std::clamp(e.Chroma, -100, 1000) / 100.0;
            cv::addWeighted(m, k, grey3, 1.0 - k, 0.0, m);
            Report(progress, 0);
        }
        // 6. Brightness: RGBLevel added to red, green and blue, clamped.
        process = 6;
        if (e.RGBLevel != 0) {
            const int level = std::clamp(e.RGBLevel, -255, 255);
            cv::add(m, cv::Scalar(level, level, level), m);
            Report(progress, 0);
        }
        // 7. Inversion of the chosen channels: c becomes 255 - c.
        process = 7;
        if (e.RevRed || e.RevGreen || e.RevBlue) {
            cv::bitwise_xor(m, cv::Scalar(e.RevRed ? 255 : 0, e.RevGreen ? 255 : 0, e.RevBlue ? 255 : 0), m);
            Report(progress, 0);
        }
        Report(progress, 0);
        return Photo(Adopt(m));
    });
}
} // namespace kvx
