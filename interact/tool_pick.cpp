// The clicks of the tools that pick a mark and ask something of it, and of
// the zoom tools.

#include "interact/interaction.h"
#include "interact/tool_families.h"

#include "base/translate.h"
#include "interact/hit_test.h"
#include "measure/cp932.h"
#include "view/view_mapping.h"

#include <array>
#include <cstdint>
#include <string>

namespace kvx {

const PickTools::Steps* PickTools::Row() const
{
    static constexpr std::array<Steps, 4> kSteps = {{
        {uCommand::DistanceHosei, &PickTools::LeftDistanceCorrection, &PickTools::RightDistanceCorrection},
        {uCommand::SpaceSlant, &PickTools::LeftSlope, &PickTools::RightSlope},
        {uCommand::SpaceHosei, &PickTools::LeftSpaceCorrection, &PickTools::RightSpaceCorrection},
        {uCommand::SpaceNameUpd, &PickTools::LeftRename, nullptr},
    }};
    return RowOf(kSteps);
}

void PickTools::LeftClick(TDPoint P)
{
    if (const Steps* row = Row())
        (this->*row->left)(P);
}

void PickTools::RightClick(TDPoint P)
{
    if (const Steps* row = Row(); row && row->right)
        (this->*row->right)(P);
}

void PickTools::RightDistanceCorrection(TDPoint P)
{
    if (doc_.InputCount() == 0)
        ChooseDistance(P);
    else
        Abandon();
}

void PickTools::RightSpaceCorrection(TDPoint P)
{
    const int n = doc_.InputCount();
    if (n == 1)
        Abandon();
    else if (n == 0)
        ChooseArea(P);
}

void PickTools::RightSlope(TDPoint P)
{
    if (doc_.InputCount() == 0)
        ChooseArea(P);
}

// The first click picks the mark and starts a band toward the depth's
// vanishing point; the second gives the point the correction runs through.
void PickTools::LeftCorrection(TDPoint P, bool area)
{
    if (doc_.InputCount() == 0) {
        if (area) {
            std::int32_t vertex = -1;
            ed_.SelectSpace(SearchSpacePointNo(doc_, pending_, false, Scale(), vertex));
        } else {
            ed_.SelectDistance(SearchDistanceNo(doc_, pending_, Scale()));
        }
        if ((area ? doc_.CurrentSpace : doc_.CurrentDistance) > 0) {
            ed_.AddInputPoint(pending_);
            Redraw();
            StartTrace(TraceKind::Line, P, doc_.Plane.base.VanishH, {}, settings_.ColorCrossLine);
        }
        return;
    }
    if (area ? !doc_.Plane.Spaces.Valid(doc_.CurrentSpace) : !doc_.Plane.Distances.Valid(doc_.CurrentDistance))
        return;
    if (area)
        ed_.SetSpaceCorrection(doc_.CurrentSpace, pending_);
    else
        ed_.SetDistanceCorrection(doc_.CurrentDistance, pending_);
    SetCalcu();
    Finish(uCommand_);
    Redraw();
}

void PickTools::LeftSlope(TDPoint P)
{
    std::int32_t vertex = -1;
    ed_.SelectSpace(SearchSpacePointNo(doc_, pending_, false, Scale(), vertex));
    SetCalcu();
    if (doc_.CurrentSpace <= 0)
        return;
    const TSpace& s = doc_.Plane.Spaces[doc_.CurrentSpace];
    // Closing the dialog without OK keeps the angles, and the photo
    // counts as changed all the same.
    const auto texts = port_.SlopeDialog(s.slantV, s.slantH, WtoS(port_.View(), P));
    ed_.SetSlope(doc_.CurrentSpace, texts ? StrToVal(texts->first) : s.slantV,
                 texts ? StrToVal(texts->second) : s.slantH);
    SetCalcu();
    Redraw();
}

void PickTools::LeftRename(TDPoint)
{
    std::int32_t vertex = -1;
    const std::int32_t k = SearchSpacePointNo(doc_, pending_, false, Scale(), vertex);
    if (k <= 0)
        return;
    const std::string name = AreaNameFromUtf8(
        port_.RenameArea(Tx("Tools", "名称入力"), Tx("Tools", "名称"), Cp932ToUtf8(doc_.Plane.Spaces[k].name)));
    ed_.SetSpaceName(k, name);
    Redraw();
    SetCalcu();
    Finish(uCommand_);
}

const ZoomTools::Steps* ZoomTools::Row() const
{
    static constexpr std::array<Steps, 2> kSteps = {{
        {uCommand::ZoomUp, &WindowPort::ZoomUp, 2.0},
        {uCommand::ZoomDown, &WindowPort::ZoomDown, 0.5},
    }};
    return RowOf(kSteps);
}

void ZoomTools::LeftClick(TDPoint P)
{
    if (const Steps* row = Row())
        (port_.*row->zoom)(P, ZoomRedraw::ImageAndOverlay, row->factor);
}

// A press of the left button without a tool chooses the mark under it, the
// distance before the area.
void NoTools::Press(TDPoint P, bool left, bool right)
{
    if (!left || right)
        return;
    std::int32_t vertex = -1;
    if (const std::int32_t k = SearchDistanceNo(doc_, P, Scale()))
        ed_.SelectDistance(k);
    else if (const std::int32_t a = SearchSpacePointNo(doc_, P, false, Scale(), vertex))
        ed_.SelectSpace(a);
}

} // namespace kvx
