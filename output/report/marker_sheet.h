#pragma once

// A page to print for the photo: a square marker at its exact size with a
// ruler beside it, so the user can check the printer kept the scale.

#include <ostream>
#include <string>
#include <vector>

namespace kvx {

struct MarkerSheet {
    // The marker's cells row by row from the top, true for black, its black
    // border included; square.
    std::vector<std::vector<bool>> cells;
    double sideMm = 150;  // of the cells' whole square
    std::string caption;  // what the marker is, above it
    std::string check;    // the request to measure the ruler, under it
};

// Writes the sheet as a one-page A4 PDF at exact scale (1 mm = 72 / 25.4
// points).  Throws PdfError for cells that are no square or a side that does
// not fit the page.
void WriteMarkerSheet(const MarkerSheet& sheet, std::ostream& out);

} // namespace kvx
