#include "shell/job_outputs.h"

#include "output/export/results_table.h"
#include "shell/export_to.h"
#include "shell/path_names.h"
#include "shell/report_file.h"
#include "base/safe_file.h"
#include "base/scratch_folder.h"
#include "base/translate.h"

#include <QDate>

#include <stdexcept>

namespace kvx {

namespace fs = std::filesystem;

namespace {

std::vector<JobPhoto> Tables(const std::vector<JobReportPhoto>& photos)
{
    std::vector<JobPhoto> out;
    out.reserve(photos.size());
    for (const JobReportPhoto& p : photos)
        out.push_back(p.photo);
    return out;
}

std::string CannotWrite(const fs::path& target, const std::string& reason)
{
    const std::string message = "'" + target.string() + Tx("ReportFile", "' を書き込めませんでした.");
    return reason.empty() ? message : message + " " + reason;
}

void WriteBytes(const QString& path, const std::string& bytes)
{
    const fs::path target = ToPath(path);
    if (const std::string refused = RefusedWrite(target); !refused.empty())
        throw std::runtime_error(refused);
    std::error_code why;
    if (!WriteExportFile(target, bytes, &why))
        throw std::runtime_error(CannotWrite(target, WriteFailureReason(target, why)));
}

} // namespace

JobReportPhoto TakeJobPhoto(const std::string& title, const Document& doc, const Photo& work,
                            const fs::path& workFolder, bool withDetail)
{
    JobReportPhoto p;
    p.photo.title = title;
    p.photo.settings = EverySetting(doc, workFolder);
    p.doc = doc;
    p.page = ReportPageFor(work.Width(), work.Height());
    p.image = ReportImage(work.Image(), p.page.W, p.page.H);
    if (withDetail)
        p.detail = PhotoDetail(doc);
    return p;
}

WorkbookTexts JobWorkbookTexts()
{
    WorkbookTexts t;
    t.resultsSheet = Tx("JobWorkbook", "計測結果");
    t.totalsSheet = Tx("JobWorkbook", "合計");
    t.photo = Tx("JobWorkbook", "写真");
    t.setting = Tx("JobWorkbook", "設定");
    t.plane = Tx("JobWorkbook", "面");
    t.kind = Tx("JobWorkbook", "種類");
    t.number = Tx("JobWorkbook", "番号");
    t.group = Tx("JobWorkbook", "グループ");
    t.name = Tx("JobWorkbook", "名称");
    t.length = Tx("JobWorkbook", "長さ");
    t.area = Tx("JobWorkbook", "面積");
    t.uncertainty = Tx("JobWorkbook", "標準不確かさ");
    t.unitPrice = Tx("JobWorkbook", "単価");
    t.cost = Tx("JobWorkbook", "金額");
    t.mm = Tx("JobWorkbook", "mm");
    t.m2 = Tx("JobWorkbook", "m²");
    t.m = Tx("JobWorkbook", "m");
    t.byPhoto = Tx("JobWorkbook", "写真とグループごとの合計");
    t.byGroup = Tx("JobWorkbook", "作業全体のグループごとの合計");
    t.total = Tx("JobWorkbook", "総計");
    return t;
}

void WriteJobWorkbook(const QString& path, const std::vector<JobReportPhoto>& photos, const TAppSettings& settings)
{
    const fs::path target = ToPath(path);
    if (const std::string refused = RefusedWrite(target); !refused.empty())
        throw std::runtime_error(refused);
    // The library writes a file of its own: in a private folder, never beside the user's.
    const ScratchFolder scratch("kalvex-workbook");
    if (!scratch.valid())
        throw std::runtime_error(CannotWrite(target, scratch.error().message()));
    std::string bytes;
    try {
        bytes = WorkbookBytes(Tables(photos), settings.ClickSigma, JobWorkbookTexts(), scratch.path());
    } catch (const WorkbookError& e) {
        throw std::runtime_error(CannotWrite(target, e.what()));
    }
    WriteBytes(path, bytes);
}

void WriteJobResultsTable(const QString& path, const std::vector<JobReportPhoto>& photos, const TAppSettings& settings)
{
    WriteBytes(path, JobResultsTableBytes(Tables(photos), settings.ClickSigma));
}

void WriteJobReportFile(const QString& path, const std::vector<JobReportPhoto>& photos, const std::string& jobName,
                        const TAppSettings& settings, int& process)
{
    const fs::path target = ToPath(path);
    if (const std::string refused = RefusedWrite(target); !refused.empty())
        throw std::runtime_error(refused);
    PruneBesideExport(target);
    const JobReportHeading heading{jobName, QDate::currentDate().toString(Qt::ISODate).toStdString()};
    std::error_code why;
    // A report never replaces a good file unless it was written whole.
    if (!WriteReplacing(
            target,
            [&](std::ostream& out) {
                WriteJobReport(out, photos, heading, settings, process);
                return true;
            },
            &why))
        throw std::runtime_error(CannotWrite(target, WriteFailureReason(target, why)));
}

} // namespace kvx
