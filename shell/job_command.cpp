#include "shell/job_command.h"

#include "base/app_settings.h"
#include "base/safe_file.h"
#include "base/scratch_folder.h"
#include "base/translate.h"
#include "image/photo.h"
#include "shell/job.h"
#include "shell/job_photos.h"
#include "shell/path_names.h"

#include "shell/job_outputs.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <ostream>
#include <thread>
#include <vector>

namespace kvx {

namespace fs = std::filesystem;

namespace {

int Fail(std::ostream& err, const std::string& message, int code)
{
    err << "kalvex: " << message << "\n";
    return code;
}

// Messages are made for a message box: its line breaks are CRs.
std::string OnLines(std::string message)
{
    std::replace(message.begin(), message.end(), '\r', '\n');
    for (const char* mark : {kPathOpen, kPathClose})
        for (std::size_t at = message.find(mark); at != std::string::npos; at = message.find(mark))
            message.erase(at, std::string(mark).size());
    return message;
}

constexpr const char* kScratchPrefix = "kalvex-job";

} // namespace

int RunNewJob(const NewJobOptions& options, const Folders& folders, std::ostream& err)
{
    if (options.photos.empty())
        return Fail(err, "--new-job takes the job file and at least one photo", 2);
    std::error_code ec;
    Job job;
    job.file = fs::absolute(options.jobFile, ec);
    if (fs::symlink_status(job.file, ec).type() != fs::file_type::not_found)
        return Fail(err, "'" + options.jobFile + "' already exists: a job is never made over a file", 5);
    if (!IsFolder(job.Folder()))
        return Fail(err, "no folder '" + job.Folder().string() + "' for the job", 5);
    ConfigureImageDecoding();
    const TAppSettings settings =
        ReadSettings(folders.IniFile(), DefaultSettings(folders.ExeFolder.string(), folders.ExeFolder.string()));
    int failed = 0;
    for (const std::string& photo : options.photos) {
        std::string error;
        if (!IsFile(photo)) {
            Fail(err, "no photo at '" + photo + "'", 3);
            ++failed;
            continue;
        }
        if (AddToJob(job, photo, folders.TempFolder, settings, error) < 0) {
            Fail(err, "'" + photo + "': " + OnLines(error), 3);
            ++failed;
        }
    }
    if (failed > 0)
        return Fail(err, "the job was not made", 3);
    std::string error;
    if (!WriteJob(job, error))
        return Fail(err, OnLines(error), 5);
    return 0;
}

int RunBatchJob(const BatchJobOptions& options, const Folders& folders, std::ostream& err)
{
    std::string error;
    const std::optional<Job> read = ReadJob(options.jobFile, error);
    if (!read)
        return Fail(err, OnLines(error), 3);
    const Job& job = *read;
    for (const auto* target : {&options.pdf, &options.table, &options.xlsx}) {
        if (*target && IsFolder(**target))
            return Fail(err, "cannot write '" + **target + "': it is a folder", 5);
        if (*target && OverlongNameBytes(**target) > 0)
            return Fail(err, "cannot write '" + **target + "': its name is too long", 5);
    }
    PruneStaleScratchFolders(kScratchPrefix);
    ScratchFolder scratch(kScratchPrefix);
    if (!scratch.valid())
        return Fail(err, "cannot make a folder for the working files in the temporary folder '" +
                             SystemTemporaryFolder().string() + "': " + scratch.error().message(), 4);
    ConfigureImageDecoding();
    const TAppSettings settings =
        ReadSettings(folders.IniFile(), DefaultSettings(folders.ExeFolder.string(), folders.ExeFolder.string()));

    const std::size_t count = job.photos.size();
    std::size_t workers = options.jobs > 0 ? static_cast<std::size_t>(options.jobs)
                                           : std::max(1u, std::thread::hardware_concurrency());
    workers = std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(count, 1));
    // What the outputs need of each photo, in the job's order whichever worker opened it.
    std::vector<std::optional<JobReportPhoto>> taken(count);
    std::vector<std::string> failures(count);
    std::vector<std::string> notes(count);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            // No exception may end a worker: it would end the program.
            try {
                const fs::path folder = scratch.path() / ("photo" + std::to_string(i + 1));
                std::error_code ec;
                fs::create_directory(folder, ec);
                if (ec) {
                    failures[i] = ec.message();
                    continue;
                }
                OpenedJobPhoto opened = OpenJobPhoto(job, i, folder, settings, folders.ProfilesFolder());
                if (!opened.error.empty()) {
                    failures[i] = opened.error;
                    continue;
                }
                notes[i] = opened.note;
                taken[i] = TakeJobPhoto(job.photos[i].title, opened.editor->Doc(), opened.work, folder);
                // Its working files are not needed once taken.
                fs::remove_all(folder, ec);
            } catch (const std::exception& e) {
                failures[i] = e.what();
            } catch (...) {
                failures[i] = "unexpected error";
            }
        }
    };
    {
        std::vector<std::jthread> threads;
        for (std::size_t t = 1; t < workers; ++t)
            threads.emplace_back(work);
        work();
    }
    int status = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!failures[i].empty()) {
            Fail(err, "photo " + std::to_string(i + 1) + " '" + JobPhotoName(job.photos[i]) + "': " + OnLines(failures[i]), 6);
            status = 6;
        } else if (!notes[i].empty()) {
            err << "kalvex: photo " << i + 1 << " '" << JobPhotoName(job.photos[i]) << "': " << OnLines(notes[i]) << "\n";
        }
    }
    std::vector<JobReportPhoto> photos;
    for (std::optional<JobReportPhoto>& p : taken)
        if (p)
            photos.push_back(std::move(*p));
    auto write = [&](const std::optional<std::string>& target, const auto& writer) {
        if (!target)
            return;
        try {
            writer(FromBytes(*target));
        } catch (const std::exception& e) {
            Fail(err, "cannot write '" + *target + "': " + OnLines(e.what()), 5);
            status = 5;
        }
    };
    write(options.table, [&](const QString& path) { WriteJobResultsTable(path, photos, settings); });
    write(options.xlsx, [&](const QString& path) { WriteJobWorkbook(path, photos, settings); });
    write(options.pdf, [&](const QString& path) {
        int process = 0;
        WriteJobReportFile(path, photos, fs::path(job.file).stem().string(), settings, process);
    });
    return status;
}

} // namespace kvx
