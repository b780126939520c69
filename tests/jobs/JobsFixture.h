#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "ActivityLog.h"
#include "Clock.h"
#include "FileOperations.h"
#include "JobHooks.h"
#include "RecordingLauncher.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "ServiceBundle.h"
#include "Services.h"
#include "StatisticMover.h"

namespace qx::test {

class RecordingHooks : public JobHooks {
public:
    void checkDrive(std::string_view drive, SysTime) override { add("checkDrive " + std::string(drive)); }
    void checkAdditionalDrives(SysTime) override { add("checkAdditionalDrives"); }
    void conferenceRecordings(SysTime) override { add("conferenceRecordings"); }
    void alarmRecordings(SysTime) override { add("alarmRecordings"); }
    void extraDeletion(SysTime) override { add("extraDeletion"); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    void add(std::string call) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// An installation in a sandbox (see BasicServiceBundle): root/ is the current drive (statistic files in
// root/qxt/log), the clock starts on Monday 2026-11-30 12:00 and tests move it forward to their time.
class JobsTest : public ::testing::Test, public BasicServiceBundle<> {
protected:
    JobsTest() : BasicServiceBundle({.start = {2026, 11, 30, 12, 0}}) { sandbox.dir("root/qxt/log"); }

    std::filesystem::path logDir() const { return sandbox.path("root/qxt/log"); }
    std::string logPath(std::string_view relative) const { return (logDir() / relative).string(); }
    // How the activity log names a path below the log directory ("log49/a.dbf"): as the installation
    // would configure it, "\qxt\log\log49\a.dbf".
    static std::string shownPath(std::string_view relative) {
        std::string shown = "\\qxt\\log\\" + std::string(relative);
        std::replace(shown.begin(), shown.end(), '/', '\\');
        return shown;
    }
    // How the jobs name a directory that they join to the configured log directory ("log49",
    // "confwav/wav49"): with the installation's joint, "\qxt\log.\log49".
    static std::string joinedPath(std::string_view relative) {
        std::string shown = shownPath(relative);
        return shown.insert(shown.rfind('\\'), ".");
    }

    // The activity log file of week `week`, line by line without the line end.
    std::vector<std::string> activity(int week) const {
        char name[32];
        std::snprintf(name, sizeof name, "work/log/qxmover_%02d.log", week);
        std::vector<std::string> lines;
        std::istringstream in(sandbox.read(name));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    PosixFileOperations files;
    RecordingHooks hooks;
    StatisticMover mover{services, files, hooks};
};

}  // namespace qx::test
