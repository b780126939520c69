#pragma once

#include <string>
#include <string_view>

namespace qx::sibling {

// The command lines that hand work to the installation's sibling programs (the script engine "qxe", the
// telephony job queue "qxtque.exe", the backup tool) and to the batch programs of the mover. Every line is
// built here from its fixed format. Values from profile files and paths become single words of the line
// (quoted when they hold blanks); the launcher splits the line into arguments and never hands it to a
// shell, so no value can become shell text.

inline constexpr const char* kSecondBatch = "qxmove2.bat";
// The older name of the second batch, used when the installation has no qxmove2.bat.
inline constexpr const char* kSecondBatchOld = "qxmover2.bat";
inline constexpr const char* kMoveBatch = "qxmover.bat";
inline constexpr const char* kLogDeleteBatch = "qxlogdel.bat";
inline constexpr const char* kSecondDeleteBatch = "qxdel2.bat";

// `value` as one word of a command line: unchanged when it has no blank, tab or quote, else in double
// quotes with the quotes and the backslashes before them escaped by the Windows rules.
std::string word(std::string_view value);

// " -s<k><value>" (text parameter k = 1..9), as appended to a script-engine parameter text.
std::string textParameter(int k, std::string_view value);
// " -i<k><value>" (integer parameter k = 1..9).
std::string intParameter(int k, int value);

// "qxe <module> 1 <parameters>"; a parameter text built from the functions above begins with a
// blank, so a module with parameters carries two blanks after the "1".
std::string qxeModule(std::string_view module, std::string_view parameters);

// "qxe qxarun 1 -i4<alarm> -s8Mover": an alarm started by the scheduler's timed tasks.
std::string timedAlarm(std::string_view alarm);

// "<command> PP WW MM YYYY " (previous week, current week, month, year; trailing blank included): a
// timed program that asked for the calendar parameters.
std::string withWeekParameters(std::string_view command, int previousWeek, int currentWeek, int month,
                               int year);

// "qxtque.exe postjob 1 _startprog -s1qxsavebase.exe -s2<path>": the backup as a job-queue post job.
std::string backupPostjob(std::string_view path);
// "qxsavebase.exe <path>": the backup tool started directly.
std::string backupDirect(std::string_view path);

// "md <logDirectory>.\logNN": the shell's way of creating a week directory, tried when creating it
// directly failed.
std::string makeWeekDirectory(std::string_view logDirectory, int week);

// "qxmover.bat <logDirectory> logNN": the monthly move, handed to the installation's batch program.
std::string moveBatch(std::string_view logDirectory, int month);
// "qxlogdel.bat <directory>": the monthly deletion of a month directory.
std::string logDeleteBatch(std::string_view directory);

// "<program> PP WW MM YYYY": the second batch after the weekly move and its manual test (previous
// week, current week, month, year). `program` is kSecondBatch or kSecondBatchOld.
std::string secondBatch(std::string_view program, int previousWeek, int currentWeek, int month, int year);
// "<program> PP": the second batch after the monthly move.
std::string secondBatchMonthly(std::string_view program, int previousWeek);
// "qxdel2.bat DD": the second batch's deletion of the due week.
std::string secondDeleteBatch(int dueWeek);

// "notepad <file>": the platform's editor.
std::string edit(std::string_view file);

// "notepad.exe /p <file>": the platform's way of printing a text file.
std::string printFile(std::string_view file);

// "qxe.exe qxdelmysqlentry 1 -s1<stamp>": the script engine removes the conference entries of the
// database that are older than `stamp` (YYYYMMDDhhmmss).
std::string deleteDatabaseEntries(std::string_view stamp);

}  // namespace qx::sibling
