#pragma once

// The outputs of a job of many photos: its report, its results file and its
// workbook.  Each photo is opened the usual way, one at a time, and what its
// outputs need is taken from it while it is open (TakeJobPhoto); the photo
// can be closed before the next is opened.  The writers write under a
// temporary name beside the target and rename it into place, as every
// export does, and throw std::runtime_error with the user's message.

#include "image/photo.h"
#include "measure/model.h"
#include "output/report/job_report.h"
#include "base/app_settings.h"

#include <QString>

#include <filesystem>
#include <string>
#include <vector>

namespace kvx {

// What the job's outputs need of one open photo: doc as opened, work the
// photo as shown, workFolder the folder of its working files (for its other
// settings).  With withDetail the report's detailed pages follow its page.
// Throws WorkFileReadError when another setting's working file is damaged.
JobReportPhoto TakeJobPhoto(const std::string& title, const Document& doc, const Photo& work,
                            const std::filesystem::path& workFolder, bool withDetail = true);

// The workbook's words in the interface's language.
WorkbookTexts JobWorkbookTexts();

void WriteJobWorkbook(const QString& path, const std::vector<JobReportPhoto>& photos, const TAppSettings& settings);
void WriteJobResultsTable(const QString& path, const std::vector<JobReportPhoto>& photos, const TAppSettings& settings);
// The job's name heads the summary page, dated today.
void WriteJobReportFile(const QString& path, const std::vector<JobReportPhoto>& photos, const std::string& jobName,
                        const TAppSettings& settings, int& process);

} // namespace kvx
