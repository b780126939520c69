#include "TimedTasks.h"

#include <cstdio>

#include "ProfileNames.h"
#include "SiblingCommands.h"

namespace qx {

namespace {

constexpr int kTaskCount = 49;

std::string numberedKey(const char* name, int number) {
    char key[32];
    std::snprintf(key, sizeof key, "%s%d", name, number);
    return key;
}

}  // namespace

std::vector<TimedTask> readTimedTasks(const Profile& profile) {
    std::vector<TimedTask> tasks;
    const char* file = ini::kMover;
    const char* section = ini::kStartMore;
    for (int n = 1; n <= kTaskCount; ++n) {
        TimedTask task;
        task.number = n;
        task.program = profile.getString(file, section, numberedKey("Prog", n), "", 128);
        if (task.program.empty())
            break;
        task.day = profile.getInt(file, section, numberedKey("Day", n), 0);
        task.hour = profile.getInt(file, section, numberedKey("Time", n), 0);
        task.type = profile.getInt(file, section, numberedKey("Type", n), 0);
        task.weekParameter = profile.getInt(file, section, numberedKey("WeekParameter", n), 0) == 1;
        tasks.push_back(std::move(task));
    }
    return tasks;
}

bool dayMatches(int day, int weekday) {
    if (day <= 0)
        return true;
    if (day >= 1 && day <= 6)
        return day == weekday;
    if (day == 7)
        return weekday == 0;
    if (day == 8)
        return weekday >= 1 && weekday <= 5;
    return false;
}

std::string moduleParameters(const Profile& profile, int number) {
    char section[40];
    std::snprintf(section, sizeof section, ini::kQxeTaskParameter, number);
    std::string parameters;
    for (int k = 1; k <= 9; ++k) {
        std::string value = profile.getString(ini::kMover, section, numberedKey("s", k), "", 80);
        if (!value.empty())
            parameters += sibling::textParameter(k, value);
    }
    for (int k = 1; k <= 9; ++k) {
        int value = profile.getInt(ini::kMover, section, numberedKey("i", k), 0);
        if (value > 0)
            parameters += sibling::intParameter(k, value);
    }
    return parameters;
}

std::optional<std::string> timedTaskCommand(const Profile& profile, const TimedTask& task,
                                            const MoverCalendar& calendar) {
    switch (task.type) {
        case 0:
            if (!task.weekParameter)
                return task.program;
            return sibling::withWeekParameters(task.program, calendar.previousWeek, calendar.currentWeek,
                                               calendar.month, calendar.year);
        case 1:
            return sibling::qxeModule(task.program, moduleParameters(profile, task.number));
        case 2:
            return sibling::timedAlarm(task.program);
        default:
            return std::nullopt;
    }
}

void runTimedTasks(Services& services, SysTime now, const MoverCalendar& calendar) {
    LocalTime local = toLocal(now);
    for (const TimedTask& task : readTimedTasks(services.profile)) {
        if (!dayMatches(task.day, local.weekday) || task.hour != local.hour)
            continue;
        std::optional<std::string> command = timedTaskCommand(services.profile, task, calendar);
        if (!command)
            continue;
        services.launcher.start(*command, Show::Shown);
        switch (task.type) {
            case 0:
                services.log.note("Start program " + *command);
                break;
            case 1:
                services.log.note("Start qxe module " + *command);
                break;
            default:
                services.log.note("Start alarm " + task.program);
                break;
        }
    }
}

}  // namespace qx
