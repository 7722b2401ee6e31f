#include "measure/model.h"

#include <atomic>
#include <tuple>
#include <utility>
#include <vector>

namespace kvx {

namespace {

void ClearBaseFlags(TBaseBlock& b)
{
    b.BaseSet = 0;
    b.BaseLineWSet = 0;
    b.BaseLineHSet = 0;
    b.BaseUnitSet = 0;
}

} // namespace

DocumentRevision::~DocumentRevision() = default;

void DocumentRevision::Advance()
{
    static std::atomic<std::uint64_t> last{0};
    value_ = ++last;
}

void DocumentRevision::Forget()
{
    value_ = 0;
    viewFor_ = 0;
}

std::shared_ptr<const Document> DocumentRevision::IdealView() const
{
    if (value_ == 0 || viewFor_ != value_)
        return nullptr;
    return view_;
}

void DocumentRevision::KeepIdealView(std::shared_ptr<const Document> view) const
{
    if (value_ == 0)
        return;
    viewFor_ = value_;
    view_ = std::move(view);
}

void Init(Document& doc)
{
    doc.Modified = 0;
    doc.Effects = {};
    doc.Plane.Distances.Clear();
    doc.Plane.Spaces.Clear();
    doc.Plane.Checks.Clear();
    doc.CurrentSetting = 1;
    doc.CurrentGroup = 0;
    doc.CurrentDistance = 0;
    doc.CurrentSpace = 0;
    ClearBaseFlags(doc.Plane.base);
    doc.CrossLineSet = 0;
    doc.CurrentBase = 0;
    ClearBaseFlags(doc.ParkedPlane.base);
    doc.InputPoints.Clear();
    doc.Lens.reset();
    doc.AutoLens = {};
    doc.AutoLensName.clear();
    doc.AutoLensKUncertainty = 0;
    doc.Sensor = {};
}

void ClearPlane(Document& doc, TPlaneState& plane)
{
    plane.Distances.Clear();
    plane.Spaces.Clear();
    plane.Checks.Clear();
    plane.SheetSize = {};
    ClearBaseFlags(plane.base);
    if (&plane == &doc.Plane) {
        doc.CurrentDistance = 0;
        doc.CurrentSpace = 0;
    }
}

void Reset(Document& doc)
{
    if (doc.CurrentBase == 1 || doc.CurrentBase == 2)
        ClearPlane(doc, doc.ParkedPlane);
    ClearPlane(doc, doc.Plane);
    doc.CurrentDistance = 0;
    doc.CurrentSpace = 0;
    doc.CrossLineSet = 0;
    doc.Modified = 1;
}

std::int32_t ChainPrev(const TPlaneState& plane, std::int32_t k)
{
    if (!plane.Distances.Valid(k))
        return 0;
    const std::int32_t p = plane.Distances[k].prev;
    return (p >= 1 && p == k - 1 && plane.Distances[p].next == k) ? p : 0;
}

std::int32_t ChainNext(const TPlaneState& plane, std::int32_t k)
{
    if (!plane.Distances.Valid(k))
        return 0;
    const std::int32_t n = plane.Distances[k].next;
    return (n == k + 1 && plane.Distances.Valid(n) && plane.Distances[n].prev == k) ? n : 0;
}

std::int32_t ChainFirst(const TPlaneState& plane, std::int32_t i)
{
    while (const std::int32_t p = ChainPrev(plane, i))
        i = p;
    return i;
}

std::int32_t ChainLast(const TPlaneState& plane, std::int32_t i)
{
    while (const std::int32_t n = ChainNext(plane, i))
        i = n;
    return i;
}

void DropLooseLinks(TPlaneState& plane)
{
    std::vector<std::pair<std::int32_t, std::int32_t>> kept(static_cast<std::size_t>(plane.DistanceCount()) + 1);
    for (std::int32_t k = 1; k <= plane.DistanceCount(); ++k)
        kept[static_cast<std::size_t>(k)] = {ChainPrev(plane, k), ChainNext(plane, k)};
    for (std::int32_t k = 1; k <= plane.DistanceCount(); ++k)
        std::tie(plane.Distances[k].prev, plane.Distances[k].next) = kept[static_cast<std::size_t>(k)];
}

} // namespace kvx
