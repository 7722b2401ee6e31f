// The window's hold on its working folder: owning the home's working files
// (one program at a time), working in a private folder when it cannot, keeping
// the working files up to date after every change, and bringing back after a
// crash what the working files held.

#include "shell/main_window.h"
#include "base/translate.h"
#include "shell/photo_open.h"

#include "base/error_trail.h"
#include "base/recovery_note.h"
#include "base/tool_mode.h"
#include "base/safe_file.h"
#include "base/scratch_folder.h"
#include "shell/path_names.h"
#include "measure/calibration.h"
#include "measure/workfiles.h"
#include "shell/window_helpers.h"

#include <QDir>
#include <QLockFile>

#include <fstream>
#include <functional>
#include <iterator>
#include <system_error>

namespace kvx {

using namespace window_helpers;
namespace fs = std::filesystem;

namespace {

// A window's private working folder in the system's temporary folder.
constexpr const char* kPrivateFolderPrefix = "kalvex-work";

std::string HomeRefused()
{
    return Tx("WindowSession", "'%1' に書き込めないため, '%2' を使います.");
}
std::string HomeInUse()
{
    return Tx("WindowSession", "作業フォルダ '%1' は別の Kalvex が使用中です.\r"
    "このウィンドウは専用の作業フォルダで作業し, 画像ごとの設定だけを '%1' に保存します.");
}
std::string HomeUnwritable()
{
    return Tx("WindowSession", "作業フォルダ '%1' に書き込めません.\r"
    "前の画像の設定は読み込まず, 専用の作業フォルダで作業します.");
}
std::string NoPrivateFolder()
{
    return Tx("WindowSession", "専用の作業フォルダを作れません. 設定は保存されません.");
}
std::string RecoverQuestion()
{
    return Tx("WindowSession", "前回は '%1' の測定を保存しないまま終了しました.\r保存されていなかった測定を戻しますか？");
}
std::string RecoverFailed()
{
    return Tx("WindowSession", "'%1' を読み込めないため, 保存されていなかった測定を戻せませんでした.");
}
std::string RecoverChanged()
{
    return Tx("WindowSession", "'%1' は前回から変わっているため, 保存されていなかった測定を戻せませんでした.");
}
std::string AutosaveFailed()
{
    return Tx("WindowSession", "作業ファイルを保存できませんでした.\r異常終了したときは, この画像の最近の測定を戻せません.");
}
std::string StoredElsewhere()
{
    return Tx("WindowSession", "この画像の設定は, 開いた後に別の Kalvex で保存されています.\r上書きしますか？");
}
std::string CopyBackFailed()
{
    return Tx("WindowSession", "画像ごとの設定情報を保存できませんでした.");
}

// The working files' bytes for the setting shown; in setting 4 both planes,
// read from a copy because bringing the left plane forward moves the planes.
struct SettingFiles {
    std::vector<std::pair<int, std::string>> files;
    std::string Joined() const
    {
        std::string all;
        for (const auto& [n, bytes] : files)
            all += std::to_string(n) + ":" + std::to_string(bytes.size()) + ":" + bytes;
        return all;
    }
};

SettingFiles EncodeSetting(const Document& doc)
{
    SettingFiles out;
    if (doc.CurrentSetting == 4) {
        Document copy = doc;
        if (copy.CurrentBase == 2)
            SwapBDS(copy);
        out.files.emplace_back(4, EncodePlaneFile(copy));
        out.files.emplace_back(CheckFile(4), EncodeCheckFile(copy.Plane));
        out.files.emplace_back(6, EncodeCrossLineFile(copy));
        SwapBDS(copy);
        out.files.emplace_back(5, EncodePlaneFile(copy));
        out.files.emplace_back(CheckFile(5), EncodeCheckFile(copy.Plane));
    } else {
        out.files.emplace_back(doc.CurrentSetting, EncodePlaneFile(doc));
        out.files.emplace_back(CheckFile(doc.CurrentSetting), EncodeCheckFile(doc.Plane));
        out.files.emplace_back(0, EncodeCrossLineFile(doc));
    }
    return out;
}

// A file's contents, or a mark for none; files far larger than any copy are
// told apart by size and time alone.
std::string Fingerprint(const fs::path& p)
{
    std::error_code ec;
    if (!IsFile(p))
        return "-";
    const auto size = fs::file_size(p, ec);
    if (ec)
        return "?";
    if (size > (16u << 20)) {
        const auto time = fs::last_write_time(p, ec).time_since_epoch().count();
        return "big:" + std::to_string(size) + ":" + std::to_string(time);
    }
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

bool TF001::OwnsHome() const
{
    return homeLock_ && homeLock_->isLocked() && !privateFolder_;
}

void TF001::ClaimHome()
{
    sharedTemp_ = paths_.folders.TempFolder;
    if (!paths_.folders.RefusedHome.empty())
        startupNotices_.push_back(QString::fromStdString(HomeRefused())
                                      .arg(QString::fromStdString(paths_.folders.RefusedHome.string()),
                                           QString::fromStdString(paths_.folders.ExeFolder.string()))
                                      .toStdString());
    // Private folders of windows that were killed go before this one may add its own.
    PruneStaleScratchFolders(kPrivateFolderPrefix);
    const fs::path lock = sharedTemp_ / "kalvex.lock";
    homeLock_ = std::make_unique<QLockFile>(FromPath(lock));
    // Held for the whole run: only a lock whose program is gone is stale,
    // never one that is merely old.
    homeLock_->setStaleLockTime(0);
    if (homeLock_->tryLock(0)) {
        // A lock that a power cut leaves empty or missing would let a second
        // program take the working files this one is using.
        SyncFile(lock);
        return;
    }
    const QString folder = QString::fromStdString(sharedTemp_.string());
    if (homeLock_->error() == QLockFile::LockFailedError)
        UsePrivateWorkingFolder(QString::fromStdString(HomeInUse()).arg(folder).toStdString());
    else
        UsePrivateWorkingFolder(QString::fromStdString(HomeUnwritable()).arg(folder).toStdString());
}

void TF001::UsePrivateWorkingFolder(const std::string& why)
{
    if (!privateFolder_) {
        auto made = std::make_unique<ScratchFolder>(kPrivateFolderPrefix);
        if (made->valid()) {
            privateFolder_ = std::move(made);
            paths_.folders.TempFolder = privateFolder_->path();
        } else {
            startupNotices_.push_back(NoPrivateFolder());
        }
    }
    startupNotices_.push_back(why);
}

void TF001::ShowStartupNotices()
{
    std::vector<std::string> notices;
    notices.swap(startupNotices_);
    for (const std::string& notice : notices)
        prompter_->Warn(notice);
}

void TF001::StartUp()
{
    Guard("StartUp", [&] {
        ShowStartupNotices();
        OfferRecovery();
    });
}

void TF001::BringInStoredCopies()
{
    const std::string key = ImageKeyOf(doc_);
    storedCopies_.clear();
    for (const int i : kPhotoFiles) {
        const fs::path shared = PerImageFile(sharedTemp_, key, i);
        storedCopies_.push_back(Fingerprint(shared));
        if (!privateFolder_)
            continue;
        // The photo's stored measurements are read where every run keeps
        // them; the copy in the private folder is what this window works on.
        const fs::path mine = PerImageFile(paths_.folders.TempFolder, key, i);
        std::error_code ec;
        if (!IsFile(shared) || !CopyFileReplacing(shared, mine))
            fs::remove(mine, ec);
    }
}

bool TF001::StoredCopiesChangedElsewhere() const
{
    if (storedCopies_.empty() || doc_.ImageFileName.empty())
        return false;
    const std::string key = ImageKeyOf(doc_);
    for (std::size_t f = 0; f < kPhotoFiles.size() && f < storedCopies_.size(); ++f)
        if (Fingerprint(PerImageFile(sharedTemp_, key, kPhotoFiles[f])) != storedCopies_[f])
            return true;
    return false;
}

void TF001::KeepStoredCopies(WorkFileUi& ui)
{
    // Another program with this home may have kept this photo since it was
    // opened here; its measurements are not replaced without asking.
    if (doc_.Modified == 1 && StoredCopiesChangedElsewhere() && !prompter_->AskYesNo(StoredElsewhere()))
        return;
    const std::string key = ImageKeyOf(doc_);
    std::vector<std::string> before;
    if (privateFolder_)
        for (const int i : kPhotoFiles)
            before.push_back(Fingerprint(PerImageFile(paths_.folders.TempFolder, key, i)));
    editor_.KeepPhotoFiles(paths_.folders.TempFolder, ui);
    // What this window kept is no change made elsewhere when it is kept again.
    auto remember = [&](std::size_t f) {
        if (storedCopies_.size() == kPhotoFiles.size())
            storedCopies_[f] = Fingerprint(PerImageFile(sharedTemp_, key, kPhotoFiles[f]));
    };
    if (!privateFolder_) {
        for (std::size_t f = 0; f < kPhotoFiles.size(); ++f)
            remember(f);
        return;
    }
    // What the user kept goes where every run looks for it.
    std::string failed;
    for (std::size_t f = 0; f < kPhotoFiles.size(); ++f) {
        const int i = kPhotoFiles[f];
        const fs::path mine = PerImageFile(paths_.folders.TempFolder, key, i);
        if (Fingerprint(mine) == before[f])
            continue;
        const fs::path shared = PerImageFile(sharedTemp_, key, i);
        if (!IsFile(mine) && !IsCheckFile(i))
            continue;
        // Every check distance deleted takes the photo's check file with it.
        if (IsFile(mine) ? CopyFileReplacing(mine, shared) : WritePhotoFile(shared, i, {}))
            remember(f);
        else
            failed += "\r" + shared.string();
    }
    // The fingerprint that says whose copies they are goes with them.
    const fs::path id = PerImageFingerprintFile(paths_.folders.TempFolder, key);
    if (IsFile(id) && !IsFile(PerImageFingerprintFile(sharedTemp_, key)) &&
        !CopyFileReplacing(id, PerImageFingerprintFile(sharedTemp_, key)))
        failed += "\r" + PerImageFingerprintFile(sharedTemp_, key).string();
    // Told like any save that failed, so the user may try again or stay.
    if (!failed.empty())
        ui.Warn(CopyBackFailed() + failed);
}

bool TF001::PrepareWorkingFiles()
{
    BringInStoredCopies();
    if (LoadSet(doc_, paths_.folders.TempFolder))
        return true;
    // The files of the photo left are still there: reading them would put its
    // measurements on this photo.
    UsePrivateWorkingFolder(
        QString::fromStdString(HomeUnwritable()).arg(QString::fromStdString(sharedTemp_.string())).toStdString());
    ShowStartupNotices();
    if (!privateFolder_)
        return false;
    BringInStoredCopies();
    return LoadSet(doc_, paths_.folders.TempFolder);
}

void TF001::ScheduleRecovery()
{
    // Changes come in bursts (a drag, a typed number): the first starts the
    // clock, the ones after it ride along with the same write.
    // An undo back to the state kept also writes: the files must not keep
    // the step taken back.
    if (HasPhoto() && (doc_.Modified == 1 || !lastRecovery_.empty()) && !RecoveryTimer.isActive())
        RecoveryTimer.start();
}

void TF001::WriteRecovery()
{
    Guard("WriteRecovery", [&] {
        if (!HasPhoto() || doc_.ImageFileName.empty())
            return;
        if (doc_.Modified != 1) {
            // Undone back to the measurements as they were kept: the working
            // files follow, and a crash now has nothing to bring back.
            if (lastRecovery_.empty())
                return;
            const fs::path folder = paths_.folders.TempFolder;
            bool ok = true;
            for (const auto& [n, bytes] : EncodeSetting(doc_).files)
                ok = ok && WritePhotoFile(WorkingFile(folder, n), n, bytes);
            if (ok) {
                RemoveRecoveryNote(folder);
                lastRecovery_.clear();
            }
            return;
        }
        const SettingFiles files = EncodeSetting(doc_);
        RecoveryNote note;
        note.photo = doc_.ImageFileName;
        note.checkSum = doc_.ImageCheckSum;
        note.setting = doc_.CurrentSetting;
        note.group = doc_.CurrentGroup;
        const std::string state = files.Joined() + note.photo + "|" + std::to_string(note.checkSum) + "|" +
                                  std::to_string(note.setting) + "|" + std::to_string(note.group);
        if (state == lastRecovery_)
            return;
        const fs::path folder = paths_.folders.TempFolder;
        bool ok = true;
        for (const auto& [n, bytes] : files.files)
            ok = ok && WritePhotoFile(WorkingFile(folder, n), n, bytes);
        // The note comes last: it must never name a photo whose files are not there yet.
        ok = ok && WriteRecoveryNote(folder, note);
        if (ok) {
            lastRecovery_ = state;
            recoveryWarned_ = false;
        } else if (!recoveryWarned_) {
            recoveryWarned_ = true;
            prompter_->Warn(AutosaveFailed());
        }
    });
}

void TF001::ForgetRecovery()
{
    RecoveryTimer.stop();
    lastRecovery_.clear();
    RemoveRecoveryNote(paths_.folders.TempFolder);
}

void TF001::OfferRecovery()
{
    const std::optional<RecoveryNote> note = ReadRecoveryNote(paths_.folders.TempFolder);
    if (!note || HasPhoto())
        return;
    const QString photo = QString::fromStdString(note->photo);
    if (!prompter_->AskYesNo(QString::fromStdString(RecoverQuestion()).arg(photo).toStdString())) {
        RemoveRecoveryNote(paths_.folders.TempFolder);
        return;
    }
    Guard("OfferRecovery", [&] {
        Hourglass hourglass;
        PhotoLoad loaded = LoadPhoto(photo, [this](int p) { Progress(p); }, PhotoPixelLimit(settings_));
        Progress(0);
        // The note stays until the user opens another photo or says no, so a
        // photo on a drive not mounted yet can still be brought back later.
        if (loaded.photo.isNull()) {
            prompter_->Warn(QString::fromStdString(RecoverFailed()).arg(photo).toStdString());
            return;
        }
        if (loaded.photo.CheckSum() != note->checkSum) {
            prompter_->Warn(QString::fromStdString(RecoverChanged()).arg(photo).toStdString());
            return;
        }
        PushRecent(settings_.LastFileName, note->photo);
        Init();
        work_ = loaded.photo;
        source_ = work_;
        Ik5Disp1->SetPhoto(&work_);
        const PhotoKey id = IdentifyPhoto(photo, note->photo, note->checkSum, sharedTemp_);
        editor_.StartPhoto(note->photo, note->checkSum, id.fingerprint, id.key);
        // The working files are this photo's latest state: they are read as
        // they are, not replaced by its stored copies.
        storedCopies_.clear();
        const std::string key = ImageKeyOf(doc_);
        for (const int i : kPhotoFiles)
            storedCopies_.push_back(Fingerprint(PerImageFile(sharedTemp_, key, i)));
        try {
            editor_.LoadSetting(note->setting, paths_.folders.TempFolder);
        } catch (const WorkFileReadError& e) {
            prompter_->Error(e.what());
        }
        editor_.SetGroup(note->group);
        // Not kept with the photo yet: leaving it asks, as after any change.
        editor_.MarkUnkept();
        ApplyEffects();
        ZoomAll();
        SetPanWindow();
        SetCommand(ucNone);
        SetFormTitle();
    });
}

} // namespace kvx
