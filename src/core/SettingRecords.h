#pragma once

#include <array>
#include <string>
#include <vector>

#include "SettingKeys.h"

namespace qx {

// The records of the profile that a job reads and an editor shows and stores: one struct and one
// reader and writer each, all keys through their rows of the key table (SettingKeys.h), so that the job
// and its editor agree on every default, size and range. Readers take a SettingReader: the jobs' tells
// bad values in the activity log, an editor's (made from the profile alone) tells nothing. Writers
// return the first failure ("Cannot write KEY in [SECTION] of FILE: REASON"), empty when every key was
// written; the caller shows it.

// The numbered lists hold entries 1 to 49; the first empty primary key ends them.
inline constexpr int kListEntries = 49;

// One timed task of [StartMore] (Prog<n>, Day<n>, Time<n>, Type<n>, WeekParameter<n>).
struct TimedTask {
    std::string program;  // command line, module name or alarm entry, by type
    int day = 0;          // <= 0 every day, 1..6 Monday..Saturday, 7 Sunday, 8 Monday..Friday
    int hour = 0;
    int type = 0;                // 0 program, 1 script-engine module, 2 alarm
    bool weekParameter = false;  // program tasks: pass the calendar parameters
    int number = 0;              // the entry's number, 1..49
};
// A day, hour or type that matches nothing reads as -1 or 9, which no task starts at.
TimedTask readTimedTask(const SettingReader& settings, int number);
// Writes Prog, WeekParameter (program tasks only), Day, Time and Type of entry `number`.
std::string writeTimedTask(Profile& profile, int number, const TimedTask& task);

// The nine texts and nine numbers of a module task ([QxeTaskParameter<n>] s1..s9, i1..i9).
struct TaskParameters {
    std::array<std::string, 9> texts;
    std::array<int, 9> numbers{};
};
TaskParameters readTaskParameters(const SettingReader& settings, int number);
std::string writeTaskParameters(Profile& profile, int number, const TaskParameters& parameters);

// One rule of [DeleteAddtionalLogs] (DelPath<n>, DelExt<n>, DelAfterWeeks<n>).
struct DeletionRule {
    std::string directory;          // installation path
    std::string extension = "*.*";  // patterns separated by ";"; "*.*" all files (a new rule's choice)
    int weeks = 1;                  // at least 1: a stored 0 counts as 1
};
DeletionRule readDeletionRule(const SettingReader& settings, int number);
std::string writeDeletionRule(Profile& profile, int number, const DeletionRule& rule);
// The rule's patterns: DelExt split at ";", blanks cut, empty parts left out.
std::vector<std::string> patternsOf(const DeletionRule& rule);

// One further monitored drive of [MonitorAddtionalDrives] (Drive<n>, Space<n>, StartAlarm<n>).
struct MonitoredDrive {
    std::string drive;     // "G:" or a path root
    int percent = 0;       // the used share (0..100) at which the alarm starts
    std::string alarm;     // the stored alarm entry, as the editor chose it ("12  Fire")
    int alarmNumber = -1;  // the alarm it names (10..9999), -1 for none; read, never written
};
MonitoredDrive readMonitoredDrive(const SettingReader& settings, int number);
// Writes Drive, Space and StartAlarm (the alarm entry's text).
std::string writeMonitoredDrive(Profile& profile, int number, const MonitoredDrive& drive);

// One slot (1..kJobSlots) of the job directory watcher, [JobDirWatcher].
inline constexpr int kJobSlots = 3;
struct JobSlot {
    bool watched = false;    // CheckJob<n> exactly 1; any other value is told and watches nothing
    std::string directory;   // CheckDir<n>: a directory, or a search pattern holding "*."
    bool moveFiles = false;  // MoveFiles<n>: stale files go to moveDirectory
    std::string moveDirectory;
};
JobSlot readJobSlot(const SettingReader& settings, int number);

// The job directory watcher as its dialog edits it: the three slots and the shared reaction.
struct JobWatcherSettings {
    std::array<JobSlot, kJobSlots> directories;
    int startOnErrorType = 0;  // 0 program, 1 alarm (any stored value but 0 is the alarm)
    std::string startOnErrorProgram;
    int startOnErrorAlarm = -1;  // -1: none (nothing stored, or no alarm number)
};
JobWatcherSettings readJobWatcher(const SettingReader& settings);
// Writes the keys of the three directories, then the shared reaction keys. An alarm of -1 (none chosen)
// leaves StartOnErrorAlarm as it is.
std::string writeJobWatcher(Profile& profile, const JobWatcherSettings& settings);

// The conference recordings: qxalarm.ini [qxaconf] ResultWavePath and the conference keys of
// qxmover.ini [Config].
struct ConferenceSettings {
    std::string resultDirectory = "\\qxt\\log\\confwav";  // where the recordings appear
    bool moveStep = true;                                 // MoveToConferWav
    int moveWeeks = 10;                                   // MoveConferWavAfterWeeks
    std::string archiveDirectory;                         // MoveConferWavTo
    bool deleteStep = true;                               // DelConferWav
    int deleteWeeks = 20;                                 // DelConferWavAfterWeeks
    std::string deleteFrom;                               // DelConferWavFrom; empty: the archive
    bool deleteEventFiles = false;                        // DelConferEvtFiles
    bool deleteDatabaseEntries = false;                   // DelEntriesInSqlDb
    bool daily = false;                                   // MoveConferWavDaily

    // The directory of the delete step.
    const std::string& deleteDirectory() const { return deleteFrom.empty() ? archiveDirectory : deleteFrom; }
};
ConferenceSettings readConferenceSettings(const SettingReader& settings);
// Writes the keys that the settings dialog edits: the two steps with their weeks and directories, and
// MoveConferWavDaily.
std::string writeConferenceSettings(Profile& profile, const ConferenceSettings& settings);
// The delete step's keys that "Delete now" of the test dialog stores before it runs the job: the switch
// (on: the files listed are to go), the weeks and the directory.
std::string writeConferenceDeleteSettings(Profile& profile, int weeks, const std::string& directory);

// The watchdog-box call settings, [WatchDog] of qxalarm.ini.
struct WatchdogBoxSettings {
    bool active = false;  // Active exactly 1; any other value is told and is off
    std::string numberToDial;
    int interval = 1;  // Intervall, minutes; the calls come every interval / 10 passes
    bool startAlarmActive = false;
    int startAlarmOnNoAnswer = -1;  // alarm number; -1: none chosen
    bool sendConfCode = false;
    std::string sendCode;
    bool getConfCode = false;
    std::string confCode;
    int alarmOnNoConf = -1;
    bool writeWarning = false;  // WriteWarningOnNoAnsw exactly 1
    std::string warningMessage;
};
WatchdogBoxSettings readWatchdogBox(const SettingReader& settings);
// Writes every key in the dialog's order. An alarm of -1 (none chosen) leaves its key as it is.
std::string writeWatchdogBox(Profile& profile, const WatchdogBoxSettings& settings);

}  // namespace qx
