// A year of the service on the virtual clock with every job and monitor switched on: the alarm server
// writes its files every day, drives fill up now and then, job files stall, watchdog calls never come
// back. Counts what reaches the sibling programs and the activity log, follows every file the alarm
// server wrote, and compares the process's memory and descriptors after the first week and at the end.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "../jobs/AlarmTableBuilder.h"
#include "ActivityLog.h"
#include "Clock.h"
#include "HeadlessRunner.h"
#include "Launcher.h"
#include "LineWatchdogCounters.h"
#include "PathMap.h"
#include "Profile.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "SharedState.h"
#include "Startup.h"
#include "StringTable.h"
#include "ThreadSet.h"
#include "WeekCalendar.h"

namespace qx {
namespace {

namespace fs = std::filesystem;
using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;

// Under a sanitizer every pass costs many times as much: six weeks there, a year otherwise. Its
// allocator also keeps freed memory back for a while, so the resident size says nothing there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kDays = 42;
constexpr bool kSanitized = true;
#else
constexpr int kDays = 365;
constexpr bool kSanitized = false;
#endif

// A file that the alarm server wrote, and what became of it is judged by its kind.
struct Written {
    enum Kind { Statistic, Conference, AlarmSound, Trace, Job } kind;
    fs::path path;  // below the installation root
    std::string content;
    SysTime time;
};

// The alarm server and the sibling programs as far as the service can tell. Each command line is
// counted (not kept: a year holds hundreds of thousands); "alarmserver", a timed task at noon, writes
// the day's files; a started watchdog alarm is noted in [LastAlarm] of qxalog.ini, as the alarm server
// does.
class AlarmServer : public Launcher {
public:
    AlarmServer(Profile& profile, Clock& clock, fs::path root)
        : m_profile(profile), m_clock(clock), m_root(root) {}

    Result<> run(std::string_view line, std::chrono::seconds) override { return handle(line); }
    Result<> start(std::string_view line, Show) override { return handle(line); }

    // The command lines so far that contain `text`, or for which `wanted` holds.
    int count(std::string_view text) const {
        return count([text](std::string_view line) { return line.find(text) != std::string_view::npos; });
    }
    int count(const std::function<bool(std::string_view)>& wanted) const {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto& [line, times] : m_lines)
            n += wanted(line) ? times : 0;
        return n;
    }

    std::vector<Written> written() const {
        std::lock_guard lock(m_mutex);
        return m_written;
    }

private:
    Result<> handle(std::string_view line) {
        std::lock_guard lock(m_mutex);
        ++m_lines[std::string(line)];
        if (line.find("-s8WatchDogAlarm") != std::string_view::npos)
            if (auto written = m_profile.writeString("qxalog.ini", "LastAlarm", "12", hexTime(m_clock.now()));
                !written)
                return Failure(written.reason());
        if (line == "alarmserver")
            dayOfWork(m_clock.now());
        return {};
    }

    void write(Written::Kind kind, const std::string& relative, SysTime now) {
        const std::string content = relative + " " + formatLocalTime(now);
        const fs::path file = m_root / relative;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        test::setMtime(file, now);
        m_written.push_back({kind, relative, content, now});
    }

    void dayOfWork(SysTime now) {
        const LocalTime t = toLocal(now);
        char stamp[16], day[8];
        std::snprintf(stamp, sizeof stamp, "%04d%02d%02d", t.year, t.month, t.day);
        std::snprintf(day, sizeof day, "%02d%02d", t.month, t.day);
        const std::string s = stamp;
        write(Written::Statistic, "qxt/log/s" + s + ".dbf", now);
        write(Written::Statistic, "qxt/log/s" + s + ".evt", now);
        write(Written::Statistic, "qxt/log/" + std::string(day) + "line.log", now);  // 12 characters
        write(Written::Conference, "qxt/log/confwav/c" + s + ".wav", now);
        write(Written::AlarmSound, "dbv1/A" + s.substr(1) + ".WAV", now);
        write(Written::Trace, "qxt/trace/t" + s + ".log", now);
        write(Written::Job, "qxt/jobs/j" + s + ".job", now);
        // The index of alarm runs that the report prints, and the run's own log.
        std::ofstream(m_root / "qxt/log/qxaview.inf", std::ios::app)
            << std::string(day, 2) << "." << std::string(day + 2) << ",12:00:00,1,R" << day << "\r\n";
        // Written now on the rehearsal's clock, as the alarm server writes it: the report tells this
        // week's index from last year's by its time.
        test::setMtime(m_root / "qxt/log/qxaview.inf", now);
        std::ofstream(fs::current_path() / "log" / ("R" + std::string(day) + ".log"))
            << "[Alarm]\r\nAlarmKey=11\r\nAlarmName=Fire alarm hall 1\r\nAlarmGroup=1\r\n";
    }

    Profile& m_profile;
    Clock& m_clock;
    fs::path m_root;
    mutable std::mutex m_mutex;
    std::map<std::string, int> m_lines;
    std::vector<Written> m_written;
};

// A memory file system where the system has one (/dev/shm), else the temporary directory.
fs::path memoryFileSystem() {
    std::error_code ec;
    const fs::path shm = "/dev/shm";  // writable by everyone where it is one
    if (fs::is_directory(shm, ec) &&
        (fs::status(shm, ec).permissions() & fs::perms::others_write) != fs::perms::none)
        return shm;
    return fs::temp_directory_path();
}

// The resident memory and open descriptors of this process.
struct Footprint {
    long residentKb = 0;
    int descriptors = 0;
    std::size_t threads = 0;
};

Footprint footprint(const ThreadSet& threads) {
    const test::ProcessFootprint process = test::processFootprint();
    Footprint f;
    f.residentKb = process.residentKb;
    f.descriptors = process.descriptors;
    f.threads = threads.size();
    return f;
}

// Every line of every weekly activity log.
std::vector<std::string> activityLines(const fs::path& logDirectory) {
    std::vector<std::string> lines;
    for (const auto& entry : fs::directory_iterator(logDirectory)) {
        if (entry.path().filename().string().rfind("qxmover_", 0) != 0)
            continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
    }
    return lines;
}

int linesWith(const std::vector<std::string>& lines, std::string_view text) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    }));
}

// The local hours (at minute 0) from `from` to `to` at which `wanted` holds.
template <typename Wanted>
int hoursWhere(SysTime from, SysTime to, Wanted wanted) {
    int n = 0;
    for (SysTime t = nextFullHour(from); t < to; t += hours(1))
        n += wanted(toLocal(t)) ? 1 : 0;
    return n;
}

// What is wrong with where `w` is at `end`: found at `at` (below the root), or gone. Empty when it is
// at its place, at its target, or deleted by a job that logged it, and not gone before its time.
std::string misplaced(const Written& w, const std::optional<fs::path>& at,
                      const std::vector<std::string>& activity, SysTime end) {
    const bool moved = at && *at != w.path;
    const std::string directory = at ? at->parent_path().string() : "";
    const std::string name = w.path.filename().string();
    switch (w.kind) {
        case Written::Statistic: {
            // Filed by the next Monday's move into the directory of the week before that Monday, and
            // deleted with that directory's files when its turn comes.
            char week[8];
            std::snprintf(week, sizeof week, "log%02d",
                          previousWeek(weekNumberOf(mondayOf(toLocal(w.time)) + std::chrono::days(7))));
            const std::string target = std::string("qxt/log/") + week;
            if (moved && directory != target)
                return "moved to " + directory + " instead of " + target;
            const bool emptied = std::any_of(activity.begin(), activity.end(), [&](const std::string& line) {
                // The log names the directory as configured: \qxt\log.\logNN.
                return line.find("Delete all files in directory ") != std::string::npos &&
                       line.ends_with(std::string("\\") + week);
            });
            return at || emptied ? "" : "gone, but " + target + " was never emptied";
        }
        case Written::Conference:
            if (moved && directory != "qxt/confarchive")
                return "moved to " + directory;
            return at || linesWith(activity, "Deleted file:" + name) == 1 ? "" : "gone without its line";
        case Written::AlarmSound:
            return at || end - w.time >= hours(24 * 7 * 4) ? "" : "deleted before it was four weeks old";
        case Written::Trace:
            if (!at && end - w.time < hours(24 * 7 * 2))
                return "deleted before it was two weeks old";
            return at || linesWith(activity,
                                   "Delete files *.log which are older then 2 weeks from directory") > 0
                       ? ""
                       : "gone without its line";
        case Written::Job:
            // Stale twenty minutes after it was written; the watcher looks every five.
            return directory == "qxt/stalled" || end - w.time < hours(1) ? "" : "not moved aside";
    }
    return "";
}

struct BerlinTime {
    BerlinTime() { test::useCentralEuropeanTime(); }
};

class YearRehearsalTest : private BerlinTime, public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.dir("work/log");
        m_oldCwd = fs::current_path();
        fs::current_path(sandbox.path("work"));
    }
    void TearDown() override { fs::current_path(m_oldCwd); }
    void ini(const char* file, const char* section, const char* key, const std::string& value) {
        ASSERT_TRUE(profile.writeString(file, section, key, value));
    }

    void switchEverythingOn() {
        // Weekly housekeeping: statistic files kept two weeks, conference recordings moved after two and
        // deleted after eight, alarm recordings after four, trace logs after two; a report every night.
        ini("qxaview.ini", "Config", "AlarmSelectionRange", "week");
        ini("qxaview.ini", "Config", "AlarmDBPath", "\\qxt\\log");
        for (const auto& [key, value] :
             std::vector<std::pair<const char*, const char*>>{{"WaitBeforeDel", "2"},
                                                              {"DelLogFiles", "1"},
                                                              {"Start2ndBatch", "1"},
                                                              {"WriteLogFile", "1"},
                                                              {"MoveConferWav", "1"},
                                                              {"MoveConferWavDaily", "1"},
                                                              {"MoveToConferWav", "1"},
                                                              {"DelConferWav", "1"},
                                                              {"MoveConferWavAfterWeeks", "2"},
                                                              {"MoveConferWavTo", "\\qxt\\confarchive"},
                                                              {"DelConferWavAfterWeeks", "8"},
                                                              {"DelAlarmWav", "1"},
                                                              {"DelAlarmWavAfterWeeks", "4"},
                                                              {"DeleteMoreFiles", "1"},
                                                              {"PrintReport", "1"}})
            ini("qxmover.ini", "Config", key, value);
        ini("qxmover.ini", "AlarmReport", "ReportType", "1");
        ini("qxmover.ini", "DeleteAddtionalLogs", "DelPath1", "\\qxt\\trace");
        ini("qxmover.ini", "DeleteAddtionalLogs", "DelExt1", "*.log;*.err");
        ini("qxmover.ini", "DeleteAddtionalLogs", "DelAfterWeeks1", "2");
        sandbox.dir("root/qxt/confarchive");
        sandbox.file("work/qxmove2.bat", "rem\n");
        // Timed tasks: the alarm server's day at noon, a script module at midnight, an alarm on working
        // days at nine, a batch with the week parameters on Sunday evenings.
        const std::vector<std::array<const char*, 5>> tasks{{"alarmserver", "0", "12", "0", "0"},
                                                            {"qxarun_daily", "0", "0", "1", "0"},
                                                            {"77", "8", "9", "2", "0"},
                                                            {"weekly.bat", "7", "23", "0", "1"}};
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            const std::string n = std::to_string(i + 1);
            ini("qxmover.ini", "StartMore", ("Prog" + n).c_str(), tasks[i][0]);
            ini("qxmover.ini", "StartMore", ("Day" + n).c_str(), tasks[i][1]);
            ini("qxmover.ini", "StartMore", ("Time" + n).c_str(), tasks[i][2]);
            ini("qxmover.ini", "StartMore", ("Type" + n).c_str(), tasks[i][3]);
            ini("qxmover.ini", "StartMore", ("WeekParameter" + n).c_str(), tasks[i][4]);
        }
        ini("qxmover.ini", "QxeTaskParameter2", "s2", "nightly");
        // Disk monitor at 07:00 with an alarm and an SMS (see diskSpace()), and the used share of D:.
        for (const auto& [key, value] :
             std::vector<std::pair<const char*, const char*>>{{"Active", "1"},
                                                              {"CheckTime", "7"},
                                                              {"MinSpace", "500"},
                                                              {"CheckDrives", "c:d:"},
                                                              {"StartAlarmIfLow", "1"},
                                                              {"AlarmKey", "12"},
                                                              {"SendSMSIfLow", "1"},
                                                              {"SMSNumber", "0171"}})
            ini("qxmover.ini", "HDCheck", key, value);
        ini("qxmover.ini", "MonitorAddtionalDrives", "Drive1", "D:");
        ini("qxmover.ini", "MonitorAddtionalDrives", "Space1", "90");
        ini("qxmover.ini", "MonitorAddtionalDrives", "StartAlarm1", "40");
        // Job watcher: the alarm server's job files stall; they are moved aside and alarm 15 started. A
        // look every quarter of an hour, as a server with a slow job queue would have it.
        for (const auto& [key, value] :
             std::vector<std::pair<const char*, const char*>>{{"CheckJobIntervalMin", "15"},
                                                              {"CheckJob1", "1"},
                                                              {"CheckDir1", "\\qxt\\jobs"},
                                                              {"MoveFiles1", "1"},
                                                              {"MoveDir1", "\\qxt\\stalled"},
                                                              {"StartOnErrorType", "1"},
                                                              {"StartOnErrorAlarm", "15"}})
            ini("qxmover.ini", "JobDirWatcher", key, value);
        sandbox.dir("root/qxt/jobs");
        // An old alarm recording from before the start: the first Monday's deletion has work too.
        sandbox.file("root/dbv1/A0000011.WAV", "", start - hours(24 * 60));
        sandbox.dir("root/qxt/stalled");
        // Line watchdog: a call every pass that never arrives, with a warning file at each failure; the
        // box every hour, with its warning.
        for (const auto& [key, value] :
             std::vector<std::pair<const char*, const char*>>{{"WDogActive", "1"},
                                                              {"MinuteInterval", "1"},
                                                              {"NumberToDial", "0301234"},
                                                              {"WithDDIForDial", "12"},
                                                              {"StartAlarm", "50"},
                                                              {"WriteWarningFile", "1"}})
            ini("qxalarm.ini", "LineWatchDog", key, value);
        ini("qxalarm.ini", "WatchDog", "Active", "1");
        ini("qxalarm.ini", "WatchDog", "Intervall", "60");
        ini("qxalarm.ini", "WatchDog", "NumberToDial", "0800");
        ini("qxalarm.ini", "WatchDog", "WriteWarningOnNoAnsw", "1");
        ini("qxalarm.ini", "WatchDog", "WarningMessage", "No answer from the watchdog box");
        ini("qxa_wdir.ini", "Pathnames", "WatchDogFiles", "\\qxt\\war\\lines.txt");
        ini("qxa_wdir.ini", "Pathnames", "WatchPath", "\\qxt\\war\\box");
        sandbox.dir("root/qxt/war/box");
        // Event watchdog: alarm 12 wants an event every 30 minutes and none comes.
        test::AlarmTableBuilder(sandbox.path("root/db1/vm001.dbf")).alarm(12, 91, 0, "QXAWDOG 30,60");
        ini("qxawdog.ini", "Config", "ActiveWdogAlarms", "12;");
        // Web trigger.
        sandbox.file("root/qx_web/bin/qxphp.bat", "rem\n");
    }

    // D: is short of space on the first three days of every month; C: has room.
    std::optional<DiskSpace> diskSpace(const fs::path& root) const {
        const bool low = root == sandbox.path("drive-d") && toLocal(clock.now()).day <= 3;
        return DiskSpace{(low ? 100ull : 5000ull) << 20, 10000ull << 20};
    }

    const SysTime start = fromLocal(2026, 12, 6, 23, 50);  // a Sunday night
    const SysTime until = start + hours(24 * kDays) - seconds(30);
    // Profile writes are synced to the disk, thousands of them in a year: on a memory file system
    // where there is one.
    test::Sandbox sandbox{memoryFileSystem()};
    PathMap paths{sandbox.path("root"), sandbox.dir("root/windows"), {{'D', sandbox.dir("drive-d")}}};
    Profile profile{[this](std::string_view f) { return paths.profileFile(f); }};
    VirtualClock clock{start};
    SharedState state;
    AlarmServer alarmServer{profile, clock, sandbox.path("root")};
    test::RecordingPrompts prompts;
    StringTable strings;
    ActivityLog log{clock, state, sandbox.path("work/log")};
    std::mutex endedMutex;
    std::vector<std::string> ended;
    ThreadSet threads{clock, [this](const std::string& line) {
                          std::lock_guard lock(endedMutex);
                          ended.push_back(line);
                      }};
    Services services{paths, profile, clock, state, alarmServer, prompts, strings, log, &threads};

private:
    fs::path m_oldCwd;
};

TEST_F(YearRehearsalTest, EveryJobAndMonitorForAYear) {
    switchEverythingOn();

    // Clear of every thread's wake-up: those come at whole minutes, and the line watchdog's at 2 s
    // after the start and every 599 s.
    const SysTime weekOne = start + hours(24 * 7) + seconds(17);
    const SysTime yearEnd = until - seconds(13);
    for (SysTime checkpoint : {weekOne, yearEnd})
        ASSERT_NE(std::chrono::duration_cast<seconds>(checkpoint - start - seconds(2)).count() % 599, 0);
    Footprint afterWeek, atEnd;
    {
        ClockMember self(clock);
        ClockMember runnerMember(clock);
        Startup(services, [this](const fs::path& root) { return diskSpace(root); }).run();
        std::thread runner([&, member = std::move(runnerMember)]() mutable {
            HeadlessRunner(services, nullptr).run(until, std::move(member));
        });
        clock.sleepUntil(weekOne, {});
        afterWeek = footprint(threads);
        clock.sleepUntil(yearEnd, {});
        atEnd = footprint(threads);
        {
            // Leaving the clock lets the runner reach the end and stop the threads.
            ClockMember gone = std::move(self);
        }
        runner.join();
    }

    // No thread ended on the way, and nothing grew.
    EXPECT_THAT(ended, ::testing::IsEmpty());
    EXPECT_EQ(atEnd.threads, afterWeek.threads);
    // The alive log, the scheduler, the line and event watchdogs, the web trigger, the job watcher and
    // the report.
    EXPECT_EQ(atEnd.threads, 7u);
    EXPECT_EQ(atEnd.descriptors, afterWeek.descriptors);
    if (!kSanitized) {
        EXPECT_LE(atEnd.residentKb, afterWeek.residentKb + 1024)
            << "after a week " << afterWeek.residentKb << " kB";
    }

    const std::vector<std::string> activity = activityLines(sandbox.path("work/log"));
    auto at = [&](auto wanted) { return hoursWhere(start, until, wanted); };
    const int days = at([](const LocalTime& t) { return t.hour == 0; });
    const int mondays = at([](const LocalTime& t) { return t.hour == 1 && t.weekday == 1; });
    ASSERT_EQ(days, kDays);

    // Timed tasks.
    EXPECT_EQ(alarmServer.count("alarmserver"), at([](const LocalTime& t) { return t.hour == 12; }));
    EXPECT_EQ(alarmServer.count("qxe qxarun_daily 1  -s2nightly"), days);
    EXPECT_EQ(alarmServer.count("qxe qxarun 1 -i477 -s8Mover"),
              at([](const LocalTime& t) { return t.hour == 9 && t.weekday >= 1 && t.weekday <= 5; }));
    EXPECT_EQ(alarmServer.count("weekly.bat "),
              at([](const LocalTime& t) { return t.hour == 23 && t.weekday == 0; }));
    // Weekly housekeeping on each Monday, and a report every night but the first, which comes before the
    // alarm server's first index: where the Monday's move of the index comes first, the report reads the
    // index where it went.
    EXPECT_EQ(linesWith(activity, "Moved inf files to directory"), mondays);
    EXPECT_EQ(linesWith(activity, "Move all logfiles to directory"), mondays);
    EXPECT_EQ(linesWith(activity, "Delete all files in directory"), mondays);
    EXPECT_EQ(linesWith(activity, "Delete alarmwavfiles which are older then 4 weeks"), mondays);
    EXPECT_EQ(alarmServer.count("qxmove2.bat "), mondays);
    EXPECT_EQ(alarmServer.count("qxdel2.bat "), mondays);
    EXPECT_EQ(linesWith(activity, "Printing of report"), days - 1);
    EXPECT_THAT(prompts.warnings(), ::testing::ElementsAre(::testing::HasSubstr("No alarms to print")));
    // Disk monitor: D: low on the first three days of each month, C: never.
    const int lowDays = at([](const LocalTime& t) { return t.hour == 7 && t.day <= 3; });
    EXPECT_EQ(alarmServer.count("qxarun 1 -i412 -s5qxahdkoD.vox"), lowDays);
    EXPECT_EQ(alarmServer.count("qxasms 1 -s20171 -s3qxahdko"), lowDays);
    EXPECT_EQ(alarmServer.count("qxahdkoC"), 0);
    EXPECT_EQ(alarmServer.count("qxarun 40 0 0 DriveMonitor"), lowDays);
    // Job watcher: each day's job file is found stale once and moved aside.
    EXPECT_EQ(alarmServer.count("qxe qxarun 1 -i415"), alarmServer.count("alarmserver"));
    // Line watchdog every 599 s from the scheduler's first pass: a call at each pass, limit 2 (a failure
    // on pass 3 and every 5th after), the box every 6th pass.
    const long passes = std::chrono::duration_cast<seconds>(until - start - seconds(2)).count() / 599 + 1;
    EXPECT_EQ(alarmServer.count("_dial_s1"), passes);
    EXPECT_EQ(alarmServer.count("-s8LineWatchDog"), (passes - 3) / 5 + 1);
    EXPECT_EQ(alarmServer.count("qxawdcall"), (passes - 1) / 6 + 1);
    EXPECT_THAT(sandbox.read("root/qxt/war/qxa.war"), ::testing::HasSubstr("line watchdog failed"));
    EXPECT_EQ(sandbox.read("root/qxt/war/box/qxa.war"), "No answer from the watchdog box");
    // Event watchdog: first at minute 30, then whenever the repeat pause of 60 minutes has passed.
    EXPECT_EQ(alarmServer.count("-s8WatchDogAlarm"), (until - start - minutes(30)) / minutes(61) + 1);
    // Web trigger at minute 7 of every hour, and once more for the hour skipped in spring.
    const bool spring = until > fromLocal(2027, 3, 28, 3, 7);
    EXPECT_EQ(alarmServer.count("webtrigger"), at([](const LocalTime&) { return true; }) + (spring ? 1 : 0));
    EXPECT_EQ(alarmServer.count(" h0"), days);
    EXPECT_EQ(alarmServer.count("webtrigger y2027 m1 "), until > fromLocal(2027, 1, 1, 0, 7) ? 1 : 0);
    EXPECT_EQ(alarmServer.count([](std::string_view line) {
        const std::size_t periods = line.find(" webtrigger ");
        return periods != std::string_view::npos && line.find(" w", periods + 1) != std::string_view::npos;
    }),
              at([](const LocalTime& t) { return t.hour == 0 && t.weekday == 1; }));
    // Alive log: a line at the start and every ten minutes.
    std::ifstream alive(sandbox.path("work/log/qxlive.log"));
    long aliveLines = 0;
    for (std::string line; std::getline(alive, line);)
        ++aliveLines;
    EXPECT_EQ(aliveLines, (until - start) / minutes(10) + 1);

    // Every file the alarm server wrote is whole at its place, moved whole to its target, or deleted
    // by a job that logged it; none was deleted before its time.
    std::multimap<std::string, fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(sandbox.path("root")))
        if (entry.is_regular_file())
            found.emplace(entry.path().filename().string(), entry.path());
    const std::vector<Written> written = alarmServer.written();
    ASSERT_EQ(static_cast<int>(written.size()), 7 * alarmServer.count("alarmserver"));
    for (const Written& w : written) {
        const std::string name = w.path.filename().string();
        ASSERT_LE(found.count(name), 1u) << w.path;
        const auto place = found.find(name);
        std::optional<fs::path> where;
        if (place != found.end()) {
            where = place->second.lexically_relative(sandbox.path("root"));
            EXPECT_EQ(test::readFile(place->second), w.content) << w.path;
        }
        EXPECT_EQ(misplaced(w, where, activity, until), "") << w.path;
    }
}

}  // namespace
}  // namespace qx
