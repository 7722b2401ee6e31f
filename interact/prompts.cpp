#include "interact/prompts.h"

#include "base/tool_mode.h"
#include "base/translate.h"
#include "interact/tool_table.h"

#include <algorithm>

namespace kvx {

std::string SizesPrompt()
{
    return Tx("Prompts", "[基準矩形を設定する]　基準矩形の実寸Ｗ、Ｈ（㎜）を入力してEnter");
}

std::optional<std::string> PromptText(uCommand mode, int n, bool polygon)
{
    const ToolRow& tool = Tool(mode);
    // A value no mode has gets no prompt, not the prompt of no tool.
    if (tool.mode != mode)
        return std::nullopt;
    switch (tool.prompt) {
    case PromptForm::Keep:
        return std::nullopt;
    case PromptForm::Empty:
        return std::string();
    case PromptForm::One:
        return Tx("Prompts", tool.first);
    case PromptForm::TwoSteps:
        return Tx("Prompts", n >= 1 ? tool.more : tool.first);
    case PromptForm::Reference:
        return Tx("Prompts", "[基準矩形を設定する]　基準となる矩形をマウス㊧ボタンで指示[") + std::to_string(n + 1) +
               (n == 0 ? Tx("Prompts", "点目]") : Tx("Prompts", "点目]。㊨ボタンで前点のやり直し"));
    case PromptForm::SixPoints: {
        const std::string kSixPieces[] = {Tx("Prompts", "中心線（上）をマウス㊧ボタンで指示"), Tx("Prompts", "中心線（下）"), Tx("Prompts", "左基準線（上）"),
                                                 Tx("Prompts", "左基準線（下）"), Tx("Prompts", "右基準線（上）"), Tx("Prompts", "右基準線（下）")};
        return std::string(Tx("Prompts", "[基準（６点入力）を設定する]　基準となる")) + kSixPieces[std::min(std::max(n, 0), 5)] +
               (n >= 1 ? Tx("Prompts", "をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し") : "");
    }
    case PromptForm::Area: {
        const std::string heading = Tx("Prompts", tool.first);
        if (polygon)
            return heading + (n == 0 ? Tx("Prompts", "求めたい面積の範囲をマウス㊧ボタンで指示")
                                  : Tx("Prompts", "求めたい面積の範囲をマウス㊧ボタンで指示([SHIFT]=直交)。㊨ボタンで前点のやり直し"));
        return heading + (n == 0 ? Tx("Prompts", "求めたい面積矩形の頂点をマウス㊧ボタンで指示")
                              : Tx("Prompts", "求めたい面積矩形の対角をマウス㊧ボタンで指示。㊨ボタンで前点のやり直し"));
    }
    }
    return std::nullopt;
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
