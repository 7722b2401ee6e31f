// The clicks of the tools that pick an existing mark: adjusting and deleting.

#include "base/translate.h"
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
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace kvx {

using namespace interaction_detail;

// --- adjustments and deletions -------------------------------------------------------------------

void Interaction::LeftBaseAdjust(TDPoint P)
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
            StartTrace(5, P, b.BaseRect[static_cast<std::size_t>(far(k))], {}, settings_.ColorBase);
        } else {
            snapOrigin_ = b.BaseRect[static_cast<std::size_t>(k)];
            StartTrace(4, P, b.BaseRect[static_cast<std::size_t>(Next(k))], b.BaseRect[static_cast<std::size_t>(Prev(k))],
                       settings_.ColorBase);
        }
        return;
    }
    const int k = std::abs(pickedBaseCorner_);
    const bool twoPlanes = (doc_.CurrentBase == 1 || doc_.CurrentBase == 2) && options.lock;
    {
        // The corner as it would move, checked before anything changes.
        const auto old = b.BaseRect;
        auto at = [&](int i) { return old[static_cast<std::size_t>(i)]; };
        auto moved = old;
        if (pickedBaseFar_) {
            if (const auto corner = IntersPoint(pending_, at(far(k)), at(k), at(other(k))))
                moved[static_cast<std::size_t>(k)] = *corner;
        } else {
            moved[static_cast<std::size_t>(k)] = pending_;
        }
        OutlineFault fault = CheckOutline(std::array<TDPoint, 4>{moved[1], moved[2], moved[3], moved[4]});
        if (fault == OutlineFault::None && twoPlanes) {
            auto parked = doc_.ParkedPlane.base.BaseRect;
            for (std::size_t j = 1; j <= 4; ++j)
                if (parked[j] == at(k))
                    parked[j] = moved[static_cast<std::size_t>(k)];
            fault = CheckOutline(std::array<TDPoint, 4>{parked[1], parked[2], parked[3], parked[4]});
        }
        // The corner stays picked and its band stays, so the user can place it again.
        if (Refuse(fault))
            return;
    }
    EndTrace();
    ed_.ClearInput();
    const TDPoint pending = pending_;
    const bool pickedFar = pickedBaseFar_;
    ed_.Commit(Tn("Steps", "基準矩形の調整"), kChangeShown | (twoPlanes ? kChangeFields | kChangePlanes : 0u), [&](Document& d) {
        TBaseBlock& base = d.Plane.base;
        const auto old = base.BaseRect;
        auto at = [&](int i) { return old[static_cast<std::size_t>(i)]; };
        if (pickedFar) {
            if (const auto corner = IntersPoint(pending, at(far(k)), at(k), at(other(k))))
                base.BaseRect[static_cast<std::size_t>(k)] = *corner;
        } else {
            base.BaseRect[static_cast<std::size_t>(k)] = pending;
        }
        if (k == 1)
            base.BaseRect[5] = base.BaseRect[1];
        base.BaseLineWSet = 0;
        base.BaseLineHSet = 0;

        if (twoPlanes) {
            // The corner shared with the other plane (the centre line's) moves with it.
            TBaseBlock& parked = d.ParkedPlane.base;
            for (int j = 1; j <= 4; ++j) {
                if (parked.BaseRect[static_cast<std::size_t>(j)] == at(k))
                    parked.BaseRect[static_cast<std::size_t>(j)] = base.BaseRect[static_cast<std::size_t>(k)];
            }
            parked.BaseRect[5] = parked.BaseRect[1];
            parked.BaseLineWSet = 0;
            parked.BaseLineHSet = 0;
            {
                const ParkedPlaneScope scope(d);
                CalcuBasePoint(d);
                CalcuUnitPoint(d.Plane);
                CalcuDistanceHosei(d);
                CalcuSpaceHosei(d);
            }
            d.OtherBaseRect = d.ParkedPlane.base.BaseRect;
        }
        CalcuBasePoint(d);
        CalcuUnitPoint(d.Plane);
        RebuildTwoPlaneGeometry(d);
        RecomputeCorrections(d);
    });
    if (twoPlanes)
        port_.PlaneChanged();
    Recalculate();
    Redraw();
}

void Interaction::LeftBaseLineAdjust(TDPoint P)
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
        StartTrace(w ? 2 : 1, P, fixed, {}, settings_.ColorBaseLine);
        return;
    }
    if (pickedLineEnd_ == 0)
        return;
    EndTrace();
    ed_.ClearInput();
    const bool w = pickedLineEnd_ > 0;
    const auto end = static_cast<std::size_t>(std::abs(pickedLineEnd_));
    const TDPoint pending = pending_;
    ed_.Commit(Tn("Steps", "基準線の調整"), kChangeShown, [&](Document& d) {
        TBaseBlock& base = d.Plane.base;
        (w ? base.BaseLineW : base.BaseLineH)[end] = pending;
        if (base.BaseLineWSet == 1 && base.BaseLineHSet == 1) {
            base.BaseUnitSet = 0;
            CalcuBaseUnitFromLines(d.Plane);
            RecomputeCorrections(d);
        }
    });
    Recalculate();
    Redraw();
    port_.FocusField(w ? InputField::W : InputField::H);
}

void Interaction::LeftBaseUnitAdjust(TDPoint P)
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
        StartTrace(8, P, b.BaseUnit[static_cast<std::size_t>(3 - pickedUnitCorner_)], {}, settings_.ColorBaseUnit);
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
        const auto corner = static_cast<std::size_t>(pickedUnitCorner_);
        const TDPoint pending = pending_;
        ed_.Commit(Tn("Steps", "計測基準の調整"), kChangeShown, [&](Document& d) {
            TBaseBlock& base = d.Plane.base;
            base.BaseUnit[corner] = pending;
            // The adjusted base is the user's own from now on: without this the
            // next recomputation of the rectangle would put it back on the corners.
            base.BaseUnitSet = 1;
            base.BaseLineWSet = 0;
            base.BaseLineHSet = 0;
            CalcuUnitPoint(d.Plane);
            RecomputeCorrections(d);
        });
        Recalculate();
        Redraw();
        port_.FocusField(InputField::W);
    }
}

void Interaction::LeftDistanceAdjust(TDPoint P)
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
    ed_.ClearInput();
    const std::int32_t current = doc_.CurrentDistance;
    const std::int32_t linked = linkedDistance_;
    const bool startEnd = pickedDistanceEnd_ == 1;
    const TDPoint pending = pending_;
    ed_.Commit(Tn("Steps", "距離の調整"), kChangeShown, [&](Document& doc) {
        TPlaneState& pl = doc.Plane;
        if (pl.Distances.Valid(current)) {
            TDistance& d = pl.Distances[current];
            (startEnd ? d.start : d.end) = pending;
            if (pl.Distances.Valid(linked)) {
                TDistance& l = pl.Distances[linked];
                (startEnd ? l.end : l.start) = pending;
            }
        }
        CalcuDistanceHosei(doc);
    });
    SetCalcu();
    Redraw();
}

void Interaction::LeftSpaceAdjust(TDPoint P)
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
            StartTrace(4, P, s.points[static_cast<std::size_t>(after)], s.points[static_cast<std::size_t>(before)], colour);
        } else {
            static constexpr int kOpposite[] = {2, 3, 0, 1};
            StartTrace(8, P, s.points[static_cast<std::size_t>(kOpposite[v])], {}, colour);
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
    const bool polygon = options.polygon;
    const TDPoint pending = pending_;
    ed_.Commit(Tn("Steps", "面積の調整"), kChangeShown, [&](Document& doc) {
        TSpace& s = doc.Plane.Spaces[current];
        if (polygon) {
            s.points[v] = pending;
            if (v == 0)
                s.points.back() = pending;
        } else if (s.count() == 5 && v < 4) {
            static constexpr std::size_t kOpposite[] = {2, 3, 0, 1};
            s.points = RectangleOutline(doc.Plane.base, s.points[kOpposite[v]], pending);
            s.correctedPoints.resize(s.points.size());
        }
        CalcuSpaceHosei(doc);
    });
    SetCalcu();
    Redraw();
}

void Interaction::LeftCheckDelete()
{
    const std::int32_t k = SearchCheckNo(doc_, pending_, port_.View().DispScale);
    if (k == 0)
        return;
    ed_.DeleteCheck(k);
    Redraw();
    if (doc_.Plane.Checks.empty())
        Finish(ucNone);
}

void Interaction::LeftDistanceDelete()
{
    const std::int32_t k = SearchDistanceNo(doc_, pending_, port_.View().DispScale);
    if (k == 0)
        return;
    ed_.DeleteDistance(k);
    Redraw();
    SetCalcu();
    SetCommand(doc_.Plane.DistanceCount() > 0 ? uCommand_ : ucNone);
}

void Interaction::LeftSpaceDelete()
{
    std::int32_t vertex = -1;
    const std::int32_t k = SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex);
    if (k == 0)
        return;
    ed_.DeleteSpace(k);
    Redraw();
    SetCalcu();
    SetCommand(doc_.Plane.SpaceCount() > 0 ? uCommand_ : ucNone);
}

} // namespace kvx
