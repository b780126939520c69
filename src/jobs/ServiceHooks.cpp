#include "ServiceHooks.h"

#include "MoverSettings.h"

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
    m_diskMonitor.checkDrive(drive,
                             diskMonitorOf(readSettings(m_services.profile, {}, reportOf(m_services))));
}

void ServiceHooks::checkAdditionalDrives(SysTime) {
    m_diskMonitor.checkAdditionalDrives();
}

}  // namespace qx
