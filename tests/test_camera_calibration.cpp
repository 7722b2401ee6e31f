// A camera's lens from chessboard photos rendered through a known lens
// (tests/board_photos.h), and the lengths on a wall photographed
// through that lens, corrected with the profile the calibration gives.

#include "image/camera_calibration.h"

#include "board_photos.h"
#include "lens_scene.h"
#include "scene.h"

#include <QImage>
#include <gtest/gtest.h>
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace kvx {
namespace {

constexpr int kW = 1280, kH = 960;
constexpr double kFocal = 1000;
const Chessboard kBoard{9, 6, 25.0};

BrownConrady Truth(double k1, double k2, double p1, double p2)
{
    return test::BoardCamera{}.Lens(k1, k2, p1, p2);
}

std::vector<QImage> BoardPhotos(const BrownConrady& b)
{
    return test::BoardPhotos(b, test::BoardCamera{}, kBoard);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Lengths on a wall taken through the lens, each point mapped through the
// correction and measured with the homography the reference's four corners
// give (an ideal camera keeps straight lines straight, so that is exact).
double MedianLengthError(const BrownConrady& truth, const LensModel& correction)
{
    const test::Camera cam{25, 8, 6000, kFocal, truth.cx + 0.5, truth.cy + 0.5};
    const test::LensTruth lens = test::LensTruth::Brown(truth);
    auto seen = [&](double X, double Y) -> std::optional<cv::Point2d> {
        const TDPoint q = cam.Project(X, Y);
        if (std::fabs(q.x - kW / 2.0) > 0.75 * kW || std::fabs(q.y - kH / 2.0) > 0.75 * kH)
            return std::nullopt;
        const TDPoint p = lens.ToPhoto(q);
        if (p.x < 10 || p.y < 10 || p.x > kW - 10 || p.y > kH - 10)
            return std::nullopt;
        const std::optional<TDPoint> ideal = ToIdeal(correction, p);
        if (!ideal)
            return std::nullopt;
        return cv::Point2d(ideal->x, ideal->y);
    };
    std::vector<cv::Point2d> corners, wall{{-500, 400}, {500, 400}, {500, -400}, {-500, -400}};
    for (const cv::Point2d& w : wall)
        corners.push_back(*seen(w.x, w.y));
    const cv::Matx33d h = cv::getPerspectiveTransform(std::vector<cv::Point2f>(corners.begin(), corners.end()),
                                                      std::vector<cv::Point2f>(wall.begin(), wall.end()));
    auto onWall = [&](cv::Point2d p) {
        const cv::Vec3d w = h * cv::Vec3d(p.x, p.y, 1);
        return cv::Point2d(w[0] / w[2], w[1] / w[2]);
    };
    std::vector<double> errors;
    for (double X = -12000; X <= 12000; X += 500)
        for (double Y = -9000; Y <= 9000; Y += 500)
            for (const cv::Point2d d : {cv::Point2d(1500, 0), cv::Point2d(0, 1200)}) {
                const auto a = seen(X, Y), b = seen(X + d.x, Y + d.y);
                if (!a || !b)
                    continue;
                const double real = std::hypot(d.x, d.y);
                errors.push_back(std::fabs(cv::norm(onWall(*a) - onWall(*b)) - real) / real);
            }
    EXPECT_GT(errors.size(), 50u);
    return Median(errors);
}

struct CalibrationCase {
    const char* what;
    BrownConrady truth;
};

class ChessboardCalibration : public ::testing::TestWithParam<CalibrationCase> {};

TEST_P(ChessboardCalibration, ProfileCorrectsLengths)
{
    const BrownConrady truth = GetParam().truth;
    std::vector<QImage> photos = BoardPhotos(truth);
    // A photo without the board is told, and does not spoil the others.
    photos.emplace_back(kW, kH, QImage::Format_Grayscale8);
    photos.back().fill(128);
    const CameraId camera{"Kalvex", "Test Camera", 4.5, 0, 0};
    const CameraCalibration c = CalibrateCamera(photos, kBoard, camera);
    ASSERT_TRUE(c) << static_cast<int>(c.fault);
    ASSERT_EQ(c.found.size(), photos.size());
    ASSERT_EQ(c.corners.size(), photos.size());
    for (std::size_t i = 0; i + 1 < photos.size(); ++i) {
        EXPECT_TRUE(c.found[i]) << "view " << i;
        EXPECT_EQ(c.corners[i].size(), 9u * 6u) << "view " << i;
    }
    EXPECT_FALSE(c.found.back());
    EXPECT_TRUE(c.corners.back().empty());
    EXPECT_LT(c.rms, 1.0);
    EXPECT_EQ(c.profile.camera, (CameraId{"Kalvex", "Test Camera", 4.5, kW, kH}));
    EXPECT_EQ(c.profile.rms, c.rms);
    ASSERT_EQ(c.profile.lens.kind, LensKind::BrownConrady);
    const BrownConrady& got = c.profile.lens.bc;
    EXPECT_NEAR(got.fx, truth.fx, 0.02 * truth.fx);
    EXPECT_NEAR(got.cx, truth.cx, 10);
    EXPECT_NEAR(got.cy, truth.cy, 10);
    // How well the boards fixed k1 is kept for the "±": a spread the size of
    // the corners' error, far below k1 itself, and not nothing.
    RecordProperty("kUncertainty", std::to_string(c.profile.kUncertainty));
    EXPECT_GT(c.profile.kUncertainty, 0.0);
    EXPECT_LT(c.profile.kUncertainty, 0.1 * std::fabs(truth.k1));

    const double corrected = MedianLengthError(truth, c.profile.lens);
    const double uncorrected = MedianLengthError(truth, LensModel{});
    RecordProperty("rms", std::to_string(c.rms));
    RecordProperty("corrected", std::to_string(corrected));
    RecordProperty("uncorrected", std::to_string(uncorrected));
    EXPECT_LT(corrected, 0.001) << "uncorrected " << uncorrected << ", rms " << c.rms;
    EXPECT_GT(uncorrected, 10 * corrected) << "corrected " << corrected;
    EXPECT_GT(uncorrected, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Lenses, ChessboardCalibration,
                         ::testing::Values(CalibrationCase{"barrel", Truth(-0.3, 0.1, 0.0005, -0.0003)},
                                           CalibrationCase{"pincushion", Truth(0.2, 0.0, -0.0004, 0.0002)}),
                         [](const ::testing::TestParamInfo<CalibrationCase>& param) {
                             return std::string(param.param.what);
                         });

TEST(ChessboardCalibration, RefusesWhatCannotCalibrate)
{
    QImage blank(320, 240, QImage::Format_Grayscale8);
    blank.fill(200);
    QImage other(240, 320, QImage::Format_Grayscale8);
    other.fill(200);
    const CameraId camera{"Make", "Model", 4.5, 0, 0};
    struct Case {
        const char* what;
        std::vector<QImage> photos;
        Chessboard board;
        CalibrationFault fault;
    } const cases[] = {
        {"no photo", {}, kBoard, CalibrationFault::NoPhotos},
        {"a photo without a picture", {blank, QImage()}, kBoard, CalibrationFault::NoPhotos},
        {"photos of two sizes", {blank, other}, kBoard, CalibrationFault::SizesDiffer},
        {"a board of two corners across", {blank}, Chessboard{2, 6, 25}, CalibrationFault::BadBoard},
        {"a board of squares of no size", {blank}, Chessboard{9, 6, 0}, CalibrationFault::BadBoard},
        {"no board on any photo", {blank, blank, blank}, kBoard, CalibrationFault::TooFewBoards},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CameraCalibration result = CalibrateCamera(c.photos, c.board, camera);
        EXPECT_EQ(result.fault, c.fault);
        EXPECT_EQ(result.profile.lens.kind, LensKind::None);
    }
    // Two boards found are too few, three enough.
    const std::vector<QImage> views = BoardPhotos(Truth(-0.1, 0, 0, 0));
    EXPECT_EQ(CalibrateCamera({views[0], views[1], blank.scaled(kW, kH)}, kBoard, camera).fault,
              CalibrationFault::TooFewBoards);
    EXPECT_TRUE(CalibrateCamera({views[0], views[1], views[5]}, kBoard, camera));
}

} // namespace
} // namespace kvx
