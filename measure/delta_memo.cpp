#include "measure/delta_memo.h"

#include <bit>

namespace kvx {

namespace {

// A rubber band following the pointer asks for a new point at every move; the
// memo starts afresh rather than grow without end.
constexpr std::size_t kMaxAnswers = 16384;

bool Same(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool Same(TDPoint a, TDPoint b)
{
    return Same(a.x, b.x) && Same(a.y, b.y);
}

bool Same(const DeltaCalibration& a, const DeltaCalibration& b)
{
    for (std::size_t i = 0; i < a.unit.size(); ++i)
        if (!Same(a.unit[i], b.unit[i]))
            return false;
    return Same(a.vanishW, b.vanishW) && Same(a.vanishH, b.vanishH) && Same(a.W, b.W) && Same(a.H, b.H);
}

} // namespace

std::size_t DeltaMemo::PointHash::operator()(const PointKey& k) const noexcept
{
    return static_cast<std::size_t>(k.x * 0x9E3779B97F4A7C15ULL ^ (k.y + 0x632BE59BD9B4E019ULL + (k.x << 6)));
}

DeltaMemo::Slot* DeltaMemo::SlotFor(const DeltaCalibration& c, bool create)
{
    for (Slot& s : slots_)
        if (s.used && Same(s.calibration, c)) {
            s.lastUse = ++clock_;
            return &s;
        }
    if (!create)
        return nullptr;
    Slot* oldest = &slots_[0];
    for (Slot& s : slots_)
        if (!s.used || s.lastUse < oldest->lastUse)
            oldest = &s;
    oldest->used = true;
    oldest->calibration = c;
    oldest->answers.clear();
    oldest->lastUse = ++clock_;
    return oldest;
}

std::optional<TDPoint> DeltaMemo::Find(const DeltaCalibration& c, TDPoint p)
{
    Slot* s = SlotFor(c, false);
    if (!s)
        return std::nullopt;
    const auto it = s->answers.find({std::bit_cast<std::uint64_t>(p.x), std::bit_cast<std::uint64_t>(p.y)});
    if (it == s->answers.end())
        return std::nullopt;
    return it->second;
}

void DeltaMemo::Store(const DeltaCalibration& c, TDPoint p, TDPoint delta)
{
    Slot* s = SlotFor(c, true);
    if (s->answers.size() >= kMaxAnswers)
        s->answers.clear();
    s->answers[{std::bit_cast<std::uint64_t>(p.x), std::bit_cast<std::uint64_t>(p.y)}] = delta;
}

void DeltaMemo::Clear()
{
    for (Slot& s : slots_) {
        s.used = false;
        s.answers.clear();
    }
}

} // namespace kvx
