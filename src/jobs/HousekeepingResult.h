#pragma once

#include <string>
#include <utility>

#include "Result.h"

namespace qx {

// What a housekeeping job did: how many files it moved or deleted, how many it could not, and why the
// first failure happened. The lines of the activity log say the same file by file; this is what the
// caller judges (`run` exits 1 and prints the reason when the job failed).
class [[nodiscard]] HousekeepingResult {
public:
    int done = 0;          // files moved or deleted
    int failedFiles = 0;   // files that could not be moved or deleted
    bool stopped = false;  // a stop ended the job between two files
    bool refused = false;  // a step could not begin: a directory refused or unreadable, a setting missing

    // True when every step ran to its end and nothing failed.
    bool ok() const { return failedFiles == 0 && !stopped && !refused; }

    // Why the job failed, for a line on the terminal: the first reason, and how many files failed in
    // all when there were more; empty when ok().
    std::string reason() const {
        if (ok())
            return {};
        std::string text = m_first.empty() ? std::string("it was stopped") : m_first;
        if (failedFiles > 1)
            text += " (" + std::to_string(failedFiles) + " files failed)";
        return text;
    }

    // The same as the one outcome type: a failure with reason() unless ok().
    Result<> outcome() const {
        if (ok())
            return {};
        return Failure(reason());
    }

    // A file that could not be moved or deleted, and why (kept when it is the first reason).
    void fileFailed(std::string why) {
        ++failedFiles;
        keep(std::move(why));
    }
    // A step that could not begin, and why.
    void stepRefused(std::string why) {
        refused = true;
        keep(std::move(why));
    }
    // A stop before `what`.
    void stoppedBefore(std::string what) {
        stopped = true;
        keep("stopped before " + what);
    }

    // Takes in what a further step of the same job did.
    HousekeepingResult& operator+=(const HousekeepingResult& other) {
        done += other.done;
        failedFiles += other.failedFiles;
        stopped = stopped || other.stopped;
        refused = refused || other.refused;
        keep(other.m_first);
        return *this;
    }

private:
    void keep(std::string why) {
        if (m_first.empty())
            m_first = std::move(why);
    }
    std::string m_first;
};

}  // namespace qx
