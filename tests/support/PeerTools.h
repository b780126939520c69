#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "Sandbox.h"

namespace qx::test {

// Runs the programs that our files are checked against (python3-dbf, shapelib's tools). A missing
// peer fails the test instead of skipping it: scripts/install-deps.sh installs them all.

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// The peer programs are Linux programs: a test that needs them is skipped on Windows, with this
// reason, from the point where it would run one.
#ifdef _WIN32
#define QX_SKIP_WITHOUT_LINUX_PEERS() \
    GTEST_SKIP() << "the peer programs (python3-dbf, shapelib, GDAL) run only on Linux"
inline constexpr bool kLinuxPeers = false;
#else
#define QX_SKIP_WITHOUT_LINUX_PEERS() static_cast<void>(0)
inline constexpr bool kLinuxPeers = true;
#endif

inline std::string shellQuote(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

#ifdef _WIN32
#define POPEN ::_popen
#else
#define POPEN ::popen
#endif

inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = POPEN((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
#ifdef _WIN32
    result.exitCode = ::_pclose(pipe);
#else
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

// True when `tool` is there; otherwise records a failure naming it.
inline bool havePeer(const std::filesystem::path& tool) {
    if (std::filesystem::exists(tool))
        return true;
    ADD_FAILURE() << tool << " is missing; run scripts/install-deps.sh";
    return false;
}

// The interpreter that has the dbf and dbfread modules (the one on PATH may not).
inline const std::filesystem::path kPython = "/usr/bin/python3";

// Runs `script` with the Debian python3 and its dbf modules; `arguments` are appended quoted. Records
// a failure when the interpreter or a module is missing.
inline CommandResult runPython(const Sandbox& sandbox, std::string_view script,
                               std::initializer_list<std::string> arguments = {}) {
    if (!havePeer(kPython))
        return {};
    std::filesystem::path file = sandbox.file("peer_script.py", script);
    std::string command = shellQuote(kPython.string()) + " " + shellQuote(file.string());
    for (const std::string& argument : arguments)
        command += " " + shellQuote(argument);
    CommandResult result = runCommand(command);
    if (result.output.find("ModuleNotFoundError") != std::string::npos)
        ADD_FAILURE() << "python3-dbf or python3-dbfread missing; run scripts/install-deps.sh\n"
                      << result.output;
    return result;
}

}  // namespace qx::test
