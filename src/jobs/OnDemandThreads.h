#pragma once

#include "Services.h"

namespace qx {

// The threads that run only while their settings ask for them, each at most once at a time.
enum class OnDemand { LineWatchdog, JobWatcher, AlarmReport };

// True when [JobDirWatcher] of qxmover.ini asks for the job watcher: CheckJob3 = 1, or CheckJob2 or
// CheckJob1 not 0.
bool jobWatcherWanted(const Profile& profile);

// Starts the thread unless its started mark is set: sets the mark, and the thread clears it when it
// ends. Returns false when the mark was already set, when there is no thread set to start it in,
// or when this build has no such thread.
bool startOnDemand(Services& services, OnDemand which);

}  // namespace qx
