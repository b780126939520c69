// Deletes the old half of 50,000 files matched by one extra deletion rule (DelPath1, "*.log", one
// week), as the weekly housekeeping does, and prints the time against
// `find DIR -maxdepth 1 -name '*.log' ! -newermt TIME -delete` on the same files, measured in the same
// run. Goal: at most 1.0 of find's time for the same work. Both do the same system calls (a directory
// read, a stat of each matching name, an unlink of each old one), so on a busy machine the disk's
// journal decides more than either program, so it runs on a tmpfs by default to show the programs
// themselves.
//
// usage: aged_delete_bench [DIRECTORY]   (default /dev/shm when it is there, else the temporary
// directory)

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ActivityLog.h"
#include "AdditionalDeletion.h"
#include "Clock.h"
#include "DeletionDirectory.h"
#include "FileAge.h"
#include "Launcher.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "SharedState.h"
#include "StringTable.h"

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

extern char** environ;

namespace {

constexpr int kFiles = 50000;
constexpr int kRounds = 7;

// Writes the files of `names` with the last-write time `written` (not timed).
void createFiles(const fs::path& directory, const std::vector<std::string>& names, qx::SysTime written) {
    const timespec times[2] = {{0, UTIME_OMIT}, {std::chrono::system_clock::to_time_t(written), 0}};
    for (const auto& name : names) {
        int fd = ::open((directory / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, "log line\n", 9) != 9 || ::futimens(fd, times) != 0) {
            std::perror(name.c_str());
            std::exit(1);
        }
        ::close(fd);
    }
}

// The count of entries left in `directory`.
std::size_t countEntries(const fs::path& directory) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

double timeFind(const fs::path& directory, qx::SysTime threshold) {
    std::string find = "find", dir = directory.string(), depth = "-maxdepth", one = "1", name = "-name",
                pattern = "*.log", bang = "!", newer = "-newermt",
                time = "@" + std::to_string(std::chrono::system_clock::to_time_t(threshold)), del = "-delete";
    char* argv[] = {find.data(), dir.data(),   depth.data(), one.data(), name.data(), pattern.data(),
                    bang.data(), newer.data(), time.data(),  del.data(), nullptr};
    auto start = Steady::now();
    pid_t pid;
    if (posix_spawnp(&pid, "find", nullptr, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "cannot start find\n");
        std::exit(1);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    double ms = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "find failed\n");
        std::exit(1);
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    std::error_code shm;
    fs::path base = argc > 1                            ? fs::path(argv[1])
                    : fs::is_directory("/dev/shm", shm) ? fs::path("/dev/shm")
                                                        : fs::temp_directory_path();
    std::string pattern = (base / "qxdelete-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path data = root / "extra";
    fs::create_directories(data);
    fs::create_directories(root / "windows");

    qx::PathMap paths(root, root / "windows");
    qx::Profile profile(root / "windows");
    if (!profile.writeString("qxmover.ini", "DeleteAddtionalLogs", "DelPath1", "\\extra") ||
        !profile.writeString("qxmover.ini", "DeleteAddtionalLogs", "DelExt1", "*.log") ||
        !profile.writeString("qxmover.ini", "DeleteAddtionalLogs", "DelAfterWeeks1", "1")) {
        std::fprintf(stderr, "cannot write the bench's qxmover.ini\n");
        return 1;
    }
    qx::SystemClock clock;
    qx::SharedState state;
    state.writeLogFile = false;
    qx::PosixLauncher launcher(paths);
    qx::ConsolePrompts prompts;
    qx::StringTable strings;
    qx::ActivityLog activity(clock, state, root);
    qx::Services services{paths, profile, clock, state, launcher, prompts, strings, activity, nullptr};
    qx::Deleter deleter;

    const qx::SysTime now = std::chrono::system_clock::now();
    const qx::SysTime old = now - 10 * qx::kWeek;
    std::vector<std::string> oldNames, youngNames;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "line%05d.log", i);
        (i % 2 ? oldNames : youngNames).push_back(name);
    }
    createFiles(data, youngNames, now);

    auto check = [&](const char* who) {
        if (countEntries(data) != youngNames.size() || !fs::exists(data / youngNames.back())) {
            std::fprintf(stderr, "%s did not delete exactly the old half\n", who);
            std::exit(1);
        }
    };
    double ours = 1e300, peer = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        createFiles(data, oldNames, old);
        auto start = Steady::now();
        const qx::HousekeepingResult result = qx::deleteAdditionalFiles(services, deleter, now);
        ours = std::min(ours, std::chrono::duration<double, std::milli>(Steady::now() - start).count());
        if (!result.ok()) {
            std::fprintf(stderr, "qxmover: %s\n", result.reason().c_str());
            std::exit(1);
        }
        check("qxmover");
        createFiles(data, oldNames, old);
        peer = std::min(peer, timeFind(data, qx::ageThreshold(now, 1)));
        check("find");
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    std::printf("old half of %d files deleted by one rule (*.log, 1 week)\n", kFiles);
    std::printf("  find -maxdepth 1 -name ! -newermt -delete : %8.1f ms (best of %d)\n", peer, kRounds);
    std::printf("  qxmover DeleteAdditionalFiles             : %8.1f ms  ratio to find %.2f (goal <= 1.0)\n",
                ours, ours / peer);
    return 0;
}
