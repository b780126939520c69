#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "PathMap.h"

namespace qx {

// The drives of the daily free-space check, C: to F:, as four checks.
inline constexpr std::array<char, 4> kCheckableDrives = {'C', 'D', 'E', 'F'};

struct DriveChecks {
    std::array<bool, 4> checked{};
    std::array<bool, 4> available{};
};

// The drive of the working directory: the mapped drive whose directory holds it (the longest such
// mapping), else "C:", the installation root.
std::string workingDrive(const PathMap& paths, const std::filesystem::path& workingDirectory);

// The checks when the dialog opens. An empty list stands for the working directory's drive. C: is
// always available; D:, E: and F: only when they are there and no CD-ROM (isUsableDrive()), and an
// unavailable drive is cleared.
DriveChecks openDriveChecks(const PathMap& paths, const std::string& driveList,
                            const std::filesystem::path& workingDirectory);

// The list rebuilt from the checks, in the order C:, D:, E:, F:, separated by commas ("D:,F:");
// empty when none is checked.
std::string driveListOf(const std::array<bool, 4>& checked);

}  // namespace qx
