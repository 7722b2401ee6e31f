#include "shell/report_file.h"
#include "shell/path_names.h"
#include "base/translate.h"

#include "shell/painter_canvas.h"
#include "image/photo_view.h"
#include "output/report/report.h"
#include "measure/calibration.h"
#include "base/safe_file.h"

#include <QDate>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QStringList>

#include <cmath>
#include <ostream>

namespace kvx {

namespace fs = std::filesystem;

// Reduced by whole factors first (cheap and sharp), then smoothly to the size.
TPDFImage ReportImage(const QImage& photo, int width, int height)
{
    QImage reduced = photo;
    int factor = 1;
    while (photo.width() / (factor * 2) >= width * 2 && photo.height() / (factor * 2) >= height * 2)
        factor *= 2;
    if (factor > 1)
        reduced = ReduceImage(photo, factor, QImage::Format_RGB32);
    QImage sized = reduced.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (sized.format() != QImage::Format_RGB888)
        sized.convertTo(QImage::Format_RGB888);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y)
        std::copy_n(sized.constScanLine(y), static_cast<std::size_t>(width) * 3,
                    rgb.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * width * 3));
    return TPDFImage(width, height, std::move(rgb));
}

ReportDetail PhotoDetail(const Document& doc)
{
    ReportDetail detail;
    detail.photo = QFileInfo(QString::fromStdString(doc.ImageFileName)).fileName().toStdString();
    detail.date = QDate::currentDate().toString(Qt::ISODate).toStdString();
    if (const std::optional<ExifInfo> exif = ReadPhotoExif(QString::fromStdString(doc.ImageFileName)))
        for (CameraLine& line : CameraLines(*exif))
            detail.camera.emplace_back(std::move(line.label), std::move(line.value));
    return detail;
}

namespace {

// The report page on a printer: page points (y up) to device pixels, k device
// pixels a point, the page's top-left corner at origin.
class PrinterSurface : public ReportSurface {
public:
    PrinterSurface(QPainter& p, QPointF origin, double k, double pageHeight)
        : p_(p), origin_(origin), k_(k), pageHeight_(pageHeight)
    {
    }

    QPointF Map(double x, double y) const { return origin_ + QPointF(x * k_, (pageHeight_ - y) * k_); }
    QRectF lineClip;

    void Pen(double width, int dash, std::int32_t colour) override
    {
        colour_ = colour;
        QPen pen(ColorOf(colour), width * k_);
        pen.setCapStyle(Qt::FlatCap);
        // The report's dashes in points, Qt's in pen widths.
        if (dash != 0) {
            const double on = dash == 1 ? 3 : 10, off = 3;
            pen.setDashPattern({on / width, off / width});
        }
        p_.setPen(pen);
    }
    std::int32_t LineColour() const override { return colour_; }
    void Line(double x1, double y1, double x2, double y2) override
    {
        p_.save();
        if (!lineClip.isEmpty())
            p_.setClipRect(lineClip);
        p_.drawLine(Map(x1, y1), Map(x2, y2));
        p_.restore();
    }
    void Curve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3) override
    {
        QPainterPath path(Map(x0, y0));
        path.cubicTo(Map(x1, y1), Map(x2, y2), Map(x3, y3));
        p_.strokePath(path, p_.pen());
    }
    void Text(const std::string& text, double x, double y, double size, std::int32_t colour) override
    {
        // The report's gothic is fixed-pitch: labels are centred by counting bytes.
        QFont font;
        font.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                          QStringLiteral("Monospace")});
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(size * k_))));
        p_.save();
        p_.setFont(font);
        p_.setPen(ColorOf(colour));
        const QStringList lines = QString::fromStdString(text).split(QLatin1Char('\r'));
        for (qsizetype i = 0; i < lines.size(); ++i)
            p_.drawText(Map(x, y - static_cast<double>(i) * size * 1.2), lines[i]);
        p_.restore();
    }

private:
    QPainter& p_;
    QPointF origin_;
    double k_;
    double pageHeight_;
    std::int32_t colour_ = 0;
};

} // namespace

void WritePdfReport(const QString& path, const Document& doc, const TAppSettings& settings, const Photo& work,
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
        throw std::runtime_error("'" + bitmap.toStdString() + Tx("ReportFile", "' を書き込めませんでした."));
    const ReportPage page = ReportPageFor(work.Width(), work.Height());
    const TPDFImage image = ReportImage(work.Image(), page.W, page.H);
    step(0, 100)(85);

    const fs::path target = ToPath(path);
    const std::string failed = "'" + target.string() + Tx("ReportFile", "' を書き込めませんでした.");
    if (const std::string refused = RefusedWrite(target); !refused.empty())
        throw std::runtime_error(refused);
    // A report never replaces a good file unless it was written whole.
    const ReportDetail detail = PhotoDetail(doc);
    std::error_code why;
    if (!WriteReplacing(
            target,
            [&](std::ostream& out) {
                WriteReport(out, doc, settings, image, page, process, settings.ReportDetailFlag ? &detail : nullptr);
                return true;
            },
            &why)) {
        const std::string reason = WriteFailureReason(target, why);
        throw std::runtime_error(reason.empty() ? failed : failed + " " + reason);
    }
    step(0, 100)(100);
}

void PrintPhoto(QPrinter& printer, const Document& doc, const TAppSettings& settings, const Photo& work)
{
    if (work.isNull())
        return;
    const ReportPage page = ReportPageFor(work.Width(), work.Height());
    printer.setFullPage(true);
    printer.setPageOrientation(page.width > page.height ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPainter p;
    if (!p.begin(&printer))
        throw std::runtime_error(Tx("ReportFile", "印刷を開始できませんでした."));
    const QRectF paper = printer.pageLayout().fullRectPixels(printer.resolution());
    const double k = std::min(paper.width() / page.width, paper.height() / page.height);
    const QPointF origin((paper.width() - page.width * k) / 2, (paper.height() - page.height * k) / 2);
    PrinterSurface surface(p, origin, k, page.height);
    const QRectF photo(surface.Map(page.offX, page.offY + page.H), QSizeF(page.W * k, page.H * k));
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(photo, work.Image());
    surface.lineClip = photo;
    int process = 0;
    // Printing draws views of the planes: the one the user works on stays current.
    DrawReportPage(surface, doc, settings, page, process);
    p.end();
}

} // namespace kvx
