#pragma once

// The prompt in the status line: what the next click of the tool does.

#include "base/tool_mode.h"
#include "measure/geometry.h"

#include <optional>
#include <string>

namespace kvx {

// The prompt for tool mode with n points taken; nothing for the tools without
// one (the status line then keeps its text).
std::optional<std::string> PromptText(uCommand mode, int n, bool polygon);

// The prompt once a reference has closed: its real W and H are to be typed.
std::string SizesPrompt();

// Why a closing click was not taken, shown after the tool's prompt; empty when
// the outline is fine.
std::string OutlineRefusal(OutlineFault fault);

} // namespace kvx
