#include "shell/home_claim.h"

#include "base/safe_file.h"
#include "base/scratch_folder.h"
#include "base/translate.h"
#include "shell/path_names.h"

#include <QLockFile>
#include <QSysInfo>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <system_error>

#include <unistd.h>

namespace kvx {

namespace fs = std::filesystem;

namespace {

// A window's private working folder in the system's temporary folder.
constexpr const char* kPrivateFolderPrefix = "kalvex-work";

// The file in a private folder that says which program works there, on which
// home: a folder whose program is gone holds work that only a later start can
// bring back.
constexpr const char* kOwnerFile = "owner.txt";
constexpr std::string_view kOwnerFirstLine = "Kalvex private folder 1";

std::string HomeInUse()
{
    return Tx("WindowSession", "作業フォルダ '%1' は別の Kalvex が使用中です.\r"
    "このウィンドウは専用の作業フォルダで作業し, 画像ごとの設定だけを '%1' に保存します.");
}
std::string HomeUnwritable()
{
    return Tx("WindowSession", "作業フォルダ '%1' に書き込めません.\r"
    "前の画像の設定は読み込まず, 専用の作業フォルダで作業します.");
}
std::string NoPrivateFolder()
{
    return Tx("WindowSession", "専用の作業フォルダを作れません. 設定は保存されません.");
}
std::string LockTakenOver()
{
    return Tx("WindowSession", "作業フォルダ '%1' のロックは, 終了した Kalvex が残したもの, または壊れたものだったため, 引き継ぎました.");
}

std::string Told(const std::string& text, const fs::path& folder)
{
    return QString::fromStdString(text).arg(QString::fromStdString(folder.string())).toStdString();
}

QString HostName()
{
    return QSysInfo::machineHostName();
}

bool WriteOwner(const fs::path& folder, const fs::path& home)
{
    std::string text(kOwnerFirstLine);
    text += "\npid=" + std::to_string(::getpid());
    text += "\nhost=" + HostName().toStdString();
    text += "\nhome=" + home.string() + "\n";
    return WriteFileReplacing(folder / kOwnerFile, text);
}

struct Owner {
    qint64 pid = 0;
    std::string host;
    std::string home;
};

std::optional<Owner> ReadOwner(const fs::path& folder)
{
    const fs::path file = folder / kOwnerFile;
    std::error_code ec;
    if (!IsFile(file) || fs::file_size(file, ec) > 8192 || ec)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kOwnerFirstLine)
        return std::nullopt;
    Owner owner;
    bool pid = false, host = false, home = false;
    while (std::getline(in, line)) {
        if (line.starts_with("pid=")) {
            const std::string value = line.substr(4);
            const auto [end, err] = std::from_chars(value.data(), value.data() + value.size(), owner.pid);
            pid = err == std::errc() && end == value.data() + value.size() && owner.pid > 0;
        } else if (line.starts_with("host=")) {
            owner.host = line.substr(5);
            host = true;
        } else if (line.starts_with("home=")) {
            owner.home = line.substr(5);
            home = !owner.home.empty();
        }
    }
    if (!pid || !host || !home)
        return std::nullopt;
    return owner;
}

} // namespace

bool ClearAbandonedLock(QLockFile& lock, const fs::path& path)
{
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() == fs::file_type::not_found)
        return false;
    qint64 pid = 0;
    QString host, app;
    const bool readable = lock.getLockInfo(&pid, &host, &app);
    const bool here = host.isEmpty() || host == HostName();
    // Goes through the library, which removes only a lock nobody holds.
    if (!readable || (here && !ProcessAlive(static_cast<long>(pid))))
        lock.removeStaleLockFile();
    return true;
}

HomeClaim::HomeClaim(fs::path privateBase) : privateBase_(std::move(privateBase)) {}

HomeClaim::~HomeClaim() = default;

void HomeClaim::Claim(const fs::path& home)
{
    home_ = home;
    current_ = home;
    const fs::path lockPath = home / "kalvex.lock";
    lock_ = std::make_unique<QLockFile>(FromPath(lockPath));
    // Held for the whole run: a lock is never stale for being old, only for
    // naming a program that is gone or naming none at all.
    lock_->setStaleLockTime(0);
    const bool existed = ClearAbandonedLock(*lock_, lockPath);
    if (lock_->tryLock(0)) {
        // A lock that a power cut leaves empty or missing would let a second
        // program take the working files this one is using.
        SyncFile(lockPath);
        if (existed)
            Notice(Told(LockTakenOver(), home));
        return;
    }
    UsePrivate(Told(lock_->error() == QLockFile::LockFailedError ? HomeInUse() : HomeUnwritable(), home));
}

bool HomeClaim::OwnsHome() const
{
    return lock_ && lock_->isLocked() && !private_;
}

void HomeClaim::UsePrivate(const std::string& why)
{
    if (!private_) {
        auto made = std::make_unique<ScratchFolder>(kPrivateFolderPrefix, privateBase_);
        // Without its owner the folder could never be told from a live one.
        if (made->valid() && WriteOwner(made->path(), home_)) {
            private_ = std::move(made);
            current_ = private_->path();
        } else {
            Notice(NoPrivateFolder());
        }
    }
    if (!why.empty())
        Notice(why);
}

fs::path HomeClaim::LeavePrivateBehind()
{
    if (!private_)
        return {};
    private_->setAutoRemove(false);
    const fs::path left = private_->path();
    private_.reset();
    // The window goes on in a folder of its own: the one left keeps its files.
    UsePrivate({});
    return left;
}

void HomeClaim::KeepPrivateOnExit()
{
    if (private_)
        private_->setAutoRemove(false);
}

std::vector<std::string> HomeClaim::TakeNotices()
{
    std::vector<std::string> notices;
    notices.swap(notices_);
    return notices;
}

std::vector<fs::path> HomeClaim::AbandonedPrivateFolders() const
{
    std::vector<fs::path> found;
    std::error_code ec;
    fs::directory_iterator it(privateBase_, ec);
    if (ec)
        return found;
    for (const fs::directory_entry& entry : it) {
        std::error_code e;
        if (!entry.path().filename().string().starts_with(std::string(kPrivateFolderPrefix) + "-") || !entry.is_directory(e) ||
            entry.is_symlink(e))
            continue;
        const std::optional<Owner> owner = ReadOwner(entry.path());
        // Another machine's process cannot be looked at from here.
        if (!owner || owner->home != home_.string() || owner->host != HostName().toStdString() ||
            owner->pid == ::getpid() || ProcessAlive(static_cast<long>(owner->pid)))
            continue;
        found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace kvx
