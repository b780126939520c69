#include "WeeklyMove.h"

#include <span>

#include "SiblingCommands.h"

namespace qx {

namespace {

constexpr std::string_view kInfPattern[] = {"*.inf"};

// Empties the previous week's directory of what an earlier cycle of that week number left there
// (`patterns` only) and moves the log directory's files of `patterns` into it; notes `message` and the
// directory. What this cycle filed stays, so running it again harms nothing.
bool moveIntoWeekDirectory(StatisticMover& mover, const MoverContext& context,
                           std::span<const std::string_view> patterns, AgeCheck ageCheck,
                           const char* message) {
    const int previousWeek = context.calendar.previousWeek;
    if (!mover.ensureWeekDirectory(context.logDirectory, previousWeek))
        return false;
    const auto week = mover.periodDirectory(context.logDirectory, previousWeek);
    mover.deleteFiles(week, patterns, earlierCycleBefore(context.now));
    bool ok = mover.moveFiles(mover.native(context.logDirectory), patterns, week, ageCheck, context.now);
    mover.services().log.note(message + week.string());
    return ok;
}

}  // namespace

bool weeklyAtMidnight(StatisticMover& mover, const MoverContext& context) {
    const MoverSettings& settings = context.settings;
    const MoverCalendar& calendar = context.calendar;
    bool ok =
        moveIntoWeekDirectory(mover, context, kInfPattern, AgeCheck::Off, "Moved inf files to directory ");
    if (settings.moveConferWav) {
        // The daily run of the scheduler has done it already.
        if (!settings.moveConferWavDaily)
            mover.hooks().conferenceRecordings(context.now);
    } else if (settings.moveConferWavToSubDir) {
        // Numbered by the week like the deletion at 01:00, which empties the due week's wave directory.
        ok = mover.moveWaveFiles(context.logDirectory, context.waveDirectory, calendar.previousWeek,
                                 context.now) &&
             ok;
    }
    if (settings.delAlarmWav)
        mover.hooks().alarmRecordings(context.now);
    if (settings.deleteMoreFiles)
        mover.hooks().extraDeletion(context.now);
    return ok;
}

bool weeklyAtOne(StatisticMover& mover, const MoverContext& context) {
    const MoverSettings& settings = context.settings;
    const MoverCalendar& calendar = context.calendar;
    Services& s = mover.services();
    bool ok = moveIntoWeekDirectory(mover, context, kStatisticPatterns, AgeCheck::On,
                                    "Move all logfiles to directory ");
    // A wait of a whole cycle (52 weeks, or the 53 that the settings allow) keeps every week: it would
    // name the week just filled or the one before it.
    const bool keepAll = keepsWholeCycle(context);
    if (context.delLogFiles) {
        const auto due = mover.periodDirectory(context.logDirectory, calendar.dueWeek);
        if (keepAll) {
            s.log.note("Keep directory " + due.string() + ": WaitBeforeDel " +
                       std::to_string(settings.waitBeforeDel) + " keeps every week");
        } else {
            mover.deleteFiles(due, kDeletionPatterns);
            s.log.note("Delete all files in directory " + due.string());
            if (settings.moveConferWavToSubDir)
                mover.deleteWaveFiles(context.waveDirectory, calendar.dueWeek);
        }
    }
    if (settings.start2ndBatch) {
        std::string line = sibling::secondBatch(mover.secondBatchProgram(), calendar.previousWeek,
                                                calendar.currentWeek, calendar.month, calendar.year);
        ok = mover.startBatch(line, kStrSecondBatchFailed) && ok;
        if (keepAll)
            s.log.note("Skip " + sibling::secondDeleteBatch(calendar.dueWeek) + ": WaitBeforeDel " +
                       std::to_string(settings.waitBeforeDel) + " keeps every week");
        else
            s.launcher.start(sibling::secondDeleteBatch(calendar.dueWeek), Show::Hidden);
    }
    return ok;
}

}  // namespace qx
