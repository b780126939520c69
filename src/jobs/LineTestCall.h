#pragma once

#include <functional>
#include <string>

#include "Services.h"

namespace qx {

// What a placed line test call did.
struct LineCallOutcome {
    bool haveNumber = false;  // NumberToDial was set; without it nothing is posted
    int posted = 0;           // job-queue commands run
    int failed = 0;           // job-queue commands that could not be started (logged as such)
};

// Places the line watchdog's test call now, from [LineWatchDog] of qxalarm.ini: with PostType 1 one
// call on each line 1..60 of CheckLines (items split at ","; every item is logged, in range or not),
// otherwise one queued call, as "_testcall" when the module _testcall.qxe lies in the working
// directory, else "_dial_s1". `afterCall` runs after each posted call (the queue's pause) and ends the
// calls when it returns false. With `writeBack`, an empty NumberToDial or WithDDIForDial is written
// back as the empty key, so that administrators find it. A call whose command could not be started is
// logged as not placed, never as started.
LineCallOutcome placeLineTestCall(Services& services, const std::function<bool()>& afterCall,
                                  bool writeBack = true);

}  // namespace qx
