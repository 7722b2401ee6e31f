#include "base/error_trail.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kvx {
namespace {

TEST(ErrorTrail, NestedGuardsLeaveInnermostFirstAndRethrowTheSameError)
{
    ErrorTrail& trail = ErrorTrail::global();
    const std::size_t before = trail.size();
    int step = 0;
    try {
        Guard("Outer", [&] {
            GuardWith([&] { return TrailLine("Inner", "process", step); }, [&] {
                step = 3;
                throw std::range_error("boom");
            });
        });
        FAIL() << "the error must travel on";
    } catch (const std::range_error& e) {
        EXPECT_STREQ(e.what(), "boom");
    }
    ASSERT_EQ(trail.size(), before + 2);
    EXPECT_EQ(trail.lines()[before], "Inner  [process = 3]");
    EXPECT_EQ(trail.lines()[before + 1], "Outer");
}

TEST(ErrorTrail, SuccessAddsNothingAndJoinedUsesCrLf)
{
    ErrorTrail& trail = ErrorTrail::global();
    const std::size_t before = trail.size();
    EXPECT_EQ(Guard("Quiet", [] { return 7; }), 7);
    EXPECT_EQ(trail.size(), before);

    ErrorTrail local;
    local.append("a");
    local.append("b");
    EXPECT_EQ(local.joined(), "a\r\nb");
}

} // namespace
} // namespace kvx
