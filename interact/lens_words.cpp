#include "interact/lens_words.h"

#include "base/translate.h"
#include "measure/ideal_view.h"
#include "measure/numfmt.h"

namespace kvx {

std::string LensStateText(const Document& doc)
{
    const std::string head = Tx("Lens", "レンズ補正: ");
    if (doc.Lens) {
        const LensChoice& c = *doc.Lens;
        switch (c.kind) {
        case LensChoiceKind::None:
            return head + Tx("Lens", "なし");
        case LensChoiceKind::Profile:
            return head + c.profileName;
        case LensChoiceKind::Edges: {
            const std::string edges = Tx("Lens", "直線 %1 本");
            std::string text = edges;
            if (const std::size_t at = text.find("%1"); at != std::string::npos)
                text.replace(at, 2, std::to_string(c.edges.size()));
            if (!CorrectsLens(doc))
                return head + Tx("Lens", "なし") + " (" + text + ")";
            return head + text + " (k = " + FormatFixed(c.model.k, 4) + ")";
        }
        }
    }
    if (CorrectsLens(doc))
        return head + doc.AutoLensName + Tx("Lens", " (カメラのプロファイル)");
    return {};
}

std::string EdgeFitRefusal(const EdgeFit& fit)
{
    switch (fit.fault) {
    case EdgeFitFault::None: return {};
    case EdgeFitFault::TooFewEdges: return Tx("Lens", "レンズを求めるには直線が２本以上必要です.");
    case EdgeFitFault::TooFewPoints: return Tx("Lens", "直線には３点以上が必要です.");
    case EdgeFitFault::EdgeTooShort: return Tx("Lens", "直線が短すぎてレンズを求められません.");
    case EdgeFitFault::BadPoint: return Tx("Lens", "写真から遠く外れた点があります.");
    case EdgeFitFault::BadPhotoSize: return Tx("Lens", "写真の大きさが分かりません.");
    case EdgeFitFault::Undecided:
        return Tx("Lens", "直線からレンズを決められません. 写真の端に近い, 長い直線を加えてください.");
    case EdgeFitFault::NoImprovement: return Tx("Lens", "補正しても直線がまっすぐになりません.");
    }
    return {};
}

std::string EdgeFitSummary(const EdgeFit& fit)
{
    if (!fit)
        return {};
    return Tx("Lens", "直線のずれ ") + FormatFixed(fit.rmsBefore, 2) + " px → " + FormatFixed(fit.rmsAfter, 2) + " px, " +
           Tx("Lens", "確かさ ±") + FormatFixed(fit.strength * 100, 2) + " %";
}

} // namespace kvx
