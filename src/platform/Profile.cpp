#include "Profile.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "PathMap.h"
#include "ProfileEncoding.h"
#include "ProfileFile.h"
#include "ProfileParser.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

// What tells one version of a file from another without reading it: a write through rename changes
// the inode, a write in place the size or the times (ctime too when someone sets mtime back).
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    explicit FileStamp(const struct stat& status)
        : device(status.st_dev),
          inode(status.st_ino),
          size(status.st_size),
          modified(status.st_mtim),
          changed(status.st_ctim) {}

    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

bool hasSettled(const FileStamp& stamp, std::chrono::nanoseconds settle) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    auto sinceEpoch = [](const timespec& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    };
    // ctime, not mtime: it also moves when someone sets mtime back after changing the file.
    return sinceEpoch(now) - sinceEpoch(stamp.changed) >= settle;
}

struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view path) const noexcept {
        return std::hash<std::string_view>{}(path);
    }
};

bool isBareName(std::string_view file) {
    return file.find('/') == std::string_view::npos && file.find('\\') == std::string_view::npos;
}

// Where a write goes: through a symbolic link to its target (a rename over the link would replace the
// link), and to the existing spelling of a name that differs only in letter case.
fs::path writeTarget(const fs::path& resolved) {
    std::error_code ec;
    fs::path path = resolved;
    if (fs::symlink_status(path, ec).type() == fs::file_type::not_found)
        path = resolveCaseInsensitive(path);
    if (fs::symlink_status(path, ec).type() == fs::file_type::symlink) {
        fs::path target = fs::weakly_canonical(path, ec);
        if (!ec)
            return target;
    }
    return path;
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// The default of a text read, as Windows hands it back: without trailing spaces.
std::string_view trimTrailingSpaces(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string cut(std::string_view text, std::size_t limit, bool wholeCharacters) {
    if (text.size() <= limit)
        return std::string(text);
    if (wholeCharacters)
        while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80)
            --limit;
    return std::string(text.substr(0, limit));
}

}  // namespace

struct Profile::Parsed {
    ProfileIndex index;
    bool fromUtf16 = false;
};

struct Profile::Cache {
    struct Entry {
        FileStamp stamp;
        bool settled = false;
        std::shared_ptr<const Parsed> parsed;
    };
    // Enough for every profile file of the installation; past it the cache starts afresh.
    static constexpr std::size_t kMaxFiles = 256;

    std::atomic<std::chrono::nanoseconds::rep> settleTime{
        std::chrono::nanoseconds(std::chrono::seconds(2)).count()};

    std::shared_mutex filesMutex;
    std::unordered_map<std::string, Entry, PathHash, std::equal_to<>> files;

    // Names asked for in another letter case than the file's, so that their reads do not scan the
    // directory each time.
    std::unordered_map<std::string, std::string, PathHash, std::equal_to<>> spellings;

    std::mutex writersMutex;
    std::unordered_map<std::string, std::mutex> writers;  // one per written path, never removed

    std::mutex& writerMutex(const std::string& path) {
        std::lock_guard lock(writersMutex);
        return writers.try_emplace(path).first->second;
    }

    std::string spellingOf(const std::string& asked) {
        std::shared_lock lock(filesMutex);
        auto it = spellings.find(asked);
        return it == spellings.end() ? std::string() : it->second;
    }

    void rememberSpelling(const std::string& asked, const std::string& actual) {
        std::unique_lock lock(filesMutex);
        if (spellings.size() >= kMaxFiles)
            spellings.clear();
        spellings.insert_or_assign(asked, actual);
    }

    void forget(const std::string& path) {
        std::unique_lock lock(filesMutex);
        files.erase(path);
    }
};

Profile::Profile(Resolver resolve) : m_resolve(std::move(resolve)), m_cache(std::make_unique<Cache>()) {}

Profile::Profile(fs::path profileDir)
    : Profile([dir = std::move(profileDir)](std::string_view file) {
          return isBareName(file) ? dir / file : fs::path(file);
      }) {}

Profile::~Profile() = default;

void Profile::setSettleTime(std::chrono::nanoseconds settle) {
    m_cache->settleTime.store(settle.count(), std::memory_order_relaxed);
}

std::shared_ptr<const Profile::Parsed> Profile::load(std::string_view file) const {
    fs::path path = m_resolve(file);
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT)
            return nullptr;
        fs::path other = m_cache->spellingOf(path.native());
        if (other.empty() || ::stat(other.c_str(), &status) != 0) {
            other = resolveCaseInsensitive(path);
            if (other == path || ::stat(other.c_str(), &status) != 0)
                return nullptr;
            m_cache->rememberSpelling(path.native(), other.native());
        }
        path = std::move(other);
    }
    {
        std::shared_lock lock(m_cache->filesMutex);
        auto it = m_cache->files.find(path.native());
        if (it != m_cache->files.end() && it->second.settled && it->second.stamp == FileStamp(status))
            return it->second.parsed;
    }
    std::optional<FileSnapshot> snapshot = readFileSnapshot(path);
    if (!snapshot || !snapshot->exists)
        return nullptr;
    FileStamp stamp(snapshot->status);
    std::chrono::nanoseconds settle(m_cache->settleTime.load(std::memory_order_relaxed));
    ProfileContent content = decodeProfile(std::move(snapshot->bytes));
    auto parsed = std::make_shared<const Parsed>(
        Parsed{ProfileIndex(content.text), content.encoding == ProfileEncoding::Utf16Le});
    std::unique_lock lock(m_cache->filesMutex);
    if (m_cache->files.size() >= Cache::kMaxFiles)
        m_cache->files.clear();
    m_cache->files.insert_or_assign(path.native(), Cache::Entry{stamp, hasSettled(stamp, settle), parsed});
    return parsed;
}

std::string Profile::getString(std::string_view file, std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::size_t size) const {
    if (size == 0)
        return {};
    std::shared_ptr<const Parsed> parsed = load(file);
    const std::string* value = parsed ? parsed->index.find(section, key) : nullptr;
    if (!value)
        return cut(trimTrailingSpaces(defaultValue), size - 1, false);
    return cut(*value, size - 1, parsed->fromUtf16);
}

int Profile::getInt(std::string_view file, std::string_view section, std::string_view key,
                    int defaultValue) const {
    std::shared_ptr<const Parsed> parsed = load(file);
    const std::string* value = parsed ? parsed->index.find(section, key) : nullptr;
    if (!value || value->empty())
        return defaultValue;
    return parseProfileInt(*value);
}

bool Profile::edit(std::string_view file, const std::function<std::string(std::string_view text)>& change) {
    fs::path path = writeTarget(m_resolve(file));
    std::lock_guard threadLock(m_cache->writerMutex(path.native()));
    ProfileDirectoryLock processLock(path.parent_path());
    if (!processLock.held())
        return false;
    std::optional<FileSnapshot> snapshot = readFileSnapshot(path);
    if (!snapshot)
        return false;
    ProfileContent content = decodeProfile(std::move(snapshot->bytes));
    std::string edited = change(content.text);
    if (edited == content.text)
        return true;  // nothing to write, and a deletion in a missing file creates none
    content.text = std::move(edited);
    bool written =
        replaceFileAtomically(path, encodeProfile(content), snapshot->exists ? &snapshot->status : nullptr);
    m_cache->forget(path.native());
    return written;
}

bool Profile::writeString(std::string_view file, std::string_view section, std::string_view key,
                          std::optional<std::string_view> value) {
    std::string_view keyName = trimProfileBlanks(key);
    if (hasLineBreak(section) || section.find(']') != std::string_view::npos || hasLineBreak(key) ||
        key.find('=') != std::string_view::npos || keyName.starts_with(';') || keyName.starts_with('[') ||
        (value && hasLineBreak(*value)))
        return false;
    return edit(file, [&](std::string_view text) {
        return value ? setProfileValue(text, section, key, *value) : removeProfileKey(text, section, key);
    });
}

bool Profile::writeInt(std::string_view file, std::string_view section, std::string_view key, int value) {
    return writeString(file, section, key, std::to_string(value));
}

bool Profile::deleteSection(std::string_view file, std::string_view section) {
    return edit(file, [&](std::string_view text) { return removeProfileSection(text, section); });
}

}  // namespace qx
