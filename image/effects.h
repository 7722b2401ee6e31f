#pragma once

// The image processing of a setting: WorkImage rebuilt from SourceImage in a
// fixed order (rotation, noise removal, sharpening, saturation, brightness,
// channel inversion), each step skipped while its setting is 0 or off.  The
// progress goes up as each step that runs is done.

#include "image/photo.h"
#include "measure/model.h"

namespace kvx {

// The noise removal of a level 1..255: the median of the square window of
// aperture pixels, blended with weight (0..1] over the median two pixels
// narrower (the photo itself below 3 x 3).  Each level gives its own strength.
struct NoiseFilter {
    int aperture = 3;
    double weight = 1.0;
    friend bool operator==(const NoiseFilter&, const NoiseFilter&) = default;
};
NoiseFilter NoiseStrength(int level);

// The photo with the settings applied; an untouched copy when all are 0.
Photo Effect(const Photo& source, const ImageEffects& settings, const Progress& progress = {});

} // namespace kvx
