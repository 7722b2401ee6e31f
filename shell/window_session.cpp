// The window's hold on its working folder: owning the home's working files
// (one program at a time), working in a private folder when it cannot, keeping
// the working files up to date after every change, and bringing back after a
// crash what the working files held.

#include "shell/main_window.h"
#include "base/translate.h"
#include "shell/photo_open.h"
#include "shell/recovery_files.h"

#include "base/error_trail.h"
#include "base/recovery_note.h"
#include "base/tool_mode.h"
#include "base/safe_file.h"
#include "measure/calibration.h"
#include "measure/workfiles.h"
#include "shell/window_helpers.h"
#include "base/scratch_folder.h"
#include "shell/path_names.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <system_error>

#include <unistd.h>

namespace kvx {

using namespace window_helpers;
namespace fs = std::filesystem;

namespace {

std::string HomeRefused()
{
    return Tx("WindowSession", "'%1' に書き込めないため, '%2' を使います.");
}
std::string HomeUnwritable()
{
    return Tx("WindowSession", "作業フォルダ '%1' に書き込めません.\r"
    "前の画像の設定は読み込まず, 専用の作業フォルダで作業します.");
}
std::string RecoverQuestion()
{
    return Tx("WindowSession", "前回は次の写真の測定を保存しないまま終了しました.\r%1\r保存されていなかった測定を戻しますか？");
}
std::string RecoverFailed()
{
    return Tx("WindowSession", "次の写真を読み込めないため, 保存されていなかった測定を戻せませんでした.\r%1\r"
    "測定は残してあり, この写真を開いたときか次の起動時に戻せます.");
}
std::string RecoverChanged()
{
    return Tx("WindowSession", "次の写真は前回から変わっているため, 保存されていなかった測定を戻せませんでした.\r%1\r"
    "測定は残してあり, 次の起動時にもう一度尋ねます.");
}
std::string LeftBehind()
{
    return Tx("WindowSession", "この画像の設定は '%1' に残してあります.\r次の起動時に戻すことができます.");
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

// What the working files hold when a write's report was dropped: no state
// written is ever this text.
constexpr const char* kRecoveryUnknown = "(not known)";

// The number under which the photo's fingerprint file waits to be taken by the home.
constexpr int kFingerprintCopy = -1;

} // namespace

bool TF001::OwnsHome() const
{
    return home_.OwnsHome();
}

void TF001::ClaimHome()
{
    if (!paths_.folders.RefusedHome.empty())
        home_.Notice(QString::fromStdString(HomeRefused())
                         .arg(QString::fromStdString(paths_.folders.RefusedHome.string()),
                              QString::fromStdString(paths_.folders.ExeFolder.string()))
                         .toStdString());
    home_.Claim(paths_.folders.TempFolder);
}

void TF001::UsePrivateWorkingFolder(const std::string& why)
{
    home_.UsePrivate(why);
}

void TF001::LeavePrivateFolderBehind()
{
    if (!home_.IsPrivate())
        return;
    // The note makes the next start offer the folder's work, as after a crash.
    lastRecovery_.clear();
    WriteRecoveryNow();
    const fs::path left = home_.LeavePrivateBehind();
    unkeptCopies_.clear();
    prompter_->Warn(QString::fromStdString(LeftBehind()).arg(QString::fromStdString(left.string())).toStdString());
    ShowStartupNotices();
}

void TF001::SpareUnrecoveredWork()
{
    for (const PendingRecovery& pending : pendingRecovery_)
        if (pending.folder == WorkingFolder()) {
            UsePrivateWorkingFolder({});
            ShowStartupNotices();
            return;
        }
}

void TF001::ShowStartupNotices()
{
    for (const std::string& notice : home_.TakeNotices())
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
    photo_.NoteStoredCopies(home_.Home());
    for (const int i : kPhotoFiles) {
        const fs::path shared = PerImageFile(home_.Home(), key, i);
        if (!home_.IsPrivate())
            continue;
        // The photo's stored measurements are read where every run keeps
        // them; the copy in the private folder is what this window works on.
        const fs::path mine = PerImageFile(WorkingFolder(), key, i);
        std::error_code ec;
        if (!IsFile(shared) || !CopyFileReplacing(shared, mine))
            fs::remove(mine, ec);
    }
}

bool TF001::StoredCopiesChangedElsewhere() const
{
    return photo_.StoredCopiesChanged(home_.Home());
}

void TF001::KeepStoredCopies(WorkFileUi& ui)
{
    const std::string key = ImageKeyOf(doc_);
    // Another program with this home may have kept this photo since it was
    // opened here; its measurements are not replaced without asking.
    if (doc_.Modified == 1 && StoredCopiesChangedElsewhere() && !prompter_->AskYesNo(StoredElsewhere())) {
        unkeptCopies_.erase(key);
        return;
    }
    std::vector<std::string> before;
    if (home_.IsPrivate())
        for (const int i : kPhotoFiles)
            before.push_back(CopyFingerprint(PerImageFile(WorkingFolder(), key, i)));
    editor_.KeepPhotoFiles(WorkingFolder(), ui);
    // What this window kept is no change made elsewhere when it is kept again.
    auto remember = [&](int i) { photo_.NoteKeptCopy(home_.Home(), i); };
    if (!home_.IsPrivate()) {
        for (const int i : kPhotoFiles)
            remember(i);
        return;
    }
    // What the user kept goes where every run looks for it: each copy changed
    // now, and each one an earlier attempt could not put there.  A copy stays
    // owed until it is really there, whatever changed since.
    std::set<int>& owed = unkeptCopies_[key];
    for (std::size_t f = 0; f < kPhotoFiles.size(); ++f)
        if (CopyFingerprint(PerImageFile(WorkingFolder(), key, kPhotoFiles[f])) != before[f])
            owed.insert(kPhotoFiles[f]);
    // The fingerprint that says whose copies they are goes with them.
    const fs::path id = PerImageFingerprintFile(WorkingFolder(), key);
    if (IsFile(id) && !IsFile(PerImageFingerprintFile(home_.Home(), key)))
        owed.insert(kFingerprintCopy);
    std::string failed;
    for (const int i : std::set<int>(owed)) {
        bool done = false;
        fs::path shared;
        if (i == kFingerprintCopy) {
            shared = PerImageFingerprintFile(home_.Home(), key);
            done = IsFile(shared) || CopyFileReplacing(id, shared);
        } else {
            const fs::path mine = PerImageFile(WorkingFolder(), key, i);
            shared = PerImageFile(home_.Home(), key, i);
            if (!IsFile(mine) && !AbsenceCounts(i))
                done = true;
            // Every check distance deleted takes the photo's check file with
            // it, and a lens choice taken back its lens file.
            else
                done = IsFile(mine) ? CopyFileReplacing(mine, shared) : WritePhotoFile(shared, i, {});
            if (done)
                remember(i);
        }
        if (done)
            owed.erase(i);
        else
            failed += "\r" + shared.string();
    }
    if (owed.empty())
        unkeptCopies_.erase(key);
    // Told like any save that failed, so the user may try again or stay.
    if (!failed.empty())
        ui.Warn(CopyBackFailed() + failed);
}

bool TF001::PrepareWorkingFiles()
{
    BringInStoredCopies();
    if (LoadSet(doc_, WorkingFolder()))
        return true;
    // The files of the photo left are still there: reading them would put its
    // measurements on this photo.
    UsePrivateWorkingFolder(
        QString::fromStdString(HomeUnwritable()).arg(QString::fromStdString(home_.Home().string())).toStdString());
    ShowStartupNotices();
    if (!home_.IsPrivate())
        return false;
    BringInStoredCopies();
    return LoadSet(doc_, WorkingFolder());
}

void TF001::ScheduleRecovery()
{
    // Changes come in bursts (a drag, a typed number): the first starts the
    // clock, the ones after it ride along with the same write.
    // An undo back to the state kept also writes: the files must not keep
    // the step taken back.
    // So does an undo while a write is in flight: what that write leaves is
    // not known here until it reports.
    if (HasPhoto() && (doc_.Modified == 1 || !lastRecovery_.empty() || recoveryInFlight_) && !RecoveryTimer.isActive())
        RecoveryTimer.start();
}

void TF001::WriteRecovery()
{
    Guard("WriteRecovery", [&] {
        if (!HasPhoto() || doc_.ImageFileName.empty())
            return;
        // Never two writes at once: this change rides on the next one, which
        // follows the report of the one in flight.
        if (recoveryInFlight_ || autosave_.Busy()) {
            recoveryAgain_ = true;
            return;
        }
        if (doc_.Modified != 1 && lastRecovery_.empty())
            return;
        // The window's part: a snapshot of the document (the memo of plane
        // coordinates stays behind), the folder and what was written last.
        auto snapshot = std::make_shared<Document>(WithoutMemo(doc_));
        const fs::path folder = WorkingFolder();
        const std::uint64_t epoch = recoveryEpoch_;
        std::function<RecoveryOutcome()> write = [snapshot, folder, last = lastRecovery_] {
            return WriteRecoveryFiles(*snapshot, folder, last);
        };
        std::function<void(RecoveryOutcome)> done = [this, epoch](RecoveryOutcome r) {
            Run([&] { TakeRecoveryOutcome(r, epoch); });
        };
        if (autosave_.Start(std::move(write), std::move(done)))
            recoveryInFlight_ = true;
    });
}

void TF001::WriteRecoveryNow()
{
    Guard("WriteRecovery", [&] {
        // What a write in flight reports comes after this one: it is old news.
        DropRecoveryInFlight(false);
        if (!HasPhoto() || doc_.ImageFileName.empty())
            return;
        if (doc_.Modified != 1 && lastRecovery_.empty())
            return;
        TakeRecoveryOutcome(WriteRecoveryFiles(doc_, WorkingFolder(), lastRecovery_), recoveryEpoch_);
    });
}

void TF001::DropRecoveryInFlight(bool forget)
{
    RecoveryTimer.stop();
    autosave_.Wait();
    ++recoveryEpoch_;
    recoveryAgain_ = false;
    // Its report is dropped, so what it wrote is not known: the next write
    // writes whatever the document is, and takes a note away that the
    // document no longer needs.
    if (recoveryInFlight_)
        lastRecovery_ = kRecoveryUnknown;
    recoveryInFlight_ = false;
    if (forget)
        lastRecovery_.clear();
}

void TF001::TakeRecoveryOutcome(const RecoveryOutcome& r, std::uint64_t epoch)
{
    // The working files became another photo's meanwhile: this is not theirs.
    if (epoch != recoveryEpoch_)
        return;
    recoveryInFlight_ = false;
    if (r.cleared)
        lastRecovery_.clear();
    if (r.wrote) {
        lastRecovery_ = r.state;
        recoveryWarned_ = false;
    } else if (r.failed && !recoveryWarned_) {
        recoveryWarned_ = true;
        prompter_->Warn(AutosaveFailed());
    }
    if (recoveryAgain_) {
        recoveryAgain_ = false;
        ScheduleRecovery();
    }
}

void TF001::ForgetRecovery()
{
    // The write in flight finishes first, and what it reports is old news.
    DropRecoveryInFlight(true);
    // The note of work still waiting for its photo is not this window's to drop.
    for (const PendingRecovery& pending : pendingRecovery_)
        if (pending.folder == WorkingFolder())
            return;
    RemoveRecoveryNote(WorkingFolder());
}

bool TF001::RecoveryFor(const PendingRecovery& pending, const QString& path, std::int32_t checkSum)
{
    if (pending.note.checkSum != checkSum)
        return false;
    const QString noted = QString::fromStdString(pending.note.photo);
    if (QFileInfo(noted).absoluteFilePath() == QFileInfo(path).absoluteFilePath())
        return true;
    std::error_code ec;
    return fs::equivalent(noted.toStdString(), path.toStdString(), ec) && !ec;
}

void TF001::OfferRecovery()
{
    // This window's own working folder (when another program holds the home,
    // the home's note is that program's), then the folders of programs on
    // this home that are gone.
    std::vector<fs::path> folders{WorkingFolder()};
    for (const fs::path& folder : home_.AbandonedPrivateFolders())
        folders.push_back(folder);
    for (const fs::path& folder : folders) {
        if (HasPhoto())
            return;
        const std::optional<RecoveryNote> note = ReadRecoveryNote(folder);
        const bool privateLeft = folder != WorkingFolder();
        if (!note) {
            // Nothing in it was left unkept.
            if (privateLeft) {
                std::error_code ec;
                fs::remove_all(folder, ec);
            }
            continue;
        }
        const QString photo = QString::fromStdString(note->photo);
        if (!prompter_->AskYesNo(QString::fromStdString(RecoverQuestion()).arg(QString::fromStdString(PathLine(note->photo))).toStdString())) {
            RemoveRecoveryNote(folder);
            if (privateLeft) {
                std::error_code ec;
                fs::remove_all(folder, ec);
            }
            continue;
        }
        Guard("OfferRecovery", [&] {
            PhotoLoad loaded;
            {
                Hourglass hourglass;
                loaded = LoadPhoto(photo, [this](int p) { Progress(p); });
                Progress(0);
            }
            // The work stays where it is until its photo can be read again
            // (a drive not mounted yet): opened by hand, or at the next start.
            const PendingRecovery pending{folder, *note};
            if (loaded.photo.isNull()) {
                pendingRecovery_.push_back(pending);
                prompter_->Warn(QString::fromStdString(RecoverFailed()).arg(QString::fromStdString(PathLine(note->photo))).toStdString());
                return;
            }
            if (loaded.photo.CheckSum() != note->checkSum) {
                pendingRecovery_.push_back(pending);
                prompter_->Warn(QString::fromStdString(RecoverChanged()).arg(QString::fromStdString(PathLine(note->photo))).toStdString());
                return;
            }
            SpareUnrecoveredWork();
            BringBack(pending, loaded.photo);
        });
    }
}

void TF001::BringBack(const PendingRecovery& from, const Photo& decoded)
{
    const RecoveryNote& note = from.note;
    const QString photo = QString::fromStdString(note.photo);
    PushRecent(settings_.LastFileName, note.photo);
    Init();
    photo_.Show(decoded);
    ShowDisplayedPhoto();
    const PhotoKey id = IdentifyPhoto(photo, decoded, note.photo, note.checkSum, home_.Home());
    editor_.StartPhoto(note.photo, note.checkSum, id.fingerprint, id.key, SensorFrameOf(decoded));
    const fs::path folder = WorkingFolder();
    // Work left in another folder becomes this window's working files.
    const bool moved = from.folder != folder;
    if (moved)
        for (const int n : kPhotoFiles) {
            const fs::path source = WorkingFile(from.folder, n);
            if (IsFile(source))
                CopyFileReplacing(source, WorkingFile(folder, n));
            else {
                std::error_code ec;
                fs::remove(WorkingFile(folder, n), ec);
            }
        }
    // The working files are this photo's latest state: they are read as
    // they are, not replaced by its stored copies.
    photo_.NoteStoredCopies(home_.Home());
    try {
        editor_.LoadSetting(note.setting, folder);
    } catch (const WorkFileReadError& e) {
        prompter_->Error(e.what());
    }
    FindCameraProfile(editor_, photo, paths_.folders.ProfilesFolder());
    try {
        editor_.LoadLens(folder);
    } catch (const WorkFileReadError& e) {
        prompter_->Error(e.what());
    }
    editor_.SetGroup(note.group);
    // Not kept with the photo yet: leaving it asks, as after any change.
    editor_.MarkUnkept();
    ApplyEffects();
    ZoomAll();
    SetPanWindow();
    SetCommand(uCommand::None);
    SetFormTitle();
    if (!moved)
        return;
    // The work is safe here (files and note) before it goes from where it waited.
    DropRecoveryInFlight(true);
    WriteRecoveryNow();
    if (lastRecovery_.empty())
        return;
    std::error_code ec;
    if (from.folder == home_.Home())
        RemoveRecoveryNote(from.folder);
    else
        fs::remove_all(from.folder, ec);
}

} // namespace kvx
