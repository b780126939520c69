#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Clock.h"
#include "DeletionDirectory.h"
#include "HousekeepingResult.h"
#include "Services.h"
#include "SettingRecords.h"

namespace qx {

// Rules 1 to 49 (DeletionRule, SettingRecords.h), up to the first empty DelPath; bad values are told in
// `report`.
std::vector<DeletionRule> readDeletionRules(const Profile& profile,
                                            std::optional<SettingReport> report = std::nullopt);

// Deletes, rule by rule and pattern by pattern, the files of the rule's directory that match the
// pattern and are older than the rule's weeks. Directories stay; links are removed as links; a
// pattern naming another directory (holding '\' or '/') is refused and logged, as is a directory that
// resolves to a protected place or cannot be read. Each pattern that found at least one entry logs
// "Delete files P which are older then N weeks from directory D" (D as configured). The first file that
// could not be deleted is logged with its reason, and how many failed in all; the other rules still
// run. A stop requested through services.stop ends the job between two files. Returns what was deleted
// and what failed or was refused.
HousekeepingResult deleteAdditionalFiles(Services& services, Deleter& deleter, SysTime now);

}  // namespace qx
