#include "shell/batch.h"

#include "image/photo.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/export/dxf.h"
#include "output/export/results_table.h"
#include "shell/rectified_file.h"
#include "base/app_settings.h"
#include "shell/report_file.h"
#include "shell/photo_open.h"
#include "edit/editor.h"
#include "base/safe_file.h"

#include <QTemporaryDir>

#include <filesystem>
#include <ostream>
#include <vector>

namespace kvx {

namespace fs = std::filesystem;

namespace {

// Where the window would ask, batch mode takes the answer that changes nothing;
// what it would warn about ends the run.
class BatchUi : public WorkFileUi {
public:
    std::vector<std::string> warnings;
    void Warn(const std::string& message) override { warnings.push_back(message); }
    bool AskYesNo(const std::string&) override { return false; }
};

// The report's colours and label size: the settings of the home, read without
// ever writing them back.
TAppSettings g_settings;
const TAppSettings& PdfSettings()
{
    return g_settings;
}

int Fail(std::ostream& err, const std::string& message, int code)
{
    err << "kalvex: " << message << "\n";
    return code;
}

// The working-file code names the files it read or wrote, and in batch mode
// those are private copies in a folder that is gone when the run ends: each is
// named as the user's file it was copied from.  Anything else in that folder
// (the report's picture) is nothing of the user's, and its bare name says enough.
std::string InUsersTerms(std::string message, const fs::path& scratch, const fs::path& userTemp, const std::string& key)
{
    auto replaceAll = [&message](const std::string& from, const std::string& to) {
        for (std::size_t at = message.find(from); at != std::string::npos; at = message.find(from, at + to.size()))
            message.replace(at, from.size(), to);
    };
    for (const int i : kPhotoFiles) {
        const std::string users = PerImageFile(userTemp, key, i).string();
        replaceAll(PerImageFile(scratch, key, i).string(), users);
        replaceAll(WorkingFile(scratch, i).string(), users);
    }
    replaceAll((scratch / "").string(), "");
    return message;
}

} // namespace

int RunBatch(const BatchOptions& options, const Folders& folders, std::ostream& err)
{
    if (options.setting < 1 || options.setting > 4)
        return Fail(err, "--setting takes 1 to 4", 2);
    if (options.group < 0 || options.group > 5)
        return Fail(err, "--group takes 0 to 5", 2);
    if (!IsFile(options.photo))
        return Fail(err, "no photo at '" + options.photo + "'", 3);

    ConfigureImageDecoding();
    g_settings = ReadSettings(folders.IniFile(), DefaultSettings(folders.ExeFolder.string(), folders.ExeFolder.string()));
    const PhotoLoad loaded = LoadPhoto(QString::fromStdString(options.photo));
    if (loaded.photo.isNull())
        return Fail(err, loaded.error.toStdString(), 3);

    Editor editor;
    const Document& doc = editor.Doc();
    const std::string imageFileName = fs::absolute(options.photo).string();
    const PhotoKey id = IdentifyPhoto(QString::fromStdString(options.photo), imageFileName, loaded.photo.CheckSum(),
                                      folders.TempFolder);

    QTemporaryDir scratch;
    if (!scratch.isValid())
        return Fail(err, "no temporary folder for the working files", 4);
    const fs::path work = scratch.path().toStdString();
    // The photo's own files, copied: the user's working folder stays as it is.
    const std::string key = id.key.empty() ? PerImageKey(imageFileName, loaded.photo.CheckSum()) : id.key;
    auto failInWork = [&](const std::string& message, int code) {
        return Fail(err, InUsersTerms(message, work, folders.TempFolder, key), code);
    };
    for (const int i : kPhotoFiles) {
        const fs::path saved = PerImageFile(folders.TempFolder, key, i);
        if (IsFile(saved) && !CopyFileReplacing(saved, PerImageFile(work, key, i)))
            return Fail(err, "cannot read '" + saved.string() + "'", 4);
    }
    BatchUi ui;
    Photo shown;
    try {
        // The window's way of opening a photo, so the report shows it as the window does.
        const OpenedPhoto opened = AdoptPhoto(editor, loaded.photo, imageFileName, work, id);
        if (!opened.damage.empty())
            return failInWork(opened.damage, 4);
        shown = opened.work;
        if (options.setting != 1) {
            if (!editor.SwitchSetting(options.setting, work, ui).switched)
                return failInWork(ui.warnings.empty() ? "cannot switch the setting" : ui.warnings.back(), 4);
            shown = ProcessedPhoto(opened.source, doc.Effects);
        }
    } catch (const std::exception& e) {
        return failInWork(e.what(), 4);
    }
    editor.SetGroup(options.group);
    ViewToggles view = doc.View;
    view.SpaceNameView = options.names;
    editor.SetViewToggles(view);

    for (const auto* target : {&options.csv, &options.sd, &options.pdf, &options.dxf, &options.table, &options.rectified})
        if (*target && IsFolder(**target))
            return Fail(err, "cannot write '" + **target + "': it is a folder", 5);
    if (options.csv && !WriteFileReplacing(*options.csv, CsvBytes(doc, options.names)))
        return Fail(err, "cannot write '" + *options.csv + "'", 5);
    if (options.sd && !WriteFileReplacing(*options.sd, SdBytes(doc, options.group)))
        return Fail(err, "cannot write '" + *options.sd + "'", 5);
    if (options.table) {
        std::string bytes;
        try {
            bytes = ResultsTableBytes(EverySetting(doc, work), g_settings.ClickSigma);
        } catch (const std::exception& e) {
            return failInWork("cannot write '" + *options.table + "': " + e.what(), 5);
        }
        if (!WriteFileReplacing(*options.table, bytes))
            return Fail(err, "cannot write '" + *options.table + "'", 5);
    }
    if (options.dxf) {
        try {
            std::string bytes;
            editor.Output([&](Document& d) { bytes = DxfBytes(d, work); });
            if (!WriteFileReplacing(*options.dxf, bytes))
                return Fail(err, "cannot write '" + *options.dxf + "'", 5);
        } catch (const std::exception& e) {
            return failInWork("cannot write '" + *options.dxf + "': " + e.what(), 5);
        }
    }
    if (options.rectified) {
        std::string error;
        try {
            editor.Output([&](Document& d) {
                error = WriteRectified(*options.rectified, d, shown.Image(), options.mmPerPixel,
                                       options.rectifiedOverlay ? &PdfSettings() : nullptr);
            });
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!error.empty())
            return failInWork("cannot write the straight-on image: " + error, 5);
    }
    if (options.pdf) {
        int process = 0;
        try {
            editor.Output([&](Document& d) {
                TAppSettings settings = PdfSettings();
                settings.ReportDetailFlag = options.pdfDetail;
                WritePdfReport(QString::fromStdString(*options.pdf), d, settings, shown, work, process);
            });
        } catch (const std::exception& e) {
            return failInWork("cannot write '" + *options.pdf + "': " + e.what(), 5);
        }
    }
    return 0;
}

} // namespace kvx
