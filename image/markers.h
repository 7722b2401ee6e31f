#pragma once

// Printed square markers found in a photo: their outer black square is a
// reference rectangle of known size that needs no clicking.  Photo
// coordinates: x right, y down, pixel (i, j) covers [i, i + 1] x [j, j + 1].

#include "measure/geometry.h"

#include <opencv2/core.hpp>

#include <array>
#include <vector>

namespace kvx {

enum class MarkerKind {
    Aruco4x4,       // ArUco dictionary 4x4, ids 0..49
    AprilTag36h11,  // AprilTag family 36h11
};

struct FoundMarker {
    MarkerKind kind = MarkerKind::Aruco4x4;
    int id = 0;
    // The outer corners of the marker's black square, top-left, top-right,
    // bottom-right, bottom-left on screen, as a reference rectangle takes them.
    std::array<TDPoint, 4> corners{};
    // Whether the corners come from the square's four fitted edges; otherwise
    // they are the detector's own (the edges could not be fitted cleanly).
    bool refined = false;
};

// Every ArUco 4x4 and AprilTag 36h11 marker in the 8-bit grey photo.
std::vector<FoundMarker> DetectMarkers(const cv::Mat& grey);

} // namespace kvx
