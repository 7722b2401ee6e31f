#include "measure/results.h"

#include "measure/computation.h"
#include "measure/cp932.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"

#include <map>

namespace kvx {

std::vector<ResultRow> ResultRows(const Document& doc, double sigma)
{
    std::vector<ResultRow> rows;
    const TPlaneState& plane = doc.Plane;
    PlaneUncertainties uncertainties(doc, sigma);
    for (std::int32_t i = 1; i <= plane.DistanceCount(); ++i) {
        const TDistance& d = plane.Distances[i];
        ResultRow row;
        row.kind = ResultKind::Distance;
        row.number = i;
        row.group = d.group;
        TDistanceResult r;
        // The chain's total only where the chain ends, as the overlay labels it.
        const bool endsChain = ChainPrev(plane, i) >= 1 && ChainNext(plane, i) == 0;
        CalcuDistance(doc, i, r, endsChain ? ChainSums::Sum : ChainSums::Skip);
        row.value = r.distance;
        row.valueText = FormatNumber0(r.distance);
        row.uncertainty = uncertainties.Distance(i);
        row.corrected = CorrectionInForce(doc, d.corrected);
        if (endsChain) {
            row.chainTotal = r.distance + r.before + r.after;
            row.chainText = FormatNumber0(*row.chainTotal);
        }
        if (row.uncertainty)
            row.uncertaintyText = PlusMinus(*row.uncertainty);
        rows.push_back(std::move(row));
    }
    for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
        const TSpace& s = plane.Spaces[i];
        ResultRow row;
        row.kind = ResultKind::Area;
        row.number = i;
        row.group = s.group;
        row.name = Cp932ToUtf8(s.name);
        TSpaceResult r;
        CalcuSpace(doc, i, r);
        row.value = s.kind == kSpaceSub ? -r.area : r.area;
        row.valueText = (s.kind == kSpaceSub ? "-" : "") + FormatFixed(r.area, 3);
        row.uncertainty = uncertainties.Space(i);
        row.slopeV = s.slantV;
        row.slopeH = s.slantH;
        row.corrected = CorrectionInForce(doc, s.corrected);
        if (row.uncertainty)
            row.uncertaintyText = PlusMinus(*row.uncertainty);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<GroupTotal> GroupTotals(const Document& doc, const std::vector<ResultRow>& rows, double sigma)
{
    std::map<std::int32_t, GroupTotal> totals;
    std::map<std::int32_t, std::vector<std::int32_t>> distances, areas;
    for (const ResultRow& row : rows) {
        GroupTotal& t = totals[row.group];
        t.group = row.group;
        if (row.kind == ResultKind::Distance) {
            ++t.distances;
            t.length += row.value;
            distances[row.group].push_back(row.number);
        } else {
            ++t.areas;
            t.area += row.value;
            areas[row.group].push_back(row.number);
        }
    }
    std::vector<GroupTotal> out;
    PlaneUncertainties uncertainties(doc, sigma);
    for (auto& [group, t] : totals) {
        t.cost = doc.UnitPrice() * (t.length / 1000 + t.area);
        if (t.distances > 0)
            t.lengthUncertainty = uncertainties.DistanceSum(distances[group]);
        if (t.areas > 0)
            t.areaUncertainty = uncertainties.SpaceSum(areas[group]);
        out.push_back(t);
    }
    return out;
}

std::string LengthTotalText(const GroupTotal& t)
{
    return FormatNumber0(t.length) + (t.lengthUncertainty ? " " + PlusMinus(*t.lengthUncertainty) : std::string());
}

std::string AreaTotalText(const GroupTotal& t)
{
    return FormatFixed(t.area, 3) + (t.areaUncertainty ? " " + PlusMinus(*t.areaUncertainty) : std::string());
}

std::string ResultsAsText(const std::vector<ResultRow>& rows, const std::vector<std::string>& header,
                          const std::string& distanceWord, const std::string& areaWord)
{
    // A tab or line break inside a name would split its row.
    auto cell = [](std::string text) {
        for (char& c : text)
            if (c == '\t' || c == '\n' || c == '\r')
                c = ' ';
        return text;
    };
    std::string out;
    for (std::size_t i = 0; i < header.size(); ++i)
        out += (i ? "\t" : "") + cell(header[i]);
    out += "\n";
    for (const ResultRow& r : rows) {
        const bool area = r.kind == ResultKind::Area;
        out += (area ? areaWord : distanceWord) + "\t" + std::to_string(r.number) + "\t" + std::to_string(r.group) + "\t" +
               cell(r.name) + "\t" + r.valueText + "\t" +
               (r.uncertainty ? FormatSignificant(*r.uncertainty, 2) : "") + "\t" + (area ? FormatGeneral(r.slopeV) : "") + "\t" +
               (area ? FormatGeneral(r.slopeH) : "") + "\t" + (r.corrected ? "1" : "0") + "\t" + r.chainText + "\n";
    }
    return out;
}

} // namespace kvx
