#pragma once

// Constants and small helpers shared by the files of the pointer tools.

#include "measure/geometry.h"

#include <cstdint>
#include <charconv>
#include <system_error>
#include <string>

namespace kvx::interaction_detail {

constexpr double kGestureRadius = 30.0;      // display pixels the pointer must move for a gesture
constexpr double kPolygonCloseRadius = 10.0;  // display pixels around the first vertex
constexpr double kEndlessLine = 5000.0;       // display pixels beyond each point (trace mode 5)
constexpr std::int32_t kRed = 255;
// The straight edges' cyan (blue, green, red from the high byte), as the overlay draws them.
constexpr std::int32_t kStraightEdgeColour = 0xFFFF00;
// Display pixels between press and release that make a click a drag of a kept edge's point.
constexpr double kEdgeDragPixels = 4.0;

inline int Prev(int k) { return k == 1 ? 4 : k - 1; }
inline int Next(int k) { return k == 4 ? 1 : k + 1; }

// Two decimals rounded as printf rounds them, with a point in every locale.
inline std::string Decimals2(double v)
{
    char buf[400];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    return ec == std::errc() ? std::string(buf, end) : std::string("0.00");
}

inline std::string FormatPointer(TDPoint P)
{
    return "X = " + Decimals2(P.x) + ",  Y =" + Decimals2(P.y) + "  (pixel)";
}

} // namespace kvx::interaction_detail
