#pragma once

#include "Services.h"
#include "SettingKeys.h"

namespace qx {

// The threads that run only while their settings ask for them, each at most once at a time.
enum class OnDemand { LineWatchdog, JobWatcher, AlarmReport };

// True when [JobDirWatcher] of qxmover.ini asks for the job watcher: a slot that the watcher watches
// (CheckJob<n> exactly 1, as readJobSlot reads it); a thread that would watch nothing is not started.
bool jobWatcherWanted(const SettingReader& settings);

// Starts the thread unless its started mark is set: sets the mark, and the thread clears it when it
// ends. Returns false when the mark was already set, when there is no thread set to start it in,
// or when this build has no such thread.
bool startOnDemand(Services& services, OnDemand which);

}  // namespace qx
