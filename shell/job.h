#pragma once

// A job: a folder of photos and a job file in it that lists them in order.
// Each photo is named by its title, its path relative to the job's folder and
// its fingerprint (the SHA-256 of its bytes).  Its measurements travel with the
// folder: copies of its working files in "Measurements/<fingerprint>/", kept
// there under the key "photo", so a photo renamed or moved inside the folder
// finds them again, and the home's housekeeping, which only ever looks at the
// home's working folder, never deletes them.
//
// The job file is JSON:
//   { "format": "kalvex job", "version": 1,
//     "photos": [ { "title": "...", "path": "sub/IMG_1.jpg",
//                   "fingerprint": "<64 hex digits>", "bytes": 123456 }, ... ] }
// Every job file read may be damaged or hostile: it is refused whole with a
// message that says why, and nothing is written over it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

inline constexpr int kJobVersion = 1;
// Larger than any job a person makes; a file beyond it is refused unread.
inline constexpr std::uintmax_t kMaxJobFileBytes = 8u << 20;
inline constexpr std::size_t kMaxJobPhotos = 20000;
inline constexpr std::size_t kMaxJobTitleChars = 1000;
// A unit price as typed is a short number; anything longer is damage.
inline constexpr std::size_t kMaxJobPriceChars = 64;
// The key under which a photo's copies lie in its folder of the job.
inline constexpr const char* kJobCopyKey = "photo";

struct JobEntry {
    std::string title;
    std::string path;         // relative to the job's folder, '/' between names, UTF-8
    std::string fingerprint;  // 32 (or an earlier version's 64) lower-case hex digits
    std::uintmax_t bytes = 0; // the photo file's size when added; 0 unknown
    // The unit price this photo was last shown with, as typed; empty when it
    // was never open in the job.  The working files do not hold it, and the
    // job's costs are each photo's quantities at its own price.
    std::string price;
};

struct Job {
    std::filesystem::path file;  // the job file, absolute
    std::vector<JobEntry> photos;

    std::filesystem::path Folder() const { return file.parent_path(); }
    // The index of the photo with fingerprint, or -1.
    int Find(std::string_view fingerprint) const;
};

// The job's bytes as written.
std::string JobBytes(const Job& job);

// Reads bytes as the job file file: the job, or nothing and why (in the
// interface's language).
std::optional<Job> ParseJob(std::string_view bytes, const std::filesystem::path& file, std::string& error);
// Reads the job file: refused when it is missing, no regular file, too large
// or anything ParseJob refuses.
std::optional<Job> ReadJob(const std::filesystem::path& file, std::string& error);

// Writes the job file under a temporary name of its own, synced and renamed
// into place.  A symbolic link or anything but a regular file at the job
// file's name is refused and left as it is.  False and why on failure, the
// file then as it was.
bool WriteJob(const Job& job, std::string& error);

// Whether s is a fingerprint as the job keeps them.
bool IsFingerprint(std::string_view s);
// Whether the relative path text stays inside the job's folder: not empty,
// not absolute, no "." or ".." among its names, no backslash or NUL.
bool IsSafeJobPath(std::string_view relative);

// The path of file relative to the job's folder, when it lies inside it (by
// its folders' real names) and the name can be kept in the job file.
std::optional<std::string> PathInJob(const Job& job, const std::filesystem::path& file);

// The folder that holds the copies of the photo with fingerprint.
std::filesystem::path JobCopiesFolder(const Job& job, const std::string& fingerprint);
// Whether the job keeps any measurements of the photo.
bool JobHasCopies(const Job& job, const std::string& fingerprint);

// Copies the photo's copies kept under key in folder into the job.  A copy
// whose absence counts (no check distances, no lens chosen) that is gone goes
// from the job too; the others stay.  False and the files that failed.
bool StoreInJob(const Job& job, const std::string& fingerprint, const std::filesystem::path& folder,
                const std::string& key, std::string& error);
// Makes the job's copies of the photo its copies under key in folder (with
// the fingerprint beside them); nothing happens when the job has none.
bool BringFromJob(const Job& job, const std::string& fingerprint, const std::filesystem::path& folder,
                  const std::string& key, std::string& error);

// How the photo's copies under key in folder stand against the job's: the
// same bytes, or which side was written last where they differ.
enum class CopiesAge { Same, JobNewer, FolderNewer };
CopiesAge CompareCopies(const Job& job, const std::string& fingerprint, const std::filesystem::path& folder,
                        const std::string& key);

// Where a photo of the job is now.
enum class JobPhotoState {
    Here,      // at its path, the same photo
    Moved,     // not at its path (or another photo is) but found elsewhere in the folder
    Replaced,  // another photo stands at its path and it is nowhere else
    Missing,   // neither at its path nor anywhere in the folder
};
struct JobPhotoPlace {
    JobPhotoState state = JobPhotoState::Missing;
    std::filesystem::path file;  // where it is (Here, Moved), or what stands at its path (Replaced)
    std::string relative;        // file relative to the job's folder (Moved)
};
// The fingerprint of a file; empty when it cannot be read.
using FingerprintOf = std::function<std::string(const std::filesystem::path&)>;
JobPhotoPlace LocateJobPhoto(const Job& job, const JobEntry& photo, const FingerprintOf& fingerprintOf);

// A title for a photo added at path: its file name without the extension.
std::string DefaultTitle(const std::filesystem::path& path);

} // namespace kvx
