#include "ListEntries.h"

#include <algorithm>
#include <cstdio>

#include "DialogTexts.h"
#include "FileSearch.h"
#include "PathMap.h"
#include "ProfileNames.h"
#include "ProfileWrites.h"
#include "SettingsList.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

std::string key(const char* name, int number) {
    return std::string(name) + std::to_string(number);
}

}  // namespace

std::string parameterSection(int number) {
    char section[40];
    std::snprintf(section, sizeof section, ini::kQxeTaskParameter, number);
    return section;
}

TaskParameters readTaskParameters(const Profile& profile, int number) {
    TaskParameters p;
    std::string section = parameterSection(number);
    for (int k = 1; k <= 9; ++k) {
        p.texts[k - 1] = profile.getString(ini::kMover, section, key("s", k), "", 128);
        p.numbers[k - 1] = profile.getInt(ini::kMover, section, key("i", k), 0);
    }
    return p;
}

std::string writeTaskParameters(Profile& profile, int number, const TaskParameters& p) {
    ProfileWrites writes(profile);
    std::string section = parameterSection(number);
    for (int k = 1; k <= 9; ++k) {
        writes.writeString(ini::kMover, section, key("s", k), p.texts[k - 1]);
        writes.writeInt(ini::kMover, section, key("i", k), p.numbers[k - 1]);
    }
    return writes.failure();
}

std::vector<std::string> moduleNames(const fs::path& directory) {
    std::vector<std::string> names;
    for (const FoundFile& file : findFiles(directory, "*.qxe")) {
        if (file.isDirectory)
            continue;
        names.push_back(fs::path(file.name).stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool namesWorkingDirectory(const fs::path& nativePath, const fs::path& workingDirectory) {
    auto normal = [](const fs::path& p) {
        std::error_code ec;
        fs::path absolute = fs::weakly_canonical(fs::absolute(p, ec), ec);
        std::string text = absolute.lexically_normal().string();
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        return text;
    };
    return equalsIgnoreCase(normal(nativePath), normal(workingDirectory));
}

std::string deletionQuestion(const StringTable& strings, const DeletionRule& rule) {
    std::string weeks = std::to_string(rule.weeks);
    if (rule.extension == "*.*")
        return formatArguments(strings.get(kTxtAskDeleteAll), {rule.directory, weeks});
    return formatArguments(strings.get(kTxtAskDeleteExtension), {rule.extension, rule.directory, weeks});
}

bool validDriveText(const std::string& text) {
    return text.size() == 2 && text[1] == ':';
}

}  // namespace qx
