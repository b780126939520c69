#include "MonthlyMove.h"

#include "ActivityLog.h"
#include "SiblingCommands.h"
#include "StringTable.h"

namespace qx {

Result<> monthlyMove(StatisticMover& mover, const MoverContext& context) {
    const MoverSettings& settings = context.settings;
    const MoverCalendar& calendar = context.calendar;
    Services& s = mover.services();
    const auto logDirectory = mover.native(context.logDirectory);
    const int month = calendar.rememberedMonth;

    Result<> ok = mover.startBatch(sibling::moveBatch(logDirectory.string(), month), kStrMoveFailed,
                                   "Start move batchprogram ", "FAILED to start move batchprogram ",
                                   sibling::moveBatch(context.logDirectory, month));
    if (settings.moveConferWavToSubDir) {
        mover.clearPeriodPartialCopies(mover.native(context.waveDirectory), "wav");
        ok.join(mover.moveWaveFiles(context.logDirectory, context.waveDirectory, month, context.now));
    }
    if (context.delLogFiles) {
        if (context.settings.waitBeforeDel >= 12 || calendar.dueMonth == month) {
            // A wait of twelve months names the month just handed to qxmover.bat, which runs beside us.
            s.log.note("Keep directory " + mover.periodName(context.logDirectory, month) +
                       ": it holds the month just moved");
        } else {
            const auto due = mover.periodDirectory(context.logDirectory, calendar.dueMonth);
            ok.join(mover.startBatch(
                sibling::logDeleteBatch(due.string()), kStrMoveFailed, "Start del batchprogram ",
                "FAILED to start del batchprogram ",
                sibling::logDeleteBatch(mover.periodName(context.logDirectory, calendar.dueMonth))));
            if (settings.moveConferWavToSubDir)
                ok.join(mover.deleteWaveFiles(context.waveDirectory, calendar.dueMonth));
        }
    }
    if (settings.start2ndBatch) {
        std::string line = sibling::secondBatchMonthly(mover.secondBatchProgram(), calendar.previousWeek);
        ok.join(mover.startBatch(line, kStrSecondBatchFailed));
    }
    return ok;
}

}  // namespace qx
