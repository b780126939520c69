#include "WatchdogBoxTestCall.h"

#include <filesystem>

#include "ActivityLog.h"
#include "Launcher.h"
#include "LoggedProfileWrite.h"
#include "MonitorCommands.h"
#include "Profile.h"
#include "ProfileNames.h"

namespace qx {

BoxTestCall watchdogBoxTestCall(Services& services, std::string_view number) {
    std::error_code ec;
    if (!std::filesystem::exists("qxawdcall.qxe", ec))
        return BoxTestCall::ModuleMissing;
    if (number.empty())
        return BoxTestCall::NoNumber;
    writeProfileLogged(services.profile, services.log, ini::kAlarm, ini::kWatchDog, "NumberToDial", number);
    return services.launcher.run(sibling::watchdogBoxTestCall()) ? BoxTestCall::Started
                                                                 : BoxTestCall::StartFailed;
}

std::string boxTestCallMessage(BoxTestCall result) {
    switch (result) {
        case BoxTestCall::ModuleMissing:
            return "The qxe module qxawdcall.qxe, which is needed for this function, does not exist!";
        case BoxTestCall::NoNumber:
            return "ERROR ! No phonenumber defined for line watchdog to dial !";
        case BoxTestCall::StartFailed:
            return "The job queue qxtque.exe could not be started !";
        case BoxTestCall::Started:
            break;
    }
    return {};
}

}  // namespace qx
