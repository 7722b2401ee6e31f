#pragma once

// Text in the Japanese code page (CP932) for the files we exchange, and UTF-8
// everywhere inside the program.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kvx {

// UTF-8 to CP932.  A character CP932 cannot express, or a byte that is not valid
// UTF-8, becomes "?".
std::string Utf8ToCp932(std::string_view utf8);

// UTF-8 to CP932 when every character has a CP932 form; nothing when one has
// not (or the text is not valid UTF-8).
std::optional<std::string> Utf8ToCp932Exact(std::string_view utf8);

// CP932 to UTF-8.  A byte sequence that is not valid CP932 becomes "?".
std::string Cp932ToUtf8(std::string_view cp932);

// At most maxBytes of CP932 text; a double-byte character that would be cut in
// two is dropped whole.
std::string Cp932Truncate(std::string_view cp932, std::size_t maxBytes);

// An area name as the records keep it: CP932, at most 20 bytes.
constexpr std::size_t kAreaNameBytes = 20;
std::string AreaNameFromUtf8(std::string_view utf8);

} // namespace kvx
