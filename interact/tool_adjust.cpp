// The clicks of the tools that pick an existing mark: adjusting and deleting.

#include "interact/interaction.h"

#include "interact/interaction_detail.h"
#include "interact/hit_test.h"
#include "interact/prompts.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "interact/commands.h"
#include "base/error_trail.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace kvx {

using namespace interaction_detail;

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
    RebuildTwoPlaneGeometry(doc_);
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

} // namespace kvx
