#include "ReportCommand.h"

#include <fstream>
#include <ostream>

#include "AlarmReport.h"
#include "Clock.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "ServiceStart.h"
#include "SettingKeys.h"

namespace qx {

int runReportCommand(const GlobalOptions& global, const ReportOptions& options, std::ostream& out,
                     std::ostream& err) {
    // Taken from where the command is given, before the environment changes to the working directory.
    const std::filesystem::path output =
        options.output.empty() ? std::filesystem::path() : std::filesystem::absolute(options.output);
    GlobalOptions environmentOptions = global;
    if (options.at)
        environmentOptions.clockStart = options.at;
    Environment environment(environmentOptions, std::make_unique<TerminalPrompts>(false));
    Services& s = environment.services();
    if (auto problem = settingsProblem(s.paths, true)) {
        err << "qxmover: " << *problem << std::endl;
        return 1;
    }
    const int type = settingsOf(s, false).integer(keys::kReportType);
    std::optional<std::string> report = composeAlarmReport(s, type, s.clock.now(), true);
    if (!report) {
        err << "qxmover: cannot read the alarm index " << reportFiles(s).index.string() << std::endl;
        return 1;
    }
    if (output.empty()) {
        out << *report << std::flush;
        return 0;
    }
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << *report;
    file.close();
    if (!file) {
        err << "qxmover: cannot write " << output.string() << std::endl;
        return 1;
    }
    return 0;
}

}  // namespace qx
