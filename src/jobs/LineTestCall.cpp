#include "LineTestCall.h"

#include <filesystem>

#include "ActivityLog.h"
#include "Launcher.h"
#include "LoggedProfileWrite.h"
#include "MonitorCommands.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "SettingKeys.h"

namespace qx {

namespace {

constexpr int kFirstLine = 1;
constexpr int kLastLine = 60;

// The items of a list separated by ",", empty items left out.
std::vector<std::string> splitItems(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

}  // namespace

Result<> placeLineTestCall(Services& s, const std::function<bool()>& afterCall, bool writeBack) {
    Profile& p = s.profile;
    const char* file = ini::kAlarm;
    const char* section = ini::kLineWatchDog;
    FailureTally notPlaced("calls");
    const SettingReader settings = settingsOf(s, writeBack);
    const std::string number = settings.text(keys::kLineNumberToDial);
    const std::string extension = settings.text(keys::kLineExtension);
    const int postType = settings.integer(keys::kPostType);
    if (number.empty()) {
        if (writeBack)
            writeProfileLogged(p, s.log, file, section, "NumberToDial", "");
        return Failure("no NumberToDial in [LineWatchDog] of qxalarm.ini; no call placed");
    }
    if (extension.empty() && writeBack)
        writeProfileLogged(p, s.log, file, section, "WithDDIForDial", "");

    if (postType == 1) {
        for (const std::string& item : splitItems(settings.text(keys::kCheckLines))) {
            // The item's leading number, never wrapped: a huge one is no line either.
            const long long line = parseSettingNumber(item, true).value_or(0);
            bool goOn = true;
            Result<> started;
            if (line >= kFirstLine && line <= kLastLine) {
                started =
                    s.launcher.run(sibling::lineTestCallOnLine(static_cast<int>(line), number, extension));
                goOn = afterCall();
            }
            const std::string call = "WatchDog call to number " + number + " on line " + std::to_string(line);
            s.log.note((started ? "Start " : "Cannot start ") + call);
            if (!started)
                notPlaced.add(Failure("Cannot start " + call + ": " + started.reason(), started.number()));
            if (!goOn)
                break;
        }
        return notPlaced.outcome();
    }
    std::error_code ec;
    const bool testcallModule = std::filesystem::exists("_testcall.qxe", ec);
    const Result<> started = s.launcher.run(sibling::lineTestCall(testcallModule, number, extension));
    afterCall();
    const std::string call = "WatchDog call to number " + number;
    s.log.note((started ? "Start " : "Cannot start ") + call);
    if (!started)
        return Failure("Cannot start " + call + ": " + started.reason(), started.number());
    return {};
}

}  // namespace qx
