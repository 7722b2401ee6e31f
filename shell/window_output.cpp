// Outputs (PDF, print, CSV, SD, image range) and the help menu.

#include "shell/main_window.h"

#include "widgets/photo_info_dialog.h"
#include "widgets/words.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/export/dxf.h"
#include "output/export/results_table.h"
#include "shell/rectified_file.h"
#include "base/translate.h"
#include "image/rectify.h"
#include "measure/numfmt.h"
#include "output/pd25/pd25.h"
#include "base/safe_file.h"
#include "shell/report_file.h"
#include "interact/commands.h"
#include "shell/dialogs.h"
#include "base/error_trail.h"
#include "image/effects.h"
#include "shell/painter_canvas.h"
#include "image/scanner.h"
#include "output/overlay/overlay.h"
#include "widgets/calc_edit.h"
#include "widgets/focus_manager.h"
#include "shell/window_helpers.h"
#include "shell/path_names.h"
#include "shell/export_to.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

namespace kvx {

using namespace window_helpers;

void TF001::ImageRangeOutput(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    Guard("mnImageFixClick", [&] {
        // The pixels between the two clicked pixel corners.
        const QRect region = QRect(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1))
                                 .intersected(photo_.Work().Image().rect());
        if (!HasPhoto() || region.isEmpty())
            return;
        Photo cut;
        {
            Hourglass hourglass;
            Progress(0);
            cut = Photo(photo_.Work().Image().copy(region));
            Progress(0);
        }
        const std::string stem = std::filesystem::path(doc_.ImageFileName).stem().string();
        const QString proposed =
            QString::fromStdString(stem + "_" + std::to_string(FreeSuffix(settings_.ImageFolder, stem)));
        const QString saved = SavePhoto(cut, Qx("WindowOutput", "画像範囲出力"), proposed, "ImageRangeOutput",
                                        Qx("WindowOutput", "'%1' を書き込めませんでした."));
        if (!saved.isEmpty())
            LoadFile(saved);
    });
}

QString TF001::SavePhoto(const Photo& photo, const QString& caption, const QString& proposed, const char* trail,
                         const QString& failed)
{
    QString saved;
    ExportTo(*prompter_, exportFolders_, doc_.ImageFileName, {caption, ExportKind::Photo, proposed, QString(), [trail] {
                 return std::string(trail);
             }},
             [&](const QString& path) {
                 bool written = false;
                 {
                     Hourglass hourglass;
                     auto progress = [this](int p) { Progress(p); };
                     written = exportFolders_.PhotoFilter() == 2 ? photo.SaveBmp(path, progress)
                                                                 : photo.SaveJpeg(path, progress);
                     Progress(0);
                 }
                 // Told here, as a warning: the photo that was open stays open.
                 if (!written)
                     prompter_->Warn(Utf8(QString(failed).arg(path)));
                 else
                     saved = path;
                 return std::string();
             });
    return saved;
}

void TF001::mnPdfOutClick()
{
    int process = 1;
    ExportTo(*prompter_, exportFolders_, doc_.ImageFileName,
             {Qx("WindowOutput", "PDF出力"), ExportKind::Report, ProposedName(doc_.ImageFileName, ".pdf"),
              QStringLiteral("pdf files (*.pdf)"),
              [&] { return "mnPdfOut [process = " + std::to_string(process) + "]"; }},
             [&](const QString& path) {
                 {
                     Hourglass hourglass;
                     interaction_->EndTool();
                     WritePdfReport(path, doc_, settings_, photo_.Work(), WorkingFolder(), process,
                                    [this](int p) { Progress(p); });
                     // In the two-plane setting the report leaves the second plane current.
                     if (doc_.CurrentSetting == 4 && doc_.CurrentBase == 1)
                         editor_.SwapPlanes();
                     Progress(0);
                     process = 8;
                 }
                 SetCommand(Command());
                 if (!QFileInfo(path).isFile())
                     prompter_->Warn(Utf8(Qx("WindowOutput", "[ %1 ]が見つかりません.").arg(path)));
                 else if (!prompter_->OpenDocument(path))
                     prompter_->Info(Utf8(Qx("WindowOutput", "ＰＤＦファイル出力完了.\r%1").arg(path)));
                 return std::string();
             });
}

void TF001::mnPrintClick()
{
    if (!HasPhoto())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Kalvex"));
    if (!prompter_->ChoosePrinter(printer))
        return;
    Hourglass hourglass;
    // The printed page draws both planes of setting 4 as the report does, and
    // leaves the current one current.
    PrintPhoto(printer, doc_, settings_, photo_.Work());
}

// A line of the error trail that never changes.
static std::function<std::string()> Trail(const char* line)
{
    return [line] { return std::string(line); };
}

void TF001::mnCsvOutClick()
{
    ExportTo(*prompter_, exportFolders_, doc_.ImageFileName,
             {Qx("WindowOutput", "CSV出力"), ExportKind::Table, ProposedName(doc_.ImageFileName, ".csv"),
              QStringLiteral("csv files (*.csv)"), Trail("mnCsvOut")},
             ExportBytes([this] { return CsvBytes(doc_, doc_.View.SpaceNameView); }));
}

void TF001::mnCsvOut2Click()
{
    ExportTo(*prompter_, exportFolders_, doc_.ImageFileName,
             {Qx("WindowOutput", "SD用出力"), ExportKind::Drawing, ProposedName(doc_.ImageFileName, ".jts"),
              QStringLiteral("csv files (*.jts)"), Trail("mnCsvOut2")},
             ExportBytes([this] { return SdBytes(doc_, doc_.CurrentGroup); }));
}

void TF001::mnTableOutClick()
{
    if (!HasPhoto())
        return;
    ExportTo(*prompter_, exportFolders_, doc_.ImageFileName,
             {Qx("WindowOutput", "結果表の出力"), ExportKind::Table, ProposedName(doc_.ImageFileName, "_results.csv"),
              QStringLiteral("csv files (*.csv)"), Trail("mnTableOut")},
             ExportBytes([this] {
                 // Every setting: the one shown as it is now, the others from their working files.
                 return ResultsTableBytes(EverySetting(doc_, WorkingFolder()), settings_.ClickSigma);
             }));
}

void TF001::mnDxfOutClick()
{
    // Without a photo a drawing would be empty, and an empty drawing looks like a result.
    if (!HasPhoto())
        return;
    ExportTo(*prompter_, exportFolders_, doc_.ImageFileName,
             {Qx("WindowOutput", "ＤＸＦ出力"), ExportKind::Drawing, ProposedName(doc_.ImageFileName, ".dxf"),
              QStringLiteral("DXF (*.dxf)"), Trail("mnDxfOut")},
             ExportBytes([this] { return DxfBytes(doc_); }));
}

void TF001::mnRectifiedOutClick()
{
    if (!HasPhoto() || doc_.Plane.base.BaseSet != 1)
        return;
    // The size of a pixel, proposed as the photo's own at the reference.
    const std::string size = prompter_->InputBox(Tx("WindowOutput", "正対画像の出力"),
                                                 Tx("WindowOutput", "１画素あたりのミリメートル"),
                                                 FormatFixed(ReferenceMmPerPixel(doc_), 3));
    if (size.empty())
        return;
    const double mmPerPixel = StrToVal(size);
    ExportTo(*prompter_, exportFolders_, doc_.ImageFileName,
             {Qx("WindowOutput", "正対画像の出力"), ExportKind::Report, ProposedName(doc_.ImageFileName, ".png"),
              QStringLiteral("PNG (*.png)"), Trail("mnRectifiedOut")},
             [&](const QString& path) {
                 const bool overlay = prompter_->AskYesNo(Tx("WindowOutput", "基準、距離、面積も描き入れますか？"));
                 Hourglass hourglass;
                 return WriteRectified(ToBytes(path), doc_, photo_.Work().Image(), mmPerPixel, overlay ? &settings_ : nullptr);
             });
}

// --- help ---------------------------------------------------------------------------------

void TF001::mnHelpClick()
{
    actions_[QStringLiteral("mnError")]->setVisible(!ErrorTrail::global().empty());
}

void TF001::mnErrorClick()
{
    TFDError dialog(ErrorTrail::global(), errno, this);
    dialog.move(geometry().topLeft());
    dialog.exec();
}

void TF001::mnPropertyClick()
{
    if (const std::optional<TAppSettings> stored = prompter_->PropertyDialog(settings_))
        settings_ = *stored;
    CheckBox_Snap->setChecked(settings_.SnapFlag);
    // The pan window, the tool panel and the table of results (its ± and
    // its checks' verdicts follow the click precision) follow at once, even after an abort (they then
    // simply stay as they were); colours and label size wait for the
    // overlay's next repaint.
    SetPanWindow();
    Panel2->setVisible(settings_.ShortCutButtonFlag);
    RefreshResults();
    // The status line's ± too, without waiting for the pointer to move.
    interaction_->SetStatusBar();
    RedrawOverlay();
}

void TF001::mnAboutClick()
{
    TFDVersion dialog(this);
    dialog.move(geometry().topLeft());
    dialog.exec();
}

void TF001::mnPhotoInfoClick()
{
    if (!HasPhoto())
        return;
    const QString path = QString::fromStdString(doc_.ImageFileName);
    std::vector<std::pair<std::string, std::string>> camera;
    if (const std::optional<ExifInfo> exif = ReadPhotoExif(path))
        for (CameraLine& line : CameraLines(*exif))
            camera.emplace_back(std::move(line.label), std::move(line.value));
    TFDPhotoInfo dialog(QFileInfo(path).fileName(), camera, this);
    dialog.exec();
}

void TF001::mnHistoryClick()
{
    TFDHistory dialog(QDir(paths_.resourceFolder).filePath(QStringLiteral("history.txt")),
                      [this](const QString& m) { prompter_->Warn(Utf8(m)); }, this);
    dialog.move(geometry().topLeft());
    dialog.exec();
}

void TF001::mnManualClick()
{
    const QString name = Qx("WindowOutput", "操作マニュアル.pdf");
    const QString path = QDir(paths_.resourceFolder).filePath(QStringLiteral("Manual/") + name);
    if (!QFileInfo(path).isFile()) {
        prompter_->Warn(Utf8(Qx("WindowOutput", "'%1' が見つかりません.").arg(name)));
        return;
    }
    // Without a viewer the user can still open the file by hand: say where it is.
    if (!prompter_->OpenDocument(path))
        prompter_->Warn(Utf8(Qx("WindowOutput", "'%1' を開くアプリケーションが見つかりません.\nマニュアルの場所: %2")
                                 .arg(name, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()))));
}

} // namespace kvx
