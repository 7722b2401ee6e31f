#pragma once

// Exports without the window: kalvex --batch PHOTO [options].  The photo is
// opened as the window opens it, with its saved measurements, on a private copy
// of the working files, so that the user's working folder is never touched.

#include "base/housekeeping.h"
#include "image/reference_finder.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace kvx {

struct BatchOptions {
    std::string photo;
    int setting = 1;  // 1..4
    int group = 0;    // 0..5
    bool names = true;
    std::optional<std::string> csv;
    std::optional<std::string> sd;
    std::optional<std::string> pdf;
    std::optional<std::string> dxf;
    std::optional<std::string> table;  // the results file of every setting
    std::optional<std::string> xlsx;   // the workbook of the same results
    bool pdfDetail = true;  // the report's detailed pages
    std::optional<std::string> rectified;
    std::optional<double> mmPerPixel;  // the photo's own at the reference when not given
    bool rectifiedOverlay = false;     // the marks drawn over the straight-on image
    // The reference found in the photo in place of the stored one; the
    // measurements stay and are measured against it.
    std::optional<FindWhat> findReference;
    std::optional<double> markerSide;  // mm; the preference's when not given
    // The sheet's size (A4, A3 or Letter) when the user says it: an A-series
    // outline is A4 or A3 alike, and without it batch mode refuses to guess.
    std::optional<FoundKind> sheetSize;
    // The lens for this run: the photo's stored choice, else a profile
    // matching its camera (empty); no correction ("none"); or the camera
    // profile in the named file.
    std::optional<std::string> lens;
    // Straight edges for this run in place of the stored ones: a file of
    // "x y x y x y ..." lines in the shown photo's pixels.
    std::optional<std::string> straightLines;
};

// 0 on success; otherwise one line on err and a non-zero code, with no
// partial file left behind.
int RunBatch(const BatchOptions& options, const Folders& folders, std::ostream& err);

} // namespace kvx
