#pragma once

// The division model fitted to edges the user knows to be straight: door and
// window frames, the corners of a room, a ruler laid across the photo.  The
// lens bends them; the k that straightens them best is the lens's.
//
// Points are photo pixels (see measure/lens.h: x right, y down, pixel i
// spanning i..i+1).

#include "measure/geometry.h"
#include "measure/lens.h"

#include <optional>
#include <vector>

namespace kvx {

// The size of the photo as stored, in pixels.
struct PhotoSize {
    double width = 0.0;
    double height = 0.0;
};

// Why edges give no lens.  The caller words each in the interface's language.
enum class EdgeFitFault {
    None,
    TooFewEdges,    // fewer than kMinFitEdges edges
    TooFewPoints,   // an edge of fewer than kMinEdgePoints points (or more than kMaxEdgePoints)
    EdgeTooShort,   // an edge spanning less than kMinEdgeFraction of the photo's diagonal
    BadPoint,       // a point that is not finite, or far outside the photo
    BadPhotoSize,   // no photo size (or not a finite one)
    Undecided,      // the edges do not tell k well enough: too near the centre, too few, too noisy
    NoImprovement,  // the best k straightens the edges no better than no correction
};

inline constexpr int kMinFitEdges = 2;
inline constexpr int kMinEdgePoints = 3;
inline constexpr int kMaxEdgePoints = 1000;
inline constexpr double kMinEdgeFraction = 0.05;
// k is looked for within this range: far beyond any photographic lens's
// division parameter, and with every point of the photo inside the model's
// valid region (see ToIdeal).
inline constexpr double kFitRange = 0.8;
// The largest standard uncertainty of k a fit may keep.  Since k is
// normalised by the half-diagonal, u(k) is about the relative error of a
// length it leaves at the photo's corners: 0.5 %.
inline constexpr double kMaxKUncertainty = 0.005;

struct EdgeFit {
    EdgeFitFault fault = EdgeFitFault::None;
    int edge = -1;              // the edge at fault (0-based), -1 for faults of the whole set
    LensModel lens;             // Division, when fault is None
    double k = 0.0;
    double kUncertainty = 0.0;  // one standard uncertainty of k
    double rmsBefore = 0.0;     // px: the points' distance from their edge's best line, uncorrected
    double rmsAfter = 0.0;      // px: the same after the correction
    // How well the edges pin k down: the relative length error that one
    // standard uncertainty of k means at the photo's corners (0.001 is 0.1 %).
    // Edges far from the centre, long and many make it small.
    double strength = 0.0;
    explicit operator bool() const { return fault == EdgeFitFault::None; }
};

// Fits k of the division model centred on the photo to the edges (each a run
// of photo points along a line straight in reality, in any order).  k
// minimises the sum of the squared distances of the corrected points from
// each edge's own best line (total least squares): a scan over [-kFitRange,
// kFitRange], then Brent's minimisation in the best interval.  Its
// uncertainty comes from the cost's curvature and the residual per degree of
// freedom, the lines' own parameters profiled out.  maxUncertainty is
// kMaxKUncertainty unless a caller needs another limit.
EdgeFit FitDivisionFromEdges(const std::vector<std::vector<TDPoint>>& edges, PhotoSize size,
                             double maxUncertainty = kMaxKUncertainty);

// The relative uncertainty a length near photo point p takes from the
// uncertainty of the division model's k (as fitted): the correction scales
// the photo there by 1 / (1 + k r^2), so a change of k by u changes lengths by
// about u r^2 / (1 + k r^2).  Added in quadrature to a length's other
// uncertainties.  0 for a model other than Division or a point it cannot map.
double DivisionScaleUncertainty(const LensModel& lens, double kUncertainty, TDPoint p);

// The sum of squared distances of the points (corrected by lens) from their
// edge's best line, in px^2; nothing when a point cannot be corrected.
std::optional<double> StraightnessCost(const std::vector<std::vector<TDPoint>>& edges, const LensModel& lens);

} // namespace kvx
