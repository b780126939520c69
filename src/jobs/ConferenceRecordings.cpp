#include "ConferenceRecordings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "FileAge.h"
#include "ProfileNames.h"
#include "SiblingCommands.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

// The number at the start of a text, as the installation's programs read their week fields.
int weeksOf(const std::string& text) {
    const long weeks = std::strtol(text.c_str(), nullptr, 10);
    // A negative limit would put the threshold in the future and take every recording at once.
    return static_cast<int>(std::clamp(weeks, 0L, 100'000L));
}

std::string printed(const char* format, int number, const std::string& text = {}) {
    char line[64];
    std::snprintf(line, sizeof line, format, number);
    return line + text;
}

// The search result of a step: the names of `pattern` in `directory`, and which of them are old. A
// search that finds nothing (or a directory that cannot be opened) ends the step without its count
// line, as a failed search does.
struct Scan {
    bool found = false;
    std::vector<std::string> old;  // in name order; directories never
};

Scan scan(DeletionDirectory* directory, std::string_view pattern, SysTime threshold) {
    Scan result;
    if (!directory)
        return result;
    std::vector<FoundFile> entries = directory->find(pattern);
    result.found = !entries.empty();
    for (const FoundFile& entry : entries)
        if (!entry.isDirectory && isOlder(entry.lastWrite, threshold))
            result.old.push_back(entry.name);
    std::sort(result.old.begin(), result.old.end());
    return result;
}

void moveStep(Services& s, FileOperations& files, const ConferenceSettings& c, SysTime now) {
    const ActivityLog& log = s.log;
    log.note(printed("Move conf-wavfiles which are older then %d weeks to directory ", c.moveWeeks,
                     c.archiveDirectory));
    if (c.archiveDirectory.empty()) {
        log.note("Move of conf-wavfiles skipped: MoveConferWavTo names no directory");
        return;
    }
    const fs::path source = s.paths.native(c.resultDirectory);
    const fs::path target = s.paths.native(c.archiveDirectory);
    std::unique_ptr<DeletionDirectory> directory = openForDeletion(s, source);
    // The archive's leftovers of killed copies go whether or not anything is moved now.
    std::unique_ptr<FileTransfer> transfer = files.transfer(source, target);
    for (const std::string& name : transfer->clearPartialCopies())
        log.note("Deleted partial copy " + (target / name).string() + " of a stopped move");
    Scan found = scan(directory.get(), "*.wav", ageThreshold(now, c.moveWeeks));
    if (!found.found)
        return;
    int count = 0;
    for (const std::string& name : found.old) {
        log.note("Move conf-wavfile " + name);
        // A rename where it can be one; across file systems a copy that keeps the recording's time,
        // and the source goes only after the whole copy is safe.
        if (std::error_code ec = transfer->move(name)) {
            log.note("Failed to move conf-wavfile " + (source / name).string() + " to " +
                     (target / name).string());
            continue;
        }
        ++count;
    }
    log.note(printed("%d conf-wavfiles successfully moved", count));
}

// Deletes the old files of `pattern`; returns false when the search found nothing.
void deleteOld(Services& s, Deleter& deleter, DeletionDirectory* directory, std::string_view pattern,
               SysTime threshold, const char* failure, const char* done) {
    Scan found = scan(directory, pattern, threshold);
    if (!found.found)
        return;
    int count = 0;
    for (const std::string& name : found.old) {
        s.log.note("Deleted file:" + name);
        if (deleter.remove(*directory, name))
            s.log.note(failure + (directory->path() / name).string());
        else
            ++count;
    }
    s.log.note(printed(done, count));
}

void deleteStep(Services& s, Deleter& deleter, const ConferenceSettings& c, SysTime now) {
    const SysTime threshold = ageThreshold(now, c.deleteWeeks);
    s.log.note(printed("Del conf-wavfiles which are older then %d weeks in directory ", c.deleteWeeks,
                       c.deleteDirectory));
    if (c.deleteDirectory.empty()) {
        s.log.note("Delete of conf-wavfiles skipped: DelConferWavFrom and MoveConferWavTo name no directory");
    } else {
        std::unique_ptr<DeletionDirectory> directory = openForDeletion(s, s.paths.native(c.deleteDirectory));
        deleteOld(s, deleter, directory.get(), "*.wav", threshold, "Failed to delete conf-wavfile ",
                  "%d conf-wavfiles successfully deleted");
        if (c.deleteEventFiles)
            deleteOld(s, deleter, directory.get(), "*.evt", threshold, "Failed to delete event file ",
                      "%d event-files successfully deleted");
    }
    if (c.deleteDatabaseEntries)
        s.launcher.run(sibling::deleteDatabaseEntries(databaseStamp(threshold)));
}

}  // namespace

ConferenceSettings readConferenceSettings(const Profile& p) {
    ConferenceSettings c;
    c.resultDirectory = p.getString(ini::kAlarm, ini::kQxaconf, "ResultWavePath", "\\qxt\\log\\confwav", 128);
    c.moveStep = p.getInt(ini::kMover, ini::kConfig, "MoveToConferWav", 1) != 0;
    c.deleteStep = p.getInt(ini::kMover, ini::kConfig, "DelConferWav", 1) != 0;
    c.moveWeeks = weeksOf(p.getString(ini::kMover, ini::kConfig, "MoveConferWavAfterWeeks", "10", 10));
    c.archiveDirectory = p.getString(ini::kMover, ini::kConfig, "MoveConferWavTo", "", 128);
    c.deleteWeeks = weeksOf(p.getString(ini::kMover, ini::kConfig, "DelConferWavAfterWeeks", "20", 10));
    c.deleteDirectory = p.getString(ini::kMover, ini::kConfig, "DelConferWavFrom", "", 256);
    if (c.deleteDirectory.empty())
        c.deleteDirectory = c.archiveDirectory;
    c.deleteEventFiles = p.getInt(ini::kMover, ini::kConfig, "DelConferEvtFiles", 0) != 0;
    c.deleteDatabaseEntries = p.getInt(ini::kMover, ini::kConfig, "DelEntriesInSqlDb", 0) != 0;
    return c;
}

void processConferenceWavs(Services& services, FileOperations& files, Deleter& deleter, SysTime now) {
    const ConferenceSettings settings = readConferenceSettings(services.profile);
    if (!settings.moveStep && !settings.deleteStep)
        return;
    if (settings.archiveDirectory.empty() && settings.deleteDirectory.empty()) {
        // Both joints would name the working directory: recordings would be moved into it and deleted
        // there.
        services.log.note(
            "Conference wavfiles not processed: MoveConferWavTo and DelConferWavFrom name no directory");
        return;
    }
    if (settings.moveStep)
        moveStep(services, files, settings, now);
    if (settings.deleteStep)
        deleteStep(services, deleter, settings, now);
}

std::vector<std::string> listConferenceDeletions(const Services& services, int weeks,
                                                 std::string_view directory, SysTime now) {
    std::vector<std::string> paths;
    if (directory.empty())
        return paths;
    DeletionDirectory opened(services.paths.native(directory));
    Scan found = scan(&opened, "*.wav", ageThreshold(now, std::max(weeks, 0)));
    for (const std::string& name : found.old)
        paths.push_back((opened.path() / name).string());
    return paths;
}

std::string databaseStamp(SysTime threshold) {
    const LocalTime t = toLocal(threshold);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return stamp;
}

}  // namespace qx
