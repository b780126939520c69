#include "FileOperations.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

// The directory of `file` and its name, for the calls relative to that directory.
fs::path parentOf(const fs::path& file) {
    return file.parent_path().empty() ? fs::path(".") : file.parent_path();
}

}  // namespace

std::vector<DirectoryEntry> FileOperations::list(const fs::path& directory) {
    return DirectoryHandle(directory).list();
}

std::unique_ptr<FileTransfer> FileOperations::transfer(const fs::path& from, const fs::path& to) {
    return openTransfer(from, to, m_step, m_batchFiles, m_dryRun);
}

std::unique_ptr<DirectoryHandle> FileOperations::openForDeletion(const fs::path& directory,
                                                                 const PathMap* protect) {
    return std::make_unique<DirectoryHandle>(directory, DirectoryRules{protect, m_dryRun});
}

std::error_code FileOperations::createDirectory(const fs::path& directory) {
    return createDirectories(directory, m_dryRun);
}

std::error_code FileOperations::remove(const fs::path& file) {
    if (m_dryRun) {
        m_dryRun->print("delete", file);
        return {};
    }
    return DirectoryHandle(parentOf(file), {nullptr, m_dryRun}).remove(file.filename().string());
}

std::error_code FileOperations::createFile(const fs::path& file, std::string_view content) {
    if (m_dryRun) {
        m_dryRun->print("create-file", file);
        return {};
    }
    return DirectoryHandle(parentOf(file)).createFile(file.filename().string(), content);
}

std::error_code FileOperations::replaceFile(const fs::path& file, std::string_view content) {
    return DirectoryHandle(parentOf(file), {nullptr, m_dryRun})
        .replaceFile(file.filename().string(), content);
}

}  // namespace qx
