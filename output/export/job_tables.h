#pragma once

// The tables of a job (a folder of photos measured one by one): the results
// file of every photo under one header, and the workbook for a spreadsheet.
// Both hold the same rows as each photo's own results file, with the same
// numbers (millimetres to the millimetre, m² to three decimals), so that a
// total in the workbook is the sum of those files' values.

#include "measure/model.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvx {

// One photo of a job as its outputs read it.
struct JobPhoto {
    std::string title;  // the job's name for the photo, UTF-8
    // Every setting of the photo that has a working file, as EverySetting
    // gives them; the document as opened is one of them.
    std::vector<Document> settings;
};

// The totals of one group: every distance and every added or subtracted area
// of every setting and plane, each as the results file writes its value.
struct JobGroupTotal {
    std::int32_t group = 0;
    std::int32_t distances = 0;
    std::int32_t areas = 0;
    double length = 0.0;  // mm
    double area = 0.0;    // m², added less subtracted
    // Each setting's unit price: per metre of length, per m² of area.
    double cost = 0.0;
};

// One total for each group that has a result, in group order.
std::vector<JobGroupTotal> PhotoTotals(const JobPhoto& photo);
// The totals of the groups over every photo, in group order.
std::vector<JobGroupTotal> JobTotals(const std::vector<JobPhoto>& photos);
// The same from each photo's own totals (PhotoTotals), so that a photo's
// totals worked out once can be summed again after an edit of another.
std::vector<JobGroupTotal> SumTotals(const std::vector<std::vector<JobGroupTotal>>& photos);

// The results file of the job: the results file's header once, then every
// photo's rows in the job's order, exactly as its own results file has them
// (its photo column names it).  sigma is the click precision in photo pixels.
std::string JobResultsTableBytes(const std::vector<JobPhoto>& photos, double sigma);

// The words of the workbook, in the interface's language: the caller's.
struct WorkbookTexts {
    std::string resultsSheet;   // sheet names: at most 31 characters, none of []:*?/\ .
    std::string totalsSheet;
    std::string photo, setting, plane, kind, number, group, name;
    std::string length, area;   // the kind of a row
    std::string uncertainty, unitPrice, cost;  // captions; the units follow them
    std::string mm, m2, m;      // units as the captions show them
    std::string byPhoto, byGroup, total;  // titles of the totals' tables
};

class WorkbookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The .xlsx file's bytes.  The results sheet has a row per distance and area
// with real numbers and, for each, its unit price in a cell of its own and
// its cost as a formula over its quantity and that price; the totals sheet
// sums them by photo and group and by group over the job with formulas,
// their values stored beside them.  scratch is a private folder for the
// library's own files (the workbook is assembled there before its bytes are
// read back).  Throws WorkbookError.
std::string WorkbookBytes(const std::vector<JobPhoto>& photos, double sigma, const WorkbookTexts& texts,
                          const std::filesystem::path& scratch);

} // namespace kvx
