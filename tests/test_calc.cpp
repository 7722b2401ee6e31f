#include "widgets/calc_logic.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

TEST(CalcPad, KeySequences)
{
    struct Case {
        double start;
        std::string keys;
        std::string display;
        bool closed;
    };
    const std::string C(1, CalcPad::kClear);
    const std::string BS(1, CalcPad::kBackspace);
    const std::string Enter(1, CalcPad::kEnter);
    const Case cases[] = {
        {1000, Enter, "1000.00 ", true},
        {0, "2+3=", "5.00 ", false},
        {0, "2+3==", "8.00 ", false},
        {0, "7/0=", "0.00 ", false},
        {0, "1.234", "1.23 ", false},
        {0, "5*4\r", "20.00 ", true},
        {0, "12+3" + C + "4=", "16.00 ", false},     // one C clears the number typed
        {0, "12+3" + C + C + "4=", "4.00 ", false},  // two clear everything
        {0, "1.5" + BS + BS + "7", "17.00 ", false},  // back over the point: integers again
        {0, "9-4-", "5.00 ", false},
        {0, "3*", "3.00 ", false},
        {0, "1..2", "1.20 ", false},
        {0, "99999999999999999", "1.0000000000000E15 ", false},  // 15 digits taken
        {0, "abc", "0.00 ", false},
        {0, "2.5*2=", "5.00 ", false},  // the point is the point in every locale
        {0, "0.25+0.5=", "0.75 ", false},
    };
    for (const Case& c : cases) {
        CalcPad pad(c.start);
        pad.Keys(c.keys);
        EXPECT_EQ(pad.DisplayText(), c.display) << c.keys;
        EXPECT_EQ(pad.Closed(), c.closed) << c.keys;
    }
}

} // namespace
} // namespace kvx
