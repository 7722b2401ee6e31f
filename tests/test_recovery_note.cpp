#include "base/recovery_note.h"

#include "workfolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kvx;
using kvx::test::TempFolder;
using kvx::test::WriteAll;

TEST(RecoveryNote, WrittenNoteReadsBackAndGoes)
{
    const TempFolder folder;
    EXPECT_FALSE(ReadRecoveryNote(folder.path()));
    const RecoveryNote note{"/photos/外壁 2.jpg", -123456, 4, 5};
    ASSERT_TRUE(WriteRecoveryNote(folder.path(), note));
    EXPECT_EQ(ReadRecoveryNote(folder.path()), note);
    EXPECT_TRUE(RemoveRecoveryNote(folder.path()));
    EXPECT_FALSE(ReadRecoveryNote(folder.path()));
    EXPECT_TRUE(RemoveRecoveryNote(folder.path()));
}

TEST(RecoveryNote, NameThatCannotStayOnOneLineIsNotWritten)
{
    const TempFolder folder;
    for (const std::string& photo : {std::string("/a\nb.jpg"), std::string("/a\rb.jpg"), std::string("/a\0b.jpg", 8),
                                    std::string()})
        EXPECT_FALSE(WriteRecoveryNote(folder.path(), RecoveryNote{photo, 1, 1, 0}));
    EXPECT_FALSE(ReadRecoveryNote(folder.path()));
}

TEST(RecoveryNote, DamagedNoteOffersNothing)
{
    const TempFolder folder;
    const std::string good = "Kalvex recovery 1\nchecksum=7\nsetting=2\ngroup=1\nphoto=/p.jpg\n";
    WriteAll(RecoveryNoteFile(folder.path()), good);
    ASSERT_TRUE(ReadRecoveryNote(folder.path()));
    const std::vector<std::string> damaged{
             std::string(),
             good.substr(0, good.size() - 1),                                       // cut off
             std::string("Kalvex recovery 2\nchecksum=7\nsetting=2\ngroup=1\nphoto=/p.jpg\n"),  // not ours
             "Kalvex recovery 1\nchecksum=7x\nsetting=2\ngroup=1\nphoto=/p.jpg\n",
             "Kalvex recovery 1\nchecksum=99999999999\nsetting=2\ngroup=1\nphoto=/p.jpg\n",
             "Kalvex recovery 1\nchecksum=7\nsetting=5\ngroup=1\nphoto=/p.jpg\n",
             "Kalvex recovery 1\nchecksum=7\nsetting=2\ngroup=-1\nphoto=/p.jpg\n",
             "Kalvex recovery 1\nchecksum=7\nsetting=2\ngroup=1\nphoto=\n",
             "Kalvex recovery 1\nchecksum=7\nsetting=2\ngroup=1\nphoto=/p.jpg\nmore\n",
             "Kalvex recovery 1\nsetting=2\nchecksum=7\ngroup=1\nphoto=/p.jpg\n",
             good + std::string(70000, 'x'),                                         // far too large
         };
    for (const std::string& bad : damaged) {
        WriteAll(RecoveryNoteFile(folder.path()), bad);
        EXPECT_FALSE(ReadRecoveryNote(folder.path())) << bad.substr(0, 80);
    }
}
