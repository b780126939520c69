#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "DirectoryStreamPosix.h"
#include "FileHandle.h"
#include "Transfer.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

std::error_code copyBytes(int in, int out, off_t size) {
    // copy_file_range lets the kernel (or the file system) do the work; plain reads and writes where
    // it cannot, and for whatever a writer appended while we copied.
    off_t done = 0;
    while (done < size) {
        ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<std::size_t>(size - done), 0);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return lastError();
        break;
    }
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return lastError();
        if (n == 0)
            return {};
        for (ssize_t written = 0; written < n;) {
            ssize_t w = ::write(out, buffer + written, static_cast<std::size_t>(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return lastError();
            written += w;
        }
    }
}

// A name beside the target that no other writer uses; it never matches a statistic pattern. It is
// removed again, or by a later move when this process was killed (see abandonedPartialCopies()).
std::string temporaryName(std::string_view name) {
    static std::atomic<unsigned> counter{0};
    return "." + std::string(name) + ".qxcopy-" + std::to_string(::getpid()) + "-" +
           std::to_string(++counter);
}

// Creates a fresh temporary file beside `name` in `directory`, locked for as long as it is open: the
// lock, not the process id, tells a copy in the making from the leftover of a killed process (the
// kernel drops the lock with the process; a process id comes back, PID 1 in every container). Its
// name goes to `temp`.
int createTemporary(int directory, std::string_view name, std::string& temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = temporaryName(name);
        FileHandle fd(::openat(directory, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!fd.valid()) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        while (::flock(fd.get(), LOCK_EX) != 0)
            if (errno != EINTR)
                return -1;
        // A clearer may have taken the unlocked file for a leftover between the creation and the lock.
        struct stat st {};
        if (::fstat(fd.get(), &st) == 0 && st.st_nlink > 0)
            return fd.release();
    }
    errno = EEXIST;
    return -1;
}

// Gives `temp` the name `name` in `directory`. With `replace` off, a file of that name stays and the
// call fails with EEXIST; file systems without RENAME_NOREPLACE get a hard link, which fails the
// same way, and the temporary name is removed after it.
int placeAt(int directory, const std::string& temp, const std::string& name, bool replace) {
    if (replace)
        return ::renameat(directory, temp.c_str(), directory, name.c_str());
    if (::renameat2(directory, temp.c_str(), directory, name.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (::linkat(directory, temp.c_str(), directory, name.c_str(), 0) != 0)
        return -1;
    ::unlinkat(directory, temp.c_str(), 0);
    return 0;
}

bool sameState(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

std::error_code copySymlink(int fromDir, const std::string& name, int toDir, bool replace) {
    std::string target(4096, '\0');
    ssize_t n = ::readlinkat(fromDir, name.c_str(), target.data(), target.size());
    if (n < 0)
        return lastError();
    target.resize(static_cast<std::size_t>(n));
    std::string temp = temporaryName(name);
    if (::symlinkat(target.c_str(), toDir, temp.c_str()) != 0)
        return lastError();
    if (placeAt(toDir, temp, name, replace) != 0) {
        std::error_code ec = lastError();
        ::unlinkat(toDir, temp.c_str(), 0);
        return ec;
    }
    return {};
}

// The error a copy reports when its source changed while it was read.
const std::error_code kChanged = std::make_error_code(std::errc::resource_unavailable_try_again);

// Copies every byte, the permission bits and the last-write time into a temporary file, which then
// takes the target's name (replacing a file there only with `replace`). `before` receives the source as it
// was when the copy began. A source that was written to meanwhile (its size or change time moved) gives
// kChanged and no copy: what it has now would not be the file that the copy holds. Nothing is synced here;
// the caller decides.
std::error_code copyAt(int fromDir, const std::string& name, int toDir, struct stat& before, bool replace) {
    if (::fstatat(fromDir, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    if (S_ISLNK(before.st_mode))
        return copySymlink(fromDir, name, toDir, replace);
    if (!S_ISREG(before.st_mode))
        return std::make_error_code(std::errc::invalid_argument);
    FileHandle in(::openat(fromDir, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in.valid())
        return lastError();
    if (::fstat(in.get(), &before) != 0)
        return lastError();
    std::string temp;
    FileHandle out(createTemporary(toDir, name, temp));
    if (!out.valid())
        return lastError();
    std::error_code ec = copyBytes(in.get(), out.get(), before.st_size);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    if (!ec && ::fchmod(out.get(), before.st_mode & 07777) != 0)
        ec = lastError();
    // The time last, after every write.
    if (!ec && ::futimens(out.get(), times) != 0)
        ec = lastError();
    if (const std::error_code closed = out.close(); closed && !ec)
        ec = closed;
    struct stat after {};
    if (!ec && (::fstat(in.get(), &after) != 0 || !sameState(before, after)))
        ec = kChanged;
    if (!ec && placeAt(toDir, temp, name, replace) != 0)
        ec = lastError();
    if (ec)
        ::unlinkat(toDir, temp.c_str(), 0);
    return ec;
}

bool sameBytes(int a, int b) {
    char x[1 << 15], y[1 << 15];
    for (off_t at = 0;;) {
        ssize_t n = ::pread(a, x, sizeof x, at);
        ssize_t m = ::pread(b, y, sizeof y, at);
        if (n < 0 || n != m)
            return false;
        if (n == 0)
            return true;
        if (std::memcmp(x, y, static_cast<std::size_t>(n)) != 0)
            return false;
        at += n;
    }
}

// Whether `name` in the target is already the source file: the same inode (a move cut short between
// its link and its unlink), or a copy with the same size, last-write time and bytes, or a link to the
// same place (a move across file systems killed after its copy took the name and before the source
// went).
bool alreadyThere(int fromDir, int toDir, const std::string& name) {
    struct stat from {
    }, to{};
    if (::fstatat(fromDir, name.c_str(), &from, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstatat(toDir, name.c_str(), &to, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (from.st_dev == to.st_dev && from.st_ino == to.st_ino)
        return true;
    if (S_ISLNK(from.st_mode) && S_ISLNK(to.st_mode)) {
        char a[4096], b[4096];
        const ssize_t n = ::readlinkat(fromDir, name.c_str(), a, sizeof a);
        const ssize_t m = ::readlinkat(toDir, name.c_str(), b, sizeof b);
        return n >= 0 && n == m && std::memcmp(a, b, static_cast<std::size_t>(n)) == 0;
    }
    if (!S_ISREG(from.st_mode) || !S_ISREG(to.st_mode) || from.st_size != to.st_size ||
        from.st_mtim.tv_sec != to.st_mtim.tv_sec || from.st_mtim.tv_nsec != to.st_mtim.tv_nsec)
        return false;
    FileHandle a(::openat(fromDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    FileHandle b(::openat(toDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    return a.valid() && b.valid() && sameBytes(a.get(), b.get());
}

// A symbolic link in the making lives for two calls; one older than this was left by a killed process.
constexpr std::chrono::minutes kAbandonedLinkAge{10};

// Opens the partial copy `name` of `directory` and takes its lock when no writer holds it: then it is
// a leftover (the lock of a writer goes with the writer's process). An invalid descriptor when a writer
// holds it, or it is no leftover. A symbolic link (which cannot be locked) is a leftover once it is old.
FileHandle lockAbandoned(int directory, const std::string& name, bool& isLink) {
    isLink = false;
    struct stat st {};
    if (::fstatat(directory, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return FileHandle();
    if (S_ISLNK(st.st_mode)) {
        const auto age = std::chrono::seconds(::time(nullptr) - st.st_ctim.tv_sec);
        isLink = age > kAbandonedLinkAge;
        return FileHandle();
    }
    if (!S_ISREG(st.st_mode))
        return FileHandle();
    FileHandle fd(::openat(directory, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.valid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return FileHandle();
    return fd;
}

// The moves and copies of the real transfer (see FileTransfer for what they promise).
class PosixTransfer : public FileTransfer {
public:
    // A batch is made durable when it holds `batchFiles` files or kBatchBytes, whichever comes first.
    static constexpr std::int64_t kBatchBytes = std::int64_t{256} << 20;

    PosixTransfer(const fs::path& from, const fs::path& to, TransferStep hook, std::size_t batchFiles);
    ~PosixTransfer() override;

    std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override;
    std::error_code move(std::string_view name) override;
    std::error_code copy(std::string_view name) override;
    std::vector<TransferProblem> complete() override;
    std::vector<std::string> clearPartialCopies() override;

private:
    // A source whose copy is in the target and waits for the batch's sync.
    struct Pending {
        std::string name;
        struct stat before;  // the source as it was when its copy began
        ino_t copy = 0;      // the copy this move made in the target (0: it found it there)
    };

    std::error_code opened() const { return m_from.isOpen() ? m_to.error() : m_from.error(); }
    int from() const { return static_cast<int>(m_from.native()); }
    int to() const { return static_cast<int>(m_to.native()); }
    void step(std::string_view what, std::string_view name) const;
    void completeBatch();

    DirectoryHandle m_from;
    DirectoryHandle m_to;
    TransferStep m_hook;
    std::size_t m_batchFiles;
    std::vector<Pending> m_pending;
    std::int64_t m_pendingBytes = 0;
    std::vector<TransferProblem> m_problems;
};

}  // namespace

std::vector<std::string> abandonedPartialCopies(const fs::path& directory) {
    const DirectoryHandle open(directory);
    return detail::partialCopies(open, [&](const std::string& name) {
        bool isLink = false;
        return lockAbandoned(static_cast<int>(open.native()), name, isLink).valid() || isLink;
    });
}

std::unique_ptr<FileTransfer> openRealTransfer(const fs::path& from, const fs::path& to, TransferStep step,
                                               std::size_t batchFiles) {
    return std::make_unique<PosixTransfer>(from, to, std::move(step), batchFiles);
}

PosixTransfer::PosixTransfer(const fs::path& from, const fs::path& to, TransferStep hook,
                             std::size_t batchFiles)
    : m_from(from), m_to(to), m_hook(std::move(hook)), m_batchFiles(batchFiles < 1 ? 1 : batchFiles) {}

PosixTransfer::~PosixTransfer() {
    completeBatch();
}

void PosixTransfer::step(std::string_view what, std::string_view name) const {
    if (m_hook)
        m_hook(what, name);
}

std::optional<SysTime> PosixTransfer::lastWrite(std::string_view name, std::error_code& error) {
    std::optional<EntryStatus> st = m_from.status(name, &error);
    return st ? std::optional<SysTime>(st->lastWrite) : std::nullopt;
}

std::error_code PosixTransfer::move(std::string_view name) {
    if (std::error_code ec = opened())
        return ec;
    Pending pending{std::string(name), {}};
    const char* file = pending.name.c_str();
    // Never over a file of the same name: that would be last week's table or index.
    if (::renameat2(from(), file, to(), file, RENAME_NOREPLACE) == 0)
        return {};
    if (errno == EINVAL || errno == ENOSYS) {
        // No RENAME_NOREPLACE here: a link fails on an existing name, then the source name goes.
        if (::linkat(from(), file, to(), file, 0) == 0) {
            ::unlinkat(from(), file, 0);
            return {};
        }
    }
    int error = errno;
    // Across file systems the rename fails before it looks at the target: look here.
    struct stat there {};
    if (error == EXDEV && ::fstatat(to(), file, &there, AT_SYMLINK_NOFOLLOW) == 0)
        error = EEXIST;
    if (error == EEXIST) {
        if (!alreadyThere(from(), to(), pending.name))
            return std::make_error_code(std::errc::file_exists);
        if (::fstatat(from(), file, &pending.before, AT_SYMLINK_NOFOLLOW) != 0)
            return lastError();
        // What a killed move left in both places: the copy is made durable, then the source goes.
        m_pending.push_back(std::move(pending));
        if (m_pending.size() >= m_batchFiles)
            completeBatch();
        return {};
    }
    if (error != EXDEV)
        return {error, std::generic_category()};
    if (std::error_code ec = copyAt(from(), pending.name, to(), pending.before, false)) {
        if (ec != kChanged)
            return ec;
        m_problems.push_back({pending.name, {}, true});
        return {};
    }
    struct stat copied {};
    if (::fstatat(to(), file, &copied, AT_SYMLINK_NOFOLLOW) == 0)
        pending.copy = copied.st_ino;
    step("copied", pending.name);
    m_pendingBytes += pending.before.st_size;
    m_pending.push_back(std::move(pending));
    if (m_pending.size() >= m_batchFiles || m_pendingBytes >= kBatchBytes)
        completeBatch();
    return {};
}

std::error_code PosixTransfer::copy(std::string_view name) {
    if (std::error_code ec = opened())
        return ec;
    struct stat before {};
    std::error_code ec = copyAt(from(), std::string(name), to(), before, true);
    // The source stays, so a copy of a file being written is as good as any: it is renewed next time.
    return ec == kChanged ? std::error_code() : ec;
}

void PosixTransfer::completeBatch() {
    if (m_pending.empty())
        return;
    std::vector<Pending> batch = std::move(m_pending);
    m_pending.clear();
    m_pendingBytes = 0;
    // One sync of the target's file system makes every copy of the batch, its name and its inode
    // durable; a source is deleted only after that. (A sync per file waits for the disk once per file;
    // this waits once per batch.)
    if (::syncfs(to()) != 0) {
        std::error_code ec = lastError();
        for (const Pending& p : batch)
            m_problems.push_back({p.name, ec, false});
        return;
    }
    step("synced", {});
    for (const Pending& p : batch) {
        struct stat now {};
        if (::fstatat(from(), p.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)  // gone: another program took it; its copy is safe
                m_problems.push_back({p.name, lastError(), false});
            continue;
        }
        if (!sameState(p.before, now)) {
            // The copy holds what the file was, not what it is: it goes, so that the next run can
            // file the whole file under its name.
            struct stat copied {};
            if (p.copy != 0 && ::fstatat(to(), p.name.c_str(), &copied, AT_SYMLINK_NOFOLLOW) == 0 &&
                copied.st_ino == p.copy)
                ::unlinkat(to(), p.name.c_str(), 0);
            m_problems.push_back({p.name, {}, true});
            continue;
        }
        if (::unlinkat(from(), p.name.c_str(), 0) != 0 && errno != ENOENT) {
            m_problems.push_back({p.name, lastError(), false});
            continue;
        }
        step("deleted", p.name);
    }
}

std::vector<TransferProblem> PosixTransfer::complete() {
    completeBatch();
    return std::exchange(m_problems, {});
}

std::vector<std::string> PosixTransfer::clearPartialCopies() {
    return detail::partialCopies(m_to, [&](const std::string& name) {
        bool isLink = false;
        // Deleted while its lock is held, so that no writer can take it up in between.
        FileHandle held = lockAbandoned(to(), name, isLink);
        return (held.valid() || isLink) && ::unlinkat(to(), name.c_str(), 0) == 0;
    });
}

}  // namespace qx
