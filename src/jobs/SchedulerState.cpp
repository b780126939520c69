#include "SchedulerState.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "FileDescriptor.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

constexpr const char* kHeader = "[Scheduler]";

bool writeAll(int fd, const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        ssize_t w = ::write(fd, text.data() + written, text.size() - written);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return false;
        written += static_cast<std::size_t>(w);
    }
    return true;
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

std::optional<SchedulerRecord> SchedulerState::load(bool* unreadable) const {
    if (unreadable)
        *unreadable = false;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(m_file, ec)))
        return std::nullopt;
    auto fail = [&]() -> std::optional<SchedulerRecord> {
        if (unreadable)
            *unreadable = true;
        return std::nullopt;
    };
    if (!fs::is_regular_file(fs::symlink_status(m_file, ec)))
        return fail();
    std::ifstream in(m_file);
    std::string line;
    if (!in || !std::getline(in, line) || line != kHeader)
        return fail();
    SchedulerRecord record;
    while (std::getline(in, line)) {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "WeekMidnight")
            record.weekMidnight = value;
        else if (key == "WeekOne")
            record.weekOne = value;
        else if (key == "Backup")
            record.backup = value;
        else if (key == "Month")
            record.month = value;
    }
    if (!plausibleDate(record.weekMidnight, 10) || !plausibleDate(record.weekOne, 10) ||
        !plausibleDate(record.backup, 10) || !plausibleDate(record.month, 7))
        return fail();
    return record;
}

bool SchedulerState::save(const SchedulerRecord& record) const {
    std::ostringstream text;
    text << kHeader << '\n'
         << "WeekMidnight=" << record.weekMidnight << '\n'
         << "WeekOne=" << record.weekOne << '\n'
         << "Backup=" << record.backup << '\n'
         << "Month=" << record.month << '\n';
    fs::path temp = m_file;
    temp += ".new-" + std::to_string(::getpid());
    int error = 0;
    bool ok = replaceWith(temp, text.str(), false, error);
    // The log directory is full (the activity logs filled it, most likely): the reserve, allocated while
    // there was room, takes the record, so that the work of this week is not done once more at the
    // next start.
    if (!ok && (error == ENOSPC || error == EDQUOT))
        ok = replaceWith(reserveFile(), text.str(), true, error);
    if (ok)
        keepReserve();
    return ok;
}

fs::path SchedulerState::reserveFile() const {
    fs::path reserve = m_file;
    reserve += ".reserve";
    return reserve;
}

bool SchedulerState::replaceWith(const fs::path& from, const std::string& text, bool reserve,
                                 int& error) const {
    auto failed = [&] {
        error = errno;
        if (!reserve)
            ::unlink(from.c_str());
        return false;
    };
    FileDescriptor out(
        reserve ? ::open(from.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW)
                : ::open(from.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!out.valid())
        return failed();
    struct stat status {};
    // Written only within blocks the reserve holds already: a write past them would need the room that
    // is not there.
    if (reserve && (::fstat(out.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
                    static_cast<std::uintmax_t>(status.st_blocks) * 512 < text.size())) {
        errno = ENOSPC;
        return failed();
    }
    if (!writeAll(out.get(), text) || (reserve && ::ftruncate(out.get(), off_t(text.size())) != 0) ||
        ::fsync(out.get()) != 0)
        return failed();
    if (::close(out.release()) != 0 || ::rename(from.c_str(), m_file.c_str()) != 0)
        return failed();
    fs::path directory = m_file.parent_path().empty() ? fs::path(".") : m_file.parent_path();
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid() || ::fsync(dir.get()) != 0) {
        error = errno;
        return false;
    }
    return true;
}

void SchedulerState::keepReserve() const {
    const fs::path reserve = reserveFile();
    struct stat status {};
    if (::lstat(reserve.c_str(), &status) == 0)
        return;
    FileDescriptor out(::open(reserve.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!out.valid())
        return;
    // Without its room the reserve is no use: it goes, and the next save tries again.
    if (::posix_fallocate(out.get(), 0, kReserveBytes) != 0)
        ::unlink(reserve.c_str());
}

}  // namespace qx
