#pragma once

// The figures shown over the photo without re-rendering it: a tool's rubber
// band and a zoom gesture.  The pointer tools make them and the display shows
// them, so they live below both.

#include "measure/geometry.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kvx {

// A rubber-band figure: lines in image pixels (the window cuts them to the view
// before they become display pixels, as they may start at a vanishing point
// far away).  It is drawn over the last rendered picture and taken away without
// re-rendering anything.
struct TraceFigure {
    std::vector<std::array<TDPoint, 2>> lines;
    std::int32_t colour = 0;  // 0x00BBGGRR
    friend bool operator==(const TraceFigure&, const TraceFigure&) = default;
};

// The rubber band of a tool and the figure of a zoom gesture are shown apart.
enum class FigureSlot { Trace = 0, Gesture = 1 };

} // namespace kvx
