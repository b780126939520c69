#pragma once

#include <stop_token>

namespace qx {

// Declared only: a unit that uses one of the services includes its header, so that a change to one
// header rebuilds only the units that use it.
class ActivityLog;
class Clock;
class JobRecord;
class Launcher;
class PathMap;
class Profile;
class Prompts;
class SharedState;
class StringTable;
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
