#include "image/effects.h"

#include "base/error_trail.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

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

struct FreeMemory {
    void operator()(void* p) const { std::free(p); }
};

// A continuous RGB matrix (rows follow each other without padding, as OpenCV
// lays out its own) over memory of our own: a photo's worth is written once
// from end to end, and in huge pages the kernel maps it with a few faults
// instead of tens of thousands.  The memory goes to the photo at the end
// without a copy.
class Block {
public:
    Block(int rows, int cols)
    {
        const std::size_t bytes = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) * 3;
        constexpr std::size_t kHuge = 2u << 20;
        void* p = nullptr;
        if (bytes >= 4 * kHuge) {
            const std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
            p = std::aligned_alloc(kHuge, rounded);
#ifdef MADV_HUGEPAGE
            if (p)
                madvise(p, rounded, MADV_HUGEPAGE);
#endif
        } else {
            p = std::malloc(std::max<std::size_t>(bytes, 1));
        }
        if (!p)
            throw std::bad_alloc();
        memory_.reset(p);
        mat = cv::Mat(rows, cols, CV_8UC3, p);
    }

    // OpenCV writes into a matrix of the right size and type where it is;
    // should it ever have put the result elsewhere, it is brought back.
    void Settle()
    {
        if (mat.data == memory_.get())
            return;
        const cv::Mat elsewhere = mat;
        mat = cv::Mat(elsewhere.rows, elsewhere.cols, CV_8UC3, memory_.get());
        elsewhere.copyTo(mat);
    }

    // The pixels as a photo's image, which frees them when it goes.
    QImage Release() &&
    {
        void* p = memory_.release();
        return QImage(static_cast<uchar*>(p), mat.cols, mat.rows, static_cast<qsizetype>(mat.step),
                      QImage::Format_RGB888, [](void* q) { std::free(q); }, p);
    }

    cv::Mat mat;

private:
    std::unique_ptr<void, FreeMemory> memory_;
};

} // namespace

NoiseFilter NoiseStrength(int level)
{
    // Every 85 levels the window grows by two pixels; in between the result
    // moves from the smaller window's (no filter below 3 x 3) to the larger's
    // in proportion, so 85, 170 and 255 are the plain 3 x 3, 5 x 5 and 7 x 7
    // medians that those stored values always meant.
    const int l = std::clamp(level, 1, 255);
    const int band = (l + 84) / 85;  // 1..3
    return NoiseFilter{2 * band + 1, static_cast<double>(l - 85 * (band - 1)) / 85.0};
}

// Runs filter over from in bands of rows and puts the rows it makes into to
// (which may be from itself).  filter(in, out) gets a band with up to reach
// rows of the photo around it (fewer at the photo's top and bottom, where the
// band then starts at the photo's own edge) and fills out to the same size.
// A neighbourhood filter whose reach is no more than reach thus makes every
// row of the band exactly as over the whole photo, while the memory it needs
// is a few bands, not another photo.  Rows of from still needed above the
// next band are kept before they are overwritten.
template <class Filter>
void InBands(const cv::Mat& from, cv::Mat& to, int reach, Filter&& filter)
{
    const int rows = from.rows;
    const int band = std::max(64, 16 * reach);
    cv::Mat carry, in, out;
    for (int y0 = 0; y0 < rows; y0 += band) {
        const int y1 = std::min(rows, y0 + band);
        const int top = y0 == 0 ? 0 : carry.rows;
        const int below = std::min(reach, rows - y1);
        in.create(top + (y1 - y0) + below, from.cols, from.type());
        if (top)
            carry.copyTo(in.rowRange(0, top));
        from.rowRange(y0, y1 + below).copyTo(in.rowRange(top, in.rows));
        filter(in, out);
        const int keep = std::min(reach, y1);
        if (keep)
            in.rowRange(top + (y1 - y0) - keep, top + (y1 - y0)).copyTo(carry);
        out.rowRange(top, top + (y1 - y0)).copyTo(to.rowRange(y0, y1));
    }
}

// The Gaussian of radius 1 reaches 3 rows for 8-bit pixels; one more costs
// nothing and leaves room.
constexpr int kBlurReach = 4;

Photo Effect(const Photo& source, const ImageEffects& e, const Progress& progress)
{
    int process = 1;
    return GuardWith([&] { return "Effect  [process = " + std::to_string(process) + "]"; }, [&]() -> Photo {
        Report(progress, 0);
        if (source.isNull())
            return Photo();
        // The bar moves on as each operation that runs is done, in the share
        // of the operations that run.
        const int steps = (e.Rotate == 1 || e.Rotate == 2) + (e.Noise > 0) + (e.Sharp > 0) + (e.Chroma != 0) +
                          (e.RGBLevel != 0) + (e.RevRed || e.RevGreen || e.RevBlue);
        int done = 0;
        auto Step = [&] { Report(progress, steps ? 100 * ++done / steps : 100); };
        // The pixels are worked on in one block, in place, the steps that
        // look at neighbours a band of rows at a time: the photo's memory is
        // the source and this block.  The source is read, never written.
        const cv::Mat in = View(source.Image());
        const bool turned = e.Rotate == 1 || e.Rotate == 2;
        Block m(turned ? in.cols : in.rows, turned ? in.rows : in.cols);
        // Noise removal from one matrix into the block (NoiseStrength).
        auto denoise = [&](const cv::Mat& from) {
            const NoiseFilter f = NoiseStrength(e.Noise);
            InBands(from, m.mat, f.aperture / 2, [&](const cv::Mat& band, cv::Mat& out) {
                cv::medianBlur(band, out, f.aperture);
                if (f.weight < 1.0) {
                    cv::Mat narrower;
                    if (f.aperture > 3)
                        cv::medianBlur(band, narrower, f.aperture - 2);
                    cv::addWeighted(out, f.weight, f.aperture > 3 ? narrower : band, 1.0 - f.weight, 0.0, out);
                }
            });
        };

        // 2. Rotation by a quarter turn: +90 turns the photo counter-clockwise
        //    (the mathematical sense), -90 clockwise.  Pixels are moved, not resampled.
        process = 2;
        bool noiseDone = false;
        if (turned) {
            cv::rotate(in, m.mat, e.Rotate == 1 ? cv::ROTATE_90_COUNTERCLOCKWISE : cv::ROTATE_90_CLOCKWISE);
            m.Settle();
            Step();
        } else if (e.Noise > 0) {
            // Unturned, the median filter reads the source itself.
            process = 3;
            denoise(in);
            noiseDone = true;
            Step();
        } else {
            in.copyTo(m.mat);
            m.Settle();
        }
        // 3. Noise removal: a median filter of a strength that grows with
        //    every step of the level (NoiseStrength).
        process = 3;
        if (e.Noise > 0 && !noiseDone) {
            denoise(m.mat);
            Step();
        }
        // 4. Sharpening: an unsharp mask of radius 1 whose amount is Sharp / 50
        //    (0.02 to 2): out = in + amount x (in - blurred).
        process = 4;
        if (e.Sharp > 0) {
            const double amount = std::clamp(e.Sharp, 0, 100) / 50.0;
            cv::Mat blurred;
            InBands(m.mat, m.mat, kBlurReach, [&](const cv::Mat& band, cv::Mat& out) {
                cv::GaussianBlur(band, blurred, cv::Size(0, 0), 1.0);
                cv::addWeighted(band, 1.0 + amount, blurred, -amount, 0.0, out);
            });
            Step();
        }
        // 5. Saturation: each colour moves away from its grey (luma) by Chroma
        //    percent: -100 leaves grey, +100 doubles the colourfulness, +1000
        //    multiplies it by 11; results are clamped to 0..255.
        process = 5;
        if (e.Chroma != 0) {
            const double k = 1.0 + std::clamp(e.Chroma, -100, 1000) / 100.0;
            // Pixel by pixel: a band at a time, in place, keeps the grey small.
            cv::Mat grey, grey3;
            for (int y0 = 0; y0 < m.mat.rows; y0 += 256) {
                cv::Mat band = m.mat.rowRange(y0, std::min(m.mat.rows, y0 + 256));
                cv::cvtColor(band, grey, cv::COLOR_RGB2GRAY);
                cv::cvtColor(grey, grey3, cv::COLOR_GRAY2RGB);
                cv::addWeighted(band, k, grey3, 1.0 - k, 0.0, band);
            }
            Step();
        }
        // 6. Brightness: RGBLevel added to red, green and blue, clamped.
        process = 6;
        if (e.RGBLevel != 0) {
            const int level = std::clamp(e.RGBLevel, -255, 255);
            cv::add(m.mat, cv::Scalar(level, level, level), m.mat);
            m.Settle();
            Step();
        }
        // 7. Inversion of the chosen channels: c becomes 255 - c.
        process = 7;
        if (e.RevRed || e.RevGreen || e.RevBlue) {
            cv::bitwise_xor(m.mat, cv::Scalar(e.RevRed ? 255 : 0, e.RevGreen ? 255 : 0, e.RevBlue ? 255 : 0), m.mat);
            m.Settle();
            Step();
        }
        Report(progress, 0);
        return Photo(std::move(m).Release());
    });
}
} // namespace kvx
