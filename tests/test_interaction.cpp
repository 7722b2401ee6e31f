#include "interact/interaction.h"

#include "interact/hit_test.h"
#include "interact/prompts.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "interact/commands.h"
#include "base/error_trail.h"

#include "documents.h"
#include "editor_access.h"
#include "fake_port.h"
#include "testing.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <fstream>

namespace kvx {
namespace {

using test::FakePort;

// A photo at scale 1 (image pixels are display pixels) with the tools.
class Tools : public ::testing::Test {
protected:
    Editor editor;
    const Document& doc = editor.Doc();
    TAppSettings settings;
    FakePort port;
    Interaction tools{editor, settings, port};

    // Sets the scene up as a test needs it: no edit of the user's.
    void Set(const std::function<void(Document&)>& change) { EditorTestAccess::Stage(editor, kChangeAll, change); }

    void Reference()
    {
        Set([&](Document& d) { SetReferenceRect(d, {TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}}, true); });
        Set([&](Document& d) { d.Modified = 0; });
    }
    void Click(double x, double y) { tools.LeftClick({x, y}); }
    void Right(double x, double y) { tools.RightClick({x, y}); }
    std::string Prompt() const { return port.status[2]; }
    void Distance(TDPoint a, TDPoint b, std::int32_t prev = 0, std::int32_t next = 0)
    {
        TDistance d;
        d.start = a;
        d.end = b;
        d.prev = prev;
        d.next = next;
        Set([&](Document& doc_) { doc_.Plane.Distances.Append(d); });
    }
    std::int32_t Area(std::vector<TDPoint> points, std::uint8_t kind = kSpaceAdd)
    {
        TSpace s;
        s.kind = kind;
        s.correctedPoints.resize(points.size());
        s.points = std::move(points);
        std::int32_t k = 0;
        Set([&](Document& d) { k = d.Plane.Spaces.Append(s); });
        return k;
    }
};

TEST_F(Tools, FourCornersWithARejectedRepeatAndATakeBack)
{
    tools.SetCommand(uCommand::Base);
    EXPECT_EQ(Prompt(), "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[1点目]");
    Click(100, 100);
    EXPECT_EQ(tools.InputCount(), 1);
    EXPECT_EQ(tools.TMode(), TraceKind::Line);
    EXPECT_EQ(Prompt(), "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[2点目]。㊨ボタンで前点のやり直し");
    Click(100, 100);  // the same point again: not taken
    EXPECT_EQ(tools.InputCount(), 1);
    Click(500, 110);
    Click(490, 400);
    EXPECT_EQ(Prompt(), "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[4点目]。㊨ボタンで前点のやり直し");
    Right(300, 300);
    EXPECT_EQ(tools.InputCount(), 2);
    EXPECT_EQ(tools.TraceAnchor(), (TDPoint{500, 110}));
    EXPECT_EQ(Prompt(), "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[3点目]。㊨ボタンで前点のやり直し");
    Click(490, 400);
    Set([&](Document& d) { d.CrossLineSet = 1; });
    Click(110, 390);
    EXPECT_EQ(doc.Plane.base.BaseSet, 1);
    EXPECT_EQ(doc.Plane.base.BaseRect[3], (TDPoint{490, 400}));
    EXPECT_EQ(doc.CrossLineSet, 0) << "a new single-plane reference drops the cross line";
    EXPECT_EQ(tools.Command(), uCommand::None);
    EXPECT_EQ(tools.TMode(), TraceKind::None);
    EXPECT_FALSE(port.figures[0].has_value()) << "no rubber band left";
    EXPECT_EQ(doc.Modified, 1);

    // A right click at n = 1 leaves n = 0 and no rubber band.
    tools.SetCommand(uCommand::Base);
    Click(10, 10);
    Right(20, 20);
    EXPECT_EQ(tools.InputCount(), 0);
    EXPECT_EQ(tools.TMode(), TraceKind::None);
}

TEST_F(Tools, ACrossedOrEmptyReferenceIsRefusedAndSaysWhy)
{
    const std::string crossed = "※辺が交差するため設定できません。頂点は外周に沿って順に指示してください";
    const std::string empty = "※面積がないため設定できません。頂点が重なるか３点が一直線上にあります";
    struct Case {
        const char* what;
        std::array<TDPoint, 4> corners;
        const std::string& why;
    };
    const Case cases[] = {
        {"corners in reading order", {TDPoint{100, 100}, {500, 110}, {110, 390}, {490, 400}}, crossed},
        {"a bow tie the other way", {TDPoint{100, 100}, {490, 400}, {500, 110}, {110, 390}}, crossed},
        {"three corners on one line", {TDPoint{100, 100}, {300, 100}, {500, 100}, {300, 400}}, empty},
        {"a corner repeated", {TDPoint{100, 100}, {500, 110}, {100, 100}, {110, 390}}, empty},
        {"within half a pixel of a line", {TDPoint{100, 100}, {300, 100.3}, {500, 100}, {300, 400}}, empty},
    };
    for (const Case& c : cases) {
        Set([&](Document& d) { d = Document{}; });
        tools.SetCommand(uCommand::Base);
        for (const TDPoint& p : c.corners)
            Click(p.x, p.y);
        EXPECT_EQ(doc.Plane.base.BaseSet, 0) << c.what;
        EXPECT_EQ(tools.Command(), uCommand::Base) << c.what;
        EXPECT_EQ(tools.InputCount(), 3) << c.what << ": the three corners taken stay";
        EXPECT_EQ(tools.TMode(), TraceKind::Line) << c.what << ": the band stays";
        EXPECT_EQ(Prompt(), c.why + "　[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[4点目]。㊨ボタンで前点のやり直し") << c.what;
        EXPECT_EQ(doc.Modified, 0) << c.what;
    }
    // The last case's third corner taken back and placed off the line: the
    // reference closes.
    Right(0, 0);
    Click(300, 400);
    EXPECT_EQ(Prompt(), "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[4点目]。㊨ボタンで前点のやり直し") << "a click taken clears the reason";
    port.focused.clear();
    Click(100, 400);
    EXPECT_EQ(doc.Plane.base.BaseSet, 1);
    EXPECT_EQ(tools.Command(), uCommand::None);
    EXPECT_EQ(Prompt(), "[基準矩形を設定する]　基準矩形の実寸Ｗ、Ｈ（㎜）を入力してEnter") << "closed: its W and H are asked for";
    EXPECT_EQ(port.focused, std::vector<InputField>{InputField::W});
    tools.SetCommand(uCommand::None);
    EXPECT_EQ(Prompt(), "") << "until the next tool";
}

TEST_F(Tools, AMeasurementBaseOrAnAdjustmentThatLeavesNoOutlineIsRefused)
{
    // A new measurement base whose diagonal lies along the W direction.
    Reference();
    tools.SetCommand(uCommand::BaseUnit);
    Click(150, 150);
    Click(300, 150);
    EXPECT_EQ(doc.Plane.base.BaseUnitSet, 0);
    EXPECT_EQ(tools.InputCount(), 1);
    EXPECT_NE(Prompt().find("※面積がないため設定できません。頂点が重なるか３点が一直線上にあります"), std::string::npos) << Prompt();
    Click(300, 250);
    EXPECT_EQ(doc.Plane.base.BaseUnitSet, 1);
    EXPECT_EQ(doc.Plane.base.BaseUnit[2], (TDPoint{300, 250}));

    // Its adjustment onto the H line of the other corner.
    tools.SetCommand(uCommand::BaseUnitAdjust);
    Click(300, 250);
    Click(150, 350);
    EXPECT_EQ(doc.Plane.base.BaseUnit[2], (TDPoint{300, 250}));
    EXPECT_EQ(tools.InputCount(), 1) << "the corner stays picked";
    EXPECT_NE(Prompt().find("※面積がないため設定できません。頂点が重なるか３点が一直線上にあります"), std::string::npos) << Prompt();
    Click(320, 260);
    EXPECT_EQ(doc.Plane.base.BaseUnit[2], (TDPoint{320, 260}));
    EXPECT_EQ(tools.InputCount(), 0);

    // A reference corner dragged across the opposite edge.
    const auto before = doc.Plane.base.BaseRect;
    tools.SetCommand(uCommand::BaseAdjust);
    Click(500, 400);
    Click(50, 250);
    EXPECT_EQ(doc.Plane.base.BaseRect, before);
    EXPECT_EQ(tools.InputCount(), 1);
    EXPECT_NE(Prompt().find("※辺が交差するため設定できません。頂点は外周に沿って順に指示してください"), std::string::npos) << Prompt();
    Click(520, 420);
    EXPECT_EQ(doc.Plane.base.BaseRect[3], (TDPoint{520, 420}));
    EXPECT_EQ(Prompt(), "[基準矩形を調整する]　調整する基準矩形の頂点をマウス㊧ボタンで指示");
}

TEST_F(Tools, SixPointsThatCrossAPlaneAreRefused)
{
    Set([&](Document& d) { d.CurrentSetting = 4; });
    Set([&](Document& d) { d.CurrentBase = 1; });
    tools.SetCommand(uCommand::BaseSixPoint);
    // The right base line given bottom first crosses the right plane.
    for (const TDPoint p : {TDPoint{500, 200}, {500, 500}, {250, 260}, {250, 550}, {750, 550}, {750, 260}})
        Click(p.x, p.y);
    EXPECT_EQ(doc.Plane.base.BaseSet, 0);
    EXPECT_EQ(tools.InputCount(), 5);
    EXPECT_NE(Prompt().find("※辺が交差するため設定できません。頂点は外周に沿って順に指示してください"), std::string::npos) << Prompt();
}

TEST_F(Tools, SixPointsBuildBothPlanes)
{
    Set([&](Document& d) { d.CurrentSetting = 4; });
    Set([&](Document& d) { d.CurrentBase = 1; });
    tools.SetCommand(uCommand::BaseSixPoint);
    const TDPoint pts[] = {{500, 200}, {500, 500}, {250, 260}, {250, 550}, {750, 260}, {750, 550}};
    const char* prompts[] = {"中心線（上）をマウス㊧ボタンで指示", "中心線（下）", "左基準線（上）",
                             "左基準線（下）", "右基準線（上）", "右基準線（下）"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(Prompt().find(prompts[i]), std::string::npos) << Prompt();
        Click(pts[i].x, pts[i].y);
        EXPECT_EQ(tools.TMode(), i % 2 == 0 ? TraceKind::Line : TraceKind::None) << "a band from each top point";
    }
    EXPECT_NE(Prompt().find("右基準線（上）"), std::string::npos);
    Right(0, 0);
    EXPECT_NE(Prompt().find("左基準線（下）"), std::string::npos) << Prompt();
    EXPECT_EQ(tools.TMode(), TraceKind::Line);
    Click(pts[3].x, pts[3].y);
    Click(pts[4].x, pts[4].y);
    Click(pts[5].x, pts[5].y);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(doc.SixPoint[static_cast<std::size_t>(i + 1)], pts[i]);
    EXPECT_EQ(tools.Command(), uCommand::None);
    EXPECT_EQ(doc.CurrentBase, 1);
    EXPECT_EQ(doc.CrossLinePoint, pts[0]);
    EXPECT_EQ(doc.Plane.base.BaseSet, 1);
    EXPECT_EQ(doc.ParkedPlane.base.BaseSet, 1);
    EXPECT_GT(port.planeChanges, 0);
}

TEST_F(Tools, OnePointFigureLaysOutAroundTheClick)
{
    Set([&](Document& d) { d.CurrentSetting = 4; });
    Set([&](Document& d) { d.CurrentBase = 1; });
    tools.SetCommand(uCommand::BaseOnePoint);
    EXPECT_EQ(Prompt(), "[基準矩形を設定する]　基準をマウス㊧ボタンで指示");
    Click(500, 200);
    const std::array<TDPoint, 7> expected{TDPoint{}, {500, 200}, {500, 500}, {250, 260},
                                          {250, 550}, {750, 260}, {750, 550}};
    EXPECT_EQ(doc.SixPoint, expected);
    EXPECT_EQ(doc.Plane.base.BaseRect[1], (TDPoint{250, 260})) << "the left plane is current";
    EXPECT_EQ(doc.ParkedPlane.base.BaseRect[1], (TDPoint{500, 200}));
    EXPECT_EQ(tools.Command(), uCommand::None);
}

TEST_F(Tools, BaseLinesDeriveTheMeasurementBase)
{
    Reference();
    tools.SetCommand(uCommand::BaseLineW);
    Click(150, 300);
    EXPECT_EQ(tools.TMode(), TraceKind::LineW);
    Click(350, 305);  // snapped onto the W direction through the first end
    EXPECT_EQ(doc.Plane.base.BaseLineWSet, 1);
    EXPECT_TRUE(test::Near(doc.Plane.base.BaseLineW[2], {350, 300}, 1e-3));
    EXPECT_EQ(doc.Plane.base.BaseUnitSet, 0);
    ASSERT_EQ(port.focused.size(), 1u);
    EXPECT_EQ(port.focused[0], InputField::W);
    EXPECT_EQ(tools.Command(), uCommand::None);

    tools.SetCommand(uCommand::BaseLineH);
    Click(450, 150);
    Click(452, 350);
    EXPECT_TRUE(test::Near(doc.Plane.base.BaseLineH[2], {450, 350}, 1e-3));
    EXPECT_EQ(doc.Plane.base.BaseUnitSet, 1);
    EXPECT_TRUE(test::Near(doc.Plane.base.BaseUnit[1], {150, 150}, 1e-3));
    EXPECT_TRUE(test::Near(doc.Plane.base.BaseUnit[2], {350, 350}, 1e-3));
    EXPECT_EQ(port.focused.back(), InputField::H);
}

TEST_F(Tools, DistancesSingleAndContinuous)
{
    Reference();
    tools.SetCommand(uCommand::Distance);
    Click(100, 200);
    Click(300, 200);
    ASSERT_EQ(doc.Plane.DistanceCount(), 1);
    EXPECT_EQ(tools.Command(), uCommand::Distance);
    EXPECT_EQ(tools.InputCount(), 0);
    EXPECT_EQ(doc.CurrentDistance, 1);
    EXPECT_EQ(port.info.rfind("長さ=", 0), 0u) << port.info;

    tools.options.continuous = true;
    tools.SetCommand(uCommand::Distance);
    Click(100, 300);
    Click(200, 300);
    Click(200, 350);
    ASSERT_EQ(doc.Plane.DistanceCount(), 3);
    const TDistance& a = doc.Plane.Distances[2];
    const TDistance& b = doc.Plane.Distances[3];
    EXPECT_EQ(a.prev, 0);
    EXPECT_EQ(a.next, 3);
    EXPECT_EQ(b.prev, 2);
    EXPECT_EQ(b.next, 4) << "waiting for the next segment";
    EXPECT_EQ(tools.InputCount(), 1);
    Right(210, 360);
    EXPECT_EQ(doc.Plane.Distances[3].next, 0);
    EXPECT_EQ(tools.InputCount(), 0);
    EXPECT_EQ(ChainFirst(doc.Plane, 3), 2);
    EXPECT_EQ(ChainFirst(doc.Plane, 1), 1);

    // A right click with nothing under way picks the distance for the summary.
    Right(150, 200);
    EXPECT_EQ(doc.CurrentDistance, 1);
}

TEST_F(Tools, AChainLeftOpenByAToolChangeEnds)
{
    Reference();
    tools.options.continuous = true;
    tools.SetCommand(uCommand::Distance);
    Click(100, 300);
    Click(200, 300);
    tools.SetCommand(uCommand::SpaceAdd);
    EXPECT_EQ(doc.Plane.Distances[1].next, 0);
    tools.SetCommand(uCommand::Distance);
    Click(400, 300);
    Click(450, 300);
    EXPECT_EQ(doc.Plane.Distances[2].prev, 0) << "a new distance does not join an ended chain";
}

TEST_F(Tools, PolygonClosesNearItsFirstVertex)
{
    Reference();
    tools.options.polygon = true;
    port.names = {"居間"};
    tools.SetCommand(uCommand::SpaceAdd);
    Click(100, 100);
    Click(300, 100);
    Click(104, 103);  // 5 pixels from the first: too few vertices, dropped
    EXPECT_EQ(tools.InputCount(), 2);
    EXPECT_EQ(tools.TraceAnchor(), (TDPoint{300, 100}));
    Click(300, 300);
    Click(104, 103);
    ASSERT_EQ(doc.Plane.SpaceCount(), 1);
    const TSpace& s = doc.Plane.Spaces[1];
    EXPECT_EQ(s.count(), 4);
    EXPECT_EQ(s.points.back(), s.points.front());
    EXPECT_EQ(s.kind, kSpaceAdd);
    EXPECT_EQ(Cp932ToUtf8(s.name), "居間");
    EXPECT_EQ(port.nameQuestions, 1);
    EXPECT_EQ(tools.Command(), uCommand::SpaceAdd);
    EXPECT_EQ(tools.InputCount(), 0);

    // Taking back vertices one by one.
    Click(10, 10);
    Click(50, 10);
    Right(0, 0);
    EXPECT_EQ(tools.InputCount(), 1);
    EXPECT_EQ(tools.TraceAnchor(), (TDPoint{10, 10}));
}

TEST_F(Tools, RectangleAreasAndNames)
{
    Reference();
    port.names = {"ＡＢＣＤＥＦＧＨＩＪＫ"};  // 22 bytes: the eleventh character goes
    tools.SetCommand(uCommand::SpaceSub);
    Click(150, 150);
    EXPECT_EQ(tools.TMode(), TraceKind::PlaneRect);
    Click(250, 300);
    ASSERT_EQ(doc.Plane.SpaceCount(), 1);
    const TSpace& s = doc.Plane.Spaces[1];
    EXPECT_EQ(s.kind, kSpaceSub);
    ASSERT_EQ(s.count(), 5);
    // The corner on the first corner's W line, then the opposite, then the one
    // on its H line: the side corners follow the plane's directions.
    EXPECT_TRUE(test::Near(s.points[1], {250, 150}, 1e-3));
    EXPECT_TRUE(test::Near(s.points[3], {150, 300}, 1e-3));
    EXPECT_EQ(Cp932ToUtf8(s.name), "ＡＢＣＤＥＦＧＨＩＪ");

    settings.SpaceNameInputFlag = false;
    Click(300, 150);
    Click(400, 300);
    EXPECT_EQ(port.nameQuestions, 1) << "no dialog when names are not asked for";
    EXPECT_EQ(doc.Plane.Spaces[2].name, "");
}

TEST_F(Tools, CorrectionOfAChainAndItsRemoval)
{
    Reference();
    Set([&](Document& d) { test::OtherPlaneAndCrossLine(d); });
    Distance({150, 250}, {250, 250}, 0, 2);
    Distance({250, 250}, {350, 250}, 1, 0);

    tools.SetCommand(uCommand::DistanceHosei);
    Click(300, 251);
    EXPECT_EQ(doc.CurrentDistance, 2);
    EXPECT_EQ(tools.InputCount(), 1);
    EXPECT_EQ(tools.TraceAnchor(), doc.Plane.base.VanishH);
    Click(600, 260);
    for (std::int32_t i : {1, 2}) {
        EXPECT_EQ(doc.Plane.Distances[i].corrected, 1);
        EXPECT_EQ(doc.Plane.Distances[i].correctionRef, (TDPoint{600, 260}));
    }
    EXPECT_EQ(doc.Modified, 1);

    tools.SetCommand(uCommand::DistanceHoseiDel);
    Click(200, 250);
    EXPECT_EQ(doc.Plane.Distances[1].corrected, 0);
    EXPECT_EQ(doc.Plane.Distances[2].corrected, 0);
}

TEST_F(Tools, SlopeAndRename)
{
    Reference();
    Area({{150, 150}, {250, 150}, {250, 250}, {150, 250}, {150, 150}});
    tools.SetCommand(uCommand::SpaceSlant);
    port.slopeAnswer = std::pair{std::string("120"), std::string("abc")};
    Click(200, 200);
    EXPECT_EQ(doc.Plane.Spaces[1].slantV, 89);
    EXPECT_EQ(doc.Plane.Spaces[1].slantH, 0);
    EXPECT_EQ(port.slopeAt.back(), (TPoint{200, 200}));
    Set([&](Document& d) { d.Modified = 0; });
    port.slopeAnswer.reset();
    Click(200, 200);
    EXPECT_EQ(doc.Plane.Spaces[1].slantV, 89) << "abort changes nothing";
    EXPECT_EQ(doc.Modified, 1) << "but the photo counts as changed";

    Set([&](Document& d) { d.Plane.Spaces[1].name = AreaNameFromUtf8("旧"); });
    port.inputBoxAnswer = "abcdefghijklmnopqrstuvwxyz";
    tools.SetCommand(uCommand::SpaceNameUpd);
    Click(200, 200);
    EXPECT_EQ(port.inputBoxDefaults.back(), "旧");
    EXPECT_EQ(doc.Plane.Spaces[1].name, "abcdefghijklmnopqrst");
    Click(900, 700);  // nothing there
    EXPECT_EQ(port.inputBoxDefaults.size(), 1u);
}

TEST_F(Tools, ImageRangeOutputAndZoomTools)
{
    tools.SetCommand(uCommand::ImageFix);
    Click(10.4, 20.5);
    EXPECT_EQ(tools.TMode(), TraceKind::ImageRect);
    Click(10.4, 20.5);
    EXPECT_TRUE(port.imageRanges.empty()) << "no range without size";
    Click(300.6, 200.2);
    ASSERT_EQ(port.imageRanges.size(), 1u);
    EXPECT_EQ(port.imageRanges[0], (std::array<std::int32_t, 4>{10, 21, 301, 200}));
    EXPECT_EQ(tools.Command(), uCommand::None);

    tools.SetCommand(uCommand::ZoomUp);
    Click(50, 50);
    tools.SetCommand(uCommand::ZoomDown);
    Click(50, 50);
    EXPECT_EQ(port.zooms, (std::vector<std::string>{"up2", "down0.5"}));
    EXPECT_EQ(tools.Command(), uCommand::ZoomDown) << "the zoom tools stay";
}

TEST_F(Tools, CrossLineClickAndCancel)
{
    Reference();
    tools.SetCommand(uCommand::CrossLine);
    Right(1, 1);
    EXPECT_EQ(tools.Command(), uCommand::None);
    tools.SetCommand(uCommand::CrossLine);
    Click(420, 200);
    EXPECT_EQ(doc.CrossLineSet, 1);
    EXPECT_EQ(doc.CrossLinePoint, (TDPoint{420, 200}));
    EXPECT_EQ(tools.Command(), uCommand::None);
}

// --- adjustments and deletions ------------------------------------------------------------------

TEST_F(Tools, CornerMoveAndReaimedEdge)
{
    Reference();
    Set([&](Document& d) { d.Plane.base.BaseLineWSet = 1; });
    Set([&](Document& d) { d.Plane.base.BaseUnitSet = 1; });
    tools.SetCommand(uCommand::BaseAdjust);
    Click(505, 395);  // near corner 3
    EXPECT_EQ(std::abs(tools.PickedBaseCorner()), 3);
    EXPECT_FALSE(tools.PickedBaseFar());
    EXPECT_EQ(tools.TMode(), TraceKind::Corner);
    Click(520, 420);
    EXPECT_EQ(doc.Plane.base.BaseRect[3], (TDPoint{520, 420}));
    EXPECT_EQ(doc.Plane.base.BaseLineWSet, 0) << "base lines are dropped";
    EXPECT_EQ(doc.Plane.base.BaseUnitSet, 1) << "the measurement base stays";
    EXPECT_EQ(tools.Command(), uCommand::BaseAdjust);
    EXPECT_EQ(tools.InputCount(), 0);

    // 40 pixels beyond corner 2 on the continuation of the top edge: the top
    // edge is re-aimed from corner 1 and corner 2 slides along the right edge.
    Reference();
    Click(540, 100);
    EXPECT_EQ(tools.PickedBaseCorner(), 2);
    EXPECT_TRUE(tools.PickedBaseFar());
    EXPECT_EQ(tools.TMode(), TraceKind::EndlessLine);
    Click(300, 80);
    EXPECT_EQ(doc.Plane.base.BaseRect[2], (TDPoint{500, 60}));
    EXPECT_EQ(doc.Plane.base.BaseRect[1], (TDPoint{100, 100}));
}

TEST_F(Tools, LockMovesTheSharedCornerOfTheOtherPlane)
{
    for (const bool lock : {true, false}) {
        Set([&](Document& d) { d = Document{}; });
        Set([&](Document& d) { test::TwoPlanes(d); });
        tools.options.lock = lock;
        tools.SetCommand(uCommand::BaseAdjust);
        Click(498, 203);  // top of the centre line: the left plane's corner 2
        Click(510, 190);
        EXPECT_EQ(doc.Plane.base.BaseRect[2], (TDPoint{510, 190}));
        EXPECT_EQ(doc.ParkedPlane.base.BaseRect[1], (lock ? TDPoint{510, 190} : TDPoint{500, 200})) << lock;
        EXPECT_EQ(doc.OtherBaseRect[1], doc.ParkedPlane.base.BaseRect[1]);
        EXPECT_EQ(doc.CurrentBase, 1);
    }
}

TEST_F(Tools, AdjustingTheSharedEdgeMovesTheCentreLineAndTheCrossLine)
{
    for (const bool lock : {true, false}) {
        Set([&](Document& d) { d = Document{}; });
        Set([&](Document& d) { test::TwoPlanes(d); });
        // A corrected distance on each plane, corrected against the centre line.
        for (int plane = 0; plane < 2; ++plane) {
            TDistance dist;
            dist.start = plane == 0 ? TDPoint{300, 400} : TDPoint{600, 400};
            dist.end = plane == 0 ? TDPoint{400, 420} : TDPoint{700, 430};
            dist.corrected = 1;
            dist.correctionRef = plane == 0 ? TDPoint{450, 330} : TDPoint{560, 330};
            Set([&](Document& d) {
                d.Plane.Distances.Append(dist);
                CalcuDistanceHosei(d);
                SwapBDS(d);
            });
        }
        ASSERT_EQ(doc.CurrentBase, 1);
        const TDPoint leftBefore = doc.Plane.Distances[1].correctedEnd;
        const TDPoint rightBefore = doc.ParkedPlane.Distances[1].correctedEnd;
        tools.options.lock = lock;
        tools.SetCommand(uCommand::BaseAdjust);
        Click(500, 500);  // bottom of the centre line: the left plane's corner 3
        Click(540, 520);
        Click(500, 200);  // top of the centre line: the left plane's corner 2
        Click(510, 190);
        if (lock) {
            EXPECT_EQ(doc.SixPoint[1], (TDPoint{510, 190}));
            EXPECT_EQ(doc.SixPoint[2], (TDPoint{540, 520}));
            EXPECT_EQ(doc.CrossLinePoint, (TDPoint{510, 190})) << "the cross line is the centre line's top";
            // Right of the old centre line x = 500, left of the moved one.
            EXPECT_EQ(BaseHantei(doc, {520, 500}), 1);
        }
        // Either way the figure and the cross line are the right plane's edge.
        EXPECT_EQ(doc.SixPoint[1], doc.ParkedPlane.base.BaseRect[1]) << lock;
        EXPECT_EQ(doc.SixPoint[2], doc.ParkedPlane.base.BaseRect[4]) << lock;
        EXPECT_EQ(doc.CrossLinePoint, doc.SixPoint[1]) << lock;

        // Both planes' corrections follow the moved geometry.
        const TDistance& left = doc.Plane.Distances[1];
        EXPECT_EQ(left.correctedEnd, CorrectPoint(doc, left.end, left.correctionRef)) << lock;
        EXPECT_NE(left.correctedEnd, leftBefore) << lock;
        Set([&](Document& d) { SwapBDS(d); });
        const TDistance& right = doc.Plane.Distances[1];
        EXPECT_EQ(right.correctedEnd, CorrectPoint(doc, right.end, right.correctionRef)) << lock;
        EXPECT_NE(right.correctedEnd, rightBefore) << lock;
    }
}

TEST_F(Tools, ANewCrossLineRecomputesCorrections)
{
    // A reference seen in perspective, so that a correction moves its points.
    Set([&](Document& d) { SetReferenceRect(d, {TDPoint{100, 100}, {500, 130}, {520, 370}, {90, 400}}, true); });
    Set([&](Document& d) { test::OtherPlaneAndCrossLine(d); });
    Distance({150, 230}, {250, 240});
    tools.SetCommand(uCommand::DistanceHosei);
    Click(200, 235);
    Click(600, 260);
    const TDistance& d = doc.Plane.Distances[1];
    ASSERT_EQ(d.corrected, 1);
    const TDPoint before = d.correctedStart;

    tools.SetCommand(uCommand::CrossLine);
    Click(560, 250);
    EXPECT_EQ(d.correctedStart, CorrectPoint(doc, d.start, d.correctionRef));
    EXPECT_NE(d.correctedStart, before);
}

TEST_F(Tools, BaseLineEndsMoveAndTheMeasurementBaseFollows)
{
    Reference();
    tools.SetCommand(uCommand::BaseLineW);
    Click(150, 300);
    Click(350, 300);
    tools.SetCommand(uCommand::BaseLineH);
    Click(150, 150);
    Click(150, 350);
    ASSERT_EQ(doc.Plane.base.BaseUnitSet, 1);
    const TDPoint cornerBefore = doc.Plane.base.BaseUnit[2];

    tools.SetCommand(uCommand::BaseLineAdjust);
    EXPECT_EQ(Prompt(), "[計測基準ＷＨを調整する]　調整する計測基準ＷＨの端点をマウス㊧ボタンで指示");
    Click(40, 40);  // near no end: nothing picked
    EXPECT_EQ(tools.InputCount(), 0);
    Click(352, 302);  // the W line's second end
    EXPECT_EQ(tools.InputCount(), 1);
    EXPECT_EQ(tools.TraceAnchor(), (TDPoint{150, 300})) << "the band hangs on the fixed end";
    EXPECT_EQ(Prompt(), "[計測基準ＷＨを調整する]　調整後の計測基準ＷＨの端点をマウス㊧ボタンで指示。㊨ボタンでやり直し");
    Click(420, 300);
    // The band of a W line keeps the end on the W direction through the fixed end
    // (an intersection, kept to 4 decimals).
    EXPECT_LE(kvx::Distance(doc.Plane.base.BaseLineW[2], {420, 300}), 2e-4) << doc.Plane.base.BaseLineW[2];
    EXPECT_EQ(doc.Plane.base.BaseLineW[1], (TDPoint{150, 300}));
    EXPECT_NE(doc.Plane.base.BaseUnit[2], cornerBefore) << "the base is derived from the lines again";
    EXPECT_EQ(doc.Plane.base.BaseUnitSet, 1);
    EXPECT_EQ(tools.InputCount(), 0);
    EXPECT_EQ(tools.Command(), uCommand::BaseLineAdjust);
    EXPECT_EQ(doc.Modified, 1);
}

TEST_F(Tools, AreaCorrectionOnAndOff)
{
    Set([&](Document& d) { SetReferenceRect(d, {TDPoint{100, 100}, {500, 130}, {520, 370}, {90, 400}}, true); });
    Set([&](Document& d) { test::OtherPlaneAndCrossLine(d); });
    const std::int32_t k = Area({{150, 150}, {250, 160}, {250, 260}, {150, 250}, {150, 150}});
    Set([&](Document& d) { d.Modified = 0; });

    tools.SetCommand(uCommand::SpaceHosei);
    Click(200, 200);
    EXPECT_EQ(doc.CurrentSpace, k);
    EXPECT_EQ(tools.InputCount(), 1);
    EXPECT_EQ(tools.TraceAnchor(), doc.Plane.base.VanishH);
    EXPECT_EQ(Prompt(), "[面積を求める・遠近補正する]　遠近補正する面積の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し");
    Click(600, 260);
    const TSpace& s = doc.Plane.Spaces[k];
    EXPECT_EQ(s.corrected, 1);
    EXPECT_EQ(s.correctionRef, (TDPoint{600, 260}));
    ASSERT_EQ(s.correctedPoints.size(), s.points.size());
    for (std::size_t j = 0; j < s.points.size(); ++j)
        EXPECT_EQ(s.correctedPoints[j], CorrectPoint(doc, s.points[j], s.correctionRef)) << j;
    EXPECT_TRUE(CorrectionInForce(doc, s.corrected));
    EXPECT_EQ(doc.Modified, 1);
    EXPECT_EQ(tools.InputCount(), 0);

    tools.SetCommand(uCommand::SpaceHoseiDel);
    Click(200, 200);
    EXPECT_EQ(s.corrected, 0);
    EXPECT_FALSE(CorrectionInForce(doc, s.corrected));
    EXPECT_EQ(tools.Command(), uCommand::SpaceHoseiDel);
}

TEST_F(Tools, APressAndReleaseAtDifferentPointsTakesThePressPoint)
{
    Reference();
    tools.SetCommand(uCommand::Distance);
    tools.LeftClick({210, 215}, TDPoint{200, 200});
    ASSERT_EQ(tools.InputCount(), 1);
    EXPECT_EQ(doc.InputPoints[1], (TDPoint{200, 200}));
    EXPECT_EQ(tools.PointerPoint(), (TDPoint{210, 215})) << "the pointer is where the button came up";
    tools.LeftClick({330, 290}, TDPoint{300, 300});
    ASSERT_EQ(doc.Plane.DistanceCount(), 1);
    EXPECT_EQ(doc.Plane.Distances[1].start, (TDPoint{200, 200}));
    EXPECT_EQ(doc.Plane.Distances[1].end, (TDPoint{300, 300}));
}

TEST_F(Tools, LinkedChainEndsMoveTogether)
{
    Reference();
    Distance({100, 200}, {200, 200}, 0, 2);
    Distance({200, 200}, {300, 250}, 1, 0);
    tools.SetCommand(uCommand::DistanceAdjust);
    Click(198, 201);  // the shared point, nearest to distance 1's end
    EXPECT_EQ(doc.CurrentDistance, 1);
    EXPECT_EQ(tools.LinkedDistance(), 2);
    EXPECT_EQ(tools.TMode(), TraceKind::Corner);
    Click(210, 230);
    EXPECT_EQ(doc.Plane.Distances[1].end, (TDPoint{210, 230}));
    EXPECT_EQ(doc.Plane.Distances[2].start, (TDPoint{210, 230}));

    Click(150, 200);  // middle of a distance, no end: it only becomes current
    EXPECT_EQ(tools.InputCount(), 0);
}

TEST_F(Tools, AreaVerticesAndRectangleRebuild)
{
    Reference();
    Area({{150, 150}, {250, 150}, {200, 250}, {150, 150}});
    tools.options.polygon = true;
    tools.SetCommand(uCommand::SpaceAdjust);
    Click(151, 151);
    EXPECT_EQ(tools.PickedVertex(), 0);
    Click(140, 140);
    EXPECT_EQ(doc.Plane.Spaces[1].points.front(), (TDPoint{140, 140}));
    EXPECT_EQ(doc.Plane.Spaces[1].points.back(), (TDPoint{140, 140})) << "the outline stays closed";

    tools.options.polygon = false;
    tools.SetCommand(uCommand::SpaceAdjust);
    Click(140, 140);
    EXPECT_EQ(tools.InputCount(), 0) << "a triangle is no rectangle to rebuild";
    EXPECT_EQ(doc.CurrentSpace, 1);

    Area({{300, 150}, {400, 150}, {400, 250}, {300, 250}, {300, 150}});
    Click(401, 251);  // vertex 2: the opposite corner is vertex 0
    EXPECT_EQ(tools.PickedVertex(), 2);
    EXPECT_EQ(tools.TMode(), TraceKind::PlaneRectCorner);
    Click(450, 300);
    const TSpace& s = doc.Plane.Spaces[2];
    EXPECT_EQ(s.points[0], (TDPoint{300, 150}));
    EXPECT_EQ(s.points[2], (TDPoint{450, 300}));
    EXPECT_EQ(s.count(), 5);
}

TEST_F(Tools, DeletingRenumbersChainsAndMovesTheLastArea)
{
    Reference();
    Distance({100, 200}, {200, 200}, 0, 2);
    Distance({200, 200}, {300, 200}, 1, 3);
    Distance({300, 200}, {400, 200}, 2, 0);
    tools.SetCommand(uCommand::DistanceDel);
    EXPECT_EQ(Prompt(), "[距離を求める・削除する]　削除したい距離をマウス㊧ボタンで指示");
    Click(250, 202);
    ASSERT_EQ(doc.Plane.DistanceCount(), 2);
    EXPECT_EQ(doc.Plane.Distances[1].next, 0);
    EXPECT_EQ(doc.Plane.Distances[2].prev, 0);
    EXPECT_EQ(doc.Plane.Distances[2].start, (TDPoint{300, 200}));
    EXPECT_EQ(tools.Command(), uCommand::DistanceDel);
    Click(150, 200);
    Click(350, 200);
    EXPECT_EQ(tools.Command(), uCommand::None) << "nothing left to delete";

    Area({{100, 100}, {120, 100}, {120, 120}, {100, 120}, {100, 100}});
    Area({{200, 100}, {220, 100}, {220, 120}, {200, 120}, {200, 100}});
    const std::int32_t third = Area({{300, 100}, {320, 100}, {320, 120}, {300, 120}, {300, 100}});
    Set([&](Document& d) { d.Plane.Spaces[third].name = "third"; });
    tools.SetCommand(uCommand::SpaceDel);
    Click(110, 110);
    ASSERT_EQ(doc.Plane.SpaceCount(), 2);
    EXPECT_EQ(doc.Plane.Spaces[1].name, "third");
    EXPECT_EQ(doc.Modified, 1);
}

TEST_F(Tools, SearchPrefersSmallerAreasAndVertices)
{
    Reference();
    Area({{100, 100}, {400, 100}, {400, 400}, {100, 400}, {100, 100}});
    Area({{200, 200}, {300, 200}, {300, 300}, {200, 300}, {200, 200}}, kSpaceSub);
    std::int32_t vertex = 0;
    EXPECT_EQ(SearchSpacePointNo(doc, {250, 250}, false, 1.0, vertex), 2);
    EXPECT_EQ(vertex, -1);
    EXPECT_EQ(SearchSpacePointNo(doc, {250, 250}, true, 1.0, vertex), 2);
    EXPECT_EQ(vertex, -1) << "no vertex near, though an area contains the point";
    EXPECT_EQ(SearchSpacePointNo(doc, {395, 395}, true, 1.0, vertex), 1);
    EXPECT_EQ(vertex, 2);

    Distance({100, 500}, {300, 500});
    Distance({100, 520}, {300, 520});
    Set([&](Document& d) { d.Plane.Distances.Append(TDistance{1, {100, 510}, {300, 510}}); });
    EXPECT_EQ(SearchDistanceNo(doc, {200, 510}, 1.0), 1) << "ties keep the lower index; other groups never";
    EXPECT_EQ(SearchDistanceNo(doc, {200, 560}, 1.0), 0);
    EXPECT_EQ(SearchDistanceNo(doc, {200, 560}, 0.25), 2) << "the radius is 20 display pixels";
}

// --- the pointer pipeline -------------------------------------------------------------------------

TEST_F(Tools, BothButtonsWithoutMovingClickWithTheLastReleased)
{
    tools.SetCommand(uCommand::Base);
    Click(100, 100);
    ASSERT_EQ(tools.InputCount(), 1);
    tools.MouseDown({300, 300}, true, false);
    tools.MouseDown({300, 300}, true, true);
    EXPECT_EQ(tools.ButtonState(), Buttons::Both);
    tools.MouseUp({305, 300}, true, false);   // left first
    EXPECT_EQ(tools.ButtonState(), Buttons::Right);
    tools.MouseUp({305, 300}, false, true);   // then right: a right click
    EXPECT_EQ(tools.InputCount(), 0);

    tools.MouseDown({300, 300}, true, true);
    tools.MouseUp({300, 300}, false, true);
    tools.MouseUp({300, 300}, true, false);   // left last: a left click
    EXPECT_EQ(tools.InputCount(), 1);
}

TEST_F(Tools, GestureDirections)
{
    struct Case {
        TPoint release;
        const char* zoom;
    };
    const Case cases[] = {{{300, 340}, "pre"}, {{330, 270}, "all"}, {{340, 300}, "window"}, {{260, 300}, "pre"}};
    for (const Case& c : cases) {
        port.zooms.clear();
        tools.MouseDown({300, 300}, true, true);
        tools.MouseMove(c.release);
        EXPECT_NE(tools.GestureState(), Gesture::None);
        EXPECT_TRUE(port.figures[1].has_value()) << "the gesture figure shows";
        tools.MouseUp(c.release, true, false);
        tools.MouseUp(c.release, false, true);
        ASSERT_EQ(port.zooms.size(), 1u) << c.zoom;
        EXPECT_EQ(port.zooms[0], c.zoom);
        EXPECT_EQ(tools.GestureState(), Gesture::None);
        EXPECT_FALSE(port.figures[1].has_value());
    }
}

TEST_F(Tools, ShiftSnapsTheBandWithoutAMove)
{
    Reference();
    tools.SetCommand(uCommand::Distance);
    Click(200, 200);
    tools.MouseMove({400, 230});
    ASSERT_TRUE(port.figures[0].has_value());
    EXPECT_EQ(port.figures[0]->lines[0][1], (TDPoint{400, 230}));
    port.shift = true;
    tools.KeyDown(true);
    EXPECT_EQ(port.figures[0]->lines[0][1], GetOrthPoint(doc, {200, 200}, {400, 230}));
    EXPECT_NEAR(port.figures[0]->lines[0][1].y, 200, 1e-3) << "onto the W line through the first point";
    port.shift = false;
    tools.KeyUp(false);
    EXPECT_EQ(port.figures[0]->lines[0][1], (TDPoint{400, 230}));
}

TEST_F(Tools, NoToolStillReportsThePointer)
{
    tools.SetCommand(uCommand::None);
    tools.MouseMove({123, 45});
    EXPECT_EQ(port.status[0], "X = 123.00,  Y =45.00  (pixel)");
    tools.MouseDown({123, 45}, true, false);
    tools.MouseUp({123, 45}, true, false);
    EXPECT_EQ(doc.Plane.DistanceCount(), 0);
    EXPECT_EQ(doc.Modified, 0);
}

TEST_F(Tools, AutomaticPlaneSwitchOnTheFirstClick)
{
    Set([&](Document& d) { test::TwoPlanes(d); });
    tools.options.autoSwitch = true;
    tools.SetCommand(uCommand::Distance);
    Click(700, 400);  // right of the centre line
    EXPECT_EQ(doc.CurrentBase, 2);
    Click(720, 420);
    EXPECT_EQ(doc.Plane.DistanceCount(), 1) << "the distance belongs to the right plane";
    EXPECT_EQ(doc.ParkedPlane.DistanceCount(), 0);
}

TEST_F(Tools, ErrorsNameTheClickAndTheMode)
{
    // A view so far in that the click's screen position overflows.
    Reference();
    Area({{150, 150}, {250, 150}, {250, 250}, {150, 250}, {150, 150}});
    tools.SetCommand(uCommand::SpaceSlant);
    port.view.DispScale = 1e12;
    const std::size_t before = ErrorTrail::global().size();
    EXPECT_ANY_THROW(tools.LeftClick({200, 200}));
    ASSERT_GT(ErrorTrail::global().size(), before);
    EXPECT_EQ(ErrorTrail::global().lines().back(), "MouseLeftClick  [uCommand = 19]");
}

// --- prompts ---------------------------------------------------------------------------------------

TEST(Prompts, EveryToolAndStep)
{
    struct Case {
        uCommand mode;
        int n;
        bool polygon;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {uCommand::None, 0, false, ""},
        {uCommand::BaseSixPoint, 0, false, "[基準（６点入力）を設定する]　基準となる中心線（上）をマウス㊧ボタンで指示"},
        {uCommand::BaseSixPoint, 3, false, "[基準（６点入力）を設定する]　基準となる左基準線（下）をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
        {uCommand::BaseAdjust, 1, false, "[基準矩形を調整する]　調整後の基準矩形の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"},
        {uCommand::BaseLineAdjust, 0, false, "[計測基準ＷＨを調整する]　調整する計測基準ＷＨの端点をマウス㊧ボタンで指示"},
        {uCommand::BaseUnit, 1, false, "[計測基準を設定する]　計測基準となる矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
        {uCommand::Distance, 1, false, "[距離を求める・２点間の距離を求める]　求めたい距離のもう一方の端点の位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し"},
        {uCommand::DistanceDel, 1, false, "[距離を求める・削除する]　削除したい距離をマウス㊧ボタンで指示"},
        {uCommand::DistanceHosei, 1, false, "[距離を求める・遠近補正する]　遠近補正する距離の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し"},
        {uCommand::SpaceAdd, 0, true, "[面積を求める・加算]　求めたい面積の範囲をマウス㊧ボタンで指示"},
        {uCommand::SpaceAdd, 2, true, "[面積を求める・加算]　求めたい面積の範囲をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"},
        {uCommand::SpaceSub, 1, false, "[面積を求める・減算]　求めたい面積矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
        {uCommand::SpaceAdjust, 0, false, "[面積を求める・範囲を調整する]　調整する面積形状の頂点をマウス㊧ボタンで指示"},
        {uCommand::SpaceSlant, 0, false, "[面積を求める・傾斜設定]　傾斜設定する面積をマウス㊧ボタンで指示"},
        {uCommand::SpaceHoseiDel, 0, false, "[面積を求める・遠近補正を解除する]　遠近補正を解除する面積をマウス㊧ボタンで指示"},
        {uCommand::CrossLine, 0, false, "[基準矩形の交線]　設定１と設定２の基準矩形の交線を㊧ボタンで指示。㊨ボタンでキャンセル"},
        {uCommand::ImageFix, 1, false, "[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示。㊨ボタンで１点目のやり直し"},
        {uCommand::SpaceNameUpd, 0, false, std::nullopt},
        {uCommand::ZoomUp, 0, false, std::nullopt},
        {uCommand::ZoomDown, 0, false, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PromptText(c.mode, c.n, c.polygon), c.text) << c.mode << "/" << c.n;
}

TEST(Prompts, EveryToolBeforeAndAfterItsFirstPoint)
{
    // The tools with one text before their first point and one after it.
    struct Case {
        uCommand mode;
        bool polygon;
        const char* first;
        const char* more;
    };
    const Case cases[] = {
        {uCommand::BaseAdjust, false, "[基準矩形を調整する]　調整する基準矩形の頂点をマウス㊧ボタンで指示", "[基準矩形を調整する]　調整後の基準矩形の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"},
        {uCommand::BaseLineW, false, "[計測基準Ｗを設定する]　計測基準Ｗとなる端点の位置をマウス㊧ボタンで指示", "[計測基準Ｗを設定する]　計測基準Ｗとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
        {uCommand::BaseLineH, false, "[計測基準Ｈを設定する]　計測基準Ｈとなる端点の位置をマウス㊧ボタンで指示", "[計測基準Ｈを設定する]　計測基準Ｈとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
        {uCommand::BaseLineAdjust, false, "[計測基準ＷＨを調整する]　調整する計測基準ＷＨの端点をマウス㊧ボタンで指示", "[計測基準ＷＨを調整する]　調整後の計測基準ＷＨの端点をマウス㊧ボタンで指示。㊨ボタンでやり直し"},
        {uCommand::BaseUnit, false, "[計測基準を設定する]　計測基準となる矩形の頂点をマウス㊧ボタンで指示", "[計測基準を設定する]　計測基準となる矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
        {uCommand::BaseUnitAdjust, false, "[計測基準を調整する]　調整する計測基準の端点をマウス㊧ボタンで指示", "[計測基準を調整する]　調整後の計測基準の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"},
        {uCommand::Distance, false, "[距離を求める・２点間の距離を求める]　求めたい距離の端点の位置をマウス㊧ボタンで指示", "[距離を求める・２点間の距離を求める]　求めたい距離のもう一方の端点の位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し"},
        {uCommand::DistanceDel, false, "[距離を求める・削除する]　削除したい距離をマウス㊧ボタンで指示", "[距離を求める・削除する]　削除したい距離をマウス㊧ボタンで指示"},
        {uCommand::DistanceAdjust, false, "[距離を求める・２点間を調整する]　調整する距離の端点をマウス㊧ボタンで指示", "[距離を求める・２点間を調整する]　調整後の距離の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"},
        {uCommand::DistanceHosei, false, "[距離を求める・遠近補正する]　遠近補正する距離をマウス㊧ボタンで指示", "[距離を求める・遠近補正する]　遠近補正する距離の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し"},
        {uCommand::DistanceHoseiDel, false, "[距離を求める・遠近補正を解除する]　遠近補正を解除する距離をマウス㊧ボタンで指示", "[距離を求める・遠近補正を解除する]　遠近補正を解除する距離をマウス㊧ボタンで指示"},
        {uCommand::SpaceAdd, true, "[面積を求める・加算]　求めたい面積の範囲をマウス㊧ボタンで指示", "[面積を求める・加算]　求めたい面積の範囲をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"},
        {uCommand::SpaceAdd, false, "[面積を求める・加算]　求めたい面積矩形の頂点をマウス㊧ボタンで指示", "[面積を求める・加算]　求めたい面積矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
        {uCommand::SpaceSub, true, "[面積を求める・減算]　求めたい面積の範囲をマウス㊧ボタンで指示", "[面積を求める・減算]　求めたい面積の範囲をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"},
        {uCommand::SpaceSub, false, "[面積を求める・減算]　求めたい面積矩形の頂点をマウス㊧ボタンで指示", "[面積を求める・減算]　求めたい面積矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
        {uCommand::SpaceDel, false, "[面積を求める・範囲を削除する]　削除したい面積の範囲をマウス㊧ボタンで指示", "[面積を求める・範囲を削除する]　削除したい面積の範囲をマウス㊧ボタンで指示"},
        {uCommand::SpaceAdjust, false, "[面積を求める・範囲を調整する]　調整する面積形状の頂点をマウス㊧ボタンで指示", "[面積を求める・範囲を調整する]　調整後の面積形状の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"},
        {uCommand::SpaceSlant, false, "[面積を求める・傾斜設定]　傾斜設定する面積をマウス㊧ボタンで指示", "[面積を求める・傾斜設定]　傾斜設定する面積をマウス㊧ボタンで指示"},
        {uCommand::SpaceHosei, false, "[面積を求める・遠近補正する]　遠近補正する面積をマウス㊧ボタンで指示", "[面積を求める・遠近補正する]　遠近補正する面積の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し"},
        {uCommand::SpaceHoseiDel, false, "[面積を求める・遠近補正を解除する]　遠近補正を解除する面積をマウス㊧ボタンで指示", "[面積を求める・遠近補正を解除する]　遠近補正を解除する面積をマウス㊧ボタンで指示"},
        {uCommand::CrossLine, false, "[基準矩形の交線]　設定１と設定２の基準矩形の交線を㊧ボタンで指示。㊨ボタンでキャンセル", "[基準矩形の交線]　設定１と設定２の基準矩形の交線を㊧ボタンで指示。㊨ボタンでキャンセル"},
        {uCommand::ImageFix, false, "[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示", "[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示。㊨ボタンで１点目のやり直し"},
        {uCommand::Check, false, "[検証距離]　実際の長さが分かっている距離の端点をマウス㊧ボタンで指示", "[検証距離]　もう一方の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し"},
        {uCommand::CheckDel, false, "[検証距離・削除する]　削除したい検証距離をマウス㊧ボタンで指示", "[検証距離・削除する]　削除したい検証距離をマウス㊧ボタンで指示"},
        {uCommand::StraightEdge, false, "[直線を指示してレンズを補正]　現実に真っすぐな線（柱, 窓枠, 目地）の上を３点以上クリック。㊨ボタンかEnterで１本終了。点のドラッグで移動, 直線の上で㊨ボタンで削除", "[直線を指示してレンズを補正]　同じ線の上を続けてクリック。３点以上で㊨ボタンかEnterで１本終了。㊨ボタンで前点のやり直し"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PromptText(c.mode, 0, c.polygon), std::optional<std::string>(c.first)) << c.mode;
        for (const int n : {1, 2, 3})
            EXPECT_EQ(PromptText(c.mode, n, c.polygon), std::optional<std::string>(c.more)) << c.mode << "/" << n;
    }
    // The four corners count, the one point has one text, the six points name each piece.
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(PromptText(uCommand::Base, n, false),
                  "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[" + std::to_string(n + 1) +
                      (n == 0 ? "点目]" : "点目]。㊨ボタンで前点のやり直し"));
    EXPECT_EQ(PromptText(uCommand::BaseOnePoint, 0, false), "[基準矩形を設定する]　基準をマウス㊧ボタンで指示");
    const char* pieces[] = {"中心線（上）をマウス㊧ボタンで指示", "中心線（下）", "左基準線（上）",
                            "左基準線（下）", "右基準線（上）", "右基準線（下）"};
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(PromptText(uCommand::BaseSixPoint, n, false),
                  std::string("[基準（６点入力）を設定する]　基準となる") + pieces[n] +
                      (n >= 1 ? "をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し" : ""));
    EXPECT_EQ(PromptText(uCommand::None, 0, false), "");
    // Modes without a prompt, and values no mode has (a damaged trail or file).
    for (const int mode : {ModeNumber(uCommand::SpaceNameUpd), ModeNumber(uCommand::ZoomUp), ModeNumber(uCommand::ZoomDown), kToolModeCount, 99})
        EXPECT_EQ(PromptText(static_cast<uCommand>(mode), 0, false), std::nullopt) << mode;
}

TEST_F(Tools, ToolsWithoutAPromptKeepTheOldOne)
{
    tools.SetCommand(uCommand::Distance);
    const std::string distance = Prompt();
    tools.SetCommand(uCommand::SpaceNameUpd);
    EXPECT_EQ(Prompt(), distance);
    tools.options.polygon = true;
    tools.SetCommand(uCommand::SpaceAdd);
    EXPECT_EQ(Prompt(), "[面積を求める・加算]　求めたい面積の範囲をマウス㊧ボタンで指示");
}

TEST(Edits, FreeSuffixSkipsBothExtensions)
{
    const auto dir = std::filesystem::temp_directory_path() / "kalvex-suffix-test";
    std::filesystem::create_directories(dir);
    for (const char* name : {"wall_1.bmp", "wall_2.jpg", "wall_4.jpg"})
        std::ofstream(dir / name) << "x";
    EXPECT_EQ(FreeSuffix(dir.string(), "wall"), 3);
    EXPECT_EQ(FreeSuffix(dir.string(), "roof"), 1);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kvx
