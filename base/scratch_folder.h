#pragma once

// A folder of one run's own in the system's temporary folder, removed when the
// run ends.  A run that is killed cannot remove it, so the folder says whose
// it is: its name carries the process id and a note inside it the machine,
// the boot and the process's start, and a later run removes the folders whose
// maker is provably gone and leaves every other alone.

#include <filesystem>
#include <string>
#include <system_error>

namespace kvx {

// $TMPDIR when it names a folder, else /tmp.
std::filesystem::path SystemTemporaryFolder();

class ScratchFolder {
public:
    // Makes "<prefix>-<pid>-XXXXXX" in base.
    explicit ScratchFolder(const std::string& prefix, const std::filesystem::path& base = SystemTemporaryFolder());
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool valid() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }
    // Why the folder could not be made (or its note not written).
    const std::error_code& error() const { return error_; }
    // A folder that still holds work nobody kept stays when its run ends.
    void setAutoRemove(bool on) { autoRemove_ = on; }

private:
    std::filesystem::path path_;
    std::error_code error_;
    bool autoRemove_ = true;
};

// The note's file name inside a scratch folder.
inline constexpr const char* kScratchOwnerNote = ".kalvex-owner";

// Whether folder (named "<prefix>-<pid>-XXXXXX" in its parent) was made by a
// run that is gone: its note names this machine and either another boot or a
// process that no longer runs (or another process under the same id).  False
// whenever that cannot be shown.
bool ScratchFolderIsStale(const std::filesystem::path& folder, const std::string& prefix);

// Removes the stale scratch folders of prefix from base.
void PruneStaleScratchFolders(const std::string& prefix, const std::filesystem::path& base = SystemTemporaryFolder());

} // namespace kvx
