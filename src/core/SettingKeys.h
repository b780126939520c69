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
//    reader puts the number in.
//  - type: Integer (decimal, or 0x hex, as the installation's programs write it), Flag (0 off, any
//    other number on; never out of range), or NumberText: a number kept as text of at most size - 1
//    characters (an alarm number that the dialogs write with "%d").
//  - defaultValue: what a missing key, a missing file or an empty value ("Key=") gives.
//  - marker: the value the key is read with where a missing key is written back. Reading it (a missing
//    key, or the marker stored) writes defaultValue into the file, when the reader may write, and uses
//    it; nothing is told, as the installation's programs create such keys this way. With
//    belowRangeIsMissing, a stored value below the range is written back likewise (and told).
//  - low, high: the values that make sense, both included.
//  - outOfRange: what a value outside low..high, or text where a number belongs, becomes:
//      Default       defaultValue;
//      NearestBound  low or high, whichever lies nearer (text: defaultValue);
//      Fallback      `fallback`, whose effect `fallbackMeaning` says in the log ("no alarm is
//                    started"), for keys where no number would be sound.
//  - size: the room a NumberText value is read with; 0 for the other types.
//
// A bad value is told in the activity log (whatever WriteLogFile says, as it is a fault of the
// installation) once, the first time it is seen: "FILE [SECTION] KEY=VALUE is out of range (LOW to
// HIGH); USED is used instead", or "... is not a number; ...". Numbers are read without wrapping:
// a value too large for 32 bits is out of range, never a small or negative number.
//
// To move another key onto the table: add its row below, in its section's group, and read it through
// a SettingReader where it is read today.
// ---------------------------------------------------------------------------------------------------

enum class SettingType { Integer, Flag, NumberText };

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

    // The key's name, with `number` in place of "%d" for a numbered key.
    std::string keyName(int number = 0) const;
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
inline constexpr SettingKey kDriveAlarm{.file = ini::kMover,
                                        .section = ini::kMonitorAdditionalDrives,
                                        .name = "StartAlarm%d",
                                        .defaultValue = 0,
                                        .low = 10,
                                        .high = 9999,
                                        .outOfRange = OutOfRange::Fallback,
                                        .fallback = -1,
                                        .fallbackMeaning = "no alarm is started"};

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

    // The value in force of an Integer, Flag or NumberText key (numbered keys take `number`).
    int integer(const SettingKey& key, int number = 0) const;
    bool flag(const SettingKey& key, int number = 0) const { return integer(key, number) != 0; }

private:
    int bad(const SettingKey& key, const std::string& name, std::string_view value, bool notANumber,
            long long number) const;
    void writeDefault(const SettingKey& key, const std::string& name) const;

    const Profile& m_profile;
    std::optional<SettingReport> m_report;
    Profile* m_writeBack;
};

// The service's report: its activity log and its memory of what was told.
SettingReport reportOf(const Services& services);

// The reader of a job or thread: told in the service's activity log, written back unless `writeBack`
// is false (a dry run).
SettingReader settingsOf(const Services& services, bool writeBack = true);

// A strict reading of a number as the installation writes it: optional blanks and sign, decimal
// digits (or 0x and hexadecimal digits), optional blanks, nothing else. Values too large for 64 bits
// are held at the 64-bit bounds. nullopt for anything else, the empty text included.
std::optional<long long> parseSettingNumber(std::string_view text);

}  // namespace qx
