#pragma once

// GetDelta's answers remembered for one calibration.  The overlay asks for the
// same corners and ends on every repaint, and each answer is a search among
// construction lines; with the answers kept, a repaint only searches for what
// is new.  An answer depends on nothing but the unit points, the two vanishing
// points, W, H and the point itself, so those (bit for bit) are the key: any
// change of calibration simply finds no answers.

#include "measure/geometry.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

namespace kvx {

class WalkLines;

struct DeltaCalibration {
    std::array<TDPoint, 6> unit{};
    TDPoint vanishW;
    TDPoint vanishH;
    double W = 0;
    double H = 0;
};

class DeltaMemo {
public:
    std::optional<TDPoint> Find(const DeltaCalibration& c, TDPoint p);
    void Store(const DeltaCalibration& c, TDPoint p, TDPoint delta);
    // The construction lines kept with calibration c; empty until the caller
    // builds them.
    std::shared_ptr<WalkLines>& Lines(const DeltaCalibration& c);
    void Clear();

private:
    struct PointKey {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        friend bool operator==(const PointKey&, const PointKey&) = default;
    };
    struct PointHash {
        std::size_t operator()(const PointKey& k) const noexcept;
    };
    using Answers = std::unordered_map<PointKey, TDPoint, PointHash>;
    // Two calibrations are kept, so that the two planes of a two-plane
    // setting, drawn one after the other, do not push each other out.
    //
    // The answers are kept in two generations: new ones go into the young one
    // and, when it is full, the old one is dropped and the young one becomes
    // old.  An answer asked for again is moved back to the young one.  So what
    // a repaint keeps asking for stays, and what a rubber band asked for once
    // ages out, a generation at a time instead of all at once.  When most of a
    // full young generation was asked for again, the document's points no
    // longer fit, and the generations grow: their size follows the document.
    //
    // A document of more points than two generations hold asks for each
    // point only after it was dropped, so nothing is ever asked for again
    // while it is kept; the keys of the dropped answers are remembered for a
    // few turns, and an answer stored again that was dropped that recently
    // counts as asked for again too.
    struct Slot {
        bool used = false;
        DeltaCalibration calibration;
        Answers young, old;
        std::size_t capacity = 0;
        std::size_t askedAgain = 0;  // answers moved from old to young since the last turn
        std::uint64_t turns = 0;
        std::unordered_map<PointKey, std::uint64_t, PointHash> dropped;  // key: the turn it was dropped in
        std::shared_ptr<WalkLines> lines;
        std::uint64_t lastUse = 0;
    };
    Slot* SlotFor(const DeltaCalibration& c, bool create);
    static void Turn(Slot& s);

    std::array<Slot, 2> slots_;
    std::uint64_t clock_ = 0;
};

} // namespace kvx
