#include <windows.h>

#include "Clock.h"
#include "FileTimeWin32.h"

namespace qx {

// The local time comes from the system's time-zone rules (the C runtime's TZ handling here knows no
// zone names such as Europe/Berlin and would silently take UTC). The zone's current rules serve every
// year: the Ex functions with rules per year are missing from Wine.

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar; month and day may lie outside
// their ranges and carry over, as mktime lets them.
long long daysFromCivil(long long year, long long month, long long day) {
    year += (month - 1) / 12;
    month = (month - 1) % 12 + 1;
    if (month <= 0) {
        month += 12;
        --year;
    }
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

SYSTEMTIME toSystemTime(long long seconds) {
    FILETIME file = toFileTime(SysTime(std::chrono::seconds(seconds)));
    SYSTEMTIME system{};
    FileTimeToSystemTime(&file, &system);
    return system;
}

}  // namespace

LocalTime toLocal(SysTime time) {
    FILETIME file = toFileTime(time);
    SYSTEMTIME utc{}, local{};
    FileTimeToSystemTime(&file, &utc);
    TIME_ZONE_INFORMATION zone{};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID ||
        !SystemTimeToTzSpecificLocalTime(&zone, &utc, &local))
        local = utc;
    LocalTime out;
    out.year = local.wYear;
    out.month = local.wMonth;
    out.day = local.wDay;
    out.hour = local.wHour;
    out.minute = local.wMinute;
    out.second = local.wSecond;
    out.weekday = local.wDayOfWeek;
    out.yearDay = static_cast<int>(daysFromCivil(local.wYear, local.wMonth, local.wDay) -
                                   daysFromCivil(local.wYear, 1, 1)) +
                  1;
    return out;
}

SysTime fromLocal(int year, int month, int day, int hour, int minute, int second) {
    const long long seconds =
        daysFromCivil(year, month, day) * 86400LL + hour * 3600LL + minute * 60LL + second;
    SYSTEMTIME local = toSystemTime(seconds), utc{};
    TIME_ZONE_INFORMATION zone{};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID ||
        !TzSpecificLocalTimeToSystemTime(&zone, &local, &utc))
        return SysTime(std::chrono::seconds(seconds));
    FILETIME file{};
    SystemTimeToFileTime(&utc, &file);
    return fromFileTime(file);
}

}  // namespace qx
