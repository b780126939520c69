#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
#include "Environment.h"

namespace qx {

struct RunOptions {
    std::string job;
    std::optional<SysTime> at;  // the time the job believes it is; now when absent
    bool dryRun = false;        // print what would be done, change nothing
    bool yes = false;           // answer the operation's question with Yes
};

// The jobs `qxmover run` knows, in the order --help lists them.
const std::vector<std::string>& runnableJobs();

// One line per job for `run --help`: its name and what it does, marked with "*" where it deletes files.
std::string jobListHelp();

// Runs one job or one of the dialog's operations once. Returns 0 on success, 1 when the job failed,
// 2 for an unknown job.
int runJobCommand(const GlobalOptions& global, const RunOptions& options, std::ostream& out,
                  std::ostream& err);

}  // namespace qx
