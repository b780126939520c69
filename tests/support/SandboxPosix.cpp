#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <string>

#include "Sandbox.h"

namespace fs = std::filesystem;

namespace qx::test {

fs::path makeUniqueDirectory(const fs::path& parent, std::string_view prefix) {
    std::string pattern = (parent / (std::string(prefix) + "XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed below " + parent.string());
    return pattern;
}

ProcessFootprint processFootprint() {
    ProcessFootprint f;
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    f.residentKb = resident * (sysconf(_SC_PAGESIZE) / 1024);
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/self/fd", ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        ++f.descriptors;
    return f;
}

void setMtime(const fs::path& path, std::chrono::system_clock::time_point mtime) {
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(mtime.time_since_epoch()).count();
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(ns % 1'000'000'000);
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("cannot set the time of " + path.string());
}

bool useTimeZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
    return true;
}

bool useCentralEuropeanTime() {
    return useTimeZone("Europe/Berlin");
}

std::uint64_t fileIdentity(const fs::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_ino) : 0;
}

std::string recordingScriptText(const fs::path& record) {
    return "#!/bin/sh\nline=\"$(basename \"$0\")\"\nfor a in \"$@\"; do line=\"$line [$a]\"; done\n"
           "printf '%s\\n' \"$line\" >> '" +
           record.string() + "'\n";
}

bool underWine() {
    return false;
}

}  // namespace qx::test
