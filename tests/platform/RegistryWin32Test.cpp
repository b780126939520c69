#include <windows.h>

#include <gtest/gtest.h>

#include "Registry.h"

namespace qx {
namespace {

TEST(RegistryWin32, TheDebuggerKeyIsGoneAfterwardsAndAMissingKeyIsNoFailure) {
    // The test's own Wine prefix: the key that Wine registers for its debugger is ours to remove.
    const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";
    HKEY created = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(created);
    EXPECT_TRUE(removeJustInTimeDebugger());
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(removeJustInTimeDebugger());
}

}  // namespace
}  // namespace qx
