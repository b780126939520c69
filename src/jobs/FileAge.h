#pragma once

#include <chrono>

#include "Clock.h"

namespace qx {

// The age rule of the deletion and archiving jobs, counted in whole seconds as the installation's
// programs count file times.
inline constexpr std::chrono::seconds kWeek{604'800};

// The moment before which a file counts as old: `weeks` weeks before `now`, on a whole second.
inline SysTime ageThreshold(SysTime now, int weeks) {
    return std::chrono::floor<std::chrono::seconds>(now) - weeks * kWeek;
}

// True when `lastWrite` lies in a second before `threshold`; a file written within the threshold's own
// second is not old yet.
inline bool isOlder(SysTime lastWrite, SysTime threshold) {
    return std::chrono::floor<std::chrono::seconds>(lastWrite) < threshold;
}

}  // namespace qx
