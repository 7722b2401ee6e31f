#include "image/painter_canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace kvx {

QColor ColorOf(std::int32_t bgr)
{
    const auto v = static_cast<std::uint32_t>(bgr);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

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

QFont PainterCanvas::Font(const PrintInfo& info) const
{
    QFont f = LabelFont(info.FontSize);
    f.setPointSizeF(info.FontSize * fontScale_);
    return f;
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

void PainterCanvas::DrawText(const TRect& r, const PrintInfo& info)
{
    if (info.Text.empty())
        return;
    const QRect box(QPoint(std::min(r.left, r.right), std::min(r.top, r.bottom)),
                    QPoint(std::max(r.left, r.right), std::max(r.top, r.bottom)));
    const QString text = QString::fromStdString(info.Text);
    const QFont font = Font(info);
    const QFontMetrics fm(font);
    const QPointF origin(box.left() + (box.width() - fm.horizontalAdvance(text)) / 2.0,
                         box.top() + (box.height() - fm.height()) / 2.0 + fm.ascent());
    // A thin white halo keeps a label legible on any part of a photo.
    QPainterPath path;
    path.addText(origin, font, text);
    p_.save();
    p_.setRenderHint(QPainter::Antialiasing, true);
    p_.setPen(QPen(QColor(255, 255, 255, 220), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p_.setBrush(Qt::NoBrush);
    p_.drawPath(path);
    p_.setPen(Qt::NoPen);
    p_.setBrush(ColorOf(info.TextColor));
    p_.drawPath(path);
    p_.restore();
}

bool PainterCanvas::TextExtent(const PrintInfo& info, int& width, int& height)
{
    const QFontMetrics fm(Font(info));
    width = fm.horizontalAdvance(QString::fromStdString(info.Text));
    height = fm.height();
    return true;
}

} // namespace kvx
