#pragma once

#include <string>
#include <string_view>

namespace qx::sibling {

// The command lines that hand work to the installation's sibling programs: the script engine "qxe"
// and the telephony job queue "qxtque.exe". Every line is built here from its fixed format. Values
// from profile files become words of the line; the launcher splits it into arguments and never
// hands it to a shell.

// " -s<k><value>" (text parameter k = 1..9), as appended to a script-engine parameter text.
std::string textParameter(int k, std::string_view value);
// " -i<k><value>" (integer parameter k = 1..9).
std::string intParameter(int k, int value);

// "qxe <module> 1 <parameters>"; a parameter text built from the functions above begins with a
// blank, so a module with parameters carries two blanks after the "1".
std::string qxeModule(std::string_view module, std::string_view parameters);

// "qxe qxarun 1 -i4<alarm> -s8Mover": an alarm started by the scheduler's timed tasks.
std::string timedAlarm(std::string_view alarm);

// "qxtque.exe postjob 1 _startprog -s1qxsavebase.exe -s2<path>": the backup as a job-queue post job.
std::string backupPostjob(std::string_view path);
// "qxsavebase.exe <path>": the backup tool started directly.
std::string backupDirect(std::string_view path);

}  // namespace qx::sibling
