#include "base/error_trail.h"

namespace kvx {

ErrorTrail& ErrorTrail::global()
{
    static ErrorTrail trail;
    return trail;
}

void ErrorTrail::append(std::string line)
{
    lines_.push_back(std::move(line));
}

std::string ErrorTrail::joined(std::string_view separator) const
{
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0)
            out += separator;
        out += lines_[i];
    }
    return out;
}

std::string TrailLine(std::string_view name, std::string_view key, long long value)
{
    std::string line(name);
    line += "  [";
    line += key;
    line += " = ";
    line += std::to_string(value);
    line += "]";
    return line;
}

} // namespace kvx
