#include "CheckJobDir.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "ActivityLog.h"
#include "Clock.h"
#include "FileSearch.h"
#include "Launcher.h"
#include "MonitorCommands.h"
#include "PathMap.h"
#include "ProfileNames.h"
#include "SettingKeys.h"

namespace qx {

namespace {

// The logged line of a reaction that could not be started, as the failure.
Failure notStarted(Services& s, const std::string& line) {
    s.log.note(line);
    return Failure(line);
}

// Starts the one reaction; true when it was started, a failure (logged) when not.
Result<bool> react(Services& s, const std::string& directoryText) {
    const SettingReader settings = settingsOf(s);
    if (settings.flag(keys::kStartOnErrorType)) {
        const int alarm = settings.integer(keys::kStartOnErrorAlarm);
        if (alarm < 0)
            return notStarted(s, "Old JOB files found in " + directoryText +
                                     ", but StartOnErrorAlarm names no alarm: nothing started");
        const std::string number = std::to_string(alarm);
        if (!s.launcher.run(sibling::jobAlarm(alarm)))
            return notStarted(s, "Old JOB files found in " + directoryText + ", but alarm " + number +
                                     " could not be started");
        s.log.note("Alarm " + number + " started because old JOB files found in " + directoryText);
        return true;
    }
    const std::string program = settings.text(keys::kStartOnErrorProg);
    if (!s.launcher.run(program))
        return notStarted(s, "Old JOB files found in " + directoryText + ", but program " + program +
                                 " could not be started");
    s.log.note("Program " + program + " started because old JOB files found in " + directoryText);
    return true;
}

// The names in `directory`, to keep a move from replacing a file there.
std::set<std::string> namesIn(FileOperations& files, const std::filesystem::path& directory) {
    std::set<std::string> names;
    for (const DirectoryEntry& entry : files.list(directory))
        names.insert(entry.name);
    return names;
}

}  // namespace

long minutesBetween(SysTime written, SysTime now) {
    using std::chrono::floor;
    using std::chrono::minutes;
    return static_cast<long>((floor<minutes>(now) - floor<minutes>(written)).count());
}

Result<bool> CheckJobDir(Services& s, FileOperations& files, const JobSlot& slot, SysTime now) {
    const std::string directoryText = asciiLower(slot.directory);
    const bool isPattern = directoryText.find("*.") != std::string::npos;
    const std::filesystem::path pattern =
        s.paths.native(isPattern ? directoryText : directoryText + ".\\*.job");
    const std::filesystem::path directory = pattern.parent_path();

    std::vector<FoundFile> entries = findFiles(directory, pattern.filename().string());
    std::sort(entries.begin(), entries.end(),
              [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });

    std::unique_ptr<FileTransfer> transfer;
    std::set<std::string> taken;  // names in the move directory, which a move never replaces
    if (slot.moveFiles) {
        std::error_code ec;
        std::filesystem::path target = s.paths.native(slot.moveDirectory);
        if (!slot.moveDirectory.empty() && std::filesystem::is_directory(target, ec)) {
            transfer = files.transfer(directory, target);
            taken = namesIn(files, target);
        }
    }
    bool found = false;
    for (const FoundFile& entry : entries) {
        // The whole time stamp counts: a file left since yesterday morning is stale, not ten minutes old.
        const long age = minutesBetween(entry.lastWrite, now);
        if (age <= kStaleJobMinutes) {
            // A job file is written when its job comes in. One dated more than a day ahead got its time
            // from a wrong clock; waiting for that time could mean waiting for ever.
            if (age >= -kFutureJobMinutes)
                continue;
            s.log.note("JOB file " + entry.name + " in " + directoryText + " is dated " +
                       formatLocalTime(entry.lastWrite) + ", more than a day ahead: taken as stale");
        }
        found = true;
        if (!slot.moveFiles)
            break;
        if (!transfer)
            continue;
        // An earlier stall may have left a file of this name there: it is kept, and so is this one.
        if (taken.count(entry.name)) {
            s.log.note("JOB file " + entry.name + " not moved to " + slot.moveDirectory +
                       ": a file of that name is there already");
            continue;
        }
        if (const std::error_code error = transfer->move(entry.name))
            s.log.note("JOB file " + entry.name + " not moved to " + slot.moveDirectory + ": " +
                       error.message());
        else
            taken.insert(entry.name);
    }
    if (transfer)
        for (const TransferProblem& problem : transfer->complete())
            s.log.note("JOB file " + problem.name + " not moved to " + slot.moveDirectory + ": " +
                       problem.error.message());
    if (!found)
        return false;
    return react(s, directoryText);
}

}  // namespace qx
