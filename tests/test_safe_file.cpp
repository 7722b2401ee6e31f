#include "base/safe_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include <fstream>
#include <algorithm>
#include <future>
#include <iterator>
#include <sstream>

#include "workfolder.h"

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::Names;

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& p, const std::string& bytes)
{
    test::WriteAll(p, bytes);
}

TEST(SafeFile, ASymlinkStaysALinkAndItsFileIsReplaced)
{
    test::TempFolder w;
    const fs::path real = w.path() / "real" / "out.csv";
    fs::create_directories(real.parent_path());
    Write(real, "old");
    const fs::path absolute = w.path() / "absolute.csv";
    const fs::path relative = w.path() / "relative.csv";
    fs::create_symlink(real, absolute);
    fs::create_symlink("real/out.csv", relative);

    ASSERT_TRUE(WriteFileReplacing(absolute, "first"));
    EXPECT_TRUE(fs::is_symlink(absolute));
    EXPECT_EQ(Read(real), "first");
    ASSERT_TRUE(WriteFileReplacing(relative, "second"));
    EXPECT_TRUE(fs::is_symlink(relative));
    EXPECT_EQ(Read(real), "second");
    EXPECT_EQ(Names(real.parent_path()), std::vector<std::string>{"out.csv"});
    EXPECT_EQ(Names(w.path()), (std::vector<std::string>{"absolute.csv", "real", "relative.csv"}));
}

TEST(SafeFile, ADanglingSymlinkCreatesTheFileItNames)
{
    test::TempFolder w;
    const fs::path link = w.path() / "link.csv";
    fs::create_symlink("made.csv", link);
    ASSERT_TRUE(WriteFileReplacing(link, "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(w.path() / "made.csv"), "new");
}

TEST(SafeFile, ASymlinkLoopFailsWithoutHarm)
{
    test::TempFolder w;
    fs::create_symlink("b", w.path() / "a");
    fs::create_symlink("a", w.path() / "b");
    EXPECT_FALSE(WriteFileReplacing(w.path() / "a", "x"));
    EXPECT_TRUE(fs::is_symlink(w.path() / "a"));
    EXPECT_TRUE(fs::is_symlink(w.path() / "b"));
}

TEST(SafeFile, TheReplacementKeepsThePermissions)
{
    test::TempFolder w;
    const fs::path file = w.path() / "shared.csv";
    Write(file, "old");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write | fs::perms::others_read);
    const fs::perms before = fs::status(file).permissions();
    ASSERT_TRUE(WriteFileReplacing(file, "new"));
    EXPECT_EQ(fs::status(file).permissions(), before);
}

TEST(SafeFile, ADeviceIsWrittenIntoNotReplaced)
{
    struct stat before{};
    ASSERT_EQ(stat("/dev/null", &before), 0);
    ASSERT_TRUE(WriteFileReplacing("/dev/null", "into the void"));
    ASSERT_TRUE(CopyFileReplacing("/dev/null", "/dev/null"));
    struct stat after{};
    ASSERT_EQ(stat("/dev/null", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST(SafeFile, APipeReceivesTheBytes)
{
    test::TempFolder w;
    const fs::path fifo = w.path() / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto reader = std::async(std::launch::async, [&] { return Read(fifo); });
    ASSERT_TRUE(WriteFileReplacing(fifo, "a;b\r\n"));
    EXPECT_EQ(reader.get(), "a;b\r\n");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(Names(w.path()), std::vector<std::string>{"pipe"});
}

TEST(SafeFile, AFolderIsRefusedAndLeftAlone)
{
    test::TempFolder w;
    const fs::path folder = w.path() / "report.pdf";
    fs::create_directory(folder);
    Write(folder / "inside.txt", "kept");
    fs::create_symlink(folder, w.path() / "link.pdf");
    for (const fs::path& target : {folder, w.path() / "link.pdf"}) {
        EXPECT_FALSE(WriteFileReplacing(target, "x"));
        EXPECT_FALSE(CopyFileReplacing(folder / "inside.txt", target));
        EXPECT_NE(RefusedWrite(target).find("フォルダ"), std::string::npos);
        EXPECT_NE(RefusedWrite(target).find(target.string()), std::string::npos);
    }
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(Read(folder / "inside.txt"), "kept");
    EXPECT_EQ(Names(w.path()), (std::vector<std::string>{"link.pdf", "report.pdf"}));
    EXPECT_EQ(RefusedWrite(w.path() / "new.pdf"), "");
}

TEST(SafeFile, AFailingWriterLeavesTheOldFileAndNoTemporary)
{
    test::TempFolder w;
    const fs::path file = w.path() / "out.pdf";
    Write(file, "good");
    EXPECT_FALSE(WriteReplacing(file, [](std::ostream& out) {
        out << "half";
        return false;
    }));
    EXPECT_THROW(WriteReplacing(file,
                                [](std::ostream& out) -> bool {
                                    out << "half";
                                    throw std::runtime_error("step 3");
                                }),
                 std::runtime_error);
    EXPECT_EQ(Read(file), "good");
    EXPECT_EQ(Names(w.path()), std::vector<std::string>{"out.pdf"});
}

TEST(SafeFile, CopiesAnEmptyFile)
{
    test::TempFolder w;
    Write(w.path() / "empty", "");
    Write(w.path() / "to", "old");
    ASSERT_TRUE(CopyFileReplacing(w.path() / "empty", w.path() / "to"));
    EXPECT_EQ(Read(w.path() / "to"), "");
    EXPECT_FALSE(CopyFileReplacing(w.path() / "missing", w.path() / "to"));
}


// Two processes replacing one file over and over: every look at the file, in
// between and at the end, finds one writer's whole file, and no temporary
// is left.  A shared temporary name tore the file (one truncating what the
// other was writing) while both reported success.
TEST(SafeFile, TwoProcessesWritingOneFileNeverTearIt)
{
    test::TempFolder w;
    const fs::path file = w.path() / "report.pdf";
    const std::string a(300000, 'a');
    const std::string b(200000, 'b');
    constexpr int kRounds = 150;
    std::vector<pid_t> writers;
    for (const std::string* bytes : {&a, &b}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kRounds; ++i)
                failures += WriteFileReplacing(file, *bytes) ? 0 : 1;
            ::_exit(failures == 0 ? 0 : 1);
        }
        writers.push_back(pid);
    }
    int looks = 0;
    bool running = true;
    while (running) {
        running = false;
        for (const pid_t pid : writers)
            running = running || ::waitpid(pid, nullptr, WNOHANG) == 0;
        if (!fs::exists(file))
            continue;
        const std::string seen = Read(file);
        ++looks;
        ASSERT_TRUE(seen == a || seen == b) << "torn: " << seen.size() << " bytes";
    }
    for (const pid_t pid : writers) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    const std::string last = Read(file);
    EXPECT_TRUE(last == a || last == b) << last.size();
    EXPECT_GT(looks, 0);
    EXPECT_EQ(Names(w.path()), std::vector<std::string>{"report.pdf"});
}

TEST(SafeFile, EveryTemporaryNameIsNewFitsAFileNameAndNamesItsProcess)
{
    std::set<std::string> seen;
    for (const std::size_t length : {std::size_t{1}, std::size_t{200}, std::size_t{236}, std::size_t{237},
                                     std::size_t{254}, std::size_t{255}}) {
        const fs::path target = fs::path("/some/folder") / std::string(length, 'x');
        for (int i = 0; i < 50; ++i) {
            const fs::path tmp = TemporaryBeside(target);
            EXPECT_EQ(tmp.parent_path(), target.parent_path());
            EXPECT_LE(tmp.filename().native().size(), kMaxNameBytes);
            EXPECT_TRUE(IsTemporaryName(tmp)) << tmp;
            EXPECT_EQ(TemporaryOwner(tmp), static_cast<long>(::getpid())) << tmp;
            EXPECT_TRUE(seen.insert(tmp.string()).second) << tmp;
        }
    }
    // A name cut to fit never ends inside a character.
    const fs::path japanese = TemporaryBeside(fs::path("/f") / [] {
        std::string name;
        for (int i = 0; i < 84; ++i)
            name += "\xE5\xA3\x81";  // 壁
        return name;
    }());
    EXPECT_LE(japanese.filename().native().size(), kMaxNameBytes);
    EXPECT_EQ(japanese.filename().native().find("\xE5\xA3."), std::string::npos);
    EXPECT_EQ(japanese.filename().native().find("\xE5."), std::string::npos);
    // The older fixed form is still a temporary, but names no process.
    EXPECT_TRUE(IsTemporaryName("/f/~report.csv.new"));
    EXPECT_EQ(TemporaryOwner("/f/~report.csv.new"), 0);
    EXPECT_FALSE(IsTemporaryName("/f/report.csv"));
    EXPECT_FALSE(IsTemporaryName("/f/~.new"));
}

// A link planted where the temporary used to be written: the save goes to
// its own file, the link and the file it points to stay as they were.
TEST(SafeFile, ALinkAtTheOldTemporaryNameIsNotFollowed)
{
    test::TempFolder w;
    const fs::path victim = w.path() / "victim.txt";
    Write(victim, "precious");
    fs::create_symlink(victim, w.path() / "~report.csv.new");
    ASSERT_TRUE(WriteFileReplacing(w.path() / "report.csv", "a;b\r\n"));
    EXPECT_EQ(Read(victim), "precious");
    EXPECT_EQ(Read(w.path() / "report.csv"), "a;b\r\n");
    EXPECT_TRUE(fs::is_symlink(w.path() / "~report.csv.new"));
    EXPECT_EQ(Names(w.path()), (std::vector<std::string>{"report.csv", "victim.txt", "~report.csv.new"}));
}

// Whatever name a save picks, a link standing there (to a file or dangling)
// or any file at all makes it pick another: it never writes through one.
TEST(SafeFile, ALinkAtAnyTemporaryNameIsNeverFollowed)
{
    test::TempFolder w;
    const fs::path victim = w.path() / "victim.txt";
    Write(victim, "precious");
    const fs::path toVictim = TemporaryBeside(w.path() / "report.csv");
    const fs::path dangling = TemporaryBeside(w.path() / "report.csv");
    const fs::path plain = TemporaryBeside(w.path() / "report.csv");
    fs::create_symlink(victim, toVictim);
    fs::create_symlink(w.path() / "made.txt", dangling);
    Write(plain, "someone's");
    for (const fs::path& taken : {toVictim, dangling, plain}) {
        errno = 0;
        const int fd = CreateExclusive(taken);
        EXPECT_EQ(fd, -1) << taken;
        EXPECT_TRUE(errno == EEXIST || errno == ELOOP) << errno;
        if (fd >= 0)
            ::close(fd);
    }
    EXPECT_EQ(Read(victim), "precious");
    EXPECT_FALSE(fs::exists(w.path() / "made.txt"));
    EXPECT_EQ(Read(plain), "someone's");
    const int fd = CreateExclusive(w.path() / "fresh");
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(fs::status(w.path() / "fresh").permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(SafeFile, ANewFileGetsTheUsersUsualPermissions)
{
    test::TempFolder w;
    const mode_t before = ::umask(027);
    const bool ok = WriteFileReplacing(w.path() / "new.csv", "x");
    ::umask(before);
    ASSERT_TRUE(ok);
    EXPECT_EQ(fs::status(w.path() / "new.csv").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Both sides of the limit of a file name: the longest name is written (its
// temporary fits too), one byte more is refused with that reason.
TEST(SafeFile, TheLongestFileNameIsWrittenAndALongerOneNamesItsLength)
{
    test::TempFolder w;
    const fs::path longest = w.path() / std::string(kMaxNameBytes, 'n');
    std::error_code why;
    ASSERT_TRUE(WriteFileReplacing(longest, "kept", &why)) << why.message();
    EXPECT_EQ(Read(longest), "kept");
    ASSERT_TRUE(WriteFileReplacing(longest, "again", &why)) << why.message();
    EXPECT_EQ(Read(longest), "again");
    EXPECT_EQ(OverlongNameBytes(longest), 0u);

    const fs::path tooLong = w.path() / std::string(kMaxNameBytes + 1, 'n');
    EXPECT_FALSE(WriteFileReplacing(tooLong, "x", &why));
    EXPECT_EQ(why, std::errc::filename_too_long);
    EXPECT_EQ(OverlongNameBytes(tooLong), kMaxNameBytes + 1);
    const std::string reason = WriteFailureReason(tooLong, why);
    EXPECT_NE(reason.find("256"), std::string::npos) << reason;
    EXPECT_NE(reason.find("255"), std::string::npos) << reason;
    EXPECT_EQ(Names(w.path()), std::vector<std::string>{longest.filename().string()});
}

// A file system that runs out of room (a small tmpfs, filled) and a size limit
// (RLIMIT_FSIZE) fail the save with the system's reason: the old file stays
// whole and no temporary is left, also when the writer throws.
class SafeFileSystemFailure : public ::testing::TestWithParam<const char*> {};

TEST_P(SafeFileSystemFailure, TheOldFileStaysWholeAndNoTemporaryIsLeft)
{
    const std::string kind = GetParam();
    test::TempFolder w;
    fs::path folder = w.path() / "disk";
    fs::create_directories(folder);
    struct Mount {
        fs::path at;
        ~Mount()
        {
            if (!at.empty())
                ::umount2(at.c_str(), MNT_DETACH);
        }
    } mount;
    const bool mounted = kind == "full disk";
    if (mounted) {
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here";
        mount.at = folder;
    }
    const fs::path file = folder / "out.csv";
    Write(file, "good");
    // Everything the file system has left is taken.
    if (mounted)
        std::ofstream(folder / "filler", std::ios::binary) << std::string(1 << 20, 'f');
    const std::string fill(64 << 10, 'x');

    // The limit is the process's own: the saves run in a child.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (!mounted) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{8192, 8192};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::error_code why;
        const int expected = mounted ? ENOSPC : EFBIG;
        if (WriteFileReplacing(file, fill, &why) || why.value() != expected)
            ::_exit(10);
        if (CopyFileReplacing(file, folder / "copy.csv") && Read(folder / "copy.csv") != "good")
            ::_exit(11);
        fs::remove(folder / "copy.csv");
        try {
            WriteReplacing(file, [&](std::ostream& out) -> bool {
                out << fill;
                throw std::runtime_error("midway");
            });
            ::_exit(12);
        } catch (const std::runtime_error&) {
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(file), "good");
    std::vector<std::string> left = Names(folder);
    std::erase(left, "filler");
    EXPECT_EQ(left, std::vector<std::string>{"out.csv"});
}

INSTANTIATE_TEST_SUITE_P(Failures, SafeFileSystemFailure, ::testing::Values("full disk", "size limit"));

// A process that is surely gone: a child that has ended and been reaped.
long GonePid()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

void Age(const fs::path& p, std::chrono::minutes by)
{
    fs::last_write_time(p, fs::file_time_type::clock::now() - by);
}

struct PruneCase {
    const char* what;
    std::string name;  // made from the owner's pid
    bool old;
    bool link;
    bool pruned;
};

// Only temporaries of saves of ours that are gone are pruned: a live save's,
// a recent one, a user's file that merely looks alike and the older fixed
// form (whose owner cannot be known) stay.
TEST(SafeFile, PruningBesideAnOutputRemovesOnlyOurStaleTemporaries)
{
    test::TempFolder w;
    const std::string gone = std::to_string(GonePid());
    const std::string live = std::to_string(::getppid());
    const std::vector<PruneCase> cases{
        {"a killed save's, old", "~report.csv." + gone + "-aB3dE9.new", true, false, true},
        {"a killed save's, recent", "~other.csv." + gone + "-aB3dE9.new", false, false, false},
        {"a running save's, old", "~report.csv." + live + "-aB3dE9.new", true, false, false},
        {"the older fixed form, old", "~report.csv.new", true, false, false},
        {"a user's file alike, old", "~notes." + gone + "-ab.new", true, false, false},
        {"a user's file with a word, old", "~notes.draft-aB3dE9.new", true, false, false},
        {"a link of our form, old", "~link.csv." + gone + "-aB3dE9.new", true, true, false},
        {"a plain file", "report.csv", true, false, false},
    };
    Write(w.path() / "target.txt", "t");
    for (const PruneCase& c : cases) {
        const fs::path p = w.path() / c.name;
        if (c.link)
            fs::create_symlink("target.txt", p);
        else
            Write(p, c.what);
        if (c.old && !c.link)
            Age(p, std::chrono::minutes(30));
    }
    PruneStaleTemporaries(w.path());
    for (const PruneCase& c : cases)
        EXPECT_EQ(fs::exists(fs::symlink_status(w.path() / c.name)), !c.pruned) << c.what;
    EXPECT_EQ(Read(w.path() / "target.txt"), "t");
}

} // namespace
} // namespace kvx
