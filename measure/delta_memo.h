#pragma once

// GetDelta's answers remembered for one calibration.  The overlay asks for the
// same corners and ends on every repaint, and each answer is a walk of many
// line intersections; with the answers kept, a repaint only walks for what is
// new.  An answer depends on nothing but the unit points, the two vanishing
// points, W, H and the point itself, so those (bit for bit) are the key: any
// change of calibration simply finds no answers.

#include "measure/geometry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>

namespace kvx {

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
    // Two calibrations are kept, so that the two planes of a two-plane
    // setting, drawn one after the other, do not push each other out.
    struct Slot {
        bool used = false;
        DeltaCalibration calibration;
        std::unordered_map<PointKey, TDPoint, PointHash> answers;
        std::uint64_t lastUse = 0;
    };
    Slot* SlotFor(const DeltaCalibration& c, bool create);

    std::array<Slot, 2> slots_;
    std::uint64_t clock_ = 0;
};

} // namespace kvx
