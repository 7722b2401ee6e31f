// The one path of every export: the save dialog's folder per kind of file,
// refusals, planted links, a folder that refuses the bytes, and the writing
// part batch mode shares.

#include "shell/export_to.h"
#include "shell/job_outputs.h"
#include "image/photo.h"
#include "output/export/results_table.h"
#include "shell/prompter.h"
#include "base/error_trail.h"
#include "base/safe_file.h"
#include "workfolder.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kvx {
namespace {

namespace fs = std::filesystem;
using test::Names;

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& p, const std::string& bytes)
{
    test::WriteAll(p, bytes);
}

// Answers the save dialog with the path it is given and remembers where the
// dialog started; anything else asked is a fault of the export path.
class SaveDialogOnly : public Prompter {
public:
    std::optional<QString> answer;
    std::vector<QString> startedIn;
    std::vector<QString> proposed;

    std::optional<QString> SaveText(const QString&, const QString& folder, const QString& name, const QString&) override
    {
        startedIn.push_back(folder);
        proposed.push_back(name);
        return answer;
    }
    void Warn(const std::string& m) override { ADD_FAILURE() << "warned: " << m; }
    bool AskYesNo(const std::string& m) override
    {
        ADD_FAILURE() << "asked: " << m;
        return false;
    }
    std::optional<bool> AskSaveChanges(const std::string&) override { return std::nullopt; }
    SaveFailureChoice SaveFailed(const std::string&) override { return SaveFailureChoice::Stay; }
    void Info(const std::string& m) override { ADD_FAILURE() << "told: " << m; }
    void Error(const std::string& m) override { ADD_FAILURE() << "error: " << m; }
    std::optional<QString> OpenPhoto(const QString&) override { return std::nullopt; }
    std::string AskAreaName() override { return {}; }
    std::string InputBox(const std::string&, const std::string&, const std::string& d) override { return d; }
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double, double, QPoint) override { return {}; }
    // The image dialog: answered with imageAnswer, the type offered first kept.
    std::optional<SaveChoice> imageAnswer;
    std::vector<int> offeredFilter;
    std::optional<SaveChoice> SaveImage(const QString&, const QString& folder, const QString& name, int filter) override
    {
        startedIn.push_back(folder);
        proposed.push_back(name);
        offeredFilter.push_back(filter);
        return imageAnswer;
    }
    std::optional<QString> OpenPd25(const QString&) override { return std::nullopt; }
    std::optional<int> PickPd25(const QStringList&, QPoint) override { return std::nullopt; }
    bool OpenDocument(const QString&) override { return false; }
    bool ChoosePrinter(QPrinter&) override { return false; }
    int EffectDialog(ImageEffects&) override { return 3; }
    std::optional<std::string> ChooseScanDevice(const QStringList&, const QString&) override { return std::nullopt; }
    std::optional<TAppSettings> PropertyDialog(const TAppSettings&) override { return std::nullopt; }
};

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

ExportOrder Order(ExportKind kind, const char* name = "out.csv")
{
    return {QStringLiteral("Export"), kind, QString::fromLatin1(name), QStringLiteral("csv files (*.csv)"),
            [] { return std::string("TestExport"); }};
}

// A kind's folder before and after files of this and the other kinds were
// written: the photo's own first, then the last of the kind; kinds that share
// a setting share the folder, the others keep the photo's.
struct FolderCase {
    const char* what;
    std::vector<std::pair<ExportKind, const char*>> written;  // kind, sub-folder of the file
    ExportKind asked;
    const char* expected;  // "photo", "settings" or a sub-folder
    bool withPhoto = true;
};

class ExportFolderMemory : public ::testing::TestWithParam<FolderCase> {};

TEST_P(ExportFolderMemory, TheDialogStartsWhereTheKindWentLast)
{
    const FolderCase& c = GetParam();
    test::TempFolder w;
    for (const char* sub : {"photos", "a", "b", "kept"})
        fs::create_directories(w.path() / sub);
    TAppSettings settings;
    settings.PdfFolder = settings.CsvFolder = settings.Csv2Folder = (w.path() / "kept").string();
    ExportFolders folders(settings);
    const std::string photo = c.withPhoto ? (w.path() / "photos" / "wall.jpg").string() : std::string();
    for (const auto& [kind, sub] : c.written)
        folders.Remember(kind, Q(w.path() / sub / "file.out"));
    const std::string expected = std::string(c.expected) == "photo"      ? (w.path() / "photos").string()
                                 : std::string(c.expected) == "settings" ? (w.path() / "kept").string()
                                                                         : (w.path() / c.expected).string();
    EXPECT_EQ(folders.Start(c.asked, photo).toStdString(), expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ExportFolderMemory,
    ::testing::Values(
        FolderCase{"nothing written yet", {}, ExportKind::Table, "photo"},
        FolderCase{"without a photo", {}, ExportKind::Report, "settings", false},
        FolderCase{"the kind written", {{ExportKind::Table, "a"}}, ExportKind::Table, "a"},
        FolderCase{"another kind written", {{ExportKind::Table, "a"}}, ExportKind::Report, "photo"},
        FolderCase{"the last of two", {{ExportKind::Drawing, "a"}, {ExportKind::Drawing, "b"}}, ExportKind::Drawing, "b"},
        FolderCase{"each kind its own",
                   {{ExportKind::Report, "a"}, {ExportKind::Drawing, "b"}},
                   ExportKind::Report,
                   "a"}),
    [](const auto& row) {
        std::string name = row.param.what;
        std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
        return name;
    });

// The folder remembered is the settings' own, so the next run starts there,
// and a folder gone since sends the dialog back to the photo's.
TEST(ExportFolders, TheRememberedFolderIsKeptInTheSettingsAndAGoneOneIsPassedOver)
{
    test::TempFolder w;
    fs::create_directories(w.path() / "photos");
    fs::create_directories(w.path() / "out");
    TAppSettings settings;
    ExportFolders folders(settings);
    folders.Remember(ExportKind::Drawing, Q(w.path() / "out" / "plan.dxf"));
    EXPECT_EQ(settings.Csv2Folder, (w.path() / "out").string());
    EXPECT_EQ(settings.CsvFolder, TAppSettings().CsvFolder);
    fs::remove(w.path() / "out");
    EXPECT_EQ(folders.Start(ExportKind::Drawing, (w.path() / "photos" / "wall.jpg").string()).toStdString(),
              (w.path() / "photos").string());
}

TEST(ExportTo, ACancelledDialogWritesNothingAndRemembersNothing)
{
    test::TempFolder w;
    TAppSettings settings;
    const std::string before = settings.CsvFolder;
    ExportFolders folders(settings);
    SaveDialogOnly prompter;
    bool wrote = false;
    EXPECT_FALSE(ExportTo(prompter, folders, (w.path() / "wall.jpg").string(), Order(ExportKind::Table),
                          [&](const QString&) {
                              wrote = true;
                              return std::string();
                          }));
    EXPECT_FALSE(wrote);
    EXPECT_EQ(settings.CsvFolder, before);
    ASSERT_EQ(prompter.startedIn.size(), 1u);
    EXPECT_EQ(prompter.startedIn[0].toStdString(), w.path().string());
    EXPECT_EQ(prompter.proposed[0], QStringLiteral("out.csv"));
}

TEST(ExportTo, AFolderChosenAsTheFileIsRefusedWithItsTrailLine)
{
    test::TempFolder w;
    fs::create_directories(w.path() / "report.csv");
    TAppSettings settings;
    ExportFolders folders(settings);
    SaveDialogOnly prompter;
    prompter.answer = Q(w.path() / "report.csv");
    const std::size_t trailBefore = ErrorTrail::global().size();
    bool wrote = false;
    try {
        ExportTo(prompter, folders, {}, Order(ExportKind::Table), [&](const QString&) {
            wrote = true;
            return std::string();
        });
        ADD_FAILURE() << "a folder was taken as the export's file";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), RefusedWrite(w.path() / "report.csv"));
    }
    EXPECT_FALSE(wrote);
    ASSERT_EQ(ErrorTrail::global().size(), trailBefore + 1);
    EXPECT_EQ(ErrorTrail::global().lines().back(), "TestExport");
    EXPECT_TRUE(fs::is_directory(w.path() / "report.csv"));
    EXPECT_TRUE(fs::is_empty(w.path() / "report.csv"));
}

// A photo made here (a cut-out, a scanned page) is asked for in the image
// dialog: it starts where photos are kept even with the open photo's folder
// at hand, offers the type chosen last, names the file by the type chosen,
// and the folder becomes the photos' folder.
TEST(ExportTo, APhotoIsAskedForInTheImageDialogAndKeptWherePhotosAre)
{
    test::TempFolder w;
    for (const char* sub : {"photos", "kept", "new"})
        fs::create_directories(w.path() / sub);
    TAppSettings settings;
    settings.ImageFolder = (w.path() / "kept").string();
    settings.PdfFolder = (w.path() / "photos").string();
    ExportFolders folders(settings);
    SaveDialogOnly prompter;
    const std::string photo = (w.path() / "photos" / "wall.jpg").string();
    std::vector<QString> written;
    auto write = [&](const QString& path) {
        written.push_back(path);
        return std::string();
    };
    const ExportOrder order{QStringLiteral("Cut-out"), ExportKind::Photo, QStringLiteral("wall_1"), QString(),
                            [] { return std::string("TestPhoto"); }};

    prompter.imageAnswer = Prompter::SaveChoice{Q(w.path() / "new" / "cut.jpg"), 2};
    EXPECT_TRUE(ExportTo(prompter, folders, photo, order, write));
    prompter.imageAnswer = Prompter::SaveChoice{Q(w.path() / "new" / "next"), 1};
    EXPECT_TRUE(ExportTo(prompter, folders, photo, order, write));

    ASSERT_EQ(prompter.startedIn.size(), 2u);
    EXPECT_EQ(prompter.startedIn[0].toStdString(), (w.path() / "kept").string());
    EXPECT_EQ(prompter.startedIn[1].toStdString(), (w.path() / "new").string());
    EXPECT_EQ(prompter.proposed[0], QStringLiteral("wall_1"));
    EXPECT_EQ(prompter.offeredFilter, (std::vector<int>{1, 2}));
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].toStdString(), (w.path() / "new" / "cut.bmp").string());
    EXPECT_EQ(written[1].toStdString(), (w.path() / "new" / "next.jpg").string());
    EXPECT_EQ(folders.PhotoFilter(), 1);
    EXPECT_EQ(settings.ImageFolder, (w.path() / "new").string());
    EXPECT_EQ(settings.PdfFolder, (w.path() / "photos").string());
}

// A folder given as the photo's file is refused as every export's is.
TEST(ExportTo, AFolderChosenAsThePhotoIsRefused)
{
    test::TempFolder w;
    fs::create_directories(w.path() / "cut.jpg");
    TAppSettings settings;
    ExportFolders folders(settings);
    SaveDialogOnly prompter;
    prompter.imageAnswer = Prompter::SaveChoice{Q(w.path() / "cut.jpg"), 1};
    bool wrote = false;
    const ExportOrder order{QStringLiteral("Cut-out"), ExportKind::Photo, QStringLiteral("cut"), QString(),
                            [] { return std::string("TestPhoto"); }};
    EXPECT_THROW(ExportTo(prompter, folders, {}, order, [&](const QString&) {
                     wrote = true;
                     return std::string();
                 }),
                 std::runtime_error);
    EXPECT_FALSE(wrote);
    EXPECT_TRUE(fs::is_empty(w.path() / "cut.jpg"));
}

// A writer's message reaches the user as the error, with the trail's line.
TEST(ExportTo, AWritersFailureIsThrownNotSwallowed)
{
    test::TempFolder w;
    TAppSettings settings;
    ExportFolders folders(settings);
    SaveDialogOnly prompter;
    prompter.answer = Q(w.path() / "x.pdf");
    const std::size_t trailBefore = ErrorTrail::global().size();
    EXPECT_THROW(ExportTo(prompter, folders, {}, Order(ExportKind::Report),
                          [](const QString&) { return std::string("no room"); }),
                 std::runtime_error);
    ASSERT_EQ(ErrorTrail::global().size(), trailBefore + 1);
    EXPECT_EQ(ErrorTrail::global().lines().back(), "TestExport");
    // The folder was chosen: the next export of the kind starts there.
    EXPECT_EQ(folders.Start(ExportKind::Report, {}).toStdString(), w.path().string());
}

// A link planted where the export goes stays a link: the file it names gets
// the bytes, and nothing is written beside the link.
TEST(ExportTo, APlantedLinkIsFollowedNeverReplaced)
{
    test::TempFolder w;
    fs::create_directories(w.path() / "elsewhere");
    Write(w.path() / "elsewhere" / "real.csv", "old");
    fs::create_symlink(w.path() / "elsewhere" / "real.csv", w.path() / "out.csv");
    TAppSettings settings;
    ExportFolders folders(settings);
    SaveDialogOnly prompter;
    prompter.answer = Q(w.path() / "out.csv");
    EXPECT_TRUE(ExportTo(prompter, folders, {}, Order(ExportKind::Table), ExportBytes([] { return std::string("a;b\r\n"); })));
    EXPECT_TRUE(fs::is_symlink(w.path() / "out.csv"));
    EXPECT_EQ(Read(w.path() / "elsewhere" / "real.csv"), "a;b\r\n");
    EXPECT_EQ(Names(w.path()), (std::vector<std::string>{"elsewhere", "out.csv"}));
    EXPECT_EQ(Names(w.path() / "elsewhere"), std::vector<std::string>{"real.csv"});
}

// A killed save's temporary beside the target is cleared by the next export there.
TEST(ExportTo, AKilledSavesTemporaryBesideTheTargetIsCleared)
{
    test::TempFolder w;
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    const fs::path stale = w.path() / ("~out.csv." + std::to_string(pid) + "-aB3dE9.new");
    Write(stale, "half");
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::minutes(30));
    TAppSettings settings;
    ExportFolders folders(settings);
    SaveDialogOnly prompter;
    prompter.answer = Q(w.path() / "out.csv");
    EXPECT_TRUE(ExportTo(prompter, folders, {}, Order(ExportKind::Table), ExportBytes([] { return std::string("x"); })));
    EXPECT_EQ(Names(w.path()), std::vector<std::string>{"out.csv"});
}

// A folder that takes no more bytes (a size limit on the process): the export
// is reported as failed with the file's name, the file there before stays
// whole, and no temporary is left.  Batch mode writes through the same part.
class ExportRefusedBytes : public ::testing::TestWithParam<bool> {};

TEST_P(ExportRefusedBytes, TheOldFileStaysAndTheFailureIsTold)
{
    const bool throughDialog = GetParam();
    test::TempFolder w;
    const fs::path file = w.path() / "out.csv";
    Write(file, "good");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string bytes(64 << 10, 'x');
        if (throughDialog) {
            TAppSettings settings;
            ExportFolders folders(settings);
            SaveDialogOnly prompter;
            prompter.answer = Q(file);
            try {
                ExportTo(prompter, folders, {}, Order(ExportKind::Table), ExportBytes([&] { return bytes; }));
                ::_exit(10);
            } catch (const std::runtime_error& e) {
                if (std::string(e.what()).find(file.string()) == std::string::npos)
                    ::_exit(11);
            }
        } else {
            std::error_code why;
            if (WriteExportFile(file, bytes, &why) || why.value() != EFBIG)
                ::_exit(12);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(file), "good");
    EXPECT_EQ(Names(w.path()), std::vector<std::string>{"out.csv"});
}

INSTANTIATE_TEST_SUITE_P(Paths, ExportRefusedBytes, ::testing::Values(true, false),
                         [](const auto& row) { return row.param ? "window" : "batch"; });

// The job's outputs take the same path: a writer of each that cannot write
// the whole file (a size limit on the process) throws with the file's name,
// the file there before stays whole and no temporary is left; a planted link
// stays a link, the file it names written; a folder is refused.
enum class JobOutput { Workbook, Table, Report };

void WriteJobOutput(JobOutput what, const fs::path& target, const std::vector<JobReportPhoto>& photos)
{
    const QString path = QString::fromStdString(target.string());
    const TAppSettings settings;
    int process = 0;
    switch (what) {
    case JobOutput::Workbook: WriteJobWorkbook(path, photos, settings); break;
    case JobOutput::Table: WriteJobResultsTable(path, photos, settings); break;
    case JobOutput::Report: WriteJobReportFile(path, photos, "job", settings, process); break;
    }
}

std::vector<JobReportPhoto> OnePhoto(const fs::path& folder)
{
    Document doc;
    doc.ImageFileName = (folder / "wall.jpg").string();
    doc.Plane.Distances.Append(TDistance{0, {10, 10}, {200, 40}});
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::gray);
    return {TakeJobPhoto("wall.jpg", doc, Photo(image), folder)};
}

class JobOutputPath : public ::testing::TestWithParam<JobOutput> {};

TEST_P(JobOutputPath, AFullFolderLeavesTheOldFile)
{
    test::TempFolder w;
    const fs::path file = w.path() / "out";
    Write(file, "good");
    const std::vector<JobReportPhoto> photos = OnePhoto(w.path());
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        // Less than any of the three files needs.
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteJobOutput(GetParam(), file, photos);
            ::_exit(10);
        } catch (const std::runtime_error& e) {
            if (std::string(e.what()).find(file.string()) == std::string::npos)
                ::_exit(11);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(file), "good");
    EXPECT_EQ(Names(w.path()), std::vector<std::string>{"out"});
}

TEST_P(JobOutputPath, ALinkStaysALinkAndAFolderIsRefused)
{
    test::TempFolder w;
    const fs::path real = w.path() / "real";
    Write(real, "old");
    const fs::path link = w.path() / "link";
    fs::create_symlink(real, link);
    const std::vector<JobReportPhoto> photos = OnePhoto(w.path());
    WriteJobOutput(GetParam(), link, photos);
    EXPECT_TRUE(fs::is_symlink(link));
    const std::string bytes = Read(real);
    EXPECT_NE(bytes, "old");
    switch (GetParam()) {
    case JobOutput::Workbook: EXPECT_EQ(bytes.substr(0, 2), "PK"); break;
    case JobOutput::Table: EXPECT_EQ(bytes.substr(3, kResultsTableHeader.size()), kResultsTableHeader); break;
    case JobOutput::Report: EXPECT_EQ(bytes.substr(0, 8), "%PDF-1.4"); break;
    }
    EXPECT_THROW(WriteJobOutput(GetParam(), w.path(), photos), std::runtime_error);
    EXPECT_EQ(Names(w.path()), (std::vector<std::string>{"link", "real"}));
}

INSTANTIATE_TEST_SUITE_P(Outputs, JobOutputPath,
                         ::testing::Values(JobOutput::Workbook, JobOutput::Table, JobOutput::Report),
                         [](const ::testing::TestParamInfo<JobOutput>& row) {
                             return row.param == JobOutput::Workbook ? "workbook"
                                    : row.param == JobOutput::Table  ? "table"
                                                                     : "report";
                         });

} // namespace
} // namespace kvx

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
