#include "measure/computation.h"

#include "measure/calibration.h"
#include "measure/numfmt.h"
#include "base/error_trail.h"
#include "base/translate.h"

#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

namespace kvx {

std::string MoneyText(double price)
{
    std::string text = FormatYen(price);
    const std::string sign = Tx("Summary", "￥");
    if (const auto at = text.find("￥"); at != std::string::npos)
        text.replace(at, std::string_view("￥").size(), sign);
    return text;
}

namespace {

struct Ends {
    TDPoint start, end;
};

Ends DistanceEnds(const Document& doc, const TDistance& d)
{
    if (CorrectionInForce(doc, d.corrected))
        return {d.correctedStart, d.correctedEnd};
    return {d.start, d.end};
}

double SegmentLength(const Document& doc, double W, double H, const TDistance& d)
{
    const Ends e = DistanceEnds(doc, d);
    return Distance(GetDelta(doc, W, H, e.start), GetDelta(doc, W, H, e.end));
}

void Project(const Document& doc, TDPoint E, TDPoint R, SideProjection& out, double& smallest, double& largest)
{
    const TBaseBlock& b = doc.Plane.base;
    const std::optional<TDPoint> x = IntersPoint(E, b.VanishW, b.VanishH, R);
    if (!x)
        return;
    const double d = Distance(b.VanishH, (*x));
    if (smallest < 0 || d < smallest) {
        smallest = d;
        out.nearPoint = (*x);
    }
    if (largest < 0 || d > largest) {
        largest = d;
        out.farPoint = (*x);
    }
}

} // namespace

bool CorrectionInForce(const Document& doc, std::uint8_t corrected)
{
    return doc.Plane.base.BaseSet == 1 && doc.OtherBaseSet == 1 && doc.CrossLineSet == 1 && corrected == 1;
}

void CalcuDistance(const Document& doc, std::int32_t i, TDistanceResult& r, ChainSums chain)
{
    Guard("CalcuDistance", [&] {
        const TPlaneState& plane = doc.Plane;
        if (!plane.Distances.Valid(i))
            return;
        const double W = doc.W();
        const double H = doc.H();
        const Ends e = DistanceEnds(doc, plane.Distances[i]);
        const TDPoint p1 = GetDelta(doc, W, H, e.start);
        const TDPoint p2 = GetDelta(doc, W, H, e.end);
        r.distance = Distance(p1, p2);
        r.dX = std::fabs(p1.x - p2.x);
        r.dY = std::fabs(p1.y - p2.y);
        r.angle = AngleDiff(0, Angle(p1, p2));
        r.before = 0;
        r.after = 0;
        if (chain == ChainSums::Skip)
            return;
        long double before = 0;
        for (std::int32_t k = ChainPrev(plane, i); k >= 1; k = ChainPrev(plane, k))
            before += SegmentLength(doc, W, H, plane.Distances[k]);
        long double after = 0;
        for (std::int32_t k = ChainNext(plane, i); k >= 1; k = ChainNext(plane, k))
            after += SegmentLength(doc, W, H, plane.Distances[k]);
        r.before = static_cast<double>(before);
        r.after = static_cast<double>(after);
    });
}

void CalcuSpace(const Document& doc, std::int32_t i, TSpaceResult& r)
{
    Guard("CalcuSpace", [&] {
        r = {};
        const TPlaneState& plane = doc.Plane;
        if (!plane.Spaces.Valid(i))
            return;
        const TSpace& s = plane.Spaces[i];
        const std::size_t n = s.points.size();
        if (n == 0)
            return;
        const bool corrected = CorrectionInForce(doc, s.corrected) && s.correctedPoints.size() == n;
        const std::vector<TDPoint>& src = corrected ? s.correctedPoints : s.points;
        const double W = doc.W();
        const double H = doc.H();
        constexpr long double kRad = std::numbers::pi_v<long double> / 180;
        const long double cosH = std::cos(s.slantH * kRad);
        const long double cosV = std::cos(s.slantV * kRad);
        std::vector<TDPoint> q(n);
        for (std::size_t j = 0; j < n; ++j) {
            // The closing point repeats the first: the same image point maps to the same plane point.
            if (j + 1 == n && n > 1 && src[j] == src[0]) {
                q[j] = q[0];
                continue;
            }
            const TDPoint p = GetDelta(doc, W, H, src[j]);
            q[j] = {DigitFix(p.x / cosH), DigitFix(p.y / cosV)};
        }
        if (Distance(q[0], q[n - 1]) == 0)
            r.area = DigitFix(static_cast<long double>(PolygonSpace(q, static_cast<int>(n) - 1)) / 1000000);
        long double perimeter = 0;
        for (std::size_t j = 0; j + 1 < n; ++j)
            perimeter += Distance(q[j], q[j + 1]);
        r.perimeter = static_cast<double>(perimeter);
    });
}

TDPoint CorrectPoint(const Document& doc, TDPoint E, TDPoint R)
{
    const TBaseBlock& b = doc.Plane.base;
    const std::optional<TDPoint> t1 = IntersPoint(b.VanishW, E, b.VanishH, R);
    if (!t1)
        return E;
    const std::optional<TDPoint> t2 = IntersPoint(b.VanishOtherW, (*t1), b.VanishH, doc.CrossLinePoint);
    if (!t2)
        return E;
    const std::optional<TDPoint> t3 = IntersPoint(b.VanishW, (*t2), b.VanishOtherW, E);
    if (!t3)
        return E;
    return DPoint((*t3).x, (*t3).y);
}

void CalcuDistanceHosei(Document& doc)
{
    Guard("CalcuDistanceHosei", [&] {
        if (doc.Plane.base.BaseSet != 1 || doc.OtherBaseSet != 1 || doc.CrossLineSet != 1)
            return;
        for (TDistance& d : doc.Plane.Distances) {
            if (d.corrected != 1)
                continue;
            d.correctedStart = CorrectPoint(doc, d.start, d.correctionRef);
            d.correctedEnd = CorrectPoint(doc, d.end, d.correctionRef);
        }
    });
}

void CalcuSpaceHosei(Document& doc)
{
    Guard("CalcuSpaceHosei", [&] {
        if (doc.Plane.base.BaseSet != 1 || doc.OtherBaseSet != 1 || doc.CrossLineSet != 1)
            return;
        for (TSpace& s : doc.Plane.Spaces) {
            if (s.corrected != 1)
                continue;
            s.correctedPoints.resize(s.points.size());
            for (std::size_t j = 0; j < s.points.size(); ++j)
                s.correctedPoints[j] = CorrectPoint(doc, s.points[j], s.correctionRef);
        }
    });
}

void RecomputeCorrections(Document& doc)
{
    Guard("RecomputeCorrections", [&] {
        CalcuDistanceHosei(doc);
        CalcuSpaceHosei(doc);
        if (doc.CurrentSetting == 4 && (doc.CurrentBase == 1 || doc.CurrentBase == 2) &&
            doc.ParkedPlane.base.BaseSet == 1) {
            const ParkedPlaneScope scope(doc);
            CalcuDistanceHosei(doc);
            CalcuSpaceHosei(doc);
        }
    });
}

SideProjection DistanceSideProjection(const Document& doc, std::int32_t i)
{
    return Guard("DistanceSideProjection", [&] {
        SideProjection out;
        const TPlaneState& plane = doc.Plane;
        if (!plane.Distances.Valid(i))
            return out;
        double smallest = -1;
        double largest = -1;
        const std::int32_t last = ChainLast(plane, i);
        for (std::int32_t k = ChainFirst(plane, i); k <= last; ++k) {
            const TDistance& d = plane.Distances[k];
            Project(doc, d.start, d.correctionRef, out, smallest, largest);
            Project(doc, d.end, d.correctionRef, out, smallest, largest);
        }
        return out;
    });
}

SideProjection SpaceSideProjection(const Document& doc, std::int32_t i)
{
    return Guard("SpaceSideProjection", [&] {
        SideProjection out;
        const TPlaneState& plane = doc.Plane;
        if (!plane.Spaces.Valid(i))
            return out;
        double smallest = -1;
        double largest = -1;
        const TSpace& s = plane.Spaces[i];
        for (const TDPoint& p : s.points)
            Project(doc, p, s.correctionRef, out, smallest, largest);
        return out;
    });
}

std::string SummaryLine(const Document& doc, SummaryFocus focus)
{
    return Guard("SetCalcu", [&]() -> std::string {
        const TPlaneState& plane = doc.Plane;
        if (focus == SummaryFocus::Areas || (plane.SpaceCount() > 0 && plane.DistanceCount() == 0)) {
            long double add = 0;
            long double sub = 0;
            for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
                const TSpace& s = plane.Spaces[i];
                if (s.group != doc.CurrentGroup)
                    continue;
                TSpaceResult r;
                CalcuSpace(doc, i, r);
                if (s.kind == kSpaceAdd)
                    add += r.area;
                else if (s.kind == kSpaceSub)
                    sub += r.area;
            }
            TSpaceResult c;
            CalcuSpace(doc, doc.CurrentSpace, c);
            const double total = static_cast<double>(add - sub);
            const double price = doc.UnitPrice() * total;
            const std::string m2 = Tx("Summary", "㎡");
            return Tx("Summary", "合計面積=") + FormatFixed(total, 3) + m2 + "( " + MoneyText(price) + " ),  " +
                   Tx("Summary", "加算=") + FormatFixed(static_cast<double>(add), 3) + m2 + ",  " + Tx("Summary", "減算=") +
                   FormatFixed(static_cast<double>(sub), 3) + m2 + ",  [" + Tx("Summary", "面積=") + FormatFixed(c.area, 3) +
                   m2 + ", " + Tx("Summary", "周長=") + FormatNumber0(c.perimeter) + Tx("Summary", "㎜") + "]";
        }
        if (plane.DistanceCount() > 0 && plane.Distances.Valid(doc.CurrentDistance)) {
            TDistanceResult r;
            CalcuDistance(doc, doc.CurrentDistance, r);
            const double length = r.distance + r.before + r.after;
            const double price = doc.UnitPrice() * length / 1000;
            const std::string mm = Tx("Summary", "㎜");
            return Tx("Summary", "長さ=") + FormatNumber0(length) + mm + "( " + MoneyText(price) + " ),  [" +
                   Tx("Summary", "距離=") + FormatNumber0(r.distance) + mm + ",  ΔX=" + FormatNumber0(r.dX) + mm +
                   ",  ΔY=" + FormatNumber0(r.dY) + mm + ",  ∠" + FormatFixed(r.angle, 3) + Tx("Summary", "ﾟ") + "]";
        }
        return {};
    });
}

} // namespace kvx
