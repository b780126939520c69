#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string_view>

#include "Clock.h"
#include "SharedState.h"

namespace qx {

// The weekly activity log "log/qxmover_NN.log" (NN: the week number of the moment of writing), one
// line "DD.MM, HH:MM,  text" per event. Relative to the working directory; the directory is not
// created. Each line is opened, appended and closed, so that threads' lines interleave whole.
class ActivityLog {
public:
    ActivityLog(const Clock& clock, const SharedState& state, std::filesystem::path logDirectory = "log");

    // Appends one line whatever WriteLogFile says. A line that cannot be written (a full or read-only log
    // directory, say) goes to the failure sink instead, so that it reaches the journal: the first after
    // a written one names the file and the reason.
    void write(std::string_view text) const;

    // Where lines go that the file does not take; standard error unless set. Set before threads write.
    using FailureSink = std::function<void(std::string_view message)>;
    void setFailureSink(FailureSink sink) { m_failureSink = std::move(sink); }

    // Appends one line when WriteLogFile is on, the rule for every job's report.
    void note(std::string_view text) const {
        if (m_state.writeLogFile.load())
            write(text);
    }

    // The file a line written at `time` goes to.
    std::filesystem::path fileFor(SysTime time) const;

private:
    const Clock& m_clock;
    const SharedState& m_state;
    std::filesystem::path m_directory;
    FailureSink m_failureSink;
    mutable std::atomic<bool> m_failing{false};  // the last line could not be written
};

// "DD.MM, HH:MM,  text\n", the line format of the activity and alive logs.
std::string formatLogLine(const LocalTime& time, std::string_view text);

// Appends `line` to `file` with one write. 0 when it was written whole, else the error number (the file
// cannot be opened, or the write failed or fell short, as on a full file system).
int appendLine(const std::filesystem::path& file, std::string_view line);

}  // namespace qx
