#pragma once

#include <string>
#include <string_view>

#include "Services.h"

namespace qx {

enum class BoxTestCall {
    ModuleMissing,  // qxawdcall.qxe is not in the working directory; nothing written or run
    NoNumber,       // the number is empty; nothing written or run
    Started,        // NumberToDial written, the job queue ran
    StartFailed,    // NumberToDial written, the job queue could not be started
};

// The watchdog-box settings' test call: writes `number` to [WatchDog] NumberToDial of qxalarm.ini and
// runs "qxtque.exe postjob 1 qxawdcall -i51", waiting for the queue program to end (at most the
// launcher's limit; a stop request ends the wait).
BoxTestCall watchdogBoxTestCall(Services& services, std::string_view number);

// The message that tells the user why the test call was not placed; empty for Started.
std::string boxTestCallMessage(BoxTestCall result);

}  // namespace qx
