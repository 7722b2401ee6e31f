#include "base/housekeeping.h"

#include "base/app_settings.h"

#include "base/error_trail.h"
#include "base/safe_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <system_error>

namespace kvx {

namespace fs = std::filesystem;

fs::path UserDataFolder(const char* xdgDataHome, const char* userHome)
{
    if (xdgDataHome && *xdgDataHome && fs::path(xdgDataHome).is_absolute())
        return fs::path(xdgDataHome) / "kalvex";
    return fs::path(userHome && *userHome ? userHome : ".") / ".local" / "share" / "kalvex";
}

bool FolderWritable(const fs::path& folder)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return false;
    // Permission bits say nothing about read-only mounts or access lists; a
    // file that can be made settles it.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path probe = folder / (".kvx-write-probe-" + std::to_string(attempt));
        if (fs::exists(probe, ec))
            continue;
        std::FILE* file = std::fopen(probe.c_str(), "wx");
        if (!file)
            return false;
        std::fclose(file);
        fs::remove(probe, ec);
        return true;
    }
    return false;
}

Folders ResolveFolders(const std::optional<std::string>& homeOption, const char* homeEnvironment,
                       const fs::path& executableFolder, const fs::path& userDataFolder)
{
    Folders f;
    bool named = true;
    if (homeOption && !homeOption->empty())
        f.ExeFolder = *homeOption;
    else if (homeEnvironment && *homeEnvironment)
        f.ExeFolder = homeEnvironment;
    else {
        f.ExeFolder = executableFolder;
        named = false;
    }
    std::error_code ec;
    const fs::path absolute = fs::absolute(f.ExeFolder, ec);
    if (!ec)
        f.ExeFolder = absolute.lexically_normal();
    if (f.ExeFolder.has_filename() == false && f.ExeFolder != f.ExeFolder.root_path())
        f.ExeFolder = f.ExeFolder.parent_path();
    if (!userDataFolder.empty()) {
        // A home the user named is made when missing; the executable's own
        // folder always exists.  Either way only a file that can really be
        // made there settles whether the working files can live in it: a
        // working folder that cannot be written keeps the previous photo's
        // files, and those must never appear on the next photo.
        if (named)
            fs::create_directories(f.ExeFolder, ec);
        if (!FolderWritable(f.ExeFolder)) {
            f.RefusedHome = f.ExeFolder;
            f.ExeFolder = userDataFolder.lexically_normal();
        }
    }
    f.TempFolder = f.ExeFolder / "Temp";
    return f;
}

Folders ReadingFolders(const Folders& folders)
{
    if (folders.RefusedHome.empty() || !IsFolder(folders.RefusedHome / "Temp"))
        return folders;
    Folders home;
    home.ExeFolder = folders.RefusedHome;
    home.TempFolder = home.ExeFolder / "Temp";
    return home;
}

bool EnsureTempFolder(const Folders& folders)
{
    std::error_code ec;
    fs::create_directories(folders.TempFolder, ec);
    return fs::is_directory(folders.TempFolder, ec);
}

void PushRecent(std::array<std::string, 6>& last, const std::string& path)
{
    // The list goes into kvx.ini one line an entry; a name holding a line
    // break would end its line there and could start a section of its own.
    if (!FitsOneIniLine(path))
        return;
    std::size_t n = 5;
    for (std::size_t i = 1; i <= 5; ++i) {
        if (last[i] == path) {
            n = i;
            break;
        }
    }
    for (std::size_t k = n; k >= 2; --k)
        last[k] = last[k - 1];
    last[1] = path;
}

void PruneWorkingFiles(const fs::path& folder, int limitDays, fs::file_time_type now)
{
    if (limitDays <= 0)
        return;
    const auto limit = std::chrono::hours(24) * limitDays;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return;
    for (const fs::directory_entry& entry : it) {
        std::error_code e;
        if (!entry.is_regular_file(e))
            continue;
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        // A save killed before its rename leaves its temporary behind; it
        // goes the way of the working files it was to replace.
        if (ext != ".tmp" && !IsTemporaryName(entry.path()))
            continue;
        const auto modified = entry.last_write_time(e);
        if (e)
            continue;
        if (modified + limit <= now)
            fs::remove(entry.path(), e);
    }
}

bool WriteErrorLog(const ErrorTrail& trail, const fs::path& tempFolder)
{
    if (trail.empty())
        return true;
    return WriteFileReplacing(tempFolder / "error.txt", trail.joined() + "\r\n");
}

} // namespace kvx
