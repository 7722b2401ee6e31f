#pragma once

// The lens between the photo and the plane construction.  The construction is
// exact for an ideal pinhole camera, where a straight line on the wall is a
// straight line on the photo; a real lens bends such lines (barrel distortion
// in wide angles, pincushion in some zooms).  Every point the user places is
// kept in the photo's own pixels and goes through ToIdeal before it reaches
// the construction; whatever is drawn back over the photo goes through ToPhoto.
//
// Spaces:
// - photo pixels: the decoded photo as stored, origin at its top-left corner,
//   x right, y down, pixel i spanning i..i+1 (so a W x H photo's centre is
//   (W/2, H/2));
// - ideal pixels: where an ideal pinhole camera at the same place would have
//   recorded the point, same axes and the same scale, so ideal points stay
//   comparable with photo points (a click precision of half a pixel still
//   means half a pixel).
//
// Neither direction rounds its result; a caller that stores the points it
// gets rounds them as it rounds every other point (DigitFix).

#include "measure/geometry.h"

#include <optional>

namespace kvx {

enum class LensKind {
    None,          // an ideal camera: both directions give the point back bit for bit
    Division,      // one parameter, centred on the photo: what straight edges can fit
    BrownConrady,  // OpenCV's camera model: what a chessboard calibration gives
};

// The Brown-Conrady model exactly as OpenCV's calibrateCamera defines it, with
// the principal point in OpenCV's pixel convention too (pixel i's centre at i,
// half a pixel less than ours), so numbers from any OpenCV-based calibration
// can be taken as they are.  Normalised coordinates x = (u - cx) / fx,
// y = (v - cy) / fy; with r^2 = x^2 + y^2 the photo shows
//   x_d = x (1 + k1 r^2 + k2 r^4 + k3 r^6) + 2 p1 x y + p2 (r^2 + 2 x^2)
//   y_d = y (1 + k1 r^2 + k2 r^4 + k3 r^6) + p1 (r^2 + 2 y^2) + 2 p2 x y.
// The ideal camera keeps fx, fy, cx and cy.
struct BrownConrady {
    double fx = 1.0, fy = 1.0;  // focal length in pixels
    double cx = 0.0, cy = 0.0;  // principal point, OpenCV pixels
    double k1 = 0.0, k2 = 0.0, p1 = 0.0, p2 = 0.0, k3 = 0.0;
    friend bool operator==(const BrownConrady&, const BrownConrady&) = default;
};

// A lens as a value.  The division model's centre is the photo's centre and
// its radius is normalised by the photo's half-diagonal, so k means the same
// on a photo and on a copy of it scaled down: with d = x_d - c and
// r_d = |d| / (half-diagonal), the ideal point is
//   x_u = c + d / (1 + k r_d^2).
// k < 0 is barrel distortion (the photo pulls the corners in), k > 0
// pincushion; -k is about the fraction by which the photo shrinks lengths at
// its corners.
struct LensModel {
    LensKind kind = LensKind::None;
    double k = 0.0;                     // Division
    double width = 0.0, height = 0.0;   // Division: the photo's size in pixels
    BrownConrady bc;                    // BrownConrady
    friend bool operator==(const LensModel&, const LensModel&) = default;

    static LensModel Division(double k, double width, double height);
    static LensModel Brown(const BrownConrady& bc);
};

// Whether the model's numbers can describe a lens at all: finite, a photo size
// and focal lengths above zero.  A model that is not sane maps no point.
bool IsSane(const LensModel& lens);

// The point of the ideal camera seen at photo point p.
//
// Nothing (never a NaN) for a point the model cannot map: a non-finite point,
// a model that is not sane, or a point beyond the radius where the model
// folds (where moving outward on the photo would move inward on the ideal
// camera, so two photo points would share one ideal point).  The division
// model folds at r_d^2 = 1/k for k > 0 and ends where 1 + k r_d^2 reaches 0
// for k < 0; within the photo (r_d <= 1) neither happens for |k| < 1.
// Brown-Conrady is inverted by Newton's method from the photo point (at most
// kLensIterations steps, stopped when the point moves less than 1e-12 of the
// focal length); nothing when it does not converge or converges beyond the
// fold radius, the smallest r where d/dr [r (1 + k1 r^2 + k2 r^4 + k3 r^6)]
// reaches 0.
std::optional<TDPoint> ToIdeal(const LensModel& lens, TDPoint p);

// The photo point where the ideal camera's point q shows: ToIdeal's inverse,
// for drawing over the photo.  Nothing for a point beyond the fold radius (no
// photo point shows it) or a non-finite one.  The division model is inverted
// in closed form.
std::optional<TDPoint> ToPhoto(const LensModel& lens, TDPoint q);

inline constexpr int kLensIterations = 50;

// The radius (normalised, as r above) beyond which the model folds; infinity
// when it never does.  For the division model r_d, for Brown-Conrady the
// undistorted r.
double FoldRadius(const LensModel& lens);

} // namespace kvx
