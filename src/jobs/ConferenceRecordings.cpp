#include "ConferenceRecordings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ActivityLog.h"
#include "Clock.h"
#include "FileAge.h"
#include "Launcher.h"
#include "PathMap.h"
#include "ProfileNames.h"
#include "SiblingCommands.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

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

Scan scan(DirectoryHandle* directory, std::string_view pattern, SysTime threshold,
          std::stop_token stop = {}) {
    Scan result;
    if (!directory)
        return result;
    std::vector<FoundFile> entries = directory->find(pattern, stop);
    result.found = !entries.empty();
    for (const FoundFile& entry : entries)
        if (!entry.isDirectory && isOlder(entry.lastWrite, threshold))
            result.old.push_back(entry.name);
    std::sort(result.old.begin(), result.old.end());
    return result;
}

HousekeepingResult moveStep(Services& s, FileOperations& files, const ConferenceSettings& c, SysTime now) {
    HousekeepingResult result;
    const ActivityLog& log = s.log;
    log.note(printed("Move conf-wavfiles which are older then %d weeks to directory ", c.moveWeeks,
                     c.archiveDirectory));
    if (c.archiveDirectory.empty()) {
        const std::string line = "Move of conf-wavfiles skipped: MoveConferWavTo names no directory";
        log.note(line);
        result.stepRefused(line);
        return result;
    }
    const fs::path source = s.paths.native(c.resultDirectory);
    const fs::path target = s.paths.native(c.archiveDirectory);
    std::unique_ptr<DirectoryHandle> directory =
        openForDeletion(s, c.resultDirectory, result, files.dryRun());
    // The archive's leftovers of killed copies go whether or not anything is moved now.
    std::unique_ptr<FileTransfer> transfer = files.transfer(source, target);
    for (const std::string& name : transfer->clearPartialCopies())
        log.note("Deleted partial copy " + configuredJoin(c.archiveDirectory, name) + " of a stopped move");
    Scan found = scan(directory.get(), "*.wav", ageThreshold(now, c.moveWeeks), s.stop);
    if (s.stop.stop_requested()) {  // the scan was cut short: what it found is not all there is
        log.note("Move of conf-wavfiles stopped");
        result.stoppedBefore("the move of " + c.resultDirectory);
        return result;
    }
    if (!found.found)
        return result;

    int handedOver = 0;
    for (const std::string& name : found.old) {
        if (s.stop.stop_requested()) {
            log.note("Move of conf-wavfiles stopped before " + name);
            result.stoppedBefore(configuredJoin(c.resultDirectory, name));
            break;
        }
        log.note("Move conf-wavfile " + name);
        // A rename where it can be one; across file systems a copy that keeps the recording's time,
        // and the source goes only after the whole copy is safe (when the transfer completes).
        if (std::error_code ec = transfer->move(name)) {
            // Taken meanwhile by another run of this job: nothing to move and nothing lost.
            if (ec == std::errc::no_such_file_or_directory && !directory->holds(name))
                continue;
            const std::string line = "Failed to move conf-wavfile " +
                                     configuredJoin(c.resultDirectory, name) + " to " +
                                     configuredJoin(c.archiveDirectory, name);
            log.note(line);
            result.fileFailed(line + ": " + ec.message());
            continue;
        }
        ++handedOver;
    }
    // Only now is it known which sources could go: a copy is made durable batch by batch, and its
    // source deleted after that.
    for (const TransferProblem& problem : transfer->complete()) {
        --handedOver;
        const std::string path = configuredJoin(c.resultDirectory, problem.name);
        if (problem.changed) {
            // Still being written: it goes at the next run, as a young recording would.
            log.note("Keep conf-wavfile " + path +
                     ": it changed while it was copied; it goes at the next run");
            continue;
        }
        const std::string line = "Failed to delete conf-wavfile " + path;
        log.note(line);
        result.fileFailed(line + ": " + problem.error.message());
    }
    result.done += handedOver;
    log.note(printed("%d conf-wavfiles successfully moved", handedOver));
    return result;
}

// Deletes the old files of `pattern` and logs their count; nothing when the search found nothing.
HousekeepingResult deleteOld(Services& s, Deleter& deleter, DirectoryHandle* directory,
                             std::string_view configured, std::string_view pattern, SysTime threshold,
                             const char* failure, const char* done) {
    HousekeepingResult result;
    Scan found = scan(directory, pattern, threshold, s.stop);
    if (s.stop.stop_requested()) {  // the scan was cut short: what it found is not all there is
        s.log.note("Delete of conf-wavfiles stopped");
        result.stoppedBefore("the deletion in " + std::string(configured));
        return result;
    }
    if (!found.found)
        return result;
    for (const std::string& name : found.old) {
        if (s.stop.stop_requested()) {
            s.log.note("Delete of conf-wavfiles stopped before " + name);
            result.stoppedBefore(configuredJoin(configured, name));
            break;
        }
        s.log.note("Deleted file:" + name);
        if (std::error_code ec = deleter.remove(*directory, name)) {
            if (ec == std::errc::no_such_file_or_directory)  // gone meanwhile: nothing to delete
                continue;
            const std::string line = failure + configuredJoin(configured, name);
            s.log.note(line);
            result.fileFailed(line + ": " + ec.message());
        } else {
            ++result.done;
        }
    }
    s.log.note(printed(done, result.done));
    return result;
}

HousekeepingResult deleteStep(Services& s, Deleter& deleter, const ConferenceSettings& c, SysTime now) {
    HousekeepingResult result;
    const SysTime threshold = ageThreshold(now, c.deleteWeeks);
    s.log.note(printed("Del conf-wavfiles which are older then %d weeks in directory ", c.deleteWeeks,
                       c.deleteDirectory()));
    if (c.deleteDirectory().empty()) {
        const std::string line =
            "Delete of conf-wavfiles skipped: DelConferWavFrom and MoveConferWavTo name no directory";
        s.log.note(line);
        result.stepRefused(line);
    } else {
        std::unique_ptr<DirectoryHandle> directory =
            openForDeletion(s, c.deleteDirectory(), result, deleter.dryRun());
        result += deleteOld(s, deleter, directory.get(), c.deleteDirectory(), "*.wav", threshold,
                            "Failed to delete conf-wavfile ", "%d conf-wavfiles successfully deleted");
        if (c.deleteEventFiles && !result.stopped)
            result += deleteOld(s, deleter, directory.get(), c.deleteDirectory(), "*.evt", threshold,
                                "Failed to delete event file ", "%d event-files successfully deleted");
    }
    if (c.deleteDatabaseEntries && !result.stopped) {
        const std::string command = sibling::deleteDatabaseEntries(databaseStamp(threshold));
        if (!s.launcher.run(command))
            result.stepRefused("cannot start " + command);
    }
    return result;
}

}  // namespace

HousekeepingResult processConferenceWavs(Services& services, FileOperations& files, Deleter& deleter,
                                         SysTime now) {
    HousekeepingResult result;
    const ConferenceSettings settings = readConferenceSettings(settingsOf(services));
    if (!settings.moveStep && !settings.deleteStep)
        return result;
    if (settings.archiveDirectory.empty() && settings.deleteDirectory().empty()) {
        // Both joints would name the working directory: recordings would be moved into it and deleted
        // there.
        const std::string line =
            "Conference wavfiles not processed: MoveConferWavTo and DelConferWavFrom name no directory";
        services.log.note(line);
        result.stepRefused(line);
        return result;
    }
    if (settings.moveStep)
        result += moveStep(services, files, settings, now);
    if (settings.deleteStep && !result.stopped)
        result += deleteStep(services, deleter, settings, now);
    return result;
}

std::vector<std::string> listConferenceDeletions(const Services& services, int weeks,
                                                 std::string_view directory, SysTime now) {
    std::vector<std::string> paths;
    if (directory.empty())
        return paths;
    DirectoryHandle opened(services.paths.native(directory));
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
