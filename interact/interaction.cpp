#include "interact/interaction.h"

#include "measure/ideal_view.h"
#include "base/translate.h"

#include "interact/interaction_detail.h"
#include "interact/hit_test.h"
#include "interact/prompts.h"
#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/ideal_view.h"
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
    port_.SetInfoText(kvx::SetCalcu(*Measured(doc_), uCommand_));
}

bool Interaction::Refuse(OutlineFault fault)
{
    refusal_ = OutlineRefusal(fault);
    return fault != OutlineFault::None;
}

void Interaction::SetStatusBar()
{
    Guard("SetStatusBar", [&] {
        if (uCommand_ == ucNone && sizesWanted_)
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
    GuardWith([&] { return TrailLine("MouseLeftClick", "uCommand", uCommand_); }, [&] {
        refusal_.clear();
        switch (uCommand_) {
        case ucBase:
            LeftBase(P);
            break;
        case ucBaseOnePoint: {
            const ViewState view = port_.View();
            const TDPoint topLeft = StoW(view, TPoint{0, 0});
            const TDPoint bottomRight = StoW(view, TPoint{port_.DisplayWidth(), port_.DisplayHeight()});
            ed_.SetTwoPlanes(SixPointFromClick(pending_, topLeft, bottomRight));
            port_.PlaneChanged();
            Finish(ucNone);
            Redraw();
            break;
        }
        case ucBaseSixPoint:
            LeftSixPoint(P);
            break;
        case ucBaseAdjust:
            LeftBaseAdjust(P);
            break;
        case ucBaseLineW:
            LeftBaseLine(P, true);
            break;
        case ucBaseLineH:
            LeftBaseLine(P, false);
            break;
        case ucBaseLineAdjust:
            LeftBaseLineAdjust(P);
            break;
        case ucBaseUnit:
            LeftBaseUnit(P);
            break;
        case ucBaseUnitAdjust:
            LeftBaseUnitAdjust(P);
            break;
        case ucDistance:
            LeftDistance(P);
            break;
        case ucDistanceDel:
            LeftDistanceDelete();
            break;
        case ucDistanceAdjust:
            LeftDistanceAdjust(P);
            break;
        case ucDistanceHosei:
            if (doc_.InputCount() == 0) {
                ed_.SelectDistance(SearchDistanceNo(doc_, pending_, port_.View().DispScale));
                if (doc_.CurrentDistance > 0) {
                    ed_.AddInputPoint(pending_);
                    Redraw();
                    StartTrace(3, P, doc_.Plane.base.VanishH, {}, settings_.ColorCrossLine);
                }
            } else if (doc_.Plane.Distances.Valid(doc_.CurrentDistance)) {
                ed_.SetDistanceCorrection(doc_.CurrentDistance, pending_);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        case ucDistanceHoseiDel: {
            ed_.SelectDistance(SearchDistanceNo(doc_, pending_, port_.View().DispScale));
            if (doc_.CurrentDistance > 0) {
                ed_.SetDistanceCorrection(doc_.CurrentDistance, std::nullopt);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        }
        case ucSpaceAdd:
        case ucSpaceSub:
            if (options.polygon)
                LeftSpacePolygon(P);
            else
                LeftSpace(P);
            break;
        case ucSpaceDel:
            LeftSpaceDelete();
            break;
        case ucSpaceAdjust:
            LeftSpaceAdjust(P);
            break;
        case ucSpaceSlant: {
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
        case ucSpaceHosei:
            if (doc_.InputCount() == 0) {
                std::int32_t vertex = -1;
                ed_.SelectSpace(SearchSpacePointNo(doc_, pending_, false, port_.View().DispScale, vertex));
                if (doc_.CurrentSpace > 0) {
                    ed_.AddInputPoint(pending_);
                    Redraw();
                    StartTrace(3, P, doc_.Plane.base.VanishH, {}, settings_.ColorCrossLine);
                }
            } else if (doc_.Plane.Spaces.Valid(doc_.CurrentSpace)) {
                ed_.SetSpaceCorrection(doc_.CurrentSpace, pending_);
                SetCalcu();
                Finish(uCommand_);
                Redraw();
            }
            break;
        case ucSpaceHoseiDel: {
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
        case ucSpaceNameUpd: {
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
        case ucCrossLine:
            ed_.SetCrossLine(pending_);
            Recalculate();
            Finish(ucNone);
            Redraw();
            break;
        case ucImageFix:
            LeftImageFix(P);
            break;
        case ucCheck:
            LeftCheck(P);
            break;
        case ucCheckDel:
            LeftCheckDelete();
            break;
        case ucZoomUp:
            port_.ZoomUp(P, 3, 2.0);
            break;
        case ucZoomDown:
            port_.ZoomDown(P, 3, 0.5);
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
    GuardWith([&] { return TrailLine("MouseRightClick", "uCommand", uCommand_); }, [&] {
        refusal_.clear();
        const int n = doc_.InputCount();
        const double scale = port_.View().DispScale;
        std::int32_t vertex = -1;
        auto takeBack = [&](std::int32_t colour, bool restart) {
            ed_.DropLastInputPoint();
            EndTrace();
            Redraw();
            if (restart)
                StartTrace(3, P, Q(n - 1), {}, colour);
        };
        auto abandon = [&] {
            ed_.ClearInput();
            EndTrace();
        };
        switch (uCommand_) {
        case ucBase:
            if (n >= 1)
                takeBack(settings_.ColorBase, n - 1 >= 1);
            break;
        case ucBaseSixPoint:
            if (n >= 1)
                takeBack(settings_.ColorBase, (n - 1) % 2 == 1);
            break;
        case ucBaseLineW:
        case ucBaseLineH:
        case ucBaseUnit:
        case ucImageFix:
        case ucCheck:
            if (n > 0)
                abandon();
            break;
        case ucDistance:
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
        case ucDistanceHosei:
            if (n == 0) {
                ed_.SelectDistance(SearchDistanceNo(doc_, P, scale));
                SetCalcu();
                Redraw();
            } else {
                abandon();
            }
            break;
        case ucSpaceHosei:
            if (n == 1) {
                abandon();
                break;
            }
            [[fallthrough]];
        case ucSpaceSlant:
            if (n == 0) {
                ed_.SelectSpace(SearchSpacePointNo(doc_, P, false, scale, vertex));
                SetCalcu();
                Redraw();
            }
            break;
        case ucSpaceAdd:
        case ucSpaceSub: {
            const std::int32_t colour = uCommand_ == ucSpaceAdd ? settings_.ColorSpaceAdd : settings_.ColorSpaceSub;
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
        case ucCrossLine:
            SetCommand(ucNone);
            Redraw();
            break;
        case ucBaseAdjust:
        case ucBaseLineAdjust:
        case ucBaseUnitAdjust:
            if (n >= 1) {
                abandon();
                Redraw();
            }
            break;
        case ucDistanceDel:
            ed_.SelectDistance(SearchDistanceNo(doc_, P, scale));
            SetCalcu();
            Redraw();
            break;
        case ucDistanceAdjust:
            if (n >= 1) {
                abandon();
                Redraw();
            } else {
                ed_.SelectDistance(SearchDistanceNo(doc_, P, scale));
                SetCalcu();
                Redraw();
            }
            break;
        case ucSpaceDel:
            ed_.SelectSpace(SearchSpacePointNo(doc_, P, false, scale, vertex));
            SetCalcu();
            Redraw();
            break;
        case ucSpaceAdjust:
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
