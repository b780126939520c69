#include "SchedulerState.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "AtomicFile.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

constexpr const char* kHeader = "[Scheduler]";
// Job outcomes are kept as "Job.NAME=LASTRUN OK LASTFAILURE MOVED DELETED REASON"; older versions of the
// service skip keys they do not know.
constexpr const char* kJobPrefix = "Job.";
// The clock ends in 2262; a later time is not one this service wrote.
constexpr std::int64_t kLatestTime = 9'223'372'036;

// Serialises the writers of state files in this process: the scheduler and every thread that reports
// an outcome read, change and write the one file.
std::mutex& writerMutex() {
    static std::mutex mutex;
    return mutex;
}

bool validJobName(std::string_view name) {
    if (name.empty() || name.size() > 32)
        return false;
    for (char c : name)
        if (!(c >= 'a' && c <= 'z') && c != '-')
            return false;
    return true;
}

std::string oneLine(std::string_view text) {
    std::string line(text.substr(0, JobOutcome::kReasonBytes));
    for (char& c : line)
        if (c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    return line;
}

// Reads a whole decimal number within low..high from the front of `text` (blank-separated).
std::optional<std::int64_t> field(std::string_view& text, std::int64_t low, std::int64_t high) {
    const std::size_t end = std::min(text.find(' '), text.size());
    std::int64_t value = 0;
    const auto [next, error] = std::from_chars(text.data(), text.data() + end, value);
    if (error != std::errc() || next != text.data() + end || end == 0 || value < low || value > high)
        return std::nullopt;
    text.remove_prefix(std::min(end + 1, text.size()));
    return value;
}

std::optional<JobOutcome> parseOutcome(std::string_view text) {
    auto lastRun = field(text, 0, kLatestTime);
    auto ok = field(text, 0, 1);
    auto lastFailure = field(text, 0, kLatestTime);
    auto moved = field(text, -1, INT_MAX);
    auto deleted = field(text, -1, INT_MAX);
    if (!lastRun || !ok || !lastFailure || !moved || !deleted)
        return std::nullopt;
    JobOutcome outcome;
    outcome.lastRun = *lastRun;
    outcome.ok = *ok == 1;
    outcome.lastFailure = *lastFailure;
    outcome.filesMoved = static_cast<int>(*moved);
    outcome.filesDeleted = static_cast<int>(*deleted);
    outcome.reason = oneLine(text);
    return outcome;
}

bool plausibleDate(const std::string& value, std::size_t length) {
    if (value.empty())
        return true;
    if (value.size() != length)
        return false;
    for (std::size_t i = 0; i < value.size(); ++i)
        if (i == 4 || i == 7 ? value[i] != '-' : (value[i] < '0' || value[i] > '9'))
            return false;
    return true;
}

}  // namespace

fs::path schedulerStateFile(const fs::path& logDirectory) {
    return logDirectory / "qxmover.state";
}

SchedulerState::Contents SchedulerState::read() const {
    Contents contents;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(m_file, ec);
    if (!fs::exists(status))
        return contents;
    contents.unreadable = true;
    if (!fs::is_regular_file(status))
        return contents;
    std::ifstream in(m_file);
    std::string line;
    if (!in || !std::getline(in, line) || line != kHeader)
        return contents;
    SchedulerRecord record;
    bool any = false;
    while (std::getline(in, line)) {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key.starts_with(kJobPrefix)) {
            std::string name = key.substr(std::strlen(kJobPrefix));
            if (auto outcome = parseOutcome(value); outcome && validJobName(name))
                contents.jobs[name] = *outcome;
            continue;
        }
        std::string* field = key == "WeekMidnight" ? &record.weekMidnight
                             : key == "WeekOne"    ? &record.weekOne
                             : key == "Backup"     ? &record.backup
                             : key == "Month"      ? &record.month
                                                   : nullptr;
        if (field) {
            *field = value;
            any = true;
        }
    }
    if (in.bad() || !plausibleDate(record.weekMidnight, 10) || !plausibleDate(record.weekOne, 10) ||
        !plausibleDate(record.backup, 10) || !plausibleDate(record.month, 7)) {
        contents.jobs.clear();
        return contents;
    }
    contents.unreadable = false;
    if (any)
        contents.record = record;
    return contents;
}

std::optional<SchedulerRecord> SchedulerState::load(bool* unreadable) const {
    Contents contents = read();
    if (unreadable)
        *unreadable = contents.unreadable;
    return contents.record;
}

JobOutcomes SchedulerState::loadJobs() const {
    return read().jobs;
}

bool SchedulerState::save(const SchedulerRecord& record) const {
    std::lock_guard lock(writerMutex());
    Contents contents = read();
    contents.record = record;
    return write(contents);
}

bool SchedulerState::saveJob(std::string_view name, const JobOutcome& outcome) const {
    if (!validJobName(name))
        return false;
    std::lock_guard lock(writerMutex());
    Contents contents = read();
    if (contents.unreadable)
        return false;
    JobOutcome& kept = contents.jobs[std::string(name)];
    kept = outcome;
    kept.reason = oneLine(outcome.reason);
    return write(contents);
}

bool SchedulerState::write(const Contents& contents) const {
    std::ostringstream text;
    text << kHeader << '\n';
    if (const auto& record = contents.record)
        text << "WeekMidnight=" << record->weekMidnight << '\n'
             << "WeekOne=" << record->weekOne << '\n'
             << "Backup=" << record->backup << '\n'
             << "Month=" << record->month << '\n';
    for (const auto& [name, outcome] : contents.jobs)
        text << kJobPrefix << name << '=' << outcome.lastRun << ' ' << (outcome.ok ? 1 : 0) << ' '
             << outcome.lastFailure << ' ' << outcome.filesMoved << ' ' << outcome.filesDeleted << ' '
             << outcome.reason << '\n';
    // Written by the service and by commands of their own process: each writes its own temporary file.
    AtomicWriteOptions options;
    options.mode = 0644;
    options.temporaryName = m_file.filename().string() + ".new";
    options.perProcess = true;
    FileResult result = writeFileAtomically(m_file, text.str(), options);
    // The log directory is full (the activity logs filled it, most likely): the reserve, allocated while
    // there was room, takes the record, so that the work of this week is not done once more at the
    // next start.
    if (result.full())
        result = replaceFromReserve(m_file, reserveFile(), text.str());
    if (result)
        keepReserve();
    return result.ok();
}

fs::path SchedulerState::reserveFile() const {
    fs::path reserve = m_file;
    reserve += ".reserve";
    return reserve;
}

void SchedulerState::keepReserve() const {
    const fs::path reserve = reserveFile();
    std::error_code ec;
    if (fs::symlink_status(reserve, ec).type() != fs::file_type::not_found)
        return;
    // Without room for it there is none, and the next save tries again.
    (void)makeReserveFile(reserve, kReserveBytes);
}

}  // namespace qx
