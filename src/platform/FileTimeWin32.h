#pragma once

#include <windows.h>

#include "Clock.h"

namespace qx {

// FILETIME counts 100 ns from 1601-01-01, the system clock from 1970-01-01.
inline SysTime fromFileTime(const FILETIME& time) {
    constexpr long long kEpochDifference = 116'444'736'000'000'000LL;
    const long long ticks =
        static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                               time.dwLowDateTime) -
        kEpochDifference;
    return fromUnixTime(ticks / 10'000'000, (ticks % 10'000'000) * 100);
}

inline FILETIME toFileTime(SysTime time) {
    constexpr long long kEpochDifference = 116'444'736'000'000'000LL;
    const long long ticks =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count() / 100 +
        kEpochDifference;
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace qx
