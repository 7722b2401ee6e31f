#include "base/safe_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <algorithm>
#include <future>
#include <iterator>
#include <sstream>

#include "workfolder.h"

namespace kvx {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

// Everything in a folder, so a stray temporary shows.
std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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

} // namespace
} // namespace kvx
