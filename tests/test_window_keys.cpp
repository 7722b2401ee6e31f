// The keys that take points without the mouse, driven through the window at
// zooms where a photo pixel is less and more than a screen pixel.

#include "shell/main_window.h"

#include "image/zoom.h"
#include "measure/geometry.h"
#include "window_fixture.h"

#include <QApplication>
#include <QTest>

#include <cmath>

using namespace kvx;

namespace {

bool Near(TDPoint a, TDPoint b)
{
    return std::abs(a.x - b.x) < 1e-9 && std::abs(a.y - b.y) < 1e-9;
}

QByteArray Text(TDPoint p)
{
    return QByteArray::number(p.x, 'f', 6) + ", " + QByteArray::number(p.y, 'f', 6);
}

} // namespace

class WindowKeysTest : public QObject {
    Q_OBJECT
private slots:
    void arrowsMoveByPhotoPixels_data();
    void arrowsMoveByPhotoPixels();
};

void WindowKeysTest::arrowsMoveByPhotoPixels_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<bool>("reference");
    for (const double zoom : {0.3, 2.0})
        for (const bool shift : {false, true})
            for (const bool reference : {true, false}) {
                const QByteArray name = "zoom " + QByteArray::number(zoom) + (shift ? " shift" : "") +
                                        (reference ? " reference corner" : " distance end");
                QTest::newRow(name.constData()) << zoom << shift << reference;
            }
}

// Each arrow moves the keyboard's pointer one photo pixel (ten with Shift)
// whatever a photo pixel measures on the screen, and Return clicks exactly
// there: at zoom 0.3 a photo pixel is a third of a screen pixel, and neither
// the screen's grid nor the system reporting the moved cursor back may round
// the point.
void WindowKeysTest::arrowsMoveByPhotoPixels()
{
    QFETCH(double, zoom);
    QFETCH(bool, shift);
    QFETCH(bool, reference);
    test::Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("wall.jpg"), QColor(150, 150, 150), QSize(2000, 1500));
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Display()->SetView(View{zoom > 1 ? 700 : 0, zoom > 1 ? 500 : 0, zoom});
    QCOMPARE(w.Display()->State().DispScale, zoom);
    w.SetCommand(reference ? uCommand::Base : uCommand::Distance);
    QWidget* view = w.Display();
    QWidget* viewport = w.Display()->viewport();
    view->setFocus();
    const QPoint mouse = viewport->rect().center() - QPoint(60, 60);
    QTest::mouseMove(viewport, mouse);

    const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
    const double step = shift ? 10 : 1;
    auto press = [&](Qt::Key key, int times) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(view, key, modifiers);
    };

    // The first point where the mouse left the pointer.
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(w.Doc().InputCount(), 1);
    const TDPoint first = w.Doc().InputPoints[1];

    press(Qt::Key_Right, 3);
    press(Qt::Key_Down, 2);
    press(Qt::Key_Left, 1);
    const TDPoint second{first.x + 2 * step, first.y + 2 * step};
    // The system tells of the cursor the keys moved, at its screen pixel.
    QTest::mouseMove(viewport, test::Screen(w, second));
    QTest::keyClick(view, Qt::Key_Return);

    if (reference) {
        QCOMPARE(w.Doc().InputCount(), 2);
        const TDPoint taken = w.Doc().InputPoints[2];
        QVERIFY2(Near(taken, second), Text(taken) + " instead of " + Text(second));
        // Two more corners close the rectangle where the presses put them.
        press(Qt::Key_Down, 4);
        QTest::keyClick(view, Qt::Key_Return);
        press(Qt::Key_Left, 5);
        press(Qt::Key_Up, 1);
        QTest::keyClick(view, Qt::Key_Return);
        const TDPoint third{second.x, second.y + 4 * step};
        const TDPoint fourth{third.x - 5 * step, third.y - step};
        QCOMPARE(int(w.Doc().Plane.base.BaseSet), 1);
        for (const TDPoint corner : {first, second, third, fourth}) {
            bool found = false;
            for (int k = 1; k <= 4; ++k)
                found = found || Near(w.Doc().Plane.base.BaseRect[k], corner);
            QByteArray corners;
            for (int k = 1; k <= 4; ++k)
                corners += " " + Text(w.Doc().Plane.base.BaseRect[k]);
            QVERIFY2(found, "no corner of the reference at " + Text(corner) + ", corners:" + corners);
        }
    } else {
        QCOMPARE(w.Doc().Plane.DistanceCount(), 1);
        const TDistance& d = w.Doc().Plane.Distances[1];
        QVERIFY2(Near(d.start, first), Text(d.start) + " instead of " + Text(first));
        QVERIFY2(Near(d.end, second), Text(d.end) + " instead of " + Text(second));
    }
}

QTEST_MAIN(WindowKeysTest)
#include "test_window_keys.moc"
