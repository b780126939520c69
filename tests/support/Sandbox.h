#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::test {

// A temporary directory of its own for one test, removed with everything below it at the end.
class Sandbox {
public:
    Sandbox();
    // Below `parent` instead of the temporary directory (a memory file system, for work that syncs
    // thousands of files).
    explicit Sandbox(const std::filesystem::path& parent);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& root() const { return m_root; }
    // In the system's own spelling: each `/` of `relative` is a backslash on Windows.
    std::filesystem::path path(std::string_view relative) const {
        return (m_root / relative).make_preferred();
    }

    // Writes a file (creating its directories); `mtime` sets the last-write time when given.
    std::filesystem::path file(std::string_view relative, std::string_view content = {},
                               std::optional<std::chrono::system_clock::time_point> mtime = {}) const;
    std::filesystem::path dir(std::string_view relative) const;
    // A script that appends its argument vector, one line per start, to `record`.
    std::filesystem::path recordingScript(std::string_view relative,
                                          const std::filesystem::path& record) const;

    std::string read(std::string_view relative) const;
    bool exists(std::string_view relative) const;
    void makeReadOnly(std::string_view relative) const;

private:
    std::filesystem::path m_root;
};

std::string readFile(const std::filesystem::path& path);

// The text of Sandbox::recordingScript(): a shell script, a batch file on Windows. Each start appends
// one line "NAME [ARG1] [ARG2]...", written with one append, so that children running at the same
// time do not mix their lines.
std::string recordingScriptText(const std::filesystem::path& record);

// The names of a directory's entries, sorted; none when it cannot be read.
std::vector<std::string> namesIn(const std::filesystem::path& directory);

// Whether the tests run under Wine, whose profile functions lay files out otherwise than Windows.
bool underWine();

// Puts the process into Central European time (Europe/Berlin), which the tests' dates are written in.
// On Windows the zone is the system's (the test run's TZ sets Wine's): false when that is another
// zone, and the caller skips.
bool useCentralEuropeanTime();
#define QX_REQUIRE_CENTRAL_EUROPEAN_TIME()                                         \
    do {                                                                           \
        if (!::qx::test::useCentralEuropeanTime())                                 \
            GTEST_SKIP() << "the system's time zone is not Central European here"; \
    } while (false)

// Plants a symbolic link `link` to `target` (a directory link when `directory`); the reason why not
// where the system makes none (Wine: "Function not implemented"), for the caller's skip.
std::optional<std::string> plantLink(const std::filesystem::path& target, const std::filesystem::path& link,
                                     bool directory = false);
#define QX_PLANT_LINK_OR_SKIP(...)                                         \
    do {                                                                   \
        if (auto why = ::qx::test::plantLink(__VA_ARGS__))                 \
            GTEST_SKIP() << "cannot plant a symbolic link here: " << *why; \
    } while (false)

// Puts the process into the zone `tz` (a TZ name such as "America/Santiago") and answers true where
// the system takes a zone per process (POSIX); false on Windows, whose zone is the system's.
bool useTimeZone(const char* tz);

// What the file system knows a file by (the inode number, the file index on Windows): the same after
// a rename, another after a copy. 0 when the file cannot be read.
std::uint64_t fileIdentity(const std::filesystem::path& path);

// The resident memory of this process and its open descriptors (handles on Windows).
struct ProcessFootprint {
    long residentKb = 0;
    int descriptors = 0;
};
ProcessFootprint processFootprint();

// Sets the last-write (and access) time of a file or directory.
void setMtime(const std::filesystem::path& path, std::chrono::system_clock::time_point mtime);

// Makes a new directory `prefix` + a random suffix below `parent`, readable by its owner only where the
// system has such modes; throws when none can be made.
std::filesystem::path makeUniqueDirectory(const std::filesystem::path& parent, std::string_view prefix);

}  // namespace qx::test
