#include "measure/cp932.h"

#include <cerrno>
#include <iconv.h>
#include <memory>
#include <stdexcept>

namespace kvx {

namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

bool IsCp932Lead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::size_t Utf8SequenceLength(unsigned char c)
{
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0)
        return 2;
    if ((c & 0xF0) == 0xE0)
        return 3;
    if ((c & 0xF8) == 0xF0)
        return 4;
    return 1;
}

// Converts text, replacing each sequence the converter rejects by "?";
// skip(c) tells how many input bytes the rejected character starting with c takes.
template <class Skip>
std::string Convert(const char* to, const char* from, std::string_view text, Skip skip)
{
    std::unique_ptr<void, IconvCloser> cd(iconv_open(to, from));
    if (cd.get() == reinterpret_cast<void*>(-1)) {
        cd.release();
        throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    const auto handle = static_cast<iconv_t>(cd.get());

    std::string out;
    out.reserve(text.size() * 2);
    char buffer[256];
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char* o = buffer;
        std::size_t oLeft = sizeof buffer;
        const std::size_t rc = iconv(handle, &in, &inLeft, &o, &oLeft);
        out.append(buffer, static_cast<std::size_t>(o - buffer));
        if (rc != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (cut off at the end): one replacement, then go on.
        out += '?';
        const std::size_t n = std::min(inLeft, std::max<std::size_t>(1, skip(static_cast<unsigned char>(*in))));
        in += n;
        inLeft -= n;
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

} // namespace

std::string Utf8ToCp932(std::string_view utf8)
{
    return Convert("CP932", "UTF-8", utf8, Utf8SequenceLength);
}

std::optional<std::string> Utf8ToCp932Exact(std::string_view utf8)
{
    bool refused = false;
    std::string out = Convert("CP932", "UTF-8", utf8, [&refused](unsigned char c) {
        refused = true;
        return Utf8SequenceLength(c);
    });
    if (refused)
        return std::nullopt;
    return out;
}

std::string Cp932ToUtf8(std::string_view cp932)
{
    return Convert("UTF-8", "CP932", cp932, [](unsigned char c) -> std::size_t { return IsCp932Lead(c) ? 2 : 1; });
}

std::string Cp932Truncate(std::string_view cp932, std::size_t maxBytes)
{
    std::size_t i = 0;
    while (i < cp932.size()) {
        const std::size_t n = IsCp932Lead(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
        if (i + n > maxBytes || i + n > cp932.size())
            break;
        i += n;
    }
    return std::string(cp932.substr(0, i));
}

std::string AreaNameFromUtf8(std::string_view utf8)
{
    return Cp932Truncate(Utf8ToCp932(utf8), kAreaNameBytes);
}

} // namespace kvx
