#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "ErrorWin32.h"
#include "FileTimeWin32.h"
#include "Transfer.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

std::wstring entryPath(const DirectoryHandle& directory, std::string_view name) {
    return (directory.path() / widen(name)).wstring();
}

// A name beside the target that no other writer uses; it never matches a statistic pattern.
std::string temporaryName(std::string_view name) {
    static std::atomic<unsigned> counter{0};
    return "." + std::string(name) + ".qxcopy-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
}

// The source as it was when its copy began: the copy is good only while these stay.
struct Snapshot {
    std::int64_t size = 0;
    SysTime lastWrite;
    bool operator==(const Snapshot&) const = default;
};

std::optional<Snapshot> snapshot(const DirectoryHandle& directory, std::string_view name,
                                 std::error_code& error) {
    std::optional<EntryStatus> st = directory.status(name, &error);
    if (!st)
        return std::nullopt;
    return Snapshot{st->size, st->lastWrite};
}

// The error a copy reports when its source changed while it was read.
const std::error_code kChanged = std::make_error_code(std::errc::resource_unavailable_try_again);

// Copies the bytes and the last-write time of `source` into the new file `temp` (held unshared while it
// is written, so that a clearer never takes it for a leftover), flushed to disk.
std::error_code copyBytes(const std::wstring& source, const std::wstring& temp, const Snapshot& before) {
    // Writers may go on (they are noticed by the snapshot); a program that holds the file without
    // sharing its reading makes this fail with a sharing violation, and the file stays for the next run.
    Win32Handle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                               nullptr));
    if (!in.valid())
        return lastWin32Error();
    Win32Handle out(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!out.valid())
        return lastWin32Error();
    std::error_code ec;
    static thread_local char buffer[1 << 16];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.get(), buffer, sizeof buffer, &read, nullptr)) {
            ec = lastWin32Error();
            break;
        }
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(out.get(), buffer, read, &written, nullptr) || written != read) {
            ec = lastWin32Error();
            break;
        }
    }
    const FILETIME lastWrite = toFileTime(before.lastWrite);
    if (!ec && !SetFileTime(out.get(), nullptr, nullptr, &lastWrite))
        ec = lastWin32Error();
    if (!ec && !FlushFileBuffers(out.get()))
        ec = lastWin32Error();
    if (const std::error_code closed = out.close(); closed && !ec)
        ec = closed;
    if (!ec) {
        // Plain again: the temporary name was what hid it.
        SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    return ec;
}

bool sameBytes(const std::wstring& a, const std::wstring& b) {
    Win32Handle x(CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    Win32Handle y(CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!x.valid() || !y.valid())
        return false;
    static thread_local char p[1 << 15], q[1 << 15];
    for (;;) {
        DWORD n = 0, m = 0;
        if (!ReadFile(x.get(), p, sizeof p, &n, nullptr) || !ReadFile(y.get(), q, sizeof q, &m, nullptr) ||
            n != m)
            return false;
        if (n == 0)
            return true;
        if (std::memcmp(p, q, n) != 0)
            return false;
    }
}

// The moves and copies between two directories on Windows (see FileTransfer for what they promise).
// Windows has no flush of a whole volume: each copy is flushed before it takes its name, and the
// sources of a batch are deleted when the batch completes.
class Win32Transfer : public FileTransfer {
public:
    Win32Transfer(const fs::path& from, const fs::path& to, TransferStep hook, std::size_t batchFiles)
        : m_from(from),
          m_to(to),
          m_hook(std::move(hook)),
          m_batchFiles(std::max<std::size_t>(batchFiles, 1)) {}
    ~Win32Transfer() override { completeBatch(); }

    std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override {
        std::optional<EntryStatus> st = m_from.status(name, &error);
        return st ? std::optional<SysTime>(st->lastWrite) : std::nullopt;
    }

    std::error_code move(std::string_view name) override {
        if (std::error_code ec = opened())
            return ec;
        if (!isEntryName(name))
            return std::make_error_code(std::errc::invalid_argument);
        const std::wstring source = entryPath(m_from, name), target = entryPath(m_to, name);
        // Never over a file of the same name, and never a copy behind our back: within a volume a rename
        // (a link or junction moves as itself), else the copy below.
        if (MoveFileExW(source.c_str(), target.c_str(), 0))
            return {};
        std::error_code error = lastWin32Error();
        std::error_code ignored;
        if (error == std::errc::cross_device_link && m_to.holds(name))
            error = std::make_error_code(std::errc::file_exists);
        if (error == std::errc::file_exists) {
            if (!alreadyThere(name))
                return error;
            // What a killed move left in both places: the source goes when the batch completes.
            std::optional<Snapshot> before = snapshot(m_from, name, ignored);
            if (!before)
                return ignored;
            m_pending.push_back({std::string(name), *before});
            if (m_pending.size() >= m_batchFiles)
                completeBatch();
            return {};
        }
        if (error != std::errc::cross_device_link)
            return error;
        std::optional<EntryStatus> st = m_from.status(name, &error);
        if (!st)
            return error;
        // A link is never followed, and across volumes it cannot be moved as itself: it stays.
        if (st->isSymlink || st->isDirectory)
            return std::make_error_code(std::errc::operation_not_supported);
        const Snapshot before{st->size, st->lastWrite};
        if (std::error_code ec = copyAt(name, before, false)) {
            if (ec != kChanged)
                return ec;
            m_problems.push_back({std::string(name), {}, true});
            return {};
        }
        step("copied", name);
        m_pending.push_back({std::string(name), before});
        if (m_pending.size() >= m_batchFiles)
            completeBatch();
        return {};
    }

    std::error_code copy(std::string_view name) override {
        if (std::error_code ec = opened())
            return ec;
        if (!isEntryName(name))
            return std::make_error_code(std::errc::invalid_argument);
        std::error_code error;
        std::optional<EntryStatus> st = m_from.status(name, &error);
        if (!st)
            return error;
        if (st->isSymlink || st->isDirectory)
            return std::make_error_code(std::errc::operation_not_supported);
        const std::error_code ec = copyAt(name, Snapshot{st->size, st->lastWrite}, true);
        // The source stays, so a copy of a file being written is as good as any: renewed next time.
        return ec == kChanged ? std::error_code() : ec;
    }

    std::vector<TransferProblem> complete() override {
        completeBatch();
        return std::exchange(m_problems, {});
    }

    std::vector<std::string> clearPartialCopies() override {
        return detail::partialCopies(m_to, [&](const std::string& name) {
            // A writer holds its copy unshared: a copy that opens for deletion without sharing is a
            // leftover, and goes when it is closed.
            Win32Handle held(CreateFileW(entryPath(m_to, name).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
            return held.valid() && !held.close();
        });
    }

private:
    struct Pending {
        std::string name;
        Snapshot before;
    };

    std::error_code opened() const { return m_from.isOpen() ? m_to.error() : m_from.error(); }

    void step(std::string_view what, std::string_view name) const {
        if (m_hook)
            m_hook(what, name);
    }

    // Copies `name` under a hidden temporary name, which then takes the file's name (replacing a file
    // there only with `replace`). kChanged when the source was written to meanwhile.
    std::error_code copyAt(std::string_view name, const Snapshot& before, bool replace) {
        const std::wstring temp = entryPath(m_to, temporaryName(name));
        std::error_code ec = copyBytes(entryPath(m_from, name), temp, before);
        std::error_code ignored;
        if (!ec && snapshot(m_from, name, ignored) != before)
            ec = kChanged;
        if (!ec && !MoveFileExW(temp.c_str(), entryPath(m_to, name).c_str(),
                                MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)))
            ec = lastWin32Error();
        if (ec)
            DeleteFileW(temp.c_str());
        return ec;
    }

    // Whether `name` in the target is already the source file: a copy with the same size, last-write
    // time and bytes (a move across volumes killed after its copy took the name).
    bool alreadyThere(std::string_view name) const {
        std::error_code ignored;
        std::optional<EntryStatus> from = m_from.status(name, &ignored), to = m_to.status(name, &ignored);
        if (!from || !to || from->isSymlink || to->isSymlink || from->isDirectory || to->isDirectory ||
            from->size != to->size || from->lastWrite != to->lastWrite)
            return false;
        return sameBytes(entryPath(m_from, name), entryPath(m_to, name));
    }

    void completeBatch() {
        if (m_pending.empty())
            return;
        std::vector<Pending> batch = std::exchange(m_pending, {});
        step("synced", {});
        for (const Pending& p : batch) {
            std::error_code error;
            std::optional<Snapshot> now = snapshot(m_from, p.name, error);
            if (!now) {
                if (error != std::errc::no_such_file_or_directory)  // gone: another program took it
                    m_problems.push_back({p.name, error, false});
                continue;
            }
            if (*now != p.before) {
                // The copy holds what the file was: it goes, so that the next run files the whole file.
                DeleteFileW(entryPath(m_to, p.name).c_str());
                m_problems.push_back({p.name, {}, true});
                continue;
            }
            // A source that another program holds (a sharing violation) stays beside its copy; the next
            // run finds the copy and deletes the source then.
            if (!DeleteFileW(entryPath(m_from, p.name).c_str())) {
                error = lastWin32Error();
                if (error != std::errc::no_such_file_or_directory)
                    m_problems.push_back({p.name, error, false});
                continue;
            }
            step("deleted", p.name);
        }
    }

    DirectoryHandle m_from;
    DirectoryHandle m_to;
    TransferStep m_hook;
    std::size_t m_batchFiles;
    std::vector<Pending> m_pending;
    std::vector<TransferProblem> m_problems;
};

}  // namespace

std::vector<std::string> abandonedPartialCopies(const fs::path& directory) {
    const DirectoryHandle open(directory);
    return detail::partialCopies(open, [&](const std::string& name) {
        // Opened without sharing only when no writer holds it; nothing is deleted.
        Win32Handle held(CreateFileW(entryPath(open, name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        return held.valid();
    });
}

std::unique_ptr<FileTransfer> openRealTransfer(const fs::path& from, const fs::path& to, TransferStep step,
                                               std::size_t batchFiles) {
    return std::make_unique<Win32Transfer>(from, to, std::move(step), batchFiles);
}

}  // namespace qx
