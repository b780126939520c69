#pragma once

#include <string>

#include "JobSettings.h"
#include "StatisticMover.h"

namespace qx {

// The mover's test buttons of the settings dialog (and `qxmover run`). Each asks its question first
// through the prompts; a No does nothing. The move mode, weeks and months are those of the context: the
// dialog passes its radio buttons' mode and the clock timer's weeks. A No is a failure with the reason
// kNotConfirmed (see declined()): nothing was done.
inline constexpr const char* kNotConfirmed = "not confirmed; nothing done";

// Whether `result` is the failure of a question answered No.
bool declined(const Result<>& result);

// The context of the dialog's buttons at `now`: settings read afresh but with the move mode of the
// dialog's radio buttons, the clock timer's previous and due week (the weeks the dialog shows) and the
// scheduler's remembered and due month.
MoverContext buttonContext(Services& services, SysTime now, int moveMode);

// Weekly mode: the previous week's directory gets the files of the core patterns (the tables, the line
// logs, the logs, the voice files and the viewer's qxaview.inf), without the age check, after the files
// that an earlier cycle of the week number left there are deleted (StatisticMover::claimWeekDirectory).
// A file whose name is taken there stays in the log directory. The question names the directory and
// says how many files are moved and deleted (text 125) and how many stay (text 127). Other modes:
// qxmover.bat for the remembered month. A failed start is shown (text 107).
Result<> moveNow(StatisticMover& mover, const MoverContext& context);

// Weekly mode: deletes the statistic files but the event files in the due week's directory. Other modes:
// qxlogdel.bat for the due month's directory. A failed start is shown (text 107).
Result<> deleteNow(StatisticMover& mover, const MoverContext& context);

// Starts the second batch (qxmove2.bat, or qxmover2.bat when it is missing) with previous week, current
// week, month and year. A failed start is shown (text 110).
Result<> startSecondBatchNow(StatisticMover& mover, const MoverContext& context);

// Opens the second batch in the editor: qxmover2.bat when the working directory has it, else
// qxmove2.bat, which is first created from secondBatchTemplate() when it is missing. No question.
Result<> editSecondBatch(StatisticMover& mover);

// The nine commented lines of a new qxmove2.bat that explain its parameters.
std::string secondBatchTemplate();

}  // namespace qx
