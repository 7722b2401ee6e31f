#include "image/markers.h"

#include "image/edge_fit.h"
#include "measure/calibration.h"

#include <opencv2/aruco.hpp>

extern "C" {
#include <apriltag/apriltag.h>
#include <apriltag/tag36h11.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace kvx {

namespace {

// The marker's corners made exact from the outer edges of its black square.
// The band across each edge stays inside the border cell and the quiet zone
// around the marker, so the data cells never reach the fit; a cell across a
// side is the neighbouring sides' length over the cells, which perspective
// makes narrower on some sides than on others.
FoundMarker Refined(const cv::Mat& grey, MarkerKind kind, int id, std::array<TDPoint, 4> corners, double cellsAcross)
{
    FoundMarker m;
    m.kind = kind;
    m.id = id;
    std::array<double, 4> bands;
    for (std::size_t i = 0; i < 4; ++i) {
        const double before = Distance(corners[(i + 3) % 4], corners[i]);
        const double after = Distance(corners[(i + 1) % 4], corners[(i + 2) % 4]);
        bands[i] = std::clamp(0.75 * std::min(before, after) / cellsAcross, 1.5, 4.5);
    }
    if (const auto exact = RefineQuad(grey, corners, bands, 0.2)) {
        corners = *exact;
        m.refined = true;
    }
    NormaliseCorners(corners);
    m.corners = corners;
    return m;
}

void FindAruco(const cv::Mat& grey, std::vector<FoundMarker>& found)
{
    const cv::Ptr<cv::aruco::Dictionary> dictionary = cv::aruco::getPredefinedDictionary(cv::aruco::DICT_4X4_50);
    const cv::Ptr<cv::aruco::DetectorParameters> parameters = cv::aruco::DetectorParameters::create();
    std::vector<std::vector<cv::Point2f>> corners;
    std::vector<int> ids;
    cv::aruco::detectMarkers(grey, dictionary, corners, ids, parameters);
    for (std::size_t k = 0; k < ids.size() && k < corners.size(); ++k) {
        if (corners[k].size() != 4)
            continue;
        std::array<TDPoint, 4> q;
        // OpenCV puts pixel centres on whole numbers.
        for (std::size_t i = 0; i < 4; ++i)
            q[i] = {corners[k][i].x + 0.5, corners[k][i].y + 0.5};
        found.push_back(Refined(grey, MarkerKind::Aruco4x4, ids[k], q, 6));
    }
}

void FindAprilTags(const cv::Mat& grey, std::vector<FoundMarker>& found)
{
    const std::unique_ptr<apriltag_family_t, void (*)(apriltag_family_t*)> family(tag36h11_create(), tag36h11_destroy);
    const std::unique_ptr<apriltag_detector_t, void (*)(apriltag_detector_t*)> detector(apriltag_detector_create(),
                                                                                         apriltag_detector_destroy);
    if (!family || !detector)
        return;
    apriltag_detector_add_family(detector.get(), family.get());
    detector->nthreads = 1;
    detector->quad_decimate = 1.0f;  // small markers matter more than speed
    cv::Mat contiguous = grey.isContinuous() ? grey : grey.clone();
    image_u8_t image{contiguous.cols, contiguous.rows, contiguous.cols, contiguous.data};
    const std::unique_ptr<zarray_t, void (*)(zarray_t*)> detections(apriltag_detector_detect(detector.get(), &image),
                                                                     apriltag_detections_destroy);
    if (!detections)
        return;
    for (int k = 0; k < zarray_size(detections.get()); ++k) {
        apriltag_detection_t* det = nullptr;
        zarray_get(detections.get(), k, &det);
        if (!det || det->hamming > 1)
            continue;
        std::array<TDPoint, 4> q;
        for (std::size_t i = 0; i < 4; ++i)
            q[i] = {det->p[i][0] + 0.5, det->p[i][1] + 0.5};
        // The black square is 8 cells across: 6 of data and the border on each side.
        found.push_back(Refined(grey, MarkerKind::AprilTag36h11, det->id, q, 8));
    }
}

} // namespace

std::vector<FoundMarker> DetectMarkers(const cv::Mat& grey)
{
    std::vector<FoundMarker> found;
    if (grey.empty() || grey.type() != CV_8UC1 || grey.cols < 16 || grey.rows < 16)
        return found;
    FindAruco(grey, found);
    FindAprilTags(grey, found);
    return found;
}

} // namespace kvx
