// Straight edges clicked in the window on a photo bent by a known lens: the
// lens they tell, the words the status line and the prompt give, and undo.

#include "window_fixture.h"

#include "image/photo.h"
#include "lens_scene.h"
#include "measure/camera_profiles.h"
#include "measure/ideal_view.h"
#include "measure/lens_file.h"
#include "measure/workfiles.h"
#include "shell/application.h"
#include "view/view_mapping.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QStatusBar>
#include <QTest>
#include <QTranslator>

#include <cmath>
#include <filesystem>
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

// A box straight in reality, drawn thick so the display's scaling keeps it:
// ideal rows 100 and 500, ideal columns 100 and 700, bent by the lens.
constexpr double kBoxTop = 100, kBoxBottom = 500, kBoxLeft = 100, kBoxRight = 700;

QString RenderBentBox(const Fixture& f)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 7));
    const LensTruth lens = Lens();
    auto draw = [&](auto ideal) {
        std::vector<QPointF> run;
        for (int i = 0; i <= 2000; ++i) {
            const TDPoint p = lens.ToPhoto(ideal(50.0 + 700.0 * i / 2000));
            run.emplace_back(p.x, p.y);
        }
        painter.drawPolyline(run.data(), static_cast<int>(run.size()));
    };
    for (const double y : {kBoxTop, kBoxBottom})
        draw([y](double t) { return TDPoint{t + 50, y}; });
    for (const double x : {kBoxLeft, kBoxRight})
        draw([x](double t) { return TDPoint{x, t * 0.7}; });
    painter.end();
    const QString path = f.home.filePath(QStringLiteral("box.jpg"));
    kvx::Photo(image).SaveJpeg(path);
    return path;
}

// The scene's lens as a profile of the user's, for photos of size w x h.
CameraProfile TrueProfile(int w = kWidth, int h = kHeight)
{
    CameraProfile p;
    p.camera = {"Kalvex", "Bench", 4.5, w, h};
    p.lens = LensModel::Division(kTrueK, w, h);
    p.rms = 0.25;
    p.kUncertainty = 0.004;
    return p;
}

std::filesystem::path WriteProfile(TF001& w, const CameraProfile& profile)
{
    const std::filesystem::path folder = w.Paths().folders.ProfilesFolder();
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = *FreeProfilePath(folder, profile);
    if (!WriteCameraProfile(path, profile))
        return {};
    return path;
}

// The lens menu as the user opens it: shown (its items made from the
// profile folder as it is now), then closed.
QMenu* OpenLensMenu(TF001& w)
{
    auto* menu = w.findChild<QMenu*>(QStringLiteral("mnLens"));
    menu->popup(w.mapToGlobal(QPoint(10, 10)));
    QCoreApplication::processEvents();
    menu->hide();
    return menu;
}

QAction* MenuItem(QMenu* menu, const QString& name)
{
    for (QAction* a : menu->actions())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

QString CheckedItem(QMenu* menu)
{
    QString checked;
    for (QAction* a : menu->actions())
        if (a->isChecked())
            checked += a->objectName();
    return checked;
}

// The screen point where the display shows display point d (photo pixels
// of the image it shows, straightened or not).
QPoint DisplayScreen(TF001& w, TDPoint d)
{
    const TPoint s = WtoS(w.Display()->State(), d);
    return {s.x, s.y};
}

void DragOnDisplay(TF001& w, QPoint from, QPoint to)
{
    QWidget* viewport = w.Display()->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, (from + to) / 2);
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
}

void AddClickedEdges(TF001& w)
{
    for (const auto& edge : {TopEdge(), LeftEdge()}) {
        for (const TDPoint p : edge)
            ClickAt(w, p);
        QTest::mouseClick(w.Display()->viewport(), Qt::RightButton, {}, Screen(w, edge.back()));
    }
}

bool Near(TDPoint a, TDPoint b, double tolerance)
{
    return std::hypot(a.x - b.x, a.y - b.y) <= tolerance;
}

QString Text(TDPoint p)
{
    return QStringLiteral("(%1, %2)").arg(p.x).arg(p.y);
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
    void theLensMenuChoosesThePhotosCorrection_data();
    void theLensMenuChoosesThePhotosCorrection();
    void keptEdgesAreDraggedAndDeletedInTheWindow_data();
    void keptEdgesAreDraggedAndDeletedInTheWindow();
    void theFitsRefusalIsReadInFull_data();
    void theFitsRefusalIsReadInFull();
    void theStraightenedViewShowsAndTakesPointsAsTheIdealCamera_data();
    void theStraightenedViewShowsAndTakesPointsAsTheIdealCamera();
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

void WindowLensTest::theLensMenuChoosesThePhotosCorrection_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("noneInForce");
    QTest::addColumn<QString>("automatic");
    QTest::newRow("Japanese") << false << QStringLiteral("レンズ補正: なし") << QStringLiteral("自動");
    QTest::newRow("English") << true << QStringLiteral("Lens: none") << QStringLiteral("Automatic");
}

// The menu offers automatic, each profile of the folder, the photo's edges
// and none; the item checked is the correction in force, each choice is one
// step undone and redone, kept in the photo's lens file, and the status line
// follows.  Without a photo there is nothing to choose.
void WindowLensTest::theLensMenuChoosesThePhotosCorrection()
{
    QFETCH(bool, english);
    QFETCH(QString, noneInForce);
    QFETCH(QString, automatic);
    UseLanguage(english ? UiLanguage::English : UiLanguage::Japanese);
    Fixture f;
    TF001& w = f.Open();
    QVERIFY(!w.Action(QStringLiteral("mnLensMenu"))->isEnabled());
    const CameraProfile profile = TrueProfile();
    QVERIFY(!WriteProfile(w, profile).empty());
    // A profile for photos of another size is offered but cannot be chosen.
    QVERIFY(!WriteProfile(w, TrueProfile(kWidth * 2, kHeight * 2)).empty());
    w.LoadFile(RenderBentGrid(f));
    QVERIFY(w.Action(QStringLiteral("mnLensMenu"))->isEnabled());

    QMenu* menu = OpenLensMenu(w);
    QCOMPARE(CheckedItem(menu), QStringLiteral("mnLensAuto"));
    QVERIFY2(MenuItem(menu, QStringLiteral("mnLensAuto"))->text().remove(QLatin1Char('&')).startsWith(automatic),
             qPrintable(MenuItem(menu, QStringLiteral("mnLensAuto"))->text()));
    const std::vector<std::pair<std::string, CameraProfile>> listed = ListProfiles(w.Paths().folders.ProfilesFolder());
    QCOMPARE(listed.size(), std::size_t{2});
    QAction* ours = nullptr;
    for (int i = 1; i <= 2; ++i) {
        QAction* item = MenuItem(menu, QStringLiteral("mnLensProfile%1").arg(i));
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("&%1 ").arg(i) + QString::fromStdString(listed[static_cast<std::size_t>(i - 1)].first));
        const bool fits = listed[static_cast<std::size_t>(i - 1)].second.camera.width == kWidth;
        QCOMPARE(item->isEnabled(), fits);
        if (fits)
            ours = item;
    }
    QVERIFY(ours);
    const std::string ourName = ours->text().mid(3).toStdString();
    // Each opening makes the items anew: the item is found by its name.
    const QString ourItem = ours->objectName();

    ours->trigger();
    QVERIFY(w.Doc().Lens);
    QCOMPARE(w.Doc().Lens->kind, LensChoiceKind::Profile);
    QCOMPARE(w.Doc().Lens->profileName, ourName);
    QVERIFY(w.Doc().Lens->model == profile.lens);
    QCOMPARE(w.Doc().Lens->kUncertainty, profile.kUncertainty);
    QVERIFY2(LensLabel(w).contains(QString::fromStdString(ourName)), qPrintable(LensLabel(w)));
    QCOMPARE(CheckedItem(OpenLensMenu(w)), ourItem);
    // The choice is the photo's: its lens file holds it a moment later.
    const std::filesystem::path lensFile = WorkingFile(w.WorkingFolder(), kLensFile);
    QTRY_VERIFY(ReadLensChoice(lensFile) && ReadLensChoice(lensFile).choice == *w.Doc().Lens);

    w.Action(QStringLiteral("mnUndo"))->trigger();
    QVERIFY(!w.Doc().Lens);
    QCOMPARE(CheckedItem(OpenLensMenu(w)), QStringLiteral("mnLensAuto"));
    w.Action(QStringLiteral("mnRedo"))->trigger();
    QVERIFY(w.Doc().Lens && w.Doc().Lens->kind == LensChoiceKind::Profile);

    MenuItem(OpenLensMenu(w), QStringLiteral("mnLensNone"))->trigger();
    QVERIFY(w.Doc().Lens && w.Doc().Lens->kind == LensChoiceKind::None);
    QVERIFY2(LensLabel(w).startsWith(noneInForce), qPrintable(LensLabel(w)));
    QCOMPARE(CheckedItem(OpenLensMenu(w)), QStringLiteral("mnLensNone"));
    QTRY_VERIFY(ReadLensChoice(lensFile) && ReadLensChoice(lensFile).choice == LensChoice{});

    // The photo's edges without any clicked yet: the choice is to click them.
    MenuItem(OpenLensMenu(w), QStringLiteral("mnLensEdges"))->trigger();
    QCOMPARE(w.Command(), uCommand::StraightEdge);
    QVERIFY(w.Doc().Lens && w.Doc().Lens->kind == LensChoiceKind::None);
    AddClickedEdges(w);
    QVERIFY(w.Doc().Lens && w.Doc().Lens->kind == LensChoiceKind::Edges);
    const LensChoice edges = *w.Doc().Lens;
    QCOMPARE(CheckedItem(OpenLensMenu(w)), QStringLiteral("mnLensEdges"));
    // Another choice and back: the edges come back as they were, in one step.
    MenuItem(OpenLensMenu(w), ourItem)->trigger();
    QCOMPARE(w.Doc().Lens->kind, LensChoiceKind::Profile);
    MenuItem(OpenLensMenu(w), QStringLiteral("mnLensEdges"))->trigger();
    QVERIFY(w.Doc().Lens && *w.Doc().Lens == edges);
    QVERIFY(std::fabs(w.Doc().Lens->model.k - kTrueK) < 0.03);
    w.Action(QStringLiteral("mnUndo"))->trigger();
    QCOMPARE(w.Doc().Lens->kind, LensChoiceKind::Profile);
    f.Close();
}

void WindowLensTest::keptEdgesAreDraggedAndDeletedInTheWindow_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("howTo");
    QTest::newRow("Japanese") << false << QStringLiteral("点のドラッグで移動, 直線の上で㊨ボタンで削除");
    QTest::newRow("English") << true << QStringLiteral("drag a point to move it, right-click on an edge to delete it");
}

// With the tool on and no edge under way, a kept edge's point dragged with
// the mouse moves there as one step, a press that does not move starts a new
// edge, and a right click on a kept edge deletes it; the prompt says so.
void WindowLensTest::keptEdgesAreDraggedAndDeletedInTheWindow()
{
    QFETCH(bool, english);
    QFETCH(QString, howTo);
    UseLanguage(english ? UiLanguage::English : UiLanguage::Japanese);
    Fixture f;
    TF001& w = f.Open();
    w.LoadFile(RenderBentGrid(f));
    w.Action(QStringLiteral("mnStraightEdge"))->trigger();
    QVERIFY2(Prompt(w).contains(howTo), qPrintable(Prompt(w)));
    AddClickedEdges(w);
    QCOMPARE(w.Doc().Lens->edges.size(), std::size_t{2});
    const LensChoice before = *w.Doc().Lens;
    const double pixel = 1.0 / w.Display()->State().DispScale;

    // The top edge's middle point dragged 25 photo pixels down.
    const TDPoint from = before.edges[0][2];
    const TDPoint to{from.x, from.y + 25};
    DragOnDisplay(w, Screen(w, from), Screen(w, to));
    QCOMPARE(w.Doc().InputCount(), 0);
    QCOMPARE(w.Doc().Lens->edges.size(), std::size_t{2});
    QVERIFY2(Near(w.Doc().Lens->edges[0][2], to, pixel + 0.5), qPrintable(Text(w.Doc().Lens->edges[0][2])));
    for (std::size_t i : {0u, 1u, 3u, 4u})
        QVERIFY(w.Doc().Lens->edges[0][i] == before.edges[0][i]);
    QVERIFY(w.Doc().Lens->edges[1] == before.edges[1]);
    QVERIFY(w.Doc().Lens->model != before.model);
    w.Action(QStringLiteral("mnUndo"))->trigger();
    QVERIFY(*w.Doc().Lens == before);
    w.Action(QStringLiteral("mnRedo"))->trigger();
    QVERIFY(Near(w.Doc().Lens->edges[0][2], to, pixel + 0.5));
    w.Action(QStringLiteral("mnUndo"))->trigger();

    // A click on a kept point without moving is the first point of a new edge.
    ClickAt(w, before.edges[1][0]);
    QCOMPARE(w.Doc().InputCount(), 1);
    QVERIFY(*w.Doc().Lens == before);
    // A right click then takes that point back; the edges stay.
    QTest::mouseClick(w.Display()->viewport(), Qt::RightButton, {}, Screen(w, before.edges[1][0]));
    QCOMPARE(w.Doc().InputCount(), 0);
    QCOMPARE(w.Doc().Lens->edges.size(), std::size_t{2});

    // A right click between two points of the left edge, away from both, deletes it.
    const TDPoint between{(before.edges[1][1].x + before.edges[1][2].x) / 2, (before.edges[1][1].y + before.edges[1][2].y) / 2};
    QTest::mouseClick(w.Display()->viewport(), Qt::RightButton, {}, Screen(w, between));
    QCOMPARE(w.Doc().Lens->edges.size(), std::size_t{1});
    QVERIFY(w.Doc().Lens->edges[0] == before.edges[0]);
    QVERIFY2(LensLabel(w).contains(english ? QStringLiteral("none") : QStringLiteral("なし")), qPrintable(LensLabel(w)));
    // A right click far from every edge changes nothing.
    QTest::mouseClick(w.Display()->viewport(), Qt::RightButton, {}, Screen(w, {400, 300}));
    QCOMPARE(w.Doc().Lens->edges.size(), std::size_t{1});
    w.Action(QStringLiteral("mnUndo"))->trigger();
    QVERIFY(*w.Doc().Lens == before);
    f.Close();
}

void WindowLensTest::theFitsRefusalIsReadInFull_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Japanese") << false << QStringLiteral("レンズを求めるには直線が２本以上必要です.");
    QTest::newRow("English") << true << QStringLiteral("At least two straight edges are needed to find the lens.");
}

// Why the edges tell no lens stands first in the status line, whole within
// the part of it a 1400 pixel wide window shows.
void WindowLensTest::theFitsRefusalIsReadInFull()
{
    QFETCH(bool, english);
    QFETCH(QString, reason);
    UseLanguage(english ? UiLanguage::English : UiLanguage::Japanese);
    Fixture f;
    TF001& w = f.Open();
    w.resize(1400, 800);
    w.LoadFile(RenderBentGrid(f));
    w.Action(QStringLiteral("mnStraightEdge"))->trigger();
    for (const TDPoint p : TopEdge())
        ClickAt(w, p);
    RightClickAt(w, TopEdge().back());
    QCoreApplication::processEvents();
    auto* label = w.findChild<QLabel*>(QStringLiteral("StatusPanel2"));
    QVERIFY2(label->text().startsWith(reason), qPrintable(label->text()));
    QVERIFY(label->isVisible());
    // The label's part inside the window holds the reason, to its last character.
    const QRect shown = label->visibleRegion().boundingRect();
    const int needed = label->contentsMargins().left() + label->indent() + label->margin() +
                       QFontMetrics(label->font()).horizontalAdvance(reason);
    QVERIFY2(shown.left() <= 0 && shown.right() >= needed,
             qPrintable(QStringLiteral("%1 px shown, %2 needed").arg(shown.width()).arg(needed)));
    QVERIFY(label->mapTo(&w, QPoint(needed, 0)).x() < w.width());
    // The whole line, however long, is there for the pointer resting on it.
    QCOMPARE(label->toolTip(), label->text());
    f.Close();
}

void WindowLensTest::theStraightenedViewShowsAndTakesPointsAsTheIdealCamera_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Japanese") << false << QStringLiteral("レンズの歪みを補正して表示");
    QTest::newRow("English") << true << QStringLiteral("Show Straightened");
}

// With the scene's lens in force the view shows the box straight: its lines
// lie where the ideal camera has them, where the photo as taken has none.
// A click there is kept at the photo pixel the lens put that point at, the
// rubber band starts where the click was, and without a correction the view
// cannot be chosen.
void WindowLensTest::theStraightenedViewShowsAndTakesPointsAsTheIdealCamera()
{
    QFETCH(bool, english);
    QFETCH(QString, caption);
    UseLanguage(english ? UiLanguage::English : UiLanguage::Japanese);
    Fixture f;
    TF001& w = f.Open();
    QVERIFY(!WriteProfile(w, TrueProfile()).empty());
    w.LoadFile(RenderBentBox(f));
    QAction* straight = w.Action(QStringLiteral("mnStraightened"));
    QVERIFY2(straight->text().remove(QLatin1Char('&')).startsWith(caption), qPrintable(straight->text()));
    QVERIFY(straight->isCheckable());
    QVERIFY(!straight->isEnabled());
    MenuItem(OpenLensMenu(w), QStringLiteral("mnLensProfile1"))->trigger();
    QVERIFY(CorrectsLens(w.Doc()));
    QVERIFY(straight->isEnabled());

    // Points of the box's top and bottom lines as the ideal camera has them.
    std::vector<TDPoint> onLines;
    for (const double x : {200.0, 300.0, 500.0, 600.0})
        for (const double y : {kBoxTop, kBoxBottom})
            onLines.push_back({x, y});
    auto dark = [&](const QImage& screen, TDPoint d) {
        const QPoint s = DisplayScreen(w, d);
        return qGray(screen.pixel(s)) < 100;
    };
    auto grab = [&] { return w.Display()->viewport()->grab().toImage(); };
    const QImage asTaken = grab();
    for (const TDPoint d : onLines)
        QVERIFY2(!dark(asTaken, d), qPrintable(Text(d)));

    straight->trigger();
    QVERIFY(straight->isChecked());
    const QImage straightened = grab();
    for (const TDPoint d : onLines)
        QVERIFY2(dark(straightened, d), qPrintable(Text(d)));

    // A click at a known spot of the straightened view: the point kept is the
    // photo pixel the lens put it at.
    w.Action(QStringLiteral("mnStraightEdge"))->trigger();
    const TDPoint ideal{150, 120};
    QTest::mouseClick(w.Display()->viewport(), Qt::LeftButton, {}, DisplayScreen(w, ideal));
    QCOMPARE(w.Doc().InputCount(), 1);
    const double pixel = 1.0 / w.Display()->State().DispScale;
    const TDPoint expected = Lens().ToPhoto(ideal);
    QVERIFY2(Near(w.Doc().InputPoints[1], expected, pixel + 0.5),
             qPrintable(Text(w.Doc().InputPoints[1]) + QStringLiteral(" for ") + Text(expected)));
    // The rubber band starts at the click as the view shows it.
    QTest::mouseMove(w.Display()->viewport(), DisplayScreen(w, {300, 200}));
    const std::optional<TraceFigure>& band = w.Display()->Figure(FigureSlot::Trace);
    QVERIFY(band && !band->lines.empty());
    QVERIFY2(Near(band->lines[0][0], ideal, pixel + 0.5), qPrintable(Text(band->lines[0][0])));
    w.SetCommand(uCommand::None);

    // As taken again: the same screen spot keeps photo pixels as they are.
    straight->trigger();
    QVERIFY(!straight->isChecked());
    QVERIFY(grab() == asTaken);
    // No correction: the view is the photo as taken, and cannot be chosen.
    straight->trigger();
    QVERIFY(straight->isChecked());
    MenuItem(OpenLensMenu(w), QStringLiteral("mnLensNone"))->trigger();
    QVERIFY(!straight->isEnabled());
    QVERIFY(!straight->isChecked());
    QVERIFY(grab() == asTaken);
    f.Close();
}

QTEST_MAIN(WindowLensTest)
#include "test_window_lens.moc"
