// Builds the alarm list of a 100,000-record alarm table (T01..T99 laid out as the alarm server's
// vm001.dbf, all 99 fields of every record read as the alarm list reads them) and prints the time
// against `dbfdump` of the same table measured in the same run. Goal: at most 0.03 of dbfdump's
// processor time.
//
// usage: alarm_list_bench [TABLE]   (without TABLE a fresh one is made in a temporary directory)

#include <cstdlib>
#include <filesystem>

#include "BenchTable.h"
#include "CAlarmTable.h"

namespace fs = std::filesystem;
namespace {

constexpr unsigned kRecords = 100000;
constexpr int kOurRounds = 5;
constexpr int kPeerRounds = 2;

// The text lengths of T31..T58 (the alarm record's sizes less one); the other fields are N(10,0).
unsigned textLength(unsigned n) {
    if (n >= 31 && n <= 33)
        return 49;
    if (n >= 34 && n <= 40)
        return 64;
    if (n >= 41 && n <= 44)
        return 99;
    if (n >= 45 && n <= 52)
        return 29;
    if (n == 53)
        return 59;
    if (n >= 54 && n <= 58)
        return 21;
    return 0;
}

// Record r (alarm number r - 1): every third number an alarm definition (T02 = 91) named "Alarm <k>".
bool writeAlarmTable(const std::string& path, unsigned records) {
    std::vector<qx::bench::Field> fields;
    for (unsigned n = 1; n <= 99; ++n) {
        char name[4];
        std::snprintf(name, sizeof name, "T%02u", n);
        fields.push_back(textLength(n) ? qx::bench::Field{name, 'C', textLength(n)}
                                       : qx::bench::Field{name, 'N', 10});
    }
    return qx::bench::writeTable(path, fields, records, [&](unsigned r, char* record) {
        char* at = record;
        for (unsigned n = 1; n <= 99; ++n) {
            unsigned length = textLength(n);
            if (n == 2)
                qx::bench::putRight(at, 10, (r - 1) % 3 == 0 ? "91" : "90");
            else if (n == 33)
                qx::bench::putText(at, "Alarm " + std::to_string(r - 1));
            else if (length)
                qx::bench::putText(at, std::to_string(n) + ":" + std::to_string(r));
            else
                qx::bench::putRight(at, 10, std::to_string(n * 100000 + r));
            at += length ? length : 10;
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dbfdump = "/usr/bin/dbfdump";
    if (access(dbfdump.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "needs %s: run scripts/install-deps.sh\n", dbfdump.c_str());
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
        if (!writeAlarmTable(table.string(), kRecords)) {
            std::fprintf(stderr, "cannot write %s\n", table.c_str());
            return 1;
        }
    }

    std::size_t listed = 0;
    unsigned records = 0;
    double ours = 1e300;
    for (int round = 0; round < kOurRounds; ++round) {
        double start = qx::bench::processMillis();
        qx::CAlarmTable alarms;
        if (!alarms.Open(table.c_str())) {
            std::fprintf(stderr, "cannot open %s\n", table.c_str());
            return 1;
        }
        // Every alarm number the table holds, so that both sides read every record.
        records = alarms.RecCount();
        listed = qx::collectAlarms(alarms, 0, int(records) - 1).size();
        alarms.Close();
        ours = std::min(ours, qx::bench::processMillis() - start);
    }
    qx::bench::Run peer = qx::bench::bestOf(kPeerRounds, {dbfdump, table.string()});
    if (!dir.empty())
        fs::remove_all(dir);
    if (!peer.ok) {
        std::fprintf(stderr, "dbfdump failed on %s\n", table.c_str());
        return 1;
    }
    double ratio = ours / peer.millis;
    std::printf("alarm list of %u records x 99 fields: %zu alarms\n", records, listed);
    std::printf("  ours (best of %d)     %9.2f ms processor\n", kOurRounds, ours);
    std::printf("  dbfdump (best of %d)  %9.2f ms processor, %9.2f ms wall\n", kPeerRounds, peer.millis,
                peer.wallMillis);
    std::printf("  ratio ours/dbfdump   %9.4f  (goal <= 0.03: %s)\n", ratio,
                ratio <= 0.03 ? "met" : "MISSED");
    return 0;
}
