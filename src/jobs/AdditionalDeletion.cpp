#include "AdditionalDeletion.h"

#include <algorithm>
#include <cstdio>

#include "FileAge.h"
#include "ProfileNames.h"

namespace qx {

namespace {

constexpr int kRules = 49;

std::vector<std::string> splitPatterns(std::string_view list) {
    std::vector<std::string> patterns;
    while (!list.empty()) {
        std::size_t end = list.find(';');
        std::string_view part = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        while (!part.empty() && (part.front() == ' ' || part.front() == '\t'))
            part.remove_prefix(1);
        while (!part.empty() && (part.back() == ' ' || part.back() == '\t'))
            part.remove_suffix(1);
        if (!part.empty())
            patterns.emplace_back(part);
    }
    return patterns;
}

}  // namespace

std::vector<DeletionRule> readDeletionRules(const Profile& profile) {
    std::vector<DeletionRule> rules;
    char key[32];
    for (int i = 1; i <= kRules; ++i) {
        std::snprintf(key, sizeof key, "DelPath%d", i);
        DeletionRule rule;
        rule.directory = profile.getString(ini::kMover, ini::kDeleteAdditionalLogs, key, "", 128);
        if (rule.directory.empty())
            break;
        std::snprintf(key, sizeof key, "DelExt%d", i);
        rule.patterns =
            splitPatterns(profile.getString(ini::kMover, ini::kDeleteAdditionalLogs, key, "", 40));
        std::snprintf(key, sizeof key, "DelAfterWeeks%d", i);
        // Zero means one week; a negative value would put the limit in the future.
        rule.weeks = std::max(1, profile.getInt(ini::kMover, ini::kDeleteAdditionalLogs, key, 0));
        rules.push_back(std::move(rule));
    }
    return rules;
}

HousekeepingResult deleteAdditionalFiles(Services& services, Deleter& deleter, SysTime now) {
    HousekeepingResult result;
    for (const DeletionRule& rule : readDeletionRules(services.profile)) {
        std::unique_ptr<DirectoryHandle> directory;
        bool opened = false;
        const SysTime threshold = ageThreshold(now, rule.weeks);
        for (const std::string& pattern : rule.patterns) {
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
