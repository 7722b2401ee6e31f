// Every word of the interface fits the widget that shows it, in both
// languages, and every menu item can be reached from the keyboard.  The suite
// runs once at the screen's own scale and once more with QT_SCALE_FACTOR=2.

#include "shell/main_window.h"

#include "shell/application.h"
#include "shell/dialogs.h"
#include "widgets/area_dialogs.h"
#include "widgets/calc_edit.h"
#include "widgets/effect_dialog.h"
#include "widgets/list_dialog.h"
#include "widgets/property_dialog.h"
#include "widgets/scan_dialog.h"
#include "base/error_trail.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <functional>
#include <memory>
#include <set>

using namespace kvx;

namespace {

QString Describe(const QWidget* w, const QString& text)
{
    return QStringLiteral("%1 (%2) \"%3\"").arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()), text);
}

// The widgets of top whose text is cut: narrower than the room their words ask for.
QStringList ClippedTexts(const QWidget* top)
{
    QStringList clipped;
    for (const QWidget* w : top->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(top) || w->width() <= 0)
            continue;
        QString text;
        int needed = 0;
        if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            text = b->text();
            // A check box or radio button needs its indicator too; a push
            // button's hint adds a style's minimum width that no text needs.
            if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w))
                needed = b->sizeHint().width();
            else
                needed = b->fontMetrics().horizontalAdvance(QString(text).remove(QRegularExpression(QStringLiteral("&(?!&)")))) + 8;
        } else if (const auto* l = qobject_cast<const QLabel*>(w)) {
            // Texts that wrap or are shortened on purpose, and pictures, have no width of their own.
            if (l->wordWrap() || l->text().isEmpty() || Qt::mightBeRichText(l->text()) || !l->pixmap().isNull())
                continue;
            text = l->text();
            needed = l->fontMetrics().horizontalAdvance(text) + 2 * l->margin() + 2 * l->frameWidth();
        } else if (const auto* c = qobject_cast<const QComboBox*>(w)) {
            text = c->currentText();
            if (c->isEditable())
                continue;
            needed = c->minimumSizeHint().width();
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            text = g->title();
            needed = g->fontMetrics().horizontalAdvance(text);
        }
        if (text.isEmpty())
            continue;
        if (w->width() < needed)
            clipped << QStringLiteral("%1: %2 < %3").arg(Describe(w, text)).arg(w->width()).arg(needed);
        // Wide enough, but standing out of the panel or dialog that holds it.
        const QWidget* parent = w->parentWidget();
        const bool scrolled = parent && qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        if (parent && !scrolled && !parent->rect().contains(w->geometry()))
            clipped << QStringLiteral("%1: outside %2").arg(Describe(w, text), parent->objectName());
    }
    return clipped;
}

// The items of a menu and of the menus under it, with the menu that holds each.
void WalkMenu(const QMenu* menu, const std::function<void(const QMenu*, const QList<QAction*>&)>& visit)
{
    QList<QAction*> items;
    for (QAction* a : menu->actions()) {
        // The recent photos are named by their paths and numbered at run time.
        if (a->isSeparator() || a->text().isEmpty() || a->objectName().startsWith(QStringLiteral("mnLastFileName")))
            continue;
        items << a;
        if (a->menu())
            WalkMenu(a->menu(), visit);
    }
    visit(menu, items);
}

// The underlined letter of a caption, upper case; empty when none.
QString Mnemonic(const QString& caption)
{
    static const QRegularExpression letter(QStringLiteral("&([^&])"));
    const QRegularExpressionMatch m = letter.match(QString(caption).remove(QStringLiteral("&&")));
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

struct Fixture {
    QTemporaryDir home;
    QTemporaryDir resources;
    std::unique_ptr<TF001> window;

    TF001& Open()
    {
        AppPaths paths;
        paths.folders = ResolveFolders(home.path().toStdString(), nullptr, "/nonexistent");
        paths.resourceFolder = resources.path();
        window = std::make_unique<TF001>(paths);
        window->resize(1000, 740);
        window->show();
        QCoreApplication::processEvents();
        return *window;
    }
};

void UseLanguage(UiLanguage language)
{
    for (auto* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    InstallLanguage(*QCoreApplication::instance(), language);
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { UseLanguage(UiLanguage::Japanese); }

    void menuItemsHaveTheirOwnLetter_data();
    void menuItemsHaveTheirOwnLetter();
    void windowTextsFit_data();
    void windowTextsFit();
    void dialogTextsFit_data();
    void dialogTextsFit();
    void toolButtonsTellTheirToolAndKeys_data();
    void toolButtonsTellTheirToolAndKeys();
    void toolEntriesKeepTheirWords_data();
    void toolEntriesKeepTheirWords();
};

void LayoutTest::menuItemsHaveTheirOwnLetter_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Japanese") << static_cast<int>(UiLanguage::Japanese);
    QTest::newRow("English") << static_cast<int>(UiLanguage::English);
}

// Each item of each menu underlines a letter no other item of that menu
// uses; an English caption underlines a letter of its words, the way English
// menus do, not a letter in brackets after them.
void LayoutTest::menuItemsHaveTheirOwnLetter()
{
    QFETCH(int, language);
    UseLanguage(static_cast<UiLanguage>(language));
    Fixture f;
    TF001& w = f.Open();
    QStringList faults;
    static const QRegularExpression bracketed(QStringLiteral("\\(&.\\)"));
    auto checkItems = [&](const QString& where, const QList<QAction*>& items) {
        std::set<QString> letters;
        for (const QAction* a : items) {
            const QString letter = Mnemonic(a->text());
            if (letter.isEmpty())
                faults << QStringLiteral("%1: \"%2\" has no letter").arg(where, a->text());
            else if (!letters.insert(letter).second)
                faults << QStringLiteral("%1: \"%2\" shares the letter %3").arg(where, a->text(), letter);
            if (static_cast<UiLanguage>(language) == UiLanguage::English && bracketed.match(a->text()).hasMatch())
                faults << QStringLiteral("%1: \"%2\" has its letter in brackets").arg(where, a->text());
        }
    };
    QList<QAction*> bar;
    for (QAction* a : w.menuBar()->actions()) {
        bar << a;
        if (a->menu())
            WalkMenu(a->menu(), [&](const QMenu* m, const QList<QAction*>& items) { checkItems(m->title(), items); });
    }
    checkItems(QStringLiteral("menu bar"), bar);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void LayoutTest::windowTextsFit_data()
{
    menuItemsHaveTheirOwnLetter_data();
}

// The window as it first opens: the tool panel, the fields at the top, the
// table of results and the status line.
void LayoutTest::windowTextsFit()
{
    QFETCH(int, language);
    UseLanguage(static_cast<UiLanguage>(language));
    Fixture f;
    TF001& w = f.Open();
    const QStringList clipped = ClippedTexts(&w);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
}

void LayoutTest::dialogTextsFit_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("dialog");
    for (const auto& [language, name] : {std::pair{UiLanguage::Japanese, "Japanese"}, {UiLanguage::English, "English"}}) {
        for (const char* dialog : {"preferences", "image processing", "scanner", "slope", "area name", "list",
                                   "calculator", "error information", "version", "update history"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(name), QLatin1String(dialog))))
                << static_cast<int>(language) << QString::fromLatin1(dialog);
    }
}

void LayoutTest::dialogTextsFit()
{
    QFETCH(int, language);
    QFETCH(QString, dialog);
    UseLanguage(static_cast<UiLanguage>(language));
    QTemporaryDir folder;
    ErrorTrail trail;
    std::unique_ptr<QDialog> d;
    if (dialog == QLatin1String("preferences"))
        d = std::make_unique<TFDProperty>(TAppSettings{}, nullptr);
    else if (dialog == QLatin1String("image processing"))
        d = std::make_unique<TFDEffect>(ImageEffects{}, nullptr);
    else if (dialog == QLatin1String("scanner"))
        d = std::make_unique<TFDScan>(QStringList{QStringLiteral("test:0")}, QStringLiteral("test:0"),
                                      [](const QString&) {}, nullptr);
    else if (dialog == QLatin1String("slope"))
        d = std::make_unique<TFDSlant>(12.5, -3.0, nullptr);
    else if (dialog == QLatin1String("area name"))
        d = std::make_unique<TFNameDlg>(nullptr);
    else if (dialog == QLatin1String("list"))
        d = std::make_unique<TFDList>(nullptr);
    else if (dialog == QLatin1String("calculator"))
        d = std::make_unique<TchCalc>(1234.5, nullptr);
    else if (dialog == QLatin1String("error information"))
        d = std::make_unique<TFDError>(trail, 0, nullptr);
    else if (dialog == QLatin1String("version"))
        d = std::make_unique<TFDVersion>(nullptr);
    else
        d = std::make_unique<TFDHistory>(folder.filePath(QStringLiteral("history.txt")), [](const QString&) {}, nullptr);
    d->show();
    QCoreApplication::processEvents();
    const QStringList clipped = ClippedTexts(d.get());
    d->close();
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
}

void LayoutTest::toolButtonsTellTheirToolAndKeys_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("tip");
    const int ja = static_cast<int>(UiLanguage::Japanese);
    const int en = static_cast<int>(UiLanguage::English);
    QTest::newRow("ja, distance") << ja << "SpeedButton_Distance" << "２点間の距離を求める (Alt+E, L, L)";
    QTest::newRow("ja, adjust an area") << ja << "SpeedButton_SpaceAdjust" << "範囲を調整する (Alt+E, S, J)";
    QTest::newRow("ja, undo: its own shortcut") << ja << "SpeedButton_Undo" << "元に戻す (Ctrl+Z)";
    QTest::newRow("en, distance") << en << "SpeedButton_Distance" << "Distance between two points (Alt+E, D, T)";
    QTest::newRow("en, delete an area") << en << "SpeedButton_SpaceDel" << "Delete an area (Alt+E, A, D)";
    QTest::newRow("en, fit") << en << "SpeedButton_ZoomAll" << "Fit to window (Alt+V, F)";
}

void LayoutTest::toolButtonsTellTheirToolAndKeys()
{
    QFETCH(int, language);
    QFETCH(QString, button);
    QFETCH(QString, tip);
    UseLanguage(static_cast<UiLanguage>(language));
    Fixture f;
    TF001& w = f.Open();
    QWidget* b = w.Control(button);
    QVERIFY(b);
    QCOMPARE(b->toolTip(), tip);
}

void LayoutTest::toolEntriesKeepTheirWords_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("caption");
    struct Entry {
        const char* name;
        const char* japanese;
        const char* english;
    };
    // The tools' menu entries word for word, as users and the manuals know them.
    static const Entry entries[] = {
        {"mnBase", "基準矩形を設定する(&B)", "Set the re&ference rectangle"},
        {"mnBaseAdjust", "基準矩形を調整する(&J)", "Ad&just the reference rectangle"},
        {"mnCrossLine", "設定1･2の基準矩形の交線(&X)", "&Line where the references of settings 1 and 2 meet"},
        {"mnBaseLineW", "計測基準Ｗを設定する(&W)", "Set the measuring base &W"},
        {"mnBaseLineH", "計測基準Ｈを設定する(&H)", "Set the measuring base &H"},
        {"mnBaseLineAdjust", "計測基準ＷＨを調整する(&A)", "Adjust the measuring &bases W and H"},
        {"mnBaseUnit", "計測基準を設定する(&U)", "Set the &measurement base"},
        {"mnBaseUnitAdjust", "計測基準を調整する(&N)", "Adjus&t the measurement base"},
        {"mnDistance", "２点間の距離を求める(&L)", "Distance between &two points"},
        {"mnDistanceAdjust", "２点間を調整する(&J)", "Ad&just a distance"},
        {"mnDistanceHosei", "遠近補正する(&P)", "&Perspective correction"},
        {"mnDistanceHoseiDel", "遠近補正を解除する(&C)", "&Remove the perspective correction"},
        {"mnDistanceDel", "削除する(&D)", "&Delete"},
        {"mnSpaceAdd", "加算する(&A)", "&Add"},
        {"mnSpaceSub", "減算する(&S)", "&Subtract"},
        {"mnSpaceAdjust", "範囲を調整する(&J)", "Ad&just an area"},
        {"mnSpaceHosei", "遠近補正する(&P)", "&Perspective correction"},
        {"mnSpaceHoseiDel", "遠近補正を解除する(&C)", "&Remove the perspective correction"},
        {"mnSpaceSlant", "傾斜設定(&I)", "S&lope"},
        {"mnSpaceNameUpd", "名称変更する(&N)", "Re&name"},
        {"mnSpaceDel", "範囲を削除する(&D)", "&Delete an area"},
        {"mnCheck", "長さの分かっている距離で検証する(&K)", "Chec&k with a known length"},
        {"mnCheckDel", "削除する(&D)", "&Delete"},
        {"mnImageFix", "画像範囲(&F)", "&Image range"},
        {"mnStraightEdge", "直線を指示してレンズを補正(&I)", "Straight &Edges for the Lens"},
        {"mnZoomDown", "1/2倍に縮小(&D)", "Zoom &out 1/2"},
        {"mnZoomUp", "2倍に拡大(&U)", "Zoom &in 2×"},
    };
    for (const Entry& e : entries) {
        QTest::newRow(qPrintable(QStringLiteral("Japanese, %1").arg(QLatin1String(e.name))))
            << static_cast<int>(UiLanguage::Japanese) << QString::fromLatin1(e.name) << QString::fromUtf8(e.japanese);
        QTest::newRow(qPrintable(QStringLiteral("English, %1").arg(QLatin1String(e.name))))
            << static_cast<int>(UiLanguage::English) << QString::fromLatin1(e.name) << QString::fromUtf8(e.english);
    }
}

// The entries of the tools take their words from the table of tools: each
// still reads as it did, in both languages.
void LayoutTest::toolEntriesKeepTheirWords()
{
    QFETCH(int, language);
    QFETCH(QString, entry);
    QFETCH(QString, caption);
    UseLanguage(static_cast<UiLanguage>(language));
    Fixture f;
    TF001& w = f.Open();
    const QAction* action = w.findChild<QAction*>(entry);
    QVERIFY2(action, qPrintable(entry));
    QCOMPARE(action->text(), caption);
}

QTEST_MAIN(LayoutTest)
#include "test_layout.moc"
