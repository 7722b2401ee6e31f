#include "shell/painter_canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kvx {

QFont LabelFont(int points)
{
    QFont f;
    f.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
                   QStringLiteral("Sans Serif")});
    f.setPointSize(std::max(1, points));
    return f;
}

PainterCanvas::PainterCanvas(QPainter& painter, double fontScale) : p_(painter), fontScale_(fontScale) {}

void PainterCanvas::UsePen(const PrintInfo& info)
{
    QPen pen(ColorOf(info.PenColor));
    pen.setWidth(std::max(1, info.PenWidth));
    // Four styles that stay apart at any width: solid, dash-dot for corrected
    // marks, dashes for construction lines, dots while deleting.
    switch (info.LineStyle) {
    case kStyleCorrected:
        pen.setStyle(Qt::DashDotLine);
        break;
    case kStyleConstruction:
        pen.setStyle(Qt::DashLine);
        break;
    case kStyleDelete:
        pen.setStyle(Qt::DotLine);
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    p_.setPen(pen);
    p_.setBrush(Qt::NoBrush);
}

const QFont& PainterCanvas::Font(const PrintInfo& info)
{
    auto it = fonts_.find(info.FontSize);
    if (it == fonts_.end()) {
        QFont f = LabelFont(info.FontSize);
        f.setPointSizeF(info.FontSize * fontScale_);
        it = fonts_.emplace(info.FontSize, f).first;
    }
    return it->second;
}

void PainterCanvas::Line(const TRect& r, const PrintInfo& info)
{
    UsePen(info);
    p_.drawLine(r.left, r.top, r.right, r.bottom);
}

void PainterCanvas::Ellipse(const TRect& r, const PrintInfo& info)
{
    UsePen(info);
    p_.drawEllipse(QRect(QPoint(std::min(r.left, r.right), std::min(r.top, r.bottom)),
                         QPoint(std::max(r.left, r.right), std::max(r.top, r.bottom))));
}

const QStaticText& PainterCanvas::Layout(const PrintInfo& info)
{
    const auto key = std::pair{info.Text, static_cast<int>(info.FontSize)};
    auto it = layouts_.find(key);
    if (it == layouts_.end()) {
        QStaticText layout(QString::fromStdString(info.Text));
        layout.setTextFormat(Qt::PlainText);
        layout.prepare(QTransform(), Font(info));
        it = layouts_.emplace(key, std::move(layout)).first;
    }
    return it->second;
}

void PainterCanvas::DrawText(const TRect& r, const PrintInfo& info)
{
    if (info.Text.empty())
        return;
    const QRect box(QPoint(std::min(r.left, r.right), std::min(r.top, r.bottom)),
                    QPoint(std::max(r.left, r.right), std::max(r.top, r.bottom)));
    const QStaticText& layout = Layout(info);
    const QSizeF size = layout.size();
    const QPointF origin(box.left() + (box.width() - size.width()) / 2.0, box.top() + (box.height() - size.height()) / 2.0);
    // A light box under the text keeps a label legible on any part of a photo.
    // Only the pen and the font change, so only they are put back (a whole
    // save and restore of the painter costs more than the label itself).
    const QPen pen = p_.pen();
    const QFont font = p_.font();
    p_.fillRect(QRectF(origin, size).adjusted(-1, 0, 1, 0), QColor(255, 255, 255, 190));
    p_.setFont(Font(info));
    p_.setPen(ColorOf(info.TextColor));
    p_.drawStaticText(origin, layout);
    p_.setPen(pen);
    p_.setFont(font);
}

bool PainterCanvas::TextExtent(const PrintInfo& info, int& width, int& height)
{
    const QSizeF size = Layout(info).size();
    width = static_cast<int>(std::ceil(size.width()));
    height = static_cast<int>(std::ceil(size.height()));
    return true;
}

} // namespace kvx
