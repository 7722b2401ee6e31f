#include "measure/checks.h"

#include "base/error_trail.h"
#include "base/translate.h"
#include "measure/calibration.h"
#include "measure/geometry.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"

#include <charconv>
#include <cmath>

namespace kvx {

double MeasuredLength(const Document& doc, const TCheck& check)
{
    // Never corrected for a second plane: a check tests the reference alone.
    return Distance(GetDelta(doc, check.start), GetDelta(doc, check.end));
}

CheckResult CheckResultOf(const Document& doc, std::int32_t i, double sigma)
{
    const TCheck& c = doc.Plane.Checks[i];
    CheckResult r;
    r.number = i;
    r.known = c.known;
    r.measured = MeasuredLength(doc, c);
    r.deviation = r.measured - r.known;
    r.relative = r.known > 0 ? r.deviation / r.known : 0.0;
    r.uncertainty = SegmentUncertainty(doc, c.start, c.end, sigma);
    r.within = r.uncertainty && std::fabs(r.deviation) <= 2 * *r.uncertainty;
    return r;
}

std::vector<CheckResult> CheckResults(const Document& doc, double sigma)
{
    return Guard("CheckResults", [&] {
        std::vector<CheckResult> out;
        if (doc.Plane.base.BaseSet != 1)
            return out;
        for (std::int32_t i = 1; i <= doc.Plane.Checks.Count(); ++i)
            out.push_back(CheckResultOf(doc, i, sigma));
        return out;
    });
}

CheckSummary SummariseChecks(const std::vector<CheckResult>& checks)
{
    CheckSummary s;
    long double squares = 0;
    long double relativeSquares = 0;
    for (const CheckResult& c : checks) {
        ++s.count;
        if (c.within)
            ++s.within;
        if (std::fabs(c.deviation) > std::fabs(s.largest))
            s.largest = c.deviation;
        if (std::fabs(c.relative) > std::fabs(s.largestRelative))
            s.largestRelative = c.relative;
        squares += static_cast<long double>(c.deviation) * c.deviation;
        relativeSquares += static_cast<long double>(c.relative) * c.relative;
    }
    if (s.count > 0) {
        s.rms = static_cast<double>(std::sqrt(squares / s.count));
        s.rmsRelative = static_cast<double>(std::sqrt(relativeSquares / s.count));
    }
    return s;
}

std::optional<double> ParseKnownLength(std::string_view text)
{
    // Full-width digits and signs are what a Japanese input method types
    // unless switched off: they are taken as their ASCII forms.
    std::string plain;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b == 0xEF && i + 2 < text.size()) {
            const unsigned char b1 = static_cast<unsigned char>(text[i + 1]);
            const unsigned char b2 = static_cast<unsigned char>(text[i + 2]);
            // U+FF01..U+FF5E are the full-width forms of '!'..'~'.
            const unsigned code = ((b & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
            if ((b1 & 0xC0) == 0x80 && (b2 & 0xC0) == 0x80 && code >= 0xFF01 && code <= 0xFF5E) {
                plain += static_cast<char>(code - 0xFF01 + '!');
                i += 3;
                continue;
            }
        }
        if (text.substr(i, 3) == "\u3000") {  // the full-width space
            plain += ' ';
            i += 3;
            continue;
        }
        if (text.substr(i, 3) == "\u339C") {  // ㎜
            plain += "mm";
            i += 3;
            continue;
        }
        plain += text[i];
        ++i;
    }
    std::string digits;
    for (const char ch : plain)
        if (ch != ' ' && ch != '\t')
            digits += ch;
    if (digits.size() >= 2 && (digits.ends_with("mm") || digits.ends_with("MM")))
        digits.resize(digits.size() - 2);
    // Commas only between groups of three digits before the point.
    const std::size_t point = std::min(digits.find('.'), digits.size());
    const std::string whole = digits.substr(0, point);
    if (digits.find(',', point) != std::string::npos)
        return std::nullopt;
    if (whole.find(',') != std::string::npos) {
        const std::size_t first = whole.find(',');
        if (first == 0 || first > 3)
            return std::nullopt;
        for (std::size_t at = first; at < whole.size(); at += 4)
            if (whole[at] != ',' || at + 4 > whole.size() || whole.substr(at + 1, 3).find(',') != std::string::npos)
                return std::nullopt;
        std::erase(digits, ',');
    }
    if (digits.empty() || digits.front() == '+')
        return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != digits.data() + digits.size() || !(v >= kMinKnownLength && v <= kMaxKnownLength))
        return std::nullopt;
    return v;
}

std::string DeviationText(double deviation, double relative)
{
    auto signedFixed = [](double x, int decimals) {
        const std::string t = FormatFixed(x, decimals);
        return t.front() == '-' ? t : "+" + t;
    };
    return signedFixed(deviation, 1) + Tx("Summary", "㎜") + " (" + signedFixed(relative * 100, 2) + " %)";
}

std::string CheckLine(const CheckResult& c)
{
    const std::string mm = Tx("Summary", "㎜");
    std::string text = Tx("Checks", "検証距離") + std::to_string(c.number) + " = " + FormatFixed(c.measured, 1);
    if (c.uncertainty)
        text += " " + PlusMinus(*c.uncertainty);
    text += mm + ", " + Tx("Checks", "既知 ") + FormatPlain(c.known) + mm + ", " + Tx("Checks", "偏差 ") +
            DeviationText(c.deviation, c.relative) + ", ";
    text += c.within ? Tx("Checks", "不確かさの2倍以内") : Tx("Checks", "不確かさの2倍を超える");
    return text;
}

std::string CheckSummaryLine(const CheckSummary& s)
{
    if (s.count == 0)
        return {};
    return Tx("Checks", "検証距離 ") + std::to_string(s.count) + Tx("Checks", " 本: 最大偏差 ") +
           DeviationText(s.largest, s.largestRelative) + ", RMS " + FormatFixed(s.rms, 1) + Tx("Summary", "㎜") + " (" +
           FormatFixed(s.rmsRelative * 100, 2) + " %), " + Tx("Checks", "2σ以内 ") + std::to_string(s.within) + "/" +
           std::to_string(s.count);
}

} // namespace kvx
