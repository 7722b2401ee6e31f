#pragma once

// Jobs without the window:
//   kalvex --new-job JOBFILE PHOTO... [--home DIR]
//   kalvex --batch-job JOBFILE [--pdf F] [--table F] [--xlsx F] [-j N]

#include "base/housekeeping.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kvx {

struct NewJobOptions {
    std::string jobFile;
    std::vector<std::string> photos;
};

// Makes the job file of the photos, in their order, with what the home kept of
// each.  An existing file at its name is never replaced; a photo that cannot
// be taken is named with its reason and nothing is written.  0 on success.
int RunNewJob(const NewJobOptions& options, const Folders& folders, std::ostream& err);

struct BatchJobOptions {
    std::string jobFile;
    std::optional<std::string> pdf;
    std::optional<std::string> table;
    std::optional<std::string> xlsx;
    int jobs = 0;  // photos opened at once; 0: the number of cores
};

// Opens every photo of the job, up to options.jobs at once, and writes the
// outputs asked for in the job's order, the same for any number at once.  A
// photo that cannot be opened is named with its reason on err, the outputs
// are written of the others and the status is not 0.
int RunBatchJob(const BatchJobOptions& options, const Folders& folders, std::ostream& err);

} // namespace kvx
