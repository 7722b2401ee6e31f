#pragma once

// The view of the photo: how far it is zoomed and where it is scrolled to live
// in the display; this part keeps the view to go back to and changes the view
// in the few ways the program zooms, each redrawing what it must.

#include "image/photo.h"
#include "image/photo_view.h"
#include "image/zoom.h"
#include "interact/window_port.h"

namespace kvx {

enum class ZoomDirection { In, Out };

class ViewZoom {
public:
    // shown: the photo the display shows (the window's own, replaced in place).
    ViewZoom(PhotoView& display, const Photo& shown) : display_(display), shown_(shown) {}

    // The whole photo in the room the display has without scroll bars.
    void Fit();
    // One photo pixel a display pixel, scrolled as before.
    void Actual();
    // The part of the photo between two of its points fills the display.
    void Frame(TDPoint p1, TDPoint p2);
    // Back to the view before the last Fit, Actual or Frame.
    void Previous();
    // One step in or out by factor with the photo point p kept where it is on
    // the screen (redraw says what is drawn again: 1 the photo, 2 the overlay, 3 both, 0 neither (the
    // wheel, whose steps come too fast to draw each)).
    void Step(TDPoint p, ZoomDirection direction, ZoomRedraw redraw, double factor);

    // The view Previous goes back to.
    const View& Remembered() const { return previous_; }

private:
    // Shows v, the view before it kept to go back to.
    void Show(const View& v);

    PhotoView& display_;
    const Photo& shown_;
    View previous_;
};

} // namespace kvx
