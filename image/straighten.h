#pragma once

// The shown photo as the ideal camera would have shown it: the lens in force
// taken out, so that what is straight in reality is straight on the screen.
// The result has the shown photo's frame and size (ideal pixels keep the
// photo's axes and scale, measure/lens.h), so a point of it is an ideal point
// of measure/ideal_view.h as it stands.

#include "image/photo.h"
#include "measure/model.h"

#include <QImage>

namespace kvx {

// Rows of the straightened image remapped at a time: the look-up maps of a
// band are all the memory the remap takes besides the two images.
inline constexpr int kStraightenBand = 256;

// shown (the photo as doc shows it, its orientation and quarter turn
// applied) straightened through doc's lens in force.  Ideal points no photo
// pixel shows are left white.  A null image when shown is null or no memory
// is left for the result; shown itself when no correction is in force.
QImage StraightenedImage(const QImage& shown, const Document& doc, const Progress& progress = {});

} // namespace kvx
