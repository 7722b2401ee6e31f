#pragma once

// Number texts of labels, summaries and exports.  They never follow the user's
// locale: the decimal point is "." and thousands are grouped with ",", and
// rounding is half away from zero on the value, as the figures on an estimate
// are expected to round.

#include <string>

namespace kvx {

// "%.Nf": fixed with the given decimals ("0.063" for 0.0625 at 3).
std::string FormatFixed(double x, int decimals);
// "%.0n": integer with thousands grouped ("1,235" for 1234.5).
std::string FormatNumber0(double x);
// "%g": the shortest general form, up to 15 significant digits ("30.0007", "45").
std::string FormatGeneral(double x);
// "%m": the yen amount, "￥1,235", "-￥1,235" for negatives.
std::string FormatYen(double x);

} // namespace kvx
