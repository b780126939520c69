#include "ActivityLog.h"

#include <cstdio>
#include <cstring>

#include "AppendFile.h"
#include "WeekCalendar.h"

namespace qx {

ActivityLog::ActivityLog(const Clock& clock, const SharedState& state, std::filesystem::path logDirectory)
    : m_clock(clock), m_state(state), m_directory(std::move(logDirectory)) {}

std::string formatLogLine(const LocalTime& t, std::string_view text) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%02d.%02d, %02d:%02d,  ", t.day, t.month, t.hour, t.minute);
    std::string line(prefix);
    line.append(text);
    line.push_back('\n');
    return line;
}

int appendLine(const std::filesystem::path& file, std::string_view line) {
    // One write in append mode keeps lines of concurrent writers whole.
    return AppendFile(file).append(line).number();
}

std::filesystem::path ActivityLog::fileFor(SysTime time) const {
    char name[32];
    std::snprintf(name, sizeof name, "qxmover_%02d.log", weekNumber(toLocal(time)).week);
    return m_directory / name;
}

void ActivityLog::write(std::string_view text) const {
    SysTime now = m_clock.now();
    const std::filesystem::path file = fileFor(now);
    const std::string line = formatLogLine(toLocal(now), text);
    const int error = appendLine(file, line);
    if (error == 0) {
        m_failing.store(false);
        return;
    }
    // A full log directory must not swallow what the service does: the journal keeps it instead.
    std::string message;
    if (!m_failing.exchange(true))
        message = "qxmover: cannot write the activity log " + file.string() + " (" + std::strerror(error) +
                  "); its lines follow here\n";
    message += "qxmover: " + line;
    if (m_failureSink) {
        m_failureSink(message);
        return;
    }
    writeStandardError(message);
}

}  // namespace qx
