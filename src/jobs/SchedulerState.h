#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

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

// How a job or monitor last ended, kept beside the scheduler's record for `qxmover status` and the
// metrics file. Times are seconds since 1970; 0 means never.
struct JobOutcome {
    // A reason is one line of at most this many bytes: longer ones are cut, line ends become blanks.
    static constexpr std::size_t kReasonBytes = 200;

    std::int64_t lastRun = 0;
    bool ok = true;  // how the last run ended
    std::int64_t lastFailure = 0;
    std::string reason;     // why the last failure happened
    int filesMoved = -1;    // by the last run; -1 for a job that moves no files
    int filesDeleted = -1;  // by the last run; -1 for a job that deletes no files

    bool operator==(const JobOutcome&) const = default;
};

// The outcomes by job name (JobRecord names the jobs).
using JobOutcomes = std::map<std::string, JobOutcome, std::less<>>;

// The scheduler's record in a small file beside the activity logs ("qxmover.state"), so that work
// missed while the service was down runs once when it is back, and never twice.
class SchedulerState {
public:
    explicit SchedulerState(std::filesystem::path file) : m_file(std::move(file)) {}

    // The record in the file; nullopt when there is no file or it holds no scheduler record yet (only
    // job outcomes): a first start. A file that cannot be read or makes no sense gives nullopt as
    // well, with `unreadable` set.
    std::optional<SchedulerRecord> load(bool* unreadable = nullptr) const;

    // The job outcomes in the file. An entry that makes no sense (a time or count out of range, an
    // unknown result) is left out; an unreadable or missing file gives none.
    JobOutcomes loadJobs() const;

    // Writes the record crash-safe: a temporary file beside the state file, synced, then renamed over
    // it and the directory synced. A crash leaves the old record or the new one, never a torn file.
    // The log directory that holds the file may fill up; a reserve file beside it ("qxmover.state.reserve",
    // its room allocated while there was some) then takes the record instead of the temporary file and
    // is made again after the save. False when it could not be written (the old file stays). The job
    // outcomes in the file stay as they are.
    [[nodiscard]] bool save(const SchedulerRecord& record) const;

    // Writes the outcome of job `name` (lower case letters and '-', at most 32) the same crash-safe
    // way, keeping the rest of the file. False, writing nothing, when the file is there but cannot be
    // read: the scheduler tells that itself, and its record must not be lost to an outcome.
    [[nodiscard]] bool saveJob(std::string_view name, const JobOutcome& outcome) const;

    const std::filesystem::path& file() const { return m_file; }

private:
    static constexpr std::uintmax_t kReserveBytes = 8192;  // a record with every job's outcome is far smaller

    struct Contents {
        bool unreadable = false;
        std::optional<SchedulerRecord> record;
        JobOutcomes jobs;
    };
    Contents read() const;
    bool write(const Contents& contents) const;
    std::filesystem::path reserveFile() const;
    // Makes the reserve file when there is none; without room for it there is none.
    void keepReserve() const;

    std::filesystem::path m_file;
};

// The state file beside the activity log directory `logDirectory`.
std::filesystem::path schedulerStateFile(const std::filesystem::path& logDirectory);

}  // namespace qx
