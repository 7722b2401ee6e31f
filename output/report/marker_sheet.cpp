#include "output/report/marker_sheet.h"

#include "output/pdf/pdf_maker.h"

#include <string>

namespace kvx {

namespace {

constexpr int kGothic = 7;
constexpr double kPointsPerMm = 72.0 / 25.4;
// A4 as the writer takes it (whole points, a fraction over the paper).
constexpr double kPageWidth = 596, kPageHeight = 842;
constexpr double kTopMargin = 72;

} // namespace

void WriteMarkerSheet(const MarkerSheet& sheet, std::ostream& out)
{
    const std::size_t n = sheet.cells.size();
    if (n == 0)
        throw PdfError("a marker without cells");
    for (const auto& row : sheet.cells)
        if (row.size() != n)
            throw PdfError("a marker that is not square");
    const double side = sheet.sideMm * kPointsPerMm;
    // The marker and the ruler under it must fit within the margins, the
    // paper's white around the marker its quiet zone.
    if (!(sheet.sideMm > 0) || side > kPageWidth - 40 ||
        side > kPageHeight - kTopMargin - 200)
        throw PdfError("a marker of " + FormatNumber(sheet.sideMm) + " mm does not fit on A4");

    TPDFMaker maker;
    maker.Title = sheet.caption;
    maker.Creator = "Kalvex";
    maker.BeginDoc(&out);
    TPDFContents& c = maker.Contents();
    c.LineColor = 0;
    c.TextColor = 0;
    c.FontIndex = kGothic;

    const double cell = side / static_cast<double>(n);
    const double left = (kPageWidth - side) / 2;
    const double top = kPageHeight - kTopMargin;
    c.SetFontSize(11);
    c.TextOut(sheet.caption, left, top + 2 * cell / 3 + 12, 0);
    // Each run of black cells in a row is one stroke as thick as the row,
    // with butt ends: a filled rectangle of exactly the cells' extent.
    c.SetLineWidth(cell);
    for (std::size_t r = 0; r < n; ++r) {
        const double y = top - (static_cast<double>(r) + 0.5) * cell;
        std::size_t k = 0;
        while (k < n) {
            if (!sheet.cells[r][k]) {
                ++k;
                continue;
            }
            std::size_t end = k;
            while (end < n && sheet.cells[r][end])
                ++end;
            c.DrawLine(left + static_cast<double>(k) * cell, y, left + static_cast<double>(end) * cell, y);
            k = end;
        }
    }

    // The ruler: 100 mm with a tick each millimetre, longer each 5 and 10.
    const double rulerLeft = (kPageWidth - 100 * kPointsPerMm) / 2;
    const double rulerY = top - side - cell - 50;
    c.SetLineWidth(0.3);
    c.DrawLine(rulerLeft, rulerY, rulerLeft + 100 * kPointsPerMm, rulerY);
    c.SetFontSize(8);
    for (int mm = 0; mm <= 100; ++mm) {
        const double x = rulerLeft + mm * kPointsPerMm;
        const double tick = mm % 10 == 0 ? 4 * kPointsPerMm : mm % 5 == 0 ? 3 * kPointsPerMm : 2 * kPointsPerMm;
        c.DrawLine(x, rulerY, x, rulerY + tick);
        if (mm % 10 == 0) {
            const std::string label = std::to_string(mm / 10);
            c.TextOut(label, x - 2.2 * static_cast<double>(label.size()), rulerY + tick + 3, 0);
        }
    }
    c.TextOut("cm", rulerLeft + 100 * kPointsPerMm + 8, rulerY + 4 * kPointsPerMm + 3, 0);
    c.SetFontSize(11);
    c.TextOut(sheet.check, rulerLeft, rulerY - 24, 0);
    maker.EndDoc();
}

} // namespace kvx
