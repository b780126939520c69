#include "StatisticMover.h"

#include <cstdio>
#include <vector>

#include "SiblingCommands.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

bool containsIgnoreCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size())
        return false;
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
        if (equalsIgnoreCase(text.substr(i, part.size()), part))
            return true;
    return false;
}

std::string numbered(std::string_view base, const char* name, int number) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".\\%s%02d", name, number);
    return std::string(base) + suffix;
}

// The files of one directory read once, grouped by the first of `patterns` that each matches, so that
// every pattern's turn sees the files as a search of its own would. Subdirectories never take part.
std::vector<std::vector<FoundFile>> filesByPattern(FileOperations& files, const fs::path& directory,
                                                   std::span<const std::string_view> patterns) {
    std::vector<std::vector<FoundFile>> groups(patterns.size());
    for (FoundFile& entry : files.list(directory)) {
        if (entry.isDirectory)
            continue;
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            if (matchesWildcard(entry.name, patterns[i])) {
                groups[i].push_back(std::move(entry));
                break;
            }
        }
    }
    return groups;
}

// A file that another program took away while we worked is no failure of ours; a missing target
// directory is.
bool vanished(std::error_code ec, const fs::path& source) {
    std::error_code ignored;
    return ec == std::errc::no_such_file_or_directory && !fs::exists(fs::symlink_status(source, ignored));
}

}  // namespace

bool ageChecked(std::string_view pattern, std::string_view name) {
    if (!equalsIgnoreCase(pattern, "*.log"))
        return true;
    return name.size() == 12 && !containsIgnoreCase(name, "qx");
}

void StatisticMover::deleteFiles(const fs::path& directory, std::span<const std::string_view> patterns) {
    for (const auto& group : filesByPattern(m_files, directory, patterns)) {
        for (const FoundFile& entry : group) {
            fs::path file = directory / entry.name;
            std::error_code ec = m_files.remove(file);
            if (ec && !vanished(ec, file))
                m_services.log.note("Cannot delete " + file.string() + ": " + ec.message());
        }
    }
}

bool StatisticMover::moveFiles(const fs::path& source, std::span<const std::string_view> patterns,
                               const fs::path& target, AgeCheck ageCheck, SysTime now, bool createTarget) {
    const SysTime youngSince = now - kYoungFileAge;
    auto groups = filesByPattern(m_files, source, patterns);
    if (createTarget) {
        bool any = false;
        for (const auto& group : groups)
            any = any || !group.empty();
        if (any && !ensureDirectory(target))
            return false;
    }
    bool allMoved = true;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        for (const FoundFile& entry : groups[i]) {
            // Decided for each file: one old or exempt name must not let a younger file go.
            bool young = ageCheck == AgeCheck::On && ageChecked(patterns[i], entry.name) &&
                         entry.lastWrite > youngSince;
            fs::path from = source / entry.name;
            fs::path to = target / entry.name;
            std::error_code ec = young ? m_files.copy(from, to) : m_files.move(from, to);
            if (ec && !vanished(ec, from)) {
                allMoved = false;
                m_services.log.note(std::string(young ? "Cannot copy " : "Cannot move ") + from.string() +
                                    " to " + to.string() + ": " + ec.message());
            }
        }
    }
    return allMoved;
}

fs::path StatisticMover::native(std::string_view installationPath) const {
    return m_services.paths.native(installationPath);
}

fs::path StatisticMover::periodDirectory(std::string_view logDirectory, int number) const {
    return native(numbered(logDirectory, "log", number));
}

fs::path StatisticMover::waveDirectory(std::string_view waveBase, int number) const {
    return native(numbered(waveBase, "wav", number));
}

bool StatisticMover::ensureDirectory(const fs::path& directory) {
    if (std::error_code ec = m_files.createDirectory(directory)) {
        m_services.log.note("Cannot create directory " + directory.string() + ": " + ec.message());
        return false;
    }
    return true;
}

bool StatisticMover::ensureWeekDirectory(std::string_view logDirectory, int week) {
    fs::path directory = periodDirectory(logDirectory, week);
    std::error_code ec = m_files.createDirectory(directory);
    if (!ec || m_services.launcher.run(sibling::makeWeekDirectory(logDirectory, week)))
        return true;
    m_services.log.note("Cannot create directory " + directory.string() + ": " + ec.message());
    return false;
}

std::string StatisticMover::secondBatchProgram() const {
    if (findProgram(m_services.paths, sibling::kSecondBatch).empty() &&
        !findProgram(m_services.paths, sibling::kSecondBatchOld).empty())
        return sibling::kSecondBatchOld;
    return sibling::kSecondBatch;
}

bool StatisticMover::startBatch(const std::string& commandLine, int errorText, std::string_view startedNote,
                                std::string_view failedNote) {
    Services& s = m_services;
    if (s.launcher.start(commandLine, Show::Hidden)) {
        if (!startedNote.empty())
            s.log.note(std::string(startedNote) + commandLine);
        return true;
    }
    s.prompts.warn(s.strings.get(errorText), s.strings.get(kStrErrorCaption));
    if (!failedNote.empty())
        s.log.note(std::string(failedNote) + commandLine);
    return false;
}

}  // namespace qx
