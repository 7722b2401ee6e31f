// The view's part on a real display: fitting, one pixel a pixel, framing,
// going back, and the one zoom step that goes either way with the point under
// the pointer kept in place.

#include "shell/view_zoom.h"
#include "view/view_mapping.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>

namespace kvx {
namespace {

class ViewZoomTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QImage image(1600, 1200, QImage::Format_RGB888);
        image.fill(Qt::gray);
        photo = Photo(std::move(image));
        display.resize(400, 300);
        display.SetPhoto(&photo);
        display.show();
        QApplication::processEvents();
    }

    Photo photo;
    PhotoView display;
    ViewZoom zoom{display, photo};
};

TEST_F(ViewZoomTest, FittingShowsTheWholePhotoWithoutScrollBars)
{
    zoom.Fit();
    const QSize room = display.maximumViewportSize();
    const double scale = display.CurrentView().DispScale;
    // 1600 x 1200 into the room: the narrower ratio decides.
    const double expected = std::min(room.width() / 1600.0, room.height() / 1200.0);
    EXPECT_LE(scale * 1600, room.width() + 1e-9);
    EXPECT_LE(scale * 1200, room.height() + 1e-9);
    EXPECT_NEAR(scale, expected, 0.01);
}

// A step multiplies the scale by its factor (above 1 in, below 1 out), and the
// step the other way by the inverse factor brings it back; the photo point
// under the pointer stays under it within the display's whole pixels.
struct StepCase {
    const char* what;
    ZoomDirection first;
    double factor;
};

class ViewZoomStep : public ViewZoomTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ViewZoomStep, ThePointUnderThePointerStaysAndTheStepsUndoEachOther)
{
    const StepCase& c = GetParam();
    zoom.Actual();
    display.SetView(View{400, 300, 1.0});
    const double before = display.CurrentView().DispScale;
    const TDPoint p{600, 450};
    const TPoint at = WtoS(display.State(), p);
    const ZoomDirection back = c.first == ZoomDirection::In ? ZoomDirection::Out : ZoomDirection::In;
    zoom.Step(p, c.first, ZoomRedraw::ImageAndOverlay, c.factor);
    EXPECT_NEAR(display.CurrentView().DispScale, before * c.factor, 1e-9);
    const TPoint moved = WtoS(display.State(), p);
    EXPECT_LE(std::abs(moved.x - at.x), 1);
    EXPECT_LE(std::abs(moved.y - at.y), 1);
    zoom.Step(p, back, ZoomRedraw::ImageAndOverlay, 1.0 / c.factor);
    EXPECT_NEAR(display.CurrentView().DispScale, before, 1e-9);
    const TPoint again = WtoS(display.State(), p);
    EXPECT_LE(std::abs(again.x - at.x), 2);
    EXPECT_LE(std::abs(again.y - at.y), 2);
}

INSTANTIATE_TEST_SUITE_P(Steps, ViewZoomStep,
                         ::testing::Values(StepCase{"in_by_2", ZoomDirection::In, 2.0},
                                           StepCase{"out_by_half", ZoomDirection::Out, 0.5},
                                           StepCase{"in_by_1_25", ZoomDirection::In, 1.25}),
                         [](const auto& row) { return std::string(row.param.what); });

// Back goes to the view before the last fit, pixel view or frame; the steps
// of the wheel and the zoom tool do not move what back goes to.
TEST_F(ViewZoomTest, BackGoesToTheViewBeforeTheLastJump)
{
    zoom.Fit();
    const View fitted = display.CurrentView();
    zoom.Frame({100, 100}, {300, 250});
    const View framed = display.CurrentView();
    EXPECT_GT(framed.DispScale, fitted.DispScale);
    EXPECT_EQ(zoom.Remembered(), fitted);
    zoom.Step({200, 175}, ZoomDirection::In, ZoomRedraw::None, 2.0);
    zoom.Previous();
    EXPECT_EQ(display.CurrentView(), fitted);
    zoom.Actual();
    EXPECT_EQ(display.CurrentView().DispScale, 1.0);
    zoom.Previous();
    EXPECT_EQ(display.CurrentView(), fitted);
}

// Without a photo fitting and framing change nothing.
TEST(ViewZoomEmpty, NoPhotoNoChange)
{
    Photo none;
    PhotoView display;
    display.resize(300, 200);
    ViewZoom zoom(display, none);
    const View before = display.CurrentView();
    zoom.Fit();
    zoom.Frame({0, 0}, {10, 10});
    zoom.Previous();
    EXPECT_EQ(display.CurrentView(), before);
}

} // namespace
} // namespace kvx

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
