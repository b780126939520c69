// Two things a writing program of the installation meets when it uses CDatabase:
//  1. appending records in the durable default (every change synced at once) against the batch mode
//     (SetFlush(0): written as the table moves on, synced at Flush/Close), per record and as a ratio;
//  2. a reader beside a writer in another process: a million reads of records that the writer keeps
//     rewriting, one across a page boundary and one inside a page, each record checked to be whole.
//     Goal: no torn record. (The alarm list's own cost is alarm_list_bench.)
//
// usage: table_write_bench [DURABLE_RECORDS [BATCH_RECORDS [READS]]]   (default 500, 100000, 1000000)

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "qxclass/CDatabase.h"

namespace fs = std::filesystem;
namespace {

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Appends `records` records of three fields; returns the wall time in seconds, < 0 on failure.
double appendRecords(const std::string& table, unsigned records, bool batch) {
    FIELD4INFO fields[] = {
        {"NAME", 'C', 30, 0}, {"NUMBER", 'N', 10, 0}, {"DAY", 'D', 8, 0}, {nullptr, 0, 0, 0}};
    CDatabase db;
    if (!db.Create(table.c_str(), fields))
        return -1;
    if (batch)
        db.SetFlush(0);
    auto start = std::chrono::steady_clock::now();
    for (unsigned i = 1; i <= records; ++i) {
        std::string name = "record " + std::to_string(i);
        if (!db.Append() || !db.Replace("NAME", name.c_str()) || !db.Replace("NUMBER", int(i)) ||
            !db.Replace("DAY", "20261209"))
            return -1;
    }
    if (batch)
        db.Flush();
    if (!db.Close())
        return -1;
    return seconds(std::chrono::steady_clock::now() - start);
}

// Reads records 2 and 6 of a table rewritten by another process, `reads` times; the torn ones.
long tornReads(const std::string& table, long reads, double& elapsed) {
    FIELD4INFO fields[] = {{"A", 'C', 254, 0}, {"B", 'C', 254, 0}, {"C", 'C', 254, 0}, {nullptr, 0, 0, 0}};
    CDatabase made;
    if (!made.Create(table.c_str(), fields))
        return -1;
    for (int i = 0; i < 8; ++i)
        made.Append();
    made.Close();
    // Records of 763 bytes after a 129-byte header: record 6 spans 3944 to 4707, record 2 lies in
    // the first page.
    const unsigned watched[] = {2, 6};
    pid_t writer = ::fork();
    if (writer == 0) {
        CDatabase db;
        if (!db.Open(table.c_str()))
            ::_exit(1);
        db.SetFlush(0);
        std::string a(254, 'A'), b(254, 'B');
        for (unsigned round = 0;; ++round)
            for (unsigned record : watched) {
                db.Go(record);
                for (const char* field : {"A", "B", "C"})
                    db.Replace(field, (round % 2 ? a : b).c_str());
                db.Go(1);
            }
    }
    CDatabase db;
    db.Open(table.c_str());
    long torn = 0;
    char first[256], field[256];
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < reads; ++i) {
        db.Go(watched[i % 2]);
        db.Read("A", first, sizeof first);
        bool whole = std::strspn(first, first[0] == 'A' ? "A" : "B") == std::strlen(first);
        for (const char* name : {"B", "C"}) {
            db.Read(name, field, sizeof field);
            whole = whole && std::strcmp(field, first) == 0;
        }
        torn += whole ? 0 : 1;
    }
    elapsed = seconds(std::chrono::steady_clock::now() - start);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    return torn;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned durable = argc > 1 ? unsigned(std::strtoul(argv[1], nullptr, 10)) : 500;
    unsigned batch = argc > 2 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : 100000;
    long reads = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 1000000;
    std::string pattern = (fs::temp_directory_path() / "qxbench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path dir = pattern;
    double durableSeconds = appendRecords((dir / "durable.dbf").string(), durable, false);
    double batchSeconds = appendRecords((dir / "batch.dbf").string(), batch, true);
    double readSeconds = 0;
    long torn = tornReads((dir / "shared.dbf").string(), reads, readSeconds);
    fs::remove_all(dir);
    if (durableSeconds < 0 || batchSeconds < 0 || torn < 0) {
        std::fprintf(stderr, "a table could not be written in %s\n", dir.c_str());
        return 1;
    }
    double durablePer = durableSeconds / durable, batchPer = batchSeconds / batch;
    std::printf("appending records (Append and three Replace each):\n");
    std::printf(
        "  durable, synced at every change  %8u records %9.3f s  %9.3f ms/record  (1,000,000: %.1f h)\n",
        durable, durableSeconds, durablePer * 1e3, durablePer * 1e6 / 3600);
    std::printf(
        "  batch, SetFlush(0), Flush/Close  %8u records %9.3f s  %9.3f ms/record  (1,000,000: %.1f s)\n",
        batch, batchSeconds, batchPer * 1e3, batchPer * 1e6);
    std::printf("  ratio durable/batch per record  %9.1f\n", durablePer / batchPer);
    std::printf("reads beside a writer in another process: %ld reads in %.2f s, %ld torn (goal: 0: %s)\n",
                reads, readSeconds, torn, torn == 0 ? "met" : "MISSED");
    return torn == 0 ? 0 : 1;
}
