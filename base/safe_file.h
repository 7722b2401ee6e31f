#pragma once

// Writes that replace a user's data go to a temporary file beside the target
// and are renamed over it, so a crash or a full disk never leaves a half-written
// file where a good one stood.
//
// Each write makes a temporary of its own, under a name nobody else uses and
// created exclusively without following links: two programs writing the same
// file never share a temporary (the last rename wins, whole), and a link
// planted at a temporary's name redirects nothing.  The temporary is synced
// before the rename and its folder after it, so a power cut leaves the old
// file or the new one, never an empty one.
//
// The rename replaces whatever stands at the name, so the target is looked at
// first: a symbolic link is followed and the file it names is replaced (the
// link stays a link); a device or a pipe (/dev/null, /dev/stdout, a FIFO) is
// written straight into, as a shell redirection would; a folder is refused
// and left alone.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <system_error>

namespace kvx {

// The longest file name (one component of a path) the system takes, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;

// A fresh temporary name beside target, different at every call, which
// always fits in kMaxNameBytes: "~<front of the name>.<pid>-<random>.new".
std::filesystem::path TemporaryBeside(const std::filesystem::path& target);

// Opens file for writing only when it makes it: nothing may stand at the
// name, not even a link (which is never followed).  Mode 0600, closed on
// exec; the descriptor, or -1 with errno set.
int CreateExclusive(const std::filesystem::path& file);

// Whether p is named as such a temporary (one left behind by a save that was
// killed before its rename), also in the older form "~<name>.new".
bool IsTemporaryName(const std::filesystem::path& p);

// The process whose save made the temporary p, when p carries one in its
// name (only names made by TemporaryBeside do); 0 otherwise.
long TemporaryOwner(const std::filesystem::path& p);

// Whether the process pid still runs on this machine (a process of another
// user counts as running).
bool ProcessAlive(long pid);

// Removes from folder the temporaries left by saves of ours that were killed:
// names made by TemporaryBeside, regular files, untouched for staleAfter, whose
// process is gone.  Anything else, a user's file that merely looks alike
// among them, is left alone.
void PruneStaleTemporaries(const std::filesystem::path& folder,
                           std::chrono::minutes staleAfter = std::chrono::minutes(10));

// Renames the finished temporary over target and makes the rename durable;
// on failure the temporary is removed and target left as it was.
bool MoveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& target,
                   std::error_code* why = nullptr);

// Syncs the folder's entries to the disk (a rename or a new file in it).
// Folders that cannot be synced on their file system count as synced.
bool SyncFolder(const std::filesystem::path& folder, std::error_code* why = nullptr);

// Syncs an existing file's bytes and its folder's entry to the disk.
bool SyncFile(const std::filesystem::path& file, std::error_code* why = nullptr);

// The name a write to target really replaces: target with its symbolic links
// followed, also a dangling one (the write creates the file it names); empty
// for links that go round in a loop.
std::filesystem::path WriteDestination(const std::filesystem::path& target);

// Writes what fill puts into the stream to target as described above.  False
// (and the target untouched, for a file) when target is a folder, when the
// stream fails, when the bytes cannot be synced or when fill returns false;
// why then holds the system's reason, if there was one.  An exception from fill
// leaves no temporary behind and passes on.
bool WriteReplacing(const std::filesystem::path& target, const std::function<bool(std::ostream&)>& fill,
                    std::error_code* why = nullptr);

// False (and the target untouched) when anything fails.
bool WriteFileReplacing(const std::filesystem::path& target, std::string_view bytes, std::error_code* why = nullptr);
bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                       std::error_code* why = nullptr);

// Whether p names an existing regular file (never throws).
bool IsFile(const std::filesystem::path& p);

// Whether p names an existing folder, also through a symbolic link (never throws).
bool IsFolder(const std::filesystem::path& p);

// The length in bytes of the last name in p when it is longer than a file
// name may be, 0 when it fits.
std::size_t OverlongNameBytes(const std::filesystem::path& p);

// The message for a write refused before it starts: "'p' はフォルダです. …"
// when p is a folder, empty when the write may go ahead.
std::string RefusedWrite(const std::filesystem::path& p);

// Why a write to p may have failed, for the user: the name's length when it
// is too long, else the system's reason; empty when neither says anything.
std::string WriteFailureReason(const std::filesystem::path& p, const std::error_code& why);

} // namespace kvx
