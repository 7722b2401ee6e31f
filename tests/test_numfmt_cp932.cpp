#include "measure/cp932.h"
#include "measure/numfmt.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvx {
namespace {

TEST(NumberFormats, FixedGroupedAndYen)
{
    struct Case {
        double value;
        const char* fixed3;
        const char* grouped;
        const char* yen;
    };
    const Case cases[] = {
        {0, "0.000", "0", "￥0"},
        {0.0625, "0.063", "0", "￥0"},
        {-0.0004, "0.000", "0", "￥0"},
        {999.5, "999.500", "1,000", "￥1,000"},
        {1234567.891, "1234567.891", "1,234,568", "￥1,234,568"},
        {-2.5, "-2.500", "-3", "-￥3"},
        {-1234.4, "-1234.400", "-1,234", "-￥1,234"},
        {100, "100.000", "100", "￥100"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatFixed(c.value, 3), c.fixed3) << c.value;
        EXPECT_EQ(FormatNumber0(c.value), c.grouped) << c.value;
        EXPECT_EQ(FormatYen(c.value), c.yen) << c.value;
    }
    EXPECT_EQ(FormatFixed(NAN, 3), "NAN");
}

TEST(NumberFormats, SignificantAndPlain)
{
    struct Case {
        double value;
        const char* significant2;
        const char* plain;
    };
    for (const Case c : {Case{2.34, "2.3", "2.34"}, Case{0.00517, "0.0052", "0.00517"}, Case{1234.6, "1235", "1234.6"},
                         Case{23.45, "23", "23.45"}, Case{0.1, "0.10", "0.1"}, Case{-0.0456, "-0.046", "-0.0456"},
                         Case{0, "0", "0"}, Case{1e-5, "0.000010", "0.00001"}, Case{1e20, "100000000000000000000", "100000000000000000000"}})
    {
        EXPECT_EQ(FormatSignificant(c.value, 2), c.significant2) << c.value;
        EXPECT_EQ(FormatPlain(c.value), c.plain) << c.value;
    }
    EXPECT_EQ(FormatSignificant(INFINITY, 2), "INF");
}

TEST(Cp932, RoundTripAndReplacement)
{
    const std::string text = "外壁Ａ面 ㎡㎜ﾟ∠Δ￥";
    const std::string bytes = Utf8ToCp932(text);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x8A);  // 外
    EXPECT_EQ(Cp932ToUtf8(bytes), text);
    EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b") << "no CP932 form";
    EXPECT_EQ(Utf8ToCp932("a\xff" "b"), "a?b") << "not UTF-8";
    EXPECT_EQ(Cp932ToUtf8("x\x81"), "x?") << "a lead byte cut off at the end";
    EXPECT_EQ(Cp932ToUtf8("\xa0z"), "?z");
}

TEST(Cp932, NamesKeepWholeCharactersWithinTwentyBytes)
{
    EXPECT_EQ(AreaNameFromUtf8("居間"), Utf8ToCp932("居間"));
    // Ten double-byte characters fill the 20 bytes and the letter after them
    // goes; behind a leading letter the tenth would be cut in two and goes whole.
    const std::string name = AreaNameFromUtf8("ああああああああああa");
    EXPECT_EQ(name.size(), 20u);
    const std::string cut = AreaNameFromUtf8("aああああああああああ");
    EXPECT_EQ(cut.size(), 19u);
    EXPECT_EQ(Cp932ToUtf8(cut), "aあああああああああ");
    EXPECT_EQ(AreaNameFromUtf8("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmnopqrst");
}

} // namespace
} // namespace kvx
