#pragma once

// The prompt in the status line: what the next click of the tool does.

#include <optional>
#include <string>

namespace kvx {

// The prompt for tool mode with n points taken; nothing for the tools without
// one (the status line then keeps its text).
std::optional<std::string> PromptText(int mode, int n, bool polygon);

} // namespace kvx
