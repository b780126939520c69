#pragma once

// The profile files and sections that the service reads and writes. Files are named bare: they lie in
// the profile (Windows) directory. Section names are spelled as the installation's programs write them.
namespace qx::ini {

inline constexpr const char* kMover = "qxmover.ini";
inline constexpr const char* kAlarm = "qxalarm.ini";
inline constexpr const char* kAview = "qxaview.ini";
inline constexpr const char* kAconf = "qxaconf.ini";
inline constexpr const char* kAwdog = "qxawdog.ini";
inline constexpr const char* kAlog = "qxalog.ini";
inline constexpr const char* kWdir = "qxa_wdir.ini";
inline constexpr const char* kInfo = "qxinfo.ini";

// qxmover.ini
inline constexpr const char* kConfig = "Config";
inline constexpr const char* kAlarmReport = "AlarmReport";
inline constexpr const char* kHDCheck = "HDCheck";
inline constexpr const char* kMonitorAdditionalDrives = "MonitorAddtionalDrives";
inline constexpr const char* kAutoBackup = "AutoBackup";
inline constexpr const char* kStartMore = "StartMore";
inline constexpr const char* kQxeTaskParameter = "QxeTaskParameter%d";
inline constexpr const char* kLauncher = "Launcher%d";
inline constexpr const char* kJobDirWatcher = "JobDirWatcher";
inline constexpr const char* kWebTrigger = "WebTrigger";
inline constexpr const char* kDeleteAdditionalLogs = "DeleteAddtionalLogs";
inline constexpr const char* kPlatform = "Platform";

// qxalarm.ini
inline constexpr const char* kAlarmConfig = "config";
inline constexpr const char* kLineWatchDog = "LineWatchDog";
inline constexpr const char* kWatchDog = "WatchDog";
inline constexpr const char* kQxaconf = "qxaconf";
inline constexpr const char* kQxawrdb = "qxawrdb";

// qxawdog.ini, qxalog.ini, qxa_wdir.ini, qxinfo.ini
inline constexpr const char* kQxaWDog = "QxaWDog";
inline constexpr const char* kWDog = "WDog%d";
inline constexpr const char* kSettings = "Settings";
inline constexpr const char* kLastAlarm = "LastAlarm";
inline constexpr const char* kPathnames = "Pathnames";
inline constexpr const char* kAddresses = "Addresses";

}  // namespace qx::ini
