#pragma once

// The measurements of the active setting as text for other programs: the CSV
// file of every distance and area with its values, and the ".jts" file of the
// area outlines of one group in plane millimetres.  Both are CP932 with CR LF
// line ends; the writers return the bytes, so what is written can be checked
// byte for byte and written in one piece.

#include "measure/model.h"

#include <string>

namespace kvx {

std::string CsvBytes(const Document& doc, bool namesShown);
std::string SdBytes(const Document& doc, int group);

} // namespace kvx
