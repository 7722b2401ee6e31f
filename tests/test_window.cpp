// The main window driven as a user would, with scripted answers to its questions.

#include "shell/main_window.h"

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
#include "shell/prompter.h"
#include "base/translate.h"
#include "base/error_trail.h"
#include "measure/cp932.h"
#include "measure/workfiles.h"
#include "measure/calibration.h"
#include "output/export/exports.h"
#include "measure/uncertainty.h"
#include "measure/checks.h"
#include "editor_access.h"
#include "sane_pin.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QDir>
#include <QDockWidget>
#include <QDialogButtonBox>
#include <QTranslator>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QAbstractTextDocumentLayout>
#include <QPushButton>
#include <QProgressDialog>
#include <QPainter>
#include <QPolygonF>
#include <QImageReader>
#include <QProcess>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QCheckBox>
#include <QClipboard>
#include <QTableWidget>
#include <QMenuBar>
#include <QMenu>
#include <QGroupBox>
#include <QTest>
#include <QTimer>
#include <QScrollBar>
#include <QWheelEvent>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <thread>
#include <tuple>

using namespace kvx;

namespace {

class ScriptedPrompter : public Prompter {
public:
    std::deque<bool> answers;  // for AskYesNo; Yes when none is left
    std::vector<std::string> warnings, questions, infos, errors;
    std::optional<QString> openPath;
    // Warnings shown as real modal boxes, for flows that depend on the focus
    // and activation a box takes and gives back.
    bool realWarnings = false;

    void Warn(const std::string& m) override
    {
        warnings.push_back(m);
        if (realWarnings)
            QMessageBox::warning(QApplication::activeWindow(), QString(), QString::fromStdString(m));
    }
    bool AskYesNo(const std::string& m) override
    {
        questions.push_back(m);
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    // Yes, No or Cancel: from cancelAnswers while there are any, else as AskYesNo.
    std::deque<std::optional<bool>> cancelAnswers;
    std::optional<bool> AskSaveChanges(const std::string& m) override
    {
        if (cancelAnswers.empty())
            return AskYesNo(m);
        questions.push_back(m);
        const auto a = cancelAnswers.front();
        cancelAnswers.pop_front();
        return a;
    }
    // After a failed save: stay where the user was when nothing is scripted.
    std::deque<SaveFailureChoice> saveFailureAnswers;
    std::vector<std::string> saveFailures;
    std::function<void()> onSaveFailure;  // what changes while the user reads the message
    SaveFailureChoice SaveFailed(const std::string& m) override
    {
        saveFailures.push_back(m);
        if (onSaveFailure)
            onSaveFailure();
        if (saveFailureAnswers.empty())
            return SaveFailureChoice::Stay;
        const SaveFailureChoice a = saveFailureAnswers.front();
        saveFailureAnswers.pop_front();
        return a;
    }
    void Info(const std::string& m) override { infos.push_back(m); }
    void Error(const std::string& m) override { errors.push_back(m); }
    std::optional<QString> OpenPhoto(const QString&) override { return openPath; }

    std::deque<std::string> names;
    std::string inputBoxAnswer;
    std::optional<std::pair<std::string, std::string>> slopeAnswer;
    std::optional<SaveChoice> saveChoice;
    std::vector<QString> saveProposals;
    std::string AskAreaName() override
    {
        if (names.empty())
            return {};
        std::string n = names.front();
        names.pop_front();
        return n;
    }
    // Answers taken in turn, then inputBoxAnswer; each prompt is kept.
    std::deque<std::string> inputBoxAnswers;
    std::vector<std::string> inputBoxPrompts;
    std::string InputBox(const std::string&, const std::string& prompt, const std::string&) override
    {
        inputBoxPrompts.push_back(prompt);
        if (inputBoxAnswers.empty())
            return inputBoxAnswer;
        std::string a = inputBoxAnswers.front();
        inputBoxAnswers.pop_front();
        return a;
    }
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double, double, QPoint) override { return slopeAnswer; }
    std::optional<SaveChoice> SaveImage(const QString&, const QString&, const QString& proposed, int) override
    {
        saveProposals.push_back(proposed);
        return saveChoice;
    }
    std::optional<QString> textTarget;
    std::optional<QString> pd25File;
    std::optional<int> pd25Pick;
    std::vector<QStringList> pd25Offers;
    std::vector<QString> saveFolders;
    std::optional<QString> SaveText(const QString&, const QString& folder, const QString& proposed, const QString&) override
    {
        saveFolders.push_back(folder);
        saveProposals.push_back(proposed);
        return textTarget;
    }
    std::optional<QString> OpenPd25(const QString&) override { return pd25File; }
    std::optional<int> PickPd25(const QStringList& lines, QPoint) override
    {
        pd25Offers.push_back(lines);
        return pd25Pick;
    }
    std::vector<QString> opened;
    bool viewerAvailable = false;
    bool OpenDocument(const QString& path) override
    {
        opened.push_back(path);
        return viewerAvailable;
    }
    std::deque<std::pair<int, ImageEffects>> effectAnswers;
    int EffectDialog(ImageEffects& settings) override
    {
        if (effectAnswers.empty())
            return 3;
        const auto [result, values] = effectAnswers.front();
        effectAnswers.pop_front();
        if (result == 1 || result == 4)
            settings = values;
        return result;
    }
    std::optional<std::string> scanDevice;
    QStringList scanDevicesOffered;
    std::optional<std::string> ChooseScanDevice(const QStringList& devices, const QString&) override
    {
        scanDevicesOffered = devices;
        return scanDevice;
    }
    std::optional<TAppSettings> propertyAnswer;
    std::optional<TAppSettings> PropertyDialog(const TAppSettings&) override { return propertyAnswer; }
    std::optional<QString> printTo;
    bool ChoosePrinter(QPrinter& printer) override
    {
        if (!printTo)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(*printTo);
        return true;
    }
};

// A window with a home and a resource folder of its own.
struct Fixture {
    QTemporaryDir home;
    QTemporaryDir resources;
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<TF001> window;

    AppPaths Paths() const
    {
        AppPaths p;
        p.folders = ResolveFolders(home.path().toStdString(), nullptr, "/nonexistent");
        p.resourceFolder = resources.path();
        return p;
    }

    TF001& Open()
    {
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompter = scripted.get();
        window = std::make_unique<TF001>(Paths(), std::move(scripted));
        window->resize(900, 700);
        window->show();
        QCoreApplication::processEvents();
        return *window;
    }

    // The window with a generated photo open.
    TF001& OpenWith(const QString& name, QColor colour, QSize size = QSize(400, 300))
    {
        TF001& w = Open();
        w.LoadFile(Photo(name, colour, size));
        return w;
    }

    void Close()
    {
        window->close();
        window.reset();
    }

    QString Photo(const QString& name, QColor colour, QSize size = QSize(400, 300)) const
    {
        QImage image(size, QImage::Format_RGB888);
        image.fill(colour);
        const QString path = home.filePath(name);
        kvx::Photo(image).SaveJpeg(path);
        return path;
    }

    std::filesystem::path Temp() const { return Paths().folders.TempFolder; }
};

QPoint Screen(TF001& w, TDPoint p)
{
    const TPoint s = WtoS(w.Display()->State(), p);
    return {s.x, s.y};
}

void ClickAt(TF001& w, TDPoint p)
{
    QTest::mouseClick(w.Display()->viewport(), Qt::LeftButton, {}, Screen(w, p));
}

// Sets the scene up as a test needs it, through the window's editor.
void Set(TF001& w, const std::function<void(Document&)>& change)
{
    EditorTestAccess::Stage(w.Edit(), kChangeAll, change);
}

// Acts on the modal windows as they open, one step each, in order.  A step
// answers false when the window on top is not the one it expects (a window
// still closing), and is tried again; a script stuck for seconds rejects the
// window on top so the test fails instead of hanging.
class ModalScript : public QObject {
public:
    using Step = std::function<bool(QWidget*)>;
    explicit ModalScript(std::vector<Step> steps) : steps_(steps.begin(), steps.end())
    {
        connect(&timer_, &QTimer::timeout, this, [this] { Next(); });
        timer_.start(20);
    }
    bool Done() const { return steps_.empty() && !stuck_; }

private:
    void Next()
    {
        QWidget* top = QApplication::activeModalWidget();
        if (top && top->isVisible() && !steps_.empty() && steps_.front()(top)) {
            steps_.pop_front();
            idle_ = 0;
            return;
        }
        if (top && ++idle_ > 250) {
            stuck_ = true;
            if (auto* dialog = qobject_cast<QDialog*>(top))
                QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
        }
    }
    std::deque<Step> steps_;
    QTimer timer_;
    int idle_ = 0;
    bool stuck_ = false;
};

// Types name into the save dialog (choosing filter first, when given) and
// saves.  The dialog fills in its own name once it has read the folder, so the
// name is typed again until it has stood for a few rounds.
ModalScript::Step SaveAs(const QString& name, const QString& filter = {})
{
    auto stood = std::make_shared<int>(0);
    return [=](QWidget* top) {
        auto* dialog = qobject_cast<QFileDialog*>(top);
        auto* edit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!edit)
            return false;
        if (!filter.isEmpty() && dialog->selectedNameFilter() != filter)
            dialog->selectNameFilter(filter);
        if (edit->text() != name) {
            // Typed as a user types, into the focused field: a field without
            // focus is overwritten by the dialog's own completion.
            QApplication::setActiveWindow(dialog);
            edit->setFocus();
            edit->clear();
            QTest::keyClicks(edit, name);
            *stood = 0;
            return false;
        }
        if (++*stood < 5)
            return false;
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        return true;
    };
}

// Presses button in the message box on top, keeping its text in seen.
ModalScript::Step Answer(QMessageBox::StandardButton button, QStringList& seen)
{
    return [button, &seen](QWidget* top) {
        auto* box = qobject_cast<QMessageBox*>(top);
        if (!box || !box->button(button))
            return false;
        seen << box->text();
        QMetaObject::invokeMethod(box->button(button), "click", Qt::QueuedConnection);
        return true;
    };
}

void MarkReference(Document& doc)
{
    SetReferenceRect(doc, {TDPoint{100, 100}, {300, 110}, {290, 250}, {110, 240}}, true);
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithDefaultsAndShutdownWritesEveryKey();
    void aChoiceIsWrittenAtOnceAndTwoWindowsKeepEachOthers();
    void aDamagedJpegIsToldInTheInterfacesLanguage();
    void aPathInAMessageIsNeverWrapped();
    void openingAPhotoAndComingBackRestoresItsMeasurements();
    void aPhotoThatCannotBeDecodedKeepsTheOpenOne();
    void aPipeAsThePhotoIsRefusedWithoutFreezing();
    void twoPhotosWithTheSameKeyKeepTheirOwnMeasurements();
    void recentPhotosAndTheFileMenu();
    void enablingFollowsTheModel();
    void wheelZoomMultipliesAndRendersOnceLater();
    void zoomCommands();
    void wheelAfterFitKeepsThePointAndFitStaysFit();
    void wheelOverTheSettingSelectorNeedsItsFocus();
    void twoPlaneSettingShowsItsIndicator();
    void groupSwitchAndFields();
    void shutdownPrunesAndLeavesTheErrorLog();
    void helpMenuAndAuxiliaryWindows();
    void qtDialogsSpeakTheUsersLanguage_data();
    void qtDialogsSpeakTheUsersLanguage();
    void everyTextSpeaksTheInterfacesLanguage();
    void aMissingHistoryWarnsOncePerOpening();
    void preferencesTakeEffectAfterOk();
    void modeBoxesMirrorTheirMenuChecks();
    void errorsInHandlersAreShownAndTheWindowGoesOn();
    void aDrawingErrorIsToldOnceAfterThePaint();
    void aCutWorkingFileNeverLocksTheWindow();
    void aCrossedReferenceClickedInTheWindowIsRefused();
    void undoAndRedoThroughKeysMenuAndButtons();
    void keysTakePointsWithoutTheMouse();
    void theTableOfResultsFollowsAndActs();
    void theLoupeShowsThePhotoUnderThePointer();
    void referenceCornersSnapToThePhotosCorners();
    void confirmationsDecide();
    void droppedFilesOpenAndThePanWindowFollows();
    void measuringAWallEndToEnd();
    void rubberBandMovesWithoutRedrawingTheOverlay();
    void rubberBandShowsOnAnyBackground_data();
    void rubberBandShowsOnAnyBackground();
    void imageRangeOutputOpensTheCutOut();
    void exportsThroughTheMenus();
    void dxfDrawingReadBackByAnIndependentReader();
    void resultsFileFromTheMenuAndFromBatchMode();
    void pointingAtAMarkShowsItsUncertainty();
    void checkDistancesAreDrawnTypedAndKeptWithThePhoto();
    void aWeakReferenceIsToldOnceWandHAreTyped();
    void theReportsDetailedPagesListEveryResult();
    void theStraightOnImageFromTheMenuAndBatchMode();
    void pd25LengthsForWAndH();
    void batchModeWritesWhatTheMenuWrites();
    void filesAreTheSameInEveryLanguage();
    void pdfReportThroughTheMenu();
    void pdfReportOfBothPlanes();
    void printingPutsTheMarksOnThePhoto();
    void thePrintedPageIsTheReportPage();
    void imageProcessingPreviewAbortAndRestore();
    void scanningSavesAndOpensThePage();
    void scanFailureAndDiscardLeaveThePhoto();
    void aScanCanBeCancelled_data();
    void aScanCanBeCancelled();
    void lineBreaksInNamesNeverReachTheSettingsFile();
    void batchMessagesNameTheUsersFiles();
    void aWheelNotchKeepsTheToolsPoints();
    void aFailedSaveLetsTheUserRetryGoOnOrStay();
    void anOpenChainIsEndedBeforeTheWorkingFilesAreWritten();
    void batchReportShowsThePhotoAsTheWindowDoes();
    void saveDialogsAddTheirOwnSuffix_data();
    void saveDialogsAddTheirOwnSuffix();
    void imageSaveAsksAboutTheNameItWrites();
    void anEmptyWindowTellsHowToBegin();
    void saveDialogsStartWhereTheFilesBelong();
    void theTableKeepsTheValueInSightAndCutsLongNames();
    void theChosenPlaneStaysCurrentWhateverTheSaveDoes();
    void theSummarySpeaksOfAreasInTheAreaModesOnly_data();
    void theSummarySpeaksOfAreasInTheAreaModesOnly();
    void exportsWaitForAPhoto();
    void aWeakReferenceIsToldWhenItClosesOrIsAdjusted();
    void aClosedReferenceAsksForItsSizes_data();
    void aClosedReferenceAsksForItsSizes();
    void theKeepQuestionsButtonsSayWhatTheyDo_data();
    void theKeepQuestionsButtonsSayWhatTheyDo();
    void aRedoLeavesOneRowSelected_data();
    void aRedoLeavesOneRowSelected();
    void theLoupeGoesWhenThePointerOrTheFocusLeaves();
};

void WindowTest::startsWithDefaultsAndShutdownWritesEveryKey()
{
    Fixture f;
    TF001& w = f.Open();
    QCOMPARE(w.Settings().DrawTextSize, 12);
    QVERIFY(w.windowTitle().endsWith(QStringLiteral("]  []")));
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("Kalvex [Version ")));
#ifdef NDEBUG
    // Only a build configured as a pre-release marks its version so.
    QCOMPARE(w.windowTitle().contains(QStringLiteral("β")), KALVEX_PRERELEASE != 0);
#endif
    QVERIFY(!w.HasPhoto());
    QVERIFY(!w.ItemEnabled(QStringLiteral("mnBase")));
    QVERIFY(w.ItemEnabled(QStringLiteral("mnOpen")));
    w.MutableSettings().DrawTextSize = 16;
    w.MutableSettings().PanWindowFlag = true;
    f.Close();

    QFile ini(f.home.filePath(QStringLiteral("kvx.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    for (const char* key : {"[Folder]", "[PanWindow]", "[DrawText]", "[ShortCutButton]", "[PD25]", "[AdjustDraw]",
                            "[SpaceNameInput]", "[Color]", "[DeleteTemp]", "[LastFileName]", "Size=16", "SpaceSub2="})
        QVERIFY2(text.contains(key), key);
    QVERIFY(!QFile::exists(f.home.filePath(QStringLiteral("Temp/error.txt"))) || !ErrorTrail::global().empty());

    TF001& again = f.Open();
    QCOMPARE(again.Settings().DrawTextSize, 16);
    QVERIFY(again.Settings().PanWindowFlag);
    f.Close();
}

void WindowTest::aChoiceIsWrittenAtOnceAndTwoWindowsKeepEachOthers()
{
    Fixture f;
    TF001& a = f.Open();
    const std::string ini = f.home.filePath(QStringLiteral("kvx.ini")).toStdString();
    const TAppSettings start = a.Settings();
    auto stored = [&] { return ReadSettings(ini, DefaultSettings("", "")); };

    // Toggled in the menu: in the file at once, the window still open.
    a.Action(QStringLiteral("mnLoupe"))->trigger();
    QCOMPARE(stored().LoupeFlag, !start.LoupeFlag);
    QCOMPARE(stored().SnapFlag, start.SnapFlag);

    // A second window on the same home starts from the file.
    TF001 b(f.Paths(), std::make_unique<ScriptedPrompter>());
    b.show();
    QCoreApplication::processEvents();
    QCOMPARE(b.Settings().LoupeFlag, !start.LoupeFlag);

    static_cast<QCheckBox*>(b.Control(QStringLiteral("CheckBox_Snap")))->click();
    QCOMPARE(stored().SnapFlag, !start.SnapFlag);
    QCOMPARE(stored().LoupeFlag, !start.LoupeFlag);
    // The first window changes its mind after the second has read the file,
    // and shows the table of results.
    a.Action(QStringLiteral("mnLoupe"))->trigger();
    a.Action(QStringLiteral("mnResultsView"))->trigger();
    QCOMPARE(stored().LoupeFlag, start.LoupeFlag);
    QCOMPARE(stored().ResultsPanelFlag, !start.ResultsPanelFlag);
    QCOMPARE(stored().SnapFlag, !start.SnapFlag);

    // The first quits first, the second last: neither undoes the other's choices.
    f.Close();
    b.close();
    const TAppSettings kept = stored();
    QCOMPARE(kept.LoupeFlag, start.LoupeFlag);
    QCOMPARE(kept.ResultsPanelFlag, !start.ResultsPanelFlag);
    QCOMPARE(kept.SnapFlag, !start.SnapFlag);
}

void WindowTest::aDamagedJpegIsToldInTheInterfacesLanguage()
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

void WindowTest::aPathInAMessageIsNeverWrapped()
{
    const std::string path = "/home/estimator/現場 写真/2024-05 北側/IMG_0001 & <copy>.jpg";
    const std::string message =
        QString::fromStdString(Tx("WindowSession", "前回は次の写真の測定を保存しないまま終了しました.\r%1\r保存されていなかった測定を戻しますか？"))
            .arg(QString::fromStdString(PathLine(path)))
            .toStdString();
    const QString text = BoxText(message);
    QVERIFY(Qt::mightBeRichText(text));
    // Set far narrower than the path, as a message box would: the path stays
    // one line, in a block of its own, with its text exactly as given.
    QTextDocument document;
    document.setHtml(text);
    document.setTextWidth(60);
    document.documentLayout();
    bool found = false;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        if (b.text() != QString::fromStdString(path))
            continue;
        found = true;
        QCOMPARE(b.layout()->lineCount(), 1);
    }
    QVERIFY2(found, qPrintable(text));
    QVERIFY(document.toPlainText().startsWith(QStringLiteral("前回は")));
    QVERIFY(document.toPlainText().endsWith(QStringLiteral("戻しますか？")));
    // A message without a path stays plain text.
    QCOMPARE(BoxText("a\rb <c>"), QStringLiteral("a\nb <c>"));
}

void WindowTest::openingAPhotoAndComingBackRestoresItsMeasurements()
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
void WindowTest::aPipeAsThePhotoIsRefusedWithoutFreezing()
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

void WindowTest::twoPhotosWithTheSameKeyKeepTheirOwnMeasurements()
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

void WindowTest::aPhotoThatCannotBeDecodedKeepsTheOpenOne()
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

void WindowTest::recentPhotosAndTheFileMenu()
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

void WindowTest::enablingFollowsTheModel()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("p.jpg"), Qt::white);
    QVERIFY(w.ItemEnabled(QStringLiteral("SpeedButton_Base")));
    QVERIFY(!w.ItemEnabled(QStringLiteral("SpeedButton_Distance")));
    QCOMPARE(static_cast<QLabel*>(w.Control(QStringLiteral("Label_Tanka")))->text(), QString());

    Set(w, [&](Document& d) { MarkReference(d); });
    w.SetCommand(uCommand::Distance);
    QVERIFY(w.ItemEnabled(QStringLiteral("SpeedButton_Distance")));
    QCOMPARE(static_cast<QLabel*>(w.Control(QStringLiteral("Label_Tanka")))->text(), QStringLiteral("/m"));
    auto* distance = static_cast<QAbstractButton*>(w.Control(QStringLiteral("SpeedButton_Distance")));
    QVERIFY(distance->isChecked());

    w.SetCommand(uCommand::SpaceAdd);
    QVERIFY(!distance->isChecked());
    QVERIFY(static_cast<QAbstractButton*>(w.Control(QStringLiteral("SpeedButton_SpaceAdd")))->isChecked());
    QCOMPARE(static_cast<QLabel*>(w.Control(QStringLiteral("Label_Tanka")))->text(), QStringLiteral("/㎡"));
    QVERIFY(static_cast<QLineEdit*>(w.Control(QStringLiteral("Edit_Info")))->text().startsWith(QStringLiteral("合計面積=")));

    // A tool button acts through its menu command.
    QTest::mouseClick(static_cast<QWidget*>(w.Control(QStringLiteral("SpeedButton_Distance"))), Qt::LeftButton);
    QCOMPARE(w.Command(), uCommand::Distance);
    QTest::mouseClick(static_cast<QWidget*>(w.Control(QStringLiteral("SpeedButton_ZoomUp"))), Qt::LeftButton);
    QCOMPARE(w.Command(), uCommand::ZoomUp);
    QVERIFY(static_cast<QAbstractButton*>(w.Control(QStringLiteral("SpeedButton_ZoomUp")))->isChecked());
    f.Close();
}

void WindowTest::wheelZoomMultipliesAndRendersOnceLater()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("big.jpg"), Qt::darkYellow, QSize(4000, 3000));
    // Well inside a photo larger than the display, so that no edge stops the zoom.
    w.Display()->SetView(View{1000, 800, 0.5});
    const double fit = w.Display()->CurrentView().DispScale;
    const QPoint pointer(200, 150);
    const TDPoint under = StoW(w.Display()->State(), TPoint{pointer.x(), pointer.y()});
    for (int i = 0; i < 3; ++i)
        w.WheelZoom(pointer, true);
    QVERIFY(std::fabs(w.Display()->CurrentView().DispScale - fit * 1.728) < 1e-9);
    const TPoint now = WtoS(w.Display()->State(), under);
    QVERIFY(std::abs(now.x - pointer.x()) <= 3 && std::abs(now.y - pointer.y()) <= 3);
    QTRY_VERIFY_WITH_TIMEOUT(w.StatusText(1) == QStringLiteral("拡大率 = %1").arg(fit * 1.728, 0, 'f', 2), 2000);
    w.WheelZoom(pointer, false);
    QVERIFY(std::fabs(w.Display()->CurrentView().DispScale - fit * 1.728 * 0.8333333333333334) < 1e-9);
    f.Close();
}

void WindowTest::zoomCommands()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("z.jpg"), Qt::cyan, QSize(1600, 1200));
    const View fitted = w.Display()->CurrentView();
    w.mnZoom1Click();
    QCOMPARE(w.Display()->CurrentView().DispScale, 1.0);
    w.ZoomPre();
    QCOMPARE(w.Display()->CurrentView().DispScale, fitted.DispScale);
    w.ZoomWindow({100, 100}, {300, 250});
    QCOMPARE(w.Display()->CurrentView().StartX, 100);
    w.fncZoomUp({400, 300}, ZoomRedraw::ImageAndOverlay, 2.0);
    w.fncZoomUp({400, 300}, ZoomRedraw::ImageAndOverlay, 100.0);
    QCOMPARE(w.Display()->CurrentView().DispScale, 30.0);
    w.fncZoomDown({400, 300}, ZoomRedraw::ImageAndOverlay, 0.0001);
    QVERIFY(w.Display()->CurrentView().DispScale >= 0.02 - 1e-12);
    w.ZoomAll();
    QCOMPARE(w.Display()->CurrentView().DispScale, fitted.DispScale);
    f.Close();
}

namespace {

// One notch of the mouse wheel over a widget, as the pointer sends it: turned
// toward the user (zooming in, the next item of a list) or away.
void WheelNotch(QWidget* target, QPoint at, bool toward)
{
    QWheelEvent notch(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), QPoint(0, toward ? -120 : 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &notch);
}

} // namespace

void WindowTest::wheelAfterFitKeepsThePointAndFitStaysFit()
{
    Fixture f;
    // Wider than the display's shape: "全体表示" leaves bands above and below.
    TF001& w = f.OpenWith(QStringLiteral("wide.jpg"), Qt::darkGreen, QSize(400, 120));
    QWidget* viewport = w.Display()->viewport();
    w.ZoomAll();
    QCoreApplication::processEvents();
    const double fit = w.Display()->CurrentView().DispScale;
    QVERIFY(w.Display()->State().DispOffsetY > 50);
    const QPoint pointer(viewport->width() / 3, viewport->height() / 2 + 20);
    for (int notch = 1; notch <= 8; ++notch) {
        const TDPoint under = StoW(w.Display()->State(), TPoint{pointer.x(), pointer.y()});
        WheelNotch(viewport, pointer, true);
        QCoreApplication::processEvents();
        const TPoint now = WtoS(w.Display()->State(), under);
        const double scale = w.Display()->CurrentView().DispScale;
        const double slack = scale / 2 + 1;
        // Until the photo is as high as the display it stays centred in height.
        const bool high = 120 * scale >= viewport->height();
        QVERIFY2(std::abs(now.x - pointer.x()) <= slack && (!high || std::abs(now.y - pointer.y()) <= slack),
                 qPrintable(QStringLiteral("notch %1: (%2, %3) instead of (%4, %5)")
                                .arg(notch).arg(now.x).arg(now.y).arg(pointer.x()).arg(pointer.y())));
    }
    QVERIFY(w.Display()->horizontalScrollBar()->isVisible());
    for (int notch = 1; notch <= 8; ++notch)
        WheelNotch(viewport, pointer, false);
    QVERIFY(std::fabs(w.Display()->CurrentView().DispScale - fit) < 1e-9);
    // From close up, the whole photo again, at the same scale and with no scroll bars.
    for (int notch = 1; notch <= 8; ++notch)
        WheelNotch(viewport, pointer, true);
    QCoreApplication::processEvents();
    w.ZoomAll();
    QCoreApplication::processEvents();
    QCOMPARE(w.Display()->CurrentView().DispScale, fit);
    QVERIFY(!w.Display()->horizontalScrollBar()->isVisible());
    QVERIFY(!w.Display()->verticalScrollBar()->isVisible());
    f.Close();
}

void WindowTest::wheelOverTheSettingSelectorNeedsItsFocus()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("sel.jpg"), Qt::gray);
    Set(w, [&](Document& d) { MarkReference(d); });
    auto* selector = static_cast<QComboBox*>(w.Control(QStringLiteral("ComboBox_Change")));
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Display()->viewport()->setFocus();
    WheelNotch(selector, selector->rect().center(), true);
    QCOMPARE(w.Doc().CurrentSetting, 1);
    QCOMPARE(selector->currentIndex(), 0);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});  // the measurements are still the ones shown
    // The splash of the first activation goes; the user clicks into the window.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == QStringLiteral("TFTitle"))
            top->close();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    selector->setFocus();
    QVERIFY(selector->hasFocus());
    WheelNotch(selector, selector->rect().center(), true);
    QCOMPARE(selector->currentIndex(), 1);
    QCOMPARE(w.Doc().CurrentSetting, 2);
    f.Close();
}

void WindowTest::twoPlaneSettingShowsItsIndicator()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("corner.jpg"), Qt::lightGray);
    w.mnChangeClick(4);
    QCOMPARE(w.Doc().CurrentSetting, 4);
    QCOMPARE(w.Doc().CurrentBase, 1);
    QVERIFY(w.Control(QStringLiteral("Shape1_BaseChange"))->property("lit").toBool());
    QVERIFY(!w.Control(QStringLiteral("Shape2_BaseChange"))->property("lit").toBool());
    QVERIFY(w.ItemEnabled(QStringLiteral("SpeedButton_Base1")));
    QVERIFY(!w.ItemEnabled(QStringLiteral("mnBaseChange")));

    Set(w, [&](Document& d) { d.SixPoint = SixPointFromClick({200, 100}, {0, 0}, {400, 300}); });
    Set(w, [&](Document& d) { BuildTwoPlanes(d); });
    w.SetCommand(uCommand::None);
    QVERIFY(w.ItemEnabled(QStringLiteral("mnBaseChange")));
    w.mnBaseChangeClick();
    QCOMPARE(w.Doc().CurrentBase, 2);
    QVERIFY(w.Control(QStringLiteral("Shape2_BaseChange"))->property("lit").toBool());

    w.mnChangeClick(1);
    QCOMPARE(w.Doc().CurrentBase, 0);
    w.mnChangeClick(4);
    QCOMPARE(w.Doc().CurrentBase, 1);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w.Doc().ParkedPlane.base.BaseSet, std::uint8_t{1});
    f.Close();
}

void WindowTest::groupSwitchAndFields()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("g.jpg"), Qt::magenta);
    w.mnGroupClick(3);
    QCOMPARE(w.Doc().CurrentGroup, 3);
    QVERIFY(w.Action(QStringLiteral("mnGroup3"))->isChecked());

    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Modified = 0; });
    auto* field = static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_KijunW")));
    field->clear();
    QTest::keyClicks(field, QStringLiteral("2,5a00"));
    QCOMPARE(w.Doc().KijunWText, std::string("2500"));  // the field takes digits, "-" and "." only
    QCOMPARE(w.Doc().W(), 2500.0);
    QCOMPARE(w.Doc().Modified, std::uint8_t{1});

    // A decimal W typed into the field and through its pad keeps its point,
    // whatever the user's locale writes.
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("1.5"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(w.Doc().W(), 1.5);
    QCOMPARE(field->text(), QStringLiteral("1.5"));
    QTimer::singleShot(0, [] {
        QWidget* pad = QApplication::activeModalWidget();
        QVERIFY(pad);
        QTest::keyClicks(pad, QStringLiteral("2.5*2"));
        QTest::keyClick(pad, Qt::Key_Return);
    });
    field->actions().first()->trigger();
    QCOMPARE(field->text(), QStringLiteral("5"));
    QCOMPARE(w.Doc().W(), 5.0);
    f.Close();
}

void WindowTest::shutdownPrunesAndLeavesTheErrorLog()
{
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().DeleteTempLimit = 3;
    const auto temp = f.Temp();
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const char* name : {"old[1].tmp", "young[1].tmp", "notes.txt"}) {
        std::ofstream(temp / name);  // x
    }
    std::filesystem::last_write_time(temp / "old[1].tmp", now - std::chrono::hours(24 * 4));
    std::filesystem::last_write_time(temp / "notes.txt", now - std::chrono::hours(24 * 40));
    ErrorTrail::global().append("mnTestClick");
    f.Close();
    QVERIFY(!std::filesystem::exists(temp / "old[1].tmp"));
    QVERIFY(std::filesystem::exists(temp / "young[1].tmp"));
    QVERIFY(std::filesystem::exists(temp / "notes.txt"));
    QFile log(QString::fromStdString((temp / "error.txt").string()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("mnTestClick\r\n"));
}

void WindowTest::modeBoxesMirrorTheirMenuChecks()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("modes.jpg"), Qt::gray);
    Set(w, [&](Document& d) { MarkReference(d); });
    w.SetCommand(uCommand::SpaceAdd);
    w.Tools().LeftClick({100, 100});
    QCOMPARE(w.Doc().InputCount(), 1);
    for (const auto& [box, item] : {std::pair{"CheckBox_PolygonMode", "mnPolygonMode"},
                                     std::pair{"CheckBox_DistanceMode", "mnDistanceMode"}}) {
        auto* check = static_cast<QCheckBox*>(w.Control(QString::fromLatin1(box)));
        check->click();
        QVERIFY2(w.Action(QString::fromLatin1(item))->isChecked(), box);
        QCOMPARE(w.Command(), uCommand::SpaceAdd);
        QCOMPARE(w.Doc().InputCount(), 0);  // the tool starts again
        check->click();
        QVERIFY(!w.Action(QString::fromLatin1(item))->isChecked());
    }
    QVERIFY(!w.Tools().options.polygon);
    static_cast<QCheckBox*>(w.Control(QStringLiteral("CheckBox_PolygonMode")))->click();
    QVERIFY(w.Tools().options.polygon);
    f.Close();
}

void WindowTest::preferencesTakeEffectAfterOk()
{
    Fixture f;
    TF001& w = f.Open();
    QVERIFY(w.Settings().ShortCutButtonFlag);
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("Panel2"))->isVisible());

    // Abort: nothing changes.
    const TAppSettings before = w.Settings();
    f.prompter->propertyAnswer.reset();
    w.Action(QStringLiteral("mnProperty"))->trigger();
    QCOMPARE(w.Settings().DrawTextSize, before.DrawTextSize);
    QCOMPARE(w.Settings().ColorBase, before.ColorBase);
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("Panel2"))->isVisible());

    // OK without the shortcut buttons: the panel goes at once.
    TAppSettings changed = before;
    changed.ShortCutButtonFlag = false;
    changed.DrawTextSize = 18;
    changed.ColorDistance = 0x0000FF;
    f.prompter->propertyAnswer = changed;
    w.Action(QStringLiteral("mnProperty"))->trigger();
    QVERIFY(!w.findChild<QWidget*>(QStringLiteral("Panel2"))->isVisible());
    QCOMPARE(w.Settings().DrawTextSize, 18);
    QCOMPARE(w.Settings().ColorDistance, 0x0000FF);
    f.Close();
    // They reach the configuration file at shutdown.
    const TAppSettings kept =
        ReadSettings(f.home.filePath(QStringLiteral("kvx.ini")).toStdString(), DefaultSettings("", ""));
    QVERIFY(!kept.ShortCutButtonFlag);
    QCOMPARE(kept.DrawTextSize, 18);
    QCOMPARE(kept.ColorDistance, 0x0000FF);
}

void WindowTest::helpMenuAndAuxiliaryWindows()
{
    Fixture f;
    TF001& w = f.Open();
    w.mnHelpClick();
    QCOMPARE(w.Action(QStringLiteral("mnError"))->isVisible(), !ErrorTrail::global().empty());
    ErrorTrail::global().append("SomethingClick");
    w.mnHelpClick();
    QVERIFY(w.Action(QStringLiteral("mnError"))->isVisible());
    TFDError error(ErrorTrail::global(), 2, nullptr);
    QVERIFY(error.Text().startsWith(QStringLiteral("ErrorNo = 2\n")));
    QVERIFY(error.Text().endsWith(QStringLiteral("SomethingClick")));

    w.mnManualClick();
    QCOMPARE(f.prompter->warnings.back(), std::string("'操作マニュアル.pdf' が見つかりません."));
    QVERIFY(QDir(f.resources.path()).mkpath(QStringLiteral("Manual")));
    const QString manual = f.resources.filePath(QStringLiteral("Manual/操作マニュアル.pdf"));
    QFile pdf(manual);
    QVERIFY(pdf.open(QIODevice::WriteOnly));
    pdf.close();
    w.mnManualClick();  // no viewer: the user is told where the file is
    QCOMPARE(f.prompter->opened.back(), manual);
    QCOMPARE(f.prompter->warnings.back(),
             (QStringLiteral("'操作マニュアル.pdf' を開くアプリケーションが見つかりません.\nマニュアルの場所: ") + manual)
                 .toStdString());
    const std::size_t warningsBefore = f.prompter->warnings.size();
    f.prompter->viewerAvailable = true;
    w.mnManualClick();
    QCOMPARE(f.prompter->opened.back(), manual);
    QCOMPARE(f.prompter->warnings.size(), warningsBefore);

    // The English interface opens the English manual, which the build sets
    // beside the Japanese one.
    QFile english(f.resources.filePath(QStringLiteral("Manual/Operating manual.pdf")));
    QVERIFY(english.open(QIODevice::WriteOnly));
    english.close();
    InstallLanguage(*QCoreApplication::instance(), UiLanguage::English);
    w.mnManualClick();
    InstallLanguage(*QCoreApplication::instance(), UiLanguage::Japanese);
    for (auto* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    QCOMPARE(f.prompter->opened.back(), english.fileName());
    QVERIFY(QFileInfo::exists(QStringLiteral(KALVEX_BINARY_DIR "/Manual/Operating manual.pdf")));
    QVERIFY(QFileInfo::exists(QStringLiteral(KALVEX_BINARY_DIR "/Manual/操作マニュアル.pdf")));

    std::vector<QString> warned;
    TFDHistory history(f.resources.filePath(QStringLiteral("history.txt")),
                       [&](const QString& m) { warned.push_back(m); }, nullptr);
    history.Reload();
    QCOMPARE(warned.size(), std::size_t{1});
    QCOMPARE(warned[0], QStringLiteral("更新履歴ファイルが見つかりません."));
    QFile h(f.resources.filePath(QStringLiteral("history.txt")));
    QVERIFY(h.open(QIODevice::WriteOnly));
    h.write("版 1\n");
    h.close();
    history.Reload();
    QCOMPARE(history.Text(), QStringLiteral("版 1\n"));
    QFile::remove(f.resources.filePath(QStringLiteral("history.txt")));
    history.Reload();
    QCOMPARE(history.Text(), QStringLiteral("版 1\n"));
    QCOMPARE(warned.size(), std::size_t{1});  // the same opening: told once already
    f.Close();
}

void WindowTest::qtDialogsSpeakTheUsersLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QString>("cancel");
    QTest::addColumn<QString>("fileMenu");
    QTest::newRow("a Japanese locale") << "ja_JP" << "" << "" << "キャンセル" << "ﾌｧｲﾙ(&F)";
    QTest::newRow("any other locale: English") << "de_DE" << "" << "" << "Cancel" << "&File";
    QTest::newRow("no locale at all: English") << "C" << "" << "" << "Cancel" << "&File";
    QTest::newRow("remembered in kvx.ini") << "de_DE" << "" << "ja" << "キャンセル" << "ﾌｧｲﾙ(&F)";
    QTest::newRow("--lang over what is remembered") << "ja_JP" << "en" << "ja" << "Cancel" << "&File";
    QTest::newRow("an unknown remembered value: the locale") << "ja_JP" << "" << "fr" << "キャンセル" << "ﾌｧｲﾙ(&F)";
}

// Qt's own buttons and dialogs speak the interface's language, which the
// command line, kvx.ini or the locale choose, in that order.
void WindowTest::qtDialogsSpeakTheUsersLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, asked);
    QFETCH(QString, remembered);
    QFETCH(QString, cancel);
    QFETCH(QString, fileMenu);
    const UiLanguage language = ChooseLanguage(ParseLanguage(asked.toStdString()), remembered.toStdString(), QLocale(locale));
    InstallLanguage(*QCoreApplication::instance(), language);
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    const QString shown = buttons.button(QDialogButtonBox::Cancel)->text();
    QString menu;
    {
        Fixture f;
        menu = f.Open().menuBar()->actions().front()->text();
        f.Close();
    }
    InstallLanguage(*QCoreApplication::instance(), UiLanguage::Japanese);
    for (auto* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    QVERIFY2(shown.contains(cancel), qPrintable(shown));
    QCOMPARE(menu, fileMenu);
}

namespace {

// Whether text holds a character of Japanese writing (kana, kanji, the
// full-width forms, the circled and squared signs such as ㊧ and ㎜).
bool HasJapanese(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x30FF) || (u >= 0x3200 && u <= 0x33FF) || (u >= 0x4E00 && u <= 0x9FFF) ||
            (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// Every text widget shows: titles, labels, buttons, menus and their items,
// tool tips, group boxes, the selectors' current items, the status line.
QStringList VisibleTexts(QWidget* top)
{
    QStringList texts{top->windowTitle(), top->toolTip()};
    QList<QWidget*> widgets = top->findChildren<QWidget*>();
    widgets.prepend(top);
    for (QWidget* w : widgets) {
        texts << w->toolTip();
        if (auto* label = qobject_cast<QLabel*>(w))
            texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            texts << button->text();
        if (auto* box = qobject_cast<QGroupBox*>(w))
            texts << box->title();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        if (auto* menu = qobject_cast<QMenu*>(w))
            texts << menu->title();
        for (QAction* a : w->actions())
            texts << a->text() << a->toolTip() << a->statusTip();
    }
    texts.removeAll(QString());
    return texts;
}

} // namespace

// Under English no text the user can see is Japanese, in the window, its
// menus, its prompts, its summary and every dialog of its own; under Japanese
// the same texts are the Japanese ones, word for word.
void WindowTest::everyTextSpeaksTheInterfacesLanguage()
{
    struct Run {
        UiLanguage language;
        QStringList texts;
    };
    std::vector<Run> runs{{UiLanguage::English, {}}, {UiLanguage::Japanese, {}}};
    for (Run& run : runs) {
        InstallLanguage(*QCoreApplication::instance(), run.language);
        Fixture f;
        TF001& w = f.OpenWith(QStringLiteral("words.jpg"), Qt::lightGray, QSize(600, 500));
        // A reference, a distance and an area: the summary, the labels and
        // the prompts of several tools have something to say.
        w.mnBaseClick();
        for (const TDPoint p : {TDPoint{100, 100}, {500, 110}, {490, 400}, {110, 390}})
            ClickAt(w, p);
        w.SetCommand(uCommand::Distance);
        ClickAt(w, {150, 150});
        run.texts << w.StatusText(2);
        ClickAt(w, {250, 160});
        for (const uCommand mode : {uCommand::Base, uCommand::BaseAdjust, uCommand::BaseLineW, uCommand::BaseUnit, uCommand::Distance, uCommand::DistanceHosei, uCommand::SpaceAdd,
                                    uCommand::SpaceSub, uCommand::SpaceSlant, uCommand::ImageFix}) {
            w.SetCommand(mode);
            run.texts << w.StatusText(2);
        }
        w.SetCommand(uCommand::SpaceAdd);
        for (const TDPoint p : {TDPoint{200, 200}, {300, 300}})
            ClickAt(w, p);
        run.texts << w.StatusText(0) << w.StatusText(1) << w.StatusText(2) << VisibleTexts(&w);
        for (QMenu* menu : w.findChildren<QMenu*>())
            run.texts << VisibleTexts(menu);
        ImageEffects effects;
        TAppSettings settings;
        const ErrorTrail trail;
        std::vector<std::unique_ptr<QWidget>> dialogs;
        dialogs.push_back(std::make_unique<TFDProperty>(settings, &w));
        dialogs.push_back(std::make_unique<TFDEffect>(effects, &w));
        dialogs.push_back(std::make_unique<TFDSlant>(10.0, 0.0, &w));
        dialogs.push_back(std::make_unique<TFNameDlg>(&w));
        dialogs.push_back(std::make_unique<TchCalc>(12.0, &w));
        dialogs.push_back(std::make_unique<TFDList>(&w));
        dialogs.push_back(std::make_unique<TFDScan>(QStringList{QStringLiteral("test:0")}, QString(), [](const QString&) {}, &w));
        dialogs.push_back(std::make_unique<TFDVersion>(&w));
        dialogs.push_back(std::make_unique<TFDError>(trail, 0, &w));
        for (const auto& dialog : dialogs)
            run.texts << VisibleTexts(dialog.get());
        dialogs.clear();
        f.Close();
    }
    InstallLanguage(*QCoreApplication::instance(), UiLanguage::Japanese);
    for (auto* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    QStringList japaneseInEnglish;
    for (const QString& text : runs[0].texts)
        if (HasJapanese(text))
            japaneseInEnglish << text;
    QVERIFY2(japaneseInEnglish.isEmpty(), qPrintable(japaneseInEnglish.join(QStringLiteral("\n"))));
    // Under Japanese the words are the source's, word for word.
    QVERIFY(runs[0].texts.size() > 300);
    for (const QString& source : {QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("環境設定"), QStringLiteral("/㎡"),
                                  QStringLiteral("[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[1点目]")})
        QVERIFY2(runs[1].texts.contains(source), qPrintable(source));
    QVERIFY(!runs[0].texts.contains(QStringLiteral("ﾌｧｲﾙ(&F)")));
}

void WindowTest::aMissingHistoryWarnsOncePerOpening()
{
    Fixture f;
    TF001& w = f.Open();
    f.prompter->realWarnings = true;
    // The user closes every warning box; once the viewer has been back on top
    // a few times without a new warning, the user closes it as well.
    int boxesClosed = 0, quietRounds = 0, viewersSeen = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++boxesClosed;
            quietRounds = 0;
            box->button(QMessageBox::Ok)->click();
            if (boxesClosed > 10)  // the endless round: end it so that the test fails
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (top->objectName() == QStringLiteral("TFDHistory"))
                        top->close();
        } else if (modal && modal->objectName() == QStringLiteral("TFDHistory")) {
            modal->activateWindow();
            if (++quietRounds == 5) {
                ++viewersSeen;
                modal->close();
            }
        }
    });
    user.start(20);
    for (int opening = 1; opening <= 2; ++opening) {
        w.mnHistoryClick();
        QCOMPARE(viewersSeen, opening);
        QCOMPARE(f.prompter->warnings.size(), std::size_t(opening));
        QCOMPARE(f.prompter->warnings.back(), std::string("更新履歴ファイルが見つかりません."));
    }
    user.stop();
    f.Close();
}

void WindowTest::errorsInHandlersAreShownAndTheWindowGoesOn()
{
    Fixture f;
    TF001& w = f.Open();
    const std::size_t before = ErrorTrail::global().size();
    w.Run([] { Guard("mnBrokenClick", [] { throw std::runtime_error("壊れた"); }); });
    QCOMPARE(f.prompter->errors.back(), std::string("壊れた"));
    QCOMPARE(ErrorTrail::global().size(), before + 1);
    QCOMPARE(ErrorTrail::global().lines().back(), std::string("mnBrokenClick"));
    w.SetCommand(uCommand::None);  // still answering
    f.Close();
}

namespace {
// The overlay drawn again now, as after any change of the document.
void Repaint(TF001& w)
{
    w.Display()->RedrawOverlay();
    w.Display()->viewport()->repaint();
}
} // namespace

// A dialog opened from inside a paint paints the window again, which fails
// again: the window locks in a loop of error boxes.  The error is told once,
// after the paint, and told again only after a paint that went well.
void WindowTest::aDrawingErrorIsToldOnceAfterThePaint()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("paint.jpg"), Qt::gray);
    Set(w, [&](Document& d) { MarkReference(d); });
    bool failing = true;
    int failedPaints = 0;
    std::vector<std::size_t> errorsSeenInsidePaint;
    const auto connection = connect(&w, &TF001::overlayPainted, &w, [&](QPainter&, const ViewState&) {
        errorsSeenInsidePaint.push_back(f.prompter->errors.size());
        if (failing) {
            ++failedPaints;
            throw std::runtime_error("描けない");
        }
    });
    for (int i = 0; i < 4; ++i) {
        Repaint(w);
        QCoreApplication::processEvents();
    }
    QVERIFY(failedPaints >= 4);
    QCOMPARE(f.prompter->errors.size(), std::size_t{1});
    QCOMPARE(f.prompter->errors.back(), std::string("描けない"));
    QCOMPARE(errorsSeenInsidePaint.front(), std::size_t{0});  // nothing was told during the first paint

    failing = false;  // a good paint, then a new failure is news again
    Repaint(w);
    failing = true;
    Repaint(w);
    QCoreApplication::processEvents();
    QCOMPARE(f.prompter->errors.size(), std::size_t{2});

    disconnect(connection);
    w.SetCommand(uCommand::Distance);  // the photo stays usable
    ClickAt(w, {150, 150});
    ClickAt(w, {250, 160});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    f.Close();
}

// A working file cut after the reference's first corner once left a
// half-read reference "set" with a corner of garbage, and every paint threw.
void WindowTest::aCutWorkingFileNeverLocksTheWindow()
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

// Corners clicked in reading order give a bow tie: a 200 mm edge once read
// 125,015 mm with no word.  The closing click is refused where the user clicks.
void WindowTest::aCrossedReferenceClickedInTheWindowIsRefused()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("crossed.jpg"), Qt::lightGray, QSize(600, 500));
    w.mnBaseClick();
    QCOMPARE(w.Command(), uCommand::Base);
    for (const TDPoint p : {TDPoint{100, 100}, {500, 110}, {110, 390}, {490, 400}})
        ClickAt(w, p);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{0});
    QCOMPARE(w.Command(), uCommand::Base);
    QVERIFY2(w.StatusText(2).contains(QString::fromStdString(OutlineRefusal(OutlineFault::Crossed))),
             qPrintable(w.StatusText(2)));
    QCOMPARE(w.Doc().Modified, std::uint8_t{0});

    // The last corner taken back with the right button and placed in order.
    QTest::mouseClick(w.Display()->viewport(), Qt::RightButton, {}, Screen(w, {300, 300}));
    ClickAt(w, {490, 400});
    ClickAt(w, {110, 390});
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    f.Close();
}

// A distance drawn with the mouse is taken back and done again with Ctrl+Z,
// Ctrl+Y and Ctrl+Shift+Z, the edit menu and the tool panel, Modified
// following; the working files follow the document.
void WindowTest::undoAndRedoThroughKeysMenuAndButtons()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("undo.jpg"), Qt::lightGray, QSize(600, 500));
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // The reference as kept in the photo's files: nothing changed yet.
    Set(w, [&](Document& d) {
        MarkReference(d);
        d.Modified = 0;
    });
    QAction* undo = w.Action(QStringLiteral("mnUndo"));
    QAction* redo = w.Action(QStringLiteral("mnRedo"));
    QVERIFY(!undo->isEnabled());
    w.SetCommand(uCommand::Distance);
    ClickAt(w, {150, 150});
    ClickAt(w, {250, 160});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().Modified, std::uint8_t{1});
    QVERIFY(undo->isEnabled());
    QVERIFY2(undo->text().contains(QStringLiteral("距離の追加")), qPrintable(undo->text()));

    auto workingDistances = [&] {
        Document stored;
        LoadTemp(stored, 1, f.Temp());
        return stored.Plane.DistanceCount();
    };
    QTRY_COMPARE_WITH_TIMEOUT(workingDistances(), 1, 5000);

    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    QCOMPARE(w.Doc().Modified, std::uint8_t{0});
    QCOMPARE(w.Command(), uCommand::Distance);  // the tool stays
    QVERIFY(!undo->isEnabled());
    QVERIFY(redo->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(workingDistances(), 0, 5000);

    QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().Modified, std::uint8_t{1});
    undo->trigger();
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(workingDistances(), 1, 5000);

    auto* undoButton = w.findChild<QAbstractButton*>(QStringLiteral("SpeedButton_Undo"));
    QVERIFY(undoButton && undoButton->isEnabled());
    QTest::mouseClick(undoButton, Qt::LeftButton);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    // A new step after an undo: nothing is left to redo.
    ClickAt(w, {160, 300});
    ClickAt(w, {300, 310});
    QVERIFY(!redo->isEnabled());

    // Another photo after an undo: the step undone belongs to the photo
    // left, and neither the menu nor the button offers it here.
    undo->trigger();
    QVERIFY(redo->isEnabled());
    auto* redoButton = w.findChild<QAbstractButton*>(QStringLiteral("SpeedButton_Redo"));
    QVERIFY(redoButton && redoButton->isEnabled());
    f.prompter->answers = {true};
    w.LoadFile(f.Photo(QStringLiteral("another.jpg"), Qt::darkGray));
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    QVERIFY(!redoButton->isEnabled());
    f.Close();
}

// With the actual size shown, each arrow key moves the pointer one photo
// pixel (Shift: ten), Space takes the point there, Escape drops the points
// entered and keeps the tool.
void WindowTest::keysTakePointsWithoutTheMouse()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("keys.jpg"), Qt::lightGray, QSize(600, 500));
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    Set(w, [&](Document& d) { MarkReference(d); });
    w.Action(QStringLiteral("mnZoom1"))->trigger();
    w.SetCommand(uCommand::Distance);
    QWidget* view = w.Display();
    view->setFocus();
    QTest::mouseMove(w.Display()->viewport(), Screen(w, {150, 150}));
    const TDPoint start = StoW(w.Display()->State(), TPoint{Screen(w, {150, 150}).x(), Screen(w, {150, 150}).y()});

    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(w.Doc().InputCount(), 1);
    QTest::keyClick(view, Qt::Key_Escape);
    QCOMPARE(w.Doc().InputCount(), 0);
    QCOMPARE(w.Command(), uCommand::Distance);

    QTest::keyClick(view, Qt::Key_Space);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    const TDistance& d = w.Doc().Plane.Distances[1];
    QCOMPARE(d.start, start);
    QCOMPARE(d.end.x - d.start.x, 5.0);
    QCOMPARE(d.end.y - d.start.y, 9.0);
    f.Close();
}

// The table lists every mark with the summary's own numbers, follows each
// change, highlights what is chosen in it, renames, deletes (undoably) and
// copies its rows for a spreadsheet.
void WindowTest::theTableOfResultsFollowsAndActs()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("table.jpg"), Qt::lightGray, QSize(600, 500));
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    Set(w, [&](Document& d) { MarkReference(d); });
    w.Action(QStringLiteral("mnResultsView"))->trigger();
    auto* table = w.findChild<QTableWidget*>(QStringLiteral("ResultsTable"));
    QVERIFY(table && table->isVisible());
    QCOMPARE(table->rowCount(), 0);

    f.prompter->names = {"南面"};
    w.SetCommand(uCommand::Distance);
    ClickAt(w, {150, 150});
    ClickAt(w, {250, 160});
    w.SetCommand(uCommand::SpaceAdd);
    ClickAt(w, {160, 200});
    ClickAt(w, {260, 260});
    QCOMPARE(table->rowCount(), 2);
    // The summary's numbers, word for word.
    const double sigma = ClickSigma(w.Settings().ClickSigma);
    const std::vector<ResultRow> rows = ResultRows(w.Doc(), sigma);
    TDistanceResult d;
    CalcuDistance(w.Doc(), 1, d);
    TSpaceResult a;
    CalcuSpace(w.Doc(), 1, a);
    QCOMPARE(rows[0].valueText, FormatNumber0(d.distance));
    QCOMPARE(rows[1].valueText, FormatFixed(a.area, 3));
    QVERIFY(SetCalcu(w.Doc(), uCommand::SpaceAdd).find("[面積=" + rows[1].valueText) != std::string::npos);
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("南面"));
    const std::vector<GroupTotal> totals = GroupTotals(w.Doc(), rows, sigma);
    QCOMPARE(totals.size(), std::size_t{1});
    QVERIFY(SetCalcu(w.Doc(), uCommand::SpaceAdd).find("合計面積=" + FormatFixed(totals[0].area, 3)) != std::string::npos);

    // A longer total (a unit price typed) never widens the table and moves
    // the photo under the points the user has in view.
    QCoreApplication::processEvents();
    const QRect viewBefore(w.Display()->viewport()->mapTo(&w, QPoint(0, 0)), w.Display()->viewport()->size());
    auto* longTotals = w.findChild<QLabel*>(QStringLiteral("ResultsTotals"));
    const qsizetype shortTotals = longTotals->text().size();
    auto* price = static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_Tanka")));
    price->selectAll();
    QTest::keyClicks(price, QStringLiteral("987654321"));
    QVERIFY(longTotals->text().size() > shortTotals + 8);
    QCoreApplication::processEvents();
    QCOMPARE(QRect(w.Display()->viewport()->mapTo(&w, QPoint(0, 0)), w.Display()->viewport()->size()), viewBefore);
    // The group's totals with the uncertainty of each sum.
    auto* totalsLabel = w.findChild<QLabel*>(QStringLiteral("ResultsTotals"));
    QVERIFY(totals[0].lengthUncertainty && totals[0].areaUncertainty);
    QVERIFY2(totalsLabel->text().contains(QString::fromStdString("距離 " + LengthTotalText(totals[0]) + "㎜, 面積 " +
                                                                 AreaTotalText(totals[0]) + "㎡")),
             qPrintable(totalsLabel->text()));

    // Chosen in the table: the mark is the current one.
    w.SetCommand(uCommand::None);
    table->selectRow(0);
    QCOMPARE(w.Doc().CurrentDistance, 1);
    // A click on a mark without a tool chooses its row.
    table->clearSelection();
    ClickAt(w, {200, 155});
    QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(table->selectionModel()->selectedRows().front().row(), 0);

    // Copied as tab-separated rows under a header.
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    const QStringList lines = copied.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith(QStringLiteral("種類\t番号")));
    QCOMPARE(lines[1].split(QLatin1Char('\t'))[4], QString::fromStdString(rows[0].valueText));
    // The uncertainty after the value, a bare number as the results file has it.
    QCOMPARE(lines[0].split(QLatin1Char('\t'))[5], QStringLiteral("±"));
    QCOMPARE(lines[1].split(QLatin1Char('\t'))[5], QString::fromStdString(FormatSignificant(*rows[0].uncertainty, 2)));

    // In the table, each value's uncertainty stands after it as the status
    // line gives it while the pointer is on the mark; a new click precision
    // in the preferences changes both at once.
    auto pointAt = [&](TDPoint p, int row) {
        QTest::mouseMove(w.Display()->viewport(), Screen(w, p));
        const QString plusMinus = table->item(row, 5)->text();
        QVERIFY2(plusMinus.startsWith(QStringLiteral("±")), qPrintable(plusMinus));
        const QString shown = table->item(row, 4)->text();
        const QString value = shown.left(shown.size() - 1);  // less its unit
        QTRY_VERIFY2(w.StatusText(0).endsWith(value + QLatin1Char(' ') + plusMinus), qPrintable(w.StatusText(0) + " / " + plusMinus));
    };
    pointAt({200, 155}, 0);
    pointAt({210, 230}, 1);
    const QString before = table->item(0, 5)->text();
    TAppSettings coarser = w.Settings();
    coarser.ClickSigma = 2.0;
    f.prompter->propertyAnswer = coarser;
    w.Action(QStringLiteral("mnProperty"))->trigger();
    QCOMPARE(table->item(0, 5)->text(), QString::fromStdString(PlusMinus(*DistanceUncertainty(w.Doc(), 1, 2.0)) + "㎜"));
    QVERIFY(table->item(0, 5)->text() != before);
    pointAt({200, 155}, 0);
    pointAt({210, 230}, 1);
    const std::vector<ResultRow> coarse = ResultRows(w.Doc(), 2.0);
    QVERIFY2(totalsLabel->text().contains(QString::fromStdString(LengthTotalText(GroupTotals(w.Doc(), coarse, 2.0)[0]))),
             qPrintable(totalsLabel->text()));

    // Renamed from the table.
    f.prompter->inputBoxAnswer = "北面";
    emit table->cellDoubleClicked(1, 3);
    QCOMPARE(QString::fromStdString(Cp932ToUtf8(w.Doc().Plane.Spaces[1].name)), QStringLiteral("北面"));

    // Deleted from the table, both at once, as one step to undo.
    table->selectAll();
    QTest::keyClick(table, Qt::Key_Delete);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 0);
    QCOMPARE(w.Doc().Plane.SpaceCount(), 0);
    QCOMPARE(table->rowCount(), 0);
    w.Action(QStringLiteral("mnUndo"))->trigger();
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().Plane.SpaceCount(), 1);
    QCOMPARE(table->rowCount(), 2);

    // Remembered in kvx.ini.
    f.Close();
    TF001& again = f.Open();
    QVERIFY(again.Settings().ResultsPanelFlag);
    QVERIFY(again.Action(QStringLiteral("mnResultsView"))->isChecked());
    f.Close();
}

// While a tool takes points, the loupe beside the pointer shows the photo
// pixel under it at its centre, enlarged; without a tool, or switched off, it
// is gone.
void WindowTest::theLoupeShowsThePhotoUnderThePointer()
{
    Fixture f;
    // A photo whose every pixel tells where it is.
    QImage image(600, 500, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256) * 100 + (y / 256) * 30));
    const QString path = f.home.filePath(QStringLiteral("loupe.bmp"));
    QVERIFY(image.save(path));
    TF001& w = f.Open();
    w.LoadFile(path);
    Set(w, [&](Document& d) { MarkReference(d); });
    w.Action(QStringLiteral("mnLoupe"))->trigger();
    QVERIFY(w.Settings().LoupeFlag);
    w.SetCommand(uCommand::Distance);
    QWidget* viewport = w.Display()->viewport();
    const QPoint at = Screen(w, {300, 250});
    QTest::mouseMove(viewport, at);
    const QRect box = w.Display()->LoupeRect();
    QVERIFY(!box.isEmpty());
    QVERIFY(!box.contains(at));
    QVERIFY(viewport->rect().contains(box));
    const QImage shown = viewport->grab().toImage();
    const TDPoint under = StoW(w.Display()->State(), TPoint{at.x(), at.y()});
    // The crosshair crosses at the point under the pointer, the loupe's
    // centre; the photo pixel to its lower right is four screen pixels a
    // side, its middle clear of the crosshair.
    const int zoom = w.Settings().LoupeZoom;
    const int px = static_cast<int>(std::floor(under.x)) + 1, py = static_cast<int>(std::floor(under.y)) + 1;
    const QRgb expected = image.pixel(px, py);
    const QPointF middle(box.x() + PhotoView::kLoupeSize / 2.0 + (px + 0.5 - under.x) * zoom,
                         box.y() + PhotoView::kLoupeSize / 2.0 + (py + 0.5 - under.y) * zoom);
    const QRgb seen = shown.pixel(middle.toPoint());
    QCOMPARE(qRed(seen), qRed(expected));
    QCOMPARE(qGreen(seen), qGreen(expected));

    w.SetCommand(uCommand::None);
    QVERIFY(w.Display()->LoupeRect().isEmpty());
    w.SetCommand(uCommand::Distance);
    QTest::mouseMove(viewport, at + QPoint(3, 3));
    QVERIFY(!w.Display()->LoupeRect().isEmpty());
    w.Action(QStringLiteral("mnLoupe"))->trigger();
    QVERIFY(w.Display()->LoupeRect().isEmpty());
    f.Close();
}

// With snapping on, corners clicked a few pixels off the photo's corners
// land on them to a fraction of a pixel, the mark showing where before the
// click; off, the clicks are taken as they are.
void WindowTest::referenceCornersSnapToThePhotosCorners()
{
    Fixture f;
    const std::array<TDPoint, 4> truth{TDPoint{150.3, 120.6}, {450.7, 131.2}, {440.4, 380.5}, {160.2, 370.8}};
    QImage image(600, 500, QImage::Format_RGB888);
    image.fill(QColor(225, 220, 210));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(50, 55, 70));
        QPolygonF board;
        for (const TDPoint& c : truth)
            board << QPointF(c.x, c.y);
        p.drawPolygon(board);
    }
    const QString path = f.home.filePath(QStringLiteral("board.png"));
    QVERIFY(image.save(path));
    TF001& w = f.Open();
    w.LoadFile(path);
    auto* snap = w.findChild<QCheckBox*>(QStringLiteral("CheckBox_Snap"));
    QVERIFY(snap && !snap->isChecked());

    for (const bool on : {true, false}) {
        if (snap->isChecked() != on)
            QTest::mouseClick(snap, Qt::LeftButton);
        QCOMPARE(w.Settings().SnapFlag, on);
        w.mnBaseClick();
        QCOMPARE(w.Command(), uCommand::Base);
        std::vector<TDPoint> clicked;
        for (const TDPoint& c : truth) {
            const TDPoint off{c.x + 3, c.y - 2};
            QTest::mouseMove(w.Display()->viewport(), Screen(w, off));
            if (on) {
                QVERIFY(w.Display()->Marker());
                QVERIFY(std::hypot(w.Display()->Marker()->x - c.x, w.Display()->Marker()->y - c.y) < 0.3);
            } else {
                QVERIFY(!w.Display()->Marker());
            }
            ClickAt(w, off);
            clicked.push_back(StoW(w.Display()->State(), TPoint{Screen(w, off).x(), Screen(w, off).y()}));
        }
        QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
        // The reference's corners, in any order the tool keeps them.
        for (std::size_t i = 0; i < 4; ++i) {
            const TDPoint want = on ? truth[i] : clicked[i];
            double nearest = 1e9;
            for (int k = 1; k <= 4; ++k)
                nearest = std::min(nearest, std::hypot(w.Doc().Plane.base.BaseRect[k].x - want.x,
                                                       w.Doc().Plane.base.BaseRect[k].y - want.y));
            QVERIFY2(nearest < (on ? 0.3 : 1e-9), qPrintable(QStringLiteral("corner %1 off by %2").arg(i).arg(nearest)));
        }
        f.prompter->answers = {true};
    }
    f.Close();
}

void WindowTest::confirmationsDecide()
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

void WindowTest::droppedFilesOpenAndThePanWindowFollows()
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

namespace {

// The projective map from the wall's plane (millimetres, Y up) to the photo,
// fixed by four corners: an independent model of what the program computes.
struct Homography {
    double h[9];

    static Homography FromCorners(const std::array<TDPoint, 4>& plane, const std::array<TDPoint, 4>& image)
    {
        // Eight unknowns, h[8] = 1, solved by Gaussian elimination.
        double a[8][9] = {};
        for (int i = 0; i < 4; ++i) {
            const double X = plane[static_cast<std::size_t>(i)].x, Y = plane[static_cast<std::size_t>(i)].y;
            const double u = image[static_cast<std::size_t>(i)].x, v = image[static_cast<std::size_t>(i)].y;
            double r1[9] = {X, Y, 1, 0, 0, 0, -u * X, -u * Y, u};
            double r2[9] = {0, 0, 0, X, Y, 1, -v * X, -v * Y, v};
            std::copy(r1, r1 + 9, a[2 * i]);
            std::copy(r2, r2 + 9, a[2 * i + 1]);
        }
        for (int c = 0; c < 8; ++c) {
            int pivot = c;
            for (int r = c + 1; r < 8; ++r)
                if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                    pivot = r;
            std::swap(a[c], a[pivot]);
            for (int r = 0; r < 8; ++r) {
                if (r == c)
                    continue;
                const double f = a[r][c] / a[c][c];
                for (int k = c; k < 9; ++k)
                    a[r][k] -= f * a[c][k];
            }
        }
        Homography H;
        for (int i = 0; i < 8; ++i)
            H.h[i] = a[i][8] / a[i][i];
        H.h[8] = 1;
        return H;
    }

    TDPoint Map(TDPoint p) const
    {
        const double w = h[6] * p.x + h[7] * p.y + h[8];
        return {(h[0] * p.x + h[1] * p.y + h[2]) / w, (h[3] * p.x + h[4] * p.y + h[5]) / w};
    }

    // The plane point of an image point.
    TDPoint Unmap(TDPoint q) const
    {
        // Solve H (X, Y, 1) ~ (u, v, 1) for X, Y.
        const double a11 = h[0] - q.x * h[6], a12 = h[1] - q.x * h[7], b1 = q.x * h[8] - h[2];
        const double a21 = h[3] - q.y * h[6], a22 = h[4] - q.y * h[7], b2 = q.y * h[8] - h[5];
        const double det = a11 * a22 - a12 * a21;
        return {(b1 * a22 - a12 * b2) / det, (a11 * b2 - b1 * a21) / det};
    }
};

} // namespace

void WindowTest::measuringAWallEndToEnd()
{
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().SpaceNameInputFlag = false;

    // A wall in perspective: its 1200 x 800 mm panel has these corners in the photo.
    const std::array<TDPoint, 4> corners{TDPoint{150, 120}, {470, 150}, {460, 390}, {160, 370}};
    const Homography H = Homography::FromCorners({TDPoint{-600, 400}, {600, 400}, {600, -400}, {-600, -400}}, corners);
    QImage photo(700, 500, QImage::Format_RGB888);
    photo.fill(QColor(170, 190, 210));
    {
        QPainter p(&photo);
        QPolygonF wall;
        for (const TDPoint c : {H.Map({-2000, 1500}), H.Map({2500, 1500}), H.Map({2500, -1500}), H.Map({-2000, -1500})})
            wall << QPointF(c.x, c.y);
        p.setBrush(QColor(190, 170, 140));
        p.drawPolygon(wall);
        QPolygonF panel;
        for (const TDPoint c : corners)
            panel << QPointF(c.x, c.y);
        p.setBrush(QColor(120, 90, 60));
        p.drawPolygon(panel);
    }
    const QString path = f.home.filePath(QStringLiteral("wall.png"));
    QVERIFY(photo.save(path));
    w.LoadFile(path);
    QVERIFY(w.HasPhoto());
    w.mnZoom1Click();  // one image pixel a display pixel: every click lands exactly
    QCoreApplication::processEvents();

    w.Action(QStringLiteral("mnBase"))->trigger();
    QCOMPARE(w.Command(), uCommand::Base);
    for (const TDPoint c : corners)
        ClickAt(w, c);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w.Command(), uCommand::None);

    for (const auto& [name, text] : {std::pair{"chCalcEdit_KijunW", "1200"}, std::pair{"chCalcEdit_KijunH", "800"}}) {
        auto* field = static_cast<QLineEdit*>(w.Control(QString::fromLatin1(name)));
        field->selectAll();
        QTest::keyClicks(field, QString::fromLatin1(text));
    }
    QCOMPARE(w.Doc().KijunWText, std::string("1200"));

    // A length along the wall, from image points whose plane positions the
    // independent model tells.
    const TDPoint a{120, 300};
    const TDPoint b{560, 330};
    const TDPoint pa = H.Unmap(a), pb = H.Unmap(b);
    const double expected = std::hypot(pa.x - pb.x, pa.y - pb.y);
    w.Action(QStringLiteral("mnDistance"))->trigger();
    ClickAt(w, a);
    ClickAt(w, b);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    const QString info = static_cast<QLineEdit*>(w.Control(QStringLiteral("Edit_Info")))->text();
    const QRegularExpression pattern(QStringLiteral("^長さ=([0-9,]+)㎜\\( ￥0 \\),  \\[距離=([0-9,]+)㎜,  ΔX=[0-9,]+㎜,  ΔY=[0-9,]+㎜,  ∠-?[0-9]+\\.[0-9]{3}ﾟ\\]$"));
    const auto match = pattern.match(info);
    QVERIFY2(match.hasMatch(), qPrintable(info));
    const double shown = match.captured(2).remove(QLatin1Char(',')).toDouble();
    QVERIFY2(std::fabs(shown - expected) <= 2.0, qPrintable(QStringLiteral("%1 shown, %2 expected").arg(shown).arg(expected)));

    // The overlay draws the reference and the distance with its label.
    QImage shot(w.Display()->viewport()->size(), QImage::Format_RGB32);
    w.Display()->viewport()->render(&shot);
    const QPoint mid = Screen(w, MidPoint(a, b));
    QCOMPARE(QColor(shot.pixel(mid)).green() > QColor(shot.pixel(mid)).red(), true);
    f.Close();
}

void WindowTest::rubberBandMovesWithoutRedrawingTheOverlay()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("band.jpg"), Qt::lightGray, QSize(600, 400));
    w.mnZoom1Click();
    Set(w, [&](Document& d) { MarkReference(d); });
    w.SetCommand(uCommand::Distance);
    ClickAt(w, {200, 200});
    QCoreApplication::processEvents();
    QImage shot(w.Display()->viewport()->size(), QImage::Format_RGB32);
    w.Display()->viewport()->render(&shot);
    const int paints = w.Display()->OverlayPaints();
    for (int i = 0; i < 5; ++i) {
        QTest::mouseMove(w.Display()->viewport(), Screen(w, {300.0 + 10 * i, 250}));
        w.Display()->viewport()->render(&shot);
    }
    QCOMPARE(w.Display()->OverlayPaints(), paints);
    QVERIFY(w.Display()->Figure(FigureSlot::Trace).has_value());
    QVERIFY(w.StatusText(0).startsWith(QStringLiteral("X = 340.00")));
    QVERIFY(w.StatusText(2).contains(QStringLiteral("もう一方の端点")));
    f.Close();
}

void WindowTest::rubberBandShowsOnAnyBackground_data()
{
    QTest::addColumn<QColor>("photo");
    QTest::addColumn<int>("band");  // 0x00BBGGRR
    QTest::newRow("black on black") << QColor(Qt::black) << 0x000000;
    QTest::newRow("white on white") << QColor(Qt::white) << 0xFFFFFF;
    QTest::newRow("dark green on dark green") << QColor(0, 128, 0) << 0x008000;
}

void WindowTest::rubberBandShowsOnAnyBackground()
{
    QFETCH(QColor, photo);
    QFETCH(int, band);
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().ColorDistance = band;
    w.LoadFile(f.Photo(QStringLiteral("plain.png"), photo, QSize(600, 400)));
    w.mnZoom1Click();
    Set(w, [&](Document& d) { MarkReference(d); });
    w.SetCommand(uCommand::Distance);
    ClickAt(w, {150, 200});
    QTest::mouseMove(w.Display()->viewport(), Screen(w, {440, 210}));
    QTest::mouseMove(w.Display()->viewport(), Screen(w, {450, 200}));
    QCoreApplication::processEvents();
    QVERIFY(w.Display()->Figure(FigureSlot::Trace).has_value());
    QImage shot(w.Display()->viewport()->size(), QImage::Format_RGB32);
    w.Display()->viewport()->render(&shot);
    // Along the band, away from its ends and from the reference rectangle's
    // lines, something stands out from the photo within a pixel of the line.
    const QPoint from = Screen(w, {200, 200}), to = Screen(w, {400, 200});
    int seen = 0, samples = 0;
    for (int x = from.x(); x <= to.x(); x += 10, ++samples) {
        int most = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor c = shot.pixelColor(x, from.y() + dy);
            most = std::max({most, std::abs(c.red() - photo.red()), std::abs(c.green() - photo.green()),
                             std::abs(c.blue() - photo.blue())});
        }
        seen += most > 100;
    }
    QVERIFY2(seen == samples, qPrintable(QStringLiteral("%1 of %2 along the band, figure colour %3").arg(seen).arg(samples).arg(w.Display()->Figure(FigureSlot::Trace)->colour)));
    f.Close();
}

void WindowTest::imageRangeOutputOpensTheCutOut()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("site.jpg"), Qt::darkCyan, QSize(600, 400));
    w.MutableSettings().ImageFolder = f.home.path().toStdString();
    {
        QFile existing(f.home.filePath(QStringLiteral("site_1.bmp")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
    }
    w.LoadFile(photo);
    w.mnZoom1Click();
    const QString target = f.home.filePath(QStringLiteral("cut.jpg"));
    f.prompter->saveChoice = Prompter::SaveChoice{target, 2};  // the BMP filter with a ".jpg" name
    w.SetCommand(uCommand::ImageFix);
    ClickAt(w, {100, 50});
    ClickAt(w, {300, 250});
    QCOMPARE(f.prompter->saveProposals.size(), std::size_t{1});
    QCOMPARE(f.prompter->saveProposals[0], QStringLiteral("site_2"));
    const QString written = f.home.filePath(QStringLiteral("cut.bmp"));
    QVERIFY(QFile::exists(written));
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), written);
    QCOMPARE(w.WorkImage().Width(), 200);
    QCOMPARE(w.WorkImage().Height(), 200);
    f.Close();
}

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file of a folder with its bytes, to see that nothing changed.
std::map<QString, QByteArray> Snapshot(const QString& folder)
{
    std::map<QString, QByteArray> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.toStdString()))
        files[QString::fromStdString(entry.path().filename().string())] = Bytes(QString::fromStdString(entry.path().string()));
    return files;
}

void Measure(TF001& w)
{
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 130}}); });
    TSpace s;
    s.kind = kSpaceAdd;
    s.points = {{150, 150}, {250, 150}, {250, 220}, {150, 220}, {150, 150}};
    s.correctedPoints.resize(5);
    s.name = AreaNameFromUtf8("外壁");
    Set(w, [&](Document& d) { d.Plane.Spaces.Append(s); });
    Set(w, [&](Document& d) { d.Modified = 1; });
    w.SetCommand(uCommand::None);
}

} // namespace

// The DXF drawing from the menu and from batch mode, read back by ezdxf with
// its audit: every distance (a chain as one polyline) and every area has the
// length and area the table of results and the CSV give.
void WindowTest::dxfDrawingReadBackByAnIndependentReader()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("cad.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    // A chain of two segments in group 2, and a subtracted area.
    Set(w, [&](Document& d) {
        d.Plane.Distances.Append(TDistance{2, {130, 200}, {180, 230}, 0, 3});
        d.Plane.Distances.Append(TDistance{2, {180, 230}, {260, 210}, 2, 0});
        TSpace hole;
        hole.kind = kSpaceSub;
        hole.points = {{170, 160}, {200, 160}, {200, 190}, {170, 190}, {170, 160}};
        hole.correctedPoints.resize(5);
        d.Plane.Spaces.Append(hole);
    });
    const QString fromMenu = f.home.filePath(QStringLiteral("menu.dxf"));
    f.prompter->textTarget = fromMenu;
    w.Action(QStringLiteral("mnDxfOut"))->trigger();
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("cad.dxf"));
    const std::vector<ResultRow> rows = ResultRows(w.Doc(), kDefaultClickSigma);
    const QByteArray csv = QByteArray::fromStdString(CsvBytes(w.Doc(), true));
    f.prompter->answers = {true};
    f.Close();

    const QString fromBatch = f.home.filePath(QStringLiteral("batch.dxf"));
    QProcess batch;
    batch.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                               QStringLiteral("--dxf"), fromBatch});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);

    auto read = [](const QString& file) {
        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(QT_TESTCASE_SOURCEDIR "/read_dxf.py"), file});
        reader.waitForFinished(60000);
        return std::pair{reader.exitCode(), QString::fromUtf8(reader.readAllStandardOutput() + reader.readAllStandardError())};
    };
    const auto [code, out] = read(fromMenu);
    QVERIFY2(code == 0, qPrintable(out));
    // The menu and batch mode draw the same drawing, to the micrometre.
    QCOMPARE(read(fromBatch).second, out);
    QVERIFY2(out.startsWith(QStringLiteral("VERSION AC1015 INSUNITS 4")), qPrintable(out));

    std::multimap<QString, std::pair<double, double>> polylines;  // layer -> length, area
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QStringList f2 = line.split(QLatin1Char(' '));
        if (f2.size() == 5 && f2[0] == QStringLiteral("POLY"))
            polylines.emplace(f2[1], std::pair{f2[2].toDouble(), f2[3].toDouble()});
    }
    QCOMPARE(polylines.count(QStringLiteral("REFERENCE")), std::size_t{1});
    // Distances: the single one and the chain, by their lengths in the CSV.
    QCOMPARE(polylines.count(QStringLiteral("DIST_G0")), std::size_t{1});
    QCOMPARE(polylines.count(QStringLiteral("DIST_G2")), std::size_t{1});
    const double single = polylines.find(QStringLiteral("DIST_G0"))->second.first;
    const double chain = polylines.find(QStringLiteral("DIST_G2"))->second.first;
    QCOMPARE(QString::fromStdString(FormatNumber0(single)), QString::fromStdString(rows[0].valueText));
    QVERIFY(rows[2].chainTotal);
    QCOMPARE(QString::fromStdString(FormatNumber0(chain)), QString::fromStdString(rows[2].chainText));
    QVERIFY(csv.contains(QByteArray::fromStdString(FormatNumber0(single))));
    // Areas: added and subtracted on their own layers.
    const double added = polylines.find(QStringLiteral("AREA_G0"))->second.second;
    const double hole = polylines.find(QStringLiteral("AREA_SUB_G0"))->second.second;
    QCOMPARE(QString::fromStdString(FormatFixed(added, 3)), QString::fromStdString(rows[3].valueText));
    QCOMPARE(QStringLiteral("-") + QString::fromStdString(FormatFixed(hole, 3)), QString::fromStdString(rows[4].valueText));
    QVERIFY(csv.contains(QByteArray::fromStdString(FormatFixed(added, 3))));
    // The area's name, as CAD programs read it.
    QVERIFY2(out.contains(QStringLiteral("TEXT LABELS 外壁")), qPrintable(out));
}

// The results file from the file menu and from batch mode: the same bytes,
// every setting of the photo in it (the one shown as it is, the other from
// its working file), each number the CSV's, each uncertainty worked out with
// the click precision of the preferences.
void WindowTest::resultsFileFromTheMenuAndFromBatchMode()
{
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().ClickSigma = 1.5;
    const QString photo = f.Photo(QStringLiteral("site,1.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    w.mnChangeClick(2);
    QCOMPARE(w.Doc().CurrentSetting, 2);
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{4, {110, 140}, {260, 150}}); });
    Set(w, [&](Document& d) { d.Modified = 1; });
    const std::string csv = Cp932ToUtf8(CsvBytes(w.Doc(), true));
    const std::optional<double> u = DistanceUncertainty(w.Doc(), 1, 1.5);
    QVERIFY(u);
    // A check distance: a row of its own, after the results, never in the CSV.
    w.Edit().AddCheck({120, 200}, {250, 215}, 1250.5);
    QCOMPARE(Cp932ToUtf8(CsvBytes(w.Doc(), true)), csv);
    const CheckResult check = CheckResults(w.Doc(), 1.5).front();

    const QString fromMenu = f.home.filePath(QStringLiteral("menu.csv"));
    f.prompter->textTarget = fromMenu;
    QVERIFY(w.ItemEnabled(QStringLiteral("mnTableOut")));
    w.Action(QStringLiteral("mnTableOut"))->trigger();
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("site,1_results.csv"));
    QFile menuFile(fromMenu);
    QVERIFY(menuFile.open(QIODevice::ReadOnly));
    const QByteArray menu = menuFile.readAll();
    f.prompter->answers = {true};
    f.Close();

    const QString fromBatch = f.home.filePath(QStringLiteral("batch.csv"));
    QProcess batch;
    batch.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                               QStringLiteral("--setting"), QStringLiteral("2"), QStringLiteral("--table"),
                                               fromBatch});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);
    QFile batchFile(fromBatch);
    QVERIFY(batchFile.open(QIODevice::ReadOnly));
    QCOMPARE(batchFile.readAll(), menu);

    QVERIFY(menu.startsWith("\xEF\xBB\xBFphoto,setting,plane,kind,number,group,name,value,unit,uncertainty,slope_v,"
                            "slope_h,corrected,check_length\r\n"));
    const QStringList lines = QString::fromUtf8(menu.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[4], QStringLiteral("\"site,1.jpg\",2,1,check,1,,,%1,mm,%2,,,0,1250.5")
                           .arg(QString::fromStdString(FormatFixed(check.measured, 1)),
                                QString::fromStdString(FormatSignificant(*check.uncertainty, 2))));
    QVERIFY2(lines[1].startsWith(QStringLiteral("\"site,1.jpg\",1,1,distance,1,0,,")), qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QStringLiteral("\"site,1.jpg\",1,1,area,1,0,外壁,")), qPrintable(lines[2]));
    // Setting 2's distance: the CSV's value and the uncertainty at 1.5 pixels.
    // (The quoted photo name holds one comma: the fields split one further on.)
    const QStringList last = lines[3].split(QLatin1Char(','));
    QCOMPARE(last.size(), 15);
    QCOMPARE(last.mid(2, 6), (QStringList{QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("distance"),
                                           QStringLiteral("1"), QStringLiteral("4"), QString()}));
    QVERIFY2(csv.find("\r\n " + last[8].toStdString() + ",") != std::string::npos, csv.c_str());
    QCOMPARE(last[9], QStringLiteral("mm"));
    QCOMPARE(last[10], QString::fromStdString(FormatSignificant(*u, 2)));
}

// While the pointer is on a mark, the status line gives its value and
// uncertainty; off every mark it gives the pointer's place only.
void WindowTest::pointingAtAMarkShowsItsUncertainty()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("point.jpg"), Qt::lightGray, QSize(600, 500));
    w.MutableSettings().ClickSigma = 0.8;
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{3, {120, 300}, {400, 320}}); });
    TSpace s;
    s.kind = kSpaceSub;
    s.points = {{150, 120}, {260, 120}, {260, 220}, {150, 220}, {150, 120}};
    s.correctedPoints.resize(5);
    Set(w, [&](Document& d) { d.Plane.Spaces.Append(s); });
    w.SetCommand(uCommand::None);
    QWidget* view = w.Display()->viewport();

    QTest::mouseMove(view, Screen(w, {260, 311}));
    TDistanceResult r;
    CalcuDistance(w.Doc(), 1, r, ChainSums::Skip);
    const std::string distance = "距離1 = " + FormatNumber0(r.distance) + " " +
                                 PlusMinus(*DistanceUncertainty(w.Doc(), 1, 0.8)) + "㎜";
    QTRY_VERIFY2(w.StatusText(0).endsWith(QString::fromStdString(distance)), qPrintable(w.StatusText(0)));
    QVERIFY(w.StatusText(0).startsWith(QStringLiteral("X = ")));

    QTest::mouseMove(view, Screen(w, {200, 170}));
    TSpaceResult a;
    CalcuSpace(w.Doc(), 1, a);
    const std::string area = "面積1 = -" + FormatFixed(a.area, 3) + " " + PlusMinus(*SpaceUncertainty(w.Doc(), 1, 0.8)) + "㎡";
    QTRY_VERIFY2(w.StatusText(0).endsWith(QString::fromStdString(area)), qPrintable(w.StatusText(0)));

    QTest::mouseMove(view, Screen(w, {500, 100}));
    QTRY_VERIFY2(w.StatusText(0).endsWith(QStringLiteral("(pixel)")), qPrintable(w.StatusText(0)));
}

// A check distance drawn with the mouse and typed in the dialog: a text that
// is no length is asked again; the status line tells the deviation; it is a
// step to undo, survives switching settings and another photo, and never
// reaches the results, the totals or the CSV.
void WindowTest::checkDistancesAreDrawnTypedAndKeptWithThePhoto()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("check.jpg"), Qt::lightGray, QSize(600, 500));
    const QString photo = QString::fromStdString(w.Doc().ImageFileName);
    const QString other = f.Photo(QStringLiteral("other.jpg"), QColor(20, 90, 160));
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    Set(w, [&](Document& d) { MarkReference(d); });
    w.SetCommand(uCommand::None);
    QVERIFY(w.ItemEnabled(QStringLiteral("mnCheck")));
    QVERIFY(!w.ItemEnabled(QStringLiteral("mnCheckAllDel")));
    const std::string summary = SetCalcu(w.Doc(), uCommand::Distance);

    w.Action(QStringLiteral("mnCheck"))->trigger();
    QCOMPARE(w.Command(), uCommand::Check);
    f.prompter->inputBoxAnswers = {"約1m", "1,000"};
    ClickAt(w, {150, 300});
    ClickAt(w, {420, 310});
    QCOMPARE(w.Doc().Plane.Checks.Count(), 1);
    const TCheck check = w.Doc().Plane.Checks[1];
    QCOMPARE(check.known, 1000.0);
    QCOMPARE(w.Command(), uCommand::Check);
    QCOMPARE(f.prompter->inputBoxPrompts.size(), std::size_t{2});
    const std::vector<CheckResult> results = CheckResults(w.Doc(), w.Settings().ClickSigma);
    QVERIFY2(f.prompter->inputBoxPrompts[0].find(FormatFixed(results[0].measured, 1) + "㎜") != std::string::npos,
             f.prompter->inputBoxPrompts[0].c_str());
    QVERIFY2(f.prompter->inputBoxPrompts[1].find("「約1m」は長さとして読めません") == 0, f.prompter->inputBoxPrompts[1].c_str());

    // Cancelled: no check.
    f.prompter->inputBoxAnswers = {""};
    ClickAt(w, {150, 350});
    ClickAt(w, {300, 350});
    QCOMPARE(w.Doc().Plane.Checks.Count(), 1);

    // In the table of results, below the results, with their summary.
    w.Action(QStringLiteral("mnResultsView"))->trigger();
    auto* checks = w.findChild<QTableWidget*>(QStringLiteral("CheckTable"));
    QVERIFY(checks && checks->isVisible());
    QCOMPARE(checks->rowCount(), 1);
    QCOMPARE(checks->item(0, 2)->text().toStdString(), FormatFixed(results[0].measured, 1));
    QCOMPARE(checks->item(0, 3)->text().toStdString(), PlusMinus(*results[0].uncertainty));
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("CheckSummary"))->text().toStdString(),
             CheckSummaryLine(SummariseChecks(results)));
    QCOMPARE(w.findChild<QTableWidget*>(QStringLiteral("ResultsTable"))->rowCount(), 0);
    // The known length changed from the table, as a step to undo.
    f.prompter->inputBoxAnswers = {"1234.5"};
    emit checks->cellDoubleClicked(0, 1);
    QCOMPARE(w.Doc().Plane.Checks[1].known, 1234.5);
    QCOMPARE(checks->item(0, 1)->text(), QStringLiteral("1234.5"));
    QCOMPARE(checks->item(0, 6)->text(), QStringLiteral("2σ超"));
    w.Action(QStringLiteral("mnUndo"))->trigger();
    QCOMPARE(w.Doc().Plane.Checks[1].known, 1000.0);
    QCOMPARE(checks->item(0, 1)->text(), QStringLiteral("1000"));

    // Pointed at: measured, known, deviation, verdict.
    w.SetCommand(uCommand::None);
    QTest::mouseMove(w.Display()->viewport(), Screen(w, {285, 305}));
    QTRY_VERIFY2(w.StatusText(0).endsWith(QString::fromStdString(CheckLine(results[0]))), qPrintable(w.StatusText(0)));

    // Never a result or a total; the CSV as without it.
    QVERIFY(ResultRows(w.Doc(), 0.5).empty());
    QCOMPARE(SetCalcu(w.Doc(), uCommand::Distance), summary);
    QVERIFY(w.ItemEnabled(QStringLiteral("mnCheckAllDel")));

    // A step of its own.
    w.Action(QStringLiteral("mnUndo"))->trigger();
    QCOMPARE(w.Doc().Plane.Checks.Count(), 0);
    w.Action(QStringLiteral("mnRedo"))->trigger();
    QCOMPARE(w.Doc().Plane.Checks.Count(), 1);

    // Through another setting and another photo, and back.
    w.mnChangeClick(2);
    QCOMPARE(w.Doc().Plane.Checks.Count(), 0);
    w.mnChangeClick(1);
    QCOMPARE(w.Doc().Plane.Checks.Count(), 1);
    f.prompter->answers = {true};
    w.LoadFile(other);
    QCOMPARE(w.Doc().Plane.Checks.Count(), 0);
    w.LoadFile(photo);
    QCOMPARE(w.Doc().Plane.Checks.Count(), 1);
    QCOMPARE(w.Doc().Plane.Checks[1], check);

    // Deleted from the table and brought back.
    QTRY_COMPARE(checks->rowCount(), 1);
    checks->selectRow(0);
    QTest::keyClick(checks, Qt::Key_Delete);
    QCOMPARE(w.Doc().Plane.Checks.Count(), 0);
    QVERIFY(!checks->isVisible());
    w.Action(QStringLiteral("mnUndo"))->trigger();
    QCOMPARE(w.Doc().Plane.Checks.Count(), 1);

    // Deleted with the mouse: the photo keeps none.
    w.Action(QStringLiteral("mnCheckDel"))->trigger();
    ClickAt(w, {285, 305});
    QCOMPARE(w.Doc().Plane.Checks.Count(), 0);
    QCOMPARE(w.Command(), uCommand::None);
    f.prompter->answers = {true};
    w.LoadFile(other);
    w.LoadFile(photo);
    QCOMPARE(w.Doc().Plane.Checks.Count(), 0);
    f.Close();
}

// A reference too small to measure the photo is told once, after its corners
// are clicked and W and H typed, with the reason; a good one is not.
void WindowTest::aWeakReferenceIsToldOnceWandHAreTyped()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("weak.jpg"), Qt::lightGray, QSize(600, 500));
    auto reference = [&](const std::array<TDPoint, 4>& corners, const char* width, const char* height) {
        w.mnBaseClick();
        for (const TDPoint p : corners)
            ClickAt(w, p);
        QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
        for (auto [field, text] : {std::pair{QStringLiteral("chCalcEdit_KijunW"), width},
                                   std::pair{QStringLiteral("chCalcEdit_KijunH"), height}}) {
            auto* edit = static_cast<QLineEdit*>(w.Control(field));
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QString::fromLatin1(text));
            QTest::keyClick(edit, Qt::Key_Return);
        }
        QCoreApplication::processEvents();
    };
    // The splash of the first activation goes; the user works in the window.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == QStringLiteral("TFTitle"))
            top->close();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // 24 x 18 pixels for 600 x 450 mm: a metre across the photo is 40 of them.
    reference({TDPoint{288, 241}, {312, 241}, {312, 259}, {288, 259}}, "600", "450");
    QCOMPARE(w.Doc().KijunHText, std::string("450"));
    QTRY_COMPARE(f.prompter->warnings.size(), std::size_t{1});
    const QString told = QString::fromStdString(f.prompter->warnings[0]);
    QVERIFY2(told.contains(QStringLiteral("1 m")) && told.contains(QStringLiteral("画素が少なすぎます")), qPrintable(told));
    const std::optional<ReferenceStrength> strength = ReferenceStrengthAt(w.Doc(), {300, 250}, kDefaultClickSigma);
    QVERIFY(strength && strength->relative > kWeakReference);
    QVERIFY2(told.contains(QString::fromStdString(PlusMinus(strength->millimetres) + " mm")), qPrintable(told));

    // Once: typing W again, or starting to measure, says nothing more.
    auto* wField = static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_KijunW")));
    wField->setFocus();
    QTest::keyClicks(wField, QStringLiteral("0"));
    QTest::keyClick(wField, Qt::Key_Return);
    w.SetCommand(uCommand::Distance);
    QTest::qWait(50);
    QCOMPARE(f.prompter->warnings.size(), std::size_t{1});

    // A reference across most of the photo measures well: no word.
    w.SetCommand(uCommand::None);
    f.prompter->answers = {true};
    reference({TDPoint{40, 40}, {560, 45}, {555, 460}, {45, 455}}, "2600", "2100");
    w.SetCommand(uCommand::Distance);
    QTest::qWait(50);
    QCOMPARE(f.prompter->warnings.size(), std::size_t{1});
}

// The report's detailed pages follow its first page, which stays as it was:
// every value, name, group total and cost is on them, read back by
// pdftotext, the table's header repeated on every page it runs over, and
// every page renders.
void WindowTest::theReportsDetailedPagesListEveryResult()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("detail.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    Set(w, [&](Document& d) {
        // A chain in group 2 and enough distances to run over a page.
        d.Plane.Distances.Append(TDistance{2, {130, 200}, {180, 230}, 0, 3});
        d.Plane.Distances.Append(TDistance{2, {180, 230}, {260, 210}, 2, 0});
        for (int i = 0; i < 70; ++i)
            d.Plane.Distances.Append(TDistance{1, {120.0 + i, 240}, {150.0 + 2 * i, 250}});
        TSpace named;
        named.kind = kSpaceSub;
        named.group = 2;
        named.points = {{170, 160}, {200, 160}, {200, 190}, {170, 190}, {170, 160}};
        named.correctedPoints.resize(5);
        named.name = AreaNameFromUtf8("窓");
        d.Plane.Spaces.Append(named);
    });
    w.Edit().AddCheck({120, 130}, {260, 200}, 1000);
    w.Edit().AddCheck({110, 250}, {290, 262}, 725.5);
    // The report works its uncertainties out for the preferences' click precision.
    w.MutableSettings().ClickSigma = 1.5;
    const std::vector<CheckResult> checks = CheckResults(w.Doc(), 1.5);
    const std::vector<ResultRow> rows = ResultRows(w.Doc(), 1.5);
    const std::vector<GroupTotal> totals = GroupTotals(w.Doc(), rows, 1.5);
    const std::string atDefault = PlusMinus(*DistanceUncertainty(w.Doc(), 1, kDefaultClickSigma));
    f.prompter->answers = {true};
    f.Close();

    auto report = [&](const QString& detail) {
        const QString pdf = f.home.filePath(detail + QStringLiteral(".pdf"));
        QProcess p;
        p.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                               QStringLiteral("--lang"), QStringLiteral("ja"), QStringLiteral("--pdf-detail"),
                                               detail, QStringLiteral("--pdf"), pdf});
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), pdf};
    };
    auto pages = [](const QString& pdf) {
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        text.waitForFinished(60000);
        return QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    };
    auto render = [](const QString& pdf, int page) {
        QProcess r;
        r.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-f"), QString::number(page),
                                              QStringLiteral("-l"), QString::number(page), pdf});
        r.waitForFinished(60000);
        return std::pair{r.exitCode(), r.readAllStandardOutput()};
    };
    const auto [offCode, off] = report(QStringLiteral("off"));
    const auto [onCode, on] = report(QStringLiteral("on"));
    QCOMPARE(offCode, 0);
    QCOMPARE(onCode, 0);
    const QStringList plain = pages(off), detailed = pages(on);
    QCOMPARE(plain.size(), 1);
    QVERIFY2(detailed.size() >= 3, qPrintable(QString::number(detailed.size())));
    // The first page as it was, in its text and its pixels.
    QCOMPARE(detailed[0], plain[0]);
    QCOMPARE(render(on, 1), render(off, 1));
    for (int page = 2; page <= detailed.size(); ++page) {
        const auto [code, image] = render(on, page);
        QCOMPARE(code, 0);
        QVERIFY(!image.isEmpty());
        QVERIFY2(detailed[page - 1].contains(QStringLiteral("種類")), qPrintable(QStringLiteral("page %1").arg(page)));
    }
    const QString details = detailed.mid(1).join(QLatin1Char('\n'));
    QVERIFY(details.contains(QStringLiteral("detail.jpg")));
    for (const ResultRow& r : rows)
        QVERIFY2(details.contains(QString::fromStdString(r.valueText)), r.valueText.c_str());
    QVERIFY(details.contains(QStringLiteral("外壁")));
    QVERIFY(details.contains(QStringLiteral("窓")));
    QVERIFY(rows[2].chainTotal);
    QVERIFY(details.contains(QString::fromStdString(rows[2].chainText)));
    QCOMPARE(totals.size(), std::size_t{3});
    for (const GroupTotal& t : totals) {
        QVERIFY(details.contains(QStringLiteral("グループ%1").arg(t.group)));
        QVERIFY2(details.contains(QString::fromStdString(FormatNumber0(t.length))), FormatNumber0(t.length).c_str());
        QVERIFY2(details.contains(QString::fromStdString(FormatYen(t.cost))), FormatYen(t.cost).c_str());
    }
    // Each result's uncertainty in the column after its value, on its own
    // row as the page lays it out; each group's sums with theirs.
    QProcess layout;
    layout.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), on,
                                               QStringLiteral("-")});
    QVERIFY(layout.waitForFinished(60000));
    const QString laidOut = QString::fromUtf8(layout.readAllStandardOutput());
    QVERIFY(laidOut.contains(QRegularExpression(QStringLiteral("値\\s+±\\s+勾配V"))));
    for (const ResultRow& r : rows) {
        QVERIFY(r.uncertainty);
        const bool area = r.kind == ResultKind::Area;
        const QString row = QStringLiteral("(?m)^\\s*%1\\s+%2\\s+%3\\s+(%4\\s+)?%5%6\\s+%7%6(\\s|$)")
                                .arg(area ? QStringLiteral("面積") : QStringLiteral("距離"))
                                .arg(r.number)
                                .arg(r.group)
                                .arg(QRegularExpression::escape(QString::fromStdString(r.name)),
                                     QRegularExpression::escape(QString::fromStdString(r.valueText)),
                                     area ? QStringLiteral("㎡") : QStringLiteral("㎜"),
                                     QRegularExpression::escape(QString::fromStdString(r.uncertaintyText)));
        QVERIFY2(laidOut.contains(QRegularExpression(row)), qPrintable(row));
    }
    for (const GroupTotal& t : totals) {
        QVERIFY(t.lengthUncertainty);
        const QString line = QStringLiteral("グループ%1:\\s+長さ=%2㎜,\\s+面積=%3㎡")
                                 .arg(t.group)
                                 .arg(QRegularExpression::escape(QString::fromStdString(LengthTotalText(t))),
                                      QRegularExpression::escape(QString::fromStdString(AreaTotalText(t))));
        QVERIFY2(laidOut.contains(QRegularExpression(line)), qPrintable(line));
    }
    // Worked out for the preferences' precision, not the default.
    QVERIFY(rows[0].uncertaintyText != atDefault);

    // The check distances after the results, kept with the photo and read
    // by batch mode: one row each, then their summary.
    QVERIFY(laidOut.contains(QStringLiteral("検証距離 (実際の長さが分かっている距離)")));
    QCOMPARE(checks.size(), std::size_t{2});
    auto signedFixed = [](double x, int decimals) {
        const std::string t = FormatFixed(x, decimals);
        return QRegularExpression::escape(QString::fromStdString(t.front() == '-' ? t : "+" + t));
    };
    for (const CheckResult& c : checks) {
        const QString row = QStringLiteral("(?m)^\\s*%1\\s+%2㎜\\s+%3㎜\\s+%4㎜\\s+%5㎜\\s+%6 %\\s+%7")
                                .arg(c.number)
                                .arg(QString::fromStdString(FormatPlain(c.known)),
                                     QString::fromStdString(FormatFixed(c.measured, 1)),
                                     QRegularExpression::escape(QString::fromStdString(PlusMinus(*c.uncertainty))),
                                     signedFixed(c.deviation, 1), signedFixed(c.relative * 100, 2),
                                     c.within ? QStringLiteral("2σ以内") : QStringLiteral("2σ超"));
        QVERIFY2(laidOut.contains(QRegularExpression(row)), qPrintable(row));
    }
    QVERIFY2(laidOut.contains(QString::fromStdString(CheckSummaryLine(SummariseChecks(checks)))),
             CheckSummaryLine(SummariseChecks(checks)).c_str());
}

// The reference plane straight on, from the menu at the size the user gives
// and from batch mode: a PNG that records its scale, a world file beside it,
// and a clear refusal past 100 megapixels.
void WindowTest::theStraightOnImageFromTheMenuAndBatchMode()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("plane.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    const QString png = f.home.filePath(QStringLiteral("menu.png"));
    f.prompter->inputBoxAnswer = "0.5";
    f.prompter->textTarget = png;
    w.Action(QStringLiteral("mnRectifiedOut"))->trigger();
    QImage menuImage(png);
    QVERIFY(!menuImage.isNull());
    QCOMPARE(menuImage.dotsPerMeterX(), 2000);
    const QList<QByteArray> world = Bytes(f.home.filePath(QStringLiteral("menu.pgw"))).split('\n');
    QVERIFY(world.size() >= 6);
    QCOMPARE(world[0], QByteArray("0.5"));
    QCOMPARE(world[3], QByteArray("-0.5"));
    f.prompter->answers = {true};
    f.Close();

    auto run = [&](const QString& out, const QString& size, const QString& overlay = QStringLiteral("off")) {
        QProcess p;
        p.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                               QStringLiteral("--rectified"), out, QStringLiteral("--mm-per-px"), size,
                                               QStringLiteral("--overlay"), overlay});
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    };
    const QString half = f.home.filePath(QStringLiteral("batch.png"));
    QCOMPARE(run(half, QStringLiteral("1")).first, 0);
    const QImage batchImage(half);
    QCOMPARE(batchImage.dotsPerMeterX(), 1000);
    // Half the pixels a side at twice the millimetres a pixel.
    QVERIFY(std::abs(batchImage.width() * 2 - menuImage.width()) <= 2);
    QVERIFY(QFile::exists(f.home.filePath(QStringLiteral("batch.pgw"))));
    // With the overlay, the distance is drawn in its colour; without, nowhere.
    const QString drawn = f.home.filePath(QStringLiteral("drawn.png"));
    QCOMPARE(run(drawn, QStringLiteral("1"), QStringLiteral("on")).first, 0);
    auto distancePixels = [](const QImage& image) {
        const QColor colour = ColorOf(TAppSettings{}.ColorDistance);
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == colour;
        return n;
    };
    QVERIFY(distancePixels(QImage(drawn)) > 10);
    QCOMPARE(distancePixels(batchImage), 0);
    const QString huge = f.home.filePath(QStringLiteral("huge.png"));
    const auto [code, err] = run(huge, QStringLiteral("0.0001"));
    QVERIFY(code != 0);
    QVERIFY2(err.contains(QStringLiteral("100 megapixels")), qPrintable(err));
    QVERIFY(!QFile::exists(huge));
}

void WindowTest::exportsThroughTheMenus()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("front.jpg"), Qt::gray);
    Measure(w);
    const QString csv = f.home.filePath(QStringLiteral("out/front.csv"));
    QDir(f.home.path()).mkdir(QStringLiteral("out"));
    f.prompter->textTarget = csv;
    w.Action(QStringLiteral("mnCsvOut"))->trigger();
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("front.csv"));
    QCOMPARE(Bytes(csv), QByteArray::fromStdString(CsvBytes(w.Doc(), true)));
    QCOMPARE(QString::fromStdString(w.Settings().CsvFolder), f.home.filePath(QStringLiteral("out")));

    Set(w, [&](Document& d) { d.View.SpaceNameView = false; });
    w.Action(QStringLiteral("mnCsvOut"))->trigger();
    QCOMPARE(Bytes(csv), QByteArray::fromStdString(CsvBytes(w.Doc(), false)));

    const QString sd = f.home.filePath(QStringLiteral("front.jts"));
    f.prompter->textTarget = sd;
    w.Action(QStringLiteral("mnCsvOut2"))->trigger();
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("front.jts"));
    QCOMPARE(Bytes(sd), QByteArray::fromStdString(SdBytes(w.Doc(), 0)));

    // A target that cannot be replaced: reported, the trail names the export,
    // and what stood there stays.
    const QString blocked = f.home.filePath(QStringLiteral("blocked.csv"));
    QDir(f.home.path()).mkdir(QStringLiteral("blocked.csv"));
    f.prompter->textTarget = blocked;
    const std::size_t trail = ErrorTrail::global().size();
    w.Action(QStringLiteral("mnCsvOut"))->trigger();
    QCOMPARE(f.prompter->errors.size(), std::size_t{1});
    QVERIFY(ErrorTrail::global().size() > trail);
    QCOMPARE(ErrorTrail::global().lines()[trail], std::string("mnCsvOut"));
    QVERIFY(QFileInfo(blocked).isDir());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    f.Close();
}

void WindowTest::pd25LengthsForWAndH()
{
    Fixture f;
    TF001& w = f.Open();
    const QString meter = f.home.filePath(QStringLiteral("pd25.csv"));
    {
        QFile out(meter);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray::fromStdString(Utf8ToCp932("番号,種別,値,単位\r\n1,距離,1.234,m,,\r\n2,距離,56.7,cm,,\r\n3,距離,3.5,ft,,\r\n4,距離,2,yd,,\r\n")));
    }
    w.MutableSettings().PD25Flag = true;
    f.prompter->pd25File = meter;
    w.LoadFile(f.Photo(QStringLiteral("m.jpg"), Qt::gray));
    QCOMPARE(w.Pd25Lines().size(), 5);
    QCOMPARE(QString::fromStdString(w.Settings().PD25Folder), f.home.path());
    Set(w, [&](Document& d) { MarkReference(d); });
    w.SetCommand(uCommand::None);

    f.prompter->pd25Pick = 1;
    w.mnBaseLineClick(true);
    QCOMPARE(w.Command(), uCommand::BaseLineW);
    QCOMPARE(w.Doc().KijunWText, std::string("1234"));
    f.prompter->pd25Pick = 2;
    w.mnBaseLineClick(false);
    QCOMPARE(w.Doc().KijunHText, std::string("567"));
    f.prompter->pd25Pick.reset();
    w.mnBaseLineClick(true);
    QCOMPARE(w.Doc().KijunWText, std::string("1234"));  // abort changes nothing

    // Feet are converted; a unit we cannot convert is refused by name.
    f.prompter->pd25Pick = 3;
    w.mnBaseLineClick(false);
    QCOMPARE(w.Doc().KijunHText, std::string("1066.8"));
    f.prompter->pd25Pick = 4;
    const std::size_t warned = f.prompter->warnings.size();
    w.mnBaseLineClick(true);
    QCOMPARE(f.prompter->warnings.size(), warned + 1);
    QVERIFY(f.prompter->warnings.back().find("'yd'") != std::string::npos);
    QCOMPARE(w.Doc().KijunWText, std::string("1234"));

    // A meter's file that cannot be read does not keep the photo closed.
    f.prompter->pd25File = f.home.path();
    w.LoadFile(f.Photo(QStringLiteral("n.jpg"), Qt::gray));
    QVERIFY(w.HasPhoto());
    QVERIFY(w.Pd25Lines().isEmpty());
    QVERIFY(QString::fromStdString(f.prompter->warnings.back()).contains(f.home.path()));

    // With the feature off the list loaded earlier stays.
    f.prompter->pd25File = meter;
    w.LoadFile(f.Photo(QStringLiteral("o.jpg"), Qt::gray));
    w.MutableSettings().PD25Flag = false;
    w.LoadFile(f.Photo(QStringLiteral("p.jpg"), Qt::gray));
    QCOMPARE(w.Pd25Lines().size(), 5);
    f.Close();
}

// The language changes the words the user reads, never the files a peer
// reads: the CSV and SD files are the same bytes, and the report shows the
// same numbers, whichever language wrote them.
void WindowTest::filesAreTheSameInEveryLanguage()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("lang.jpg"), Qt::darkGray);
    w.LoadFile(photo);
    Measure(w);
    f.prompter->answers = {true};
    f.Close();
    std::map<QString, std::map<QString, QByteArray>> written;
    for (const QString& lang : {QStringLiteral("ja"), QStringLiteral("en")}) {
        const QString csv = f.home.filePath(lang + QStringLiteral(".csv"));
        const QString sd = f.home.filePath(lang + QStringLiteral(".jts"));
        const QString pdf = f.home.filePath(lang + QStringLiteral(".pdf"));
        QProcess p;
        p.start(QStringLiteral(KALVEX_BINARY),
                {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(), QStringLiteral("--lang"), lang,
                 QStringLiteral("--csv"), csv, QStringLiteral("--sd"), sd, QStringLiteral("--pdf"), pdf});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QProcess text;
        // As laid out on the page: the words of each language are of other
        // widths, and only the layout keeps the reading order of a row.
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        QByteArray numbers;
        static const QRegularExpression number(QStringLiteral("[0-9][0-9,.]*"));
        // The unit, not a number: the English detail pages write the square metre as "m2".
        const QString words = QString::fromUtf8(text.readAllStandardOutput()).replace(QStringLiteral("m2"), QStringLiteral("㎡"));
        for (const auto& m : number.globalMatch(words))
            numbers += m.captured().toUtf8() + ' ';
        written[lang] = {{QStringLiteral("csv"), Bytes(csv)}, {QStringLiteral("sd"), Bytes(sd)},
                         {QStringLiteral("report's numbers"), numbers}};
    }
    for (const auto& [what, bytes] : written[QStringLiteral("ja")]) {
        QVERIFY2(!bytes.isEmpty(), qPrintable(what));
        QVERIFY2(written[QStringLiteral("en")][what] == bytes,
                 qPrintable(what + QStringLiteral(":\n") + QString::fromUtf8(bytes) + QStringLiteral("\n") +
                            QString::fromUtf8(written[QStringLiteral("en")][what])));
    }
}

void WindowTest::batchModeWritesWhatTheMenuWrites()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("batch.jpg"), Qt::darkGray);
    w.LoadFile(photo);
    Measure(w);
    const QString menuCsv = f.home.filePath(QStringLiteral("menu.csv"));
    f.prompter->textTarget = menuCsv;
    w.Action(QStringLiteral("mnCsvOut"))->trigger();
    f.prompter->answers = {true};
    f.Close();  // keeps the measurements in the photo's own files

    const QString temp = QString::fromStdString(f.Temp().string());
    const auto before = Snapshot(temp);
    const QByteArray ini = Bytes(f.home.filePath(QStringLiteral("kvx.ini")));
    QVERIFY(before.size() >= 2);
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(KALVEX_BINARY), args);
        p.waitForFinished(60000);
        return std::tuple{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    };
    const QString batchCsv = f.home.filePath(QStringLiteral("batch.csv"));
    const QString batchSd = f.home.filePath(QStringLiteral("batch.jts"));
    auto [code, out, err] = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                 QStringLiteral("--csv"), batchCsv, QStringLiteral("--sd"), batchSd});
    QCOMPARE(code, 0);
    QVERIFY2(out.isEmpty() && err.isEmpty(), err.constData());
    QCOMPARE(Bytes(batchCsv), Bytes(menuCsv));
    QVERIFY(Bytes(batchSd).contains(QByteArray::fromStdString(Utf8ToCp932("外壁"))));
    QVERIFY(Snapshot(temp) == before);  // the working folder as it was
    QCOMPARE(Bytes(f.home.filePath(QStringLiteral("kvx.ini"))), ini);  // batch mode writes no settings

    // Names off and another setting (empty there).
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                     QStringLiteral("--setting"), QStringLiteral("2"), QStringLiteral("--names"),
                                     QStringLiteral("off"), QStringLiteral("--csv"), batchCsv});
    QCOMPARE(code, 0);
    QVERIFY(!Bytes(batchCsv).contains("150"));
    QVERIFY(Snapshot(temp) == before);

    const QString nothing = f.home.filePath(QStringLiteral("nothing.csv"));
    std::tie(code, out, err) = run({QStringLiteral("--batch"), f.home.filePath(QStringLiteral("missing.jpg")),
                                     QStringLiteral("--home"), f.home.path(), QStringLiteral("--csv"), nothing});
    QVERIFY(code != 0);
    QVERIFY(err.startsWith("kalvex: "));
    QVERIFY(!QFile::exists(nothing));

    QDir(f.home.path()).mkdir(QStringLiteral("taken.csv"));
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                     QStringLiteral("--csv"), f.home.filePath(QStringLiteral("taken.csv"))});
    QVERIFY(code != 0);
    QVERIFY2(err.contains("is a folder"), err.constData());
    QVERIFY(QFileInfo(f.home.filePath(QStringLiteral("taken.csv"))).isDir());

    // Standard output takes the CSV as it is (a pipe here), and a link keeps
    // pointing at the file it names, which gets the new CSV.
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                     QStringLiteral("--csv"), QStringLiteral("/dev/stdout")});
    QCOMPARE(code, 0);
    QCOMPARE(out, Bytes(menuCsv));
    const QString linked = f.home.filePath(QStringLiteral("linked.csv"));
    QVERIFY(QFile::link(menuCsv, linked));
    QVERIFY(QFile::remove(batchCsv) && QFile::copy(menuCsv, batchCsv));
    QFile::remove(menuCsv);
    QVERIFY(QFile(menuCsv).open(QIODevice::WriteOnly));
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                     QStringLiteral("--csv"), linked});
    QCOMPARE(code, 0);
    QVERIFY(QFileInfo(linked).isSymLink());
    QCOMPARE(Bytes(menuCsv), Bytes(batchCsv));
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--group"), QStringLiteral("9")});
    QVERIFY(code != 0);
}

namespace {

// Runs a tool of the system (qpdf, poppler) and gives its exit code and output.
std::pair<int, QByteArray> Tool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return {-1, {}};
    return {p.exitCode(), p.readAllStandardOutput()};
}

// The page's drawing operators, uncompressed.
QByteArray Uncompressed(const QString& pdf, const QString& work)
{
    const QString qdf = work + QStringLiteral(".qdf");
    Tool(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), pdf, qdf});
    return Bytes(qdf);
}

} // namespace

void WindowTest::pdfReportThroughTheMenu()
{
    Fixture f;
    TF001& w = f.Open();
    // 800 x 600: landscape, s = 595 / 600, placed 793 x 595 at (24, 0), as a 4000 x 3000 photo.
    w.LoadFile(f.Photo(QStringLiteral("report.jpg"), Qt::lightGray, QSize(800, 600)));
    Measure(w);
    Set(w, [&](Document& d) { d.KijunWText = "400"; });
    Set(w, [&](Document& d) { d.KijunHText = "300"; });
    const QString pdf = f.home.filePath(QStringLiteral("report.pdf"));
    f.prompter->textTarget = pdf;
    w.Action(QStringLiteral("mnPdfOut"))->trigger();
    QVERIFY2(f.prompter->errors.empty(), f.prompter->errors.empty() ? "" : f.prompter->errors[0].c_str());
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("report.pdf"));
    QVERIFY(QFile::exists(f.Temp().string().c_str() + QStringLiteral("/~.bmp")));
    QCOMPARE(f.prompter->opened.back(), pdf);
    QCOMPARE(f.prompter->infos.back(), (QStringLiteral("ＰＤＦファイル出力完了.\r") + pdf).toStdString());

    QCOMPARE(Tool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).first, 0);
    const auto info = Tool(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.second.contains("842 x 595 pts"), info.second.constData());
    const QByteArray content = Uncompressed(pdf, f.home.filePath(QStringLiteral("r")));
    QVERIFY(content.contains("1 0 0 1 24 0 cm"));
    QVERIFY(content.contains("793 0 0 595 0 0 cm"));
    const auto text = Tool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY2(text.second.contains(QStringLiteral("外壁").toUtf8()), text.second.constData());
    QVERIFY2(text.second.contains(QStringLiteral("㎡(").toUtf8()), text.second.constData());
    QCOMPARE(Tool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"), pdf,
                                               f.home.filePath(QStringLiteral("page"))})
                 .first,
             0);

    // All toggles off: only the photo.
    for (const char* toggle : {"mnBaseView", "mnDistanceView", "mnSpaceView"})
        w.Action(QString::fromLatin1(toggle))->trigger();
    w.Action(QStringLiteral("mnPdfOut"))->trigger();
    const QByteArray bare = Uncompressed(pdf, f.home.filePath(QStringLiteral("b")));
    QVERIFY(!bare.contains(" l\r"));
    f.Close();
}

void WindowTest::pdfReportOfBothPlanes()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("corner.jpg"), Qt::lightGray, QSize(600, 600));
    w.mnChangeClick(4);
    Set(w, [&](Document& d) { d.SixPoint = SixPointFromClick({300, 100}, {0, 0}, {600, 600}); });
    Set(w, [&](Document& d) { BuildTwoPlanes(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {100, 300}, {200, 320}}); });
    Set(w, [&](Document& d) { d.ParkedPlane.Distances.Append(TDistance{0, {400, 300}, {500, 320}}); });
    w.SetCommand(uCommand::None);
    const QString pdf = f.home.filePath(QStringLiteral("two.pdf"));
    f.prompter->textTarget = pdf;
    f.prompter->viewerAvailable = true;
    w.Action(QStringLiteral("mnPdfOut"))->trigger();
    QVERIFY(f.prompter->infos.empty());  // a viewer opened it
    QCOMPARE(w.Doc().CurrentBase, 2);       // the second plane stays current
    const auto info = Tool(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.second.contains("595 x 842 pts"), info.second.constData());  // square: portrait
    const QByteArray content = Uncompressed(pdf, f.home.filePath(QStringLiteral("t")));
    QCOMPARE(content.count("0.5 w"), 2 * 9);  // both planes: each distance a line and two circles of four arcs
    f.Close();
}

void WindowTest::printingPutsTheMarksOnThePhoto()
{
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().ColorDistance = 0x00FF00;  // pure green, easy to find
    w.LoadFile(f.Photo(QStringLiteral("print.jpg"), QColor(128, 128, 128), QSize(800, 600)));
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.View.TextView = false; });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {200, 300}, {600, 300}}); });
    w.SetCommand(uCommand::None);
    const QString pdf = f.home.filePath(QStringLiteral("printed.pdf"));
    w.mnPrintClick();  // cancelled: nothing printed
    QVERIFY(!QFile::exists(pdf));
    f.prompter->printTo = pdf;
    w.mnPrintClick();
    QVERIFY(QFile::exists(pdf));
    QCOMPARE(Tool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).first, 0);
    const QString png = f.home.filePath(QStringLiteral("printed"));
    QCOMPARE(Tool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                               QStringLiteral("-singlefile"), pdf, png})
                 .first,
             0);
    QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    // The photo fills the page width (landscape photo on a portrait page); the
    // distance runs from x = 200 to 600 of 800 at mid height of the photo.
    int minX = page.width(), maxX = -1;
    long long sumY = 0, count = 0;
    QRect grey;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.green() > 200 && c.red() < 80 && c.blue() < 80) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                sumY += y;
                ++count;
            }
            if (std::abs(c.red() - 128) < 12 && std::abs(c.green() - 128) < 12 && std::abs(c.blue() - 128) < 12)
                grey = grey.united(QRect(x, y, 1, 1));
        }
    }
    QVERIFY(count > 0);
    QVERIFY(grey.width() > 100);
    const double scale = grey.width() / 800.0;
    QVERIFY2(std::abs(minX - (grey.left() + 200 * scale)) <= 4, qPrintable(QStringLiteral("%1 vs %2").arg(minX).arg(grey.left() + 200 * scale)));
    QVERIFY(std::abs(maxX - (grey.left() + 600 * scale)) <= 4);
    QVERIFY(std::abs(static_cast<double>(sumY) / static_cast<double>(count) - (grey.top() + 300 * scale)) <= 4);
    f.Close();
}

namespace {

// The words of a PDF's first page with their boxes (points, y down).
std::vector<std::pair<QString, QRectF>> Words(const QString& pdf)
{
    std::vector<std::pair<QString, QRectF>> words;
    const auto [code, html] = Tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (code != 0)
        return words;
    static const QRegularExpression word(
        QStringLiteral(R"re(xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]+)<)re"));
    for (auto it = word.globalMatch(QString::fromUtf8(html)); it.hasNext();) {
        const auto m = it.next();
        const double x0 = m.captured(1).toDouble(), y0 = m.captured(2).toDouble();
        words.emplace_back(m.captured(5), QRectF(QPointF(x0, y0), QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())));
    }
    return words;
}

} // namespace

void WindowTest::thePrintedPageIsTheReportPage()
{
    Fixture f;
    TF001& w = f.Open();
    w.LoadFile(f.Photo(QStringLiteral("page.jpg"), QColor(128, 128, 128), QSize(800, 600)));
    Measure(w);
    Set(w, [&](Document& d) {
        SetBaseUnit(d, {150, 150}, {250, 220});  // its dashed lines reach the photo's edges
        d.View.TextView = true;
        d.View.SpaceNameView = true;
    });
    const QString printed = f.home.filePath(QStringLiteral("printed.pdf"));
    const QString report = f.home.filePath(QStringLiteral("report.pdf"));
    f.prompter->printTo = printed;
    w.mnPrintClick();
    f.prompter->textTarget = report;
    w.mnPdfOutClick();
    QVERIFY(QFile::exists(printed) && QFile::exists(report));

    // The area's name and its value: two lines, one above the other, on
    // both pages in the same places relative to the page.
    auto label = [](const QString& pdf) {
        QRectF name, value;
        // The first page's: the report's detailed pages come after it.
        for (const auto& [text, box] : Words(pdf)) {
            if (text.contains(QStringLiteral("外壁")) && name.isEmpty())
                name = box;
            else if (text.contains(QLatin1Char('(')) && text.contains(QLatin1Char('.')) && value.isEmpty())
                value = box;
        }
        return std::pair{name, value};
    };
    const auto [name, value] = label(printed);
    QVERIFY(!name.isEmpty() && !value.isEmpty());
    QVERIFY2(name.bottom() <= value.top() + 0.5, "the name and the value overprint");
    const auto [reportName, reportValue] = label(report);
    QVERIFY(!reportName.isEmpty() && !reportValue.isEmpty());
    QVERIFY2(std::abs(name.center().y() - reportName.center().y()) < 3 &&
                 std::abs(value.center().y() - reportValue.center().y()) < 3 &&
                 std::abs(value.center().x() - reportValue.center().x()) < 6,
             "the printed label is not where the report has it");

    // Around the photo the paper stays white: no line runs into the margins.
    const QString png = f.home.filePath(QStringLiteral("printed"));
    QCOMPARE(Tool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                               QStringLiteral("-singlefile"), printed, png})
                 .first,
             0);
    const QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    QVERIFY(page.width() > page.height());  // the report's landscape page for a landscape photo
    QRect photo;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (std::abs(c.red() - 128) < 12 && std::abs(c.green() - 128) < 12 && std::abs(c.blue() - 128) < 12)
                photo = photo.united(QRect(x, y, 1, 1));
        }
    QVERIFY(photo.width() > 300);
    int marked = 0;
    const QRect around = photo.adjusted(-2, -2, 2, 2);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (!around.contains(x, y) && QColor(page.pixel(x, y)).lightness() < 235)
                ++marked;
    QCOMPARE(marked, 0);
    f.Close();
}

void WindowTest::imageProcessingPreviewAbortAndRestore()
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
void UseSane(const char* which)
{
    qputenv("SANE_CONFIG_DIR", QByteArray(QT_TESTCASE_SOURCEDIR "/sane/") + which);
    testing_support::PinSaneTestBackend();
}

} // namespace

void WindowTest::scanningSavesAndOpensThePage()
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

void WindowTest::scanFailureAndDiscardLeaveThePhoto()
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

void WindowTest::aScanCanBeCancelled_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("the box's button") << false;
    QTest::newRow("Escape") << true;
}

void WindowTest::aScanCanBeCancelled()
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

void WindowTest::lineBreaksInNamesNeverReachTheSettingsFile()
{
    Fixture f;
    TF001& w = f.Open();
    const QString plain = f.Photo(QStringLiteral("plain.jpg"), Qt::green);
    w.LoadFile(plain);
    // A folder and a photo whose names, written into kvx.ini as they are,
    // would add sections of their own.
    const QString folder = QStringLiteral("site\n[Color]\nBase=255");
    QVERIFY(QDir(f.home.path()).mkdir(folder));
    const QString photo = f.Photo(folder + QStringLiteral("/x\n[DeleteTemp]\nLimit=1\n.jpg"), Qt::red);
    QVERIFY(QFile::exists(photo));
    f.prompter->openPath = photo;
    w.mnOpenClick();
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), photo);  // it opens all the same
    QVERIFY(w.HasPhoto());
    const int limit = w.Settings().DeleteTempLimit;
    const int base = w.Settings().ColorBase;
    QVERIFY(limit != 1 && base != 255);
    f.Close();

    const QByteArray text = Bytes(f.home.filePath(QStringLiteral("kvx.ini")));
    QCOMPARE(text.count("[DeleteTemp]"), 1);
    QCOMPARE(text.count("[Color]"), 1);
    TF001& again = f.Open();
    QCOMPARE(again.Settings().DeleteTempLimit, limit);
    QCOMPARE(again.Settings().ColorBase, base);
    QCOMPARE(QString::fromStdString(again.Settings().LastFileName[1]), plain);
    f.Close();
}

void WindowTest::batchMessagesNameTheUsersFiles()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("damaged.jpg"), Qt::darkGray);
    w.LoadFile(photo);
    const std::string key = PerImageKey(w.Doc().ImageFileName, w.Doc().ImageCheckSum);
    f.Close();
    // The photo's saved measurements of the first setting, cut short after
    // their version.
    const std::filesystem::path saved = PerImageFile(f.Temp(), key, 1);
    std::filesystem::create_directories(f.Temp());
    std::ofstream(saved, std::ios::binary) << std::string("\x03\x00\x00\x00\x01", 5);

    QProcess p;
    p.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                           QStringLiteral("--csv"), f.home.filePath(QStringLiteral("out.csv"))});
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY(p.exitCode() != 0);
    QVERIFY2(err.contains(QString::fromStdString(saved.string())), qPrintable(err));
    QString rest = err;
    rest.remove(f.home.path());
    QVERIFY2(!rest.contains(QDir::tempPath()), qPrintable(err));
}


void FailedSave();

namespace {

// One notch of the wheel over the photo at display point at, as the mouse sends it.
void WheelAt(TF001& w, QPoint at, bool zoomIn)
{
    QWidget* viewport = w.Display()->viewport();
    QWheelEvent wheel(QPointF(at), QPointF(viewport->mapToGlobal(at)), QPoint(), QPoint(0, zoomIn ? -120 : 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
}

} // namespace

void WindowTest::aWheelNotchKeepsTheToolsPoints()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("wheel.jpg"), Qt::gray, QSize(800, 600));
    Set(w, [](Document& d) { MarkReference(d); });

    // Continuous mode: one segment drawn, the chain open, the next corner zoomed in on.
    auto* continuous = static_cast<QCheckBox*>(w.Control(QStringLiteral("CheckBox_DistanceMode")));
    QVERIFY(continuous);
    if (!continuous->isChecked())
        QTest::mouseClick(continuous, Qt::LeftButton);
    w.SetCommand(uCommand::Distance);
    ClickAt(w, TDPoint{120, 120});
    ClickAt(w, TDPoint{200, 130});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    QCOMPARE(w.Doc().InputCount(), 1);
    const double before = w.Display()->CurrentView().DispScale;
    WheelAt(w, Screen(w, TDPoint{200, 130}), true);
    QVERIFY(w.Display()->CurrentView().DispScale != before);
    // The zoom's redraw comes a moment later: the tool is as it was after it.
    QTest::qWait(400);
    QCOMPARE(w.Command(), uCommand::Distance);
    QCOMPARE(w.Doc().InputCount(), 1);
    QCOMPARE(w.Tools().TMode(), TraceKind::Line);  // the rubber band still runs from the last point
    QVERIFY(!w.Display()->viewport()->testAttribute(Qt::WA_SetCursor));  // the tool's own cursor again
    ClickAt(w, TDPoint{260, 160});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 2);
    QCOMPARE(w.Doc().Plane.Distances[2].start, w.Doc().Plane.Distances[1].end);
    QCOMPARE(w.Doc().Plane.Distances[2].prev, 1);  // still one chain
    QCOMPARE(w.Doc().Plane.Distances[1].next, 2);

    // A single distance: its first corner survives the wheel too.
    QTest::mouseClick(continuous, Qt::LeftButton);
    QVERIFY(!continuous->isChecked());
    w.SetCommand(uCommand::Distance);
    ClickAt(w, TDPoint{150, 200});
    WheelAt(w, Screen(w, TDPoint{150, 200}), false);
    QTest::qWait(400);
    QCOMPARE(w.Doc().InputCount(), 1);
    ClickAt(w, TDPoint{250, 220});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 3);
    QVERIFY(Distance(w.Doc().Plane.Distances[3].start, TDPoint{150, 200}) < 2);  // the point clicked before the wheel
    QCOMPARE(w.Doc().Plane.Distances[3].prev, 0);
    f.Close();
}

void WindowTest::aFailedSaveLetsTheUserRetryGoOnOrStay()
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

void WindowTest::anOpenChainIsEndedBeforeTheWorkingFilesAreWritten()
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

void WindowTest::batchReportShowsThePhotoAsTheWindowDoes()
{
    Fixture f;
    TF001& w = f.Open();
    // A landscape photo turned upright in the window and kept that way.
    const QString photo = f.Photo(QStringLiteral("turned.jpg"), Qt::lightGray, QSize(600, 300));
    w.LoadFile(photo);
    ImageEffects turned;
    turned.Rotate = 1;
    f.prompter->effectAnswers = {{1, turned}};
    w.mnEffectClick();
    QCOMPARE(w.WorkImage().Width(), 300);
    f.prompter->answers = {true};
    f.Close();

    const QString pdf = f.home.filePath(QStringLiteral("turned.pdf"));
    QProcess p;
    p.start(QStringLiteral(KALVEX_BINARY),
            {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(), QStringLiteral("--pdf"), pdf});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const auto info = Tool(QStringLiteral("pdfinfo"), {pdf});
    // Upright, as on the screen: a portrait page, not the photo as it was taken.
    QVERIFY2(info.second.contains("595 x 842 pts"), info.second.constData());
}


// Before any photo: how to begin, the recent photos a click away, and no
// coordinates of a point that does not exist.
void WindowTest::anEmptyWindowTellsHowToBegin()
{
    Fixture f;
    const QString first = f.Photo(QStringLiteral("first.jpg"), Qt::darkCyan);
    {
        TF001& w = f.Open();
        auto* hint = w.findChild<QWidget*>(QStringLiteral("StartHint"));
        QVERIFY(hint && hint->isVisible());
        QVERIFY(!w.findChild<QWidget*>(QStringLiteral("StartHint_RecentHeading"))->isVisible());
        QTest::mouseMove(w.Display()->viewport(), QPoint(40, 40));
        QCOMPARE(w.StatusText(0), QString());
        // The hint's own button opens the file dialog, and the photo chosen there.
        f.prompter->openPath = first;
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("StartHint_Open")), Qt::LeftButton);
        QVERIFY(w.HasPhoto());
        QVERIFY(!hint->isVisible());
        f.Close();
    }
    TF001& again = f.Open();
    auto* recent = again.findChild<QPushButton*>(QStringLiteral("StartHint_Recent1"));
    QVERIFY(recent && recent->isVisible());
    QCOMPARE(recent->text(), QStringLiteral("first.jpg"));
    QCOMPARE(recent->toolTip(), first);
    QTest::mouseClick(recent, Qt::LeftButton);
    QVERIFY(again.HasPhoto());
    QCOMPARE(QString::fromStdString(again.Doc().ImageFileName), first);
    f.Close();
}

// A save dialog first proposes the photo's own folder; once a file of that
// kind is written elsewhere, the next one of the kind starts there.
void WindowTest::saveDialogsStartWhereTheFilesBelong()
{
    Fixture f;
    QVERIFY(QDir(f.home.path()).mkpath(QStringLiteral("site/photos")));
    QVERIFY(QDir(f.home.path()).mkpath(QStringLiteral("out")));
    const QString photos = f.home.filePath(QStringLiteral("site/photos"));
    TF001& w = f.Open();
    QImage image(QSize(300, 200), QImage::Format_RGB888);
    image.fill(Qt::gray);
    const QString photo = photos + QStringLiteral("/wall.jpg");
    kvx::Photo(image).SaveJpeg(photo);
    w.LoadFile(photo);
    QVERIFY(w.HasPhoto());
    f.prompter->textTarget = f.home.filePath(QStringLiteral("out/wall.csv"));
    w.mnCsvOutClick();
    w.mnCsvOutClick();
    f.prompter->textTarget.reset();
    w.mnPdfOutClick();
    const std::vector<QString> expected{photos, f.home.filePath(QStringLiteral("out")), photos};
    QCOMPARE(f.prompter->saveFolders, expected);
    f.Close();
}

// The value and its ± stand next to the kind and number whatever the dock's
// width, and a long name is cut with an ellipsis and shown whole on pointing.
void WindowTest::theTableKeepsTheValueInSightAndCutsLongNames()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("names.jpg"), Qt::lightGray, QSize(600, 500));
    Set(w, [&](Document& d) { MarkReference(d); });
    w.Action(QStringLiteral("mnResultsView"))->trigger();
    const std::string longName = "WWWWWWWWWWWWWWWWWWWW";  // the 20 bytes a name may have
    f.prompter->names = {longName};
    w.SetCommand(uCommand::SpaceAdd);
    ClickAt(w, {160, 200});
    ClickAt(w, {260, 260});
    auto* table = w.findChild<QTableWidget*>(QStringLiteral("ResultsTable"));
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->item(0, 3)->toolTip(), QString::fromStdString(longName));
    QVERIFY(table->columnWidth(3) < table->fontMetrics().horizontalAdvance(QString::fromStdString(longName)));
    auto* dock = w.findChild<QDockWidget*>(QStringLiteral("ResultsPanel"));
    w.resizeDocks({dock}, {200}, Qt::Horizontal);
    QCoreApplication::processEvents();
    for (const int column : {4, 5}) {
        const int right = table->columnViewportPosition(column) + table->columnWidth(column);
        QVERIFY2(table->columnViewportPosition(column) >= 0 && right <= table->viewport()->width(),
                 qPrintable(QStringLiteral("column %1 ends at %2 of %3").arg(column).arg(right).arg(table->viewport()->width())));
    }
    f.Close();
}

QTEST_MAIN(WindowTest)
void WindowTest::saveDialogsAddTheirOwnSuffix_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::newRow("PDF report") << QStringLiteral("pdf files (*.pdf)") << QStringLiteral("report.pdf");
    QTest::newRow("CSV") << QStringLiteral("csv files (*.csv)") << QStringLiteral("report.csv");
    QTest::newRow("outline file") << QStringLiteral("csv files (*.jts)") << QStringLiteral("report.jts");
}

void WindowTest::saveDialogsAddTheirOwnSuffix()
{
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QTemporaryDir folder;
    QWidget parent;
    QtPrompter prompter(&parent);
    {
        const ModalScript script({SaveAs(QStringLiteral("report"))});
        const auto path = prompter.SaveText(QStringLiteral("save"), folder.path(), QStringLiteral("x"), filter);
        QVERIFY(script.Done());
        QCOMPARE(path.value_or(QString()), folder.filePath(written));
    }
    // The question about replacing a file is about the name with its suffix.
    QVERIFY(QFile(folder.filePath(written)).open(QIODevice::WriteOnly));
    QStringList seen;
    const ModalScript script({SaveAs(QStringLiteral("report")), Answer(QMessageBox::No, seen),
                              SaveAs(QStringLiteral("other"))});
    const auto path = prompter.SaveText(QStringLiteral("save"), folder.path(), QStringLiteral("x"), filter);
    QVERIFY(script.Done());
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.front().contains(written), qPrintable(seen.front()));
    QCOMPARE(path.value_or(QString()), folder.filePath(QStringLiteral("other.") + QFileInfo(written).suffix()));
}

void WindowTest::imageSaveAsksAboutTheNameItWrites()
{
    QTemporaryDir folder;
    QVERIFY(QFile(folder.filePath(QStringLiteral("photo.jpg"))).open(QIODevice::WriteOnly));
    QWidget parent;
    QtPrompter prompter(&parent);
    QStringList seen;
    {
        // "photo" would be written as the existing "photo.jpg": asked, kept,
        // asked again and replaced.
        const ModalScript script({SaveAs(QStringLiteral("photo")), Answer(QMessageBox::No, seen),
                                  SaveAs(QStringLiteral("photo")), Answer(QMessageBox::Yes, seen)});
        const auto choice = prompter.SaveImage(QStringLiteral("save"), folder.path(), QStringLiteral("x"), 1);
        QVERIFY(script.Done());
        QVERIFY(choice);
        QCOMPARE(choice->path, folder.filePath(QStringLiteral("photo.jpg")));
        QCOMPARE(choice->filter, 1);
        QCOMPARE(seen.size(), 2);
        QVERIFY2(seen.front().contains(folder.filePath(QStringLiteral("photo.jpg"))), qPrintable(seen.front()));
    }
    {
        // With the BMP filter the same name is a new file: no question.
        seen.clear();
        const ModalScript script({SaveAs(QStringLiteral("photo"), QStringLiteral("bmp files (*.bmp)"))});
        const auto choice = prompter.SaveImage(QStringLiteral("save"), folder.path(), QStringLiteral("x"), 1);
        QVERIFY(script.Done());
        QVERIFY(choice);
        QCOMPARE(choice->path, folder.filePath(QStringLiteral("photo.bmp")));
        QCOMPARE(choice->filter, 2);
        QVERIFY(seen.isEmpty());
    }
}

#include "test_window.moc"

void WindowTest::theChosenPlaneStaysCurrentWhateverTheSaveDoes()
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

void WindowTest::theSummarySpeaksOfAreasInTheAreaModesOnly_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("areas");
    QTest::newRow("add") << int(uCommand::SpaceAdd) << true;
    QTest::newRow("subtract") << int(uCommand::SpaceSub) << true;
    QTest::newRow("delete an area") << int(uCommand::SpaceDel) << true;
    QTest::newRow("adjust an area") << int(uCommand::SpaceAdjust) << true;
    QTest::newRow("slope") << int(uCommand::SpaceSlant) << true;
    QTest::newRow("correct an area") << int(uCommand::SpaceHosei) << true;
    QTest::newRow("drop an area's correction") << int(uCommand::SpaceHoseiDel) << true;
    QTest::newRow("rename") << int(uCommand::SpaceNameUpd) << false;
    QTest::newRow("cross line") << int(uCommand::CrossLine) << false;
    QTest::newRow("image range") << int(uCommand::ImageFix) << false;
    QTest::newRow("check distance") << int(uCommand::Check) << false;
    QTest::newRow("distance") << int(uCommand::Distance) << false;
}

// With a distance current and an area beside it, the summary names the
// distance unless an area mode is on.
void WindowTest::theSummarySpeaksOfAreasInTheAreaModesOnly()
{
    QFETCH(int, mode);
    QFETCH(bool, areas);
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("areas.jpg"), Qt::lightGray);
    w.SetCommand(uCommand::Base);
    for (const TDPoint p : {TDPoint{100, 100}, TDPoint{300, 100}, TDPoint{300, 250}, TDPoint{100, 250}})
        ClickAt(w, p);
    w.SetCommand(uCommand::SpaceAdd);
    ClickAt(w, TDPoint{150, 150});
    ClickAt(w, TDPoint{200, 200});
    QCOMPARE(w.Doc().Plane.SpaceCount(), 1);
    w.SetCommand(uCommand::Distance);
    ClickAt(w, TDPoint{120, 120});
    ClickAt(w, TDPoint{250, 130});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
    w.SetCommand(uCommand::None);
    auto* info = static_cast<QLineEdit*>(w.Control(QStringLiteral("Edit_Info")));
    QVERIFY2(info->text().startsWith(QStringLiteral("長さ=")), qPrintable(info->text()));

    if (mode == ModeNumber(uCommand::SpaceNameUpd)) {
        // Through its menu command, as the user enters it.
        QVERIFY(w.ItemEnabled(QStringLiteral("mnSpaceNameUpd")));
        w.Action(QStringLiteral("mnSpaceNameUpd"))->trigger();
    } else {
        w.SetCommand(static_cast<uCommand>(mode));
    }
    QCOMPARE(ModeNumber(w.Command()), mode);
    QVERIFY2(info->text().startsWith(areas ? QStringLiteral("合計面積=") : QStringLiteral("長さ=")), qPrintable(info->text()));
    f.prompter->cancelAnswers = {false};
    f.Close();
}

// The exports need a photo: without one their items are off, and the drawing's
// handler writes nothing even when reached.
void WindowTest::exportsWaitForAPhoto()
{
    Fixture f;
    TF001& w = f.Open();
    const QStringList exports = {QStringLiteral("mnPdfOut"),   QStringLiteral("mnCsvOut"),  QStringLiteral("mnCsvOut2"),
                                 QStringLiteral("mnDxfOut"),   QStringLiteral("mnTableOut"),
                                 QStringLiteral("mnRectifiedOut")};
    for (const QString& name : exports) {
        QVERIFY2(!w.ItemEnabled(name), qPrintable(name));
        QVERIFY2(!w.Action(name)->isEnabled(), qPrintable(name));
    }
    const QString drawing = f.home.filePath(QStringLiteral("nothing.dxf"));
    f.prompter->textTarget = drawing;
    w.mnDxfOutClick();
    QVERIFY(!QFileInfo::exists(drawing));

    w.LoadFile(f.Photo(QStringLiteral("now.jpg"), Qt::gray));
    for (const QString& name : exports)
        QVERIFY2(w.ItemEnabled(name), qPrintable(name));
    f.Close();
}

// W and H typed before the reference's last corner: the reference is judged as
// it closes, and again when a corner is moved.
void WindowTest::aWeakReferenceIsToldWhenItClosesOrIsAdjusted()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("stray.jpg"), Qt::lightGray, QSize(600, 500));
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == QStringLiteral("TFTitle"))
            top->close();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto type = [&](const char* width, const char* height) {
        for (auto [field, text] : {std::pair{QStringLiteral("chCalcEdit_KijunW"), width},
                                   std::pair{QStringLiteral("chCalcEdit_KijunH"), height}}) {
            auto* edit = static_cast<QLineEdit*>(w.Control(field));
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QString::fromLatin1(text));
            QTest::keyClick(edit, Qt::Key_Return);
        }
        QCoreApplication::processEvents();
    };
    auto reference = [&](const std::array<TDPoint, 4>& corners) {
        w.mnBaseClick();
        for (const TDPoint p : corners)
            ClickAt(w, p);
        QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
        QTest::qWait(50);
    };
    auto weak = [&] {
        const std::optional<ReferenceStrength> s = ReferenceStrengthAt(w.Doc(), {300, 250}, kDefaultClickSigma);
        return s && s->relative > kWeakReference;
    };

    // Sizes first, then a sound reference: nothing to say.
    type("2600", "2100");
    reference({TDPoint{40, 40}, {560, 45}, {555, 460}, {45, 455}});
    QVERIFY(!weak());
    QCOMPARE(f.prompter->warnings.size(), std::size_t{0});

    // Its corner moved far out of place: told at once, without typing.
    w.SetCommand(uCommand::BaseAdjust);
    ClickAt(w, TDPoint{555, 460});
    ClickAt(w, TDPoint{500, 150});
    QVERIFY(Distance(w.Doc().Plane.base.BaseRect[3], TDPoint{500, 150}) < 1);  // to a screen pixel
    QVERIFY(weak());
    QTRY_COMPARE(f.prompter->warnings.size(), std::size_t{1});
    // Moved again, still weak: told once.
    ClickAt(w, TDPoint{500, 150});
    ClickAt(w, TDPoint{505, 155});
    QVERIFY(weak());
    QTest::qWait(50);
    QCOMPARE(f.prompter->warnings.size(), std::size_t{1});

    // A new reference of a few pixels, its sizes typed before its corners.
    w.SetCommand(uCommand::None);
    f.prompter->answers = {true};
    reference({TDPoint{288, 241}, {312, 241}, {312, 259}, {288, 259}});
    QVERIFY(weak());
    QTRY_COMPARE(f.prompter->warnings.size(), std::size_t{2});
    f.prompter->cancelAnswers = {false};
    f.Close();
}

void WindowTest::aClosedReferenceAsksForItsSizes_data()
{
    QTest::addColumn<bool>("twoPlanes");
    QTest::newRow("four corners") << false;
    QTest::newRow("six points of two planes") << true;
}

// The last click of a reference: the prompt asks for W and H, and what the
// user types next replaces the W field's text.
void WindowTest::aClosedReferenceAsksForItsSizes()
{
    QFETCH(bool, twoPlanes);
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("sizes.jpg"), Qt::lightGray, QSize(600, 500));
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == QStringLiteral("TFTitle"))
            top->close();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    std::vector<TDPoint> clicks = {TDPoint{100, 100}, {300, 110}, {290, 250}, {110, 240}};
    if (twoPlanes) {
        w.mnChangeClick(4);
        clicks = {TDPoint{300, 100}, {300, 400}, {100, 120}, {100, 380}, {500, 120}, {500, 380}};
    }
    w.mnBaseClick();
    QCOMPARE(w.Command(), twoPlanes ? uCommand::BaseSixPoint : uCommand::Base);
    auto* wField = static_cast<QLineEdit*>(w.Control(QStringLiteral("chCalcEdit_KijunW")));
    for (std::size_t i = 0; i + 1 < clicks.size(); ++i) {
        ClickAt(w, clicks[i]);
        QVERIFY(!w.StatusText(2).isEmpty());
    }
    ClickAt(w, clicks.back());
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    QCOMPARE(w.Command(), uCommand::None);
    QCOMPARE(w.StatusText(2), QString::fromStdString(SizesPrompt()));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(wField));
    QCOMPARE(wField->selectedText(), wField->text());

    // Typed straight away, the digits replace W.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2400"));
    QCOMPARE(w.Doc().KijunWText, std::string("2400"));

    // The next tool has its own prompt.
    w.SetCommand(uCommand::Distance);
    QCOMPARE(w.StatusText(2), QString::fromStdString(*PromptText(uCommand::Distance, 0, false)));
    f.prompter->cancelAnswers = {false};
    f.Close();
}

void WindowTest::theKeepQuestionsButtonsSayWhatTheyDo_data()
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
void WindowTest::theKeepQuestionsButtonsSayWhatTheyDo()
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

void WindowTest::aRedoLeavesOneRowSelected_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Ctrl+Y") << int(Qt::Key_Y) << int(Qt::ControlModifier);
    QTest::newRow("Ctrl+Shift+Z") << int(Qt::Key_Z) << int(Qt::ControlModifier | Qt::ShiftModifier);
}

// After undo and redo by the keys, the table of results selects the current
// mark's row alone, and Delete removes that mark only.
void WindowTest::aRedoLeavesOneRowSelected()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("redo.jpg"), Qt::gray, QSize(500, 400));
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == QStringLiteral("TFTitle"))
            top->close();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    Set(w, [&](Document& d) { MarkReference(d); });
    w.Action(QStringLiteral("mnResultsView"))->trigger();
    auto* table = w.findChild<QTableWidget*>(QStringLiteral("ResultsTable"));
    QVERIFY(table && table->isVisible());
    w.SetCommand(uCommand::Distance);
    ClickAt(w, {120, 150});
    ClickAt(w, {200, 160});
    ClickAt(w, {120, 200});
    ClickAt(w, {220, 210});
    ClickAt(w, {130, 230});
    ClickAt(w, {240, 235});
    QCOMPARE(w.Doc().Plane.DistanceCount(), 3);
    // The first row chosen in the table.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(0, 1)).center());
    QCOMPARE(w.Doc().CurrentDistance, 1);
    w.Display()->setFocus();

    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 2);
    QTest::keyClick(&w, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(w.Doc().Plane.DistanceCount(), 3);
    const QModelIndexList chosen = table->selectionModel()->selectedRows();
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(table->item(chosen.front().row(), 1)->text(), QString::number(w.Doc().CurrentDistance));

    table->setFocus();
    QTest::keyClick(table, Qt::Key_Delete);
    QCOMPARE(w.Doc().Plane.DistanceCount(), 2);
    f.prompter->cancelAnswers = {false};
    f.Close();
}

// The loupe stands beside the pointer over the photo only: the pointer leaving
// the photo, another window taking the focus or a dialog opening take it away.
void WindowTest::theLoupeGoesWhenThePointerOrTheFocusLeaves()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("loupe.jpg"), Qt::gray, QSize(600, 500));
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == QStringLiteral("TFTitle"))
            top->close();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    Set(w, [&](Document& d) { MarkReference(d); });
    w.Action(QStringLiteral("mnLoupe"))->trigger();
    w.SetCommand(uCommand::Distance);
    QWidget* viewport = w.Display()->viewport();
    const QPoint at = Screen(w, {300, 250});
    auto shown = [&] {
        QTest::mouseMove(viewport, at);
        QTest::mouseMove(viewport, at + QPoint(2, 1));
        return !w.Display()->LoupeRect().isEmpty();
    };

    // The pointer leaves the photo.
    QVERIFY(shown());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(viewport, &leave);
    QVERIFY(w.Display()->LoupeRect().isEmpty());

    // Another window takes the focus.
    QVERIFY(shown());
    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_VERIFY(w.Display()->LoupeRect().isEmpty());
    other.close();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // A dialog opens.
    QVERIFY(shown());
    bool hiddenWhileAsked = false;
    const ModalScript script({[&](QWidget* top) {
        auto* box = qobject_cast<QMessageBox*>(top);
        if (!box)
            return false;
        hiddenWhileAsked = w.Display()->LoupeRect().isEmpty();
        QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
        return true;
    }});
    QMessageBox::information(&w, QStringLiteral("t"), QStringLiteral("asked"));
    QVERIFY(script.Done());
    QVERIFY(hiddenWhileAsked);
    f.prompter->cancelAnswers = {false};
    f.Close();
}
