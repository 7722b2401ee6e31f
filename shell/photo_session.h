#pragma once

// The open photo's life: read and checked, opened with its kept measurements,
// the setting switched, its image processing applied, closed.  The window
// and batch mode open and switch through this one part; the window adds the
// questions, the display and the home's folders around it.

#include "base/app_settings.h"
#include "edit/editor.h"
#include "image/photo.h"
#include "shell/photo_open.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kvx {

// A file's contents, or a mark for none; files far larger than any copy are
// told apart by size and time alone.
std::string CopyFingerprint(const std::filesystem::path& p);

class PhotoSession {
public:
    explicit PhotoSession(Editor& editor) : editor_(editor) {}

    // Decodes the photo at path, its size checked against the settings' limit
    // before a pixel is decoded; a null photo and the reason when it cannot be read.
    static PhotoLoad Read(const QString& path, const TAppSettings& settings, const Progress& progress = {});

    bool HasPhoto() const { return !work_.isNull(); }
    // As decoded.
    const Photo& Source() const { return source_; }
    // As shown: with the current setting's image processing.
    const Photo& Work() const { return work_; }

    // Makes decoded (read from fileName) the editor's open photo with the
    // measurements kept under id: prepare makes its working files in folder
    // (by default its copies in folder become them), setting 1 is loaded and
    // its processing applied.  What could not be read of the measurements,
    // empty when nothing was damaged; what could be read is kept.
    std::string Open(const Photo& decoded, const std::string& fileName, const std::filesystem::path& folder,
                     const PhotoKey& id, const PrepareFiles& prepare = {}, const Progress& progress = {});
    // Shows decoded as it is, before its measurements are brought back.
    void Show(const Photo& decoded);
    // Makes another setting current: save keeps the current one first (false
    // when it was not kept and the switch must not happen), then the setting
    // is read from folder and the photo shown with its processing.
    bool SwitchSetting(int setting, const std::filesystem::path& folder, const std::function<bool()>& save,
                       const Progress& progress = {});
    // The shown photo made anew from the source with the document's processing.
    void Reprocess(const Progress& progress = {});
    // A processing tried before it is chosen: shown, the document unchanged.
    void Preview(const Photo& shown) { work_ = shown; }
    // No photo open any more.
    void Close();

    // The photo's copies where every run keeps them, as they are now: the
    // copies are then changed elsewhere when they no longer look so.
    void NoteStoredCopies(const std::filesystem::path& copiesFolder);
    // Forgets them: the working files are the photo's latest state.
    void ForgetStoredCopies() { storedCopies_.clear(); }
    // Whether another program kept this photo since its copies were noted.
    bool StoredCopiesChanged(const std::filesystem::path& copiesFolder) const;
    // The copy n was kept by this window: it is no change made elsewhere.
    void NoteKeptCopy(const std::filesystem::path& copiesFolder, int n);

private:
    Editor& editor_;
    Photo source_;
    Photo work_;
    std::vector<std::string> storedCopies_;  // in the order of kPhotoFiles
};

} // namespace kvx
