#pragma once

#include <iosfwd>

#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "TablePrint.h"

namespace qx {

// `qxmover alarms`: the alarm key list, one "%d  %s" line per alarm definition. Returns 0; 1 when the
// alarm table cannot be opened (message 116 through `prompts`, then one line on `err` naming the
// configured and the native path and why, as printTable does; nothing on `out`).
int printAlarmList(Profile& profile, const PathMap& paths, Prompts& prompts, std::ostream& out,
                   std::ostream& err);

}  // namespace qx
