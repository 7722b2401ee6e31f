#include "image/camera_calibration.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>

namespace kvx {

namespace {

cv::Mat Grey(const QImage& photo, QImage& keep)
{
    keep = photo.convertToFormat(QImage::Format_Grayscale8);
    return cv::Mat(keep.height(), keep.width(), CV_8UC1, const_cast<uchar*>(keep.constBits()),
                   static_cast<std::size_t>(keep.bytesPerLine()));
}

} // namespace

CameraCalibration CalibrateCamera(const std::vector<QImage>& photos, const Chessboard& board, const CameraId& camera,
                                  const std::function<bool(int searched)>& searched)
{
    CameraCalibration out;
    out.profile.camera = camera;
    out.found.assign(photos.size(), false);
    out.corners.assign(photos.size(), {});
    if (board.columns < 3 || board.rows < 3 || !(board.squareMm > 0) || !std::isfinite(board.squareMm)) {
        out.fault = CalibrationFault::BadBoard;
        return out;
    }
    if (photos.empty() || photos.front().isNull()) {
        out.fault = CalibrationFault::NoPhotos;
        return out;
    }
    const QSize size = photos.front().size();
    for (const QImage& p : photos) {
        if (p.isNull()) {
            out.fault = CalibrationFault::NoPhotos;
            return out;
        }
        if (p.size() != size) {
            out.fault = CalibrationFault::SizesDiffer;
            return out;
        }
    }
    out.profile.camera.width = size.width();
    out.profile.camera.height = size.height();

    const cv::Size pattern(board.columns, board.rows);
    std::vector<cv::Point3f> corners3d;
    for (int r = 0; r < board.rows; ++r)
        for (int c = 0; c < board.columns; ++c)
            corners3d.emplace_back(static_cast<float>(c * board.squareMm), static_cast<float>(r * board.squareMm), 0.0f);
    std::vector<std::vector<cv::Point3f>> objectPoints;
    std::vector<std::vector<cv::Point2f>> imagePoints;
    try {
        for (std::size_t i = 0; i < photos.size(); ++i) {
            QImage keep;
            const cv::Mat grey = Grey(photos[i], keep);
            std::vector<cv::Point2f> corners;
            const bool seen = cv::findChessboardCorners(grey, pattern, corners,
                                                        cv::CALIB_CB_ADAPTIVE_THRESH | cv::CALIB_CB_NORMALIZE_IMAGE);
            if (!seen) {
                if (searched && !searched(static_cast<int>(i) + 1)) {
                    out.fault = CalibrationFault::Cancelled;
                    return out;
                }
                continue;
            }
            // The corner detector works to about a pixel; the lens wants a tenth.
            cv::cornerSubPix(grey, corners, cv::Size(11, 11), cv::Size(-1, -1),
                             cv::TermCriteria(cv::TermCriteria::EPS + cv::TermCriteria::COUNT, 50, 0.001));
            out.found[i] = true;
            // OpenCV's pixel i is centred at i, ours spans i..i+1.
            for (const cv::Point2f& c : corners)
                out.corners[i].push_back(TDPoint{c.x + 0.5, c.y + 0.5});
            objectPoints.push_back(corners3d);
            imagePoints.push_back(std::move(corners));
            if (searched && !searched(static_cast<int>(i) + 1)) {
                out.fault = CalibrationFault::Cancelled;
                return out;
            }
        }
        if (imagePoints.size() < static_cast<std::size_t>(kMinCalibrationBoards)) {
            out.fault = CalibrationFault::TooFewBoards;
            return out;
        }
        cv::Mat k, dist, sdIntrinsics, sdExtrinsics, perView;
        std::vector<cv::Mat> rvecs, tvecs;
        const double rms = cv::calibrateCamera(objectPoints, imagePoints, cv::Size(size.width(), size.height()), k,
                                               dist, rvecs, tvecs, sdIntrinsics, sdExtrinsics, perView);
        if (k.rows != 3 || k.cols != 3 || dist.total() < 5) {
            out.fault = CalibrationFault::Failed;
            return out;
        }
        k.convertTo(k, CV_64F);
        dist.convertTo(dist, CV_64F);
        const double* d = dist.ptr<double>();
        const BrownConrady b{k.at<double>(0, 0), k.at<double>(1, 1), k.at<double>(0, 2), k.at<double>(1, 2),
                             d[0], d[1], d[2], d[3], d[4]};
        out.profile.lens = LensModel::Brown(b);
        out.rms = rms;
        out.profile.rms = rms;
        // fx, fy, cx, cy, then k1: how well the boards fix k1 goes into the
        // uncertainty of what is measured through the profile.
        if (sdIntrinsics.total() > 4) {
            sdIntrinsics.convertTo(sdIntrinsics, CV_64F);
            const double sdK1 = sdIntrinsics.ptr<double>()[4];
            if (std::isfinite(sdK1) && sdK1 >= 0)
                out.profile.kUncertainty = sdK1;
        }
        if (!std::isfinite(rms) || !IsSane(out.profile.lens)) {
            out.fault = CalibrationFault::Failed;
            out.profile.lens = LensModel{};
        }
    } catch (const cv::Exception&) {
        out.fault = CalibrationFault::Failed;
        out.profile.lens = LensModel{};
    }
    return out;
}

} // namespace kvx
