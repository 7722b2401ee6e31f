#include "output/report/manual.h"

#include "output/pdf/pdf_maker.h"

#include <algorithm>
#include <string_view>

namespace kvx {

namespace {

constexpr int kGothic = 7;
constexpr int kGothicBold = 9;

// The byte length of the UTF-8 sequence led by c; a stray byte counts alone.
std::size_t SequenceLength(unsigned char c)
{
    if (c >= 0xF0 && c < 0xF8)
        return 4;
    if (c >= 0xE0)
        return 3;
    if (c >= 0xC0)
        return 2;
    return 1;
}

std::vector<std::string_view> Characters(std::string_view s)
{
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = std::min(SequenceLength(static_cast<unsigned char>(s[i])), s.size() - i);
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

// Half-width forms take one byte in code page 932, everything else two.
double CharEms(std::string_view c)
{
    if (c.size() == 1)
        return 0.5;
    if (c.size() == 3 && static_cast<unsigned char>(c[0]) == 0xEF) {
        const unsigned cp = ((static_cast<unsigned>(c[0]) & 0x0F) << 12) | ((static_cast<unsigned>(c[1]) & 0x3F) << 6) |
                            (static_cast<unsigned>(c[2]) & 0x3F);
        if (cp >= 0xFF61 && cp <= 0xFF9F)
            return 0.5;
    }
    return 1.0;
}

// Characters a Japanese line must not start with.
bool Closing(std::string_view c)
{
    static const std::string_view kClosing[] = {"、", "。", "，", "．", "）", "」", "』", "】", "・", "ー", "ぁ", "ぃ", "ぅ", "ぇ",
                                                "ぉ", "っ", "ゃ", "ゅ", "ょ", "ァ", "ィ", "ゥ", "ェ", "ォ", "ッ", "ャ", "ュ", "ョ",
                                                "！", "？", ")", ",", ".", "!", "?", ":", ";"};
    return std::find(std::begin(kClosing), std::end(kClosing), c) != std::end(kClosing);
}

// Characters a Japanese line must not end with.
bool Opening(std::string_view c)
{
    static const std::string_view kOpening[] = {"「", "『", "（", "【", "(", "["};
    return std::find(std::begin(kOpening), std::end(kOpening), c) != std::end(kOpening);
}

bool WordChar(std::string_view c)
{
    return c.size() == 1 && c[0] != ' ';
}

bool StartsWith(const std::string& s, std::string_view prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

double TextEms(const std::string& utf8)
{
    double ems = 0;
    for (std::string_view c : Characters(utf8))
        ems += CharEms(c);
    return ems;
}

std::vector<std::string> WrapText(const std::string& utf8, double widthEms)
{
    const std::vector<std::string_view> chars = Characters(utf8);
    std::vector<std::string> lines;
    std::vector<std::string_view> line;
    double width = 0;
    auto flush = [&](std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += line[i];
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        lines.push_back(text);
        line.erase(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(count));
        while (!line.empty() && line.front() == " ")
            line.erase(line.begin());
        width = 0;
        for (std::string_view c : line)
            width += CharEms(c);
    };
    for (std::string_view c : chars) {
        const double w = CharEms(c);
        // Closing punctuation may hang past the margin rather than open a line.
        if (!line.empty() && width + w > widthEms && !Closing(c)) {
            std::size_t cut = line.size();
            // A Latin word (a number with its unit, a file name) moves whole
            // when it is short enough to fit on the next line.
            if (WordChar(c)) {
                std::size_t start = line.size();
                while (start > 0 && WordChar(line[start - 1]))
                    --start;
                if (start > 0 && static_cast<double>(line.size() - start) < widthEms / 2)
                    cut = start;
            }
            if (cut > 1 && Opening(line[cut - 1]))
                --cut;
            flush(cut);
        }
        if (line.empty() && c == " ")
            continue;
        line.push_back(c);
        width += w;
    }
    if (!line.empty() || lines.empty())
        flush(line.size());
    return lines;
}

std::vector<ManualPage> LayoutManual(const std::string& source, const ManualLayout& layout)
{
    std::vector<ManualPage> pages(1);
    const double top = layout.pageHeight - layout.margin;
    const double bottom = layout.margin;
    const double textWidth = layout.pageWidth - 2 * layout.margin;
    double y = top;

    // Room for needed points below the cursor, else a new page.
    auto ensure = [&](double needed) {
        if (y - needed < bottom && !pages.back().lines.empty()) {
            pages.emplace_back();
            y = top;
        }
    };
    auto put = [&](const std::string& text, double x, double size, bool bold, double lineHeight) {
        ensure(lineHeight);
        y -= lineHeight;
        pages.back().lines.push_back({text, x, y + (lineHeight - size) / 2, size, bold});
    };
    auto paragraph = [&](const std::string& text, double indentEms, double hangEms) {
        const double size = layout.bodySize;
        const double lineHeight = size * 1.7;
        const std::vector<std::string> wrapped = WrapText(text, textWidth / size - indentEms - hangEms);
        for (std::size_t i = 0; i < wrapped.size(); ++i)
            put(wrapped[i], layout.margin + (indentEms + (i == 0 ? 0 : hangEms)) * size, size, false, lineHeight);
    };

    std::size_t start = 0;
    while (start <= source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string::npos)
            end = source.size();
        std::string line = source.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        if (StartsWith(line, "% ")) {
            const std::string title = line.substr(2);
            const double size = 22;
            y -= 120;
            for (const std::string& part : WrapText(title, textWidth / size)) {
                y -= size * 1.6;
                pages.back().lines.push_back(
                    {part, (layout.pageWidth - TextEms(part) * size) / 2, y, size, true});
            }
            y -= 60;
        } else if (StartsWith(line, "## ")) {
            const double size = 12.5;
            // A heading never ends a page: keep two body lines with it.
            ensure(size * 2.6 + layout.bodySize * 3.4);
            y -= size * 0.6;
            for (const std::string& part : WrapText(line.substr(3), textWidth / size))
                put(part, layout.margin, size, true, size * 1.8);
        } else if (StartsWith(line, "# ")) {
            const double size = 16;
            ensure(size * 3 + layout.bodySize * 3.4);
            if (y < top)
                y -= size;
            for (const std::string& part : WrapText(line.substr(2), textWidth / size))
                put(part, layout.margin, size, true, size * 2);
        } else if (StartsWith(line, "・")) {
            paragraph(line, 0.5, 1);
        } else if (line.empty()) {
            if (y < top)
                y -= layout.bodySize * 0.6;
        } else {
            paragraph(line, 0, 0);
        }
        if (end == source.size())
            break;
    }
    return pages;
}

void WriteManual(const std::string& source, const std::string& title, std::ostream& out)
{
    const std::vector<ManualPage> pages = LayoutManual(source);
    TPDFMaker maker;
    maker.Title = title;
    maker.Subject = title;
    maker.Creator = "Kalvex";
    maker.BeginDoc(&out);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        if (p > 0)
            maker.NewPage();
        TPDFContents& c = maker.Contents();
        c.TextColor = 0;
        for (const ManualLine& line : pages[p].lines) {
            c.FontIndex = line.bold ? kGothicBold : kGothic;
            c.SetFontSize(line.size);
            c.TextOut(line.text, line.x, line.y, 0);
        }
        const std::string folio = "- " + std::to_string(p + 1) + " -";
        c.FontIndex = kGothic;
        c.SetFontSize(9);
        c.TextOut(folio, (maker.PageWidth() - TextEms(folio) * 9) / 2, 30, 0);
    }
    maker.EndDoc();
}

} // namespace kvx
