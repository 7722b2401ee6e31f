#pragma once

// Lengths measured with the laser range meter, taken from its CSV file as the
// real W or H.  The meter writes CP932 text, one measurement a line; field 3
// is the value and field 4 its unit.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kvx {

// The pick list line of one CSV line: fields 1 to 6 right-aligned in 10, 3, 12,
// 4, 3 and 3 columns (CP932 bytes, as a fixed-pitch font shows them), never cut.
// In and out in CP932.
std::string Pd25ListLine(const std::string& cp932Line);

// The pick list of a file, in UTF-8 for showing; nothing when the file cannot
// be read.  Damaged text is listed as well as it can be: lines break at CR LF or
// LF, overlong lines are cut, bytes that are not CP932 show as "?".
std::optional<std::vector<std::string>> ReadPd25File(const std::filesystem::path& file);

// The value of a pick list line in millimetres: field 3 read leniently, scaled
// by the unit of field 4: m, cm, mm, ft or in (also in full width, "㎝", "㎜",
// upper case).  A line in any other unit, or none, gives no value and the
// message that says so, naming the unit: a length taken in the wrong unit
// would scale every measurement of the photo.
struct Pd25Length {
    std::optional<double> millimetres;
    std::string refusal;  // UTF-8, when millimetres is empty
};
Pd25Length Pd25Millimetres(const std::string& utf8ListLine);

// The value as written into the W or H field ("%g"); nothing when the unit is refused.
std::optional<std::string> Pd25FieldText(const std::string& utf8ListLine);

} // namespace kvx
