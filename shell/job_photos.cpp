#include "shell/job_photos.h"

#include "base/safe_file.h"
#include "base/translate.h"
#include "measure/workfiles.h"
#include "shell/path_names.h"
#include "shell/photo_open.h"
#include "shell/photo_session.h"

#include <QString>

#include <algorithm>

namespace kvx {

namespace fs = std::filesystem;

namespace {

QString Named(const fs::path& p)
{
    return FromBytes(p.string());
}


} // namespace

std::string JobPhotoName(const JobEntry& entry)
{
    return entry.title == fs::path(entry.path).stem().string() ? entry.path : entry.title + " (" + entry.path + ")";
}

int AddToJob(Job& job, const fs::path& path, const fs::path& homeTemp, const TAppSettings& settings, std::string& error)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    const std::optional<std::string> relative = PathInJob(job, absolute);
    if (!relative) {
        error = Tx("Job", "ジョブのフォルダの中にある写真だけを加えられます:") + "\r" + PathLine(absolute.string());
        return -1;
    }
    const PhotoLoad loaded = PhotoSession::Read(Named(absolute), settings);
    if (loaded.photo.isNull()) {
        error = loaded.error.toStdString();
        return -1;
    }
    const PhotoKey id = IdentifyPhoto(Named(absolute), loaded.photo, absolute.string(), loaded.photo.CheckSum(), homeTemp);
    if (!IsFingerprint(id.fingerprint)) {
        error = Tx("Job", "写真を読み込めません:") + "\r" + PathLine(absolute.string());
        return -1;
    }
    if (const int known = job.Find(id.fingerprint); known >= 0)
        return known;
    JobEntry entry;
    entry.title = DefaultTitle(absolute);
    entry.path = *relative;
    entry.fingerprint = id.fingerprint;
    entry.bytes = fs::file_size(absolute, ec);
    if (ec)
        entry.bytes = 0;
    // What the home kept of this photo comes along, unless the job already
    // keeps measurements of it (a photo taken out and added again).
    if (!JobHasCopies(job, id.fingerprint) && !id.key.empty() &&
        std::any_of(kPhotoFiles.begin(), kPhotoFiles.end(),
                    [&](int i) { return IsFile(PerImageFile(homeTemp, id.key, i)); })) {
        if (!StoreInJob(job, id.fingerprint, homeTemp, id.key, error))
            return -1;
    }
    job.photos.push_back(std::move(entry));
    return static_cast<int>(job.photos.size()) - 1;
}

OpenedJobPhoto OpenJobPhoto(const Job& job, std::size_t index, const fs::path& folder, const TAppSettings& settings,
                            const fs::path& profiles)
{
    OpenedJobPhoto opened;
    opened.folder = folder;
    const JobEntry& entry = job.photos.at(index);
    const JobPhotoPlace place = LocateJobPhoto(job, entry, [&entry](const fs::path& p) { return FingerprintLike(Named(p), entry.fingerprint); });
    switch (place.state) {
    case JobPhotoState::Here:
        break;
    case JobPhotoState::Moved:
        opened.note = Tx("Job", "写真は別の場所で見つかりました:") + " " + place.relative;
        break;
    case JobPhotoState::Replaced:
        opened.error = Tx("Job", "同じ名前の別の写真に置き換えられています. 元の写真の計測データはジョブに残っています.");
        return opened;
    case JobPhotoState::Missing:
        opened.error = Tx("Job", "写真がジョブのフォルダにありません.");
        return opened;
    }
    opened.file = place.file;
    const PhotoLoad loaded = PhotoSession::Read(Named(place.file), settings);
    if (loaded.photo.isNull()) {
        opened.error = loaded.error.toStdString();
        return opened;
    }
    std::string error;
    if (!BringFromJob(job, entry.fingerprint, folder, kJobCopyKey, error)) {
        opened.error = error;
        return opened;
    }
    opened.editor = std::make_unique<Editor>();
    PhotoSession session(*opened.editor);
    try {
        const std::string damage =
            session.Open(loaded.photo, place.file.string(), folder, PhotoKey{entry.fingerprint, kJobCopyKey});
        // A damaged file's measurements are not guessed at: the photo's
        // outputs would be missing what the user measured.
        if (!damage.empty()) {
            opened.error = damage;
            opened.editor.reset();
            return opened;
        }
    } catch (const std::exception& e) {
        opened.error = e.what();
        opened.editor.reset();
        return opened;
    }
    FindCameraProfile(*opened.editor, Named(place.file), profiles);
    if (!entry.price.empty())
        opened.editor->UseStoredPrice(entry.price);
    opened.work = session.Work();
    return opened;
}

} // namespace kvx
