#include "measure/delta_memo.h"

#include "measure/calibration.h"

#include <bit>

namespace kvx {

namespace {

// The first size of a generation: the repaint of a busy document fits.
constexpr std::size_t kFirstCapacity = 16384;
// Dropped answers are remembered for this many turns.
constexpr std::uint64_t kDroppedTurns = 8;

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
    *oldest = Slot{};
    oldest->used = true;
    oldest->calibration = c;
    oldest->capacity = kFirstCapacity;
    oldest->lastUse = ++clock_;
    return oldest;
}

void DeltaMemo::Turn(Slot& s)
{
    if (s.askedAgain > s.young.size() / 2)
        s.capacity *= 2;
    ++s.turns;
    std::erase_if(s.dropped, [&](const auto& d) { return d.second + kDroppedTurns < s.turns; });
    for (const auto& answer : s.old)
        s.dropped.insert_or_assign(answer.first, s.turns);
    s.old = std::move(s.young);
    s.young = Answers{};
    s.askedAgain = 0;
}

std::optional<TDPoint> DeltaMemo::Find(const DeltaCalibration& c, TDPoint p)
{
    Slot* s = SlotFor(c, false);
    if (!s)
        return std::nullopt;
    const PointKey key{std::bit_cast<std::uint64_t>(p.x), std::bit_cast<std::uint64_t>(p.y)};
    if (const auto it = s->young.find(key); it != s->young.end())
        return it->second;
    const auto it = s->old.find(key);
    if (it == s->old.end())
        return std::nullopt;
    const TDPoint delta = it->second;
    s->old.erase(it);
    ++s->askedAgain;
    if (s->young.size() >= s->capacity)
        Turn(*s);
    s->young.emplace(key, delta);
    return delta;
}

void DeltaMemo::Store(const DeltaCalibration& c, TDPoint p, TDPoint delta)
{
    Slot* s = SlotFor(c, true);
    const PointKey key{std::bit_cast<std::uint64_t>(p.x), std::bit_cast<std::uint64_t>(p.y)};
    if (!s->dropped.empty() && s->dropped.erase(key) > 0)
        ++s->askedAgain;
    if (s->young.size() >= s->capacity)
        Turn(*s);
    s->young[key] = delta;
}

std::shared_ptr<WalkLines>& DeltaMemo::Lines(const DeltaCalibration& c)
{
    return SlotFor(c, true)->lines;
}

void DeltaMemo::Clear()
{
    for (Slot& s : slots_)
        s = Slot{};
}

} // namespace kvx
