// Corners measured from the edges that meet there, on rendered photos of a
// wall seen in perspective whose true corners are known exactly.

#include "image/corner_snap.h"
#include "image/edge_fit.h"
#include "tests/render.h"
#include "tests/scene.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace kvx {
namespace {

using test::AddPolygon;
using test::Camera;
using test::Camera8;
using test::kRenderScale;
using test::Photograph;

constexpr int kWidth = 640, kHeight = 480;

// A camera 0.9 m from the wall looking at the middle of the photo.
Camera WallCamera(double yaw, double pitch)
{
    Camera cam;
    cam.yawDeg = yaw;
    cam.pitchDeg = pitch;
    cam.distance = 900;
    cam.focal = 700;
    cam.cx = kWidth / 2.0;
    cam.cy = kHeight / 2.0;
    return cam;
}

// The wall's points (mm) of a w x h rectangle turned by turnDeg about its
// centre and sheared by shearDeg (a parallelogram), in cyclic order.
std::array<TDPoint, 4> PlaneShape(double w, double h, double turnDeg, double shearDeg)
{
    const double k = std::tan(shearDeg * std::numbers::pi / 180);
    const double c = std::cos(turnDeg * std::numbers::pi / 180), s = std::sin(turnDeg * std::numbers::pi / 180);
    std::array<TDPoint, 4> q{TDPoint{-w / 2, h / 2}, {w / 2, h / 2}, {w / 2, -h / 2}, {-w / 2, -h / 2}};
    for (TDPoint& p : q) {
        const TDPoint sheared{p.x + k * p.y, p.y};
        p = {c * sheared.x - s * sheared.y, s * sheared.x + c * sheared.y};
    }
    return q;
}

std::vector<TDPoint> Project(const Camera& cam, const std::array<TDPoint, 4>& plane)
{
    std::vector<TDPoint> image;
    for (const TDPoint& p : plane)
        image.push_back(cam.Project(p.x, p.y));
    return image;
}

double InteriorAngleDeg(const std::vector<TDPoint>& q, std::size_t i)
{
    const TDPoint a = q[(i + 3) % 4], b = q[i], c = q[(i + 1) % 4];
    const double u = std::atan2(a.y - b.y, a.x - b.x), v = std::atan2(c.y - b.y, c.x - b.x);
    double d = std::abs(u - v) * 180 / std::numbers::pi;
    return d > 180 ? 360 - d : d;
}

// The plane millimetres of image points from the four corners found, by the
// homography they give with the shape's true plane corners.
cv::Matx33d ImageToPlane(const std::vector<TDPoint>& found, const std::array<TDPoint, 4>& plane)
{
    std::vector<cv::Point2f> src, dst;
    for (std::size_t i = 0; i < 4; ++i) {
        src.emplace_back(found[i].x, found[i].y);
        dst.emplace_back(plane[i].x, plane[i].y);
    }
    return cv::Matx33d(cv::getPerspectiveTransform(src, dst));
}

TDPoint Apply(const cv::Matx33d& H, TDPoint p)
{
    const cv::Vec3d v = H * cv::Vec3d(p.x, p.y, 1);
    return {v[0] / v[2], v[1] / v[2]};
}

QImage ToQImage(const cv::Mat& grey)
{
    QImage image(grey.cols, grey.rows, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.rows; ++y)
        std::copy_n(grey.ptr<uchar>(y), grey.cols, image.scanLine(y));
    return image;
}

// OpenCV's sub-pixel corner search from the pixel nearest the corner, as the
// snapping did before it fitted edges (same window and stopping rule).
TDPoint CornerSubPix(const cv::Mat& grey, TDPoint near)
{
    std::vector<cv::Point2f> corners{cv::Point2f(static_cast<float>(std::round(near.x - 0.5)), static_cast<float>(std::round(near.y - 0.5)))};
    cv::cornerSubPix(grey, corners, cv::Size(4, 4), cv::Size(-1, -1),
                     cv::TermCriteria(cv::TermCriteria::EPS + cv::TermCriteria::COUNT, 40, 0.001));
    return {corners[0].x + 0.5, corners[0].y + 0.5};
}

double Rms(const std::vector<double>& errors)
{
    double s = 0;
    for (double e : errors)
        s += e * e;
    return errors.empty() ? 0 : std::sqrt(s / static_cast<double>(errors.size()));
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// --- one straight edge --------------------------------------------------------

// A half-plane's edge at a known sub-pixel place and slope is found where it
// is, whatever its blur, and reports the blur it has.
TEST(EdgeFit, FindsAStraightEdgeWhereItIs)
{
    for (const double slopeDeg : {0.0, 3.0, 27.0, 45.0, 80.0})
        for (const double blur : {0.0, 0.8, 1.5}) {
            cv::Mat exact(64 * kRenderScale, 64 * kRenderScale, CV_64F, cv::Scalar(200));
            const double a = slopeDeg * std::numbers::pi / 180;
            const TDPoint p{31.37, 32.81}, dir{std::cos(a), std::sin(a)};
            const TDPoint n{-dir.y, dir.x};
            AddPolygon(exact, {{p.x - 200 * dir.x, p.y - 200 * dir.y}, {p.x + 200 * dir.x, p.y + 200 * dir.y},
                               {p.x + 200 * dir.x + 200 * n.x, p.y + 200 * dir.y + 200 * n.y},
                               {p.x - 200 * dir.x + 200 * n.x, p.y - 200 * dir.y + 200 * n.y}},
                       -150, kRenderScale);
            const cv::Mat grey = Photograph(exact, Camera8{blur, 0, 0, 1});
            const auto e = FitEdge(grey, {p.x - 15 * dir.x + 1 * n.x, p.y - 15 * dir.y + 1 * n.y},
                                   {p.x + 15 * dir.x + 1 * n.x, p.y + 15 * dir.y + 1 * n.y}, 4.5);
            ASSERT_TRUE(e) << slopeDeg << " " << blur;
            const double off = (e->point.x - p.x) * n.x + (e->point.y - p.y) * n.y;
            EXPECT_NEAR(off, 0, 0.01) << slopeDeg << " " << blur;
            EXPECT_NEAR(std::abs(e->dir.x * dir.x + e->dir.y * dir.y), 1, 1e-6) << slopeDeg << " " << blur;
            EXPECT_NEAR(e->contrast, 150, 3) << slopeDeg << " " << blur;
        }
    // A flat patch has no edge.
    const cv::Mat flat(64, 64, CV_8U, cv::Scalar(120));
    EXPECT_FALSE(FitEdge(flat, {10, 30}, {50, 30}, 4.5));
}

// --- corners of a shape on a wall in perspective -------------------------------------

struct Pose {
    double yaw, pitch, turn, shear;
};

std::string PoseName(const Pose& p)
{
    auto n = [](double v) { return std::to_string(static_cast<int>(std::lround(v < 0 ? -v : v))) + (v < 0 ? "m" : ""); };
    return "yaw" + n(p.yaw) + "_pitch" + n(p.pitch) + "_turn" + n(p.turn) + "_shear" + n(p.shear);
}

struct CornerCase {
    Pose pose;
    bool darkOnLight;
};

class CornerOnWall : public ::testing::TestWithParam<CornerCase> {};

// Every corner of a rectangle (or parallelogram) on the wall, clicked a few
// pixels off, snaps to within a tenth of a pixel RMS of its true place under
// blur, noise and JPEG, while OpenCV's corner search alone does worse on the
// same photos; and lengths measured on the wall from the snapped corners agree
// with the wall's to a thousandth.
TEST_P(CornerOnWall, SnapsFromTheEdgesExactly)
{
    const CornerCase& c = GetParam();
    const Camera cam = WallCamera(c.pose.yaw, c.pose.pitch);
    const auto plane = PlaneShape(300, 200, c.pose.turn, c.pose.shear);
    const auto truth = Project(cam, plane);
    const double wall = c.darkOnLight ? 205 : 45, shape = c.darkOnLight ? 40 : 215;
    cv::Mat exact(kHeight * kRenderScale, kWidth * kRenderScale, CV_64F, cv::Scalar(wall));
    AddPolygon(exact, truth, shape - wall, kRenderScale);

    // Pairs of wall points (mm) whose distance is measured.
    const std::vector<std::pair<TDPoint, TDPoint>> spans{{{-140, -90}, {140, 90}}, {{-140, 90}, {140, -90}}, {{-100, 0}, {100, 0}},
                                                         {{0, -80}, {0, 80}}};
    std::vector<double> newErr, oldErr, lengthErr;
    std::string table;
    for (const double blur : {0.8, 1.5})
        for (const int quality : {90, 75}) {
            const cv::Mat grey = Photograph(exact, Camera8{blur, 2.0, quality, 7});
            const QImage photo = ToQImage(grey);
            std::vector<double> renderNew, renderOld;
            std::vector<TDPoint> found;
            for (std::size_t i = 0; i < 4; ++i) {
                const TDPoint click{truth[i].x + 2.0, truth[i].y - 1.5};
                const auto snapped = SnapCorner(photo, click, 6);
                ASSERT_TRUE(snapped) << "corner " << i << " blur " << blur << " q" << quality;
                EXPECT_TRUE(snapped->fromEdges) << "corner " << i << " blur " << blur << " q" << quality;
                found.push_back(snapped->corner);
                renderNew.push_back(Distance(snapped->corner, truth[i]));
                renderOld.push_back(Distance(CornerSubPix(grey, truth[i]), truth[i]));
                // The edges drawn while snapping start at the corner and run along the shape's sides.
                for (const auto& edge : snapped->edges) {
                    EXPECT_EQ(edge[0], snapped->corner);
                    EXPECT_GT(Distance(edge[0], edge[1]), 8);
                }
            }
            newErr.insert(newErr.end(), renderNew.begin(), renderNew.end());
            oldErr.insert(oldErr.end(), renderOld.begin(), renderOld.end());
            EXPECT_LE(Rms(renderNew), 0.1) << "blur " << blur << " q" << quality;
            EXPECT_LT(Rms(renderNew), Rms(renderOld)) << "blur " << blur << " q" << quality;
            const cv::Matx33d H = ImageToPlane(found, plane);
            for (const auto& [a, b] : spans) {
                const double measured = Distance(Apply(H, cam.Project(a.x, a.y)), Apply(H, cam.Project(b.x, b.y)));
                lengthErr.push_back(std::abs(measured / Distance(a, b) - 1));
            }
            char line[160];
            std::snprintf(line, sizeof line, "  blur %.1f q%d: edges %.3f px, cornerSubPix %.3f px\n", blur, quality, Rms(renderNew),
                          Rms(renderOld));
            table += line;
        }
    double minAngle = 180, maxAngle = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        minAngle = std::min(minAngle, InteriorAngleDeg(truth, i));
        maxAngle = std::max(maxAngle, InteriorAngleDeg(truth, i));
    }
    std::printf("%s %s, angles %.0f..%.0f deg: edges RMS %.3f px, cornerSubPix RMS %.3f px, median length error %.4f %%\n%s",
                PoseName(c.pose).c_str(), c.darkOnLight ? "dark on light" : "light on dark", minAngle, maxAngle, Rms(newErr),
                Rms(oldErr), 100 * Median(lengthErr), table.c_str());
    EXPECT_LE(Median(lengthErr), 0.001);
}

const Pose kPoses[] = {
    {0, 0, 0, 0},  {0, 0, 17, 0},  {30, 0, 0, 0},   {45, 10, 8, 0}, {45, -20, 30, 0}, {60, 0, 0, 0},
    {0, 60, 0, 0}, {35, 35, 12, 0}, {0, 0, 0, 40}, {20, 30, 0, 30}, {60, 15, 5, 0},   {-50, -25, 40, 20},
};

std::vector<CornerCase> CornerCases()
{
    std::vector<CornerCase> cases;
    for (const Pose& p : kPoses)
        for (const bool dark : {true, false})
            cases.push_back({p, dark});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Poses, CornerOnWall, ::testing::ValuesIn(CornerCases()),
                         [](const ::testing::TestParamInfo<CornerCase>& param) {
                             return PoseName(param.param.pose) + (param.param.darkOnLight ? "_dark" : "_light");
                         });

} // namespace
} // namespace kvx
