#pragma once

// The job's report: a summary page with every photo's totals by group and
// the job's totals by group, then each photo's own pages exactly as its own
// report draws them (the photo with its marks, and its detailed pages).

#include "output/export/job_tables.h"
#include "output/report/report.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kvx {

struct JobReportPhoto {
    JobPhoto photo;
    // The document as the photo was opened: its pages draw it.
    Document doc;
    TPDFImage image;  // the photo already at page.W x page.H pixels
    ReportPage page;
    // The detailed pages after the photo's page; none without.
    std::optional<ReportDetail> detail;
};

struct JobReportHeading {
    std::string job;   // the job's name, UTF-8
    std::string date;  // as it is to be printed
};

// process follows the steps, for the error trail.
void WriteJobReport(std::ostream& out, const std::vector<JobReportPhoto>& photos, const JobReportHeading& heading,
                    const TAppSettings& settings, int& process);

} // namespace kvx
