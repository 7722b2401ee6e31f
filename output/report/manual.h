#pragma once

// The operating manual as a PDF: a plain text source laid out in the Japanese
// Gothic font with headings, paragraphs and page breaks.
//
// Source lines:
//   "% text"   the title, large and centred on the first page
//   "# text"   a chapter heading; "## text" a section heading
//   "・text"   a list item, wrapped under its own text
//   ""         a little space
//   anything else is a paragraph of its own.

#include <ostream>
#include <string>
#include <vector>

namespace kvx {

struct ManualLine {
    std::string text;  // UTF-8
    double x = 0;      // left end of the baseline, PDF points from the page's bottom-left
    double y = 0;
    double size = 0;   // font size in points
    bool bold = false;
};

struct ManualPage {
    std::vector<ManualLine> lines;
};

struct ManualLayout {
    double pageWidth = 596;
    double pageHeight = 842;
    double margin = 56;
    double bodySize = 10.5;
};

// The width of UTF-8 text in ems, as the Gothic font sets it: at most half an
// em a byte of its code page 932 form (single bytes are 479/1000, double 1000).
double TextEms(const std::string& utf8);

// Splits a paragraph into lines no wider than width ems, never inside a
// character, keeping closing punctuation with the text before it.
std::vector<std::string> WrapText(const std::string& utf8, double widthEms);

std::vector<ManualPage> LayoutManual(const std::string& source, const ManualLayout& layout = {});

// Writes the whole PDF; throws PdfError when the writer fails.
void WriteManual(const std::string& source, const std::string& title, std::ostream& out);

} // namespace kvx
