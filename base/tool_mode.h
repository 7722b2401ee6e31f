#pragma once

// The tool modes.  One enum for the window, the pointer tools, the prompts and
// the overlay, so a mode is always named and never a bare number; the values
// are those the error trail has always recorded for a mode.

#include <algorithm>
#include <array>
#include <cstdint>

namespace kvx {

enum uCommand : std::uint8_t {
    ucNone = 0,
    ucBase = 1,
    ucBaseOnePoint = 2,
    ucBaseSixPoint = 3,
    ucBaseAdjust = 4,
    ucBaseLineW = 5,
    ucBaseLineH = 6,
    ucBaseLineAdjust = 7,
    ucBaseUnit = 8,
    ucBaseUnitAdjust = 9,
    ucDistance = 10,
    ucDistanceDel = 11,
    ucDistanceAdjust = 12,
    ucDistanceHosei = 13,
    ucDistanceHoseiDel = 14,
    ucSpaceAdd = 15,
    ucSpaceSub = 16,
    ucSpaceDel = 17,
    ucSpaceAdjust = 18,
    ucSpaceSlant = 19,
    ucSpaceHosei = 20,
    ucSpaceHoseiDel = 21,
    ucSpaceNameUpd = 22,
    ucCrossLine = 23,
    ucImageFix = 24,
    ucZoomUp = 25,
    ucZoomDown = 26,
    ucCheck = 27,
    ucCheckDel = 28,
};

// Modes that belong together are listed by name: the numbers above follow the
// order in which modes were added, not what they do (the rename mode sits
// right after the area modes and is none of them).
inline constexpr std::array kDistanceModes = {ucDistance, ucDistanceDel, ucDistanceAdjust, ucDistanceHosei,
                                              ucDistanceHoseiDel};
inline constexpr std::array kAreaModes = {ucSpaceAdd,   ucSpaceSub,   ucSpaceDel,     ucSpaceAdjust,
                                          ucSpaceSlant, ucSpaceHosei, ucSpaceHoseiDel};

template <std::size_t N>
constexpr bool IsOneOf(uCommand mode, const std::array<uCommand, N>& modes)
{
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

} // namespace kvx
