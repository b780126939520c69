#pragma once

// Helpers of the table benchmarks: tables written straight as bytes (a million records in a second,
// where a Python writer takes minutes), and timing of peer programs.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace qx::bench {

struct Field {
    std::string name;
    char type;
    unsigned length;
    unsigned decimals = 0;
};

// Writes a dBASE III table of `count` records; `fill(n, record)` fills record n (1-based) after its
// deletion flag, blank-initialised. False when the file cannot be written.
inline bool writeTable(const std::string& path, const std::vector<Field>& fields, unsigned count,
                       const std::function<void(unsigned, char*)>& fill) {
    std::size_t headerLength = 32 + 32 * fields.size() + 1;
    std::size_t recordLength = 1;
    for (const Field& f : fields)
        recordLength += f.length;
    std::string header(headerLength, '\0');
    header[0] = 0x03;
    header[1] = 126;
    header[2] = 12;
    header[3] = 8;
    for (int i = 0; i < 4; ++i)
        header[4 + i] = char(count >> (8 * i));
    header[8] = char(headerLength & 0xFF);
    header[9] = char(headerLength >> 8);
    header[10] = char(recordLength & 0xFF);
    header[11] = char(recordLength >> 8);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        header.replace(32 + 32 * i, fields[i].name.size(), fields[i].name);
        header[32 + 32 * i + 11] = fields[i].type;
        header[32 + 32 * i + 16] = char(fields[i].length);
        header[32 + 32 * i + 17] = char(fields[i].decimals);
    }
    header[headerLength - 1] = 0x0D;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    std::string record(recordLength, ' ');
    for (unsigned n = 1; ok && n <= count; ++n) {
        std::fill(record.begin(), record.end(), ' ');
        fill(n, record.data() + 1);
        ok = std::fwrite(record.data(), 1, record.size(), file) == record.size();
    }
    ok = ok && std::fputc(0x1A, file) != EOF;
    return std::fclose(file) == 0 && ok;
}

// Writes `text` left-justified into `to` (the field is blank already).
inline void putText(char* to, const std::string& text) {
    std::copy(text.begin(), text.end(), to);
}

// Writes `text` right-justified into the `width` bytes at `to`.
inline void putRight(char* to, unsigned width, const std::string& text) {
    std::copy(text.begin(), text.end(), to + (width - text.size()));
}

// The machines are shared: wall-clock time depends on what else runs, so the ratios are taken of
// processor time (user + system), with the wall-clock time shown beside it.
struct Run {
    bool ok = false;
    double millis = 0;  // processor time
    double wallMillis = 0;
    long peakKilobytes = 0;  // the child's peak resident memory
};

inline double millisOf(const timeval& t) {
    return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0;
}

// The processor time this process has used so far, in milliseconds.
inline double processMillis() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// Runs `argv` with standard output thrown away and measures it.
inline Run runQuietly(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    Run run;
    auto start = std::chrono::steady_clock::now();
    pid_t pid;
    int started = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return run;
    int status = 0;
    struct rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0) {
    }
    run.wallMillis =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.millis = millisOf(usage.ru_utime) + millisOf(usage.ru_stime);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakKilobytes = usage.ru_maxrss;
    return run;
}

// The best of `rounds` runs (all must succeed).
inline Run bestOf(int rounds, const std::vector<std::string>& argv) {
    Run best;
    for (int i = 0; i < rounds; ++i) {
        Run run = runQuietly(argv);
        if (!run.ok)
            return run;
        if (i == 0 || run.millis < best.millis)
            best = run;
    }
    return best;
}

}  // namespace qx::bench
