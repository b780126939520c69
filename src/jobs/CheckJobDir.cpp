#include "CheckJobDir.h"

#include <algorithm>
#include <cstdlib>

#include "FileSearch.h"
#include "MonitorCommands.h"
#include "ProfileNames.h"

namespace qx {

namespace {

std::string numbered(const char* name, int n) {
    return name + std::to_string(n);
}

void react(Services& s, const std::string& directoryText) {
    const Profile& p = s.profile;
    if (p.getInt(ini::kMover, ini::kJobDirWatcher, "StartOnErrorType", 0) != 0) {
        std::string alarm = p.getString(ini::kMover, ini::kJobDirWatcher, "StartOnErrorAlarm", "", 40);
        s.launcher.run(sibling::jobAlarm(std::atoi(alarm.c_str())));
        s.log.note("Alarm " + alarm + " started because old JOB files found in " + directoryText);
        return;
    }
    std::string program = p.getString(ini::kMover, ini::kJobDirWatcher, "StartOnErrorProg", "", 128);
    s.launcher.run(program);
    s.log.note("Program " + program + " started because old JOB files found in " + directoryText);
}

}  // namespace

JobSlotSetting readJobSlot(const Profile& p, int n) {
    JobSlotSetting setting;
    setting.watched = p.getInt(ini::kMover, ini::kJobDirWatcher, numbered("CheckJob", n), 0) == 1;
    if (!setting.watched)
        return setting;
    setting.slot.directory = p.getString(ini::kMover, ini::kJobDirWatcher, numbered("CheckDir", n), "", 256);
    setting.slot.moveFiles = p.getInt(ini::kMover, ini::kJobDirWatcher, numbered("MoveFiles", n), 0);
    setting.slot.moveDirectory =
        p.getString(ini::kMover, ini::kJobDirWatcher, numbered("MoveDir", n), "", 128);
    return setting;
}

long minutesBetween(SysTime written, SysTime now) {
    using std::chrono::floor;
    using std::chrono::minutes;
    return static_cast<long>((floor<minutes>(now) - floor<minutes>(written)).count());
}

JobDirResult CheckJobDir(Services& s, FileOperations& files, const JobSlot& slot, SysTime now) {
    const std::string directoryText = asciiLower(slot.directory);
    const bool isPattern = directoryText.find("*.") != std::string::npos;
    const std::filesystem::path pattern =
        s.paths.native(isPattern ? directoryText : directoryText + ".\\*.job");
    const std::filesystem::path directory = pattern.parent_path();

    std::vector<FoundFile> entries = findFiles(directory, pattern.filename().string());
    std::sort(entries.begin(), entries.end(),
              [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });

    std::unique_ptr<FileTransfer> transfer;
    if (slot.moveFiles != 0) {
        std::error_code ec;
        std::filesystem::path target = s.paths.native(slot.moveDirectory);
        if (!slot.moveDirectory.empty() && std::filesystem::is_directory(target, ec))
            transfer = files.transfer(directory, target);
    }
    bool found = false;
    for (const FoundFile& entry : entries) {
        // The whole time stamp counts: a file left since yesterday morning is stale, not ten minutes old.
        if (minutesBetween(entry.lastWrite, now) <= kStaleJobMinutes)
            continue;
        found = true;
        if (slot.moveFiles == 0)
            break;
        if (transfer)
            transfer->move(entry.name);
    }
    if (!found)
        return JobDirResult::Clean;
    react(s, directoryText);
    return JobDirResult::StaleFound;
}

}  // namespace qx
