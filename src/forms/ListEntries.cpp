#include "ListEntries.h"

#include <algorithm>

#include "DialogTexts.h"
#include "FileSearch.h"
#include "PathMap.h"
#include "ProfileNames.h"
#include "ProfileWrites.h"
#include "SettingsList.h"

namespace fs = std::filesystem;

namespace qx {

std::string parameterSection(int number) {
    return keys::kTaskParameterText.sectionName(number);
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
