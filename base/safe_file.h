#pragma once

// Writes that replace a user's data go to a temporary file beside the target
// and are renamed over it, so a crash or a full disk never leaves a half-written
// file where a good one stood.
//
// The rename replaces whatever stands at the name, so the target is looked at
// first: a symbolic link is followed and the file it names is replaced (the
// link stays a link); a device or a pipe (/dev/null, /dev/stdout, a FIFO) is
// written straight into, as a shell redirection would; a folder is refused
// and left alone.

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace kvx {

// The temporary name a replacement is written under before it takes the target's place.
std::filesystem::path TemporaryBeside(const std::filesystem::path& target);

// Whether p is named as such a temporary (one left behind by a save that was
// killed before its rename).
bool IsTemporaryName(const std::filesystem::path& p);

// Renames the finished temporary over target; on failure the temporary is
// removed and target left as it was.
bool MoveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& target);

// The name a write to target really replaces: target with its symbolic links
// followed, also a dangling one (the write creates the file it names); empty
// for links that go round in a loop.
std::filesystem::path WriteDestination(const std::filesystem::path& target);

// Writes what fill puts into the stream to target as described above.  False
// (and the target untouched, for a file) when target is a folder, when the
// stream fails or when fill returns false.  An exception from fill leaves no
// temporary behind and passes on.
bool WriteReplacing(const std::filesystem::path& target, const std::function<bool(std::ostream&)>& fill);

// False (and the target untouched) when anything fails.
bool WriteFileReplacing(const std::filesystem::path& target, std::string_view bytes);
bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether p names an existing regular file (never throws).
bool IsFile(const std::filesystem::path& p);

// Whether p names an existing folder, also through a symbolic link (never throws).
bool IsFolder(const std::filesystem::path& p);

// The message for a write refused before it starts: "'p' はフォルダです. …"
// when p is a folder, empty when the write may go ahead.
std::string RefusedWrite(const std::filesystem::path& p);

} // namespace kvx
