#include "HousekeepingPlan.h"

#include <cstdio>

#include "Clock.h"
#include "HousekeepingHooks.h"
#include "JobSettings.h"

namespace qx {

namespace {

SysTime monthStart(SysTime time) {
    LocalTime local = toLocal(time);
    return fromLocal(local.year, local.month, 1);
}

// The hour at which `work` of the current period is due.
SysTime dueHour(Housework work, SysTime now) {
    switch (work) {
        case Housework::WeekOne:
            return weekStart(now) + std::chrono::hours(1);
        case Housework::Month:
            return monthStart(now);
        case Housework::WeekMidnight:
        case Housework::Backup:
            break;
    }
    return weekStart(now);
}

std::string& entry(SchedulerRecord& record, Housework work) {
    switch (work) {
        case Housework::WeekMidnight:
            return record.weekMidnight;
        case Housework::WeekOne:
            return record.weekOne;
        case Housework::Month:
            return record.month;
        case Housework::Backup:
            break;
    }
    return record.backup;
}

std::string periodKey(Housework work, SysTime time) {
    return work == Housework::Month ? monthKey(time) : mondayKey(time);
}

constexpr Housework kOrder[] = {Housework::WeekMidnight, Housework::WeekOne, Housework::Month,
                                Housework::Backup};

}  // namespace

std::string mondayKey(SysTime time) {
    LocalTime monday = toLocal(weekStart(time));
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", monday.year, monday.month, monday.day);
    return text;
}

std::string monthKey(SysTime time) {
    LocalTime local = toLocal(time);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", local.year, local.month);
    return text;
}

SchedulerRecord firstStartRecord(SysTime now) {
    const SysTime thisMinute = std::chrono::floor<std::chrono::minutes>(now);
    SchedulerRecord record;
    for (Housework work : kOrder)
        if (dueHour(work, now) < thisMinute)
            entry(record, work) = periodKey(work, now);
    return record;
}

void markNotWanted(SchedulerRecord& record, SysTime now, int moveMode, bool backupActive,
                   bool mondayHousekeeping) {
    if (moveMode != 1) {
        if (!mondayHousekeeping)
            markDone(record, Housework::WeekMidnight, now);
        markDone(record, Housework::WeekOne, now);
    }
    if (moveMode != 2)
        markDone(record, Housework::Month, now);
    if (!backupActive)
        markDone(record, Housework::Backup, now);
}

void markNotWanted(SchedulerRecord& record, SysTime now, const MoverSettings& settings) {
    markNotWanted(record, now, settings.moveMode, settings.autoBackupActive,
                  wantsMondayHousekeeping(settings));
}

std::vector<DueWork> dueWork(const SchedulerRecord& record, SysTime now) {
    std::vector<DueWork> due;
    SchedulerRecord copy = record;
    for (Housework work : kOrder) {
        SysTime hour = dueHour(work, now);
        if (hour <= now && entry(copy, work) != periodKey(work, now))
            due.push_back({work, hour});
    }
    return due;
}

void markDone(SchedulerRecord& record, Housework work, SysTime hour) {
    entry(record, work) = periodKey(work, hour);
}

std::string describe(Housework work, SysTime hour) {
    LocalTime local = toLocal(hour);
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d", local.day, local.month);
    switch (work) {
        case Housework::WeekMidnight:
            return std::string("the weekly 00:00 work of Monday ") + date;
        case Housework::WeekOne:
            return std::string("the weekly 01:00 work of Monday ") + date;
        case Housework::Month: {
            char month[16];
            std::snprintf(month, sizeof month, "%02d.%04d", local.month, local.year);
            return std::string("the monthly work of ") + month;
        }
        case Housework::Backup:
            break;
    }
    return std::string("the backup of Monday ") + date;
}

}  // namespace qx
