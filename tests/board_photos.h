#pragma once

// Photos of a printed chessboard taken through a known lens, for the camera
// calibration's tests: OpenCV's own undistortion gives each pixel's ray, the
// board is drawn with its edges smoothed over the pixel's footprint, blurred
// and noisy.  The size scales the camera as a whole (photo, focal length,
// principal point), so every size frames the boards alike.

#include "image/camera_calibration.h"
#include "measure/lens.h"

#include <QImage>
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace kvx::test {

// The camera the boards are taken with: 1280 x 960 at a focal length of 1000
// pixels, times scale.
struct BoardCamera {
    double scale = 1.0;
    int Width() const { return static_cast<int>(std::lround(1280 * scale)); }
    int Height() const { return static_cast<int>(std::lround(960 * scale)); }
    double Focal() const { return 1000 * scale; }
    // The lens: the principal point a little off the middle, as in real cameras.
    BrownConrady Lens(double k1, double k2, double p1, double p2) const
    {
        return BrownConrady{Focal(), Focal() * 1.001, Width() / 2.0 - 0.5 + 6 * scale, Height() / 2.0 - 0.5 - 4 * scale,
                            k1, k2, p1, p2, 0.0};
    }
};

inline cv::Matx33d BoardRotation(double aboutX, double aboutY, double aboutZ)
{
    const double d = std::numbers::pi / 180;
    cv::Matx33d r;
    cv::Rodrigues(cv::Vec3d(aboutX * d, aboutY * d, aboutZ * d), r);
    return r;
}

// The photo of the board at pose (r, t) (board millimetres to camera
// millimetres) through the lens b: each pixel's ray from OpenCV's undistortion,
// met with the board's plane, and the board's pattern there with its edges
// smoothed over the pixel's footprint.
// A wobble (mm) warps the printed pattern in waves three squares long, as a
// printer that feeds the paper unevenly does: no flat board shows it.
inline QImage RenderBoard(const BrownConrady& b, int w, int h, const Chessboard& board, const cv::Matx33d& r,
                          const cv::Vec3d& t, std::mt19937& noise, double wobble = 0)
{
    std::vector<cv::Point2f> pixels;
    pixels.reserve(static_cast<std::size_t>(w) * h);
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u)
            pixels.emplace_back(static_cast<float>(u), static_cast<float>(v));
    const cv::Matx33d k(b.fx, 0, b.cx, 0, b.fy, b.cy, 0, 0, 1);
    const std::vector<double> dist{b.k1, b.k2, b.p1, b.p2, b.k3};
    std::vector<cv::Point2f> rays;
    cv::undistortPoints(pixels, rays, k, dist, cv::noArray(), cv::noArray(),
                        cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 1e-12));
    // Board point (bx, by, 0) seen along ray (x, y, 1): the plane's homography inverted.
    const cv::Matx33d hom(r(0, 0), r(0, 1), t[0], r(1, 0), r(1, 1), t[1], r(2, 0), r(2, 1), t[2]);
    const cv::Matx33d back = hom.inv();
    std::vector<cv::Point2d> onBoard(rays.size());
    for (std::size_t i = 0; i < rays.size(); ++i) {
        const cv::Vec3d p = back * cv::Vec3d(rays[i].x, rays[i].y, 1);
        onBoard[i] = {p[0] / p[2], p[1] / p[2]};
    }
    const double sq = board.squareMm;
    const double across = board.columns + 1, down = board.rows + 1;  // squares
    cv::Mat grey(h, w, CV_32F);
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            const std::size_t i = static_cast<std::size_t>(v) * w + u;
            const double wave = 2 * std::numbers::pi / (3 * board.squareMm);
            const auto warped = [&](cv::Point2d at) {
                return cv::Point2d(at.x + wobble * std::sin(wave * at.y), at.y + wobble * std::sin(wave * at.x));
            };
            const cv::Point2d p = warped(onBoard[i]);
            const cv::Point2d q = warped(onBoard[u + 1 < w ? i + 1 : i - 1]);
            const double footprint = std::max(1e-6, std::hypot(p.x - q.x, p.y - q.y));
            double value = 0.55;  // the table the board lies on
            if (p.x > -2 * sq && p.x < across * sq && p.y > -2 * sq && p.y < down * sq)
                value = 0.95;  // the paper's margin
            if (p.x > -sq && p.x < across * sq - sq && p.y > -sq && p.y < down * sq - sq) {
                auto ramp = [&](double x) {
                    return std::clamp(std::sin(std::numbers::pi * x / sq) * sq / (std::numbers::pi * footprint), -1.0, 1.0);
                };
                value = 0.5 + 0.45 * ramp(p.x) * ramp(p.y);
            }
            grey.at<float>(v, u) = static_cast<float>(value * 255);
        }
    cv::GaussianBlur(grey, grey, cv::Size(0, 0), 0.7);
    std::normal_distribution<float> n(0.0f, 2.0f);
    QImage out(w, h, QImage::Format_Grayscale8);
    for (int v = 0; v < h; ++v) {
        uchar* line = out.scanLine(v);
        for (int u = 0; u < w; ++u)
            line[u] = static_cast<uchar>(std::clamp(grey.at<float>(v, u) + n(noise), 0.0f, 255.0f) + 0.5f);
    }
    return out;
}

// Ten views of a 9 x 6 board of 25 mm squares in varied tilts, the board
// reaching the photo's corners.
inline std::vector<QImage> BoardPhotos(const BrownConrady& b, const BoardCamera& camera = {},
                                       const Chessboard& board = Chessboard{9, 6, 25.0}, double wobble = 0)
{
    struct View {
        double ax, ay, az;  // degrees
        double x, y, z;     // mm: where the board's first inner corner lies before the turn
    } const views[] = {
        {0, 0, 0, -100, -62, 450},    {25, 0, 3, -100, -62, 480},  {-25, 0, -3, -100, -62, 480},
        {0, 25, 2, -100, -62, 470},   {0, -25, -2, -100, -62, 470}, {15, 15, 5, -180, -120, 500},
        {-15, 15, -5, -20, -120, 500}, {15, -15, 4, -180, -10, 500}, {-15, -15, -4, -20, -10, 500},
        {10, 20, 30, -90, -100, 520},
    };
    std::mt19937 noise(4242);
    std::vector<QImage> out;
    // A board of other squares is set as far off, so it frames alike.
    const double s = board.squareMm / 25.0;
    for (const View& v : views)
        out.push_back(RenderBoard(b, camera.Width(), camera.Height(), board, BoardRotation(v.ax, v.ay, v.az),
                                  cv::Vec3d(v.x * s, v.y * s, v.z * s), noise, wobble));
    return out;
}

} // namespace kvx::test
