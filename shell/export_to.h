#pragma once

// The one way an export leaves the program.  The window asks for the file in
// the save dialog, started in the photo's folder or where the last file of
// the same kind went, refuses a target that must not be written and hands the
// path to the export's writer; batch mode is given its paths and shares the
// writing part: stale temporaries beside the target cleared, the bytes
// written beside it and renamed into place.

#include "base/app_settings.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

namespace kvx {

class Prompter;

// The kinds of file whose folder a save dialog remembers; the report, the
// straight-on image and the marker sheet share one, the CSV file and the
// results file another, the SD file and the drawing a third.  A photo made
// here (a cut-out of an image range, a scanned page) is asked for in the
// image dialog, JPEG or BMP, and always starts where photos are kept.
enum class ExportKind { Report, Table, Drawing, Photo };

// Where the save dialog of each kind starts.  The folders themselves live in
// the settings, so they outlast the run; whether one was used in this run
// lives here.
class ExportFolders {
public:
    explicit ExportFolders(TAppSettings& settings) : settings_(settings) {}

    // The folder of the last file of this kind written in this run; before
    // the first, the photo's own folder, where its outputs usually belong;
    // without either, the folder the settings remember.
    QString Start(ExportKind kind, const std::string& photoFileName) const;
    // The folder of a file just chosen becomes the kind's folder.
    void Remember(ExportKind kind, const QString& written);
    // The setting that holds the kind's folder.
    std::string& Folder(ExportKind kind) const;
    // The type a photo was saved as last (1 JPEG, 2 BMP): the image dialog offers it first.
    int PhotoFilter() const { return photoFilter_; }
    void RememberPhotoFilter(int filter) { photoFilter_ = filter; }

private:
    TAppSettings& settings_;
    std::set<ExportKind> used_;
    int photoFilter_ = 1;
};

// What the save dialog of an export shows.
struct ExportOrder {
    QString caption;
    ExportKind kind = ExportKind::Report;
    QString proposedName;  // the file name offered
    QString filter;        // of the text dialog; a photo's dialog offers JPEG and BMP
    // The line an error leaves in the error trail, made when it is left.
    std::function<std::string()> trail;
};

// Writes the export to the target the user chose; the message for the user
// when it could not be written, empty when it was.
using ExportWriter = std::function<std::string(const QString& path)>;

// Asks for the file, remembers its folder, refuses a folder as the target and
// runs write on it, under the order's trail line: a refusal or a writer's
// message is thrown as std::runtime_error.  False when the user cancelled.
bool ExportTo(Prompter& prompter, ExportFolders& folders, const std::string& photoFileName, const ExportOrder& order,
              const ExportWriter& write);

// A writer of the bytes produce makes, with the window's message when they
// cannot be written.  The cursor waits while they are made and written.
ExportWriter ExportBytes(std::function<std::string()> produce);

// Removes the temporaries that saves of ours, killed, left beside target.
void PruneBesideExport(const std::filesystem::path& target);

// The writing part every export shares, the window's and batch mode's: stale
// temporaries beside target cleared, then bytes written beside it and renamed
// over it (through a symbolic link, the file it names).  False, with target as
// it was, when anything failed; why then holds the system's reason if any.
bool WriteExportFile(const std::filesystem::path& target, std::string_view bytes, std::error_code* why = nullptr);

// The user's message for an export that could not be written, with the
// reason when one is known.
std::string ExportWriteFailed(const QString& path, const std::error_code& why);

} // namespace kvx
