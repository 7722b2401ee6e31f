#include "image/photo.h"

#include "image/jpeg_decode.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <cstdlib>

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

// An uncompressed bitmap shorter than its header announces: the BMP reader
// fills the missing rows silently.
bool BitmapCutOff(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray h = f.read(54);
    if (h.size() < 54 || !h.startsWith("BM") || Le(h, 14, 4) < 40 || Le(h, 30, 4) != 0)
        return false;
    const auto width = static_cast<qint64>(static_cast<qint32>(Le(h, 18, 4)));
    const auto height = static_cast<qint64>(static_cast<qint32>(Le(h, 22, 4)));
    const qint64 bits = Le(h, 28, 2);
    const qint64 rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    return f.size() < static_cast<qint64>(Le(h, 10, 4)) + rowBytes * std::abs(height);
}

} // namespace

Photo::Photo(QImage image)
{
    if (!image.isNull() && image.format() != QImage::Format_RGB888)
        image.convertTo(QImage::Format_RGB888);
    image_ = std::move(image);
}

QByteArray DibHead(const QImage& image, int bytes)
{
    const auto width = static_cast<std::uint32_t>(image.width());
    const auto height = static_cast<std::uint32_t>(image.height());
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
    for (int y = image.height() - 1; y >= 0 && head.size() < bytes; --y) {
        const uchar* row = image.constScanLine(y);
        for (std::uint32_t x = 0; x < width && head.size() < bytes; ++x) {
            const uchar* px = row + 3 * x;
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
    const QByteArray head = DibHead(image_, 101);
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

bool Photo::SaveBmp(const QString& path, const Progress& progress) const
{
    Report(progress, 0);
    QImageWriter writer(path, "bmp");
    const bool ok = writer.write(image_);
    Report(progress, 100);
    return ok;
}

void ConfigureImageDecoding()
{
    // In megabytes; Qt's own default (256) stops at about 64 megapixels.
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPhotoPixels * 4 / (1024 * 1024)) + 64);
}

PhotoLoad LoadPhoto(const QString& path, const Progress& progress)
{
    PhotoLoad r;
    Report(progress, 0);
    const JpegDecode jpeg = DecodeJpeg(path, kMaxPhotoPixels);
    switch (jpeg.result) {
    case JpegDecode::Result::Ok:
        r.photo = Photo(jpeg.image);
        Report(progress, 100);
        return r;
    case JpegDecode::Result::TooLarge:
        r.error = QStringLiteral("'%1' は大きすぎて読み込めません (%2 × %3 画素).")
                      .arg(Named(path))
                      .arg(jpeg.width)
                      .arg(jpeg.height);
        return r;
    case JpegDecode::Result::CutOff:
        r.error = QStringLiteral("'%1' は途中で切れているため読み込めません.").arg(Named(path));
        return r;
    case JpegDecode::Result::Failed:
        r.error = QStringLiteral("'%1' を読み込めませんでした (%2).").arg(Named(path), jpeg.detail);
        return r;
    case JpegDecode::Result::NotHandled:
        break;
    }
    QImageReader reader(path);
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        r.error = QStringLiteral("'%1' は画像として読み込めません.").arg(Named(path));
        return r;
    }
    const QSize size = reader.size();
    if (size.isValid() && static_cast<std::int64_t>(size.width()) * size.height() > kMaxPhotoPixels) {
        r.error = QStringLiteral("'%1' は大きすぎて読み込めません (%2 × %3 画素).")
                      .arg(Named(path))
                      .arg(size.width())
                      .arg(size.height());
        return r;
    }
    Report(progress, 10);
    QImage image;
    bool cutOff = reader.format() == "bmp" && BitmapCutOff(path);
    if (!cutOff) {
        const DecoderListener listener;
        if (!reader.read(&image) || image.isNull()) {
            r.error = QStringLiteral("'%1' を読み込めませんでした (%2).").arg(Named(path), reader.errorString());
            return r;
        }
        cutOff = listener.CutOff();
    }
    if (cutOff) {
        r.error = QStringLiteral("'%1' は途中で切れているため読み込めません.").arg(Named(path));
        return r;
    }
    Report(progress, 80);
    r.photo = Photo(std::move(image));
    Report(progress, 100);
    return r;
}

} // namespace kvx
