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

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <filesystem>
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
    std::optional<bool> AskYesNoCancel(const std::string& m) override { return AskYesNo(m); }
    // A save that fails is told, and the program goes on without it.
    SaveFailureChoice SaveFailed(const std::string& m) override
    {
        Warn(m);
        return SaveFailureChoice::GoOn;
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
    QTest::qWait(1500);
    std::cout << "measured " << w->Doc().Plane.DistanceCount() << " owner " << w->OwnsHome() << std::endl;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0 || std::string_view(buffer, 5) == "close") {
            input.setEnabled(false);
            w.Close();
            std::cout << "closed" << std::endl;
            app.quit();
        }
    });
    return app.exec();
}

// A child started on home with photo; returns once it has measured.
std::unique_ptr<QProcess> StartChild(const QString& home, const QString& photo, const char* width)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QCoreApplication::applicationFilePath(),
             {QStringLiteral("--child"), home, photo, QString::fromLatin1(width)});
    if (!p->waitForStarted(10000))
        return nullptr;
    QByteArray seen;
    while (!seen.contains("measured") && p->waitForReadyRead(30000))
        seen += p->readAll();
    if (!seen.contains("measured"))
        return nullptr;
    return p;
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
};

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
