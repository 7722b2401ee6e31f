#pragma once

#include "base/tool_mode.h"
#include "measure/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <type_traits>

namespace kvx {

inline std::ostream& operator<<(std::ostream& os, const TDPoint& p)
{
    return os << "(" << p.x << ", " << p.y << ")";
}

inline std::ostream& operator<<(std::ostream& os, const TPoint& p)
{
    return os << "(" << p.x << ", " << p.y << ")";
}

// A value of one of the program's named enums (a tool mode, a rubber band, a
// gesture) by the number the error trail records for it.
template <class E>
    requires std::is_enum_v<E>
std::ostream& operator<<(std::ostream& os, E value)
{
    return os << static_cast<long long>(value);
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
