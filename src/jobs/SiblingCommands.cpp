#include "SiblingCommands.h"

#include <cstdio>

namespace qx::sibling {

namespace {

std::string twoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

std::string fourDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d", value);
    return buffer;
}

}  // namespace

std::string word(std::string_view value) {
    if (!value.empty() && value.find_first_of(" \t\"") == std::string_view::npos)
        return std::string(value);
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : value) {
        if (c == '\\') {
            ++backslashes;
            quoted += c;
            continue;
        }
        if (c == '"')
            quoted.append(backslashes + 1, '\\');
        backslashes = 0;
        quoted += c;
    }
    // Backslashes before the closing quote would escape it.
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

std::string textParameter(int k, std::string_view value) {
    return " " + word("-s" + std::to_string(k) + std::string(value));
}

std::string intParameter(int k, int value) {
    return " -i" + std::to_string(k) + std::to_string(value);
}

std::string qxeModule(std::string_view module, std::string_view parameters) {
    return "qxe " + std::string(module) + " 1 " + std::string(parameters);
}

std::string timedAlarm(std::string_view alarm) {
    return "qxe qxarun 1 " + word("-i4" + std::string(alarm)) + " -s8Mover";
}

std::string withWeekParameters(std::string_view command, int previousWeek, int currentWeek, int month,
                               int year) {
    return std::string(command) + " " + twoDigits(previousWeek) + " " + twoDigits(currentWeek) + " " +
           twoDigits(month) + " " + fourDigits(year) + " ";
}

std::string backupPostjob(std::string_view path) {
    return "qxtque.exe postjob 1 _startprog -s1qxsavebase.exe " + word("-s2" + std::string(path));
}

std::string backupDirect(std::string_view path) {
    return "qxsavebase.exe " + word(path);
}

std::string makeWeekDirectory(std::string_view logDirectory, int week) {
    return "md " + word(std::string(logDirectory) + ".\\log" + twoDigits(week));
}

std::string moveBatch(std::string_view logDirectory, int month) {
    return std::string(kMoveBatch) + " " + word(logDirectory) + " log" + twoDigits(month);
}

std::string logDeleteBatch(std::string_view directory) {
    return std::string(kLogDeleteBatch) + " " + word(directory);
}

std::string secondBatch(std::string_view program, int previousWeek, int currentWeek, int month, int year) {
    return std::string(program) + " " + twoDigits(previousWeek) + " " + twoDigits(currentWeek) + " " +
           twoDigits(month) + " " + fourDigits(year);
}

std::string secondBatchMonthly(std::string_view program, int previousWeek) {
    return std::string(program) + " " + twoDigits(previousWeek);
}

std::string secondDeleteBatch(int dueWeek) {
    return std::string(kSecondDeleteBatch) + " " + twoDigits(dueWeek);
}

std::string edit(std::string_view file) {
    return "notepad " + word(file);
}

std::string printFile(std::string_view file) {
    return "notepad.exe /p " + word(file);
}

std::string deleteDatabaseEntries(std::string_view stamp) {
    return "qxe.exe qxdelmysqlentry 1 -s1" + word(stamp);
}

}  // namespace qx::sibling
