#include <windows.h>

#include <gtest/gtest.h>

#include "DiskSpace.h"

namespace qx {
namespace {

TEST(DiskSpaceWin32, DrivesThatAreNotThereCannotBeQueried) {
    // The first letter from the end that names no drive.
    const DWORD drives = GetLogicalDrives();
    int letter = 25;
    while (letter > 2 && (drives & (1u << letter)))
        --letter;
    ASSERT_GT(letter, 2);
    const std::wstring root{static_cast<wchar_t>(L'A' + letter), L':', L'\\'};
    EXPECT_FALSE(statDiskSpace(root));
    EXPECT_FALSE(statDiskSpace(root + L"dir"));
    EXPECT_TRUE(statDiskSpace(L"C:\\"));
}

}  // namespace
}  // namespace qx
