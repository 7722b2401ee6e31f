#pragma once

// The measurements as a drawing for CAD: plane coordinates in millimetres,
// in DXF (AutoCAD 2000) through dxflib.

#include "measure/model.h"

#include <filesystem>
#include <string>

namespace kvx {

// The DXF file of the current setting: one layer per group for distances
// (a chain as one polyline) and one for areas (subtracted areas on layers of
// their own), a layer for the reference rectangle and one for labels.  In
// setting 4 both planes, the second's layers prefixed "P2_" and set beside the
// first so that they do not overlap; the planes current when called are
// current again on return.  Throws std::runtime_error when the measurements
// hold points that have no place on the plane.
std::string DxfBytes(const Document& doc);

// Text as the drawing keeps it: in the code page its header names (ANSI_932,
// the CP932 the working files keep names in).
std::string DxfText(const std::string& utf8);

} // namespace kvx
