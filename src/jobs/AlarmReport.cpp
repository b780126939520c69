#include "AlarmReport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "ActivityLog.h"
#include "Clock.h"
#include "GroupList.h"
#include "JobSettings.h"
#include "Launcher.h"
#include "MoverSettings.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "Prompts.h"
#include "ReportIndex.h"
#include "SettingKeys.h"
#include "SiblingCommands.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "WeekCalendar.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

constexpr int kWeekly = 1;
constexpr int kMonday = 1;

std::string twoDigits(int first, int second) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d", first, second);
    return text;
}

bool readWhole(const fs::path& file, std::string& content) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    content = std::move(buffer).str();
    return true;
}

// The first section sign becomes "|", the installation's mark for a line break in a display; in a
// UTF-8 file both of its bytes give way.
void markFirstBreak(std::string& text) {
    const std::size_t at = text.find('\xA7');
    if (at == std::string::npos)
        return;
    if (at > 0 && text[at - 1] == '\xC2')
        text.replace(at - 1, 2, "|");
    else
        text[at] = '|';
}

// At midnight on Mondays the weekly move takes the index into last week's directory at the very moment
// that the report reads it. When the move came first, the index is read where it went, provided it is
// last week's and not the file of the same week a year ago, which the move has not replaced yet.
bool readMovedIndex(const Services& services, SysTime now, std::string& content) {
    const LocalTime local = toLocal(now);
    if (local.weekday != kMonday || local.hour != 0)
        return false;
    char week[16];
    std::snprintf(week, sizeof week, ".\\log%02d", calendarAt(now, 0, local.month).previousWeek);
    const fs::path moved =
        services.paths.native(readLogDirectory(settingsOf(services)) + week + "\\qxaview.inf");
    std::error_code ec;
    const auto written = fs::last_write_time(moved, ec);
    if (ec || std::chrono::file_clock::to_sys(written) < now - std::chrono::days(7))
        return false;
    return readWhole(moved, content);
}

struct RunDetails {
    std::string key, name, group, launchedBy, display, message;
};

RunDetails readRun(const Profile& runLogs, const std::string& runName) {
    const std::string file = "log\\" + runName + ".log";
    auto get = [&](const char* key, std::size_t size) {
        return runLogs.getString(file, "Alarm", key, "", size);
    };
    RunDetails run;
    run.key = get("AlarmKey", 10);
    run.name = get("AlarmName", 80);
    run.group = get("AlarmGroup", 10);
    run.launchedBy = get("LaunchedBy", 80);
    run.display = get("DisplayMessage", 128);
    run.message = get("SMSPagerUUIMessage", 256);
    return run;
}

}  // namespace

ReportFiles reportFiles(const Services& services) {
    const std::string folder = readLogDirectory(settingsOf(services));
    ReportFiles files;
    files.index = services.paths.native(folder + ".\\qxaview.inf");
    files.reportName = folder + ".\\qxareport.prt";
    files.report = services.paths.native(files.reportName);
    return files;
}

std::optional<std::string> composeAlarmReport(Services& services, int reportType, SysTime now,
                                              bool interactive) {
    const StringTable& strings = services.strings;
    const LocalTime today = toLocal(now);
    const std::string todaysDate = twoDigits(today.day, today.month);
    const SettingReader settings = settingsOf(services);
    const std::string groupTable = settings.text(keys::kGroupDataBase);
    const std::vector<AlarmGroup> groups = loadGroupList(services.paths.native(groupTable));

    const bool weekly = readSettings(services.profile).moveMode == kWeekly;
    std::string index;
    if (!readWhole(reportFiles(services).index, index) && !(weekly && readMovedIndex(services, now, index))) {
        if (!interactive)
            services.prompts.warn(strings.get(kStrNoAlarmsToPrint), strings.get(kStrErrorCaption));
        return std::nullopt;
    }

    std::string report;
    const std::string customer = settings.text(keys::kCustomer);
    if (!customer.empty())
        report += strings.format(kStrReportCustomer, customer);
    if (reportType == kDailyReport)
        report += formatText(strings.get(kStrReportDay), {todaysDate});
    else if (weekly)
        report += formatText(strings.get(kStrReportWeek), {weekNumber(today).week, today.year});
    else
        report += formatText(strings.get(kStrReportMonth), {today.month, today.year});

    const std::string alarm = strings.get(kStrReportAlarm), group = strings.get(kStrReportGroup),
                      message = strings.get(kStrReportMessage),
                      display = strings.get(kStrReportDisplayMessage),
                      launchedBy = strings.get(kStrReportLaunchedBy), noName = strings.get(kStrNoName);
    // The run logs are read through a profile object of this report alone, so that a night's
    // hundreds of them do not crowd the service's own files out of the shared cache.
    const Profile runLogs([&services](std::string_view file) { return services.profile.resolve(file); });
    for (const std::string& line : collectIndexLines(index)) {
        const IndexFields fields = splitIndexLine(line);
        if (reportType == kDailyReport && fields.date != todaysDate)
            continue;
        RunDetails run = readRun(runLogs, fields.runName);
        markFirstBreak(run.display);
        const std::string* groupName = nullptr;
        if (!run.group.empty())
            groupName =
                qx::groupName(groups, static_cast<std::int32_t>(std::strtol(run.group.c_str(), nullptr, 10)));
        report += fields.date + " " + fields.time + "\n";
        report += alarm + " " + run.key + " " + (run.name.empty() ? noName : run.name) + "\n";
        report += group + " " + run.group + " " + (groupName ? *groupName : noName) + "\n";
        report += message + " " + run.message + "\n";
        report += display + " " + run.display + "\n";
        report += launchedBy + " " + run.launchedBy + "\n\n";
    }
    return report;
}

Result<> produceAlarmReport(Services& services, FileOperations& files, int reportType, SysTime now,
                            bool interactive) {
    const ReportFiles names = reportFiles(services);
    std::optional<std::string> report = composeAlarmReport(services, reportType, now, interactive);
    if (!report)
        return Failure("cannot read the alarm index " + services.paths.configured(names.index));
    // Replaced rather than written through: a link planted under the report's name is removed, never
    // followed.
    std::error_code ec, ignored;
    if (fs::exists(fs::symlink_status(names.report, ignored)))
        ec = files.remove(names.report);
    if (!ec)
        ec = files.createFile(names.report, *report);
    if (ec) {
        const std::string line = "Cannot write report " + names.reportName + ": " + ec.message();
        services.log.note(line);
        return Failure(line, ec.value());
    }
    const std::string print = sibling::printFile(names.reportName);
    if (!services.launcher.start(print, Show::Hidden)) {
        // The report is written, but nobody will see it on paper: that is no success.
        const std::string line = "Cannot start printing of report " + names.reportName + ": \"" + print +
                                 "\" could not be started";
        services.log.note(line);
        return Failure(line);
    }
    services.log.note("Printing of report " + names.reportName + " automatically started");
    return {};
}

}  // namespace qx
