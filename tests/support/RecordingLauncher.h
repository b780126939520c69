#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Launcher.h"

namespace qx::test {

// A launcher that records every command line ("run LINE" or "start LINE"). Alone it starts nothing and
// fails the lines whose program (first word) is in `missing`. With an inner launcher it also hands each
// line on, and turns a direct start into a waited-for run, so that a stub script has written its record
// before the test looks.
class RecordingLauncher : public Launcher {
public:
    explicit RecordingLauncher(Launcher* inner = nullptr) : forwardTo(inner) {}

    Result<> run(std::string_view line, std::chrono::seconds limit = kDefaultLimit) override {
        record("run ", line);
        return forwardTo ? forwardTo->run(line, limit) : succeeds(line);
    }

    Result<> start(std::string_view line, Show show) override {
        record(show == Show::Shown ? "start shown " : "start hidden ", line);
        return forwardTo ? forwardTo->run(line) : succeeds(line);
    }

    std::vector<std::string> calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    std::set<std::string> missing;
    Launcher* forwardTo;

private:
    void record(std::string_view kind, std::string_view line) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::string(kind) + std::string(line));
    }

    Result<> succeeds(std::string_view line) const {
        std::vector<std::string> words = splitCommandLine(line);
        if (words.empty() || missing.count(words[0]))
            return Failure("program not found", ENOENT);
        return {};
    }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

}  // namespace qx::test
