#include "AdditionalDeletion.h"

#include <cstdio>

#include "ActivityLog.h"
#include "Clock.h"
#include "FileAge.h"
#include "Profile.h"

namespace qx {

std::vector<DeletionRule> readDeletionRules(const Profile& profile, std::optional<SettingReport> report) {
    const SettingReader settings(profile, report);
    std::vector<DeletionRule> rules;
    for (int n = 1; n <= kListEntries; ++n) {
        if (settings.text(keys::kDeletePath, n).empty())
            break;
        rules.push_back(readDeletionRule(settings, n));
    }
    return rules;
}

HousekeepingResult deleteAdditionalFiles(Services& services, Deleter& deleter, SysTime now) {
    HousekeepingResult result;
    for (const DeletionRule& rule : readDeletionRules(services.profile, reportOf(services))) {
        std::unique_ptr<DirectoryHandle> directory;
        bool opened = false;
        const SysTime threshold = ageThreshold(now, rule.weeks);
        for (const std::string& pattern : patternsOf(rule)) {
            if (pattern.find_first_of("\\/") != std::string::npos) {
                const std::string line = "Refused pattern " + pattern + " of directory " + rule.directory +
                                         ": it names another directory";
                services.log.note(line);
                result.stepRefused(line);
                continue;
            }
            // Opened at the first pattern, once for the rule, so that a refusal is logged once.
            if (!opened) {
                opened = true;
                directory = openForDeletion(services, rule.directory, result, deleter.dryRun());
            }
            if (!directory)
                break;
            std::vector<FoundFile> entries = directory->find(pattern, services.stop);
            if (entries.empty() && !services.stop.stop_requested())
                continue;
            for (const FoundFile& entry : entries) {
                // A directory is never deleted (the delete of a file fails on it anyway).
                if (entry.isDirectory || !isOlder(entry.lastWrite, threshold))
                    continue;
                if (services.stop.stop_requested())
                    break;
                deleteCounted(services, deleter, *directory, entry.name, "Failed to delete file ",
                              configuredJoin(rule.directory, entry.name), result);
            }
            // Between two files, or in the scan (which then found only part of the directory).
            if (services.stop.stop_requested()) {
                services.log.note("Extra deletion stopped in directory " + rule.directory);
                result.stoppedBefore("the rest of directory " + rule.directory);
                return result;
            }
            char weeks[16];
            std::snprintf(weeks, sizeof weeks, "%d", rule.weeks);
            services.log.note("Delete files " + pattern + " which are older then " + weeks +
                              " weeks from directory " + rule.directory);
        }
    }
    if (result.failedFiles > 1)
        services.log.note(std::to_string(result.failedFiles) +
                          " files of the extra deletion could not be deleted");
    return result;
}

}  // namespace qx
