#pragma once

// Paper sheets and ID-1 cards found in a photo: a quadrilateral whose true
// shape, undone from the perspective, has the proportions of A4 or A3
// (210 x 297, 297 x 420 mm), Letter (215.9 x 279.4 mm) or an ID-1 card
// (85.60 x 53.98 mm).  Photo coordinates: x right, y down, pixel (i, j) covers
// [i, i + 1] x [j, j + 1].

#include "measure/geometry.h"

#include <opencv2/core.hpp>

#include <array>
#include <optional>
#include <vector>

namespace kvx {

enum class SheetKind { A4, A3, Letter, Card };

// Long side over short side of each kind's true shape.
double SheetAspect(SheetKind kind);

// The true long-over-short proportion of a rectangle seen as the
// quadrilateral corners (cyclic order) in a photo of size image, with the
// camera's axis through the photo's centre.  With two vanishing points the
// focal length follows from the rectangle's right angle; when one pair of
// sides is nearly parallel in the photo it cannot, and a typical focal
// length (0.8 of the photo's longer side) stands in.
struct PlaneAspect {
    double aspect = 1;
    double focal = 0;          // pixels
    bool fromRightAngle = false;  // the focal length came from the rectangle itself
    // The proportions focal lengths from half to twice the photo's longer
    // side would give: the range to accept without the right angle.
    double low = 1, high = 1;
};
std::optional<PlaneAspect> EstimateAspect(const std::array<TDPoint, 4>& corners, cv::Size image);

struct SheetCandidate {
    SheetKind kind = SheetKind::A4;
    // Where the straight edges meet (for a card, not its rounded contour),
    // top-left, top-right, bottom-right, bottom-left on screen.
    std::array<TDPoint, 4> corners{};
    PlaneAspect aspect;
    // 0..1: how well the proportion fits the kind, for the tolerance the
    // estimate has, weighed by the quadrilateral's share of the photo.
    double score = 0;
};

// The clear quadrilaterals of the 8-bit grey photo whose proportions could be
// one of the kinds, best first.  An A-series sheet is offered both as A4 and
// as A3 (the same proportions), A4 first.
std::vector<SheetCandidate> DetectSheets(const cv::Mat& grey);

} // namespace kvx
