#include "SiblingCommands.h"

#include <cstdio>

namespace qx::sibling {

std::string textParameter(int k, std::string_view value) {
    return " -s" + std::to_string(k) + std::string(value);
}

std::string intParameter(int k, int value) {
    return " -i" + std::to_string(k) + std::to_string(value);
}

std::string qxeModule(std::string_view module, std::string_view parameters) {
    return "qxe " + std::string(module) + " 1 " + std::string(parameters);
}

std::string timedAlarm(std::string_view alarm) {
    return "qxe qxarun 1 -i4" + std::string(alarm) + " -s8Mover";
}

std::string backupPostjob(std::string_view path) {
    return "qxtque.exe postjob 1 _startprog -s1qxsavebase.exe -s2" + std::string(path);
}

std::string backupDirect(std::string_view path) {
    return "qxsavebase.exe " + std::string(path);
}

}  // namespace qx::sibling
