#include "shell/path_names.h"

namespace kvx {

namespace {

// The length of the valid UTF-8 sequence at s[i], 0 when the byte there starts none.
std::size_t Utf8Length(const std::string& s, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = at(i);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    char32_t min = 0;
    char32_t value = 0;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (at(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are no valid UTF-8.
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

QString FromBytes(const std::string& bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t n = Utf8Length(bytes, i);
        if (n == 0) {
            out.append(QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i]))));
            ++i;
            continue;
        }
        out.append(QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(n)));
        i += n;
    }
    return out;
}

std::string ToBytes(const QString& name)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(name.size()));
    qsizetype start = 0;
    const auto flush = [&](qsizetype end) {
        if (end > start)
            out += name.mid(start, end - start).toStdString();
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name.at(i).unicode();
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        const bool pairedLow = low && i > 0 && QChar::isHighSurrogate(name.at(i - 1).unicode());
        // Only an escaped byte (a lone surrogate of the range FromBytes uses) stands for itself.
        if (low && !pairedLow && u >= 0xDC80 && u <= 0xDCFF) {
            flush(i);
            out += static_cast<char>(u - 0xDC00);
            start = i + 1;
        }
    }
    flush(name.size());
    return out;
}

std::filesystem::path ToPath(const QString& name)
{
    return std::filesystem::path(ToBytes(name));
}

QString FromPath(const std::filesystem::path& name)
{
    return FromBytes(name.native());
}

bool QtCanName(const std::string& bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = Utf8Length(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

} // namespace kvx
