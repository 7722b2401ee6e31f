#pragma once

// A photo's EXIF orientation (1..8) as a mapping of pixels: the photo as the
// camera stored it (its sensor's rows) to the photo as it is shown, upright.
// Points are image pixels (origin top-left, x right, y down) of the frame
// named; a pixel's index maps to the index of the same pixel, so a point kept
// on one pixel of the stored photo lands on that pixel's content upright.

#include "measure/geometry.h"

#include <cstdint>

namespace kvx {

struct PixelSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// Orientations outside 1..8 (not told, nonsense) leave the photo as stored.
inline constexpr int NormalOrientation(int orientation)
{
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

// Orientations 5..8 turn the photo a quarter: width and height trade places.
inline constexpr bool SwapsSides(int orientation)
{
    return NormalOrientation(orientation) >= 5;
}

inline constexpr PixelSize UprightSize(int orientation, PixelSize stored)
{
    return SwapsSides(orientation) ? PixelSize{stored.height, stored.width} : stored;
}

// The orientation that undoes orientation (turning back what 6 and 8 turn).
inline constexpr int InverseOrientation(int orientation)
{
    const int o = NormalOrientation(orientation);
    return o == 6 ? 8 : o == 8 ? 6 : o;
}

// Where the stored photo's point p (in a photo of size stored) lies upright.
inline TDPoint UprightPoint(int orientation, PixelSize stored, TDPoint p)
{
    const double w1 = static_cast<double>(stored.width - 1);
    const double h1 = static_cast<double>(stored.height - 1);
    switch (NormalOrientation(orientation)) {
    case 2: return {w1 - p.x, p.y};
    case 3: return {w1 - p.x, h1 - p.y};
    case 4: return {p.x, h1 - p.y};
    case 5: return {p.y, p.x};
    case 6: return {h1 - p.y, p.x};
    case 7: return {h1 - p.y, w1 - p.x};
    case 8: return {p.y, w1 - p.x};
    default: return p;
    }
}

} // namespace kvx
