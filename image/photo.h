#pragma once

// The one boundary to image decoding and encoding.  A Photo owns its pixels
// (24-bit RGB); copies share them until one is changed, and the memory goes
// when the last owner does.

#include "image/exif.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kvx {

using Progress = std::function<void(int percent)>;

// Photos larger than this many pixels are refused before decoding, unless the
// caller says otherwise (the user's preference): three bytes a pixel for the
// photo, once more while it is processed, and the reduced copies for display
// must fit comfortably in memory.
inline constexpr std::int64_t kMaxPhotoPixels = 250'000'000;

// Whether a file of fileBytes can hold a photo of width x height.  A camera's
// photo, even of a blank wall, takes a byte for a few hundred pixels at the
// very least; a file that claims 4096 pixels or more for each of its bytes was
// cut short or made to look large, and decoding it would only allocate memory
// for made-up pixels.  Photos up to 16 megapixels are always let through,
// whatever their file size: a plain drawing packs that small, and so little
// memory is harmless.
bool PlausibleForFileSize(std::int64_t width, std::int64_t height, std::int64_t fileBytes);

class Photo {
public:
    Photo() = default;
    explicit Photo(QImage image);
    // A photo shown upright whose camera stored it in EXIF orientation
    // orientation (1..8): image is already upright.
    Photo(QImage image, int orientation);

    bool isNull() const { return image_.isNull(); }
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    const QImage& Image() const { return image_; }
    // How the camera stored the photo; 1 when it was stored upright.
    int Orientation() const { return orientation_; }

    // The photo as if it were a packed bottom-up 24-bit device-independent
    // bitmap: the sum of the first 101 bytes of that block (its 40-byte header
    // and the first pixels of the bottom row, blue-green-red, rows padded to 4
    // bytes).  It tells photos apart for their saved measurements, so it is
    // taken over the photo as the camera stored it, before it was turned
    // upright: the key a photo's measurements were kept under before photos
    // were turned stays the key.
    std::int32_t CheckSum() const;

    // The fingerprint of the file the photo was decoded from (PhotoFingerprint),
    // taken from the very file decoded; empty for a photo not read from a file.
    const std::string& FileFingerprint() const { return fingerprint_; }
    void SetFileFingerprint(std::string fingerprint) { fingerprint_ = std::move(fingerprint); }

    bool SaveJpeg(const QString& path, const Progress& progress = {}) const;  // quality 75
    bool SaveBmp(const QString& path, const Progress& progress = {}) const;

private:
    QImage image_;
    int orientation_ = 1;
    std::string fingerprint_;
};

// The stored photo stored turned upright by its EXIF orientation (1..8);
// RGB888.  Each pixel goes where UprightPoint sends its index.
QImage UprightImage(const QImage& stored, int orientation);

// The EXIF data of the photo file at path: a JPEG's from its start, a HEIF
// photo's from its metadata (nothing is decoded).  Nothing for a photo in
// another format or without any, or for what is no regular file.
std::optional<ExifInfo> ReadPhotoExif(const QString& path);

struct PhotoLoad {
    Photo photo;
    QString error;  // set when the photo could not be loaded, in Japanese
};

// Decodes JPEG, HEIF (HEIC), BMP, PNG and the portable any-maps, and turns
// the photo upright by the orientation its EXIF data (or HEIF's own) give.  Refuses, with a message
// naming the file, what is not a regular file (a pipe would never end), is not
// an image, is damaged, or has more than maxPixels pixels: the size is read
// from the file's header, before anything is decoded or allocated for it.
PhotoLoad LoadPhoto(const QString& path, const Progress& progress = {}, std::int64_t maxPixels = kMaxPhotoPixels);

// The 128-bit XXH3 hash of the photo file's bytes in lower-case hex (32
// digits), read in blocks; empty when the file cannot be read or is no
// regular file.  Unlike CheckSum it tells apart every two photos, whatever
// their names, sizes and corners.  LoadPhoto takes it from the file it decodes.
std::string PhotoFingerprint(const QString& path);

// The fingerprint earlier versions stored beside a photo's copies: the
// SHA-256 of its bytes in lower-case hex (64 digits).  Slow; only asked for to
// recognise copies stored by those versions.
std::string OlderPhotoFingerprint(const QString& path);

// The file's fingerprint of the same kind as stored: a record that kept an
// earlier version's SHA-256 (64 digits) is matched against that, any other
// against the current one.
std::string FingerprintLike(const QString& path, std::string_view stored);

// Lets Qt's decoders allocate what photos of kMaxPhotoPixels need.
void ConfigureImageDecoding();

// The first bytes of the bitmap block CheckSum is taken over (for tests): of
// the stored photo whose upright image is image.
QByteArray DibHead(const QImage& image, int bytes, int orientation = 1);

} // namespace kvx
