#pragma once

// What a photo's EXIF data say about the camera that took it: enough to find
// its camera profile (measure/lens_file.h) and to turn it upright.

#include <filesystem>
#include <optional>
#include <string>

namespace kvx {

struct ExifInfo {
    std::string make;        // without the padding cameras add; control characters become spaces
    std::string model;
    double focal = 0.0;      // mm, the lens's real focal length; 0 when not told
    int orientation = 0;     // EXIF's 1..8 (1 upright); 0 when not told or out of range
    std::string dateTaken;   // "YYYY:MM:DD HH:MM:SS" as recorded (when taken, else when last changed); may be empty
};

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
