#include "TimedTasks.h"

#include "ActivityLog.h"
#include "Clock.h"
#include "JobRecord.h"
#include "Launcher.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "SettingKeys.h"
#include "SiblingCommands.h"

namespace qx {

std::vector<TimedTask> readTimedTasks(const Profile& profile, std::optional<SettingReport> report) {
    const SettingReader settings(profile, report);
    std::vector<TimedTask> tasks;
    for (int n = 1; n <= kListEntries; ++n) {
        if (settings.text(keys::kTaskProgram, n).empty())
            break;
        tasks.push_back(readTimedTask(settings, n));
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

std::string moduleParameters(const SettingReader& settings, int number) {
    const TaskParameters p = readTaskParameters(settings, number);
    std::string parameters;
    for (int k = 1; k <= 9; ++k)
        if (!p.texts[k - 1].empty())
            parameters += sibling::textParameter(k, p.texts[k - 1]);
    for (int k = 1; k <= 9; ++k)
        if (p.numbers[k - 1] > 0)
            parameters += sibling::intParameter(k, p.numbers[k - 1]);
    return parameters;
}

std::optional<std::string> timedTaskCommand(const SettingReader& settings, const TimedTask& task,
                                            const MoverCalendar& calendar) {
    switch (task.type) {
        case 0:
            if (!task.weekParameter)
                return task.program;
            return sibling::withWeekParameters(task.program, calendar.previousWeek, calendar.currentWeek,
                                               calendar.month, calendar.year);
        case 1:
            return sibling::qxeModule(task.program, moduleParameters(settings, task.number));
        case 2:
            return sibling::timedAlarm(task.program);
        default:
            return std::nullopt;
    }
}

Result<> runTimedTasks(Services& services, SysTime now, const MoverCalendar& calendar,
                       std::optional<int> hour) {
    LocalTime local = toLocal(now);
    const int dueHour = hour.value_or(local.hour);
    int due = 0;
    FailureTally failed("tasks");
    for (const TimedTask& task : readTimedTasks(services.profile, reportOf(services))) {
        if (!dayMatches(task.day, local.weekday) || task.hour != dueHour)
            continue;
        std::optional<std::string> command = timedTaskCommand(settingsOf(services), task, calendar);
        if (!command)
            continue;
        const Result<> started = services.launcher.start(*command, Show::Shown);
        ++due;
        if (!started)
            failed.add(Failure("cannot start task " + std::to_string(task.number) + " (" + started.reason() +
                                   "): " + *command,
                               started.number()));
        const std::string prefix = started ? "Start " : "Cannot start ";
        switch (task.type) {
            case 0:
                services.log.note(prefix + "program " + *command);
                break;
            case 1:
                services.log.note(prefix + "qxe module " + *command);
                break;
            default:
                services.log.note(prefix + "alarm " + task.program);
                break;
        }
    }
    Result<> outcome = failed.outcome();
    // An hour without a task of its own is no run of the timed tasks.
    if (due > 0)
        reportJob(services, Job::TimedTasks, now, outcome.ok(), outcome.reason());
    return outcome;
}

}  // namespace qx
