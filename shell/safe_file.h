#pragma once

// Writes that replace a user's data go to a temporary file beside the target
// and are renamed over it, so a crash or a full disk never leaves a half-written
// file where a good one stood.

#include <filesystem>
#include <string_view>

namespace kvx {

// The temporary name a replacement is written under before it takes the target's place.
std::filesystem::path TemporaryBeside(const std::filesystem::path& target);

// Renames the finished temporary over target; on failure the temporary is
// removed and target left as it was.
bool MoveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& target);

// False (and the target untouched) when anything fails.
bool WriteFileReplacing(const std::filesystem::path& target, std::string_view bytes);
bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether p names an existing regular file (never throws).
bool IsFile(const std::filesystem::path& p);

} // namespace kvx
