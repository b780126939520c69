#include <windows.h>

#include "DiskSpace.h"

namespace qx {

std::optional<DiskSpace> statDiskSpace(const std::filesystem::path& path) {
    // The volume of a path that does not exist would still answer; the other system's query fails.
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(path.c_str(), root, MAX_PATH))
        return std::nullopt;
    // A CD, a network drive or a drive that is not there holds nothing this service fills up, and
    // asking a dead share can hang: they cannot be queried, as a read-only or missing mount elsewhere.
    switch (GetDriveTypeW(root)) {
        case DRIVE_FIXED:
        case DRIVE_REMOVABLE:
        case DRIVE_RAMDISK:
            break;
        default:
            return std::nullopt;
    }
    ULARGE_INTEGER available{}, total{}, totalFree{};
    if (!GetDiskFreeSpaceExW(root, &available, &total, &totalFree))
        return std::nullopt;
    DiskSpace space;
    space.freeBytes = available.QuadPart;
    space.totalBytes = total.QuadPart;
    DWORD flags = 0;
    if (GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        space.readOnly = (flags & FILE_READ_ONLY_VOLUME) != 0;
    return space;
}

bool isUsableDrive(const std::filesystem::path& root) {
    if (GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    wchar_t volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(root.c_str(), volume, MAX_PATH))
        return false;
    switch (GetDriveTypeW(volume)) {
        case DRIVE_UNKNOWN:
        case DRIVE_NO_ROOT_DIR:
        case DRIVE_CDROM:
            return false;
        default:
            return true;
    }
}

}  // namespace qx
