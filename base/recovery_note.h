#pragma once

// The note that says the working files hold changes not yet kept with their
// photo.  It is written beside the working files whenever they are brought up
// to date after a change, and removed once the photo's measurements have been
// kept or deliberately dropped, so a note found at start-up means the program
// ended without being closed (a crash, a kill, a power cut) and the working
// files hold what would otherwise be lost.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kvx {

struct RecoveryNote {
    std::string photo;            // the photo's path, as the window opened it (UTF-8)
    std::int32_t checkSum = 0;    // the photo's check sum when it was opened
    std::int32_t setting = 1;     // 1..4: the setting shown
    std::int32_t group = 0;       // 0..5: the group shown

    friend bool operator==(const RecoveryNote&, const RecoveryNote&) = default;
};

std::filesystem::path RecoveryNoteFile(const std::filesystem::path& workingFolder);

// Writes the note under a temporary name renamed into place.  False when it
// could not be written, or when the photo's name cannot be kept on one line.
bool WriteRecoveryNote(const std::filesystem::path& workingFolder, const RecoveryNote& note);

// The note in workingFolder; nothing when there is none or it is damaged
// (a damaged note offers nothing rather than a wrong photo).
std::optional<RecoveryNote> ReadRecoveryNote(const std::filesystem::path& workingFolder);

// Removes the note; true when none is left.
bool RemoveRecoveryNote(const std::filesystem::path& workingFolder);

} // namespace kvx
