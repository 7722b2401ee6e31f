#pragma once

#include "base/tool_mode.h"
#include "measure/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

namespace kvx {

inline std::ostream& operator<<(std::ostream& os, const TDPoint& p)
{
    return os << "(" << p.x << ", " << p.y << ")";
}

inline std::ostream& operator<<(std::ostream& os, const TPoint& p)
{
    return os << "(" << p.x << ", " << p.y << ")";
}

// A tool mode by the number the error trail records for it.
inline std::ostream& operator<<(std::ostream& os, uCommand mode)
{
    return os << "mode " << ModeNumber(mode);
}

namespace test {

// Both points and the tolerance in the failure message.
inline ::testing::AssertionResult Near(const TDPoint& actual, const TDPoint& expected, double tolerance)
{
    const double dx = std::fabs(actual.x - expected.x);
    const double dy = std::fabs(actual.y - expected.y);
    if (dx <= tolerance && dy <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "actual " << actual << " expected " << expected << " tolerance "
                                         << tolerance << " (off by " << dx << ", " << dy << ")";
}

} // namespace test
} // namespace kvx
