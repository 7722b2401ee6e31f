#pragma once

// The tool modes and the rules that follow from them: which menu items and
// buttons are enabled, which button shows pressed, what the price label says.
// Plain functions of the document and the mode, so they are checked without a
// window; the window applies them by object name.

#include "base/tool_mode.h"
#include "interact/tool_table.h"
#include "measure/model.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace kvx {

// "/m" for the distance tools, "/㎡" for the area tools that total, else empty.
std::string PriceLabel(uCommand mode);

// The summary line of the current mark for the information field (UTF-8): the
// area tools speak of the group's areas, the others of the current distance.
std::string SetCalcu(const Document& doc, uCommand mode);

// The object name of the tool button shown pressed in mode, or empty.
std::string PressedButton(uCommand mode);

// Every item the enabling rules decide about; all of them are disabled first.
const std::vector<std::string>& ManagedItems();

// The items enabled for this state.
std::set<std::string> EnabledItems(const Document& doc, bool photo, uCommand mode);

} // namespace kvx
