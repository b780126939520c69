#include "WeeklyMove.h"

#include <span>

#include "ActivityLog.h"
#include "Clock.h"
#include "Launcher.h"
#include "SiblingCommands.h"
#include "StringTable.h"
#include "WeekCalendar.h"

namespace qx {

namespace {

constexpr std::string_view kInfPattern[] = {"*.inf"};

// Claims the previous week's directory for this cycle (what an earlier cycle of that week number
// left there goes, once its wait has passed) and moves the log directory's files of `patterns` into
// it; notes `message` and the directory. What this cycle filed stays, whatever its times, so running
// it again harms nothing. Leftovers of killed copies go from every week directory first.
Result<> moveIntoWeekDirectory(StatisticMover& mover, const MoverContext& context,
                               std::span<const std::string_view> patterns, AgeCheck ageCheck,
                               const char* message) {
    const int previousWeek = context.calendar.previousWeek;
    const auto logDirectory = mover.native(context.logDirectory);
    mover.clearPeriodPartialCopies(logDirectory, "log");
    if (Result<> made = mover.ensureWeekDirectory(context.logDirectory, previousWeek); !made)
        return made;
    const auto week = mover.periodDirectory(context.logDirectory, previousWeek);
    if (Result<> claimed = mover.claimWeekDirectory(week, mondayOf(toLocal(context.now)), claimWait(context));
        !claimed)
        return claimed;
    Result<> ok = mover.moveFiles(logDirectory, patterns, week, ageCheck, context.now);
    mover.services().log.note(message + mover.periodName(context.logDirectory, previousWeek));
    return ok;
}

}  // namespace

Result<> weeklyAtMidnight(StatisticMover& mover, const MoverContext& context, bool* filed) {
    const MoverSettings& settings = context.settings;
    const MoverCalendar& calendar = context.calendar;
    Result<> ok =
        moveIntoWeekDirectory(mover, context, kInfPattern, AgeCheck::Off, "Moved inf files to directory ");
    if (filed)
        *filed = ok.ok();
    mover.clearPeriodPartialCopies(mover.native(context.waveDirectory), "wav");
    if (settings.moveConferWav) {
        // The daily run of the scheduler has done it already.
        if (!settings.moveConferWavDaily)
            mover.hooks().conferenceRecordings(context.now);
    } else if (settings.moveConferWavToSubDir) {
        // Numbered by the week like the deletion at 01:00, which empties the due week's wave directory.
        ok.join(mover.moveWaveFiles(context.logDirectory, context.waveDirectory, calendar.previousWeek,
                                    context.now));
    }
    if (settings.delAlarmWav)
        mover.hooks().alarmRecordings(context.now);
    if (settings.deleteMoreFiles)
        mover.hooks().extraDeletion(context.now);
    return ok;
}

Result<> refileWeek(StatisticMover& mover, const MoverContext& context, bool atMidnight) {
    const auto week = mover.periodDirectory(context.logDirectory, context.calendar.previousWeek);
    const std::span<const std::string_view> patterns =
        atMidnight ? std::span<const std::string_view>(kInfPattern)
                   : std::span<const std::string_view>(kStatisticPatterns);
    const AgeCheck ageCheck = atMidnight ? AgeCheck::Off : AgeCheck::On;
    // Without the shell's "md": a try at every pass must not start a program each time.
    if (Result<> made = mover.ensureDirectory(week); !made)
        return made;
    if (Result<> claimed = mover.claimWeekDirectory(week, mondayOf(toLocal(context.now)), claimWait(context));
        !claimed)
        return claimed;
    return mover.moveFiles(mover.native(context.logDirectory), patterns, week, ageCheck, context.now);
}

Result<> weeklyAtOne(StatisticMover& mover, const MoverContext& context, bool* filed) {
    const MoverSettings& settings = context.settings;
    const MoverCalendar& calendar = context.calendar;
    Services& s = mover.services();
    Result<> ok = moveIntoWeekDirectory(mover, context, kStatisticPatterns, AgeCheck::On,
                                        "Move all logfiles to directory ");
    if (filed)
        *filed = ok.ok();
    // The due week is the one filled WaitBeforeDel Mondays ago. Its number may have been filled again
    // since (after 51 to 53 weeks; the week just filed, after 52): then its record keeps that cycle's
    // files, and the wave directory and the deletion batch, which cannot tell cycles apart, wait.
    const auto due = mover.periodDirectory(context.logDirectory, calendar.dueWeek);
    const std::string dueName = mover.periodName(context.logDirectory, calendar.dueWeek);
    const bool refilled = mover.filledSince(due, calendar.dueFilled);
    const std::string keptBecause = ": week directory " + dueName + " was filled again since";
    if (context.delLogFiles) {
        s.log.note("Delete all files in directory " + dueName);
        if (Result<int> emptied = mover.emptyDueWeekDirectory(due, calendar.dueFilled, kDeletionPatterns,
                                                              settings.waitBeforeDel);
            !emptied)
            ok.join(*emptied.failure());
        if (settings.moveConferWavToSubDir) {
            if (refilled)
                s.log.note("Keep wave directory " + mover.waveName(context.waveDirectory, calendar.dueWeek) +
                           keptBecause);
            else
                ok.join(mover.deleteWaveFiles(context.waveDirectory, calendar.dueWeek));
        }
    }
    if (settings.start2ndBatch) {
        std::string line = sibling::secondBatch(mover.secondBatchProgram(), calendar.previousWeek,
                                                calendar.currentWeek, calendar.month, calendar.year);
        ok.join(mover.startBatch(line, kStrSecondBatchFailed));
        const std::string deleteBatch = sibling::secondDeleteBatch(calendar.dueWeek);
        if (refilled) {
            s.log.note("Skip " + deleteBatch + keptBecause);
        } else if (Result<> started = s.launcher.start(deleteBatch, Show::Hidden); !started) {
            ok.join(notStarted(deleteBatch, started));
        }
    }
    return ok;
}

}  // namespace qx
