#pragma once

// The PDF report and the printed page of the open photo, for the window and
// for batch mode alike.

#include "image/photo.h"
#include "measure/model.h"
#include "base/app_settings.h"
#include "output/report/report.h"

#include <QString>

#include <filesystem>

class QImage;
class QPrinter;

namespace kvx {

// The photo at exactly width x height pixels as RGB rows for the PDF.
TPDFImage ReportImage(const QImage& photo, int width, int height);

// The particulars of the photo its report's detailed pages tell, dated today.
ReportDetail PhotoDetail(const Document& doc);

// Writes the report of doc over work to path (under a temporary name, renamed
// into place).  The photo goes through "~.bmp" in tempFolder as the report has
// always taken it.  With settings.ReportDetailFlag the detailed pages follow,
// dated today.  Throws with process set to the step that failed.
void WritePdfReport(const QString& path, const Document& doc, const TAppSettings& settings, const Photo& work,
                    const std::filesystem::path& tempFolder, int& process, const Progress& progress = {});

// Prints the page of the PDF report: the photo placed on an A4 page in the
// report's orientation (the page fitted to the paper chosen) and the report's
// marks over it.  Lines stop at the photo's edges.
void PrintPhoto(QPrinter& printer, const Document& doc, const TAppSettings& settings, const Photo& work);

} // namespace kvx
