#pragma once

// Start-up and shutdown chores that need no window: where the program keeps its
// files, the list of recent photos, pruning old working files, the error log.

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace kvx {

class ErrorTrail;

struct Folders {
    std::filesystem::path ExeFolder;   // home of "kvx.ini", "history.txt", "Manual"
    std::filesystem::path TempFolder;  // working files, "error.txt", temporary bitmaps
    // The home named by --home, KALVEX_HOME or the executable's folder when it
    // could not be written and another took its place; empty otherwise.
    std::filesystem::path RefusedHome;

    std::filesystem::path IniFile() const { return ExeFolder / "kvx.ini"; }
    // The camera profiles the user calibrated, one file each.
    std::filesystem::path ProfilesFolder() const { return ExeFolder / "Profiles"; }
};

// The program's folder in the user's data: $XDG_DATA_HOME/kalvex, or
// ~/.local/share/kalvex when that variable is unset or not absolute.
std::filesystem::path UserDataFolder(const char* xdgDataHome, const char* userHome);

// Whether files can be created in folder (tried, not guessed from modes).
bool FolderWritable(const std::filesystem::path& folder);

// ExeFolder is the executable's folder unless --home or KALVEX_HOME names
// another (the option wins).  A home that cannot be written (an installed copy
// beside itself, a read-only mount, a name taken by a file) gives way to
// userDataFolder, and RefusedHome names it; a home named by the option or the
// environment is made first when it does not exist.  Without userDataFolder
// the home stays as named.  TempFolder is "Temp" inside ExeFolder.
Folders ResolveFolders(const std::optional<std::string>& homeOption, const char* homeEnvironment,
                       const std::filesystem::path& executableFolder,
                       const std::filesystem::path& userDataFolder = {});

// The folders a run that only reads (batch mode) takes: a home refused for
// writing is still where its photos' measurements were kept, so it is read
// when it has a working folder; otherwise folders as they are.
Folders ReadingFolders(const Folders& folders);

// Creates TempFolder with any missing parents; false when it cannot be made.
bool EnsureTempFolder(const Folders& folders);

// Moves path to the front of the recent photos [1..5]: an entry equal to it
// (exact, case-sensitive) moves up, otherwise the oldest drops out.
void PushRecent(std::array<std::string, 6>& lastFileName, const std::string& path);

// Deletes every "*.tmp" file in folder whose modification time lies limitDays
// or more before now.  Nothing is deleted when limitDays is 0 or less.
void PruneWorkingFiles(const std::filesystem::path& folder, int limitDays,
                       std::filesystem::file_time_type now = std::filesystem::file_time_type::clock::now());

// Leaves the trail as "error.txt" (one line each, CR LF) when it holds lines.
// False when it could not be written.
bool WriteErrorLog(const ErrorTrail& trail, const std::filesystem::path& tempFolder);

} // namespace kvx
