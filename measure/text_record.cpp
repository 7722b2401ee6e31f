#include "measure/text_record.h"

#include <charconv>
#include <cmath>

namespace kvx {

std::string ShortestText(double v)
{
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

std::optional<std::string_view> TextLines::Next()
{
    if (at_ >= bytes_.size())
        return std::nullopt;
    std::size_t end = bytes_.find('\n', at_);
    ended_ = end != std::string_view::npos;
    if (!ended_)
        end = bytes_.size();
    std::string_view line = bytes_.substr(at_, end - at_);
    at_ = end + 1;
    if (ended_ && !line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (true) {
        const std::size_t space = line.find(' ', at);
        if (space == std::string_view::npos) {
            out.push_back(line.substr(at));
            return out;
        }
        out.push_back(line.substr(at, space - at));
        at = space + 1;
    }
}

NumberFault ParseNumber(std::string_view text, double& out)
{
    if (text.empty())
        return NumberFault::NotANumber;
    double v = 0;
    const char* const last = text.data() + text.size();
    const auto [next, ec] = std::from_chars(text.data(), last, v);
    if (ec == std::errc::result_out_of_range)
        return NumberFault::NotFinite;
    if (ec != std::errc() || next != last)
        return NumberFault::NotANumber;
    if (!std::isfinite(v))
        return NumberFault::NotFinite;
    out = v;
    return NumberFault::None;
}

} // namespace kvx
