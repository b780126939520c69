#pragma once

#include <optional>
#include <string>

#include "ActivityLog.h"
#include "DiskMonitor.h"
#include "MoverSettings.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "Services.h"
#include "SettingKeys.h"
#include "StringTable.h"

namespace qx {

// The language file chosen by [Config] DefaultLanguage of qxmover.ini: "qxmovedt.lng" for exactly
// "DT", "qxmovefr.lng" for exactly "FR", else empty (the built-in texts).
std::string languageFileName(Profile& profile);

// Replaces the string table's texts from the chosen language file: the one in the profile directory,
// else the one that comes with the program. A file that cannot be read gives message 109 naming it; the
// built-in texts stay.
void loadLanguage(Profile& profile, const PathMap& paths, StringTable& strings, Prompts& prompts);

// Moves each active [Launcher1]..[Launcher4] entry into the first free timed task of [StartMore]
// and deactivates the launcher, so that it is converted once. With all 49 tasks taken the entry
// stays where it is and active (a task number 50 would never run). A launcher whose task could not be
// written completely stays active too, as does one whose hour is no hour. A failed write, and a bad
// value, are logged in the report's log.
void convertLegacyLaunchers(Profile& profile, std::optional<SettingReport> report = std::nullopt);

// The batch program of the web trigger when WebTriggerBat is empty.
inline constexpr const char* kDefaultWebTriggerBatch = "\\qx_web\\bin\\qxphp.bat";

// The web trigger decision: writes the default batch name when none is set, and
// ActivateWebTrigger=1 when the key is missing and the batch exists. True when the web trigger
// thread is to run. A failed write, and a bad value, are logged in the report's log.
bool webTriggerWanted(Profile& profile, const PathMap& paths,
                      std::optional<SettingReport> report = std::nullopt);

// The start-up of the service without its window: settings, threads, the decisions on the optional
// threads, launcher conversion, alarm keys, and "Mover started".
class Startup {
public:
    // `diskSpace` stands in for the platform's disk space query of the disk monitor when given.
    explicit Startup(Services& services, DiskMonitor::SpaceQuery diskSpace = {})
        : m_services(services), m_diskSpace(std::move(diskSpace)) {}

    // Runs every step in order; the threads are started in services.threads.
    void run();

    const MoverSettings& settings() const { return m_settings; }
    bool webTrigger() const { return m_webTrigger; }

private:
    Services& m_services;
    DiskMonitor::SpaceQuery m_diskSpace;
    MoverSettings m_settings;
    bool m_webTrigger = false;
};

}  // namespace qx
