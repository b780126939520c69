#include "Startup.h"

#include <cstdio>
#include <memory>

#include "ActivityLog.h"
#include "AliveLogThread.h"
#include "CAlarmTable.h"
#include "Clock.h"
#include "EventWatchdogThread.h"
#include "OnDemandThreads.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "Prompts.h"
#include "SchedulerThread.h"
#include "ServiceHooks.h"
#include "SettingRecords.h"
#include "SharedState.h"
#include "StringTable.h"
#include "ThreadSet.h"
#include "WebTriggerThread.h"

namespace qx {

std::string languageFileName(Profile& profile) {
    const std::string language = SettingReader(profile).text(keys::kDefaultLanguage);
    if (language == "DT")
        return "qxmovedt.lng";
    if (language == "FR")
        return "qxmovefr.lng";
    return {};
}

void loadLanguage(Profile& profile, const PathMap& paths, StringTable& strings, Prompts& prompts) {
    std::string name = languageFileName(profile);
    if (name.empty())
        return;
    // A file in the profile directory overrides the one that comes with the program.
    std::filesystem::path file = paths.profileFile(name);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        if (std::filesystem::path shipped = shippedLanguageFile(name); !shipped.empty())
            file = shipped;
    }
    if (!strings.loadLanguageFile(file))
        prompts.warn(strings.format(kStrLanguageMissing, name), strings.get(kStrErrorCaption));
}

void convertLegacyLaunchers(Profile& profile, std::optional<SettingReport> report) {
    const SettingReader settings(profile, report);
    char key[32];
    auto written = [&](const std::string& sectionName, const std::string& keyName,
                       ProfileWriteResult result) {
        if (!result && report)
            report->log.write(profileWriteFailure(ini::kMover, sectionName, keyName, result));
        return static_cast<bool>(result);
    };
    for (int i = 1; i <= 4; ++i) {
        const std::string section = keys::kLauncherActive.sectionName(i);
        if (settings.integer(keys::kLauncherActive, 0, i) != 1)
            continue;
        const std::string program = settings.text(keys::kLauncherProgram, 0, i);
        const int atHour = settings.integer(keys::kLauncherHour, 0, i);
        if (atHour < 0)
            continue;
        int free = 0;
        for (int n = 1; n <= kListEntries && free == 0; ++n)
            if (settings.text(keys::kTaskProgram, n).empty())
                free = n;
        if (free == 0)
            continue;
        auto write = [&](const char* format, const std::string& value) {
            std::snprintf(key, sizeof key, format, free);
            return written(ini::kStartMore, key,
                           profile.writeString(ini::kMover, ini::kStartMore, key, value));
        };
        // The Prog line last: it is what makes the task exist, so a failure before it leaves the slot
        // free. The launcher is deactivated only once its task is complete, or it would be lost.
        bool task = write("Day%d", "0") && write("Time%d", std::to_string(atHour)) && write("Type%d", "0") &&
                    write("Prog%d", program);
        if (task)
            (void)written(section, "Active", profile.writeString(ini::kMover, section, "Active", "0"));
    }
}

bool webTriggerWanted(Profile& profile, const PathMap& paths, std::optional<SettingReport> settingReport) {
    auto report = [&](const char* key, ProfileWriteResult result) {
        if (!result && settingReport)
            settingReport->log.write(profileWriteFailure(ini::kMover, ini::kWebTrigger, key, result));
    };
    const SettingReader settings(profile, settingReport);
    const int active = settings.integer(keys::kActivateWebTrigger);
    std::string batch = settings.text(keys::kWebTriggerBat);
    if (batch.empty()) {
        batch = kDefaultWebTriggerBatch;
        report("WebTriggerBat", profile.writeString(ini::kMover, ini::kWebTrigger, "WebTriggerBat", batch));
    }
    std::error_code ec;
    if (active == 0 || !std::filesystem::exists(paths.native(batch), ec))
        return false;
    if (active < 0) {
        report("ActivateWebTrigger",
               profile.writeString(ini::kMover, ini::kWebTrigger, "ActivateWebTrigger", "1"));
        return true;
    }
    return active == 1;
}

void Startup::run() {
    Services& s = m_services;
    m_settings = loadSettings(s.profile, {}, &s.log);
    publishSettings(m_settings, s.state);

    if (s.threads) {
        auto alive = std::make_shared<AliveLogThread>(s.clock);
        s.threads->start("AliveLogThread", [alive](std::stop_token stop) { alive->run(stop); });
        auto hooks = std::make_shared<ServiceHooks>(s, m_diskSpace);
        auto scheduler = std::make_shared<SchedulerThread>(s, hooks.get());
        s.threads->start("SchedulerThread",
                         [hooks, scheduler](std::stop_token stop) { scheduler->run(stop); });
        auto events = std::make_shared<EventWatchdogThread>(s);
        s.threads->start("EventWatchdogThread", [events](std::stop_token stop) { events->run(stop); });
    }
    m_webTrigger = webTriggerWanted(s.profile, s.paths, reportOf(s));
    if (m_webTrigger && s.threads) {
        auto trigger = std::make_shared<WebTriggerThread>(s, settingsOf(s).text(keys::kWebTriggerBat));
        s.threads->start("WebTriggerThread", [trigger](std::stop_token stop) { trigger->run(stop); });
    }
    if (jobWatcherWanted(settingsOf(s)))
        startOnDemand(s, OnDemand::JobWatcher);
    if (m_settings.printReport)
        startOnDemand(s, OnDemand::AlarmReport);
    convertLegacyLaunchers(s.profile, reportOf(s));
    // A table that cannot be opened has been reported; the lists stay empty and start-up goes on.
    if (auto alarms = readAlarmList(s.profile, s.paths, s.prompts, s.strings))
        s.state.setAlarmKeys(alarmKeyTable(*alarms));
    publishSettings(m_settings, s.state);
    s.log.note("Mover started");
}

}  // namespace qx
