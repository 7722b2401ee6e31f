#pragma once

// Where the loupe goes: beside the pointer, never over the point being
// placed, and inside the view.

#include "measure/geometry.h"

namespace kvx {

struct LoupeBox {
    int x = 0;  // top-left corner in view pixels
    int y = 0;
    int size = 0;
};

// The loupe of size pixels for the pointer at (px, py) in a view of width x
// height: below and to the right of the pointer, gap pixels away; to the left
// near the right edge, above near the bottom.  A view too small to hold it
// beside the pointer gets it in the corner farthest from the pointer.
LoupeBox PlaceLoupe(int px, int py, int width, int height, int size, int gap);

// Whether the box covers the point.
bool LoupeCovers(const LoupeBox& box, int px, int py);

} // namespace kvx
