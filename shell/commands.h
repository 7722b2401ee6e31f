#pragma once

// The tool modes and the rules that follow from them: which menu items and
// buttons are enabled, which button shows pressed, what the price label says.
// Plain functions of the document and the mode, so they are checked without a
// window; the window applies them by object name.

#include "measure/model.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

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
};

// "/m" for the distance tools, "/㎡" for the area tools that total, else empty.
std::string PriceLabel(int mode);

// The object name of the tool button shown pressed in mode, or empty.
std::string PressedButton(int mode);

// Every item the enabling rules decide about; all of them are disabled first.
const std::vector<std::string>& ManagedItems();

// The items enabled for this state.
std::set<std::string> EnabledItems(const Document& doc, bool photo, int mode);

} // namespace kvx
