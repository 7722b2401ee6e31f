#pragma once

// Finding the mark under the pointer.  Radii are 20 display pixels, so they are
// given the display's scale (display pixels per image pixel); points are image points.

#include "measure/model.h"

#include <cstddef>
#include <optional>

namespace kvx {

inline constexpr double kPickRadius = 20.0;  // display pixels

// The corner of the reference rectangle whose edge continuation is nearest:
// +k for the continuation of edge prev(k)->k, -k for next(k)->k.
int SearchBasePointNo(const TPlaneState& plane, TDPoint P);

// The nearest distance of the current group within the radius, or 0.
std::int32_t SearchDistanceNo(const Document& doc, TDPoint P, double dispScale);

// The smallest area of the current group that contains P, or 0; with vertices,
// a vertex within the radius wins (and is returned in vertex, else -1).
std::int32_t SearchSpacePointNo(const Document& doc, TDPoint P, bool withVertices, double dispScale,
                                std::int32_t& vertex);

// The nearest check distance within the radius, or 0.
std::int32_t SearchCheckNo(const Document& doc, TDPoint P, double dispScale);

// The mark the pointer is on, of any group: the nearest distance within the
// radius, else the smallest area whose outline holds P (smallest on the
// photo, so a window is found inside its wall).  A check distance is found
// as a distance is, the nearer of the two winning.
enum class MarkKind { None, Distance, Area, Check };
struct MarkRef {
    MarkKind kind = MarkKind::None;
    std::int32_t index = 0;
};
MarkRef MarkUnder(const Document& doc, TDPoint P, double dispScale);

// The kept straight edges (the photo's lens choice), as the shown photo has
// them: the point of an edge nearest P within the radius, and the edge whose
// run from point to point passes nearest P within the radius.  Nothing when
// none is near or the photo keeps no edges.
struct EdgePointRef {
    std::size_t edge = 0;
    std::size_t point = 0;
    friend bool operator==(const EdgePointRef&, const EdgePointRef&) = default;
};
std::optional<EdgePointRef> StraightEdgePointNear(const Document& doc, TDPoint P, double dispScale);
std::optional<std::size_t> StraightEdgeNear(const Document& doc, TDPoint P, double dispScale);

} // namespace kvx
