// The window's hold on its working folder, without a window: who owns the
// home, where a second program works, and which private folders a later
// start may offer.

#include "shell/home_claim.h"

#include "base/safe_file.h"
#include "workfolder.h"

#include <QLockFile>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// The id of a process that has ended.
long GonePid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

std::string ThisHost()
{
    return QSysInfo::machineHostName().toStdString();
}

void Write(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

struct Folders {
    TempFolder root;
    fs::path home = root.path() / "home";
    fs::path base = root.path() / "tmp";
    Folders()
    {
        fs::create_directories(home);
        fs::create_directories(base);
    }
};

TEST(HomeClaim, TheFirstProgramOwnsTheHomeAndASecondWorksInAFolderNamingItsOwner)
{
    Folders f;
    HomeClaim first(f.base);
    first.Claim(f.home);
    EXPECT_TRUE(first.OwnsHome());
    EXPECT_EQ(first.Current(), f.home);
    EXPECT_TRUE(first.TakeNotices().empty());

    HomeClaim second(f.base);
    second.Claim(f.home);
    EXPECT_FALSE(second.OwnsHome());
    EXPECT_TRUE(second.IsPrivate());
    EXPECT_EQ(second.Home(), f.home);
    ASSERT_NE(second.Current(), f.home);
    EXPECT_EQ(second.Current().parent_path(), f.base);
    const std::vector<std::string> told = second.TakeNotices();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("別の Kalvex が使用中"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find(f.home.string()), std::string::npos) << told[0];
    // Told once.
    EXPECT_TRUE(second.TakeNotices().empty());

    std::ifstream owner(second.Current() / "owner.txt");
    std::string text((std::istreambuf_iterator<char>(owner)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "Kalvex private folder 1\npid=" + std::to_string(::getpid()) + "\nhost=" + ThisHost() +
                        "\nhome=" + f.home.string() + "\n");
    // A live program's folder is not offered, even its own.
    EXPECT_TRUE(first.AbandonedPrivateFolders().empty());
}

TEST(HomeClaim, ALockOfAProgramThatIsGoneIsTakenOverAndTold)
{
    Folders f;
    {
        QLockFile held(QString::fromStdString((f.home / "kalvex.lock").string()));
        ASSERT_TRUE(held.tryLock(0));
        held.setStaleLockTime(0);
        // Left as a crash leaves it: on disk, naming a process now gone.
    }
    Write(f.home / "kalvex.lock", std::to_string(GonePid()) + "\nkalvex\n" + ThisHost() + "\n");
    HomeClaim claim(f.base);
    claim.Claim(f.home);
    EXPECT_TRUE(claim.OwnsHome());
    const std::vector<std::string> told = claim.TakeNotices();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("引き継ぎました"), std::string::npos) << told[0];
}

TEST(HomeClaim, AFolderLeftBehindStaysAfterTheWindowAndTheWindowGoesOnInANewOne)
{
    Folders f;
    HomeClaim first(f.base);
    first.Claim(f.home);
    fs::path left;
    {
        HomeClaim second(f.base);
        second.Claim(f.home);
        const fs::path before = second.Current();
        left = second.LeavePrivateBehind();
        EXPECT_EQ(left, before);
        EXPECT_TRUE(second.IsPrivate());
        EXPECT_NE(second.Current(), left);
        EXPECT_NE(second.Current(), f.home);
    }
    EXPECT_TRUE(fs::is_directory(left));
    // Its owner is this live test: not offered while it runs.
    EXPECT_TRUE(first.AbandonedPrivateFolders().empty());
}

TEST(HomeClaim, AWindowsFolderIsRemovedAtItsCloseUnlessItHoldsWorkTheHomeHasNotTaken)
{
    Folders f;
    HomeClaim first(f.base);
    first.Claim(f.home);
    fs::path plain, kept;
    {
        HomeClaim second(f.base);
        second.Claim(f.home);
        plain = second.Current();
    }
    {
        HomeClaim third(f.base);
        third.Claim(f.home);
        kept = third.Current();
        third.KeepPrivateOnExit();
    }
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_TRUE(fs::is_directory(kept));
}

TEST(HomeClaim, APrivateFolderThatCannotBeMadeIsTold)
{
    Folders f;
    HomeClaim first(f.base);
    first.Claim(f.home);
    HomeClaim second(f.root.path() / "no such folder");
    second.Claim(f.home);
    EXPECT_FALSE(second.IsPrivate());
    EXPECT_FALSE(second.OwnsHome());
    const std::vector<std::string> told = second.TakeNotices();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[0].find("専用の作業フォルダを作れません"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find("別の Kalvex が使用中"), std::string::npos) << told[1];
}

// Which private folders a start offers: only those of this home and this
// machine whose program is gone, and only folders that say so.
struct AbandonedCase {
    const char* name;
    const char* folder;      // its name in the temporary folder
    std::string owner;       // owner.txt, "" for none
    bool link = false;       // a link to a folder with that owner
    bool offered;
};

TEST(HomeClaim, OnlyFoldersOfGoneProgramsOnThisHomeAndMachineAreOffered)
{
    Folders f;
    const std::string gone = std::to_string(GonePid());
    const std::string live = std::to_string(::getppid());
    auto note = [&](const std::string& pid, const std::string& host, const std::string& home) {
        return "Kalvex private folder 1\npid=" + pid + "\nhost=" + host + "\nhome=" + home + "\n";
    };
    const AbandonedCase cases[] = {
        {"its program gone", "kalvex-work-1-aaaaaa", note(gone, ThisHost(), f.home.string()), false, true},
        {"its program alive", "kalvex-work-2-bbbbbb", note(live, ThisHost(), f.home.string()), false, false},
        {"another home", "kalvex-work-3-cccccc", note(gone, ThisHost(), (f.root.path() / "other").string()), false, false},
        {"another machine", "kalvex-work-4-dddddd", note(gone, "elsewhere.invalid", f.home.string()), false, false},
        {"no owner", "kalvex-work-5-eeeeee", "", false, false},
        {"a garbled owner", "kalvex-work-6-ffffff", "Kalvex private folder 1\npid=12x\nhost=" + ThisHost() + "\nhome=" +
                                                        f.home.string() + "\n", false, false},
        {"an owner of another format", "kalvex-work-7-gggggg", "Kalvex private folder 2\npid=" + gone + "\nhost=" +
                                                                 ThisHost() + "\nhome=" + f.home.string() + "\n", false, false},
        {"a link", "kalvex-work-8-hhhhhh", note(gone, ThisHost(), f.home.string()), true, false},
        {"another program's name", "other-work-9-iiiiii", note(gone, ThisHost(), f.home.string()), false, false},
    };
    for (const AbandonedCase& c : cases) {
        fs::path made = f.base / c.folder;
        if (c.link) {
            made = f.root.path() / c.folder;
            fs::create_directory_symlink(made, f.base / c.folder);
        }
        fs::create_directories(made);
        if (!c.owner.empty())
            Write(made / "owner.txt", c.owner);
    }
    HomeClaim claim(f.base);
    claim.Claim(f.home);
    const std::vector<fs::path> offered = claim.AbandonedPrivateFolders();
    for (const AbandonedCase& c : cases) {
        const bool found = std::find(offered.begin(), offered.end(), f.base / c.folder) != offered.end();
        EXPECT_EQ(found, c.offered) << c.name;
    }
}

} // namespace
} // namespace kvx
