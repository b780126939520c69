#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "AppendFile.h"
#include "AtomicFile.h"
#include "FileHandle.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

fs::path directoryOf(const fs::path& target) {
    return target.parent_path().empty() ? fs::path(".") : target.parent_path();
}

// Flushes `out`, closes it, renames `from` over `target` and syncs the directory: the common end of
// both replacements. `from` is removed on a failure before the rename when `removeOnFailure`.
FileResult commit(FileHandle& out, const fs::path& from, const fs::path& target, bool removeOnFailure) {
    FileResult result;
    if (::fsync(out.get()) != 0)
        result = fileFailure("sync", errno);
    else if (const std::error_code closed = out.close())
        result = fileFailure("close", closed.value());
    else if (::rename(from.c_str(), target.c_str()) != 0)
        result = fileFailure("rename", errno);
    if (!result) {
        if (removeOnFailure)
            ::unlink(from.c_str());
        return result;
    }
    FileHandle directory(openRetrying(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY));
    if (!directory.valid() || ::fsync(directory.get()) != 0)
        return fileFailure("sync the directory", errno);
    return {};
}

}  // namespace

FileResult writeFileAtomically(const fs::path& target, std::string_view bytes,
                               const AtomicWriteOptions& options) {
    std::string name =
        options.temporaryName.empty() ? "." + target.filename().string() + ".qxtmp" : options.temporaryName;
    if (options.perProcess)
        name += "-" + std::to_string(::getpid());
    const fs::path temporary = target.parent_path() / name;
    // A leftover of a writer that was killed, or a link planted under the name: removed, so that the
    // exclusive create below gives a fresh file whose mode is ours.
    ::unlink(temporary.c_str());
    FileHandle out(openRetrying(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW,
                                static_cast<mode_t>(options.mode & 07777)));
    if (!out.valid())
        return fileFailure("create the temporary file", errno);
    auto failed = [&](const char* step) {
        const FileResult result = fileFailure(step, errno);
        ::unlink(temporary.c_str());
        return result;
    };
    struct stat previous {};
    if (options.exactMode) {
        if (::fchmod(out.get(), static_cast<mode_t>(options.mode & 07777)) != 0)
            return failed("set the mode");
    } else if (::lstat(target.c_str(), &previous) == 0 && S_ISREG(previous.st_mode)) {
        if (::fchmod(out.get(), previous.st_mode & 07777) != 0)
            return failed("set the mode");
        if (previous.st_uid != ::geteuid() || previous.st_gid != ::getegid())
            (void)!::fchown(out.get(), previous.st_uid,
                            previous.st_gid);  // only root can; others keep theirs
    }
    if (!writeWhole(out.get(), bytes))
        return failed("write");
    return commit(out, temporary, target, true);
}

FileResult makeReserveFile(const fs::path& reserve, std::uintmax_t bytes) {
    FileHandle out(openRetrying(reserve.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644));
    if (!out.valid())
        return fileFailure("create the reserve", errno);
    // Without its room the reserve is no use: it goes.
    if (const int error = ::posix_fallocate(out.get(), 0, static_cast<off_t>(bytes)); error != 0) {
        ::unlink(reserve.c_str());
        return fileFailure("allocate the reserve", error);
    }
    return {};
}

FileResult replaceFromReserve(const fs::path& target, const fs::path& reserve, std::string_view bytes) {
    FileHandle out(openRetrying(reserve.c_str(), O_WRONLY | O_NOFOLLOW));
    if (!out.valid())
        return fileFailure("open the reserve", errno);
    struct stat status {};
    if (::fstat(out.get(), &status) != 0)
        return fileFailure("open the reserve", errno);
    // Written only within blocks the reserve holds already: a write past them would need the room that
    // is not there.
    if (!S_ISREG(status.st_mode) || static_cast<std::uintmax_t>(status.st_blocks) * 512 < bytes.size())
        return fileFailure("open the reserve", ENOSPC);
    if (!writeWhole(out.get(), bytes))
        return fileFailure("write", errno);
    if (::ftruncate(out.get(), static_cast<off_t>(bytes.size())) != 0)
        return fileFailure("write", errno);
    return commit(out, reserve, target, false);
}

AppendFile::AppendFile(const fs::path& file) {
    const int fd = openRetrying(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0644);
    if (fd < 0)
        m_opened = fileFailure("open", errno);
    else
        m_handle = fd;
}

AppendFile::~AppendFile() {
    if (m_handle >= 0)
        closeDescriptor(static_cast<int>(m_handle));
}

FileResult AppendFile::append(std::string_view bytes) {
    if (!m_opened)
        return m_opened;
    // One write in append mode keeps lines of concurrent writers whole.
    ssize_t written;
    do
        written = ::write(static_cast<int>(m_handle), bytes.data(), bytes.size());
    while (written < 0 && errno == EINTR);
    if (written < 0)
        return fileFailure("write", errno);
    if (static_cast<std::size_t>(written) < bytes.size())
        return fileFailure("write", ENOSPC);
    return {};
}

void writeStandardError(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace qx
