#include "shell/report_file.h"

#include "image/painter_canvas.h"
#include "image/photo_view.h"
#include "output/overlay/overlay.h"
#include "output/report/report.h"
#include "base/safe_file.h"

#include <QPainter>
#include <QPrinter>

#include <cmath>
#include <ostream>

namespace kvx {

namespace fs = std::filesystem;

namespace {

// The photo at exactly width x height pixels as RGB rows for the PDF: reduced
// by whole factors first (cheap and sharp), then smoothly to the size.
TPDFImage ReportImage(const QImage& photo, int width, int height)
{
    QImage reduced = photo;
    int factor = 1;
    while (photo.width() / (factor * 2) >= width * 2 && photo.height() / (factor * 2) >= height * 2)
        factor *= 2;
    if (factor > 1)
        reduced = ReduceImage(photo, factor);
    QImage sized = reduced.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (sized.format() != QImage::Format_RGB888)
        sized.convertTo(QImage::Format_RGB888);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y)
        std::copy_n(sized.constScanLine(y), static_cast<std::size_t>(width) * 3,
                    rgb.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * width * 3));
    return TPDFImage(width, height, std::move(rgb));
}

} // namespace

void WritePdfReport(const QString& path, Document& doc, const TAppSettings& settings, const Photo& work,
                    const fs::path& tempFolder, int& process, const Progress& progress)
{
    process = 1;
    // "~.bmp" is written as it always was; the page is made from the photo in
    // memory, which reading the file back would give exactly (the bitmap holds
    // the same 24-bit pixels).
    auto step = [&](int from, int to) {
        return [&progress, from, to](int percent) {
            if (progress)
                progress(from + (to - from) * percent / 100);
        };
    };
    const QString bitmap = QString::fromStdString((tempFolder / "~.bmp").string());
    if (!work.SaveBmp(bitmap, step(0, 70)))
        throw std::runtime_error("'" + bitmap.toStdString() + "' を書き込めませんでした.");
    const ReportPage page = ReportPageFor(work.Width(), work.Height());
    const TPDFImage image = ReportImage(work.Image(), page.W, page.H);
    step(0, 100)(85);

    const fs::path target = path.toStdString();
    const std::string failed = "'" + path.toStdString() + "' を書き込めませんでした.";
    if (const std::string refused = RefusedWrite(target); !refused.empty())
        throw std::runtime_error(refused);
    // A report never replaces a good file unless it was written whole.
    if (!WriteReplacing(target, [&](std::ostream& out) {
            WriteReport(out, doc, settings, image, page, process);
            return true;
        }))
        throw std::runtime_error(failed);
    step(0, 100)(100);
}

void PrintPhoto(QPrinter& printer, const Document& doc, const TAppSettings& settings, const Photo& work,
                int uCommand, bool polygonMode)
{
    if (work.isNull())
        return;
    printer.setFullPage(true);
    QPainter p;
    if (!p.begin(&printer))
        throw std::runtime_error("印刷を開始できませんでした.");
    const QRect printable = printer.pageLayout().paintRectPixels(printer.resolution());
    const double left = printable.left(), top = printable.top();
    const double right = printable.right() + 1, bottom = printable.bottom() + 1;
    const int width = work.Width(), height = work.Height();
    const double s = std::min((right - left) / width, (bottom - top) / height);
    // The photo centred at the largest size that fits.
    const QRectF placed(left + ((right - left) - width * s) / 2, top + ((bottom - top) - height * s) / 2, width * s,
                        height * s);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(placed, work.Image());

    // The overlay mapped onto the photo as placed.
    OverlayContext c;
    c.left = -Roundoff(left / s + ((right - left) / s - width) / 2);
    c.top = -Roundoff(top / s + ((bottom - top) / s - height) / 2);
    c.which = 1;
    c.scale = s;
    c.offsetX = 0;
    c.offsetY = 0;
    c.viewWidth = printer.width() / s + 1;
    c.viewHeight = printer.height() / s + 1;
    c.uCommand = uCommand;
    c.polygonMode = polygonMode;
    c.imageWidth = width;
    c.imageHeight = height;
    c.settings = &settings;
    PainterCanvas canvas(p);
    DrawBase(canvas, doc, c);
    p.end();
}

} // namespace kvx
