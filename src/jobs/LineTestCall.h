#pragma once

#include <functional>
#include <string>

#include "Result.h"
#include "Services.h"

namespace qx {

// Places the line watchdog's test call now, from [LineWatchDog] of qxalarm.ini: with PostType 1 one
// call on each line 1..60 of CheckLines (items split at ","; every item is logged, in range or not),
// otherwise one queued call, as "_testcall" when the module _testcall.qxe lies in the working
// directory, else "_dial_s1". `afterCall` runs after each posted call (the queue's pause) and ends the
// calls when it returns false. With `writeBack`, an empty NumberToDial or WithDDIForDial is written
// back as the empty key, so that administrators find it. A call whose command could not be started is
// logged as not placed, never as started. Fails without NumberToDial (nothing is posted), or with the
// first call not placed ("Cannot start WatchDog call to number ...", as logged) and how many were not.
Result<> placeLineTestCall(Services& services, const std::function<bool()>& afterCall, bool writeBack = true);

}  // namespace qx
