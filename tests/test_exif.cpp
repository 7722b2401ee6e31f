// A photo's EXIF data: JPEG files carrying an EXIF segment written out here
// byte by byte (both byte orders), files without one, and damaged ones.

#include "image/exif.h"

#include "exif_bytes.h"
#include "workfolder.h"
#include "exif_fixture.h"
#include "image/photo.h"

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

test::CameraFixture Phone()
{
    test::CameraFixture c;
    c.make = "Apple";
    c.model = "iPhone 13";
    c.lensMake = "Apple";
    c.lensModel = "iPhone 13 back camera 5.1mm f/1.6";
    c.focalNum = 51;
    c.focalDen = 10;
    c.focal35 = 26;
    c.date = "2023:08:14 17:05:59";
    return c;
}

TEST(Exif, LensAndThe35mmEquivalent)
{
    test::TempFolder folder;
    QImage image(32, 24, QImage::Format_RGB888);
    image.fill(Qt::gray);
    const QByteArray jpeg = test::JpegWithExif(image, test::ExifBlock(Phone()));
    const fs::path path = Write(folder, "phone.jpg", jpeg.toStdString());
    const std::optional<ExifInfo> info = ReadExif(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->lens, "Apple iPhone 13 back camera 5.1mm f/1.6");
    EXPECT_EQ(info->focal35, 26);
    EXPECT_DOUBLE_EQ(info->focal, 5.1);

    // The photo file as the window and the report read it.
    const std::optional<ExifInfo> again = ReadPhotoExif(QString::fromStdString(path.string()));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->lens, info->lens);
    EXPECT_EQ(again->model, "iPhone 13");
    // A PNG (no EXIF read from it), a JPEG without EXIF, a folder: nothing.
    const QString png = QString::fromStdString((folder.path() / "plain.png").string());
    ASSERT_TRUE(image.save(png, "PNG"));
    EXPECT_FALSE(ReadPhotoExif(png));
    EXPECT_FALSE(ReadPhotoExif(QString::fromStdString(Write(folder, "plain.jpg", Jpeg()).string())));
    EXPECT_FALSE(ReadPhotoExif(QString::fromStdString(folder.path().string())));
}

// What the window and the report show of each camera: only what it tells,
// in the source language (no translation is installed here).
TEST(Exif, CameraLinesShowWhatIsTold)
{
    struct Case {
        const char* name;
        ExifInfo info;
        std::vector<CameraLine> lines;
    };
    ExifInfo full;
    full.make = "Apple";
    full.model = "iPhone 13";
    full.lens = "iPhone 13 back camera 5.1mm f/1.6";
    full.focal = 5.1;
    full.focal35 = 26;
    full.dateTaken = "2023:08:14 17:05:59";
    ExifInfo repeated;
    repeated.make = "Canon";
    repeated.model = "Canon EOS R6";
    ExifInfo brand;
    brand.make = "NIKON CORPORATION";
    brand.model = "NIKON D750";
    ExifInfo separate;
    separate.make = "NIKON CORPORATION";
    separate.model = "D750";
    separate.focal = 24;
    ExifInfo onlyEquivalent;
    onlyEquivalent.focal35 = 28;
    ExifInfo oddDate;
    oddDate.dateTaken = "2020 spring";
    ExifInfo damagedFocal;
    damagedFocal.focal = 4294967295.0;
    const std::vector<Case> cases = {
        {"every particular", full,
         {{"カメラ", "Apple iPhone 13"},
          {"レンズ", "iPhone 13 back camera 5.1mm f/1.6"},
          {"焦点距離", "5.1 mm (35mm判換算 26 mm)"},
          {"撮影日時", "2023-08-14 17:05:59"}}},
        {"make repeated in the model", repeated, {{"カメラ", "Canon EOS R6"}}},
        {"the make's first word in the model", brand, {{"カメラ", "NIKON D750"}}},
        {"make not in the model", separate, {{"カメラ", "NIKON CORPORATION D750"}, {"焦点距離", "24 mm"}}},
        {"only the equivalent", onlyEquivalent, {{"焦点距離", "35mm判換算 28 mm"}}},
        {"a date in no known form", oddDate, {{"撮影日時", "2020 spring"}}},
        {"a focal length no lens has", damagedFocal, {}},
        {"nothing told", ExifInfo{}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<CameraLine> lines = CameraLines(c.info);
        ASSERT_EQ(lines.size(), c.lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].label, c.lines[i].label);
            EXPECT_EQ(lines[i].value, c.lines[i].value);
        }
    }
}

} // namespace
} // namespace kvx
