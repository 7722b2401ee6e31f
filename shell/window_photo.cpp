// The photo's life cycle: opening, saving its measurements, switching the
// setting and the group, scanning and image processing.

#include "shell/main_window.h"

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
#include "image/painter_canvas.h"
#include "image/scanner.h"
#include "output/overlay/overlay.h"
#include "widgets/calc_edit.h"
#include "widgets/focus_manager.h"
#include "shell/window_helpers.h"

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

// --- photos -------------------------------------------------------------------------------

void TF001::SaveImageState()
{
    // Without a photo there is nothing of the user's to keep.
    if (!HasPhoto())
        return;
    const SaveSettingResult r = SaveCurrentSetting(doc_, paths_.folders.TempFolder, *prompter_);
    BaseIndicator();
    SyncFieldsFromDocument();
    if (r.all)
        KeepStoredCopies();
}

void TF001::LoadFile(const QString& path)
{
    Guard("LoadFile", [&] {
        if (settings_.PD25Flag) {
            pd25Lines_.clear();
            if (const auto file = prompter_->OpenPd25(QString::fromStdString(settings_.PD25Folder))) {
                settings_.PD25Folder = Utf8(QFileInfo(*file).absolutePath());
                // A meter's file that cannot be read must not keep the photo closed.
                if (const auto lines = ReadPd25File(file->toStdString())) {
                    for (const std::string& line : *lines)
                        pd25Lines_ << QString::fromStdString(line);
                } else {
                    prompter_->Warn(Utf8(QStringLiteral("'%1' を読み込めませんでした.").arg(*file)));
                }
            }
        }
        SaveImageState();
        // The working files are about to become the next photo's: a note
        // naming this one must not outlive them.
        ForgetRecovery();
        Hourglass hourglass;
        PushRecent(settings_.LastFileName, Utf8(path));

        work_ = Photo();
        source_ = Photo();
        Ik5Disp1->SetPhoto(nullptr);
        Init();

        PhotoLoad loaded = LoadPhoto(path, [this](int p) { Progress(p); });
        Progress(0);
        if (loaded.photo.isNull()) {
            // The photo left is already saved and released: stay without one.
            doc_.ImageFileName.clear();
            doc_.ImageCheckSum = 0;
            SetPanWindow();
            SetCommand(ucNone);
            SetFormTitle();
            RedrawImage();
            RedrawOverlay();
            prompter_->Warn(Utf8(loaded.error));
            return;
        }
        work_ = loaded.photo;
        source_ = work_;
        Ik5Disp1->SetPhoto(&work_);

        doc_.ImageFileName = Utf8(path);
        doc_.ImageCheckSum = work_.CheckSum();
        const bool clean = PrepareWorkingFiles();
        doc_.CurrentBase = 0;
        try {
            if (clean && LoadTemp(doc_, 1, paths_.folders.TempFolder))
                ApplyEffects();
        } catch (const WorkFileReadError& e) {
            // The photo is open; what could be read of its measurements is kept.
            prompter_->Error(e.what());
        }
        SyncFieldsFromDocument();

        ZoomAll();
        SetPanWindow();
        SetCommand(ucNone);
        SetFormTitle();
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
    actions_[QStringLiteral("mnPrint")]->setVisible(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
}

void TF001::ApplyEffects()
{
    if (!HasPhoto())
        return;
    {
        Hourglass hourglass;
        work_ = doc_.Effects == ImageEffects{} ? source_ : Effect(source_, doc_.Effects, [this](int p) { Progress(p); });
        Progress(0);
    }
    Ik5Disp1->SetPhoto(&work_);
    RedrawImage();
    RedrawOverlay();
}

void TF001::mnEffectClick()
{
    if (!HasPhoto())
        return;
    const Photo backup = work_;
    const ImageEffects remembered = doc_.Effects;
    Progress(0);
    int result = 0;
    do {
        ImageEffects settings = doc_.Effects;
        result = prompter_->EffectDialog(settings);
        if (result == 1 || result == 4) {
            doc_.Effects = settings;
            Hourglass hourglass;
            work_ = Effect(source_, doc_.Effects, [this](int p) { Progress(p); });
            Progress(0);
        } else {
            work_ = backup;
            doc_.Effects = remembered;
        }
        Ik5Disp1->SetPhoto(&work_);
        Ik5Disp1->SetView(Ik5Disp1->CurrentView());
        RedrawImage();
        RedrawOverlay();
    } while (result == 4);
    if (result == 1)
        doc_.Modified = 1;
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
        // The window stays drawn while the page comes in; Escape cancels.
        scanned = ScanImage(*device, [this](int percent) {
            Progress(percent);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return !scanCancel_;
        });
        Progress(0);
    }
    if (!scanned.ok) {
        prompter_->Error("画像の取込ができませんでした.");
        return;
    }
    QImage image(scanned.width, scanned.height, QImage::Format_RGB888);
    for (int y = 0; y < scanned.height; ++y)
        std::copy_n(scanned.rgb.data() + static_cast<std::size_t>(y) * scanned.width * 3,
                    static_cast<std::size_t>(scanned.width) * 3, image.scanLine(y));
    const QString saved = ScanSave(Photo(std::move(image)));
    if (saved.isEmpty()) {
        prompter_->Info("スキャンデータを破棄しました.");
        return;
    }
    LoadFile(saved);
}

QString TF001::ScanSave(const Photo& scanned)
{
    const std::string folder = settings_.ImageFolder;
    const QString proposed = QStringLiteral("Scan_%1").arg(FreeSuffix(folder, "Scan"));
    const auto choice = prompter_->SaveImage(QStringLiteral("スキャナ読込データ保存"), QString::fromStdString(folder),
                                             proposed, lastSaveFilter_);
    if (!choice)
        return {};
    lastSaveFilter_ = choice->filter;
    const QFileInfo info(choice->path);
    settings_.ImageFolder = Utf8(info.absolutePath());
    const QString path = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                         (choice->filter == 2 ? QStringLiteral(".bmp") : QStringLiteral(".jpg"));
    Hourglass hourglass;
    auto progress = [this](int p) { Progress(p); };
    const bool written = choice->filter == 2 ? scanned.SaveBmp(path, progress) : scanned.SaveJpeg(path, progress);
    Progress(0);
    if (!written) {
        prompter_->Warn(Utf8(QStringLiteral("'%1' を書き込めませんでした.").arg(path)));
        return {};
    }
    return path;
}

void TF001::mnChangeClick(int setting)
{
    Guard("mnChangeClick", [&] {
        {
            Hourglass hourglass;
            const SwitchResult r = SwitchSetting(doc_, setting, paths_.folders.TempFolder, *prompter_);
            SyncFieldsFromDocument();
            if (!r.switched) {
                SetCommand(Command());
                return;
            }
            // The photo shows the new setting's processing, also when it has none.
            ApplyEffects();
        }
        BaseIndicator();
        SetCommand(ucNone);
        RedrawOverlay();
    });
}

void TF001::mnGroupClick(int group)
{
    Guard("mnGroupClick", [&] {
        Hourglass hourglass;
        doc_.CurrentGroup = std::clamp(group, 0, 5);
        SetCommand(Command());
        RedrawOverlay();
    });
}

} // namespace kvx
