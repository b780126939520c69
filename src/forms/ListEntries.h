#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Profile.h"
#include "SettingRecords.h"
#include "StringTable.h"

namespace qx {

// The write functions below try every key and return the first failure ("Cannot write KEY in
// [SECTION] of FILE: REASON"), empty when every key was written; the caller shows it.

// The entries themselves (TimedTask with its TaskParameters, DeletionRule, MonitoredDrive) and their readers
// and writers are the records of SettingRecords.h, shared with the jobs.

// The section of the parameters of timed task `number`: "QxeTaskParameter<number>".
std::string parameterSection(int number);

// The module choice of the task editor: the names of the *.qxe files of `directory`, without the
// ending, sorted.
std::vector<std::string> moduleNames(const std::filesystem::path& directory);

// A rule for the program's own working directory would delete its logs and batches: true when
// `path` (through `native`, letter case ignored) names `workingDirectory`.
bool namesWorkingDirectory(const std::filesystem::path& nativePath,
                           const std::filesystem::path& workingDirectory);

// The question asked before a deletion rule is stored (texts 2158 and 2159).
std::string deletionQuestion(const StringTable& strings, const DeletionRule& rule);

// A drive is two characters with ":" second ("d:"); anything else is refused.
bool validDriveText(const std::string& text);

}  // namespace qx
