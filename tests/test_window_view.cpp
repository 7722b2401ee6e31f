// The view of the photo driven as a user would: zoom by wheel and by command,
// the loupe, and the rubber band of the tool under way.

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
#include <QMessageBox>
#include <QCheckBox>
#include <QTest>
#include <QScrollBar>
#include <QWheelEvent>

#include <unistd.h>
#include <cmath>

using namespace kvx;
using namespace kvx::test;

class WindowViewTest : public QObject {
    Q_OBJECT
private slots:
    void wheelZoomMultipliesAndRendersOnceLater();
    void zoomCommands();
    void wheelAfterFitKeepsThePointAndFitStaysFit();
    void wheelOverTheSettingSelectorNeedsItsFocus();
    void theLoupeShowsThePhotoUnderThePointer();
    void rubberBandMovesWithoutRedrawingTheOverlay();
    void rubberBandShowsOnAnyBackground_data();
    void rubberBandShowsOnAnyBackground();
    void aWheelNotchKeepsTheToolsPoints();
    void theLoupeGoesWhenThePointerOrTheFocusLeaves();
};

void WindowViewTest::wheelZoomMultipliesAndRendersOnceLater()
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

void WindowViewTest::zoomCommands()
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

void WindowViewTest::wheelAfterFitKeepsThePointAndFitStaysFit()
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

void WindowViewTest::wheelOverTheSettingSelectorNeedsItsFocus()
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

// While a tool takes points, the loupe beside the pointer shows the photo
// pixel under it at its centre, enlarged; without a tool, or switched off, it
// is gone.
void WindowViewTest::theLoupeShowsThePhotoUnderThePointer()
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

void WindowViewTest::rubberBandMovesWithoutRedrawingTheOverlay()
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

void WindowViewTest::rubberBandShowsOnAnyBackground_data()
{
    QTest::addColumn<QColor>("photo");
    QTest::addColumn<int>("band");  // 0x00BBGGRR
    QTest::newRow("black on black") << QColor(Qt::black) << 0x000000;
    QTest::newRow("white on white") << QColor(Qt::white) << 0xFFFFFF;
    QTest::newRow("dark green on dark green") << QColor(0, 128, 0) << 0x008000;
}

void WindowViewTest::rubberBandShowsOnAnyBackground()
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

void WindowViewTest::aWheelNotchKeepsTheToolsPoints()
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

// The loupe stands beside the pointer over the photo only: the pointer leaving
// the photo, another window taking the focus or a dialog opening take it away.
void WindowViewTest::theLoupeGoesWhenThePointerOrTheFocusLeaves()
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

QTEST_MAIN(WindowViewTest)
#include "test_window_view.moc"
