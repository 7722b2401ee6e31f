// The pointer pipeline: presses, moves and releases become clicks or zoom
// gestures; the rubber band follows the pointer.

#include "interact/interaction.h"

#include "interact/interaction_detail.h"
#include "interact/hit_test.h"
#include "interact/prompts.h"
#include "measure/calibration.h"
#include "measure/checks.h"
#include "measure/computation.h"
#include "measure/ideal_view.h"
#include "measure/cp932.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"
#include "base/translate.h"
#include "interact/commands.h"
#include "interact/tool_families.h"
#include "interact/tool_table.h"
#include "base/error_trail.h"
#include "view/view_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace kvx {

using namespace interaction_detail;

// --- rubber band ----------------------------------------------------------------------------

TDPoint Interaction::Snap(TDPoint P) const
{
    // The reference's corners on the photo's corners; Shift's straight
    // lines go first.
    if (cornerSnap && Tool(uCommand_).snapsToCorners && !port_.ShiftHeld())
        if (const std::optional<TDPoint> corner = cornerSnap(P))
            return *corner;
    switch (tMode_) {
    case TraceKind::LineH:
        return GetOrthYPoint(doc_, traceAnchor_, P);
    case TraceKind::LineW:
        return GetOrthXPoint(doc_, traceAnchor_, P);
    case TraceKind::Line:
        return port_.ShiftHeld() ? GetOrthPoint(doc_, traceAnchor_, P) : P;
    case TraceKind::Corner:
    case TraceKind::PlaneRectCorner:
        return port_.ShiftHeld() ? GetOrthPoint(doc_, snapOrigin_, P) : P;
    default:
        return P;
    }
}

void Interaction::DrawXor(TraceKind kind, TDPoint P, TDPoint anchor, TDPoint third, std::int32_t colour)
{
    GuardWith([&] { return TrailLine("DrawXor", "TMode", static_cast<int>(kind)); }, [&] {
        TraceFigure f;
        f.colour = colour;
        auto line = [&](TDPoint a, TDPoint b) { f.lines.push_back({a, b}); };
        switch (kind) {
        case TraceKind::LineH:
        case TraceKind::LineW:
        case TraceKind::Line:
            line(anchor, P);
            break;
        case TraceKind::Corner:
            line(P, anchor);
            line(P, third);
            break;
        case TraceKind::EndlessLine: {
            const double ext = kEndlessLine / port_.View().DispScale;
            line(Polar(anchor, Angle(P, anchor), ext), Polar(P, Angle(anchor, P), ext));
            break;
        }
        case TraceKind::ImageRect:
            line(anchor, {P.x, anchor.y});
            line({P.x, anchor.y}, P);
            line(P, {anchor.x, P.y});
            line({anchor.x, P.y}, anchor);
            break;
        case TraceKind::PlaneRect:
        case TraceKind::PlaneRectCorner: {
            const TBaseBlock& b = doc_.Plane.base;
            const auto s1 = IntersPoint(b.VanishW, P, b.VanishH, anchor);
            const auto s2 = IntersPoint(b.VanishW, anchor, b.VanishH, P);
            if (!s1 || !s2)
                return;
            line(P, *s1);
            line(*s1, anchor);
            line(anchor, *s2);
            line(*s2, P);
            break;
        }
        case TraceKind::None:
            return;
        }
        port_.ShowFigure(FigureSlot::Trace, f);
    });
}

std::string Interaction::PointedMark(TDPoint P) const
{
    if (P.x < 0 || P.y < 0 || doc_.Plane.base.BaseSet != 1)
        return {};
    const MarkRef mark = MarkUnder(doc_, P, port_.View().DispScale);
    const Measured measured(doc_);
    const Document& m = *measured;
    const double sigma = ClickSigma(settings_.ClickSigma);
    std::string text;
    std::optional<double> u;
    if (mark.kind == MarkKind::Distance) {
        TDistanceResult r;
        CalcuDistance(m, mark.index, r, ChainSums::Skip);
        u = DistanceUncertainty(m, mark.index, sigma);
        text = Tx("Status", "距離") + std::to_string(mark.index) + " = " + FormatNumber0(r.distance);
        return "   " + text + (u ? " " + PlusMinus(*u) : std::string()) + Tx("Summary", "㎜");
    }
    if (mark.kind == MarkKind::Check) {
        return "   " + CheckLine(CheckResultOf(m, mark.index, sigma));
    }
    if (mark.kind == MarkKind::Area) {
        TSpaceResult r;
        CalcuSpace(m, mark.index, r);
        u = SpaceUncertainty(m, mark.index, sigma);
        const bool sub = doc_.Plane.Spaces[mark.index].kind == kSpaceSub;
        text = Tx("Status", "面積") + std::to_string(mark.index) + " = " + (sub ? "-" : "") + FormatFixed(r.area, 3);
        return "   " + text + (u ? " " + PlusMinus(*u) : std::string()) + Tx("Summary", "㎡");
    }
    return {};
}

void Interaction::DrawTrace(TDPoint P)
{
    Guard("DrawTrace", [&] {
        // (-1, -1) is no point at all (the pointer has not been over the
        // photo yet, or has left it): no coordinates to show.
        const bool nowhere = P.x < 0 && P.y < 0;
        port_.SetStatusText(0, nowhere ? std::string() : FormatPointer(P) + PointedMark(P));
        if (tracePoint_.x >= 0 && tracePoint_.y >= 0)
            port_.ShowFigure(FigureSlot::Trace, std::nullopt);
        drawnTMode_ = TraceKind::None;
        if (P.x >= 0 && P.y >= 0) {
            P = Snap(P);
            DrawXor(tMode_, P, traceAnchor_, traceThird_, traceColor_);
            drawnTMode_ = tMode_;
        }
        tracePoint_ = P;
    });
}

void Interaction::StartTrace(TraceKind kind, TDPoint P, TDPoint anchor, TDPoint third, std::int32_t colour)
{
    Guard("StartTrace", [&] {
        // A figure still shown goes with the new one.
        port_.ShowFigure(FigureSlot::Trace, std::nullopt);
        tMode_ = kind;
        traceColor_ = colour;
        traceAnchor_ = anchor;
        traceThird_ = third;
        tracePoint_ = {-1, -1};
        DrawTrace(P);
    });
}

void Interaction::EndTrace()
{
    Guard("EndTrace", [&] {
        tMode_ = TraceKind::None;
        DrawTrace({-1, -1});
    });
}

// --- the pointer pipeline ---------------------------------------------------------------------

void Interaction::DrawGesture(Gesture gesture, TDPoint trace)
{
    if (gesture == Gesture::None) {
        port_.ShowFigure(FigureSlot::Gesture, std::nullopt);
        return;
    }
    const ViewState view = port_.View();
    const TPoint S = WtoS(view, press_);
    TraceFigure f;
    f.colour = kRed;
    auto rect = [&](TPoint a, TPoint b) {
        const TDPoint p = StoW(view, a);
        const TDPoint q = StoW(view, b);
        f.lines.push_back({p, TDPoint{q.x, p.y}});
        f.lines.push_back({TDPoint{q.x, p.y}, q});
        f.lines.push_back({q, TDPoint{p.x, q.y}});
        f.lines.push_back({TDPoint{p.x, q.y}, p});
    };
    if (gesture == Gesture::ZoomWindow) {
        rect(S, WtoS(view, trace));
    } else if (gesture == Gesture::ZoomPrevious) {
        rect(S, Polar(S, 225, 30));
    } else {
        const TPoint corner = Polar(S, 315, 50);
        rect(S, corner);
        f.lines.push_back({StoW(view, S), StoW(view, corner)});
    }
    port_.ShowFigure(FigureSlot::Gesture, f);
}

bool Interaction::MouseMoveAction(TDPoint P)
{
    return Guard("MouseMoveAction", [&] {
        DrawGesture(Gesture::None, tracePoint_);
        if (buttons_ == Buttons::None)
            return true;
        if (buttons_ == Buttons::Both || gesture_ != Gesture::None) {
            const double d = Distance(press_, P);
            if (d > kGestureRadius / port_.View().DispScale) {
                const int sector = static_cast<int>(std::floor(Angle(press_, P) / 90.0));
                gesture_ = sector == 0 ? Gesture::ZoomWindow : (sector == 3 ? Gesture::ZoomAll : Gesture::ZoomPrevious);
            }
        }
        DrawGesture(gesture_, P);
        tracePoint_ = P;
        return false;
    });
}

void Interaction::MouseDown(TPoint screen, bool left, bool right)
{
    MouseDownAt(StoWPoint(screen), left, right);
}

void Interaction::MouseDownAt(TDPoint P, bool left, bool right)
{
    // Only the mouse's own presses: the keyboard's pointer clicks for the tool alone.
    Guard("Ik5Disp1MouseDown", [&] { Family().Press(P, left, right); });
    PointerDown(P, left, right);
}

void Interaction::MouseMove(TPoint screen)
{
    PointerMove(StoWPoint(screen));
}

void Interaction::MouseUp(TPoint screen, bool left, bool right)
{
    PointerUp(StoWPoint(screen), left, right);
}

void Interaction::PointerDown(TDPoint image, bool left, bool right)
{
    Guard("Ik5Disp1MouseDown", [&] {
        if (buttons_ == Buttons::None)
            DrawTrace({-1, -1});
        pointer_ = image;
        if (buttons_ == Buttons::None) {
            press_ = pointer_;
            pending_ = Snap(pointer_);
        }
        buttons_ = left && right ? Buttons::Both : (right ? Buttons::Right : (left ? Buttons::Left : Buttons::None));
        MouseMoveAction(pointer_);
    });
}

void Interaction::PointerMove(TDPoint image)
{
    Guard("Ik5Disp1MouseMove", [&] {
        pointer_ = image;
        if (MouseMoveAction(pointer_))
            Family().Move(pointer_);
    });
}

void Interaction::PointerUp(TDPoint image, bool left, bool right)
{
    Guard("Ik5Disp1MouseUp", [&] {
        pointer_ = image;
        if (right && !left)
            buttons_ = buttons_ == Buttons::Right ? Buttons::None : (buttons_ == Buttons::Both ? Buttons::Left : buttons_);
        else if (left && !right)
            buttons_ = buttons_ == Buttons::Left ? Buttons::None : (buttons_ == Buttons::Both ? Buttons::Right : buttons_);
        MouseMoveAction(pointer_);
        if (buttons_ != Buttons::None)
            return;
        if (gesture_ == Gesture::None) {
            const TDPoint P = Snap(pointer_);
            if (right)
                MouseRightClick(P);
            else if (left)
                MouseLeftClick(P);
            DrawTrace(P);
            return;
        }
        const Gesture gesture = gesture_;
        gesture_ = Gesture::None;
        DrawGesture(Gesture::None, tracePoint_);
        tracePoint_ = {-1, -1};
        if (gesture == Gesture::ZoomWindow)
            port_.ZoomWindow(press_, pointer_);
        else if (gesture == Gesture::ZoomPrevious)
            port_.ZoomPre();
        else
            port_.ZoomAll();
        DrawTrace(pointer_);
    });
}

void Interaction::KeyDown(bool shift)
{
    Guard("FormKeyDown", [&] {
        if (shift && MouseMoveAction(tracePoint_))
            Family().Key(tracePoint_);
    });
}

void Interaction::KeyUp(bool shift)
{
    Guard("FormKeyUp", [&] {
        if (!shift && MouseMoveAction(pointer_))
            Family().Key(pointer_);
    });
}

} // namespace kvx
