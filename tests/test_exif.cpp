// A photo's EXIF data: JPEG files carrying an EXIF segment written out here
// byte by byte (both byte orders), files without one, and damaged ones.

#include "image/exif.h"

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

// A TIFF structure as EXIF keeps it: IFD0 with make, model, orientation and
// the pointer to the EXIF IFD, which holds the date taken and the focal length.
class Tiff {
public:
    explicit Tiff(bool bigEndian) : big_(bigEndian) {}

    std::string Build(const std::string& make, const std::string& model, std::uint16_t orientation,
                      std::uint32_t focalNum, std::uint32_t focalDen, const std::string& date)
    {
        // Layout: header 8, IFD0 at 8 (4 entries), EXIF IFD after it (2 entries), then the data.
        const std::uint32_t ifd0 = 8, ifd0Size = 2 + 4 * 12 + 4;
        const std::uint32_t exif = ifd0 + ifd0Size, exifSize = 2 + 2 * 12 + 4;
        std::uint32_t data = exif + exifSize;
        std::string area;
        auto place = [&](const std::string& bytes) {
            const std::uint32_t at = data + static_cast<std::uint32_t>(area.size());
            area += bytes;
            if (area.size() % 2)
                area += '\0';
            return at;
        };
        const std::string makeZ = make + '\0', modelZ = model + '\0', dateZ = date + '\0';
        const std::uint32_t makeAt = place(makeZ), modelAt = place(modelZ), dateAt = place(dateZ);
        const std::uint32_t focalAt = place(U32(focalNum) + U32(focalDen));

        std::string out = big_ ? "MM" : "II";
        out += U16(42) + U32(ifd0);
        out += U16(4);
        out += Entry(0x010F, 2, static_cast<std::uint32_t>(makeZ.size()), makeAt);
        out += Entry(0x0110, 2, static_cast<std::uint32_t>(modelZ.size()), modelAt);
        out += U16(0x0112) + U16(3) + U32(1) + U16(orientation) + U16(0);
        out += Entry(0x8769, 4, 1, exif);
        out += U32(0);
        out += U16(2);
        out += Entry(0x9003, 2, static_cast<std::uint32_t>(dateZ.size()), dateAt);
        out += Entry(0x920A, 5, 1, focalAt);
        out += U32(0);
        return out + area;
    }

private:
    std::string U16(std::uint16_t v) const
    {
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        return big_ ? std::string{b[1], b[0]} : std::string{b[0], b[1]};
    }
    std::string U32(std::uint32_t v) const
    {
        return big_ ? U16(static_cast<std::uint16_t>(v >> 16)) + U16(static_cast<std::uint16_t>(v & 0xFFFF))
                    : U16(static_cast<std::uint16_t>(v & 0xFFFF)) + U16(static_cast<std::uint16_t>(v >> 16));
    }
    std::string Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) const
    {
        return U16(tag) + U16(type) + U32(count) + U32(value);
    }
    bool big_;
};

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

// The JPEG with an APP1 segment holding tiff right after its start marker.
std::string WithExif(const std::string& jpeg, const std::string& tiff)
{
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    std::string app1 = "\xFF\xE1";
    app1 += static_cast<char>(length >> 8);
    app1 += static_cast<char>(length & 0xFF);
    return jpeg.substr(0, 2) + app1 + payload + jpeg.substr(2);
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
