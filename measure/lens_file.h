#pragma once

// A photo's lens choice kept in a side file of its own, and camera profiles
// (a lens calibrated once for a camera, a focal length and a photo size).
// Both are short text files in the form of measure/text_record.h, so they can
// be read, mailed and mended by hand, and both are read as files that may be
// cut short, huge or hostile: a clear code, never a crash or a giant
// allocation.
//
// A photo's side file:
//   kalvex-lens 1
//   choice none | choice profile NAME | choice edges
//   model none | model division K WIDTH HEIGHT
//     | model brown-conrady FX FY CX CY K1 K2 P1 P2 K3
//   edges N                        (choice edges only)
//   edge M X1 Y1 ... XM YM         (N lines: photo pixels)
//   k-sd S                         (choice profile only, and only when the
//                                   profile told its k's standard deviation)
// Edges that tell no lens yet (one edge, or edges the fit refused) are kept
// with "model none" until more edges tell one.
// The model is kept with a profile's name too, so a photo keeps measuring as
// it did when the profile is changed or deleted later.
//
// A camera profile:
//   kalvex-camera 1
//   make TEXT
//   model TEXT
//   focal MM
//   size WIDTH HEIGHT
//   lens division K WIDTH HEIGHT | lens brown-conrady FX FY CX CY K1 K2 P1 P2 K3
//   rms PX                         (the calibration's reprojection error; 0 unknown)
//   k-sd S                         (optional: the standard deviation of the
//                                   division model's k or Brown-Conrady's k1
//                                   as the calibration fixed it; absent = 0)

#include "measure/geometry.h"
#include "measure/lens.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

enum class LensChoiceKind { None, Profile, Edges };

struct LensChoice {
    LensChoiceKind kind = LensChoiceKind::None;
    std::string profileName;                 // Profile
    LensModel model;                         // None for None, Division for Edges, any for Profile
    std::vector<std::vector<TDPoint>> edges;  // Edges: the straight edges the model was fitted to
    // Profile: the standard deviation of the model's k (division) or k1
    // (Brown-Conrady) as the profile gave it; 0 when it told none.
    double kUncertainty = 0.0;
    friend bool operator==(const LensChoice&, const LensChoice&) = default;
};

// What reading a side file or a profile found wrong.  The caller words each in
// the interface's language.
enum class LensFileError {
    None,
    Missing,         // no such file (a photo without one has no correction)
    Unreadable,      // the system refused to read it, or it is no regular file
    Oversize,        // larger than kMaxLensFileBytes
    NotALensFile,    // no header of ours: another kind of file
    UnknownVersion,  // our header with a version this program does not know
    Truncated,       // cut short: a line or a record missing, a last line without its end
    NotANumber,      // a field that should be a number is not one ("1,5", "abc")
    NotFinite,       // nan, inf or a number beyond double's range
    AbsurdCount,     // more edges or points than any photo has
    BadValue,        // numbers that describe no lens or photo (a negative focal length, k beyond the range...)
    Damaged,         // anything else: an unknown record, records out of order, a count that does not match
};

inline constexpr std::uintmax_t kMaxLensFileBytes = 1 << 20;
inline constexpr int kMaxFileEdges = 100;
inline constexpr int kMaxFileEdgePoints = 1000;
// The longest name or make or model kept, in bytes.
inline constexpr std::size_t kMaxLensText = 200;
// Coordinates, sizes and focal lengths beyond this (pixels) are no photo's.
inline constexpr double kMaxLensPixels = 1e6;

std::string EncodeLensChoice(const LensChoice& choice);
struct LensChoiceRead {
    LensFileError error = LensFileError::None;
    int line = 0;  // the line at fault, from 1; 0 for the whole file
    LensChoice choice;
    explicit operator bool() const { return error == LensFileError::None; }
};
LensChoiceRead DecodeLensChoice(std::string_view bytes);
LensChoiceRead ReadLensChoice(const std::filesystem::path& path);
// Replaces the file whole (a temporary renamed into place): false when that
// failed, or when the choice would not read back exactly as it is (a name
// with a line break, a model of numbers no file takes); nothing is written then.
bool WriteLensChoice(const std::filesystem::path& path, const LensChoice& choice);

// Straight edges given in a file of their own: one edge a line, its points as
// "x y x y x y ..." in the photo's pixels (any blanks between the numbers,
// "#" starting a comment, blank lines skipped).  Bounded like every lens file.
struct StraightLinesRead {
    LensFileError error = LensFileError::None;
    int line = 0;
    std::vector<std::vector<TDPoint>> edges;
    explicit operator bool() const { return error == LensFileError::None; }
};
StraightLinesRead DecodeStraightLines(std::string_view bytes);
StraightLinesRead ReadStraightLines(const std::filesystem::path& path);

// A photo's camera as its EXIF data tell it, and the size it was stored at.
struct CameraId {
    std::string make;
    std::string model;
    double focal = 0.0;  // mm, as the camera recorded it (not the 35 mm equivalent)
    int width = 0;
    int height = 0;
    friend bool operator==(const CameraId&, const CameraId&) = default;
};

struct CameraProfile {
    CameraId camera;
    LensModel lens;     // Division (of the profile's size) or BrownConrady
    double rms = 0.0;   // px, the calibration's reprojection error; 0 when unknown
    // The standard deviation of the lens's k (division) or k1 (Brown-Conrady)
    // as the calibration fixed it; 0 when unknown (a profile made before it was kept).
    double kUncertainty = 0.0;
    friend bool operator==(const CameraProfile&, const CameraProfile&) = default;
};

// Whether profile was made for the photo's camera: make and model equal (each
// without leading and trailing spaces, which EXIF often pads with), focal
// length within 0.01 mm, and the same size.  A profile without a make or a
// model matches nothing by itself; the user may still choose it by name.
bool Matches(const CameraProfile& profile, const CameraId& photo);
// "Make Model 24 mm 6000x4000": a name for the profile the user may keep.
std::string ProfileName(const CameraProfile& profile);

std::string EncodeCameraProfile(const CameraProfile& profile);
struct CameraProfileRead {
    LensFileError error = LensFileError::None;
    int line = 0;
    CameraProfile profile;
    explicit operator bool() const { return error == LensFileError::None; }
};
CameraProfileRead DecodeCameraProfile(std::string_view bytes);
CameraProfileRead ReadCameraProfile(const std::filesystem::path& path);
// As WriteLensChoice.
bool WriteCameraProfile(const std::filesystem::path& path, const CameraProfile& profile);

} // namespace kvx
