// The window's own state driven as a user would: the settings it starts from and
// keeps, the preferences, the languages of its texts and dialogs, the help menu,
// and the errors it tells without stopping.

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
#include "view/view_mapping.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QLabel>
#include <QLineEdit>
#include <QDir>
#include <QDialogButtonBox>
#include <QTranslator>
#include <QTextBlock>
#include <QTextDocument>
#include <QPushButton>
#include <QPainter>
#include <QCheckBox>
#include <QMenuBar>
#include <QMenu>
#include <QGroupBox>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <fstream>
#include <memory>

using namespace kvx;
using namespace kvx::test;

class WindowSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithDefaultsAndShutdownWritesEveryKey();
    void aChoiceIsWrittenAtOnceAndTwoWindowsKeepEachOthers();
    void aPathInAMessageIsNeverWrapped();
    void enablingFollowsTheModel();
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
    void lineBreaksInNamesNeverReachTheSettingsFile();
    void anEmptyWindowTellsHowToBegin();
};

void WindowSettingsTest::startsWithDefaultsAndShutdownWritesEveryKey()
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

void WindowSettingsTest::aChoiceIsWrittenAtOnceAndTwoWindowsKeepEachOthers()
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

void WindowSettingsTest::aPathInAMessageIsNeverWrapped()
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

void WindowSettingsTest::enablingFollowsTheModel()
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

void WindowSettingsTest::shutdownPrunesAndLeavesTheErrorLog()
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

void WindowSettingsTest::modeBoxesMirrorTheirMenuChecks()
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

void WindowSettingsTest::preferencesTakeEffectAfterOk()
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

void WindowSettingsTest::helpMenuAndAuxiliaryWindows()
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

void WindowSettingsTest::qtDialogsSpeakTheUsersLanguage_data()
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
void WindowSettingsTest::qtDialogsSpeakTheUsersLanguage()
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
void WindowSettingsTest::everyTextSpeaksTheInterfacesLanguage()
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

void WindowSettingsTest::aMissingHistoryWarnsOncePerOpening()
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

void WindowSettingsTest::errorsInHandlersAreShownAndTheWindowGoesOn()
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

// A dialog opened from inside a paint paints the window again, which fails
// again: the window locks in a loop of error boxes.  The error is told once,
// after the paint, and told again only after a paint that went well.
void WindowSettingsTest::aDrawingErrorIsToldOnceAfterThePaint()
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

void WindowSettingsTest::lineBreaksInNamesNeverReachTheSettingsFile()
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

// Before any photo: how to begin, the recent photos a click away, and no
// coordinates of a point that does not exist.
void WindowSettingsTest::anEmptyWindowTellsHowToBegin()
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

QTEST_MAIN(WindowSettingsTest)
#include "test_window_settings.moc"
