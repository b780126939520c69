#include "ListEntries.h"

#include <algorithm>
#include <cstdio>

#include "DialogTexts.h"
#include "FileSearch.h"
#include "PathMap.h"
#include "ProfileNames.h"
#include "ProfileWrites.h"
#include "SettingsList.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

std::string key(const char* name, int number) {
    return std::string(name) + std::to_string(number);
}

}  // namespace

std::string parameterSection(int number) {
    char section[40];
    std::snprintf(section, sizeof section, ini::kQxeTaskParameter, number);
    return section;
}

TaskEntry readTaskEntry(const Profile& profile, int n) {
    const char* s = ini::kStartMore;
    TaskEntry task;
    task.program = profile.getString(ini::kMover, s, key("Prog", n), "", 128);
    task.day = profile.getInt(ini::kMover, s, key("Day", n), 0);
    task.hour = profile.getInt(ini::kMover, s, key("Time", n), 0);
    task.type = profile.getInt(ini::kMover, s, key("Type", n), 0);
    task.weekParameter = profile.getInt(ini::kMover, s, key("WeekParameter", n), 0) != 0;
    return task;
}

std::string writeTaskEntry(Profile& profile, int n, const TaskEntry& task) {
    ProfileWrites writes(profile);
    const char* s = ini::kStartMore;
    writes.writeString(ini::kMover, s, key("Prog", n), task.program);
    if (task.type == 0)
        writes.writeString(ini::kMover, s, key("WeekParameter", n), task.weekParameter ? "1" : "0");
    writes.writeInt(ini::kMover, s, key("Day", n), task.day);
    writes.writeInt(ini::kMover, s, key("Time", n), task.hour);
    writes.writeInt(ini::kMover, s, key("Type", n), task.type);
    return writes.failure();
}

TaskParameters readTaskParameters(const Profile& profile, int number) {
    TaskParameters p;
    std::string section = parameterSection(number);
    for (int k = 1; k <= 9; ++k) {
        p.texts[k - 1] = profile.getString(ini::kMover, section, key("s", k), "", 128);
        p.numbers[k - 1] = profile.getInt(ini::kMover, section, key("i", k), 0);
    }
    return p;
}

std::string writeTaskParameters(Profile& profile, int number, const TaskParameters& p) {
    ProfileWrites writes(profile);
    std::string section = parameterSection(number);
    for (int k = 1; k <= 9; ++k) {
        writes.writeString(ini::kMover, section, key("s", k), p.texts[k - 1]);
        writes.writeInt(ini::kMover, section, key("i", k), p.numbers[k - 1]);
    }
    return writes.failure();
}

std::vector<std::string> moduleNames(const fs::path& directory) {
    std::vector<std::string> names;
    for (const FoundFile& file : findFiles(directory, "*.qxe")) {
        if (file.isDirectory)
            continue;
        names.push_back(fs::path(file.name).stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

DeletionRuleEntry readDeletionRule(const Profile& profile, int n) {
    const char* s = ini::kDeleteAdditionalLogs;
    DeletionRuleEntry rule;
    rule.path = profile.getString(ini::kMover, s, key("DelPath", n), "", 256);
    rule.extension = profile.getString(ini::kMover, s, key("DelExt", n), "*.*", 256);
    rule.weeks = profile.getInt(ini::kMover, s, key("DelAfterWeeks", n), 1);
    return rule;
}

std::string writeDeletionRule(Profile& profile, int n, const DeletionRuleEntry& rule) {
    ProfileWrites writes(profile);
    const char* s = ini::kDeleteAdditionalLogs;
    writes.writeString(ini::kMover, s, key("DelPath", n), rule.path);
    writes.writeString(ini::kMover, s, key("DelExt", n), rule.extension);
    writes.writeInt(ini::kMover, s, key("DelAfterWeeks", n), rule.weeks);
    return writes.failure();
}

bool namesWorkingDirectory(const fs::path& nativePath, const fs::path& workingDirectory) {
    auto normal = [](const fs::path& p) {
        std::error_code ec;
        fs::path absolute = fs::weakly_canonical(fs::absolute(p, ec), ec);
        std::string text = absolute.lexically_normal().string();
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        return text;
    };
    return equalsIgnoreCase(normal(nativePath), normal(workingDirectory));
}

std::string deletionQuestion(const StringTable& strings, const DeletionRuleEntry& rule) {
    std::string weeks = std::to_string(rule.weeks);
    if (rule.extension == "*.*")
        return formatArguments(strings.get(kTxtAskDeleteAll), {rule.path, weeks});
    return formatArguments(strings.get(kTxtAskDeleteExtension), {rule.extension, rule.path, weeks});
}

DriveEntry readDriveEntry(const Profile& profile, int n) {
    const char* s = ini::kMonitorAdditionalDrives;
    DriveEntry entry;
    entry.drive = profile.getString(ini::kMover, s, key("Drive", n), "", 256);
    entry.percent = profile.getInt(ini::kMover, s, key("Space", n), 90);
    entry.alarm = profile.getString(ini::kMover, s, key("StartAlarm", n), "", 256);
    return entry;
}

std::string writeDriveEntry(Profile& profile, int n, const DriveEntry& entry) {
    ProfileWrites writes(profile);
    const char* s = ini::kMonitorAdditionalDrives;
    writes.writeString(ini::kMover, s, key("Drive", n), entry.drive);
    writes.writeInt(ini::kMover, s, key("Space", n), entry.percent);
    writes.writeString(ini::kMover, s, key("StartAlarm", n), entry.alarm);
    return writes.failure();
}

bool validDriveText(const std::string& text) {
    return text.size() == 2 && text[1] == ':';
}

}  // namespace qx
