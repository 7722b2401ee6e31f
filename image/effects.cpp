#include "image/effects.h"

#include "shell/error_trail.h"

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
cv::Mat View(QImage& image)
{
    return cv::Mat(image.height(), image.width(), CV_8UC3, image.bits(), static_cast<std::size_t>(image.bytesPerLine()));
}

QImage FromMat(const cv::Mat& m)
{
    QImage out(m.cols, m.rows, QImage::Format_RGB888);
    cv::Mat target = View(out);
    m.copyTo(target);
    return out;
}

} // namespace

Photo Effect(const Photo& source, const ImageEffects& e, const Progress& progress)
{
    int process = 1;
    return GuardWith([&] { return "Effect  [process = " + std::to_string(process) + "]"; }, [&]() -> Photo {
        Report(progress, 0);
        QImage work = source.Image().copy();
        Report(progress, 0);
        if (work.isNull())
            return Photo();

        // 2. Rotation by a quarter turn: +90 turns the photo counter-clockwise
        //    (the mathematical sense), -90 clockwise.  Pixels are moved, not resampled.
        process = 2;
        if (e.Rotate == 1 || e.Rotate == 2) {
            cv::Mat rotated;
            cv::rotate(View(work), rotated, e.Rotate == 1 ? cv::ROTATE_90_COUNTERCLOCKWISE : cv::ROTATE_90_CLOCKWISE);
            work = FromMat(rotated);
            Report(progress, 0);
        }
        // 3. Noise removal: a median filter whose window grows with the level,
        //    3 x 3 up to 85, 5 x 5 up to 170, 7 x 7 above.
        process = 3;
        if (e.Noise > 0) {
            const int window = e.Noise <= 85 ? 3 : (e.Noise <= 170 ? 5 : 7);
            cv::Mat view = View(work);
            cv::Mat out;
            cv::medianBlur(view, out, window);
            out.copyTo(view);
            Report(progress, 0);
        }
        // 4. Sharpening: an unsharp mask of radius 1 whose amount is Sharp / 50
        //    (0.02 to 2): out = in + amount x (in - blurred).
        process = 4;
        if (e.Sharp > 0) {
            cv::Mat view = View(work);
            cv::Mat blurred;
            cv::GaussianBlur(view, blurred, cv::Size(0, 0), 1.0);
            const double amount = std::clamp(e.Sharp, 0, 100) / 50.0;
            cv::addWeighted(view, 1.0 + amount, blurred, -amount, 0.0, view);
            Report(progress, 0);
        }
        // 5. Saturation: each colour moves away from its grey (luma) by Chroma
        //    percent: -100 leaves grey, +100 doubles the colourfulness, +1000
        //    multiplies it by 11; results are clamped to 0..255.
        process = 5;
        if (e.Chroma != 0) {
            cv::Mat view = View(work);
            cv::Mat grey;
            cv::cvtColor(view, grey, cv::COLOR_RGB2GRAY);
            cv::Mat grey3;
            cv::cvtColor(grey, grey3, cv::COLOR_GRAY2RGB);
            const double k = 1.0 + std::clamp(e.Chroma, -100, 1000) / 100.0;
            cv::addWeighted(view, k, grey3, 1.0 - k, 0.0, view);
            Report(progress, 0);
        }
        // 6. Brightness: RGBLevel added to red, green and blue, clamped.
        process = 6;
        if (e.RGBLevel != 0) {
            cv::Mat view = View(work);
            const int level = std::clamp(e.RGBLevel, -255, 255);
            cv::add(view, cv::Scalar(level, level, level), view);
            Report(progress, 0);
        }
        // 7. Inversion of the chosen channels: c becomes 255 - c.
        process = 7;
        if (e.RevRed || e.RevGreen || e.RevBlue) {
            cv::Mat view = View(work);
            const cv::Scalar mask(e.RevRed ? 255 : 0, e.RevGreen ? 255 : 0, e.RevBlue ? 255 : 0);
            cv::bitwise_xor(view, mask, view);
            Report(progress, 0);
        }
        Report(progress, 0);
        return Photo(std::move(work));
    });
}

} // namespace kvx
