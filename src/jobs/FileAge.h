#pragma once

#include <algorithm>
#include <chrono>

#include "Clock.h"

namespace qx {

// The age rule of the deletion and archiving jobs, counted in whole seconds as the installation's
// programs count file times.
inline constexpr std::chrono::seconds kWeek{604'800};

// A limit beyond any file time the clock can hold (about 190 years): more weeks count as this many,
// as a threshold further back would overflow the clock's count.
inline constexpr int kMaxAgeWeeks = 10'000;

// The moment before which a file counts as old: `weeks` weeks before `now`, on a whole second. Weeks
// are taken between 0 and kMaxAgeWeeks.
inline SysTime ageThreshold(SysTime now, int weeks) {
    return std::chrono::floor<std::chrono::seconds>(now) - std::clamp(weeks, 0, kMaxAgeWeeks) * kWeek;
}

// True when `lastWrite` lies in a second before `threshold`; a file written within the threshold's own
// second is not old yet.
inline bool isOlder(SysTime lastWrite, SysTime threshold) {
    return std::chrono::floor<std::chrono::seconds>(lastWrite) < threshold;
}

}  // namespace qx
