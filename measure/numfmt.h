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
// x to the given significant digits, in fixed notation without grouping
// ("2.3" for 2.34, "0.0052" for 0.00517, "1235" for 1234.6 at 2): an
// uncertainty says no more than its first two digits.
std::string FormatSignificant(double x, int digits);
// "±2.3": an uncertainty as every view writes it, to two significant digits.
std::string PlusMinus(double uncertainty);
// The shortest fixed-notation text that reads back as exactly x ("30.0007",
// "0.00001", "45"): never an exponent, never grouped.
std::string FormatPlain(double x);
// "%m": the yen amount, "￥1,235", "-￥1,235" for negatives.
std::string FormatYen(double x);

} // namespace kvx
