#pragma once

// A corner of the photo near a click, to sub-pixel precision: the reference
// rectangle is only as good as its four corners.

#include "measure/geometry.h"

#include <QImage>

#include <optional>

namespace kvx {

// The strongest corner feature within reach photo pixels of near, refined by
// OpenCV's sub-pixel corner search, in photo coordinates (pixel i spans i to
// i + 1).  Nothing where the photo shows no clear corner there.
std::optional<TDPoint> SnapToCorner(const QImage& photo, TDPoint near, double reach);

} // namespace kvx
