#include "interact/prompts.h"

#include "base/tool_mode.h"

namespace kvx {

namespace {

struct Prompt {
    const char* first;  // n = 0
    const char* more;   // n >= 1 (nullptr: the same)
};

std::string Pick(const Prompt& p, int n)
{
    return n >= 1 && p.more ? p.more : p.first;
}

} // namespace

std::optional<std::string> PromptText(uCommand mode, int n, bool polygon)
{
    static const char* const kSixPieces[] = {"中心線（上）をマウス㊧ボタンで指示", "中心線（下）", "左基準線（上）",
                                             "左基準線（下）", "右基準線（上）", "右基準線（下）"};
    switch (mode) {
    case ucNone:
        return std::string();
    case ucBase:
        return "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[" + std::to_string(n + 1) +
               (n == 0 ? "点目]" : "点目]。㊨ボタンで前点のやり直し");
    case ucBaseOnePoint:
        return std::string("[基準矩形を設定する]　基準をマウス㊧ボタンで指示");
    case ucBaseSixPoint:
        return std::string("[基準（６点入力）を設定する]　基準となる") + kSixPieces[std::min(std::max(n, 0), 5)] +
               (n >= 1 ? "をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し" : "");
    case ucBaseAdjust:
        return Pick({"[基準矩形を調整する]　調整する基準矩形の頂点をマウス㊧ボタンで指示",
                     "[基準矩形を調整する]　調整後の基準矩形の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"},
                    n);
    case ucBaseLineW:
        return Pick({"[計測基準Ｗを設定する]　計測基準Ｗとなる端点の位置をマウス㊧ボタンで指示",
                     "[計測基準Ｗを設定する]　計測基準Ｗとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
                    n);
    case ucBaseLineH:
        return Pick({"[計測基準Ｈを設定する]　計測基準Ｈとなる端点の位置をマウス㊧ボタンで指示",
                     "[計測基準Ｈを設定する]　計測基準Ｈとなるもう一方の端点の位置をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
                    n);
    case ucBaseLineAdjust:
        return Pick({"[計測基準ＷＨを調整する]　調整する計測基準ＷＨの端点をマウス㊧ボタンで指示",
                     "[計測基準ＷＨを調整する]　調整後の計測基準ＷＨの端点をマウス㊧ボタンで指示。㊨ボタンでやり直し"},
                    n);
    case ucBaseUnit:
        return Pick({"[計測基準を設定する]　計測基準となる矩形の頂点をマウス㊧ボタンで指示",
                     "[計測基準を設定する]　計測基準となる矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"},
                    n);
    case ucBaseUnitAdjust:
        return Pick({"[計測基準を調整する]　調整する計測基準の端点をマウス㊧ボタンで指示",
                     "[計測基準を調整する]　調整後の計測基準の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"},
                    n);
    case ucDistance:
        return Pick({"[距離を求める・２点間の距離を求める]　求めたい距離の端点の位置をマウス㊧ボタンで指示",
                     "[距離を求める・２点間の距離を求める]　求めたい距離のもう一方の端点の位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで１点目のやり直し"},
                    n);
    case ucDistanceDel:
        return std::string("[距離を求める・削除する]　削除したい距離をマウス㊧ボタンで指示");
    case ucDistanceAdjust:
        return Pick({"[距離を求める・２点間を調整する]　調整する距離の端点をマウス㊧ボタンで指示",
                     "[距離を求める・２点間を調整する]　調整後の距離の端点をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"},
                    n);
    case ucDistanceHosei:
        return Pick({"[距離を求める・遠近補正する]　遠近補正する距離をマウス㊧ボタンで指示",
                     "[距離を求める・遠近補正する]　遠近補正する距離の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し"},
                    n);
    case ucDistanceHoseiDel:
        return std::string("[距離を求める・遠近補正を解除する]　遠近補正を解除する距離をマウス㊧ボタンで指示");
    case ucSpaceAdd:
    case ucSpaceSub: {
        const std::string tool = mode == ucSpaceAdd ? "[面積を求める・加算]　" : "[面積を求める・減算]　";
        if (polygon)
            return tool + (n == 0 ? "求めたい面積の範囲をマウス㊧ボタンで指示"
                                  : "求めたい面積の範囲をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し");
        return tool + (n == 0 ? "求めたい面積矩形の頂点をマウス㊧ボタンで指示"
                              : "求めたい面積矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し");
    }
    case ucSpaceDel:
        return std::string("[面積を求める・範囲を削除する]　削除したい面積の範囲をマウス㊧ボタンで指示");
    case ucSpaceAdjust:
        return Pick({"[面積を求める・範囲を調整する]　調整する面積形状の頂点をマウス㊧ボタンで指示",
                     "[面積を求める・範囲を調整する]　調整後の面積形状の頂点位置をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンでやり直し"},
                    n);
    case ucSpaceSlant:
        return std::string("[面積を求める・傾斜設定]　傾斜設定する面積をマウス㊧ボタンで指示");
    case ucSpaceHosei:
        return Pick({"[面積を求める・遠近補正する]　遠近補正する面積をマウス㊧ボタンで指示",
                     "[面積を求める・遠近補正する]　遠近補正する面積の側面投影位置をマウス㊧ボタンで指示。㊨ボタンでやり直し"},
                    n);
    case ucSpaceHoseiDel:
        return std::string("[面積を求める・遠近補正を解除する]　遠近補正を解除する面積をマウス㊧ボタンで指示");
    case ucCrossLine:
        return std::string("[基準矩形の交線]　設定１と設定２の基準矩形の交線を㊧ボタンで指示。㊨ボタンでキャンセル");
    case ucImageFix:
        return Pick({"[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示",
                     "[画像範囲]　必要とする画像の範囲をマウス㊧ボタンで指示。㊨ボタンで１点目のやり直し"},
                    n);
    default:
        return std::nullopt;
    }
}

std::string OutlineRefusal(OutlineFault fault)
{
    switch (fault) {
    case OutlineFault::Crossed:
        return "※辺が交差するため設定できません。頂点は外周に沿って順に指示してください";
    case OutlineFault::Empty:
        return "※面積がないため設定できません。頂点が重なるか３点が一直線上にあります";
    case OutlineFault::None:
        break;
    }
    return std::string();
}

} // namespace kvx
