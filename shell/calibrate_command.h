#pragma once

// A camera profile made without the window:
//   kalvex --calibrate-camera --board COLSxROWS --square MM [--profile FILE] PHOTO...
// The photos of a printed chessboard are read, the lens calibrated, and the
// profile written whole or not at all.  Without --profile it goes into the
// home's folder of profiles under the name of its camera.

#include "base/housekeeping.h"
#include "image/camera_calibration.h"

#include <QString>

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvx {

struct CalibrateOptions {
    Chessboard board;
    std::vector<QString> photos;
    std::optional<std::string> profile;  // the file's name as bytes
};

// "9x6" (or "9X6"): the board's inner corners across and down, each 3 to
// kMaxBoardCorners; nothing for anything else.
inline constexpr int kMaxBoardCorners = 200;
std::optional<std::pair<int, int>> ParseBoardSize(std::string_view text);
// A square's side in millimetres, a point whatever the locale: above 0 and at
// most 10 m; nothing for anything else.
std::optional<double> ParseSquareMm(std::string_view text);

// Exit statuses beside 0 (made and written) and 2 (the options, told before this runs).
inline constexpr int kCalibratePhotoUnreadable = 3;
inline constexpr int kCalibrateNotWritten = 5;
inline constexpr int kCalibrateNoProfile = 6;

// Runs the calibration and tells on out, per photo, whether the board was
// found, then the RMS and where the profile went; a failure is one message
// on err and a status other than 0, and then nothing is written.
int RunCalibrateCamera(const CalibrateOptions& options, const Folders& folders, std::ostream& out, std::ostream& err);

} // namespace kvx
