#pragma once

// How far a result can be trusted.  Every point the user placed is taken to
// be off by an independent normal error of sigma photo pixels in x and in y:
// the four corners of the reference, the measurement base or the two base
// lines when they were set, the ends and vertices of the measurement, and for
// a corrected result its reference point, the other plane's rectangle and the
// cross line.  A point placed once and used in two places (the shared end of
// two chain segments, a corner both planes of setting 4 stand on, the cross
// line on that corner) is one point: the values are compared bit for bit.
//
// The error is carried to the result to first order (central differences)
// through the exact projective map the corners define.  GetDelta's
// perspective construction is that map, to within its step of a millimetre;
// using the map itself keeps that step out of the derivatives.  A normal
// error and a first-order carry make the figure one standard uncertainty: the
// true value lies within it about two times in three, within twice it about
// nineteen times in twenty.
//
// A reference found as a paper sheet or a card adds its makers' tolerance:
// the true W and H may be off by it (TPlaneState::SheetSize), and every
// result's share of that joins the clicks' in quadrature.
//
// Image points: pixels of the decoded photo (x right, y down).  Plane points:
// millimetres from the unit-cell centre (X right, Y up), as GetDelta's.

#include "measure/model.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvx {

// The click precision of the preferences, in photo pixels.
inline constexpr double kDefaultClickSigma = 0.5;
inline constexpr double kMinClickSigma = 0.1;
inline constexpr double kMaxClickSigma = 5.0;
// The preference as used: outside the range (or no number) it is the nearest
// end of the range or the default.
double ClickSigma(double preference);

// The map from image points to plane points of one plane, as its reference
// and measurement base give it.
class PlaneMap {
public:
    // The current plane of doc with its W and H; nothing without a reference
    // or when the corners give no map (three on a line).
    static std::optional<PlaneMap> Of(const Document& doc);

    // Plane point of image point p; nothing for a point on or beyond the
    // plane's horizon.
    std::optional<TDPoint> ToPlane(TDPoint p) const;
    // Image point of plane point q; nothing when q is not in front of the camera.
    std::optional<TDPoint> ToImage(TDPoint q) const;

    std::array<long double, 9> toPlane{};  // row-major, image (x, y, 1) to plane
    std::array<long double, 9> toImage{};  // its inverse
    long double side = 1;                  // the sign of the cell centre's third coordinate
};

// Standard uncertainties of the current plane's results for a click
// precision of sigma pixels: a distance in mm, an area in m² (its slopes
// included, sign dropped), a check distance in mm.  Nothing without a
// reference, for an index out of range, or when a point lies beyond the horizon.
std::optional<double> DistanceUncertainty(const Document& doc, std::int32_t i, double sigma);
std::optional<double> SpaceUncertainty(const Document& doc, std::int32_t i, double sigma);
// The standard uncertainty of a sum of results of the current plane, the
// sum carried as one result: a group's length in mm, a group's area in m²
// (an area to subtract taken away).  The results share the reference (and
// may share points), so their errors are not independent: the sum's
// uncertainty is not the root of the sum of their squares.  Nothing when one
// of them has none; 0 for no result.
std::optional<double> DistanceSumUncertainty(const Document& doc, const std::vector<std::int32_t>& distances, double sigma);
std::optional<double> SpaceSumUncertainty(const Document& doc, const std::vector<std::int32_t>& spaces, double sigma);
// The straight distance between two image points on the current plane.
std::optional<double> SegmentUncertainty(const Document& doc, TDPoint a, TDPoint b, double sigma);

// What the uncertainty of one sum of many results (a group's total) keeps
// from one time it is asked for to the next, so that after an edit of one
// result only that result's share is worked out again.  It holds only for
// the calibration it was filled on and empties itself for another.
class SumMemo {
public:
    SumMemo();
    ~SumMemo();
    SumMemo(SumMemo&&) noexcept;
    SumMemo& operator=(SumMemo&&) noexcept;

    struct Impl;
    Impl* Get() { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

// The same for many results of the current plane of doc at one click
// precision: what they share (the calibration, the correction, their maps
// with each input moved) is worked out once, on first use.  doc must stay as
// it is while this lives.
class PlaneUncertainties {
public:
    PlaneUncertainties(const Document& doc, double sigma);
    ~PlaneUncertainties();
    PlaneUncertainties(const PlaneUncertainties&) = delete;
    PlaneUncertainties& operator=(const PlaneUncertainties&) = delete;

    std::optional<double> Distance(std::int32_t i);
    std::optional<double> Space(std::int32_t i);
    // memo: what the same sum kept last time (nothing kept without one).
    std::optional<double> DistanceSum(const std::vector<std::int32_t>& distances, SumMemo* memo = nullptr);
    std::optional<double> SpaceSum(const std::vector<std::int32_t>& spaces, SumMemo* memo = nullptr);
    std::optional<double> Segment(TDPoint a, TDPoint b);

    struct Shared;

private:
    const Document& doc_;
    double sigma_;
    std::unique_ptr<Shared> shared_;
};

// How well the reference measures: the relative standard uncertainty of a
// 1 m distance through the photo's middle (the larger of the plane's two
// directions), and why it is large.
enum class WeakReason { None, FewPixels, Oblique };
struct ReferenceStrength {
    double relative = 0.0;  // 0.01 is one per cent
    double millimetres = 0.0;  // the same as a length
    WeakReason reason = WeakReason::None;  // None while relative stays within kWeakReference
};
inline constexpr double kWeakReference = 0.01;
// A plane more stretched than this in one direction than in the other is seen
// too obliquely: about 60 degrees of tilt.
inline constexpr double kObliqueStretch = 2.0;
// middle: the photo's middle in image points.  Nothing without a reference.
std::optional<ReferenceStrength> ReferenceStrengthAt(const Document& doc, TDPoint middle, double sigma);

// What the user is told about a weak reference (UTF-8, in the interface's
// language); plane 1 or 2 names a plane of setting 4, 0 none.
std::string WeakReferenceWarning(const ReferenceStrength& strength, int plane = 0);

} // namespace kvx
