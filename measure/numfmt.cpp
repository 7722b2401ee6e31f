#include "measure/numfmt.h"

#include <charconv>
#include <algorithm>
#include <cmath>

namespace kvx {

namespace {

// x rounded half away from zero to the given decimals, as text without sign.
// Returns false for values that are not numbers.
bool RoundedDigits(double x, int decimals, std::string& digits, bool& negative)
{
    if (!std::isfinite(x))
        return false;
    long double scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const long double r = std::round(static_cast<long double>(x) * scale);
    negative = r < 0;
    char buf[5000];  // the widest long double written out in full
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(r), std::chars_format::fixed, 0);
    if (ec != std::errc())
        return false;
    digits.assign(buf, end);
    if (decimals > 0) {
        if (digits.size() <= static_cast<std::size_t>(decimals))
            digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
    }
    return true;
}

std::string Grouped(const std::string& digits)
{
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string NonFinite(double x)
{
    if (std::isnan(x))
        return "NAN";
    return x < 0 ? "-INF" : "INF";
}

} // namespace

std::string FormatFixed(double x, int decimals)
{
    std::string digits;
    bool negative = false;
    if (!RoundedDigits(x, decimals, digits, negative))
        return NonFinite(x);
    return negative ? "-" + digits : digits;
}

std::string FormatNumber0(double x)
{
    std::string digits;
    bool negative = false;
    if (!RoundedDigits(x, 0, digits, negative))
        return NonFinite(x);
    return (negative ? "-" : "") + Grouped(digits);
}

std::string FormatGeneral(double x)
{
    if (!std::isfinite(x))
        return NonFinite(x);
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x == 0 ? 0.0 : x, std::chars_format::general, 15);
    if (ec != std::errc())
        return NonFinite(x);
    std::string s(buf, end);
    // The exponent as it has always been written: "1E20", "1E-5".
    if (const auto e = s.find('e'); e != std::string::npos) {
        std::string mantissa = s.substr(0, e);
        std::string exponent = s.substr(e + 1);
        const bool negative = !exponent.empty() && exponent[0] == '-';
        if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-'))
            exponent.erase(0, 1);
        exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
        s = mantissa + "E" + (negative ? "-" : "") + exponent;
    }
    return s;
}

std::string FormatSignificant(double x, int digits)
{
    if (!std::isfinite(x))
        return NonFinite(x);
    if (x == 0)
        return "0";
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(x))));
    return FormatFixed(x, std::max(0, digits - 1 - magnitude));
}

std::string PlusMinus(double uncertainty)
{
    return "±" + FormatSignificant(uncertainty, 2);
}

std::string FormatPlain(double x)
{
    if (!std::isfinite(x))
        return NonFinite(x);
    char buf[400];  // the widest double in fixed notation
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x == 0 ? 0.0 : x, std::chars_format::fixed);
    if (ec != std::errc())
        return NonFinite(x);
    return std::string(buf, end);
}

std::string FormatYen(double x)
{
    std::string digits;
    bool negative = false;
    if (!RoundedDigits(x, 0, digits, negative))
        return NonFinite(x);
    return (negative ? "-￥" : "￥") + Grouped(digits);
}

} // namespace kvx
