#include "output/export/exports.h"
#include "output/export/results_table.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "measure/ideal_view.h"
#include "measure/numfmt.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kvx {

namespace {

constexpr const char* kEol = "\r\n";

std::string Int(long long v)
{
    return std::to_string(v);
}

// The plane point of an area vertex, stretched by its slopes.
TDPoint SlopedPoint(const Document& doc, const TSpace& s, std::size_t j)
{
    const bool corrected = CorrectionInForce(doc, s.corrected) && j < s.correctedPoints.size();
    const TDPoint src = corrected ? s.correctedPoints[j] : s.points[j];
    const TDPoint g = GetDelta(doc, src);
    constexpr long double kRad = std::numbers::pi_v<long double> / 180;
    return {DigitFix(g.x / std::cos(s.slantH * kRad)), DigitFix(g.y / std::cos(s.slantV * kRad))};
}

} // namespace

std::string CsvBytes(const Document& photo, bool namesShown)
{
    const Measured measured(photo);
    const Document& doc = *measured;
    const TPlaneState& plane = doc.Plane;
    std::string out = Utf8ToCp932("[距離]") + kEol;
    for (int g = 0; g <= 5; ++g) {
        const auto count = std::count_if(plane.Distances.begin(), plane.Distances.end(),
                                         [g](const TDistance& d) { return d.group == g; });
        out += Int(g) + ", " + Int(count) + kEol;
        for (std::int32_t i = 1; i <= plane.DistanceCount(); ++i) {
            const TDistance& d = plane.Distances[i];
            if (d.group != g)
                continue;
            // The same links as the overlay: a loose one never hides a total.
            const bool hasSuccessor = ChainNext(plane, i) != 0;
            TDistanceResult r;
            CalcuDistance(doc, i, r, hasSuccessor ? ChainSums::Skip : ChainSums::Sum);
            out += " " + FormatFixed(r.distance, 0) + ", " + FormatFixed(r.dX, 0) + ", " + FormatFixed(r.dY, 0) +
                   ", " + FormatFixed(r.angle, 3) + ",";
            if (!hasSuccessor)
                out += " " + FormatFixed(r.distance + r.before + r.after, 0);
            out += kEol;
        }
    }
    out += Utf8ToCp932("[面積]") + kEol;
    for (int g = 0; g <= 5; ++g) {
        const auto count =
            std::count_if(plane.Spaces.begin(), plane.Spaces.end(), [g](const TSpace& s) { return s.group == g; });
        out += Int(g) + ", " + Int(count) + kEol;
        for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
            const TSpace& s = plane.Spaces[i];
            if (s.group != g || (s.kind != kSpaceAdd && s.kind != kSpaceSub))
                continue;
            TSpaceResult r;
            CalcuSpace(doc, i, r);
            out += std::string(s.kind == kSpaceAdd ? " +" : " -") + FormatFixed(r.area, 3) + ", " +
                   FormatFixed(r.perimeter, 0);
            if (namesShown)
                // CP932 second bytes never fall on the characters that make a field quoted.
                out += "," + TextField(Cp932Truncate(s.name, kAreaNameBytes));
            out += kEol;
        }
    }
    return out;
}

std::string SdBytes(const Document& photo, int group)
{
    const Measured measured(photo);
    const Document& doc = *measured;
    const TPlaneState& plane = doc.Plane;
    // The added areas of every group are shifted into positive coordinates.
    double minX = 0, minY = 0;
    for (const TSpace& s : plane.Spaces) {
        if (s.kind == 0)
            continue;
        for (std::size_t j = 0; j + 1 < s.points.size(); ++j) {
            const TDPoint p = SlopedPoint(doc, s, j);
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
        }
    }
    const double offX = std::fabs(minX);
    const double offY = std::fabs(minY);

    std::string out;
    for (const TSpace& s : plane.Spaces) {
        if (s.group != group)
            continue;
        // Quoted as the CSV quotes it: a comma in a name would otherwise shift
        // the group and the kind into other fields.
        out += TableField(Cp932Truncate(s.name, kAreaNameBytes)) + ", " + Int(s.group) + ", " + (s.kind != 0 ? "1" : "0") +
               kEol;
        const std::size_t n = s.points.size();
        out += Int(static_cast<long long>(n) - 1);
        for (std::size_t j = 0; n >= 2 && j + 1 < n; ++j) {
            const TDPoint p = SlopedPoint(doc, s, j);
            out += ", " + FormatFixed(p.x + offX, 3) + ", " + FormatFixed(p.y + offY, 3);
        }
        out += kEol;
    }
    return out;
}

} // namespace kvx
