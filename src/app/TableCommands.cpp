#include "TableCommands.h"

#include <ostream>

#include "CAlarmTable.h"
#include "ErrorBoxBridge.h"
#include "StringTable.h"
#include "TableDiagnosis.h"

namespace qx {

int printAlarmList(Profile& profile, const PathMap& paths, Prompts& prompts, std::ostream& out,
                   std::ostream& err) {
    ErrorBoxesToPrompts boxes(prompts);
    StringTable strings;
    auto alarms = readAlarmList(profile, paths, prompts, strings);
    if (!alarms) {
        // The installation's message names the table as configured; which file that is, and why it
        // failed, is what the administrator needs to mend it.
        const std::string configured = alarmTablePath(profile);
        const std::filesystem::path file = paths.native(configured);
        err << "qxmover: cannot open the alarm table " << configured << " (" << file.string()
            << "): " << tableOpenFailure(file) << '\n';
        return 1;
    }
    for (const AlarmListEntry& alarm : *alarms)
        out << alarmEntryText(alarm.number, alarm.name) << '\n';
    out.flush();
    return out ? 0 : 1;
}

}  // namespace qx
