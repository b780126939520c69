#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Clock.h"
#include "FileOperations.h"
#include "Result.h"
#include "Services.h"

namespace qx {

// [AlarmReport] ReportType: 1 a daily report of today's alarms; 0 a weekly report on Mondays; any
// other value a report every night without a date filter.
inline constexpr int kDailyReport = 1;

// The files of the report, from qxaview.ini [Config] AlarmDBPath.
struct ReportFiles {
    std::filesystem::path index;   // "<AlarmDBPath>.\qxaview.inf", native
    std::string reportName;        // "<AlarmDBPath>.\qxareport.prt", as the print command names it
    std::filesystem::path report;  // the same, native
};
ReportFiles reportFiles(const Services& services);

// The text of the report at `now` for `reportType`: the head (customer, period) and one block per line
// of the alarm index, with the details from each run's log "log\<name>.log" and the group names from
// the group table (qxaconf.ini [Config] GroupDataBase). With the daily type only the lines of today's
// date. Nullopt when the index cannot be read; then, unless `interactive`, warning 126 is shown.
std::optional<std::string> composeAlarmReport(Services& services, int reportType, SysTime now,
                                              bool interactive = false);

// Produces and prints one report: composes it, replaces the report file with it, starts the print
// command ("notepad.exe /p FILE", `lp` here unless [Platform] Print says otherwise) without waiting and
// logs "Printing of report FILE automatically started". Fails when there was no index, the report
// file could not be written (logged) or the print command could not be started (logged: the report
// file is there, but nothing prints it); what the started print command makes of it is not judged.
Result<> produceAlarmReport(Services& services, FileOperations& files, int reportType, SysTime now,
                            bool interactive = false);

}  // namespace qx
