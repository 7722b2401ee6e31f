#pragma once

// The results file: every distance and area of every setting of the photo
// (both planes of setting 4), each with its standard uncertainty, one row
// each, for a spreadsheet.  UTF-8 with a byte-order mark (so that
// spreadsheets read it as UTF-8), comma-separated, fields quoted as RFC 4180
// has it, CR LF line ends, numbers with a point whatever the locale.  Values
// are the CSV's numbers to the CSV's decimals: millimetres for distances, m²
// for areas, negative for a subtracted area.  Check distances follow each
// plane's results as rows of their own kind, with the length the user knows.

#include "measure/model.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// The header row, in the order of the columns.
inline constexpr std::string_view kResultsTableHeader =
    "photo,setting,plane,kind,number,group,name,value,unit,uncertainty,slope_v,slope_h,corrected,check_length";

// The documents of the photo's settings that have a working file, in
// setting order: the current setting as doc holds it (saved or not), the
// others as the working files in folder hold them.  A damaged working file
// throws WorkFileReadError.
std::vector<Document> EverySetting(const Document& doc, const std::filesystem::path& folder);

// The file's bytes; sigma is the click precision in photo pixels.
std::string ResultsTableBytes(const std::vector<Document>& settings, double sigma);

// One row of the file, its fields as the file writes them.
struct ResultsTableRow {
    int setting = 1;
    int plane = 1;
    std::string kind;  // "distance", "area" or "check"
    std::int32_t number = 0;
    std::int32_t group = -1;  // none for a check distance
    std::string name;         // UTF-8, as typed
    std::string value, unit, uncertainty, slopeV, slopeH, corrected, checkLength;
    // The unit price of the row's setting (not a column of the file).
    double unitPrice = 0.0;
};

// The rows of the file, in its order.
std::vector<ResultsTableRow> ResultsTableRows(const std::vector<Document>& settings, double sigma);
// The photo column of the file: the photo's file name.
std::string ResultsTablePhoto(const std::vector<Document>& settings);
// The byte-order mark and the header row; then rows of one photo.
std::string ResultsTableHead();
std::string ResultsTableLines(const std::string& photo, const std::vector<ResultsTableRow>& rows);

// A field as RFC 4180 writes it: quoted, with its quotes doubled, when it
// holds a comma, a quote or a line break.
std::string TableField(std::string_view text);

// A field of text the user typed or named (an area's name, the photo's file
// name) for a file a spreadsheet opens: as TableField, and when it begins with
// a character a spreadsheet takes for the start of a formula (= + - @, a tab or
// a carriage return) it is written after an apostrophe, so the name shows as
// text instead of running as a formula.
std::string TextField(std::string_view text);

} // namespace kvx
