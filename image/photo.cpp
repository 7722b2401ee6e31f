#include "image/photo.h"
#include <QCoreApplication>

#include "image/exif.h"
#include "image/heif_decode.h"
#include "image/jpeg_decode.h"
#include "measure/orientation.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace kvx {

namespace {

void Report(const Progress& progress, int percent)
{
    if (progress)
        progress(percent);
}

void PutLe(QByteArray& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

QString Named(const QString& path)
{
    return QFileInfo(path).fileName();
}

// A photo file held open from the moment it was found to be a regular file
// until it is read: every decoder reads this one open file, so nothing put in
// its place meanwhile is read.  A pipe, a device or a socket is never opened
// for good: the open does not wait (a pipe without a writer would block it
// forever), and the file's type is checked on what was opened.
class PhotoFile {
public:
    explicit PhotoFile(const QString& path)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0)
            return;
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            special_ = true;
            Close();
            return;
        }
        size_ = st.st_size;
        // Reads of a regular file never wait; the flag goes for the decoders' sake.
        const int flags = ::fcntl(fd_, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    }
    ~PhotoFile() { Close(); }
    PhotoFile(const PhotoFile&) = delete;
    PhotoFile& operator=(const PhotoFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Something other than a regular file stands at the path.
    bool Special() const { return special_; }
    int Descriptor() const { return fd_; }
    qint64 Size() const { return size_; }
    // A QFile reading the open file from its start; the file stays ours.
    bool Attach(QFile& file) const
    {
        return IsOpen() && file.open(fd_, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) && file.seek(0);
    }

private:
    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
    bool special_ = false;
    qint64 size_ = 0;
};

// Qt's decoders hand back what they could read of a cut-off file without
// failing; a photo missing its lower part must not be measured, so the
// decoders' own complaints are listened for while a photo is read.
bool g_cutOff = false;
QtMessageHandler g_previousHandler = nullptr;

void ListenToDecoder(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if ((type == QtWarningMsg || type == QtCriticalMsg) && context.category &&
        QByteArray(context.category).startsWith("qt.gui.imageio") &&
        message.contains(QStringLiteral("premature end"), Qt::CaseInsensitive))
        g_cutOff = true;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

class DecoderListener {
public:
    DecoderListener()
    {
        g_cutOff = false;
        g_previousHandler = qInstallMessageHandler(ListenToDecoder);
    }
    ~DecoderListener() { qInstallMessageHandler(g_previousHandler); }
    DecoderListener(const DecoderListener&) = delete;
    DecoderListener& operator=(const DecoderListener&) = delete;
    bool CutOff() const { return g_cutOff; }
};

quint32 Le(const QByteArray& b, int at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

// Reads a file front to back a chunk at a time, so a walk through a large
// compressed bitmap holds no more than one chunk.
class ChunkReader {
public:
    ChunkReader(QFile& file, qint64 from) : file_(file) { file_.seek(from); }
    // False at the end of the file.
    bool Next(unsigned char& b)
    {
        if (at_ == chunk_.size()) {
            chunk_ = file_.read(1 << 16);
            at_ = 0;
            if (chunk_.isEmpty())
                return false;
        }
        b = static_cast<unsigned char>(chunk_[at_++]);
        return true;
    }
    bool Skip(qint64 n)
    {
        unsigned char b = 0;
        for (qint64 i = 0; i < n; ++i)
            if (!Next(b))
                return false;
        return true;
    }

private:
    QFile& file_;
    QByteArray chunk_;
    qsizetype at_ = 0;
};

// Walks run-length coded rows (4 or 8 bits a pixel) to their end.  The reader
// paints whatever the data does not reach in colour 0, so data that ends
// before the last row, or says the bitmap ends there (as a file cut short and
// closed with that code does), is a cut-off file.
bool RunLengthComplete(QFile& file, qint64 offset, qint64 height, int bits)
{
    ChunkReader in(file, offset);
    qint64 row = 0;
    unsigned char count = 0;
    unsigned char code = 0;
    while (row < height) {
        if (!in.Next(count) || !in.Next(code))
            return false;
        if (count > 0)
            continue;
        if (code == 0) {
            ++row;
        } else if (code == 1) {
            return row + 1 >= height;
        } else if (code == 2) {
            unsigned char dx = 0;
            unsigned char dy = 0;
            if (!in.Next(dx) || !in.Next(dy))
                return false;
            row += dy;
        } else {
            // A literal run, padded to a whole number of 16-bit words.
            const qint64 bytes = bits == 8 ? code : (code + 1) / 2;
            if (!in.Skip(bytes + bytes % 2))
                return false;
        }
    }
    return true;
}

// A bitmap whose pixel data ends before its header says the picture does: the
// BMP reader fills the missing part silently, in every coding it reads.
bool BitmapCutOff(const PhotoFile& photo)
{
    QFile f;
    if (!photo.Attach(f))
        return false;
    const QByteArray h = f.read(54);
    if (h.size() < 26 || !h.startsWith("BM"))
        return false;
    const qint64 offset = Le(h, 10, 4);
    const quint32 headerBytes = Le(h, 14, 4);
    qint64 width = 0;
    qint64 height = 0;
    qint64 bits = 0;
    quint32 coding = 0;
    if (headerBytes == 12) {
        // The old OS/2 header: 16-bit sizes, never compressed.
        width = Le(h, 18, 2);
        height = Le(h, 20, 2);
        bits = Le(h, 24, 2);
    } else {
        if (h.size() < 54 || headerBytes < 40)
            return false;
        width = static_cast<qint32>(Le(h, 18, 4));
        height = static_cast<qint32>(Le(h, 22, 4));
        bits = Le(h, 28, 2);
        coding = Le(h, 30, 4);
    }
    width = std::abs(width);
    height = std::abs(height);
    constexpr quint32 kRle8 = 1;
    constexpr quint32 kRle4 = 2;
    if (coding == kRle8 || coding == kRle4)
        return !RunLengthComplete(f, offset, height, coding == kRle8 ? 8 : 4);
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    return f.size() < offset + rowBytes * height;
}

// The picture size a bitmap's or a portable any-map's header announces, read
// here: Qt's readers give none for a size past what a QImage can hold, which
// is just the size a decompression bomb claims.
// Whether width × height passes limit.  A header may announce billions in
// each direction, whose product a 64-bit integer does not hold.
bool MorePixelsThan(qint64 width, qint64 height, std::int64_t limit)
{
    if (width <= 0 || height <= 0)
        return false;
    return width > limit / height || width * height > limit;
}

struct Announced {
    qint64 width = 0;
    qint64 height = 0;
};

std::optional<Announced> AnnouncedSize(const PhotoFile& photo, const QByteArray& format)
{
    QFile f;
    if (!photo.Attach(f))
        return std::nullopt;
    const QByteArray h = f.read(512);
    if (format == "bmp") {
        if (h.size() < 26 || !h.startsWith("BM"))
            return std::nullopt;
        if (Le(h, 14, 4) == 12)
            return Announced{Le(h, 18, 2), Le(h, 20, 2)};
        return Announced{std::abs(qint64{static_cast<qint32>(Le(h, 18, 4))}),
                         std::abs(qint64{static_cast<qint32>(Le(h, 22, 4))})};
    }
    // "P1".."P6", then the width and the height in decimal, between blanks
    // and comments that run to the end of their line.
    if (h.size() < 2 || h[0] != 'P')
        return std::nullopt;
    qsizetype at = 2;
    std::array<qint64, 2> v{};
    for (qint64& n : v) {
        while (at < h.size() && (std::isspace(static_cast<unsigned char>(h[at])) || h[at] == '#')) {
            if (h[at] == '#')
                while (at < h.size() && h[at] != '\n' && h[at] != '\r')
                    ++at;
            else
                ++at;
        }
        if (at == h.size() || !std::isdigit(static_cast<unsigned char>(h[at])))
            return std::nullopt;
        for (; at < h.size() && std::isdigit(static_cast<unsigned char>(h[at])); ++at) {
            n = n * 10 + (h[at] - '0');
            if (n > (qint64{1} << 32))
                return std::nullopt;
        }
    }
    return Announced{v[0], v[1]};
}

// Rows are read and written in bands of about this many bytes: small enough
// to stay in the cache between the file and the photo's block.
constexpr qint64 kBandBytes = 1 << 18;

// A plain bitmap (24 bits a pixel, uncompressed, complete) read straight into
// the photo's rows; Qt's reader would make 32-bit pixels first, and the photo
// then convert them, a second pass over tens of megabytes.  Anything else is
// left to Qt's reader: a null image.  The pixels and the resolution are what
// Qt's reader gives.
QImage ReadPlainBitmap(const PhotoFile& photo, std::int64_t maxPixels)
{
    QFile f;
    if (!photo.Attach(f))
        return {};
    const QByteArray h = f.read(54);
    if (h.size() < 54 || !h.startsWith("BM"))
        return {};
    const qint64 offset = Le(h, 10, 4);
    const quint32 headerBytes = Le(h, 14, 4);
    const qint64 width = static_cast<qint32>(Le(h, 18, 4));
    const qint64 signedHeight = static_cast<qint32>(Le(h, 22, 4));
    if ((headerBytes != 40 && headerBytes != 108 && headerBytes != 124) || Le(h, 26, 2) != 1 || Le(h, 28, 2) != 24 ||
        Le(h, 30, 4) != 0)
        return {};
    const qint64 height = std::abs(signedHeight);
    if (width <= 0 || height <= 0 || height > (qint64{1} << 30) || MorePixelsThan(width, height, maxPixels))
        return {};
    const qint64 rowBytes = (width * 3 + 3) / 4 * 4;
    if (offset < 14 + static_cast<qint64>(headerBytes) || f.size() < offset + rowBytes * height || !f.seek(offset))
        return {};
    QImage image = LargeImage(static_cast<int>(width), static_cast<int>(height));
    if (image.isNull())
        return {};
    const qint64 bandRows = std::max<qint64>(1, kBandBytes / rowBytes);
    std::vector<char> band(static_cast<std::size_t>(bandRows * rowBytes));
    for (qint64 first = 0; first < height; first += bandRows) {
        const qint64 rows = std::min(bandRows, height - first);
        if (f.read(band.data(), rows * rowBytes) != rows * rowBytes)
            return {};
        for (qint64 i = 0; i < rows; ++i) {
            // Rows run from the bottom up unless the height is negative.
            const qint64 fileRow = first + i;
            const qint64 y = signedHeight > 0 ? height - 1 - fileRow : fileRow;
            const auto* in = reinterpret_cast<const uchar*>(band.data() + i * rowBytes);
            uchar* out = image.scanLine(static_cast<int>(y));
            for (qint64 x = 0; x < width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
    }
    image.setDotsPerMeterX(static_cast<int>(static_cast<qint32>(Le(h, 38, 4))));
    image.setDotsPerMeterY(static_cast<int>(static_cast<qint32>(Le(h, 42, 4))));
    return image;
}

// The encodings besides JPEG (DecodeJpeg's) whose every way of being cut short
// is noticed: by their decoders (PNG and the portable any-maps fail on missing
// data) or by BitmapCutOff.  Qt's GIF and XBM readers hand back what they got
// without a word, and the rest are no photographs.
bool AcceptedEncoding(const QByteArray& format)
{
    static const QByteArrayList accepted = {"bmp", "png", "pbm", "pgm", "ppm"};
    return accepted.contains(format);
}

// Megapixels with one decimal and a point, whatever the locale.
QString Megapixels(double pixels)
{
    return QString::number(pixels / 1e6, 'f', 1);
}


QString TooLargeMessage(const QString& path, qint64 width, qint64 height, std::int64_t maxPixels)
{
    return QCoreApplication::translate("Photo",
                                       "'%1' は大きすぎて読み込めません (%2 × %3 画素, %4 メガ画素). 開ける写真は %5 メガ画素までです "
                                       "(環境設定で変えられます).")
        .arg(Named(path))
        .arg(width)
        .arg(height)
        .arg(Megapixels(static_cast<double>(width) * static_cast<double>(height)),
             Megapixels(static_cast<double>(maxPixels)));
}

QString NotAFileMessage(const QString& path)
{
    return QCoreApplication::translate("Photo", "'%1' は通常のファイルではないため読み込めません (パイプや装置は開けません).")
        .arg(Named(path));
}

QString ImplausibleMessage(const QString& path, qint64 width, qint64 height)
{
    return QCoreApplication::translate("Photo", "'%1' は壊れているため読み込めません (%2 × %3 画素と記されていますが, データが少なすぎます).")
        .arg(Named(path))
        .arg(width)
        .arg(height);
}

QString CutOffMessage(const QString& path)
{
    return QCoreApplication::translate("Photo", "'%1' は途中で切れているため読み込めません.").arg(Named(path));
}

// The decoder's failure in our own words: libjpeg speaks English only.
QString JpegFailureMessage(const QString& path, JpegDecode::Failure failure)
{
    switch (failure) {
    case JpegDecode::Failure::NotJpeg:
        return QCoreApplication::translate("Photo", "'%1' は JPEG ファイルではないため読み込めません.").arg(Named(path));
    case JpegDecode::Failure::Unsupported:
        return QCoreApplication::translate("Photo", "'%1' はこのプログラムが対応していない種類の JPEG のため読み込めません.")
            .arg(Named(path));
    case JpegDecode::Failure::NoMemory:
        return QCoreApplication::translate("Photo", "'%1' を読み込むためのメモリが足りません.").arg(Named(path));
    case JpegDecode::Failure::Corrupt:
        break;
    }
    return QCoreApplication::translate("Photo", "'%1' は壊れているため読み込めません (JPEG のデータに誤りがあります).")
        .arg(Named(path));
}

// The start of the open file, where a JPEG keeps its EXIF segment.
std::vector<unsigned char> ExifHead(const PhotoFile& photo)
{
    std::vector<unsigned char> head(static_cast<std::size_t>(std::min<qint64>(photo.Size(), kExifReadBytes)));
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::pread(photo.Descriptor(), head.data() + got, head.size() - got, static_cast<off_t>(got));
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    head.resize(got);
    return head;
}

// The EXIF orientation the start of the open file records; 1 when none.
int StoredOrientation(const PhotoFile& photo)
{
    const std::vector<unsigned char> head = ExifHead(photo);
    const std::optional<ExifInfo> exif = ReadExifBytes(head.data(), head.size());
    return exif ? NormalOrientation(exif->orientation) : 1;
}

// Qt's name for an orientation, as EXIF numbers them.
int OrientationOf(QImageIOHandler::Transformations t)
{
    if (t == QImageIOHandler::TransformationMirror)
        return 2;
    if (t == QImageIOHandler::TransformationRotate180)
        return 3;
    if (t == QImageIOHandler::TransformationFlip)
        return 4;
    if (t == QImageIOHandler::TransformationFlipAndRotate90)
        return 5;
    if (t == QImageIOHandler::TransformationRotate90)
        return 6;
    if (t == QImageIOHandler::TransformationMirrorAndRotate90)
        return 7;
    if (t == QImageIOHandler::TransformationRotate270)
        return 8;
    return 1;
}

// The photo as shown: turned upright once, here, for every decoder.
Photo UprightPhoto(QImage stored, int orientation)
{
    const int o = NormalOrientation(orientation);
    if (o == 1)
        return Photo(std::move(stored));
    QImage upright = UprightImage(stored, o);
    if (upright.isNull())
        return {};
    return Photo(std::move(upright), o);
}

} // namespace

bool PlausibleForFileSize(std::int64_t width, std::int64_t height, std::int64_t fileBytes)
{
    constexpr double kAlwaysPlausible = 1 << 24;
    constexpr double kMostPixelsPerByte = 4096;
    // In floating point: an announced size may pass what an integer holds.
    const double pixels = static_cast<double>(width) * static_cast<double>(height);
    return pixels <= kAlwaysPlausible || pixels / kMostPixelsPerByte <= static_cast<double>(fileBytes);
}

Photo::Photo(QImage image)
{
    if (!image.isNull() && image.format() != QImage::Format_RGB888)
        image.convertTo(QImage::Format_RGB888);
    image_ = std::move(image);
}

Photo::Photo(QImage image, int orientation) : Photo(std::move(image))
{
    orientation_ = NormalOrientation(orientation);
}

QImage UprightImage(const QImage& stored, int orientation)
{
    QImage in = stored.format() == QImage::Format_RGB888 ? stored : stored.convertToFormat(QImage::Format_RGB888);
    const int o = NormalOrientation(orientation);
    if (o == 1 || in.isNull())
        return in;
    const PixelSize size{in.width(), in.height()};
    const PixelSize up = UprightSize(o, size);
    QImage out = LargeImage(static_cast<int>(up.width), static_cast<int>(up.height));
    if (out.isNull())
        return out;
    out.setDotsPerMeterX(SwapsSides(o) ? in.dotsPerMeterY() : in.dotsPerMeterX());
    out.setDotsPerMeterY(SwapsSides(o) ? in.dotsPerMeterX() : in.dotsPerMeterY());
    for (int y = 0; y < in.height(); ++y) {
        const uchar* row = in.constScanLine(y);
        for (int x = 0; x < in.width(); ++x) {
            const TDPoint to = UprightPoint(o, size, {static_cast<double>(x), static_cast<double>(y)});
            uchar* px = out.scanLine(static_cast<int>(to.y)) + 3 * static_cast<int>(to.x);
            px[0] = row[3 * x];
            px[1] = row[3 * x + 1];
            px[2] = row[3 * x + 2];
        }
    }
    return out;
}

QByteArray DibHead(const QImage& image, int bytes, int orientation)
{
    const int o = NormalOrientation(orientation);
    const PixelSize stored = UprightSize(InverseOrientation(o), {image.width(), image.height()});
    const auto width = static_cast<std::uint32_t>(stored.width);
    const auto height = static_cast<std::uint32_t>(stored.height);
    const std::uint32_t rowBytes = (width * 3 + 3) & ~3u;
    QByteArray head;
    head.reserve(bytes);
    PutLe(head, 40, 4);
    PutLe(head, width, 4);
    PutLe(head, height, 4);
    PutLe(head, 1, 2);
    PutLe(head, 24, 2);
    PutLe(head, 0, 4);
    PutLe(head, rowBytes * height, 4);
    PutLe(head, 0, 4);
    PutLe(head, 0, 4);
    PutLe(head, 0, 4);
    PutLe(head, 0, 4);
    // Pixel rows from the bottom up, blue-green-red, each padded with zeros.
    for (std::int64_t y = stored.height - 1; y >= 0 && head.size() < bytes; --y) {
        for (std::uint32_t x = 0; x < width && head.size() < bytes; ++x) {
            const TDPoint at = UprightPoint(o, stored, {static_cast<double>(x), static_cast<double>(y)});
            const uchar* px = image.constScanLine(static_cast<int>(at.y)) + 3 * static_cast<int>(at.x);
            head.append(static_cast<char>(px[2]));
            head.append(static_cast<char>(px[1]));
            head.append(static_cast<char>(px[0]));
        }
        for (std::uint32_t pad = width * 3; pad < rowBytes && head.size() < bytes; ++pad)
            head.append('\0');
    }
    head.truncate(bytes);
    return head;
}

std::int32_t Photo::CheckSum() const
{
    if (image_.isNull())
        return 0;
    const QByteArray head = DibHead(image_, 101, orientation_);
    std::int32_t sum = 0;
    for (const char c : head)
        sum += static_cast<unsigned char>(c);
    return sum;
}

bool Photo::SaveJpeg(const QString& path, const Progress& progress) const
{
    Report(progress, 0);
    QImageWriter writer(path, "jpeg");
    writer.setQuality(75);
    const bool ok = writer.write(image_);
    Report(progress, 100);
    return ok;
}

// Written row by row from the photo's own pixels, the bytes Qt's BMP writer
// makes (a 40-byte header, 24 bits a pixel, bottom-up), without its 32-bit copy
// of the whole photo first.
bool Photo::SaveBmp(const QString& path, const Progress& progress) const
{
    Report(progress, 0);
    if (image_.isNull())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 width = image_.width();
    const qint64 height = image_.height();
    const qint64 rowBytes = (width * 3 + 3) / 4 * 4;
    constexpr quint32 kOffBits = 14 + 40;
    QByteArray head;
    head.append("BM");
    PutLe(head, static_cast<std::uint32_t>(kOffBits + rowBytes * height), 4);
    PutLe(head, 0, 4);
    PutLe(head, kOffBits, 4);
    PutLe(head, 40, 4);
    PutLe(head, static_cast<std::uint32_t>(width), 4);
    PutLe(head, static_cast<std::uint32_t>(height), 4);
    PutLe(head, 1, 2);
    PutLe(head, 24, 2);
    PutLe(head, 0, 4);
    PutLe(head, static_cast<std::uint32_t>(rowBytes * height), 4);
    PutLe(head, static_cast<std::uint32_t>(image_.dotsPerMeterX() ? image_.dotsPerMeterX() : 2834), 4);
    PutLe(head, static_cast<std::uint32_t>(image_.dotsPerMeterY() ? image_.dotsPerMeterY() : 2834), 4);
    PutLe(head, 0, 4);
    PutLe(head, 0, 4);
    if (f.write(head) != head.size())
        return false;
    const qint64 bandRows = std::max<qint64>(1, kBandBytes / rowBytes);
    std::vector<char> band(static_cast<std::size_t>(bandRows * rowBytes), 0);
    for (qint64 first = 0; first < height; first += bandRows) {
        const qint64 rows = std::min(bandRows, height - first);
        for (qint64 i = 0; i < rows; ++i) {
            const uchar* in = image_.constScanLine(static_cast<int>(height - 1 - (first + i)));
            auto* out = reinterpret_cast<uchar*>(band.data() + i * rowBytes);
            for (qint64 x = 0; x < width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
        if (f.write(band.data(), rows * rowBytes) != rows * rowBytes)
            return false;
        Report(progress, static_cast<int>((first + rows) * 100 / height));
    }
    return f.flush();
}

namespace {

// Lets Qt's decoders allocate what photos of maxPixels need; 0: no limit.
void AllowDecoding(std::int64_t maxPixels)
{
    // In megabytes; Qt's own default (256) stops at about 64 megapixels.
    QImageReader::setAllocationLimit(maxPixels == 0 ? 0 : static_cast<int>(maxPixels * 4 / (1024 * 1024)) + 64);
}

} // namespace

void ConfigureImageDecoding()
{
    AllowDecoding(kMaxPhotoPixels);
}

namespace {

// The XXH3 128-bit hash of the open file's bytes, read from its start in
// blocks by position: the decoders have just read the same bytes, so they
// come from the page cache, not the disk.  Empty when a read fails.
std::string FingerprintOf(const PhotoFile& file)
{
    if (!file.IsOpen())
        return std::string();
    XXH3_state_t* state = XXH3_createState();
    if (!state)
        return std::string();
    const std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)> owned(state, XXH3_freeState);
    XXH3_128bits_reset(state);
    constexpr std::size_t kBlock = 1 << 20;
    std::vector<unsigned char> block(kBlock);
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(file.Descriptor(), block.data(), kBlock, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::string();
        if (got == 0)
            break;
        XXH3_128bits_update(state, block.data(), static_cast<std::size_t>(got));
        at += got;
    }
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state));
    std::string hex(2 * sizeof canonical.digest, '0');
    for (std::size_t i = 0; i < sizeof canonical.digest; ++i) {
        hex[2 * i] = "0123456789abcdef"[canonical.digest[i] >> 4];
        hex[2 * i + 1] = "0123456789abcdef"[canonical.digest[i] & 0xF];
    }
    return hex;
}

} // namespace

std::optional<ExifInfo> ReadPhotoExif(const QString& path)
{
    const PhotoFile file(path);
    if (!file.IsOpen())
        return std::nullopt;
    const std::vector<unsigned char> head = ExifHead(file);
    if (head.size() >= 2 && head[0] == 0xFF && head[1] == 0xD8)
        return ReadExifBytes(head.data(), head.size());
    if (!LooksLikeHeif(head.data(), head.size()))
        return std::nullopt;
    const std::string block = ReadHeifExif(file.Descriptor(), file.Size());
    if (block.empty())
        return std::nullopt;
    return ReadExifBytes(reinterpret_cast<const unsigned char*>(block.data()), block.size());
}

namespace {

PhotoLoad DecodePhoto(const QString& path, const PhotoFile& file, const Progress& progress, std::int64_t maxPixels)
{
    PhotoLoad r;
    if (file.Special()) {
        r.error = NotAFileMessage(path);
        return r;
    }
    if (!file.IsOpen()) {
        r.error = QCoreApplication::translate("Photo", "'%1' は画像として読み込めません.").arg(Named(path));
        return r;
    }
    AllowDecoding(maxPixels);
    const JpegDecode jpeg = DecodeJpeg(file.Descriptor(), file.Size(), maxPixels);
    switch (jpeg.result) {
    case JpegDecode::Result::Ok:
        r.photo = UprightPhoto(jpeg.image, StoredOrientation(file));
        if (r.photo.isNull())
            r.error = QCoreApplication::translate("Photo", "'%1' を読み込めませんでした (%2).").arg(Named(path), QStringLiteral("out of memory"));
        Report(progress, 100);
        return r;
    case JpegDecode::Result::TooLarge:
        r.error = TooLargeMessage(path, jpeg.width, jpeg.height, maxPixels);
        return r;
    case JpegDecode::Result::Implausible:
        r.error = ImplausibleMessage(path, jpeg.width, jpeg.height);
        return r;
    case JpegDecode::Result::CutOff:
        r.error = CutOffMessage(path);
        return r;
    case JpegDecode::Result::Failed:
        r.error = JpegFailureMessage(path, jpeg.failure);
        return r;
    case JpegDecode::Result::NotHandled:
        break;
    }
    const HeifDecode heif = DecodeHeif(file.Descriptor(), file.Size(), maxPixels);
    switch (heif.result) {
    case HeifDecode::Result::Ok:
        // Already upright: libheif applies the file's own rotation.
        r.photo = Photo(heif.image);
        Report(progress, 100);
        return r;
    case HeifDecode::Result::TooLarge:
        r.error = TooLargeMessage(path, heif.width, heif.height, maxPixels);
        return r;
    case HeifDecode::Result::Implausible:
        r.error = ImplausibleMessage(path, heif.width, heif.height);
        return r;
    case HeifDecode::Result::Failed:
        r.error = QCoreApplication::translate("Photo", "'%1' を読み込めませんでした (%2).").arg(Named(path), heif.detail);
        return r;
    case HeifDecode::Result::NotHandled:
        break;
    }
    const QString unreadable = QCoreApplication::translate("Photo", "'%1' は画像として読み込めません.").arg(Named(path));
    QByteArray format;
    {
        // The header alone: its coding and the size it announces.
        QFile device;
        if (!file.Attach(device)) {
            r.error = unreadable;
            return r;
        }
        // Qt's readers give no size for a header past their allocation limit;
        // reading the header allocates nothing, and the size is what the
        // message must name.
        QImageReader probe(&device);
        if (!probe.canRead()) {
            r.error = unreadable;
            return r;
        }
        format = probe.format();
        AllowDecoding(0);
        const QSize size = probe.size();
        AllowDecoding(maxPixels);
        if (!AcceptedEncoding(format)) {
            r.error = QCoreApplication::translate("Photo", "'%1' の形式 (%2) の画像は読み込めません. JPEG, HEIC, BMP, PNG の写真を開いてください.")
                          .arg(Named(path), QString::fromLatin1(format).toUpper());
            return r;
        }
        if (size.isValid() && MorePixelsThan(size.width(), size.height(), maxPixels)) {
            r.error = TooLargeMessage(path, size.width(), size.height(), maxPixels);
            return r;
        }
        if (const std::optional<Announced> a = AnnouncedSize(file, format); a && MorePixelsThan(a->width, a->height, maxPixels)) {
            r.error = TooLargeMessage(path, a->width, a->height, maxPixels);
            return r;
        }
        if (size.isValid() && !PlausibleForFileSize(size.width(), size.height(), file.Size())) {
            r.error = ImplausibleMessage(path, size.width(), size.height());
            return r;
        }
    }
    Report(progress, 10);
    QImage image;
    int orientation = 1;
    // Each reading below starts afresh from the file's start: they share the
    // one open file, and so its position.
    bool cutOff = format == "bmp" && BitmapCutOff(file);
    if (!cutOff && format == "bmp")
        image = ReadPlainBitmap(file, maxPixels);
    if (!cutOff && image.isNull()) {
        QFile device;
        if (!file.Attach(device)) {
            r.error = unreadable;
            return r;
        }
        QImageReader reader(&device, format);
        // Turned upright below, by the same hand as every other photo.
        reader.setAutoTransform(false);
        const DecoderListener listener;
        if (!reader.read(&image) || image.isNull()) {
            r.error = QCoreApplication::translate("Photo", "'%1' を読み込めませんでした (%2).").arg(Named(path), reader.errorString());
            return r;
        }
        orientation = OrientationOf(reader.transformation());
        cutOff = listener.CutOff();
    }
    if (cutOff) {
        r.error = CutOffMessage(path);
        return r;
    }
    Report(progress, 80);
    r.photo = UprightPhoto(std::move(image), orientation);
    if (r.photo.isNull())
        r.error = QCoreApplication::translate("Photo", "'%1' を読み込めませんでした (%2).").arg(Named(path), QStringLiteral("out of memory"));
    Report(progress, 100);
    return r;
}

} // namespace

PhotoLoad LoadPhoto(const QString& path, const Progress& progress, std::int64_t maxPixels)
{
    Report(progress, 0);
    const PhotoFile file(path);
    PhotoLoad r = DecodePhoto(path, file, progress, maxPixels);
    // The fingerprint of the very file decoded, its bytes still in the cache.
    if (!r.photo.isNull())
        r.photo.SetFileFingerprint(FingerprintOf(file));
    return r;
}

std::string PhotoFingerprint(const QString& path)
{
    const PhotoFile photo(path);
    return FingerprintOf(photo);
}

std::string FingerprintLike(const QString& path, std::string_view stored)
{
    return stored.size() == 64 ? OlderPhotoFingerprint(path) : PhotoFingerprint(path);
}

std::string OlderPhotoFingerprint(const QString& path)
{
    const PhotoFile photo(path);
    QFile file;
    if (!photo.Attach(file))
        return std::string();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return std::string();
    return hash.result().toHex().toStdString();
}

} // namespace kvx
