#include "HousekeepingHooks.h"

#include "AdditionalDeletion.h"
#include "AlarmWavs.h"
#include "ConferenceRecordings.h"

namespace qx {

HousekeepingHooks::HousekeepingHooks(Services& services)
    : m_services(services),
      m_ownFiles(std::make_unique<PosixFileOperations>()),
      m_ownDeleter(std::make_unique<Deleter>()),
      m_files(*m_ownFiles),
      m_deleter(*m_ownDeleter) {}

HousekeepingHooks::HousekeepingHooks(Services& services, FileOperations& files, Deleter& deleter)
    : m_services(services), m_files(files), m_deleter(deleter) {}

HousekeepingHooks::~HousekeepingHooks() = default;

void HousekeepingHooks::conferenceRecordings(SysTime now) {
    processConferenceWavs(m_services, m_files, m_deleter, now);
}

void HousekeepingHooks::alarmRecordings(SysTime now) {
    deleteOldAlarmWavs(m_services, m_deleter, now);
}

void HousekeepingHooks::extraDeletion(SysTime now) {
    deleteAdditionalFiles(m_services, m_deleter, now);
}

}  // namespace qx
