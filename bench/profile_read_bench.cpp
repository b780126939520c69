// Reads one key of an unchanged 500-key profile file over and over and prints the time per read
// against a bare stat() of the same file measured in the same run. An unchanged file should cost
// about one stat: the parsed copy is reused while the file's stamp holds.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "Profile.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSections = 10;
constexpr int kKeysPerSection = 50;
constexpr int kCalls = 200000;
constexpr int kRounds = 5;

fs::path makeProfile(const fs::path& dir) {
    fs::path file = dir / "bench.ini";
    std::ofstream out(file, std::ios::binary);
    for (int s = 0; s < kSections; ++s) {
        out << "[Section" << s << "]\r\n";
        for (int k = 0; k < kKeysPerSection; ++k)
            out << "Key" << k << "=value of key " << k << " in section " << s << "\r\n";
    }
    return file;
}

template <typename Body>
double nanosPerCall(Body body) {
    auto start = Clock::now();
    for (int i = 0; i < kCalls; ++i)
        body();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kCalls;
}

}  // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "qxbench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    fs::path dir = pattern;
    fs::path file = makeProfile(dir);
    // A file changed within the last timestamp tick is re-read on purpose; let it settle first.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));

    qx::Profile profile(dir);
    std::size_t sink = 0;
    double bestRead = 1e18, bestStat = 1e18;
    for (int round = 0; round < kRounds; ++round) {
        bestRead = std::min(bestRead, nanosPerCall([&] {
                                sink += profile.getString("bench.ini", "section7", "KEY42", "", 256).size();
                            }));
        bestStat = std::min(bestStat, nanosPerCall([&] {
                                struct stat status;
                                sink += ::stat(file.c_str(), &status) == 0 ? 1 : 0;
                            }));
    }
    std::printf("profile read of an unchanged %d-key file: %.0f ns/read\n", kSections * kKeysPerSection,
                bestRead);
    std::printf("bare stat of the same file:              %.0f ns/call\n", bestStat);
    std::printf("ratio read/stat: %.2f (goal: about 1-2)\n", bestRead / bestStat);

    std::error_code ec;
    fs::remove_all(dir, ec);
    return sink == 0 ? 1 : 0;
}
