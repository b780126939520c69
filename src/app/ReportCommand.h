#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>

#include "Clock.h"
#include "Environment.h"

namespace qx {

struct ReportOptions {
    std::optional<SysTime> at;     // the time the report believes it is; now when absent
    std::filesystem::path output;  // empty: standard output
};

// Writes the alarm report of [AlarmReport] ReportType, as the night's report would hold it, to the
// output without printing it and without touching the report file. Returns 0, or 1 when there is no
// alarm index or the output cannot be written (with a line on `err`).
int runReportCommand(const GlobalOptions& global, const ReportOptions& options, std::ostream& out,
                     std::ostream& err);

}  // namespace qx
