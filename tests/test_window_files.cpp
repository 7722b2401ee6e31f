// The window's photos and working files driven as a user would: opening, coming
// back, damaged and hostile files, dropping, scanning, the image effects, and
// saving the measurements when the user moves on.

#include "window_fixture.h"

#include "image/photo.h"
#include "image/colour.h"
#include "measure/calibration.h"
#include "interact/commands.h"
#include "interact/prompts.h"
#include "shell/dialogs.h"
#include "measure/numfmt.h"
#include "measure/computation.h"
#include "measure/results.h"
#include "widgets/scan_dialog.h"
#include "widgets/list_dialog.h"
#include "widgets/calc_edit.h"
#include "widgets/area_dialogs.h"
#include "widgets/effect_dialog.h"
#include "widgets/property_dialog.h"
#include "shell/application.h"
#include "base/translate.h"
#include "base/error_trail.h"
#include "measure/cp932.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "measure/uncertainty.h"
#include "measure/checks.h"
#include "sane_pin.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QLineEdit>
#include <QDir>
#include <QTranslator>
#include <QPushButton>
#include <QProgressDialog>
#include <QPainter>
#include <QImageReader>
#include <QTemporaryDir>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

using namespace kvx;
using namespace kvx::test;

class WindowFilesTest : public QObject {
    Q_OBJECT
private slots:
    void aDamagedJpegIsToldInTheInterfacesLanguage();
    void openingAPhotoAndComingBackRestoresItsMeasurements();
    void aPhotoThatCannotBeDecodedKeepsTheOpenOne();
    void aPipeAsThePhotoIsRefusedWithoutFreezing();
    void twoPhotosWithTheSameKeyKeepTheirOwnMeasurements();
    void measurementsKeptUnderAnEarlierFingerprintAreFound();
    void recentPhotosAndTheFileMenu();
    void aCutWorkingFileNeverLocksTheWindow();
    void confirmationsDecide();
    void droppedFilesOpenAndThePanWindowFollows();
    void imageProcessingPreviewAbortAndRestore();
    void scanningSavesAndOpensThePage();
    void scanFailureAndDiscardLeaveThePhoto();
    void aScanCanBeCancelled_data();
    void aScanCanBeCancelled();
    void aFailedSaveLetsTheUserRetryGoOnOrStay();
    void anOpenChainIsEndedBeforeTheWorkingFilesAreWritten();
    void theChosenPlaneStaysCurrentWhateverTheSaveDoes();
    void theKeepQuestionsButtonsSayWhatTheyDo_data();
    void theKeepQuestionsButtonsSayWhatTheyDo();
};

void WindowFilesTest::aDamagedJpegIsToldInTheInterfacesLanguage()
{
    QTemporaryDir folder;
    QImage image(320, 240, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x ^ y) % 256, (x * y) % 256));
    const QString whole = folder.filePath(QStringLiteral("whole.jpg"));
    QVERIFY(kvx::Photo(image).SaveJpeg(whole));
    QFile in(whole);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    // Cut in the header, cut in the picture, and a JPEG start followed by rubbish.
    QByteArray rubbish("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\xF0\x01\x40\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xDA", 23);
    rubbish += QByteArray(4000, '\x5A');
    const std::vector<std::pair<const char*, QByteArray>> files{
        {"header.jpg", bytes.left(120)}, {"half.jpg", bytes.left(bytes.size() / 2)}, {"rubbish.jpg", rubbish}};
    // Words of libjpeg's own sentences.
    const QStringList english{QStringLiteral("JPEG datastream"), QStringLiteral("Premature"), QStringLiteral("Corrupt JPEG"),
                              QStringLiteral("Not a JPEG"), QStringLiteral("Bogus"), QStringLiteral("Unsupported"),
                              QStringLiteral("Invalid"), QStringLiteral("marker"), QStringLiteral("Huffman")};
    for (const auto& [name, data] : files) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(data);
        out.close();
        const QString japanese = LoadPhoto(path).error;
        InstallLanguage(*QCoreApplication::instance(), UiLanguage::English);
        const QString inEnglish = LoadPhoto(path).error;
        for (auto* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
        QVERIFY2(!japanese.isEmpty() && !inEnglish.isEmpty(), name);
        QVERIFY2(japanese != inEnglish, qPrintable(inEnglish));
        QVERIFY2(japanese.contains(QStringLiteral("読み込")), qPrintable(japanese));
        for (const QString& words : english) {
            QVERIFY2(!japanese.contains(words, Qt::CaseInsensitive), qPrintable(japanese));
            QVERIFY2(!inEnglish.contains(words, Qt::CaseInsensitive), qPrintable(inEnglish));
        }
    }
}

void WindowFilesTest::openingAPhotoAndComingBackRestoresItsMeasurements()
{
    Fixture f;
    TF001& w = f.Open();
    const QString a = f.Photo(QStringLiteral("wall.jpg"), QColor(120, 80, 40));
    const QString b = f.Photo(QStringLiteral("roof.jpg"), QColor(20, 90, 160));

    w.LoadFile(a);
    QVERIFY(w.HasPhoto());
    QVERIFY(w.windowTitle().endsWith(QStringLiteral("[") + a + QStringLiteral("]")));
    QCOMPARE(w.Doc().ImageCheckSum, w.WorkImage().CheckSum());
    QVERIFY(w.Doc().ImageCheckSum != 0);
    QCOMPARE(w.Command(), uCommand::None);

    // Setting 1: a reference, W typed, a distance.
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.KijunWText = "1500"; });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 130}}); });
    w.SyncFieldsFromDocument();
    w.SetCommand(uCommand::None);
    QVERIFY(w.ItemEnabled(QStringLiteral("mnDistance")));
    QVERIFY(w.ItemEnabled(QStringLiteral("SpeedButton_DistanceDel")));

    // Setting 2 starts empty; give it a reference of its own.
    w.mnChangeClick(2);
    QCOMPARE(w.Doc().CurrentSetting, 2);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{0});
    QCOMPARE(static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_KijunW")))->text(), QStringLiteral("1000"));
    QCOMPARE(static_cast<QComboBox*>(w.Control(QStringLiteral("ComboBox_Change")))->currentIndex(), 1);
    QVERIFY(w.Action(QStringLiteral("mnChange2"))->isChecked());
    QVERIFY(!w.ItemEnabled(QStringLiteral("mnDistance")));
    Set(w, [&](Document& d) { MarkReference(d); });

    w.mnChangeClick(1);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_KijunW")))->text(), QStringLiteral("1500"));
    QCOMPARE(w.Doc().OtherBaseSet, std::uint8_t{1});

    // Another photo: keep the changes of the first.
    f.prompter->answers = {true};
    w.LoadFile(b);
    QCOMPARE(f.prompter->questions.size(), std::size_t{1});
    QVERIFY(f.prompter->questions[0].find("保存しますか") != std::string::npos);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{0});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);

    // And back: setting 1 as it was, setting 2 with its reference.
    w.LoadFile(a);
    QCOMPARE(f.prompter->questions.size(), std::size_t{1});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().KijunWText, std::string("1500"));
    QVERIFY(w.ItemEnabled(QStringLiteral("mnDistance")));
    w.mnChangeClick(2);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    f.Close();
}

// A named pipe given as the photo (from the command line, the dialog, a drag
// or a recovery note, all of which open through LoadFile's reading) has no
// writer: opening it for reading would wait for ever, with the window frozen.
// Should it block, a helper thread opens the other end after a while, so the
// test fails instead of hanging.
void WindowFilesTest::aPipeAsThePhotoIsRefusedWithoutFreezing()
{
    Fixture f;
    TF001& w = f.Open();
    const QString good = f.Photo(QStringLiteral("good.jpg"), Qt::gray);
    w.LoadFile(good);
    QVERIFY(w.HasPhoto());
    const QString pipe = f.home.filePath(QStringLiteral("pipe.jpg"));
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    std::atomic<bool> done{false};
    std::atomic<bool> released{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (done)
            return;
        released = true;
        const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    });
    f.prompter->warnings.clear();
    w.LoadFile(pipe);
    done = true;
    watchdog.join();
    QVERIFY2(!released, "opening the pipe blocked");
    QCOMPARE(f.prompter->warnings.size(), std::size_t{1});
    const QString warning = QString::fromStdString(f.prompter->warnings[0]);
    QVERIFY2(warning.contains(QStringLiteral("pipe.jpg")), qPrintable(warning));
    QVERIFY2(warning.contains(QStringLiteral("通常のファイルではない")), qPrintable(warning));
    // The photo open stays.
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), good);
    f.Close();
}

void WindowFilesTest::twoPhotosWithTheSameKeyKeepTheirOwnMeasurements()
{
    // Two cards of one camera: the same name and size and a dark bottom-left
    // corner, so the same name-and-checksum key; different photos all the same.
    Fixture f;
    TF001& w = f.Open();
    auto photo = [&](const QString& folder, QColor colour) {
        QDir(f.home.path()).mkpath(folder);
        QImage image(QSize(400, 300), QImage::Format_RGB888);
        image.fill(colour);
        QPainter(&image).fillRect(QRect(0, 300 - 96, 128, 96), Qt::black);
        const QString path = f.home.filePath(folder + QStringLiteral("/IMG_0001.jpg"));
        kvx::Photo(image).SaveJpeg(path);
        return path;
    };
    const QString a = photo(QStringLiteral("card1"), QColor(200, 60, 40));
    const QString b = photo(QStringLiteral("card2"), QColor(40, 160, 200));
    QCOMPARE(LoadPhoto(a).photo.CheckSum(), LoadPhoto(b).photo.CheckSum());

    w.LoadFile(a);
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 130}}); });
    w.SetCommand(uCommand::None);

    // The second photo shows nothing of the first.
    f.prompter->answers = {true, true, true};
    w.LoadFile(b);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{0});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    Set(w, [&](Document& d) { SetReferenceRect(d, {TDPoint{50, 50}, {150, 50}, {150, 150}, {50, 150}}, true); });
    w.SetCommand(uCommand::None);

    // Keeping it replaced nothing of the first, and each finds its own again.
    w.LoadFile(a);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().Plane.base.BaseRect[1], (TDPoint{100, 100}));
    w.LoadFile(b);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w.Doc().Plane.base.BaseRect[1], (TDPoint{50, 50}));
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    QVERIFY(f.prompter->warnings.empty());
    f.Close();
}

void WindowFilesTest::measurementsKeptUnderAnEarlierFingerprintAreFound()
{
    // Two photos under one name-and-checksum key, their copies kept by an
    // earlier version: the fingerprint beside them is the SHA-256 of the
    // photo file, where this version takes a faster hash while reading it.
    Fixture f;
    TF001& w = f.Open();
    auto photo = [&](const QString& folder, QColor colour) {
        QDir(f.home.path()).mkpath(folder);
        QImage image(QSize(400, 300), QImage::Format_RGB888);
        image.fill(colour);
        QPainter(&image).fillRect(QRect(0, 300 - 96, 128, 96), Qt::black);
        const QString path = f.home.filePath(folder + QStringLiteral("/IMG_0001.jpg"));
        kvx::Photo(image).SaveJpeg(path);
        return path;
    };
    const QString a = photo(QStringLiteral("card1"), QColor(200, 60, 40));
    const QString b = photo(QStringLiteral("card2"), QColor(40, 160, 200));
    w.LoadFile(a);
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 130}}); });
    w.SetCommand(uCommand::None);
    f.prompter->answers = {true, true, true};
    w.LoadFile(b);
    Set(w, [&](Document& d) { SetReferenceRect(d, {TDPoint{50, 50}, {150, 50}, {150, 150}, {50, 150}}, true); });
    w.SetCommand(uCommand::None);
    f.prompter->answers = {true, true, true};
    w.LoadFile(a);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);

    auto sha = [](const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    };
    const QByteArray shaA = sha(a);
    const QByteArray shaB = sha(b);
    QCOMPARE(shaA.size(), 64);
    // Every fingerprint kept beside copies becomes the one the earlier version wrote.
    const std::string newA = kvx::PhotoFingerprint(a);
    const std::string newB = kvx::PhotoFingerprint(b);
    QCOMPARE(newA.size(), std::size_t{32});
    QVERIFY(newA != newB);
    std::vector<std::pair<std::filesystem::path, QByteArray>> rewritten;
    for (const auto& e : std::filesystem::recursive_directory_iterator(f.home.path().toStdString())) {
        const std::string name = e.path().filename().string();
        if (name.size() < 8 || name.substr(name.size() - 8) != "[id].tmp")
            continue;
        QFile id(QString::fromStdString(e.path().string()));
        QVERIFY(id.open(QIODevice::ReadOnly));
        const QByteArray stored = id.readAll();
        id.close();
        const QByteArray older = stored.toStdString() == newA ? shaA : stored.toStdString() == newB ? shaB : QByteArray();
        QVERIFY2(!older.isEmpty(), stored.constData());
        QVERIFY(id.open(QIODevice::WriteOnly | QIODevice::Truncate));
        id.write(older);
        id.close();
        rewritten.emplace_back(e.path(), older);
    }
    QVERIFY(rewritten.size() >= 2);

    // Each photo finds its own measurements again, and keeping them leaves
    // the earlier fingerprints as they were.
    f.prompter->answers = {true, true, true};
    w.LoadFile(b);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w.Doc().Plane.base.BaseRect[1], (TDPoint{50, 50}));
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    w.Edit().AddDistance({60, 60}, {140, 70}, false);
    w.SetCommand(uCommand::None);
    f.prompter->answers = {true, true, true};
    w.LoadFile(a);
    QVERIFY2(f.prompter->warnings.empty(), f.prompter->warnings.empty() ? "" : f.prompter->warnings[0].c_str());
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().Plane.base.BaseRect[1], (TDPoint{100, 100}));
    f.prompter->answers = {true, true, true};
    w.LoadFile(b);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().Plane.base.BaseRect[1], (TDPoint{50, 50}));
    QVERIFY(f.prompter->warnings.empty());
    for (const auto& [file, older] : rewritten) {
        QFile id(QString::fromStdString(file.string()));
        QVERIFY(id.open(QIODevice::ReadOnly));
        QCOMPARE(id.readAll(), older);
    }
    f.Close();
}

void WindowFilesTest::aPhotoThatCannotBeDecodedKeepsTheOpenOne()
{
    Fixture f;
    TF001& w = f.Open();
    const QString good = f.Photo(QStringLiteral("good.jpg"), Qt::gray);
    w.LoadFile(good);
    QVERIFY(w.HasPhoto());
    // A reference and a distance drawn with the real pointer.
    w.SetCommand(uCommand::Base);
    for (const TDPoint p : {TDPoint{100, 100}, TDPoint{300, 100}, TDPoint{300, 250}, TDPoint{100, 250}})
        ClickAt(w, p);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    w.SetCommand(uCommand::Distance);
    ClickAt(w, TDPoint{120, 120});
    ClickAt(w, TDPoint{250, 130});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    const auto recent = w.Settings().LastFileName;
    const QString title = w.windowTitle();

    const QString bad = f.home.filePath(QStringLiteral("bad.jpg"));
    {
        QFile out(bad);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("not a photo at all");
    }
    f.prompter->warnings.clear();
    f.prompter->questions.clear();
    w.LoadFile(bad);
    QCOMPARE(f.prompter->warnings.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(f.prompter->warnings[0]).contains(QStringLiteral("bad.jpg")));
    QVERIFY(f.prompter->questions.empty());  // nothing was saved or asked
    // The photo open and its measurements stay; the recent list is as it was.
    QVERIFY(w.HasPhoto());
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), good);
    QCOMPARE(w.windowTitle(), title);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().Modified, std::uint8_t{1});
    QVERIFY(w.Settings().LastFileName == recent);
    QVERIFY(w.ItemEnabled(QStringLiteral("mnDistance")));
    // And the tools go on working on it.
    ClickAt(w, TDPoint{130, 200});
    ClickAt(w, TDPoint{260, 210});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 2);
    f.Close();
}

void WindowFilesTest::recentPhotosAndTheFileMenu()
{
    Fixture f;
    TF001& w = f.Open();
    const QString a = f.Photo(QStringLiteral("a.jpg"), Qt::red);
    const QString b = f.Photo(QStringLiteral("b.jpg"), Qt::green);
    w.LoadFile(a);
    w.LoadFile(b);
    w.LoadFile(a);
    QCOMPARE(QString::fromStdString(w.Settings().LastFileName[1]), a);
    QCOMPARE(QString::fromStdString(w.Settings().LastFileName[2]), b);
    QVERIFY(w.Settings().LastFileName[3].empty());

    QFile::remove(b);
    w.mnFileClick();
    QVERIFY(w.Action(QStringLiteral("mnLastFileName1"))->isVisible());
    QVERIFY(w.Action(QStringLiteral("mnLastFileName1"))->isEnabled());
    QVERIFY(!w.Action(QStringLiteral("mnLastFileName2"))->isEnabled());
    QVERIFY(!w.Action(QStringLiteral("mnLastFileName3"))->isVisible());
    QVERIFY(!w.Action(QStringLiteral("mnPrint"))->isVisible());

    // The open dialog: cancel changes nothing, a choice opens and remembers the folder.
    f.prompter->openPath.reset();
    w.mnOpenClick();
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), a);
    const QString c = f.Photo(QStringLiteral("c.jpg"), Qt::blue);
    f.prompter->openPath = c;
    w.mnOpenClick();
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), c);
    QCOMPARE(QString::fromStdString(w.Settings().ImageFolder), f.home.path());
    f.Close();
}

// A working file cut after the reference's first corner once left a
// half-read reference "set" with a corner of garbage, and every paint threw.
void WindowFilesTest::aCutWorkingFileNeverLocksTheWindow()
{
    Fixture f;
    const QString photo = f.Photo(QStringLiteral("cut.jpg"), Qt::darkCyan);
    {
        TF001& w = f.Open();
        w.LoadFile(photo);
        Set(w, [&](Document& d) { MarkReference(d); });
        w.SetCommand(uCommand::Distance);
        ClickAt(w, {150, 150});
        ClickAt(w, {250, 160});
        QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    }
    TF001& first = *f.window;
    const std::string key = first.Doc().ImageKey.empty() ? PerImageKey(first.Doc().ImageFileName, first.Doc().ImageCheckSum)
                                                         : first.Doc().ImageKey;
    f.Close();
    const std::filesystem::path saved = PerImageFile(f.Temp(), key, 1);
    QVERIFY2(std::filesystem::exists(saved), saved.c_str());
    std::filesystem::resize_file(saved, 21);

    TF001& w = f.Open();
    w.LoadFile(photo);
    QCoreApplication::processEvents();
    const std::size_t told = f.prompter->errors.size() + f.prompter->warnings.size();
    QVERIFY2(told <= 1, "the damage is told once at most");
    QVERIFY(!w.Doc().Plane.base.BaseSet);  // a half-read reference is no reference
    for (int i = 0; i < 3; ++i) {
        Repaint(w);
        QCoreApplication::processEvents();
    }
    QCOMPARE(f.prompter->errors.size() + f.prompter->warnings.size(), told);

    // Measuring starts again from a fresh reference.
    Set(w, [&](Document& d) { MarkReference(d); });
    w.SetCommand(uCommand::Distance);
    ClickAt(w, {150, 150});
    ClickAt(w, {250, 160});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    f.Close();
}

void WindowFilesTest::confirmationsDecide()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("c.jpg"), Qt::yellow);
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 130}}); });
    w.SetCommand(uCommand::None);

    f.prompter->answers = {false};
    w.mnDistanceAllDelClick();
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    f.prompter->answers = {true};
    w.mnDistanceAllDelClick();
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    QCOMPARE(w.Doc().Modified, std::uint8_t{1});

    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 130}}); });
    f.prompter->answers = {false};
    w.mnBaseClick();
    QCOMPARE(w.Command(), uCommand::None);
    f.prompter->answers = {true};
    w.mnBaseClick();
    QCOMPARE(w.Command(), uCommand::Base);

    f.prompter->answers = {true};
    w.mnResetClick();
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{0});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    QVERIFY(!w.ItemEnabled(QStringLiteral("mnDistance")));
    f.Close();
}

void WindowFilesTest::droppedFilesOpenAndThePanWindowFollows()
{
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().PanWindowFlag = true;
    w.MutableSettings().PanWindowSize = 200;
    const QString photo = f.Photo(QStringLiteral("dropped.jpg"), Qt::darkGreen, QSize(1600, 1200));
    emit w.Display()->fileDropped(photo);
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), photo);
    QVERIFY(w.Display()->Pan()->isVisible());
    QCOMPARE(w.Display()->Pan()->width(), 200);

    // The framed part follows the view, and a click in the window pans there.
    w.mnZoom1Click();
    const QRect frame = w.Display()->Pan()->VisibleFrame();
    QVERIFY(frame.width() < 200 && frame.height() < 200);
    QTest::mouseClick(w.Display()->Pan(), Qt::LeftButton, {}, QPoint(150, 100));
    QVERIFY(w.Display()->CurrentView().StartX > 0);

    // A text file dropped on the display is tried as a photo, and refused: the
    // photo open stays open.
    const QString text = f.home.filePath(QStringLiteral("notes.txt"));
    QFile out(text);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("hello");
    out.close();
    emit w.Display()->fileDropped(text);
    QVERIFY(w.HasPhoto());
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), photo);
    QVERIFY(w.Display()->Pan()->isVisible());
    QVERIFY(QString::fromStdString(f.prompter->warnings.back()).contains(QStringLiteral("notes.txt")));
    f.Close();
}

void WindowFilesTest::imageProcessingPreviewAbortAndRestore()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("fx.png"), QColor(100, 100, 100), QSize(120, 80));
    const QImage original = w.WorkImage().Image();
    ImageEffects brighter;
    brighter.RGBLevel = 50;
    ImageEffects turned;
    turned.Rotate = 1;

    // Preview, preview again with other values, abort: as before the dialog.
    f.prompter->effectAnswers = {{4, brighter}, {4, turned}, {3, {}}};
    w.mnEffectClick();
    QVERIFY(f.prompter->effectAnswers.empty());
    QCOMPARE(w.WorkImage().Image(), original);
    QCOMPARE(w.Doc().Effects, ImageEffects{});
    QCOMPARE(w.Doc().Modified, std::uint8_t{0});

    // Two previews do not add up; OK keeps the last and marks the photo changed.
    f.prompter->effectAnswers = {{4, brighter}, {1, brighter}};
    w.mnEffectClick();
    QCOMPARE(QColor(w.WorkImage().Image().pixel(5, 5)).red(), 150);
    QCOMPARE(w.Doc().Modified, std::uint8_t{1});

    // Kept with the setting: a rotation comes back after switching away and back.
    f.prompter->effectAnswers = {{1, turned}};
    w.mnEffectClick();
    QCOMPARE(w.WorkImage().Width(), 80);
    w.mnChangeClick(2);
    QCOMPARE(w.WorkImage().Width(), 120);  // setting 2 has no processing
    w.mnChangeClick(1);
    QCOMPARE(w.WorkImage().Width(), 80);
    QCOMPARE(w.Doc().Effects.Rotate, 1);
    f.Close();
}

namespace {

// SANE reads only the project's own configuration: its test backend.  SANE
// reads the folder once per process, so one configuration serves all of them.
// A cancelled scan leaves SANE's reader writing into a closed pipe.  SANE
// ignores SIGPIPE itself, but only while nobody handles it, and the test
// library handles it as a crash: its stack dump then hangs the run in a lock
// the interrupted reader holds.  Ignored here, as in the program.
void UseSane(const char* which)
{
    qputenv("SANE_CONFIG_DIR", QByteArray(QT_TESTCASE_SOURCEDIR "/sane/") + which);
    testing_support::PinSaneTestBackend();
    ::signal(SIGPIPE, SIG_IGN);
}

} // namespace

void WindowFilesTest::scanningSavesAndOpensThePage()
{
    UseSane("ok");
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().ImageFolder = f.home.path().toStdString();
    for (const char* existing : {"Scan_1.jpg", "Scan_2.bmp"}) {
        QFile out(f.home.filePath(QString::fromLatin1(existing)));
        QVERIFY(out.open(QIODevice::WriteOnly));
    }
    f.prompter->scanDevice = "test:0";
    f.prompter->saveChoice = Prompter::SaveChoice{f.home.filePath(QStringLiteral("page.bmp")), 1};
    w.Action(QStringLiteral("mnScan"))->trigger();
    QVERIFY2(f.prompter->errors.empty(), f.prompter->errors.empty() ? "" : f.prompter->errors[0].c_str());
    QCOMPARE(f.prompter->scanDevicesOffered, (QStringList{QStringLiteral("test:0"), QStringLiteral("test:1")}));
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("Scan_3"));
    // The JPEG filter decides the format and the extension.
    const QString jpeg = f.home.filePath(QStringLiteral("page.jpg"));
    QVERIFY(QFile::exists(jpeg));
    QCOMPARE(QImageReader(jpeg).format(), QByteArray("jpeg"));
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), jpeg);
    QVERIFY(w.WorkImage().Width() > 100);

    f.prompter->saveChoice = Prompter::SaveChoice{f.home.filePath(QStringLiteral("second.jpg")), 2};
    w.Action(QStringLiteral("mnScan"))->trigger();
    const QString bmp = f.home.filePath(QStringLiteral("second.bmp"));
    QVERIFY(QFile::exists(bmp));
    QCOMPARE(QImageReader(bmp).format(), QByteArray("bmp"));
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), bmp);

    f.prompter->scanDevice.reset();  // the device dialog cancelled
    w.Action(QStringLiteral("mnScan"))->trigger();
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), bmp);
    f.Close();
}

void WindowFilesTest::scanFailureAndDiscardLeaveThePhoto()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("open.jpg"), Qt::gray);
    w.LoadFile(photo);

    UseSane("ok");
    f.prompter->scanDevice = "test:1";
    f.prompter->saveChoice.reset();  // the save dialog cancelled: discarded
    w.Action(QStringLiteral("mnScan"))->trigger();
    QCOMPARE(f.prompter->infos.back(), std::string("スキャンデータを破棄しました."));
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), photo);

    // A device that is not there (unplugged since the list was made).
    f.prompter->scanDevice = "test:9";
    w.Action(QStringLiteral("mnScan"))->trigger();
    QVERIFY(!f.prompter->errors.empty());
    QCOMPARE(f.prompter->errors.back(), std::string("画像の取込ができませんでした."));
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), photo);
    QVERIFY(w.HasPhoto());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    f.Close();
}

void WindowFilesTest::aScanCanBeCancelled_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("the box's button") << false;
    QTest::newRow("Escape") << true;
}

void WindowFilesTest::aScanCanBeCancelled()
{
    QFETCH(bool, escape);
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("kept.jpg"), Qt::gray);
    w.LoadFile(photo);
    UseSane("ok");
    f.prompter->scanDevice = "test:0";
    f.prompter->saveChoice = Prompter::SaveChoice{f.home.filePath(QStringLiteral("never.jpg")), 1};
    // The user waits for the box and stops the scan part way.
    int percentSeen = -1;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* box = w.findChild<QProgressDialog*>(QStringLiteral("ScanProgress"));
        if (!box || !box->isVisible() || box->value() <= 0)
            return;
        percentSeen = box->value();
        if (escape)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            QTest::mouseClick(box->findChild<QPushButton*>(), Qt::LeftButton);
        user.stop();
    });
    user.start(0);
    w.Action(QStringLiteral("mnScan"))->trigger();
    user.stop();
    QVERIFY(percentSeen > 0 && percentSeen < 100);
    QVERIFY(f.prompter->errors.empty());
    QVERIFY(f.prompter->infos.empty());
    QVERIFY(f.prompter->saveProposals.empty());  // nothing to save
    QVERIFY(!QFile::exists(f.home.filePath(QStringLiteral("never.jpg"))));
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), photo);
    QVERIFY(w.findChild<QProgressDialog*>(QStringLiteral("ScanProgress")) == nullptr);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    f.Close();
}

void FailedSave();

void WindowFilesTest::aFailedSaveLetsTheUserRetryGoOnOrStay()
{
    try {
        FailedSave();
    } catch (const std::exception& e) {
        QFAIL(e.what());
    }
}

void FailedSave()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("first.jpg"), Qt::gray);
    const QString first = QString::fromStdString(w.Doc().ImageFileName);
    const QString second = f.Photo(QStringLiteral("second.jpg"), Qt::darkCyan);
    w.SetCommand(uCommand::Base);
    for (const TDPoint p : {TDPoint{100, 100}, TDPoint{300, 100}, TDPoint{300, 250}, TDPoint{100, 250}})
        ClickAt(w, p);
    w.SetCommand(uCommand::Distance);
    ClickAt(w, TDPoint{120, 120});
    ClickAt(w, TDPoint{250, 130});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);

    // Setting 1's working file cannot be written: a folder stands at its name
    // (we may run as root, who writes into read-only folders).
    const std::filesystem::path blocked = WorkingFile(w.WorkingFolder(), 1);
    auto block = [&] {
        std::filesystem::remove_all(blocked);
        std::filesystem::create_directories(blocked / "in-the-way");
    };
    block();
    const auto recent = w.Settings().LastFileName;

    // Switching the setting: the user stays where they were.
    f.prompter->saveFailureAnswers = {SaveFailureChoice::Stay};
    w.mnChangeClick(2);
    QCOMPARE(f.prompter->saveFailures.size(), std::size_t{1});  // the save really failed
    QCOMPARE(w.Doc().CurrentSetting, 1);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);

    // Opening another photo: the same choice, and staying keeps everything.
    f.prompter->saveFailureAnswers = {SaveFailureChoice::Stay};
    w.LoadFile(second);
    QCOMPARE(f.prompter->saveFailures.size(), std::size_t{2});
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), first);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QVERIFY(w.Settings().LastFileName == recent);

    // Closing: staying keeps the window open.
    f.prompter->saveFailureAnswers = {SaveFailureChoice::Stay};
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QCOMPARE(f.prompter->saveFailures.size(), std::size_t{3});

    // The close question has a Cancel of its own.
    std::filesystem::remove_all(blocked);
    f.prompter->cancelAnswers = {std::nullopt};
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);

    // Retry once the way is clear: the switch goes ahead and setting 1 is kept.
    block();
    f.prompter->saveFailureAnswers = {SaveFailureChoice::Retry};
    f.prompter->onSaveFailure = [&] { std::filesystem::remove_all(blocked); };
    const std::size_t failuresBefore = f.prompter->saveFailures.size();
    w.mnChangeClick(2);
    QCOMPARE(f.prompter->saveFailures.size(), failuresBefore + 1);
    f.prompter->onSaveFailure = nullptr;
    QCOMPARE(w.Doc().CurrentSetting, 2);
    w.mnChangeClick(1);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);

    // Going on without saving comes after a clear warning; No there asks again.
    block();
    f.prompter->saveFailureAnswers = {SaveFailureChoice::GoOn, SaveFailureChoice::GoOn};
    f.prompter->questions.clear();
    f.prompter->answers = {false, true};
    w.LoadFile(second);
    QCOMPARE(f.prompter->questions.size(), std::size_t{2});
    QVERIFY(QString::fromStdString(f.prompter->questions[0]).contains(QStringLiteral("失われます")));
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), second);
    std::filesystem::remove_all(blocked);
    f.Close();
}

void WindowFilesTest::anOpenChainIsEndedBeforeTheWorkingFilesAreWritten()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("chain.jpg"), Qt::gray);
    const QString photo = QString::fromStdString(w.Doc().ImageFileName);
    Set(w, [](Document& d) { MarkReference(d); });
    auto* continuous = static_cast<QCheckBox*>(w.Control(QStringLiteral("CheckBox_DistanceMode")));
    if (!continuous->isChecked())
        QTest::mouseClick(continuous, Qt::LeftButton);
    w.SetCommand(uCommand::Distance);
    ClickAt(w, TDPoint{120, 120});
    ClickAt(w, TDPoint{200, 130});
    ClickAt(w, TDPoint{260, 180});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 2);
    QCOMPARE(w.Doc().Plane.Distances[2].next, 3);  // open, waiting for the next segment

    // Another photo and back, with the chain still open when it was left.
    f.prompter->answers = {true};
    w.LoadFile(f.Photo(QStringLiteral("other.jpg"), Qt::darkRed));
    w.LoadFile(photo);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 2);
    QCOMPARE(w.Doc().Plane.Distances[2].next, 0);
    QCOMPARE(w.Doc().Plane.Distances[1].next, 2);

    // A single distance after it stands alone.
    QTest::mouseClick(continuous, Qt::LeftButton);
    w.SetCommand(uCommand::Distance);
    ClickAt(w, TDPoint{100, 220});
    ClickAt(w, TDPoint{150, 220});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 3);
    QCOMPARE(w.Doc().Plane.Distances[3].prev, 0);
    QCOMPARE(ChainFirst(w.Doc().Plane, 3), 3);
    f.Close();
}

void WindowFilesTest::theChosenPlaneStaysCurrentWhateverTheSaveDoes()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("two.jpg"), Qt::lightGray, QSize(600, 600));
    const QString photo = QString::fromStdString(w.Doc().ImageFileName);
    const QString other = f.Photo(QStringLiteral("other.jpg"), Qt::darkCyan);
    w.mnChangeClick(4);
    Set(w, [&](Document& d) { d.SixPoint = SixPointFromClick({300, 100}, {0, 0}, {600, 600}); });
    Set(w, [&](Document& d) { BuildTwoPlanes(d); });
    w.SetCommand(uCommand::None);
    auto* wField = qobject_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_KijunW")));
    QVERIFY(wField);
    wField->setFocus();
    wField->selectAll();
    QTest::keyClicks(wField, QStringLiteral("1500.0"));
    QTest::keyClick(wField, Qt::Key_Tab);
    QCOMPARE(w.Doc().KijunWText, std::string("1500.0"));

    // Each way out that ends with the user still on this photo.
    struct Way {
        const char* what;
        std::function<void()> go;
    };
    const std::filesystem::path rightFile = WorkingFile(w.WorkingFolder(), 5);
    const std::vector<Way> ways = {
        {"Cancel at the keep question, opening another photo",
         [&] {
             f.prompter->cancelAnswers = {std::nullopt};
             w.LoadFile(other);
         }},
        {"Cancel at the keep question, closing",
         [&] {
             f.prompter->cancelAnswers = {std::nullopt};
             QVERIFY(!w.close());
         }},
        {"staying after a failed save, opening another photo",
         [&] {
             std::filesystem::remove_all(rightFile);
             std::filesystem::create_directories(rightFile / "in-the-way");
             f.prompter->saveFailureAnswers = {SaveFailureChoice::Stay};
             w.LoadFile(other);
             std::filesystem::remove_all(rightFile);
         }},
        {"staying after a failed save, closing",
         [&] {
             std::filesystem::remove_all(rightFile);
             std::filesystem::create_directories(rightFile / "in-the-way");
             f.prompter->saveFailureAnswers = {SaveFailureChoice::Stay};
             QVERIFY(!w.close());
             std::filesystem::remove_all(rightFile);
         }},
    };
    for (const int chosen : {1, 2}) {
        if (w.Doc().CurrentBase != chosen)
            w.mnBaseChangeClick();
        QCOMPARE(w.Doc().CurrentBase, chosen);
        const std::string wText = w.Doc().KijunWText;
        for (const Way& way : ways) {
            way.go();
            QVERIFY2(w.isVisible(), way.what);
            QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), photo);
            QVERIFY2(w.Doc().CurrentBase == chosen, way.what);
            QVERIFY2(w.Control(QString::fromLatin1(chosen == 1 ? "Shape1_BaseChange" : "Shape2_BaseChange"))->property("lit").toBool(), way.what);
            QVERIFY2(w.Doc().KijunWText == wText, way.what);
            QCOMPARE(wField->text(), QString::fromStdString(wText));
        }
    }

    // The next mark lands on the plane the user chose: the left one.
    w.mnBaseChangeClick();
    QCOMPARE(w.Doc().CurrentBase, 1);
    f.prompter->cancelAnswers = {std::nullopt};
    w.LoadFile(other);
    w.SetCommand(uCommand::Distance);
    ClickAt(w, TDPoint{100, 300});
    ClickAt(w, TDPoint{200, 320});
    QCOMPARE(w.Doc().CurrentBase, 1);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().ParkedPlane.DistanceCount(), 0);
    f.prompter->cancelAnswers = {false};
    f.Close();
}

void WindowFilesTest::theKeepQuestionsButtonsSayWhatTheyDo_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<int>("kept");  // distances back on the photo, -1: the window stays
    QTest::newRow("保存する") << false << QStringLiteral("保存する") << 1;
    QTest::newRow("保存しない") << false << QStringLiteral("保存しない") << 0;
    QTest::newRow("キャンセル") << false << QStringLiteral("キャンセル") << -1;
    QTest::newRow("Save") << true << QStringLiteral("Save") << 1;
    QTest::newRow("Don't Save") << true << QStringLiteral("Don't Save") << 0;
    QTest::newRow("Cancel") << true << QStringLiteral("Cancel") << -1;
}

// Closing with unsaved measurements asks with buttons named by what they do,
// in the interface's language, and each does what it says.
void WindowFilesTest::theKeepQuestionsButtonsSayWhatTheyDo()
{
    QFETCH(bool, english);
    QFETCH(QString, pressed);
    QFETCH(int, kept);
    InstallLanguage(*QCoreApplication::instance(), english ? UiLanguage::English : UiLanguage::Japanese);
    const QStringList expected = english ? QStringList{QStringLiteral("Save"), QStringLiteral("Don't Save"), QStringLiteral("Cancel")}
                                         : QStringList{QStringLiteral("保存する"), QStringLiteral("保存しない"), QStringLiteral("キャンセル")};
    Fixture f;
    QString photo;
    QStringList buttons;
    bool closed = false;
    {
        TF001& w = f.OpenWith(QStringLiteral("keep.jpg"), Qt::gray);
        photo = QString::fromStdString(w.Doc().ImageFileName);
        w.SetCommand(uCommand::Base);
        for (const TDPoint p : {TDPoint{100, 100}, TDPoint{300, 100}, TDPoint{300, 250}, TDPoint{100, 250}})
            ClickAt(w, p);
        w.SetCommand(uCommand::Distance);
        ClickAt(w, TDPoint{120, 120});
        ClickAt(w, TDPoint{250, 130});
        QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
        w.SetPrompter(std::make_unique<QtPrompter>(&w));
        const ModalScript script({[&](QWidget* top) {
            auto* box = qobject_cast<QMessageBox*>(top);
            if (!box)
                return false;
            QAbstractButton* target = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                buttons << b->text();
                if (b->text() == pressed)
                    target = b;
            }
            if (!target)
                return false;
            QMetaObject::invokeMethod(target, "click", Qt::QueuedConnection);
            return true;
        }});
        closed = w.close();
        QVERIFY(script.Done());
        QCOMPARE(closed, kept >= 0);
        if (!closed) {
            QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
            w.SetPrompter(std::make_unique<ScriptedPrompter>());
            QVERIFY(w.close());
        }
        f.window.reset();
    }
    for (const QString& name : expected)
        QVERIFY2(buttons.contains(name), qPrintable(buttons.join(QLatin1Char('|'))));
    QVERIFY2(!buttons.contains(english ? QStringLiteral("&No") : QStringLiteral("いいえ")), qPrintable(buttons.join(QLatin1Char('|'))));
    InstallLanguage(*QCoreApplication::instance(), UiLanguage::Japanese);
    for (auto* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    if (kept < 0)
        return;
    // Opened again in a new window: what the answer kept.
    TF001& again = f.Open();
    again.LoadFile(photo);
    QCOMPARE(again.Doc().Plane.DistanceCount(), kept);
    f.Close();
}

QTEST_MAIN(WindowFilesTest)
#include "test_window_files.moc"
