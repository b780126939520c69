#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace qx::test {

struct BinaryResult {
    int exitCode = -1;  // -1 when it did not end by itself
    std::string out;
    std::string err;
};

// Runs `program` with `args` (no shell), with `env` added to the environment and standard input
// empty; kills it after `limit`.
BinaryResult runBinary(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env = {},
                       std::chrono::seconds limit = std::chrono::seconds(60));

// Starts `program` in the background with `env` added to the environment; standard output goes to
// `outFile`, standard error to `outFile` + ".err". Returns its process id.
int spawnBinary(const std::filesystem::path& program, const std::vector<std::string>& args,
                const std::filesystem::path& outFile, const std::vector<std::string>& env = {});

// Waits for the child `pid` at most `limit`; its exit code, or -1 when it had to be killed (SIGKILL) or
// died of a signal.
int waitChild(int pid, std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace qx::test
