#include "DriveSelectionForm.h"

#include <algorithm>

#include "DiskSpace.h"

namespace fs = std::filesystem;

namespace qx {

std::string workingDrive(const PathMap& paths, const fs::path& workingDirectory) {
    std::error_code ec;
    fs::path here = fs::weakly_canonical(workingDirectory, ec);
    char best = 'C';
    std::size_t bestLength = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        auto dir = paths.drive(letter);
        if (!dir)
            continue;
        fs::path base = fs::weakly_canonical(*dir, ec);
        auto [end, unused] = std::mismatch(base.begin(), base.end(), here.begin(), here.end());
        (void)unused;
        std::size_t length = base.native().size();
        if (end == base.end() && length > bestLength) {
            best = letter;
            bestLength = length;
        }
    }
    return std::string(1, best) + ":";
}

DriveChecks openDriveChecks(const PathMap& paths, const std::string& driveList,
                            const fs::path& workingDirectory) {
    std::string list = asciiUpper(driveList.empty() ? workingDrive(paths, workingDirectory) : driveList);
    DriveChecks checks;
    for (std::size_t i = 0; i < kCheckableDrives.size(); ++i) {
        char letter = kCheckableDrives[i];
        const std::optional<fs::path> root = paths.drive(letter);
        checks.available[i] = letter == 'C' || (root && isUsableDrive(*root));
        std::string drive = std::string(1, letter) + ":";
        checks.checked[i] = checks.available[i] && list.find(drive) != std::string::npos;
    }
    return checks;
}

std::string driveListOf(const std::array<bool, 4>& checked) {
    std::string list;
    for (std::size_t i = 0; i < kCheckableDrives.size(); ++i) {
        if (!checked[i])
            continue;
        if (!list.empty())
            list += ",";
        list += std::string(1, kCheckableDrives[i]) + ":";
    }
    return list;
}

}  // namespace qx
