#include "shell/recovery_files.h"

#include "base/recovery_note.h"
#include "measure/calibration.h"
#include "measure/workfiles.h"

#include <exception>

namespace kvx {

namespace fs = std::filesystem;

std::string SettingFiles::Joined() const
{
    std::string all;
    for (const auto& [n, bytes] : files)
        all += std::to_string(n) + ":" + std::to_string(bytes.size()) + ":" + bytes;
    return all;
}

SettingFiles EncodeSetting(const Document& doc)
{
    SettingFiles out;
    if (doc.CurrentSetting == 4) {
        Document copy = doc;
        if (copy.CurrentBase == 2)
            SwapBDS(copy);
        out.files.emplace_back(4, EncodePlaneFile(copy));
        out.files.emplace_back(CheckFile(4), EncodeCheckFile(copy.Plane));
        out.files.emplace_back(SheetFile(4), EncodeSheetFile(copy.Plane));
        out.files.emplace_back(6, EncodeCrossLineFile(copy));
        SwapBDS(copy);
        out.files.emplace_back(5, EncodePlaneFile(copy));
        out.files.emplace_back(CheckFile(5), EncodeCheckFile(copy.Plane));
        out.files.emplace_back(SheetFile(5), EncodeSheetFile(copy.Plane));
    } else {
        out.files.emplace_back(doc.CurrentSetting, EncodePlaneFile(doc));
        out.files.emplace_back(CheckFile(doc.CurrentSetting), EncodeCheckFile(doc.Plane));
        out.files.emplace_back(SheetFile(doc.CurrentSetting), EncodeSheetFile(doc.Plane));
        out.files.emplace_back(0, EncodeCrossLineFile(doc));
    }
    out.files.emplace_back(kLensFile, EncodeLensFile(doc));
    return out;
}

// Encodes the snapshot and writes what changed since last: the working
// files, then the note naming the photo.  Runs on the autosave's thread; it
// touches nothing of the window's.
RecoveryOutcome WriteRecoveryFiles(const Document& doc, const fs::path& folder, const std::string& last)
{
    RecoveryOutcome out;
    try {
        if (doc.Modified != 1) {
            // Undone back to the measurements as they were kept: the working
            // files follow, and a crash now has nothing to bring back.
            bool ok = true;
            for (const auto& [n, bytes] : EncodeSetting(doc).files)
                ok = ok && WritePhotoFile(WorkingFile(folder, n), n, bytes);
            if (ok) {
                RemoveRecoveryNote(folder);
                out.cleared = true;
            }
            return out;
        }
        const SettingFiles files = EncodeSetting(doc);
        RecoveryNote note;
        note.photo = doc.ImageFileName;
        note.checkSum = doc.ImageCheckSum;
        note.setting = doc.CurrentSetting;
        note.group = doc.CurrentGroup;
        std::string state = files.Joined() + note.photo + "|" + std::to_string(note.checkSum) + "|" +
                            std::to_string(note.setting) + "|" + std::to_string(note.group);
        if (state == last)
            return out;
        bool ok = true;
        for (const auto& [n, bytes] : files.files)
            ok = ok && WritePhotoFile(WorkingFile(folder, n), n, bytes);
        // The note comes last: it must never name a photo whose files are not there yet.
        ok = ok && WriteRecoveryNote(folder, note);
        out.wrote = ok;
        out.failed = !ok;
        if (ok)
            out.state = std::move(state);
    } catch (const std::exception&) {
        out = RecoveryOutcome{};
        out.failed = true;
    }
    return out;
}

// A copy of doc without its memo of plane coordinates: the memo can be large,
// its construction lines are filled in as they are asked for, and the copy is
// read on another thread.  The memo is a cache, not the user's work; it is
// lent out of the document for the moment of the copy and put back.
Document WithoutMemo(const Document& doc)
{
    DeltaMemo memo;
    std::swap(memo, doc.Deltas);
    try {
        Document copy = doc;
        std::swap(memo, doc.Deltas);
        return copy;
    } catch (...) {
        std::swap(memo, doc.Deltas);
        throw;
    }
}

} // namespace kvx
