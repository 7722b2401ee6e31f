// Photos as phones take them: JPEGs whose EXIF orientation says how to turn
// them upright (the segment written out here byte by byte), and HEIC photos
// encoded here with libheif, whole, cut short, damaged and too large.

#include "image/photo.h"

#include "measure/orientation.h"
#include "workfolder.h"
#include "exif_fixture.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

namespace kvx {
namespace {

namespace fs = std::filesystem;

std::string U16(std::uint16_t v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string U32(std::uint32_t v)
{
    return U16(static_cast<std::uint16_t>(v & 0xFFFF)) + U16(static_cast<std::uint16_t>(v >> 16));
}

// An APP1 segment whose IFD0 holds one entry: the orientation (little-endian TIFF).
std::string OrientationSegment(std::uint16_t orientation)
{
    std::string tiff = "II" + U16(42) + U32(8) + U16(1) + U16(0x0112) + U16(3) + U32(1) + U16(orientation) + U16(0) + U32(0);
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    std::string app1 = "\xFF\xE1";
    app1 += static_cast<char>(length >> 8);
    app1 += static_cast<char>(length & 0xFF);
    return app1 + payload;
}

// A photo stored 600 x 400 with a plain colour in each quarter: red at the
// top left, green at the top right, blue at the bottom left, white at the
// bottom right.
QImage Quarters(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            image.setPixelColor(x, y, !bottom ? (right ? Qt::green : Qt::red) : (right ? Qt::white : Qt::blue));
        }
    return image;
}

std::string JpegOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes.toStdString();
}

fs::path Write(const test::TempFolder& folder, const std::string& name, const std::string& bytes)
{
    const fs::path p = folder.path() / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
}

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

bool Near(const QColor& a, QColor b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 && std::abs(a.blue() - b.blue()) < 24;
}

struct OrientationCase {
    int orientation;
    int width, height;  // upright
    // The colours at the upright photo's top-left and bottom-right corners,
    // from what EXIF says of each orientation's 0th row and column.
    QColor topLeft, bottomRight;
};

class JpegOrientation : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(JpegOrientation, OpensUpright)
{
    const OrientationCase c = GetParam();
    const test::TempFolder folder;
    const std::string plain = JpegOf(Quarters(600, 400));
    const fs::path path = Write(folder, "phone.jpg", plain.substr(0, 2) + OrientationSegment(static_cast<std::uint16_t>(c.orientation)) + plain.substr(2));
    const PhotoLoad loaded = LoadPhoto(Q(path));
    ASSERT_FALSE(loaded.photo.isNull()) << loaded.error.toStdString();
    EXPECT_EQ(loaded.photo.Width(), c.width);
    EXPECT_EQ(loaded.photo.Height(), c.height);
    const QImage& img = loaded.photo.Image();
    EXPECT_TRUE(Near(img.pixelColor(2, 2), c.topLeft)) << img.pixelColor(2, 2).name().toStdString();
    EXPECT_TRUE(Near(img.pixelColor(c.width - 3, c.height - 3), c.bottomRight))
        << img.pixelColor(c.width - 3, c.height - 3).name().toStdString();
    EXPECT_EQ(loaded.photo.Orientation(), c.orientation);

    // The key its measurements are kept under is the one the photo had while
    // it was shown as stored.
    const fs::path unturned = Write(folder, "stored.jpg", plain);
    const PhotoLoad asStored = LoadPhoto(Q(unturned));
    ASSERT_FALSE(asStored.photo.isNull());
    EXPECT_EQ(loaded.photo.CheckSum(), asStored.photo.CheckSum());
}

INSTANTIATE_TEST_SUITE_P(Exif, JpegOrientation,
                         ::testing::Values(OrientationCase{1, 600, 400, Qt::red, Qt::white},
                                           OrientationCase{2, 600, 400, Qt::green, Qt::blue},
                                           OrientationCase{3, 600, 400, Qt::white, Qt::red},
                                           OrientationCase{4, 600, 400, Qt::blue, Qt::green},
                                           OrientationCase{5, 400, 600, Qt::red, Qt::white},
                                           OrientationCase{6, 400, 600, Qt::blue, Qt::green},
                                           OrientationCase{7, 400, 600, Qt::white, Qt::red},
                                           OrientationCase{8, 400, 600, Qt::green, Qt::blue}));

// The upright point of a stored pixel holds that pixel's colour, for every orientation.
TEST(Orientation, PointsFollowThePixels)
{
    const QImage stored = Quarters(30, 20);
    for (int o = 1; o <= 8; ++o) {
        const QImage up = UprightImage(stored, o);
        const PixelSize size{30, 20};
        ASSERT_EQ((PixelSize{up.width(), up.height()}), UprightSize(o, size));
        for (const TDPoint p : {TDPoint{0, 0}, TDPoint{29, 0}, TDPoint{0, 19}, TDPoint{29, 19}, TDPoint{3, 17}}) {
            const TDPoint q = UprightPoint(o, size, p);
            EXPECT_EQ(up.pixelColor(static_cast<int>(q.x), static_cast<int>(q.y)),
                      stored.pixelColor(static_cast<int>(p.x), static_cast<int>(p.y)))
                << "orientation " << o;
            const TDPoint back = UprightPoint(InverseOrientation(o), UprightSize(o, size), q);
            EXPECT_EQ(back, p) << "orientation " << o;
        }
    }
}

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};

// A HEIC photo of image, encoded here; empty when libheif has no HEVC encoder.
std::string Heic(const QImage& source, const test::TempFolder& folder, const std::string& exifBlock = {})
{
    if (!heif_have_encoder_for_format(heif_compression_HEVC))
        return {};
    const std::unique_ptr<heif_context, ContextFree> ctx(heif_context_alloc());
    heif_image* image = nullptr;
    if (heif_image_create(source.width(), source.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code)
        return {};
    heif_image_add_plane(image, heif_channel_interleaved, source.width(), source.height(), 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), static_cast<std::size_t>(3 * rgb.width()));
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(ctx.get(), heif_compression_HEVC, &encoder);
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_image_handle* handle = nullptr;
    const heif_error e = heif_context_encode_image(ctx.get(), image, encoder, nullptr, &handle);
    heif_encoder_release(encoder);
    heif_image_release(image);
    if (e.code)
        return {};
    // libheif puts the offset of the TIFF header in front itself.
    const std::string tiff = exifBlock.starts_with(std::string("Exif\0\0", 6)) ? exifBlock.substr(6) : exifBlock;
    const bool exifFailed =
        !tiff.empty() && heif_context_add_exif_metadata(ctx.get(), handle, tiff.data(), static_cast<int>(tiff.size())).code;
    heif_image_handle_release(handle);
    if (exifFailed)
        return {};
    const fs::path out = folder.path() / "encoded.heic";
    if (heif_context_write_to_file(ctx.get(), out.c_str()).code)
        return {};
    std::ifstream in(out, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Heic, OpensLikeAnyPhoto)
{
    const test::TempFolder folder;
    const std::string heic = Heic(Quarters(64, 48), folder);
    if (heic.empty())
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    const fs::path path = Write(folder, "IMG_0001.HEIC", heic);
    const PhotoLoad loaded = LoadPhoto(Q(path));
    ASSERT_FALSE(loaded.photo.isNull()) << loaded.error.toStdString();
    EXPECT_EQ(loaded.photo.Width(), 64);
    EXPECT_EQ(loaded.photo.Height(), 48);
    EXPECT_TRUE(Near(loaded.photo.Image().pixelColor(3, 3), Qt::red));
    EXPECT_TRUE(Near(loaded.photo.Image().pixelColor(60, 44), Qt::white));

    // Both sides of the pixel limit, decided from the header.
    EXPECT_FALSE(LoadPhoto(Q(path), {}, 64 * 48).photo.isNull());
    const PhotoLoad tooLarge = LoadPhoto(Q(path), {}, 64 * 48 - 1);
    EXPECT_TRUE(tooLarge.photo.isNull());
    EXPECT_TRUE(tooLarge.error.contains(QStringLiteral("64 × 48"))) << tooLarge.error.toStdString();
}

// The camera of a HEIC photo comes from its EXIF block, read without
// decoding the picture; a HEIC photo without one tells nothing.
TEST(Heic, TellsItsCamera)
{
    const test::TempFolder folder;
    test::CameraFixture camera;
    camera.make = "Apple";
    camera.model = "iPhone 13";
    camera.lensModel = "iPhone 13 back camera 5.1mm f/1.6";
    camera.focalNum = 51;
    camera.focalDen = 10;
    camera.focal35 = 26;
    camera.date = "2023:08:14 17:05:59";
    const std::string heic = Heic(Quarters(64, 48), folder, test::ExifBlock(camera));
    if (heic.empty())
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    const std::optional<ExifInfo> exif = ReadPhotoExif(Q(Write(folder, "IMG_0002.HEIC", heic)));
    ASSERT_TRUE(exif);
    EXPECT_EQ(exif->make, "Apple");
    EXPECT_EQ(exif->model, "iPhone 13");
    EXPECT_EQ(exif->lens, "iPhone 13 back camera 5.1mm f/1.6");
    EXPECT_DOUBLE_EQ(exif->focal, 5.1);
    EXPECT_EQ(exif->focal35, 26);
    EXPECT_EQ(exif->dateTaken, "2023:08:14 17:05:59");

    const std::string bare = Heic(Quarters(64, 48), folder);
    EXPECT_FALSE(ReadPhotoExif(Q(Write(folder, "IMG_0003.HEIC", bare))));
    EXPECT_FALSE(ReadPhotoExif(Q(Write(folder, "cut.HEIC", heic.substr(0, 40)))));
}

TEST(Heic, CutShortOrDamagedIsRefusedWithAMessage)
{
    const test::TempFolder folder;
    const std::string heic = Heic(Quarters(64, 48), folder);
    if (heic.empty())
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    for (const std::size_t keep : {heic.size() - 1, heic.size() / 2, std::size_t{40}, std::size_t{12}}) {
        const PhotoLoad cut = LoadPhoto(Q(Write(folder, "cut.heic", heic.substr(0, keep))));
        EXPECT_TRUE(cut.photo.isNull()) << keep;
        EXPECT_FALSE(cut.error.isEmpty()) << keep;
    }
    // Every byte after the file type box turned over, in strides: each must
    // give a message or a photo, never a crash.
    for (std::size_t at = 24; at < heic.size(); at += 7) {
        std::string damaged = heic;
        damaged[at] = static_cast<char>(~damaged[at]);
        const PhotoLoad r = LoadPhoto(Q(Write(folder, "damaged.heic", damaged)));
        EXPECT_NE(r.photo.isNull(), r.error.isEmpty()) << at;
    }
}

} // namespace
} // namespace kvx
