#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Which filing cycles a week directory holds. A cycle is named by the Monday on which the weekly move
// began to fill the directory (a rerun, a catch-up or "move now" later that week belongs to the same
// cycle). The record lies in the directory itself, in the hidden file ".qxcycle" (one "YYYY-MM-DD" a
// line), and is written before the first file of a new cycle is filed, so that what a cycle filed is
// known as its own whatever the files' own times say: a file that nobody wrote for a year is filed
// with its old time, and a rerun must not take it for a leftover of last year.
inline constexpr std::string_view kCycleStampName = ".qxcycle";

struct CycleStamp {
    bool present = false;                       // false: a directory filled before the record existed
    std::vector<std::chrono::sys_days> cycles;  // oldest first
};

// The record of `directory`; not present when there is none. Lines that are no date are skipped, and
// at most a few dozen are read.
CycleStamp readCycleStamp(const std::filesystem::path& directory);

// The record's text.
std::string formatCycleStamp(const CycleStamp& stamp);

// What a new cycle does when it begins to fill a week directory.
struct ClaimDecision {
    bool alreadyClaimed = false;                 // this cycle filled it before: nothing to empty
    bool emptyAll = false;                       // every earlier cycle has had its wait: its files go first
    std::vector<std::chrono::sys_days> earlier;  // the cycles whose files go (emptyAll) or stay
    CycleStamp after;                            // the record to write before the first file is filed
};

// `filing` begins to fill a directory with record `stamp`. With `waitWeeks` (> 0: the due weeks are
// emptied) an earlier cycle whose wait has not yet passed keeps its files until its due week: the
// numbers come round after 51 weeks in some years, and a wait of 52 weeks must hold all the same.
// Without a wait, the earlier cycles' files go (the number came round a year later).
ClaimDecision decideClaim(const CycleStamp& stamp, std::chrono::sys_days filing, int waitWeeks);

// What the due week's emptying does for the cycle filled on `dueFilled`.
struct DueDecision {
    std::vector<std::chrono::sys_days> expired;  // cycles that have waited: their files go
    std::vector<std::chrono::sys_days> younger;  // cycles that filled the directory since: they stay
    CycleStamp after;
};

DueDecision decideDue(const CycleStamp& stamp, std::chrono::sys_days dueFilled);

// "YYYY-MM-DD".
std::string formatDay(std::chrono::sys_days day);

}  // namespace qx
