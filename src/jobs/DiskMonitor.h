#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "DiskSpace.h"
#include "FileOperations.h"
#include "Result.h"
#include "Services.h"
#include "SettingKeys.h"
#include "SharedState.h"

namespace qx {

// The disk space monitor: the free-space check of the drives C: to F: with its four reactions (alarm,
// SMS, batch program, call) and the used-space check of the further drives of [MonitorAddtionalDrives].
// Drives are the directories mapped by --drive (C: is the installation root); a drive that is not
// mapped, or whose space cannot be queried within a few seconds, is skipped without a message.
class DiskMonitor {
public:
    using SpaceQuery = std::function<std::optional<DiskSpace>(const std::filesystem::path& root)>;

    // `files` writes the SMS text file; `query` asks for the space of a drive root (the platform's
    // query when empty). Both must outlive the monitor. Without `writeBack` (a dry run) a missing
    // DialPhoneRetry is used as 4 but not written.
    DiskMonitor(Services& services, FileOperations& files, SpaceQuery query = {}, bool writeBack = true);

    // Tests `drive` ("C:") against the minimum of `settings` and, when it is low, runs the reactions
    // in order: alarm (alarm key 10 or more), SMS, batch program, call. True when the drive was low,
    // false when not; a failure when it was low and a reaction could not be started: the first such
    // line, and how many of its reactions failed when more than one.
    Result<bool> checkDrive(std::string_view drive, const DiskMonitorSettings& settings);

    // Tests the further drives Drive1.. (up to 50, ending at the first value shorter than two
    // characters) and starts the alarm of each drive whose used share has reached its Space value
    // (held to 0..100). A StartAlarm value that is no alarm number (10..9999) starts nothing and is
    // logged. Returns the number of alarms started.
    int checkAdditionalDrives();

    // How many reactions could not be started since the monitor was made (each is logged: "Cannot
    // start alarm ...", never "started").
    int failedReactions() const { return m_failed.count(); }
    // The same as an outcome: a failure with the first such line, and the count when there were more.
    Result<> reactions() const;

    // The native root of a drive or path root such as "G:" or "G:\data"; nullopt for a drive letter
    // that is not mapped.
    std::optional<std::filesystem::path> rootOf(std::string_view drive) const;

private:
    // The reactions: success when started (or not wanted), else the logged failure.
    Result<> alarm(std::string_view drive, const DiskMonitorSettings& settings);
    Result<> sms(std::string_view drive, const DiskMonitorSettings& settings);
    Result<> batch(std::string_view drive, const DiskMonitorSettings& settings);
    Result<> call(std::string_view drive, const DiskMonitorSettings& settings);
    bool writeSmsFile(std::string_view drive);
    // Logs `line` of a reaction that could not be started, counts it, and returns it as the failure.
    Failure failed(const std::string& line);

    Services& m_services;
    FileOperations& m_files;
    SpaceQuery m_query;
    bool m_writeBack;
    FailureTally m_failed{"reactions"};
};

// Whether a drive is too low on space: fewer whole megabytes free than `minSpaceMb` (compared
// unsigned, as the settings are stored). A writable drive with less than one megabyte free is low; a
// read-only medium, which reports nothing free, never is.
bool isLow(const DiskSpace& space, int minSpaceMb);

// The used share in whole per cent (rounded down), computed in 64 bits; nullopt for a drive smaller
// than one megabyte, which has no share to speak of.
std::optional<int> usedPercent(const DiskSpace& space);

// The voice file folder of the alarm and the call: "\dtvox\" for DefaultLanguage exactly "DT",
// "\frvox\" for exactly "FR", else "\gbvox\".
std::string voiceFolder(const SettingReader& settings);

// "qxahdko<letter>.vox": the voice file that names the drive.
std::string voiceFile(std::string_view drive);

}  // namespace qx
