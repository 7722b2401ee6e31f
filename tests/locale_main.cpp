// The tests take their locale from the environment as the program does (Qt sets
// it when the program starts), so a run under a locale that writes decimals
// with a comma shows every number that follows the user's locale.  The C++
// streams get it too: a number streamed into a file must not depend on it either.

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <stdexcept>

int main(int argc, char** argv)
{
    try {
        std::locale::global(std::locale(""));
    } catch (const std::runtime_error&) {
        std::setlocale(LC_ALL, "");
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
