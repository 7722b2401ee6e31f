#pragma once

// A camera profile made from photo files of a chessboard: the photos read as
// every photo is read (image/photo.h, with its checks) and turned back to how
// the camera stored them, since the profile corrects the sensor; the camera
// named by their EXIF data, which must agree; the lens calibrated
// (image/camera_calibration.h); and the result judged before anyone keeps it.
// The command line and the window's dialog both make profiles through here,
// so both refuse the same photos with the same words.

#include "image/camera_calibration.h"
#include "image/photo.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace kvx {

// Every photo is held while the board is searched (a byte a pixel): sixty of
// a camera's largest is about what a computer can spare, and far more than
// the ten or twenty a calibration wants.
inline constexpr int kMaxCalibrationPhotos = 60;
// A calibration whose corners lie further than this from where its lens puts
// them, in the root of the mean square, measures a board other than the
// one named (another square size, a bent print) or blurred photos: no profile.
inline constexpr double kMaxProfileRms = 1.0;

enum class ProfileOutcome {
    Made,
    TooManyPhotos,   // more than kMaxCalibrationPhotos
    Unreadable,      // a photo could not be read
    CamerasDiffer,   // the photos' EXIF data name two cameras or focal lengths
    SizesDiffer,     // the photos are not all of one size
    NotCalibrated,   // the calibration failed: see calibration.fault
    RmsTooHigh,      // calibrated, but beyond kMaxProfileRms
    Cancelled,
};

struct ProfileMaking {
    ProfileOutcome outcome = ProfileOutcome::NotCalibrated;
    // Why no profile was made, in the interface's language; empty when one was.
    QString message;
    // Said about a profile that was made (photos without a camera in their
    // EXIF data make a profile that no photo finds by itself).
    QString note;
    // The calibration, when every photo was read: which photos showed the
    // board, its corners, the RMS and the profile (kept only when Made).
    CameraCalibration calibration;
    // Per photo read: a copy of at most the side asked for, as stored, with
    // the corners found drawn over it.
    std::vector<QImage> thumbnails;
    explicit operator bool() const { return outcome == ProfileOutcome::Made; }
};

// progress, when given, is told each step done of the total (each photo is
// read, then searched) and stops the making when it answers false.
ProfileMaking MakeCameraProfile(const std::vector<QString>& photos, const Chessboard& board,
                                std::int64_t maxPixels = kMaxPhotoPixels, int thumbnailSide = 0,
                                const std::function<bool(int done, int total)>& progress = {});

// The RMS as the user reads it: three decimals and a point, whatever the locale.
QString RmsText(double rms);

} // namespace kvx
