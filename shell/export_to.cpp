#include "shell/export_to.h"

#include "base/error_trail.h"
#include "base/safe_file.h"
#include "base/translate.h"
#include "widgets/words.h"
#include "shell/path_names.h"
#include "shell/prompter.h"
#include "shell/window_helpers.h"

#include <QFileInfo>

#include <optional>
#include <stdexcept>

namespace kvx {

using namespace window_helpers;

QString ExportFolders::Start(ExportKind kind, const std::string& photoFileName) const
{
    const std::string& remembered = Folder(kind);
    // Photos go where photos are kept, whichever photo is open.
    if (kind == ExportKind::Photo)
        return QString::fromStdString(remembered);
    if (used_.contains(kind) && IsFolder(remembered))
        return QString::fromStdString(remembered);
    const std::filesystem::path photoFolder = std::filesystem::path(photoFileName).parent_path();
    if (!photoFileName.empty() && IsFolder(photoFolder))
        return QString::fromStdString(photoFolder.string());
    return QString::fromStdString(remembered);
}

void ExportFolders::Remember(ExportKind kind, const QString& written)
{
    Folder(kind) = Utf8(QFileInfo(written).absolutePath());
    used_.insert(kind);
}

std::string& ExportFolders::Folder(ExportKind kind) const
{
    switch (kind) {
    case ExportKind::Report:
        return settings_.PdfFolder;
    case ExportKind::Table:
        return settings_.CsvFolder;
    case ExportKind::Drawing:
        return settings_.Csv2Folder;
    case ExportKind::Photo:
        return settings_.ImageFolder;
    }
    return settings_.PdfFolder;
}

bool ExportTo(Prompter& prompter, ExportFolders& folders, const std::string& photoFileName, const ExportOrder& order,
              const ExportWriter& write)
{
    const QString start = folders.Start(order.kind, photoFileName);
    std::optional<QString> path;
    if (order.kind == ExportKind::Photo) {
        // The name gets the suffix of the type chosen, whatever was typed.
        if (const auto choice = prompter.SaveImage(order.caption, start, order.proposedName, folders.PhotoFilter())) {
            folders.RememberPhotoFilter(choice->filter);
            path = ImageSaveName(choice->path, choice->filter);
        }
    } else {
        path = prompter.SaveText(order.caption, start, order.proposedName, order.filter);
    }
    if (!path)
        return false;
    folders.Remember(order.kind, *path);
    GuardWith(order.trail, [&] {
        if (const std::string refused = RefusedWrite(ToPath(*path)); !refused.empty())
            throw std::runtime_error(refused);
        PruneBesideExport(ToPath(*path));
        if (const std::string error = write(*path); !error.empty())
            throw std::runtime_error(error);
    });
    return true;
}

ExportWriter ExportBytes(std::function<std::string()> produce)
{
    return [produce = std::move(produce)](const QString& path) {
        std::error_code why;
        bool ok = false;
        {
            Hourglass hourglass;
            ok = WriteExportFile(ToPath(path), produce(), &why);
        }
        return ok ? std::string() : ExportWriteFailed(path, why);
    };
}

void PruneBesideExport(const std::filesystem::path& target)
{
    const std::filesystem::path destination = WriteDestination(target);
    if (destination.empty())
        return;
    PruneStaleTemporaries(destination.has_parent_path() ? destination.parent_path() : std::filesystem::path("."));
}

bool WriteExportFile(const std::filesystem::path& target, std::string_view bytes, std::error_code* why)
{
    PruneBesideExport(target);
    return WriteFileReplacing(target, bytes, why);
}

std::string ExportWriteFailed(const QString& path, const std::error_code& why)
{
    const std::string message = Utf8(Qx("WindowOutput", "'%1' に書き込めませんでした.").arg(path));
    const std::string reason = WriteFailureReason(ToPath(path), why);
    return reason.empty() ? message : message + "\r" + reason;
}

} // namespace kvx
