#include "shell/job.h"

#include "base/safe_file.h"
#include "base/translate.h"
#include "measure/workfiles.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace kvx {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFormat = "kalvex job";
constexpr const char* kCopiesFolder = "Measurements";
// Files a search for a moved photo looks at before it gives up: a job folder
// is a folder of photos, not a disk.
constexpr int kMaxSearchEntries = 50000;

std::string Refused(const fs::path& file, const std::string& why)
{
    return Tx("Job", "ジョブファイルを読み込めません:") + "\r" + PathLine(file.string()) + "\r" + why;
}

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

} // namespace

int Job::Find(std::string_view fingerprint) const
{
    for (std::size_t i = 0; i < photos.size(); ++i)
        if (photos[i].fingerprint == fingerprint)
            return static_cast<int>(i);
    return -1;
}

bool IsFingerprint(std::string_view s)
{
    // 32 digits of the current hash, or 64 of the SHA-256 earlier versions
    // identified photos by (a photo keeps that while its copies carry it).
    return (s.size() == 32 || s.size() == 64) && std::all_of(s.begin(), s.end(), IsHex);
}

bool IsSafeJobPath(std::string_view relative)
{
    if (relative.empty() || relative.size() > 4096 || relative.front() == '/')
        return false;
    if (relative.find('\\') != std::string_view::npos || relative.find('\0') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        const std::string_view name = relative.substr(start, end - start);
        if (name.empty() || name == "." || name == "..")
            return false;
        start = end + 1;
    }
    return true;
}

std::string JobBytes(const Job& job)
{
    QJsonArray photos;
    for (const JobEntry& p : job.photos) {
        QJsonObject o;
        o.insert(QStringLiteral("title"), QString::fromStdString(p.title));
        o.insert(QStringLiteral("path"), QString::fromStdString(p.path));
        o.insert(QStringLiteral("fingerprint"), QString::fromStdString(p.fingerprint));
        o.insert(QStringLiteral("bytes"), static_cast<double>(p.bytes));
        if (!p.price.empty())
            o.insert(QStringLiteral("price"), QString::fromStdString(p.price));
        photos.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"), QString::fromLatin1(kFormat));
    root.insert(QStringLiteral("version"), kJobVersion);
    root.insert(QStringLiteral("photos"), photos);
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::optional<Job> ParseJob(std::string_view bytes, const fs::path& file, std::string& error)
{
    if (bytes.size() > kMaxJobFileBytes) {
        error = Refused(file, Tx("Job", "ジョブファイルとしては大きすぎます."));
        return std::nullopt;
    }
    QJsonParseError parseError{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = Refused(file, Tx("Job", "ファイルが壊れているか途中で切れています") + " (" +
                                  std::to_string(parseError.offset) + ": " + parseError.errorString().toStdString() + ").");
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QStringLiteral("format")).toString() != QString::fromLatin1(kFormat)) {
        error = Refused(file, Tx("Job", "Kalvex のジョブファイルではありません."));
        return std::nullopt;
    }
    const QJsonValue versionValue = root.value(QStringLiteral("version"));
    const double version = versionValue.toDouble(-1);
    if (!versionValue.isDouble() || version != std::floor(version) || version < 1) {
        error = Refused(file, Tx("Job", "ファイルが壊れています (版の番号がありません)."));
        return std::nullopt;
    }
    if (version > kJobVersion) {
        error = Refused(file, Tx("Job", "このプログラムより新しい版で書かれたジョブファイルです."));
        return std::nullopt;
    }
    const QJsonValue photosValue = root.value(QStringLiteral("photos"));
    if (!photosValue.isArray()) {
        error = Refused(file, Tx("Job", "ファイルが壊れています (写真の一覧がありません)."));
        return std::nullopt;
    }
    const QJsonArray photos = photosValue.toArray();
    if (static_cast<std::size_t>(photos.size()) > kMaxJobPhotos) {
        error = Refused(file, Tx("Job", "写真の数が多すぎます."));
        return std::nullopt;
    }
    Job job;
    job.file = file;
    for (qsizetype i = 0; i < photos.size(); ++i) {
        const std::string at = Tx("Job", "写真") + " " + std::to_string(static_cast<std::size_t>(i) + 1) + ": ";
        const QJsonObject o = photos.at(i).toObject();
        const QJsonValue title = o.value(QStringLiteral("title"));
        const QJsonValue path = o.value(QStringLiteral("path"));
        const QJsonValue fingerprint = o.value(QStringLiteral("fingerprint"));
        const QJsonValue size = o.value(QStringLiteral("bytes"));
        if (!photos.at(i).isObject() || !title.isString() || !path.isString() || !fingerprint.isString()) {
            error = Refused(file, at + Tx("Job", "題名・パス・指紋のどれかがありません."));
            return std::nullopt;
        }
        JobEntry p;
        p.title = title.toString().toStdString();
        p.path = path.toString().toStdString();
        p.fingerprint = fingerprint.toString().toStdString();
        if (static_cast<std::size_t>(title.toString().size()) > kMaxJobTitleChars) {
            error = Refused(file, at + Tx("Job", "題名が長すぎます."));
            return std::nullopt;
        }
        if (!IsSafeJobPath(p.path)) {
            error = Refused(file, at + Tx("Job", "パスがジョブのフォルダの外を指しています:") + " " + p.path);
            return std::nullopt;
        }
        if (!IsFingerprint(p.fingerprint)) {
            error = Refused(file, at + Tx("Job", "写真の指紋が壊れています."));
            return std::nullopt;
        }
        if (job.Find(p.fingerprint) >= 0) {
            error = Refused(file, at + Tx("Job", "同じ写真が二度載っています."));
            return std::nullopt;
        }
        if (!size.isUndefined()) {
            const double b = size.toDouble(-1);
            if (!size.isDouble() || b < 0 || b != std::floor(b) || b > 1e15) {
                error = Refused(file, at + Tx("Job", "写真の大きさが壊れています."));
                return std::nullopt;
            }
            p.bytes = static_cast<std::uintmax_t>(b);
        }
        if (const QJsonValue price = o.value(QStringLiteral("price")); !price.isUndefined()) {
            if (!price.isString() || static_cast<std::size_t>(price.toString().size()) > kMaxJobPriceChars) {
                error = Refused(file, at + Tx("Job", "単価が壊れています."));
                return std::nullopt;
            }
            p.price = price.toString().toStdString();
        }
        job.photos.push_back(std::move(p));
    }
    return job;
}

std::optional<Job> ReadJob(const fs::path& file, std::string& error)
{
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) {
        error = Refused(file, Tx("Job", "ファイルがありません."));
        return std::nullopt;
    }
    if (status.type() != fs::file_type::regular) {
        error = Refused(file, Tx("Job", "通常のファイルではありません."));
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = Refused(file, Tx("Job", "ファイルを開けません."));
        return std::nullopt;
    }
    // Never more than the limit and a byte is read, whatever the file claims.
    std::string bytes(static_cast<std::size_t>(kMaxJobFileBytes) + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        error = Refused(file, Tx("Job", "ファイルを読み込めません."));
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return ParseJob(bytes, fs::absolute(file, ec), error);
}

bool WriteJob(const Job& job, std::string& error)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(job.file, ec);
    if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::regular) {
        error = Tx("Job", "ジョブファイルを書き込めません:") + "\r" + PathLine(job.file.string()) + "\r" +
                Tx("Job", "通常のファイルではありません (リンクや特殊なファイルは置き換えません).");
        return false;
    }
    std::error_code why;
    if (!WriteFileReplacing(job.file, JobBytes(job), &why)) {
        error = Tx("Job", "ジョブファイルを書き込めません:") + "\r" + PathLine(job.file.string());
        if (const std::string reason = WriteFailureReason(job.file, why); !reason.empty())
            error += "\r" + reason;
        return false;
    }
    return true;
}

std::optional<std::string> PathInJob(const Job& job, const fs::path& file)
{
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(job.Folder(), ec);
    if (ec)
        return std::nullopt;
    const fs::path real = fs::weakly_canonical(fs::absolute(file, ec), ec);
    if (ec)
        return std::nullopt;
    const fs::path relative = real.lexically_relative(folder);
    const std::string text = relative.generic_string();
    if (!IsSafeJobPath(text))
        return std::nullopt;
    // A name that is not UTF-8 cannot be written into the job file as it is.
    if (QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8().toStdString() != text)
        return std::nullopt;
    // The copies' folder is the job's own, never a photo's place.
    if (text.rfind(std::string(kCopiesFolder) + "/", 0) == 0)
        return std::nullopt;
    return text;
}

fs::path JobCopiesFolder(const Job& job, const std::string& fingerprint)
{
    return job.Folder() / kCopiesFolder / fingerprint;
}

bool JobHasCopies(const Job& job, const std::string& fingerprint)
{
    if (!IsFingerprint(fingerprint))
        return false;
    const fs::path folder = JobCopiesFolder(job, fingerprint);
    return std::any_of(kPhotoFiles.begin(), kPhotoFiles.end(),
                       [&](int i) { return IsFile(PerImageFile(folder, kJobCopyKey, i)); });
}

namespace {

// Makes folder (and its parent) as plain folders: a link planted at either
// name would carry the copies out of the job, so it is refused.
bool MakePlainFolder(const fs::path& folder, std::string& error)
{
    for (const fs::path& f : {folder.parent_path(), folder}) {
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(f, ec);
        if (status.type() == fs::file_type::directory)
            continue;
        if (status.type() != fs::file_type::not_found || !fs::create_directory(f, ec)) {
            error += "\r" + PathLine(f.string());
            return false;
        }
    }
    return true;
}

std::string CopiesFailed()
{
    return Tx("Job", "計測データをジョブのフォルダに保存できませんでした:");
}

} // namespace

bool StoreInJob(const Job& job, const std::string& fingerprint, const fs::path& folder, const std::string& key,
                std::string& error)
{
    if (!IsFingerprint(fingerprint) || key.empty()) {
        error = CopiesFailed();
        return false;
    }
    const fs::path copies = JobCopiesFolder(job, fingerprint);
    std::string failed;
    if (!MakePlainFolder(copies, failed)) {
        error = CopiesFailed() + failed;
        return false;
    }
    for (const int i : kPhotoFiles) {
        const fs::path from = PerImageFile(folder, key, i);
        const fs::path to = PerImageFile(copies, kJobCopyKey, i);
        bool done = true;
        if (IsFile(from))
            done = CopyFileReplacing(from, to);
        else if (AbsenceCounts(i))
            done = WritePhotoFile(to, i, {});
        if (!done)
            failed += "\r" + PathLine(to.string());
    }
    if (!failed.empty()) {
        error = CopiesFailed() + failed;
        return false;
    }
    return true;
}

bool BringFromJob(const Job& job, const std::string& fingerprint, const fs::path& folder, const std::string& key,
                  std::string& error)
{
    if (!JobHasCopies(job, fingerprint))
        return true;
    if (key.empty()) {
        error = Tx("Job", "ジョブの計測データを読み込めませんでした.");
        return false;
    }
    const fs::path copies = JobCopiesFolder(job, fingerprint);
    std::string failed;
    for (const int i : kPhotoFiles) {
        const fs::path from = PerImageFile(copies, kJobCopyKey, i);
        const fs::path to = PerImageFile(folder, key, i);
        std::error_code ec;
        const bool done = IsFile(from) ? CopyFileReplacing(from, to) : (fs::remove(to, ec), !ec);
        if (!done)
            failed += "\r" + PathLine(to.string());
    }
    const fs::path id = PerImageFingerprintFile(folder, key);
    if (!WriteFileReplacing(id, fingerprint))
        failed += "\r" + PathLine(id.string());
    if (!failed.empty()) {
        error = Tx("Job", "ジョブの計測データを読み込めませんでした:") + failed;
        return false;
    }
    return true;
}

namespace {

std::optional<std::string> Contents(const fs::path& p)
{
    if (!IsFile(p))
        return std::nullopt;
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::file_time_type Newest(const fs::path& folder, const std::string& key)
{
    fs::file_time_type newest = fs::file_time_type::min();
    for (const int i : kPhotoFiles) {
        std::error_code ec;
        const fs::file_time_type t = fs::last_write_time(PerImageFile(folder, key, i), ec);
        if (!ec && t > newest)
            newest = t;
    }
    return newest;
}

} // namespace

CopiesAge CompareCopies(const Job& job, const std::string& fingerprint, const fs::path& folder, const std::string& key)
{
    const fs::path copies = JobCopiesFolder(job, fingerprint);
    bool same = true;
    for (const int i : kPhotoFiles)
        if (Contents(PerImageFile(copies, kJobCopyKey, i)) != Contents(PerImageFile(folder, key, i))) {
            same = false;
            break;
        }
    if (same)
        return CopiesAge::Same;
    return Newest(folder, key) > Newest(copies, kJobCopyKey) ? CopiesAge::FolderNewer : CopiesAge::JobNewer;
}

JobPhotoPlace LocateJobPhoto(const Job& job, const JobEntry& photo, const FingerprintOf& fingerprintOf)
{
    JobPhotoPlace place;
    const fs::path at = job.Folder() / fs::path(photo.path);
    if (IsFile(at)) {
        if (fingerprintOf(at) == photo.fingerprint) {
            place.state = JobPhotoState::Here;
            place.file = at;
            place.relative = photo.path;
            return place;
        }
        place.state = JobPhotoState::Replaced;
        place.file = at;
    }
    // Looked for by its bytes among the files of its size (all, when its size was not kept).
    std::error_code ec;
    fs::recursive_directory_iterator it(job.Folder(), fs::directory_options::skip_permission_denied, ec);
    int seen = 0;
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (++seen > kMaxSearchEntries)
            break;
        const fs::directory_entry& entry = *it;
        std::error_code e;
        if (entry.is_directory(e) && entry.path().filename() == kCopiesFolder && it.depth() == 0) {
            it.disable_recursion_pending();
            continue;
        }
        if (!entry.is_regular_file(e) || entry.is_symlink(e) || entry.path() == at || entry.path() == job.file)
            continue;
        if (photo.bytes != 0 && entry.file_size(e) != photo.bytes)
            continue;
        if (fingerprintOf(entry.path()) != photo.fingerprint)
            continue;
        const std::optional<std::string> relative = PathInJob(job, entry.path());
        if (!relative)
            continue;
        place.state = JobPhotoState::Moved;
        place.file = entry.path();
        place.relative = *relative;
        return place;
    }
    return place;
}

std::string DefaultTitle(const fs::path& path)
{
    return path.stem().string();
}

} // namespace kvx
