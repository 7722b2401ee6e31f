#pragma once

// What the pointer tools need from the window, and nothing more: the view, the
// repaint, the status and information texts, the focus, the dialogs, and the
// rubber band.  The window implements it with Qt; tests implement it with
// scripted answers and drive the tools with simulated clicks.

#include "measure/geometry.h"
#include "view/trace_figure.h"
#include "view/view_mapping.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kvx {

enum class InputField { W, H };

// What a zoom redraws at once: a zoom tool's click both, the wheel neither (a
// timer redraws when the wheel rests).
enum class ZoomRedraw : std::uint8_t { None = 0, Image = 1, Overlay = 2, ImageAndOverlay = 3 };

constexpr bool Redraws(ZoomRedraw what, ZoomRedraw part)
{
    return (static_cast<unsigned>(what) & static_cast<unsigned>(part)) != 0;
}

class WindowPort {
public:
    virtual ~WindowPort() = default;

    // The view of the photo and the size of the display in display pixels.
    virtual ViewState View() const = 0;
    virtual int DisplayWidth() const = 0;
    virtual int DisplayHeight() const = 0;

    virtual void RedrawOverlay() = 0;
    virtual void SetStatusText(int panel, const std::string& text) = 0;
    virtual void SetInfoText(const std::string& text) = 0;
    // The tool mode changed: menus, buttons, price label and cursor follow it.
    virtual void CommandChanged() = 0;
    // The planes were exchanged: the W and H fields and the plane indicator follow.
    virtual void PlaneChanged() = 0;
    virtual void FocusField(InputField field) = 0;
    virtual bool ShiftHeld() const = 0;
    // Shows the figure in its slot, or takes it away (nothing).
    virtual void ShowFigure(FigureSlot slot, const std::optional<TraceFigure>& figure) = 0;

    virtual void ZoomWindow(TDPoint p1, TDPoint p2) = 0;
    virtual void ZoomPre() = 0;
    virtual void ZoomAll() = 0;
    virtual void ZoomUp(TDPoint p, ZoomRedraw redraw, double factor) = 0;
    virtual void ZoomDown(TDPoint p, ZoomRedraw redraw, double factor) = 0;

    // The name dialog: the text typed, however the dialog was closed.
    virtual std::string AskAreaName() = 0;
    // The name dialog on an area's current name: the name typed, current when
    // cancelled.  A port without its own dialog asks in the input box.
    virtual std::string RenameArea(const std::string& caption, const std::string& prompt, const std::string& current)
    {
        return InputBox(caption, prompt, current);
    }
    // The one-line input box: the text typed, or the default when cancelled.
    virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultText) = 0;
    // The slope dialog placed with its bottom-right corner at screen point at:
    // the two angle texts on OK, nothing otherwise.
    virtual std::optional<std::pair<std::string, std::string>> SlopeDialog(double slantV, double slantH,
                                                                           TPoint at) = 0;
    // The real length of a check distance, as typed after prompt into a
    // field that starts with current; nothing when the user cancelled or
    // typed nothing.
    virtual std::optional<std::string> AskCheckLength(const std::string& /*prompt*/, const std::string& /*current*/ = {})
    {
        return std::nullopt;
    }
    // A new reference (a rectangle, or the figure of two planes) was just
    // completed: the window judges how well it measures once W and H are typed.
    virtual void ReferenceSet() {}
    // A corner of the reference was moved: the window judges it again.
    virtual void ReferenceAdjusted() {}
    // Cuts out the image range (whole pixels), asks where to save it, writes it
    // and opens the written file.
    virtual void ImageRangeOutput(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
};

} // namespace kvx
