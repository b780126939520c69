#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "ActivityLog.h"
#include "PathMap.h"

namespace qx {

// Whether a command may take the installation's settings as they are: nullopt when the installation
// root and the profile directory are directories and qxmover.ini in it can be read; else why not, in
// words naming the place and the option that sets it. A mistyped --root or --windir would otherwise run
// a job on default settings (and empty the wrong week directory). `moverIniRequired` false lets a
// missing qxmover.ini pass (the service's first start writes its defaults); one that is there but cannot
// be read (a symbolic link to nothing included) never passes, because the defaults would then stand for
// settings that exist.
std::optional<std::string> settingsProblem(const PathMap& paths, bool moverIniRequired);

// Why the service cannot run: settingsProblem() without requiring qxmover.ini, or the directory of the
// activity log is missing (or no directory). A service without them would run in silence and do
// nothing it is meant to, so it ends instead. nullopt when all is there.
std::optional<std::string> missingServiceDirectory(const PathMap& paths, const ActivityLog& log, SysTime now);

// The one line the headless service prints on standard error at its start, where journald keeps it:
// root, profile directory, activity log and clock ("system" or "virtual FROM until UNTIL").
std::string serviceStartLine(const PathMap& paths, const ActivityLog& log, SysTime now,
                             std::optional<SysTime> virtualUntil);

}  // namespace qx
