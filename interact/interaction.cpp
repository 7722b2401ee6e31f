#include "interact/interaction.h"

#include "interact/hit_test.h"
#include "interact/prompts.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "shell/commands.h"
#include "shell/error_trail.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <filesystem>

namespace kvx {

namespace {

constexpr double kGestureRadius = 30.0;      // display pixels the pointer must move for a gesture
constexpr double kPolygonCloseRadius = 10.0;  // display pixels around the first vertex
constexpr double kEndlessLine = 5000.0;       // display pixels beyond each point (trace mode 5)
constexpr std::int32_t kRed = 255;

int Prev(int k) { return k == 1 ? 4 : k - 1; }
int Next(int k) { return k == 4 ? 1 : k + 1; }

// Two decimals rounded as printf rounds them, with a point in every locale.
std::string Decimals2(double v)
{
    char buf[400];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    return ec == std::errc() ? std::string(buf, end) : std::string("0.00");
}

std::string FormatPointer(TDPoint P)
{
    return "X = " + Decimals2(P.x) + ",  Y =" + Decimals2(P.y) + "  (pixel)";
}

} // namespace

std::vector<TDPoint> RectangleOutline(const TBaseBlock& base, TDPoint A, TDPoint B)
{
    const std::optional<TDPoint> p1 = IntersPoint(base.VanishW, A, base.VanishH, B);
    const std::optional<TDPoint> p3 = IntersPoint(base.VanishW, B, base.VanishH, A);
    return {A, p1.value_or(TDPoint{A.x, B.y}), B, p3.value_or(TDPoint{B.x, A.y}), A};
}

void DeleteDistance(TPlaneState& plane, std::int32_t k)
{
    if (!plane.Distances.Valid(k))
        return;
    plane.Distances.Erase(k);
    auto renumber = [k](std::int32_t& link) {
        if (link == k)
            link = 0;
        else if (link > k)
            --link;
    };
    for (TDistance& d : plane.Distances) {
        renumber(d.prev);
        renumber(d.next);
    }
}

void DeleteSpace(TPlaneState& plane, std::int32_t k)
{
    if (!plane.Spaces.Valid(k))
        return;
    const std::int32_t last = plane.SpaceCount();
    if (k != last)
        plane.Spaces[k] = std::move(plane.Spaces[last]);
    plane.Spaces.Erase(last);
}

int FreeSuffix(const std::string& folder, const std::string& stem)
{
    namespace fs = std::filesystem;
    for (int k = 1;; ++k) {
        const std::string base = stem + "_" + std::to_string(k);
        std::error_code ec;
        if (!fs::exists(fs::path(folder) / (base + ".bmp"), ec) && !fs::exists(fs::path(folder) / (base + ".jpg"), ec))
            return k;
    }
}

Interaction::Interaction(Document& doc, const TAppSettings& settings, WindowPort& port)
    : doc_(doc), settings_(settings), port_(port)
{
}

// --- small helpers ----------------------------------------------------------------------

TDPoint Interaction::StoWPoint(TPoint s) const
{
    return StoW(port_.View(), s);
}

double Interaction::Radius() const
{
    return kPickRadius / port_.View().DispScale;
}

TDPoint Interaction::Q(int i) const
{
    return i <= doc_.InputCount() ? doc_.InputPoints[i] : pending_;
}

void Interaction::Accept()
{
    doc_.InputPoints.Append(pending_);
}

void Interaction::Redraw()
{
    port_.RedrawOverlay();
}

void Interaction::Recalculate()
{
    CalcuDistanceHosei(doc_);
    CalcuSpaceHosei(doc_);
    SetCalcu();
}

void Interaction::SetCalcu()
{
    port_.SetInfoText(kvx::SetCalcu(doc_, uCommand_));
}

void Interaction::SetStatusBar()
{
    Guard("SetStatusBar", [&] {
        if (const auto text = PromptText(uCommand_, doc_.InputCount(), options.polygon))
            port_.SetStatusText(2, *text);
    });
}

void Interaction::EnterCommand(int mode)
{
    EndTrace();
    // A continuous chain left open by a tool change ends where it stands.
    if (uCommand_ == ucDistance && doc_.InputCount() >= 1) {
        const std::int32_t last = doc_.Plane.DistanceCount();
        if (last >= 1 && doc_.Plane.Distances[last].next == last + 1)
            doc_.Plane.Distances[last].next = 0;
    }
    uCommand_ = mode;
    doc_.InputPoints.Clear();
    SetStatusBar();
    SetCalcu();
}

void Interaction::SetCommand(int mode)
{
    Guard("SetCommand", [&] {
        EnterCommand(mode);
        port_.CommandChanged();
    });
}

void Interaction::Finish(int mode)
{
    doc_.Modified = 1;
    SetCommand(mode);
}

void Interaction::PlaneFollow(TDPoint P, bool alwaysRefresh)
{
    const bool twoPlanes = doc_.CurrentBase == 1 || doc_.CurrentBase == 2;
    const bool swap = twoPlanes && options.autoSwitch && BaseHantei(doc_, P) != doc_.CurrentBase;
    if (swap)
        SwapBDS(doc_);
    if (swap || alwaysRefresh) {
        port_.PlaneChanged();
        Redraw();
    }
}

// --- rubber band ----------------------------------------------------------------------------

TDPoint Interaction::Snap(TDPoint P) const
{
    switch (tMode_) {
    case 1:
        return GetOrthYPoint(doc_, traceAnchor_, P);
    case 2:
        return GetOrthXPoint(doc_, traceAnchor_, P);
    case 3:
        return port_.ShiftHeld() ? GetOrthPoint(doc_, traceAnchor_, P) : P;
    case 4:
    case 8:
        return port_.ShiftHeld() ? GetOrthPoint(doc_, snapOrigin_, P) : P;
    default:
        return P;
    }
}

void Interaction::DrawXor(int mode, TDPoint P, TDPoint anchor, TDPoint third, std::int32_t colour)
{
    GuardWith([&] { return TrailLine("DrawXor", "TMode", mode); }, [&] {
        TraceFigure f;
        f.colour = colour;
        auto line = [&](TDPoint a, TDPoint b) { f.lines.push_back({a, b}); };
        switch (mode) {
        case 1:
        case 2:
        case 3:
            line(anchor, P);
            break;
        case 4:
            line(P, anchor);
            line(P, third);
            break;
        case 5: {
            const double ext = kEndlessLine / port_.View().DispScale;
            line(Polar(anchor, Angle(P, anchor), ext), Polar(P, Angle(anchor, P), ext));
            break;
        }
        case 6:
            line(anchor, {P.x, anchor.y});
            line({P.x, anchor.y}, P);
            line(P, {anchor.x, P.y});
            line({anchor.x, P.y}, anchor);
            break;
        case 7:
        case 8: {
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
        default:
            return;
        }
        port_.ShowFigure(FigureSlot::Trace, f);
    });
}

void Interaction::DrawTrace(TDPoint P)
{
    Guard("DrawTrace", [&] {
        port_.SetStatusText(0, FormatPointer(P));
        if (tracePoint_.x >= 0 && tracePoint_.y >= 0)
            port_.ShowFigure(FigureSlot::Trace, std::nullopt);
        drawnTMode_ = 0;
        if (P.x >= 0 && P.y >= 0) {
            P = Snap(P);
            DrawXor(tMode_, P, traceAnchor_, traceThird_, traceColor_);
            drawnTMode_ = tMode_;
        }
        tracePoint_ = P;
    });
}

void Interaction::StartTrace(int mode, TDPoint P, TDPoint anchor, TDPoint third, std::int32_t colour)
{
    Guard("StartTrace", [&] {
        // A figure still shown goes with the new one.
        port_.ShowFigure(FigureSlot::Trace, std::nullopt);
        tMode_ = mode;
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
        tMode_ = 0;
        DrawTrace({-1, -1});
    });
}

// --- the pointer pipeline ---------------------------------------------------------------------

void Interaction::DrawGesture(int gesture, TDPoint trace)
{
    if (gesture == 0) {
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
    if (gesture == 1) {
        rect(S, WtoS(view, trace));
    } else if (gesture == 2) {
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
        DrawGesture(0, tracePoint_);
        if (buttons_ == 0)
            return true;
        if (buttons_ == 3 || gesture_ != 0) {
            const double d = Distance(press_, P);
            if (d > kGestureRadius / port_.View().DispScale) {
                const int sector = static_cast<int>(std::floor(Angle(press_, P) / 90.0));
                gesture_ = sector == 0 ? 1 : (sector == 3 ? 3 : 2);
            }
        }
        DrawGesture(gesture_, P);
        tracePoint_ = P;
        return false;
    });
}

void Interaction::MouseDown(TPoint screen, bool left, bool right)
{
    Guard("Ik5Disp1MouseDown", [&] {
        if (buttons_ == 0)
            DrawTrace({-1, -1});
        pointer_ = StoWPoint(screen);
        if (buttons_ == 0) {
            press_ = pointer_;
            pending_ = Snap(pointer_);
        }
        buttons_ = left && right ? 3 : (right ? 2 : (left ? 1 : 0));
        MouseMoveAction(pointer_);
    });
}

void Interaction::MouseMove(TPoint screen)
{
    Guard("Ik5Disp1MouseMove", [&] {
        pointer_ = StoWPoint(screen);
        if (MouseMoveAction(pointer_))
            DrawTrace(pointer_);
    });
}

void Interaction::MouseUp(TPoint screen, bool left, bool right)
{
    Guard("Ik5Disp1MouseUp", [&] {
        pointer_ = StoWPoint(screen);
        if (right && !left)
            buttons_ = buttons_ == 2 ? 0 : (buttons_ == 3 ? 1 : buttons_);
        else if (left && !right)
            buttons_ = buttons_ == 1 ? 0 : (buttons_ == 3 ? 2 : buttons_);
        MouseMoveAction(pointer_);
        if (buttons_ != 0)
            return;
        if (gesture_ == 0) {
            const TDPoint P = Snap(pointer_);
            if (right)
                MouseRightClick(P);
            else if (left)
                MouseLeftClick(P);
            DrawTrace(P);
            return;
        }
        const int gesture = gesture_;
        gesture_ = 0;
        DrawGesture(0, tracePoint_);
        tracePoint_ = {-1, -1};
        if (gesture == 1)
            port_.ZoomWindow(press_, pointer_);
        else if (gesture == 2)
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
            DrawTrace(tracePoint_);
    });
}

void Interaction::KeyUp(bool shift)
{
    Guard("FormKeyUp", [&] {
        if (!shift && MouseMoveAction(pointer_))
            DrawTrace(pointer_);
    });
}

void Interaction::LeftClick(TDPoint P, std::optional<TDPoint> press)
{
    DrawTrace({-1, -1});
    pending_ = Snap(press.value_or(P));
    press_ = press.value_or(P);
    pointer_ = P;
    MouseLeftClick(Snap(P));
    DrawTrace(Snap(P));
}

void Interaction::RightClick(TDPoint P, std::optional<TDPoint> press)
{
    DrawTrace({-1, -1});
    pending_ = Snap(press.value_or(P));
    press_ = press.value_or(P);
    pointer_ = P;
    MouseRightClick(Snap(P));
    DrawTrace(Snap(P));
}

// --- left clicks ---------------------------------------------------------------------------------

void Interaction::MouseLeftClick(TDPoint P)
{
    GuardWith([&] { return TrailLine("MouseLeftClick", "uCommand", uCommand_); }, [&] {
        switch (uCommand_) {
        case ucBase:
            LeftBase(P);
            break;
        case ucBaseOnePoint: {
            const ViewState view = port_.View();
            const TDPoint topLeft = StoW(view, TPoint{0, 0});
            const TDPoint bottomRight = StoW(view, TPoint{port_.DisplayWidth(), port_.DisplayHeight()});
            doc_.SixPoint = SixPointFromClick(pending_, topLeft, bottomRight);
            BuildTwoPlanes(doc_);
            port_.PlaneChanged();
            Finish(ucNone);
            Redraw();
            break;
        }
        case ucBaseSixPoint:
            LeftSixPoint(P);
            break;
        case ucBaseAdjust:
            LeftBaseAdjust(P);
            break;
        case ucBaseLineW:
            LeftBaseLine(P, true);
            break;
        case ucBaseLineH:
            LeftBaseLine(P, false);
            break;
        case ucBaseLineAdjust:
            LeftBaseLineAdjust(P);
            break;
        case ucBaseUnit:
            LeftBaseUnit(P);
            break;
        case ucBaseUnitAdjust:
            LeftBaseUnitAdjust(P);
            break;
        case ucDistance:
            LeftDistance(P);
            break;
        case ucDistanceDel:
            LeftDistanceDelete();
            break;
        case ucDistanceAdjust:
            LeftDistanceAdjust(P);
            break;
        case ucDistanceHosei:
            if (doc_.InputCount() == 0) {
                doc_.CurrentDistance = SearchDistanceNo(doc_, pending_, port_.View().DispScale);
                if (doc_.CurrentDistance > 0) {
                    Accept();
                    Redraw();
                    StartTrace(3, P, doc_.Plane.base.VanishH, {}, settings_.ColorCrossLine);
                }
            } else if (doc_.Plane.Distances.Valid(doc_.CurrentDistance)) {
                const std::int32_t last = ChainLast(doc_.Plane, doc_.CurrentDistance);
                for (std::int32_t k = ChainFirst(doc_.Plane, doc_.CurrentDistance); k <= last; ++k) {
                    doc_.Plane.Distances[k].correctionRef = pending_;
                    doc_.Plane.Distances[k].corrected = 1;
                }
                CalcuDistanceHosei(doc_);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        case ucDistanceHoseiDel: {
            doc_.CurrentDistance = SearchDistanceNo(doc_, pending_, port_.View().DispScale);
            if (doc_.CurrentDistance > 0) {
                const std::int32_t last = ChainLast(doc_.Plane, doc_.CurrentDistance);
                for (std::int32_t k = ChainFirst(doc_.Plane, doc_.CurrentDistance); k <= last; ++k)
                    doc_.Plane.Distances[k].corrected = 0;
                CalcuDistanceHosei(doc_);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        }
        case ucSpaceAdd:
        case ucSpaceSub:
            if (options.polygon)
                LeftSpacePolygon(P);
            else
                LeftSpace(P);
            break;
        case ucSpaceDel:
            LeftSpaceDelete();
            break;
        case ucSpaceAdjust:
            LeftSpaceAdjust(P);
            break;
        case ucSpaceSlant: {
            std::int32_t vertex = -1;
            doc_.CurrentSpace = SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex);
            SetCalcu();
            if (doc_.CurrentSpace > 0) {
                TSpace& s = doc_.Plane.Spaces[doc_.CurrentSpace];
                if (const auto texts = port_.SlopeDialog(s.slantV, s.slantH, WtoS(port_.View(), P))) {
                    s.slantV = std::clamp(StrToVal(texts->first), -89.0, 89.0);
                    s.slantH = std::clamp(StrToVal(texts->second), -89.0, 89.0);
                }
                SetCalcu();
                doc_.Modified = 1;
                Redraw();
            }
            break;
        }
        case ucSpaceHosei:
            if (doc_.InputCount() == 0) {
                std::int32_t vertex = -1;
                doc_.CurrentSpace = SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex);
                if (doc_.CurrentSpace > 0) {
                    Accept();
                    Redraw();
                    StartTrace(3, P, doc_.Plane.base.VanishH, {}, settings_.ColorCrossLine);
                }
            } else if (doc_.Plane.Spaces.Valid(doc_.CurrentSpace)) {
                TSpace& s = doc_.Plane.Spaces[doc_.CurrentSpace];
                s.correctionRef = pending_;
                s.corrected = 1;
                CalcuSpaceHosei(doc_);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        case ucSpaceHoseiDel: {
            std::int32_t vertex = -1;
            doc_.CurrentSpace = SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex);
            if (doc_.CurrentSpace > 0) {
                doc_.Plane.Spaces[doc_.CurrentSpace].corrected = 0;
                CalcuSpaceHosei(doc_);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        }
        case ucSpaceNameUpd: {
            std::int32_t vertex = -1;
            const std::int32_t k = SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex);
            if (k > 0) {
                TSpace& s = doc_.Plane.Spaces[k];
                s.name = AreaNameFromUtf8(port_.InputBox("名称入力", "名称", Cp932ToUtf8(s.name)));
                Redraw();
                SetCalcu();
                Finish(uCommand_);
            }
            break;
        }
        case ucCrossLine:
            doc_.CrossLinePoint = pending_;
            doc_.CrossLineSet = 1;
            Finish(ucNone);
            Redraw();
            break;
        case ucImageFix:
            LeftImageFix(P);
            break;
        case ucZoomUp:
            port_.ZoomUp(P, 3, 2.0);
            break;
        case ucZoomDown:
            port_.ZoomDown(P, 3, 0.5);
            break;
        default:
            break;
        }
        SetStatusBar();
    });
}

Interaction::BandStep Interaction::BandClick(TDPoint P, int traceMode, std::int32_t colour, bool follow)
{
    const int n = doc_.InputCount();
    if (n == 0) {
        if (follow)
            PlaneFollow(P);
        Accept();
        StartTrace(traceMode, P, Q(1), {}, colour);
        return BandStep::First;
    }
    return Accepts(Q(n), pending_) ? BandStep::Next : BandStep::Refused;
}

void Interaction::LeftBase(TDPoint P)
{
    const int n = doc_.InputCount();
    const BandStep step = BandClick(P, 3, settings_.ColorBase, false);
    if (step == BandStep::Refused)
        return;
    if (step == BandStep::Next && n <= 2) {
        EndTrace();
        Accept();
        StartTrace(3, P, Q(n + 1), {}, settings_.ColorBase);
    } else if (step == BandStep::Next) {
        EndTrace();
        SetReferenceRect(doc_, {Q(1), Q(2), Q(3), pending_}, true);
        Finish(ucNone);
    }
    Redraw();
}

void Interaction::LeftSixPoint(TDPoint P)
{
    const int n = doc_.InputCount();
    const BandStep step = BandClick(P, 3, settings_.ColorBase, false);
    if (step == BandStep::Refused)
        return;
    if (step == BandStep::Next && n <= 4) {
        Accept();
        if ((n + 1) % 2 == 0)
            EndTrace();
        else
            StartTrace(3, P, Q(n + 1), {}, settings_.ColorBase);
    } else if (step == BandStep::Next) {
        EndTrace();
        Accept();
        for (int i = 1; i <= 6; ++i)
            doc_.SixPoint[static_cast<std::size_t>(i)] = Q(i);
        BuildTwoPlanes(doc_);
        port_.PlaneChanged();
        Finish(ucNone);
    }
    Redraw();
}

void Interaction::LeftBaseLine(TDPoint P, bool w)
{
    TBaseBlock& b = doc_.Plane.base;
    if (BandClick(P, w ? 2 : 1, settings_.ColorBaseLine, false) != BandStep::Next)
        return;
    auto& line = w ? b.BaseLineW : b.BaseLineH;
    line[1] = Q(1);
    line[2] = pending_;
    (w ? b.BaseLineWSet : b.BaseLineHSet) = 1;
    if ((w ? b.BaseLineHSet : b.BaseLineWSet) == 1) {
        CalcuBaseUnitFromLines(doc_.Plane);
        Recalculate();
    }
    Finish(ucNone);
    Redraw();
    port_.FocusField(w ? InputField::W : InputField::H);
}

void Interaction::LeftBaseUnit(TDPoint P)
{
    if (BandClick(P, 7, settings_.ColorBaseUnit, true) != BandStep::Next)
        return;
    SetBaseUnit(doc_, Q(1), pending_);
    Recalculate();
    Finish(ucNone);
    Redraw();
    port_.FocusField(InputField::W);
}

void Interaction::LeftDistance(TDPoint P)
{
    TPlaneState& plane = doc_.Plane;
    if (BandClick(P, 3, settings_.ColorDistance, true) != BandStep::Next)
        return;
    TDistance d;
    d.group = doc_.CurrentGroup;
    d.start = Q(1);
    d.end = pending_;
    // The segment before in a running chain is the last record, linked to this one.
    const std::int32_t last = plane.DistanceCount();
    if (last >= 1 && plane.Distances[last].next == last + 1)
        d.prev = last;
    const std::int32_t index = plane.Distances.Append(d);
    doc_.CurrentDistance = index;
    SetCalcu();
    doc_.Modified = 1;
    if (options.continuous) {
        doc_.InputPoints[1] = pending_;
        StartTrace(3, P, Q(1), {}, settings_.ColorDistance);
        plane.Distances[index].next = index + 1;
    } else {
        SetCommand(uCommand_);
    }
    Redraw();
}

void Interaction::NewSpace(std::vector<TDPoint> outline)
{
    // The name is asked before the record is made.
    std::string name;
    if (settings_.SpaceNameInputFlag)
        name = AreaNameFromUtf8(port_.AskAreaName());
    TSpace s;
    s.group = doc_.CurrentGroup;
    s.kind = uCommand_ == ucSpaceAdd ? kSpaceAdd : kSpaceSub;
    s.correctedPoints.assign(outline.size(), TDPoint{});
    s.points = std::move(outline);
    s.name = std::move(name);
    doc_.CurrentSpace = doc_.Plane.Spaces.Append(std::move(s));
    SetCalcu();
    Finish(uCommand_);
}

void Interaction::LeftSpace(TDPoint P)
{
    const std::int32_t colour = uCommand_ == ucSpaceAdd ? settings_.ColorSpaceAdd : settings_.ColorSpaceSub;
    const BandStep step = BandClick(P, 7, colour, true);
    if (step == BandStep::Refused)
        return;
    if (step == BandStep::Next)
        NewSpace(RectangleOutline(doc_.Plane.base, Q(1), pending_));
    Redraw();
}

void Interaction::LeftSpacePolygon(TDPoint P)
{
    const std::int32_t colour = uCommand_ == ucSpaceAdd ? settings_.ColorSpaceAdd : settings_.ColorSpaceSub;
    const int n = doc_.InputCount();
    const int m = n + 1;
    if (m == 1) {
        PlaneFollow(P);
        Accept();
        StartTrace(3, P, Q(1), {}, colour);
    } else if (Distance(Q(1), pending_) * port_.View().DispScale > kPolygonCloseRadius) {
        Accept();
        EndTrace();
        StartTrace(3, P, Q(m), {}, colour);
    } else if (m <= 3) {
        // Too few vertices to close: the click is dropped.
        EndTrace();
        StartTrace(3, P, Q(n), {}, colour);
    } else {
        std::vector<TDPoint> outline;
        for (int i = 1; i < m; ++i)
            outline.push_back(Q(i));
        outline.push_back(Q(1));
        NewSpace(std::move(outline));
    }
    Redraw();
}

void Interaction::LeftImageFix(TDPoint P)
{
    if (BandClick(P, 6, kRed, false) != BandStep::Next)
        return;
    const TDPoint a = Q(1);
    const TDPoint b = pending_;
    EndTrace();
    port_.ImageRangeOutput(Roundoff(a.x), Roundoff(a.y), Roundoff(b.x), Roundoff(b.y));
    SetCommand(ucNone);
}

// --- adjustments and deletions -------------------------------------------------------------------

void Interaction::LeftBaseAdjust(TDPoint P)
{
    TBaseBlock& b = doc_.Plane.base;
    auto far = [&](int k) { return pickedBaseCorner_ > 0 ? Prev(k) : Next(k); };
    auto other = [&](int k) { return pickedBaseCorner_ > 0 ? Next(k) : Prev(k); };
    if (doc_.InputCount() == 0) {
        PlaneFollow(P, true);
        Redraw();
        pickedBaseCorner_ = SearchBasePointNo(doc_.Plane, pending_);
        const int k = std::abs(pickedBaseCorner_);
        pickedBaseFar_ = Distance(b.BaseRect[static_cast<std::size_t>(k)], P) > Radius();
        Accept();
        if (pickedBaseFar_) {
            StartTrace(5, P, b.BaseRect[static_cast<std::size_t>(far(k))], {}, settings_.ColorBase);
        } else {
            snapOrigin_ = b.BaseRect[static_cast<std::size_t>(k)];
            StartTrace(4, P, b.BaseRect[static_cast<std::size_t>(Next(k))], b.BaseRect[static_cast<std::size_t>(Prev(k))],
                       settings_.ColorBase);
        }
        return;
    }
    EndTrace();
    const int k = std::abs(pickedBaseCorner_);
    const auto old = b.BaseRect;
    auto at = [&](int i) { return old[static_cast<std::size_t>(i)]; };
    if (pickedBaseFar_) {
        if (const auto corner = IntersPoint(pending_, at(far(k)), at(k), at(other(k))))
            b.BaseRect[static_cast<std::size_t>(k)] = *corner;
    } else {
        b.BaseRect[static_cast<std::size_t>(k)] = pending_;
    }
    if (k == 1)
        b.BaseRect[5] = b.BaseRect[1];
    b.BaseLineWSet = 0;
    b.BaseLineHSet = 0;
    doc_.InputPoints.Clear();

    if ((doc_.CurrentBase == 1 || doc_.CurrentBase == 2) && options.lock) {
        // The corner shared with the other plane (the centre line's) moves with it.
        TBaseBlock& parked = doc_.ParkedPlane.base;
        for (int j = 1; j <= 4; ++j) {
            if (parked.BaseRect[static_cast<std::size_t>(j)] == at(k))
                parked.BaseRect[static_cast<std::size_t>(j)] = b.BaseRect[static_cast<std::size_t>(k)];
        }
        parked.BaseRect[5] = parked.BaseRect[1];
        parked.BaseLineWSet = 0;
        parked.BaseLineHSet = 0;
        {
            const ParkedPlaneScope scope(doc_);
            CalcuBasePoint(doc_);
            CalcuUnitPoint(doc_.Plane);
            CalcuDistanceHosei(doc_);
            CalcuSpaceHosei(doc_);
        }
        doc_.OtherBaseRect = doc_.ParkedPlane.base.BaseRect;
        port_.PlaneChanged();
    }
    CalcuBasePoint(doc_);
    CalcuUnitPoint(doc_.Plane);
    Recalculate();
    doc_.Modified = 1;
    Redraw();
}

void Interaction::LeftBaseLineAdjust(TDPoint P)
{
    TBaseBlock& b = doc_.Plane.base;
    if (doc_.InputCount() == 0) {
        // Only lines that are set, and so drawn, can be picked.
        pickedLineEnd_ = 0;
        const double r = Radius();
        if (b.BaseLineWSet == 1 && Distance(pending_, b.BaseLineW[1]) <= r)
            pickedLineEnd_ = 1;
        else if (b.BaseLineWSet == 1 && Distance(pending_, b.BaseLineW[2]) <= r)
            pickedLineEnd_ = 2;
        else if (b.BaseLineHSet == 1 && Distance(pending_, b.BaseLineH[1]) <= r)
            pickedLineEnd_ = -1;
        else if (b.BaseLineHSet == 1 && Distance(pending_, b.BaseLineH[2]) <= r)
            pickedLineEnd_ = -2;
        if (pickedLineEnd_ == 0)
            return;
        Accept();
        Redraw();
        const bool w = pickedLineEnd_ > 0;
        const auto& line = w ? b.BaseLineW : b.BaseLineH;
        const TDPoint fixed = line[std::abs(pickedLineEnd_) == 1 ? 2 : 1];
        StartTrace(w ? 2 : 1, P, fixed, {}, settings_.ColorBaseLine);
        return;
    }
    if (pickedLineEnd_ == 0)
        return;
    EndTrace();
    doc_.InputPoints.Clear();
    const bool w = pickedLineEnd_ > 0;
    (w ? b.BaseLineW : b.BaseLineH)[static_cast<std::size_t>(std::abs(pickedLineEnd_))] = pending_;
    if (b.BaseLineWSet == 1 && b.BaseLineHSet == 1) {
        b.BaseUnitSet = 0;
        CalcuBaseUnitFromLines(doc_.Plane);
        Recalculate();
    }
    doc_.Modified = 1;
    Redraw();
    port_.FocusField(w ? InputField::W : InputField::H);
}

void Interaction::LeftBaseUnitAdjust(TDPoint P)
{
    TBaseBlock& b = doc_.Plane.base;
    if (doc_.InputCount() == 0) {
        PlaneFollow(P);
        const double r = Radius();
        pickedUnitCorner_ = Distance(pending_, b.BaseUnit[1]) <= r ? 1 : (Distance(pending_, b.BaseUnit[2]) <= r ? 2 : 0);
        if (pickedUnitCorner_ == 0)
            return;
        Accept();
        Redraw();
        snapOrigin_ = b.BaseUnit[static_cast<std::size_t>(pickedUnitCorner_)];
        StartTrace(8, P, b.BaseUnit[static_cast<std::size_t>(3 - pickedUnitCorner_)], {}, settings_.ColorBaseUnit);
        return;
    }
    EndTrace();
    doc_.InputPoints.Clear();
    if (pickedUnitCorner_ > 0) {
        b.BaseUnit[static_cast<std::size_t>(pickedUnitCorner_)] = pending_;
        // The adjusted base is the user's own from now on: without this the
        // next recomputation of the rectangle would put it back on the corners.
        b.BaseUnitSet = 1;
        b.BaseLineWSet = 0;
        b.BaseLineHSet = 0;
        CalcuUnitPoint(doc_.Plane);
        Recalculate();
        doc_.Modified = 1;
        Redraw();
        port_.FocusField(InputField::W);
    }
}

void Interaction::LeftDistanceAdjust(TDPoint P)
{
    TPlaneState& plane = doc_.Plane;
    if (doc_.InputCount() == 0) {
        doc_.CurrentDistance = SearchDistanceNo(doc_, pending_, port_.View().DispScale);
        SetCalcu();
        if (doc_.CurrentDistance == 0)
            return;
        pickedDistanceEnd_ = 0;
        linkedDistance_ = 0;
        const TDistance& d = plane.Distances[doc_.CurrentDistance];
        auto lowest = [&](auto match) {
            for (std::int32_t i = 1; i <= plane.DistanceCount(); ++i)
                if (match(plane.Distances[i]))
                    return i;
            return std::int32_t{0};
        };
        if (Distance(pending_, d.start) <= Radius()) {
            pickedDistanceEnd_ = 1;
            linkedDistance_ = lowest([&](const TDistance& o) { return o.next == doc_.CurrentDistance; });
        } else if (Distance(pending_, d.end) <= Radius()) {
            pickedDistanceEnd_ = 2;
            linkedDistance_ = lowest([&](const TDistance& o) { return o.prev == doc_.CurrentDistance; });
        }
        if (pickedDistanceEnd_ == 0) {
            Redraw();
            return;
        }
        Accept();
        Redraw();
        const TDPoint otherEnd = pickedDistanceEnd_ == 1 ? d.end : d.start;
        if (linkedDistance_ == 0) {
            StartTrace(3, P, otherEnd, {}, settings_.ColorDistance);
        } else {
            const TDistance& l = plane.Distances[linkedDistance_];
            snapOrigin_ = pickedDistanceEnd_ == 1 ? d.start : d.end;
            StartTrace(4, P, otherEnd, pickedDistanceEnd_ == 1 ? l.start : l.end, settings_.ColorDistance);
        }
        return;
    }
    if (pickedDistanceEnd_ == 0)
        return;
    EndTrace();
    doc_.InputPoints.Clear();
    if (plane.Distances.Valid(doc_.CurrentDistance)) {
        TDistance& d = plane.Distances[doc_.CurrentDistance];
        (pickedDistanceEnd_ == 1 ? d.start : d.end) = pending_;
        if (plane.Distances.Valid(linkedDistance_)) {
            TDistance& l = plane.Distances[linkedDistance_];
            (pickedDistanceEnd_ == 1 ? l.end : l.start) = pending_;
        }
    }
    CalcuDistanceHosei(doc_);
    SetCalcu();
    doc_.Modified = 1;
    Redraw();
}

void Interaction::LeftSpaceAdjust(TDPoint P)
{
    TPlaneState& plane = doc_.Plane;
    if (doc_.InputCount() == 0) {
        doc_.CurrentSpace = SearchSpacePointNo(doc_, pending_, true, port_.View().DispScale, pickedVertex_);
        SetCalcu();
        if (pickedVertex_ == -1 || !plane.Spaces.Valid(doc_.CurrentSpace)) {
            Redraw();
            return;
        }
        const TSpace& s = plane.Spaces[doc_.CurrentSpace];
        const std::int32_t c = s.count();
        if (!options.polygon && c != 5)
            return;
        Accept();
        Redraw();
        const std::int32_t colour = s.kind == kSpaceAdd ? settings_.ColorSpaceAdd : settings_.ColorSpaceSub;
        const std::int32_t v = pickedVertex_;
        snapOrigin_ = s.points[static_cast<std::size_t>(v)];
        if (options.polygon) {
            const std::int32_t after = v + 1 <= c - 2 ? v + 1 : 0;
            const std::int32_t before = v >= 1 ? v - 1 : c - 2;
            StartTrace(4, P, s.points[static_cast<std::size_t>(after)], s.points[static_cast<std::size_t>(before)], colour);
        } else {
            static constexpr int kOpposite[] = {2, 3, 0, 1};
            StartTrace(8, P, s.points[static_cast<std::size_t>(kOpposite[v])], {}, colour);
        }
        return;
    }
    EndTrace();
    doc_.InputPoints.Clear();
    if (!plane.Spaces.Valid(doc_.CurrentSpace) || pickedVertex_ < 0)
        return;
    TSpace& s = plane.Spaces[doc_.CurrentSpace];
    const auto v = static_cast<std::size_t>(pickedVertex_);
    if (v >= s.points.size())
        return;
    if (options.polygon) {
        s.points[v] = pending_;
        if (v == 0)
            s.points.back() = pending_;
    } else if (s.count() == 5 && v < 4) {
        static constexpr std::size_t kOpposite[] = {2, 3, 0, 1};
        s.points = RectangleOutline(plane.base, s.points[kOpposite[v]], pending_);
        s.correctedPoints.resize(s.points.size());
    }
    CalcuSpaceHosei(doc_);
    SetCalcu();
    doc_.Modified = 1;
    Redraw();
}

void Interaction::LeftDistanceDelete()
{
    const std::int32_t k = SearchDistanceNo(doc_, pending_, port_.View().DispScale);
    if (k == 0)
        return;
    DeleteDistance(doc_.Plane, k);
    Redraw();
    SetCalcu();
    doc_.Modified = 1;
    SetCommand(doc_.Plane.DistanceCount() > 0 ? uCommand_ : ucNone);
}

void Interaction::LeftSpaceDelete()
{
    std::int32_t vertex = -1;
    const std::int32_t k = SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex);
    if (k == 0)
        return;
    DeleteSpace(doc_.Plane, k);
    Redraw();
    SetCalcu();
    doc_.Modified = 1;
    SetCommand(doc_.Plane.SpaceCount() > 0 ? uCommand_ : ucNone);
}

// --- right clicks --------------------------------------------------------------------------------

void Interaction::MouseRightClick(TDPoint P)
{
    GuardWith([&] { return TrailLine("MouseRightClick", "uCommand", uCommand_); }, [&] {
        const int n = doc_.InputCount();
        const double scale = port_.View().DispScale;
        std::int32_t vertex = -1;
        auto takeBack = [&](std::int32_t colour, bool restart) {
            doc_.InputPoints.Erase(n);
            EndTrace();
            Redraw();
            if (restart)
                StartTrace(3, P, Q(n - 1), {}, colour);
        };
        auto abandon = [&] {
            doc_.InputPoints.Clear();
            EndTrace();
        };
        switch (uCommand_) {
        case ucBase:
            if (n >= 1)
                takeBack(settings_.ColorBase, n - 1 >= 1);
            break;
        case ucBaseSixPoint:
            if (n >= 1)
                takeBack(settings_.ColorBase, (n - 1) % 2 == 1);
            break;
        case ucBaseLineW:
        case ucBaseLineH:
        case ucBaseUnit:
        case ucImageFix:
            if (n > 0)
                abandon();
            break;
        case ucDistance:
            if (n > 0) {
                const std::int32_t last = doc_.Plane.DistanceCount();
                if (last > 0)
                    doc_.Plane.Distances[last].next = 0;
                abandon();
                if (options.continuous) {
                    SetCommand(uCommand_);
                    Redraw();
                }
                break;
            }
            [[fallthrough]];
        case ucDistanceHosei:
            if (n == 0) {
                doc_.CurrentDistance = SearchDistanceNo(doc_, P, scale);
                SetCalcu();
                Redraw();
            } else {
                abandon();
            }
            break;
        case ucSpaceHosei:
            if (n == 1) {
                abandon();
                break;
            }
            [[fallthrough]];
        case ucSpaceSlant:
            if (n == 0) {
                doc_.CurrentSpace = SearchSpacePointNo(doc_, P, false, scale, vertex);
                SetCalcu();
                Redraw();
            }
            break;
        case ucSpaceAdd:
        case ucSpaceSub: {
            const std::int32_t colour = uCommand_ == ucSpaceAdd ? settings_.ColorSpaceAdd : settings_.ColorSpaceSub;
            if (n == 0) {
                doc_.CurrentSpace = SearchSpacePointNo(doc_, P, false, scale, vertex);
                SetCalcu();
                Redraw();
            } else if (options.polygon) {
                takeBack(colour, n - 1 >= 1);
            } else {
                abandon();
            }
            break;
        }
        case ucCrossLine:
            SetCommand(ucNone);
            Redraw();
            break;
        case ucBaseAdjust:
        case ucBaseLineAdjust:
        case ucBaseUnitAdjust:
            if (n >= 1) {
                abandon();
                Redraw();
            }
            break;
        case ucDistanceDel:
            doc_.CurrentDistance = SearchDistanceNo(doc_, P, scale);
            SetCalcu();
            Redraw();
            break;
        case ucDistanceAdjust:
            if (n >= 1) {
                abandon();
                Redraw();
            } else {
                doc_.CurrentDistance = SearchDistanceNo(doc_, P, scale);
                SetCalcu();
                Redraw();
            }
            break;
        case ucSpaceDel:
            doc_.CurrentSpace = SearchSpacePointNo(doc_, P, false, scale, vertex);
            SetCalcu();
            Redraw();
            break;
        case ucSpaceAdjust:
            if (n >= 1) {
                abandon();
                Redraw();
            } else {
                doc_.CurrentSpace = SearchSpacePointNo(doc_, P, false, scale, vertex);
                SetCalcu();
                Redraw();
            }
            break;
        default:
            break;
        }
        SetStatusBar();
    });
}

} // namespace kvx
