// Setting the operating manual: line breaking and page layout.

#include "output/report/manual.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kvx {
namespace {

bool ValidUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

TEST(ManualWrap, WidthsFollowTheCodePageBytes)
{
    EXPECT_DOUBLE_EQ(TextEms("ab"), 1.0);
    EXPECT_DOUBLE_EQ(TextEms("基準"), 2.0);
    EXPECT_DOUBLE_EQ(TextEms("ﾌｧｲﾙ"), 2.0);  // half-width kana are single bytes
}

TEST(ManualWrap, LinesStayWithinTheWidthAndKeepEveryCharacter)
{
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "基準矩形の角を一つずつクリックします。Shift キーで直交、1000 mm。「設定1」";
    const std::vector<std::string> lines = WrapText(text, 30);
    ASSERT_GT(lines.size(), 10u);
    std::string joined;
    for (const std::string& line : lines) {
        EXPECT_TRUE(ValidUtf8(line)) << line;
        // Closing punctuation may hang one character past the margin.
        EXPECT_LE(TextEms(line), 31.0) << line;
        EXPECT_NE(line.rfind("。", 0), 0u) << "a line opens with a full stop: " << line;
        EXPECT_NE(line.rfind("、", 0), 0u) << line;
        EXPECT_FALSE(line.ends_with("「")) << "a line ends with an opening bracket: " << line;
        joined += line;
    }
    auto withoutSpaces = [](std::string s) {
        std::erase(s, ' ');
        return s;
    };
    EXPECT_EQ(withoutSpaces(joined), withoutSpaces(text));
}

TEST(ManualWrap, ShortLatinWordsMoveWhole)
{
    const std::vector<std::string> lines = WrapText("あいうえおかきく Kalvex", 10);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "Kalvex");
    // A word longer than the line is cut rather than looping.
    const std::vector<std::string> cut = WrapText(std::string(50, 'x'), 10);
    EXPECT_EQ(cut.size(), 3u);
    EXPECT_EQ(WrapText("", 10), std::vector<std::string>{""});
}

TEST(ManualLayout, PagesBreakInsideTheMarginsAndHeadingsKeepTheirText)
{
    std::string source = "% 題名\n# 1. はじめに\n";
    for (int i = 0; i < 120; ++i)
        source += "段落の文章です。\n";
    source += "## 最後の節\n最後の段落。\n";
    ManualLayout layout;
    const std::vector<ManualPage> pages = LayoutManual(source, layout);
    ASSERT_GE(pages.size(), 3u);
    for (const ManualPage& page : pages) {
        ASSERT_FALSE(page.lines.empty());
        for (const ManualLine& line : page.lines) {
            EXPECT_GE(line.y, layout.margin - 1);
            EXPECT_LE(line.y + line.size, layout.pageHeight - layout.margin + 1);
            EXPECT_GE(line.x, layout.margin - 1);
        }
    }
    EXPECT_EQ(pages[0].lines[0].text, "題名");
    EXPECT_TRUE(pages[0].lines[1].bold);
    const ManualPage& last = pages.back();
    // The section heading is never left alone at the foot of a page.
    ASSERT_GE(last.lines.size(), 2u);
    EXPECT_EQ(last.lines[last.lines.size() - 2].text, "最後の節");
    EXPECT_EQ(last.lines.back().text, "最後の段落。");
}

TEST(ManualLayout, WritesAPdfWithOnePageObjectPerPage)
{
    std::string source = "# 見出し\n";
    for (int i = 0; i < 80; ++i)
        source += "本文の行です。\n";
    std::ostringstream out;
    WriteManual(source, "題名", out);
    const std::string pdf = out.str();
    ASSERT_EQ(pdf.rfind("%PDF-1.4", 0), 0u);
    std::size_t pages = 0;
    for (std::size_t at = pdf.find("/Type /Page\r\n"); at != std::string::npos; at = pdf.find("/Type /Page\r\n", at + 1))
        ++pages;
    EXPECT_EQ(pages, LayoutManual(source).size());
}

} // namespace
} // namespace kvx
