#pragma once

// The benchmarks' photos: a 24-megapixel photo with detail and sensor-like
// noise everywhere, so that it compresses about as a camera's photo does,
// written once per run as a JPEG and as a 24-bit BMP.

#include "image/photo.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>

namespace kvx::bench {

inline QImage NoisyImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    std::uint32_t noise = 12345;
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 27) - 16;
            row[3 * x] = static_cast<uchar>(std::clamp(((x / 7 + y / 5) & 0xFF) + n, 0, 255));
            row[3 * x + 1] = static_cast<uchar>(std::clamp((((x ^ y) >> 3) & 0xFF) + n, 0, 255));
            row[3 * x + 2] = static_cast<uchar>(std::clamp(((y / 3 - x / 11) & 0xFF) + n, 0, 255));
        }
    }
    return image;
}

inline QTemporaryDir& Folder()
{
    static QTemporaryDir dir;
    return dir;
}

inline const QString& TestPhoto()
{
    static const QString path = [] {
        const QString p = Folder().filePath(QStringLiteral("photo24mp.jpg"));
        Photo(NoisyImage(6000, 4000)).SaveJpeg(p);
        return p;
    }();
    return path;
}

inline const QString& TestBitmap()
{
    static const QString path = [] {
        const QString p = Folder().filePath(QStringLiteral("photo24mp.bmp"));
        LoadPhoto(TestPhoto()).photo.SaveBmp(p);
        return p;
    }();
    return path;
}

} // namespace kvx::bench
