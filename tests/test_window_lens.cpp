// Straight edges clicked in the window on a photo bent by a known lens: the
// lens they tell, the words the status line and the prompt give, and undo.

#include "window_fixture.h"

#include "image/photo.h"
#include "lens_scene.h"
#include "shell/application.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QTranslator>

#include <cmath>
#include <vector>

using namespace kvx;
using namespace kvx::test;

namespace {

// The photo: 800 x 600, a grid of lines straight in reality, seen through a
// barrel lens of the division model (k = -0.15, radii over the half-diagonal).
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr double kTrueK = -0.15;

LensTruth Lens()
{
    return LensTruth::Division(kTrueK, kWidth, kHeight);
}

// The lines of the scene as the ideal camera sees them: horizontal ones at
// these heights, vertical ones at these columns.
const double kRows[] = {0, 300, 600};
const double kColumns[] = {0, 400, 800};

// Each ideal line sampled densely and every sample taken to the photo, drawn
// as short pieces: the bent lines the user sees.
QString RenderBentGrid(const Fixture& f)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2));
    const LensTruth lens = Lens();
    auto draw = [&](auto ideal) {
        std::vector<QPointF> run;
        for (int i = 0; i <= 2000; ++i) {
            const TDPoint p = lens.ToPhoto(ideal(-300.0 + 1400.0 * i / 2000));
            run.emplace_back(p.x, p.y);
        }
        painter.drawPolyline(run.data(), static_cast<int>(run.size()));
    };
    for (const double y : kRows)
        draw([y](double t) { return TDPoint{t, y}; });
    for (const double x : kColumns)
        draw([x](double t) { return TDPoint{x, t}; });
    painter.end();
    const QString path = f.home.filePath(QStringLiteral("bent.jpg"));
    kvx::Photo(image).SaveJpeg(path);
    return path;
}

// Five photo points along the top line and along the left line, away from
// the corner where they meet.
std::vector<TDPoint> TopEdge()
{
    std::vector<TDPoint> points;
    for (const double x : {50.0, 225.0, 400.0, 575.0, 750.0})
        points.push_back(Lens().ToPhoto({x, kRows[0]}));
    return points;
}

std::vector<TDPoint> LeftEdge()
{
    std::vector<TDPoint> points;
    for (const double y : {50.0, 175.0, 300.0, 425.0, 550.0})
        points.push_back(Lens().ToPhoto({kColumns[0], y}));
    return points;
}

void RightClickAt(TF001& w, TDPoint p)
{
    QTest::mouseClick(w.Display()->viewport(), Qt::RightButton, {}, Screen(w, p));
}

QString LensLabel(TF001& w)
{
    return w.findChild<QLabel*>(QStringLiteral("StatusPanelLens"))->text();
}

QString Prompt(TF001& w)
{
    return w.findChild<QLabel*>(QStringLiteral("StatusPanel2"))->text();
}

void UseLanguage(UiLanguage language)
{
    for (auto* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    InstallLanguage(*QCoreApplication::instance(), language);
}

} // namespace

class WindowLensTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { UseLanguage(UiLanguage::Japanese); }
    void twoClickedEdgesFindTheLensAndUndoTakesOneBack_data();
    void twoClickedEdgesFindTheLensAndUndoTakesOneBack();
    void oneEdgeIsKeptAndThePromptSaysAnotherIsNeeded_data();
    void oneEdgeIsKeptAndThePromptSaysAnotherIsNeeded();
    void aRightClickWithTooFewPointsTakesTheLastBack();
};

void WindowLensTest::twoClickedEdgesFindTheLensAndUndoTakesOneBack_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("twoEdges");
    QTest::addColumn<QString>("noneInForce");
    QTest::addColumn<QString>("fitSummary");
    QTest::newRow("Japanese") << false << QStringLiteral("直線 2 本") << QStringLiteral("レンズ補正: なし")
                              << QStringLiteral("直線のずれ ");
    QTest::newRow("English") << true << QStringLiteral("2 straight edges") << QStringLiteral("Lens: none")
                             << QStringLiteral("Edges off their lines ");
}

// The menu item, five clicks along each of two bent lines, each ended with a
// right click: the lens the clicks tell is the scene's, the status line
// names the two edges, and undo takes the second back to no correction.
void WindowLensTest::twoClickedEdgesFindTheLensAndUndoTakesOneBack()
{
    QFETCH(bool, english);
    QFETCH(QString, twoEdges);
    QFETCH(QString, noneInForce);
    QFETCH(QString, fitSummary);
    UseLanguage(english ? UiLanguage::English : UiLanguage::Japanese);
    Fixture f;
    TF001& w = f.Open();
    w.LoadFile(RenderBentGrid(f));
    QCOMPARE(w.Doc().Sensor.stored.width, kWidth);
    QAction* tool = w.Action(QStringLiteral("mnStraightEdge"));
    QVERIFY(tool->isEnabled());
    tool->trigger();
    QCOMPARE(w.Command(), uCommand::StraightEdge);

    for (const auto& edge : {TopEdge(), LeftEdge()}) {
        for (const TDPoint p : edge)
            ClickAt(w, p);
        QCOMPARE(w.Doc().InputCount(), 5);
        RightClickAt(w, edge.back());
        QCOMPARE(w.Doc().InputCount(), 0);
    }
    QVERIFY(w.Doc().Lens);
    QCOMPARE(w.Doc().Lens->edges.size(), std::size_t{2});
    QVERIFY2(w.Doc().Lens->model.kind == LensKind::Division, qPrintable(Prompt(w)));
    const double k = w.Doc().Lens->model.k;
    QVERIFY2(std::fabs(k - kTrueK) < 0.03, qPrintable(QString::number(k)));
    QVERIFY2(Prompt(w).contains(fitSummary), qPrintable(Prompt(w)));
    QVERIFY2(LensLabel(w).contains(twoEdges), qPrintable(LensLabel(w)));
    QCOMPARE(w.Command(), uCommand::StraightEdge);

    w.Action(QStringLiteral("mnUndo"))->trigger();
    QVERIFY(w.Doc().Lens);
    QCOMPARE(w.Doc().Lens->edges.size(), std::size_t{1});
    QVERIFY2(LensLabel(w).startsWith(noneInForce), qPrintable(LensLabel(w)));
    f.Close();
}

void WindowLensTest::oneEdgeIsKeptAndThePromptSaysAnotherIsNeeded_data()
{
    QTest::addColumn<bool>("byReturn");
    QTest::newRow("right click") << false;
    QTest::newRow("Return") << true;
}

// One edge tells no lens: it is kept all the same, and the prompt says why
// nothing is corrected yet.  Return ends it as the right button does.
void WindowLensTest::oneEdgeIsKeptAndThePromptSaysAnotherIsNeeded()
{
    QFETCH(bool, byReturn);
    Fixture f;
    TF001& w = f.Open();
    w.LoadFile(RenderBentGrid(f));
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Action(QStringLiteral("mnStraightEdge"))->trigger();
    for (const TDPoint p : TopEdge())
        ClickAt(w, p);
    if (byReturn) {
        w.Display()->setFocus();
        QTest::keyClick(w.Display(), Qt::Key_Return);
    } else {
        RightClickAt(w, TopEdge().back());
    }
    QCOMPARE(w.Doc().InputCount(), 0);
    QVERIFY(w.Doc().Lens);
    QCOMPARE(w.Doc().Lens->edges.size(), std::size_t{1});
    QCOMPARE(w.Doc().Lens->edges[0].size(), std::size_t{5});
    QVERIFY2(Prompt(w).contains(QStringLiteral("レンズを求めるには直線が２本以上必要です.")), qPrintable(Prompt(w)));
    QVERIFY2(LensLabel(w).startsWith(QStringLiteral("レンズ補正: なし")), qPrintable(LensLabel(w)));
    f.Close();
}

// Two points are no edge: each right click takes the last one back and no
// edge is made, and Return with two points adds neither a point nor an edge.
void WindowLensTest::aRightClickWithTooFewPointsTakesTheLastBack()
{
    Fixture f;
    TF001& w = f.Open();
    w.LoadFile(RenderBentGrid(f));
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Action(QStringLiteral("mnStraightEdge"))->trigger();
    const std::vector<TDPoint> edge = TopEdge();
    ClickAt(w, edge[0]);
    ClickAt(w, edge[1]);
    w.Display()->setFocus();
    QTest::keyClick(w.Display(), Qt::Key_Return);
    QCOMPARE(w.Doc().InputCount(), 2);
    QVERIFY(!w.Doc().Lens);
    QVERIFY2(Prompt(w).contains(QStringLiteral("直線には３点以上が必要です.")), qPrintable(Prompt(w)));
    RightClickAt(w, edge[1]);
    QCOMPARE(w.Doc().InputCount(), 1);
    // The first point stays where it was clicked (within a screen pixel's rounding).
    QVERIFY(std::hypot(w.Doc().InputPoints[1].x - edge[0].x, w.Doc().InputPoints[1].y - edge[0].y) < 2.0);
    RightClickAt(w, edge[0]);
    QCOMPARE(w.Doc().InputCount(), 0);
    QVERIFY(!w.Doc().Lens);
    QCOMPARE(w.Command(), uCommand::StraightEdge);
    f.Close();
}

QTEST_MAIN(WindowLensTest)
#include "test_window_lens.moc"
