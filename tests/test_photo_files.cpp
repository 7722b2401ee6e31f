// Photo files as they come: every coding we read, whole, cut short, cut and
// closed again with an end code, and tiny files that claim a huge picture.

#include "image/photo.h"

#include "workfolder.h"

#include <QBuffer>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <future>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <xxhash.h>

namespace kvx {
namespace {

using test::TempFolder;

// Enough detail that no coding gets the picture into a few bytes.
QImage Detailed(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) % 256, (x ^ y) % 256, (y * 3 + x / 5) % 256));
    return image;
}

struct JpegCoding {
    bool arithmetic = false;
    bool progressive = false;
    int restartRows = 0;
    // Four inks as print work stores them, in CMYK or in YCCK.
    J_COLOR_SPACE inks = JCS_UNKNOWN;
};

std::string EncodeJpeg(const QImage& image, JpegCoding coding)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width());
    cinfo.image_height = static_cast<JDIMENSION>(image.height());
    const bool four = coding.inks != JCS_UNKNOWN;
    cinfo.input_components = four ? 4 : 3;
    cinfo.in_color_space = four ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (four)
        jpeg_set_colorspace(&cinfo, coding.inks);
    jpeg_set_quality(&cinfo, 75, TRUE);
    cinfo.arith_code = coding.arithmetic ? TRUE : FALSE;
    if (coding.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.restart_in_rows = coding.restartRows;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> inks(static_cast<std::size_t>(image.width()) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(y));
        if (four) {
            for (int x = 0; x < image.width(); ++x) {
                for (int c = 0; c < 3; ++c)
                    inks[static_cast<std::size_t>(4 * x + c)] = static_cast<JSAMPLE>(255 - row[3 * x + c]);
                inks[static_cast<std::size_t>(4 * x + 3)] = static_cast<JSAMPLE>(120 + (x * 3 + y) % 136);
            }
            row = inks.data();
        }
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

void PutLe(std::string& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Palette index of each pixel: bands wide enough for runs, narrow enough for
// literal stretches too.
int Index(int x, int y, int colours)
{
    return ((x / 9) + (y / 4) + (x % 3 == 0 && y % 2 == 0 ? 1 : 0)) % colours;
}

QRgb PaletteColour(int i)
{
    return qRgb(i * 15 % 256, (i * 40 + 20) % 256, 255 - i * 9 % 256);
}

// A run-length coded bitmap (8 or 4 bits a pixel) of width x height, as a
// camera's companion tools write them: runs where pixels repeat, literal
// stretches where they do not, an end-of-line code after every row and the
// end-of-bitmap code last.
std::string RunLengthBmp(int width, int height, int bits)
{
    const int colours = bits == 8 ? 256 : 16;
    std::string data;
    for (int y = height - 1; y >= 0; --y) {
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && run < 255 && Index(x + run, y, colours) == Index(x, y, colours))
                ++run;
            if (run >= 2 || width - x < 3) {
                const int v = Index(x, y, colours);
                data += static_cast<char>(run);
                data += static_cast<char>(bits == 8 ? v : (v << 4) | v);
                x += run;
                continue;
            }
            // A literal stretch up to the next repeat.
            int n = 1;
            while (x + n < width && n < 255 && Index(x + n, y, colours) != Index(x + n - 1, y, colours))
                ++n;
            if (n < 3) {
                data += static_cast<char>(1);
                const int v = Index(x, y, colours);
                data += static_cast<char>(bits == 8 ? v : (v << 4) | v);
                x += 1;
                continue;
            }
            data += '\0';
            data += static_cast<char>(n);
            std::string literal;
            for (int i = 0; i < n; ++i) {
                const int v = Index(x + i, y, colours);
                if (bits == 8)
                    literal += static_cast<char>(v);
                else if (i % 2 == 0)
                    literal += static_cast<char>(v << 4);
                else
                    literal.back() = static_cast<char>(literal.back() | v);
            }
            if (literal.size() % 2)
                literal += '\0';
            data += literal;
            x += n;
        }
        data += std::string("\0\0", 2);
    }
    data += std::string("\0\1", 2);

    std::string palette;
    for (int i = 0; i < colours; ++i) {
        const QRgb c = PaletteColour(i);
        palette += static_cast<char>(qBlue(c));
        palette += static_cast<char>(qGreen(c));
        palette += static_cast<char>(qRed(c));
        palette += '\0';
    }
    const auto offset = static_cast<std::uint32_t>(14 + 40 + palette.size());
    std::string file = "BM";
    PutLe(file, offset + static_cast<std::uint32_t>(data.size()), 4);
    PutLe(file, 0, 4);
    PutLe(file, offset, 4);
    PutLe(file, 40, 4);
    PutLe(file, static_cast<std::uint32_t>(width), 4);
    PutLe(file, static_cast<std::uint32_t>(height), 4);
    PutLe(file, 1, 2);
    PutLe(file, static_cast<std::uint32_t>(bits), 2);
    PutLe(file, bits == 8 ? 1 : 2, 4);
    PutLe(file, static_cast<std::uint32_t>(data.size()), 4);
    PutLe(file, 2835, 4);
    PutLe(file, 2835, 4);
    PutLe(file, static_cast<std::uint32_t>(colours), 4);
    PutLe(file, 0, 4);
    return file + palette + data;
}

QImage RunLengthPicture(int width, int height, int bits)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, PaletteColour(Index(x, y, bits == 8 ? 256 : 16)));
    return image;
}

// A 32-bit bitmap with colour masks: uncompressed, but not the plain coding.
std::string MaskedBmp(const QImage& image)
{
    std::string file = "BM";
    const std::uint32_t offset = 14 + 40 + 12;
    const auto data = static_cast<std::uint32_t>(image.width() * image.height() * 4);
    PutLe(file, offset + data, 4);
    PutLe(file, 0, 4);
    PutLe(file, offset, 4);
    PutLe(file, 40, 4);
    PutLe(file, static_cast<std::uint32_t>(image.width()), 4);
    PutLe(file, static_cast<std::uint32_t>(image.height()), 4);
    PutLe(file, 1, 2);
    PutLe(file, 32, 2);
    PutLe(file, 3, 4);
    PutLe(file, data, 4);
    PutLe(file, 2835, 4);
    PutLe(file, 2835, 4);
    PutLe(file, 0, 4);
    PutLe(file, 0, 4);
    PutLe(file, 0x00FF0000, 4);
    PutLe(file, 0x0000FF00, 4);
    PutLe(file, 0x000000FF, 4);
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = 0; x < image.width(); ++x)
            PutLe(file, image.pixel(x, y) & 0xFFFFFF, 4);
    return file;
}

std::string Written(const QImage& image, const char* format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, format).write(image));
    return buffer.data().toStdString();
}

std::string Half(const std::string& whole)
{
    return whole.substr(0, whole.size() / 2);
}

// A progressive file cut cleanly before one of its later scans and closed:
// every scan left is whole, only the finest detail is missing.
std::string ClosedBeforeScan(const std::string& whole, int scan)
{
    std::size_t at = 0;
    for (int i = 0; i < scan; ++i)
        at = whole.find("\xFF\xDA", at + 1);
    EXPECT_NE(at, std::string::npos);
    return whole.substr(0, at) + "\xFF\xD9";
}

// The same for a run-length bitmap: its first half up to the end of a row,
// then the end-of-bitmap code.
std::string ClosedBitmap(const std::string& whole)
{
    const std::size_t endOfRow = whole.find(std::string("\0\0", 2), whole.size() / 2);
    EXPECT_NE(endOfRow, std::string::npos);
    return whole.substr(0, endOfRow + 2) + std::string("\0\1", 2);
}

// What a repair tool or a careless copy leaves: the first half, then an end
// code as if the picture were complete.
std::string HalfClosed(const std::string& whole)
{
    return Half(whole) + "\xFF\xD9";
}

PhotoLoad LoadBytes(const TempFolder& folder, const std::string& name, const std::string& bytes)
{
    test::WriteAll(folder.path() / name, bytes);
    return LoadPhoto(QString::fromStdString((folder.path() / name).string()));
}

struct FileCase {
    const char* name;
    std::function<std::string()> bytes;
};

std::ostream& operator<<(std::ostream& out, const FileCase& c)
{
    return out << c.name;
}

std::string CaseName(const ::testing::TestParamInfo<FileCase>& param)
{
    std::string n = param.param.name;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return n;
}

const QImage& Picture()
{
    static const QImage picture = Detailed(320, 240);
    return picture;
}

// --- whole files of every coding open ---------------------------------------

class WholeFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(WholeFile, Opens)
{
    TempFolder folder;
    const PhotoLoad r = LoadBytes(folder, GetParam().name, GetParam().bytes());
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.photo.Width(), 320);
    EXPECT_EQ(r.photo.Height(), 240);
}

// The fingerprint comes from the very bytes decoded, in the same read.
std::string Xxh128Hex(const std::string& bytes)
{
    const XXH128_hash_t h = XXH3_128bits(bytes.data(), bytes.size());
    char hex[33];
    std::snprintf(hex, sizeof hex, "%016llx%016llx", static_cast<unsigned long long>(h.high64),
                  static_cast<unsigned long long>(h.low64));
    return hex;
}

TEST_P(WholeFile, CarriesTheFingerprintOfItsBytes)
{
    TempFolder folder;
    const std::string bytes = GetParam().bytes();
    const PhotoLoad r = LoadBytes(folder, GetParam().name, bytes);
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.photo.FileFingerprint(), Xxh128Hex(bytes));
    EXPECT_EQ(PhotoFingerprint(QString::fromStdString((folder.path() / GetParam().name).string())), Xxh128Hex(bytes));
}

INSTANTIATE_TEST_SUITE_P(
    EveryCoding, WholeFile,
    ::testing::Values(FileCase{"baseline.jpg", [] { return EncodeJpeg(Picture(), {}); }},
                      FileCase{"progressive.jpg", [] { return EncodeJpeg(Picture(), {false, true, 0}); }},
                      FileCase{"arithmetic.jpg", [] { return EncodeJpeg(Picture(), {true, false, 0}); }},
                      FileCase{"arithmetic-progressive.jpg", [] { return EncodeJpeg(Picture(), {true, true, 0}); }},
                      FileCase{"restarts.jpg", [] { return EncodeJpeg(Picture(), {false, false, 1}); }},
                      FileCase{"arithmetic-restarts.jpg", [] { return EncodeJpeg(Picture(), {true, false, 1}); }},
                      FileCase{"rle8.bmp", [] { return RunLengthBmp(320, 240, 8); }},
                      FileCase{"rle4.bmp", [] { return RunLengthBmp(320, 240, 4); }},
                      FileCase{"masks.bmp", [] { return MaskedBmp(Picture()); }},
                      FileCase{"photo.png", [] { return Written(Picture(), "png"); }},
                      FileCase{"photo.ppm", [] { return Written(Picture(), "ppm"); }},
                      FileCase{"plain.bmp", [] { return Written(Picture(), "bmp"); }}),
    CaseName);

// Known values of the 128-bit XXH3 (xxhsum -H2), and the SHA-256 earlier
// versions stored (sha256sum), of files named by their bytes.
TEST(PhotoFiles, FingerprintsAreTheStandardHashesInLowerCaseHex)
{
    TempFolder folder;
    const std::string empty = (folder.path() / "empty.jpg").string();
    test::WriteAll(empty, "");
    EXPECT_EQ(PhotoFingerprint(QString::fromStdString(empty)), "99aa06d3014798d86001c324468d497f");
    EXPECT_EQ(OlderPhotoFingerprint(QString::fromStdString(empty)),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = (folder.path() / "abc.jpg").string();
    test::WriteAll(abc, "abc");
    EXPECT_EQ(OlderPhotoFingerprint(QString::fromStdString(abc)),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(PhotoFingerprint(QString::fromStdString(abc)), Xxh128Hex("abc"));
    EXPECT_NE(PhotoFingerprint(QString::fromStdString(abc)), PhotoFingerprint(QString::fromStdString(empty)));

    // Over a megabyte: more than one block of the fingerprint's reading.
    const std::string large = Written(Detailed(1100, 900), "bmp");
    ASSERT_GT(large.size(), std::size_t{2} << 20);
    const PhotoLoad r = LoadBytes(folder, "large.bmp", large);
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.photo.FileFingerprint(), Xxh128Hex(large));
}

// Plain stretches code into very few bits, and the decoder reads its last
// bytes some rows ahead of the pixels it gives; that is no cut-off file.
TEST(PhotoFiles, PlainStretchesAtTheEndAreNoCutOff)
{
    TempFolder folder;
    QImage narrow(16, 400, QImage::Format_RGB888);
    narrow.fill(qRgb(128, 128, 128));
    QImage plainLowerHalf = Detailed(320, 240);
    for (int y = 120; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            plainLowerHalf.setPixel(x, y, qRgb(90, 90, 90));
    QImage plain(320, 240, QImage::Format_RGB888);
    plain.fill(qRgb(200, 180, 160));
    for (const QImage& image : {narrow, plainLowerHalf, plain}) {
        for (const bool progressive : {false, true}) {
            SCOPED_TRACE(::testing::Message() << image.width() << " x " << image.height() << (progressive ? " progressive" : ""));
            const PhotoLoad r = LoadBytes(folder, "plain.jpg", EncodeJpeg(image, {false, progressive, 0}));
            EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
            EXPECT_EQ(r.photo.Height(), image.height());
        }
    }
    // Arithmetic coding drops the zeros a plain foot of the picture codes
    // into; a narrow band there is allowed for.
    QImage plainFoot = Detailed(320, 240);
    for (int y = 224; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            plainFoot.setPixel(x, y, qRgb(0, 0, 0));
    for (const bool progressive : {false, true}) {
        const PhotoLoad r = LoadBytes(folder, "foot.jpg", EncodeJpeg(plainFoot, {true, progressive, 0}));
        EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString() << (progressive ? " progressive" : "");
    }
}

TEST(PhotoFiles, RunLengthBitmapsKeepTheirPixels)
{
    TempFolder folder;
    for (const int bits : {8, 4}) {
        const PhotoLoad r = LoadBytes(folder, "rle.bmp", RunLengthBmp(53, 31, bits));
        ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        EXPECT_EQ(r.photo.Image(), RunLengthPicture(53, 31, bits)) << bits << " bits a pixel";
    }
}

// Four-colour JPEGs used to be left to Qt's reader; ours must give the very
// same pixels, or the check sums their measurements are kept under would change.
TEST(PhotoFiles, FourColourJpegsGiveThePixelsTheyAlwaysGave)
{
    TempFolder folder;
    for (const J_COLOR_SPACE inks : {JCS_CMYK, JCS_YCCK}) {
        for (const bool arithmetic : {false, true}) {
            SCOPED_TRACE(::testing::Message() << (inks == JCS_CMYK ? "CMYK" : "YCCK") << (arithmetic ? " arithmetic" : ""));
            JpegCoding coding;
            coding.inks = inks;
            coding.arithmetic = arithmetic;
            test::WriteAll(folder.path() / "print.jpg", EncodeJpeg(Picture(), coding));
            const QString path = QString::fromStdString((folder.path() / "print.jpg").string());
            const PhotoLoad r = LoadPhoto(path);
            ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
            const QImage qt = QImage(path).convertToFormat(QImage::Format_RGB888);
            ASSERT_EQ(qt.size(), QSize(320, 240));
            EXPECT_EQ(r.photo.Image(), qt);
            EXPECT_EQ(r.photo.CheckSum(), Photo(qt).CheckSum());
        }
    }
}

// --- cut-off files are refused -------------------------------------------------

class CutOffFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(CutOffFile, IsRefused)
{
    TempFolder folder;
    const PhotoLoad r = LoadBytes(folder, GetParam().name, GetParam().bytes());
    EXPECT_TRUE(r.photo.isNull());
    EXPECT_TRUE(r.error.contains(QStringLiteral("途中で切れている"))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QString::fromUtf8(GetParam().name))) << r.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    EveryCoding, CutOffFile,
    ::testing::Values(
        FileCase{"half-rle8.bmp", [] { return Half(RunLengthBmp(320, 240, 8)); }},
        FileCase{"half-rle4.bmp", [] { return Half(RunLengthBmp(320, 240, 4)); }},
        FileCase{"closed-rle8.bmp", [] { return ClosedBitmap(RunLengthBmp(320, 240, 8)); }},
        FileCase{"half-masks.bmp", [] { return Half(MaskedBmp(Picture())); }},
        FileCase{"closed-baseline.jpg", [] { return HalfClosed(EncodeJpeg(Picture(), {})); }},
        FileCase{"closed-progressive.jpg", [] { return HalfClosed(EncodeJpeg(Picture(), {false, true, 0})); }},
        FileCase{"closed-restarts.jpg", [] { return HalfClosed(EncodeJpeg(Picture(), {false, false, 1})); }},
        FileCase{"half-arithmetic.jpg", [] { return Half(EncodeJpeg(Picture(), {true, false, 0})); }},
        FileCase{"closed-arithmetic.jpg", [] { return HalfClosed(EncodeJpeg(Picture(), {true, false, 0})); }},
        FileCase{"closed-arithmetic-progressive.jpg",
                 [] { return HalfClosed(EncodeJpeg(Picture(), {true, true, 0})); }},
        FileCase{"closed-arithmetic-restarts.jpg", [] { return HalfClosed(EncodeJpeg(Picture(), {true, false, 1})); }},
        FileCase{"between-scans-progressive.jpg",
                 [] { return ClosedBeforeScan(EncodeJpeg(Picture(), {false, true, 0}), 8); }},
        FileCase{"between-scans-arithmetic-progressive.jpg",
                 [] { return ClosedBeforeScan(EncodeJpeg(Picture(), {true, true, 0}), 8); }},
        FileCase{"closed-arithmetic-cmyk.jpg",
                 [] { return HalfClosed(EncodeJpeg(Picture(), {true, false, 0, JCS_CMYK})); }}),
    CaseName);

// Bits that are no code at all in the middle of the picture: the decoder would
// skip ahead and paint a guess over the rest of the row.
TEST(PhotoFiles, JpegWithCodesThatMakeNoSenseIsRefused)
{
    TempFolder folder;
    std::string jpeg = EncodeJpeg(Picture(), {});
    const std::size_t scan = jpeg.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    std::size_t at = (scan + jpeg.size()) / 2;
    while (static_cast<unsigned char>(jpeg[at - 1]) == 0xFF)
        ++at;
    // Twenty-four one bits (each 0xFF stuffed with a zero as the coding
    // demands): longer than any Huffman code.
    jpeg.replace(at, 6, std::string("\xFF\x00\xFF\x00\xFF\x00", 6));
    const PhotoLoad r = LoadBytes(folder, "garbled.jpg", jpeg);
    EXPECT_TRUE(r.photo.isNull());
    EXPECT_TRUE(r.error.contains(QStringLiteral("garbled.jpg"))) << r.error.toStdString();
}

// --- tiny files that claim a huge picture ------------------------------------

// Rewrites the picture size a file announces, leaving the data as it was.
std::string Claiming(std::string bytes, std::size_t widthAt, std::size_t heightAt, int fieldBytes, bool bigEndian,
                     std::uint32_t width, std::uint32_t height)
{
    for (const auto& [at, v] : {std::pair{widthAt, width}, std::pair{heightAt, height}})
        for (int i = 0; i < fieldBytes; ++i) {
            const int shift = 8 * (bigEndian ? fieldBytes - 1 - i : i);
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> shift) & 0xFF);
        }
    return bytes;
}

std::string HugeRunLengthBmp()
{
    return Claiming(RunLengthBmp(16, 16, 8), 18, 22, 4, false, 15000, 16000);
}

std::string HugeArithmeticJpeg()
{
    const std::string small = EncodeJpeg(Detailed(16, 16), {true, false, 0});
    const std::size_t sof = small.find("\xFF\xC9");
    EXPECT_NE(sof, std::string::npos);
    return Claiming(small, sof + 7, sof + 5, 2, true, 15000, 16000);
}

std::uint32_t Crc(const std::string& bytes)
{
    std::uint32_t c = 0xFFFFFFFF;
    for (const char ch : bytes) {
        c ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

std::string HugePng()
{
    std::string png = Claiming(Written(Detailed(16, 16), "png"), 16, 20, 4, true, 15000, 16000);
    // The header's check sum covers its type and fields (bytes 12 to 28).
    const std::uint32_t crc = Crc(png.substr(12, 17));
    for (int i = 0; i < 4; ++i)
        png[29 + static_cast<std::size_t>(i)] = static_cast<char>((crc >> (8 * (3 - i))) & 0xFF);
    return png;
}

class ClaimsAHugePicture : public ::testing::TestWithParam<FileCase> {};

TEST_P(ClaimsAHugePicture, IsRefusedAsDamaged)
{
    TempFolder folder;
    const std::string bytes = GetParam().bytes();
    ASSERT_LT(bytes.size(), 2000u);
    const PhotoLoad r = LoadBytes(folder, GetParam().name, bytes);
    EXPECT_TRUE(r.photo.isNull());
    EXPECT_TRUE(r.error.contains(QStringLiteral("15000 × 16000"))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QStringLiteral("壊れている"))) << r.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(EveryCoding, ClaimsAHugePicture,
                         ::testing::Values(FileCase{"rle8.bmp", HugeRunLengthBmp},
                                           FileCase{"arithmetic.jpg", HugeArithmeticJpeg},
                                           FileCase{"photo.png", HugePng}),
                         CaseName);

TEST(PhotoFiles, PlainPicturesInSmallFilesStillOpen)
{
    // A blank 2000 x 2000 page packs into a few kilobytes; it is no photo to
    // measure, but nothing about it is damaged.
    QImage blank(2000, 2000, QImage::Format_RGB888);
    blank.fill(Qt::white);
    TempFolder folder;
    const std::string png = Written(blank, "png");
    ASSERT_LT(png.size(), 20000u);
    const PhotoLoad r = LoadBytes(folder, "blank.png", png);
    EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.photo.Width(), 2000);

    EXPECT_TRUE(PlausibleForFileSize(6000, 4000, 100'000)) << "a plain 24-megapixel photo in 100 KB";
    EXPECT_FALSE(PlausibleForFileSize(15000, 16000, 1024));
}

// --- photos over the user's pixel limit ---------------------------------------

// The baseline JPEG's frame header holds its height, then its width.
std::string JpegClaiming(std::uint32_t width, std::uint32_t height)
{
    const std::string small = EncodeJpeg(Detailed(16, 16), {});
    const std::size_t sof = small.find("\xFF\xC0");
    EXPECT_NE(sof, std::string::npos);
    return Claiming(small, sof + 7, sof + 5, 2, true, width, height);
}

std::string PngClaiming(std::uint32_t width, std::uint32_t height)
{
    std::string png = Claiming(Written(Detailed(16, 16), "png"), 16, 20, 4, true, width, height);
    const std::uint32_t crc = Crc(png.substr(12, 17));
    for (int i = 0; i < 4; ++i)
        png[29 + static_cast<std::size_t>(i)] = static_cast<char>((crc >> (8 * (3 - i))) & 0xFF);
    return png;
}

std::string BmpClaiming(std::uint32_t width, std::uint32_t height)
{
    return Claiming(Written(Detailed(16, 16), "bmp"), 18, 22, 4, false, width, height);
}

std::string RunLengthBmpClaiming(std::uint32_t width, std::uint32_t height)
{
    return Claiming(RunLengthBmp(16, 16, 8), 18, 22, 4, false, width, height);
}

// The portable any-maps: a text header, then a few bytes of pixels.
std::string AnyMap(const char* magic, std::uint32_t width, std::uint32_t height)
{
    std::string out = std::string(magic) + "\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    if (std::string(magic) != "P4")
        out += "255\n";
    return out + std::string(64, '\x80');
}

struct LimitCase {
    const char* name;
    std::function<std::string(std::uint32_t width, std::uint32_t height)> bytes;
};

std::ostream& operator<<(std::ostream& out, const LimitCase& c)
{
    return out << c.name;
}

const LimitCase kEveryAcceptedCoding[] = {
    {"photo.jpg", JpegClaiming},
    {"photo.png", PngClaiming},
    {"photo.bmp", BmpClaiming},
    {"rle8.bmp", RunLengthBmpClaiming},
    {"photo.ppm", [](std::uint32_t w, std::uint32_t h) { return AnyMap("P6", w, h); }},
    {"photo.pgm", [](std::uint32_t w, std::uint32_t h) { return AnyMap("P5", w, h); }},
    {"photo.pbm", [](std::uint32_t w, std::uint32_t h) { return AnyMap("P4", w, h); }},
};

class OverThePixelLimit : public ::testing::TestWithParam<LimitCase> {};

// A small file announcing a picture of 16000 x 15600 pixels, the size of a
// single-colour PNG of 756 KB that took a gigabyte to open: with the limit
// set below it, it is refused by its header, before anything is decoded (a
// decoded file this small would be cut off or damaged, and say so).
TEST_P(OverThePixelLimit, IsRefusedBeforeDecodingWithItsSize)
{
    TempFolder folder;
    const std::string bytes = GetParam().bytes(16000, 15600);
    ASSERT_LT(bytes.size(), 4000u);
    test::WriteAll(folder.path() / GetParam().name, bytes);
    const QString path = QString::fromStdString((folder.path() / GetParam().name).string());
    const PhotoLoad r = LoadPhoto(path, {}, 100'000'000);
    EXPECT_TRUE(r.photo.isNull());
    EXPECT_TRUE(r.error.contains(QStringLiteral("大きすぎ"))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QStringLiteral("16000 × 15600"))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QStringLiteral("249.6 メガ画素"))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QStringLiteral("100.0 メガ画素"))) << "the limit is named: " << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QString::fromUtf8(GetParam().name))) << r.error.toStdString();

    // Far past the default limit: refused the same way without a word about damage.
    test::WriteAll(folder.path() / GetParam().name, GetParam().bytes(60000, 60000));
    const PhotoLoad bomb = LoadPhoto(path);
    EXPECT_TRUE(bomb.photo.isNull());
    EXPECT_TRUE(bomb.error.contains(QStringLiteral("60000 × 60000"))) << bomb.error.toStdString();
    EXPECT_TRUE(bomb.error.contains(QStringLiteral("3600.0 メガ画素"))) << bomb.error.toStdString();
    EXPECT_TRUE(bomb.error.contains(QStringLiteral("250.0 メガ画素"))) << bomb.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(EveryCoding, OverThePixelLimit, ::testing::ValuesIn(kEveryAcceptedCoding),
                         [](const auto& tp) {
                             std::string n = tp.param.name;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

// Both sides of the limit, in every coding that keeps a picture whole: a
// photo of exactly as many pixels as allowed opens, one pixel fewer allowed
// refuses it.
TEST(PhotoFiles, ThePixelLimitIsInclusive)
{
    TempFolder folder;
    const QImage picture = Detailed(40, 25);
    const std::pair<const char*, std::string> files[] = {
        {"a.jpg", EncodeJpeg(picture, {})},      {"a.png", Written(picture, "png")},
        {"a.bmp", Written(picture, "bmp")},      {"a.ppm", Written(picture, "ppm")},
        {"a.pgm", Written(picture, "pgm")},      {"a.pbm", Written(picture, "pbm")},
    };
    for (const auto& [name, bytes] : files) {
        test::WriteAll(folder.path() / name, bytes);
        const QString path = QString::fromStdString((folder.path() / name).string());
        const PhotoLoad at = LoadPhoto(path, {}, 1000);
        EXPECT_TRUE(at.error.isEmpty()) << name << ": " << at.error.toStdString();
        EXPECT_EQ(at.photo.Width(), 40) << name;
        const PhotoLoad over = LoadPhoto(path, {}, 999);
        EXPECT_TRUE(over.photo.isNull()) << name;
        EXPECT_TRUE(over.error.contains(QStringLiteral("40 × 25"))) << name << ": " << over.error.toStdString();
    }
}

// --- what is no regular file ----------------------------------------------------

// A named pipe without a writer blocks whoever opens it for reading; a photo
// dialog, a drag or a recovery note naming one froze the window for good.
// The load runs beside the test: should it block, the test opens the pipe's
// other end itself to let it go, and fails.
TEST(PhotoFiles, APipeIsRefusedWithoutWaiting)
{
    TempFolder folder;
    const std::string fifo = (folder.path() / "photo.jpg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto load = std::async(std::launch::async, [&] { return LoadPhoto(QString::fromStdString(fifo)); });
    if (load.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "opening a pipe blocked";
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    const PhotoLoad r = load.get();
    EXPECT_TRUE(r.photo.isNull());
    EXPECT_TRUE(r.error.contains(QStringLiteral("photo.jpg"))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QStringLiteral("通常のファイルではない"))) << r.error.toStdString();
    EXPECT_EQ(PhotoFingerprint(QString::fromStdString(fifo)), "") << "nor is it read for its fingerprint";

    // A device is no photo either, however much it would give.
    const PhotoLoad device = LoadPhoto(QStringLiteral("/dev/zero"));
    EXPECT_TRUE(device.photo.isNull());
    EXPECT_TRUE(device.error.contains(QStringLiteral("通常のファイルではない"))) << device.error.toStdString();
}

// --- hostile photo files, replayed ---------------------------------------------

std::string Junk(std::uint32_t seed, std::size_t size)
{
    std::uint32_t x = seed * 2654435761u + 1;
    std::string out(size, '\0');
    for (char& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    return out;
}

struct HostilePhoto {
    const char* name;
    std::function<std::string()> bytes;
    bool opens;
};

std::ostream& operator<<(std::ostream& out, const HostilePhoto& c)
{
    return out << c.name;
}

class HostilePhotos : public ::testing::TestWithParam<HostilePhoto> {};

// Each ends in a photo or in a message naming the file; never a crash, a hang
// or memory for pixels that are not there.
TEST_P(HostilePhotos, EndInAPhotoOrAClearRefusal)
{
    TempFolder folder;
    const HostilePhoto& c = GetParam();
    const PhotoLoad r = LoadBytes(folder, c.name, c.bytes());
    if (c.opens) {
        EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        EXPECT_FALSE(r.photo.isNull());
    } else {
        EXPECT_TRUE(r.photo.isNull());
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.name))) << r.error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replay, HostilePhotos,
    ::testing::Values(
        HostilePhoto{"whole.jpg", [] { return EncodeJpeg(Detailed(32, 32), {}); }, true},
        HostilePhoto{"empty.jpg", [] { return std::string(); }, false},
        HostilePhoto{"magic-only.jpg", [] { return std::string("\xFF\xD8"); }, false},
        HostilePhoto{"header-cut.jpg", [] { return EncodeJpeg(Detailed(32, 32), {}).substr(0, 100); }, false},
        HostilePhoto{"junk-after-magic.jpg", [] { return "\xFF\xD8" + Junk(1, 3000); }, false},
        HostilePhoto{"zero-size.jpg", [] { return JpegClaiming(0, 0); }, false},
        HostilePhoto{"widest.jpg", [] { return JpegClaiming(65535, 1); }, false},
        HostilePhoto{"magic-only.png", [] { return std::string("\x89PNG\r\n\x1A\n", 8); }, false},
        HostilePhoto{"junk-after-magic.png", [] { return std::string("\x89PNG\r\n\x1A\n", 8) + Junk(2, 3000); }, false},
        HostilePhoto{"zero-size.png", [] { return PngClaiming(0, 0); }, false},
        HostilePhoto{"beyond-int.png", [] { return PngClaiming(0xFFFFFFFF, 0xFFFFFFFF); }, false},
        HostilePhoto{"magic-only.bmp", [] { return std::string("BM"); }, false},
        HostilePhoto{"header-cut.bmp", [] { return Written(Detailed(16, 16), "bmp").substr(0, 30); }, false},
        HostilePhoto{"junk-after-magic.bmp", [] { return "BM" + Junk(3, 3000); }, false},
        HostilePhoto{"negative-size.bmp", [] { return BmpClaiming(0x80000000u, 0x80000000u); }, false},
        HostilePhoto{"huge.ppm", [] { return AnyMap("P6", 4000000000u, 4000000000u); }, false},
        HostilePhoto{"no-size.ppm", [] { return std::string("P6\n"); }, false},
        HostilePhoto{"maxval-zero.pgm", [] { return std::string("P5\n2 2\n0\n\x01\x02\x03\x04"); }, false},
        HostilePhoto{"junk.jpg", [] { return Junk(4, 5000); }, false},
        HostilePhoto{"all-zero.png", [] { return std::string(4096, '\0'); }, false}),
    [](const auto& tp) {
        std::string n = tp.param.name;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return n;
    });

// --- codings whose cut-off files cannot be told apart are not read -----------

TEST(PhotoFiles, CodingsThatHideMissingDataAreRefused)
{
    TempFolder folder;
    const std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
                          "\x00\x02\x02\x44\x01\x00;",
                          35);
    const std::string xbm = "#define a_width 8\n#define a_height 2\nstatic char a_bits[] = {0x0f, 0xf0};\n";
    for (const auto& [name, bytes] : {std::pair{"dot.gif", gif}, std::pair{"dot.xbm", xbm}}) {
        const PhotoLoad r = LoadBytes(folder, name, bytes);
        EXPECT_TRUE(r.photo.isNull()) << name;
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(name))) << r.error.toStdString();
    }
}

} // namespace
} // namespace kvx
