#include "CycleStamp.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace qx {

namespace {

// A record is a few lines; a file of more is no record of ours.
constexpr std::size_t kMaxCycles = 64;

std::optional<std::chrono::sys_days> parseDay(std::string_view text) {
    using namespace std::chrono;
    int y = 0;
    unsigned m = 0, d = 0;
    char tail = 0;
    const std::string line(text.substr(0, 32));
    if (std::sscanf(line.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &tail) < 3)
        return std::nullopt;
    const year_month_day date{year{y}, month{m}, day{d}};
    if (!date.ok() || y < 1900 || y > 2400)
        return std::nullopt;
    return sys_days{date};
}

}  // namespace

std::string formatDay(std::chrono::sys_days day) {
    const std::chrono::year_month_day date{day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

CycleStamp readCycleStamp(const std::filesystem::path& directory) {
    CycleStamp stamp;
    std::ifstream in(directory / kCycleStampName, std::ios::binary);
    if (!in)
        return stamp;
    stamp.present = true;
    std::string line;
    while (stamp.cycles.size() < kMaxCycles && std::getline(in, line)) {
        if (line.size() > 64)
            break;
        if (std::optional<std::chrono::sys_days> day = parseDay(line))
            stamp.cycles.push_back(*day);
    }
    std::sort(stamp.cycles.begin(), stamp.cycles.end());
    stamp.cycles.erase(std::unique(stamp.cycles.begin(), stamp.cycles.end()), stamp.cycles.end());
    return stamp;
}

std::string formatCycleStamp(const CycleStamp& stamp) {
    std::string text;
    for (std::chrono::sys_days day : stamp.cycles)
        text += formatDay(day) + "\n";
    return text;
}

ClaimDecision decideClaim(const CycleStamp& stamp, std::chrono::sys_days filing, int waitWeeks) {
    ClaimDecision decision;
    decision.after.present = true;
    if (std::find(stamp.cycles.begin(), stamp.cycles.end(), filing) != stamp.cycles.end()) {
        decision.alreadyClaimed = true;
        decision.after = stamp;
        return decision;
    }
    decision.earlier = stamp.cycles;
    const std::chrono::days wait{7 * std::max(waitWeeks, 0)};
    // The files of several cycles cannot be told apart by the record, so they go only all together.
    decision.emptyAll = std::all_of(stamp.cycles.begin(), stamp.cycles.end(),
                                    [&](std::chrono::sys_days cycle) { return filing - cycle >= wait; });
    if (!decision.emptyAll)
        decision.after.cycles = stamp.cycles;
    decision.after.cycles.push_back(filing);
    std::sort(decision.after.cycles.begin(), decision.after.cycles.end());
    return decision;
}

DueDecision decideDue(const CycleStamp& stamp, std::chrono::sys_days dueFilled) {
    DueDecision decision;
    decision.after.present = stamp.present;
    for (std::chrono::sys_days cycle : stamp.cycles)
        (cycle <= dueFilled ? decision.expired : decision.younger).push_back(cycle);
    decision.after.cycles = decision.younger;
    return decision;
}

}  // namespace qx
