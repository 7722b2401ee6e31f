#pragma once

// Short text files of our own beside the binary working files (check
// distances, a photo's lens, camera profiles): a first line naming the format
// and its version, then one record a line, fields separated by single spaces,
// each line ending in CR LF.  Numbers are written in their shortest form that
// reads back exactly and read without the user's locale (std::to_chars and
// std::from_chars).  The writer ends every line, so a last line without its
// end is a file cut short.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// The shortest text std::from_chars reads back as exactly v ("0.1", "1e-07").
std::string ShortestText(double v);

// The lines of a file's bytes in turn, each without its CR LF.
class TextLines {
public:
    explicit TextLines(std::string_view bytes) : bytes_(bytes) {}
    // The next line; nothing at the end of the bytes.
    std::optional<std::string_view> Next();
    // Whether the line Next gave last had its end (the writer's CR LF or LF).
    bool LastEnded() const { return ended_; }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
    bool ended_ = true;
};

// The fields of a line split at single spaces; an empty field (two spaces, a
// leading or trailing one) is kept as an empty field, which no reader takes.
std::vector<std::string_view> Fields(std::string_view line);

enum class NumberFault { None, NotANumber, NotFinite };
// text as a number: all of it, in the decimal forms std::to_chars writes.
// "nan", "inf" and numbers beyond double's range are NotFinite.
NumberFault ParseNumber(std::string_view text, double& out);

} // namespace kvx
