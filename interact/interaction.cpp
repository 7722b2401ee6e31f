#include "interact/interaction.h"
#include "interact/tool_families.h"
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
#include "view/view_mapping.h"

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
    auto adjust = std::make_unique<AdjustTools>(*this);
    adjust_ = adjust.get();
    families_[static_cast<std::size_t>(ToolFamily::None)] = std::make_unique<NoTools>(*this);
    families_[static_cast<std::size_t>(ToolFamily::Input)] = std::make_unique<InputTools>(*this);
    families_[static_cast<std::size_t>(ToolFamily::Adjust)] = std::move(adjust);
    families_[static_cast<std::size_t>(ToolFamily::Delete)] = std::make_unique<DeleteTools>(*this);
    families_[static_cast<std::size_t>(ToolFamily::Pick)] = std::make_unique<PickTools>(*this);
    families_[static_cast<std::size_t>(ToolFamily::Zoom)] = std::make_unique<ZoomTools>(*this);
}

Interaction::~Interaction() = default;

ToolStep::ToolStep(Interaction& in)
    : in_(in), ed_(in.ed_), doc_(in.doc_), settings_(in.settings_), port_(in.port_), options(in.options),
      uCommand_(in.uCommand_), pending_(in.pending_), snapOrigin_(in.snapOrigin_)
{
}

void ToolStep::TakeBack(TDPoint P, int n, std::int32_t colour, bool restart)
{
    ed_.DropLastInputPoint();
    EndTrace();
    Redraw();
    if (restart)
        StartTrace(TraceKind::Line, P, Q(n - 1), {}, colour);
}

void ToolStep::Abandon()
{
    ed_.ClearInput();
    EndTrace();
}

void ToolStep::ChooseDistance(TDPoint P)
{
    ed_.SelectDistance(SearchDistanceNo(doc_, P, Scale()));
    SetCalcu();
    Redraw();
}

void ToolStep::ChooseArea(TDPoint P)
{
    std::int32_t vertex = -1;
    ed_.SelectSpace(SearchSpacePointNo(doc_, P, false, Scale(), vertex));
    SetCalcu();
    Redraw();
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
        // Only the end of a reference asks for them, and every mode entered forgets it.
        if (sizesWanted_)
            port_.SetStatusText(2, SizesPrompt());
        else if (const auto text = PromptText(uCommand_, doc_.InputCount(), options.polygon))
            // Why the last click was not taken comes first: after a long
            // prompt the status line would cut it off.
            port_.SetStatusText(2, refusal_.empty() ? *text : refusal_ + "　" + *text);
    });
}

void Interaction::EndTool()
{
    Family().End();
}

void ToolStep::End()
{
    EndTrace();
    ed_.EndOpenChain();
    ed_.ClearInput();
}

void Interaction::EnterCommand(uCommand mode)
{
    EndTool();
    uCommand_ = mode;
    Family().Activate();
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

// --- clicks --------------------------------------------------------------------------------------

ToolStep& Interaction::Family() const
{
    return *families_[static_cast<std::size_t>(Tool(uCommand_).family)];
}

void Interaction::MouseLeftClick(TDPoint P)
{
    GuardWith([&] { return TrailLine("MouseLeftClick", "uCommand", ModeNumber(uCommand_)); }, [&] {
        refusal_.clear();
        Family().Release(P, true, false);
        SetStatusBar();
    });
}

void Interaction::MouseRightClick(TDPoint P)
{
    GuardWith([&] { return TrailLine("MouseRightClick", "uCommand", ModeNumber(uCommand_)); }, [&] {
        refusal_.clear();
        Family().Release(P, false, true);
        SetStatusBar();
    });
}

bool Interaction::EnterKey()
{
    bool taken = false;
    GuardWith([&] { return TrailLine("EnterKey", "uCommand", ModeNumber(uCommand_)); }, [&] {
        taken = Family().Enter();
        if (taken)
            SetStatusBar();
    });
    return taken;
}

int Interaction::PickedBaseCorner() const
{
    return adjust_->PickedBaseCorner();
}

bool Interaction::PickedBaseFar() const
{
    return adjust_->PickedBaseFar();
}

std::int32_t Interaction::PickedVertex() const
{
    return adjust_->PickedVertex();
}

std::int32_t Interaction::LinkedDistance() const
{
    return adjust_->LinkedDistance();
}

} // namespace kvx
