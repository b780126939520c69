#pragma once

#include <string_view>

#include "Clock.h"

namespace qx {

// The jobs of the monitors and the further housekeeping that the scheduler and the weekly move call out
// to. These defaults do nothing, for tests that record the calls; the service runs ServiceHooks, which
// overrides every one.
class JobHooks {
public:
    virtual ~JobHooks() = default;

    // The daily free-space check of one drive ("C:" .. "F:") at the disk-check hour.
    virtual void checkDrive(std::string_view /*drive*/, SysTime /*now*/) {}
    // The used-space check of the further drives, after the drives of the daily check.
    virtual void checkAdditionalDrives(SysTime /*now*/) {}
    // Moving and deleting the conference recordings.
    virtual void conferenceRecordings(SysTime /*now*/) {}
    // Deleting old alarm recordings.
    virtual void alarmRecordings(SysTime /*now*/) {}
    // The user's extra deletion rules.
    virtual void extraDeletion(SysTime /*now*/) {}
};

}  // namespace qx
