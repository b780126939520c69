#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Profile.h"
#include "StringTable.h"

namespace qx {

// The write functions below try every key and return the first failure ("Cannot write KEY in
// [SECTION] of FILE: REASON"), empty when every key was written; the caller shows it.

// One timed task as its editor shows it ([StartMore], entry n).
struct TaskEntry {
    std::string program;  // program path, module name or alarm entry, by type
    int day = 0;          // 0 every day, 1..7 Monday..Sunday, 8 every weekday
    int hour = 0;
    int type = 0;  // 0 program, 1 QXE module, 2 alarm
    bool weekParameter = false;
};

TaskEntry readTaskEntry(const Profile& profile, int number);
// Writes Prog, WeekParameter (program tasks only), Day, Time and Type of entry `number`.
std::string writeTaskEntry(Profile& profile, int number, const TaskEntry& task);

// The nine texts and nine numbers of a module task ([QxeTaskParameter<n>] s1..s9, i1..i9).
struct TaskParameters {
    std::array<std::string, 9> texts;
    std::array<int, 9> numbers{};
};
// The section of the parameters of timed task `number`: "QxeTaskParameter<number>".
std::string parameterSection(int number);
TaskParameters readTaskParameters(const Profile& profile, int number);
std::string writeTaskParameters(Profile& profile, int number, const TaskParameters& parameters);

// The module choice of the task editor: the names of the *.qxe files of `directory`, without the
// ending, sorted.
std::vector<std::string> moduleNames(const std::filesystem::path& directory);

// One extra deletion rule ([DeleteAddtionalLogs], entry n) as the list editor shows and stores it.
struct DeletionRuleEntry {
    std::string path;
    std::string extension = "*.*";  // "*.*": all files
    int weeks = 1;
};

DeletionRuleEntry readDeletionRule(const Profile& profile, int number);
std::string writeDeletionRule(Profile& profile, int number, const DeletionRuleEntry& rule);

// A rule for the program's own working directory would delete its logs and batches: true when
// `path` (through `native`, letter case ignored) names `workingDirectory`.
bool namesWorkingDirectory(const std::filesystem::path& nativePath,
                           const std::filesystem::path& workingDirectory);

// The question asked before a deletion rule is stored (texts 2158 and 2159).
std::string deletionQuestion(const StringTable& strings, const DeletionRuleEntry& rule);

// One further monitored drive ([MonitorAddtionalDrives], entry n).
struct DriveEntry {
    std::string drive;
    int percent = 90;
    std::string alarm;  // the text of the chosen alarm entry
};

DriveEntry readDriveEntry(const Profile& profile, int number);
std::string writeDriveEntry(Profile& profile, int number, const DriveEntry& entry);

// A drive is two characters with ":" second ("d:"); anything else is refused.
bool validDriveText(const std::string& text);

}  // namespace qx
