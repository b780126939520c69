#pragma once

#include <filesystem>
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

    // Appends one line whatever WriteLogFile says; a file that cannot be opened loses the line silently.
    void write(std::string_view text) const;

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
};

// "DD.MM, HH:MM,  text\n", the line format of the activity and alive logs.
std::string formatLogLine(const LocalTime& time, std::string_view text);

// Appends `line` to `file` with one write; false when the file cannot be opened.
bool appendLine(const std::filesystem::path& file, std::string_view line);

}  // namespace qx
