#pragma once

#include <chrono>
#include <filesystem>
#include <stop_token>

#include "Clock.h"

namespace qx {

// Proves every ten minutes that the process still runs: "log/qxlive.log" gets one line with a counter
// that starts at 1 at process start, whatever WriteLogFile says.
class AliveLogThread {
public:
    static constexpr std::chrono::minutes kPeriod{10};

    AliveLogThread(Clock& clock, std::filesystem::path file = "log/qxlive.log");

    // Appends one line with the running counter; a file that cannot be opened loses only this line
    // (the counter still counts the period).
    void pass(SysTime now);

    void run(std::stop_token stop);  // pass(), then sleep ten minutes, until stopped

    int counter() const { return m_counter; }

private:
    Clock& m_clock;
    std::filesystem::path m_file;
    int m_counter = 1;
};

}  // namespace qx
