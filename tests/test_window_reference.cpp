// The reference rectangle set in the window as a user sets it: its corners,
// its W and H, the warnings of a weak or crossed one, and the second plane.

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
#include <QLineEdit>
#include <QPainter>
#include <QPolygonF>
#include <QCheckBox>
#include <QTest>

#include <unistd.h>
#include <cmath>

using namespace kvx;
using namespace kvx::test;

class WindowReferenceTest : public QObject {
    Q_OBJECT
private slots:
    void twoPlaneSettingShowsItsIndicator();
    void aCrossedReferenceClickedInTheWindowIsRefused();
    void referenceCornersSnapToThePhotosCorners();
    void aWeakReferenceIsToldOnceWandHAreTyped();
    void aWeakReferenceIsToldWhenItClosesOrIsAdjusted();
    void aClosedReferenceAsksForItsSizes_data();
    void aClosedReferenceAsksForItsSizes();
};

void WindowReferenceTest::twoPlaneSettingShowsItsIndicator()
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

// Corners clicked in reading order give a bow tie: a 200 mm edge once read
// 125,015 mm with no word.  The closing click is refused where the user clicks.
void WindowReferenceTest::aCrossedReferenceClickedInTheWindowIsRefused()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("crossed.jpg"), Qt::lightGray, QSize(600, 500));
    w.mnBaseClick();
    QCOMPARE(w.Command(), uCommand::Base);
    for (const TDPoint p : {TDPoint{100, 100}, {500, 110}, {110, 390}, {490, 400}})
        ClickAt(w, p);
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{0});
    QCOMPARE(w.Command(), uCommand::Base);
    QVERIFY2(w.StatusText(2).contains(QStringLiteral("※辺が交差するため設定できません。頂点は外周に沿って順に指示してください")),
             qPrintable(w.StatusText(2)));
    QCOMPARE(w.Doc().Modified, std::uint8_t{0});

    // The last corner taken back with the right button and placed in order.
    QTest::mouseClick(w.Display()->viewport(), Qt::RightButton, {}, Screen(w, {300, 300}));
    ClickAt(w, {490, 400});
    ClickAt(w, {110, 390});
    QCOMPARE(w.Doc().Plane.base.BaseSet, std::uint8_t{1});
    f.Close();
}

// With snapping on, corners clicked a few pixels off the photo's corners
// land on them to a fraction of a pixel, the mark showing where before the
// click; off, the clicks are taken as they are.
void WindowReferenceTest::referenceCornersSnapToThePhotosCorners()
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

// A reference too small to measure the photo is told once, after its corners
// are clicked and W and H typed, with the reason; a good one is not.
void WindowReferenceTest::aWeakReferenceIsToldOnceWandHAreTyped()
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
    QVERIFY2(told.contains(QStringLiteral("写真の中央を通る 1 m の距離の不確かさが ±32 mm (3.2 %) になり, 1 % を超えます.")),
             qPrintable(told));

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

// W and H typed before the reference's last corner: the reference is judged as
// it closes, and again when a corner is moved.
void WindowReferenceTest::aWeakReferenceIsToldWhenItClosesOrIsAdjusted()
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

void WindowReferenceTest::aClosedReferenceAsksForItsSizes_data()
{
    QTest::addColumn<bool>("twoPlanes");
    QTest::newRow("four corners") << false;
    QTest::newRow("six points of two planes") << true;
}

// The last click of a reference: the prompt asks for W and H, and what the
// user types next replaces the W field's text.
void WindowReferenceTest::aClosedReferenceAsksForItsSizes()
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
    QCOMPARE(w.StatusText(2), QStringLiteral("[基準矩形を設定する]　基準矩形の実寸Ｗ、Ｈ（㎜）を入力してEnter"));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(wField));
    QCOMPARE(wField->selectedText(), wField->text());

    // Typed straight away, the digits replace W.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2400"));
    QCOMPARE(w.Doc().KijunWText, std::string("2400"));

    // The next tool has its own prompt.
    w.SetCommand(uCommand::Distance);
    QCOMPARE(w.StatusText(2), QStringLiteral("[距離を求める・２点間の距離を求める]　求めたい距離の端点の位置をマウス㊧ボタンで指示"));
    f.prompter->cancelAnswers = {false};
    f.Close();
}

QTEST_MAIN(WindowReferenceTest)
#include "test_window_reference.moc"
