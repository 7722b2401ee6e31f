#pragma once

// Which working folder a window writes.  The home's working folder is one
// program's at a time, held through a lock for the whole run; a window that
// cannot have it (another program holds it, or it cannot be written) works in
// a private folder of its own, which names its owner so that a later start can
// tell the work of a window that crashed from that of one still running.

#include <QString>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QLockFile;

namespace kvx {

class ScratchFolder;

// Removes the lock at path when nobody can be holding it: empty or garbled (a
// crash while it was written, a full disk), or naming a process of this
// machine that is gone.  A process on another machine cannot be looked at, so
// its lock is taken as held.  Whether a lock file was there.
bool ClearAbandonedLock(QLockFile& lock, const std::filesystem::path& path);

class HomeClaim {
public:
    // privateBase: where private folders are made and looked for (the
    // system's temporary folder).
    explicit HomeClaim(std::filesystem::path privateBase);
    ~HomeClaim();
    HomeClaim(const HomeClaim&) = delete;
    HomeClaim& operator=(const HomeClaim&) = delete;

    // Takes the lock on home, or works in a private folder when another
    // program holds it or it cannot be locked.  A lock left empty or garbled,
    // or naming a process of this machine that is gone, is taken over.
    void Claim(const std::filesystem::path& home);

    // Whether this window holds the home's lock and works there.
    bool OwnsHome() const;
    bool IsPrivate() const { return private_ != nullptr; }
    // Where every run keeps the photos' own copies.
    const std::filesystem::path& Home() const { return home_; }
    // Where this window's working files are: the home, or its private folder.
    const std::filesystem::path& Current() const { return current_; }

    // Works in a private folder from now on (the one it has, if any); why,
    // when not empty, is told with the notices.  A folder that cannot be made
    // is told too, and the window goes on where it was.
    void UsePrivate(const std::string& why);
    // The private folder stays on disk for a later start to offer its work,
    // and the window goes on in a new one.  The folder left.
    std::filesystem::path LeavePrivateBehind();
    // The private folder is not removed when the window closes: it holds
    // copies the home has not taken.
    void KeepPrivateOnExit();

    // What the user should be told about the folders, once.
    void Notice(std::string text) { notices_.push_back(std::move(text)); }
    std::vector<std::string> TakeNotices();

    // The private folders of windows on this home and this machine whose
    // process is gone, oldest name first.
    std::vector<std::filesystem::path> AbandonedPrivateFolders() const;

private:
    std::filesystem::path privateBase_;
    std::filesystem::path home_;
    std::filesystem::path current_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<ScratchFolder> private_;
    std::vector<std::string> notices_;
};

} // namespace kvx
