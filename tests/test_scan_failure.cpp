// A device that fails while it scans (SANE's test backend told to fail its
// reads by the configuration this test runs with).

#include "image/scanner.h"

#include "sane_pin.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

TEST(Scanner, AFailureMidScanIsReportedNotDelivered)
{
    testing_support::PinSaneTestBackend();
    const ScanDevices devices = ListScanDevices();
    ASSERT_TRUE(devices.ok);
    ASSERT_FALSE(devices.names.empty());
    int calls = 0;
    const ScanResult r = ScanImage(devices.names.front(), [&](int) {
        ++calls;
        return true;
    });
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.cancelled);
    EXPECT_TRUE(r.rgb.empty());
    EXPECT_FALSE(r.error.empty());
}

} // namespace
} // namespace kvx
