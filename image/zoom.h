#pragma once

// The arithmetic of every way of zooming the photo, apart from any widget.
// Views are the image point at the display's top-left corner (integers) and the
// display pixels per image pixel.

#include "measure/geometry.h"
#include "view/view_mapping.h"

namespace kvx {

inline constexpr double kMaxScale = 30.0;
inline constexpr double kMinToolScale = 0.02;  // zooming out with the tool or the wheel
inline constexpr double kMinFitScale = 0.1;    // fitting the whole photo
inline constexpr double kWheelIn = 1.2;
inline constexpr double kWheelOut = 0.8333333333333334;

struct View {
    std::int32_t StartX = 0;
    std::int32_t StartY = 0;
    double DispScale = 1.0;
    friend bool operator==(const View&, const View&) = default;
};

// The whole photo in the control, not smaller than 0.1.
View ZoomAllView(int controlWidth, int controlHeight, int imageWidth, int imageHeight);

// The rectangle p1-p2 (image points) filling the control, at most 30.  A drag
// without width or height zooms as far as allowed.
View ZoomWindowView(int controlWidth, int controlHeight, TDPoint p1, TDPoint p2);

// New scales of the zoom tool and the wheel; a factor of 0 or less means the
// wheel's step.
double ZoomUpScale(double current, double factor);
double ZoomDownScale(double current, double factor);

// The view at newScale that keeps image point p where it is on the screen,
// clamped as the display will show it.  The letterbox of a photo smaller than
// the control is part of the screen position on both sides: at the old scale
// (view's offset) and at the new one.  Along an axis where the photo at the new
// scale is narrower than the control it is centred, and nothing can be kept.
View AnchoredZoom(const ViewState& view, TDPoint p, double newScale, int controlWidth, int controlHeight,
                  int imageWidth, int imageHeight);

// The origin a display allows: the photo never scrolls past its far edges, and
// a photo smaller than the display starts at 0.
View ClampView(View v, int controlWidth, int controlHeight, int imageWidth, int imageHeight);

// Where the displayed photo starts inside the control: centred when it is
// narrower (or lower) than the control, else 0.
TPoint DisplayOffset(const View& v, int controlWidth, int controlHeight, int imageWidth, int imageHeight);

} // namespace kvx
