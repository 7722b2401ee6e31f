#pragma once

// A window for the pointer tools that records what they ask of it and answers
// their dialogs from a script.

#include "interact/window_port.h"
#include "measure/numfmt.h"
#include "view/view_mapping.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kvx::test {

class FakePort : public WindowPort {
public:
    ViewState view{0, 0, 1.0, 0, 0};
    int width = 1000;
    int height = 800;
    bool shift = false;

    int redraws = 0;
    int commandChanges = 0;
    int planeChanges = 0;
    std::string status[3];
    std::string info;
    std::vector<InputField> focused;
    std::optional<TraceFigure> figures[2];
    std::vector<std::string> zooms;
    std::deque<std::string> names;
    std::string inputBoxAnswer;
    std::vector<std::string> inputBoxDefaults;
    std::optional<std::pair<std::string, std::string>> slopeAnswer;
    std::vector<TPoint> slopeAt;
    std::vector<std::array<std::int32_t, 4>> imageRanges;
    int nameQuestions = 0;

    ViewState View() const override { return view; }
    int DisplayWidth() const override { return width; }
    int DisplayHeight() const override { return height; }
    void RedrawOverlay() override { ++redraws; }
    void SetStatusText(int panel, const std::string& text) override { status[panel] = text; }
    void SetInfoText(const std::string& text) override { info = text; }
    void CommandChanged() override { ++commandChanges; }
    void PlaneChanged() override { ++planeChanges; }
    void FocusField(InputField field) override { focused.push_back(field); }
    bool ShiftHeld() const override { return shift; }
    void ShowFigure(FigureSlot slot, const std::optional<TraceFigure>& figure) override
    {
        figures[static_cast<int>(slot)] = figure;
    }
    void ZoomWindow(TDPoint, TDPoint) override { zooms.push_back("window"); }
    void ZoomPre() override { zooms.push_back("pre"); }
    void ZoomAll() override { zooms.push_back("all"); }
    void ZoomUp(TDPoint, ZoomRedraw, double factor) override { zooms.push_back("up" + FormatGeneral(factor)); }
    void ZoomDown(TDPoint, ZoomRedraw, double factor) override { zooms.push_back("down" + FormatGeneral(factor)); }
    std::string AskAreaName() override
    {
        ++nameQuestions;
        if (names.empty())
            return {};
        std::string n = names.front();
        names.pop_front();
        return n;
    }
    std::string InputBox(const std::string&, const std::string&, const std::string& defaultText) override
    {
        inputBoxDefaults.push_back(defaultText);
        return inputBoxAnswer;
    }
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double, double, TPoint at) override
    {
        slopeAt.push_back(at);
        return slopeAnswer;
    }
    void ImageRangeOutput(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override
    {
        imageRanges.push_back({x1, y1, x2, y2});
    }
};

} // namespace kvx::test
