#pragma once

// PNG files written quickly: the compression OpenCV's own writer uses by
// default (zlib's fastest level, run-length matching, each row predicted
// from its left neighbour) instead of Qt's, which spends most of a large
// image's writing in zlib.  The pixels are the same; the file is larger.

#include <QImage>

#include <optional>
#include <string>

namespace kvx {

// The PNG file of image (8-bit RGB; any other format is converted first),
// with its resolution (dots per metre) when it has one.  Nothing when it
// cannot be encoded (no memory).
std::optional<std::string> EncodePng(const QImage& image);

} // namespace kvx
