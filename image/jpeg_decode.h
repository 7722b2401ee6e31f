#pragma once

// JPEG photos are decoded straight into 24-bit rows with libjpeg-turbo: it is
// the decoder Qt uses too, but this way there is no 32-bit detour, and a file
// that ends before its picture does is known for what it is.

#include <QImage>
#include <QString>

#include <cstdint>

namespace kvx {

struct JpegDecode {
    enum class Result { Ok, NotHandled, TooLarge, Implausible, CutOff, Failed };
    // What went wrong when Failed, in kinds the user is told in their own
    // language (libjpeg's sentences are English).
    enum class Failure { Corrupt, NotJpeg, Unsupported, NoMemory };
    Result result = Result::Failed;
    Failure failure = Failure::Corrupt;
    int code = 0;  // libjpeg's message code when Failed, for the error trail
    QImage image;   // RGB888 when Ok
    int width = 0;  // as announced, also when TooLarge or Implausible
    int height = 0;
    QString detail;  // libjpeg's own English sentence: for the error trail, not the user
};

// NotHandled for files that are no JPEG (they are left to Qt's readers).  Implausible when the file is far
// too small for the size it announces (see PlausibleForFileSize); nothing is
// allocated for the pixels then.
// The file is read through descriptor fd (of fileBytes bytes), from its start;
// it stays open.
JpegDecode DecodeJpeg(int fd, std::int64_t fileBytes, std::int64_t maxPixels);

// An RGB888 image for a photo's pixels: large ones in memory the kernel maps
// in huge pages.  Null when the memory cannot be had.
QImage LargeImage(int width, int height);

} // namespace kvx
