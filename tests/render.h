#pragma once

// Photos of flat shapes rendered with exact truth: each cell of a rendering
// four times finer than the photo takes the exact share of its square that
// every polygon covers; the camera's blur acts on that, the sensor averages
// it down to pixels, adds noise and the JPEG compression follows.  Photo coordinates: pixel (i, j)
// covers [i, i + 1] x [j, j + 1].

#include "measure/geometry.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kvx::test {

// Area of polygon poly inside the unit pixel square at (i, j).
inline double PixelCoverage(const std::vector<TDPoint>& poly, int i, int j)
{
    std::vector<TDPoint> in = poly, out;
    auto clip = [&](auto inside, auto cross) {
        out.clear();
        for (std::size_t k = 0; k < in.size(); ++k) {
            const TDPoint a = in[k], b = in[(k + 1) % in.size()];
            const bool ia = inside(a), ib = inside(b);
            if (ia)
                out.push_back(a);
            if (ia != ib)
                out.push_back(cross(a, b));
        }
        in.swap(out);
    };
    auto onX = [](double x) {
        return [x](TDPoint a, TDPoint b) { return TDPoint{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
    };
    auto onY = [](double y) {
        return [y](TDPoint a, TDPoint b) { return TDPoint{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
    };
    const double x0 = i, x1 = i + 1, y0 = j, y1 = j + 1;
    clip([&](TDPoint p) { return p.x >= x0; }, onX(x0));
    clip([&](TDPoint p) { return p.x <= x1; }, onX(x1));
    clip([&](TDPoint p) { return p.y >= y0; }, onY(y0));
    clip([&](TDPoint p) { return p.y <= y1; }, onY(y1));
    double area = 0;
    for (std::size_t k = 0; k < in.size(); ++k) {
        const TDPoint a = in[k], b = in[(k + 1) % in.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return std::abs(area) / 2;
}

// Adds delta times each cell's covered share of the convex polygon poly to
// image (CV_64F), whose cells are 1 / scale photo pixels wide.  Shapes painted
// this way nest exactly: a white square, a black one inside it (black minus
// white), white cells inside that (white minus black).
inline void AddPolygon(cv::Mat& image, std::vector<TDPoint> poly, double delta, int scale = 1)
{
    for (TDPoint& p : poly)
        p = {p.x * scale, p.y * scale};
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300, turn = 0;
    for (std::size_t k = 0; k < poly.size(); ++k) {
        const TDPoint& p = poly[k];
        const TDPoint& q = poly[(k + 1) % poly.size()];
        turn += p.x * q.y - q.x * p.y;
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    // Each side as a half-plane, inside positive, for the cells wholly in or out.
    struct Side {
        double nx, ny, c;
    };
    std::vector<Side> sides;
    for (std::size_t k = 0; k < poly.size(); ++k) {
        const TDPoint& p = poly[k];
        const TDPoint& q = poly[(k + 1) % poly.size()];
        const double len = std::hypot(q.x - p.x, q.y - p.y);
        if (len == 0)
            continue;
        const double sgn = turn > 0 ? 1 : -1;
        const double nx = -(q.y - p.y) / len * sgn, ny = (q.x - p.x) / len * sgn;
        sides.push_back({nx, ny, -(nx * p.x + ny * p.y)});
    }
    const int i0 = std::max(0, static_cast<int>(std::floor(minX))), i1 = std::min(image.cols - 1, static_cast<int>(std::floor(maxX)));
    const int j0 = std::max(0, static_cast<int>(std::floor(minY))), j1 = std::min(image.rows - 1, static_cast<int>(std::floor(maxY)));
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) {
            double nearest = 1e300;
            for (const Side& s : sides)
                nearest = std::min(nearest, s.nx * (i + 0.5) + s.ny * (j + 0.5) + s.c);
            if (nearest < -0.71)
                continue;
            image.at<double>(j, i) += delta * (nearest > 0.71 ? 1.0 : PixelCoverage(poly, i, j));
        }
}

// A rendering of the photo at scale cells a pixel, for the camera's blur to
// act on a nearly continuous picture before the sensor averages it down.
constexpr int kRenderScale = 4;

struct Camera8 {
    double blur = 0;      // Gaussian sigma, pixels
    double noise = 0;     // grey levels, one standard deviation
    int jpegQuality = 0;  // 0: no compression
    unsigned seed = 1;
};

// The 8-bit photo the camera makes of the exact rendering (at kRenderScale
// cells a pixel): blurred, averaged over each pixel, noisy and compressed.
inline cv::Mat Photograph(const cv::Mat& exact, const Camera8& cam)
{
    cv::Mat img;
    exact.convertTo(img, CV_32F);  // a grey level's ten-millionth is far below what is measured
    if (cam.blur > 0)
        cv::GaussianBlur(img, img, cv::Size(0, 0), cam.blur * kRenderScale, cam.blur * kRenderScale, cv::BORDER_REPLICATE);
    cv::resize(img, img, cv::Size(exact.cols / kRenderScale, exact.rows / kRenderScale), 0, 0, cv::INTER_AREA);
    if (cam.noise > 0) {
        cv::Mat noise(img.size(), CV_32F);
        cv::RNG rng(cam.seed);
        rng.fill(noise, cv::RNG::NORMAL, 0, cam.noise);
        img += noise;
    }
    cv::Mat grey;
    img.convertTo(grey, CV_8U);  // rounds and saturates
    if (cam.jpegQuality > 0) {
        std::vector<uchar> bytes;
        cv::imencode(".jpg", grey, bytes, {cv::IMWRITE_JPEG_QUALITY, cam.jpegQuality});
        grey = cv::imdecode(bytes, cv::IMREAD_GRAYSCALE);
    }
    return grey;
}

} // namespace kvx::test
