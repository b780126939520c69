#include "AliveLogThread.h"

#include <string>

#include "ActivityLog.h"

namespace qx {

AliveLogThread::AliveLogThread(Clock& clock, std::filesystem::path file)
    : m_clock(clock), m_file(std::move(file)) {}

void AliveLogThread::pass(SysTime now) {
    appendLine(m_file, formatLogLine(toLocal(now), std::to_string(m_counter)));
    ++m_counter;
}

void AliveLogThread::run(std::stop_token stop) {
    do {
        SysTime now = m_clock.now();
        pass(now);
        if (!m_clock.sleepUntil(now + kPeriod, stop))
            break;
    } while (!stop.stop_requested());
}

}  // namespace qx
