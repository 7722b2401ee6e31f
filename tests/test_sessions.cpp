// The window's hold on its home folder, across real processes: a program killed
// in the middle of its work, two programs started on the same home, and a home
// whose working folder refuses writes.  The programs that are killed or kept
// running beside the test are this test program itself, started again with
// "--child": the real window with answers given in advance.

#include "shell/main_window.h"

#include "base/recovery_note.h"
#include "base/safe_file.h"
#include "image/photo.h"
#include "interact/commands.h"
#include "measure/calibration.h"
#include "measure/geometry.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "view/view_mapping.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iostream>
#include <iterator>
#include <unistd.h>

using namespace kvx;
namespace fs = std::filesystem;

namespace {

// Whether this run may bind folders read-only: only in a mount namespace of
// its own, so nothing it mounts outlives it or shows outside it.
bool g_privateMounts = false;

class ScriptedPrompter : public Prompter {
public:
    std::deque<bool> answers;  // for AskYesNo; Yes when none is left
    std::vector<std::string> warnings, questions, infos, errors;
    // Every message is also printed, for a child the test reads.
    bool echo = false;

    void Say(const char* kind, const std::string& m)
    {
        if (echo)
            std::cout << kind << ": " << m << std::endl;
    }
    void Warn(const std::string& m) override
    {
        warnings.push_back(m);
        Say("warn", m);
    }
    bool AskYesNo(const std::string& m) override
    {
        questions.push_back(m);
        Say("ask", m);
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<bool> AskSaveChanges(const std::string& m) override { return AskYesNo(m); }
    // A save that fails is told; the choices given in advance are taken in
    // turn, then the program goes on without it.
    std::deque<SaveFailureChoice> saveChoices;
    std::function<void()> onSaveFailed;  // what the user does before choosing
    SaveFailureChoice SaveFailed(const std::string& m) override
    {
        Warn(m);
        if (onSaveFailed)
            onSaveFailed();
        if (saveChoices.empty())
            return SaveFailureChoice::GoOn;
        const SaveFailureChoice c = saveChoices.front();
        saveChoices.pop_front();
        return c;
    }
    void Info(const std::string& m) override { infos.push_back(m); }
    void Error(const std::string& m) override
    {
        errors.push_back(m);
        Say("error", m);
    }
    std::optional<QString> OpenPhoto(const QString&) override { return std::nullopt; }
    std::string AskAreaName() override { return {}; }
    // The length of every check distance drawn.
    std::string InputBox(const std::string&, const std::string&, const std::string&) override { return "800"; }
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double, double, QPoint) override { return {}; }
    std::optional<SaveChoice> SaveImage(const QString&, const QString&, const QString&, int) override { return {}; }
    std::optional<QString> SaveText(const QString&, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    std::optional<QString> OpenPd25(const QString&) override { return {}; }
    std::optional<int> PickPd25(const QStringList&, QPoint) override { return {}; }
    bool OpenDocument(const QString&) override { return false; }
    bool ChoosePrinter(QPrinter&) override { return false; }
    int EffectDialog(ImageEffects&) override { return 3; }
    std::optional<std::string> ChooseScanDevice(const QStringList&, const QString&) override { return {}; }
    std::optional<TAppSettings> PropertyDialog(const TAppSettings&) override { return {}; }
};

AppPaths PathsFor(const QString& home)
{
    AppPaths p;
    p.folders = ResolveFolders(home.toStdString(), nullptr, "/nonexistent");
    p.resourceFolder = home;
    return p;
}

// A window on home, shown and started (its start-up questions answered).
struct Window {
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<TF001> window;

    explicit Window(const QString& home, std::deque<bool> answers = {})
    {
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompter = scripted.get();
        prompter->answers = std::move(answers);
        window = std::make_unique<TF001>(PathsFor(home), std::move(scripted));
        window->resize(900, 700);
        window->show();
        QCoreApplication::processEvents();
    }
    TF001& operator*() { return *window; }
    TF001* operator->() { return window.get(); }
    // What was asked and told until the window closed (its prompter goes with it).
    std::vector<std::string> questions, warnings;
    void Close()
    {
        window->close();
        questions = prompter->questions;
        warnings = prompter->warnings;
        prompter = nullptr;
        window.reset();
    }
};

QString MakePhoto(const QString& folder, const QString& name, QColor colour)
{
    QImage image(QSize(400, 300), QImage::Format_RGB888);
    image.fill(colour);
    const QString path = folder + QLatin1Char('/') + name;
    kvx::Photo(image).SaveJpeg(path);
    return path;
}

void ClickAt(TF001& w, TDPoint p)
{
    const TPoint s = WtoS(w.Display()->State(), p);
    QTest::mouseClick(w.Display()->viewport(), Qt::LeftButton, {}, QPoint(s.x, s.y));
}

// A reference, its width typed, and one distance: all with the user's events.
void Measure(TF001& w, const char* width)
{
    w.mnZoom1Click();
    QCoreApplication::processEvents();
    w.Action(QStringLiteral("mnBase"))->trigger();
    for (const TDPoint c : {TDPoint{100, 100}, {300, 110}, {290, 250}, {110, 240}})
        ClickAt(w, c);
    auto* field = static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_KijunW")));
    field->selectAll();
    QTest::keyClicks(field, QString::fromLatin1(width));
    w.Action(QStringLiteral("mnCheck"))->trigger();
    ClickAt(w, {110, 260});
    ClickAt(w, {290, 270});
    w.Action(QStringLiteral("mnDistance"))->trigger();
    ClickAt(w, {120, 130});
    ClickAt(w, {260, 200});
}

std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Many marks, so that each write of the working files takes a while.
void AddManyDistances(TF001& w, int count)
{
    w.Edit().Group("many", [&] {
        for (int i = 0; i < count; ++i)
            w.Edit().AddDistance({100.0 + i % 200, 100.0 + i / 200}, {150.0 + i % 200, 120.0 + i / 200}, false);
    });
}

// The child: opens the photo in the real window, measures, waits long enough
// for the working files to have been written, says so, and then works on
// until it is killed or told "close" on its input.
int RunChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 5)
        return 2;
    Window w(QString::fromLocal8Bit(argv[2]));
    w.prompter->echo = true;
    w->LoadFile(QString::fromLocal8Bit(argv[3]));
    Measure(*w, argv[4]);
    // Busy: many marks, and one more every 10 ms until the end.
    const bool busy = argc >= 6 && std::string_view(argv[5]) == "busy";
    QTimer adding;
    if (busy) {
        AddManyDistances(*w, 20000);
        QObject::connect(&adding, &QTimer::timeout, &app, [&] {
            const int n = w->Doc().Plane.DistanceCount();
            w->Edit().AddDistance({100.0 + n % 150, 150}, {120.0 + n % 150, 200}, false);
        });
    }
    QTest::qWait(1500);
    // Busy: the first write of the many marks is there before it says so.
    for (int i = 0; busy && i < 300 && !ReadRecoveryNote(w->WorkingFolder()); ++i)
        QTest::qWait(100);
    if (busy)
        adding.start(10);
    std::cout << "measured " << w->Doc().Plane.DistanceCount() << " owner " << w->OwnsHome() << " folder "
              << w->WorkingFolder().string() << std::endl;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0 || std::string_view(buffer, 5) == "close") {
            input.setEnabled(false);
            adding.stop();
            w.Close();
            std::cout << "closed" << std::endl;
            app.quit();
        }
    });
    return app.exec();
}

// A child started on home with photo (from the folder cwd when one is
// given); returns once it has measured, with the working folder it said it has.
std::unique_ptr<QProcess> StartChild(const QString& home, const QString& photo, const char* width,
                                     fs::path* folder = nullptr, const QString& cwd = {}, bool busy = false)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!cwd.isEmpty())
        p->setWorkingDirectory(cwd);
    QStringList arguments{QStringLiteral("--child"), home, photo, QString::fromLatin1(width)};
    if (busy)
        arguments << QStringLiteral("busy");
    p->start(QCoreApplication::applicationFilePath(), arguments);
    if (!p->waitForStarted(10000))
        return nullptr;
    QByteArray seen;
    while (!seen.contains("measured") && p->waitForReadyRead(30000))
        seen += p->readAll();
    while (!seen.contains('\n') && p->waitForReadyRead(10000))
        seen += p->readAll();
    if (!seen.contains("measured"))
        return nullptr;
    if (folder) {
        const QByteArray line = seen.mid(seen.indexOf("measured")).split('\n').front();
        *folder = line.mid(line.indexOf(" folder ") + 8).trimmed().toStdString();
    }
    return p;
}

// SIGKILL: nothing of the program runs after it.
bool Kill(QProcess& child)
{
    child.kill();
    return child.waitForFinished(10000) && child.exitStatus() == QProcess::CrashExit;
}

// The process id of a program that has ended.
qint64 GonePid()
{
    QProcess sleeper;
    sleeper.start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")});
    if (!sleeper.waitForStarted(10000))
        return 0;
    const qint64 pid = sleeper.processId();
    sleeper.kill();
    sleeper.waitForFinished(10000);
    return pid;
}

bool AnyContains(const std::vector<std::string>& texts, const std::string& part)
{
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

struct Run {
    int code = -1;
    QByteArray out, err;
};

// Batch mode of the real program, as root or as the user nobody.
Run Batch(const QStringList& arguments, bool asNobody = false, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    QStringList all{QStringLiteral("--batch")};
    all += arguments;
    if (asNobody)
        p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                                       QStringLiteral("--clear-groups"), QStringLiteral(KALVEX_BINARY)} +
                                               all);
    else
        p.start(QStringLiteral(KALVEX_BINARY), all);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Whether the user nobody can run the program here at all.
bool NobodyCanRun()
{
    if (::geteuid() != 0)
        return false;
    QProcess p;
    p.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                        QStringLiteral("--clear-groups"), QStringLiteral("test"), QStringLiteral("-x"),
                                        QStringLiteral(KALVEX_BINARY)});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Binds folder read-only over itself for the life of this object.
class ReadOnlyBind {
public:
    explicit ReadOnlyBind(const fs::path& folder) : folder_(folder)
    {
        bound_ = ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0;
        readOnly_ = bound_ && ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyBind()
    {
        if (bound_)
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    // Whether writes are really refused there: root passes every permission check.
    bool Refuses() const
    {
        if (!readOnly_)
            return false;
        const fs::path probe = folder_ / "probe";
        const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
            return false;
        }
        return errno == EROFS;
    }

private:
    fs::path folder_;
    bool bound_ = false;
    bool readOnly_ = false;
};

} // namespace

class SessionTest : public QObject {
    Q_OBJECT
private slots:
    void aKilledProgramsMeasurementsComeBack_data();
    void aKilledProgramsMeasurementsComeBack();
    void bothPlanesOfTheTwoPlaneSettingComeBack();
    void twoProgramsOnOneHomeKeepBothMeasurements();
    void aPhotoKeptByAnotherProgramIsNotReplacedUnasked_data();
    void aPhotoKeptByAnotherProgramIsNotReplacedUnasked();
    void aWorkingFolderThatRefusesWritesShowsNothingOfTheLastPhoto_data();
    void aWorkingFolderThatRefusesWritesShowsNothingOfTheLastPhoto();
    void aKeepTheHomeRefusedIsTriedAgainOrLeftBehind_data();
    void aKeepTheHomeRefusedIsTriedAgainOrLeftBehind();
    void aLockNoProgramHoldsIsTakenOver_data();
    void aLockNoProgramHoldsIsTakenOver();
    void aPhotoOpenedByARelativePathComesBackFromElsewhere();
    void workWhosePhotoIsMissingWaitsForIt_data();
    void workWhosePhotoIsMissingWaitsForIt();
    void aKilledSecondWindowsWorkIsOfferedBack_data();
    void aKilledSecondWindowsWorkIsOfferedBack();
    void batchModeReadsAHomeItCannotWrite_data();
    void batchModeReadsAHomeItCannotWrite();
    void anAutosaveInFlightWhenTheWindowGoesIsFinished();
    void aProgramKilledWhileItsAutosavesRunLeavesWholeFiles_data();
    void aProgramKilledWhileItsAutosavesRunLeavesWholeFiles();
};

// The window goes while the write of 30,000 marks it started is under way:
// the write is finished, and the next start brings every mark back.
void SessionTest::anAutosaveInFlightWhenTheWindowGoesIsFinished()
{
    QTemporaryDir home;
    const QString photo = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    int expected = 0;
    {
        Window w(home.path());
        w->LoadFile(photo);
        Measure(*w, "1500");
        QTest::qWait(700);
        AddManyDistances(*w, 30000);
        expected = w->Doc().Plane.DistanceCount();
        QCOMPARE(expected, 30001);
        w->WriteRecovery();
        // Gone at once, without closing, as when the program is ended.
        w.window.reset();
    }
    const fs::path folder = PathsFor(home.path()).folders.TempFolder;
    const std::optional<RecoveryNote> note = ReadRecoveryNote(folder);
    QVERIFY(note);
    QCOMPARE(QString::fromStdString(note->photo), photo);
    Window w(home.path(), {true});
    QCOMPARE(w.prompter->questions.size(), std::size_t{1});
    QVERIFY(w->HasPhoto());
    QCOMPARE(w->Doc().Plane.DistanceCount(), expected);
    QVERIFY(w.prompter->warnings.empty());
    w.Close();
}

void SessionTest::aProgramKilledWhileItsAutosavesRunLeavesWholeFiles_data()
{
    QTest::addColumn<int>("afterMs");
    for (const int ms : {0, 90, 230, 470})
        QTest::newRow(qPrintable(QStringLiteral("%1 ms").arg(ms))) << ms;
}

// A program adding a mark every 10 ms to 20,000 (an autosave each 300 ms,
// written away from the window) is killed at some moment: whatever it was
// writing, the working files and the note are whole, and what comes back
// is the measurements as one of its writes left them.
void SessionTest::aProgramKilledWhileItsAutosavesRunLeavesWholeFiles()
{
    QFETCH(int, afterMs);
    QTemporaryDir home;
    const QString photo = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    std::unique_ptr<QProcess> child = StartChild(home.path(), photo, "1500", nullptr, {}, true);
    QVERIFY(child);
    QTest::qWait(afterMs);
    QVERIFY(Kill(*child));
    Window w(home.path(), {true});
    QCOMPARE(w.prompter->questions.size(), std::size_t{1});
    QVERIFY(w->HasPhoto());
    // The lock the killed program left is taken over, and said so; nothing
    // read was damaged.
    for (const std::string& told : w.prompter->warnings)
        QVERIFY2(told.find("ロック") != std::string::npos, told.c_str());
    QCOMPARE(w->Doc().KijunWText, std::string("1500"));
    QCOMPARE(w->Doc().Plane.Checks.Count(), 1);
    // The 20,001 written before the child said so, and any added after.
    QVERIFY2(w->Doc().Plane.DistanceCount() >= 20001, qPrintable(QString::number(w->Doc().Plane.DistanceCount())));
    QVERIFY(w->Doc().Plane.DistanceCount() <= 20001 + 300);
    w.Close();
}

void SessionTest::aKilledProgramsMeasurementsComeBack_data()
{
    QTest::addColumn<bool>("bringBack");
    QTest::newRow("brought back") << true;
    QTest::newRow("declined") << false;
}

void SessionTest::aKilledProgramsMeasurementsComeBack()
{
    QFETCH(bool, bringBack);
    QTemporaryDir home;
    const QString photo = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    {
        std::unique_ptr<QProcess> child = StartChild(home.path(), photo, "1500");
        QVERIFY(child);
        child->kill();  // SIGKILL: nothing of the program runs after this
        QVERIFY(child->waitForFinished(10000));
        QCOMPARE(child->exitStatus(), QProcess::CrashExit);
    }

    Window w(home.path(), {bringBack});
    // The lock of the killed program does not keep the home from its next one.
    QVERIFY(w->OwnsHome());
    QCOMPARE(w.prompter->questions.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(w.prompter->questions[0]).contains(photo));
    if (!bringBack) {
        QVERIFY(!w->HasPhoto());
        w.Close();
        Window again(home.path());
        QVERIFY(again.prompter->questions.empty());
        again.Close();
        return;
    }
    QVERIFY(w->HasPhoto());
    QCOMPARE(QString::fromStdString(w->Doc().ImageFileName), photo);
    QCOMPARE(w->Doc().Plane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w->Doc().KijunWText, std::string("1500"));
    QCOMPARE(w->Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w->Doc().Plane.Checks.Count(), 1);
    QCOMPARE(w->Doc().Plane.Checks[1].known, 800.0);
    QCOMPARE(static_cast<QLineEdit*>(w->Control(QStringLiteral("chCalcEdit_KijunW")))->text(), QStringLiteral("1500"));
    QVERIFY(w->ItemEnabled(QStringLiteral("mnDistance")));

    // Still not kept with the photo: closing asks, as after any change; the
    // next start asks nothing and the photo opens with its measurements.
    w.Close();
    QCOMPARE(w.questions.size(), std::size_t{2});
    QVERIFY(w.questions[1].find("保存しますか") != std::string::npos);
    Window again(home.path());
    QVERIFY(again.prompter->questions.empty());
    QVERIFY(!again->HasPhoto());
    again->LoadFile(photo);
    QCOMPARE(again->Doc().Plane.DistanceCount(), 1);
    QCOMPARE(again->Doc().Plane.Checks.Count(), 1);
    QCOMPARE(again->Doc().KijunWText, std::string("1500"));
    again.Close();
}

void SessionTest::bothPlanesOfTheTwoPlaneSettingComeBack()
{
    QTemporaryDir home;
    const QString corner = MakePhoto(home.path(), QStringLiteral("corner.jpg"), Qt::lightGray);
    {
        Window w(home.path());
        w->LoadFile(corner);
        w->mnChangeClick(4);
        w->Edit().SetTwoPlanes(SixPointFromClick({200, 100}, {0, 0}, {400, 300}));
        w->Edit().AddDistance({120, 120}, {180, 150}, false);
        w->mnBaseChangeClick();
        QCOMPARE(w->Doc().CurrentBase, 2);
        w->Edit().AddDistance({250, 120}, {300, 150}, false);
        w->Edit().AddDistance({250, 180}, {300, 210}, false);
        w->mnGroupClick(3);
        QCOMPARE(w->Doc().Modified, std::uint8_t{1});
        w->WriteRecovery();
        // Writing the left plane's file from the right plane's place leaves
        // the window as it was.
        QCOMPARE(w->Doc().CurrentBase, 2);
        QCOMPARE(w->Doc().Plane.DistanceCount(), 2);
        QCOMPARE(w->Doc().ParkedPlane.DistanceCount(), 1);
        // Gone without closing, as in a crash.
        w.window.reset();
    }
    Window w(home.path(), {true});
    QCOMPARE(w.prompter->questions.size(), std::size_t{1});
    QVERIFY(w->HasPhoto());
    QCOMPARE(w->Doc().CurrentSetting, 4);
    QCOMPARE(w->Doc().CurrentGroup, 3);
    QCOMPARE(w->Doc().Plane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w->Doc().ParkedPlane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w->Doc().Plane.DistanceCount() + w->Doc().ParkedPlane.DistanceCount(), 3);
    QCOMPARE(std::min(w->Doc().Plane.DistanceCount(), w->Doc().ParkedPlane.DistanceCount()), 1);
    w.Close();
}

void SessionTest::twoProgramsOnOneHomeKeepBothMeasurements()
{
    QTemporaryDir home;
    const QString wall = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    const QString roof = MakePhoto(home.path(), QStringLiteral("roof.jpg"), QColor(20, 90, 160));
    std::unique_ptr<QProcess> first = StartChild(home.path(), wall, "1500");
    QVERIFY(first);
    const fs::path shared = PathsFor(home.path()).folders.TempFolder;
    const std::string firstsFile = ReadAll(WorkingFile(shared, 1));
    QVERIFY(!firstsFile.empty());

    {
        // The second program on the same home says so and keeps off the
        // first one's working files.
        Window second(home.path());
        QVERIFY(!second->OwnsHome());
        QCOMPARE(second.prompter->warnings.size(), std::size_t{1});
        QVERIFY(second.prompter->warnings[0].find("別の Kalvex") != std::string::npos);
        QVERIFY(second->WorkingFolder() != shared);
        second->LoadFile(roof);
        QCOMPARE(second->Doc().Plane.base.BaseSet, std::uint8_t{0});
        Measure(*second, "2700");
        QTest::qWait(700);
        QCOMPARE(ReadAll(WorkingFile(shared, 1)), firstsFile);
        QVERIFY(!fs::exists(RecoveryNoteFile(shared)) || ReadRecoveryNote(shared)->photo == wall.toStdString());
        // Its measurements are kept where every run finds them.
        second.Close();
    }
    QCOMPARE(ReadAll(WorkingFile(shared, 1)), firstsFile);

    first->write("close\n");
    QVERIFY(first->waitForFinished(30000));
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);

    Window third(home.path());
    QVERIFY(third->OwnsHome());
    QVERIFY(third.prompter->warnings.empty());
    third->LoadFile(wall);
    QCOMPARE(third->Doc().KijunWText, std::string("1500"));
    QCOMPARE(third->Doc().Plane.DistanceCount(), 1);
    third->LoadFile(roof);
    QCOMPARE(third->Doc().KijunWText, std::string("2700"));
    QCOMPARE(third->Doc().Plane.DistanceCount(), 1);
    third.Close();
}

void SessionTest::aPhotoKeptByAnotherProgramIsNotReplacedUnasked_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("kept as the other left it") << false;
    QTest::newRow("replaced") << true;
}

void SessionTest::aPhotoKeptByAnotherProgramIsNotReplacedUnasked()
{
    QFETCH(bool, replace);
    QTemporaryDir home;
    const QString wall = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    Window first(home.path(), {true, replace});
    Window second(home.path());
    QVERIFY(first->OwnsHome());
    QVERIFY(!second->OwnsHome());
    first->LoadFile(wall);
    second->LoadFile(wall);
    Measure(*second, "2700");
    second.Close();
    Measure(*first, "1500");
    first.Close();
    QCOMPARE(first.questions.size(), std::size_t{2});
    QVERIFY(first.questions[0].find("保存しますか") != std::string::npos);
    QVERIFY(first.questions[1].find("別の Kalvex") != std::string::npos);

    Window again(home.path());
    again->LoadFile(wall);
    QCOMPARE(again->Doc().KijunWText, std::string(replace ? "1500" : "2700"));
    again.Close();
}

void SessionTest::aWorkingFolderThatRefusesWritesShowsNothingOfTheLastPhoto_data()
{
    QTest::addColumn<bool>("beforeStart");
    QTest::newRow("read-only from the start") << true;
    QTest::newRow("read-only while open") << false;
}

void SessionTest::aWorkingFolderThatRefusesWritesShowsNothingOfTheLastPhoto()
{
    QFETCH(bool, beforeStart);
    if (!g_privateMounts)
        QSKIP("no mount namespace of our own here: a read-only folder cannot be made for root");
    QTemporaryDir home;
    const QString wall = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    const QString roof = MakePhoto(home.path(), QStringLiteral("roof.jpg"), QColor(20, 90, 160));
    const fs::path temp = PathsFor(home.path()).folders.TempFolder;
    {
        // The wall's measurements, kept; the working files still hold them.
        Window w(home.path());
        w->LoadFile(wall);
        Measure(*w, "1500");
        QCOMPARE(w->Doc().Plane.base.BaseSet, std::uint8_t{1});
        QCOMPARE(w->Doc().Plane.DistanceCount(), 1);
        w.Close();
    }
    QVERIFY(IsFile(WorkingFile(temp, 1)));

    std::unique_ptr<ReadOnlyBind> bind;
    if (beforeStart)
        bind = std::make_unique<ReadOnlyBind>(temp);
    Window w(home.path());
    if (!beforeStart)
        bind = std::make_unique<ReadOnlyBind>(temp);
    QVERIFY2(bind->Refuses(), "the working folder still takes writes");
    w->LoadFile(roof);
    QVERIFY(w->HasPhoto());
    QCOMPARE(w->Doc().Plane.base.BaseSet, std::uint8_t{0});
    QCOMPARE(w->Doc().Plane.DistanceCount(), 0);
    QCOMPARE(w->Doc().KijunWText, std::string("1000"));
    QVERIFY(!w.prompter->warnings.empty());
    QVERIFY(w.prompter->warnings.back().find("書き込めません") != std::string::npos);
    // The wall's own measurements are still read from where they were kept.
    w->LoadFile(wall);
    QCOMPARE(w->Doc().KijunWText, std::string("1500"));
    QCOMPARE(w->Doc().Plane.DistanceCount(), 1);
    w.Close();
}


void SessionTest::aKeepTheHomeRefusedIsTriedAgainOrLeftBehind_data()
{
    QTest::addColumn<bool>("retry");
    QTest::newRow("tried again once the home takes writes") << true;
    QTest::newRow("given up") << false;
}

void SessionTest::aKeepTheHomeRefusedIsTriedAgainOrLeftBehind()
{
    QFETCH(bool, retry);
    if (!g_privateMounts)
        QSKIP("no mount namespace of our own here: a read-only folder cannot be made for root");
    QTemporaryDir home;
    const QString wall = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    const fs::path temp = PathsFor(home.path()).folders.TempFolder;
    {
        Window w(home.path());
        w->LoadFile(wall);
        Measure(*w, "1500");
        w.Close();
    }
    auto bind = std::make_unique<ReadOnlyBind>(temp);
    QVERIFY2(bind->Refuses(), "the working folder still takes writes");
    fs::path left;
    {
        Window w(home.path());
        QVERIFY(!w->OwnsHome());
        left = w->WorkingFolder();
        w->LoadFile(wall);
        QCOMPARE(w->Doc().Plane.DistanceCount(), 1);
        w->Edit().AddDistance({120, 220}, {260, 230}, false);
        // The copies the home refuses are owed; freeing it (here: the mount
        // gone) lets the retry put every one of them there.
        w.prompter->onSaveFailed = [&] {
            if (retry)
                bind.reset();
        };
        w.prompter->saveChoices = {retry ? SaveFailureChoice::Retry : SaveFailureChoice::GoOn};
        w.Close();
        QVERIFY(AnyContains(w.warnings, "保存できませんでした"));
        if (!retry) {
            // Only the private folder holds the new measurements: it stays, with
            // a note for the next start, and the user is told where it is.
            QVERIFY(AnyContains(w.warnings, left.string()));
            QVERIFY(fs::is_directory(left));
            const std::optional<RecoveryNote> note = ReadRecoveryNote(left);
            QVERIFY(note);
            QCOMPARE(QString::fromStdString(note->photo), wall);
            QVERIFY(IsFile(WorkingFile(left, 1)));
            std::error_code ec;
            fs::remove_all(left, ec);
            return;
        }
    }
    QVERIFY(!fs::exists(left));
    Window again(home.path());
    again->LoadFile(wall);
    QCOMPARE(again->Doc().Plane.DistanceCount(), 2);
    again.Close();
}

void SessionTest::aLockNoProgramHoldsIsTakenOver_data()
{
    QTest::addColumn<QString>("pid");   // the lock's first line, "" for as it was written
    QTest::addColumn<QString>("host");  // its host line, "" for this machine's
    QTest::addColumn<QByteArray>("whole");  // or the whole file, when not empty
    QTest::addColumn<bool>("taken");
    const QString gone = QString::number(GonePid());
    const QString live = QString::number(QCoreApplication::applicationPid());
    QTest::newRow("empty") << QString() << QString() << QByteArray("\n") << true;
    QTest::newRow("garbled") << QString() << QString() << QByteArray("\x01\x7fnot a lock at all") << true;
    QTest::newRow("its program gone") << gone << QString() << QByteArray() << true;
    QTest::newRow("garbled, from another machine") << QStringLiteral("zz") << QStringLiteral("elsewhere.invalid")
                                                    << QByteArray() << true;
    QTest::newRow("a live process on another machine")
        << live << QStringLiteral("elsewhere.invalid") << QByteArray() << false;
    QTest::newRow("a live process here") << live << QString() << QByteArray() << false;
}

void SessionTest::aLockNoProgramHoldsIsTakenOver()
{
    QFETCH(QString, pid);
    QFETCH(QString, host);
    QFETCH(QByteArray, whole);
    QFETCH(bool, taken);
    QTemporaryDir home;
    const fs::path temp = PathsFor(home.path()).folders.TempFolder;
    fs::create_directories(temp);
    QByteArray bytes = whole == "\n" ? QByteArray() : whole;
    if (whole.isEmpty()) {
        // A lock as the library writes it, with the lines of the row put in.
        {
            QLockFile real(home.filePath(QStringLiteral("real.lock")));
            QVERIFY(real.tryLock(0));
            QFile f(home.filePath(QStringLiteral("real.lock")));
            QVERIFY(f.open(QIODevice::ReadOnly));
            bytes = f.readAll();
        }
        QList<QByteArray> lines = bytes.split('\n');
        QVERIFY(lines.size() >= 3);
        lines[0] = pid.toUtf8();
        if (!host.isEmpty())
            lines[2] = host.toUtf8();
        bytes = lines.join('\n');
    }
    {
        QFile lock(QString::fromStdString((temp / "kalvex.lock").string()));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(bytes);
    }
    Window w(home.path());
    QCOMPARE(w->OwnsHome(), taken);
    if (taken) {
        QVERIFY(AnyContains(w.prompter->warnings, "引き継ぎました"));
        QCOMPARE(w->WorkingFolder(), temp);
    } else {
        QVERIFY(AnyContains(w.prompter->warnings, "別の Kalvex"));
    }
    w.Close();
    // Taken over, it is this program's and goes when it closes.
    if (taken)
        QVERIFY(!fs::exists(temp / "kalvex.lock"));
}

void SessionTest::aPhotoOpenedByARelativePathComesBackFromElsewhere()
{
    QTemporaryDir home;
    fs::create_directories(fs::path(home.path().toStdString()) / "photos");
    const QString wall = MakePhoto(home.filePath(QStringLiteral("photos")), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    {
        std::unique_ptr<QProcess> child =
            StartChild(home.path(), QStringLiteral("photos/wall.jpg"), "1500", nullptr, home.path());
        QVERIFY(child);
        QVERIFY(Kill(*child));
    }
    // Started from another folder than the killed program was.
    QVERIFY(QDir::currentPath() != home.path());
    Window w(home.path(), {true});
    QCOMPARE(w.prompter->questions.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(w.prompter->questions[0]).contains(wall));
    QVERIFY(w->HasPhoto());
    QCOMPARE(QString::fromStdString(w->Doc().ImageFileName), wall);
    QCOMPARE(w->Doc().KijunWText, std::string("1500"));
    QCOMPARE(w->Doc().Plane.DistanceCount(), 1);
    QCOMPARE(QString::fromStdString(w->Settings().LastFileName[1]), wall);
    w.Close();
}

void SessionTest::workWhosePhotoIsMissingWaitsForIt_data()
{
    QTest::addColumn<bool>("byHand");
    QTest::newRow("brought in when opened by hand") << true;
    QTest::newRow("offered again at the next start") << false;
}

void SessionTest::workWhosePhotoIsMissingWaitsForIt()
{
    QFETCH(bool, byHand);
    QTemporaryDir home;
    const QString wall = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    const QString roof = MakePhoto(home.path(), QStringLiteral("roof.jpg"), QColor(20, 90, 160));
    {
        std::unique_ptr<QProcess> child = StartChild(home.path(), wall, "1500");
        QVERIFY(child);
        QVERIFY(Kill(*child));
    }
    // The photo's drive is not there at the next start.
    const QString away = home.filePath(QStringLiteral("away.jpg"));
    QVERIFY(QFile::rename(wall, away));
    {
        Window w(home.path(), {true});
        QCOMPARE(w.prompter->questions.size(), std::size_t{1});
        QVERIFY(!w->HasPhoto());
        QVERIFY(AnyContains(w.prompter->warnings, "戻せませんでした"));
        // Another photo opened and measured meanwhile takes nothing of it.
        w->LoadFile(roof);
        QCOMPARE(w->Doc().Plane.DistanceCount(), 0);
        w->Edit().AddDistance({10, 10}, {50, 60}, false);
        QVERIFY(QFile::rename(away, wall));
        if (byHand) {
            w->LoadFile(wall);
            QCOMPARE(QString::fromStdString(w->Doc().ImageFileName), wall);
            QCOMPARE(w->Doc().KijunWText, std::string("1500"));
            QCOMPARE(w->Doc().Plane.DistanceCount(), 1);
            QCOMPARE(w->Doc().Modified, std::uint8_t{1});
        }
        w.Close();
    }
    Window next(home.path(), {true});
    if (byHand) {
        // Kept at the close: nothing is left to offer.
        QVERIFY(next.prompter->questions.empty());
        next->LoadFile(wall);
    } else {
        QCOMPARE(next.prompter->questions.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(next.prompter->questions[0]).contains(wall));
    }
    QVERIFY(next->HasPhoto());
    QCOMPARE(next->Doc().KijunWText, std::string("1500"));
    QCOMPARE(next->Doc().Plane.DistanceCount(), 1);
    next->LoadFile(roof);
    QCOMPARE(next->Doc().Plane.DistanceCount(), 1);
    next.Close();
}

void SessionTest::aKilledSecondWindowsWorkIsOfferedBack_data()
{
    QTest::addColumn<bool>("bringBack");
    QTest::newRow("brought back") << true;
    QTest::newRow("declined") << false;
}

void SessionTest::aKilledSecondWindowsWorkIsOfferedBack()
{
    QFETCH(bool, bringBack);
    QTemporaryDir home;
    const QString wall = MakePhoto(home.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    fs::path left;
    {
        Window first(home.path());
        QVERIFY(first->OwnsHome());
        std::unique_ptr<QProcess> second = StartChild(home.path(), wall, "2700", &left);
        QVERIFY(second);
        QVERIFY(left != PathsFor(home.path()).folders.TempFolder);
        QVERIFY(fs::is_directory(left));
        // While its program lives, its folder is nobody else's to offer.
        Window third(home.path());
        QVERIFY(third.prompter->questions.empty());
        third.Close();
        QVERIFY(Kill(*second));
        first.Close();
    }
    QVERIFY(fs::is_directory(left));
    Window w(home.path(), {bringBack});
    QVERIFY(w->OwnsHome());
    QCOMPARE(w.prompter->questions.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(w.prompter->questions[0]).contains(wall));
    QCOMPARE(w->HasPhoto(), bringBack);
    if (bringBack) {
        QCOMPARE(w->Doc().KijunWText, std::string("2700"));
        QCOMPARE(w->Doc().Plane.DistanceCount(), 1);
        QCOMPARE(w->Doc().Plane.Checks.Count(), 1);
    }
    // Once brought back (safe in this window's files) or declined, it goes.
    QVERIFY(!fs::exists(left));
    w.Close();
    Window again(home.path());
    QVERIFY(again.prompter->questions.empty());
    again->LoadFile(wall);
    QCOMPARE(again->Doc().KijunWText, std::string(bringBack ? "2700" : "1000"));
    again.Close();
}

void SessionTest::batchModeReadsAHomeItCannotWrite_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("another user") << QStringLiteral("nobody");
    QTest::newRow("a read-only mount") << QStringLiteral("mount");
    QTest::newRow("a working folder it cannot read") << QStringLiteral("unreadable");
}

void SessionTest::batchModeReadsAHomeItCannotWrite()
{
    QFETCH(QString, how);
    const bool asNobody = how != QStringLiteral("mount");
    if (asNobody && !NobodyCanRun())
        QSKIP("the program cannot be run as another user here");
    if (!asNobody && !g_privateMounts)
        QSKIP("no mount namespace of our own here: a read-only folder cannot be made for root");
    QTemporaryDir base;
    const fs::path root = base.path().toStdString();
    const fs::path home = root / "home";
    const fs::path out = root / "out";
    fs::create_directories(home);
    fs::create_directories(out);
    const QString wall = MakePhoto(base.path(), QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    std::string measured, unmeasured;
    {
        Window w(QString::fromStdString(home.string()));
        w->LoadFile(wall);
        unmeasured = CsvBytes(w->Doc(), true);
        Measure(*w, "1500");
        measured = CsvBytes(w->Doc(), true);
        w.Close();
    }
    QVERIFY(measured != unmeasured);
    // Readable by all, writable by root alone.
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root))
        fs::permissions(e.path(), e.is_directory() ? fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                                             fs::perms::others_read | fs::perms::others_exec
                                                   : fs::perms::owner_read | fs::perms::owner_write |
                                                             fs::perms::group_read | fs::perms::others_read);
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
    fs::permissions(out, fs::perms::all);
    const fs::path temp = home / "Temp";
    if (how == QStringLiteral("unreadable"))
        fs::permissions(temp, fs::perms::owner_all);
    std::unique_ptr<ReadOnlyBind> bind;
    if (!asNobody) {
        bind = std::make_unique<ReadOnlyBind>(home);
        QVERIFY2(bind->Refuses(), "the home still takes writes");
    }
    // Wherever a home that cannot be written would give way to, nothing of
    // the photo is there.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString((out / "data").string()));
    const fs::path csv = out / "wall.csv";
    const Run r = Batch({wall, QStringLiteral("--home"), QString::fromStdString(home.string()), QStringLiteral("--csv"),
                         QString::fromStdString(csv.string())},
                        asNobody, env);
    if (how == QStringLiteral("unreadable")) {
        // Never exports without the measurements passed off as a success.
        QVERIFY2(r.code > 0, r.err.constData());
        QVERIFY2(r.err.contains(temp.string().c_str()), r.err.constData());
        return;
    }
    QVERIFY2(r.code == 0, r.err.constData());
    QCOMPARE(ReadAll(csv), measured);
}

int main(int argc, char** argv)
{
    if (argc >= 2 && std::string_view(argv[1]) == "--child")
        return RunChild(argc, argv);
    // Before any thread starts: a mount namespace can only be entered alone.
    g_privateMounts = ::unshare(CLONE_NEWNS) == 0 &&
                      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    QApplication app(argc, argv);
    SessionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_sessions.moc"
