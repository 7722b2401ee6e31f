#pragma once

// The image processing of a setting: WorkImage rebuilt from SourceImage in a
// fixed order (rotation, noise removal, sharpening, saturation, brightness,
// channel inversion), each step skipped while its setting is 0 or off.

#include "image/photo.h"
#include "measure/model.h"

namespace kvx {

// The photo with the settings applied; an untouched copy when all are 0.
Photo Effect(const Photo& source, const ImageEffects& settings, const Progress& progress = {});

} // namespace kvx
