#pragma once

// The folder of camera profiles (measure/lens_file.h), one profile a file:
// the profiles a user has calibrated, listed by name, and the one made for a
// photo's camera found by itself.  The folder is the user's, so anything may
// lie in it: damaged or foreign files, links going round in a loop, files of
// gigabytes, pipes, thousands of names.  Such files are passed over, and only
// a bounded number of names and files is ever looked at.

#include "measure/lens_file.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kvx {

// The ending of a profile's file name.
inline constexpr const char* kProfileExtension = ".kvxcam";
// The most names of a folder looked at, and the most profile files read
// (the first by name): a profile folder holds a few dozen.
inline constexpr std::size_t kMaxProfileFolderEntries = 10000;
inline constexpr std::size_t kMaxProfileFiles = 500;

// The profiles in folder that read without a fault, each with its name (the
// file's name without kProfileExtension), in the order of the names' bytes.
// Nothing for a folder that is missing or cannot be read.
std::vector<std::pair<std::string, CameraProfile>> ListProfiles(const std::filesystem::path& folder);

// The profile in folder made for the photo's camera (Matches), with its
// name.  When several are, the one of the smallest reprojection error
// (one that does not tell its error comes last), the first by name among equals.
std::optional<std::pair<std::string, CameraProfile>> FindMatchingNamedProfile(const std::filesystem::path& folder,
                                                                               const CameraId& photo);
std::optional<CameraProfile> FindMatchingProfile(const std::filesystem::path& folder, const CameraId& photo);

// A file name for the profile: its ProfileName with kProfileExtension, every
// character a file name cannot hold ("/", control characters, a leading
// dot) replaced, and cut at a character's end to fit kMaxNameBytes.
std::string ProfileFileName(const CameraProfile& profile);

// Where a new profile goes in folder without replacing one kept there:
// folder / ProfileFileName(profile), else the same name with " (2)", " (3)"...
// before its ending; nothing when no such name is free.
std::optional<std::filesystem::path> FreeProfilePath(const std::filesystem::path& folder, const CameraProfile& profile);

} // namespace kvx
