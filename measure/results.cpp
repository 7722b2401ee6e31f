#include "measure/results.h"

#include "measure/computation.h"
#include "measure/cp932.h"
#include "measure/ideal_view.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"

#include <functional>
#include <map>
#include <type_traits>
#include <unordered_map>

namespace kvx {

namespace {

ResultRow DistanceRow(const Document& doc, std::int32_t i, PlaneUncertainties& uncertainties)
{
    const TPlaneState& plane = doc.Plane;
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
    return row;
}

ResultRow SpaceRow(const Document& doc, std::int32_t i, PlaneUncertainties& uncertainties)
{
    const TSpace& s = doc.Plane.Spaces[i];
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
    return row;
}

using SumOfGroup = std::function<std::optional<double>(std::int32_t group, const std::vector<std::int32_t>& members)>;

std::vector<GroupTotal> TotalsOf(const Document& doc, const std::vector<ResultRow>& rows, const SumOfGroup& lengthSum,
                                 const SumOfGroup& areaSum)
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
    for (auto& [group, t] : totals) {
        t.cost = doc.UnitPrice() * (t.length / 1000 + t.area);
        if (t.distances > 0)
            t.lengthUncertainty = lengthSum(group, distances[group]);
        if (t.areas > 0)
            t.areaUncertainty = areaSum(group, areas[group]);
        out.push_back(t);
    }
    return out;
}

// The bytes of what a row or a sum is made of, compared as bytes: two
// numbers are the same input only when they are the same bits (0 and -0,
// two NaNs of a damaged file, stay apart).
class Key {
public:
    template <class T>
        requires std::is_arithmetic_v<T>
    void Add(T v)
    {
        bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void Add(TDPoint p)
    {
        Add(p.x);
        Add(p.y);
    }
    template <class T, std::size_t N>
    void Add(const std::array<T, N>& a)
    {
        for (const T& v : a)
            Add(v);
    }
    void Add(const std::vector<TDPoint>& v)
    {
        Add(v.size());
        for (const TDPoint& p : v)
            Add(p);
    }
    void Add(const std::string& text)
    {
        Add(text.size());
        bytes_ += text;
    }
    void Add(const TBaseBlock& b)
    {
        Add(b.BaseSet);
        Add(b.BaseRect);
        Add(b.BaseLineWSet);
        Add(b.BaseLineHSet);
        Add(b.BaseLineW);
        Add(b.BaseLineH);
        Add(b.BaseUnitSet);
        Add(b.BaseUnit);
        Add(b.VanishW);
        Add(b.VanishH);
        Add(b.VanishOtherW);
    }
    void Add(const LensModel& lens)
    {
        Add(static_cast<int>(lens.kind));
        for (const double v : {lens.k, lens.width, lens.height, lens.bc.fx, lens.bc.fy, lens.bc.cx, lens.bc.cy, lens.bc.k1,
                               lens.bc.k2, lens.bc.p1, lens.bc.p2, lens.bc.k3})
            Add(v);
    }
    // Without its links: they count only as the chain they make, which the
    // row's key tells, so that renumbering after a deletion keeps the rows.
    void Add(const TDistance& d)
    {
        Add(d.group);
        Add(d.start);
        Add(d.end);
        Add(d.corrected);
        Add(d.correctionRef);
        Add(d.correctedStart);
        Add(d.correctedEnd);
    }
    void Add(const TSpace& s)
    {
        Add(s.group);
        Add(s.kind);
        Add(s.points);
        Add(s.corrected);
        Add(s.correctionRef);
        Add(s.correctedPoints);
        Add(s.slantV);
        Add(s.slantH);
        Add(s.name);
    }
    const std::string& Bytes() const { return bytes_; }
    std::string Take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

// What every row of the current plane stands on.
std::string SharedKey(const Document& doc, double sigma)
{
    Key k;
    k.Add(sigma);
    k.Add(doc.Plane.base);
    k.Add(doc.Plane.UnitPoint);
    k.Add(doc.Plane.BaseW);
    k.Add(doc.Plane.BaseH);
    k.Add(doc.ParkedPlane.base);
    k.Add(doc.ParkedPlane.UnitPoint);
    k.Add(doc.CurrentSetting);
    k.Add(doc.CurrentBase);
    k.Add(doc.OtherBaseSet);
    k.Add(doc.OtherBaseRect);
    k.Add(doc.CrossLineSet);
    k.Add(doc.CrossLinePoint);
    k.Add(doc.SixPoint);
    k.Add(doc.KijunWText);
    k.Add(doc.KijunHText);
    k.Add(LensInForce(doc));
    k.Add(doc.Sensor.orientation);
    k.Add(doc.Sensor.stored.width);
    k.Add(doc.Sensor.stored.height);
    k.Add(doc.Effects.Rotate);
    k.Add(doc.LensKUncertainty);
    k.Add(doc.IdealCamera);
    // A found sheet's own tolerance joins every row's ±.
    const SizeTolerance& sheet = doc.Plane.SheetSize;
    k.Add(sheet.w);
    k.Add(sheet.h);
    k.Add(sheet.dw);
    k.Add(sheet.dh);
    return k.Take();
}

// A distance's row: the distance, and at a chain's end every segment of the chain.
std::string DistanceKey(const TPlaneState& plane, std::int32_t i)
{
    Key k;
    const bool endsChain = ChainPrev(plane, i) >= 1 && ChainNext(plane, i) == 0;
    k.Add(endsChain ? 'c' : 'd');
    k.Add(plane.Distances[i]);
    if (endsChain)
        for (std::int32_t j = ChainFirst(plane, i); j < i; ++j)
            k.Add(plane.Distances[j]);
    return k.Take();
}

std::string SpaceKey(const TPlaneState& plane, std::int32_t i)
{
    Key k;
    k.Add('a');
    k.Add(plane.Spaces[i]);
    return k.Take();
}

} // namespace

std::vector<ResultRow> ResultRows(const Document& doc, double sigma)
{
    std::vector<ResultRow> rows;
    const TPlaneState& plane = doc.Plane;
    PlaneUncertainties uncertainties(doc, sigma);
    for (std::int32_t i = 1; i <= plane.DistanceCount(); ++i)
        rows.push_back(DistanceRow(doc, i, uncertainties));
    for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i)
        rows.push_back(SpaceRow(doc, i, uncertainties));
    return rows;
}

std::vector<GroupTotal> GroupTotals(const Document& doc, const std::vector<ResultRow>& rows, double sigma)
{
    PlaneUncertainties uncertainties(doc, sigma);
    return TotalsOf(
        doc, rows, [&](std::int32_t, const std::vector<std::int32_t>& d) { return uncertainties.DistanceSum(d); },
        [&](std::int32_t, const std::vector<std::int32_t>& a) { return uncertainties.SpaceSum(a); });
}

struct ResultTable::Kept {
    std::string shared;
    // Rows by what they are made of; their numbers are set as they are used.
    std::unordered_map<std::string, ResultRow> rows;
    // Each group's sums: what they were made of, and their uncertainty.
    struct Sum {
        bool known = false;
        std::string key;
        std::optional<double> uncertainty;
        // What working it out kept, for the next time one of its rows changes.
        SumMemo memo;
    };
    std::map<std::int32_t, Sum> lengthSums, areaSums;
};

ResultTable::ResultTable() : kept_(std::make_unique<Kept>()) {}

ResultTable::~ResultTable() = default;

void ResultTable::Update(const Document& doc, double sigma)
{
    std::string shared = SharedKey(doc, sigma);
    if (shared != kept_->shared) {
        *kept_ = Kept{};
        kept_->shared = std::move(shared);
    }
    // Made only when something is to be worked out.
    std::optional<PlaneUncertainties> uncertainties;
    auto plane = [&]() -> PlaneUncertainties& {
        if (!uncertainties)
            uncertainties.emplace(doc, sigma);
        return *uncertainties;
    };
    const TPlaneState& p = doc.Plane;
    std::unordered_map<std::string, ResultRow> kept;
    kept.reserve(static_cast<std::size_t>(p.DistanceCount() + p.SpaceCount()));
    // The bytes of each row, for the sums of its group.
    std::vector<std::string> keys;
    keys.reserve(static_cast<std::size_t>(p.DistanceCount() + p.SpaceCount()));
    rows_.clear();
    workedOut_ = 0;
    auto take = [&](std::string key, std::int32_t i, auto work) {
        ResultRow row;
        if (const auto it = kept_->rows.find(key); it != kept_->rows.end()) {
            row = it->second;
        } else {
            row = work(doc, i, plane());
            ++workedOut_;
        }
        row.number = i;
        kept.insert_or_assign(key, row);
        keys.push_back(std::move(key));
        rows_.push_back(std::move(row));
    };
    for (std::int32_t i = 1; i <= p.DistanceCount(); ++i)
        take(DistanceKey(p, i), i, DistanceRow);
    for (std::int32_t i = 1; i <= p.SpaceCount(); ++i)
        take(SpaceKey(p, i), i, SpaceRow);
    kept_->rows = std::move(kept);

    // A sum is made of its rows in their order.
    std::map<std::int32_t, Key> lengthKeys, areaKeys;
    for (std::size_t n = 0; n < rows_.size(); ++n) {
        Key& k = (rows_[n].kind == ResultKind::Distance ? lengthKeys : areaKeys)[rows_[n].group];
        k.Add(keys[n].size());
        k.Add(keys[n]);
    }
    auto sum = [&plane](std::map<std::int32_t, Kept::Sum>* sums, std::map<std::int32_t, Key>* keysOf, auto work) {
        return [&plane, sums, keysOf, work](std::int32_t group, const std::vector<std::int32_t>& members) {
            const std::string& key = (*keysOf)[group].Bytes();
            Kept::Sum& last = (*sums)[group];
            if (last.known && last.key == key)
                return last.uncertainty;
            last.uncertainty = work(plane(), members, &last.memo);
            last.key = key;
            last.known = true;
            return last.uncertainty;
        };
    };
    std::map<std::int32_t, Kept::Sum> lengthSums = std::move(kept_->lengthSums), areaSums = std::move(kept_->areaSums);
    totals_ = TotalsOf(
        doc, rows_,
        sum(&lengthSums, &lengthKeys,
            [](PlaneUncertainties& u, const std::vector<std::int32_t>& m, SumMemo* memo) { return u.DistanceSum(m, memo); }),
        sum(&areaSums, &areaKeys, [](PlaneUncertainties& u, const std::vector<std::int32_t>& m, SumMemo* memo) { return u.SpaceSum(m, memo); }));
    // Groups that have gone keep nothing.
    std::erase_if(lengthSums, [&](const auto& g) { return !lengthKeys.contains(g.first); });
    std::erase_if(areaSums, [&](const auto& g) { return !areaKeys.contains(g.first); });
    kept_->lengthSums = std::move(lengthSums);
    kept_->areaSums = std::move(areaSums);
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
