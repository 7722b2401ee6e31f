#include "output/overlay/overlay.h"

#include "measure/calibration.h"
#include "measure/cp932.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"
#include "output/overlay/recording_canvas.h"
#include "interact/commands.h"

#include "documents.h"

#include "testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

namespace kvx {
namespace {

using Kind = RecordingCanvas::Kind;

class Overlay : public ::testing::Test {
protected:
    Document doc;
    TAppSettings settings;
    RecordingCanvas canvas;
    OverlayContext context;

    void SetUp() override
    {
        context.settings = &settings;
        context.viewWidth = 1000;
        context.viewHeight = 800;
        context.imageWidth = 1000;
        context.imageHeight = 800;
    }
    void Reference()
    {
        // Straight on: both vanishing points lie 100,000,000 pixels away.
        SetReferenceRect(doc, {TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}}, true);
    }
    void Draw(uCommand mode = uCommand::None)
    {
        canvas.calls.clear();
        context.uCommand = mode;
        DrawBase(canvas, doc, context);
    }
    std::vector<RecordingCanvas::Call> Calls(Kind kind) const
    {
        std::vector<RecordingCanvas::Call> out;
        std::copy_if(canvas.calls.begin(), canvas.calls.end(), std::back_inserter(out),
                     [&](const auto& c) { return c.kind == kind; });
        return out;
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> out;
        for (const auto& c : Calls(Kind::Text))
            out.push_back(c.info.Text);
        return out;
    }
    std::int32_t AddDistance(TDPoint a, TDPoint b, std::int32_t prev = 0, std::int32_t next = 0)
    {
        TDistance d;
        d.start = a;
        d.end = b;
        d.prev = prev;
        d.next = next;
        return doc.Plane.Distances.Append(d);
    }
    std::int32_t AddSquare(double x, double y, double size, std::uint8_t kind)
    {
        TSpace s;
        s.kind = kind;
        s.points = {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
        s.correctedPoints.resize(5);
        return doc.Plane.Spaces.Append(s);
    }
};

TEST_F(Overlay, ReferenceRaysEdgesAndTheFarVanishingPoints)
{
    Reference();
    Draw();
    const auto lines = Calls(Kind::Line);
    ASSERT_EQ(lines.size(), 8u) << "four construction rays, four edges";
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[static_cast<std::size_t>(i)].info.LineStyle, kStyleConstruction);
        EXPECT_EQ(lines[static_cast<std::size_t>(i)].info.PenColor, settings.ColorBase);
    }
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i)].info.LineStyle, kStyleSolid);
    EXPECT_EQ(lines[4].rect, (TRect{100, 100, 500, 100}));
    // Rays from a vanishing point 10^8 pixels away arrive cut to the view.
    for (const auto& l : lines)
        for (const std::int32_t v : {l.rect.left, l.rect.top, l.rect.right, l.rect.bottom})
            EXPECT_LT(std::abs(v), 10000);

    Draw(uCommand::BaseAdjust);
    EXPECT_EQ(Calls(Kind::Ellipse).size(), 4u) << "handles on the corners while adjusting";
    context.which = 2;
    Draw(uCommand::BaseAdjust);
    EXPECT_TRUE(Calls(Kind::Ellipse).empty()) << "no handles in the other plane's pass";
    EXPECT_EQ(Calls(Kind::Line)[4].info.PenColor, settings.ColorBase2);
}

TEST_F(Overlay, TheEdgesOfWAndHAreNamed)
{
    // The same rectangle clicked from each corner, either way round: W is
    // always the top edge and H the one after it.
    const std::array<TDPoint, 4> corners{TDPoint{100, 100}, {500, 100}, {500, 400}, {100, 400}};
    for (int first = 0; first < 4; ++first) {
        for (const int step : {1, 3}) {
            std::array<TDPoint, 4> clicked{};
            for (int i = 0; i < 4; ++i)
                clicked[static_cast<std::size_t>(i)] = corners[static_cast<std::size_t>((first + i * step) % 4)];
            SetReferenceRect(doc, clicked, true);
            Draw();
            std::map<std::string, TDPoint> centres;
            for (const auto& t : Calls(Kind::Text))
                centres[t.info.Text] = {(t.rect.left + t.rect.right) / 2.0, (t.rect.top + t.rect.bottom) / 2.0};
            ASSERT_EQ(centres.size(), 2u);
            EXPECT_NEAR(centres["W"].x, 300, 1) << first << " " << step;
            EXPECT_NEAR(centres["W"].y, 100, 1) << first << " " << step;
            EXPECT_NEAR(centres["H"].x, 500, 1) << first << " " << step;
            EXPECT_NEAR(centres["H"].y, 250, 1) << first << " " << step;
        }
    }
}

TEST_F(Overlay, ReferenceInputSkipsEverythingButTheInput)
{
    Reference();
    AddDistance({150, 150}, {300, 150});
    AddSquare(200, 200, 50, kSpaceAdd);
    doc.InputPoints.Append({10, 10});
    doc.InputPoints.Append({60, 10});
    for (const uCommand mode : {uCommand::Base, uCommand::BaseOnePoint, uCommand::BaseSixPoint}) {
        Draw(mode);
        EXPECT_TRUE(Texts().empty()) << mode;
        if (mode == uCommand::Base) {
            ASSERT_EQ(Calls(Kind::Line).size(), 1u);
            EXPECT_EQ(Calls(Kind::Line)[0].rect, (TRect{60, 10, 10, 10}));
        }
    }
    Draw(uCommand::BaseSixPoint);
    ASSERT_EQ(Calls(Kind::Line).size(), 1u);
    EXPECT_EQ(Calls(Kind::Line)[0].info.PenWidth, 3);
}

TEST_F(Overlay, DistanceLabelsInTheFourQuadrants)
{
    Reference();
    doc.KijunWText = "400";  // the 400 x 300 pixel reference is 400 x 300 mm: 1 mm a pixel
    doc.KijunHText = "300";
    struct Case {
        TDPoint a, b;
        TRect box;
    };
    // "100": 3 characters, 21 x 14 on the recording device.
    const Case cases[] = {
        {{200, 200}, {300, 200}, {300, 200, 321, 186}},  // a = 0: above right
        {{200, 200}, {200, 300}, {200, 314, 221, 300}},  // a = 90: below right
        {{300, 200}, {200, 200}, {179, 186, 200, 200}},  // a = 180: above left
        {{200, 300}, {200, 200}, {200, 200, 221, 186}},  // a = 270: above right
        {{300, 200}, {200, 300}, {179, 314, 200, 300}},  // a = 135: below left
    };
    for (const Case& c : cases) {
        doc.Plane.Distances.Clear();
        AddDistance(c.a, c.b);
        Draw();
        const auto texts = Calls(Kind::Text);
        ASSERT_EQ(texts.size(), 3u) << "the reference's W and H, then the distance";
        EXPECT_EQ(texts[2].rect, c.box) << texts[2].info.Text;
    }
}

TEST_F(Overlay, ChainTotalsStylesAndWidths)
{
    Reference();
    doc.KijunWText = "400";
    doc.KijunHText = "300";
    AddDistance({110, 200}, {210, 200}, 0, 2);
    AddDistance({210, 200}, {310, 200}, 1, 3);
    AddDistance({310, 200}, {410, 200}, 2, 0);
    doc.CurrentDistance = 2;
    doc.View.BaseView = false;
    Draw(uCommand::Distance);
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "100") << "a segment with a successor shows its own length";
    EXPECT_EQ(texts[1], "100");
    EXPECT_EQ(texts[2], "100(300)") << "the last shows the chain total";
    const auto lines = Calls(Kind::Line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].info.PenWidth, 2) << "the current distance";
    EXPECT_EQ(lines[0].info.PenWidth, 1);

    Draw(uCommand::DistanceDel);
    for (const auto& l : Calls(Kind::Line))
        EXPECT_EQ(l.info.LineStyle, kStyleDelete);

    doc.View.TextView = false;
    Draw(uCommand::None);
    EXPECT_TRUE(Texts().empty());
    doc.CurrentGroup = 1;
    Draw(uCommand::None);
    EXPECT_TRUE(canvas.calls.empty()) << "other groups are not drawn";
}

TEST_F(Overlay, AreaLabelsNamesAndSlopes)
{
    Reference();
    doc.KijunWText = "400";
    doc.KijunHText = "300";
    const std::int32_t i = AddSquare(200, 200, 100, kSpaceAdd);
    doc.Plane.Spaces[i].name = AreaNameFromUtf8("外壁");
    doc.View.BaseView = false;
    Draw();
    auto texts = Calls(Kind::Text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].info.Text, "0.010㎡(400)");
    EXPECT_EQ(texts[0].info.TextColor, settings.ColorSpaceAdd);
    // The length-weighted centre of the outline is the square's centre (250, 250).
    // "0.010㎡(400)" is 11 characters, 77 x 14 on the recording device.
    EXPECT_EQ(texts[0].rect, (TRect{250 - 38, 257, 250 + 38, 243}));
    EXPECT_EQ(texts[1].info.Text, "外壁");
    EXPECT_EQ(texts[1].rect, (TRect{250 - 7, 243, 250 + 7, 229})) << "one line above the value";

    doc.Plane.Spaces[i].slantH = 30.0007;
    Draw();
    EXPECT_EQ(Calls(Kind::Text)[0].info.Text, "0.012㎡(431) V0ﾟ H30.0007ﾟ");

    doc.View.TextView = false;
    Draw();
    texts = Calls(Kind::Text);
    ASSERT_EQ(texts.size(), 1u) << "the name stays when values are hidden";
    EXPECT_EQ(texts[0].info.Text, "外壁");

    doc.Plane.Spaces[i].kind = 7;
    Draw();
    EXPECT_EQ(Calls(Kind::Line)[0].info.PenColor, 0) << "an unknown kind is black";
    AddSquare(50, 50, 20, kSpaceSub);
    Draw(uCommand::SpaceDel);
    EXPECT_EQ(Calls(Kind::Line).back().info.LineStyle, kStyleDelete);
    EXPECT_EQ(Calls(Kind::Line).back().info.PenColor, settings.ColorSpaceSub);
}

// With the preference on, every value's label carries its uncertainty.
TEST_F(Overlay, LabelsWithTheirUncertaintyWhenAsked)
{
    Reference();
    doc.KijunWText = "400";
    doc.KijunHText = "300";
    AddDistance({110, 200}, {210, 200}, 0, 2);
    AddDistance({210, 200}, {310, 200}, 1, 0);
    AddSquare(200, 250, 100, kSpaceAdd);
    doc.View.BaseView = false;
    Draw();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"100", "100(200)", "0.010㎡(400)", ""})) << "off by default; the empty name last";

    settings.UncertaintyLabelFlag = true;
    settings.ClickSigma = 2;
    context = DisplayContext({}, 1000, 800, 1000, 800, settings);
    ASSERT_TRUE(context.uncertaintySigma);
    EXPECT_EQ(*context.uncertaintySigma, 2.0);
    Draw();
    // Two significant figures of what a click precision of 2 pixels leaves
    // of a 100 mm distance and a 0.01 m² square beside the reference.
    const std::string d1 = "±3.0";
    const std::string d2 = "±2.9";
    const std::string a1 = "±0.00030";
    EXPECT_EQ(Texts(), (std::vector<std::string>{"100" + d1, "100" + d2 + "(200)", "0.010" + a1 + "㎡(400)", ""}));
    EXPECT_NE(d1, "±0") << "a figure that says something";
}

TEST_F(Overlay, LabelSizeEstimatedWithoutADevice)
{
    RecordingCanvas blind(false);
    Reference();
    AddDistance({200, 200}, {300, 200});
    doc.KijunWText = "400";
    doc.KijunHText = "300";
    doc.View.BaseView = false;
    settings.DrawTextSize = 12;
    context.uCommand = uCommand::None;
    DrawBase(blind, doc, context);
    ASSERT_EQ(blind.calls.back().kind, Kind::Text);
    EXPECT_EQ(blind.calls.back().rect, (TRect{300, 200, 300 + 3 * 6, 200 - 12})) << "3 bytes x 6, 12 high";
}

TEST_F(Overlay, CrossLineAndCorrectedMarks)
{
    Reference();
    test::OtherPlaneAndCrossLine(doc);
    TDistance d;
    d.start = {150, 250};
    d.end = {250, 250};
    d.corrected = 1;
    d.correctionRef = {600, 260};
    d.correctedStart = {140, 240};
    d.correctedEnd = {260, 240};
    doc.Plane.Distances.Append(d);
    doc.CurrentDistance = 1;
    doc.View.TextView = false;
    Draw(uCommand::DistanceHosei);
    const auto lines = Calls(Kind::Line);
    const auto cross = std::find_if(lines.begin(), lines.end(),
                                    [&](const auto& c) { return c.info.PenColor == settings.ColorCrossLine; });
    ASSERT_NE(cross, lines.end()) << "the cross line with all three set";
    const auto corrected = std::find_if(lines.begin(), lines.end(),
                                        [](const auto& c) { return c.info.LineStyle == kStyleCorrected; });
    ASSERT_NE(corrected, lines.end());
    const auto construction = std::count_if(lines.begin(), lines.end(), [&](const auto& c) {
        return c.info.LineStyle == kStyleConstruction && c.info.PenColor == settings.ColorDistance;
    });
    EXPECT_EQ(construction, 3);

    Draw(uCommand::CrossLine);
    const auto placing = Calls(Kind::Line);
    EXPECT_EQ(std::count_if(placing.begin(), placing.end(),
                            [&](const auto& c) { return c.info.PenColor == settings.ColorCrossLine; }),
              0)
        << "while the cross line is placed, the other rectangle shows instead";
}

TEST_F(Overlay, DiagnosticGridStaysInsideTheDevice)
{
    Reference();
    context.diagnostic = true;
    Draw();
    const auto lines = Calls(Kind::Line);
    EXPECT_GT(lines.size(), 8u);
    for (const auto& l : lines)
        for (const std::int32_t v : {l.rect.left, l.rect.top, l.rect.right, l.rect.bottom})
            EXPECT_LT(std::abs(v), 10000);
}

TEST_F(Overlay, ParkedPlaneScopeRestoresEverything)
{
    test::TwoPlanes(doc);
    doc.KijunWText = "1,500";
    doc.ParkedPlane.BaseW = 700;
    const auto left = doc.Plane.base.BaseRect;
    const auto other = doc.OtherBaseRect;
    {
        const ParkedPlaneScope scope(doc);
        EXPECT_EQ(doc.CurrentBase, 2);
        EXPECT_EQ(doc.KijunWText, "700");
        EXPECT_EQ(doc.OtherBaseRect, left);
        Draw();
        EXPECT_FALSE(canvas.calls.empty());
    }
    EXPECT_EQ(doc.CurrentBase, 1);
    EXPECT_EQ(doc.KijunWText, "1,500") << "typed text survives a repaint";
    EXPECT_EQ(doc.Plane.base.BaseRect, left);
    EXPECT_EQ(doc.OtherBaseRect, other);
}

// The straight edges are kept in the camera's own pixels and drawn where the
// shown photo has them (here turned a quarter by its EXIF orientation), with
// the edge under way, and only while their tool is on.
TEST_F(Overlay, StraightEdgesWhereTheShownPhotoHasThemOnlyInTheirTool)
{
    doc.Sensor.orientation = 6;  // stored 1000 x 800, shown 800 x 1000 turned clockwise
    doc.Sensor.stored = {1000, 800};
    context.viewWidth = 800;
    context.viewHeight = 1000;
    context.imageWidth = 800;
    context.imageHeight = 1000;
    LensChoice choice;
    choice.kind = LensChoiceKind::Edges;
    choice.edges = {{{100, 50}, {500, 60}, {900, 50}}};
    doc.Lens = choice;
    doc.InputPoints.Append({200, 300});
    doc.InputPoints.Append({220, 600});

    Draw(uCommand::None);
    EXPECT_TRUE(Calls(Kind::Line).empty());
    EXPECT_TRUE(Calls(Kind::Ellipse).empty());

    Draw(uCommand::StraightEdge);
    const auto lines = Calls(Kind::Line);
    ASSERT_EQ(lines.size(), 3u) << "two pieces of the kept edge, one of the edge under way";
    // A stored point (x, y) shows at (799 - y, x).
    EXPECT_EQ(lines[0].rect, (TRect{749, 100, 739, 500}));
    EXPECT_EQ(lines[1].rect, (TRect{739, 500, 749, 900}));
    EXPECT_EQ(lines[2].rect, (TRect{200, 300, 220, 600}));
    const auto circles = Calls(Kind::Ellipse);
    ASSERT_EQ(circles.size(), 5u) << "one per point";
    EXPECT_EQ((circles[0].rect.left + circles[0].rect.right) / 2, 749);
    EXPECT_EQ((circles[0].rect.top + circles[0].rect.bottom) / 2, 100);
    EXPECT_EQ(lines[0].info.PenColor, lines[2].info.PenColor);

    context.which = 2;
    Draw(uCommand::StraightEdge);
    EXPECT_TRUE(Calls(Kind::Line).empty()) << "drawn once, in the active plane's pass";
}

TEST(OverlayClip, SegmentsAgainstTheView)
{
    const auto inside = ClipSegment({10, 10}, {20, 20}, 0, 0, 100, 100);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->first, (TDPoint{10, 10}));
    const auto far = ClipSegment({-1e8, 50}, {50, 50}, 0, 0, 100, 100);
    ASSERT_TRUE(far);
    EXPECT_EQ(far->first, (TDPoint{0, 50}));
    EXPECT_FALSE(ClipSegment({-10, -10}, {-5, 200}, 0, 0, 100, 100));
}

} // namespace
} // namespace kvx
