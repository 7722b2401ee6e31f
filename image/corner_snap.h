#pragma once

// A corner of the photo near a click, to sub-pixel precision: the reference
// rectangle is only as good as its four corners.

#include "measure/geometry.h"

#include <QImage>

#include <array>
#include <optional>

namespace kvx {

// A snapped corner with the two edges that meet there, each as the stretch of
// the photo it was fitted to (photo coordinates), for the window to draw while
// the pointer snaps.  Without edges (fromEdges false) the corner came from the
// corner detector alone: the photo shows a clear corner but not two clean
// straight edges long enough to fit.
struct CornerSnapResult {
    TDPoint corner;
    bool fromEdges = false;
    std::array<std::array<TDPoint, 2>, 2> edges{};  // each edge: from the corner outward
};

// The strongest corner feature within reach photo pixels of near, made exact
// by fitting the two edges that meet there and crossing them, in photo
// coordinates (pixel i spans i to i + 1).  Nothing where the photo shows no
// clear corner there.
std::optional<CornerSnapResult> SnapCorner(const QImage& photo, TDPoint near, double reach);

// The corner point alone of SnapCorner.
std::optional<TDPoint> SnapToCorner(const QImage& photo, TDPoint near, double reach);

} // namespace kvx
