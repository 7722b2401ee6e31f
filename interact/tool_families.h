#pragma once

// The families of pointer tools.  Each family takes the clicks of its modes
// and keeps what it has picked between them (a corner, a line's end, a
// vertex); Interaction hands a click to the family the table of tools names
// for the current mode.  They work in the shared state of Interaction (the
// document through the Editor, the window through WindowPort, the points
// taken, the rubber band) through the few steps ToolStep passes on.

#include "interact/interaction.h"
#include "interact/tool_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvx {

class ToolStep {
public:
    explicit ToolStep(Interaction& in);
    virtual ~ToolStep() = default;
    ToolStep(const ToolStep&) = delete;
    ToolStep& operator=(const ToolStep&) = delete;

    // The life of a tool, in the order its calls come.  Interaction turns the
    // pointer into these: the zoom gestures of both buttons and the snapping
    // stay with it, everything a mode does with the pointer comes here.

    // A mode of the family was entered: what was picked before is forgotten.
    virtual void Activate() {}
    // A press of the mouse at image point P (not snapped), with the buttons
    // of the event, before the pointer pipeline takes it.
    virtual void Press(TDPoint, bool /*left*/, bool /*right*/) {}
    // The pointer moved to P with no button held, or a key changed how the
    // band is held (Shift): the band follows.
    virtual void Move(TDPoint P) { in_.DrawTrace(P); }
    virtual void Key(TDPoint P) { in_.DrawTrace(P); }
    // A press released without a gesture: one completed click at image
    // point P (snapped); the point the step takes is the pending press point.
    virtual void Release(TDPoint P, bool left, bool right)
    {
        if (right)
            RightClick(P);
        else if (left)
            LeftClick(P);
    }
    virtual void LeftClick(TDPoint P) = 0;
    virtual void RightClick(TDPoint P) = 0;
    // Return or Enter pressed: true when the step ends what it collects.
    virtual bool Enter() { return false; }
    // The tool stops (another is chosen, or the photo is saved or switched):
    // the band goes, the points taken are forgotten and a chain left open is ended.
    virtual void End();

protected:
    // A family's row for the current mode in a table of its own modes; null
    // for a mode the family does not handle (nothing happens then).
    template <class Row, std::size_t N>
    const Row* RowOf(const std::array<Row, N>& rows) const
    {
        for (const Row& row : rows)
            if (row.mode == uCommand_)
                return &row;
        return nullptr;
    }

    // A click of a command that draws its rubber band from the last point:
    // the first click takes its point and starts the band (after the plane
    // follow when follow is set); a later one is refused when it repeats the
    // last point.
    enum class BandStep { First, Refused, Next };
    BandStep BandClick(TDPoint P, TraceKind kind, std::int32_t colour, bool follow);
    bool Accepts(TDPoint a, TDPoint b) const { return Distance(a, b) > 0; }
    TDPoint Q(int i) const { return in_.Q(i); }
    double Radius() const { return in_.Radius(); }
    double Scale() const { return port_.View().DispScale; }
    void StartTrace(TraceKind kind, TDPoint P, TDPoint anchor, TDPoint third, std::int32_t colour)
    {
        in_.StartTrace(kind, P, anchor, third, colour);
    }
    void EndTrace() { in_.EndTrace(); }
    void Redraw() { in_.Redraw(); }
    void SetCalcu() { in_.SetCalcu(); }
    void Recalculate() { in_.Recalculate(); }
    void SetCommand(uCommand mode) { in_.SetCommand(mode); }
    void Finish(uCommand mode) { in_.Finish(mode); }
    bool Refuse(OutlineFault fault) { return in_.Refuse(fault); }
    // Words after the prompt until the next click: what came of the last step.
    void Note(std::string text) { in_.refusal_ = std::move(text); }
    void PlaneFollow(TDPoint P, bool alwaysRefresh = false) { in_.PlaneFollow(P, alwaysRefresh); }
    void AskForSizes() { in_.AskForSizes(); }
    // A right click's taking back of the last point; the band starts again
    // from the point before when restart.
    void TakeBack(TDPoint P, int n, std::int32_t colour, bool restart);
    // A right click's giving up of the points taken.
    void Abandon();
    // A right click that chooses the distance or the area under it.
    void ChooseDistance(TDPoint P);
    void ChooseArea(TDPoint P);

    Interaction& in_;
    Editor& ed_;
    const Document& doc_;
    const TAppSettings& settings_;
    WindowPort& port_;
    const ToolOptions& options;
    const uCommand& uCommand_;
    const TDPoint& pending_;
    TDPoint& snapOrigin_;
};

// No tool: a press of the left button chooses the mark under it (and its
// row in the table of results); a click does nothing more.
class NoTools final : public ToolStep {
public:
    using ToolStep::ToolStep;
    void Press(TDPoint P, bool left, bool right) override;
    void LeftClick(TDPoint) override {}
    void RightClick(TDPoint) override {}
};

// The tools that take new points.
class InputTools final : public ToolStep {
public:
    using ToolStep::ToolStep;
    void LeftClick(TDPoint P) override;
    void RightClick(TDPoint P) override;
    bool Enter() override;

    // What each of the family's modes does with a click.
    struct Steps {
        uCommand mode;
        void (InputTools::*left)(TDPoint P);
        void (InputTools::*right)(TDPoint P);  // or null: a right click does nothing
        bool (InputTools::*enter)();  // Return or Enter, or null: not taken
        std::uint8_t areaKind = kSpaceAdd;  // what an area tool makes
    };

private:
    const Steps* Row() const;

    void LeftBase(TDPoint P);
    void LeftOnePoint(TDPoint P);
    void LeftSixPoint(TDPoint P);
    void LeftBaseLineW(TDPoint P) { LeftBaseLine(P, true); }
    void LeftBaseLineH(TDPoint P) { LeftBaseLine(P, false); }
    void LeftBaseLine(TDPoint P, bool w);
    void LeftBaseUnit(TDPoint P);
    void LeftDistance(TDPoint P);
    void LeftSpace(TDPoint P);
    void LeftSpaceRectangle(TDPoint P);
    void LeftSpacePolygon(TDPoint P);
    void NewSpace(std::vector<TDPoint> outline);
    void LeftCrossLine(TDPoint P);
    void LeftImageFix(TDPoint P);
    void LeftCheck(TDPoint P);
    void LeftStraightEdge(TDPoint P);
    void RightBase(TDPoint P);
    void RightSixPoint(TDPoint P);
    void RightAbandon(TDPoint P);
    void RightDistance(TDPoint P);
    void RightSpace(TDPoint P);
    void RightCrossLine(TDPoint P);
    void RightStraightEdge(TDPoint P);
    bool EnterStraightEdge();
    // The points taken become a straight edge when there are enough; false
    // when there are too few (nothing changes then).
    bool EndStraightEdge();
    // A kept edge's point pressed and dragged to P moves there; false when
    // the press was no drag of a kept point.
    bool DragStraightEdgePoint(TDPoint P);
    // The kept edge under P goes; false when none is near.
    bool DeleteStraightEdgeAt(TDPoint P);
    bool Adds() const;  // the area tool adds (else it subtracts)
    std::int32_t SpaceColour() const;
};

// The tools that move a point of a mark: the point picked by the first click
// and what moves with it.
class AdjustTools final : public ToolStep {
public:
    using ToolStep::ToolStep;
    void LeftClick(TDPoint P) override;
    void RightClick(TDPoint P) override;

    int PickedBaseCorner() const { return pickedBaseCorner_; }
    bool PickedBaseFar() const { return pickedBaseFar_; }
    std::int32_t PickedVertex() const { return pickedVertex_; }
    std::int32_t LinkedDistance() const { return linkedDistance_; }

    struct Steps {
        uCommand mode;
        void (AdjustTools::*left)(TDPoint P);
        void (ToolStep::*choose)(TDPoint P);  // a right click with nothing picked, or null
    };

private:
    const Steps* Row() const;

    void LeftBaseAdjust(TDPoint P);
    void LeftBaseLineAdjust(TDPoint P);
    void LeftBaseUnitAdjust(TDPoint P);
    void LeftDistanceAdjust(TDPoint P);
    void LeftSpaceAdjust(TDPoint P);

    int pickedBaseCorner_ = 0;
    bool pickedBaseFar_ = false;
    int pickedLineEnd_ = 0;
    int pickedUnitCorner_ = 0;
    int pickedDistanceEnd_ = 0;
    std::int32_t linkedDistance_ = 0;
    std::int32_t pickedVertex_ = -1;
};

// The tools that remove a mark or its correction.
class DeleteTools final : public ToolStep {
public:
    using ToolStep::ToolStep;
    void LeftClick(TDPoint P) override;
    void RightClick(TDPoint P) override;

    struct Steps {
        uCommand mode;
        void (DeleteTools::*left)();
        void (ToolStep::*choose)(TDPoint P);  // a right click, or null
    };

private:
    const Steps* Row() const;

    void LeftDistanceDelete();
    void LeftSpaceDelete();
    void LeftCheckDelete();
    void LeftDistanceCorrectionDelete() { LeftCorrectionDelete(false); }
    void LeftSpaceCorrectionDelete() { LeftCorrectionDelete(true); }
    void LeftCorrectionDelete(bool area);
};

// The tools that pick a mark and ask something of it: its correction, slope or name.
class PickTools final : public ToolStep {
public:
    using ToolStep::ToolStep;
    void LeftClick(TDPoint P) override;
    void RightClick(TDPoint P) override;

    struct Steps {
        uCommand mode;
        void (PickTools::*left)(TDPoint P);
        void (PickTools::*right)(TDPoint P);
    };

private:
    const Steps* Row() const;

    void LeftDistanceCorrection(TDPoint P) { LeftCorrection(P, false); }
    void LeftSpaceCorrection(TDPoint P) { LeftCorrection(P, true); }
    void LeftCorrection(TDPoint P, bool area);
    void LeftSlope(TDPoint P);
    void LeftRename(TDPoint P);
    void RightDistanceCorrection(TDPoint P);
    void RightSpaceCorrection(TDPoint P);
    void RightSlope(TDPoint P);
};

// The zoom tools: a click zooms about its point.
class ZoomTools final : public ToolStep {
public:
    using ToolStep::ToolStep;
    void LeftClick(TDPoint P) override;
    void RightClick(TDPoint) override {}

    struct Steps {
        uCommand mode;
        void (WindowPort::*zoom)(TDPoint P, ZoomRedraw redraw, double factor);
        double factor;
    };

private:
    const Steps* Row() const;
};

} // namespace kvx
