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

}  // namespace qx
