#include "DiskMonitor.h"

#include <system_error>

#include "ActivityLog.h"
#include "JobRecord.h"
#include "Launcher.h"
#include "MonitorCommands.h"
#include "PathMap.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "SettingRecords.h"
#include "SharedState.h"
#include "StringTable.h"
#include "WarningFile.h"

namespace qx {

namespace {

constexpr int kFirstAlarm = 10;
constexpr int kAdditionalDrives = 50;

std::optional<DiskSpace> platformQuery(const std::filesystem::path& root) {
    return queryDiskSpace(root);
}

}  // namespace

bool isLow(const DiskSpace& space, int minSpaceMb) {
    if (space.readOnly)
        return false;
    const std::uint64_t freeMb = space.freeBytes >> 20;
    return freeMb < static_cast<std::uint32_t>(minSpaceMb);
}

std::optional<int> usedPercent(const DiskSpace& space) {
    const std::uint64_t freeMb = space.freeBytes >> 20;
    const std::uint64_t totalMb = space.totalBytes >> 20;
    if (totalMb == 0 || freeMb > totalMb)
        return std::nullopt;
    return static_cast<int>((totalMb * 100 - freeMb * 100) / totalMb);
}

std::string voiceFolder(const SettingReader& settings) {
    const std::string language = settings.text(keys::kDefaultLanguage);
    if (language == "DT")
        return "\\dtvox\\";
    if (language == "FR")
        return "\\frvox\\";
    return "\\gbvox\\";
}

std::string voiceFile(std::string_view drive) {
    return "qxahdko" + std::string(drive.substr(0, 1)) + ".vox";
}

DiskMonitor::DiskMonitor(Services& services, FileOperations& files, SpaceQuery query, bool writeBack)
    : m_services(services),
      m_files(files),
      m_query(query ? std::move(query) : SpaceQuery(platformQuery)),
      m_writeBack(writeBack) {}

std::optional<std::filesystem::path> DiskMonitor::rootOf(std::string_view drive) const {
    const bool hasLetter = drive.size() >= 2 && drive[1] == ':';
    if (hasLetter && !m_services.paths.drive(drive[0]))
        return std::nullopt;
    return m_services.paths.native(std::string(drive) + "\\");
}

Result<bool> DiskMonitor::checkDrive(std::string_view drive, const DiskMonitorSettings& settings) {
    auto root = rootOf(drive);
    if (!root)
        return false;
    auto space = m_query(*root);
    if (space && m_services.jobs)
        m_services.jobs->driveFree(drive, space->freeBytes);
    if (!space || !isLow(*space, settings.minSpaceMb))
        return false;
    FailureTally notStarted("reactions");
    notStarted.add(alarm(drive, settings));
    notStarted.add(sms(drive, settings));
    notStarted.add(batch(drive, settings));
    notStarted.add(call(drive, settings));
    if (Result<> outcome = notStarted.outcome(); !outcome)
        return *outcome.failure();
    return true;
}

Result<> DiskMonitor::reactions() const {
    return m_failed.outcome();
}

Failure DiskMonitor::failed(const std::string& line) {
    m_failed.add(Failure(line));
    m_services.log.note(line);
    return Failure(line);
}

Result<> DiskMonitor::alarm(std::string_view drive, const DiskMonitorSettings& settings) {
    if (settings.alarmKey < kFirstAlarm)
        return {};
    if (!m_services.launcher.run(
            sibling::diskAlarm(settings.alarmKey, voiceFile(drive), voiceFolder(settingsOf(m_services)))))
        return failed("Cannot start alarm " + std::to_string(settings.alarmKey) + ", although drive " +
                      std::string(drive) + " has not enough space left");
    m_services.log.note("Alarm " + std::to_string(settings.alarmKey) + " started because drive " +
                        std::string(drive) + " has not enough space left");
    return {};
}

Result<> DiskMonitor::batch(std::string_view drive, const DiskMonitorSettings& settings) {
    if (settings.batchProgram.empty() || m_services.launcher.run(settings.batchProgram))
        return {};
    return failed("Cannot start batch program " + settings.batchProgram + ", although drive " +
                  std::string(drive) + " has not enough space left");
}

bool DiskMonitor::writeSmsFile(std::string_view drive) {
    const std::string dbPath = settingsOf(m_services).text(keys::kSmsDbPath);
    std::filesystem::path file = m_services.paths.native(dbPath + ".\\qxahdko.msg");
    return writeWarningFile(m_files, file, m_services.strings.format(kStrLowDiskSms, drive) + "\n");
}

Result<> DiskMonitor::sms(std::string_view drive, const DiskMonitorSettings& settings) {
    if (settings.smsNumber.empty() || !writeSmsFile(drive))
        return {};
    if (!m_services.launcher.run(sibling::diskSms(settings.smsNumber)))
        return failed("Cannot send SMS to " + settings.smsNumber + ", although drive " + std::string(drive) +
                      " has not enough space left");
    m_services.log.note("Send SMS to " + settings.smsNumber + ", because drive " + std::string(drive) +
                        " has not enough space left");
    return {};
}

Result<> DiskMonitor::call(std::string_view drive, const DiskMonitorSettings& settings) {
    if (settings.phoneNumber.empty())
        return {};
    const SettingReader reader = settingsOf(m_services, m_writeBack);
    const int retries = reader.integer(keys::kDialPhoneRetry);
    if (!m_services.launcher.run(
            sibling::diskCall(settings.phoneNumber, voiceFile(drive), voiceFolder(reader), retries)))
        return failed("Cannot call number " + settings.phoneNumber + ", although drive " +
                      std::string(drive) + " has not enough space left");
    m_services.log.note("Call number " + settings.phoneNumber + ", because drive " + std::string(drive) +
                        " has not enough space left");
    return {};
}

int DiskMonitor::checkAdditionalDrives() {
    const SettingReader settings = settingsOf(m_services, m_writeBack);
    int started = 0;
    for (int n = 1; n <= kAdditionalDrives; ++n) {
        if (settings.text(keys::kDrive, n).size() < 2)
            break;
        const MonitoredDrive entry = readMonitoredDrive(settings, n);
        const std::string& drive = entry.drive;
        const int limit = entry.percent;
        const int alarmNumber = entry.alarmNumber;
        auto root = rootOf(drive);
        auto space = root ? m_query(*root) : std::nullopt;
        auto used = space ? usedPercent(*space) : std::nullopt;
        if (!used || *used < limit || alarmNumber < 0)
            continue;
        if (!m_services.launcher.run(sibling::driveAlarm(alarmNumber))) {
            failed("Cannot start alarm " + std::to_string(alarmNumber) + ", although drive " + drive +
                   " has reached " + std::to_string(*used) + " %");
            continue;
        }
        m_services.log.note("Alarm " + std::to_string(alarmNumber) + " started because drive " + drive +
                            " has reached " + std::to_string(*used) + " %");
        ++started;
    }
    return started;
}

}  // namespace qx
