#pragma once

// The one-page PDF report: the photo fitted to an A4 page and, over it, the
// reference, the measurement base, the base lines, and the distances and areas
// of the current group with their labels, drawn as vectors.

#include "measure/model.h"
#include "output/pdf/pdf_maker.h"
#include "base/app_settings.h"

#include <ostream>

namespace kvx {

struct ReportPage {
    int width = 0;   // points
    int height = 0;
    double s = 1;    // points per image pixel
    int W = 0;       // placed image size in points (= pixels of the embedded image)
    int H = 0;
    int offX = 0;
    int offY = 0;
};

// Landscape A4 for a photo wider than high, portrait otherwise; the photo as
// large as fits, centred.
ReportPage ReportPageFor(int imageWidth, int imageHeight);

// Writes the report of doc onto a PDF stream; image is the photo already at
// page.W x page.H pixels.  In the two-plane setting both planes are drawn and
// the second stays the current one afterwards.  process follows the steps,
// for the error trail.
void WriteReport(std::ostream& out, Document& doc, const TAppSettings& settings, const TPDFImage& image,
                 const ReportPage& page, int& process);

} // namespace kvx
