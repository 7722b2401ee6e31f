// The photo's life cycle: opening, saving its measurements, switching the
// setting and the group, scanning and image processing.

#include "shell/main_window.h"
#include "widgets/words.h"
#include "base/translate.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
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
#include "shell/photo_open.h"

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
#include <QProgressDialog>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>

namespace kvx {

using namespace window_helpers;

// --- photos -------------------------------------------------------------------------------

namespace {

// Passes every message on and remembers whether a save failed; the question
// whether to keep the photo's copies was asked before, and its answer is given.
class SaveWatch : public WorkFileUi {
public:
    explicit SaveWatch(WorkFileUi& ui) : ui_(ui) {}
    bool failed = false;
    std::string message;
    void Warn(const std::string& m) override
    {
        failed = true;
        message = m;
    }
    bool AskYesNo(const std::string&) override { return true; }

private:
    WorkFileUi& ui_;
};

std::string LossWarning()
{
    return Tx("WindowPhoto", "保存せずに続けると、この画像の計測データ（基準矩形・距離・面積）は失われます.\r保存せずに続けますか？");
}

std::string KeepQuestion()
{
    return Tx("WindowPhoto", "現在表示中の画像に対する基準等の設定が変更されています.\r現在の設定を保存しますか？");
}

} // namespace

bool TF001::SaveWorkingFiles(bool leavingPhoto)
{
    // Without a photo there is nothing of the user's to keep.
    if (!HasPhoto()) {
        if (leavingPhoto)
            ForgetRecovery();
        return true;
    }
    // Half-entered points and an open chain are never saved.
    interaction_->EndTool();
    std::optional<bool> keep;
    for (;;) {
        SaveWatch watch(*prompter_);
        const SaveSettingResult r = editor_.SaveSetting(WorkingFolder(), watch);
        if (leavingPhoto && r.all && doc_.Modified == 1) {
            if (!keep)
                keep = prompter_->AskSaveChanges(KeepQuestion());
            if (!keep)
                return false;
            if (*keep)
                KeepStoredCopies(watch);
        }
        if (!watch.failed) {
            if (leavingPhoto) {
                ForgetRecovery();
                KeepInJob();
            }
            return true;
        }
        switch (prompter_->SaveFailed(watch.message)) {
        case SaveFailureChoice::Retry:
            continue;
        case SaveFailureChoice::GoOn:
            if (!prompter_->AskYesNo(LossWarning()))
                continue;
            // The copies the home would not take are only in the private
            // folder: it stays, and the user learns where.
            if (unkeptCopies_.contains(ImageKeyOf(doc_)))
                LeavePrivateFolderBehind();
            return true;
        case SaveFailureChoice::Stay:
            return false;
        }
        return false;
    }
}

bool TF001::SaveImageState()
{
    return SaveWorkingFiles(true);
}

void TF001::LoadFile(const QString& typed)
{
    Guard("LoadFile", [&] {
        // Named from where the program was started, so the recent photos and
        // the recovery note still find it when the program starts elsewhere.
        const QString path = QFileInfo(typed).absoluteFilePath();
        if (settings_.PD25Flag) {
            pd25Lines_.clear();
            if (const auto file = prompter_->OpenPd25(QString::fromStdString(settings_.PD25Folder))) {
                settings_.PD25Folder = Utf8(QFileInfo(*file).absolutePath());
                // A meter's file that cannot be read must not keep the photo closed.
                if (const auto lines = ReadPd25File(file->toStdString())) {
                    for (const std::string& line : *lines)
                        pd25Lines_ << QString::fromStdString(line);
                } else {
                    prompter_->Warn(Utf8(Qx("WindowPhoto", "'%1' を読み込めませんでした.").arg(*file)));
                }
            }
        }
        // The new photo is read and checked before the open one is left: a
        // photo that cannot be read leaves everything as it was.
        PhotoLoad loaded;
        {
            Hourglass hourglass;
            loaded = PhotoSession::Read(path, settings_, [this](int p) { Progress(p); });
            Progress(0);
        }
        if (loaded.photo.isNull()) {
            prompter_->Warn(Utf8(loaded.error));
            return;
        }
        if (!SaveImageState())
            return;
        // Work on this photo that a crash left and that could not be brought
        // back at the start comes back now, instead of its stored copies.
        const auto waiting = std::find_if(pendingRecovery_.begin(), pendingRecovery_.end(), [&](const PendingRecovery& p) {
            return RecoveryFor(p, path, loaded.photo.CheckSum());
        });
        if (waiting != pendingRecovery_.end()) {
            const PendingRecovery pending = *waiting;
            pendingRecovery_.erase(waiting);
            // Another photo's work may still wait in the working folder.
            SpareUnrecoveredWork();
            DropRecoveryInFlight(true);
            Hourglass hourglass;
            BringBack(pending, loaded.photo);
            return;
        }
        SpareUnrecoveredWork();
        // The working files are about to become the next photo's: a note
        // naming this one must not outlive them.
        ForgetRecovery();
        Hourglass hourglass;
        PushRecent(settings_.LastFileName, Utf8(path));

        diagnostic_ = false;
        sizesTyped_ = false;
        referenceToJudge_ = false;
        referenceWeak_ = false;
        const PhotoKey id = IdentifyPhoto(path, loaded.photo, Utf8(path), loaded.photo.CheckSum(), home_.Home());
        BringFromCurrentJob(id);
        const std::string damage = photo_.Open(
            loaded.photo, Utf8(path), WorkingFolder(), id, [this] { return PrepareWorkingFiles(); },
            [this](int p) { Progress(p); });
        Progress(0);
        FindCameraProfile(editor_, path, paths_.folders.ProfilesFolder());
        UseJobPrice();
        ShowDisplayedPhoto();
        SyncToolOptions();
        // The photo is open; what could be read of its measurements is kept.
        if (!damage.empty())
            prompter_->Error(damage);

        ZoomAll();
        SetPanWindow();
        SetCommand(uCommand::None);
        SetFormTitle();
        RefreshJobPanel();
    });
}

void TF001::mnOpenClick()
{
    const std::optional<QString> path = prompter_->OpenPhoto(QString::fromStdString(settings_.ImageFolder));
    if (!path)
        return;
    settings_.ImageFolder = Utf8(QFileInfo(*path).absolutePath());
    LoadFile(*path);
}

void TF001::mnFileClick()
{
    mnFileName0->setVisible(false);
    const QFontMetrics fm(font());
    for (int n = 1; n <= 5; ++n) {
        QAction* item = actions_[QStringLiteral("mnLastFileName%1").arg(n)];
        const QString path = QString::fromStdString(settings_.LastFileName[static_cast<std::size_t>(n)]);
        if (path.isEmpty()) {
            item->setVisible(false);
            continue;
        }
        item->setText(ShortenedPath(path, fm, 220));
        item->setEnabled(QFileInfo(path).isFile());
        item->setVisible(true);
        mnFileName0->setVisible(true);
    }
    actions_[QStringLiteral("mnPhotoInfo")]->setEnabled(HasPhoto());
    actions_[QStringLiteral("mnPrint")]->setVisible(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
}

void TF001::ApplyEffects()
{
    if (!HasPhoto())
        return;
    {
        Hourglass hourglass;
        photo_.Reprocess([this](int p) { Progress(p); });
        Progress(0);
    }
    ShowWorkImage();
}

void TF001::ShowWorkImage()
{
    if (!HasPhoto())
        return;
    ShowDisplayedPhoto();
}

void TF001::mnEffectClick()
{
    if (!HasPhoto())
        return;
    const Photo backup = photo_.Work();
    const ImageEffects remembered = doc_.Effects;
    // A preview is no setting yet: the document changes when OK is pressed.
    ImageEffects shown = remembered;
    Progress(0);
    int result = 0;
    do {
        ImageEffects settings = shown;
        result = prompter_->EffectDialog(settings);
        if (result == 1 || result == 4) {
            shown = settings;
            Hourglass hourglass;
            photo_.Preview(Effect(photo_.Source(), shown, [this](int p) { Progress(p); }));
            Progress(0);
        } else {
            photo_.Preview(backup);
            shown = remembered;
        }
        ShowDisplayedPhoto();
        Ik5Disp1->SetView(Ik5Disp1->CurrentView());
        RedrawImage();
        RedrawOverlay();
    } while (result == 4);
    if (result == 1)
        editor_.SetEffects(shown);
}

void TF001::mnScanClick()
{
    ScanDevices devices;
    {
        Hourglass hourglass;
        devices = ListScanDevices();
    }
    QStringList names;
    for (const std::string& n : devices.names)
        names << QString::fromStdString(n);
    const std::optional<std::string> device = prompter_->ChooseScanDevice(names, lastScanner_);
    if (!device)
        return;
    lastScanner_ = QString::fromStdString(*device);
    ScanResult scanned;
    {
        Hourglass hourglass;
        scanCancel_ = false;
        // While the page comes in, a box with a button to stop it is the only
        // thing that takes input; its button and Escape cancel the scan.
        QProgressDialog box(Qx("WindowPhoto", "スキャナから読み込んでいます."), Qx("WindowPhoto", "中止"), 0, 100, this);
        box.setObjectName(QStringLiteral("ScanProgress"));
        box.setWindowTitle(Qx("WindowPhoto", "スキャナ読込"));
        box.setWindowModality(Qt::ApplicationModal);
        box.setMinimumDuration(0);
        box.setAutoClose(false);
        box.setAutoReset(false);
        box.move(geometry().topLeft());
        box.show();
        scanned = ScanImage(*device, [&](int percent) {
            Progress(percent);
            box.setValue(percent);
            QCoreApplication::processEvents();
            return !box.wasCanceled() && !scanCancel_;
        });
        Progress(0);
    }
    // Stopped by the user: nothing went wrong, and the open photo stays.
    if (scanned.cancelled)
        return;
    if (!scanned.ok) {
        prompter_->Error(Tx("WindowPhoto", "画像の取込ができませんでした."));
        return;
    }
    QImage image(scanned.width, scanned.height, QImage::Format_RGB888);
    for (int y = 0; y < scanned.height; ++y)
        std::copy_n(scanned.rgb.data() + static_cast<std::size_t>(y) * scanned.width * 3,
                    static_cast<std::size_t>(scanned.width) * 3, image.scanLine(y));
    const QString saved = ScanSave(Photo(std::move(image)));
    if (saved.isEmpty()) {
        prompter_->Info(Tx("WindowPhoto", "スキャンデータを破棄しました."));
        return;
    }
    LoadFile(saved);
}

QString TF001::ScanSave(const Photo& scanned)
{
    const QString proposed = QStringLiteral("Scan_%1").arg(FreeSuffix(settings_.ImageFolder, "Scan"));
    return SavePhoto(scanned, Qx("WindowPhoto", "スキャナ読込データ保存"), proposed, "ScanSave",
                     Qx("WindowPhoto", "'%1' を書き込めませんでした."));
}

void TF001::mnChangeClick(int setting)
{
    Guard("mnChangeClick", [&] {
        {
            Hourglass hourglass;
            // Both planes of setting 4 are checked; when a save fails the user decides.
            if (!photo_.SwitchSetting(setting, WorkingFolder(), [this] { return SaveWorkingFiles(false); },
                                      [this](int p) { Progress(p); })) {
                SetCommand(Command());
                return;
            }
            Progress(0);
            ShowWorkImage();
        }
        SetCommand(uCommand::None);
    });
}

void TF001::mnGroupClick(int group)
{
    Guard("mnGroupClick", [&] {
        Hourglass hourglass;
        editor_.SetGroup(group);
        SetCommand(Command());
    });
}

} // namespace kvx
