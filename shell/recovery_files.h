#pragma once

// The working files kept up to date with the document a moment after every
// change, and the recovery note that names their photo: what a crash leaves
// for the next start to bring back.  Plain C++: the writing runs on the
// autosave's thread and touches nothing of the window's.

#include "measure/model.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kvx {

// The working files' bytes for the setting shown; in setting 4 both planes,
// read from a copy because bringing the left plane forward moves the planes.
struct SettingFiles {
    std::vector<std::pair<int, std::string>> files;
    // Every file's number, size and bytes in one text: two encodings are the
    // same files when their texts are equal.
    std::string Joined() const;
};
SettingFiles EncodeSetting(const Document& doc);

// What an autosave found and did, for the window's thread to take in.
struct RecoveryOutcome {
    bool wrote = false;      // the files (and the note) were written
    bool failed = false;     // a write failed: the user is told once
    bool cleared = false;    // undone back to the kept state: no note any more
    std::string state;       // what the files and the note now hold (wrote)
};

// Encodes doc and writes what changed since last (the state an earlier
// outcome reported): the working files in folder, then the note naming the
// photo.  A document back at its kept state (not Modified) has its files
// written and the note removed.  Never throws.
RecoveryOutcome WriteRecoveryFiles(const Document& doc, const std::filesystem::path& folder, const std::string& last);

// A copy of doc without its memo of plane coordinates, to be read on another thread.
Document WithoutMemo(const Document& doc);

} // namespace kvx
