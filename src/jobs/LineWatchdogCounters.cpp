#include "LineWatchdogCounters.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "LoggedProfileWrite.h"
#include "MonitorCommands.h"
#include "ProfileNames.h"
#include "WideText.h"

namespace qx {

namespace {

constexpr int kFirstAlarm = 10;
constexpr int kMaxServers = 99;
constexpr int kCallBackKind = 92;
constexpr int kCallBackType = 6;

}  // namespace

int singleCounterLimit(int deltaHours, int minuteInterval, int startAlarmImmediately) {
    if (minuteInterval < 1 || minuteInterval > 3)
        return static_cast<int>(std::clamp(deltaHours * 6LL + 1, 1LL, static_cast<long long>(INT_MAX)));
    return minuteInterval + (startAlarmImmediately == 1 ? 0 : 1);
}

std::string hexTime(SysTime time) {
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(static_cast<std::uint32_t>(seconds)));
    return buffer;
}

void recordLineFailure(Profile& profile, const ActivityLog& log, std::string_view file,
                       std::string_view section, SysTime now, int limit) {
    writeProfileLogged(profile, log, file, section, "Status", "1");
    writeProfileLogged(profile, log, file, section, "LastAlarm", hexTime(now));
    writeProfileLogged(profile, log, file, section, "CheckCounter", "-" + std::to_string(limit));
}

ServerCallbackCheck::ServerCallbackCheck(Services& services, std::filesystem::path table)
    : m_services(services), m_tablePath(std::move(table)) {}

int ServerCallbackCheck::check(int startAlarmImmediately, SysTime now) {
    if (!m_table)
        m_table = std::make_unique<CDatabase>();
    const std::optional<std::string> file = pathBytes(m_tablePath);
    if (!file || !m_table->Open(file->c_str()))
        return 0;
    Profile& profile = m_services.profile;
    int failures = 0;
    for (int i = 1; i <= kMaxServers; ++i) {
        int key = profile.getInt(ini::kAwdog, ini::kSettings, "Key" + std::to_string(i), 0);
        if (key < kFirstAlarm)
            break;
        // A key beyond the table has no definition; going there would only raise an error box.
        if (static_cast<unsigned>(key) + 1 > m_table->RecCount())
            continue;
        m_table->Go(static_cast<unsigned>(key) + 1);
        int kind = 0, type = 0, minutes = 0, alarm = 0;
        m_table->Read("T02", kind);
        m_table->Read("T30", type);
        if (kind != kCallBackKind || type != kCallBackType)
            continue;
        m_table->Read("T65", minutes);
        // At least one pass: a negative limit would be written back as "--N".
        const int limit = std::max(1, minutes / 10 + (startAlarmImmediately == 1 ? 0 : 1));
        const std::string section = "WDog" + std::to_string(key);
        const int counter = profile.getInt(ini::kAwdog, section, "CheckCounter", 0);
        if (counter < limit) {
            writeProfileLogged(profile, m_services.log, ini::kAwdog, section, "CheckCounter",
                               std::to_string(counter + 1));
            continue;
        }
        m_table->Read("T69", alarm);
        if (alarm >= kFirstAlarm) {
            const std::string failure =
                "WatchDog call for " + std::to_string(key) +
                " not received (Counter in qxalarm.ini/LineWatchDog/CheckCounter=" + std::to_string(counter) +
                ")";
            if (m_services.launcher.run(sibling::lineWatchdogAlarm(alarm)))
                m_services.log.note(failure + " start Alarm " + std::to_string(alarm));
            else
                m_services.log.note(failure + ", but Alarm " + std::to_string(alarm) +
                                    " could not be started");
        }
        recordLineFailure(profile, m_services.log, ini::kAwdog, section, now, limit);
        ++failures;
    }
    m_table->Close();
    return failures;
}

}  // namespace qx
