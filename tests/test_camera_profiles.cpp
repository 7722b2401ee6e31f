// The folder of camera profiles: the profile made for a photo's camera found
// among files written here by hand, and whatever else a user's folder may
// hold passed over (damaged files, links in a loop, a huge file, a pipe).

#include "measure/camera_profiles.h"

#include "base/safe_file.h"

#include "workfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace kvx {
namespace {

namespace fs = std::filesystem;

// A profile's text as a user's editor would keep it.
std::string ProfileText(const std::string& make, const std::string& model, const std::string& focal, int w, int h,
                        const std::string& rms = "0.25")
{
    const std::string size = std::to_string(w) + " " + std::to_string(h);
    return "kalvex-camera 1\r\nmake " + make + "\r\nmodel " + model + "\r\nfocal " + focal + "\r\nsize " + size +
           "\r\nlens division -0.05 " + size + "\r\nrms " + rms + "\r\n";
}

const CameraId kPhoto{"Kalvex", "KX-1", 24.0, 6000, 4000};

struct FolderCase {
    const char* what;
    // What the folder holds besides the files the case plants.
    void (*plant)(const fs::path& folder);
    const char* expected;  // the name of the profile found; empty for none
};

void Write(const fs::path& p, const std::string& bytes)
{
    test::WriteAll(p, bytes);
}

const FolderCase kCases[] = {
    {"a profile of the camera", [](const fs::path& f) { Write(f / "mine.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000)); },
     "mine"},
    {"make and model padded as EXIF pads them",
     [](const fs::path& f) { Write(f / "padded.kvxcam", ProfileText("Kalvex  ", " KX-1", "24.004", 6000, 4000)); }, "padded"},
    {"another focal length", [](const fs::path& f) { Write(f / "zoom.kvxcam", ProfileText("Kalvex", "KX-1", "35", 6000, 4000)); },
     ""},
    {"another photo size", [](const fs::path& f) { Write(f / "small.kvxcam", ProfileText("Kalvex", "KX-1", "24", 4000, 3000)); },
     ""},
    {"another model", [](const fs::path& f) { Write(f / "other.kvxcam", ProfileText("Kalvex", "KX-2", "24", 6000, 4000)); }, ""},
    {"a profile without a make", [](const fs::path& f) { Write(f / "bare.kvxcam", ProfileText("", "KX-1", "24", 6000, 4000)); },
     ""},
    {"a profile under another ending",
     [](const fs::path& f) { Write(f / "mine.txt", ProfileText("Kalvex", "KX-1", "24", 6000, 4000)); }, ""},
    {"a damaged file is passed over",
     [](const fs::path& f) {
         std::string cut = ProfileText("Kalvex", "KX-1", "24", 6000, 4000);
         Write(f / "a-cut.kvxcam", cut.substr(0, cut.size() - 9));
         Write(f / "b-foreign.kvxcam", "\x89PNG\r\n\x1a\n");
         Write(f / "c-good.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000));
     },
     "c-good"},
    {"a link going round in a loop is passed over",
     [](const fs::path& f) {
         fs::create_symlink(f / "loop-b.kvxcam", f / "loop-a.kvxcam");
         fs::create_symlink(f / "loop-a.kvxcam", f / "loop-b.kvxcam");
         Write(f / "z-good.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000));
     },
     "z-good"},
    {"a huge file is not read",
     [](const fs::path& f) {
         // Sparse: it claims 8 GiB and takes no room.
         Write(f / "a-huge.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000));
         fs::resize_file(f / "a-huge.kvxcam", std::uintmax_t{8} << 30);
     },
     ""},
    {"a pipe is never opened",
     [](const fs::path& f) {
         ASSERT_EQ(mkfifo((f / "a-pipe.kvxcam").c_str(), 0600), 0);
         Write(f / "b-good.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000));
     },
     "b-good"},
    {"a folder under a profile's name",
     [](const fs::path& f) {
         fs::create_directory(f / "a-folder.kvxcam");
         Write(f / "b-good.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000));
     },
     "b-good"},
    {"of two the one of the smaller error",
     [](const fs::path& f) {
         Write(f / "a-rough.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000, "0.8"));
         Write(f / "b-fine.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000, "0.2"));
         Write(f / "c-untold.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000, "0"));
     },
     "b-fine"},
    {"one that does not tell its error only when it is alone",
     [](const fs::path& f) { Write(f / "untold.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000, "0")); }, "untold"},
};

class ProfileFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(ProfileFolder, FindsTheCamerasProfile)
{
    test::TempFolder folder;
    GetParam().plant(folder.path());
    const auto found = FindMatchingNamedProfile(folder.path(), kPhoto);
    const std::string expected = GetParam().expected;
    if (expected.empty()) {
        EXPECT_FALSE(found) << found->first;
        EXPECT_FALSE(FindMatchingProfile(folder.path(), kPhoto));
        return;
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(found->first, expected);
    EXPECT_EQ(found->second.camera.width, 6000);
    EXPECT_EQ(found->second.lens.kind, LensKind::Division);
    EXPECT_DOUBLE_EQ(found->second.lens.k, -0.05);
    const std::optional<CameraProfile> profile = FindMatchingProfile(folder.path(), kPhoto);
    ASSERT_TRUE(profile);
    EXPECT_EQ(*profile, found->second);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileFolder, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FolderCase>& param) {
                             std::string name;
                             for (const char c : std::string(param.param.what))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(ProfileFolder, ListsTheGoodProfilesByName)
{
    test::TempFolder folder;
    Write(folder.path() / "b.kvxcam", ProfileText("Kalvex", "KX-2", "35", 4000, 3000));
    Write(folder.path() / "a.kvxcam", ProfileText("Kalvex", "KX-1", "24", 6000, 4000));
    Write(folder.path() / "c.kvxcam", "kalvex-camera 2\r\n");
    const auto list = ListProfiles(folder.path());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].first, "a");
    EXPECT_EQ(list[0].second.camera, kPhoto);
    EXPECT_EQ(list[1].first, "b");
    EXPECT_EQ(list[1].second.camera, (CameraId{"Kalvex", "KX-2", 35.0, 4000, 3000}));
}

TEST(ProfileFolder, MissingOrUnreadableFolderHasNone)
{
    test::TempFolder folder;
    EXPECT_TRUE(ListProfiles(folder.path() / "none").empty());
    Write(folder.path() / "file", "x");
    EXPECT_TRUE(ListProfiles(folder.path() / "file").empty());
    EXPECT_FALSE(FindMatchingProfile(folder.path() / "none", kPhoto));
}

// A folder of more profiles than are ever read: the first by name are read,
// the same ones on every run, and nothing beyond.
TEST(ProfileFolder, ReadsABoundedNumberOfFiles)
{
    test::TempFolder folder;
    const std::size_t many = kMaxProfileFiles + 20;
    for (std::size_t i = 0; i < many; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%05zu.kvxcam", i);
        Write(folder.path() / name, ProfileText("Kalvex", "KX-" + std::to_string(i), "24", 6000, 4000));
    }
    const auto list = ListProfiles(folder.path());
    ASSERT_EQ(list.size(), kMaxProfileFiles);
    EXPECT_EQ(list.front().first, "p00000");
    EXPECT_EQ(list.back().first, "p00499");
    EXPECT_TRUE(FindMatchingProfile(folder.path(), CameraId{"Kalvex", "KX-3", 24.0, 6000, 4000}));
    EXPECT_FALSE(FindMatchingProfile(folder.path(), CameraId{"Kalvex", "KX-510", 24.0, 6000, 4000}));
}

TEST(ProfileFolder, FileNamesFitTheFileSystem)
{
    CameraProfile p;
    p.camera = CameraId{"Kalvex", "KX/1\tmk2", 24.0, 6000, 4000};
    const std::string name = ProfileFileName(p);
    EXPECT_EQ(name, "Kalvex KX_1 mk2 24 mm 6000x4000.kvxcam") << name;
    p.camera.make = "";
    p.camera.model = ".hidden";
    EXPECT_EQ(ProfileFileName(p).front(), '_');
    // A model of three-byte characters past any file name's length: cut at a
    // character's end, and the ending kept.
    p.camera.model.clear();
    for (int i = 0; i < 120; ++i)
        p.camera.model += "\xE3\x83\xAC";
    const std::string cut = ProfileFileName(p);
    EXPECT_LE(cut.size(), kMaxNameBytes);
    EXPECT_TRUE(cut.ends_with(".kvxcam"));
    const std::string stem = cut.substr(0, cut.size() - 7);
    EXPECT_EQ(stem.size() % 3, 0u) << stem.size();
}

// A new profile never takes the place of one kept: the name gets a number,
// also beside a link that leads nowhere.
TEST(ProfileFolder, NewProfilesTakeAFreeName)
{
    CameraProfile p;
    p.camera = kPhoto;
    struct Case {
        const char* what;
        std::vector<std::string> taken;
        bool danglingLink;
        const char* expected;
    } const cases[] = {
        {"an empty folder", {}, false, "Kalvex KX-1 24 mm 6000x4000.kvxcam"},
        {"the name taken", {"Kalvex KX-1 24 mm 6000x4000.kvxcam"}, false, "Kalvex KX-1 24 mm 6000x4000 (2).kvxcam"},
        {"two names taken", {"Kalvex KX-1 24 mm 6000x4000.kvxcam", "Kalvex KX-1 24 mm 6000x4000 (2).kvxcam"}, false,
         "Kalvex KX-1 24 mm 6000x4000 (3).kvxcam"},
        {"a link leading nowhere", {}, true, "Kalvex KX-1 24 mm 6000x4000 (2).kvxcam"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder;
        for (const std::string& name : c.taken)
            Write(folder.path() / name, "kept");
        if (c.danglingLink)
            fs::create_symlink(folder.path() / "nowhere", folder.path() / "Kalvex KX-1 24 mm 6000x4000.kvxcam");
        const std::optional<fs::path> free = FreeProfilePath(folder.path(), p);
        ASSERT_TRUE(free);
        EXPECT_EQ(*free, folder.path() / c.expected);
    }
}

} // namespace
} // namespace kvx
