#pragma once

// Scanning through SANE: the devices it knows, and one colour page from one of
// them.  SANE is opened for each operation and closed again, so a device that
// came or went since the last time is seen.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kvx {

struct ScanDevices {
    bool ok = false;
    std::vector<std::string> names;
};

ScanDevices ListScanDevices();

struct ScanResult {
    bool ok = false;
    bool cancelled = false;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows from the top, 3 bytes a pixel
    std::string error;
};

// Scans a colour page at about 150 dpi.  progress gets 0..100 and returns false
// to cancel.
ScanResult ScanImage(const std::string& device, const std::function<bool(int)>& progress);

} // namespace kvx
