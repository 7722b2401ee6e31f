#pragma once

// Opening a photo, the one way the window and batch mode both take: the photo
// is decoded and checked first, then its saved measurements become the
// document and the stored image processing is applied, so a report made in
// batch mode shows the photo exactly as the window does.

#include "edit/editor.h"
#include "image/photo.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <string>

namespace kvx {

// The photo as the window shows it: source with the image processing applied
// (the source itself when there is none).
Photo ProcessedPhoto(const Photo& source, const ImageEffects& effects, const Progress& progress = {});

struct OpenedPhoto {
    Photo source;        // as decoded
    Photo work;          // as shown: with the stored image processing
    std::string damage;  // a working file was damaged: what could be read is kept
};

// Whose per-image copies are the photo's: its fingerprint and the key chosen for
// it among the copies kept in the folder where every run keeps them.
struct PhotoKey {
    std::string fingerprint;
    std::string key;
};
// The fingerprint is the one decoded took from its file (the file at path is
// read for it only when it has none); copies an earlier version stored under
// its older kind of fingerprint are found too, and keep it.
PhotoKey IdentifyPhoto(const QString& path, const Photo& decoded, const std::string& fileName, std::int32_t checkSum,
                       const std::filesystem::path& copiesFolder);

// How the decoded photo (shown upright) lies on its camera's sensor.
SensorFrame SensorFrameOf(const Photo& decoded);

// Looks in profiles for the camera profile made for the photo at path (its
// EXIF camera and its size on the sensor) and makes it the editor's
// automatic lens; none when there is no such profile.  The user's own choice
// for the photo, when there is one, stays in force over it.
void FindCameraProfile(Editor& editor, const QString& path, const std::filesystem::path& profiles);

// Makes the photo's own files the working files in folder; false when they
// must not be read (the files of the photo before could not be replaced).
using PrepareFiles = std::function<bool()>;

// Makes the decoded photo at fileName the editor's open photo: prepare (by
// default its per-image files copied into folder) makes its working files,
// setting 1 is loaded and its image processing applied.  decoded must not be null.
OpenedPhoto AdoptPhoto(Editor& editor, const Photo& decoded, const std::string& fileName,
                       const std::filesystem::path& folder, const PhotoKey& id, const PrepareFiles& prepare = {},
                       const Progress& progress = {});

} // namespace kvx
