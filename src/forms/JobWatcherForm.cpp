#include "JobWatcherForm.h"

#include "ProfileNames.h"
#include "ProfileWrites.h"

namespace qx {

namespace {

std::string key(const char* name, std::size_t slot) {
    return std::string(name) + std::to_string(slot + 1);
}

}  // namespace

JobWatcherSettings readJobWatcherForm(const Profile& p) {
    const char* f = ini::kMover;
    const char* s = ini::kJobDirWatcher;
    JobWatcherSettings w;
    for (std::size_t i = 0; i < w.directories.size(); ++i) {
        JobDirectorySlot& slot = w.directories[i];
        slot.check = p.getInt(f, s, key("CheckJob", i), 0) != 0;
        slot.directory = p.getString(f, s, key("CheckDir", i), "", 256);
        slot.moveFiles = p.getInt(f, s, key("MoveFiles", i), 0) != 0;
        slot.moveDirectory = p.getString(f, s, key("MoveDir", i), "", 256);
    }
    w.startOnErrorType = p.getInt(f, s, "StartOnErrorType", 0) == 1 ? 1 : 0;
    w.startOnErrorProgram = p.getString(f, s, "StartOnErrorProg", "", 256);
    w.startOnErrorAlarm = p.getInt(f, s, "StartOnErrorAlarm", -1);
    return w;
}

std::string writeJobWatcherForm(Profile& p, const JobWatcherSettings& w) {
    ProfileWrites writes(p);
    const char* f = ini::kMover;
    const char* s = ini::kJobDirWatcher;
    for (std::size_t i = 0; i < w.directories.size(); ++i) {
        const JobDirectorySlot& slot = w.directories[i];
        writes.writeString(f, s, key("CheckJob", i), slot.check ? "1" : "0");
        writes.writeString(f, s, key("CheckDir", i), slot.directory);
        writes.writeString(f, s, key("MoveFiles", i), slot.moveFiles ? "1" : "0");
        writes.writeString(f, s, key("MoveDir", i), slot.moveDirectory);
    }
    writes.writeString(f, s, "StartOnErrorType", w.startOnErrorType == 1 ? "1" : "0");
    writes.writeString(f, s, "StartOnErrorProg", w.startOnErrorProgram);
    if (w.startOnErrorAlarm >= 0)
        writes.writeInt(f, s, "StartOnErrorAlarm", w.startOnErrorAlarm);
    return writes.failure();
}

}  // namespace qx
