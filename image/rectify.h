#pragma once

// The reference plane seen straight on: the photo warped so that the plane's
// millimetres become square pixels of a chosen size.

#include "base/app_settings.h"
#include "measure/model.h"

#include <QImage>

#include <string>

namespace kvx {

struct Rectified {
    QImage image;        // with its resolution (dots per metre) set
    std::string world;   // the world file's six lines, in millimetres, y up
    std::string error;   // why there is no image
};

// The largest straight-on image made, in pixels.
inline constexpr double kRectifiedPixels = 100e6;

// The millimetres a photo pixel covers at the reference: the default size of
// a straight-on pixel.  0 without a reference.
double ReferenceMmPerPixel(const Document& doc);

// The current plane of doc straight on at mmPerPixel, covering the reference
// and every mark of the plane with a margin.  An error (and no image) without
// a reference, for a size that is not positive, or past kRectifiedPixels.
// With overlay, the reference, the distances and the areas are drawn over it
// in the colours of settings.
Rectified Rectify(const QImage& photo, const Document& doc, double mmPerPixel, const TAppSettings* overlay = nullptr);

} // namespace kvx
