#pragma once

// The tool modes.  One enum for the window, the pointer tools, the prompts and
// the overlay, so a mode is always named and never a bare number; the values
// are those the error trail has always recorded for a mode.  A scoped enum: a
// mode never turns into a number by accident, only through ModeNumber, for the
// trail.

#include <cstdint>

namespace kvx {

enum class uCommand : std::uint8_t {
    None = 0,
    Base = 1,
    BaseOnePoint = 2,
    BaseSixPoint = 3,
    BaseAdjust = 4,
    BaseLineW = 5,
    BaseLineH = 6,
    BaseLineAdjust = 7,
    BaseUnit = 8,
    BaseUnitAdjust = 9,
    Distance = 10,
    DistanceDel = 11,
    DistanceAdjust = 12,
    DistanceHosei = 13,
    DistanceHoseiDel = 14,
    SpaceAdd = 15,
    SpaceSub = 16,
    SpaceDel = 17,
    SpaceAdjust = 18,
    SpaceSlant = 19,
    SpaceHosei = 20,
    SpaceHoseiDel = 21,
    SpaceNameUpd = 22,
    CrossLine = 23,
    ImageFix = 24,
    ZoomUp = 25,
    ZoomDown = 26,
    Check = 27,
    CheckDel = 28,
    StraightEdge = 29,  // straight edges clicked to fit the lens
};

// How many modes there are: every value below this is a mode.
inline constexpr int kToolModeCount = 30;

// The number the error trail records for a mode.
constexpr int ModeNumber(uCommand mode)
{
    return static_cast<int>(mode);
}

} // namespace kvx
