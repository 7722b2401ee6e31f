// A photo's EXIF data: JPEG files carrying an EXIF segment written out here
// byte by byte (both byte orders), files without one, and damaged ones.

#include "image/exif.h"

#include "exif_bytes.h"
#include "workfolder.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::Tiff;
using test::WithExif;

std::string Jpeg()
{
    QImage image(64, 48, QImage::Format_RGB888);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes.toStdString();
}

fs::path Write(const test::TempFolder& folder, const std::string& name, const std::string& bytes)
{
    const fs::path p = folder.path() / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
}

TEST(Exif, CameraFocalLengthOrientationAndDate)
{
    test::TempFolder folder;
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        const std::string tiff = Tiff(big).Build("Canon  ", "Canon EOS 6D", 6, 240, 10, "2024:05:17 09:41:07");
        const std::optional<ExifInfo> info = ReadExif(Write(folder, "photo.jpg", WithExif(Jpeg(), tiff)));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->make, "Canon") << "the padding cameras add is dropped";
        EXPECT_EQ(info->model, "Canon EOS 6D");
        EXPECT_DOUBLE_EQ(info->focal, 24.0);
        EXPECT_EQ(info->orientation, 6);
        EXPECT_EQ(info->dateTaken, "2024:05:17 09:41:07");
    }
}

TEST(Exif, WhatIsMissingOrOutOfRange)
{
    test::TempFolder folder;
    // A focal length of 0/0, an orientation no camera writes and a date left
    // blank as cameras without a clock leave it.
    const std::string odd = Tiff(false).Build("Make", "Model", 9, 0, 0, std::string(19, ' '));
    const std::optional<ExifInfo> info = ReadExif(Write(folder, "odd.jpg", WithExif(Jpeg(), odd)));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->focal, 0.0);
    EXPECT_EQ(info->orientation, 0);
    EXPECT_EQ(info->dateTaken, "");

    EXPECT_FALSE(ReadExif(Write(folder, "plain.jpg", Jpeg()))) << "no EXIF segment";
    EXPECT_FALSE(ReadExif(folder.path() / "missing.jpg"));
    EXPECT_FALSE(ReadExif(folder.path())) << "a folder";
    EXPECT_FALSE(ReadExif(Write(folder, "empty.jpg", "")));
    const fs::path fifo = folder.path() / "pipe.jpg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadExif(fifo)) << "a pipe is never read";
}

// A damaged segment gives what could be read, or nothing; never a crash.
TEST(Exif, DamagedSegments)
{
    test::TempFolder folder;
    const std::string good = WithExif(Jpeg(), Tiff(false).Build("Make", "Model", 1, 50, 1, "2020:01:01 00:00:00"));
    for (std::size_t cut = 0; cut < 200; cut += 7) {
        SCOPED_TRACE(cut);
        const std::optional<ExifInfo> info = ReadExif(Write(folder, "cut.jpg", good.substr(0, cut)));
        if (info) {
            EXPECT_LE(info->make.size(), 4u);
        }
    }
    // Offsets pointing far beyond the segment.
    std::string hostile = good;
    for (std::size_t i = 30; i < 80 && i < hostile.size(); ++i)
        hostile[i] = '\xFF';
    const std::optional<ExifInfo> info = ReadExif(Write(folder, "hostile.jpg", hostile));
    if (info) {
        EXPECT_EQ(info->orientation == 0 || (info->orientation >= 1 && info->orientation <= 8), true);
    }
}

} // namespace
} // namespace kvx
