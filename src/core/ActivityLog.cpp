#include "ActivityLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    // One write in append mode keeps lines of concurrent writers whole.
    ssize_t written;
    do
        written = ::write(fd, line.data(), line.size());
    while (written < 0 && errno == EINTR);
    int error = written < 0 ? errno : std::size_t(written) < line.size() ? ENOSPC : 0;
    ::close(fd);
    return error;
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
    std::string_view rest = message;
    while (!rest.empty()) {
        ssize_t written = ::write(STDERR_FILENO, rest.data(), rest.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        rest.remove_prefix(std::size_t(written));
    }
}

}  // namespace qx
