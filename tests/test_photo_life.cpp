// The open photo's life without the window: opened with what was kept of it,
// a setting switched with unsaved changes (kept, or the switch refused), its
// image processing following the setting, and its copies changed elsewhere.

#include "shell/photo_session.h"
#include "measure/workfiles.h"
#include "workfolder.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <fstream>

namespace kvx {
namespace {

namespace fs = std::filesystem;

// A photo of two halves, so that a processing that inverts a colour shows.
Photo TwoTone()
{
    QImage image(64, 48, QImage::Format_RGB888);
    image.fill(QColor(200, 40, 40));
    for (int y = 0; y < 48; ++y)
        for (int x = 32; x < 64; ++x)
            image.setPixelColor(x, y, QColor(20, 180, 60));
    return Photo(std::move(image));
}

const std::array<TDPoint, 4> kReference{TDPoint{5, 5}, {55, 6}, {56, 40}, {4, 41}};

struct Opened {
    test::TempFolder folder;
    Editor editor;
    PhotoSession photo{editor};
    std::string damage;

    Opened()
    {
        damage = photo.Open(TwoTone(), (folder.path() / "wall.png").string(), folder.path(), PhotoKey{});
    }
};

TEST(PhotoLife, AnOpenedPhotoIsShownAsDecodedWithoutProcessing)
{
    Opened o;
    EXPECT_EQ(o.damage, "");
    ASSERT_TRUE(o.photo.HasPhoto());
    EXPECT_EQ(o.photo.Work().Width(), 64);
    EXPECT_EQ(o.photo.Work().Height(), 48);
    EXPECT_EQ(o.photo.Work().Image(), o.photo.Source().Image());
    EXPECT_EQ(o.editor.Doc().CurrentSetting, 1);
    EXPECT_EQ(o.editor.Doc().ImageFileName, (o.folder.path() / "wall.png").string());
    o.photo.Close();
    EXPECT_FALSE(o.photo.HasPhoto());
}

// Switching with unsaved changes: when they cannot be kept the switch does not
// happen and they stay as they are; when they are kept, coming back finds them.
struct SwitchCase {
    const char* what;
    bool kept;
};

class PhotoLifeSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(PhotoLifeSwitch, UnsavedChangesAreKeptOrTheSwitchRefused)
{
    const SwitchCase& c = GetParam();
    Opened o;
    o.editor.SetReference(kReference);
    o.editor.AddDistance({10, 10}, {40, 10}, false);
    ASSERT_EQ(o.editor.Doc().Modified, 1);
    test::ScriptedUi ui;
    int asked = 0;
    auto save = [&] {
        ++asked;
        return c.kept && o.editor.SaveSetting(o.folder.path(), ui).first;
    };
    EXPECT_EQ(o.photo.SwitchSetting(2, o.folder.path(), save), c.kept);
    EXPECT_EQ(asked, 1);
    if (!c.kept) {
        EXPECT_EQ(o.editor.Doc().CurrentSetting, 1);
        EXPECT_EQ(o.editor.Doc().Plane.DistanceCount(), 1);
        EXPECT_EQ(o.editor.Doc().Plane.base.BaseSet, 1);
        return;
    }
    EXPECT_EQ(o.editor.Doc().CurrentSetting, 2);
    EXPECT_EQ(o.editor.Doc().Plane.DistanceCount(), 0);
    EXPECT_NE(o.editor.Doc().Plane.base.BaseSet, 1);
    ASSERT_TRUE(o.photo.SwitchSetting(1, o.folder.path(), save));
    EXPECT_EQ(o.editor.Doc().CurrentSetting, 1);
    EXPECT_EQ(o.editor.Doc().Plane.DistanceCount(), 1);
    EXPECT_EQ(o.editor.Doc().Plane.base.BaseRect[1].x, 5);
    EXPECT_TRUE(ui.warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(Switches, PhotoLifeSwitch,
                         ::testing::Values(SwitchCase{"kept", true}, SwitchCase{"refused", false}),
                         [](const auto& row) { return std::string(row.param.what); });

// Each setting shows the photo with its own processing: the red channel
// inverted in setting 2, none in setting 1; the decoded photo never changes.
TEST(PhotoLife, TheShownPhotoFollowsTheSettingsProcessing)
{
    Opened o;
    test::ScriptedUi ui;
    auto save = [&] { return o.editor.SaveSetting(o.folder.path(), ui).first; };
    ASSERT_TRUE(o.photo.SwitchSetting(2, o.folder.path(), save));
    ImageEffects inverted;
    inverted.RevRed = 1;
    o.editor.SetEffects(inverted);
    o.photo.Reprocess();
    EXPECT_EQ(o.photo.Work().Image().pixelColor(2, 2).red(), 255 - 200);
    EXPECT_EQ(o.photo.Source().Image().pixelColor(2, 2).red(), 200);
    ASSERT_TRUE(o.photo.SwitchSetting(1, o.folder.path(), save));
    EXPECT_EQ(o.photo.Work().Image().pixelColor(2, 2).red(), 200);
    ASSERT_TRUE(o.photo.SwitchSetting(2, o.folder.path(), save));
    EXPECT_EQ(o.photo.Work().Image().pixelColor(2, 2).red(), 255 - 200);
    EXPECT_EQ(o.photo.Work().Image().pixelColor(40, 2).green(), 180);
}

// Another program keeping this photo's copies is seen; a copy this window
// kept itself is not taken for one.
TEST(PhotoLife, CopiesChangedElsewhereAreSeenAndOwnKeepsAreNot)
{
    Opened o;
    test::TempFolder shared;
    o.photo.NoteStoredCopies(shared.path());
    EXPECT_FALSE(o.photo.StoredCopiesChanged(shared.path()));
    const fs::path copy = PerImageFile(shared.path(), ImageKeyOf(o.editor.Doc()), kPhotoFiles.front());
    std::ofstream(copy, std::ios::binary) << "kept by another run";
    EXPECT_TRUE(o.photo.StoredCopiesChanged(shared.path()));
    o.photo.NoteKeptCopy(shared.path(), kPhotoFiles.front());
    EXPECT_FALSE(o.photo.StoredCopiesChanged(shared.path()));
    o.photo.ForgetStoredCopies();
    std::ofstream(copy, std::ios::binary) << "and again";
    EXPECT_FALSE(o.photo.StoredCopiesChanged(shared.path()));
}

// A photo that cannot be read is refused before anything is opened.
TEST(PhotoLife, AnUnreadablePhotoIsRefusedWithAReason)
{
    test::TempFolder w;
    std::ofstream(w.path() / "cut.jpg", std::ios::binary) << "\xFF\xD8\xFF\xE0 not a photo";
    const PhotoLoad loaded = PhotoSession::Read(QString::fromStdString((w.path() / "cut.jpg").string()), TAppSettings{});
    EXPECT_TRUE(loaded.photo.isNull());
    EXPECT_FALSE(loaded.error.isEmpty());
}

} // namespace
} // namespace kvx

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
