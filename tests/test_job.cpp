// The job file and the measurements kept in the job's folder: written and
// read back, refused whole when damaged or hostile (and never written over),
// photos found again after a move, a photo replaced under its name told, and
// the copies carried between a working folder and the job.

#include "shell/job.h"
#include "base/housekeeping.h"
#include "base/safe_file.h"
#include "image/photo.h"
#include "measure/workfiles.h"
#include "workfolder.h"

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::TempFolder;
using test::WriteAll;

std::string Fingerprint(const fs::path& p)
{
    return PhotoFingerprint(QString::fromStdString(p.string()));
}

const std::string kA(64, 'a');
const std::string kB(64, 'b');

Job TwoPhotos(const fs::path& folder)
{
    Job job;
    job.file = folder / "site.kvxjob";
    job.photos.push_back({"North wall", "north.jpg", kA, 12, "2,500"});
    job.photos.push_back({"屋根 (roof)", "sub/roof.jpg", kB, 0});
    return job;
}

TEST(JobFile, WrittenAndReadBackAsItWas)
{
    TempFolder t;
    const Job job = TwoPhotos(t.path());
    std::string error;
    ASSERT_TRUE(WriteJob(job, error)) << error;
    const std::optional<Job> read = ReadJob(job.file, error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->photos.size(), 2u);
    EXPECT_EQ(read->photos[0].title, "North wall");
    EXPECT_EQ(read->photos[0].path, "north.jpg");
    EXPECT_EQ(read->photos[0].fingerprint, kA);
    EXPECT_EQ(read->photos[0].bytes, 12u);
    EXPECT_EQ(read->photos[0].price, "2,500");
    EXPECT_EQ(read->photos[1].title, "屋根 (roof)");
    EXPECT_EQ(read->photos[1].path, "sub/roof.jpg");
    EXPECT_EQ(read->photos[1].bytes, 0u);
    EXPECT_EQ(read->photos[1].price, "");
    // A readable text that says what it is and its version.
    const std::string text = ReadAll(job.file);
    EXPECT_NE(text.find("\"format\": \"kalvex job\""), std::string::npos);
    EXPECT_NE(text.find("\"version\": 1"), std::string::npos);
    // Only the photo shown in the job has a price to keep.
    EXPECT_NE(text.find("\"price\""), std::string::npos);
    EXPECT_EQ(text.find("\"price\""), text.rfind("\"price\""));
}

// Each damage is refused with a message that says why, and the file stays as it was.
struct Damage {
    const char* what;
    std::string bytes;
    const char* told;  // a part of the message
};

class JobDamage : public ::testing::TestWithParam<Damage> {};

std::string Photo1(const std::string& fields)
{
    return R"({"format": "kalvex job", "version": 1, "photos": [)" + fields + "]}";
}

const std::string kGood = R"({"title": "t", "path": "a.jpg", "fingerprint": ")" + kA + R"(", "bytes": 3})";

TEST_P(JobDamage, IsRefusedWithItsReasonAndLeftAsItWas)
{
    TempFolder t;
    const fs::path file = t.path() / "site.kvxjob";
    WriteAll(file, GetParam().bytes);
    std::string error;
    EXPECT_FALSE(ReadJob(file, error));
    EXPECT_NE(error.find(GetParam().told), std::string::npos) << error;
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    EXPECT_EQ(ReadAll(file), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, JobDamage,
    ::testing::Values(
        Damage{"empty", "", "途中で切れて"},
        Damage{"truncated", Photo1(kGood).substr(0, 60), "途中で切れて"},
        Damage{"binary", std::string("\x89PNG\r\n\x1a\n\0\0", 10), "途中で切れて"},
        Damage{"not_a_job", R"({"format": "something else", "version": 1, "photos": []})", "ジョブファイルではありません"},
        Damage{"an_array", "[1, 2, 3]", "ジョブファイルではありません"},
        Damage{"newer_version", R"({"format": "kalvex job", "version": 2, "photos": []})", "新しい版"},
        Damage{"no_version", R"({"format": "kalvex job", "photos": []})", "版の番号"},
        Damage{"version_text", R"({"format": "kalvex job", "version": "1", "photos": []})", "版の番号"},
        Damage{"fractional_version", R"({"format": "kalvex job", "version": 0.5, "photos": []})", "版の番号"},
        Damage{"no_photos", R"({"format": "kalvex job", "version": 1})", "写真の一覧"},
        Damage{"photo_not_object", Photo1("7"), "写真 1"},
        Damage{"no_path", Photo1(R"({"title": "t", "fingerprint": ")" + kA + R"("})"), "パス"},
        Damage{"absolute_path", Photo1(R"({"title": "t", "path": "/etc/passwd", "fingerprint": ")" + kA + R"("})"),
               "外を指して"},
        Damage{"escaping_path", Photo1(R"({"title": "t", "path": "../../x.jpg", "fingerprint": ")" + kA + R"("})"),
               "外を指して"},
        Damage{"inner_escape", Photo1(R"({"title": "t", "path": "a/../../x.jpg", "fingerprint": ")" + kA + R"("})"),
               "外を指して"},
        Damage{"backslash", Photo1(R"({"title": "t", "path": "..\\x.jpg", "fingerprint": ")" + kA + R"("})"),
               "外を指して"},
        Damage{"fingerprint_path", Photo1(R"({"title": "t", "path": "a.jpg", "fingerprint": "../../etc"})"), "指紋"},
        Damage{"short_fingerprint", Photo1(R"({"title": "t", "path": "a.jpg", "fingerprint": "abc"})"), "指紋"},
        Damage{"twice", Photo1(kGood + "," + kGood), "二度"},
        Damage{"negative_size", Photo1(R"({"title": "t", "path": "a.jpg", "fingerprint": ")" + kA + R"(", "bytes": -4})"),
               "大きさ"},
        Damage{"long_title", Photo1(R"({"title": ")" + std::string(5000, 'x') + R"(", "path": "a.jpg", "fingerprint": ")" +
                                    kA + R"("})"),
               "題名"},
        Damage{"price_a_number", Photo1(R"({"title": "t", "path": "a.jpg", "fingerprint": ")" + kA + R"(", "price": 2500})"),
               "単価"},
        Damage{"long_price", Photo1(R"({"title": "t", "path": "a.jpg", "fingerprint": ")" + kA + R"(", "price": ")" +
                                    std::string(65, '9') + R"("})"),
               "単価"},
        Damage{"deep_nesting", std::string(100000, '['), "途中で切れて"}),
    [](const ::testing::TestParamInfo<Damage>& p) { return std::string(p.param.what); });

TEST(JobFile, AHugeFileIsRefusedUnread)
{
    TempFolder t;
    const fs::path file = t.path() / "huge.kvxjob";
    {
        std::ofstream out(file, std::ios::binary);
        out << Photo1(kGood);
    }
    fs::resize_file(file, kMaxJobFileBytes + 10);
    std::string error;
    EXPECT_FALSE(ReadJob(file, error));
    EXPECT_NE(error.find("大きすぎ"), std::string::npos) << error;
}

TEST(JobFile, AFolderOrAMissingFileIsRefused)
{
    TempFolder t;
    std::string error;
    EXPECT_FALSE(ReadJob(t.path(), error));
    EXPECT_NE(error.find("通常のファイルではありません"), std::string::npos) << error;
    EXPECT_FALSE(ReadJob(t.path() / "none.kvxjob", error));
    EXPECT_NE(error.find("ありません"), std::string::npos) << error;
}

TEST(JobFile, ALinkAtTheJobFilesNameIsNeverReplaced)
{
    TempFolder t;
    const fs::path elsewhere = t.path() / "elsewhere.txt";
    WriteAll(elsewhere, "not a job");
    Job job = TwoPhotos(t.path());
    fs::create_symlink(elsewhere, job.file);
    std::string error;
    EXPECT_FALSE(WriteJob(job, error));
    EXPECT_NE(error.find("リンク"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_symlink(job.file));
    EXPECT_EQ(ReadAll(elsewhere), "not a job");
}

TEST(JobFile, AWriteThatFailsLeavesTheOldFile)
{
    TempFolder t;
    Job job = TwoPhotos(t.path());
    std::string error;
    ASSERT_TRUE(WriteJob(job, error));
    const std::string before = ReadAll(job.file);
    // A name longer than any file name may be in a folder that exists: the
    // write fails at its temporary and the job file is untouched.
    Job other = job;
    other.file = t.path() / std::string(300, 'x');
    EXPECT_FALSE(WriteJob(other, error));
    EXPECT_EQ(ReadAll(job.file), before);
    // No temporary stays behind.
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(t.path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST(JobPaths, OnlyNamesInsideTheFolderAreKept)
{
    TempFolder t;
    const Job job = TwoPhotos(t.path());
    fs::create_directories(t.path() / "sub");
    WriteAll(t.path() / "sub" / "p.jpg", "x");
    EXPECT_EQ(PathInJob(job, t.path() / "sub" / "p.jpg"), std::optional<std::string>("sub/p.jpg"));
    EXPECT_EQ(PathInJob(job, t.path() / "sub" / ".." / "sub" / "p.jpg"), std::optional<std::string>("sub/p.jpg"));
    EXPECT_FALSE(PathInJob(job, t.path().parent_path() / "p.jpg"));
    EXPECT_FALSE(PathInJob(job, t.path() / "Measurements" / kA / "photo[1].tmp"));
    EXPECT_FALSE(PathInJob(job, t.path() / ("bad\xff" ".jpg")));
}

struct Folder {
    TempFolder t;
    Job job;
    Folder()
    {
        job.file = t.path() / "site.kvxjob";
        fs::create_directories(t.path() / "sub");
    }
    JobEntry Add(const std::string& relative, const std::string& bytes)
    {
        WriteAll(t.path() / relative, bytes);
        JobEntry p{DefaultTitle(relative), relative, Fingerprint(t.path() / relative), bytes.size()};
        job.photos.push_back(p);
        return p;
    }
};

TEST(JobPlaces, APhotoMovedOrRenamedInsideTheFolderIsFoundByItsBytes)
{
    Folder f;
    const JobEntry a = f.Add("a.jpg", "photo a bytes");
    const JobEntry b = f.Add("b.jpg", "photo b bytes!");
    EXPECT_EQ(LocateJobPhoto(f.job, a, Fingerprint).state, JobPhotoState::Here);
    fs::rename(f.t.path() / "a.jpg", f.t.path() / "sub" / "renamed.jpg");
    const JobPhotoPlace moved = LocateJobPhoto(f.job, a, Fingerprint);
    EXPECT_EQ(moved.state, JobPhotoState::Moved);
    EXPECT_EQ(moved.relative, "sub/renamed.jpg");
    // Another photo of the same size put at b's name: b is told as replaced.
    WriteAll(f.t.path() / "b.jpg", "other b bytes!");
    const JobPhotoPlace replaced = LocateJobPhoto(f.job, b, Fingerprint);
    EXPECT_EQ(replaced.state, JobPhotoState::Replaced);
    EXPECT_EQ(replaced.file, f.t.path() / "b.jpg");
    // ...unless b itself is still somewhere in the folder.
    WriteAll(f.t.path() / "sub" / "b-old.jpg", "photo b bytes!");
    EXPECT_EQ(LocateJobPhoto(f.job, b, Fingerprint).state, JobPhotoState::Moved);
    fs::remove(f.t.path() / "sub" / "b-old.jpg");
    fs::remove(f.t.path() / "b.jpg");
    EXPECT_EQ(LocateJobPhoto(f.job, b, Fingerprint).state, JobPhotoState::Missing);
}

TEST(JobCopies, CarriedFromAWorkingFolderToTheJobAndBack)
{
    Folder f;
    const JobEntry a = f.Add("a.jpg", "photo a bytes");
    TempFolder home;
    WriteAll(PerImageFile(home.path(), "a_123", 1), "plane one");
    WriteAll(PerImageFile(home.path(), "a_123", 0), "cross line");
    WriteAll(PerImageFile(home.path(), "a_123", CheckFile(1)), "check");
    std::string error;
    EXPECT_FALSE(JobHasCopies(f.job, a.fingerprint));
    ASSERT_TRUE(StoreInJob(f.job, a.fingerprint, home.path(), "a_123", error)) << error;
    EXPECT_TRUE(JobHasCopies(f.job, a.fingerprint));
    EXPECT_EQ(ReadAll(PerImageFile(JobCopiesFolder(f.job, a.fingerprint), kJobCopyKey, 1)), "plane one");
    // The check distances deleted: the job's check file goes too; the planes stay.
    fs::remove(PerImageFile(home.path(), "a_123", CheckFile(1)));
    ASSERT_TRUE(StoreInJob(f.job, a.fingerprint, home.path(), "a_123", error)) << error;
    EXPECT_FALSE(IsFile(PerImageFile(JobCopiesFolder(f.job, a.fingerprint), kJobCopyKey, CheckFile(1))));
    // Brought into another folder under another key, with whose they are.
    TempFolder other;
    WriteAll(PerImageFile(other.path(), "a_9", 3), "stale setting 3");
    ASSERT_TRUE(BringFromJob(f.job, a.fingerprint, other.path(), "a_9", error)) << error;
    EXPECT_EQ(ReadAll(PerImageFile(other.path(), "a_9", 1)), "plane one");
    EXPECT_EQ(ReadAll(PerImageFile(other.path(), "a_9", 0)), "cross line");
    EXPECT_FALSE(IsFile(PerImageFile(other.path(), "a_9", 3)));
    EXPECT_EQ(ReadAll(PerImageFingerprintFile(other.path(), "a_9")), a.fingerprint);
}

TEST(JobCopies, ALinkPlantedForTheCopiesFolderIsRefused)
{
    Folder f;
    const JobEntry a = f.Add("a.jpg", "photo a bytes");
    TempFolder outside;
    fs::create_symlink(outside.path(), f.t.path() / "Measurements");
    TempFolder home;
    WriteAll(PerImageFile(home.path(), "a_1", 1), "plane one");
    std::string error;
    EXPECT_FALSE(StoreInJob(f.job, a.fingerprint, home.path(), "a_1", error));
    EXPECT_NE(error.find("Measurements"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(outside.path()));
}

TEST(JobCopies, HousekeepingOfTheHomeNeverReachesAJobsMeasurements)
{
    Folder f;
    const JobEntry a = f.Add("a.jpg", "photo a bytes");
    TempFolder home;
    WriteAll(PerImageFile(home.path(), "a_1", 1), "plane one");
    std::string error;
    ASSERT_TRUE(StoreInJob(f.job, a.fingerprint, home.path(), "a_1", error));
    const auto later = fs::file_time_type::clock::now() + std::chrono::hours(24 * 400);
    PruneWorkingFiles(home.path(), 30, later);
    EXPECT_FALSE(IsFile(PerImageFile(home.path(), "a_1", 1)));
    EXPECT_EQ(ReadAll(PerImageFile(JobCopiesFolder(f.job, a.fingerprint), kJobCopyKey, 1)), "plane one");
}

} // namespace
} // namespace kvx

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
