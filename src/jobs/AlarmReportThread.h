#pragma once

#include <memory>
#include <stop_token>

#include "Clock.h"
#include "FileOperations.h"
#include "Services.h"

namespace qx {

// Prints the alarm report at midnight: every night when [AlarmReport] ReportType is not 0, otherwise
// on Mondays only. ReportType is read afresh each night. At most one report per local date, also when
// a daylight saving change repeats the hour after midnight; where the change skips midnight, the
// night's report comes in the first minute after the gap.
class AlarmReportThread {
public:
    // `files` defaults to the real file operations; it must outlive the thread.
    explicit AlarmReportThread(Services& services, FileOperations* files = nullptr);
    ~AlarmReportThread();

    // One look at the clock at `now`: in minute 0 of hour 0 (or of the hour after a gap that skipped
    // hour 0) the report is made when it is due.
    // Returns when to look next: the next minute while not in minute 0, else the next full hour.
    SysTime pass(SysTime now);

    // pass() and sleep until stopped. A pass that throws is logged and the next one comes as usual.
    void run(std::stop_token stop);

private:
    Services& m_services;
    std::unique_ptr<FileOperations> m_ownFiles;
    FileOperations& m_files;
    long m_lastReportDate = -1;  // YYYYMMDD of the last report made
};

}  // namespace qx
