#include "WeeklyMove.h"

#include "SiblingCommands.h"

namespace qx {

namespace {

constexpr std::string_view kInfPattern[] = {"*.inf"};
constexpr std::string_view kWavePattern[] = {"*.wav"};

}  // namespace

bool weeklyAtMidnight(StatisticMover& mover, const MoverContext& context) {
    const MoverSettings& settings = context.settings;
    const MoverCalendar& calendar = context.calendar;
    Services& s = mover.services();
    const auto logDirectory = mover.native(context.logDirectory);
    bool ok = mover.ensureWeekDirectory(context.logDirectory, calendar.previousWeek);
    if (ok) {
        const auto week = mover.periodDirectory(context.logDirectory, calendar.previousWeek);
        mover.deleteFiles(week, kInfPattern);
        ok = mover.moveFiles(logDirectory, kInfPattern, week, AgeCheck::Off, context.now);
        s.log.note("Moved inf files to directory " + week.string());
    }
    if (settings.moveConferWav) {
        // The daily run of the scheduler has done it already.
        if (!settings.moveConferWavDaily)
            mover.hooks().conferenceRecordings(context.now);
    } else if (settings.moveConferWavToSubDir) {
        // Numbered by the week like the deletion at 01:00, which empties the due week's wave directory.
        const auto wave = mover.waveDirectory(context.waveDirectory, calendar.previousWeek);
        ok = mover.moveFiles(logDirectory, kWavePattern, wave, AgeCheck::Off, context.now, true) && ok;
        s.log.note("Move wavfiles to directory " + wave.string());
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
    const auto logDirectory = mover.native(context.logDirectory);
    bool ok = mover.ensureWeekDirectory(context.logDirectory, calendar.previousWeek);
    if (ok) {
        const auto week = mover.periodDirectory(context.logDirectory, calendar.previousWeek);
        // Last year's files of the same week number go first.
        mover.deleteFiles(week, kStatisticPatterns);
        ok = mover.moveFiles(logDirectory, kStatisticPatterns, week, AgeCheck::On, context.now);
        s.log.note("Move all logfiles to directory " + week.string());
    }
    if (context.delLogFiles) {
        const auto due = mover.periodDirectory(context.logDirectory, calendar.dueWeek);
        if (calendar.dueWeek == calendar.previousWeek) {
            // A wait of a whole 52-week year names the week just filled; its files of a year ago were
            // deleted above before the move.
            s.log.note("Keep directory " + due.string() + ": it holds the week just moved");
        } else {
            mover.deleteFiles(due, kDeletionPatterns);
            s.log.note("Delete all files in directory " + due.string());
            if (settings.moveConferWavToSubDir) {
                const auto wave = mover.waveDirectory(context.waveDirectory, calendar.dueWeek);
                mover.deleteFiles(wave, kWavePattern);
                s.log.note("Delete wavfiles from subdirectory " + wave.string());
            }
        }
    }
    if (settings.start2ndBatch) {
        std::string line = sibling::secondBatch(mover.secondBatchProgram(), calendar.previousWeek,
                                                calendar.currentWeek, calendar.month, calendar.year);
        ok = mover.startBatch(line, kStrSecondBatchFailed) && ok;
        s.launcher.start(sibling::secondDeleteBatch(calendar.dueWeek), Show::Hidden);
    }
    return ok;
}

}  // namespace qx
