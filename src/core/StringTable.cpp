#include "StringTable.h"

#include <fstream>

#include "DialogTexts.h"
#include "ExecutablePath.h"
#include "Profile.h"

namespace qx {

StringTable::StringTable()
    : m_texts{
          {kStrAbout, "About qxmover..."},
          {kStrTrayTip, "Quillet statistic-file manager"},
          {kStrDateTime, "%02d.%02d.%02d   %02d:%02d:%02d"},
          {kStrWeek, "Week (%i)"},
          {kStrWeeks, "weeks"},
          {kStrMonths, "months"},
          {kStrMoveFailed, "Failed to move statisticfiles !"},
          {kStrErrorCaption, "Error !"},
          {kStrLanguageMissing, "The resource dll %1 could not be loaded !"},
          {kStrSecondBatchFailed, "Unable to start qxmove2.bat program !"},
          {kStrConfirmCaption, "Please confirm ..."},
          {kStrAskSecondBatch, "Start batchprogram qxmove2.bat with parameter: %1 ?"},
          {kStrAskDelete, "Delete all logfiles in the directory: %1 ?"},
          {kStrAskMove, "Move all logfiles to the directory %1 ?"},
          {kStrOpenDatabaseFailed, "Failed to open the database %1 !"},
          {kStrNoDrive, "No drive selected"},
          {kStrSelectDrive, "Please select a harddisk to check for free diskspace !"},
          {kStrLowDiskSms, "ALARM: Harddisk %1 on alarmserver has not enough free space!"},
          {kStrTitle, "Quillet statisticfile manager and disk monitor"},
          {kStrNoName, "No name"},
          {kStrReportWeek, "\nReport from week %02d / %04d\n" + std::string(56, '*') + "\n\n"},
          {kStrReportMonth, "\nReport from month %02d / %04d\n" + std::string(56, '*') + "\n\n"},
          {kStrReportCustomer, "\nAlarmreport for: %1\n\n"},
          {kStrNoAlarmsToPrint, "No alarms to print in this week !"},
          {kStrReportDay, "\nAlarm-report from day %s\n" + std::string(58, '_') + "\n\n"},
          {kStrReportAlarm, "Alarm:"},
          {kStrReportGroup, "Group:"},
          {kStrReportMessage, "Message:"},
          {kStrReportDisplayMessage, "Display-message:"},
          {kStrReportLaunchedBy, "Launched by:"},
          {kStrListedWavfiles, "Listed Wavfiles are older then %d weeks and would be deleted:"},
          {kStrNoWavfiles, "No wavfiles found to delete"},
          {kStrLineWatchdogWarning,
           "The alarmserver line watchdog failed to dial number !\nPlease check the lines on the "
           "alarmserver."},
          {kStrMovePlan, "Moves %1 file(s) there; first deletes %2 file(s) of an earlier year there."},
          {kStrMoveKeeps, "%1 file(s) stay in the log directory: a file of the same name is there already."},
      } {
    // The windows' texts; an id given above stays as it is.
    m_texts.insert(dialogTexts().begin(), dialogTexts().end());
}

namespace {

// A language file keeps each text on one line: "\n" stands for a line break.
std::string unescapeLineBreaks(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out.push_back('\n');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace

std::vector<int> StringTable::ids() const {
    std::vector<int> ids;
    for (const auto& entry : m_texts)
        ids.push_back(entry.first);
    return ids;
}

std::filesystem::path shippedLanguageFile(const std::string& name) {
    const std::filesystem::path exe = executablePath();
    if (exe.empty())
        return {};
    std::error_code ec;
    // The window executable lies one level deeper when installed (libexec/qxmover).
    for (auto candidate : {exe.parent_path() / "lang" / name, exe.parent_path() / "../share/qxmover" / name,
                           exe.parent_path() / "../../share/qxmover" / name})
        if (std::filesystem::exists(candidate, ec))
            return candidate;
    return {};
}

std::string StringTable::get(int id) const {
    auto it = m_texts.find(id);
    return it == m_texts.end() ? std::string() : it->second;
}

std::string replacePlaceholder(std::string_view text, std::string_view argument) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '1') {
            out.append(argument);
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string StringTable::format(int id, std::string_view argument) const {
    return replacePlaceholder(get(id), argument);
}

bool StringTable::loadLanguageFile(const std::filesystem::path& file) {
    std::ifstream probe(file);
    if (!probe)
        return false;
    // The same rules as every other profile file; the ids present replace the built-in texts.
    Profile profile([file](std::string_view) { return file; });
    for (auto& [id, text] : m_texts) {
        const std::string marker = "\x01missing";
        std::string value = profile.getString("", "Strings", std::to_string(id), marker, 1024);
        if (value != marker)
            text = unescapeLineBreaks(value);
    }
    return true;
}

}  // namespace qx
