#pragma once

// HEIF photos (HEIC, as phones take them) decoded with libheif, read through
// the photo file already open, never opened again by name.

#include <QImage>
#include <QString>

#include <cstdint>
#include <string>

namespace kvx {

struct HeifDecode {
    enum class Result { Ok, NotHandled, TooLarge, Implausible, Failed };
    Result result = Result::Failed;
    QImage image;   // RGB888 and upright (the file's own rotation and mirroring applied) when Ok
    int width = 0;  // as announced, upright; also when TooLarge or Implausible
    int height = 0;
    QString detail;
    std::string exif;  // the photo's EXIF block (TIFF header first), empty when none
};

// NotHandled for files that are no HEIF.  The size is taken from the file's
// boxes and checked against maxPixels before anything is decoded.
HeifDecode DecodeHeif(int fd, std::int64_t fileBytes, std::int64_t maxPixels);

// The EXIF block of a HEIF file (TIFF header first), read from its boxes
// without decoding the picture; empty for a file that is no HEIF or has none.
std::string ReadHeifExif(int fd, std::int64_t fileBytes);

// Whether the first bytes of a file are a HEIF file's.
bool LooksLikeHeif(const unsigned char* bytes, std::size_t size);

} // namespace kvx
