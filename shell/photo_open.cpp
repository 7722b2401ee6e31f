#include "shell/photo_open.h"

#include "image/effects.h"
#include "measure/workfiles.h"

namespace kvx {

Photo ProcessedPhoto(const Photo& source, const ImageEffects& effects, const Progress& progress)
{
    return effects == ImageEffects{} ? source : Effect(source, effects, progress);
}

OpenedPhoto AdoptPhoto(Editor& editor, const Photo& decoded, const std::string& fileName,
                       const std::filesystem::path& folder, const PrepareFiles& prepare, const Progress& progress)
{
    OpenedPhoto opened;
    opened.source = decoded;
    editor.StartPhoto(fileName, decoded.CheckSum());
    const bool clean = prepare ? prepare() : LoadSet(editor.Doc(), folder);
    try {
        if (clean)
            editor.LoadFirstSetting(folder);
    } catch (const WorkFileReadError& e) {
        opened.damage = e.what();
    }
    opened.work = ProcessedPhoto(opened.source, editor.Doc().Effects, progress);
    return opened;
}

} // namespace kvx
