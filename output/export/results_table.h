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
