#include "base/app_settings.h"
#include "interact/commands.h"
#include "base/error_trail.h"
#include "base/housekeeping.h"
#include "base/safe_file.h"

#include "measure/calibration.h"
#include "workfolder.h"
#include "testing.h"

#include <gtest/gtest.h>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::TempFolder;
using test::WriteAll;

TEST(Settings, MissingFileGivesDefaultsAndShutdownWritesEveryKey)
{
    TempFolder home;
    const fs::path ini = home.path() / "kvx.ini";
    const TAppSettings defaults = DefaultSettings("/opt/kalvex", "/home/user");
    const TAppSettings s = ReadSettings(ini, defaults);
    EXPECT_EQ(s, defaults);
    EXPECT_EQ(s.PD25Folder, "/opt/kalvex");
    EXPECT_EQ(s.CsvFolder, "/home/user");
    EXPECT_EQ(s.ColorBaseUnit, 16711935);
    EXPECT_TRUE(s.ShortCutButtonFlag);

    ASSERT_TRUE(WriteSettings(ini, s));
    const std::string text = ReadAll(ini);
    for (const char* line :
         {"[Folder]", "Image=/home/user", "PD25=/opt/kalvex", "Csv=", "Csv2=", "Pdf=", "[PanWindow]", "Flag=0",
          "Size=300", "[DrawText]", "Size=12", "[ShortCutButton]", "Flag=1", "[PD25]", "[AdjustDraw]",
          "[SpaceNameInput]", "[Color]", "Base=0", "CrossLine=255", "BaseLine=128", "BaseUnit=16711935",
          "Distance=32768", "SpaceAdd=16711680", "SpaceSub=255", "Base2=8421504", "SpaceSub2=8421504",
          "[DeleteTemp]", "Limit=0", "[LastFileName]", "1=", "5="})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST(Settings, RoundTripAndBadValues)
{
    TempFolder home;
    const fs::path ini = home.path() / "kvx.ini";
    TAppSettings s = DefaultSettings("/x", "/y");
    s.ImageFolder = "/写真/現場 A";
    s.PanWindowFlag = true;
    s.DrawTextSize = 16;
    s.ColorDistance = 65280;
    s.DeleteTempLimit = 3;
    s.LastFileName[1] = "/写真/a,b.jpg";
    s.LastFileName[3] = "/p/c.bmp";
    s.ClickSigma = 1.75;
    s.UncertaintyLabelFlag = true;
    ASSERT_TRUE(WriteSettings(ini, s));
    EXPECT_NE(ReadAll(ini).find("[Uncertainty]\nClickSigma=1.75\nLabelFlag=1\n"), std::string::npos) << ReadAll(ini);
    EXPECT_EQ(ReadSettings(ini, DefaultSettings("/x", "/y")), s);

    WriteAll(ini, "[DrawText]\nSize=abc\n[PanWindow]\nFlag=7\nSize=12x\n[AdjustDraw]\nFlag=0\n[Color]\nBase=-5\n"
                  "[Uncertainty]\nClickSigma=0,75\n[Other]\nKeep=me\n");
    const TAppSettings r = ReadSettings(ini, DefaultSettings("/x", "/y"));
    EXPECT_EQ(r.DrawTextSize, 12) << "not an integer: the default";
    EXPECT_TRUE(r.PanWindowFlag) << "any non-zero integer is true";
    EXPECT_EQ(r.PanWindowSize, 300);
    EXPECT_FALSE(r.AdjustDrawFlag);
    EXPECT_EQ(r.ColorBase, -5);
    EXPECT_EQ(r.ClickSigma, 0.5) << "a decimal comma is no number here: the default";
    ASSERT_TRUE(WriteSettings(ini, r));
    EXPECT_NE(ReadAll(ini).find("Keep=me"), std::string::npos) << "other sections survive a write";
}

TEST(Settings, NoValueStartsALineOfItsOwn)
{
    TempFolder home;
    const fs::path ini = home.path() / "kvx.ini";
    TAppSettings s = DefaultSettings("/x", "/y");
    s.ImageFolder = "/photos/site";
    s.DeleteTempLimit = 30;
    ASSERT_TRUE(WriteSettings(ini, s));
    // File names a user can really give a photo or a folder.
    for (const std::string evil : {"/p/x\n[DeleteTemp]\nLimit=1\n.jpg", "/p/y\r[Color]\rBase=255.jpg",
                                   "/p/z\r\n[LastFileName]\r\n2=/p/other.jpg"}) {
        SCOPED_TRACE(evil);
        TAppSettings next = s;
        next.ImageFolder = evil;
        next.LastFileName[1] = evil;
        next.LastFileName[2] = "/p/kept.jpg";
        ASSERT_TRUE(WriteSettings(ini, next));
        const std::string text = ReadAll(ini);
        EXPECT_EQ(text.find("[DeleteTemp]"), text.rfind("[DeleteTemp]")) << text;
        EXPECT_EQ(text.find("Limit=1\n"), std::string::npos) << text;
        const TAppSettings back = ReadSettings(ini, DefaultSettings("/x", "/y"));
        EXPECT_EQ(back.DeleteTempLimit, 30);
        EXPECT_EQ(back.ColorBase, s.ColorBase);
        EXPECT_EQ(back.ImageFolder, "/photos/site") << "the folder the file had";
        EXPECT_EQ(back.LastFileName[1], "");
        EXPECT_EQ(back.LastFileName[2], "/p/kept.jpg");
    }

    std::array<std::string, 6> last{"", "/p/a.jpg"};
    PushRecent(last, "/p/b\n[DeleteTemp]\nLimit=1\n.jpg");
    EXPECT_EQ(last, (std::array<std::string, 6>{"", "/p/a.jpg"})) << "not in the list at all";
}

TEST(Settings, HostileFilesGiveDefaults)
{
    TempFolder home;
    const fs::path ini = home.path() / "kvx.ini";
    const TAppSettings defaults = DefaultSettings("/x", "/y");
    WriteAll(ini, std::string("\0\xff\xfe[[[=\n==\n", 12));
    EXPECT_EQ(ReadSettings(ini, defaults), defaults);
    WriteAll(ini, "[DrawText]\nSize=9\n" + std::string(2 << 20, ';'));
    EXPECT_EQ(ReadSettings(ini, defaults), defaults) << "a file far too large is not read";
    fs::remove(ini);
    fs::create_directory(ini);
    EXPECT_EQ(ReadSettings(ini, defaults), defaults);
    EXPECT_FALSE(WriteSettings(ini, defaults));
}

TEST(Folders, HomeOptionThenEnvironmentThenExecutable)
{
    EXPECT_EQ(ResolveFolders(std::string("/a/home"), "/env", "/exe").ExeFolder, "/a/home");
    EXPECT_EQ(ResolveFolders(std::nullopt, "/env/", "/exe").ExeFolder, "/env");
    const Folders f = ResolveFolders(std::nullopt, nullptr, "/opt/kalvex/bin");
    EXPECT_EQ(f.ExeFolder, "/opt/kalvex/bin");
    EXPECT_EQ(f.TempFolder, "/opt/kalvex/bin/Temp");
    EXPECT_EQ(f.IniFile(), "/opt/kalvex/bin/kvx.ini");
    EXPECT_EQ(ResolveFolders(std::nullopt, "", "/").TempFolder, "/Temp");
}

TEST(Folders, InstalledCopyKeepsItsFilesInTheUserData)
{
    const TempFolder exe;
    const fs::path missing = exe.path() / "no" / "such" / "folder";
    // A folder the program may write in keeps everything beside it.
    EXPECT_EQ(ResolveFolders(std::nullopt, nullptr, exe.path(), "/data/kalvex").ExeFolder, exe.path());
    // One it cannot write in gives way to the user's data folder...
    const Folders f = ResolveFolders(std::nullopt, nullptr, missing, "/data/kalvex");
    EXPECT_EQ(f.ExeFolder, "/data/kalvex");
    EXPECT_EQ(f.TempFolder, "/data/kalvex/Temp");
    EXPECT_EQ(f.RefusedHome, missing);
    // ...and so does a home named by the option or the environment, tried the
    // same way; one that can be written (made when missing) wins.
    const TempFolder named;
    const fs::path fresh = named.path() / "new home";
    const Folders option = ResolveFolders(fresh.string(), "/env", missing, "/data/kalvex");
    EXPECT_EQ(option.ExeFolder, fresh);
    EXPECT_TRUE(option.RefusedHome.empty());
    EXPECT_TRUE(fs::is_directory(fresh));
    EXPECT_TRUE(fs::is_empty(fresh));
    EXPECT_EQ(ResolveFolders(std::nullopt, named.path().c_str(), missing, "/data/kalvex").ExeFolder, named.path());
    // A file where the home's folder should be: nothing can be made in it,
    // not even by root.
    WriteAll(named.path() / "plain file", "x");
    const fs::path underFile = named.path() / "plain file" / "home";
    for (const Folders& refused : {ResolveFolders(underFile.string(), nullptr, exe.path(), "/data/kalvex"),
                                   ResolveFolders(std::nullopt, underFile.c_str(), exe.path(), "/data/kalvex")}) {
        EXPECT_EQ(refused.ExeFolder, "/data/kalvex");
        EXPECT_EQ(refused.RefusedHome, underFile);
    }
    // The probe leaves nothing behind.
    EXPECT_TRUE(FolderWritable(exe.path()));
    EXPECT_TRUE(fs::is_empty(exe.path()));
    EXPECT_FALSE(FolderWritable(missing));

    EXPECT_EQ(UserDataFolder("/xdg", "/home/u"), "/xdg/kalvex");
    EXPECT_EQ(UserDataFolder("", "/home/u"), "/home/u/.local/share/kalvex");
    EXPECT_EQ(UserDataFolder("relative", "/home/u"), "/home/u/.local/share/kalvex");
    EXPECT_EQ(UserDataFolder(nullptr, "/home/u"), "/home/u/.local/share/kalvex");
}

TEST(Recent, MoveToFrontDropTheSixthCaseSensitive)
{
    std::array<std::string, 6> last{"", "a", "b", "c", "d", "e"};
    PushRecent(last, "c");
    EXPECT_EQ(last, (std::array<std::string, 6>{"", "c", "a", "b", "d", "e"}));
    PushRecent(last, "f");
    EXPECT_EQ(last, (std::array<std::string, 6>{"", "f", "c", "a", "b", "d"}));
    PushRecent(last, "F");
    EXPECT_EQ(last, (std::array<std::string, 6>{"", "F", "f", "c", "a", "b"}));
    PushRecent(last, "F");
    EXPECT_EQ(last, (std::array<std::string, 6>{"", "F", "f", "c", "a", "b"}));
}

TEST(Housekeeping, PruneAtExactlyTheLimit)
{
    TempFolder temp;
    const auto now = fs::file_time_type::clock::now();
    auto make = [&](const std::string& name, std::chrono::seconds age) {
        WriteAll(temp.path() / name, "x");
        fs::last_write_time(temp.path() / name, now - age);
    };
    const auto day = std::chrono::hours(24);
    // What a save killed before its rename leaves.
    const std::string leftOver = TemporaryBeside(temp.path() / "2.tmp").filename().string();
    const std::string youngLeftOver = TemporaryBeside(temp.path() / "wall_5[1].tmp").filename().string();
    make("1.tmp", day * 3);
    make("wall_5[1].tmp", day * 3 - std::chrono::hours(1));
    make("old.txt", day * 30);
    make("error.txt", day * 30);
    make("OLD.TMP", day * 4);
    make(leftOver, day * 3);
    make(youngLeftOver, day * 2);
    make("~.bmp", day * 30);
    fs::create_directory(temp.path() / "dir.tmp");

    PruneWorkingFiles(temp.path(), 0, now);
    EXPECT_TRUE(fs::exists(temp.path() / "1.tmp")) << "0 never deletes";

    PruneWorkingFiles(temp.path(), 3, now);
    EXPECT_FALSE(fs::exists(temp.path() / "1.tmp")) << "exactly three days old";
    EXPECT_FALSE(fs::exists(temp.path() / "OLD.TMP"));
    EXPECT_TRUE(fs::exists(temp.path() / "wall_5[1].tmp")) << "two days and 23 hours";
    EXPECT_TRUE(fs::exists(temp.path() / "old.txt"));
    EXPECT_TRUE(fs::exists(temp.path() / "error.txt"));
    EXPECT_TRUE(fs::exists(temp.path() / "dir.tmp"));
    EXPECT_FALSE(fs::exists(temp.path() / leftOver)) << "left by a killed save";
    EXPECT_TRUE(fs::exists(temp.path() / youngLeftOver)) << "younger than the limit";
    EXPECT_TRUE(fs::exists(temp.path() / "~.bmp")) << "the report's picture is no leftover";
}

TEST(Housekeeping, ErrorLogOnlyWithLines)
{
    TempFolder temp;
    ErrorTrail trail;
    WriteAll(temp.path() / "error.txt", "earlier run");
    ASSERT_TRUE(WriteErrorLog(trail, temp.path()));
    EXPECT_EQ(ReadAll(temp.path() / "error.txt"), "earlier run") << "a clean run leaves the old log alone";
    trail.append("GetDelta  [process = 2]");
    trail.append("CalcuDistance");
    ASSERT_TRUE(WriteErrorLog(trail, temp.path()));
    EXPECT_EQ(ReadAll(temp.path() / "error.txt"), "GetDelta  [process = 2]\r\nCalcuDistance\r\n");
}

TEST(Commands, PriceLabelAndPressedButton)
{
    struct Case {
        uCommand mode;
        const char* price;
        const char* button;
    };
    const Case cases[] = {
        {uCommand::None, "", ""},
        {uCommand::Base, "", "SpeedButton_Base"},
        {uCommand::BaseOnePoint, "", "SpeedButton_Base1"},
        {uCommand::BaseSixPoint, "", "SpeedButton_Base"},
        {uCommand::Distance, "/m", "SpeedButton_Distance"},
        {uCommand::DistanceHosei, "/m", ""},
        {uCommand::DistanceHoseiDel, "/m", ""},
        {uCommand::SpaceAdd, "/㎡", "SpeedButton_SpaceAdd"},
        {uCommand::SpaceAdjust, "/㎡", "SpeedButton_SpaceAdjust"},
        {uCommand::SpaceSlant, "", ""},
        {uCommand::SpaceHosei, "/㎡", ""},
        {uCommand::SpaceHoseiDel, "/㎡", ""},
        {uCommand::SpaceNameUpd, "", ""},
        {uCommand::CrossLine, "", ""},
        {uCommand::ZoomDown, "", "SpeedButton_ZoomDown"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PriceLabel(c.mode), c.price) << c.mode;
        EXPECT_EQ(PressedButton(c.mode), c.button) << c.mode;
    }
}

// Every tool can be entered once the document has everything a tool works on,
// and with a bare photo only the tools that make something from nothing are on.
TEST(Commands, EveryToolIsReachableAndWaitsForItsMarks)
{
    Document doc;
    const std::set<std::string> bare = EnabledItems(doc, true, uCommand::None);
    // The one-point reference shares the reference's entry; its own button
    // waits for two planes.
    const std::set<uCommand> fromNothing = {uCommand::Base, uCommand::BaseOnePoint, uCommand::BaseSixPoint,
                                            uCommand::ImageFix, uCommand::ZoomUp, uCommand::ZoomDown,
                                            uCommand::StraightEdge};
    EXPECT_FALSE(bare.count("SpeedButton_Base1"));
    SetReferenceRect(doc, {TDPoint{0, 0}, {100, 0}, {100, 100}, {0, 100}}, true);
    doc.CurrentBase = 1;
    doc.OtherBaseSet = 1;
    doc.CrossLineSet = 1;
    doc.Plane.base.BaseUnitSet = 1;
    doc.Plane.base.BaseLineWSet = 1;
    doc.Plane.Distances.Append(TDistance{0, {1, 1}, {5, 5}});
    doc.Plane.Distances[1].corrected = 1;
    TSpace s;
    s.corrected = 1;
    doc.Plane.Spaces.Append(s);
    doc.Plane.Checks.Append(TCheck{{1, 1}, {9, 1}, 8});
    const std::set<std::string> full = EnabledItems(doc, true, uCommand::None);
    const std::vector<std::string>& managed = ManagedItems();
    for (int n = 1; n < kToolModeCount; ++n) {
        const auto mode = static_cast<uCommand>(n);
        const ToolRow& tool = Tool(mode);
        ASSERT_EQ(tool.mode, mode);
        EXPECT_NE(tool.family, ToolFamily::None) << mode;
        ASSERT_NE(std::string(tool.action), "") << mode;
        EXPECT_NE(std::find(managed.begin(), managed.end(), tool.action), managed.end()) << mode;
        EXPECT_TRUE(full.count(tool.action)) << mode << " " << tool.action;
        if (*tool.button) {
            EXPECT_TRUE(full.count(tool.button)) << mode << " " << tool.button;
            EXPECT_EQ(PressedButton(mode), tool.button);
        }
        EXPECT_EQ(bare.count(tool.action) == 1, fromNothing.count(mode) == 1) << mode << " " << tool.action;
    }
}

TEST(Commands, EnablingFollowsTheDocument)
{
    Document doc;
    EXPECT_TRUE(EnabledItems(doc, false, uCommand::None).empty()) << "no photo, nothing";

    auto on = EnabledItems(doc, true, uCommand::None);
    EXPECT_TRUE(on.count("mnBase") && on.count("mnZoomAll") && on.count("ComboBox_Change"));
    EXPECT_FALSE(on.count("mnDistance") || on.count("SpeedButton_Base1") || on.count("mnReset"));

    SetReferenceRect(doc, {TDPoint{0, 0}, {100, 0}, {100, 100}, {0, 100}}, true);
    on = EnabledItems(doc, true, uCommand::None);
    EXPECT_TRUE(on.count("mnDistance") && on.count("mnSpaceSub") && on.count("mnReset"));
    EXPECT_FALSE(on.count("mnDistanceAdjust") || on.count("mnCrossLine") || on.count("mnBaseUnitAdjust") ||
                 on.count("mnBaseLineAdjust"));

    doc.Plane.Distances.Append(TDistance{0, {1, 1}, {5, 5}});
    doc.OtherBaseSet = 1;
    on = EnabledItems(doc, true, uCommand::None);
    EXPECT_TRUE(on.count("mnDistanceDel") && on.count("mnCrossLine"));
    EXPECT_FALSE(on.count("mnDistanceHosei") || on.count("mnDistanceHoseiDel") || on.count("mnSpaceDel"));
    doc.CrossLineSet = 1;
    doc.Plane.Distances[1].corrected = 1;
    on = EnabledItems(doc, true, uCommand::None);
    EXPECT_TRUE(on.count("mnDistanceHosei") && on.count("mnDistanceHoseiDel"));

    TSpace s;
    s.corrected = 1;
    doc.Plane.Spaces.Append(s);
    doc.Plane.base.BaseUnitSet = 1;
    doc.Plane.base.BaseLineHSet = 1;
    on = EnabledItems(doc, true, uCommand::None);
    EXPECT_TRUE(on.count("mnSpaceNameUpd") && on.count("mnSpaceHosei") && on.count("mnSpaceHoseiDel") &&
                on.count("SpeedButton_BaseUnitAdjust") && on.count("SpeedButton_BaseLineAdjust"));
    EXPECT_FALSE(on.count("mnBaseChange") || on.count("CheckBox_Lock"));

    EXPECT_TRUE(on.count("mnDetectReference")) << "a photo of one plane";
    EXPECT_FALSE(EnabledItems(Document{}, false, uCommand::None).count("mnDetectReference")) << "no photo";

    doc.CurrentBase = 2;
    on = EnabledItems(doc, true, uCommand::BaseAdjust);
    EXPECT_FALSE(on.count("mnDetectReference")) << "not for the two planes";
    EXPECT_TRUE(on.count("SpeedButton_Base1") && on.count("mnBaseChange") && on.count("CheckBox_BaseChangeAuto") &&
                on.count("CheckBox_Lock"));
    EXPECT_FALSE(EnabledItems(doc, true, uCommand::Distance).count("CheckBox_Lock")) << "lock only while adjusting";

    doc.Plane.base.BaseSet = 0;
    on = EnabledItems(doc, true, uCommand::None);
    EXPECT_TRUE(on.count("SpeedButton_Base1"));
    EXPECT_FALSE(on.count("mnBaseChange") || on.count("mnDistanceDel")) << "the nested rows need a reference";

    for (const std::string& name : EnabledItems(doc, true, uCommand::None))
        EXPECT_NE(std::find(ManagedItems().begin(), ManagedItems().end(), name), ManagedItems().end()) << name;
}

} // namespace
} // namespace kvx
