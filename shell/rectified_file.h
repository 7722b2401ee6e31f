#pragma once

#include "base/app_settings.h"
#include "measure/model.h"

#include <optional>
#include <string>

class QImage;

namespace kvx {

// Writes the current plane of doc straight on as a PNG at path with its
// resolution, and a world file (.pgw) beside it; in setting 4 the other plane
// too, into the same name with "_2" before the suffix.  mmPerPixel: the
// photo's own at the reference when not given.  The planes current on return
// are those on entry.  An empty string, or why nothing (or not all) was written.
// With overlay, the marks are drawn over it in its colours.
std::string WriteRectified(const std::string& path, const Document& doc, const QImage& photo, std::optional<double> mmPerPixel,
                           const TAppSettings* overlay = nullptr);

} // namespace kvx
