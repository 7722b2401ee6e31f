#include "shell/view_zoom.h"

#include "base/error_trail.h"
#include "view/view_mapping.h"

namespace kvx {

void ViewZoom::Show(const View& v)
{
    previous_ = display_.CurrentView();
    display_.SetView(v);
    display_.RedrawImage();
    display_.RedrawOverlay();
}

void ViewZoom::Fit()
{
    Guard("ZoomAll", [&] {
        if (shown_.isNull())
            return;
        // The room without scroll bars: a closer view may still show them, and
        // the whole photo needs none.
        const QSize room = display_.maximumViewportSize();
        Show(ZoomAllView(room.width(), room.height(), shown_.Width(), shown_.Height()));
    });
}

void ViewZoom::Actual()
{
    Guard("mnZoom1Click", [&] {
        View v = display_.CurrentView();
        v.DispScale = 1.0;
        Show(v);
    });
}

void ViewZoom::Frame(TDPoint p1, TDPoint p2)
{
    Guard("ZoomWindow", [&] {
        if (shown_.isNull())
            return;
        Show(ZoomWindowView(display_.ControlWidth(), display_.ControlHeight(), p1, p2));
    });
}

void ViewZoom::Previous()
{
    Guard("ZoomPre", [&] {
        if (shown_.isNull())
            return;
        display_.SetView(previous_);
        display_.RedrawImage();
        display_.RedrawOverlay();
    });
}

void ViewZoom::Step(TDPoint p, ZoomDirection direction, ZoomRedraw redraw, double factor)
{
    const bool in = direction == ZoomDirection::In;
    Guard(in ? "fncZoomUp" : "fncZoomDown", [&] {
        const ViewState state = display_.State();
        const double scale = in ? ZoomUpScale(state.DispScale, factor) : ZoomDownScale(state.DispScale, factor);
        display_.SetView(AnchoredZoom(state, p, scale, display_.ControlWidth(), display_.ControlHeight(),
                                      shown_.Width(), shown_.Height()));
        if (Redraws(redraw, ZoomRedraw::Image))
            display_.RedrawImage();
        if (Redraws(redraw, ZoomRedraw::Overlay))
            display_.RedrawOverlay();
    });
}

} // namespace kvx
