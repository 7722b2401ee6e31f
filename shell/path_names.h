#pragma once

// File names are bytes; a QString holds text.  A name that is not UTF-8
// (a camera's Latin-1, an old disk) would lose its odd bytes on the way
// through QString and name another file, so each byte that is not part of
// valid UTF-8 travels as the lone surrogate U+DC80 + byte and comes back
// as that byte.  Valid names are plain text both ways.

#include <QString>

#include <filesystem>
#include <string>

namespace kvx {

// The name's bytes back from a QString made by FromPath (or any text).
std::filesystem::path ToPath(const QString& name);
std::string ToBytes(const QString& name);

// A file name's bytes as a QString that ToPath turns back into the same bytes.
QString FromPath(const std::filesystem::path& name);
QString FromBytes(const std::string& bytes);

// Whether Qt's own file classes can open the name as it is (it is valid UTF-8).
bool QtCanName(const std::string& bytes);

} // namespace kvx
