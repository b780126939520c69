#pragma once

#include <array>
#include <string>

#include "Profile.h"

namespace qx {

// The write functions below try every key and return the first failure ("Cannot write KEY in
// [SECTION] of FILE: REASON"), empty when every key was written; the caller shows it.

// One watched job directory of [JobDirWatcher] in qxmover.ini (keys ending in 1, 2 or 3).
struct JobDirectorySlot {
    bool check = false;  // CheckJob<n>
    std::string directory;
    bool moveFiles = false;
    std::string moveDirectory;
};

// The job directory watcher's settings as its dialog edits them.
struct JobWatcherSettings {
    std::array<JobDirectorySlot, 3> directories;
    int startOnErrorType = 0;  // 0 program, 1 alarm
    std::string startOnErrorProgram;
    int startOnErrorAlarm = -1;  // -1: none chosen
};

JobWatcherSettings readJobWatcherForm(const Profile& profile);

// Writes the keys of the three directories, then the shared reaction keys. An alarm of -1 (none chosen)
// leaves StartOnErrorAlarm as it is.
std::string writeJobWatcherForm(Profile& profile, const JobWatcherSettings& settings);

}  // namespace qx
