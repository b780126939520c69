#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "PathMap.h"
#include "Profile.h"
#include "ProfileParser.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {

// Here the system's own profile functions read and write, so that this service and the installation's
// other programs see one another's writes as those programs always have. The A functions take and give
// bytes: values stay in the installation's code page, which on Windows is the system's ANSI code page
// those programs use.

namespace {

// The largest buffer a text read hands the system; the installation's keys are far shorter.
constexpr std::size_t kMaxRead = 1 << 20;

// The path as the A functions take it; nullopt when the code page cannot spell it.
std::optional<std::string> ansiPath(const fs::path& path) {
    return narrow(path.wstring());
}

}  // namespace

struct Profile::Cache {};
struct Profile::Pass::Files {};

Profile::Profile(Resolver resolve) : m_resolve(std::move(resolve)), m_cache(std::make_unique<Cache>()) {}

Profile::Profile(fs::path profileDir)
    : Profile([dir = std::move(profileDir)](std::string_view file) {
          return isBareProfileName(file) ? dir / widen(file) : fs::path(widen(file));
      }) {}

Profile::~Profile() = default;

// The system keeps the file it read last and reads it again when it changed: a pass has nothing to add.
Profile::Pass::Pass(const Profile&) {}
Profile::Pass::~Pass() = default;

void Profile::setSettleTime(std::chrono::nanoseconds) {}

std::uint64_t Profile::parseCount() const {
    return 0;
}

std::string Profile::getString(std::string_view file, std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::size_t size) const {
    if (size == 0)
        return {};
    const std::optional<std::string> path = ansiPath(m_resolve(file));
    if (!path)
        return cutProfileText(trimProfileDefault(defaultValue), size - 1, false);
    const std::string sectionName(section), keyName(key), fallback(defaultValue);
    std::vector<char> buffer(std::min(size, kMaxRead));
    const DWORD length =
        GetPrivateProfileStringA(sectionName.c_str(), keyName.c_str(), fallback.c_str(), buffer.data(),
                                 static_cast<DWORD>(buffer.size()), path->c_str());
    return std::string(buffer.data(), std::min<std::size_t>(length, buffer.size() - 1));
}

int Profile::getInt(std::string_view file, std::string_view section, std::string_view key,
                    int defaultValue) const {
    // Parsed by our own rules (signs, hex, wrapping) rather than GetPrivateProfileIntA's, so that a value
    // means the same on both systems.
    static constexpr char kMissing[] = "\x01missing";
    std::string value = getString(file, section, key, kMissing, 4096);
    if (value == kMissing || value.empty())
        return defaultValue;
    return parseProfileInt(value);
}

std::optional<std::string> Profile::readProblem(std::string_view file) const {
    const fs::path path = m_resolve(file);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::string("no such file");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return std::string("not a regular file");
    HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return "cannot be opened (error " + std::to_string(GetLastError()) + ")";
    CloseHandle(handle);
    if (!ansiPath(path))
        return std::string("the name cannot be written in the installation's code page");
    return std::nullopt;
}

namespace {

// Why the system refused a write, as this layer reports it.
ProfileWriteResult refusal(const fs::path& path, DWORD error) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ProfileWriteError::NotRegular;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return ProfileWriteError::ReadOnly;
    if (error == ERROR_ACCESS_DENIED)
        return ProfileWriteError::ReadOnly;
    return {ProfileWriteError::Failed, error == ERROR_PATH_NOT_FOUND ? ENOENT : EIO};
}

// How many duplicates of a key or section a deletion removes before it gives up.
constexpr int kMaxDuplicates = 64;

bool hasKey(const fs::path& target, const std::string& section, const std::string& key) {
    const std::optional<std::string> path = ansiPath(target);
    char buffer[4] = {};
    static constexpr char kMissing[] = "\x01";
    if (!path)
        return false;
    GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissing, buffer, sizeof buffer, path->c_str());
    return std::string_view(buffer) != kMissing;
}

bool hasSection(const fs::path& target, const std::string& section) {
    const std::optional<std::string> path = ansiPath(target);
    if (!path)
        return false;
    std::vector<char> names(64 * 1024);
    const DWORD length =
        GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), path->c_str());
    for (std::size_t at = 0; at < length && names[at];) {
        std::string_view name(names.data() + at);
        if (equalsIgnoreCase(name, section))
            return true;
        at += name.size() + 1;
    }
    return false;
}

ProfileWriteResult writeProfile(const fs::path& target, const char* section, const char* key,
                                const char* value) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    // Refused before the system is asked: it would report success for a read-only file it cannot change
    // on some versions, and a directory in the file's place is never a profile.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ProfileWriteError::NotRegular;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return ProfileWriteError::ReadOnly;
    const std::optional<std::string> path = ansiPath(target);
    if (!path)
        return {ProfileWriteError::Failed, ENOENT};
    SetLastError(ERROR_SUCCESS);
    if (!WritePrivateProfileStringA(section, key, value, path->c_str()))
        return refusal(target, GetLastError());
    return {};
}

}  // namespace

ProfileWriteResult Profile::writeString(std::string_view file, std::string_view section, std::string_view key,
                                        std::optional<std::string_view> value) {
    if (!profileWriteReadsBack(section, key, value))
        return ProfileWriteError::NotReadBack;
    const fs::path target = m_resolve(file);
    const std::string sectionName(section), keyName(key);
    if (!value) {
        // A deletion in a missing file creates none.
        if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
            return {};
        // The system deletes the first line of the key; a later one of the same name would then be read.
        for (int round = 0; round < kMaxDuplicates; ++round) {
            ProfileWriteResult result = writeProfile(target, sectionName.c_str(), keyName.c_str(), nullptr);
            if (!result || !hasKey(target, sectionName, keyName))
                return result;
        }
        return {ProfileWriteError::Failed, EIO};
    }
    if (value->size() > kMaxProfileValue)
        return ProfileWriteError::TooLong;
    const std::string text(*value);
    return writeProfile(target, sectionName.c_str(), keyName.c_str(), text.c_str());
}

ProfileWriteResult Profile::writeInt(std::string_view file, std::string_view section, std::string_view key,
                                     int value) {
    return writeString(file, section, key, std::to_string(value));
}

ProfileWriteResult Profile::deleteSection(std::string_view file, std::string_view section) {
    if (!profileWriteReadsBack(section, "", std::nullopt))
        return ProfileWriteError::NotReadBack;
    const fs::path target = m_resolve(file);
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return {};
    const std::string sectionName(section);
    // The system deletes the first section of the name; every one goes, as on the other system.
    for (int round = 0; round < kMaxDuplicates; ++round) {
        ProfileWriteResult result = writeProfile(target, sectionName.c_str(), nullptr, nullptr);
        if (!result || !hasSection(target, sectionName))
            return result;
    }
    return {ProfileWriteError::Failed, EIO};
}

}  // namespace qx
