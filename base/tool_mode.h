#pragma once

// The tool modes.  One enum for the window, the pointer tools, the prompts and
// the overlay, so a mode is always named and never a bare number; the values
// are those the error trail has always recorded for a mode.

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

} // namespace kvx
