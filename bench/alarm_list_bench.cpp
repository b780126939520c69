// Builds the alarm list of a 10,000-record alarm table (T01..T99, written by python3-dbf), reading all
// 99 fields of every record as the alarm list does, and prints the time against `dbfdump` of the
// same table measured in the same run. Goal: at most 0.1 of dbfdump's time.
//
// usage: alarm_list_bench [TABLE]   (without TABLE a fresh one is made in a temporary directory)

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "CAlarmTable.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

extern char** environ;

namespace {

constexpr int kRecords = 10000;
constexpr int kOurRounds = 10;
constexpr int kPeerRounds = 3;

// Runs `argv` with standard output thrown away; false when it cannot start or does not exit 0.
bool runQuietly(const char* const argv[]) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int started = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename Body>
double bestMillis(int rounds, Body body) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const char* dbfdump = "/usr/bin/dbfdump";
    const char* python = "/usr/bin/python3";
    if (access(dbfdump, X_OK) != 0 || access(python, X_OK) != 0) {
        std::fprintf(stderr, "needs %s and %s: run scripts/install-deps.sh\n", dbfdump, python);
        return 1;
    }
    fs::path table;
    fs::path dir;
    if (argc > 1) {
        table = argv[1];
    } else {
        std::string pattern = (fs::temp_directory_path() / "qxbench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = pattern;
        table = dir / "vm001.dbf";
        std::string script = std::string(QX_SOURCE_DIR) + "/tests/support/make_alarm_table.py";
        std::string records = std::to_string(kRecords);
        const char* make[] = {python, script.c_str(), table.c_str(), records.c_str(), nullptr};
        std::printf("building a %d-record alarm table with python3-dbf ...\n", kRecords);
        if (!runQuietly(make)) {
            std::fprintf(stderr, "python3-dbf could not build the table\n");
            return 1;
        }
    }

    std::size_t listed = 0;
    bool opened = true;
    double ours = bestMillis(kOurRounds, [&] {
        qx::CAlarmTable alarms;
        if (!alarms.Open(table.c_str())) {
            opened = false;
            return;
        }
        listed = qx::collectAlarms(alarms, 10, 9999).size();
        alarms.Close();
    });
    if (!opened) {
        std::fprintf(stderr, "cannot open %s\n", table.c_str());
        return 1;
    }
    bool dumped = true;
    const char* dump[] = {dbfdump, table.c_str(), nullptr};
    double peer = bestMillis(kPeerRounds, [&] { dumped = runQuietly(dump) && dumped; });
    if (!dumped) {
        std::fprintf(stderr, "dbfdump failed on %s\n", table.c_str());
        return 1;
    }

    double ratio = ours / peer;
    std::printf("alarm list of %s: %zu alarms, %d records x 99 fields\n", table.c_str(), listed, kRecords);
    std::printf("  ours (best of %d)     %9.2f ms\n", kOurRounds, ours);
    std::printf("  dbfdump (best of %d)  %9.2f ms\n", kPeerRounds, peer);
    std::printf("  ratio ours/dbfdump   %9.4f  (goal <= 0.1: %s)\n", ratio, ratio <= 0.1 ? "met" : "MISSED");
    if (!dir.empty())
        fs::remove_all(dir);
    return 0;
}
