// Moves 20,000 statistic files (spread over the 27 statistic patterns) from a log directory into its
// week directory pattern by pattern, as the mover does, and prints the time against `mv` of the same
// files into the same directory, measured in the same run. Both stay within one file system. Goal: at
// most 1.0 of mv's time for the same work (a move without the age check). The weekly move with the
// age check, which has to read each file's time first, is printed beside it.
//
// Then the same files from a tmpfs (/dev/shm) into a week directory on disk, where every move is a copy
// and a deletion: ours makes each batch durable before deleting its sources, mv does not sync at all.
// Goal: at most 1.2 of mv's time.
//
// usage: statistic_move_bench [DIRECTORY [FILES]]   (without DIRECTORY a temporary one is used; it
//        should lie on disk, not on a tmpfs; FILES defaults to 20,000)

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
#include <optional>
#include <string>
#include <vector>

#include "ActivityLog.h"
#include "Clock.h"
#include "FileOperations.h"
#include "JobHooks.h"
#include "Launcher.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "SharedState.h"
#include "StatisticMover.h"
#include "StringTable.h"

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

extern char** environ;

namespace {

int kFiles = 20000;
constexpr int kRounds = 9;

std::vector<std::string> makeNames() {
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        std::string_view pattern =
            qx::kStatisticPatterns[static_cast<std::size_t>(i) % qx::kStatisticPatterns.size()];
        char name[32];
        std::snprintf(name, sizeof name, "s%05d", i);
        names.push_back(name + std::string(pattern.substr(1)));
    }
    return names;
}

void createFiles(const fs::path& directory, const std::vector<std::string>& names) {
    for (const auto& name : names) {
        int fd = ::open((directory / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, "statistic record\n", 17) != 17) {
            std::perror(name.c_str());
            std::exit(1);
        }
        ::close(fd);
    }
}

// Puts the files back for the next round (not timed).
void moveBack(const fs::path& from, const fs::path& to, const std::vector<std::string>& names) {
    for (const auto& name : names)
        if (::rename((from / name).c_str(), (to / name).c_str()) != 0) {
            std::perror(name.c_str());
            std::exit(1);
        }
}

// The floor: a bare loop of renames between the two directories, nothing else.
double timePlainLoop(const fs::path& from, const fs::path& to, const std::vector<std::string>& names) {
    int source = ::open(from.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    int target = ::open(to.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    auto start = Steady::now();
    for (const auto& name : names)
        if (::renameat(source, name.c_str(), target, name.c_str()) != 0) {
            std::perror(name.c_str());
            std::exit(1);
        }
    double ms = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
    ::close(source);
    ::close(target);
    return ms;
}

// `mv -t TARGET NAME...` in `directory`, as an administrator would move the files by hand.
double timeMv(const fs::path& directory, const std::vector<std::string>& names,
              std::string target = "log49") {
    std::vector<char*> argv;
    std::string mv = "mv", flag = "-t";
    argv.push_back(mv.data());
    argv.push_back(flag.data());
    argv.push_back(target.data());
    std::vector<std::string> copies(names);
    for (auto& n : copies)
        argv.push_back(n.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    auto start = Steady::now();
    pid_t pid;
    if (posix_spawnp(&pid, "mv", &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start mv\n");
        std::exit(1);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    double ms = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "mv failed\n");
        std::exit(1);
    }
    return ms;
}

bool onDifferentFileSystems(const fs::path& a, const fs::path& b) {
    struct stat x {
    }, y{};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev != y.st_dev;
}

void syncDisk(const fs::path& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

void removeFiles(const fs::path& directory, const std::vector<std::string>& names) {
    for (const auto& name : names)
        ::unlink((directory / name).c_str());
}

// The cross-file-system rounds: `mover` against mv, best of `rounds`; returns {ours, mv} in ms, or
// nothing when /dev/shm is missing or on the same file system as `disk`.
std::optional<std::pair<double, double>> timeAcrossFileSystems(qx::StatisticMover& mover,
                                                               const fs::path& disk,
                                                               const std::vector<std::string>& names,
                                                               qx::SysTime now, int rounds) {
    std::string pattern = "/dev/shm/qxmove-bench-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return std::nullopt;
    const fs::path shm = pattern;
    const fs::path week = disk / "log49";
    std::optional<std::pair<double, double>> result;
    if (onDifferentFileSystems(shm, disk)) {
        double ours = 1e300, peer = 1e300;
        for (int round = 0; round < rounds; ++round) {
            createFiles(shm, names);
            syncDisk(disk);  // what earlier rounds wrote is on disk before the clock runs
            auto start = Steady::now();
            const qx::Result<> ok =
                mover.moveFiles(shm, qx::kStatisticPatterns, week, qx::AgeCheck::Off, now);
            ours = std::min(ours, std::chrono::duration<double, std::milli>(Steady::now() - start).count());
            if (!ok || !fs::exists(week / names.back()) || fs::exists(shm / names.back())) {
                std::fprintf(stderr, "the move across file systems failed\n");
                std::exit(1);
            }
            removeFiles(week, names);
            createFiles(shm, names);
            syncDisk(disk);
            peer = std::min(peer, timeMv(shm, names, week.string()));
            removeFiles(week, names);
        }
        result = std::make_pair(ours, peer);
    }
    std::error_code ec;
    fs::remove_all(shm, ec);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path base = argc > 1 && *argv[1] ? fs::path(argv[1]) : fs::temp_directory_path();
    if (argc > 2)
        kFiles = std::max(27, std::atoi(argv[2]));
    std::string pattern = (base / "qxmove-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path log = pattern;
    const fs::path week = log / "log49";
    fs::create_directory(week);
    const std::vector<std::string> names = makeNames();
    createFiles(log, names);

    qx::PathMap paths;
    qx::Profile profile(log);
    qx::SystemClock clock;
    qx::SharedState state;
    state.writeLogFile = false;
    qx::PosixLauncher launcher(paths);
    qx::ConsolePrompts prompts;
    qx::StringTable strings;
    qx::ActivityLog activity(clock, state, log);
    qx::Services services{paths, profile, clock, state, launcher, prompts, strings, activity, nullptr};
    qx::PosixFileOperations files;
    qx::JobHooks hooks;
    qx::StatisticMover mover(services, files, hooks);
    // The files were just written; the move runs as if the week had ended a day later.
    const qx::SysTime now = std::chrono::system_clock::now() + std::chrono::hours(24);

    auto timeOurs = [&](qx::AgeCheck ageCheck) {
        auto start = Steady::now();
        const qx::Result<> ok = mover.moveFiles(log, qx::kStatisticPatterns, week, ageCheck, now);
        double ms = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
        if (!ok || !fs::exists(week / names.back())) {
            std::fprintf(stderr, "the move failed\n");
            std::exit(1);
        }
        moveBack(week, log, names);
        return ms;
    };
    double ours = 1e300, oursChecked = 1e300, peer = 1e300, plain = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        ours = std::min(ours, timeOurs(qx::AgeCheck::Off));
        peer = std::min(peer, timeMv(log, names));
        moveBack(week, log, names);
        oursChecked = std::min(oursChecked, timeOurs(qx::AgeCheck::On));
        plain = std::min(plain, timePlainLoop(log, week, names));
        moveBack(week, log, names);
    }
    std::printf("statistic files moved within one file system: %d files\n", kFiles);
    std::printf("  mv -t                                 : %8.1f ms (best of %d)\n", peer, kRounds);
    std::printf("  qxmover MoveFiles, 27 patterns        : %8.1f ms  ratio to mv %.2f (goal <= 1.0)\n", ours,
                ours / peer);
    std::printf("  qxmover MoveFiles, 27 patterns, aged  : %8.1f ms  ratio to mv %.2f\n", oursChecked,
                oursChecked / peer);
    std::printf("  bare loop of renameat                 : %8.1f ms  ratio to mv %.2f\n", plain,
                plain / peer);
    std::fflush(stdout);
    removeFiles(log, names);
    const auto across = timeAcrossFileSystems(mover, log, names, now, 3);
    std::error_code ec;
    fs::remove_all(log, ec);
    if (!across) {
        std::printf("statistic files moved across file systems: skipped (no /dev/shm apart from %s)\n",
                    log.c_str());
        return 0;
    }
    std::printf("statistic files moved from /dev/shm to disk: %d files\n", kFiles);
    std::printf("  mv -t                                 : %8.1f ms (best of 3, no sync)\n", across->second);
    std::printf("  qxmover MoveFiles, batches made durable: %8.1f ms  ratio to mv %.2f (goal <= 1.2)\n",
                across->first, across->first / across->second);
    return 0;
}
