#include "image/zoom.h"
#include "view/view_mapping.h"

#include <algorithm>
#include <cmath>

namespace kvx {

View ZoomAllView(int controlWidth, int controlHeight, int imageWidth, int imageHeight)
{
    View v;
    if (imageWidth <= 0 || imageHeight <= 0)
        return v;
    v.DispScale = std::max(kMinFitScale, std::min(static_cast<double>(controlWidth) / imageWidth,
                                                  static_cast<double>(controlHeight) / imageHeight));
    v.StartX = 1;
    v.StartY = 1;
    return v;
}

View ZoomWindowView(int controlWidth, int controlHeight, TDPoint p1, TDPoint p2)
{
    const double w = std::fabs(p1.x - p2.x);
    const double h = std::fabs(p1.y - p2.y);
    double scale = kMaxScale;
    if (w > 0)
        scale = std::min(scale, controlWidth / w);
    if (h > 0)
        scale = std::min(scale, controlHeight / h);
    View v;
    v.DispScale = scale;
    v.StartX = static_cast<std::int32_t>(std::trunc(std::min(p1.x, p2.x)));
    v.StartY = static_cast<std::int32_t>(std::trunc(std::min(p1.y, p2.y)));
    return v;
}

double ZoomUpScale(double current, double factor)
{
    return std::min(current * (factor <= 0 ? kWheelIn : factor), kMaxScale);
}

double ZoomDownScale(double current, double factor)
{
    return std::max(current * (factor <= 0 ? kWheelOut : factor), kMinToolScale);
}

View AnchoredZoom(const ViewState& view, TDPoint p, double newScale, int controlWidth, int controlHeight,
                  int imageWidth, int imageHeight)
{
    const TPoint s = WtoS(view, p);
    View v;
    v.DispScale = newScale;
    const TPoint offset = DisplayOffset(v, controlWidth, controlHeight, imageWidth, imageHeight);
    // The nearest whole image pixel: the origin is an integer, so the point can
    // move by half an image pixel at most.
    auto start = [&](double at, std::int32_t screen, std::int32_t off) {
        const double exact = at - (screen - off) / newScale;
        return static_cast<std::int32_t>(std::clamp(std::round(exact), -2.0e9, 2.0e9));
    };
    v.StartX = start(p.x, s.x, offset.x);
    v.StartY = start(p.y, s.y, offset.y);
    return ClampView(v, controlWidth, controlHeight, imageWidth, imageHeight);
}

View ClampView(View v, int controlWidth, int controlHeight, int imageWidth, int imageHeight)
{
    auto clamp = [&](std::int32_t start, int control, int image) {
        const double visible = control / v.DispScale;
        const double room = image - visible;
        if (room <= 0)
            return 0;
        return std::clamp(start, 0, static_cast<std::int32_t>(std::ceil(room)));
    };
    v.StartX = clamp(v.StartX, controlWidth, imageWidth);
    v.StartY = clamp(v.StartY, controlHeight, imageHeight);
    return v;
}

TPoint DisplayOffset(const View& v, int controlWidth, int controlHeight, int imageWidth, int imageHeight)
{
    const double w = imageWidth * v.DispScale;
    const double h = imageHeight * v.DispScale;
    TPoint o;
    o.x = w < controlWidth ? static_cast<std::int32_t>((controlWidth - w) / 2) : 0;
    o.y = h < controlHeight ? static_cast<std::int32_t>((controlHeight - h) / 2) : 0;
    return o;
}

} // namespace kvx
