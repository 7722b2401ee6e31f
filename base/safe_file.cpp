#include "base/safe_file.h"
#include "base/translate.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <ostream>
#include <random>
#include <streambuf>

namespace kvx {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTemporaryEnd = ".new";
constexpr std::size_t kRandomChars = 6;

void Report(std::error_code* why, int error)
{
    if (why && error != 0)
        *why = std::error_code(error, std::generic_category());
}

std::string RandomPart()
{
    static constexpr std::string_view kChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine{(static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
                                        std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    std::string s(kRandomChars, 'A');
    std::uniform_int_distribution<std::size_t> pick(0, kChars.size() - 1);
    for (char& c : s)
        c = kChars[pick(engine)];
    return s;
}

bool IsAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The permissions a new file gets from open(…, 0666): the process's umask
// read without changing it (changing it would race with other threads).
mode_t NewFileMode()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            const std::string_view digits = std::string_view(line).substr(6);
            std::size_t at = digits.find_first_not_of(" \t");
            if (at == std::string_view::npos)
                break;
            unsigned mask = 0;
            const auto [end, ec] = std::from_chars(digits.data() + at, digits.data() + digits.size(), mask, 8);
            if (ec == std::errc())
                return static_cast<mode_t>(0666 & ~mask);
            break;
        }
    }
    return 0644;
}

// A stream buffer over a file descriptor that remembers the first error, so
// a full disk or a size limit ends the save with the system's own reason.
class FdBuf : public std::streambuf {
public:
    explicit FdBuf(int fd) : fd_(fd) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override
    {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        if (n > static_cast<std::streamsize>(buffer_.size())) {
            if (!Drain() || !WriteAll(s, static_cast<std::size_t>(n)))
                return 0;
            return n;
        }
        return std::streambuf::xsputn(s, n);
    }

private:
    bool Drain()
    {
        const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
        const bool ok = WriteAll(pbase(), n);
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return ok;
    }
    bool WriteAll(const char* s, std::size_t n)
    {
        if (error_ != 0)
            return false;
        while (n > 0) {
            const ssize_t done = ::write(fd_, s, n);
            if (done < 0) {
                if (errno == EINTR)
                    continue;
                error_ = errno;
                return false;
            }
            s += done;
            n -= static_cast<std::size_t>(done);
        }
        return true;
    }

    int fd_;
    int error_ = 0;
    std::array<char, 1 << 16> buffer_{};
};

// The temporary made for one save: its descriptor closed and, unless the
// rename took it, its name removed whatever way the save ends.
class Temporary {
public:
    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary()
    {
        Close();
        if (!path_.empty()) {
            std::error_code ec;
            fs::remove(path_, ec);
        }
    }

    // A name of its own beside destination, created there and then.
    bool Create(const fs::path& destination, int& error)
    {
        // A clash with another save (or a link planted at the name) is met by
        // another name; a hundred clashes in a row are no accident.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate = TemporaryBeside(destination);
            const int fd = CreateExclusive(candidate);
            if (fd >= 0) {
                fd_ = fd;
                path_ = candidate;
                return true;
            }
            if (errno != EEXIST && errno != ELOOP && errno != EINTR) {
                error = errno;
                return false;
            }
        }
        error = EEXIST;
        return false;
    }
    int fd() const { return fd_; }
    const fs::path& path() const { return path_; }
    bool Close()
    {
        if (fd_ < 0)
            return true;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    // The rename took the name: nothing is left to remove.
    void Release() { path_.clear(); }

private:
    int fd_ = -1;
    fs::path path_;
};

fs::path FolderOf(const fs::path& p)
{
    const fs::path parent = p.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

} // namespace

fs::path TemporaryBeside(const fs::path& target)
{
    const std::string tail = "." + std::to_string(static_cast<long>(::getpid())) + "-" + RandomPart() +
                             std::string(kTemporaryEnd);
    std::string front = target.filename().string();
    const std::size_t room = kMaxNameBytes - 1 - tail.size();
    if (front.size() > room) {
        std::size_t keep = room;
        // Never end the front inside a UTF-8 character.
        while (keep > 0 && (static_cast<unsigned char>(front[keep]) & 0xC0) == 0x80)
            --keep;
        front.resize(keep);
    }
    fs::path tmp = target;
    tmp.replace_filename("~" + front + tail);
    return tmp;
}

int CreateExclusive(const fs::path& file)
{
    return ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

bool IsTemporaryName(const fs::path& p)
{
    const std::string name = p.filename().string();
    return name.size() > 5 && name.starts_with('~') && name.ends_with(kTemporaryEnd);
}

long TemporaryOwner(const fs::path& p)
{
    const std::string name = p.filename().string();
    if (!IsTemporaryName(p))
        return 0;
    // "~<front>.<pid>-<random>.new", read from the end: the front is anything.
    const std::string_view body = std::string_view(name).substr(1, name.size() - 1 - kTemporaryEnd.size());
    if (body.size() < kRandomChars + 3)
        return 0;
    const std::string_view random = body.substr(body.size() - kRandomChars);
    for (const char c : random)
        if (!IsAlnum(c))
            return 0;
    if (body[body.size() - kRandomChars - 1] != '-')
        return 0;
    const std::string_view rest = body.substr(0, body.size() - kRandomChars - 1);
    const std::size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos || dot + 1 >= rest.size() || rest.size() - dot - 1 > 10)
        return 0;
    long pid = 0;
    const std::string_view digits = rest.substr(dot + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (ec != std::errc() || end != digits.data() + digits.size() || pid <= 0 || digits.front() == '0')
        return 0;
    return pid;
}

bool ProcessAlive(long pid)
{
    if (pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) == 0)
        return true;
    return errno != ESRCH;
}

void PruneStaleTemporaries(const fs::path& folder, std::chrono::minutes staleAfter)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return;
    const auto now = fs::file_time_type::clock::now();
    for (const fs::directory_entry& entry : it) {
        std::error_code e;
        // A link is never ours: saves make regular files.
        if (!entry.is_regular_file(e) || entry.is_symlink(e))
            continue;
        const long owner = TemporaryOwner(entry.path());
        if (owner == 0 || owner == static_cast<long>(::getpid()) || ProcessAlive(owner))
            continue;
        const auto modified = entry.last_write_time(e);
        if (e || modified + staleAfter > now)
            continue;
        fs::remove(entry.path(), e);
    }
}

bool SyncFolder(const fs::path& folder, std::error_code* why)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Report(why, errno);
        return false;
    }
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems keep no folder to sync; their rename is as durable as it gets.
    if (synced != 0 && error != EINVAL && error != ENOTSUP) {
        Report(why, error);
        return false;
    }
    return true;
}

bool SyncFile(const fs::path& file, std::error_code* why)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Report(why, errno);
        return false;
    }
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0) {
        Report(why, error);
        return false;
    }
    return SyncFolder(FolderOf(file), why);
}

bool MoveIntoPlace(const fs::path& temporary, const fs::path& target, std::error_code* why)
{
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        if (why)
            *why = ec;
        fs::remove(temporary, ec);
        return false;
    }
    // The new name reaches the disk only with its folder.
    return SyncFolder(FolderOf(target), why);
}

fs::path WriteDestination(const fs::path& target)
{
    std::error_code ec;
    // An existing name resolves in one step; canonical also sees through links
    // in the folders above it.
    if (fs::exists(fs::status(target, ec))) {
        const fs::path real = fs::canonical(target, ec);
        return ec ? target : real;
    }
    // A dangling link: follow it by hand to the name it would create.  The hop
    // limit is the kernel's, so a loop ends where open() would give up.
    fs::path p = target;
    for (int hop = 0; hop < 40; ++hop) {
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            return p;
        const fs::path link = fs::read_symlink(p, ec);
        if (ec)
            return p;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return {};
}

namespace {

bool Fill(std::ofstream& out, const std::function<bool(std::ostream&)>& fill)
{
    if (!out)
        return false;
    const bool filled = fill(out);
    out.close();
    return filled && !out.fail();
}

} // namespace

bool WriteReplacing(const fs::path& target, const std::function<bool(std::ostream&)>& fill, std::error_code* why)
{
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::is_directory(status)) {
        Report(why, EISDIR);
        return false;
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        // Nothing to keep safe and nothing a rename could replace: a device or
        // a pipe takes the bytes as they come.
        std::ofstream out(target, std::ios::binary);
        return Fill(out, fill);
    }
    if (const std::size_t bytes = OverlongNameBytes(target); bytes > 0) {
        Report(why, ENAMETOOLONG);
        return false;
    }

    const fs::path destination = WriteDestination(target);
    if (destination.empty()) {
        Report(why, ELOOP);
        return false;
    }
    Temporary tmp;
    int error = 0;
    if (!tmp.Create(destination, error)) {
        Report(why, error);
        return false;
    }
    {
        FdBuf buffer(tmp.fd());
        std::ostream out(&buffer);
        // An exception from fill passes on; the temporary goes with tmp.
        const bool filled = fill(out);
        out.flush();
        if (!filled || !out) {
            Report(why, buffer.error());
            return false;
        }
    }
    // The replacement keeps the permissions the user gave the old file; a new
    // file gets what any new file of this user gets.
    const mode_t mode = fs::is_regular_file(status) ? static_cast<mode_t>(status.permissions() & fs::perms::mask)
                                                    : NewFileMode();
    if (::fchmod(tmp.fd(), mode) != 0 || ::fsync(tmp.fd()) != 0) {
        Report(why, errno);
        return false;
    }
    if (!tmp.Close()) {
        Report(why, errno);
        return false;
    }
    if (!MoveIntoPlace(tmp.path(), destination, why)) {
        // The rename may have happened before the folder failed to sync: the
        // temporary's name is gone either way.
        tmp.Release();
        return false;
    }
    tmp.Release();
    return true;
}

bool WriteFileReplacing(const fs::path& target, std::string_view bytes, std::error_code* why)
{
    return WriteReplacing(
        target,
        [bytes](std::ostream& out) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            return true;
        },
        why);
}

bool CopyFileReplacing(const fs::path& from, const fs::path& to, std::error_code* why)
{
    return WriteReplacing(
        to,
        [&from, why](std::ostream& out) {
            std::ifstream in(from, std::ios::binary);
            if (!in) {
                Report(why, errno != 0 ? errno : ENOENT);
                return false;
            }
            // Inserting an empty buffer counts as a failure; an empty file is not one.
            if (in.peek() == std::ifstream::traits_type::eof())
                return !in.bad();
            out << in.rdbuf();
            return !in.bad() && !out.fail();
        },
        why);
}

bool IsFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool IsFolder(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

std::size_t OverlongNameBytes(const fs::path& p)
{
    const std::size_t bytes = p.filename().native().size();
    return bytes > kMaxNameBytes ? bytes : 0;
}

std::string RefusedWrite(const fs::path& p)
{
    if (IsFolder(p))
        return "'" + p.string() + Tx("Files", "' はフォルダです. ファイルの名前を指定してください.");
    return {};
}

std::string WriteFailureReason(const fs::path& p, const std::error_code& why)
{
    if (const std::size_t bytes = OverlongNameBytes(p); bytes > 0) {
        std::string text = Tx("Files", "ファイル名が %1 バイトあり, 長すぎます (%2 バイトまで).");
        const auto put = [&text](const std::string& mark, const std::string& value) {
            if (const std::size_t at = text.find(mark); at != std::string::npos)
                text.replace(at, mark.size(), value);
        };
        put("%1", std::to_string(bytes));
        put("%2", std::to_string(kMaxNameBytes));
        return text;
    }
    return why ? why.message() : std::string();
}

} // namespace kvx
