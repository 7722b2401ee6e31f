#include "interact/interaction.h"
#include "base/translate.h"

#include "interact/interaction_detail.h"
#include "interact/hit_test.h"
#include "interact/prompts.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "interact/commands.h"
#include "base/error_trail.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace kvx {

using namespace interaction_detail;

int FreeSuffix(const std::string& folder, const std::string& stem)
{
    namespace fs = std::filesystem;
    for (int k = 1;; ++k) {
        const std::string base = stem + "_" + std::to_string(k);
        std::error_code ec;
        if (!fs::exists(fs::path(folder) / (base + ".bmp"), ec) && !fs::exists(fs::path(folder) / (base + ".jpg"), ec))
            return k;
    }
}

Interaction::Interaction(Editor& editor, const TAppSettings& settings, WindowPort& port)
    : ed_(editor), doc_(editor.Doc()), settings_(settings), port_(port)
{
}

// --- small helpers ----------------------------------------------------------------------

TDPoint Interaction::StoWPoint(TPoint s) const
{
    return StoW(port_.View(), s);
}

double Interaction::Radius() const
{
    return kPickRadius / port_.View().DispScale;
}

TDPoint Interaction::Q(int i) const
{
    return i <= doc_.InputCount() ? doc_.InputPoints[i] : pending_;
}

void Interaction::Redraw()
{
    port_.RedrawOverlay();
}

void Interaction::Recalculate()
{
    SetCalcu();
}

void Interaction::SetCalcu()
{
    port_.SetInfoText(kvx::SetCalcu(doc_, uCommand_));
}

bool Interaction::Refuse(OutlineFault fault)
{
    refusal_ = OutlineRefusal(fault);
    return fault != OutlineFault::None;
}

void Interaction::SetStatusBar()
{
    Guard("SetStatusBar", [&] {
        if (uCommand_ == uCommand::None && sizesWanted_)
            port_.SetStatusText(2, SizesPrompt());
        else if (const auto text = PromptText(uCommand_, doc_.InputCount(), options.polygon))
            port_.SetStatusText(2, refusal_.empty() ? *text : *text + "　" + refusal_);
    });
}

void Interaction::EndTool()
{
    EndTrace();
    ed_.EndOpenChain();
    ed_.ClearInput();
}

void Interaction::EnterCommand(uCommand mode)
{
    EndTool();
    uCommand_ = mode;
    refusal_.clear();
    sizesWanted_ = false;
    SetStatusBar();
    SetCalcu();
}

void Interaction::SetCommand(uCommand mode)
{
    Guard("SetCommand", [&] {
        EnterCommand(mode);
        port_.CommandChanged();
    });
}

void Interaction::Finish(uCommand mode)
{
    SetCommand(mode);
}

void Interaction::PlaneFollow(TDPoint P, bool alwaysRefresh)
{
    const bool twoPlanes = doc_.CurrentBase == 1 || doc_.CurrentBase == 2;
    const bool swap = twoPlanes && options.autoSwitch && BaseHantei(doc_, P) != doc_.CurrentBase;
    if (swap)
        ed_.SwapPlanes();
    if (swap || alwaysRefresh) {
        port_.PlaneChanged();
        Redraw();
    }
}

void Interaction::LeftClick(TDPoint P, std::optional<TDPoint> press)
{
    DrawTrace({-1, -1});
    pending_ = Snap(press.value_or(P));
    press_ = press.value_or(P);
    pointer_ = P;
    MouseLeftClick(Snap(P));
    DrawTrace(Snap(P));
}

void Interaction::RightClick(TDPoint P, std::optional<TDPoint> press)
{
    DrawTrace({-1, -1});
    pending_ = Snap(press.value_or(P));
    press_ = press.value_or(P);
    pointer_ = P;
    MouseRightClick(Snap(P));
    DrawTrace(Snap(P));
}

// --- left clicks ---------------------------------------------------------------------------------

void Interaction::MouseLeftClick(TDPoint P)
{
    GuardWith([&] { return TrailLine("MouseLeftClick", "uCommand", ModeNumber(uCommand_)); }, [&] {
        refusal_.clear();
        switch (uCommand_) {
        case uCommand::Base:
            LeftBase(P);
            break;
        case uCommand::BaseOnePoint: {
            const ViewState view = port_.View();
            const TDPoint topLeft = StoW(view, TPoint{0, 0});
            const TDPoint bottomRight = StoW(view, TPoint{port_.DisplayWidth(), port_.DisplayHeight()});
            ed_.SetTwoPlanes(SixPointFromClick(pending_, topLeft, bottomRight));
            port_.PlaneChanged();
            Finish(uCommand::None);
            Redraw();
            break;
        }
        case uCommand::BaseSixPoint:
            LeftSixPoint(P);
            break;
        case uCommand::BaseAdjust:
            LeftBaseAdjust(P);
            break;
        case uCommand::BaseLineW:
            LeftBaseLine(P, true);
            break;
        case uCommand::BaseLineH:
            LeftBaseLine(P, false);
            break;
        case uCommand::BaseLineAdjust:
            LeftBaseLineAdjust(P);
            break;
        case uCommand::BaseUnit:
            LeftBaseUnit(P);
            break;
        case uCommand::BaseUnitAdjust:
            LeftBaseUnitAdjust(P);
            break;
        case uCommand::Distance:
            LeftDistance(P);
            break;
        case uCommand::DistanceDel:
            LeftDistanceDelete();
            break;
        case uCommand::DistanceAdjust:
            LeftDistanceAdjust(P);
            break;
        case uCommand::DistanceHosei:
            if (doc_.InputCount() == 0) {
                ed_.SelectDistance(SearchDistanceNo(doc_, pending_, port_.View().DispScale));
                if (doc_.CurrentDistance > 0) {
                    ed_.AddInputPoint(pending_);
                    Redraw();
                    StartTrace(TraceKind::Line, P, doc_.Plane.base.VanishH, {}, settings_.ColorCrossLine);
                }
            } else if (doc_.Plane.Distances.Valid(doc_.CurrentDistance)) {
                ed_.SetDistanceCorrection(doc_.CurrentDistance, pending_);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        case uCommand::DistanceHoseiDel: {
            ed_.SelectDistance(SearchDistanceNo(doc_, pending_, port_.View().DispScale));
            if (doc_.CurrentDistance > 0) {
                ed_.SetDistanceCorrection(doc_.CurrentDistance, std::nullopt);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        }
        case uCommand::SpaceAdd:
        case uCommand::SpaceSub:
            if (options.polygon)
                LeftSpacePolygon(P);
            else
                LeftSpace(P);
            break;
        case uCommand::SpaceDel:
            LeftSpaceDelete();
            break;
        case uCommand::SpaceAdjust:
            LeftSpaceAdjust(P);
            break;
        case uCommand::SpaceSlant: {
            std::int32_t vertex = -1;
            ed_.SelectSpace(SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex));
            SetCalcu();
            if (doc_.CurrentSpace > 0) {
                const TSpace& s = doc_.Plane.Spaces[doc_.CurrentSpace];
                // Closing the dialog without OK keeps the angles, and the photo
                // counts as changed all the same.
                const auto texts = port_.SlopeDialog(s.slantV, s.slantH, WtoS(port_.View(), P));
                ed_.SetSlope(doc_.CurrentSpace, texts ? StrToVal(texts->first) : s.slantV,
                             texts ? StrToVal(texts->second) : s.slantH);
                SetCalcu();
                Redraw();
            }
            break;
        }
        case uCommand::SpaceHosei:
            if (doc_.InputCount() == 0) {
                std::int32_t vertex = -1;
                ed_.SelectSpace(SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex));
                if (doc_.CurrentSpace > 0) {
                    ed_.AddInputPoint(pending_);
                    Redraw();
                    StartTrace(TraceKind::Line, P, doc_.Plane.base.VanishH, {}, settings_.ColorCrossLine);
                }
            } else if (doc_.Plane.Spaces.Valid(doc_.CurrentSpace)) {
                ed_.SetSpaceCorrection(doc_.CurrentSpace, pending_);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        case uCommand::SpaceHoseiDel: {
            std::int32_t vertex = -1;
            ed_.SelectSpace(SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex));
            if (doc_.CurrentSpace > 0) {
                ed_.SetSpaceCorrection(doc_.CurrentSpace, std::nullopt);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        }
        case uCommand::SpaceNameUpd: {
            std::int32_t vertex = -1;
            const std::int32_t k = SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex);
            if (k > 0) {
                const std::string name =
                    AreaNameFromUtf8(port_.RenameArea(Tx("Tools", "名称入力"), Tx("Tools", "名称"), Cp932ToUtf8(doc_.Plane.Spaces[k].name)));
                ed_.SetSpaceName(k, name);
                Redraw();
                SetCalcu();
                Finish(uCommand_);
            }
            break;
        }
        case uCommand::CrossLine:
            ed_.SetCrossLine(pending_);
            Recalculate();
            Finish(uCommand::None);
            Redraw();
            break;
        case uCommand::ImageFix:
            LeftImageFix(P);
            break;
        case uCommand::Check:
            LeftCheck(P);
            break;
        case uCommand::CheckDel:
            LeftCheckDelete();
            break;
        case uCommand::ZoomUp:
            port_.ZoomUp(P, ZoomRedraw::ImageAndOverlay, 2.0);
            break;
        case uCommand::ZoomDown:
            port_.ZoomDown(P, ZoomRedraw::ImageAndOverlay, 0.5);
            break;
        default:
            break;
        }
        SetStatusBar();
    });
}

// --- right clicks --------------------------------------------------------------------------------

void Interaction::MouseRightClick(TDPoint P)
{
    GuardWith([&] { return TrailLine("MouseRightClick", "uCommand", ModeNumber(uCommand_)); }, [&] {
        refusal_.clear();
        const int n = doc_.InputCount();
        const double scale = port_.View().DispScale;
        std::int32_t vertex = -1;
        auto takeBack = [&](std::int32_t colour, bool restart) {
            ed_.DropLastInputPoint();
            EndTrace();
            Redraw();
            if (restart)
                StartTrace(TraceKind::Line, P, Q(n - 1), {}, colour);
        };
        auto abandon = [&] {
            ed_.ClearInput();
            EndTrace();
        };
        switch (uCommand_) {
        case uCommand::Base:
            if (n >= 1)
                takeBack(settings_.ColorBase, n - 1 >= 1);
            break;
        case uCommand::BaseSixPoint:
            if (n >= 1)
                takeBack(settings_.ColorBase, (n - 1) % 2 == 1);
            break;
        case uCommand::BaseLineW:
        case uCommand::BaseLineH:
        case uCommand::BaseUnit:
        case uCommand::ImageFix:
        case uCommand::Check:
            if (n > 0)
                abandon();
            break;
        case uCommand::Distance:
            if (n > 0) {
                ed_.EndOpenChain();
                abandon();
                if (options.continuous) {
                    SetCommand(uCommand_);
                    Redraw();
                }
                break;
            }
            [[fallthrough]];
        case uCommand::DistanceHosei:
            if (n == 0) {
                ed_.SelectDistance(SearchDistanceNo(doc_, P, scale));
                SetCalcu();
                Redraw();
            } else {
                abandon();
            }
            break;
        case uCommand::SpaceHosei:
            if (n == 1) {
                abandon();
                break;
            }
            [[fallthrough]];
        case uCommand::SpaceSlant:
            if (n == 0) {
                ed_.SelectSpace(SearchSpacePointNo(doc_, P, false, scale, vertex));
                SetCalcu();
                Redraw();
            }
            break;
        case uCommand::SpaceAdd:
        case uCommand::SpaceSub: {
            const std::int32_t colour = uCommand_ == uCommand::SpaceAdd ? settings_.ColorSpaceAdd : settings_.ColorSpaceSub;
            if (n == 0) {
                ed_.SelectSpace(SearchSpacePointNo(doc_, P, false, scale, vertex));
                SetCalcu();
                Redraw();
            } else if (options.polygon) {
                takeBack(colour, n - 1 >= 1);
            } else {
                abandon();
            }
            break;
        }
        case uCommand::CrossLine:
            SetCommand(uCommand::None);
            Redraw();
            break;
        case uCommand::BaseAdjust:
        case uCommand::BaseLineAdjust:
        case uCommand::BaseUnitAdjust:
            if (n >= 1) {
                abandon();
                Redraw();
            }
            break;
        case uCommand::DistanceDel:
            ed_.SelectDistance(SearchDistanceNo(doc_, P, scale));
            SetCalcu();
            Redraw();
            break;
        case uCommand::DistanceAdjust:
            if (n >= 1) {
                abandon();
                Redraw();
            } else {
                ed_.SelectDistance(SearchDistanceNo(doc_, P, scale));
                SetCalcu();
                Redraw();
            }
            break;
        case uCommand::SpaceDel:
            ed_.SelectSpace(SearchSpacePointNo(doc_, P, false, scale, vertex));
            SetCalcu();
            Redraw();
            break;
        case uCommand::SpaceAdjust:
            if (n >= 1) {
                abandon();
                Redraw();
            } else {
                ed_.SelectSpace(SearchSpacePointNo(doc_, P, false, scale, vertex));
                SetCalcu();
                Redraw();
            }
            break;
        default:
            break;
        }
        SetStatusBar();
    });
}

} // namespace kvx
