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

#include "FileOperations.h"
#include "JobHooks.h"
#include "RecordingLauncher.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "Services.h"
#include "StatisticMover.h"

namespace qx::test {

// Set before any member computes a local time.
struct BerlinTime {
    BerlinTime() {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
};

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

// An installation in a sandbox: root/ is the current drive (statistic files in root/qxt/log), the
// profiles lie in root/windows, and work/ is the working directory with the activity log in work/log.
class JobsTest : private BerlinTime, public ::testing::Test {
protected:
    JobsTest() {
        sandbox.dir("root/windows");
        sandbox.dir("root/qxt/log");
        sandbox.dir("work/log");
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::current_path(sandbox.path("work"));
    }
    ~JobsTest() override { std::filesystem::current_path(m_oldCwd); }

    void ini(const char* file, const char* section, const char* key, const std::string& value) {
        ASSERT_TRUE(profile.writeString(file, section, key, value));
    }

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

    static SysTime at(int year, int month, int day, int hour, int minute = 0) {
        return fromLocal(year, month, day, hour, minute);
    }

    Sandbox sandbox;
    PathMap paths{sandbox.path("root"), sandbox.path("root/windows")};
    Profile profile{[this](std::string_view f) { return paths.profileFile(f); }};
    VirtualClock clock{at(2026, 11, 30, 12)};  // tests move it forward to their time
    SharedState state;
    RecordingLauncher launcher;
    RecordingPrompts prompts;
    StringTable strings;
    ActivityLog log{clock, state, sandbox.path("work/log")};
    Services services{paths, profile, clock, state, launcher, prompts, strings, log, nullptr};
    PosixFileOperations files;
    RecordingHooks hooks;
    StatisticMover mover{services, files, hooks};

private:
    std::filesystem::path m_oldCwd;
};

}  // namespace qx::test
