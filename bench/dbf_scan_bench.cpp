// `qxmover dbf` of a 1,000,000-record table against `dbfdump` of the same table, both writing to
// /dev/null, measured in the same run. Goal: at most 0.1 of dbfdump's processor time, with flat peak
// memory.
//
// usage: dbf_scan_bench [RECORDS]   (default 1,000,000; the table is made in a temporary directory)

#include <cstdlib>
#include <filesystem>

#include "BenchTable.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const std::string dbfdump = "/usr/bin/dbfdump";
    if (access(dbfdump.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "needs %s: run scripts/install-deps.sh\n", dbfdump.c_str());
        return 1;
    }
    unsigned records = argc > 1 ? unsigned(std::strtoul(argv[1], nullptr, 10)) : 1'000'000;
    std::string pattern = (fs::temp_directory_path() / "qxbench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path dir = pattern;
    std::string table = (dir / "scan.dbf").string();
    std::vector<qx::bench::Field> fields = {
        {"NAME", 'C', 20}, {"NUMBER", 'N', 8}, {"AMOUNT", 'N', 10, 2}, {"DAY", 'D', 8}, {"OK", 'L', 1}};
    bool written = qx::bench::writeTable(table, fields, records, [](unsigned n, char* r) {
        qx::bench::putText(r, "Name " + std::to_string(n));
        qx::bench::putRight(r + 20, 8, std::to_string(n));
        qx::bench::putRight(r + 28, 10, std::to_string(n % 100000) + "." + std::to_string(10 + n % 90));
        qx::bench::putText(r + 38, "2026" + std::string(n % 2 ? "12" : "01") + "07");
        r[46] = n % 3 ? 'T' : 'F';
    });
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", table.c_str());
        return 1;
    }
    qx::bench::Run ours = qx::bench::bestOf(5, {QX_BINARY, "dbf", table});
    qx::bench::Run peer = qx::bench::bestOf(2, {dbfdump, table});
    fs::remove_all(dir);
    if (!ours.ok || !peer.ok) {
        std::fprintf(stderr, "%s failed\n", ours.ok ? "dbfdump" : "qxmover dbf");
        return 1;
    }
    double ratio = ours.millis / peer.millis;
    std::printf("qxmover dbf of a %u-record table (%zu fields)\n", records, fields.size());
    std::printf("  ours (best of 5)     %9.1f ms processor, %9.1f ms wall, peak %6.1f MB\n", ours.millis,
                ours.wallMillis, ours.peakKilobytes / 1024.0);
    std::printf("  dbfdump (best of 2)  %9.1f ms processor, %9.1f ms wall, peak %6.1f MB\n", peer.millis,
                peer.wallMillis, peer.peakKilobytes / 1024.0);
    std::printf("  ratio ours/dbfdump   %9.4f  (goal <= 0.1: %s)\n", ratio, ratio <= 0.1 ? "met" : "MISSED");
    return 0;
}
