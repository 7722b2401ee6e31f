#include "image/loupe.h"

#include <algorithm>

namespace kvx {

LoupeBox PlaceLoupe(int px, int py, int width, int height, int size, int gap)
{
    LoupeBox box{0, 0, size};
    const bool fitsRight = px + gap + size <= width;
    const bool fitsLeft = px - gap - size >= 0;
    const bool fitsBelow = py + gap + size <= height;
    const bool fitsAbove = py - gap - size >= 0;
    if (fitsRight || fitsLeft) {
        // Beside the pointer; its height slides along the edge it would leave.
        box.x = fitsRight ? px + gap : px - gap - size;
        box.y = std::clamp(fitsBelow ? py + gap : py - gap - size, 0, std::max(0, height - size));
        return box;
    }
    if (fitsBelow || fitsAbove) {
        box.y = fitsBelow ? py + gap : py - gap - size;
        box.x = std::clamp(px - size / 2, 0, std::max(0, width - size));
        return box;
    }
    // No room beside the pointer: the corner farthest from it.
    box.x = px < width / 2 ? std::max(0, width - size) : 0;
    box.y = py < height / 2 ? std::max(0, height - size) : 0;
    return box;
}

bool LoupeCovers(const LoupeBox& box, int px, int py)
{
    return px >= box.x && px < box.x + box.size && py >= box.y && py < box.y + box.size;
}

} // namespace kvx
