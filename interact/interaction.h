#pragma once

// The pointer tools: every press, move and release on the photo goes through
// here, is turned into clicks or zoom gestures, and the clicks become the steps
// of the current tool mode.  No Qt: the window is reached through WindowPort,
// and tests drive the tools with MouseDown/MouseUp or with the clicks directly.
// The tools read the document and change it only through the Editor.

#include "base/app_settings.h"
#include "base/tool_mode.h"
#include "edit/editor.h"
#include "interact/window_port.h"
#include "measure/model.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kvx {

// The rubber band a tool draws from the points it has to the pointer.  The
// numbers are those the error trail records for a band.
enum class TraceKind : std::uint8_t {
    None = 0,
    LineH = 1,            // a line held to the plane's H direction (a base line H)
    LineW = 2,            // a line held to the plane's W direction (a base line W)
    Line = 3,             // a free line; Shift squares it to the plane
    Corner = 4,           // a moved point with its two neighbours; Shift squares it at the point
    EndlessLine = 5,      // the line through two points, drawn far beyond both
    ImageRect = 6,        // a rectangle along the photo's axes (the image range)
    PlaneRect = 7,        // a rectangle of the plane, its edges toward the vanishing points
    PlaneRectCorner = 8,  // the same with a moved corner; Shift squares it at the corner
};

// A drag with both buttons, by where it heads: right and down frames a window
// to zoom to, up and right shows the whole photo, any other way goes back.
enum class Gesture : std::uint8_t { None = 0, ZoomWindow = 1, ZoomPrevious = 2, ZoomAll = 3 };

// The mouse buttons held on the photo.
enum class Buttons : std::uint8_t { None = 0, Left = 1, Right = 2, Both = 3 };

class ToolStep;
class AdjustTools;

// The check boxes the tools read.
struct ToolOptions {
    bool continuous = false;  // "連続ﾓｰﾄﾞ"
    bool polygon = false;     // "多角形ﾓｰﾄﾞ"
    bool autoSwitch = false;  // "自動": the plane under the first click becomes current
    bool lock = true;         // "ロック": a moved corner moves the other plane's shared corner
};

// The known length of a check distance, asked through port until it is a
// length or the user gives up; the field starts with current.
std::optional<double> AskKnownLength(WindowPort& port, const std::string& ask, const std::string& current = {});

class Interaction {
public:
    Interaction(Editor& editor, const TAppSettings& settings, WindowPort& port);
    ~Interaction();
    Interaction(const Interaction&) = delete;
    Interaction& operator=(const Interaction&) = delete;

    ToolOptions options;
    // A corner of the photo near an image point, when the reference's
    // corners snap to the photo's (set by the window; empty: no snapping).
    std::function<std::optional<TDPoint>(TDPoint)> cornerSnap;

    uCommand Command() const { return uCommand_; }
    int InputCount() const { return doc_.InputCount(); }

    // Enters a tool mode: ends the rubber band, forgets the points taken,
    // writes the prompt and the summary, and tells the window.
    void SetCommand(uCommand mode);
    // The plain steps of SetCommand without telling the window (the window's
    // own SetCommand calls this).
    void EnterCommand(uCommand mode);
    void SetStatusBar();
    void SetCalcu();
    // The end of whatever the tool had under way: the rubber band goes, the
    // points taken are forgotten and a chain left open is ended.  Called
    // whenever the tool stops, and before anything is saved or switched.
    void EndTool();

    // The pointer pipeline; positions in display pixels.  left/right are the
    // buttons of the event: held after a press, released on a release.
    void MouseDown(TPoint screen, bool left, bool right);
    void MouseMove(TPoint screen);
    void MouseUp(TPoint screen, bool left, bool right);
    // The same with the pointer at an image point (photo pixels, x right, y
    // down), for the keyboard's pointer: it moves by whole photo pixels, and
    // at a small zoom those fall between display pixels.
    void PointerDown(TDPoint image, bool left, bool right);
    // A mouse press at an image point: the window maps the screen to the
    // photo itself when the view shows the photo straightened.
    void MouseDownAt(TDPoint image, bool left, bool right);
    void PointerMove(TDPoint image);
    void PointerUp(TDPoint image, bool left, bool right);
    void KeyDown(bool shift);
    void KeyUp(bool shift);
    // Return or Enter: true when the tool took it as the end of what it
    // collects (a straight edge); otherwise the window clicks where the
    // keyboard's pointer is, as for every other tool.
    bool EnterKey();

    // One completed click at image point P (the release point, snapped), with
    // the press point that the step takes (by default P itself).
    void LeftClick(TDPoint P, std::optional<TDPoint> press = std::nullopt);
    void RightClick(TDPoint P, std::optional<TDPoint> press = std::nullopt);

    void MouseLeftClick(TDPoint P);
    void MouseRightClick(TDPoint P);

    void StartTrace(TraceKind kind, TDPoint P, TDPoint anchor, TDPoint third, std::int32_t colour);
    void EndTrace();
    void DrawTrace(TDPoint P);

    // State the overlay and tests read.
    TraceKind TMode() const { return tMode_; }
    Gesture GestureState() const { return gesture_; }
    Buttons ButtonState() const { return buttons_; }
    TDPoint PointerPoint() const { return pointer_; }
    TDPoint TraceAnchor() const { return traceAnchor_; }
    int PickedBaseCorner() const;
    bool PickedBaseFar() const;
    std::int32_t PickedVertex() const;
    std::int32_t LinkedDistance() const;

private:
    // The families of tools work in this state through the steps it passes on.
    friend class ToolStep;
    ToolStep& Family() const;

    TDPoint Snap(TDPoint P) const;
    bool MouseMoveAction(TDPoint P);
    void DrawGesture(Gesture gesture, TDPoint trace);
    void DrawXor(TraceKind kind, TDPoint P, TDPoint anchor, TDPoint third, std::int32_t colour);
    TDPoint StoWPoint(TPoint s) const;
    // The mark under image point P with its value and uncertainty, for the
    // status line; empty when the pointer is on none.
    std::string PointedMark(TDPoint P) const;
    double Radius() const;
    TDPoint Q(int i) const;  // Q[1..n] accepted, Q[n + 1] the pending press point
    void PlaneFollow(TDPoint P, bool alwaysRefresh = false);
    void Finish(uCommand mode);
    void Redraw();
    void Recalculate();
    // Refuses the click when outline q is no usable outline: the tool stays where
    // it is and its prompt says why.  True when refused.
    bool Refuse(OutlineFault fault);
    // After a reference closed: the prompt and the focus go to its W and H.
    void AskForSizes();

    Editor& ed_;
    const Document& doc_;
    const TAppSettings& settings_;
    WindowPort& port_;

    uCommand uCommand_ = uCommand::None;
    Buttons buttons_ = Buttons::None;
    Gesture gesture_ = Gesture::None;
    TDPoint press_;
    TDPoint pointer_;
    TDPoint tracePoint_{0, 0};
    TDPoint pending_;  // the press point being released, snapped
    TraceKind tMode_ = TraceKind::None;
    TraceKind drawnTMode_ = TraceKind::None;
    std::int32_t traceColor_ = 0;
    TDPoint traceAnchor_;
    TDPoint traceThird_;
    TDPoint snapOrigin_;

    // One of each family, by ToolFamily; the adjusting tools also answer the
    // overlay's and the tests' questions about what they picked.
    std::array<std::unique_ptr<ToolStep>, 6> families_;
    AdjustTools* adjust_ = nullptr;
    std::string refusal_;  // why the last click was not taken, before the prompt
    // A reference just closed: the prompt asks for its W and H until the next tool.
    bool sizesWanted_ = false;
};

// The smallest k >= 1 for which neither "<stem>_<k>.bmp" nor ".jpg" exists in folder.
int FreeSuffix(const std::string& folder, const std::string& stem);

} // namespace kvx
