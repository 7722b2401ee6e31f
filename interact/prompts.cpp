#include "interact/prompts.h"

#include "base/tool_mode.h"
#include "base/translate.h"

namespace kvx {

namespace {

struct Prompt {
    std::string first;  // n = 0
    std::string more;   // n >= 1
};

std::string Pick(const Prompt& p, int n)
{
    return n >= 1 ? p.more : p.first;
}

} // namespace

std::string SizesPrompt()
{
    return Tx("Prompts", "[基準矩形を設定する]　基準矩形の実寸Ｗ、Ｈ（㎜）を入力してEnter");
}

std::optional<std::string> PromptText(uCommand mode, int n, bool polygon)
{
    const std::string kSixPieces[] = {Tx("Prompts", "中心線（上）をマウス㊧ボタンで指示"), Tx("Prompts", "中心線（下）"), Tx("Prompts", "左基準線（上）"),
                                             Tx("Prompts", "左基準線（下）"), Tx("Prompts", "右基準線（上）"), Tx("Prompts", "右基準線（下）")};
    switch (mode) {
    case uCommand::None:
        return std::string();
    case uCommand::Base:
        return Tx("Prompts", "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[") + std::to_string(n + 1) +
               (n == 0 ? Tx("Prompts", "点目]") : Tx("Prompts", "点目]。㊨ボタンで前点のやり直し"));
    case uCommand::BaseOnePoint:
        return std::string(Tx("Prompts", "[基準矩形を設定する]　基準をマウス㊧ボタンで指示"));
    case uCommand::BaseSixPoint:
        return std::string(Tx("Prompts", "[基準（６点入力）を設定する]　基準となる")) + kSixPieces[std::min(std::max(n, 0), 5)] +
               (n >= 1 ? Tx("Prompts", "をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し") : "");
    case uCommand::BaseAdjust:
        return Pick({Tx("Prompts", "[基準矩形を調整する]　調整する基準矩形の頂点をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[基準矩形を調整する]　調整後の基準矩形の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し")},
                    n);
    case uCommand::BaseLineW:
        return Pick({Tx("Prompts", "[計測基準Ｗを設定する]　計測基準Ｗとなる端点の位置をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[計測基準Ｗを設定する]　計測基準Ｗとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し")},
                    n);
    case uCommand::BaseLineH:
        return Pick({Tx("Prompts", "[計測基準Ｈを設定する]　計測基準Ｈとなる端点の位置をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[計測基準Ｈを設定する]　計測基準Ｈとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し")},
                    n);
    case uCommand::BaseLineAdjust:
        return Pick({Tx("Prompts", "[計測基準ＷＨを調整する]　調整する計測基準ＷＨの端点をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[計測基準ＷＨを調整する]　調整後の計測基準ＷＨの端点をマウス㊧ボタンで指示。㊨ボタンでやり直し")},
                    n);
    case uCommand::BaseUnit:
        return Pick({Tx("Prompts", "[計測基準を設定する]　計測基準となる矩形の頂点をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[計測基準を設定する]　計測基準となる矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し")},
                    n);
    case uCommand::BaseUnitAdjust:
        return Pick({Tx("Prompts", "[計測基準を調整する]　調整する計測基準の端点をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[計測基準を調整する]　調整後の計測基準の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し")},
                    n);
    case uCommand::Distance:
        return Pick({Tx("Prompts", "[距離を求める・２点間の距離を求める]　求めたい距離の端点の位置をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[距離を求める・２点間の距離を求める]　求めたい距離のもう一方の端点の位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し")},
                    n);
    case uCommand::DistanceDel:
        return std::string(Tx("Prompts", "[距離を求める・削除する]　削除したい距離をマウス㊧ボタンで指示"));
    case uCommand::DistanceAdjust:
        return Pick({Tx("Prompts", "[距離を求める・２点間を調整する]　調整する距離の端点をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[距離を求める・２点間を調整する]　調整後の距離の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し")},
                    n);
    case uCommand::DistanceHosei:
        return Pick({Tx("Prompts", "[距離を求める・遠近補正する]　遠近補正する距離をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[距離を求める・遠近補正する]　遠近補正する距離の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し")},
                    n);
    case uCommand::DistanceHoseiDel:
        return std::string(Tx("Prompts", "[距離を求める・遠近補正を解除する]　遠近補正を解除する距離をマウス㊧ボタンで指示"));
    case uCommand::SpaceAdd:
    case uCommand::SpaceSub: {
        const std::string tool = mode == uCommand::SpaceAdd ? Tx("Prompts", "[面積を求める・加算]　") : Tx("Prompts", "[面積を求める・減算]　");
        if (polygon)
            return tool + (n == 0 ? Tx("Prompts", "求めたい面積の範囲をマウス㊧ボタンで指示")
                                  : Tx("Prompts", "求めたい面積の範囲をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"));
        return tool + (n == 0 ? Tx("Prompts", "求めたい面積矩形の頂点をマウス㊧ボタンで指示")
                              : Tx("Prompts", "求めたい面積矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"));
    }
    case uCommand::SpaceDel:
        return std::string(Tx("Prompts", "[面積を求める・範囲を削除する]　削除したい面積の範囲をマウス㊧ボタンで指示"));
    case uCommand::SpaceAdjust:
        return Pick({Tx("Prompts", "[面積を求める・範囲を調整する]　調整する面積形状の頂点をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[面積を求める・範囲を調整する]　調整後の面積形状の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し")},
                    n);
    case uCommand::SpaceSlant:
        return std::string(Tx("Prompts", "[面積を求める・傾斜設定]　傾斜設定する面積をマウス㊧ボタンで指示"));
    case uCommand::SpaceHosei:
        return Pick({Tx("Prompts", "[面積を求める・遠近補正する]　遠近補正する面積をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[面積を求める・遠近補正する]　遠近補正する面積の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し")},
                    n);
    case uCommand::SpaceHoseiDel:
        return std::string(Tx("Prompts", "[面積を求める・遠近補正を解除する]　遠近補正を解除する面積をマウス㊧ボタンで指示"));
    case uCommand::CrossLine:
        return std::string(Tx("Prompts", "[基準矩形の交線]　設定１と設定２の基準矩形の交線を㊧ボタンで指示。㊨ボタンでキャンセル"));
    case uCommand::Check:
        return Pick({Tx("Prompts", "[検証距離]　実際の長さが分かっている距離の端点をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[検証距離]　もう一方の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し")},
                    n);
    case uCommand::CheckDel:
        return std::string(Tx("Prompts", "[検証距離・削除する]　削除したい検証距離をマウス㊧ボタンで指示"));
    case uCommand::ImageFix:
        return Pick({Tx("Prompts", "[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示"),
                     Tx("Prompts", "[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示。㊨ボタンで１点目のやり直し")},
                    n);
    default:
        return std::nullopt;
    }
}

std::string OutlineRefusal(OutlineFault fault)
{
    switch (fault) {
    case OutlineFault::Crossed:
        return Tx("Prompts", "※辺が交差するため設定できません。頂点は外周に沿って順に指示してください");
    case OutlineFault::Empty:
        return Tx("Prompts", "※面積がないため設定できません。頂点が重なるか３点が一直線上にあります");
    case OutlineFault::None:
        break;
    }
    return std::string();
}

} // namespace kvx
