#pragma once

#include <array>

#include "Services.h"
#include "SettingRecords.h"

namespace qx {

// The job directory watcher's dialog: what its switches leave usable, and OK.
struct JobWatcherEnabled {
    struct Slot {
        bool directory = false;      // the directory and its browse button
        bool moveFiles = false;      // the switch of the move
        bool moveDirectory = false;  // where stale job files go, and its browse button
    };
    std::array<Slot, 3> directories;  // not "slots", which Qt takes for itself
    bool program = false;             // the program started for a job file left over
    bool alarm = false;               // the alarm started instead
};
JobWatcherEnabled jobWatcherEnabled(const JobWatcherSettings& settings);

// OK: writes the settings; false when a key could not be written (shown).
bool saveJobWatcher(Services& services, const JobWatcherSettings& settings);

}  // namespace qx
