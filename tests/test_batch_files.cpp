// Batch mode's files, through the real program: two runs writing one output,
// a link planted where a temporary once was, names that are not UTF-8 or are
// too long, a temporary folder that is full, and what killed runs left behind.

#include "base/safe_file.h"
#include "base/scratch_folder.h"
#include "image/photo.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "program_run.h"
#include "workfolder.h"

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::Names;

bool g_privateMounts = false;

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A run of the program; its error output goes to a file.
struct Batch {
    pid_t pid = -1;
    fs::path errors;
};

Batch Start(const std::vector<std::string>& args, const fs::path& errors, const fs::path& tmpdir = {})
{
    Batch b;
    b.errors = errors;
    b.pid = ::fork();
    if (b.pid == 0) {
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            ::dup2(fd, 2);
        if (!tmpdir.empty())
            ::setenv("TMPDIR", tmpdir.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv;
        static std::string binary = KALVEX_BINARY;
        argv.push_back(binary.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    return b;
}

std::pair<int, std::string> Finish(const Batch& b)
{
    int status = 0;
    ::waitpid(b.pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(b.errors)};
}

std::pair<int, std::string> RunBatch(const std::vector<std::string>& args, const fs::path& errors,
                                     const fs::path& tmpdir = {})
{
    return Finish(Start(args, errors, tmpdir));
}

// A report with its creation time blanked: two runs a second apart differ there only.
std::string WithoutTime(std::string pdf)
{
    const std::string mark = "/CreationDate (D:";
    if (const std::size_t at = pdf.find(mark); at != std::string::npos && at + mark.size() + 14 <= pdf.size())
        pdf.replace(at + mark.size(), 14, std::string(14, '0'));
    return pdf;
}

class BatchFiles : public ::testing::Test {
protected:
    test::TempFolder w;
    fs::path home = w.path() / "home";
    fs::path photo = w.path() / "site.jpg";
    fs::path tmp = w.path() / "tmp";

    void SetUp() override
    {
        fs::create_directories(home);
        fs::create_directories(tmp);
        // Large enough that its report takes many writes.
        QImage image(1600, 1200, QImage::Format_RGB888);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x ^ y) % 256, (x * y) % 256));
        ASSERT_TRUE(Photo(image).SaveJpeg(QString::fromStdString(photo.string())));
    }
    std::vector<std::string> Args(std::vector<std::string> more) const
    {
        std::vector<std::string> args{"--batch", photo.string(), "--home", home.string()};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

// Two runs writing one report side by side, again and again: each ends with a
// whole report from one of them, never a torn one, and each run that says it
// succeeded did.
// The program run with args and no display at all (no DISPLAY, no
// WAYLAND_DISPLAY, no QT_QPA_PLATFORM): its exit status, stdout and stderr.
using BareRun = test::ProgramRun;

BareRun RunWithoutDisplay(const std::vector<std::string>& args, const fs::path& folder)
{
    return test::RunKalvex(args, folder);
}

struct OptionCase {
    std::vector<std::string> args;
    int status;
    const char* inStdout;  // a text stdout holds
    const char* inStderr;  // a text stderr holds
};

class Options : public ::testing::TestWithParam<OptionCase> {};

TEST_P(Options, AreCheckedBeforeAnyWindow)
{
    const OptionCase& c = GetParam();
    test::TempFolder folder;
    const BareRun run = RunWithoutDisplay(c.args, folder.path());
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.out.find(c.inStdout), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.inStderr), std::string::npos) << run.err;
    if (c.status == 2) {
        EXPECT_EQ(run.err.find("qt.qpa"), std::string::npos) << "no attempt at a display: " << run.err;
    }
    EXPECT_FALSE(fs::exists(folder.path() / "kvx.ini")) << "nothing is written before the options are known good";
}

INSTANTIATE_TEST_SUITE_P(
    WithoutDisplay, Options,
    ::testing::Values(OptionCase{{"--bogus"}, 2, "", "bogus"}, OptionCase{{"-x"}, 2, "", "x"},
                      OptionCase{{"--lang", "fr"}, 2, "", "--lang"}, OptionCase{{"--home"}, 2, "", "home"},
                      OptionCase{{"--version"}, 0, "Kalvex ", ""}, OptionCase{{"--help"}, 0, "--batch", ""},
                      OptionCase{{"--batch", "--setting", "x", "p.jpg"}, 2, "", "--setting"}));

TEST_F(BatchFiles, TwoRunsWritingOneReportLeaveAWholeReport)
{
    const fs::path reference = w.path() / "reference.pdf";
    const auto [code, errors] = RunBatch(Args({"--pdf", reference.string()}), w.path() / "e0", tmp);
    ASSERT_EQ(code, 0) << errors;
    const std::string expected = WithoutTime(Read(reference));
    ASSERT_GT(expected.size(), 100000u);

    const fs::path out = w.path() / "out" / "report.pdf";
    fs::create_directories(out.parent_path());
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const Batch a = Start(Args({"--pdf", out.string()}), w.path() / "ea", tmp);
        const Batch b = Start(Args({"--pdf", out.string()}), w.path() / "eb", tmp);
        const auto [codeA, errorsA] = Finish(a);
        const auto [codeB, errorsB] = Finish(b);
        EXPECT_EQ(codeA, 0) << errorsA;
        EXPECT_EQ(codeB, 0) << errorsB;
        const std::string written = Read(out);
        ASSERT_EQ(written.size(), expected.size());
        ASSERT_TRUE(WithoutTime(written) == expected);
        EXPECT_EQ(Names(out.parent_path()), std::vector<std::string>{"report.pdf"});
    }
}

// A link planted where the CSV's temporary used to be written redirects nothing.
TEST_F(BatchFiles, ALinkPlantedAtTheOldTemporaryNameRedirectsNothing)
{
    const fs::path victim = w.path() / "victim.txt";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, w.path() / "~report.csv.new");
    const auto [code, errors] = RunBatch(Args({"--csv", (w.path() / "report.csv").string()}), w.path() / "e", tmp);
    ASSERT_EQ(code, 0) << errors;
    EXPECT_EQ(Read(victim), "precious");
    EXPECT_TRUE(fs::is_symlink(w.path() / "~report.csv.new"));
    EXPECT_TRUE(fs::is_regular_file(w.path() / "report.csv"));
}

// Names are bytes: a photo, a home and outputs whose names are not UTF-8 are
// read and written under exactly those names.
TEST_F(BatchFiles, NamesThatAreNotUtf8AreUsedAsTheyAre)
{
    const fs::path odd = w.path() / "site\xff.jpg";
    fs::rename(photo, odd);
    photo = odd;
    const fs::path oddHome = w.path() / "home\xfe";
    const fs::path csv = w.path() / "out\xff.csv";
    const fs::path pdf = w.path() / "report\xfe\x80.pdf";
    const auto [code, errors] =
        RunBatch({"--batch", odd.string(), "--home", oddHome.string(), "--csv", csv.string(), "--pdf", pdf.string()},
                 w.path() / "e", tmp);
    ASSERT_EQ(code, 0) << errors;
    EXPECT_TRUE(fs::is_regular_file(csv));
    EXPECT_TRUE(fs::is_regular_file(pdf));
    EXPECT_TRUE(fs::is_directory(oddHome));
    for (const std::string& name : Names(w.path()))
        EXPECT_EQ(name.find("\xef\xbf\xbd"), std::string::npos) << "a name rewritten: " << name;
    EXPECT_NE(Read(pdf).find("%PDF"), std::string::npos);
}

// Both sides of the limit of a file name: 255 bytes are written, 256 are
// refused with the reason.
TEST_F(BatchFiles, AnOutputNameTooLongIsToldAsSuch)
{
    const fs::path longest = w.path() / (std::string(251, 'c') + ".csv");
    auto [code, errors] = RunBatch(Args({"--csv", longest.string()}), w.path() / "e", tmp);
    EXPECT_EQ(code, 0) << errors;
    EXPECT_TRUE(fs::is_regular_file(longest));
    for (const char* option : {"--csv", "--pdf", "--dxf"}) {
        SCOPED_TRACE(option);
        const fs::path tooLong = w.path() / (std::string(252, 'c') + ".csv");
        std::tie(code, errors) = RunBatch(Args({option, tooLong.string()}), w.path() / "e", tmp);
        EXPECT_EQ(code, 5);
        EXPECT_NE(errors.find("256 bytes"), std::string::npos) << errors;
    }
}

// A temporary folder with no room left is named as the cause, not the
// user's working file.
TEST_F(BatchFiles, AFullTemporaryFolderIsNamedAsTheCause)
{
    if (!g_privateMounts || ::mount("tmpfs", tmp.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    std::ofstream(tmp / "filler", std::ios::binary) << std::string(1 << 20, 'f');
    const auto [code, errors] = RunBatch(Args({"--csv", (w.path() / "out.csv").string()}), w.path() / "e", tmp);
    ::umount2(tmp.c_str(), MNT_DETACH);
    EXPECT_EQ(code, 4);
    EXPECT_NE(errors.find("temporary folder '" + tmp.string()), std::string::npos) << errors;
    EXPECT_EQ(errors.find("cannot read"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(w.path() / "out.csv"));
}

// What killed runs left: their folders in the temporary folder and their
// temporaries beside an output go; a running program's folder, a recent
// temporary and one whose maker cannot be known stay.
TEST_F(BatchFiles, WhatKilledRunsLeftIsRemovedAndNothingElse)
{
    // A run killed halfway.
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        ScratchFolder folder("kalvex-batch", tmp);
        const std::string path = folder.path().string();
        (void)!::write(pipe[1], path.data(), path.size());
        ::close(pipe[1]);
        ::pause();
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string killed;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        killed.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(fs::is_directory(killed));
    ScratchFolder live("kalvex-batch", tmp);
    ASSERT_TRUE(live.valid());

    const fs::path out = w.path() / "out";
    fs::create_directories(out);
    const std::string dead = std::to_string(child);
    const fs::path stale = out / ("~report.csv." + dead + "-Qx7Rt2.new");
    const fs::path recent = out / ("~report.csv." + dead + "-Zz9Yy8.new");
    const fs::path oldForm = out / "~report.csv.new";
    for (const fs::path& p : {stale, recent, oldForm})
        std::ofstream(p) << "half";
    for (const fs::path& p : {stale, oldForm})
        fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::hours(1));

    const auto [code, errors] = RunBatch(Args({"--csv", (out / "report.csv").string()}), w.path() / "e", tmp);
    ASSERT_EQ(code, 0) << errors;
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::is_directory(live.path()));
    // The run's own folder went with it.
    std::vector<std::string> ours = Names(tmp);
    std::erase_if(ours, [](const std::string& name) { return !name.starts_with("kalvex-"); });
    EXPECT_EQ(ours, std::vector<std::string>{live.path().filename().string()});
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(recent));
    EXPECT_TRUE(fs::exists(oldForm));
}

} // namespace
} // namespace kvx

int main(int argc, char** argv)
{
    // Before any thread starts: a mount namespace can only be entered alone,
    // and nothing mounted in it outlives the test or shows outside it.
    kvx::g_privateMounts = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
