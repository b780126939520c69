#include "EventWatchdogThread.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <exception>

#include "ActivityLog.h"
#include "CAlarmTable.h"
#include "Clock.h"
#include "JobRecord.h"
#include "Launcher.h"
#include "LoggedProfileWrite.h"
#include "MonitorCommands.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "SettingKeys.h"
#include "SharedState.h"
#include "WideText.h"

namespace qx {

namespace {

constexpr int kFirstAlarm = 10;
constexpr int kLastAlarm = 9999;
constexpr std::size_t kMarkerEnd = 8;
constexpr std::size_t kMaxDigits = 20;
// Room for the whole list: every alarm number 10..9999 once, with its ";", takes 49,950 characters.
// A longer value is read up to here and never written back, as that would lose what lay beyond.
constexpr std::size_t kListRoom = keys::kWatchedAlarmsRoom;
constexpr const char* kMarker = "QXAWDOG ";

// The run of up to 20 digits at `pos` as a number (capped), and the position behind it.
int leadingNumber(std::string_view text, std::size_t& pos) {
    long long value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && digits < kMaxDigits && text[pos] >= '0' && text[pos] <= '9') {
        if (value < INT_MAX)
            value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// Seconds since 1970 of a stored time: exactly 8 hexadecimal digits, else nothing (a value caught
// half-written by its writer counts as missing).
std::optional<long long> storedTime(const std::string& text) {
    if (text.size() != 8)
        return std::nullopt;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (end != text.c_str() + text.size())
        return std::nullopt;
    return static_cast<long long>(value);
}

long long secondsOf(SysTime time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// No foretold pass lies further ahead than the longest sleep.
constexpr long long kMostPasses = Clock::kLongestSleep / EventWatchdogThread::kPassLength;

// The passes from now until `seconds` more have gone by: at least the next one.
long long passesFor(long long seconds) {
    const long long length =
        std::chrono::duration_cast<std::chrono::seconds>(EventWatchdogThread::kPassLength).count();
    if (seconds <= length)
        return 1;
    return std::min(kMostPasses, (seconds + length - 1) / length);
}

// The passes until more than `limitMinutes` whole minutes have gone by since `stored`, as the
// checks count them ((now - stored) / 60 > limit).
long long passesUntilBeyond(long long nowSeconds, long long stored, int limitMinutes) {
    return passesFor((limitMinutes + 1LL) * 60 - (nowSeconds - stored));
}

}  // namespace

std::optional<WatchdogMarker> parseWatchdogMarker(std::string_view t33) {
    if (t33.find(kMarker) == std::string_view::npos)
        return std::nullopt;
    WatchdogMarker marker;
    std::size_t pos = kMarkerEnd;
    marker.windowMinutes = leadingNumber(t33, pos);
    ++pos;
    marker.pauseMinutes = leadingNumber(t33, pos);
    return marker;
}

EventWatchdogThread::EventWatchdogThread(Services& services)
    : m_services(services),
      m_tablePath(services.paths.native(alarmTablePath(services.profile))),
      m_started(services.clock.now()) {}

int EventWatchdogThread::pass(SysTime now) {
    // Until this pass has seen otherwise, the next one may have work.
    long long duePasses = 1;
    struct Foretell {
        EventWatchdogThread& thread;
        SysTime now;
        long long& passes;
        ~Foretell() { thread.m_due = later(now, passes * kPassLength); }
    } foretell{*this, now, duePasses};

    Profile& p = m_services.profile;
    Profile::Pass profiles(p);  // one look at each file for the whole pass
    // Read without the reader's own report: a cut list is told below, with what it means here.
    const SettingReader settings(p);
    std::string list = settings.text(keys::kActiveWdogAlarms);
    if (list.empty()) {
        duePasses = kMostPasses;
        return 0;
    }
    const bool cut = list.size() >= kListRoom - 1;
    if (cut) {
        // The last item may be a number cut short ("10" of "1025"): it is no alarm of the list.
        const std::size_t lastEnd = list.rfind(';');
        list.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
        if (m_services.state.settingNotices.firstTime("qxawdog.ini [Config] ActiveWdogAlarms cut"))
            m_services.log.write(
                "qxawdog.ini [Config] ActiveWdogAlarms is longer than " + std::to_string(kListRoom - 2) +
                " characters: the alarms beyond are not watched, and the list is not rewritten");
    }
    if (!m_table)
        m_table = std::make_unique<CDatabase>();
    const std::optional<std::string> tableFile = pathBytes(m_tablePath);
    if (!tableFile || !m_table->Open(tableFile->c_str())) {
        reportJob(m_services, Job::EventWatchdog, now, false,
                  "cannot open the alarm table " + tableFile.value_or(m_tablePath.generic_string()));
        return 0;
    }

    std::string kept;
    int started = 0;
    std::string failure;                     // the first alarm of the pass whose event is overdue
    std::optional<long long> oldestSilence;  // seconds, over every watched alarm
    long long soonest = kMostPasses;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = list.substr(start, end - start);
        start = end + 1;
        if (item.empty())
            continue;
        // The item's leading number, never wrapped: "4294967308" is no alarm 12.
        const long long number = parseSettingNumber(item, true).value_or(0);
        const int alarm = number < kFirstAlarm || number > kLastAlarm ? 0 : static_cast<int>(number);
        // An alarm beyond the table has no definition; going there would only raise an error box.
        if (alarm < kFirstAlarm || alarm > kLastAlarm ||
            static_cast<unsigned>(alarm) + 1 > m_table->RecCount())
            continue;
        m_table->Go(static_cast<unsigned>(alarm) + 1);
        char t33[256] = {};
        if (!m_table->Read("T33", t33, sizeof t33))
            continue;
        auto marker = parseWatchdogMarker(t33);
        if (!marker)
            continue;
        kept += std::to_string(alarm) + ";";
        if (marker->windowMinutes > m_largestWindow)
            m_largestWindow = marker->windowMinutes;
        // Each of the three waits below only grows shorter as passes go by, so the first pass that can
        // start this alarm is the one after the wait that holds it back now.
        if (m_elapsedMinutes < marker->windowMinutes) {
            soonest = std::min<long long>(soonest, marker->windowMinutes - m_elapsedMinutes);
            continue;
        }

        const std::string key = std::to_string(alarm);
        const long long nowSeconds = secondsOf(now);
        auto event = storedTime(settings.text(keys::kEventTime, alarm));
        const long long silence = event ? nowSeconds - *event : minutesWatched(now) * 60;
        oldestSilence = std::max(oldestSilence.value_or(silence), silence);
        if (event && (nowSeconds - *event) / 60 <= marker->windowMinutes) {
            soonest = std::min(soonest, passesUntilBeyond(nowSeconds, *event, marker->windowMinutes));
            continue;
        }
        if (failure.empty())
            failure = "no event for alarm " + key + " within its " + std::to_string(marker->windowMinutes) +
                      " minutes";
        auto lastAlarm = storedTime(settings.text(keys::kLastAlarmTime, alarm));
        const long long sinceAlarm = lastAlarm ? (nowSeconds - *lastAlarm) / 60 : marker->pauseMinutes + 1LL;
        if (sinceAlarm <= marker->pauseMinutes) {
            soonest = std::min(soonest, passesUntilBeyond(nowSeconds, *lastAlarm, marker->pauseMinutes));
            continue;
        }
        // Started or not, what the alarm server records of it is seen at the next pass.
        soonest = 1;
        // Without a stored event, none has come since the service started watching.
        const long long sinceEvent = event ? (nowSeconds - *event) / 60 : minutesWatched(now);
        if (!m_services.launcher.run(sibling::eventWatchdogAlarm(alarm))) {
            m_services.log.note("WatchDog Alarm " + key +
                                " could not be started, although no event received in the last " +
                                std::to_string(sinceEvent) + " minutes");
            continue;
        }
        m_services.log.note("WatchDog Alarm " + key + " started because no event received in the last " +
                            std::to_string(sinceEvent) + " minutes");
        ++started;
    }
    // An unchanged list is left alone: rewriting the file every minute would only wear the disk and
    // could undo an item that another program added in between.
    if (kept != list && !cut)
        writeProfileLogged(p, m_services.log, ini::kAwdog, ini::kConfig, "ActiveWdogAlarms", kept);
    else
        duePasses = soonest;
    m_table->Close();
    if (m_services.jobs && oldestSilence)
        m_services.jobs->eventSilence(std::chrono::seconds(*oldestSilence));
    reportJob(m_services, Job::EventWatchdog, now, failure.empty(), failure);
    return started;
}

long long EventWatchdogThread::minutesWatched(SysTime now) const {
    return std::max<long long>(0, std::chrono::duration_cast<std::chrono::minutes>(now - m_started).count());
}

void EventWatchdogThread::minutePassed(long long passes) {
    const long long counted = std::min({m_elapsedMinutes + passes, m_largestWindow + 1LL, 0LL + INT_MAX});
    m_elapsedMinutes = static_cast<int>(std::max<long long>(m_elapsedMinutes, counted));
}

void EventWatchdogThread::run(std::stop_token stop) {
    Clock& clock = m_services.clock;
    for (;;) {
        try {
            pass(clock.now());
        } catch (const std::exception& e) {
            m_services.log.write(std::string("EventWatchdogThread: ") + e.what());
        }
        const SysTime slept = clock.now();
        if (!clock.sleepUntilDue(later(slept, kPassLength), m_due, stop))
            return;
        // The passes slept through were idle ones; each counts for the grace.
        minutePassed(clock.skipsIdlePasses() ? std::max<long long>(1, (clock.now() - slept) / kPassLength)
                                             : 1);
    }
}

}  // namespace qx
