#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "ActivityLog.h"
#include "PathMap.h"

namespace qx {

// Why the service cannot run: the installation root, the profile directory or the directory of the
// activity log is missing (or no directory). A service without them would run in silence and do
// nothing it is meant to, so it ends instead. nullopt when all three are there.
std::optional<std::string> missingServiceDirectory(const PathMap& paths, const ActivityLog& log, SysTime now);

// The one line the headless service prints on standard error at its start, where journald keeps it:
// root, profile directory, activity log and clock ("system" or "virtual FROM until UNTIL").
std::string serviceStartLine(const PathMap& paths, const ActivityLog& log, SysTime now,
                             std::optional<SysTime> virtualUntil);

}  // namespace qx
