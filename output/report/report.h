#pragma once

// The one-page PDF report: the photo fitted to an A4 page and, over it, the
// reference, the measurement base, the base lines, and the distances and areas
// of the current group with their labels, drawn as vectors.

#include "measure/model.h"
#include "output/pdf/pdf_maker.h"
#include "base/app_settings.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

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

// What the marks of a report page are drawn on, in page points from the
// page's bottom-left corner, y up.  A dash is 0 (solid), 1 (short) or 2 (long);
// a text is one or more lines (separated by '\r'), its first baseline starting
// at (x, y); colours are 0x00BBGGRR.  LineColour is the colour of the last pen.
class ReportSurface {
public:
    virtual ~ReportSurface() = default;
    virtual void Pen(double width, int dash, std::int32_t colour) = 0;
    virtual std::int32_t LineColour() const = 0;
    virtual void Line(double x1, double y1, double x2, double y2) = 0;
    virtual void Curve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3) = 0;
    virtual void Text(const std::string& text, double x, double y, double size, std::int32_t colour) = 0;
};

// The marks of the report over the photo as placed on page: the PDF report and
// the printed page are the same page.  In the two-plane setting both planes are
// drawn, each from a view of doc: doc itself is never exchanged.
void DrawReportPage(ReportSurface& surface, const Document& doc, const TAppSettings& settings, const ReportPage& page,
                    int& process);

// What the detailed pages say of the photo besides its measurements.
struct ReportDetail {
    std::string photo;  // the photo's file name, UTF-8
    std::string date;   // as it is to be printed
    // The camera's particulars the photo tells (label, value), in the
    // interface's language; none for a photo that tells none.
    std::vector<std::pair<std::string, std::string>> camera;
};

// Writes the report of doc onto a PDF stream; image is the photo already at
// page.W x page.H pixels.  In the two-plane setting both planes are drawn,
// and the details begin with the second one, the plane the window makes
// current after a report.  process follows the steps,
// for the error trail.  With detail, pages follow the first (which stays as
// it is) with the photo's particulars, a table of every distance and area of
// each plane with its uncertainty for the settings' click precision, and the
// totals of each group with theirs and their cost, then the check distances
// with their summary.
void WriteReport(std::ostream& out, const Document& doc, const TAppSettings& settings, const TPDFImage& image,
                 const ReportPage& page, int& process, const ReportDetail* detail = nullptr);

// The pages of doc's report added to a document under way, as WriteReport
// draws them: the photo's page on a new page of the report's size, then
// with detail its detailed pages.
void AddReportPages(TPDFMaker& maker, const Document& doc, const TAppSettings& settings, const TPDFImage& image,
                    const ReportPage& page, int& process, const ReportDetail* detail);

// Text in the report's gothic, black, at (x, y) in page points; the
// characters the font lacks are written as it has them.
void ReportText(TPDFContents& c, const std::string& text, double x, double y, double size);

} // namespace kvx
