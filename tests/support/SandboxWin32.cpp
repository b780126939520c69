#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <random>
#include <stdexcept>
#include <string>

#include "Sandbox.h"

namespace fs = std::filesystem;

namespace qx::test {

fs::path makeUniqueDirectory(const fs::path& parent, std::string_view prefix) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = parent / (std::string(prefix) + std::to_string(random() % 1'000'000'000));
        std::error_code ec;
        if (fs::create_directory(candidate, ec))
            return candidate;
    }
    throw std::runtime_error("cannot make a directory below " + parent.string());
}

bool useCentralEuropeanTime() {
    // UTC+1, summer time from March to October.
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    GetDynamicTimeZoneInformation(&zone);
    return zone.Bias == -60 && zone.DaylightBias == -60 && zone.DaylightDate.wMonth == 3 &&
           zone.StandardDate.wMonth == 10;
}

ProcessFootprint processFootprint() {
    ProcessFootprint f;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        f.residentKb = static_cast<long>(counters.WorkingSetSize / 1024);
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles))
        f.descriptors = static_cast<int>(handles);
    return f;
}

bool useTimeZone(const char*) {
    return false;
}

std::uint64_t fileIdentity(const fs::path& path) {
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    return known ? (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow : 0;
}

std::string recordingScriptText(const fs::path& record) {
    return "@echo off\r\nsetlocal\r\nset line=%~nx0\r\n:next\r\nif \"%~1\"==\"\" goto done\r\n"
           "set line=%line% [%~1]\r\nshift\r\ngoto next\r\n:done\r\n>>\"" +
           record.string() + "\" echo %line%\r\n";
}

bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void setMtime(const fs::path& path, std::chrono::system_clock::time_point mtime) {
    // FILETIME counts 100 ns from 1601-01-01; the system clock counts from 1970-01-01.
    constexpr long long kEpochDifference = 116'444'736'000'000'000LL;
    auto ticks =
        std::chrono::duration_cast<std::chrono::nanoseconds>(mtime.time_since_epoch()).count() / 100 +
        kEpochDifference;
    FILETIME time{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    // The link itself, never what it points to; directories need backup semantics to be opened.
    HANDLE handle = CreateFileW(
        path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + path.string() + " to set its time");
    bool set = SetFileTime(handle, &time, &time, &time);
    CloseHandle(handle);
    if (!set)
        throw std::runtime_error("cannot set the time of " + path.string());
}

}  // namespace qx::test
