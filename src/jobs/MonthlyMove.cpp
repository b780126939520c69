#include "MonthlyMove.h"

#include "SiblingCommands.h"

namespace qx {

namespace {

constexpr std::string_view kWavePattern[] = {"*.wav"};

}  // namespace

bool monthlyMove(StatisticMover& mover, const MoverContext& context) {
    const MoverSettings& settings = context.settings;
    const MoverCalendar& calendar = context.calendar;
    Services& s = mover.services();
    const auto logDirectory = mover.native(context.logDirectory);
    const int month = calendar.rememberedMonth;

    bool ok = mover.startBatch(sibling::moveBatch(logDirectory.string(), month), kStrMoveFailed,
                               "Start move batchprogram ", "FAILED to start move batchprogram ");
    if (settings.moveConferWavToSubDir) {
        const auto wave = mover.waveDirectory(context.waveDirectory, month);
        ok = mover.moveFiles(logDirectory, kWavePattern, wave, AgeCheck::Off, context.now, true) && ok;
        s.log.note("Move wavfiles to directory " + wave.string());
    }
    if (context.delLogFiles) {
        if (calendar.dueMonth == month) {
            // A wait of twelve months names the month just handed to qxmover.bat, which runs beside us.
            s.log.note("Keep directory " + mover.periodDirectory(context.logDirectory, month).string() +
                       ": it holds the month just moved");
        } else {
            const auto due = mover.periodDirectory(context.logDirectory, calendar.dueMonth);
            ok = mover.startBatch(sibling::logDeleteBatch(due.string()), kStrMoveFailed,
                                  "Start del batchprogram ", "FAILED to start del batchprogram ") &&
                 ok;
            if (settings.moveConferWavToSubDir) {
                const auto wave = mover.waveDirectory(context.waveDirectory, calendar.dueMonth);
                mover.deleteFiles(wave, kWavePattern);
                s.log.note("Delete wavfiles from subdirectory " + wave.string());
            }
        }
    }
    if (settings.start2ndBatch) {
        std::string line = sibling::secondBatchMonthly(mover.secondBatchProgram(), calendar.previousWeek);
        ok = mover.startBatch(line, kStrSecondBatchFailed) && ok;
    }
    return ok;
}

}  // namespace qx
