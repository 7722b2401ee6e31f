#include "base/scratch_folder.h"

#include "base/safe_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace kvx {

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string HostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string BootId()
{
    return FirstLine("/proc/sys/kernel/random/boot_id");
}

// The process's start in clock ticks since boot: a process id handed to
// another process later comes with another start.
std::string StartOf(long pid)
{
    const std::string stat = FirstLine("/proc/" + std::to_string(pid) + "/stat");
    // The command's name may hold spaces and brackets: the fields follow its last ')'.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    // Fields 3 onwards follow the name; the start is field 22.
    for (int n = 3; n <= 22; ++n)
        if (!(fields >> field))
            return {};
    return field;
}

std::string OwnerNote(long pid)
{
    return "pid " + std::to_string(pid) + "\nhost " + HostName() + "\nboot " + BootId() + "\nstart " + StartOf(pid) +
           "\n";
}

struct Owner {
    long pid = 0;
    std::string host, boot, start;
};

bool ReadOwner(const fs::path& note, Owner& owner)
{
    std::error_code ec;
    // A note is four short lines; anything larger is not ours.
    if (!fs::is_regular_file(fs::symlink_status(note, ec)) || fs::file_size(note, ec) > 4096 || ec)
        return false;
    std::ifstream in(note);
    std::string line;
    bool pid = false, host = false, boot = false;
    while (std::getline(in, line)) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos)
            continue;
        const std::string key = line.substr(0, space);
        const std::string value = line.substr(space + 1);
        if (key == "pid") {
            const auto [end, e] = std::from_chars(value.data(), value.data() + value.size(), owner.pid);
            pid = e == std::errc() && end == value.data() + value.size() && owner.pid > 0;
        } else if (key == "host") {
            owner.host = value;
            host = true;
        } else if (key == "boot") {
            owner.boot = value;
            boot = true;
        } else if (key == "start") {
            owner.start = value;
        }
    }
    return pid && host && boot;
}

// The process id in "<prefix>-<pid>-XXXXXX", 0 when the name is not of that form.
long PidInName(const std::string& name, const std::string& prefix)
{
    if (!name.starts_with(prefix + "-"))
        return 0;
    const std::string rest = name.substr(prefix.size() + 1);
    const std::size_t dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || rest.size() - dash - 1 != 6)
        return 0;
    long pid = 0;
    const auto [end, e] = std::from_chars(rest.data(), rest.data() + dash, pid);
    return e == std::errc() && end == rest.data() + dash ? pid : 0;
}

} // namespace

fs::path SystemTemporaryFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::error_code ec;
    if (tmp && *tmp && fs::is_directory(tmp, ec))
        return fs::path(tmp);
    return "/tmp";
}

ScratchFolder::ScratchFolder(const std::string& prefix, const fs::path& base)
{
    const long pid = static_cast<long>(::getpid());
    std::string pattern = (base / (prefix + "-" + std::to_string(pid) + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) {
        error_ = std::error_code(errno, std::generic_category());
        return;
    }
    const fs::path made(buffer.data());
    // Without its note nobody could ever tell the folder is stale: a folder
    // that cannot hold one is no use to the run anyway.
    if (!WriteFileReplacing(made / kScratchOwnerNote, OwnerNote(pid), &error_)) {
        if (!error_)
            error_ = std::make_error_code(std::errc::io_error);
        std::error_code ec;
        fs::remove_all(made, ec);
        return;
    }
    path_ = made;
}

ScratchFolder::~ScratchFolder()
{
    if (path_.empty() || !autoRemove_)
        return;
    std::error_code ec;
    fs::remove_all(path_, ec);
}

bool ScratchFolderIsStale(const fs::path& folder, const std::string& prefix)
{
    const long named = PidInName(folder.filename().string(), prefix);
    if (named == 0)
        return false;
    struct stat st{};
    // Only a real folder of this user: never a link, never someone else's.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    Owner owner;
    if (!ReadOwner(folder / kScratchOwnerNote, owner) || owner.pid != named)
        return false;
    const std::string host = HostName();
    if (host.empty() || owner.host != host)
        return false;
    const std::string boot = BootId();
    if (boot.empty() || owner.boot.empty())
        return false;
    if (owner.boot != boot)
        return true;
    if (owner.pid == static_cast<long>(::getpid()))
        return false;
    if (!ProcessAlive(owner.pid))
        return true;
    // The id is in use: by the folder's maker unless its start differs.
    const std::string start = StartOf(owner.pid);
    return !owner.start.empty() && !start.empty() && start != owner.start;
}

void PruneStaleScratchFolders(const std::string& prefix, const fs::path& base)
{
    std::error_code ec;
    fs::directory_iterator it(base, ec);
    if (ec)
        return;
    for (const fs::directory_entry& entry : it) {
        if (!entry.path().filename().string().starts_with(prefix + "-"))
            continue;
        if (ScratchFolderIsStale(entry.path(), prefix)) {
            std::error_code e;
            fs::remove_all(entry.path(), e);
        }
    }
}

} // namespace kvx
