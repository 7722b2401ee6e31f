// The job in the window: opening and making one, its lock, its photos' measurements
// brought from and kept in its folder, and the panel of its photos and totals.

#include "shell/main_window.h"

#include "base/error_trail.h"
#include "base/safe_file.h"
#include "base/translate.h"
#include "measure/computation.h"
#include "measure/numfmt.h"
#include "measure/workfiles.h"
#include "output/export/results_table.h"
#include "shell/home_claim.h"
#include "shell/job_panel.h"
#include "shell/job_photos.h"
#include "shell/path_names.h"
#include "shell/photo_open.h"
#include "shell/window_helpers.h"
#include "widgets/words.h"

#include "output/export/job_tables.h"

#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QLockFile>
#include <QPointer>
#include <QScrollBar>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <filesystem>

namespace kvx {

namespace fs = std::filesystem;
using namespace window_helpers;

namespace {

std::string JobInUse(const fs::path& file)
{
    return Tx("WindowJob", "このジョブは別のウィンドウで開かれています. 同じジョブを二つのウィンドウで開くことはできません:") +
           "\r" + PathLine(file.string());
}

std::string LockRefused(const fs::path& file)
{
    return Tx("WindowJob", "ジョブの鍵ファイルを作れません. ジョブのフォルダに書き込めるか確かめてください:") + "\r" +
           PathLine(file.string());
}

fs::path LockFileOf(const fs::path& job)
{
    return job.parent_path() / (job.filename().string() + ".lock");
}

QString PathText(const fs::path& p)
{
    return FromBytes(p.string());
}

// A group's totals as the results panel words them; numbers never in the user's locale.
QString GroupLine(const JobGroupTotal& t, bool full)
{
    const QString length = QString::fromStdString(FormatFixed(t.length, 0));
    const QString area = QString::fromStdString(FormatFixed(t.area, 3));
    const QString cost = QString::fromStdString(MoneyText(t.cost));
    if (!full)
        return Qx("WindowJob", "G%1: %2㎜, %3㎡, %4").arg(t.group).arg(length, area, cost);
    return Qx("WindowJob", "ｸﾞﾙｰﾌﾟ%1: 距離 %2㎜, 面積 %3㎡, 金額 %4").arg(t.group).arg(length, area, cost);
}

QString TotalsLine(const std::vector<JobGroupTotal>& totals)
{
    QStringList parts;
    for (const JobGroupTotal& t : totals) {
        parts << GroupLine(t, false);
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace

bool TF001::HasJob() const
{
    return job_.has_value();
}

const Job* TF001::CurrentJob() const
{
    return job_ ? &*job_ : nullptr;
}

void TF001::mnOpenJobClick()
{
    const std::optional<QString> path = prompter_->OpenJobFile(QString::fromStdString(settings_.ImageFolder));
    if (path)
        OpenJob(*path);
}

void TF001::mnNewJobClick()
{
    const std::optional<QString> path = prompter_->NewJobFile(QString::fromStdString(settings_.ImageFolder));
    if (path)
        NewJob(*path);
}

bool TF001::NewJob(const QString& path)
{
    bool made = false;
    Guard("NewJob", [&] {
        Job job;
        job.file = fs::absolute(ToBytes(path));
        std::error_code ec;
        // A job is never made over a file: it may be another job's.
        if (fs::symlink_status(job.file, ec).type() != fs::file_type::not_found) {
            prompter_->Warn(Tx("WindowJob", "このファイルは既にあります. 新規ジョブは別の名前で作ってください:") + "\r" +
                            PathLine(job.file.string()));
            return;
        }
        std::string error;
        if (!WriteJob(job, error)) {
            prompter_->Warn(error);
            return;
        }
        made = OpenJob(PathText(job.file));
    });
    return made;
}

bool TF001::OpenJob(const QString& path)
{
    bool opened = false;
    Guard("OpenJob", [&] {
        std::string error;
        std::optional<Job> read = ReadJob(fs::absolute(ToBytes(path)), error);
        if (!read) {
            prompter_->Warn(error);
            return;
        }
        std::error_code same;
        if (job_ && fs::equivalent(job_->file, read->file, same)) {
            opened = true;
            return;
        }
        auto lock = std::make_unique<QLockFile>(PathText(LockFileOf(read->file)));
        lock->setStaleLockTime(0);
        ClearAbandonedLock(*lock, LockFileOf(read->file));
        if (!lock->tryLock(0)) {
            prompter_->Warn(lock->error() == QLockFile::LockFailedError ? JobInUse(read->file) : LockRefused(read->file));
            return;
        }
        // The photo shown is kept where it belongs before the job changes.
        if (!SaveImageState())
            return;
        job_ = std::move(read);
        jobLock_ = std::move(lock);
        jobTotals_.clear();
        FindMovedJobPhotos();
        settings_.ImageFolder = job_->Folder().string();
        // The panel takes room from the display: a photo shown whole stays whole.
        const QScrollBar* across = Ik5Disp1->horizontalScrollBar();
        const QScrollBar* down = Ik5Disp1->verticalScrollBar();
        const bool whole = HasPhoto() && across->maximum() == across->minimum() && down->maximum() == down->minimum();
        jobPanel_->show();
        if (whole)
            QTimer::singleShot(0, this, [this] {
                Run([&] {
                    if (HasPhoto())
                        ZoomAll();
                });
            });
        UseJobPrice();
        RefreshJobPanel();
        opened = true;
    });
    return opened;
}

void TF001::CloseJob()
{
    job_.reset();
    jobLock_.reset();
    jobTotals_.clear();
    if (jobPanel_) {
        jobPanel_->SetRows({});
        jobPanel_->SetTotals({});
        jobPanel_->hide();
    }
}

void TF001::FindMovedJobPhotos()
{
    bool moved = false;
    std::string told;
    for (JobEntry& entry : job_->photos) {
        const JobPhotoPlace place =
            LocateJobPhoto(*job_, entry, [&entry](const fs::path& p) { return FingerprintLike(PathText(p), entry.fingerprint); });
        if (place.state == JobPhotoState::Moved) {
            entry.path = place.relative;
            moved = true;
        } else if (place.state == JobPhotoState::Replaced) {
            told += "\r" + JobPhotoName(entry) + ": " +
                    Tx("WindowJob", "同じ名前の別の写真に置き換えられています. 元の写真の計測データはジョブに残っています.");
        } else if (place.state == JobPhotoState::Missing) {
            told += "\r" + JobPhotoName(entry) + ": " + Tx("WindowJob", "写真がジョブのフォルダにありません.");
        }
    }
    if (moved)
        SaveJobFile();
    if (!told.empty())
        prompter_->Warn(Tx("WindowJob", "ジョブの写真のうち開けないものがあります:") + told);
}

bool TF001::SaveJobFile()
{
    std::string error;
    if (WriteJob(*job_, error))
        return true;
    prompter_->Warn(error);
    return false;
}

int TF001::CurrentJobIndex() const
{
    if (!job_ || !HasPhoto())
        return -1;
    return job_->Find(doc_.ImageFingerprint);
}

void TF001::BringFromCurrentJob(const PhotoKey& id)
{
    if (!job_ || job_->Find(id.fingerprint) < 0)
        return;
    std::string error;
    // Kept in the home after the job last kept it (opened outside the job,
    // or work brought back after a crash): the home's are the user's latest
    // and go to the job.  Otherwise the job's become the photo's kept copies,
    // which the usual opening then reads.
    if (CompareCopies(*job_, id.fingerprint, home_.Home(), id.key) == CopiesAge::FolderNewer) {
        if (!StoreInJob(*job_, id.fingerprint, home_.Home(), id.key, error))
            prompter_->Warn(error);
        return;
    }
    if (!BringFromJob(*job_, id.fingerprint, home_.Home(), id.key, error))
        prompter_->Warn(error);
}

void TF001::KeepInJob()
{
    const int index = CurrentJobIndex();
    if (index < 0)
        return;
    std::string error;
    if (!StoreInJob(*job_, doc_.ImageFingerprint, WorkingFolder(), ImageKeyOf(doc_), error))
        prompter_->Warn(error);
    jobTotals_.erase(doc_.ImageFingerprint);
    // A read of this photo still under way started before this keep: what it
    // brings back is not the photo any more.
    ++jobKeeps_[doc_.ImageFingerprint];
}

void TF001::UseJobPrice()
{
    const int index = CurrentJobIndex();
    if (index < 0)
        return;
    const std::string& price = job_->photos[static_cast<std::size_t>(index)].price;
    if (!price.empty())
        editor_.UseStoredPrice(price);
    jobPriceFor_ = doc_.ImageFingerprint;
}

bool TF001::KeepJobPrice()
{
    const int index = CurrentJobIndex();
    if (index < 0)
        return false;
    JobEntry& entry = job_->photos[static_cast<std::size_t>(index)];
    // While a photo opens, the field still shows the price of the one left.
    if (entry.price == doc_.TankaText || jobPriceFor_ != doc_.ImageFingerprint)
        return false;
    // The price the photo is shown with is the one its costs are counted at,
    // here and in the job's outputs, also after the window is gone.
    entry.price = doc_.TankaText;
    // Every keystroke is written, so a job folder that refuses writes is told
    // once, not once a key; the price is written with the job's next change.
    std::string error;
    if (WriteJob(*job_, error))
        jobPriceRefused_ = false;
    else if (!jobPriceRefused_) {
        jobPriceRefused_ = true;
        prompter_->Warn(error);
    }
    return true;
}

void TF001::AddToCurrentJob(const QStringList& files)
{
    Guard("AddToCurrentJob", [&] {
        if (!job_)
            return;
        std::string told;
        bool added = false;
        for (const QString& file : files) {
            std::string error;
            const std::size_t before = job_->photos.size();
            Hourglass hourglass;
            if (AddToJob(*job_, ToBytes(file), home_.Home(), settings_, error) < 0)
                told += "\r" + error;
            added = added || job_->photos.size() > before;
        }
        if (added)
            SaveJobFile();
        UseJobPrice();
        RefreshJobPanel();
        if (!told.empty())
            prompter_->Warn(Tx("WindowJob", "ジョブに加えられなかった写真があります:") + told);
    });
}

void TF001::ChooseJobPhoto(int row)
{
    Guard("ChooseJobPhoto", [&] {
        if (!job_ || row < 0 || row >= static_cast<int>(job_->photos.size()) || row == CurrentJobIndex())
            return;
        JobEntry& entry = job_->photos[static_cast<std::size_t>(row)];
        const JobPhotoPlace place =
            LocateJobPhoto(*job_, entry, [&entry](const fs::path& p) { return FingerprintLike(PathText(p), entry.fingerprint); });
        if (place.state == JobPhotoState::Replaced) {
            prompter_->Warn(JobPhotoName(entry) + "\r" +
                            Tx("WindowJob", "同じ名前の別の写真に置き換えられています. 元の写真の計測データはジョブに残っています."));
            return;
        }
        if (place.state == JobPhotoState::Missing) {
            prompter_->Warn(JobPhotoName(entry) + "\r" + Tx("WindowJob", "写真がジョブのフォルダにありません."));
            return;
        }
        if (place.state == JobPhotoState::Moved) {
            entry.path = place.relative;
            SaveJobFile();
        }
        LoadFile(PathText(place.file));
        RefreshJobPanel();
    });
}

void TF001::MoveJobPhoto(int row, int to)
{
    Guard("MoveJobPhoto", [&] {
        const int count = job_ ? static_cast<int>(job_->photos.size()) : 0;
        if (row < 0 || row >= count || to < 0 || to >= count || row == to)
            return;
        const JobEntry moving = job_->photos[static_cast<std::size_t>(row)];
        job_->photos.erase(job_->photos.begin() + row);
        job_->photos.insert(job_->photos.begin() + to, moving);
        SaveJobFile();
        RefreshJobPanel();
        jobPanel_->List()->setCurrentRow(to);
    });
}

void TF001::RenameJobPhoto(int row)
{
    Guard("RenameJobPhoto", [&] {
        if (!job_ || row < 0 || row >= static_cast<int>(job_->photos.size()))
            return;
        JobEntry& entry = job_->photos[static_cast<std::size_t>(row)];
        const std::string title =
            prompter_->InputBox(Tx("WindowJob", "写真の題名"), Tx("WindowJob", "この写真の題名を入力してください."), entry.title);
        // An empty answer is a cancel: a photo keeps a title.
        if (title.empty() || title == entry.title || QString::fromStdString(title).size() > static_cast<qsizetype>(kMaxJobTitleChars))
            return;
        entry.title = title;
        SaveJobFile();
        RefreshJobPanel();
        jobPanel_->List()->setCurrentRow(row);
    });
}

void TF001::RemoveJobPhoto(int row)
{
    Guard("RemoveJobPhoto", [&] {
        if (!job_ || row < 0 || row >= static_cast<int>(job_->photos.size()))
            return;
        const JobEntry& entry = job_->photos[static_cast<std::size_t>(row)];
        if (!prompter_->AskYesNo(Tx("WindowJob", "この写真をジョブから外しますか? 写真のファイルと計測データは残ります.") + "\r" +
                                 JobPhotoName(entry)))
            return;
        // The photo open now is kept in the job one last time.
        if (row == CurrentJobIndex() && !SaveImageState())
            return;
        job_->photos.erase(job_->photos.begin() + row);
        SaveJobFile();
        RefreshJobPanel();
    });
}

void TF001::RefreshJobPanel()
{
    if (!jobPanel_ || !job_)
        return;
    KeepJobPrice();
    const int current = CurrentJobIndex();
    std::vector<JobPanelRow> rows;
    std::vector<std::vector<JobGroupTotal>> known;
    bool complete = true;
    auto hasReference = [](const std::vector<Document>& settings) {
        bool set = false;
        for (const Document& d : settings)
            set = set || d.Plane.base.BaseSet != 0 || (d.CurrentSetting == 4 && d.ParkedPlane.base.BaseSet != 0);
        return set;
    };
    auto totalsOf = [](const std::string& title, std::vector<Document> settings, std::string& problem) {
        try {
            return PhotoTotals(kvx::JobPhoto{title, std::move(settings)});
        } catch (const std::exception& e) {
            problem = e.what();
            return std::vector<JobGroupTotal>{};
        }
    };
    for (std::size_t i = 0; i < job_->photos.size(); ++i) {
        const JobEntry& entry = job_->photos[i];
        JobPanelRow row;
        row.title = QString::fromStdString(entry.title);
        row.fingerprint = entry.fingerprint;
        row.current = static_cast<int>(i) == current;
        const fs::path at = job_->Folder() / fs::path(entry.path);
        row.file = IsFile(at) ? PathText(at) : QString();
        std::vector<JobGroupTotal> totals;
        std::string problem;
        if (row.current) {
            std::vector<Document> settings;
            try {
                settings = EverySetting(doc_, WorkingFolder());
            } catch (const std::exception& e) {
                problem = e.what();
            }
            row.reference = hasReference(settings);
            totals = totalsOf(entry.title, std::move(settings), problem);
        } else if (const auto kept = jobTotals_.find(entry.fingerprint); kept != jobTotals_.end()) {
            JobTotalsEntry& read = kept->second;
            problem = read.problem;
            // Read before its price last changed, perhaps.
            if (!read.totals || read.totalsPrice != entry.price) {
                std::vector<Document> settings = read.settings;
                if (!entry.price.empty())
                    for (Document& d : settings)
                        d.TankaText = entry.price;
                read.reference = hasReference(settings);
                read.totalsProblem.clear();
                read.totals = totalsOf(entry.title, std::move(settings), read.totalsProblem);
                read.totalsPrice = entry.price;
            }
            row.reference = read.reference;
            totals = *read.totals;
            if (!read.totalsProblem.empty())
                problem = read.totalsProblem;
        } else {
            ReadJobPhotoInBackground(i);
            complete = false;
        }
        row.problem = QString::fromStdString(problem);
        row.totals = TotalsLine(totals);
        known.push_back(std::move(totals));
        rows.push_back(std::move(row));
    }
    jobPanel_->SetRows(rows);
    QString totals = Qx("WindowJob", "ジョブの合計") + QLatin1Char('\n');
    for (const JobGroupTotal& t : SumTotals(known))
        totals += GroupLine(t, true) + QLatin1Char('\n');
    if (!complete)
        totals += Qx("WindowJob", "(写真を読み込み中…)");
    jobPanel_->SetTotals(totals.trimmed());
}

void TF001::ReadJobPhotoInBackground(std::size_t index)
{
    const std::string fingerprint = job_->photos[index].fingerprint;
    if (jobReading_.contains(fingerprint))
        return;
    jobReading_.insert(fingerprint);
    QPointer<TF001> self(this);
    const std::uint64_t keeps = jobKeeps_[fingerprint];
    const Job job = *job_;
    const TAppSettings settings = settings_;
    const fs::path profiles = paths_.folders.ProfilesFolder();
    QThreadPool::globalInstance()->start([self, job, index, settings, profiles, fingerprint, keeps] {
        JobTotalsEntry read;
        try {
            QTemporaryDir scratch;
            if (!scratch.isValid()) {
                read.problem = Tx("WindowJob", "一時フォルダを作れません.");
            } else {
                const OpenedJobPhoto opened = OpenJobPhoto(job, index, ToBytes(scratch.path()), settings, profiles);
                if (!opened.error.empty())
                    read.problem = opened.error;
                else
                    read.settings = EverySetting(opened.editor->Doc(), ToBytes(scratch.path()));
            }
        } catch (const std::exception& e) {
            read.problem = e.what();
        }
        QMetaObject::invokeMethod(qApp, [self, read, fingerprint, keeps] {
            if (!self)
                return;
            self->jobReading_.erase(fingerprint);
            if (!self->job_ || self->job_->Find(fingerprint) < 0)
                return;
            // Kept since the read began: the panel asks for the photo anew.
            if (self->jobKeeps_[fingerprint] == keeps)
                self->jobTotals_[fingerprint] = read;
            self->Run([&] { self->RefreshJobPanel(); });
        }, Qt::QueuedConnection);
    });
}

void TF001::BuildJobPanel()
{
    jobPanel_ = new JobPanel(this);
    addDockWidget(Qt::LeftDockWidgetArea, jobPanel_);
    jobPanel_->hide();
    controls_[QStringLiteral("JobPanel")] = jobPanel_;
    connect(jobPanel_, &JobPanel::photoChosen, this, [this](int row) { Run([&] { ChooseJobPhoto(row); }); });
    connect(jobPanel_, &JobPanel::addRequested, this, [this] {
        Run([&] {
            if (!job_)
                return;
            const QStringList files = prompter_->AddJobPhotos(PathText(job_->Folder()));
            if (!files.isEmpty())
                AddToCurrentJob(files);
        });
    });
    connect(jobPanel_, &JobPanel::filesDropped, this, [this](const QStringList& files) { Run([&] { AddToCurrentJob(files); }); });
    connect(jobPanel_, &JobPanel::moveRequested, this, [this](int row, int to) { Run([&] { MoveJobPhoto(row, to); }); });
    connect(jobPanel_, &JobPanel::renameRequested, this, [this](int row) { Run([&] { RenameJobPhoto(row); }); });
    connect(jobPanel_, &JobPanel::removeRequested, this, [this](int row) { Run([&] { RemoveJobPhoto(row); }); });
}

} // namespace kvx
