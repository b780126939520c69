#pragma once

#include <stop_token>

#include "ActivityLog.h"
#include "Clock.h"
#include "Launcher.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "SharedState.h"
#include "StringTable.h"

namespace qx {

class JobRecord;
class ThreadSet;

// What every job and thread works through. The objects are owned by the application (or a test) and
// outlive every thread that holds this bundle.
struct Services {
    const PathMap& paths;
    Profile& profile;
    Clock& clock;
    SharedState& state;
    Launcher& launcher;
    Prompts& prompts;
    const StringTable& strings;
    const ActivityLog& log;
    ThreadSet* threads = nullptr;  // where on-demand threads are started; null in one-shot commands
    // Requested when the service stops: long work (a move of many files) ends between two steps.
    std::stop_token stop = {};
    // Where jobs report how they ended (the service's; null in one-shot commands and most tests).
    JobRecord* jobs = nullptr;
};

}  // namespace qx
