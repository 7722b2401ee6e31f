#pragma once

// The files that keep a photo's measurements between settings, photos and runs.
//
// Working files "0.tmp".."6.tmp" in the working folder hold the photo open now:
// 0 the cross line of settings 1 to 3, 1..3 the plane of each setting, 4 and 5
// the left and right plane of setting 4, 6 the cross line of setting 4.
// Per-image files "<name>_<checksum>[i].tmp" are copies of them for one photo.
// The byte layouts are fixed (little-endian, no padding between fields) because
// files of earlier versions of the program must keep loading.
//
// The check distances of plane file n (1..5) are kept beside it in a file of
// their own, numbered CheckFile(n): "check<n>.tmp", copied as
// "<name>_<checksum>[check<n>].tmp".  It is a short text file, and it exists
// only while the plane has check distances, so the plane files and every
// photo without check distances stay exactly as before.

#include "measure/model.h"
#include "measure/orientation.h"

#include <array>
#include <functional>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kvx {

// What the working-file routines need from the window: a warning with OK and a
// question with Yes and No.
class WorkFileUi {
public:
    virtual ~WorkFileUi() = default;
    virtual void Warn(const std::string& message) = 0;
    virtual bool AskYesNo(const std::string& message) = 0;
};

// A working file shorter than its contents announce.
class WorkFileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::int32_t kWorkFileVersion = 3;

// The number of the check file of plane file n (1..5).
inline constexpr int CheckFile(int n)
{
    return 10 + n;
}
inline constexpr bool IsCheckFile(int n)
{
    return n > CheckFile(0) && n <= CheckFile(5);
}
// "upright.tmp", copied as "<key>[upright].tmp": its presence says the points
// of the files beside it are pixels of the photo turned upright by its EXIF
// orientation.  Versions that showed photos as stored wrote none, so files
// without it hold points of the photo as stored (the same for a photo stored
// upright).
inline constexpr int kUprightMark = 20;
// "lens.tmp", copied as "<key>[lens].tmp": the lens correction chosen for the
// photo (measure/lens_file.h).  No file: none chosen, as for every photo
// measured before there was a choice.
inline constexpr int kLensFile = 21;
// The sheet file of plane file n (1..5), "sheet<n>.tmp", copied as
// "<key>[sheet<n>].tmp": the tolerance of the paper sheet or card found as
// the plane's reference (SizeTolerance).  It exists only while the plane's
// reference has one, so every other plane stays exactly as before.
inline constexpr int SheetFile(int n)
{
    return 30 + n;
}
inline constexpr bool IsSheetFile(int n)
{
    return n > SheetFile(0) && n <= SheetFile(5);
}
// Files whose absence says something (no check distances, no lens chosen, no
// sheet's tolerance): a copy of one must go when the working file has gone.
inline constexpr bool AbsenceCounts(int n)
{
    return IsCheckFile(n) || IsSheetFile(n) || n == kLensFile;
}
// Every file that holds a photo's measurements, by number: 0..6, the check
// files, the upright mark, the lens choice and the sheet files.
inline constexpr std::array<int, 19> kPhotoFiles{0, 1, 2, 3, 4, 5, 6, CheckFile(1), CheckFile(2), CheckFile(3),
                                                 CheckFile(4), CheckFile(5), kUprightMark, kLensFile, SheetFile(1),
                                                 SheetFile(2), SheetFile(3), SheetFile(4), SheetFile(5)};

std::filesystem::path WorkingFile(const std::filesystem::path& folder, int n);
// The longest key kept as it is: its copies' names, and the names of the
// temporaries they are written under, stay within 255 bytes.
inline constexpr std::size_t kMaxPerImageKeyBytes = 243;
// "<file name without folder and extension>_<ImageCheckSum>"; a longer key is
// shortened, the same way every time for the same photo.
std::string PerImageKey(const std::string& imageFileName, std::int32_t imageCheckSum);
std::filesystem::path PerImageFile(const std::filesystem::path& folder, const std::string& key, int n);

// "<key>[id].tmp": the fingerprint of the photo the copies of key belong to,
// in a file of its own so that the copies keep their format.
std::filesystem::path PerImageFingerprintFile(const std::filesystem::path& folder, const std::string& key);

// The key under which the photo of doc keeps its copies in folder.  The legacy
// key (name and checksum) is shared by photos of the same name and size with
// dark bottom-left corners, so a photo never takes a key whose copies carry
// another photo's fingerprint: it takes the first of "<stem>~2", "<stem>~3"...
// that is free or already its own.  Copies without a fingerprint (older
// versions) are taken as they are; without a fingerprint of its own the photo
// has the legacy key.
std::string ResolvePerImageKey(const std::filesystem::path& folder, const Document& doc);

// The key, as ResolvePerImageKey chooses it, and the fingerprint the photo
// keeps its copies under.  Copies whose stored fingerprint is of another kind
// than doc's (an earlier version's) are the photo's when olderFingerprint,
// asked at most once and only then, gives the very same text; the photo then
// goes on with that stored fingerprint, so its copies stay as they were.
struct PerImageIdentity {
    std::string key;
    std::string fingerprint;
};
PerImageIdentity ResolvePerImageIdentity(const std::filesystem::path& folder, const Document& doc,
                                         const std::function<std::string()>& olderFingerprint);
// doc.ImageKey, or the legacy key while none was resolved.
std::string ImageKeyOf(const Document& doc);

// The bytes of a plane file (version 3) of the current plane, and of a cross-line file.
std::string EncodePlaneFile(const Document& doc);
std::string EncodeCrossLineFile(const Document& doc);
// The bytes of the current plane's check file; empty when it has no check
// distances (and then there is no file).
std::string EncodeCheckFile(const TPlaneState& plane);
// Reads a check file's bytes into plane's check distances, replacing them.  A
// damaged file keeps the lines read whole and throws WorkFileReadError.
void DecodeCheckFile(std::string_view bytes, TPlaneState& plane);
// The bytes of the current plane's sheet file; empty when its reference has
// no sheet's tolerance (and then there is no file).
std::string EncodeSheetFile(const TPlaneState& plane);
// Reads a sheet file's bytes into plane's SheetSize.  A damaged file leaves
// none and throws WorkFileReadError.
void DecodeSheetFile(std::string_view bytes, TPlaneState& plane);
// The bytes of the photo's lens file: empty when no choice was made (and then
// there is no file).
std::string EncodeLensFile(const Document& doc);
// Reads the photo's lens file from folder into doc.Lens (no file: no choice).
// A damaged file leaves no choice and throws WorkFileReadError naming it: the
// photo's measurements are not lost for it, only its correction.
void LoadLensFile(Document& doc, const std::filesystem::path& folder);
// Writes bytes to working (or per-image) file path, or removes it for empty
// bytes of a check file or the lens file: true when the folder holds what was asked.
bool WritePhotoFile(const std::filesystem::path& path, int n, const std::string& bytes);

// Writes the current plane to working file n (1..5) and the cross line to the
// shared file of n.  Each file is written under a temporary name and renamed
// into place, so a failure never leaves a half-written file.  On failure the
// user is told and the result is false.
bool SaveTemp(const Document& doc, int n, const std::filesystem::path& folder, WorkFileUi& ui);

// Resets the current plane and loads working file n (1..5), its shared
// cross-line file and, for settings 1 and 2, the other setting's rectangle.
// True when anything was found.  A damaged file throws WorkFileReadError after
// keeping what was read whole; the plane is left consistent either way.
bool LoadTemp(Document& doc, int n, const std::filesystem::path& folder);

// When the photo's measurements were changed and the user agrees, copies the
// working files to the photo's per-image files, with the photo's fingerprint
// beside them.  A copy that fails is reported.
void SaveSet(const Document& doc, const std::filesystem::path& folder, WorkFileUi& ui);

// Makes the photo's per-image files the working files; working files without a
// copy are deleted, so a photo without files starts empty.  False when a
// working file of the photo left could be neither replaced nor removed (a
// folder that refuses writes): the working files must then not be loaded.
bool LoadSet(const Document& doc, const std::filesystem::path& folder);

// Every image point of doc (its planes, cross line, six points, corrections
// and vanishing points) replaced by map(point).
void MapImagePoints(Document& doc, const std::function<TDPoint(TDPoint)>& map);

// Brings working files that hold points of the photo as stored (no upright
// mark) to the photo turned upright by orientation: each plane file's points
// are mapped as the photo shown in its setting (with the setting's own
// quarter turn) moves, the files rewritten and the mark written.  stored is
// the size of the photo as stored.  False when a file could not be
// rewritten; the mark is then not written.
bool UprightWorkingFiles(const std::filesystem::path& folder, int orientation, PixelSize stored);

// Saves the current setting to its working file(s): in setting 4 both planes.
struct SaveSettingResult {
    bool first = false;  // the first (or only) file was written
    bool all = false;    // every file was written
};
SaveSettingResult SaveCurrentSetting(Document& doc, const std::filesystem::path& folder, WorkFileUi& ui);

// Makes setting 1..4 current and loads it from the working files.  True when
// its file was found (the caller then applies its image processing).
bool LoadSetting(Document& doc, int setting, const std::filesystem::path& folder);

// The setting switch: saves the current setting, then loads the new one.  When
// the save fails the user is told and nothing changes.
struct SwitchResult {
    bool switched = false;
    bool loaded = false;
};
SwitchResult SwitchSetting(Document& doc, int setting, const std::filesystem::path& folder, WorkFileUi& ui);

} // namespace kvx
