#include "shell/photo_open.h"

#include "base/translate.h"
#include "image/effects.h"
#include "measure/camera_profiles.h"
#include "measure/workfiles.h"

namespace kvx {

Photo ProcessedPhoto(const Photo& source, const ImageEffects& effects, const Progress& progress)
{
    return effects == ImageEffects{} ? source : Effect(source, effects, progress);
}

PhotoKey IdentifyPhoto(const QString& path, const Photo& decoded, const std::string& fileName, std::int32_t checkSum,
                       const std::filesystem::path& copiesFolder)
{
    Document probe;
    probe.ImageFileName = fileName;
    probe.ImageCheckSum = checkSum;
    probe.ImageFingerprint = decoded.FileFingerprint().empty() ? PhotoFingerprint(path) : decoded.FileFingerprint();
    const PerImageIdentity found =
        ResolvePerImageIdentity(copiesFolder, probe, [&path] { return OlderPhotoFingerprint(path); });
    return {found.fingerprint, found.key};
}

SensorFrame SensorFrameOf(const Photo& decoded)
{
    // The photo as decoded is shown upright; the camera's sensor saw it as stored.
    return {decoded.Orientation(), UprightSize(InverseOrientation(decoded.Orientation()), {decoded.Width(), decoded.Height()})};
}

void FindCameraProfile(Editor& editor, const QString& path, const std::filesystem::path& profiles)
{
    const std::optional<ExifInfo> exif = ReadPhotoExif(path);
    const PixelSize stored = editor.Doc().Sensor.stored;
    std::optional<std::pair<std::string, CameraProfile>> found;
    if (exif)
        found = FindMatchingNamedProfile(profiles, CameraId{exif->make, exif->model, exif->focal,
                                                            static_cast<int>(stored.width), static_cast<int>(stored.height)});
    if (found)
        editor.SetAutoLens(found->second.lens, found->first, found->second.kUncertainty);
    else
        editor.SetAutoLens({}, {});
}

OpenedPhoto AdoptPhoto(Editor& editor, const Photo& decoded, const std::string& fileName,
                       const std::filesystem::path& folder, const PhotoKey& id, const PrepareFiles& prepare,
                       const Progress& progress)
{
    OpenedPhoto opened;
    opened.source = decoded;
    const SensorFrame sensor = SensorFrameOf(decoded);
    const PixelSize stored = sensor.stored;
    editor.StartPhoto(fileName, decoded.CheckSum(), id.fingerprint, id.key, sensor);
    const bool clean = prepare ? prepare() : LoadSet(editor.Doc(), folder);
    try {
        // Measurements kept while photos were shown as stored are brought to
        // the photo shown upright before anything reads them.
        if (clean && !UprightWorkingFiles(folder, decoded.Orientation(), stored))
            opened.damage = Tx("WorkFiles", "この写真に保存されている設定を写真の向きに合わせられませんでした. 点が写真の上の正しい位置にない場合があります.");
        if (clean)
            editor.LoadFirstSetting(folder);
    } catch (const WorkFileReadError& e) {
        opened.damage = e.what();
    }
    opened.work = ProcessedPhoto(opened.source, editor.Doc().Effects, progress);
    return opened;
}

} // namespace kvx
