#include "output/pd25/pd25.h"
#include "base/translate.h"

#include "measure/cp932.h"
#include "measure/geometry.h"
#include "measure/numfmt.h"

#include <fstream>
#include <system_error>

namespace kvx {

namespace {

// A meter's file holds a few hundred short lines; these bounds only keep a
// file that is something else from taking the program's memory.
constexpr std::uintmax_t kMaxFileBytes = 16u << 20;
constexpr std::size_t kMaxLineBytes = 1024;

std::string Trim(std::string s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

std::string PadLeft(const std::string& field, std::size_t width)
{
    return field.size() >= width ? field : std::string(width - field.size(), ' ') + field;
}

} // namespace

std::string Pd25ListLine(const std::string& line)
{
    static constexpr std::size_t kWidths[] = {10, 3, 12, 4, 3, 3};
    std::string out;
    for (int k = 1; k <= 6; ++k) {
        if (k > 1)
            out += ", ";
        out += PadLeft(GetField(line, k, ","), kWidths[k - 1]);
    }
    return out;
}

std::optional<std::vector<std::string>> ReadPd25File(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::string> lines;
    std::string line;
    std::uintmax_t read = 0;
    char c;
    bool pending = false;
    auto finish = [&] {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(Cp932ToUtf8(Pd25ListLine(Cp932Truncate(line, kMaxLineBytes))));
        line.clear();
        pending = false;
    };
    while (read < kMaxFileBytes && in.get(c)) {
        ++read;
        if (c == '\n') {
            finish();
            continue;
        }
        pending = true;
        if (line.size() <= kMaxLineBytes)
            line += c;
    }
    if (in.bad())
        return std::nullopt;
    if (pending)
        finish();
    return lines;
}

Pd25Length Pd25Millimetres(const std::string& utf8ListLine)
{
    struct Unit {
        const char* name;
        double millimetres;
    };
    static constexpr Unit kUnits[] = {
        {"m", 1000},  {"ｍ", 1000},    {"cm", 10},   {"ｃｍ", 10},  {"㎝", 10},     {"mm", 1},
        {"ｍｍ", 1},  {"㎜", 1},       {"ft", 304.8}, {"ｆｔ", 304.8}, {"in", 25.4}, {"ｉｎ", 25.4},
    };
    const double value = StrToVal(GetField(utf8ListLine, 3, ","));
    const std::string unit = Trim(GetField(utf8ListLine, 4, ","));
    std::string lower = unit;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (const Unit& u : kUnits)
        if (lower == u.name)
            return {value * u.millimetres, {}};
    const std::string known = Tx("Pd25", "m, cm, mm, ft, in の値を選んでください.");
    if (unit.empty())
        return {std::nullopt, Tx("Pd25", "単位のない値は長さにできません.\r") + known};
    return {std::nullopt, Tx("Pd25", "単位 '") + unit + Tx("Pd25", "' の値は長さにできません.\r") + known};
}

std::optional<std::string> Pd25FieldText(const std::string& utf8ListLine)
{
    const Pd25Length length = Pd25Millimetres(utf8ListLine);
    if (!length.millimetres)
        return std::nullopt;
    return FormatGeneral(*length.millimetres);
}

} // namespace kvx
