#include "LineWatchdogThread.h"

#include <exception>

#include "ActivityLog.h"
#include "CAlarmTable.h"
#include "Clock.h"
#include "JobRecord.h"
#include "Launcher.h"
#include "LineTestCall.h"
#include "LoggedProfileWrite.h"
#include "MonitorCommands.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "SettingRecords.h"
#include "StringTable.h"
#include "WarningFile.h"

namespace qx {

namespace {

constexpr int kFirstAlarm = 10;
constexpr const char* kAlarmFile = ini::kAlarm;

}  // namespace

LineWatchdogThread::LineWatchdogThread(Services& services, FileOperations& files)
    : m_services(services),
      m_files(files),
      m_servers(services, services.paths.native(alarmTablePath(services.profile))) {}

void LineWatchdogThread::begin() {
    Profile& p = m_services.profile;
    const SettingReader settings = settingsOf(m_services);
    m_hourCounter = settings.integer(keys::kDeltaHours);
    writeProfileLogged(p, m_services.log, kAlarmFile, ini::kLineWatchDog, "CheckCounter", "0");
    // The activity log's rule: the watchdog's start and stop are written whatever WriteLogFile says.
    m_services.log.write("WatchDog thread started");
    m_boxCounter = settings.integer(keys::kBoxInterval) / 10;
}

bool LineWatchdogThread::callDue(int minute, int deltaHours, int minuteInterval) {
    switch (minuteInterval) {
        case 0:
            if (minute >= 10)
                return false;
            if (m_hourCounter >= deltaHours) {
                m_hourCounter = 1;
                return true;
            }
            ++m_hourCounter;
            return false;
        case 1:
            return true;
        case 2:
            return minute < 10 || (minute >= 20 && minute < 30) || (minute >= 40 && minute < 50);
        case 3:
            return minute < 10 || (minute >= 30 && minute < 40);
        default:
            return minute < 10;
    }
}

bool LineWatchdogThread::pass(std::stop_token stop) {
    Clock& clock = m_services.clock;
    const int lineChecks = settingsOf(m_services).integer(keys::kLineChecksActive);
    const int boxCalls = settingsOf(m_services).integer(keys::kBoxCallsActive);
    if (lineChecks == 0 && boxCalls == 0)
        return false;
    const int minute = toLocal(clock.now()).minute;
    m_slept = std::chrono::milliseconds(0);

    if (lineChecks != 0) {
        const SettingReader settings = settingsOf(m_services);
        const int deltaHours = settings.integer(keys::kDeltaHours);
        const int minuteInterval = settings.integer(keys::kMinuteInterval);
        const int startAlarmImmediately = settings.integer(keys::kStartAlarmImmediately);
        if (settings.integer(keys::kDeactivateDial) != 1 && callDue(minute, deltaHours, minuteInterval)) {
            // Each call is logged as placed or not; the counters below judge the line.
            (void)placeLineTestCall(m_services, [&] {
                if (!clock.sleepFor(kPauseAfterCall, stop))
                    return false;
                m_slept += kPauseAfterCall;
                return true;
            });
        }
        if (stop.stop_requested())
            return true;
        std::string failure;
        if (settings.integer(keys::kMultiSrvCallBack) == 1) {
            if (const int failed = m_servers.check(startAlarmImmediately, clock.now()); failed > 0)
                failure = "the test call of " + std::to_string(failed) + " server(s) was not received";
        } else {
            failure = singleCounterCheck(
                singleCounterLimit(deltaHours, minuteInterval, startAlarmImmediately), clock.now());
        }
        reportJob(m_services, Job::LineWatchdog, clock.now(), failure.empty(), failure);
    }
    if (boxCalls != 0)
        boxDuty();
    return true;
}

std::string LineWatchdogThread::singleCounterCheck(int limit, SysTime now) {
    Profile& p = m_services.profile;
    const SettingReader settings = settingsOf(m_services);
    const int counter = settings.integer(keys::kLineCheckCounter);
    if (counter < limit) {
        writeProfileLogged(p, m_services.log, kAlarmFile, ini::kLineWatchDog, "CheckCounter",
                           std::to_string(counter + 1));
        return {};
    }
    const int alarm = settings.integer(keys::kLineStartAlarm);
    if (alarm >= kFirstAlarm) {
        const std::string failure =
            "WatchDog call not received (Counter in qxalarm.ini/LineWatchDog/CheckCounter=" +
            std::to_string(counter) + ")";
        if (m_services.launcher.run(sibling::lineWatchdogAlarm(alarm)))
            m_services.log.note(failure + " start Alarm " + std::to_string(alarm));
        else
            m_services.log.note(failure + ", but Alarm " + std::to_string(alarm) + " could not be started");
    }
    if (settings.integer(keys::kWriteWarningFile) == 1)
        writeLineWarning();
    recordLineFailure(p, m_services.log, kAlarmFile, ini::kLineWatchDog, now, limit);
    if (settings.integer(keys::kRestartSystem) == 1) {
        m_services.log.note("Restart system with program shutdown.exe");
        if (!m_services.launcher.run(sibling::restartSystem()))
            m_services.log.note("The system could not be restarted");
    } else {
        writeProfileLogged(p, m_services.log, kAlarmFile, ini::kLineWatchDog, "RestartSystem", "0");
    }
    return "the test call was not received (CheckCounter=" + std::to_string(counter) + ")";
}

void LineWatchdogThread::writeLineWarning() {
    std::string path = settingsOf(m_services).text(keys::kWatchDogFiles);
    if (path.empty())
        return;
    // The warning lies beside the file that WatchDogFiles names: everything after its last backslash
    // (not counting a backslash in the first place) is cut.
    std::size_t slash = path.rfind('\\');
    if (slash != std::string::npos && slash >= 1)
        path.resize(slash + 1);
    writeWarningFile(m_files, m_services.paths.native(path + "qxa.war"),
                     m_services.strings.get(kStrLineWatchdogWarning));
}

void LineWatchdogThread::boxDuty() {
    const WatchdogBoxSettings box = readWatchdogBox(settingsOf(m_services));
    if (m_boxCounter < box.interval / 10) {
        ++m_boxCounter;
        return;
    }
    const std::string& number = box.numberToDial;
    if (!number.empty()) {
        if (m_services.launcher.run(sibling::watchdogBoxCall(), kBoxCallLimit))
            m_services.log.note("Start WatchDog call to number " + number);
        else
            m_services.log.note("WatchDog call to number " + number + " could not be started");
    }
    if (box.writeWarning) {
        const std::string watchPath = settingsOf(m_services).text(keys::kWatchPath);
        writeWarningFile(m_files, m_services.paths.native(watchPath + ".\\qxa.war"), box.warningMessage);
    }
    m_boxCounter = 1;
}

void LineWatchdogThread::run(std::stop_token stop) {
    Clock& clock = m_services.clock;
    begin();
    for (;;) {
        bool goOn = true;
        try {
            goOn = pass(stop);
        } catch (const std::exception& e) {
            m_services.log.write(std::string("LineWatchdogThread: ") + e.what());
        }
        if (!goOn) {
            m_services.log.write("Stop WatchDog thread both not active anymore");
            return;
        }
        if (!clock.sleepFor(restOfPass(), stop))
            return;
    }
}

}  // namespace qx
