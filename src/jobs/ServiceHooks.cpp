#include "ServiceHooks.h"

#include "Clock.h"
#include "JobRecord.h"
#include "MoverSettings.h"
#include "Profile.h"

namespace qx {

ServiceHooks::ServiceHooks(Services& services, DiskMonitor::SpaceQuery query)
    : HousekeepingHooks(services),
      m_services(services),
      m_ownFiles(std::make_unique<PosixFileOperations>()),
      m_diskMonitor(services, *m_ownFiles, std::move(query)) {}

ServiceHooks::ServiceHooks(Services& services, FileOperations& files, Deleter& deleter,
                           DiskMonitor::SpaceQuery query, bool writeBack)
    : HousekeepingHooks(services, files, deleter),
      m_services(services),
      m_diskMonitor(services, files, std::move(query), writeBack) {}

ServiceHooks::~ServiceHooks() = default;

void ServiceHooks::checkDrive(std::string_view drive, SysTime) {
    // A reaction that could not start is logged and counted by the monitor; the drive was low all the same.
    const Result<bool> checked = m_diskMonitor.checkDrive(
        drive, diskMonitorOf(readSettings(m_services.profile, {}, reportOf(m_services))));
    if (!checked || checked.value())
        m_lowDrives += (m_lowDrives.empty() ? "" : " ") + std::string(drive);
}

void ServiceHooks::checkAdditionalDrives(SysTime now) {
    const int alarms = m_diskMonitor.checkAdditionalDrives();
    // The further drives end every disk check: the check as a whole goes into the job record.
    std::string reason;
    if (!m_lowDrives.empty())
        reason = "not enough space left on " + m_lowDrives;
    if (alarms > 0)
        reason +=
            (reason.empty() ? "" : "; ") + std::to_string(alarms) + " further drive(s) over their limit";
    if (m_diskMonitor.failedReactions() != m_reactionsFailedBefore)
        reason += (reason.empty() ? "" : "; ") + std::string("a reaction could not be started");
    reportJob(m_services, Job::DiskCheck, now, reason.empty(), reason);
    m_lowDrives.clear();
    m_reactionsFailedBefore = m_diskMonitor.failedReactions();
}

}  // namespace qx
