#pragma once

#include <functional>

#include "Clock.h"
#include "Services.h"

namespace qx {

// The jobs that the dialogs' buttons run and that live elsewhere in the service. An empty function
// means the job is not part of this build; the button then says so in the activity log.
struct DialogJobs {
    // The conference recordings' whole job: the move step, then the delete step ("Delete now").
    std::function<void(Services&, SysTime now)> conferenceRecordings;
    // Prints the alarm report at once; reportType 0 weekly, 1 daily ("Print now").
    std::function<void(Services&, int reportType, SysTime now)> printReport;
};

// The jobs of this build for the dialogs' buttons.
DialogJobs dialogJobs();

// The work of a test button of the main dialog (ctl::kTestMove, kTestDelete, kTestBatch, kEditBatch,
// kPrintNow) with the dialog's move mode (0 for "no move") and report type (0 weekly, 1 daily). Each
// asks its question through the prompts before it works; meant for a thread beside the window's.
void runDialogOperation(Services& services, const DialogJobs& jobs, int buttonId, int moveMode,
                        int reportType);

}  // namespace qx
