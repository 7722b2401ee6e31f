#pragma once

// Between the photo's pixels and the display's: what the tools, the overlay and
// the display agree on about the picture on screen.  The measuring core knows
// nothing of a screen, so this sits just above it.

#include "measure/geometry.h"

#include <cstdint>

namespace kvx {

// What the display reports about the picture it shows: the integer image point at
// its top-left corner, display pixels per image pixel, and where the picture
// begins inside the control.
struct ViewState {
    std::int32_t StartX = 0;
    std::int32_t StartY = 0;
    double DispScale = 1.0;
    std::int32_t DispOffsetX = 0;
    std::int32_t DispOffsetY = 0;
};

// Image point to display pixel, rounded half away from zero; throws
// std::range_error when the pixel would not fit an int32.
TPoint WtoS(const ViewState& view, TDPoint p);
// Display pixel to image point, kept to 4 decimals like every image point.
TDPoint StoW(const ViewState& view, TPoint s);

} // namespace kvx
