#include "interact/tool_table.h"

#include "base/translate.h"

#include <algorithm>

namespace kvx {

namespace {

// mode, family, menu entry, pressed button, what it waits for, marks shown, price,
// area summary, measuring, takes points, snaps to corners, cursor, prompt form, prompt texts,
// menu caption (on the row that owns the entry), lockable.
constexpr std::array<ToolRow, kToolModeCount> kTools = {{
    {uCommand::None, ToolFamily::None, "", "", ToolNeeds::Photo, nullptr, PriceUnit::None,
     false, false, false, false, ToolCursor::Arrow, PromptForm::Empty,
     nullptr,
     nullptr,
     nullptr},
    {uCommand::Base, ToolFamily::Input, "mnBase", "SpeedButton_Base", ToolNeeds::Photo, &ViewToggles::BaseView, PriceUnit::None,
     false, false, true, true, ToolCursor::Arrow, PromptForm::Reference,
     nullptr,
     nullptr,
     Tn("WindowBuild", "基準矩形を設定する(&B)")},
    {uCommand::BaseOnePoint, ToolFamily::Input, "mnBase", "SpeedButton_Base1", ToolNeeds::TwoPlanes, &ViewToggles::BaseView, PriceUnit::None,
     false, false, true, false, ToolCursor::Arrow, PromptForm::One,
     Tn("Prompts", "[基準矩形を設定する]　基準をマウス㊧ボタンで指示"),
     nullptr,
     nullptr},
    {uCommand::BaseSixPoint, ToolFamily::Input, "mnBase", "SpeedButton_Base", ToolNeeds::Photo, &ViewToggles::BaseView, PriceUnit::None,
     false, false, true, false, ToolCursor::Arrow, PromptForm::SixPoints,
     nullptr,
     nullptr,
     nullptr},
    {uCommand::BaseAdjust, ToolFamily::Adjust, "mnBaseAdjust", "SpeedButton_BaseAdjust", ToolNeeds::Reference, &ViewToggles::BaseView, PriceUnit::None,
     false, false, true, true, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[基準矩形を調整する]　調整する基準矩形の頂点をマウス㊧ボタンで指示"),
     Tn("Prompts", "[基準矩形を調整する]　調整後の基準矩形の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"),
     Tn("WindowBuild", "基準矩形を調整する(&J)"), true},
    {uCommand::BaseLineW, ToolFamily::Input, "mnBaseLineW", "SpeedButton_BaseLineW", ToolNeeds::Reference, &ViewToggles::BaseView, PriceUnit::None,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[計測基準Ｗを設定する]　計測基準Ｗとなる端点の位置をマウス㊧ボタンで指示"),
     Tn("Prompts", "[計測基準Ｗを設定する]　計測基準Ｗとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"),
     Tn("WindowBuild", "計測基準Ｗを設定する(&W)")},
    {uCommand::BaseLineH, ToolFamily::Input, "mnBaseLineH", "SpeedButton_BaseLineH", ToolNeeds::Reference, &ViewToggles::BaseView, PriceUnit::None,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[計測基準Ｈを設定する]　計測基準Ｈとなる端点の位置をマウス㊧ボタンで指示"),
     Tn("Prompts", "[計測基準Ｈを設定する]　計測基準Ｈとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"),
     Tn("WindowBuild", "計測基準Ｈを設定する(&H)")},
    {uCommand::BaseLineAdjust, ToolFamily::Adjust, "mnBaseLineAdjust", "SpeedButton_BaseLineAdjust", ToolNeeds::BaseLine, &ViewToggles::BaseView, PriceUnit::None,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[計測基準ＷＨを調整する]　調整する計測基準ＷＨの端点をマウス㊧ボタンで指示"),
     Tn("Prompts", "[計測基準ＷＨを調整する]　調整後の計測基準ＷＨの端点をマウス㊧ボタンで指示。㊨ボタンでやり直し"),
     Tn("WindowBuild", "計測基準ＷＨを調整する(&A)")},
    {uCommand::BaseUnit, ToolFamily::Input, "mnBaseUnit", "SpeedButton_BaseUnit", ToolNeeds::Reference, &ViewToggles::BaseView, PriceUnit::None,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[計測基準を設定する]　計測基準となる矩形の頂点をマウス㊧ボタンで指示"),
     Tn("Prompts", "[計測基準を設定する]　計測基準となる矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"),
     Tn("WindowBuild", "計測基準を設定する(&U)")},
    {uCommand::BaseUnitAdjust, ToolFamily::Adjust, "mnBaseUnitAdjust", "SpeedButton_BaseUnitAdjust", ToolNeeds::BaseUnit, &ViewToggles::BaseView, PriceUnit::None,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[計測基準を調整する]　調整する計測基準の端点をマウス㊧ボタンで指示"),
     Tn("Prompts", "[計測基準を調整する]　調整後の計測基準の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"),
     Tn("WindowBuild", "計測基準を調整する(&N)")},
    {uCommand::Distance, ToolFamily::Input, "mnDistance", "SpeedButton_Distance", ToolNeeds::Reference, &ViewToggles::DistanceView, PriceUnit::Metre,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[距離を求める・２点間の距離を求める]　求めたい距離の端点の位置をマウス㊧ボタンで指示"),
     Tn("Prompts", "[距離を求める・２点間の距離を求める]　求めたい距離のもう一方の端点の位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し"),
     Tn("WindowBuild", "２点間の距離を求める(&L)")},
    {uCommand::DistanceDel, ToolFamily::Delete, "mnDistanceDel", "SpeedButton_DistanceDel", ToolNeeds::Distances, &ViewToggles::DistanceView, PriceUnit::Metre,
     false, true, true, false, ToolCursor::Arrow, PromptForm::One,
     Tn("Prompts", "[距離を求める・削除する]　削除したい距離をマウス㊧ボタンで指示"),
     nullptr,
     Tn("WindowBuild", "削除する(&D)")},
    {uCommand::DistanceAdjust, ToolFamily::Adjust, "mnDistanceAdjust", "SpeedButton_DistanceAdjust", ToolNeeds::Distances, &ViewToggles::DistanceView, PriceUnit::Metre,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[距離を求める・２点間を調整する]　調整する距離の端点をマウス㊧ボタンで指示"),
     Tn("Prompts", "[距離を求める・２点間を調整する]　調整後の距離の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"),
     Tn("WindowBuild", "２点間を調整する(&J)")},
    {uCommand::DistanceHosei, ToolFamily::Pick, "mnDistanceHosei", "", ToolNeeds::CorrectableDistance, &ViewToggles::DistanceView, PriceUnit::Metre,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[距離を求める・遠近補正する]　遠近補正する距離をマウス㊧ボタンで指示"),
     Tn("Prompts", "[距離を求める・遠近補正する]　遠近補正する距離の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し"),
     Tn("WindowBuild", "遠近補正する(&P)")},
    {uCommand::DistanceHoseiDel, ToolFamily::Delete, "mnDistanceHoseiDel", "", ToolNeeds::CorrectedDistance, &ViewToggles::DistanceView, PriceUnit::Metre,
     false, true, true, false, ToolCursor::Arrow, PromptForm::One,
     Tn("Prompts", "[距離を求める・遠近補正を解除する]　遠近補正を解除する距離をマウス㊧ボタンで指示"),
     nullptr,
     Tn("WindowBuild", "遠近補正を解除する(&C)")},
    {uCommand::SpaceAdd, ToolFamily::Input, "mnSpaceAdd", "SpeedButton_SpaceAdd", ToolNeeds::Reference, &ViewToggles::SpaceView, PriceUnit::SquareMetre,
     true, true, true, false, ToolCursor::Arrow, PromptForm::Area,
     Tn("Prompts", "[面積を求める・加算]　"),
     nullptr,
     Tn("WindowBuild", "加算する(&A)")},
    {uCommand::SpaceSub, ToolFamily::Input, "mnSpaceSub", "SpeedButton_SpaceSub", ToolNeeds::Reference, &ViewToggles::SpaceView, PriceUnit::SquareMetre,
     true, true, true, false, ToolCursor::Arrow, PromptForm::Area,
     Tn("Prompts", "[面積を求める・減算]　"),
     nullptr,
     Tn("WindowBuild", "減算する(&S)")},
    {uCommand::SpaceDel, ToolFamily::Delete, "mnSpaceDel", "SpeedButton_SpaceDel", ToolNeeds::Areas, &ViewToggles::SpaceView, PriceUnit::SquareMetre,
     true, true, true, false, ToolCursor::Arrow, PromptForm::One,
     Tn("Prompts", "[面積を求める・範囲を削除する]　削除したい面積の範囲をマウス㊧ボタンで指示"),
     nullptr,
     Tn("WindowBuild", "範囲を削除する(&D)")},
    {uCommand::SpaceAdjust, ToolFamily::Adjust, "mnSpaceAdjust", "SpeedButton_SpaceAdjust", ToolNeeds::Areas, &ViewToggles::SpaceView, PriceUnit::SquareMetre,
     true, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[面積を求める・範囲を調整する]　調整する面積形状の頂点をマウス㊧ボタンで指示"),
     Tn("Prompts", "[面積を求める・範囲を調整する]　調整後の面積形状の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"),
     Tn("WindowBuild", "範囲を調整する(&J)")},
    {uCommand::SpaceSlant, ToolFamily::Pick, "mnSpaceSlant", "", ToolNeeds::Areas, &ViewToggles::SpaceView, PriceUnit::None,
     true, true, true, false, ToolCursor::Arrow, PromptForm::One,
     Tn("Prompts", "[面積を求める・傾斜設定]　傾斜設定する面積をマウス㊧ボタンで指示"),
     nullptr,
     Tn("WindowBuild", "傾斜設定(&I)")},
    {uCommand::SpaceHosei, ToolFamily::Pick, "mnSpaceHosei", "", ToolNeeds::CorrectableArea, &ViewToggles::SpaceView, PriceUnit::SquareMetre,
     true, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[面積を求める・遠近補正する]　遠近補正する面積をマウス㊧ボタンで指示"),
     Tn("Prompts", "[面積を求める・遠近補正する]　遠近補正する面積の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し"),
     Tn("WindowBuild", "遠近補正する(&P)")},
    {uCommand::SpaceHoseiDel, ToolFamily::Delete, "mnSpaceHoseiDel", "", ToolNeeds::CorrectedArea, &ViewToggles::SpaceView, PriceUnit::SquareMetre,
     true, true, true, false, ToolCursor::Arrow, PromptForm::One,
     Tn("Prompts", "[面積を求める・遠近補正を解除する]　遠近補正を解除する面積をマウス㊧ボタンで指示"),
     nullptr,
     Tn("WindowBuild", "遠近補正を解除する(&C)")},
    {uCommand::SpaceNameUpd, ToolFamily::Pick, "mnSpaceNameUpd", "", ToolNeeds::Areas, &ViewToggles::SpaceNameView, PriceUnit::None,
     false, true, true, false, ToolCursor::Arrow, PromptForm::Keep,
     nullptr,
     nullptr,
     Tn("WindowBuild", "名称変更する(&N)")},
    {uCommand::CrossLine, ToolFamily::Input, "mnCrossLine", "", ToolNeeds::OtherPlane, &ViewToggles::BaseView, PriceUnit::None,
     false, false, true, false, ToolCursor::Arrow, PromptForm::One,
     Tn("Prompts", "[基準矩形の交線]　設定１と設定２の基準矩形の交線を㊧ボタンで指示。㊨ボタンでキャンセル"),
     nullptr,
     Tn("WindowBuild", "設定1･2の基準矩形の交線(&X)")},
    {uCommand::ImageFix, ToolFamily::Input, "mnImageFix", "", ToolNeeds::Photo, nullptr, PriceUnit::None,
     false, false, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示"),
     Tn("Prompts", "[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示。㊨ボタンで１点目のやり直し"),
     Tn("WindowBuild", "画像範囲(&F)")},
    {uCommand::ZoomUp, ToolFamily::Zoom, "mnZoomUp", "SpeedButton_ZoomUp", ToolNeeds::Photo, nullptr, PriceUnit::None,
     false, false, false, false, ToolCursor::ZoomIn, PromptForm::Keep,
     nullptr,
     nullptr,
     Tn("WindowBuild", "2倍に拡大(&U)")},
    {uCommand::ZoomDown, ToolFamily::Zoom, "mnZoomDown", "SpeedButton_ZoomDown", ToolNeeds::Photo, nullptr, PriceUnit::None,
     false, false, false, false, ToolCursor::ZoomOut, PromptForm::Keep,
     nullptr,
     nullptr,
     Tn("WindowBuild", "1/2倍に縮小(&D)")},
    {uCommand::Check, ToolFamily::Input, "mnCheck", "", ToolNeeds::Reference, nullptr, PriceUnit::None,
     false, true, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[検証距離]　実際の長さが分かっている距離の端点をマウス㊧ボタンで指示"),
     Tn("Prompts", "[検証距離]　もう一方の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し"),
     Tn("WindowBuild", "長さの分かっている距離で検証する(&K)")},
    {uCommand::CheckDel, ToolFamily::Delete, "mnCheckDel", "", ToolNeeds::Checks, nullptr, PriceUnit::None,
     false, true, true, false, ToolCursor::Arrow, PromptForm::One,
     Tn("Prompts", "[検証距離・削除する]　削除したい検証距離をマウス㊧ボタンで指示"),
     nullptr,
     Tn("WindowBuild", "削除する(&D)")},
    // Needs no reference: the lens is the photo's, whatever is measured on it.
    {uCommand::StraightEdge, ToolFamily::Input, "mnStraightEdge", "", ToolNeeds::Photo, nullptr, PriceUnit::None,
     false, false, true, false, ToolCursor::Arrow, PromptForm::TwoSteps,
     Tn("Prompts", "[直線を指示してレンズを補正]　現実に真っすぐな線（柱, 窓枠, 目地）の上を３点以上クリック。㊨ボタンかEnterで１本終了。点のドラッグで移動, 直線の上で㊨ボタンで削除"),
     Tn("Prompts", "[直線を指示してレンズを補正]　同じ線の上を続けてクリック。３点以上で㊨ボタンかEnterで１本終了。㊨ボタンで前点のやり直し"),
     Tn("WindowBuild", "直線を指示してレンズを補正(&I)")},
}};

// The rows stand at their modes' numbers, so a mode finds its row by number.
constexpr bool RowsInModeOrder()
{
    for (std::size_t i = 0; i < kTools.size(); ++i)
        if (ModeNumber(kTools[i].mode) != static_cast<int>(i))
            return false;
    return true;
}
static_assert(RowsInModeOrder());

} // namespace

std::span<const ToolRow> ToolTable()
{
    return kTools;
}

const ToolRow& Tool(uCommand mode)
{
    const int n = ModeNumber(mode);
    return n >= 0 && n < kToolModeCount ? kTools[static_cast<std::size_t>(n)] : kTools[0];
}

bool NeedsMet(ToolNeeds needs, const Document& doc, bool photo)
{
    if (!photo)
        return false;
    const TPlaneState& p = doc.Plane;
    const bool twoPlanes = doc.CurrentBase == 1 || doc.CurrentBase == 2;
    switch (needs) {
    case ToolNeeds::Photo:
        return true;
    case ToolNeeds::TwoPlanes:
        return twoPlanes;
    default:
        break;
    }
    // Every other tool works on the reference.
    if (p.base.BaseSet != 1)
        return false;
    const bool corrected = std::any_of(p.Distances.begin(), p.Distances.end(), [](const TDistance& d) { return d.corrected == 1; });
    const bool correctedArea = std::any_of(p.Spaces.begin(), p.Spaces.end(), [](const TSpace& s) { return s.corrected == 1; });
    switch (needs) {
    case ToolNeeds::Photo:
    case ToolNeeds::TwoPlanes:
    case ToolNeeds::Reference:
        return true;
    case ToolNeeds::BaseLine:
        return p.base.BaseLineWSet == 1 || p.base.BaseLineHSet == 1;
    case ToolNeeds::BaseUnit:
        return p.base.BaseUnitSet == 1;
    case ToolNeeds::OtherPlane:
        return doc.OtherBaseSet == 1;
    case ToolNeeds::Distances:
        return p.DistanceCount() > 0;
    case ToolNeeds::CorrectableDistance:
        return p.DistanceCount() > 0 && doc.CrossLineSet == 1;
    case ToolNeeds::CorrectedDistance:
        return p.DistanceCount() > 0 && corrected;
    case ToolNeeds::Areas:
        return p.SpaceCount() > 0;
    case ToolNeeds::CorrectableArea:
        return p.SpaceCount() > 0 && doc.CrossLineSet == 1;
    case ToolNeeds::CorrectedArea:
        return p.SpaceCount() > 0 && correctedArea;
    case ToolNeeds::Checks:
        return !p.Checks.empty();
    }
    return false;
}

} // namespace kvx
