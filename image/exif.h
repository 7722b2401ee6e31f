#pragma once

// What a photo's EXIF data say about the camera that took it: enough to find
// its camera profile (measure/lens_file.h) and to turn it upright.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kvx {

struct ExifInfo {
    std::string make;        // without the padding cameras add; control characters become spaces
    std::string model;
    double focal = 0.0;      // mm, the lens's real focal length; 0 when not told
    int orientation = 0;     // EXIF's 1..8 (1 upright); 0 when not told or out of range
    std::string dateTaken;   // "YYYY:MM:DD HH:MM:SS" as recorded (when taken, else when last changed); may be empty
    std::string lens;        // the lens's make and model as recorded; may be empty
    int focal35 = 0;         // mm, the focal length a 35 mm film camera would need for the same view; 0 when not told
};

// One particular of the camera as the window and the report show it: a
// label and its value in the interface's language.
struct CameraLine {
    std::string label;
    std::string value;
    friend bool operator==(const CameraLine&, const CameraLine&) = default;
};

// The camera (make and model), the lens, the focal length with its 35 mm
// equivalent and the date taken, each only when the photo tells it: a photo
// without them gives no lines at all rather than empty ones.
std::vector<CameraLine> CameraLines(const ExifInfo& info);

// Only the start of a file is read: a JPEG's EXIF segment comes first and
// holds at most 64 KiB.
inline constexpr std::size_t kExifReadBytes = 256 * 1024;

// The EXIF data of the photo at path; nothing for a file without any (or one
// that is no regular file, or cannot be read).  A damaged segment gives what
// could be read of it.
std::optional<ExifInfo> ReadExif(const std::filesystem::path& path);
// The same from the first bytes of a photo file already read (a JPEG's start,
// or a bare EXIF block as HEIF photos keep it, with or without its "Exif\0\0").
std::optional<ExifInfo> ReadExifBytes(const unsigned char* bytes, std::size_t size);

} // namespace kvx
