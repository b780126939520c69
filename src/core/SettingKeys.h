#pragma once

#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ProfileNames.h"

namespace qx {

class ActivityLog;
class Profile;
class SettingNotices;
struct Services;

// ---------------------------------------------------------------------------------------------------
// The key table: every profile key that the service reads as a number, named once, with where it
// lives, what it holds and which values make sense. Jobs and editors read a key through its row
// (SettingReader), so that all of them agree on its default, its range and what a bad value becomes,
// and a bad value is told once instead of overflowing a computation or quietly switching a monitor
// off or on.
//
// A row says:
//  - file, section, name: where the key lives. A name with "%d" is a numbered key (CheckJob%d): the
//    reader puts the number in. A section with "%d" is a numbered section (QxeTaskParameter%d): the
//    reader puts the section number in.
//  - type: Integer (decimal, or 0x hex, as the installation's programs write it), Flag (0 off, any
//    other number on; out of range only when it does not fit 32 bits), NumberText: a number kept as
//    text of at most size - 1 characters (an alarm number that the dialogs write with "%d"), or Text:
//    a text of at most size - 1 characters (a path, a pattern, a command line).
//  - leadingNumber: the number is the start of the text and whatever follows its digits is left aside
//    (an alarm stored as the dialogs' entry "12  Fire", a week count typed as "10 weeks").
//  - defaultValue: what a missing key, a missing file or an empty value ("Key=") gives; for Text and
//    NumberText rows defaultText is what a missing key gives (a NumberText without one is then no
//    number).
//  - marker: the value the key is read with where a missing key is written back. Reading it (a missing
//    key, or the marker stored) writes defaultValue into the file, when the reader may write, and uses
//    it; nothing is told, as the installation's programs create such keys this way. With
//    belowRangeIsMissing, a stored value below the range is written back likewise (and told).
//  - low, high: the values that make sense, both included.
//  - outOfRange: what a value outside low..high, or text where a number belongs, becomes:
//      Default       defaultValue;
//      NearestBound  low or high, whichever lies nearer (text: defaultValue); with aboveHigh set, a
//                    value above high becomes aboveHigh instead;
//      Fallback      `fallback`, whose effect `fallbackMeaning` says in the log ("no alarm is
//                    started"), for keys where no number would be sound.
//  - size: the room a Text or NumberText value is read with, as the installation's programs read it;
//    0 for the other types. A longer stored text is cut to size - 1 characters and told.
//
// A bad value is told in the activity log (whatever WriteLogFile says, as it is a fault of the
// installation) once, the first time it is seen: "FILE [SECTION] KEY=VALUE is out of range (LOW to
// HIGH); USED is used instead", "... is not a number; ...", or for a text "... is longer than N
// characters; the first N are used". Numbers are read without wrapping: a value too large for 32 bits
// is out of range, never a small or negative number.
//
// Keys are written through a SettingWriter, which refuses what the row's reader would not take back as
// it is (a number out of range, a text longer than its room), so that what an editor stores is what a
// job reads.
//
// To move another key onto the table: add its row below, in its section's group, list it in kAll (the
// tests feed every listed row bad values), and read it through a SettingReader where it is read today.
// ---------------------------------------------------------------------------------------------------

enum class SettingType { Integer, Flag, NumberText, Text };

enum class OutOfRange { Default, NearestBound, Fallback };

struct SettingKey {
    std::string_view file;
    std::string_view section;
    std::string_view name;
    SettingType type = SettingType::Integer;
    int defaultValue = 0;
    std::optional<int> marker = std::nullopt;
    bool belowRangeIsMissing = false;
    int low = INT_MIN;
    int high = INT_MAX;
    OutOfRange outOfRange = OutOfRange::Default;
    int fallback = 0;
    std::string_view fallbackMeaning = {};
    std::size_t size = 0;
    std::string_view defaultText = {};
    bool leadingNumber = false;
    std::optional<int> aboveHigh = std::nullopt;

    // The key's name, with `number` in place of "%d" for a numbered key.
    std::string keyName(int number = 0) const;
    // The section's name, with `number` in place of "%d" for a numbered section.
    std::string sectionName(int number = 0) const;
};

namespace keys {

// qxmover.ini [HDCheck]: the disk check.
// The hour of the daily check; 24 or -1 would mean "never", which no one sets on purpose.
inline constexpr SettingKey kCheckTime{.file = ini::kMover,
                                       .section = ini::kHDCheck,
                                       .name = "CheckTime",
                                       .defaultValue = 7,
                                       .low = 0,
                                       .high = 23};
// Megabytes; compared unsigned with the free space, so -1 would make every drive low every day.
inline constexpr SettingKey kMinSpace{.file = ini::kMover,
                                      .section = ini::kHDCheck,
                                      .name = "MinSpace",
                                      .defaultValue = 200,
                                      .low = 1,
                                      .high = INT_MAX};
inline constexpr SettingKey kDialPhoneRetry{.file = ini::kMover,
                                            .section = ini::kHDCheck,
                                            .name = "DialPhoneRetry",
                                            .defaultValue = 4,
                                            .marker = -9,
                                            .low = 0,
                                            .high = 99};

// qxmover.ini [MonitorAddtionalDrives]: the used-space check, per drive n.
inline constexpr SettingKey kDriveSpace{.file = ini::kMover,
                                        .section = ini::kMonitorAdditionalDrives,
                                        .name = "Space%d",
                                        .defaultValue = 0,
                                        .low = 0,
                                        .high = 100,
                                        .outOfRange = OutOfRange::NearestBound};
// The editor stores the chosen alarm list entry ("12  Fire"): the alarm is the number it starts with.
inline constexpr SettingKey kDriveAlarm{.file = ini::kMover,
                                        .section = ini::kMonitorAdditionalDrives,
                                        .name = "StartAlarm%d",
                                        .type = SettingType::NumberText,
                                        .low = 10,
                                        .high = 9999,
                                        .outOfRange = OutOfRange::Fallback,
                                        .fallback = -1,
                                        .fallbackMeaning = "no alarm is started",
                                        .size = 256,
                                        .leadingNumber = true};
// The drive or path root ("G:"); one shorter than two characters ends the list.
inline constexpr SettingKey kDrive{.file = ini::kMover,
                                   .section = ini::kMonitorAdditionalDrives,
                                   .name = "Drive%d",
                                   .type = SettingType::Text,
                                   .size = 128};

// qxmover.ini [JobDirWatcher]: the job directory watcher.
// Minutes between passes; 0 (or missing) is written back as 5. More than a week is taken for a typing
// error rather than a wish to watch less often than that.
inline constexpr SettingKey kCheckJobIntervalMin{.file = ini::kMover,
                                                 .section = ini::kJobDirWatcher,
                                                 .name = "CheckJobIntervalMin",
                                                 .defaultValue = 5,
                                                 .marker = 0,
                                                 .low = 1,
                                                 .high = 7 * 24 * 60};
// Slot n is watched only at 1; another value watches nothing, which is told.
inline constexpr SettingKey kCheckJob{.file = ini::kMover,
                                      .section = ini::kJobDirWatcher,
                                      .name = "CheckJob%d",
                                      .low = 0,
                                      .high = 1,
                                      .outOfRange = OutOfRange::Fallback,
                                      .fallback = 0,
                                      .fallbackMeaning = "the slot is not watched"};
inline constexpr SettingKey kStartOnErrorType{.file = ini::kMover,
                                              .section = ini::kJobDirWatcher,
                                              .name = "StartOnErrorType",
                                              .type = SettingType::Flag};
// The alarm number as text (the dialog writes it with "%d"); text that is no alarm number starts none,
// rather than alarm 0.
inline constexpr SettingKey kStartOnErrorAlarm{.file = ini::kMover,
                                               .section = ini::kJobDirWatcher,
                                               .name = "StartOnErrorAlarm",
                                               .type = SettingType::NumberText,
                                               .defaultValue = -1,
                                               .low = 10,
                                               .high = 9999,
                                               .outOfRange = OutOfRange::Fallback,
                                               .fallback = -1,
                                               .fallbackMeaning = "no alarm is started",
                                               .size = 40};

inline constexpr SettingKey kStartOnErrorProg{.file = ini::kMover,
                                              .section = ini::kJobDirWatcher,
                                              .name = "StartOnErrorProg",
                                              .type = SettingType::Text,
                                              .size = 128};
// Per slot n (1..3): the directory or search pattern, whether stale files are moved, and where to.
inline constexpr SettingKey kCheckDir{.file = ini::kMover,
                                      .section = ini::kJobDirWatcher,
                                      .name = "CheckDir%d",
                                      .type = SettingType::Text,
                                      .size = 256};
inline constexpr SettingKey kMoveFiles{
    .file = ini::kMover, .section = ini::kJobDirWatcher, .name = "MoveFiles%d", .type = SettingType::Flag};
inline constexpr SettingKey kMoveDir{.file = ini::kMover,
                                     .section = ini::kJobDirWatcher,
                                     .name = "MoveDir%d",
                                     .type = SettingType::Text,
                                     .size = 128};

// qxmover.ini [WebTrigger].
// The minute of every hour; missing or negative is written back as 7. 60 would never come.
inline constexpr SettingKey kStartOnMin{.file = ini::kMover,
                                        .section = ini::kWebTrigger,
                                        .name = "StartOnMin",
                                        .defaultValue = 7,
                                        .marker = -1,
                                        .belowRangeIsMissing = true,
                                        .low = 0,
                                        .high = 59};

// qxmover.ini [StartMore]: the timed tasks, per task n. A value that matches no hour, day or type
// keeps the task from starting, which is told rather than guessed around.
inline constexpr SettingKey kTaskTime{.file = ini::kMover,
                                      .section = ini::kStartMore,
                                      .name = "Time%d",
                                      .defaultValue = 0,
                                      .low = 0,
                                      .high = 23,
                                      .outOfRange = OutOfRange::Fallback,
                                      .fallback = -1,
                                      .fallbackMeaning = "the task is not started"};
// 0 or less: every day; 1..7 Monday..Sunday; 8 Monday to Friday.
inline constexpr SettingKey kTaskDay{.file = ini::kMover,
                                     .section = ini::kStartMore,
                                     .name = "Day%d",
                                     .defaultValue = 0,
                                     .low = INT_MIN,
                                     .high = 8,
                                     .outOfRange = OutOfRange::Fallback,
                                     .fallback = 9,
                                     .fallbackMeaning = "the task is not started"};
inline constexpr SettingKey kTaskType{.file = ini::kMover,
                                      .section = ini::kStartMore,
                                      .name = "Type%d",
                                      .defaultValue = 0,
                                      .low = 0,
                                      .high = 2,
                                      .outOfRange = OutOfRange::Fallback,
                                      .fallback = -1,
                                      .fallbackMeaning = "the task is not started"};

// The task's program, module or alarm entry; the first empty one ends the list.
inline constexpr SettingKey kTaskProgram{.file = ini::kMover,
                                         .section = ini::kStartMore,
                                         .name = "Prog%d",
                                         .type = SettingType::Text,
                                         .size = 128};
// Program tasks only: 1 passes the last and current week, the month and the year; 0 passes nothing.
inline constexpr SettingKey kTaskWeekParameter{.file = ini::kMover,
                                               .section = ini::kStartMore,
                                               .name = "WeekParameter%d",
                                               .low = 0,
                                               .high = 1,
                                               .outOfRange = OutOfRange::Fallback,
                                               .fallback = 0,
                                               .fallbackMeaning = "no week parameters are passed"};

// qxmover.ini [DeleteAddtionalLogs]: the extra deletion rules, per rule n.
inline constexpr SettingKey kDeletePath{.file = ini::kMover,
                                        .section = ini::kDeleteAdditionalLogs,
                                        .name = "DelPath%d",
                                        .type = SettingType::Text,
                                        .size = 128};
// Patterns separated by ";"; the editor stores "*.*" for all files.
inline constexpr SettingKey kDeleteExtension{.file = ini::kMover,
                                             .section = ini::kDeleteAdditionalLogs,
                                             .name = "DelExt%d",
                                             .type = SettingType::Text,
                                             .size = 40};
// Weeks; 0 counts as 1. A negative limit would lie in the future and take every file at once, and a
// limit of centuries would overflow the threshold.
inline constexpr SettingKey kDeleteWeeks{.file = ini::kMover,
                                         .section = ini::kDeleteAdditionalLogs,
                                         .name = "DelAfterWeeks%d",
                                         .defaultValue = 0,
                                         .low = 0,
                                         .high = 5200,
                                         .outOfRange = OutOfRange::NearestBound};

// qxmover.ini [Config] and qxalarm.ini [qxaconf]: the conference recordings.
inline constexpr SettingKey kResultWavePath{.file = ini::kAlarm,
                                            .section = ini::kQxaconf,
                                            .name = "ResultWavePath",
                                            .type = SettingType::Text,
                                            .size = 128,
                                            .defaultText = "\\qxt\\log\\confwav"};
inline constexpr SettingKey kMoveToConferWav{.file = ini::kMover,
                                             .section = ini::kConfig,
                                             .name = "MoveToConferWav",
                                             .type = SettingType::Flag,
                                             .defaultValue = 1};
inline constexpr SettingKey kDelConferWav{.file = ini::kMover,
                                          .section = ini::kConfig,
                                          .name = "DelConferWav",
                                          .type = SettingType::Flag,
                                          .defaultValue = 1};
// Week counts kept as text, read as the number they start with; a negative limit would lie in the
// future and take every recording at once.
inline constexpr SettingKey kMoveConferWavWeeks{.file = ini::kMover,
                                                .section = ini::kConfig,
                                                .name = "MoveConferWavAfterWeeks",
                                                .type = SettingType::NumberText,
                                                .defaultValue = 10,
                                                .low = 0,
                                                .high = 5200,
                                                .outOfRange = OutOfRange::NearestBound,
                                                .size = 10,
                                                .defaultText = "10",
                                                .leadingNumber = true};
inline constexpr SettingKey kDelConferWavWeeks{.file = ini::kMover,
                                               .section = ini::kConfig,
                                               .name = "DelConferWavAfterWeeks",
                                               .type = SettingType::NumberText,
                                               .defaultValue = 20,
                                               .low = 0,
                                               .high = 5200,
                                               .outOfRange = OutOfRange::NearestBound,
                                               .size = 10,
                                               .defaultText = "20",
                                               .leadingNumber = true};
inline constexpr SettingKey kMoveConferWavTo{.file = ini::kMover,
                                             .section = ini::kConfig,
                                             .name = "MoveConferWavTo",
                                             .type = SettingType::Text,
                                             .size = 128};
// Empty: the archive (MoveConferWavTo).
inline constexpr SettingKey kDelConferWavFrom{.file = ini::kMover,
                                              .section = ini::kConfig,
                                              .name = "DelConferWavFrom",
                                              .type = SettingType::Text,
                                              .size = 256};
inline constexpr SettingKey kDelConferEvtFiles{
    .file = ini::kMover, .section = ini::kConfig, .name = "DelConferEvtFiles", .type = SettingType::Flag};
inline constexpr SettingKey kDelEntriesInSqlDb{
    .file = ini::kMover, .section = ini::kConfig, .name = "DelEntriesInSqlDb", .type = SettingType::Flag};
// Written back as 0 by the main dialog's load when missing.
inline constexpr SettingKey kMoveConferWavDaily{.file = ini::kMover,
                                                .section = ini::kConfig,
                                                .name = "MoveConferWavDaily",
                                                .type = SettingType::Flag,
                                                .marker = -9};

// qxmover.ini [Config], [AlarmReport], [HDCheck] and [AutoBackup], qxaview.ini [Config]: the settings of
// the main dialog (MoverSettings). Flags read with the marker -9 are written back as 0 when missing.
// The scheduler deletes the statistic files only at 1, so another value is off for the dialog too.
inline constexpr SettingKey kDelLogFiles{.file = ini::kMover,
                                         .section = ini::kConfig,
                                         .name = "DelLogFiles",
                                         .low = 0,
                                         .high = 1,
                                         .outOfRange = OutOfRange::Fallback,
                                         .fallback = 0,
                                         .fallbackMeaning = "the statistic files are not deleted"};
// Weeks (weekly moving): the weekly list ends at 53, and anything above it is taken for a year of 52
// weeks. The monthly moving reads the key as months (kWaitBeforeDelMonths).
inline constexpr SettingKey kWaitBeforeDel{.file = ini::kMover,
                                           .section = ini::kConfig,
                                           .name = "WaitBeforeDel",
                                           .defaultValue = 10,
                                           .low = 1,
                                           .high = 53,
                                           .outOfRange = OutOfRange::NearestBound,
                                           .aboveHigh = 52};
// "week", "month"; any other text moves nothing.
inline constexpr SettingKey kAlarmSelectionRange{.file = ini::kAview,
                                                 .section = ini::kConfig,
                                                 .name = "AlarmSelectionRange",
                                                 .type = SettingType::Text,
                                                 .size = 40,
                                                 .defaultText = "week"};
inline constexpr SettingKey kStart2ndBatch{.file = ini::kMover,
                                           .section = ini::kConfig,
                                           .name = "Start2ndBatch",
                                           .type = SettingType::Flag,
                                           .marker = -9};
inline constexpr SettingKey kDeleteMoreFiles{.file = ini::kMover,
                                             .section = ini::kConfig,
                                             .name = "DeleteMoreFiles",
                                             .type = SettingType::Flag,
                                             .marker = -9};
inline constexpr SettingKey kMoveConferWav{.file = ini::kMover,
                                           .section = ini::kConfig,
                                           .name = "MoveConferWav",
                                           .type = SettingType::Flag,
                                           .marker = -9};
inline constexpr SettingKey kDelAlarmWav{.file = ini::kMover,
                                         .section = ini::kConfig,
                                         .name = "DelAlarmWav",
                                         .type = SettingType::Flag,
                                         .marker = -9};
// Weeks; 0 counts as 1. Like the other week counts, a negative age would take every file at once and
// centuries would overflow the threshold.
inline constexpr SettingKey kDelAlarmWavWeeks{.file = ini::kMover,
                                              .section = ini::kConfig,
                                              .name = "DelAlarmWavAfterWeeks",
                                              .defaultValue = 4,
                                              .marker = -9,
                                              .low = 0,
                                              .high = 5200,
                                              .outOfRange = OutOfRange::NearestBound};
inline constexpr SettingKey kMoveConferWavToSubDir{.file = ini::kMover,
                                                   .section = ini::kConfig,
                                                   .name = "MoveConferWavToSubDir",
                                                   .type = SettingType::Flag,
                                                   .marker = -9};
// The scheduler starts the report thread only at 1, so another value is off for the dialog too.
inline constexpr SettingKey kPrintReport{.file = ini::kMover,
                                         .section = ini::kConfig,
                                         .name = "PrintReport",
                                         .defaultValue = 0,
                                         .marker = -9,
                                         .low = 0,
                                         .high = 1,
                                         .outOfRange = OutOfRange::Fallback,
                                         .fallback = 0,
                                         .fallbackMeaning = "no alarm report is printed"};
inline constexpr SettingKey kWriteLogFile{.file = ini::kMover,
                                          .section = ini::kConfig,
                                          .name = "WriteLogFile",
                                          .type = SettingType::Flag,
                                          .defaultValue = 1};
inline constexpr SettingKey kStartSaveBaseAsPostjob{.file = ini::kMover,
                                                    .section = ini::kConfig,
                                                    .name = "StartSaveBaseAsPostjob",
                                                    .type = SettingType::Flag};
// 0 weekly, 1 daily; any other value prints every night without a date filter, which is a choice.
inline constexpr SettingKey kReportType{
    .file = ini::kMover, .section = ini::kAlarmReport, .name = "ReportType"};
inline constexpr SettingKey kDiskCheckActive{
    .file = ini::kMover, .section = ini::kHDCheck, .name = "Active", .type = SettingType::Flag};
inline constexpr SettingKey kDialPhoneIfLow{
    .file = ini::kMover, .section = ini::kHDCheck, .name = "DialPhoneIfLow", .type = SettingType::Flag};
inline constexpr SettingKey kPhoneNumber{.file = ini::kMover,
                                         .section = ini::kHDCheck,
                                         .name = "PhoneNumber",
                                         .type = SettingType::Text,
                                         .size = 256};
inline constexpr SettingKey kSendSmsIfLow{
    .file = ini::kMover, .section = ini::kHDCheck, .name = "SendSMSIfLow", .type = SettingType::Flag};
inline constexpr SettingKey kSmsNumber{.file = ini::kMover,
                                       .section = ini::kHDCheck,
                                       .name = "SMSNumber",
                                       .type = SettingType::Text,
                                       .size = 256};
inline constexpr SettingKey kStartBatchIfLow{
    .file = ini::kMover, .section = ini::kHDCheck, .name = "StartBatchIfLow", .type = SettingType::Flag};
inline constexpr SettingKey kBatchProg{.file = ini::kMover,
                                       .section = ini::kHDCheck,
                                       .name = "BatchProg",
                                       .type = SettingType::Text,
                                       .size = 256};
inline constexpr SettingKey kStartAlarmIfLow{
    .file = ini::kMover, .section = ini::kHDCheck, .name = "StartAlarmIfLow", .type = SettingType::Flag};
// The alarm started when a drive runs low; below 10 none is started.
inline constexpr SettingKey kDiskAlarmKey{.file = ini::kMover,
                                          .section = ini::kHDCheck,
                                          .name = "AlarmKey",
                                          .low = 0,
                                          .high = 9999,
                                          .outOfRange = OutOfRange::Fallback,
                                          .fallback = 0,
                                          .fallbackMeaning = "no alarm is started"};
inline constexpr SettingKey kCheckDrives{.file = ini::kMover,
                                         .section = ini::kHDCheck,
                                         .name = "CheckDrives",
                                         .type = SettingType::Text,
                                         .size = 256};
inline constexpr SettingKey kAutoBackupActive{
    .file = ini::kMover, .section = ini::kAutoBackup, .name = "Active", .type = SettingType::Flag};
inline constexpr SettingKey kAutoBackupPath{.file = ini::kMover,
                                            .section = ini::kAutoBackup,
                                            .name = "Path",
                                            .type = SettingType::Text,
                                            .size = 128,
                                            .defaultText = "\\qxsavebase\\"};

// qxmover.ini [QxeTaskParameter<n>]: the parameters of module task n, texts s1..s9 and numbers i1..i9.
inline constexpr SettingKey kTaskParameterText{.file = ini::kMover,
                                               .section = ini::kQxeTaskParameter,
                                               .name = "s%d",
                                               .type = SettingType::Text,
                                               .size = 80};
// Passed to the module as it is (above 0 only): any 32-bit number.
inline constexpr SettingKey kTaskParameterNumber{
    .file = ini::kMover, .section = ini::kQxeTaskParameter, .name = "i%d"};

// qxalarm.ini [LineWatchDog]: the line watchdog.
// The switches of the line checks and of the watchdog box: 1 on, 0 off. The scheduler starts the
// thread only at 1, so any other value is off for the thread too, and told.
inline constexpr SettingKey kLineChecksActive{.file = ini::kAlarm,
                                              .section = ini::kLineWatchDog,
                                              .name = "WDogActive",
                                              .low = 0,
                                              .high = 1,
                                              .outOfRange = OutOfRange::Fallback,
                                              .fallback = 0,
                                              .fallbackMeaning = "the line checks are off"};
inline constexpr SettingKey kLineStartAlarm{.file = ini::kAlarm,
                                            .section = ini::kLineWatchDog,
                                            .name = "StartAlarm",
                                            .low = 0,
                                            .high = 9999,
                                            .outOfRange = OutOfRange::Fallback,
                                            .fallback = 0,
                                            .fallbackMeaning = "no alarm is started"};
// Only 1 restarts the machine; another value is written back as "0" at the failure.
inline constexpr SettingKey kRestartSystem{.file = ini::kAlarm,
                                           .section = ini::kLineWatchDog,
                                           .name = "RestartSystem",
                                           .low = 0,
                                           .high = 1,
                                           .outOfRange = OutOfRange::Fallback,
                                           .fallback = 0,
                                           .fallbackMeaning = "the system is not restarted"};
// Hours between calls; 0 or less is written back as 1. The failure limit is DeltaHours × 6 + 1 passes,
// so the range also keeps that count far from overflowing; a call less often than weekly would leave
// the lines unproven for too long to be meant.
inline constexpr SettingKey kDeltaHours{.file = ini::kAlarm,
                                        .section = ini::kLineWatchDog,
                                        .name = "DeltaHours",
                                        .defaultValue = 1,
                                        .marker = 0,
                                        .belowRangeIsMissing = true,
                                        .low = 1,
                                        .high = 7 * 24,
                                        .outOfRange = OutOfRange::NearestBound};
inline constexpr SettingKey kMinuteInterval{.file = ini::kAlarm,
                                            .section = ini::kLineWatchDog,
                                            .name = "MinuteInterval",
                                            .defaultValue = 0,
                                            .marker = -9};
inline constexpr SettingKey kStartAlarmImmediately{.file = ini::kAlarm,
                                                   .section = ini::kLineWatchDog,
                                                   .name = "StartAlarmImmediately",
                                                   .defaultValue = 0,
                                                   .marker = -9};

// 1 places no test calls (the counting goes on); another value is told and places them.
inline constexpr SettingKey kDeactivateDial{.file = ini::kAlarm,
                                            .section = ini::kLineWatchDog,
                                            .name = "DeactivateDial",
                                            .low = 0,
                                            .high = 1,
                                            .outOfRange = OutOfRange::Fallback,
                                            .fallback = 0,
                                            .fallbackMeaning = "the test calls are placed"};
// 1: every server that calls back has its own counter in qxawdog.ini.
inline constexpr SettingKey kMultiSrvCallBack{.file = ini::kAlarm,
                                              .section = ini::kLineWatchDog,
                                              .name = "MultiSrvCallBack",
                                              .low = 0,
                                              .high = 1,
                                              .outOfRange = OutOfRange::Fallback,
                                              .fallback = 0,
                                              .fallbackMeaning = "the single counter is checked"};
inline constexpr SettingKey kWriteWarningFile{.file = ini::kAlarm,
                                              .section = ini::kLineWatchDog,
                                              .name = "WriteWarningFile",
                                              .low = 0,
                                              .high = 1,
                                              .outOfRange = OutOfRange::Fallback,
                                              .fallback = 0,
                                              .fallbackMeaning = "no warning file is written"};
// Ten-minute passes without a received test call; after a failure the negative limit. A million passes
// (19 years) is more than any limit the settings give, and keeps "counter + 1" from overflowing; a
// larger count is held at the bound, which fails the check as the count meant.
inline constexpr int kMostPasses = 1'000'000;
inline constexpr SettingKey kLineCheckCounter{.file = ini::kAlarm,
                                              .section = ini::kLineWatchDog,
                                              .name = "CheckCounter",
                                              .low = -kMostPasses,
                                              .high = kMostPasses,
                                              .outOfRange = OutOfRange::NearestBound};

// qxawdog.ini: the servers that call back, per server the alarm key k in [Settings] Key<i> (below 10
// ends the list) and the counter in [WDog<k>].
inline constexpr SettingKey kServerKey{.file = ini::kAwdog,
                                       .section = ini::kSettings,
                                       .name = "Key%d",
                                       .high = 9999,
                                       .outOfRange = OutOfRange::Fallback,
                                       .fallback = 0,
                                       .fallbackMeaning = "the list of servers ends here"};
inline constexpr SettingKey kServerCheckCounter{.file = ini::kAwdog,
                                                .section = ini::kWDog,
                                                .name = "CheckCounter",
                                                .low = -kMostPasses,
                                                .high = kMostPasses,
                                                .outOfRange = OutOfRange::NearestBound};

// qxalarm.ini [WatchDog]: the watchdog box.
inline constexpr SettingKey kBoxCallsActive{.file = ini::kAlarm,
                                            .section = ini::kWatchDog,
                                            .name = "Active",
                                            .low = 0,
                                            .high = 1,
                                            .outOfRange = OutOfRange::Fallback,
                                            .fallback = 0,
                                            .fallbackMeaning = "the watchdog box calls are off"};
// Minutes between box calls, counted in ten-minute passes.
inline constexpr SettingKey kBoxInterval{.file = ini::kAlarm,
                                         .section = ini::kWatchDog,
                                         .name = "Intervall",
                                         .defaultValue = 1,
                                         .low = 0,
                                         .high = 366 * 24 * 60,
                                         .outOfRange = OutOfRange::NearestBound};

// The number the box call dials; a call is placed only when it is set.
inline constexpr SettingKey kBoxNumberToDial{.file = ini::kAlarm,
                                             .section = ini::kWatchDog,
                                             .name = "NumberToDial",
                                             .type = SettingType::Text,
                                             .size = 256};
inline constexpr SettingKey kBoxStartAlarmActive{
    .file = ini::kAlarm, .section = ini::kWatchDog, .name = "StartAlarmActive", .type = SettingType::Flag};
// Alarms of the box's call module; the dialog offers the alarm list, -1 is none chosen.
inline constexpr SettingKey kBoxStartAlarmOnNoAnswer{.file = ini::kAlarm,
                                                     .section = ini::kWatchDog,
                                                     .name = "StartAlarmOnNoAnsw",
                                                     .defaultValue = -1,
                                                     .low = 10,
                                                     .high = 9999,
                                                     .outOfRange = OutOfRange::Fallback,
                                                     .fallback = -1,
                                                     .fallbackMeaning = "no alarm is chosen"};
inline constexpr SettingKey kBoxSendConfCode{
    .file = ini::kAlarm, .section = ini::kWatchDog, .name = "SendConfCode", .type = SettingType::Flag};
inline constexpr SettingKey kBoxSendCode{.file = ini::kAlarm,
                                         .section = ini::kWatchDog,
                                         .name = "SendCode",
                                         .type = SettingType::Text,
                                         .size = 64};
inline constexpr SettingKey kBoxGetConfCode{
    .file = ini::kAlarm, .section = ini::kWatchDog, .name = "GetConfCode", .type = SettingType::Flag};
inline constexpr SettingKey kBoxConfCode{.file = ini::kAlarm,
                                         .section = ini::kWatchDog,
                                         .name = "ConfCode",
                                         .type = SettingType::Text,
                                         .size = 64};
inline constexpr SettingKey kBoxAlarmOnNoConf{.file = ini::kAlarm,
                                              .section = ini::kWatchDog,
                                              .name = "AlarmOnNoConf",
                                              .defaultValue = -1,
                                              .low = 10,
                                              .high = 9999,
                                              .outOfRange = OutOfRange::Fallback,
                                              .fallback = -1,
                                              .fallbackMeaning = "no alarm is chosen"};
// 1 writes the warning file after each box call; another value is told and writes none.
inline constexpr SettingKey kBoxWriteWarning{.file = ini::kAlarm,
                                             .section = ini::kWatchDog,
                                             .name = "WriteWarningOnNoAnsw",
                                             .low = 0,
                                             .high = 1,
                                             .outOfRange = OutOfRange::Fallback,
                                             .fallback = 0,
                                             .fallbackMeaning = "no warning file is written"};
inline constexpr SettingKey kBoxWarningMessage{.file = ini::kAlarm,
                                               .section = ini::kWatchDog,
                                               .name = "WarningMessage",
                                               .type = SettingType::Text,
                                               .size = 128};

// The months of the monthly moving: WaitBeforeDel read where AlarmSelectionRange is "month". A count
// beyond a year is a year, told like the weekly reading's bounds.
inline constexpr SettingKey kWaitBeforeDelMonths{.file = ini::kMover,
                                                 .section = ini::kConfig,
                                                 .name = "WaitBeforeDel",
                                                 .defaultValue = 10,
                                                 .low = 1,
                                                 .high = 12,
                                                 .outOfRange = OutOfRange::NearestBound};

// qxmover.ini [Config]: the language of the texts and of the disk check's voice files. "DT" German,
// "FR" French, anything else English.
inline constexpr SettingKey kDefaultLanguage{.file = ini::kMover,
                                             .section = ini::kConfig,
                                             .name = "DefaultLanguage",
                                             .type = SettingType::Text,
                                             .size = 80};
// The installation's code page ("1252"); an unknown one is told by its reader.
inline constexpr SettingKey kCodePage{
    .file = ini::kMover, .section = ini::kConfig, .name = "CodePage", .type = SettingType::Text, .size = 32};

// qxaview.ini [Config]: where the alarm server writes its statistic files and the alarm index.
inline constexpr SettingKey kAlarmDbPath{.file = ini::kAview,
                                         .section = ini::kConfig,
                                         .name = "AlarmDBPath",
                                         .type = SettingType::Text,
                                         .size = 80,
                                         .defaultText = "\\qxt\\log"};
// qxalarm.ini [qxawrdb]: the directory of the disk check's SMS file.
inline constexpr SettingKey kSmsDbPath{.file = ini::kAlarm,
                                       .section = ini::kQxawrdb,
                                       .name = "DbPath",
                                       .type = SettingType::Text,
                                       .size = 256,
                                       .defaultText = "\\qxt\\log"};
// qxaconf.ini [Config]: the alarm table's directory (or the table itself) and the group table.
inline constexpr SettingKey kAlarmTablePath{.file = ini::kAconf,
                                            .section = ini::kConfig,
                                            .name = "Vm001Path",
                                            .type = SettingType::Text,
                                            .size = 80,
                                            .defaultText = "\\db1"};
inline constexpr SettingKey kGroupDataBase{.file = ini::kAconf,
                                           .section = ini::kConfig,
                                           .name = "GroupDataBase",
                                           .type = SettingType::Text,
                                           .size = 128,
                                           .defaultText = "\\db1\\qxgroups.dbf"};
// qxinfo.ini [Addresses]: the customer named at the head of the alarm report.
inline constexpr SettingKey kCustomer{.file = ini::kInfo,
                                      .section = ini::kAddresses,
                                      .name = "Customer",
                                      .type = SettingType::Text,
                                      .size = 80};
// qxalarm.ini [config]: the alarm numbers the alarm lists run over. Alarm numbers lie in 0..9999; the
// table's own length bounds the list besides.
inline constexpr SettingKey kFirstAlarmKey{.file = ini::kAlarm,
                                           .section = ini::kAlarmConfig,
                                           .name = "FirstAlarmKey",
                                           .defaultValue = 10,
                                           .low = 0,
                                           .high = 9999,
                                           .outOfRange = OutOfRange::NearestBound};
inline constexpr SettingKey kLastAlarmKey{.file = ini::kAlarm,
                                          .section = ini::kAlarmConfig,
                                          .name = "LastAlarmKey",
                                          .defaultValue = 9999,
                                          .low = 0,
                                          .high = 9999,
                                          .outOfRange = OutOfRange::NearestBound};

// qxalarm.ini [LineWatchDog]: the line test call.
inline constexpr SettingKey kLineNumberToDial{.file = ini::kAlarm,
                                              .section = ini::kLineWatchDog,
                                              .name = "NumberToDial",
                                              .type = SettingType::Text,
                                              .size = 80};
inline constexpr SettingKey kLineExtension{.file = ini::kAlarm,
                                           .section = ini::kLineWatchDog,
                                           .name = "WithDDIForDial",
                                           .type = SettingType::Text,
                                           .size = 80};
// 1: one call per line of CheckLines; 0 one queued call. Another value is told and places the one call.
inline constexpr SettingKey kPostType{.file = ini::kAlarm,
                                      .section = ini::kLineWatchDog,
                                      .name = "PostType",
                                      .low = 0,
                                      .high = 1,
                                      .outOfRange = OutOfRange::Fallback,
                                      .fallback = 0,
                                      .fallbackMeaning = "one queued call is placed"};
// Line numbers separated by ","; only 1..60 are called.
inline constexpr SettingKey kCheckLines{.file = ini::kAlarm,
                                        .section = ini::kLineWatchDog,
                                        .name = "CheckLines",
                                        .type = SettingType::Text,
                                        .size = 80};
// Written 1 at a failed test call; read for the metrics only.
inline constexpr SettingKey kLineStatus{
    .file = ini::kAlarm, .section = ini::kLineWatchDog, .name = "Status", .low = 0, .high = 1};

// qxa_wdir.ini [Pathnames]: the line watchdog's warning file lies beside WatchDogFiles; the watchdog
// box's in WatchPath.
inline constexpr SettingKey kWatchDogFiles{.file = ini::kWdir,
                                           .section = ini::kPathnames,
                                           .name = "WatchDogFiles",
                                           .type = SettingType::Text,
                                           .size = 128};
inline constexpr SettingKey kWatchPath{.file = ini::kWdir,
                                       .section = ini::kPathnames,
                                       .name = "WatchPath",
                                       .type = SettingType::Text,
                                       .size = 80};

// qxawdog.ini and qxalog.ini: the event watchdog. The watched alarms, "n;" each: a list too long for its
// room loses its last, cut item, which the thread tells in its own words.
inline constexpr std::size_t kWatchedAlarmsRoom = 65'536;
inline constexpr SettingKey kActiveWdogAlarms{.file = ini::kAwdog,
                                              .section = ini::kConfig,
                                              .name = "ActiveWdogAlarms",
                                              .type = SettingType::Text,
                                              .size = kWatchedAlarmsRoom};
// Per alarm n: the time of its last event and of its last watchdog alarm, as the alarm server writes
// them (hexadecimal seconds).
inline constexpr SettingKey kEventTime{
    .file = ini::kAwdog, .section = ini::kQxaWDog, .name = "%d", .type = SettingType::Text, .size = 64};
inline constexpr SettingKey kLastAlarmTime{
    .file = ini::kAlog, .section = ini::kLastAlarm, .name = "%d", .type = SettingType::Text, .size = 64};

// qxmover.ini [WebTrigger]. ActivateWebTrigger: 1 on, 0 off, -1 (or missing) on once the batch exists,
// which is then written back as 1. Below -1 counts as -1; above 1 is off.
inline constexpr SettingKey kActivateWebTrigger{.file = ini::kMover,
                                                .section = ini::kWebTrigger,
                                                .name = "ActivateWebTrigger",
                                                .defaultValue = -1,
                                                .low = -1,
                                                .high = 1,
                                                .outOfRange = OutOfRange::NearestBound,
                                                .aboveHigh = 0};
inline constexpr SettingKey kWebTriggerBat{.file = ini::kMover,
                                           .section = ini::kWebTrigger,
                                           .name = "WebTriggerBat",
                                           .type = SettingType::Text,
                                           .size = 128};

// qxmover.ini [Launcher<n>]: the launchers of older versions, each made a timed task once at start-up.
inline constexpr SettingKey kLauncherProgram{.file = ini::kMover,
                                             .section = ini::kLauncher,
                                             .name = "StartProgram",
                                             .type = SettingType::Text,
                                             .size = 160};
// The task's hour: one that matches no hour leaves the launcher as it is, rather than a task that never
// starts.
inline constexpr SettingKey kLauncherHour{.file = ini::kMover,
                                          .section = ini::kLauncher,
                                          .name = "AtHour",
                                          .low = 0,
                                          .high = 23,
                                          .outOfRange = OutOfRange::Fallback,
                                          .fallback = -1,
                                          .fallbackMeaning = "the launcher is not made a task"};
inline constexpr SettingKey kLauncherActive{.file = ini::kMover,
                                            .section = ini::kLauncher,
                                            .name = "Active",
                                            .low = 0,
                                            .high = 1,
                                            .outOfRange = OutOfRange::Fallback,
                                            .fallback = 0,
                                            .fallbackMeaning = "the launcher is not made a task"};

// qxmover.ini [Platform]: the command lines of this system's editor, printing and restart, and the
// directory of the metrics file.
inline constexpr SettingKey kEditorCommand{
    .file = ini::kMover, .section = ini::kPlatform, .name = "Editor", .type = SettingType::Text, .size = 512};
inline constexpr SettingKey kPrintCommand{
    .file = ini::kMover, .section = ini::kPlatform, .name = "Print", .type = SettingType::Text, .size = 512};
inline constexpr SettingKey kRestartCommand{.file = ini::kMover,
                                            .section = ini::kPlatform,
                                            .name = "Restart",
                                            .type = SettingType::Text,
                                            .size = 512};
inline constexpr SettingKey kMetricsDir{.file = ini::kMover,
                                        .section = ini::kPlatform,
                                        .name = "MetricsDir",
                                        .type = SettingType::Text,
                                        .size = 512};

// Every row above.
inline constexpr const SettingKey* kAll[] = {&kCheckTime,
                                             &kMinSpace,
                                             &kDialPhoneRetry,
                                             &kDriveSpace,
                                             &kDriveAlarm,
                                             &kDrive,
                                             &kCheckJobIntervalMin,
                                             &kCheckJob,
                                             &kStartOnErrorType,
                                             &kStartOnErrorAlarm,
                                             &kStartOnErrorProg,
                                             &kCheckDir,
                                             &kMoveFiles,
                                             &kMoveDir,
                                             &kStartOnMin,
                                             &kTaskTime,
                                             &kTaskDay,
                                             &kTaskType,
                                             &kTaskProgram,
                                             &kTaskWeekParameter,
                                             &kDeletePath,
                                             &kDeleteExtension,
                                             &kDeleteWeeks,
                                             &kResultWavePath,
                                             &kMoveToConferWav,
                                             &kDelConferWav,
                                             &kMoveConferWavWeeks,
                                             &kDelConferWavWeeks,
                                             &kMoveConferWavTo,
                                             &kDelConferWavFrom,
                                             &kDelConferEvtFiles,
                                             &kDelEntriesInSqlDb,
                                             &kMoveConferWavDaily,
                                             &kDelLogFiles,
                                             &kWaitBeforeDel,
                                             &kAlarmSelectionRange,
                                             &kStart2ndBatch,
                                             &kDeleteMoreFiles,
                                             &kMoveConferWav,
                                             &kDelAlarmWav,
                                             &kDelAlarmWavWeeks,
                                             &kMoveConferWavToSubDir,
                                             &kPrintReport,
                                             &kWriteLogFile,
                                             &kStartSaveBaseAsPostjob,
                                             &kReportType,
                                             &kDiskCheckActive,
                                             &kDialPhoneIfLow,
                                             &kPhoneNumber,
                                             &kSendSmsIfLow,
                                             &kSmsNumber,
                                             &kStartBatchIfLow,
                                             &kBatchProg,
                                             &kStartAlarmIfLow,
                                             &kDiskAlarmKey,
                                             &kCheckDrives,
                                             &kAutoBackupActive,
                                             &kAutoBackupPath,
                                             &kTaskParameterText,
                                             &kTaskParameterNumber,
                                             &kLineChecksActive,
                                             &kLineStartAlarm,
                                             &kRestartSystem,
                                             &kDeltaHours,
                                             &kMinuteInterval,
                                             &kStartAlarmImmediately,
                                             &kBoxCallsActive,
                                             &kBoxInterval,
                                             &kDeactivateDial,
                                             &kMultiSrvCallBack,
                                             &kWriteWarningFile,
                                             &kLineCheckCounter,
                                             &kServerKey,
                                             &kServerCheckCounter,
                                             &kBoxNumberToDial,
                                             &kBoxStartAlarmActive,
                                             &kBoxStartAlarmOnNoAnswer,
                                             &kBoxSendConfCode,
                                             &kBoxSendCode,
                                             &kBoxGetConfCode,
                                             &kBoxConfCode,
                                             &kBoxAlarmOnNoConf,
                                             &kBoxWriteWarning,
                                             &kBoxWarningMessage,
                                             &kWaitBeforeDelMonths,
                                             &kDefaultLanguage,
                                             &kCodePage,
                                             &kAlarmDbPath,
                                             &kSmsDbPath,
                                             &kAlarmTablePath,
                                             &kGroupDataBase,
                                             &kCustomer,
                                             &kFirstAlarmKey,
                                             &kLastAlarmKey,
                                             &kLineNumberToDial,
                                             &kLineExtension,
                                             &kPostType,
                                             &kCheckLines,
                                             &kLineStatus,
                                             &kWatchDogFiles,
                                             &kWatchPath,
                                             &kActiveWdogAlarms,
                                             &kEventTime,
                                             &kLastAlarmTime,
                                             &kActivateWebTrigger,
                                             &kWebTriggerBat,
                                             &kLauncherProgram,
                                             &kLauncherHour,
                                             &kLauncherActive,
                                             &kEditorCommand,
                                             &kPrintCommand,
                                             &kRestartCommand,
                                             &kMetricsDir};

}  // namespace keys

// Where bad values are told: the activity log, and the memory that tells each one only once. With
// `collected` set the lines go there instead of the log (`qxmover status`, which writes nothing).
struct SettingReport {
    const ActivityLog& log;
    SettingNotices& notices;
    std::vector<std::string>* collected = nullptr;
};

// Reads keys by their rows (see above). Without a report nothing is told; without a profile to write
// to, a missing write-back key is used with its default but not written (a dry run, the editors'
// reading).
class SettingReader {
public:
    SettingReader(const Profile& profile, std::optional<SettingReport> report = std::nullopt,
                  Profile* writeBack = nullptr);

    // The value in force of an Integer, Flag or NumberText key (numbered keys take `number`, keys of a
    // numbered section `section`).
    int integer(const SettingKey& key, int number = 0, int section = 0) const;
    bool flag(const SettingKey& key, int number = 0, int section = 0) const {
        return integer(key, number, section) != 0;
    }
    // The text of a Text or NumberText key: the stored text (defaultText when missing), cut to
    // size - 1 characters.
    std::string text(const SettingKey& key, int number = 0, int section = 0) const;
    // Whether the key is stored at all (an empty value counts as stored).
    bool present(const SettingKey& key, int number = 0, int section = 0) const;
    // The stored text as it is, whatever the row's type, room and range, nullopt when the key is
    // missing: for moving an entry of a list to another number byte for byte. Told nothing.
    static constexpr std::size_t kStoredRoom = 4096;
    std::optional<std::string> stored(const SettingKey& key, int number = 0, int section = 0) const;

private:
    struct Place {
        std::string section;
        std::string name;
    };
    int bad(const SettingKey& key, const Place& place, std::string_view value, bool notANumber,
            long long number) const;
    void tell(const SettingKey& key, const Place& place, std::string_view value,
              const std::string& what) const;
    void writeDefault(const SettingKey& key, const Place& place) const;

    const Profile& m_profile;
    std::optional<SettingReport> m_report;
    Profile* m_writeBack;
};

// Writes keys by their rows: a number as decimal, a flag as "1" or "0", a text as it is. A value that
// the row's reader would not give back as it is (a number out of range, a text longer than size - 1
// characters) is not written. Every write is tried; the first failure is kept for the caller to show
// ("Cannot write KEY in [SECTION] of FILE: REASON").
class SettingWriter {
public:
    explicit SettingWriter(Profile& profile) : m_profile(profile) {}

    // Keys of a numbered section take the section's number as `section`.
    bool integer(const SettingKey& key, int number, int value, int section = 0);
    bool flag(const SettingKey& key, int number, bool on, int section = 0);
    bool text(const SettingKey& key, int number, std::string_view value, int section = 0);

    // The first failure, empty when every write succeeded.
    const std::string& failure() const { return m_failure; }

private:
    bool write(const SettingKey& key, int number, int section, std::string_view value);
    bool refuse(const SettingKey& key, int number, int section, const std::string& why);

    Profile& m_profile;
    std::string m_failure;
};

// The service's report: its activity log and its memory of what was told.
SettingReport reportOf(const Services& services);

// The reader of a job or thread: told in the service's activity log, written back unless `writeBack`
// is false (a dry run).
SettingReader settingsOf(const Services& services, bool writeBack = true);

// A strict reading of a number as the installation writes it: optional blanks and sign, decimal
// digits (or 0x and hexadecimal digits), optional blanks, nothing else. Values too large for 64 bits
// are held at the 64-bit bounds. nullopt for anything else, the empty text included. With
// `leadingNumber`, the number may be followed by anything (the name of an alarm entry: "12  Fire").
std::optional<long long> parseSettingNumber(std::string_view text, bool leadingNumber = false);

}  // namespace qx
