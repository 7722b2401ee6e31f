#pragma once

// A job's photos as the window and the command lines take them: a photo
// added (its measurements kept in the home come along), and a photo opened
// with the measurements kept in the job, on a folder of its own.

#include "base/app_settings.h"
#include "edit/editor.h"
#include "image/photo.h"
#include "shell/job.h"

#include <filesystem>
#include <memory>
#include <string>

namespace kvx {

// Adds the photo at path to the end of the job: it must lie inside the job's
// folder and be a photo that can be read.  When the job has no measurements of
// it yet, those kept for it in homeTemp (the home's working folder) are copied
// into the job.  The index of its entry (an entry it already had is kept as
// it is), or -1 and why.  The job file itself is not written.
int AddToJob(Job& job, const std::filesystem::path& path, const std::filesystem::path& homeTemp,
             const TAppSettings& settings, std::string& error);

// A job's photo opened on its own: the document as the window would open it,
// with the measurements the job keeps.
struct OpenedJobPhoto {
    std::unique_ptr<Editor> editor;
    Photo work;                     // as shown
    std::filesystem::path folder;   // its working files
    std::filesystem::path file;     // where the photo was found
    std::string error;              // why it could not be opened; empty when it was
    std::string note;               // found elsewhere than its path, or damage that kept what could be read
};

// Opens photo index of job with folder (empty, its own) as the working folder.
// Safe to run for several photos at once, each on a folder of its own.
OpenedJobPhoto OpenJobPhoto(const Job& job, std::size_t index, const std::filesystem::path& folder,
                            const TAppSettings& settings, const std::filesystem::path& profiles);

// What a photo of the job is called in messages: its title and its path.
std::string JobPhotoName(const JobEntry& entry);

} // namespace kvx
