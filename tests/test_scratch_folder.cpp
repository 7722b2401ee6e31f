#include "base/scratch_folder.h"

#include "base/safe_file.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "workfolder.h"

namespace kvx {
namespace {

namespace fs = std::filesystem;

std::string ReadNote(const fs::path& folder)
{
    std::ifstream in(folder / kScratchOwnerNote);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A scratch folder made by a child that is then killed: nobody removed it.
fs::path FolderOfAKilledRun(const fs::path& base, const std::string& prefix)
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe[0]);
        ScratchFolder folder(prefix, base);
        const std::string path = folder.path().string();
        (void)!::write(pipe[1], path.data(), path.size());
        ::close(pipe[1]);
        ::pause();
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string path;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        path.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return path;
}

TEST(ScratchFolder, IsMadeWithItsOwnerAndRemovedWhenTheRunEnds)
{
    test::TempFolder w;
    fs::path made;
    {
        ScratchFolder folder("kalvex-batch", w.path());
        ASSERT_TRUE(folder.valid()) << folder.error().message();
        made = folder.path();
        EXPECT_EQ(made.parent_path(), w.path());
        EXPECT_TRUE(made.filename().string().starts_with("kalvex-batch-" + std::to_string(::getpid()) + "-"));
        EXPECT_NE(ReadNote(made).find("pid " + std::to_string(::getpid()) + "\n"), std::string::npos);
        // The run's own folder is never stale.
        EXPECT_FALSE(ScratchFolderIsStale(made, "kalvex-batch"));
        PruneStaleScratchFolders("kalvex-batch", w.path());
        EXPECT_TRUE(fs::is_directory(made));
    }
    EXPECT_FALSE(fs::exists(made));
}

TEST(ScratchFolder, AFolderThatCannotBeMadeSaysWhy)
{
    test::TempFolder w;
    ScratchFolder folder("kalvex-batch", w.path() / "missing");
    EXPECT_FALSE(folder.valid());
    EXPECT_EQ(folder.error(), std::errc::no_such_file_or_directory);
}

// Only folders whose maker is provably gone are removed: a killed run's, one
// made before the machine last started; never a running program's, one made on
// another machine, one without a note, one of another prefix or a link.
TEST(ScratchFolder, OnlyFoldersOfGoneRunsArePruned)
{
    test::TempFolder w;
    const fs::path killed = FolderOfAKilledRun(w.path(), "kalvex-batch");
    ASSERT_TRUE(fs::is_directory(killed));
    std::ofstream(killed / "0.tmp") << "working file";
    const fs::path killedWindow = FolderOfAKilledRun(w.path(), "kalvex-work");
    ASSERT_TRUE(fs::is_directory(killedWindow));

    ScratchFolder live("kalvex-batch", w.path());
    ASSERT_TRUE(live.valid());

    // Copies of the killed run's folder with its note changed.
    auto copyWithNote = [&](const std::string& name, const std::string& from, const std::string& to) {
        const fs::path p = w.path() / name;
        fs::create_directory(p);
        std::string note = ReadNote(killed);
        const std::size_t at = note.find(from);
        if (at != std::string::npos)
            note.replace(at, from.size(), to);
        std::ofstream(p / kScratchOwnerNote) << note;
        return p;
    };
    const std::string killedPid = killed.filename().string().substr(13, killed.filename().string().rfind('-') - 13);
    const std::string note = ReadNote(killed);
    const std::string host = note.substr(note.find("host ") + 5, note.find('\n', note.find("host ")) - note.find("host ") - 5);
    const std::string boot = note.substr(note.find("boot ") + 5, note.find('\n', note.find("boot ")) - note.find("boot ") - 5);
    const fs::path otherHost = copyWithNote("kalvex-batch-" + killedPid + "-Host01", "host " + host, "host elsewhere");
    const fs::path otherBoot = copyWithNote("kalvex-batch-" + killedPid + "-Boot01", "boot " + boot, "boot before");
    // A running process's id (the test's parent): with no start to compare it
    // is taken as the maker; with another start it is another process that
    // got the id after the maker was gone.
    const std::string parent = std::to_string(::getppid());
    const fs::path running = copyWithNote("kalvex-batch-" + parent + "-Live01", "pid " + killedPid, "pid " + parent);
    {
        std::string withoutStart = ReadNote(running);
        withoutStart.erase(withoutStart.find("start "));
        std::ofstream(running / kScratchOwnerNote) << withoutStart;
    }
    const fs::path reused = copyWithNote("kalvex-batch-" + parent + "-Reus01", "pid " + killedPid, "pid " + parent);
    const fs::path noNote = w.path() / ("kalvex-batch-" + killedPid + "-NoNot1");
    fs::create_directory(noNote);
    const fs::path link = w.path() / ("kalvex-batch-" + killedPid + "-Link01");
    fs::create_directory_symlink(killedWindow, link);
    const fs::path usersOwn = w.path() / "kalvex-batch-notes";
    fs::create_directory(usersOwn);

    EXPECT_TRUE(ScratchFolderIsStale(killed, "kalvex-batch"));
    PruneStaleScratchFolders("kalvex-batch", w.path());
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_FALSE(fs::exists(otherBoot));
    EXPECT_FALSE(fs::exists(reused));
    EXPECT_TRUE(fs::is_directory(live.path()));
    EXPECT_TRUE(fs::is_directory(otherHost));
    EXPECT_TRUE(fs::is_directory(running));
    EXPECT_TRUE(fs::is_directory(noNote));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_directory(usersOwn));
    // Another prefix is another program's business until its own pruning.
    EXPECT_TRUE(fs::is_directory(killedWindow));
    PruneStaleScratchFolders("kalvex-work", w.path());
    EXPECT_FALSE(fs::exists(killedWindow));
}

} // namespace
} // namespace kvx
