// A job in the window, driven as a user would: made and filled, measured,
// kept, closed and opened again, copied elsewhere and opened there; the panel
// through real clicks, a drop, its buttons; a second window on the same job;
// a photo replaced under its name; and the job's command lines.

#include "window_fixture.h"

#include "base/safe_file.h"
#include "image/photo.h"
#include "measure/workfiles.h"
#include "shell/job.h"
#include "shell/job_panel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QUrl>
#include <QtTest>

#include <filesystem>

using namespace kvx;
using namespace kvx::test;
namespace fs = std::filesystem;

namespace {

// A prompter that also answers the job's dialogs.
class JobPrompter : public ScriptedPrompter {
public:
    std::optional<QString> jobFile;
    QStringList photosToAdd;
    std::optional<QString> OpenJobFile(const QString&) override { return jobFile; }
    std::optional<QString> NewJobFile(const QString&) override { return jobFile; }
    QStringList AddJobPhotos(const QString&) override { return photosToAdd; }
};

struct JobWindow {
    Fixture f;
    JobPrompter* prompter = nullptr;

    TF001& Open()
    {
        auto scripted = std::make_unique<JobPrompter>();
        prompter = scripted.get();
        f.prompter = scripted.get();
        f.window = std::make_unique<TF001>(f.Paths(), std::move(scripted));
        f.window->resize(1100, 700);
        f.window->show();
        QCoreApplication::processEvents();
        return *f.window;
    }
    TF001& W() { return *f.window; }
    JobPanel& Panel() { return *W().JobDock(); }
    void Close() { f.Close(); }
};

QString WritePhoto(const QString& path, QColor colour, QSize size = QSize(400, 300))
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(colour);
    // A mark of its own, so two photos of one colour still differ.
    for (int x = 0; x < colour.red() % 50 + 5; ++x)
        image.setPixelColor(x, 0, QColor(0, 0, 0));
    kvx::Photo(image).SaveJpeg(path);
    return path;
}

// The length of group 0 in the job's totals under the list, -1 when none is shown.
double TotalLength(JobPanel& panel)
{
    auto* label = panel.findChild<QLabel*>(QStringLiteral("JobTotals"));
    if (!label)
        return -1;
    const QString text = label->text();
    const qsizetype at = text.indexOf(QStringLiteral("ｸﾞﾙｰﾌﾟ0: 距離 "));
    if (at < 0)
        return -1;
    const qsizetype from = at + QStringLiteral("ｸﾞﾙｰﾌﾟ0: 距離 ").size();
    const qsizetype to = text.indexOf(QStringLiteral("㎜"), from);
    bool ok = false;
    const double value = text.mid(from, to - from).toDouble(&ok);
    return ok ? value : -1;
}

// A real click on the panel's row.
void ClickRow(JobPanel& panel, int row)
{
    QListWidget* list = panel.List();
    QListWidgetItem* item = list->item(row);
    QVERIFY(item);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

void ClickButton(JobPanel& panel, const char* name)
{
    auto* button = panel.findChild<QPushButton*>(QString::fromLatin1(name));
    QVERIFY(button);
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

std::optional<Job> ReadBack(const QString& file)
{
    std::string error;
    return ReadJob(file.toStdString(), error);
}

QStringList Titles(const QString& file)
{
    QStringList titles;
    if (const std::optional<Job> job = ReadBack(file))
        for (const JobEntry& e : job->photos)
            titles << QString::fromStdString(e.title);
    return titles;
}

// Copies a folder's tree.
void CopyTree(const QString& from, const QString& to)
{
    fs::copy(from.toStdString(), to.toStdString(), fs::copy_options::recursive);
}

struct Run {
    int code = -1;
    QByteArray err;
};

Run Kalvex(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(KALVEX_BINARY), args + QStringList{QStringLiteral("--lang"), QStringLiteral("en")});
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitCode(), p.readAllStandardError()};
}

} // namespace

class WindowJobTest : public QObject {
    Q_OBJECT

private slots:
    void aJobIsMadeMeasuredKeptReopenedAndCopied();
    void thePanelReordersRenamesTakesDropsAndRemoves();
    void aSecondWindowOnTheSameJobIsTold();
    void aDamagedJobIsRefusedAndTheWindowStaysAsItWas();
    void aPhotoReplacedUnderItsNameIsToldAndItsMeasurementsKept();
    void theCommandLineMakesAJobWithTheHomesMeasurements();
    void workKeptOutsideTheJobIsNotLostWhenTheJobOpensThePhoto();
    void batchOutputsAreTheSameForAnyNumberOfPhotosAtOnce();
    void aPhotoThatFailsIsNamedAndTheOthersAreWritten();
    void aPhotoKeptUnderAnEarlierFingerprintIsFoundInItsJob();
    void eachPhotoIsCostedAtItsOwnPrice();
    void aPhotoKeptWhileItWasReadForThePanelShowsWhatWasKept();
    void thePanelLeavesAPhotoShownWholeWhole();
    void aPriceTheJobFileRefusesIsToldOnce();

private:
    QString MeasuredJob(QTemporaryDir& folder, JobWindow& j);
};

void WindowJobTest::aJobIsMadeMeasuredKeptReopenedAndCopied()
{
    QTemporaryDir folder;
    const QString north = WritePhoto(folder.filePath(QStringLiteral("north.jpg")), QColor(200, 60, 60));
    QDir(folder.path()).mkdir(QStringLiteral("roof"));
    const QString roof = WritePhoto(folder.filePath(QStringLiteral("roof/roof.jpg")), QColor(60, 200, 60));
    const QString jobFile = folder.filePath(QStringLiteral("site.kvxjob"));

    JobWindow j;
    TF001& w = j.Open();
    j.prompter->jobFile = jobFile;
    w.Action(QStringLiteral("mnNewJob"))->trigger();
    QVERIFY(w.HasJob());
    QVERIFY(j.Panel().isVisible());
    j.prompter->photosToAdd = {north, roof};
    ClickButton(j.Panel(), "JobAdd");
    QCOMPARE(j.Panel().Count(), 2);
    QCOMPARE(Titles(jobFile), (QStringList{QStringLiteral("north"), QStringLiteral("roof")}));
    // Thumbnails come in from the background.
    QTRY_VERIFY(j.Panel().HasThumbnail(0) && j.Panel().HasThumbnail(1));

    ClickRow(j.Panel(), 0);
    QVERIFY(w.HasPhoto());
    QCOMPARE(QFileInfo(QString::fromStdString(w.Doc().ImageFileName)).fileName(), QStringLiteral("north.jpg"));
    Measure(w);
    // The panel follows the edit: the photo's reference is set.
    QVERIFY2(j.Panel().RowText(0).contains(QStringLiteral("基準: 設定済み")), qPrintable(j.Panel().RowText(0)));
    QVERIFY(j.Panel().RowText(1).contains(QStringLiteral("基準: 未設定")));
    // The job's totals follow it too: the distance as the wall's plane has it.
    const double wall = PlaneLength(ReferenceModel(), {120, 120}, {200, 130});
    QTRY_VERIFY(TotalLength(j.Panel()) >= 0);
    QVERIFY2(std::fabs(TotalLength(j.Panel()) - wall) < 1.0,
             qPrintable(QStringLiteral("%1 against %2").arg(TotalLength(j.Panel())).arg(wall)));

    // Switching photo keeps the one left, through the usual question.
    ClickRow(j.Panel(), 1);
    QCOMPARE(QFileInfo(QString::fromStdString(w.Doc().ImageFileName)).fileName(), QStringLiteral("roof.jpg"));
    QVERIFY(!j.prompter->questions.empty());
    const std::optional<Job> job = ReadBack(jobFile);
    QVERIFY(job);
    QVERIFY(JobHasCopies(*job, job->photos[0].fingerprint));
    QVERIFY(!JobHasCopies(*job, job->photos[1].fingerprint));
    j.Close();

    // The home forgets everything: the job alone holds the measurements.
    QDir(QString::fromStdString(j.f.Temp().string())).removeRecursively();
    TF001& again = j.Open();
    QVERIFY(again.OpenJob(jobFile));
    QCOMPARE(j.Panel().Count(), 2);
    ClickRow(j.Panel(), 0);
    QCOMPARE(again.Doc().Plane.Distances.Count(), 1);
    // Where Measure put the distance's ends.
    QCOMPARE(again.Doc().Plane.Distances[1].start.x, 120.0);
    QCOMPARE(again.Doc().Plane.Distances[1].end.y, 130.0);
    QCOMPARE(again.Doc().Plane.Spaces.Count(), 1);
    j.Close();

    // The folder copied elsewhere, opened by another home: the same measurements.
    QTemporaryDir elsewhere;
    const QString copy = elsewhere.filePath(QStringLiteral("copied"));
    CopyTree(folder.path(), copy);
    QFile::remove(copy + QStringLiteral("/site.kvxjob.lock"));
    JobWindow k;
    TF001& there = k.Open();
    QVERIFY(there.OpenJob(copy + QStringLiteral("/site.kvxjob")));
    ClickRow(k.Panel(), 0);
    QCOMPARE(QFileInfo(QString::fromStdString(there.Doc().ImageFileName)).absolutePath(), QFileInfo(copy).absoluteFilePath());
    QCOMPARE(there.Doc().Plane.Distances.Count(), 1);
    QCOMPARE(there.Doc().Plane.Distances[1].end.x, 200.0);
    k.Close();
}

void WindowJobTest::thePanelReordersRenamesTakesDropsAndRemoves()
{
    QTemporaryDir folder;
    const QString a = WritePhoto(folder.filePath(QStringLiteral("a.jpg")), QColor(10, 10, 200));
    const QString b = WritePhoto(folder.filePath(QStringLiteral("b.jpg")), QColor(10, 200, 10));
    const QString c = WritePhoto(folder.filePath(QStringLiteral("c.jpg")), QColor(200, 200, 10));
    const QString jobFile = folder.filePath(QStringLiteral("job.kvxjob"));
    JobWindow j;
    TF001& w = j.Open();
    QVERIFY(w.NewJob(jobFile));
    w.AddToCurrentJob({a, b});

    // A file dropped from outside onto the list is added.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(c)});
    QWidget* viewport = j.Panel().List()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    QCOMPARE(Titles(jobFile), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));

    // The first one down, then the last one up.
    j.Panel().List()->setCurrentRow(0);
    ClickButton(j.Panel(), "JobDown");
    QCOMPARE(Titles(jobFile), (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")}));
    QCOMPARE(j.Panel().CurrentRow(), 1);
    j.Panel().List()->setCurrentRow(2);
    ClickButton(j.Panel(), "JobUp");
    QCOMPARE(Titles(jobFile), (QStringList{QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("a")}));

    // Renamed: the title changes, the photo's path does not.
    j.prompter->inputBoxAnswer = "南面 south";
    j.Panel().List()->setCurrentRow(0);
    ClickButton(j.Panel(), "JobRename");
    QCOMPARE(Titles(jobFile).front(), QStringLiteral("南面 south"));
    QCOMPARE(ReadBack(jobFile)->photos[0].path, std::string("b.jpg"));
    QVERIFY(j.Panel().RowText(0).startsWith(QStringLiteral("南面 south")));
    // An empty answer keeps the title.
    j.prompter->inputBoxAnswer.clear();
    ClickButton(j.Panel(), "JobRename");
    QCOMPARE(Titles(jobFile).front(), QStringLiteral("南面 south"));

    // Removed from the job: its file stays.
    j.Panel().List()->setCurrentRow(1);
    j.prompter->answers = {true};
    ClickButton(j.Panel(), "JobRemove");
    QCOMPARE(Titles(jobFile), (QStringList{QStringLiteral("南面 south"), QStringLiteral("a")}));
    QVERIFY(QFile::exists(c));

    // A photo outside the job's folder is refused with the reason.
    QTemporaryDir outside;
    const QString far = WritePhoto(outside.filePath(QStringLiteral("far.jpg")), QColor(1, 2, 3));
    j.prompter->warnings.clear();
    w.AddToCurrentJob({far});
    QCOMPARE(j.Panel().Count(), 2);
    QVERIFY(!j.prompter->warnings.empty());
    QVERIFY(QString::fromStdString(j.prompter->warnings.back()).contains(QStringLiteral("far.jpg")));
    j.Close();
}

void WindowJobTest::aSecondWindowOnTheSameJobIsTold()
{
    QTemporaryDir folder;
    WritePhoto(folder.filePath(QStringLiteral("a.jpg")), QColor(10, 10, 200));
    const QString jobFile = folder.filePath(QStringLiteral("job.kvxjob"));
    JobWindow first;
    QVERIFY(first.Open().NewJob(jobFile));
    JobWindow second;
    TF001& w = second.Open();
    QVERIFY(!w.OpenJob(jobFile));
    QVERIFY(!w.HasJob());
    QVERIFY(!second.prompter->warnings.empty());
    QVERIFY2(QString::fromStdString(second.prompter->warnings.back()).contains(QStringLiteral("別のウィンドウ")),
             second.prompter->warnings.back().c_str());
    // Once the first has closed, the job opens.
    first.Close();
    QVERIFY(w.OpenJob(jobFile));
    second.Close();
}

void WindowJobTest::aDamagedJobIsRefusedAndTheWindowStaysAsItWas()
{
    QTemporaryDir folder;
    const QString a = WritePhoto(folder.filePath(QStringLiteral("a.jpg")), QColor(10, 10, 200));
    const QString good = folder.filePath(QStringLiteral("good.kvxjob"));
    const QString bad = folder.filePath(QStringLiteral("bad.kvxjob"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"format": "kalvex job", "version": 1, "photos": [{"title": "x", "path": "../../etc/passwd", )");
    f.close();
    JobWindow j;
    TF001& w = j.Open();
    QVERIFY(w.NewJob(good));
    w.AddToCurrentJob({a});
    QVERIFY(!w.OpenJob(bad));
    QVERIFY(!j.prompter->warnings.empty());
    QVERIFY(QString::fromStdString(j.prompter->warnings.back()).contains(QStringLiteral("bad.kvxjob")));
    QCOMPARE(w.CurrentJob()->file, fs::path(good.toStdString()));
    QCOMPARE(j.Panel().Count(), 1);
    j.Close();
}

void WindowJobTest::aPhotoReplacedUnderItsNameIsToldAndItsMeasurementsKept()
{
    QTemporaryDir folder;
    const QString a = WritePhoto(folder.filePath(QStringLiteral("a.jpg")), QColor(10, 10, 200));
    const QString b = WritePhoto(folder.filePath(QStringLiteral("b.jpg")), QColor(10, 200, 10));
    const QString jobFile = folder.filePath(QStringLiteral("job.kvxjob"));
    JobWindow j;
    TF001& w = j.Open();
    QVERIFY(w.NewJob(jobFile));
    w.AddToCurrentJob({a, b});
    ClickRow(j.Panel(), 0);
    Measure(w);
    ClickRow(j.Panel(), 1);
    const std::string fingerprint = ReadBack(jobFile)->photos[0].fingerprint;
    QVERIFY(JobHasCopies(*ReadBack(jobFile), fingerprint));
    j.Close();

    // Another photo under a's name.
    WritePhoto(a, QColor(250, 250, 250));
    TF001& again = j.Open();
    QVERIFY(again.OpenJob(jobFile));
    QVERIFY(!j.prompter->warnings.empty());
    QVERIFY2(QString::fromStdString(j.prompter->warnings.back()).contains(QStringLiteral("置き換えられています")),
             j.prompter->warnings.back().c_str());
    j.prompter->warnings.clear();
    ClickRow(j.Panel(), 0);
    QVERIFY(!again.HasPhoto());
    QVERIFY(!j.prompter->warnings.empty());
    QVERIFY(QString::fromStdString(j.prompter->warnings.back()).contains(QStringLiteral("a.jpg")));
    QVERIFY(JobHasCopies(*ReadBack(jobFile), fingerprint));
    j.Close();
}

void WindowJobTest::theCommandLineMakesAJobWithTheHomesMeasurements()
{
    QTemporaryDir folder;
    const QString a = WritePhoto(folder.filePath(QStringLiteral("a.jpg")), QColor(10, 10, 200));
    const QString b = WritePhoto(folder.filePath(QStringLiteral("b.jpg")), QColor(10, 200, 10));
    // a measured and kept in the home, outside any job.
    JobWindow j;
    TF001& w = j.Open();
    w.LoadFile(a);
    Measure(w);
    QVERIFY(w.SaveImageState());
    j.Close();
    const QString home = j.f.home.path();
    const QString jobFile = folder.filePath(QStringLiteral("site.kvxjob"));
    const Run made = Kalvex({QStringLiteral("--new-job"), jobFile, a, b, QStringLiteral("--home"), home});
    QVERIFY2(made.code == 0, made.err.constData());
    const std::optional<Job> job = ReadBack(jobFile);
    QVERIFY(job);
    QCOMPARE(job->photos.size(), std::size_t(2));
    QVERIFY(JobHasCopies(*job, job->photos[0].fingerprint));
    QVERIFY(!JobHasCopies(*job, job->photos[1].fingerprint));
    // Never over an existing file.
    const QByteArray before = Bytes(jobFile);
    const Run again = Kalvex({QStringLiteral("--new-job"), jobFile, b, QStringLiteral("--home"), home});
    QVERIFY(again.code != 0);
    QVERIFY(again.err.contains("already exists"));
    QCOMPARE(Bytes(jobFile), before);
    // A photo that is no photo: named, no job written.
    const QString fake = folder.filePath(QStringLiteral("fake.jpg"));
    QFile f(fake);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a photo");
    f.close();
    const QString other = folder.filePath(QStringLiteral("other.kvxjob"));
    const Run refused = Kalvex({QStringLiteral("--new-job"), other, a, fake, QStringLiteral("--home"), home});
    QVERIFY(refused.code != 0);
    QVERIFY2(refused.err.contains("fake.jpg"), refused.err.constData());
    QVERIFY(!QFile::exists(other));
}

void WindowJobTest::workKeptOutsideTheJobIsNotLostWhenTheJobOpensThePhoto()
{
    QTemporaryDir folder;
    const QString a = WritePhoto(folder.filePath(QStringLiteral("a.jpg")), QColor(10, 10, 200));
    const QString b = WritePhoto(folder.filePath(QStringLiteral("b.jpg")), QColor(10, 200, 10));
    const QString jobFile = folder.filePath(QStringLiteral("job.kvxjob"));
    JobWindow j;
    TF001& w = j.Open();
    QVERIFY(w.NewJob(jobFile));
    w.AddToCurrentJob({a, b});
    ClickRow(j.Panel(), 0);
    Measure(w);
    ClickRow(j.Panel(), 1);
    j.Close();

    // The photo opened on its own, without the job: a second distance kept in the home.
    TF001& alone = j.Open();
    alone.LoadFile(a);
    QCOMPARE(alone.Doc().Plane.Distances.Count(), 1);
    Set(alone, [](Document& d) { d.Plane.Distances.Append(TDistance{0, {50, 60}, {70, 80}}); });
    Set(alone, [](Document& d) { d.Modified = 1; });
    QVERIFY(alone.SaveImageState());
    j.Close();

    // The job brings the newer work in rather than its own older copies.
    TF001& again = j.Open();
    QVERIFY(again.OpenJob(jobFile));
    ClickRow(j.Panel(), 0);
    QCOMPARE(again.Doc().Plane.Distances.Count(), 2);
    QCOMPARE(again.Doc().Plane.Distances[2].end.y, 80.0);
    j.Close();
    // ...and keeps it: the home emptied, the job still has both.
    QDir(QString::fromStdString(j.f.Temp().string())).removeRecursively();
    TF001& last = j.Open();
    QVERIFY(last.OpenJob(jobFile));
    ClickRow(j.Panel(), 0);
    QCOMPARE(last.Doc().Plane.Distances.Count(), 2);
    j.Close();
}

// A job of three measured photos made in the window, for the command lines.
QString WindowJobTest::MeasuredJob(QTemporaryDir& folder, JobWindow& j)
{
    const QString jobFile = folder.filePath(QStringLiteral("site.kvxjob"));
    QStringList photos;
    const QColor colours[] = {QColor(200, 60, 60), QColor(60, 200, 60), QColor(60, 60, 200)};
    for (int i = 0; i < 3; ++i)
        photos << WritePhoto(folder.filePath(QStringLiteral("p%1.jpg").arg(i + 1)), colours[i]);
    TF001& w = j.Open();
    if (!w.NewJob(jobFile))
        return {};
    w.AddToCurrentJob(photos);
    for (int i = 0; i < 3; ++i) {
        ClickRow(j.Panel(), i);
        Measure(w);
        // Each photo a distance of its own length.
        Set(w, [i](Document& d) { d.Plane.Distances.Append(TDistance{0, {100.0, 100.0}, {100.0 + 40 * (i + 1), 100.0}}); });
        Set(w, [](Document& d) { d.Modified = 1; });
    }
    j.Close();
    return jobFile;
}

void WindowJobTest::batchOutputsAreTheSameForAnyNumberOfPhotosAtOnce()
{
    QTemporaryDir folder;
    JobWindow j;
    const QString jobFile = MeasuredJob(folder, j);
    QVERIFY(!jobFile.isEmpty());
    const QString home = j.f.home.path();
    QTemporaryDir out;
    for (const char* n : {"1", "4"}) {
        const QString tag = QString::fromLatin1(n);
        const Run run = Kalvex({QStringLiteral("--batch-job"), jobFile, QStringLiteral("-j"), tag, QStringLiteral("--home"), home,
                                QStringLiteral("--table"), out.filePath(QStringLiteral("t%1.csv").arg(tag)),
                                QStringLiteral("--xlsx"), out.filePath(QStringLiteral("w%1.xlsx").arg(tag)),
                                QStringLiteral("--pdf"), out.filePath(QStringLiteral("r%1.pdf").arg(tag))});
        QVERIFY2(run.code == 0, run.err.constData());
    }
    const QByteArray table = Bytes(out.filePath(QStringLiteral("t1.csv")));
    QVERIFY(!table.isEmpty());
    QCOMPARE(Bytes(out.filePath(QStringLiteral("t4.csv"))), table);
    // The workbook's every part the same, but for the moment it was made.
    const auto parts = [&](const char* name) {
        const auto [code, text] = Tool(QStringLiteral("python3"),
                                       {QStringLiteral("-c"),
                                        QStringLiteral("import sys, zipfile\n"
                                                       "z = zipfile.ZipFile(sys.argv[1])\n"
                                                       "for n in sorted(z.namelist()):\n"
                                                       "    if n != 'docProps/core.xml':\n"
                                                       "        sys.stdout.write(n + '\\n' + z.read(n).decode('utf-8', 'replace') + '\\n')\n"),
                                        out.filePath(QString::fromLatin1(name))});
        return code == 0 ? text : QByteArray();
    };
    const QByteArray workbook = parts("w1.xlsx");
    QVERIFY(workbook.contains("xl/worksheets/sheet1.xml"));
    QCOMPARE(parts("w4.xlsx"), workbook);
    // The report's pages the same, whatever its file's own dates say.
    const auto pages = [&](const char* name) {
        const auto [code, text] = Tool(QStringLiteral("pdftotext"), {out.filePath(QString::fromLatin1(name)), QStringLiteral("-")});
        return code == 0 ? text : QByteArray();
    };
    QVERIFY(!pages("r1.pdf").isEmpty());
    QCOMPARE(pages("r4.pdf"), pages("r1.pdf"));
    // Every photo's rows, in the job's order.
    const qsizetype p1 = table.indexOf("p1"), p2 = table.indexOf("p2"), p3 = table.indexOf("p3");
    QVERIFY2(p1 >= 0 && p1 < p2 && p2 < p3, table.constData());
}

void WindowJobTest::aPhotoThatFailsIsNamedAndTheOthersAreWritten()
{
    QTemporaryDir folder;
    JobWindow j;
    const QString jobFile = MeasuredJob(folder, j);
    QVERIFY(!jobFile.isEmpty());
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("p2.jpg"))));
    QTemporaryDir out;
    const QString table = out.filePath(QStringLiteral("t.csv"));
    const Run run = Kalvex({QStringLiteral("--batch-job"), jobFile, QStringLiteral("--home"), j.f.home.path(),
                            QStringLiteral("--table"), table});
    QVERIFY(run.code != 0);
    QVERIFY2(run.err.contains("p2") && run.err.contains("not in the job's folder"), run.err.constData());
    const QByteArray written = Bytes(table);
    QVERIFY2(written.contains("p1") && written.contains("p3") && !written.contains("p2.jpg"), written.constData());
}

QTEST_MAIN(WindowJobTest)
// Copies kept by an earlier version carry the SHA-256 of the photo beside
// them, and the photo keeps that fingerprint: a job made of it must find the
// photo by the same kind of fingerprint, not call it replaced.
void WindowJobTest::aPhotoKeptUnderAnEarlierFingerprintIsFoundInItsJob()
{
    QTemporaryDir folder;
    const QString a = WritePhoto(folder.filePath(QStringLiteral("a.jpg")), QColor(10, 10, 200));
    JobWindow j;
    TF001& w = j.Open();
    w.LoadFile(a);
    Measure(w);
    QVERIFY(w.SaveImageState());
    j.Close();
    const QString home = j.f.home.path();

    QFile photo(a);
    QVERIFY(photo.open(QIODevice::ReadOnly));
    const QByteArray sha = QCryptographicHash::hash(photo.readAll(), QCryptographicHash::Sha256).toHex();
    int rewritten = 0;
    for (const auto& e : fs::recursive_directory_iterator(home.toStdString())) {
        const std::string name = e.path().filename().string();
        if (name.size() < 8 || name.substr(name.size() - 8) != "[id].tmp")
            continue;
        QFile id(QString::fromStdString(e.path().string()));
        QVERIFY(id.open(QIODevice::WriteOnly | QIODevice::Truncate));
        id.write(sha);
        ++rewritten;
    }
    QCOMPARE(rewritten, 1);

    const QString jobFile = folder.filePath(QStringLiteral("site.kvxjob"));
    const Run made = Kalvex({QStringLiteral("--new-job"), jobFile, a, QStringLiteral("--home"), home});
    QVERIFY2(made.code == 0, made.err.constData());
    const std::optional<Job> job = ReadBack(jobFile);
    QVERIFY(job);
    QCOMPARE(job->photos.at(0).fingerprint, sha.toStdString());
    QVERIFY(JobHasCopies(*job, sha.toStdString()));

    QTemporaryDir out;
    const QString table = out.filePath(QStringLiteral("job.csv"));
    const Run run =
        Kalvex({QStringLiteral("--batch-job"), jobFile, QStringLiteral("--home"), home, QStringLiteral("--table"), table});
    QVERIFY2(run.code == 0, run.err.constData());
    // The photo's measurements came through: more than the header.
    QVERIFY2(Bytes(table).count('\n') >= 2, Bytes(table).constData());
}

#include "test_window_job.moc"

// The price each photo was shown with, typed in the window, is the one its
// marks are costed at: in the panel's totals, in the job file, after the
// window is gone, and in the workbook the job's batch run writes.
void WindowJobTest::eachPhotoIsCostedAtItsOwnPrice()
{
    QTemporaryDir folder;
    JobWindow j;
    const QString jobFile = MeasuredJob(folder, j);
    QVERIFY(!jobFile.isEmpty());
    TF001& w = j.Open();
    QVERIFY(w.OpenJob(jobFile));
    auto* price = static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_Tanka")));
    QVERIFY(price);
    const QStringList prices{QStringLiteral("1000"), QStringLiteral("3000"), QStringLiteral("500")};
    for (int i = 0; i < 3; ++i) {
        ClickRow(j.Panel(), i);
        QTest::mouseDClick(price, Qt::LeftButton);
        price->selectAll();
        QTest::keyClicks(price, prices[i]);
    }
    // Back on the first photo, its own price is shown again.
    ClickRow(j.Panel(), 0);
    QCOMPARE(price->text(), prices[0]);
    const std::optional<Job> job = ReadBack(jobFile);
    QVERIFY(job);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(QString::fromStdString(job->photos[static_cast<std::size_t>(i)].price), prices[i]);
    auto* label = j.Panel().findChild<QLabel*>(QStringLiteral("JobTotals"));
    QVERIFY(label);
    QTRY_VERIFY(!label->text().contains(QStringLiteral("読み込み中")));
    const QString totals = label->text();
    const qsizetype at = totals.indexOf(QStringLiteral("金額 "));
    QVERIFY2(at >= 0, qPrintable(totals));
    QString digits;
    for (qsizetype i = at + 3; i < totals.size() && totals[i] != QLatin1Char('\n'); ++i)
        if (totals[i].isDigit())
            digits += totals[i];
    const double shown = digits.toDouble();
    j.Close();

    // The workbook of the job: every row at its photo's price, and the
    // quantities at those prices add up to the cost the panel showed.
    QTemporaryDir out;
    const QString book = out.filePath(QStringLiteral("job.xlsx"));
    const Run run = Kalvex({QStringLiteral("--batch-job"), jobFile, QStringLiteral("--home"), j.f.home.path(),
                            QStringLiteral("--xlsx"), book});
    QVERIFY2(run.code == 0, run.err.constData());
    const auto [code, text] = Tool(QStringLiteral("/usr/bin/python3"),
                                   {QStringLiteral("-c"),
                                    QStringLiteral("import sys, openpyxl\n"
                                                   "rows = openpyxl.load_workbook(sys.argv[1]).worksheets[0].iter_rows(min_row=2, values_only=True)\n"
                                                   "cost = 0.0\n"
                                                   "for r in rows:\n"
                                                   "    if r[0] is None: continue\n"
                                                   "    print(r[0], int(r[10]))\n"
                                                   "    if isinstance(r[7], (int, float)): cost += r[7] / 1000 * r[10]\n"
                                                   "    if isinstance(r[8], (int, float)): cost += r[8] * r[10]\n"
                                                   "print('cost', cost)\n"),
                                    book});
    QVERIFY2(code == 0, text.constData());
    double cost = -1;
    QSet<QString> seen;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() != 2)
            continue;
        if (parts[0] == "cost") {
            cost = parts[1].toDouble();
            continue;
        }
        const int photo = QString::fromUtf8(parts[0]).mid(1).toInt();
        QVERIFY2(photo >= 1 && photo <= 3, line.constData());
        QCOMPARE(QString::fromUtf8(parts[1]), prices[photo - 1]);
        seen.insert(QString::fromUtf8(parts[0]));
    }
    QCOMPARE(seen.size(), 3);
    QVERIFY2(cost > 0 && std::fabs(cost - shown) <= 2, qPrintable(QStringLiteral("%1 against %2").arg(shown).arg(cost)));
}

// The panel reads the photos not shown in the background.  A read that began
// before the photo was measured and kept, and ends after, must not put the
// photo back as it was: its reference and totals are the kept ones.
void WindowJobTest::aPhotoKeptWhileItWasReadForThePanelShowsWhatWasKept()
{
    QTemporaryDir folder;
    JobWindow j;
    TF001& w = j.Open();
    QVERIFY(w.NewJob(folder.filePath(QStringLiteral("site.kvxjob"))));
    const QString first = WritePhoto(folder.filePath(QStringLiteral("a.jpg")), QColor(200, 60, 60));
    const QString second = WritePhoto(folder.filePath(QStringLiteral("b.jpg")), QColor(60, 200, 60));
    w.AddToCurrentJob({first, second});
    // The reads of both photos are done, and what they found waits to be taken.
    QThreadPool::globalInstance()->waitForDone();
    w.ChooseJobPhoto(0);
    Measure(w);
    w.ChooseJobPhoto(1);
    QVERIFY(j.prompter->questions.size() >= 1);
    auto* label = j.Panel().findChild<QLabel*>(QStringLiteral("JobTotals"));
    QVERIFY(label);
    QTRY_VERIFY(!label->text().contains(QStringLiteral("読み込み中")));
    QVERIFY2(j.Panel().RowText(0).contains(QStringLiteral("基準: 設定済み")), qPrintable(j.Panel().RowText(0)));
    const double wall = PlaneLength(ReferenceModel(), {120, 120}, {200, 130});
    QVERIFY2(std::fabs(TotalLength(j.Panel()) - wall) < 1.0,
             qPrintable(QStringLiteral("%1 against %2").arg(TotalLength(j.Panel())).arg(wall)));
    j.Close();
}

// The panel takes room from the display when a job opens: a photo the user
// saw whole is fitted again, and the panel leaves most of the window to it.
void WindowJobTest::thePanelLeavesAPhotoShownWholeWhole()
{
    QTemporaryDir folder;
    JobWindow j;
    TF001& w = j.Open();
    w.LoadFile(WritePhoto(folder.filePath(QStringLiteral("wall.jpg")), QColor(90, 90, 200), QSize(1600, 1200)));
    QVERIFY(w.HasPhoto());
    PhotoView* view = w.Display();
    auto whole = [&] {
        const QSize room = view->viewport()->size();
        const double scale = view->State().DispScale;
        return view->horizontalScrollBar()->maximum() == 0 && view->verticalScrollBar()->maximum() == 0 &&
               1600 * scale <= room.width() + 1 && 1200 * scale <= room.height() + 1;
    };
    QVERIFY(whole());
    const int before = view->viewport()->width();
    j.prompter->jobFile = folder.filePath(QStringLiteral("site.kvxjob"));
    w.Action(QStringLiteral("mnNewJob"))->trigger();
    QVERIFY(w.HasJob());
    QTRY_VERIFY(view->viewport()->width() < before);
    QTRY_VERIFY(whole());
    QVERIFY2(j.Panel().width() <= w.width() / 3, qPrintable(QStringLiteral("%1 of %2").arg(j.Panel().width()).arg(w.width())));
    j.Close();
}

// Every keystroke in the price field is written to the job file; when the
// file cannot be written the user is told once, not once a key.
void WindowJobTest::aPriceTheJobFileRefusesIsToldOnce()
{
    QTemporaryDir folder;
    JobWindow j;
    TF001& w = j.Open();
    const QString jobFile = folder.filePath(QStringLiteral("site.kvxjob"));
    QVERIFY(w.NewJob(jobFile));
    w.AddToCurrentJob({WritePhoto(folder.filePath(QStringLiteral("wall.jpg")), QColor(90, 140, 60))});
    ClickRow(j.Panel(), 0);
    QVERIFY(w.HasPhoto());
    // A link where the job file was: the job is never written through one.
    QVERIFY(QFile::rename(jobFile, folder.filePath(QStringLiteral("elsewhere.kvxjob"))));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("elsewhere.kvxjob")), jobFile));
    const std::size_t before = j.prompter->warnings.size();
    auto* price = static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_Tanka")));
    QTest::mouseDClick(price, Qt::LeftButton);
    price->selectAll();
    QTest::keyClicks(price, QStringLiteral("2500"));
    QCOMPARE(j.prompter->warnings.size(), before + 1);
    QCOMPARE(w.Doc().TankaText, std::string("2500"));
    j.Close();
}
