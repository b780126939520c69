#include "ManualOperations.h"

#include <algorithm>

#include "ActivityLog.h"
#include "Clock.h"
#include "Launcher.h"
#include "Profile.h"
#include "Prompts.h"
#include "SharedState.h"
#include "SiblingCommands.h"
#include "StringTable.h"
#include "WeekCalendar.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

constexpr std::string_view kMoveNowPatterns[] = {"*.dbf", "*.l1",  "*.l2",  "*.log",
                                                 "*.dlf", "*.alr", "*.vox", "qxaview.inf"};

bool confirmed(Services& s, int question, std::string_view argument) {
    return s.prompts.ask(s.strings.format(question, argument), s.strings.get(kStrConfirmCaption));
}

Result<> notConfirmed() {
    return Failure(kNotConfirmed);
}

bool inWorkingDirectory(std::string_view name) {
    std::error_code ec;
    return fs::exists(resolveCaseInsensitive(fs::path(".") / name), ec);
}

// What "move now" will do, for its question: text 125 with the two counts.
std::string movePlan(Services& s, std::size_t moving, std::size_t deleting) {
    std::string text = s.strings.format(kStrMovePlan, std::to_string(moving));
    if (std::size_t at = text.find("%2"); at != std::string::npos)
        text.replace(at, 2, std::to_string(deleting));
    return text;
}

}  // namespace

bool declined(const Result<>& result) {
    return !result && result.reason() == kNotConfirmed;
}

MoverContext buttonContext(Services& services, SysTime now, int moveMode) {
    const SharedState& state = services.state;
    MoverContext context = readMoverContext(services.profile, now, state.rememberedMonth.load());
    context.settings.moveMode = moveMode;
    context.calendar.previousWeek = state.previousWeek.load();
    context.calendar.dueWeek = state.dueWeek.load();
    context.calendar.dueMonth = state.dueMonth.load();
    return context;
}

Result<> moveNow(StatisticMover& mover, const MoverContext& context) {
    Services& s = mover.services();
    const MoverCalendar& calendar = context.calendar;
    bool weekly = context.settings.moveMode == 1;
    int number = weekly ? calendar.previousWeek : calendar.rememberedMonth;
    const auto directory = mover.periodDirectory(context.logDirectory, number);
    const std::string directoryName = mover.periodName(context.logDirectory, number);
    if (!weekly) {
        if (!confirmed(s, kStrAskMove, directoryName))
            return notConfirmed();
        std::string line = sibling::moveBatch(mover.native(context.logDirectory).string(), number);
        return mover.startBatch(line, kStrMoveFailed);
    }
    // Only what an earlier cycle of this week number left is deleted, so a second press, or a press
    // after the scheduled move, loses nothing that this week filed; and nothing there is replaced.
    const auto filing = mondayOf(toLocal(context.now));
    const auto source = mover.native(context.logDirectory);
    const std::vector<std::string> moving = mover.filesToMove(source, kMoveNowPatterns);
    const std::vector<std::string> deleting = mover.filesToClaim(directory, filing, claimWait(context));
    std::size_t staying = 0;
    for (const DirectoryEntry& there : mover.files().list(directory))
        if (!there.isDirectory && std::binary_search(moving.begin(), moving.end(), there.name) &&
            std::find(deleting.begin(), deleting.end(), there.name) == deleting.end())
            ++staying;
    std::string question = s.strings.format(kStrAskMove, directoryName) + "\n" +
                           movePlan(s, moving.size() - staying, deleting.size());
    if (staying > 0)
        question += "\n" + s.strings.format(kStrMoveKeeps, std::to_string(staying));
    if (!s.prompts.ask(question, s.strings.get(kStrConfirmCaption)))
        return notConfirmed();
    mover.clearPeriodPartialCopies(source, "log");
    if (Result<> made = mover.ensureWeekDirectory(context.logDirectory, number); !made)
        return made;
    if (Result<> claimed = mover.claimWeekDirectory(directory, filing, claimWait(context)); !claimed)
        return claimed;
    return mover.moveFiles(source, kMoveNowPatterns, directory, AgeCheck::Off, context.now);
}

Result<> deleteNow(StatisticMover& mover, const MoverContext& context) {
    Services& s = mover.services();
    const MoverCalendar& calendar = context.calendar;
    bool weekly = context.settings.moveMode == 1;
    const int number = weekly ? calendar.dueWeek : calendar.dueMonth;
    const auto directory = mover.periodDirectory(context.logDirectory, number);
    if (!confirmed(s, kStrAskDelete, mover.periodName(context.logDirectory, number)))
        return notConfirmed();
    if (!weekly)
        return mover.startBatch(sibling::logDeleteBatch(directory.string()), kStrMoveFailed);
    // The files of a cycle that filled the directory again since stay, as in the scheduled deletion.
    Result<int> emptied = mover.emptyDueWeekDirectory(
        directory, calendar.dueFilled, std::span(kStatisticPatterns).first(kStatisticPatterns.size() - 1),
        context.settings.waitBeforeDel);
    if (!emptied)
        return *emptied.failure();
    return {};
}

Result<> startSecondBatchNow(StatisticMover& mover, const MoverContext& context) {
    Services& s = mover.services();
    const MoverCalendar& calendar = context.calendar;
    if (!confirmed(s, kStrAskSecondBatch, std::to_string(calendar.previousWeek)))
        return notConfirmed();
    std::string line = sibling::secondBatch(mover.secondBatchProgram(), calendar.previousWeek,
                                            calendar.currentWeek, calendar.month, calendar.year);
    const Result<> started = s.launcher.start(line, Show::Shown);
    if (started)
        return {};
    s.prompts.warn(s.strings.get(kStrSecondBatchFailed), s.strings.get(kStrErrorCaption));
    return notStarted(line, started);
}

Result<> editSecondBatch(StatisticMover& mover) {
    Services& s = mover.services();
    std::string_view file = sibling::kSecondBatchOld;
    if (!inWorkingDirectory(file)) {
        file = sibling::kSecondBatch;
        if (!inWorkingDirectory(file)) {
            if (std::error_code ec = mover.files().createFile(file, secondBatchTemplate())) {
                const std::string line = "Cannot create " + std::string(file) + ": " + ec.message();
                s.log.note(line);
                return Failure(line, ec.value());
            }
        }
    }
    const std::string line = sibling::edit(file);
    const Result<> started = s.launcher.start(line, Show::Shown);
    if (started)
        return {};
    return notStarted(line, started);
}

std::string secondBatchTemplate() {
    const std::string dashes = "rem " + std::string(62, '-') + "\n";
    return "rem qxmove2.bat %1 %2 %3 %4\n"
           "rem Last week    : %1\n"
           "rem Current week : %2\n"
           "rem Current month: %3\n"
           "rem Current year : %4\n" +
           dashes +
           "rem Example: move \\qxt\\qxtest\\*.log \\qxt\\qxtest\\log%1\\*.log \n"
           "rem Moves all logfiles at the end of the week to weekly logdir\n" +
           dashes;
}

}  // namespace qx
