#include "Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "AtomicFile.h"
#include "FileHandle.h"
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

timespec coarseNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

// Whether `stamp`, taken by a read that began at `readStart`, tells this version from every later one.
// File times come from the kernel's coarse clock: any change after the read began is stamped at least
// `readStart`. Once that lies past the version's ctime, a later change can no longer carry the same
// stamp. A file system that keeps whole seconds only (no nanoseconds in either time) truncates
// later changes to the same second, so its versions are trusted once `settle` has passed.
bool hasSettled(const FileStamp& stamp, const timespec& readStart, std::chrono::nanoseconds settle) {
    auto sinceEpoch = [](const timespec& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    };
    // ctime, not mtime: it also moves when someone sets mtime back after changing the file.
    auto age = sinceEpoch(readStart) - sinceEpoch(stamp.changed);
    if (stamp.changed.tv_nsec != 0 || stamp.modified.tv_nsec != 0)
        return age > std::chrono::nanoseconds(0);
    return age >= settle;
}

struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view path) const noexcept {
        return std::hash<std::string_view>{}(path);
    }
};

// Where a write goes: through a symbolic link to its target (a rename over the link would replace the
// link), and to the existing spelling of a name that differs only in letter case. nullopt for a link
// whose target does not exist.
std::optional<fs::path> writeTarget(const fs::path& resolved) {
    std::error_code ec;
    fs::path path = resolved;
    if (fs::symlink_status(path, ec).type() == fs::file_type::not_found)
        path = resolveCaseInsensitive(path);
    if (fs::symlink_status(path, ec).type() == fs::file_type::symlink) {
        struct stat target {};
        if (::stat(path.c_str(), &target) != 0 && (errno == ENOENT || errno == ENOTDIR))
            return std::nullopt;
        fs::path canonical = fs::weakly_canonical(path, ec);
        if (!ec)
            return canonical;
    }
    return path;
}

// Whether a write may change the file: its read-only attribute (no write bit at all) holds even for
// root, as it does on Windows for an administrator.
bool mayWrite(const fs::path& path, const struct stat& status) {
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

struct Profile::Parsed {
    std::string text;
    bool fromUtf16 = false;
    // The first lookup in a version scans the text; the index is built only when the same version is
    // read again, so that a single read of a large file costs nothing beyond its text.
    mutable std::atomic<bool> lookedUp{false};
    mutable std::once_flag indexOnce;
    mutable std::unique_ptr<const ProfileIndex> index;

    Parsed(std::string content, bool utf16) : text(std::move(content)), fromUtf16(utf16) {}

    std::optional<std::string_view> find(std::string_view section, std::string_view key) const {
        if (!lookedUp.exchange(true))
            return findProfileValue(text, section, key);
        std::call_once(indexOnce, [this] { index = std::make_unique<const ProfileIndex>(text); });
        return index->find(section, key);
    }
};

struct Profile::Cache {
    struct Entry {
        FileStamp stamp;
        bool trusted = false;  // this stamp alone tells the version (see hasSettled)
        std::shared_ptr<const Parsed> parsed;
    };
    // Enough for every profile file of the installation; past it the cache starts afresh.
    static constexpr std::size_t kMaxFiles = 256;

    std::atomic<std::uint64_t> parses{0};
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

    // Files found missing, with the stamp of their directory then (see loadNow).
    std::unordered_map<std::string, FileStamp, PathHash, std::equal_to<>> missing;

    bool knownMissing(const std::string& path, const FileStamp& directory) {
        std::shared_lock lock(filesMutex);
        auto it = missing.find(path);
        return it != missing.end() && it->second == directory;
    }

    void rememberMissing(const std::string& path, const FileStamp& directory) {
        std::unique_lock lock(filesMutex);
        if (missing.size() >= kMaxFiles)
            missing.clear();
        missing.insert_or_assign(path, directory);
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

    void store(const std::string& path, Entry entry) {
        std::unique_lock lock(filesMutex);
        if (files.size() >= kMaxFiles)
            files.clear();
        files.insert_or_assign(path, std::move(entry));
    }

    void forget(const std::string& path) {
        std::unique_lock lock(filesMutex);
        files.erase(path);
        missing.erase(path);
    }
};

struct Profile::Pass::Files {
    const Profile* owner = nullptr;
    Files* outer = nullptr;
    // By the name as asked for, so that a read in the pass does not even resolve it again; null for a
    // file that is missing.
    std::unordered_map<std::string, std::shared_ptr<const Parsed>, PathHash, std::equal_to<>> files;
};

namespace {
thread_local Profile::Pass::Files* t_pass = nullptr;
}  // namespace

Profile::Pass::Pass(const Profile& profile) {
    for (Files* f = t_pass; f; f = f->outer)
        if (f->owner == &profile)
            return;  // an outer scope of this thread serves
    m_files = std::make_unique<Files>();
    m_files->owner = &profile;
    m_files->outer = t_pass;
    t_pass = m_files.get();
}

Profile::Pass::~Pass() {
    if (m_files)
        t_pass = m_files->outer;
}

Profile::Profile(Resolver resolve) : m_resolve(std::move(resolve)), m_cache(std::make_unique<Cache>()) {}

Profile::Profile(fs::path profileDir)
    : Profile([dir = std::move(profileDir)](std::string_view file) {
          return isBareProfileName(file) ? dir / file : fs::path(file);
      }) {}

Profile::~Profile() = default;

void Profile::setSettleTime(std::chrono::nanoseconds settle) {
    m_cache->settleTime.store(settle.count(), std::memory_order_relaxed);
}

std::uint64_t Profile::parseCount() const {
    return m_cache->parses.load(std::memory_order_relaxed);
}

std::shared_ptr<const Profile::Parsed> Profile::load(std::string_view file) const {
    Pass::Files* pass = t_pass;
    while (pass && pass->owner != this)
        pass = pass->outer;
    if (!pass)
        return loadNow(file);
    auto it = pass->files.find(file);
    if (it != pass->files.end())
        return it->second;
    std::shared_ptr<const Parsed> parsed = loadNow(file);
    pass->files.emplace(std::string(file), parsed);
    return parsed;
}

std::shared_ptr<const Profile::Parsed> Profile::loadNow(std::string_view file) const {
    fs::path path = m_resolve(file);
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT)
            return nullptr;
        // A file found missing stays missing while its directory is unchanged: its name in any letter
        // case would change the directory. That spares the search of every letter case at each read.
        const timespec lookStart = coarseNow();
        struct stat directory {};
        const bool haveDirectory = ::stat(path.parent_path().c_str(), &directory) == 0;
        if (haveDirectory && m_cache->knownMissing(path.native(), FileStamp(directory)))
            return nullptr;
        fs::path other = m_cache->spellingOf(path.native());
        if (other.empty() || ::stat(other.c_str(), &status) != 0) {
            other = resolveCaseInsensitive(path);
            if (other == path || ::stat(other.c_str(), &status) != 0) {
                std::chrono::nanoseconds settle(m_cache->settleTime.load(std::memory_order_relaxed));
                if (haveDirectory && hasSettled(FileStamp(directory), lookStart, settle))
                    m_cache->rememberMissing(path.native(), FileStamp(directory));
                return nullptr;
            }
            m_cache->rememberSpelling(path.native(), other.native());
        }
        path = std::move(other);
    }
    if (!S_ISREG(status.st_mode))
        return nullptr;  // a FIFO or device is never opened: it could block the reader for ever
    {
        std::shared_lock lock(m_cache->filesMutex);
        auto it = m_cache->files.find(path.native());
        if (it != m_cache->files.end() && it->second.trusted && it->second.stamp == FileStamp(status))
            return it->second.parsed;
    }
    const timespec readStart = coarseNow();
    std::optional<FileSnapshot> snapshot = readFileSnapshot(path);
    if (!snapshot || !snapshot->exists)
        return nullptr;
    FileStamp stamp(snapshot->status);
    std::chrono::nanoseconds settle(m_cache->settleTime.load(std::memory_order_relaxed));
    bool trusted = hasSettled(stamp, readStart, settle);
    m_cache->parses.fetch_add(1, std::memory_order_relaxed);
    ProfileContent content = decodeProfile(std::move(snapshot->bytes));
    auto parsed =
        std::make_shared<const Parsed>(std::move(content.text), content.encoding == ProfileEncoding::Utf16Le);
    m_cache->store(path.native(), Cache::Entry{stamp, trusted, parsed});
    return parsed;
}

std::optional<std::optional<std::string>> Profile::readSingle(std::string_view file, std::string_view section,
                                                              std::string_view key) const {
    if (!m_singleReads)
        return std::nullopt;
    for (Pass::Files* pass = t_pass; pass; pass = pass->outer)
        if (pass->owner == this)
            return std::nullopt;
    return findProfileValueInFile(m_resolve(file), section, key);
}

std::string Profile::getString(std::string_view file, std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::size_t size) const {
    if (size == 0)
        return {};
    if (auto single = readSingle(file, section, key)) {
        if (!*single)
            return cutProfileText(trimProfileDefault(defaultValue), size - 1, false);
        return cutProfileText(**single, size - 1, false);
    }
    std::shared_ptr<const Parsed> parsed = load(file);
    std::optional<std::string_view> value = parsed ? parsed->find(section, key) : std::nullopt;
    if (!value)
        return cutProfileText(trimProfileDefault(defaultValue), size - 1, false);
    return cutProfileText(*value, size - 1, parsed->fromUtf16);
}

int Profile::getInt(std::string_view file, std::string_view section, std::string_view key,
                    int defaultValue) const {
    if (auto single = readSingle(file, section, key))
        return *single && !(*single)->empty() ? parseProfileInt(**single) : defaultValue;
    std::shared_ptr<const Parsed> parsed = load(file);
    std::optional<std::string_view> value = parsed ? parsed->find(section, key) : std::nullopt;
    if (!value || value->empty())
        return defaultValue;
    return parseProfileInt(*value);
}

std::optional<std::string> Profile::readProblem(std::string_view file) const {
    fs::path path = resolveCaseInsensitive(m_resolve(file));
    FileHandle fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        return errno == ENOENT || errno == ENOTDIR ? "no such file" : std::strerror(errno);
    struct stat status {};
    std::optional<std::string> problem;
    char byte;
    if (::fstat(fd.get(), &status) != 0)
        problem = std::strerror(errno);
    else if (!S_ISREG(status.st_mode))
        problem = "not a regular file";
    else if (::read(fd.get(), &byte, 1) < 0)
        problem = std::strerror(errno);
    return problem;
}

ProfileWriteResult Profile::edit(std::string_view file,
                                 const std::function<std::string(std::string_view text)>& change) {
    // The reads of this thread's pass see the write (or the unchanged file) afresh.
    for (Pass::Files* pass = t_pass; pass; pass = pass->outer)
        if (pass->owner == this)
            pass->files.clear();
    std::optional<fs::path> target = writeTarget(m_resolve(file));
    if (!target)
        return ProfileWriteError::DanglingLink;
    const fs::path& path = *target;
    // Checked before any lock: something that is not a regular file must not hold other writers.
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0) {
        if (!S_ISREG(before.st_mode))
            return ProfileWriteError::NotRegular;
        if (!mayWrite(path, before))
            return ProfileWriteError::ReadOnly;
    }
    std::lock_guard threadLock(m_cache->writerMutex(path.native()));
    ProfileDirectoryLock processLock(path.parent_path());
    if (!processLock.held())
        return {ProfileWriteError::Failed, errno};
    std::optional<FileSnapshot> snapshot = readFileSnapshot(path);
    if (!snapshot) {
        int error = errno;
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && !S_ISREG(now.st_mode))
            return ProfileWriteError::NotRegular;
        return {ProfileWriteError::Failed, error};
    }
    if (snapshot->exists && !mayWrite(path, snapshot->status))
        return ProfileWriteError::ReadOnly;  // changed to read-only since the check above
    ProfileContent content = decodeProfile(std::move(snapshot->bytes));
    std::string edited = change(content.text);
    if (edited == content.text)
        return {};  // nothing to write, and a deletion in a missing file creates none
    content.text = std::move(edited);
    std::string bytes = encodeProfile(content);
    // The temporary name is fixed per file: the directory lock keeps every other writer out. The new
    // version keeps the old one's mode and owner.
    const FileResult replaced = writeFileAtomically(path, bytes);
    FileWrite written{replaced.ok(), replaced.number()};
    // No temporary can be created beside a file in a read-only directory; the file itself may still be
    // writable, and is then written in place.
    if (!written.ok && snapshot->exists && (written.error == EACCES || written.error == EPERM))
        written = rewriteFileInPlace(path, bytes);
    if (!written.ok)
        return {ProfileWriteError::Failed, written.error};
    m_cache->forget(path.native());
    return {};
}

ProfileWriteResult Profile::writeString(std::string_view file, std::string_view section, std::string_view key,
                                        std::optional<std::string_view> value) {
    if (!profileWriteReadsBack(section, key, value))
        return ProfileWriteError::NotReadBack;
    return edit(file, [&](std::string_view text) {
        return value ? setProfileValue(text, section, key, *value) : removeProfileKey(text, section, key);
    });
}

ProfileWriteResult Profile::writeInt(std::string_view file, std::string_view section, std::string_view key,
                                     int value) {
    return writeString(file, section, key, std::to_string(value));
}

ProfileWriteResult Profile::deleteSection(std::string_view file, std::string_view section) {
    return edit(file, [&](std::string_view text) { return removeProfileSection(text, section); });
}

}  // namespace qx
