#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>

#include "Clock.h"
#include "Environment.h"

namespace qx {

struct StatusOptions {
    bool json = false;
    std::optional<SysTime> at;         // the time the overview believes it is; now when absent
    std::filesystem::path runtimeDir;  // where the single-instance lock lies; empty: its usual place
};

// One screen for the installation, what an administrator looks at first when something seems wrong:
// the week and month in force and the move mode; for every job and monitor whether it is switched on,
// its last run and result, its last failure with the reason and its next run (from the state file
// beside the activity logs); whether the service runs (its single-instance lock, looked at without
// taking it); the settings that are out of range and what the service uses instead; the last lines of
// the activity log. As text, or with `json` as one JSON object for scripts (field names in
// snake_case, times "YYYY-MM-DD HH:MM:SS" local, null where there is none).
//
// Reads only: no profile key, state file or log is written or created. Returns 0, or 1 when the
// settings or the state file cannot be read (with why on `err`).
int runStatusCommand(const GlobalOptions& global, const StatusOptions& options, std::ostream& out,
                     std::ostream& err);

}  // namespace qx
