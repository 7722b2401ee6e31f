#pragma once

// The overlay's canvas on a Qt painter: the display and the printed page.

#include "image/colour.h"
#include "output/overlay/canvas.h"

#include <QColor>
#include <QFont>
#include <QStaticText>

#include <map>
#include <utility>

class QPainter;

namespace kvx {

// The Gothic face the labels are written in, at size points.
QFont LabelFont(int points);

class PainterCanvas : public Canvas {
public:
    // fontScale multiplies the label size: 1 on the screen; a printer page
    // passes its resolution against the screen's.
    explicit PainterCanvas(QPainter& painter, double fontScale = 1.0);
    void Line(const TRect& r, const PrintInfo& info) override;
    void Ellipse(const TRect& r, const PrintInfo& info) override;
    void DrawText(const TRect& r, const PrintInfo& info) override;
    bool TextExtent(const PrintInfo& info, int& width, int& height) override;

private:
    void UsePen(const PrintInfo& info);
    // The label font of a size, made once for the life of the canvas.
    const QFont& Font(const PrintInfo& info);
    // A label is measured and then drawn five times (four for its halo): its
    // layout is made once and kept for the life of the canvas.
    const QStaticText& Layout(const PrintInfo& info);
    QPainter& p_;
    double fontScale_;
    std::map<std::pair<std::string, int>, QStaticText> layouts_;
    std::map<int, QFont> fonts_;
};

} // namespace kvx
