#include "shell/photo_session.h"

#include "measure/workfiles.h"
#include "base/safe_file.h"

#include <fstream>
#include <iterator>

namespace kvx {

namespace fs = std::filesystem;

// A file's contents, or a mark for none; files far larger than any copy are
// told apart by size and time alone.
std::string CopyFingerprint(const fs::path& p)
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


PhotoLoad PhotoSession::Read(const QString& path, const TAppSettings& settings, const Progress& progress)
{
    return LoadPhoto(path, progress, PhotoPixelLimit(settings));
}

std::string PhotoSession::Open(const Photo& decoded, const std::string& fileName, const std::filesystem::path& folder,
                               const PhotoKey& id, const PrepareFiles& prepare, const Progress& progress)
{
    OpenedPhoto opened = AdoptPhoto(editor_, decoded, fileName, folder, id, prepare, progress);
    source_ = std::move(opened.source);
    work_ = std::move(opened.work);
    return opened.damage;
}

void PhotoSession::Show(const Photo& decoded)
{
    work_ = decoded;
    source_ = decoded;
}

bool PhotoSession::SwitchSetting(int setting, const std::filesystem::path& folder, const std::function<bool()>& save,
                                 const Progress& progress)
{
    if (!save())
        return false;
    editor_.LoadSetting(setting, folder);
    // The photo shows the new setting's processing, also when it has none.
    Reprocess(progress);
    return true;
}

void PhotoSession::Reprocess(const Progress& progress)
{
    if (HasPhoto())
        work_ = ProcessedPhoto(source_, editor_.Doc().Effects, progress);
}

void PhotoSession::Close()
{
    work_ = Photo();
    source_ = Photo();
}

void PhotoSession::NoteStoredCopies(const std::filesystem::path& copiesFolder)
{
    const std::string key = ImageKeyOf(editor_.Doc());
    storedCopies_.clear();
    for (const int i : kPhotoFiles)
        storedCopies_.push_back(CopyFingerprint(PerImageFile(copiesFolder, key, i)));
}

bool PhotoSession::StoredCopiesChanged(const std::filesystem::path& copiesFolder) const
{
    if (storedCopies_.empty() || editor_.Doc().ImageFileName.empty())
        return false;
    const std::string key = ImageKeyOf(editor_.Doc());
    for (std::size_t f = 0; f < kPhotoFiles.size() && f < storedCopies_.size(); ++f)
        if (CopyFingerprint(PerImageFile(copiesFolder, key, kPhotoFiles[f])) != storedCopies_[f])
            return true;
    return false;
}

void PhotoSession::NoteKeptCopy(const std::filesystem::path& copiesFolder, int n)
{
    const std::string key = ImageKeyOf(editor_.Doc());
    for (std::size_t f = 0; f < kPhotoFiles.size() && storedCopies_.size() == kPhotoFiles.size(); ++f)
        if (kPhotoFiles[f] == n)
            storedCopies_[f] = CopyFingerprint(PerImageFile(copiesFolder, key, n));
}

} // namespace kvx
