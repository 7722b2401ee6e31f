// The reference found in the photo and offered for the user to accept, and
// the marker sheet to print for it.

#include "shell/main_window.h"
#include "shell/export_to.h"

#include "base/error_trail.h"
#include "base/safe_file.h"
#include "base/translate.h"
#include "measure/numfmt.h"
#include "output/pdf/pdf_maker.h"
#include "output/report/marker_sheet.h"
#include "shell/path_names.h"
#include "shell/window_helpers.h"
#include "widgets/words.h"

#include <QKeyEvent>

#include <sstream>
#include <stdexcept>

namespace kvx {

using namespace window_helpers;

namespace {

QString MarkerName(const FoundReference& f)
{
    return (f.kind == FoundKind::AprilTag ? QStringLiteral("AprilTag ") : QStringLiteral("ArUco ")) + QString::number(f.id);
}

QString Mm(double v)
{
    return QString::fromStdString(FormatGeneral(v));
}

} // namespace

QString TF001::FoundText(const FoundReference& f) const
{
    const QString w = Mm(f.w), h = Mm(f.h);
    switch (f.kind) {
    case FoundKind::ArucoMarker:
    case FoundKind::AprilTag:
        return Qx("WindowDetect", "マーカー (%1, 一辺 %2 mm) を見つけました. Return で確定, クリックで取り消し").arg(MarkerName(f), w);
    case FoundKind::A4:
        return Qx("WindowDetect", "A4 用紙を見つけました (%1 × %2 mm). Return で確定, クリックで取り消し").arg(w, h);
    case FoundKind::A3:
        return Qx("WindowDetect", "A3 用紙を見つけました (%1 × %2 mm). Return で確定, クリックで取り消し").arg(w, h);
    case FoundKind::Letter:
        return Qx("WindowDetect", "レター用紙を見つけました (%1 × %2 mm). Return で確定, クリックで取り消し").arg(w, h);
    case FoundKind::Card:
        return Qx("WindowDetect", "カード (ID-1) を見つけました (%1 × %2 mm). Return で確定, クリックで取り消し").arg(w, h);
    }
    return {};
}

void TF001::mnDetectReferenceClick()
{
    // Off (no photo, or the two planes of setting 4): the reason instead.
    if (const auto it = actions_.find(QStringLiteral("mnDetectReference")); it != actions_.end() && !it->second->isEnabled()) {
        if (HasPhoto())
            SetInfoText(Utf8(it->second->statusTip()));
        return;
    }
    if (!HasPhoto())
        return;
    DropFound();
    // The manual tool first, with its question about what a new reference
    // clears: what is found is offered in its place, and a rejection leaves it ready.
    mnBaseClick();
    if (Command() != uCommand::Base)
        return;
    Guard("mnDetectReference", [&] {
        std::vector<FoundReference> found;
        {
            Hourglass hourglass;
            found = FindReferences(photo_.Work().Image(), FindWhat::Any, settings_.MarkerSide);
        }
        if (found.empty()) {
            SetInfoText(Tx("WindowDetect", "基準になるマーカーや用紙が見つかりません. 基準矩形の４隅をクリックしてください"));
            return;
        }
        found_ = std::move(found);
        foundAt_ = 0;
        OfferFound();
    });
}

void TF001::OfferFound()
{
    if (found_.empty())
        return;
    const FoundReference& f = found_[foundAt_];
    TraceFigure figure;
    figure.colour = 0x000000FF;  // red, apart from the reference's own colour
    for (std::size_t i = 0; i < 4; ++i)
        figure.lines.push_back({f.corners[i], f.corners[(i + 1) % 4]});
    Ik5Disp1->SetFound(figure);
    QString text = FoundText(f);
    // A4 and A3 have the same proportions: only the user knows which it is.
    // Tab offers the same outline as the other size next.
    const FoundReference& next = found_[(foundAt_ + 1) % found_.size()];
    if (IsASeries(f.kind) && IsASeries(next.kind) && next.kind != f.kind && next.corners == f.corners)
        text += next.kind == FoundKind::A3 ? Qx("WindowDetect", " A3 と同じ縦横比です: A3 なら Tab")
                                           : Qx("WindowDetect", " A4 と同じ縦横比です: A4 なら Tab");
    if (found_.size() > 1)
        text += Qx("WindowDetect", " (候補 %1/%2, Tab で次)").arg(foundAt_ + 1).arg(found_.size());
    SetInfoText(Utf8(text));
}

void TF001::DropFound()
{
    found_.clear();
    foundAt_ = 0;
    if (Ik5Disp1)
        Ik5Disp1->SetFound(std::nullopt);
}

void TF001::AcceptFound()
{
    if (found_.empty())
        return;
    const FoundReference f = found_[foundAt_];
    DropFound();
    editor_.SetReferenceWithSize(f.corners, FormatGeneral(f.w), FormatGeneral(f.h), false, SizeTolerance{0, 0, f.dw, f.dh});
    SyncFieldsFromDocument();
    SetCommand(uCommand::None);
    ReferenceSet();
}

void TF001::RejectFound()
{
    DropFound();
    // The manual tool stays, without points, with its own prompt.
    SetCommand(uCommand::Base);
}

bool TF001::FoundKey(const QKeyEvent& key)
{
    if (found_.empty())
        return false;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Run([&] { Guard("AcceptFound", [&] { AcceptFound(); }); });
        return true;
    case Qt::Key_Escape:
        Run([&] { RejectFound(); });
        return true;
    case Qt::Key_Tab:
        foundAt_ = (foundAt_ + 1) % found_.size();
        Run([&] { OfferFound(); });
        return true;
    default:
        return false;
    }
}

bool TF001::FoundClick()
{
    if (found_.empty())
        return false;
    Run([&] { RejectFound(); });
    return true;
}

void TF001::mnMarkerSheetClick()
{
    ExportTo(*prompter_, exportFolders_, doc_.ImageFileName,
             {Qx("WindowDetect", "マーカーシートの出力"), ExportKind::Report,
              Qx("WindowDetect", "マーカー") + QStringLiteral(".pdf"), QStringLiteral("PDF (*.pdf)"),
              [] { return std::string("mnMarkerSheet"); }},
             [&](const QString& path) {
                 MarkerSheet sheet;
                 sheet.cells = ArucoCells(0);
                 sheet.sideMm = settings_.MarkerSide;
                 sheet.caption =
                     Utf8(Qx("WindowDetect", "ArUco 4x4 マーカー 0 (一辺 %1 mm)").arg(settings_.MarkerSide));
                 sheet.check = Tx("WindowDetect", "この定規が 100 mm であることを確かめてください");
                 std::ostringstream bytes;
                 WriteMarkerSheet(sheet, bytes);
                 std::error_code why;
                 if (WriteExportFile(ToBytes(path), bytes.str(), &why))
                     return std::string();
                 return Utf8(Qx("WindowDetect", "'%1' に書き込めません: %2")
                                 .arg(path, QString::fromStdString(why ? why.message() : std::string())));
             });
}

} // namespace kvx
