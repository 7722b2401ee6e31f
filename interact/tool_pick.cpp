// The clicks of the tools that pick a mark and ask something of it, and of
// the zoom tools.

#include "interact/interaction.h"
#include "interact/tool_families.h"

#include "base/translate.h"
#include "interact/hit_test.h"
#include "measure/cp932.h"

#include <cstdint>
#include <string>

namespace kvx {

void PickTools::LeftClick(TDPoint P)
{
    switch (uCommand_) {
    case uCommand::DistanceHosei:
        LeftCorrection(P, false);
        break;
    case uCommand::SpaceHosei:
        LeftCorrection(P, true);
        break;
    case uCommand::SpaceSlant:
        LeftSlope(P);
        break;
    case uCommand::SpaceNameUpd:
        LeftRename();
        break;
    default:
        break;
    }
}

void PickTools::RightClick(TDPoint P)
{
    const int n = doc_.InputCount();
    switch (uCommand_) {
    case uCommand::DistanceHosei:
        if (n == 0)
            ChooseDistance(P);
        else
            Abandon();
        break;
    case uCommand::SpaceHosei:
        if (n == 1)
            Abandon();
        else if (n == 0)
            ChooseArea(P);
        break;
    case uCommand::SpaceSlant:
        if (n == 0)
            ChooseArea(P);
        break;
    default:
        break;
    }
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

void PickTools::LeftRename()
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

void ZoomTools::LeftClick(TDPoint P)
{
    if (uCommand_ == uCommand::ZoomUp)
        port_.ZoomUp(P, ZoomRedraw::ImageAndOverlay, 2.0);
    else
        port_.ZoomDown(P, ZoomRedraw::ImageAndOverlay, 0.5);
}

} // namespace kvx
