#include "SharedState.h"

namespace qx {

DiskMonitorSettings SharedState::diskMonitor() const {
    std::lock_guard lock(m_mutex);
    return m_diskMonitor;
}

void SharedState::setDiskMonitor(DiskMonitorSettings settings) {
    std::lock_guard lock(m_mutex);
    m_diskMonitor = std::move(settings);
}

std::string SharedState::driveList() const {
    std::lock_guard lock(m_mutex);
    return m_driveList;
}

void SharedState::setDriveList(std::string drives) {
    std::lock_guard lock(m_mutex);
    m_driveList = std::move(drives);
}

std::string SharedState::autoBackupPath() const {
    std::lock_guard lock(m_mutex);
    return m_autoBackupPath;
}

void SharedState::setAutoBackupPath(std::string path) {
    std::lock_guard lock(m_mutex);
    m_autoBackupPath = std::move(path);
}

std::string SharedState::logDirectory() const {
    std::lock_guard lock(m_mutex);
    return m_logDirectory;
}

void SharedState::setLogDirectory(std::string directory) {
    std::lock_guard lock(m_mutex);
    m_logDirectory = std::move(directory);
}

std::vector<AlarmKeyEntry> SharedState::alarmKeys() const {
    std::lock_guard lock(m_mutex);
    return m_alarmKeys;
}

void SharedState::setAlarmKeys(std::vector<AlarmKeyEntry> keys) {
    std::lock_guard lock(m_mutex);
    m_alarmKeys = std::move(keys);
}

}  // namespace qx
