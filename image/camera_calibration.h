#pragma once

// A camera's lens measured once from photos of a printed chessboard: OpenCV
// finds the board's inner corners (refined to a fraction of a pixel) and
// solves the camera's Brown-Conrady model; the result is a camera profile
// (measure/lens_file.h) that corrects every later photo of the same camera,
// focal length and size.

#include "measure/lens_file.h"

#include <QImage>

#include <functional>
#include <vector>

namespace kvx {

// The board as printed: its inner corners (where four squares meet) across
// and down, and the side of a square in millimetres.
struct Chessboard {
    int columns = 0;
    int rows = 0;
    double squareMm = 0.0;
};

enum class CalibrationFault {
    None,
    BadBoard,      // fewer than 3 x 3 inner corners, a square of no size
    NoPhotos,      // no photo, or one that holds no picture
    SizesDiffer,   // the photos are not all of one size: one camera setting is calibrated at a time
    TooFewBoards,  // the board was found on fewer than kMinCalibrationBoards photos
    Failed,        // OpenCV found no solution (or none with finite numbers)
    Cancelled,     // the caller asked to stop between two photos
};

// Three views are the fewest that tell a camera's focal length, centre and
// distortion apart; ten or more in varied tilts give a reliable profile.
inline constexpr int kMinCalibrationBoards = 3;

struct CameraCalibration {
    CalibrationFault fault = CalibrationFault::None;
    // The camera as the caller named it, with the photos' size, and the lens.
    CameraProfile profile;
    double rms = 0.0;          // px: the board corners' reprojection error
    std::vector<bool> found;   // per photo: whether the board was found on it
    // Per photo: the board's inner corners found on it, row by row, in the
    // photo's pixels (pixel i spanning i..i+1); empty where none was found.
    std::vector<std::vector<TDPoint>> corners;
    explicit operator bool() const { return fault == CalibrationFault::None; }
};

// Calibrates from the photos (as stored, not turned by their orientation:
// the profile corrects photos as stored).  camera's make, model and focal
// length go into the profile as they are; its size is the photos'.
// searched, when given, is told after each photo has been searched for the
// board (how many of them so far) and stops the calibration when it answers false.
CameraCalibration CalibrateCamera(const std::vector<QImage>& photos, const Chessboard& board, const CameraId& camera,
                                  const std::function<bool(int searched)>& searched = {});

} // namespace kvx
