#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Clock.h"
#include "DeletionDirectory.h"
#include "FileOperations.h"
#include "HousekeepingResult.h"
#include "Services.h"
#include "SettingRecords.h"

namespace qx {

// The conference job: with the move step, recordings (*.wav) of the result directory older than the
// move limit go to the archive directory (keeping their time; see FileTransfer::move); with the delete
// step, recordings (and with DelConferEvtFiles the *.evt files) older than the delete limit are removed
// from the delete directory, and with DelEntriesInSqlDb the script engine is asked to remove the
// database entries before the delete limit. Every step writes its lines to the activity log, naming
// the directories as configured; a failed file only costs its own line. A recording counts as moved
// only when its source is gone: across file systems that is known when the transfer completes, and a
// source that could not be deleted logs "Failed to delete conf-wavfile", one that changed while it was
// copied stays for the next run (logged, not counted, not a failure).
//
// Never touches the working directory by accident: with no archive and no delete directory set the job
// does nothing but log why, a step whose directory is empty is skipped with a line, and a directory
// that resolves to a protected place (see openForDeletion) is not cleared. A stop requested through
// services.stop ends the job between two files. Returns what was moved and deleted, and what failed or
// could not begin.
HousekeepingResult processConferenceWavs(Services& services, FileOperations& files, Deleter& deleter,
                                         SysTime now);

// The listing of the "Test delete" dialog: the native path of every *.wav of `directory` (an
// installation path, as typed in the dialog) that the delete step would remove with a limit of `weeks`
// at `now`, in name order. Reads only; empty when there is nothing to delete or the directory cannot
// be read.
std::vector<std::string> listConferenceDeletions(const Services& services, int weeks,
                                                 std::string_view directory, SysTime now);

// The time stamp handed to the script engine: the local time of `threshold` as "YYYYMMDDhhmmss".
std::string databaseStamp(SysTime threshold);

}  // namespace qx
