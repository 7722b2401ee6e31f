#include "image/effects.h"
#include "image/loupe.h"
#include "image/corner_snap.h"
#include "image/png_encode.h"
#include "image/rectify.h"
#include "measure/calibration.h"
#include "image/photo.h"
#include "image/photo_view.h"
#include "image/zoom.h"

#include "testing.h"
#include "workfolder.h"
#include "view/view_mapping.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

namespace kvx {
namespace {

using test::TempFolder;

TEST(Zoom, FitTheWholePhoto)
{
    const View v = ZoomAllView(641, 629, 4000, 3000);
    EXPECT_NEAR(v.DispScale, 0.16025, 1e-9);
    EXPECT_EQ(v.StartX, 1);
    EXPECT_EQ(v.StartY, 1);
    EXPECT_EQ(ZoomAllView(641, 629, 20000, 20000).DispScale, 0.1) << "not 0.03145: the lower limit";
}

TEST(Zoom, ToolLimits)
{
    EXPECT_EQ(ZoomUpScale(20, 2.0), 30);
    EXPECT_EQ(ZoomDownScale(0.03, 0.5), 0.02);
    EXPECT_DOUBLE_EQ(ZoomUpScale(1, 0), 1.2) << "factor 0 means the wheel's step";
    EXPECT_DOUBLE_EQ(ZoomDownScale(1, -1), 0.8333333333333334);
}

struct AnchorCase {
    const char* name;
    ViewState view;   // before the notches, offset as the display sets it
    int imageWidth, imageHeight;
    int notches;      // in (positive) or out
};

class ZoomAnchor : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(ZoomAnchor, TheImagePointUnderThePointerStaysPut)
{
    const AnchorCase c = GetParam();
    const int controlWidth = 800, controlHeight = 600;
    ViewState view = c.view;
    const TPoint pointer{500, 350};
    for (int i = 0; i < std::abs(c.notches); ++i) {
        const TDPoint p = StoW(view, pointer);
        const double scale = c.notches > 0 ? ZoomUpScale(view.DispScale, kWheelIn) : ZoomDownScale(view.DispScale, kWheelOut);
        const View v = AnchoredZoom(view, p, scale, controlWidth, controlHeight, c.imageWidth, c.imageHeight);
        const TPoint offset = DisplayOffset(v, controlWidth, controlHeight, c.imageWidth, c.imageHeight);
        view = ViewState{v.StartX, v.StartY, v.DispScale, offset.x, offset.y};
        // Half an image pixel of rounding in the origin, and one screen pixel;
        // along an axis where the photo is still smaller than the control it
        // is centred instead.
        const TPoint after = WtoS(view, p);
        if (c.imageWidth * view.DispScale >= controlWidth)
            EXPECT_LE(std::abs(after.x - pointer.x), view.DispScale / 2 + 1) << c.name << " notch " << i;
        else
            EXPECT_EQ(offset.x, static_cast<int>((controlWidth - c.imageWidth * view.DispScale) / 2));
        if (c.imageHeight * view.DispScale >= controlHeight)
            EXPECT_LE(std::abs(after.y - pointer.y), view.DispScale / 2 + 1) << c.name << " notch " << i;
        else
            EXPECT_EQ(offset.y, static_cast<int>((controlHeight - c.imageHeight * view.DispScale) / 2));
    }
}

// A 400 x 300 photo fitted into 800 x 600 fills it; 400 x 200 leaves a band
// of 100 pixels above and below, as "全体表示" shows it.
INSTANTIATE_TEST_SUITE_P(Zoom, ZoomAnchor,
                         ::testing::Values(AnchorCase{"inside a large photo", {100, 80, 0.5, 0, 0}, 4000, 3000, 3},
                                           AnchorCase{"letterboxed fit", {0, 0, 2.0, 0, 100}, 400, 200, 4},
                                           AnchorCase{"pillarboxed fit", {0, 0, 2.0, 100, 0}, 300, 300, 5},
                                           AnchorCase{"deep in and out again", {1000, 900, 20.0, 0, 0}, 4000, 3000, -6}),
                         [](const auto& anchorCase) {
                             std::string n = anchorCase.param.name;
                             std::replace(n.begin(), n.end(), ' ', '_');
                             return n;
                         });

TEST(Zoom, WindowAndClamp)
{
    const View w = ZoomWindowView(600, 400, {100.7, 300}, {400.2, 200});
    EXPECT_DOUBLE_EQ(w.DispScale, std::min(600 / 299.5, 400 / 100.0));
    EXPECT_EQ(w.StartX, 100);
    EXPECT_EQ(w.StartY, 200);
    EXPECT_EQ(ZoomWindowView(600, 400, {10, 10}, {10, 50}).DispScale, 10) << "no width: the height decides";
    EXPECT_EQ(ZoomWindowView(600, 400, {10, 10}, {10, 10}).DispScale, 30) << "no size at all: the upper limit";

    EXPECT_EQ(ClampView({1, 1, 0.1}, 641, 629, 4000, 3000), (View{0, 0, 0.1})) << "the whole photo fits";
    EXPECT_EQ(ClampView({3900, -5, 1.0}, 600, 400, 4000, 3000), (View{3400, 0, 1.0}));
    const TPoint off = DisplayOffset({0, 0, 0.1}, 641, 629, 4000, 3000);
    EXPECT_EQ(off.x, 120);
    EXPECT_EQ(off.y, 164);
}

// A 3 x 2 photo: the bitmap block begins with the 40-byte header, then the
// bottom row blue-green-red with three bytes of padding, then the top row.
TEST(Photo, CheckSumOfASmallBitmap)
{
    QImage image(3, 2, QImage::Format_RGB888);
    const QRgb pixels[2][3] = {{qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9)},
                               {qRgb(10, 20, 30), qRgb(40, 50, 60), qRgb(70, 80, 90)}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, pixels[y][x]);

    const QByteArray head = DibHead(image, 101);
    ASSERT_EQ(head.size(), 40 + 12 + 12);
    const unsigned char header[40] = {40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                      24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(head.left(40), QByteArray(reinterpret_cast<const char*>(header), 40));
    const unsigned char rows[24] = {30, 20, 10, 60, 50, 40, 90, 80, 70, 0, 0, 0,
                                    3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0};
    EXPECT_EQ(head.mid(40), QByteArray(reinterpret_cast<const char*>(rows), 24));

    // Header bytes 40+3+2+1+24+24 = 94, pixels 30+20+10+60+50+40+90+80+70 + 3+2+1+6+5+4+9+8+7 = 495.
    EXPECT_EQ(Photo(image).CheckSum(), 94 + 495);

    // A wider photo counts only the first 101 bytes: 61 bytes of its bottom row.
    QImage wide(100, 50, QImage::Format_RGB888);
    wide.fill(qRgb(1, 1, 1));
    const int headerSum = 40 + 100 + 50 + 1 + 24 + (100 * 3 * 50 & 0xFF) + ((100 * 3 * 50 >> 8) & 0xFF);
    EXPECT_EQ(Photo(wide).CheckSum(), headerSum + 61);
}

TEST(Photo, LoadsJpegAndBmpAndRefusesWhatIsNoPhoto)
{
    TempFolder folder;
    QImage image(64, 48, QImage::Format_RGB888);
    image.fill(qRgb(200, 100, 50));
    const QString jpg = QString::fromStdString((folder.path() / "a.jpg").string());
    const QString bmp = QString::fromStdString((folder.path() / "b.bmp").string());
    ASSERT_TRUE(Photo(image).SaveJpeg(jpg));
    ASSERT_TRUE(Photo(image).SaveBmp(bmp));
    for (const QString& path : {jpg, bmp}) {
        int last = -1;
        const PhotoLoad r = LoadPhoto(path, [&](int p) { last = p; });
        ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        EXPECT_EQ(r.photo.Width(), 64);
        EXPECT_EQ(r.photo.Height(), 48);
        EXPECT_EQ(r.photo.Image().format(), QImage::Format_RGB888);
        EXPECT_EQ(last, 100);
    }
    EXPECT_EQ(LoadPhoto(bmp).photo.CheckSum(), Photo(image).CheckSum()) << "BMP keeps the pixels exactly";

    const QString text = QString::fromStdString((folder.path() / "note.jpg").string());
    test::WriteAll(folder.path() / "note.jpg", "this is not a photo");
    const PhotoLoad bad = LoadPhoto(text);
    EXPECT_TRUE(bad.photo.isNull());
    EXPECT_TRUE(bad.error.contains(QStringLiteral("note.jpg"))) << bad.error.toStdString();

    // Cut-off files: the decoders would hand back a photo with its lower part
    // missing; it is refused instead.
    for (const char* name : {"a.jpg", "b.bmp"}) {
        const std::string whole = test::ReadAll(folder.path() / name);
        test::WriteAll(folder.path() / "cut", whole.substr(0, whole.size() * 2 / 3));
        const PhotoLoad cut = LoadPhoto(QString::fromStdString((folder.path() / "cut").string()));
        EXPECT_TRUE(cut.photo.isNull()) << name;
        EXPECT_TRUE(cut.error.contains(QStringLiteral("'cut'"))) << cut.error.toStdString();
    }

    const PhotoLoad missing = LoadPhoto(QString::fromStdString((folder.path() / "gone.jpg").string()));
    EXPECT_TRUE(missing.photo.isNull());
    EXPECT_FALSE(missing.error.isEmpty());
}

// A photo with a different colour in every pixel, so that any mix-up of rows,
// columns or channels shows.
QImage Pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 37 + y * 11) & 0xFF, (x * 5 + y * 91 + 7) & 0xFF, (x * 201 + y * 3) & 0xFF));
    return image;
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The BMP the program writes is the one Qt's writer made, byte for byte, at
// every row padding and resolution.
TEST(Photo, BmpBytesAreQtsBmpBytes)
{
    TempFolder folder;
    const QString ours = QString::fromStdString((folder.path() / "ours.bmp").string());
    const QString qts = QString::fromStdString((folder.path() / "qts.bmp").string());
    for (const int width : {1, 2, 3, 4, 5, 1001})
        for (const int height : {1, 2, 7}) {
            for (const int dpm : {0, 2000}) {
                QImage image = Pattern(width, height);
                if (dpm) {
                    image.setDotsPerMeterX(dpm);
                    image.setDotsPerMeterY(dpm + 1);
                }
                int last = -1;
                ASSERT_TRUE(Photo(image).SaveBmp(ours, [&](int p) { last = p; }));
                QImageWriter writer(qts, "bmp");
                ASSERT_TRUE(writer.write(Photo(image).Image()));
                EXPECT_EQ(ReadBytes(ours), ReadBytes(qts)) << width << " x " << height << " at " << dpm;
                EXPECT_EQ(last, 100);
            }
        }
}

// A 24-bit bitmap as another program may write it: bottom-up or top-down,
// with the longer headers of later versions.
QByteArray Bitmap(const QImage& image, bool topDown, std::uint32_t headerBytes)
{
    auto le = [](QByteArray& out, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const int w = image.width(), h = image.height();
    const std::uint32_t row = static_cast<std::uint32_t>((w * 3 + 3) / 4 * 4);
    const std::uint32_t off = 14 + headerBytes;
    QByteArray b("BM");
    le(b, off + row * static_cast<std::uint32_t>(h), 4);
    le(b, 0, 4);
    le(b, off, 4);
    le(b, headerBytes, 4);
    le(b, static_cast<std::uint32_t>(w), 4);
    le(b, static_cast<std::uint32_t>(topDown ? -h : h), 4);
    le(b, 1, 2);
    le(b, 24, 2);
    le(b, 0, 4);
    le(b, row * static_cast<std::uint32_t>(h), 4);
    le(b, 1234, 4);
    le(b, 4321, 4);
    le(b, 0, 4);
    le(b, 0, 4);
    b.append(QByteArray(static_cast<qsizetype>(headerBytes - 40), '\0'));
    for (int i = 0; i < h; ++i) {
        const int y = topDown ? i : h - 1 - i;
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y);
            b.append(static_cast<char>(qBlue(c)));
            b.append(static_cast<char>(qGreen(c)));
            b.append(static_cast<char>(qRed(c)));
        }
        b.append(QByteArray(static_cast<qsizetype>(row - static_cast<std::uint32_t>(w) * 3), '\0'));
    }
    return b;
}

// A 24-bit bitmap opens to the pixels and resolution Qt's reader gives it.
TEST(Photo, BmpOpensAsQtReadsIt)
{
    TempFolder folder;
    const QString path = QString::fromStdString((folder.path() / "in.bmp").string());
    for (const int width : {1, 2, 3, 4, 5, 333})
        for (const bool topDown : {false, true})
            for (const std::uint32_t header : {40u, 108u, 124u}) {
                const QImage image = Pattern(width, 9);
                {
                    QFile f(path);
                    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                    f.write(Bitmap(image, topDown, header));
                }
                QImage qt;
                QImageReader reader(path);
                ASSERT_TRUE(reader.read(&qt));
                qt.convertTo(QImage::Format_RGB888);
                const PhotoLoad ours = LoadPhoto(path);
                ASSERT_TRUE(ours.error.isEmpty()) << ours.error.toStdString();
                const std::string what = std::to_string(width) + (topDown ? " top-down " : " bottom-up ") +
                                         std::to_string(header);
                EXPECT_EQ(ours.photo.Image(), qt) << what;
                EXPECT_EQ(ours.photo.Image(), image) << what;
                EXPECT_EQ(ours.photo.Image().dotsPerMeterX(), qt.dotsPerMeterX()) << what;
                EXPECT_EQ(ours.photo.Image().dotsPerMeterY(), qt.dotsPerMeterY()) << what;
            }
}

TEST(Photo, CutOffPhotoOfSomeSizeIsRefused)
{
    TempFolder folder;
    // Detailed enough that the decoder gets well into the picture before the
    // data ends, which is when it would otherwise hand back half a photo.
    QImage image(800, 600, QImage::Format_RGB888);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) % 256, (x ^ y) % 256, (y * 3) % 256));
    const auto path = folder.path() / "site.jpg";
    ASSERT_TRUE(Photo(image).SaveJpeg(QString::fromStdString(path.string())));
    const std::string whole = test::ReadAll(path);
    test::WriteAll(path, whole.substr(0, whole.size() / 2));
    const PhotoLoad cut = LoadPhoto(QString::fromStdString(path.string()));
    EXPECT_TRUE(cut.photo.isNull());
    EXPECT_TRUE(cut.error.contains(QStringLiteral("途中で切れている"))) << cut.error.toStdString();
}

TEST(Photo, HugeDimensionsAreRefusedBeforeDecoding)
{
    TempFolder folder;
    // A real JPEG whose frame header is made to announce 60000 x 60000 pixels.
    QImage small(16, 16, QImage::Format_RGB888);
    small.fill(Qt::white);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "jpeg").write(small));
    QByteArray jpeg = buffer.data();
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    for (qsizetype i : {5, 7}) {
        jpeg[sof + i] = static_cast<char>(0xEA);
        jpeg[sof + i + 1] = static_cast<char>(0x60);
    }
    test::WriteAll(folder.path() / "huge.jpg", jpeg.toStdString());
    const PhotoLoad r = LoadPhoto(QString::fromStdString((folder.path() / "huge.jpg").string()));
    EXPECT_TRUE(r.photo.isNull());
    EXPECT_TRUE(r.error.contains(QStringLiteral("大きすぎ"))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QStringLiteral("huge.jpg")));
}

TEST(Photo, ReductionAveragesBlocks)
{
    QImage image(3, 2, QImage::Format_RGB888);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    image.setPixel(1, 0, qRgb(100, 100, 100));
    image.setPixel(0, 1, qRgb(200, 200, 200));
    image.setPixel(1, 1, qRgb(100, 100, 100));
    image.setPixel(2, 0, qRgb(9, 9, 9));
    image.setPixel(2, 1, qRgb(9, 9, 9));
    // The odd last column joins the last block: (0+100+9+200+100+9)/6 rounds to 70.
    const QImage half = HalveImage(image);
    ASSERT_EQ(half.size(), QSize(1, 1));
    EXPECT_EQ(half.pixel(0, 0), qRgb(70, 70, 70));

    QImage big(9, 8, QImage::Format_RGB888);
    big.fill(qRgb(10, 20, 30));
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y)
            big.setPixel(x, y, qRgb(50, 60, 70));
    const QImage quarter = ReduceImage(big, 4);
    ASSERT_EQ(quarter.size(), QSize(2, 2));
    EXPECT_EQ(quarter.pixel(0, 0), qRgb(50, 60, 70));
    EXPECT_EQ(quarter.pixel(1, 1), qRgb(10, 20, 30));
}

// Every reduction, halving above all (it has its own quick way), averages
// each block with the rounding half up, the blocks of the last column and
// row taking what is left, at sizes odd and even.
TEST(Photo, ReductionOfEveryBlockAtAnySize)
{
    for (const int factor : {2, 3, 4})
        for (const QSize size : {QSize(1, 1), QSize(2, 2), QSize(5, 3), QSize(64, 48), QSize(203, 67), QSize(1000, 7)}) {
            QImage image(size, QImage::Format_RGB888);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    image.setPixel(x, y, qRgb((x * 37 + y * 11) & 0xFF, (x * 5 + y * 91 + 7) & 0xFF, (x * 201 + y * 3) & 0xFF));
            const QImage reduced = ReduceImage(image, factor);
            const int w = std::max(1, size.width() / factor), h = std::max(1, size.height() / factor);
            ASSERT_EQ(reduced.size(), QSize(w, h));
            // The 32-bit reduction the report scales from holds the same pixels.
            EXPECT_EQ(ReduceImage(image, factor, QImage::Format_RGB32).convertToFormat(QImage::Format_RGB888), reduced)
                << factor << " " << size.width() << "x" << size.height();
            for (int by = 0; by < h; ++by)
                for (int bx = 0; bx < w; ++bx) {
                    const int x1 = bx == w - 1 ? size.width() : bx * factor + factor;
                    const int y1 = by == h - 1 ? size.height() : by * factor + factor;
                    int sum[3] = {0, 0, 0}, n = 0;
                    for (int y = by * factor; y < y1; ++y)
                        for (int x = bx * factor; x < x1; ++x, ++n) {
                            const QRgb c = image.pixel(x, y);
                            sum[0] += qRed(c);
                            sum[1] += qGreen(c);
                            sum[2] += qBlue(c);
                        }
                    const QRgb expected = qRgb((sum[0] + n / 2) / n, (sum[1] + n / 2) / n, (sum[2] + n / 2) / n);
                    ASSERT_EQ(reduced.pixel(bx, by), expected) << factor << " " << size.width() << " x "
                                                               << size.height() << " at " << bx << ", " << by;
                }
        }
}

QImage Solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

TEST(Effect, NothingSetIsAnExactCopy)
{
    QImage image(37, 23, QImage::Format_RGB888);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            image.setPixel(x, y, qRgb(x * 7, y * 11, (x ^ y) * 5));
    const Photo out = Effect(Photo(image), ImageEffects{});
    EXPECT_EQ(out.Image(), image);
}

TEST(Effect, QuarterTurnsMovePixelsExactly)
{
    QImage image = Solid(4000, 3000, qRgb(10, 20, 30));
    image.setPixel(0, 0, qRgb(255, 0, 0));       // top-left
    image.setPixel(3999, 0, qRgb(0, 255, 0));    // top-right
    ImageEffects e;
    e.Rotate = 1;  // +90: counter-clockwise
    const Photo left = Effect(Photo(image), e);
    ASSERT_EQ(left.Width(), 3000);
    ASSERT_EQ(left.Height(), 4000);
    EXPECT_EQ(left.Image().pixel(0, 3999), qRgb(255, 0, 0));
    EXPECT_EQ(left.Image().pixel(0, 0), qRgb(0, 255, 0));
    e.Rotate = 2;  // -90: clockwise
    const Photo right = Effect(Photo(image), e);
    EXPECT_EQ(right.Image().pixel(2999, 0), qRgb(255, 0, 0));
    EXPECT_EQ(right.Image().pixel(2999, 3999), qRgb(0, 255, 0));
}

TEST(Effect, EachOperationDoesItsPart)
{
    const Photo base(Solid(8, 8, qRgb(100, 150, 250)));
    ImageEffects e;
    e.RevGreen = 1;
    EXPECT_EQ(Effect(base, e).Image().pixel(3, 3), qRgb(100, 105, 250));
    e = {};
    e.RGBLevel = 20;
    EXPECT_EQ(Effect(base, e).Image().pixel(3, 3), qRgb(120, 170, 255)) << "brightness clamps at 255";
    e.RGBLevel = -120;
    EXPECT_EQ(Effect(base, e).Image().pixel(3, 3), qRgb(0, 30, 130)) << "and at 0";
    e = {};
    e.Chroma = -100;
    const QRgb grey = Effect(base, e).Image().pixel(3, 3);
    EXPECT_EQ(qRed(grey), qGreen(grey));
    EXPECT_EQ(qGreen(grey), qBlue(grey));
    e.Chroma = 100;
    const QRgb vivid = Effect(base, e).Image().pixel(3, 3);
    EXPECT_GT(qBlue(vivid) - qRed(vivid), 250 - 100) << "colours move apart";

    QImage speck = Solid(9, 9, qRgb(50, 50, 50));
    speck.setPixel(4, 4, qRgb(255, 255, 255));
    e = {};
    e.Noise = 85;
    EXPECT_EQ(Effect(Photo(speck), e).Image().pixel(4, 4), qRgb(50, 50, 50)) << "a lone speck goes";
    e.Noise = 10;
    const QRgb faded = Effect(Photo(speck), e).Image().pixel(4, 4);
    EXPECT_LT(qRed(faded), 255) << "a weak level fades it";
    EXPECT_GT(qRed(faded), 50) << "without taking it away";

    QImage edge = Solid(20, 20, qRgb(80, 80, 80));
    for (int y = 0; y < 20; ++y)
        for (int x = 10; x < 20; ++x)
            edge.setPixel(x, y, qRgb(160, 160, 160));
    e = {};
    e.Sharp = 100;
    const QImage sharp = Effect(Photo(edge), e).Image();
    EXPECT_LT(qRed(sharp.pixel(9, 10)), 80) << "the dark side of the edge gets darker";
    EXPECT_GT(qRed(sharp.pixel(10, 10)), 160);
}

// Every combination of steps on photos of awkward sizes (rows not a whole
// number of words, widths around the vector lengths) gives exactly the pixels
// it always gave: a digest of each result, taken once from the program as it
// was before its buffers were changed.  The noise levels are those whose
// median has stayed the same (85, 170, 255) since every level got its own.
std::uint64_t Digest(const QImage& image)
{
    std::uint64_t h = 1469598103934665603ULL;
    auto add = [&](std::uint64_t v) {
        h ^= v;
        h *= 1099511628211ULL;
    };
    add(static_cast<std::uint64_t>(image.width()));
    add(static_cast<std::uint64_t>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int i = 0; i < image.width() * 3; ++i)
            add(row[i]);
    }
    return h;
}

TEST(Effect, EveryCombinationKeepsItsPixels)
{
    struct Case {
        int rotate, noise, sharp, chroma, level;
        bool revRed, revBlue;
        std::uint64_t small, wide;
    };
    const std::vector<Case> cases{
        {0, 0, 0, 0, 0, false, false, 0x1fae3b7128b00027ULL, 0xe34ffe5bc7a53324ULL},
        {1, 0, 0, 0, 0, false, false, 0x35da409f38000dabULL, 0x5f1929c5ccab9e4cULL},
        {2, 0, 0, 0, 0, false, false, 0x9e7642efa4601e73ULL, 0xf86d5edcbdaf5ce0ULL},
        {0, 85, 0, 0, 0, false, false, 0x275b780ec7ea2e45ULL, 0x66764751743308b0ULL},
        {0, 170, 0, 0, 0, false, false, 0xa2f657a92457c88ULL, 0xf1b83391213a9b79ULL},
        {1, 255, 0, 0, 0, false, false, 0x85a76aa8c4d6ed8aULL, 0x14940e476823c418ULL},
        {0, 0, 50, 0, 0, false, false, 0x557cdf35f4c54690ULL, 0x26997ad004ccaa8fULL},
        {2, 0, 100, 0, 0, false, false, 0x99af395106b7e3cbULL, 0xf3adba3ad049993dULL},
        {0, 0, 0, 30, 0, false, false, 0xb5b35a53ac4c42aULL, 0x3aa6b1faf495e9bfULL},
        {0, 0, 0, -100, 0, false, false, 0x8739ff8a9dae6152ULL, 0xf547165d46cb7983ULL},
        {0, 0, 0, 1000, 0, false, false, 0x7936ffe40a010584ULL, 0x2b1d061f8feb9d66ULL},
        {0, 0, 0, 0, 20, false, false, 0x39fb7e5099a22046ULL, 0x32f0bc4ee2bc72f0ULL},
        {0, 0, 0, 0, -300, true, false, 0x5ce7908cbb9f6c7eULL, 0x86baef432cbc1a6aULL},
        {1, 85, 50, 30, 20, false, true, 0x45e89fb54cc33e10ULL, 0x3d0769ef6e4bd6e8ULL},
        {2, 255, 7, -40, -20, true, true, 0x588a799fd19991b2ULL, 0x1e9ea1a16202264fULL},
        {0, 170, 100, 300, 255, true, true, 0x8e0195951cb9a4fcULL, 0xc5f5ad8082230eacULL},
    };
    QImage small(37, 23, QImage::Format_RGB888);
    QImage wide(203, 67, QImage::Format_RGB888);
    for (QImage* image : {&small, &wide})
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < image->width(); ++x)
                image->setPixel(x, y, qRgb((x * 7 + y * 3) & 0xFF, (y * 11 + (x ^ y)) & 0xFF, ((x ^ y) * 5) & 0xFF));
    for (const Case& c : cases) {
        ImageEffects e;
        e.Rotate = c.rotate;
        e.Noise = c.noise;
        e.Sharp = c.sharp;
        e.Chroma = c.chroma;
        e.RGBLevel = c.level;
        e.RevRed = c.revRed ? 1 : 0;
        e.RevBlue = c.revBlue ? 1 : 0;
        EXPECT_EQ(Digest(Effect(Photo(small), e).Image()), c.small) << c.rotate << " " << c.noise << " " << c.sharp;
        EXPECT_EQ(Digest(Effect(Photo(wide), e).Image()), c.wide) << c.rotate << " " << c.noise << " " << c.sharp;
    }
}

TEST(Effect, StoredNoiseLevelsKeepTheirMedians)
{
    // The levels that always meant the plain 3 x 3, 5 x 5 and 7 x 7 medians.
    EXPECT_EQ(NoiseStrength(85), (NoiseFilter{3, 1.0}));
    EXPECT_EQ(NoiseStrength(170), (NoiseFilter{5, 1.0}));
    EXPECT_EQ(NoiseStrength(255), (NoiseFilter{7, 1.0}));
    EXPECT_EQ(NoiseStrength(300), (NoiseFilter{7, 1.0})) << "beyond the slider: the strongest";
}

TEST(Effect, EveryNoiseLevelIsItsOwnStrength)
{
    // Noise of every size: the further the level, the further from the photo.
    QImage noisy(64, 48, QImage::Format_RGB888);
    std::uint32_t seed = 12345;
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int v = static_cast<int>(seed >> 24);
            noisy.setPixel(x, y, qRgb(v, (v * 7 + x) & 255, (v * 13 + y) & 255));
        }
    const Photo source(noisy);
    auto distance = [&](const QImage& out) {
        long long d = 0;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                d += std::abs(qRed(out.pixel(x, y)) - qRed(noisy.pixel(x, y)));
        return d;
    };
    long long before = 0;
    QImage previous = noisy;
    for (int level : {1, 20, 40, 60, 85, 100, 130, 170, 200, 230, 255}) {
        ImageEffects e;
        e.Noise = level;
        const QImage out = Effect(source, e).Image();
        EXPECT_NE(out, previous) << "level " << level;
        const long long d = distance(out);
        EXPECT_GT(d, before) << "level " << level;
        before = d;
        previous = out;
    }
}

TEST(Effect, ProgressGoesUpWithEachOperation)
{
    ImageEffects e;
    e.Rotate = 1;
    e.Noise = 100;
    e.RGBLevel = 10;
    std::vector<int> seen;
    Effect(Photo(Solid(30, 20, qRgb(90, 90, 90))), e, [&](int p) { seen.push_back(p); });
    EXPECT_EQ(seen, (std::vector<int>{0, 33, 66, 100, 0})) << "and back to 0 at the end";
}

TEST(Effect, RunsFromTheSourceEveryTime)
{
    const Photo source(Solid(6, 6, qRgb(100, 100, 100)));
    ImageEffects e;
    e.RGBLevel = 50;
    const Photo once = Effect(source, e);
    const Photo again = Effect(source, e);
    EXPECT_EQ(once.Image(), again.Image()) << "two previews do not add up";
    EXPECT_EQ(source.Image().pixel(0, 0), qRgb(100, 100, 100)) << "the source is never touched";
}

// The steps that look at neighbours run a band of rows at a time; a photo
// tall enough for many bands must come out as OpenCV makes it over the whole
// photo at once, rows at the bands' seams included.
TEST(Effect, BandsMakeTheWholePhotosPixels)
{
    QImage tall(53, 1031, QImage::Format_RGB888);
    std::uint32_t seed = 12345;
    for (int y = 0; y < tall.height(); ++y)
        for (int x = 0; x < tall.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            tall.setPixel(x, y, qRgb(seed >> 24, (seed >> 16) & 0xFF, ((x * 13) ^ (y * 7)) & 0xFF));
        }
    const cv::Mat source(tall.height(), tall.width(), CV_8UC3, tall.bits(), tall.bytesPerLine());
    auto median = [&](const cv::Mat& from, int level) {
        const NoiseFilter f = NoiseStrength(level);
        cv::Mat out, narrower;
        cv::medianBlur(from, out, f.aperture);
        if (f.weight < 1.0) {
            if (f.aperture > 3)
                cv::medianBlur(from, narrower, f.aperture - 2);
            cv::addWeighted(out, f.weight, f.aperture > 3 ? narrower : from, 1.0 - f.weight, 0.0, out);
        }
        return out;
    };
    auto sharpen = [](const cv::Mat& from, int sharp) {
        cv::Mat blurred, out;
        cv::GaussianBlur(from, blurred, cv::Size(0, 0), 1.0);
        cv::addWeighted(from, 1.0 + sharp / 50.0, blurred, -sharp / 50.0, 0.0, out);
        return out;
    };
    auto saturate = [](const cv::Mat& from, int chroma) {
        cv::Mat grey, grey3, out;
        cv::cvtColor(from, grey, cv::COLOR_RGB2GRAY);
        cv::cvtColor(grey, grey3, cv::COLOR_GRAY2RGB);
        const double k = 1.0 + chroma / 100.0;
        cv::addWeighted(from, k, grey3, 1.0 - k, 0.0, out);
        return out;
    };
    struct Case {
        int rotate, noise, sharp, chroma;
    };
    const Case cases[] = {
        {0, 60, 0, 0}, {0, 85, 0, 0}, {0, 120, 0, 0}, {0, 255, 0, 0}, {0, 0, 100, 0},
        {0, 0, 0, 250}, {0, 200, 80, -50}, {1, 170, 30, 40}, {2, 255, 0, 0},
    };
    for (const Case& c : cases) {
        cv::Mat expected = source.clone();
        if (c.rotate)
            cv::rotate(source, expected, c.rotate == 1 ? cv::ROTATE_90_COUNTERCLOCKWISE : cv::ROTATE_90_CLOCKWISE);
        if (c.noise)
            expected = median(expected, c.noise);
        if (c.sharp)
            expected = sharpen(expected, c.sharp);
        if (c.chroma)
            expected = saturate(expected, c.chroma);
        ImageEffects e;
        e.Rotate = c.rotate;
        e.Noise = c.noise;
        e.Sharp = c.sharp;
        e.Chroma = c.chroma;
        const QImage got = Effect(Photo(tall), e).Image();
        ASSERT_EQ(got.width(), expected.cols);
        ASSERT_EQ(got.height(), expected.rows);
        int wrongRows = 0;
        for (int y = 0; y < expected.rows; ++y)
            wrongRows += std::memcmp(got.constScanLine(y), expected.ptr(y), static_cast<std::size_t>(expected.cols) * 3) != 0;
        EXPECT_EQ(wrongRows, 0) << "rotate " << c.rotate << " noise " << c.noise << " sharp " << c.sharp << " chroma "
                                << c.chroma;
    }
}

// The loupe sits beside the pointer and inside the view wherever the pointer
// is, and never over the point being placed.
TEST(Loupe, StaysInsideTheViewAndOffThePointer)
{
    struct Case {
        const char* where;
        int px, py;
        int x, y;  // the corner expected
    };
    const int w = 800, h = 600, size = 160, gap = 24;
    const Case cases[] = {
        {"middle: below right", 400, 300, 424, 324},
        {"right edge: to the left", 780, 300, 596, 324},
        {"bottom edge: above", 400, 590, 424, 406},
        {"bottom right corner: above left", 790, 595, 606, 411},
        {"top left corner: below right", 0, 0, 24, 24},
        {"left edge, low: right, above", 5, 580, 29, 396},
    };
    for (const Case& c : cases) {
        const LoupeBox box = PlaceLoupe(c.px, c.py, w, h, size, gap);
        EXPECT_EQ(box.x, c.x) << c.where;
        EXPECT_EQ(box.y, c.y) << c.where;
        EXPECT_FALSE(LoupeCovers(box, c.px, c.py)) << c.where;
        EXPECT_TRUE(box.x >= 0 && box.y >= 0 && box.x + size <= w && box.y + size <= h) << c.where;
    }
    // Every pointer position of a view: inside it, and off the pointer.
    for (int py = 0; py < h; py += 7)
        for (int px = 0; px < w; px += 7) {
            const LoupeBox box = PlaceLoupe(px, py, w, h, size, gap);
            ASSERT_FALSE(LoupeCovers(box, px, py)) << px << "," << py;
            ASSERT_TRUE(box.x >= 0 && box.y >= 0 && box.x + size <= w && box.y + size <= h) << px << "," << py;
        }
}

// A click a few pixels off a corner lands on the corner, to a fraction of a
// pixel, wherever the corner sits between pixels; a click on a plain edge or
// a flat wall stays where it was.
TEST(CornerSnap, FindsTheCornerNearAClick)
{
    struct Case {
        double x, y;  // the true corner
    };
    for (const Case c : {Case{200.0, 150.0}, Case{200.3, 150.6}, Case{97.75, 61.25}}) {
        QImage image(320, 240, QImage::Format_RGB888);
        image.fill(QColor(220, 215, 205));
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 45, 60));
            p.drawRect(QRectF(c.x, c.y, 200, 200));
        }
        const auto snapped = SnapToCorner(image, {c.x + 3, c.y - 2}, 6);
        ASSERT_TRUE(snapped) << c.x << "," << c.y;
        EXPECT_NEAR(snapped->x, c.x, 0.2) << c.x << "," << c.y;
        EXPECT_NEAR(snapped->y, c.y, 0.2) << c.x << "," << c.y;
        // On the square's top edge, far from its corner, and on the flat wall.
        EXPECT_FALSE(SnapToCorner(image, {c.x + 60, c.y}, 6)) << "an edge";
        EXPECT_FALSE(SnapToCorner(image, {40, 200}, 6)) << "flat";
    }
    EXPECT_FALSE(SnapToCorner(QImage(), {10, 10}, 6));
    QImage tiny(4, 4, QImage::Format_RGB888);
    tiny.fill(Qt::white);
    EXPECT_FALSE(SnapToCorner(tiny, {1, 1}, 6));
}

// A photo of a chessboard seen at an angle, warped straight on at 1 mm a
// pixel: every edge between two cells is where the board has it, to a pixel,
// and the image and world file carry that scale.
TEST(Rectify, ShowsThePlaneStraightOnToAPixel)
{
    const std::array<TDPoint, 4> corners{TDPoint{120, 80}, {560, 110}, {540, 420}, {100, 380}};
    const double cell = 50, boardW = 400, boardH = 300;  // 8 x 6 cells, mm
    const std::vector<cv::Point2f> boardPts{{0, 0}, {400, 0}, {400, 300}, {0, 300}};
    std::vector<cv::Point2f> imagePts;
    for (const TDPoint& c : corners)
        imagePts.emplace_back(static_cast<float>(c.x), static_cast<float>(c.y));
    const cv::Mat toBoard = cv::getPerspectiveTransform(imagePts, boardPts);
    auto dark = [&](double bx, double by) {
        return (static_cast<int>(std::floor(bx / cell)) + static_cast<int>(std::floor(by / cell))) % 2 == 0;
    };
    QImage photo(640, 480, QImage::Format_RGB888);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x) {
            std::vector<cv::Point2f> at{{static_cast<float>(x + 0.5), static_cast<float>(y + 0.5)}}, board;
            cv::perspectiveTransform(at, board, toBoard);
            const double bx = board[0].x, by = board[0].y;
            const bool inside = bx >= 0 && bx < boardW && by >= 0 && by < boardH;
            photo.setPixel(x, y, !inside ? qRgb(128, 128, 128) : dark(bx, by) ? qRgb(20, 20, 20) : qRgb(235, 235, 235));
        }
    Document doc;
    SetReferenceRect(doc, corners, true);
    doc.KijunWText = "400";
    doc.KijunHText = "300";

    const Rectified r = Rectify(photo, doc, 1.0);
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(r.image.dotsPerMeterX(), 1000);
    std::istringstream world(r.world);
    double a, d, b, e, c, f;
    world >> a >> d >> b >> e >> c >> f;
    EXPECT_EQ(a, 1.0);
    EXPECT_EQ(e, -1.0);
    // Board millimetres to the plane's own, as the program measures.
    std::vector<cv::Point2f> planePts;
    for (const TDPoint& corner : corners) {
        const TDPoint g = GetDelta(doc, corner);
        planePts.emplace_back(static_cast<float>(g.x), static_cast<float>(g.y));
    }
    const cv::Mat boardToPlane = cv::getPerspectiveTransform(boardPts, planePts);
    auto pixelOf = [&](double bx, double by) {
        std::vector<cv::Point2f> at{{static_cast<float>(bx), static_cast<float>(by)}}, g;
        cv::perspectiveTransform(at, g, boardToPlane);
        // The world file: X = c + u a, Y = f + v e for the pixel centre u, v.
        return std::pair{(g[0].x - c) / a, (g[0].y - f) / e};
    };
    // Whether the straight-on image is dark where the board point is.
    auto isDark = [&](double bx, double by) {
        const auto [u, v] = pixelOf(bx, by);
        return qGray(r.image.pixel(static_cast<int>(std::lround(u)), static_cast<int>(std::lround(v)))) < 128;
    };
    // The board's top edge is the image's: the photo is not turned over.
    EXPECT_LT(pixelOf(200, 0).second, pixelOf(200, 300).second);
    int checked = 0;
    for (int row = 0; row < 6; ++row)
        for (int k = 1; k < 8; ++k) {
            // The edge between cells k - 1 and k, half way down the row.
            const double by = row * cell + cell / 2;
            EXPECT_EQ(isDark(k * cell - 1.0, by), dark(k * cell - 1, by)) << row << "," << k;
            EXPECT_EQ(isDark(k * cell + 1.0, by), dark(k * cell + 1, by)) << row << "," << k;
            ++checked;
        }
    for (int column = 0; column < 8; ++column)
        for (int k = 1; k < 6; ++k) {
            const double bx = column * cell + cell / 2;
            EXPECT_EQ(isDark(bx, k * cell - 1.0), dark(bx, k * cell - 1)) << column << "," << k;
            EXPECT_EQ(isDark(bx, k * cell + 1.0), dark(bx, k * cell + 1)) << column << "," << k;
            ++checked;
        }
    EXPECT_EQ(checked, 42 + 40);

    // Bounded: a size that would pass 100 megapixels is refused with a reason.
    const Rectified huge = Rectify(photo, doc, 0.01);
    EXPECT_TRUE(huge.image.isNull());
    EXPECT_NE(huge.error.find("100 megapixels"), std::string::npos);
    EXPECT_FALSE(Rectify(photo, Document{}, 1.0).error.empty());
    EXPECT_NEAR(ReferenceMmPerPixel(doc), 0.95, 0.15);
}

// The straight-on image's PNG holds exactly the pixels and the resolution Qt's
// own writer kept, read back by Qt's reader and by OpenCV's, whatever the
// image's size, row padding and format.
struct PngCase {
    const char* name;
    std::function<QImage()> make;
};

class PngFiles : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngFiles, KeepEveryPixelAndTheResolution)
{
    const QImage image = GetParam().make();
    const std::optional<std::string> bytes = EncodePng(image);
    ASSERT_TRUE(bytes);
    QImage back;
    ASSERT_TRUE(back.loadFromData(QByteArray::fromStdString(*bytes), "PNG"));
    const QImage expected = image.convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888), expected);
    EXPECT_EQ(back.dotsPerMeterX(), image.dotsPerMeterX());
    EXPECT_EQ(back.dotsPerMeterY(), image.dotsPerMeterY());
    // And as Qt's own writer had it.
    QByteArray qt;
    QBuffer buffer(&qt);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    QImage fromQt;
    ASSERT_TRUE(fromQt.loadFromData(qt, "PNG"));
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888), fromQt.convertToFormat(QImage::Format_RGB888));
    EXPECT_EQ(back.dotsPerMeterX(), fromQt.dotsPerMeterX());
    // Another reader: OpenCV's, which gives blue, green, red.
    const std::vector<uchar> raw(bytes->begin(), bytes->end());
    const cv::Mat decoded = cv::imdecode(raw, cv::IMREAD_COLOR);
    ASSERT_EQ(decoded.cols, image.width());
    ASSERT_EQ(decoded.rows, image.height());
    for (int y = 0; y < decoded.rows; ++y)
        for (int x = 0; x < decoded.cols; ++x) {
            const cv::Vec3b bgr = decoded.at<cv::Vec3b>(y, x);
            const QRgb rgb = expected.pixel(x, y);
            ASSERT_EQ(bgr[2], qRed(rgb)) << x << "," << y;
            ASSERT_EQ(bgr[1], qGreen(rgb)) << x << "," << y;
            ASSERT_EQ(bgr[0], qBlue(rgb)) << x << "," << y;
        }
}

QImage Noisy(int width, int height, int dotsPerMetre)
{
    QImage image(width, height, QImage::Format_RGB888);
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            row[x] = static_cast<uchar>(state >> 24);
        }
    }
    if (dotsPerMetre > 0) {
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
    }
    return image;
}

INSTANTIATE_TEST_SUITE_P(
    Images, PngFiles,
    ::testing::Values(PngCase{"noise_with_resolution", [] { return Noisy(301, 203, 1000); }},
                      PngCase{"one_pixel", [] { return Noisy(1, 1, 3937); }},
                      PngCase{"padded_rows", [] { return Noisy(7, 5, 0); }},
                      PngCase{"flat_white", [] {
                                  QImage i(640, 480, QImage::Format_RGB888);
                                  i.fill(Qt::white);
                                  i.setDotsPerMeterX(250);
                                  i.setDotsPerMeterY(250);
                                  return i;
                              }},
                      PngCase{"from_32_bits", [] { return Noisy(64, 48, 2000).convertToFormat(QImage::Format_RGB32); }}),
    [](const ::testing::TestParamInfo<PngCase>& i) { return std::string(i.param.name); });

} // namespace
} // namespace kvx

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
