#include "shell/batch.h"

#include "measure/lens_file.h"
#include "measure/lens_fit.h"

#include "image/photo.h"
#include "measure/numfmt.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/export/dxf.h"
#include "output/export/results_table.h"
#include "output/export/job_tables.h"
#include "shell/job_outputs.h"
#include "shell/rectified_file.h"
#include "base/app_settings.h"
#include "shell/report_file.h"
#include "shell/photo_session.h"
#include "base/translate.h"
#include "edit/editor.h"
#include "base/safe_file.h"
#include "base/scratch_folder.h"
#include "shell/path_names.h"
#include "shell/export_to.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
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

// A batch run's private folder in the system's temporary folder: one per run,
// and those of killed runs are removed by the next.
constexpr const char* kScratchPrefix = "kalvex-batch";

// "cannot write 'target'" and why, as far as anything says: a name longer than
// any file name may be is the user's to shorten, so it is named as such.
std::string CannotWrite(const std::string& target, const std::error_code& why)
{
    std::string message = "cannot write '" + target + "'";
    if (const std::size_t bytes = OverlongNameBytes(target); bytes > 0)
        return message + ": its name is " + std::to_string(bytes) + " bytes long, longer than the " +
               std::to_string(kMaxNameBytes) + " bytes a file name may have";
    if (why)
        message += ": " + why.message();
    return message;
}

// Whether every byte of p can be read.
bool Readable(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return false;
    char buffer[1 << 14];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        if (in.eof())
            break;
    return !in.bad();
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

const char* LensFault(LensFileError e)
{
    switch (e) {
    case LensFileError::None: return "";
    case LensFileError::Missing: return "no such file";
    case LensFileError::Unreadable: return "it cannot be read";
    case LensFileError::Oversize: return "it is far too large";
    case LensFileError::NotALensFile: return "it is no camera profile";
    case LensFileError::UnknownVersion: return "it was written by a newer version";
    case LensFileError::Truncated: return "it is cut short";
    case LensFileError::NotANumber: return "a number is not a number";
    case LensFileError::NotFinite: return "a number is not finite";
    case LensFileError::AbsurdCount: return "it holds more than any photo has";
    case LensFileError::BadValue: return "its numbers describe no lens or photo";
    case LensFileError::Damaged: return "it is damaged";
    }
    return "it is damaged";
}

std::string AtLine(int line)
{
    return line > 0 ? " (line " + std::to_string(line) + ")" : std::string();
}

const char* EdgeFault(EdgeFitFault f)
{
    switch (f) {
    case EdgeFitFault::None: return "";
    case EdgeFitFault::TooFewEdges: return "at least two edges are needed";
    case EdgeFitFault::TooFewPoints: return "an edge needs at least three points";
    case EdgeFitFault::EdgeTooShort: return "an edge is too short to tell the lens";
    case EdgeFitFault::BadPoint: return "a point lies far outside the photo";
    case EdgeFitFault::BadPhotoSize: return "the photo has no size";
    case EdgeFitFault::Undecided: return "the edges do not tell the lens well enough (longer edges nearer the photo's border help)";
    case EdgeFitFault::NoImprovement: return "correcting the lens would not straighten the edges";
    }
    return "the edges tell no lens";
}

// The lens of this run, as the options choose it: why not, when it cannot be had.
std::optional<std::string> ChooseLens(Editor& editor, const BatchOptions& options)
{
    const PixelSize stored = editor.Doc().Sensor.stored;
    if (options.lens && *options.lens == "none") {
        editor.SetAutoLens({}, {});
        editor.SetLensChoice(LensChoice{});
        return std::nullopt;
    }
    if (options.lens) {
        const CameraProfileRead read = ReadCameraProfile(*options.lens);
        if (!read)
            return "cannot use the camera profile '" + *options.lens + "': " + LensFault(read.error) + AtLine(read.line) +
                   ": nothing written";
        const CameraId& camera = read.profile.camera;
        if (camera.width != stored.width || camera.height != stored.height)
            return "the camera profile '" + *options.lens + "' is for photos of " + std::to_string(camera.width) + " x " +
                   std::to_string(camera.height) + " pixels, this one is " + std::to_string(stored.width) + " x " +
                   std::to_string(stored.height) + ": nothing written";
        LensChoice choice;
        choice.kind = LensChoiceKind::Profile;
        choice.profileName = ProfileName(read.profile);
        if (choice.profileName.empty())
            choice.profileName = fs::path(*options.lens).stem().string();
        choice.model = read.profile.lens;
        choice.kUncertainty = read.profile.kUncertainty;
        editor.SetLensChoice(choice);
        return std::nullopt;
    }
    if (options.straightLines) {
        const StraightLinesRead read = ReadStraightLines(*options.straightLines);
        if (!read)
            return "cannot read the straight edges in '" + *options.straightLines + "': " + LensFault(read.error) +
                   AtLine(read.line) + ": nothing written";
        EdgeFit fit;
        fit.fault = EdgeFitFault::TooFewEdges;
        editor.Group("edges", [&] {
            editor.SetLensChoice(std::nullopt);
            for (const std::vector<TDPoint>& edge : read.edges)
                fit = editor.AddStraightEdge(edge);
        });
        if (!fit)
            return "the straight edges in '" + *options.straightLines + "' give no lens: " + EdgeFault(fit.fault) +
                   (fit.edge >= 0 ? " (edge " + std::to_string(fit.edge + 1) + ")" : std::string()) + ": nothing written";
    }
    return std::nullopt;
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

    // A working folder that is there but cannot be read would give exports
    // without the photo's measurements, as if it had none.
    {
        std::error_code ec;
        const fs::file_status status = fs::status(folders.TempFolder, ec);
        if (ec && status.type() != fs::file_type::not_found)
            return Fail(err, "cannot read the working folder '" + folders.TempFolder.string() + "': " + ec.message(), 4);
        if (status.type() != fs::file_type::not_found) {
            fs::directory_iterator list(folders.TempFolder, ec);
            if (ec)
                return Fail(err, "cannot read the working folder '" + folders.TempFolder.string() + "': " + ec.message(), 4);
        }
    }

    // What killed runs left behind, before this run adds a folder of its own.
    PruneStaleScratchFolders(kScratchPrefix);
    ScratchFolder scratch(kScratchPrefix);
    if (!scratch.valid())
        return Fail(err, "cannot make a folder for the working files in the temporary folder '" +
                             SystemTemporaryFolder().string() + "': " + scratch.error().message(), 4);
    const fs::path work = scratch.path();

    ConfigureImageDecoding();
    g_settings = ReadSettings(folders.IniFile(), DefaultSettings(folders.ExeFolder.string(), folders.ExeFolder.string()));
    // Qt opens only names that are UTF-8; any other is read through a link of
    // a plain name, and the photo keeps its own name everywhere else.
    QString readable = FromBytes(options.photo);
    if (!QtCanName(options.photo)) {
        const fs::path extension = fs::path(options.photo).extension();
        const fs::path link = work / ("photo" + (QtCanName(extension.string()) ? extension.string() : std::string()));
        std::error_code ec;
        fs::create_symlink(fs::absolute(options.photo, ec), link, ec);
        if (ec)
            return Fail(err, "cannot read '" + options.photo + "': " + ec.message(), 3);
        readable = QString::fromStdString(link.string());
    }
    const PhotoLoad loaded = PhotoSession::Read(readable, g_settings);
    if (loaded.photo.isNull())
        return Fail(err, loaded.error.toStdString(), 3);

    Editor editor;
    const Document& doc = editor.Doc();
    PhotoSession session(editor);
    const std::string imageFileName = fs::absolute(options.photo).string();
    const PhotoKey id = IdentifyPhoto(readable, loaded.photo, imageFileName, loaded.photo.CheckSum(), folders.TempFolder);

    // The photo's own files, copied: the user's working folder stays as it is.
    const std::string key = id.key.empty() ? PerImageKey(imageFileName, loaded.photo.CheckSum()) : id.key;
    auto failInWork = [&](const std::string& message, int code) {
        return Fail(err, InUsersTerms(message, work, folders.TempFolder, key), code);
    };
    for (const int i : kPhotoFiles) {
        const fs::path saved = PerImageFile(folders.TempFolder, key, i);
        std::error_code why;
        if (!IsFile(saved) || CopyFileReplacing(saved, PerImageFile(work, key, i), &why))
            continue;
        if (!Readable(saved))
            return Fail(err, "cannot read '" + saved.string() + "'", 4);
        // The user's file is fine: the temporary folder is what failed.
        return Fail(err, "cannot copy the working files into the temporary folder '" + work.string() + "': " +
                             (why ? why.message() : std::string("write failed")), 4);
    }
    BatchUi ui;
    try {
        // The window's way of opening a photo, so the report shows it as the window does.
        if (const std::string damage = session.Open(loaded.photo, imageFileName, work, id); !damage.empty())
            return failInWork(damage, 4);
        // Switched as the window switches: the setting shown kept first, a
        // setting that cannot be kept ends the run.
        auto keep = [&] {
            if (editor.SaveSetting(work, ui).first)
                return true;
            ui.Warn(Tx("WorkFiles", "設定を切り換えることができません."));
            return false;
        };
        if (options.setting != 1 && !session.SwitchSetting(options.setting, work, keep))
            return failInWork(ui.warnings.empty() ? "cannot switch the setting" : ui.warnings.back(), 4);
    } catch (const std::exception& e) {
        return failInWork(e.what(), 4);
    }
    // The camera's profile applies unless the photo's own choice or the run's says otherwise.
    FindCameraProfile(editor, readable, folders.ProfilesFolder());
    if (const std::optional<std::string> why = ChooseLens(editor, options)) {
        return Fail(err, *why, 7);
    }
    const Photo& shown = session.Work();
    if (options.findReference) {
        const double side = options.markerSide.value_or(g_settings.MarkerSide);
        std::vector<FoundReference> found = FindReferences(shown.Image(), *options.findReference, side);
        std::string what = *options.findReference == FindWhat::Marker ? "marker"
                           : *options.findReference == FindWhat::Card ? "ID-1 card"
                                                                       : "paper sheet";
        if (options.sheetSize) {
            // Only the size said, and only where the outline's proportions are
            // not plainly another kind's: an A4 sheet is no Letter sheet for the
            // asking.  The other A size of the same outline is no such rival.
            const std::vector<FoundReference> all = found;
            auto otherFitsBetter = [&](const FoundReference& f) {
                return std::any_of(all.begin(), all.end(), [&](const FoundReference& o) {
                    return o.corners == f.corners && o.kind != f.kind && !(IsASeries(o.kind) && IsASeries(f.kind)) &&
                           o.score > f.score;
                });
            };
            std::erase_if(found, [&](const FoundReference& f) { return f.kind != *options.sheetSize || otherFitsBetter(f); });
            what = *options.sheetSize == FoundKind::A4 ? "A4 sheet" : *options.sheetSize == FoundKind::A3 ? "A3 sheet" : "Letter sheet";
        }
        if (found.empty())
            return Fail(err, "no " + what + " found in '" + options.photo + "': nothing written", 6);
        // A4 and A3 have the same proportions: taking one for the other makes
        // every length wrong by 41 per cent, so the user says which.
        if (!options.sheetSize && IsASeries(found[0].kind))
            return Fail(err, "an A-series sheet in '" + options.photo +
                                 "' could be A4 or A3 (the same proportions): say which with --sheet-size A4 or "
                                 "--sheet-size A3: nothing written",
                        6);
        // A wrong reference would give every number wrong without a sign: two
        // alike are refused rather than one taken at a guess.
        if (!ClearWinner(found))
            return Fail(err, std::to_string(found.size()) + " candidates for the " + what + " in '" + options.photo +
                                 "' and none clearly the one: nothing written", 6);
        editor.SetReferenceWithSize(found[0].corners, FormatGeneral(found[0].w), FormatGeneral(found[0].h), true,
                                    SizeTolerance{0, 0, found[0].dw, found[0].dh});
    }
    editor.SetGroup(options.group);
    ViewToggles view = doc.View;
    view.SpaceNameView = options.names;
    editor.SetViewToggles(view);

    for (const auto* target : {&options.csv, &options.sd, &options.pdf, &options.dxf, &options.table, &options.xlsx,
                               &options.rectified}) {
        if (*target && IsFolder(**target))
            return Fail(err, "cannot write '" + **target + "': it is a folder", 5);
        if (*target && OverlongNameBytes(**target) > 0)
            return Fail(err, CannotWrite(**target, {}), 5);
    }
    // The writers that take bytes clear what killed saves left beside their
    // targets as they write; the report and the straight-on image are cleared for here.
    for (const auto* target : {&options.pdf, &options.rectified})
        if (*target)
            PruneBesideExport(**target);
    std::error_code why;
    if (options.csv && !WriteExportFile(*options.csv, CsvBytes(doc, options.names), &why))
        return Fail(err, CannotWrite(*options.csv, why), 5);
    if (options.sd && !WriteExportFile(*options.sd, SdBytes(doc, options.group), &why))
        return Fail(err, CannotWrite(*options.sd, why), 5);
    if (options.table) {
        std::string bytes;
        try {
            bytes = ResultsTableBytes(EverySetting(doc, work), g_settings.ClickSigma);
        } catch (const std::exception& e) {
            return failInWork("cannot write '" + *options.table + "': " + e.what(), 5);
        }
        if (!WriteExportFile(*options.table, bytes, &why))
            return Fail(err, CannotWrite(*options.table, why), 5);
    }
    if (options.xlsx) {
        std::string bytes;
        try {
            const JobPhoto photo{fs::path(options.photo).filename().string(), EverySetting(doc, work)};
            bytes = WorkbookBytes({photo}, g_settings.ClickSigma, JobWorkbookTexts(), work);
        } catch (const std::exception& e) {
            return failInWork("cannot write '" + *options.xlsx + "': " + e.what(), 5);
        }
        if (!WriteExportFile(*options.xlsx, bytes, &why))
            return Fail(err, CannotWrite(*options.xlsx, why), 5);
    }
    if (options.dxf) {
        try {
            std::string bytes;
            bytes = DxfBytes(doc);
            if (!WriteExportFile(*options.dxf, bytes, &why))
                return Fail(err, CannotWrite(*options.dxf, why), 5);
        } catch (const std::exception& e) {
            return failInWork("cannot write '" + *options.dxf + "': " + e.what(), 5);
        }
    }
    if (options.rectified) {
        std::string error;
        try {
            error = WriteRectified(*options.rectified, doc, shown.Image(), options.mmPerPixel,
                                   options.rectifiedOverlay ? &PdfSettings() : nullptr);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!error.empty())
            return failInWork("cannot write the straight-on image: " + error, 5);
    }
    if (options.pdf) {
        int process = 0;
        try {
            TAppSettings settings = PdfSettings();
            settings.ReportDetailFlag = options.pdfDetail;
            WritePdfReport(FromBytes(*options.pdf), doc, settings, shown, work, process);
        } catch (const std::exception& e) {
            return failInWork("cannot write '" + *options.pdf + "': " + e.what(), 5);
        }
    }
    return 0;
}

} // namespace kvx
