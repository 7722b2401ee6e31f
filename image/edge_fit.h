#pragma once

// Straight edges and the corners where they meet, measured from a grey photo's
// pixels to a small fraction of a pixel.  A corner found as the intersection of
// two fitted edges is free of the inward pull that a corner detector's own
// neighbourhood has on an L-shaped corner, so the reference rectangle's scale
// comes out right.
//
// Coordinates are photo coordinates: x right, y down, pixel (i, j) covers
// [i, i + 1] x [j, j + 1], so its centre is (i + 0.5, j + 0.5).  The grey
// image is 8-bit, one channel.

#include "measure/geometry.h"

#include <opencv2/core.hpp>

#include <array>
#include <optional>

namespace kvx {

// A straight edge measured in the photo: the line through point along the
// unit direction dir, and the stretch of it the pixels supported, from start
// to end (both on the line).
struct EdgeLine {
    TDPoint point;
    TDPoint dir;
    TDPoint start, end;
    double contrast = 0;  // grey levels from the dark side to the light side
    double blur = 0;      // the edge's spread (one standard deviation), pixels
    double rms = 0;       // grey levels the pixels differ from the fitted edge
    int pixels = 0;
};

// The edge that runs near the segment from -> to, fitted to the pixels within
// band pixels of it whose foot lies on the segment: a blurred step across a
// straight line (its position, direction, the two grey levels and the blur),
// by least squares over every pixel.  Nothing when the pixels show no clear
// edge there (too few, no contrast, or the fit wandering off the segment).
std::optional<EdgeLine> FitEdge(const cv::Mat& grey, TDPoint from, TDPoint to, double band);

// Where two fitted lines cross; nothing when they are nearly parallel.
std::optional<TDPoint> CrossEdges(const EdgeLine& a, const EdgeLine& b);

// A corner as the meeting point of its two edges, with the stretches of the
// edges that were fitted (each running from near the corner outward).
struct EdgeCorner {
    TDPoint corner;
    std::array<EdgeLine, 2> edges;
};

// The corner whose rough position is guess (within a pixel or two): the two
// strongest gradient directions around it give its edges, each is fitted along
// its own side for up to length pixels (stopping where the edge ends), and
// the lines are crossed.  Nothing when two clear edges do not meet there.
std::optional<EdgeCorner> CornerFromEdges(const cv::Mat& grey, TDPoint guess, double length = 24);

// A quadrilateral's corners (in cyclic order) made exact by fitting each side
// over its middle part (the ends, which a rounded corner or the next side
// disturbs, are left out by endFraction of the side's length) and crossing
// neighbouring sides.  band limits how far across a side pixels are used.
// Nothing when a side shows no clear edge.
std::optional<std::array<TDPoint, 4>> RefineQuad(const cv::Mat& grey, const std::array<TDPoint, 4>& corners,
                                                 double band, double endFraction = 0.12);
// The same with a band of its own for each side (side i runs from corner i to i + 1).
std::optional<std::array<TDPoint, 4>> RefineQuad(const cv::Mat& grey, const std::array<TDPoint, 4>& corners,
                                                 const std::array<double, 4>& bands, double endFraction = 0.12);

} // namespace kvx
