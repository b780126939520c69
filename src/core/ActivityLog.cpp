#include "ActivityLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

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

bool appendLine(const std::filesystem::path& file, std::string_view line) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // One write in append mode keeps lines of concurrent writers whole.
    [[maybe_unused]] ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
    return true;
}

std::filesystem::path ActivityLog::fileFor(SysTime time) const {
    char name[32];
    std::snprintf(name, sizeof name, "qxmover_%02d.log", weekNumber(toLocal(time)).week);
    return m_directory / name;
}

void ActivityLog::write(std::string_view text) const {
    SysTime now = m_clock.now();
    appendLine(fileFor(now), formatLogLine(toLocal(now), text));
}

}  // namespace qx
