// Measuring in the window as a user measures: marks taken by mouse and keys,
// undone and redone, the table of results and its totals, the check distances
// and the uncertainty shown for the mark under the pointer.

#include "window_fixture.h"

#include "base/recovery_note.h"

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
#include <QLabel>
#include <QLineEdit>
#include <QDockWidget>
#include <QPainter>
#include <QPolygonF>
#include <QRegularExpression>
#include <QClipboard>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <unistd.h>
#include <cmath>

using namespace kvx;
using namespace kvx::test;

class WindowMarksTest : public QObject {
    Q_OBJECT
private slots:
    void groupSwitchAndFields();
    void undoAndRedoThroughKeysMenuAndButtons();
    void anUndoWhileTheFilesAreWrittenLeavesTheKeptState();
    void keysTakePointsWithoutTheMouse();
    void theTableOfResultsFollowsAndActs();
    void measuringAWallEndToEnd();
    void pointingAtAMarkShowsItsUncertainty();
    void checkDistancesAreDrawnTypedAndKeptWithThePhoto();
    void theTableKeepsTheValueInSightAndCutsLongNames();
    void theSummarySpeaksOfAreasInTheAreaModesOnly_data();
    void theSummarySpeaksOfAreasInTheAreaModesOnly();
    void aRedoLeavesOneRowSelected_data();
    void aRedoLeavesOneRowSelected();
};

void WindowMarksTest::groupSwitchAndFields()
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

// An undo back to the kept state while the working files are still being
// written (the write's report not yet in): the files and the note follow the
// undo, so a crash now offers nothing the user took back.  The moment is
// caught as a user meets it, by undoing as soon as the files show the
// distance; the write then is often still finishing its note, so a few
// rounds meet it for sure.
void WindowMarksTest::anUndoWhileTheFilesAreWrittenLeavesTheKeptState()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("undo.jpg"), Qt::lightGray, QSize(600, 500));
    Set(w, [&](Document& d) {
        MarkReference(d);
        d.Modified = 0;
    });
    auto workingDistances = [&] {
        Document stored;
        LoadTemp(stored, 1, f.Temp());
        return stored.Plane.DistanceCount();
    };
    QAction* undo = w.Action(QStringLiteral("mnUndo"));
    w.SetCommand(uCommand::Distance);
    for (int round = 0; round < 12; ++round) {
        ClickAt(w, {150.0 + round, 150});
        ClickAt(w, {250.0 + round, 160});
        QCOMPARE(w.Doc().Modified, std::uint8_t{1});
        QElapsedTimer waited;
        waited.start();
        while (workingDistances() != 1 && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QCOMPARE(workingDistances(), 1);
        undo->trigger();
        QCOMPARE(w.Doc().Modified, std::uint8_t{0});
        QTRY_COMPARE_WITH_TIMEOUT(workingDistances(), 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!ReadRecoveryNote(f.Temp()), 5000);
    }
    f.Close();
}

// A distance drawn with the mouse is taken back and done again with Ctrl+Z,
// Ctrl+Y and Ctrl+Shift+Z, the edit menu and the tool panel, Modified
// following; the working files follow the document.
void WindowMarksTest::undoAndRedoThroughKeysMenuAndButtons()
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
void WindowMarksTest::keysTakePointsWithoutTheMouse()
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
void WindowMarksTest::theTableOfResultsFollowsAndActs()
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
    // The plane's own length and area of the points the clicks landed on (a
    // click lands on a screen pixel), to a few parts in a thousand for the
    // area: the rows and the summary print them.
    const Homography plane = ReferenceModel();
    const TDistance& d = w.Doc().Plane.Distances[1];
    const double length = PlaneLength(plane, d.start, d.end);
    QVERIFY2(std::fabs(length - 516) < 0.5, qPrintable(QString::number(length)));
    const double area = PlaneArea(plane, w.Doc().Plane.Spaces[1].points);
    QVERIFY2(std::fabs(area - 0.233) < 0.002, qPrintable(QString::number(area)));
    QCOMPARE(table->item(0, 4)->text(), QStringLiteral("516㎜"));
    QCOMPARE(table->item(1, 4)->text(), QStringLiteral("0.233㎡"));
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("南面"));
    QCOMPARE(static_cast<QLineEdit*>(w.Control(QStringLiteral("Edit_Info")))->text(),
             QStringLiteral("合計面積=0.233㎡( ￥0 ),  加算=0.233㎡,  減算=0.000㎡,  [面積=0.233㎡, 周長=1,949㎜]"));

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
    QVERIFY2(totalsLabel->text().startsWith(QStringLiteral("ｸﾞﾙｰﾌﾟ0: 距離 516 ±3.9㎜, 面積 0.233 ±0.0031㎡, 金額 ￥")),
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
    QCOMPARE(lines[1].split(QLatin1Char('\t'))[4], QStringLiteral("516"));
    // The uncertainty after the value, a bare number as the results file has it.
    QCOMPARE(lines[0].split(QLatin1Char('\t'))[5], QStringLiteral("±"));
    QCOMPARE(lines[1].split(QLatin1Char('\t'))[5], QStringLiteral("3.9"));

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
    // Four times the click precision, four times each uncertainty.
    QCOMPARE(before, QStringLiteral("±3.9㎜"));
    QCOMPARE(table->item(0, 5)->text(), QStringLiteral("±16㎜"));
    QCOMPARE(table->item(1, 5)->text(), QStringLiteral("±0.012㎡"));
    pointAt({200, 155}, 0);
    pointAt({210, 230}, 1);
    QVERIFY2(totalsLabel->text().startsWith(QStringLiteral("ｸﾞﾙｰﾌﾟ0: 距離 516 ±16㎜, 面積 0.233 ±0.012㎡, 金額 ￥")),
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

void WindowMarksTest::measuringAWallEndToEnd()
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

// While the pointer is on a mark, the status line gives its value and
// uncertainty; off every mark it gives the pointer's place only.
void WindowMarksTest::pointingAtAMarkShowsItsUncertainty()
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
    // 1,629 mm on the plane of the reference, beyond its rectangle.
    const Homography plane = ReferenceModel();
    QCOMPARE(std::lround(PlaneLength(plane, {120, 300}, {400, 320})), 1629L);
    QTRY_VERIFY2(w.StatusText(0).endsWith(QStringLiteral("距離1 = 1,629 ±22㎜")), qPrintable(w.StatusText(0)));
    QVERIFY(w.StatusText(0).startsWith(QStringLiteral("X = ")));

    QTest::mouseMove(view, Screen(w, {200, 170}));
    // About 0.408 m² on the plane, taken away.
    QVERIFY(std::fabs(PlaneArea(plane, s.points) - 0.409) < 0.002);
    QTRY_VERIFY2(w.StatusText(0).endsWith(QStringLiteral("面積1 = -0.409 ±0.0053㎡")), qPrintable(w.StatusText(0)));

    QTest::mouseMove(view, Screen(w, {500, 100}));
    QTRY_VERIFY2(w.StatusText(0).endsWith(QStringLiteral("(pixel)")), qPrintable(w.StatusText(0)));
}

// A check distance drawn with the mouse and typed in the dialog: a text that
// is no length is asked again; the status line tells the deviation; it is a
// step to undo, survives switching settings and another photo, and never
// reaches the results, the totals or the CSV.
void WindowMarksTest::checkDistancesAreDrawnTypedAndKeptWithThePhoto()
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
    auto* summary = static_cast<QLineEdit*>(w.Control(QStringLiteral("Edit_Info")));
    QCOMPARE(summary->text(), QString());

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
    // The points the clicks landed on are 1,556.4 mm apart on the plane.
    QVERIFY(std::fabs(PlaneLength(ReferenceModel(), check.start, check.end) - 1556.4) < 0.5);
    QCOMPARE(f.prompter->inputBoxPrompts[0], std::string("測った長さ: 1556.4㎜\n実際の長さ (mm) を入力してください"));
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
    QCOMPARE(checks->item(0, 2)->text(), QStringLiteral("1556.4"));
    QCOMPARE(checks->item(0, 3)->text(), QStringLiteral("±14"));
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("CheckSummary"))->text(),
             QStringLiteral("検証距離 1 本: 最大偏差 +556.4㎜ (+55.64 %), RMS 556.4㎜ (55.64 %), 2σ以内 0/1"));
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
    QTRY_VERIFY2(w.StatusText(0).endsWith(QStringLiteral(
                     "検証距離1 = 1556.4 ±14㎜, 既知 1000㎜, 偏差 +556.4㎜ (+55.64 %), 不確かさの2倍を超える")),
                 qPrintable(w.StatusText(0)));

    // Never a result or a total; the CSV as without it.
    QVERIFY(ResultRows(w.Doc(), 0.5).empty());
    QCOMPARE(summary->text(), QString());
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

// The value and its ± stand next to the kind and number whatever the dock's
// width, and a long name is cut with an ellipsis and shown whole on pointing.
void WindowMarksTest::theTableKeepsTheValueInSightAndCutsLongNames()
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

void WindowMarksTest::theSummarySpeaksOfAreasInTheAreaModesOnly_data()
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
void WindowMarksTest::theSummarySpeaksOfAreasInTheAreaModesOnly()
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
    QCOMPARE(w.Command(), static_cast<uCommand>(mode));
    QVERIFY2(info->text().startsWith(areas ? QStringLiteral("合計面積=") : QStringLiteral("長さ=")), qPrintable(info->text()));
    f.prompter->cancelAnswers = {false};
    f.Close();
}

void WindowMarksTest::aRedoLeavesOneRowSelected_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Ctrl+Y") << int(Qt::Key_Y) << int(Qt::ControlModifier);
    QTest::newRow("Ctrl+Shift+Z") << int(Qt::Key_Z) << int(Qt::ControlModifier | Qt::ShiftModifier);
}

// After undo and redo by the keys, the table of results selects the current
// mark's row alone, and Delete removes that mark only.
void WindowMarksTest::aRedoLeavesOneRowSelected()
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

QTEST_MAIN(WindowMarksTest)
#include "test_window_marks.moc"
