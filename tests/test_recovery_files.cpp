// The working files and the recovery note the autosave writes, without a
// window: what a crash leaves behind for the next start.

#include "shell/recovery_files.h"

#include "base/recovery_note.h"
#include "edit/editor.h"
#include "measure/workfiles.h"
#include "documents.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// A photo with a reference, a distance and an area, changed since it was kept.
Document Measured()
{
    Editor e;
    e.StartPhoto("/photos/wall.jpg", 4321, "0123456789abcdef0123456789abcdef", "wall.jpg_1_4321", {});
    e.SetReferenceWithSize({TDPoint{100, 100}, {300, 100}, {300, 250}, {100, 250}}, "1000", "750");
    e.AddDistance({120, 300}, {400, 320}, false);
    e.AddSpace({TDPoint{350, 120}, {450, 120}, {450, 220}, {350, 220}, {350, 120}}, kSpaceAdd, "door");
    e.SetGroup(2);
    return e.Doc();
}

std::optional<Document> ReadBack(const fs::path& folder, int setting)
{
    Document doc;
    if (!LoadTemp(doc, setting, folder))
        return std::nullopt;
    return doc;
}

TEST(RecoveryFiles, AChangedPhotoLeavesItsFilesAndThenANoteNamingIt)
{
    TempFolder t;
    const Document doc = Measured();
    ASSERT_EQ(doc.Modified, 1);
    const RecoveryOutcome out = WriteRecoveryFiles(doc, t.path(), "");
    EXPECT_TRUE(out.wrote);
    EXPECT_FALSE(out.failed);
    EXPECT_FALSE(out.state.empty());
    const std::optional<RecoveryNote> note = ReadRecoveryNote(t.path());
    ASSERT_TRUE(note);
    EXPECT_EQ(*note, (RecoveryNote{"/photos/wall.jpg", 4321, 1, 2}));
    const std::optional<Document> back = ReadBack(t.path(), 1);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Plane.Distances.Count(), 1);
    EXPECT_EQ(back->Plane.Spaces.Count(), 1);
    EXPECT_EQ(back->KijunWText, "1000");
    EXPECT_EQ(back->Plane.Distances[1].end.x, 400.0);
}

TEST(RecoveryFiles, NothingIsWrittenAgainForTheSameWork)
{
    TempFolder t;
    const Document doc = Measured();
    const RecoveryOutcome first = WriteRecoveryFiles(doc, t.path(), "");
    ASSERT_TRUE(first.wrote);
    // Gone files show whether anything was written the second time.
    fs::remove(WorkingFile(t.path(), 1));
    const RecoveryOutcome again = WriteRecoveryFiles(doc, t.path(), first.state);
    EXPECT_FALSE(again.wrote);
    EXPECT_FALSE(again.failed);
    EXPECT_FALSE(fs::exists(WorkingFile(t.path(), 1)));

    // Another group shown is another note.
    Document other = doc;
    other.CurrentGroup = 3;
    const RecoveryOutcome moved = WriteRecoveryFiles(other, t.path(), first.state);
    EXPECT_TRUE(moved.wrote);
    EXPECT_NE(moved.state, first.state);
    EXPECT_EQ(ReadRecoveryNote(t.path())->group, 3);
    EXPECT_TRUE(fs::exists(WorkingFile(t.path(), 1)));
}

TEST(RecoveryFiles, WorkUndoneToItsKeptStateLeavesNoNote)
{
    TempFolder t;
    const Document doc = Measured();
    const RecoveryOutcome first = WriteRecoveryFiles(doc, t.path(), "");
    ASSERT_TRUE(ReadRecoveryNote(t.path()));
    Document kept = doc;
    kept.Modified = 0;
    kept.Plane.Distances.Clear();
    const RecoveryOutcome back = WriteRecoveryFiles(kept, t.path(), first.state);
    EXPECT_TRUE(back.cleared);
    EXPECT_FALSE(back.wrote);
    EXPECT_FALSE(ReadRecoveryNote(t.path()));
    // The files hold the kept state, not the step taken back.
    EXPECT_EQ(ReadBack(t.path(), 1)->Plane.Distances.Count(), 0);
}

TEST(RecoveryFiles, AFolderThatTakesNoFilesIsAFailureAndNoNote)
{
    TempFolder t;
    // A file where the folder should be: nothing can be written under it, not even by root.
    const fs::path folder = t.path() / "not a folder";
    std::ofstream(folder) << "x";
    const RecoveryOutcome out = WriteRecoveryFiles(Measured(), folder, "");
    EXPECT_TRUE(out.failed);
    EXPECT_FALSE(out.wrote);
    EXPECT_TRUE(out.state.empty());
    EXPECT_FALSE(ReadRecoveryNote(folder));
}

TEST(RecoveryFiles, TheTwoPlanesOfSetting4AreBothWritten)
{
    TempFolder t;
    Document doc = Measured();
    test::TwoPlanes(doc);
    doc.Modified = 1;
    const SettingFiles files = EncodeSetting(doc);
    std::vector<int> numbers;
    for (const auto& [n, bytes] : files.files)
        numbers.push_back(n);
    for (const int n : {4, 5, 6})
        EXPECT_NE(std::find(numbers.begin(), numbers.end(), n), numbers.end()) << n;
    const RecoveryOutcome out = WriteRecoveryFiles(doc, t.path(), "");
    ASSERT_TRUE(out.wrote);
    EXPECT_EQ(ReadRecoveryNote(t.path())->setting, 4);
    for (const int n : {4, 5, 6})
        EXPECT_TRUE(fs::exists(WorkingFile(t.path(), n))) << n;
}

} // namespace
} // namespace kvx
