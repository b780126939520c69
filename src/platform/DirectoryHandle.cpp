#include "DirectoryHandle.h"

#include <utility>

namespace fs = std::filesystem;

namespace qx {

namespace {

// The directory as the system sees it, or empty when it cannot be resolved (it does not exist).
fs::path resolved(const fs::path& directory) {
    std::error_code ec;
    fs::path path = fs::canonical(directory.empty() ? fs::path(".") : directory, ec);
    return ec ? fs::path() : path;
}

}  // namespace

DirectoryRefusal refusalOf(const fs::path& directory, const PathMap& paths) {
    const fs::path target = resolved(directory);
    if (target.empty())
        return DirectoryRefusal::None;
    if (target == target.root_path())
        return DirectoryRefusal::FileSystemRoot;
    if (target == resolved(paths.root()))
        return DirectoryRefusal::InstallationRoot;
    if (target == resolved(paths.windir()))
        return DirectoryRefusal::ProfileDirectory;
    std::error_code ec;
    if (target == resolved(fs::current_path(ec)))
        return DirectoryRefusal::WorkingDirectory;
    return DirectoryRefusal::None;
}

const char* describe(DirectoryRefusal refusal) {
    switch (refusal) {
        case DirectoryRefusal::FileSystemRoot:
            return "the file-system root";
        case DirectoryRefusal::InstallationRoot:
            return "the installation root";
        case DirectoryRefusal::ProfileDirectory:
            return "the profile directory";
        case DirectoryRefusal::WorkingDirectory:
            return "the working directory";
        case DirectoryRefusal::None:
            break;
    }
    return "";
}

bool isEntryName(std::string_view name) {
#ifdef _WIN32
    constexpr std::string_view separators = "/\\:";
#else
    constexpr std::string_view separators = "/";
#endif
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(separators) == std::string_view::npos;
}

DirectoryHandle::DirectoryHandle(fs::path directory, DirectoryRules rules)
    : m_path(std::move(directory)), m_rules(rules) {
    if (m_rules.protect) {
        m_refusal = refusalOf(m_path, *m_rules.protect);
        if (m_refusal != DirectoryRefusal::None) {
            m_error = std::make_error_code(std::errc::operation_not_permitted);
            return;
        }
    }
    open();
}

DirectoryHandle::~DirectoryHandle() {
    close();
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_rules(other.m_rules),
      m_native(std::exchange(other.m_native, -1)),
      m_error(other.m_error),
      m_refusal(other.m_refusal),
      m_isLink(other.m_isLink),
      m_read(other.m_read),
      m_names(std::move(other.m_names)) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
    if (this != &other) {
        close();
        m_path = std::move(other.m_path);
        m_rules = other.m_rules;
        m_native = std::exchange(other.m_native, -1);
        m_error = other.m_error;
        m_refusal = other.m_refusal;
        m_isLink = other.m_isLink;
        m_read = other.m_read;
        m_names = std::move(other.m_names);
    }
    return *this;
}

bool DirectoryHandle::isOpen() const {
    return m_native != -1;
}

std::vector<FoundFile> DirectoryHandle::find(std::string_view pattern, std::stop_token stop) {
    std::vector<FoundFile> found;
    if (!isOpen())
        return found;
    if (!m_read) {
        m_read = true;
        m_names = list();
    }
    for (const DirectoryEntry& entry : m_names) {
        if (!matchesWildcard(entry.name, pattern))
            continue;
        // Each look costs a stat, which on a busy disk adds up to seconds for a large directory.
        if (stop.stop_requested())
            break;
        std::optional<EntryStatus> st = status(entry.name);
        if (!st)
            continue;
        FoundFile file;
        file.name = entry.name;
        file.isSymlink = st->isSymlink;
        file.isDirectory = st->isDirectory;
        file.isReadOnly = st->isReadOnly;
        file.lastWrite = st->lastWrite;
        found.push_back(std::move(file));
    }
    return found;
}

std::error_code DirectoryHandle::remove(std::string_view name) {
    if (!isEntryName(name))
        return std::make_error_code(std::errc::invalid_argument);
    if (!isOpen())
        return m_error;
    if (m_rules.dryRun) {
        m_rules.dryRun->print("delete", m_path / name);
        return {};
    }
    return removeEntry(name);
}

std::error_code DirectoryHandle::createFile(std::string_view name, std::string_view content) {
    if (!isEntryName(name))
        return std::make_error_code(std::errc::invalid_argument);
    if (!isOpen())
        return m_error;
    if (m_rules.dryRun) {
        m_rules.dryRun->print("create-file", m_path / name);
        return {};
    }
    return writeNewFile(name, content);
}

std::error_code DirectoryHandle::replaceFile(std::string_view name, std::string_view content) {
    if (!isEntryName(name))
        return std::make_error_code(std::errc::invalid_argument);
    // Before the look at the handle: in a dry run the directory may be one still to be created.
    if (m_rules.dryRun)
        return {};
    if (!isOpen())
        return m_error;
    return writeReplacement(name, content);
}

std::error_code createDirectories(const fs::path& directory, DryRunOutput* dryRun) {
    std::error_code ec;
    if (dryRun) {
        if (!fs::is_directory(directory, ec))
            dryRun->print("create-directory", directory);
        return {};
    }
    fs::create_directories(directory, ec);
    if (ec)
        return ec;
    if (!fs::is_directory(directory, ec))
        return ec ? ec : std::make_error_code(std::errc::not_a_directory);
    return {};
}

}  // namespace qx
