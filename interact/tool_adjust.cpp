// The clicks of the tools that pick an existing mark: adjusting and deleting.

#include "base/translate.h"
#include "interact/interaction.h"
#include "interact/tool_families.h"

#include "interact/interaction_detail.h"
#include "interact/hit_test.h"
#include "interact/prompts.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "interact/commands.h"
#include "base/error_trail.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace kvx {

using namespace interaction_detail;

// --- adjustments and deletions -------------------------------------------------------------------

const AdjustTools::Steps* AdjustTools::Row() const
{
    static constexpr std::array<Steps, 5> kSteps = {{
        {uCommand::BaseAdjust, &AdjustTools::LeftBaseAdjust, nullptr},
        {uCommand::BaseLineAdjust, &AdjustTools::LeftBaseLineAdjust, nullptr},
        {uCommand::BaseUnitAdjust, &AdjustTools::LeftBaseUnitAdjust, nullptr},
        {uCommand::DistanceAdjust, &AdjustTools::LeftDistanceAdjust, &AdjustTools::ChooseDistance},
        {uCommand::SpaceAdjust, &AdjustTools::LeftSpaceAdjust, &AdjustTools::ChooseArea},
    }};
    return RowOf(kSteps);
}

void AdjustTools::LeftClick(TDPoint P)
{
    if (const Steps* row = Row())
        (this->*row->left)(P);
}

void AdjustTools::RightClick(TDPoint P)
{
    // A picked point is let go; with nothing picked, the distance and area
    // tools choose the mark under the click.
    if (doc_.InputCount() >= 1) {
        Abandon();
        Redraw();
    } else if (const Steps* row = Row(); row && row->choose) {
        (this->*row->choose)(P);
    }
}

const DeleteTools::Steps* DeleteTools::Row() const
{
    static constexpr std::array<Steps, 5> kSteps = {{
        {uCommand::DistanceDel, &DeleteTools::LeftDistanceDelete, &DeleteTools::ChooseDistance},
        {uCommand::DistanceHoseiDel, &DeleteTools::LeftDistanceCorrectionDelete, nullptr},
        {uCommand::SpaceDel, &DeleteTools::LeftSpaceDelete, &DeleteTools::ChooseArea},
        {uCommand::SpaceHoseiDel, &DeleteTools::LeftSpaceCorrectionDelete, nullptr},
        {uCommand::CheckDel, &DeleteTools::LeftCheckDelete, nullptr},
    }};
    return RowOf(kSteps);
}

void DeleteTools::LeftClick(TDPoint)
{
    if (const Steps* row = Row())
        (this->*row->left)();
}

void DeleteTools::RightClick(TDPoint P)
{
    if (const Steps* row = Row(); row && row->choose)
        (this->*row->choose)(P);
}

void DeleteTools::LeftCorrectionDelete(bool area)
{
    if (area) {
        std::int32_t vertex = -1;
        ed_.SelectSpace(SearchSpacePointNo(doc_, pending_, false, Scale(), vertex));
        if (doc_.CurrentSpace <= 0)
            return;
        ed_.SetSpaceCorrection(doc_.CurrentSpace, std::nullopt);
    } else {
        ed_.SelectDistance(SearchDistanceNo(doc_, pending_, Scale()));
        if (doc_.CurrentDistance <= 0)
            return;
        ed_.SetDistanceCorrection(doc_.CurrentDistance, std::nullopt);
    }
    SetCalcu();
    Finish(uCommand_);
    Redraw();
}

void AdjustTools::LeftBaseAdjust(TDPoint P)
{
    const TBaseBlock& b = doc_.Plane.base;
    auto far = [&](int k) { return pickedBaseCorner_ > 0 ? Prev(k) : Next(k); };
    auto other = [&](int k) { return pickedBaseCorner_ > 0 ? Next(k) : Prev(k); };
    if (doc_.InputCount() == 0) {
        PlaneFollow(P, true);
        Redraw();
        pickedBaseCorner_ = SearchBasePointNo(doc_.Plane, pending_);
        const int k = std::abs(pickedBaseCorner_);
        pickedBaseFar_ = Distance(b.BaseRect[static_cast<std::size_t>(k)], P) > Radius();
        ed_.AddInputPoint(pending_);
        if (pickedBaseFar_) {
            StartTrace(TraceKind::EndlessLine, P, b.BaseRect[static_cast<std::size_t>(far(k))], {}, settings_.ColorBase);
        } else {
            snapOrigin_ = b.BaseRect[static_cast<std::size_t>(k)];
            StartTrace(TraceKind::Corner, P, b.BaseRect[static_cast<std::size_t>(Next(k))], b.BaseRect[static_cast<std::size_t>(Prev(k))],
                       settings_.ColorBase);
        }
        return;
    }
    const int k = std::abs(pickedBaseCorner_);
    const bool twoPlanes = (doc_.CurrentBase == 1 || doc_.CurrentBase == 2) && options.lock;
    // The corner as it would move (where it was when a far click finds no
    // crossing), checked before anything changes.
    TDPoint moved = b.BaseRect[static_cast<std::size_t>(k)];
    {
        const auto old = b.BaseRect;
        auto at = [&](int i) { return old[static_cast<std::size_t>(i)]; };
        if (pickedBaseFar_) {
            if (const auto corner = IntersPoint(pending_, at(far(k)), at(k), at(other(k))))
                moved = *corner;
        } else {
            moved = pending_;
        }
        auto rect = old;
        rect[static_cast<std::size_t>(k)] = moved;
        OutlineFault fault = CheckOutline(std::array<TDPoint, 4>{rect[1], rect[2], rect[3], rect[4]});
        if (fault == OutlineFault::None && twoPlanes) {
            auto parked = doc_.ParkedPlane.base.BaseRect;
            for (std::size_t j = 1; j <= 4; ++j)
                if (parked[j] == at(k))
                    parked[j] = moved;
            fault = CheckOutline(std::array<TDPoint, 4>{parked[1], parked[2], parked[3], parked[4]});
        }
        // The corner stays picked and its band stays, so the user can place it again.
        if (Refuse(fault))
            return;
    }
    EndTrace();
    ed_.ClearInput();
    ed_.MoveReferenceCorner(k, moved, options.lock);
    // The summary and the marks follow from the edit's own notification.
    if (twoPlanes)
        port_.PlaneChanged();
    port_.ReferenceAdjusted();
}

void AdjustTools::LeftBaseLineAdjust(TDPoint P)
{
    const TBaseBlock& b = doc_.Plane.base;
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
        ed_.AddInputPoint(pending_);
        Redraw();
        const bool w = pickedLineEnd_ > 0;
        const auto& line = w ? b.BaseLineW : b.BaseLineH;
        const TDPoint fixed = line[std::abs(pickedLineEnd_) == 1 ? 2 : 1];
        StartTrace(w ? TraceKind::LineW : TraceKind::LineH, P, fixed, {}, settings_.ColorBaseLine);
        return;
    }
    if (pickedLineEnd_ == 0)
        return;
    EndTrace();
    ed_.ClearInput();
    const bool w = pickedLineEnd_ > 0;
    ed_.MoveBaseLinePoint(w, std::abs(pickedLineEnd_), pending_);
    port_.FocusField(w ? InputField::W : InputField::H);
}

void AdjustTools::LeftBaseUnitAdjust(TDPoint P)
{
    const TBaseBlock& b = doc_.Plane.base;
    if (doc_.InputCount() == 0) {
        PlaneFollow(P);
        const double r = Radius();
        pickedUnitCorner_ = Distance(pending_, b.BaseUnit[1]) <= r ? 1 : (Distance(pending_, b.BaseUnit[2]) <= r ? 2 : 0);
        if (pickedUnitCorner_ == 0)
            return;
        ed_.AddInputPoint(pending_);
        Redraw();
        snapOrigin_ = b.BaseUnit[static_cast<std::size_t>(pickedUnitCorner_)];
        StartTrace(TraceKind::PlaneRectCorner, P, b.BaseUnit[static_cast<std::size_t>(3 - pickedUnitCorner_)], {}, settings_.ColorBaseUnit);
        return;
    }
    if (pickedUnitCorner_ > 0) {
        const TDPoint u1 = pickedUnitCorner_ == 1 ? pending_ : b.BaseUnit[1];
        const TDPoint u2 = pickedUnitCorner_ == 2 ? pending_ : b.BaseUnit[2];
        // The corner stays picked and its band stays, so the user can place it again.
        if (Refuse(CheckUnitCell(doc_.Plane, u1, u2)))
            return;
    }
    EndTrace();
    ed_.ClearInput();
    if (pickedUnitCorner_ > 0) {
        ed_.MoveBaseUnitCorner(pickedUnitCorner_, pending_);
        port_.FocusField(InputField::W);
    }
}

void AdjustTools::LeftDistanceAdjust(TDPoint P)
{
    const TPlaneState& plane = doc_.Plane;
    if (doc_.InputCount() == 0) {
        ed_.SelectDistance(SearchDistanceNo(doc_, pending_, port_.View().DispScale));
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
        ed_.AddInputPoint(pending_);
        Redraw();
        const TDPoint otherEnd = pickedDistanceEnd_ == 1 ? d.end : d.start;
        if (linkedDistance_ == 0) {
            StartTrace(TraceKind::Line, P, otherEnd, {}, settings_.ColorDistance);
        } else {
            const TDistance& l = plane.Distances[linkedDistance_];
            snapOrigin_ = pickedDistanceEnd_ == 1 ? d.start : d.end;
            StartTrace(TraceKind::Corner, P, otherEnd, pickedDistanceEnd_ == 1 ? l.start : l.end, settings_.ColorDistance);
        }
        return;
    }
    if (pickedDistanceEnd_ == 0)
        return;
    EndTrace();
    ed_.ClearInput();
    ed_.MoveDistanceEnd(doc_.CurrentDistance, pickedDistanceEnd_ == 1, pending_, linkedDistance_);
}

void AdjustTools::LeftSpaceAdjust(TDPoint P)
{
    const TPlaneState& plane = doc_.Plane;
    if (doc_.InputCount() == 0) {
        ed_.SelectSpace(SearchSpacePointNo(doc_, pending_, true, port_.View().DispScale, pickedVertex_));
        SetCalcu();
        if (pickedVertex_ == -1 || !plane.Spaces.Valid(doc_.CurrentSpace)) {
            Redraw();
            return;
        }
        const TSpace& s = plane.Spaces[doc_.CurrentSpace];
        const std::int32_t c = s.count();
        if (!options.polygon && c != 5)
            return;
        ed_.AddInputPoint(pending_);
        Redraw();
        const std::int32_t colour = s.kind == kSpaceAdd ? settings_.ColorSpaceAdd : settings_.ColorSpaceSub;
        const std::int32_t v = pickedVertex_;
        snapOrigin_ = s.points[static_cast<std::size_t>(v)];
        if (options.polygon) {
            const std::int32_t after = v + 1 <= c - 2 ? v + 1 : 0;
            const std::int32_t before = v >= 1 ? v - 1 : c - 2;
            StartTrace(TraceKind::Corner, P, s.points[static_cast<std::size_t>(after)], s.points[static_cast<std::size_t>(before)], colour);
        } else {
            static constexpr int kOpposite[] = {2, 3, 0, 1};
            StartTrace(TraceKind::PlaneRectCorner, P, s.points[static_cast<std::size_t>(kOpposite[v])], {}, colour);
        }
        return;
    }
    EndTrace();
    ed_.ClearInput();
    if (!plane.Spaces.Valid(doc_.CurrentSpace) || pickedVertex_ < 0)
        return;
    const std::int32_t current = doc_.CurrentSpace;
    const auto v = static_cast<std::size_t>(pickedVertex_);
    if (v >= plane.Spaces[current].points.size())
        return;
    ed_.MoveSpaceVertex(current, v, pending_, !options.polygon);
}

void DeleteTools::LeftCheckDelete()
{
    const std::int32_t k = SearchCheckNo(doc_, pending_, port_.View().DispScale);
    if (k == 0)
        return;
    ed_.DeleteCheck(k);
    if (doc_.Plane.Checks.empty())
        Finish(uCommand::None);
}

void DeleteTools::LeftDistanceDelete()
{
    const std::int32_t k = SearchDistanceNo(doc_, pending_, port_.View().DispScale);
    if (k == 0)
        return;
    ed_.DeleteDistance(k);
    SetCommand(doc_.Plane.DistanceCount() > 0 ? uCommand_ : uCommand::None);
}

void DeleteTools::LeftSpaceDelete()
{
    std::int32_t vertex = -1;
    const std::int32_t k = SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex);
    if (k == 0)
        return;
    ed_.DeleteSpace(k);
    SetCommand(doc_.Plane.SpaceCount() > 0 ? uCommand_ : uCommand::None);
}

} // namespace kvx
