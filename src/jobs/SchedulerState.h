#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace qx {

// What the scheduler has done, by period: the Monday ("YYYY-MM-DD") whose weekly 00:00 work, weekly
// 01:00 work and backup were done, and the month ("YYYY-MM") whose monthly work was done. Empty: not
// done in any period still current.
struct SchedulerRecord {
    std::string weekMidnight;
    std::string weekOne;
    std::string backup;
    std::string month;

    bool operator==(const SchedulerRecord&) const = default;
};

// The scheduler's record in a small file beside the activity logs ("qxmover.state"), so that work
// missed while the service was down runs once when it is back, and never twice.
class SchedulerState {
public:
    explicit SchedulerState(std::filesystem::path file) : m_file(std::move(file)) {}

    // The record in the file; nullopt when there is no file (a first start). A file that cannot be read
    // or makes no sense gives nullopt as well, with `unreadable` set.
    std::optional<SchedulerRecord> load(bool* unreadable = nullptr) const;

    // Writes the record crash-safe: a temporary file beside the state file, synced, then renamed over
    // it and the directory synced. A crash leaves the old record or the new one, never a torn file.
    // The log directory that holds the file may fill up; a reserve file beside it ("qxmover.state.reserve",
    // its room allocated while there was some) then takes the record instead of the temporary file and
    // is made again after the save. False when it could not be written (the old file stays).
    [[nodiscard]] bool save(const SchedulerRecord& record) const;

    const std::filesystem::path& file() const { return m_file; }

private:
    static constexpr off_t kReserveBytes = 4096;  // a record is far smaller

    std::filesystem::path reserveFile() const;
    // Writes `text` into `from` (created unless it is the reserve), syncs it and renames it over the state
    // file. False with `error` set when any step fails.
    bool replaceWith(const std::filesystem::path& from, const std::string& text, bool reserve,
                     int& error) const;
    // Makes the reserve file when there is none; without room for it there is none.
    void keepReserve() const;

    std::filesystem::path m_file;
};

// The state file beside the activity log directory `logDirectory`.
std::filesystem::path schedulerStateFile(const std::filesystem::path& logDirectory);

}  // namespace qx
