// The clicks of the tools that take new points: the reference, base lines,
// measurement base, distances, areas and the image range.

#include "interact/interaction.h"
#include "interact/tool_families.h"
#include "measure/checks.h"

#include "interact/interaction_detail.h"
#include "interact/hit_test.h"
#include "interact/prompts.h"
#include "interact/lens_words.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "measure/numfmt.h"
#include "base/translate.h"
#include "interact/commands.h"
#include "base/error_trail.h"
#include "view/view_mapping.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace kvx {

using namespace interaction_detail;

const InputTools::Steps* InputTools::Row() const
{
    static constexpr std::array<Steps, 13> kSteps = {{
        {uCommand::Base, &InputTools::LeftBase, &InputTools::RightBase, nullptr},
        {uCommand::BaseOnePoint, &InputTools::LeftOnePoint, nullptr, nullptr},
        {uCommand::BaseSixPoint, &InputTools::LeftSixPoint, &InputTools::RightSixPoint, nullptr},
        {uCommand::BaseLineW, &InputTools::LeftBaseLineW, &InputTools::RightAbandon, nullptr},
        {uCommand::BaseLineH, &InputTools::LeftBaseLineH, &InputTools::RightAbandon, nullptr},
        {uCommand::BaseUnit, &InputTools::LeftBaseUnit, &InputTools::RightAbandon, nullptr},
        {uCommand::Distance, &InputTools::LeftDistance, &InputTools::RightDistance, nullptr},
        {uCommand::SpaceAdd, &InputTools::LeftSpace, &InputTools::RightSpace, nullptr},
        {uCommand::SpaceSub, &InputTools::LeftSpace, &InputTools::RightSpace, nullptr, kSpaceSub},
        {uCommand::CrossLine, &InputTools::LeftCrossLine, &InputTools::RightCrossLine, nullptr},
        {uCommand::ImageFix, &InputTools::LeftImageFix, &InputTools::RightAbandon, nullptr},
        {uCommand::Check, &InputTools::LeftCheck, &InputTools::RightAbandon, nullptr},
        {uCommand::StraightEdge, &InputTools::LeftStraightEdge, &InputTools::RightStraightEdge,
         &InputTools::EnterStraightEdge},
    }};
    return RowOf(kSteps);
}

void InputTools::LeftClick(TDPoint P)
{
    if (const Steps* row = Row())
        (this->*row->left)(P);
}

void InputTools::RightClick(TDPoint P)
{
    if (const Steps* row = Row(); row && row->right)
        (this->*row->right)(P);
}

bool InputTools::Enter()
{
    const Steps* row = Row();
    return row && row->enter && (this->*row->enter)();
}

void InputTools::RightBase(TDPoint P)
{
    const int n = doc_.InputCount();
    if (n >= 1)
        TakeBack(P, n, settings_.ColorBase, n - 1 >= 1);
}

void InputTools::RightSixPoint(TDPoint P)
{
    const int n = doc_.InputCount();
    if (n >= 1)
        TakeBack(P, n, settings_.ColorBase, (n - 1) % 2 == 1);
}

void InputTools::RightAbandon(TDPoint)
{
    if (doc_.InputCount() > 0)
        Abandon();
}

void InputTools::RightDistance(TDPoint P)
{
    if (doc_.InputCount() > 0) {
        ed_.EndOpenChain();
        Abandon();
        if (options.continuous) {
            SetCommand(uCommand_);
            Redraw();
        }
    } else {
        ChooseDistance(P);
    }
}

void InputTools::RightSpace(TDPoint P)
{
    const int n = doc_.InputCount();
    if (n == 0)
        ChooseArea(P);
    else if (options.polygon)
        TakeBack(P, n, SpaceColour(), n - 1 >= 1);
    else
        Abandon();
}

void InputTools::RightCrossLine(TDPoint)
{
    SetCommand(uCommand::None);
    Redraw();
}

void InputTools::RightStraightEdge(TDPoint P)
{
    const int n = doc_.InputCount();
    // Enough points end the edge; fewer are a slip of the last one;
    // with none under way the click is on a kept edge, to delete it.
    if (!EndStraightEdge() && n >= 1)
        TakeBack(P, n, kStraightEdgeColour, n - 1 >= 1);
    else if (n == 0)
        DeleteStraightEdgeAt(P);
}

bool InputTools::EnterStraightEdge()
{
    // Return never adds a point here: with too few points it says why
    // nothing ended, instead of a point where the keyboard's pointer stood.
    if (!EndStraightEdge())
        Note(EdgeFitRefusal(EdgeFit{.fault = EdgeFitFault::TooFewPoints}));
    return true;
}

void InputTools::LeftStraightEdge(TDPoint P)
{
    const int n = doc_.InputCount();
    if (n == 0 && DragStraightEdgePoint(P))
        return;
    if (n >= 1 && !Accepts(Q(n), pending_))
        return;
    if (n >= kMaxEdgePoints) {
        Note(EdgeFitRefusal(EdgeFit{.fault = EdgeFitFault::TooFewPoints}));
        return;
    }
    EndTrace();
    ed_.AddInputPoint(pending_);
    StartTrace(TraceKind::Line, P, Q(n + 1), {}, kStraightEdgeColour);
    Redraw();
}

bool InputTools::EndStraightEdge()
{
    const int n = doc_.InputCount();
    if (n < kMinEdgePoints)
        return false;
    std::vector<TDPoint> points;
    points.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i)
        points.push_back(Q(i));
    EndTrace();
    const EdgeFit fit = ed_.AddStraightEdge(points);
    // The edge is kept even when the fit is refused: with the next edge it may hold.
    SetCommand(uCommand_);
    Note(fit ? EdgeFitSummary(fit) : EdgeFitRefusal(fit));
    Redraw();
    return true;
}

bool InputTools::DragStraightEdgePoint(TDPoint P)
{
    // A click's own jitter is no drag: a new edge may well start on a kept point.
    if (Distance(pending_, P) * Scale() < kEdgeDragPixels)
        return false;
    const std::optional<EdgePointRef> picked = StraightEdgePointNear(doc_, pending_, Scale());
    if (!picked)
        return false;
    const EdgeFit fit = ed_.MoveStraightEdgePoint(picked->edge, picked->point, P);
    Note(fit ? EdgeFitSummary(fit) : EdgeFitRefusal(fit));
    Redraw();
    return true;
}

bool InputTools::DeleteStraightEdgeAt(TDPoint P)
{
    const std::optional<std::size_t> edge = StraightEdgeNear(doc_, P, Scale());
    if (!edge)
        return false;
    const EdgeFit fit = ed_.DeleteStraightEdge(*edge);
    // With no edge left there is nothing to tell of a fit.
    if (doc_.Lens && !doc_.Lens->edges.empty())
        Note(fit ? EdgeFitSummary(fit) : EdgeFitRefusal(fit));
    Redraw();
    return true;
}

bool InputTools::Adds() const
{
    const Steps* row = Row();
    return !row || row->areaKind == kSpaceAdd;
}

std::int32_t InputTools::SpaceColour() const
{
    return Adds() ? settings_.ColorSpaceAdd : settings_.ColorSpaceSub;
}

void InputTools::LeftOnePoint(TDPoint)
{
    const ViewState view = port_.View();
    const TDPoint topLeft = StoW(view, TPoint{0, 0});
    const TDPoint bottomRight = StoW(view, TPoint{port_.DisplayWidth(), port_.DisplayHeight()});
    ed_.SetTwoPlanes(SixPointFromClick(pending_, topLeft, bottomRight));
    port_.PlaneChanged();
    Finish(uCommand::None);
    Redraw();
}

void InputTools::LeftCrossLine(TDPoint)
{
    ed_.SetCrossLine(pending_);
    Recalculate();
    Finish(uCommand::None);
    Redraw();
}

ToolStep::BandStep ToolStep::BandClick(TDPoint P, TraceKind traceMode, std::int32_t colour, bool follow)
{
    const int n = doc_.InputCount();
    if (n == 0) {
        if (follow)
            PlaneFollow(P);
        ed_.AddInputPoint(pending_);
        StartTrace(traceMode, P, Q(1), {}, colour);
        return BandStep::First;
    }
    return Accepts(Q(n), pending_) ? BandStep::Next : BandStep::Refused;
}

void InputTools::LeftBase(TDPoint P)
{
    const int n = doc_.InputCount();
    const BandStep step = BandClick(P, TraceKind::Line, settings_.ColorBase, false);
    if (step == BandStep::Refused)
        return;
    if (step == BandStep::Next && n <= 2) {
        EndTrace();
        ed_.AddInputPoint(pending_);
        StartTrace(TraceKind::Line, P, Q(n + 1), {}, settings_.ColorBase);
    } else if (step == BandStep::Next) {
        if (Refuse(CheckOutline(std::array<TDPoint, 4>{Q(1), Q(2), Q(3), pending_})))
            return;
        EndTrace();
        ed_.SetReference({Q(1), Q(2), Q(3), pending_});
        Finish(uCommand::None);
        AskForSizes();
        port_.ReferenceSet();
    }
    Redraw();
}

void Interaction::AskForSizes()
{
    sizesWanted_ = true;
    SetStatusBar();
    port_.FocusField(InputField::W);
}

void InputTools::LeftSixPoint(TDPoint P)
{
    const int n = doc_.InputCount();
    const BandStep step = BandClick(P, TraceKind::Line, settings_.ColorBase, false);
    if (step == BandStep::Refused)
        return;
    if (step == BandStep::Next && n <= 4) {
        ed_.AddInputPoint(pending_);
        if ((n + 1) % 2 == 0)
            EndTrace();
        else
            StartTrace(TraceKind::Line, P, Q(n + 1), {}, settings_.ColorBase);
    } else if (step == BandStep::Next) {
        // The left plane is (3, 1, 2, 4), the right one (1, 5, 6, 2).
        const OutlineFault left = CheckOutline(std::array<TDPoint, 4>{Q(3), Q(1), Q(2), Q(4)});
        const OutlineFault right = CheckOutline(std::array<TDPoint, 4>{Q(1), Q(5), pending_, Q(2)});
        if (Refuse(left != OutlineFault::None ? left : right))
            return;
        EndTrace();
        ed_.AddInputPoint(pending_);
        std::array<TDPoint, 7> six{};
        for (int i = 1; i <= 6; ++i)
            six[static_cast<std::size_t>(i)] = Q(i);
        ed_.SetTwoPlanes(six);
        port_.PlaneChanged();
        Finish(uCommand::None);
        AskForSizes();
        port_.ReferenceSet();
    }
    Redraw();
}

void InputTools::LeftBaseLine(TDPoint P, bool w)
{
    if (BandClick(P, w ? TraceKind::LineW : TraceKind::LineH, settings_.ColorBaseLine, false) != BandStep::Next)
        return;
    ed_.SetBaseLine(w, Q(1), pending_);
    Recalculate();
    Finish(uCommand::None);
    Redraw();
    port_.FocusField(w ? InputField::W : InputField::H);
}

void InputTools::LeftBaseUnit(TDPoint P)
{
    if (BandClick(P, TraceKind::PlaneRect, settings_.ColorBaseUnit, true) != BandStep::Next)
        return;
    if (Refuse(CheckUnitCell(doc_.Plane, Q(1), pending_)))
        return;
    ed_.SetBaseUnit(Q(1), pending_);
    Recalculate();
    Finish(uCommand::None);
    Redraw();
    port_.FocusField(InputField::W);
}

void InputTools::LeftDistance(TDPoint P)
{
    if (BandClick(P, TraceKind::Line, settings_.ColorDistance, true) != BandStep::Next)
        return;
    // Only continuous mode joins a distance to the one before it.
    const std::int32_t index = ed_.AddDistance(Q(1), pending_, options.continuous);
    SetCalcu();
    if (options.continuous) {
        ed_.SetInputPoint(1, pending_);
        StartTrace(TraceKind::Line, P, Q(1), {}, settings_.ColorDistance);
        ed_.OpenChainAfter(index);
    } else {
        SetCommand(uCommand_);
    }
    Redraw();
}

std::optional<double> AskKnownLength(WindowPort& port, const std::string& ask, const std::string& current)
{
    // A text that is no length is asked again, saying why: a check against a
    // misread length would mislead more than no check.
    std::string prompt = ask;
    while (const std::optional<std::string> typed = port.AskCheckLength(prompt, current)) {
        if (const std::optional<double> known = ParseKnownLength(*typed))
            return known;
        prompt = Tx("Prompts", "「") + *typed +
                 Tx("Prompts", "」は長さとして読めません. 0.1 から 1,000,000 までの mm の数を, 1000 や 1,250.5 のように入力してください.") +
                 "\r" + ask;
    }
    return std::nullopt;
}

void InputTools::LeftCheck(TDPoint P)
{
    if (BandClick(P, TraceKind::Line, settings_.ColorDistance, true) != BandStep::Next)
        return;
    const TDPoint start = Q(1);
    const TDPoint end = pending_;
    EndTrace();
    const double measured = MeasuredLength(doc_, TCheck{start, end, 0});
    const std::string ask = Tx("Prompts", "測った長さ: ") + FormatFixed(measured, 1) + Tx("Summary", "㎜") + "\r" +
                            Tx("Prompts", "実際の長さ (mm) を入力してください");
    const std::optional<double> known = AskKnownLength(port_, ask);
    if (known)
        ed_.AddCheck(start, end, *known);
    SetCommand(uCommand_);
    Redraw();
}

void InputTools::NewSpace(std::vector<TDPoint> outline)
{
    // The name is asked before the record is made.
    std::string name;
    if (settings_.SpaceNameInputFlag)
        name = AreaNameFromUtf8(port_.AskAreaName());
    ed_.AddSpace(std::move(outline), Adds() ? kSpaceAdd : kSpaceSub, std::move(name));
    SetCalcu();
    Finish(uCommand_);
}

void InputTools::LeftSpace(TDPoint P)
{
    if (options.polygon)
        LeftSpacePolygon(P);
    else
        LeftSpaceRectangle(P);
}

void InputTools::LeftSpaceRectangle(TDPoint P)
{
    const std::int32_t colour = SpaceColour();
    const BandStep step = BandClick(P, TraceKind::PlaneRect, colour, true);
    if (step == BandStep::Refused)
        return;
    if (step == BandStep::Next)
        NewSpace(RectangleOutline(doc_.Plane.base, Q(1), pending_));
    Redraw();
}

void InputTools::LeftSpacePolygon(TDPoint P)
{
    const std::int32_t colour = SpaceColour();
    const int n = doc_.InputCount();
    const int m = n + 1;
    if (m == 1) {
        PlaneFollow(P);
        ed_.AddInputPoint(pending_);
        StartTrace(TraceKind::Line, P, Q(1), {}, colour);
    } else if (Distance(Q(1), pending_) * port_.View().DispScale > kPolygonCloseRadius) {
        ed_.AddInputPoint(pending_);
        EndTrace();
        StartTrace(TraceKind::Line, P, Q(m), {}, colour);
    } else if (m <= 3) {
        // Too few vertices to close: the click is dropped.
        EndTrace();
        StartTrace(TraceKind::Line, P, Q(n), {}, colour);
    } else {
        std::vector<TDPoint> outline;
        for (int i = 1; i < m; ++i)
            outline.push_back(Q(i));
        outline.push_back(Q(1));
        NewSpace(std::move(outline));
    }
    Redraw();
}

void InputTools::LeftImageFix(TDPoint P)
{
    if (BandClick(P, TraceKind::ImageRect, kRed, false) != BandStep::Next)
        return;
    const TDPoint a = Q(1);
    const TDPoint b = pending_;
    EndTrace();
    port_.ImageRangeOutput(Roundoff(a.x), Roundoff(a.y), Roundoff(b.x), Roundoff(b.y));
    SetCommand(uCommand::None);
}

} // namespace kvx
