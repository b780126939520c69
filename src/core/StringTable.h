#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Identifiers of the user-visible texts.
enum StringId : int {
    kStrAbout = 101,
    kStrTrayTip = 102,
    kStrDateTime = 103,
    kStrWeek = 104,
    kStrWeeks = 105,
    kStrMonths = 106,
    kStrMoveFailed = 107,
    kStrErrorCaption = 108,
    kStrLanguageMissing = 109,
    kStrSecondBatchFailed = 110,
    kStrConfirmCaption = 111,
    kStrAskSecondBatch = 112,
    kStrAskDelete = 113,
    kStrAskMove = 114,
    kStrOpenDatabaseFailed = 116,
    kStrNoDrive = 117,
    kStrSelectDrive = 118,
    kStrLowDiskSms = 119,
    kStrTitle = 120,
    kStrNoName = 121,
    kStrReportWeek = 122,
    kStrReportMonth = 123,
    kStrReportCustomer = 124,
    kStrNoAlarmsToPrint = 126,
    kStrReportDay = 177,
    kStrReportAlarm = 178,
    kStrReportGroup = 179,
    kStrReportMessage = 180,
    kStrReportDisplayMessage = 181,
    kStrReportLaunchedBy = 182,
    kStrListedWavfiles = 183,
    kStrNoWavfiles = 184,
    kStrLineWatchdogWarning = 130,
    kStrMovePlan = 125,
    kStrMoveKeeps = 127,
};

// The string table: built-in English texts, replaced entry by entry by a language file.
class StringTable {
public:
    StringTable();

    // The text of `id`; empty for an unknown id.
    std::string get(int id) const;

    // The text of `id` with "%1" replaced by `argument`.
    std::string format(int id, std::string_view argument) const;

    // Replaces entries from a language file: section [Strings], lines id=text (quotes stripped like a
    // profile value). False when the file cannot be read; the table is then unchanged.
    bool loadLanguageFile(const std::filesystem::path& file);

    // Every id that has a text, ascending.
    std::vector<int> ids() const;

private:
    std::map<int, std::string> m_texts;
};

// The language files that come with the program: "lang/NAME" beside the executable (a build tree),
// then "../share/qxmover/NAME" or, for the window executable in libexec/qxmover, "../../share/qxmover/NAME"
// (an installation). Empty when none exists.
std::filesystem::path shippedLanguageFile(const std::string& name);

// Replaces every "%1" of `text` with `argument`.
std::string replacePlaceholder(std::string_view text, std::string_view argument);

}  // namespace qx
