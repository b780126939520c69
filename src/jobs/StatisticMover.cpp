#include "StatisticMover.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "FileSearch.h"
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

// A file of a directory with the first of the patterns that it matches, which decides how it is handled.
struct MatchedFile {
    std::string name;
    std::string_view pattern;
};

// The files of one directory that match any of `patterns`, read once, in name order: the order in which
// the installation's own file system lists them, and kinder to the blocks of a large ext4 directory than
// its hash order. Subdirectories never take part.
std::vector<MatchedFile> matchingFiles(FileOperations& files, const fs::path& directory,
                                       std::span<const std::string_view> patterns) {
    std::vector<MatchedFile> matched;
    for (DirectoryEntry& entry : files.list(directory)) {
        if (entry.isDirectory)
            continue;
        for (std::string_view pattern : patterns) {
            if (matchesWildcard(entry.name, pattern)) {
                matched.push_back({std::move(entry.name), pattern});
                break;
            }
        }
    }
    std::sort(matched.begin(), matched.end(), [](const auto& x, const auto& y) { return x.name < y.name; });
    return matched;
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

namespace {

// The entries of an opened directory that match `patterns`, in name order, written before
// `writtenBefore` when given.
std::vector<std::string> deletable(DirectoryCleaner& directory, std::span<const std::string_view> patterns,
                                   std::optional<SysTime> writtenBefore) {
    std::vector<std::string> names;
    for (DirectoryEntry& entry : directory.list()) {
        if (entry.isDirectory)
            continue;
        bool matches = false;
        for (std::string_view pattern : patterns)
            matches = matches || matchesWildcard(entry.name, pattern);
        if (!matches)
            continue;
        if (writtenBefore) {
            std::optional<SysTime> written = directory.lastWrite(entry.name);
            // A time that cannot be read keeps the file.
            if (!written || *written >= *writtenBefore)
                continue;
        }
        names.push_back(std::move(entry.name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::vector<std::string> StatisticMover::filesToDelete(const fs::path& directory,
                                                       std::span<const std::string_view> patterns,
                                                       std::optional<SysTime> writtenBefore) {
    std::unique_ptr<DirectoryCleaner> open = m_files.openForDeletion(directory);
    return deletable(*open, patterns, writtenBefore);
}

std::vector<std::string> StatisticMover::filesToMove(const fs::path& source,
                                                     std::span<const std::string_view> patterns) {
    std::vector<std::string> names;
    for (MatchedFile& entry : matchingFiles(m_files, source, patterns))
        names.push_back(std::move(entry.name));
    return names;
}

int StatisticMover::deleteFiles(const fs::path& directory, std::span<const std::string_view> patterns,
                                std::optional<SysTime> writtenBefore) {
    std::unique_ptr<DirectoryCleaner> open = m_files.openForDeletion(directory);
    if (std::error_code ec = open->openError()) {
        if (ec == std::errc::too_many_symbolic_link_levels || ec == std::errc::not_a_directory)
            m_services.log.note("Not deleting in " + directory.string() + ": it is a link or no directory");
        else if (ec != std::errc::no_such_file_or_directory)
            m_services.log.note("Cannot delete in " + directory.string() + ": " + ec.message());
        return 0;
    }
    int deleted = 0;
    for (const std::string& name : deletable(*open, patterns, writtenBefore)) {
        if (m_stop.stop_requested())
            break;
        std::error_code ec = open->remove(name);
        if (!ec)
            ++deleted;
        else if (ec != std::errc::no_such_file_or_directory)
            m_services.log.note("Cannot delete " + (directory / name).string() + ": " + ec.message());
    }
    return deleted;
}

bool StatisticMover::moveFiles(const fs::path& source, std::span<const std::string_view> patterns,
                               const fs::path& target, AgeCheck ageCheck, SysTime now, bool createTarget) {
    const SysTime youngSince = now - kYoungFileAge;
    const std::vector<MatchedFile> matched = matchingFiles(m_files, source, patterns);
    if (matched.empty())
        return true;
    if (createTarget && !ensureDirectory(target))
        return false;
    bool allMoved = true;
    std::unique_ptr<FileTransfer> transfer = m_files.transfer(source, target);
    for (const std::string& name : transfer->clearPartialCopies())
        m_services.log.note("Deleted partial copy " + (target / name).string() + " of a stopped move");
    for (const MatchedFile& entry : matched) {
        if (m_stop.stop_requested()) {
            allMoved = false;
            m_services.log.note("Move to " + target.string() + " stopped before " + entry.name);
            break;
        }
        // Decided for each file: one old or exempt name must not let a younger file go.
        bool young = false;
        if (ageCheck == AgeCheck::On && ageChecked(entry.pattern, entry.name)) {
            std::error_code ec;
            std::optional<SysTime> written = transfer->lastWrite(entry.name, ec);
            if (!written && vanished(ec, source / entry.name))
                continue;
            // A time that cannot be read is taken as young: copying keeps the source.
            young = !written || *written > youngSince;
        }
        std::error_code ec = young ? transfer->copy(entry.name) : transfer->move(entry.name);
        if (ec && !vanished(ec, source / entry.name)) {
            allMoved = false;
            m_services.log.note(std::string(young ? "Cannot copy " : "Cannot move ") +
                                (source / entry.name).string() + " to " + (target / entry.name).string() +
                                ": " + ec.message());
        }
    }
    for (const TransferProblem& problem : transfer->complete()) {
        if (problem.changed) {
            // Not a failure: the file is still being written, as when a young file is only copied.
            m_services.log.note("Keep " + (source / problem.name).string() +
                                ": it changed while it was copied; it goes at the next run");
            continue;
        }
        allMoved = false;
        m_services.log.note("Cannot move " + (source / problem.name).string() + " to " +
                            (target / problem.name).string() + ": " + problem.error.message());
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

namespace {

constexpr std::string_view kWavePattern[] = {"*.wav"};

}  // namespace

bool StatisticMover::moveWaveFiles(std::string_view logDirectory, std::string_view waveBase, int number,
                                   SysTime now) {
    const fs::path wave = waveDirectory(waveBase, number);
    bool ok = moveFiles(native(logDirectory), kWavePattern, wave, AgeCheck::Off, now, true);
    m_services.log.note("Move wavfiles to directory " + wave.string());
    return ok;
}

void StatisticMover::deleteWaveFiles(std::string_view waveBase, int number) {
    const fs::path wave = waveDirectory(waveBase, number);
    deleteFiles(wave, kWavePattern);
    m_services.log.note("Delete wavfiles from subdirectory " + wave.string());
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
