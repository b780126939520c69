#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Clock.h"
#include "FileOperations.h"
#include "Result.h"
#include "Services.h"
#include "SettingRecords.h"

namespace qx {

// The slots (JobSlot, readJobSlot) are records of SettingRecords.h.

// A job file lying unprocessed for more than this many minutes shows that processing has stalled.
inline constexpr int kStaleJobMinutes = 20;

// A job file dated further ahead than this counts as stale at once.
inline constexpr int kFutureJobMinutes = 24 * 60;

// Looks for stale job files in the slot's directory and reacts once however many there are.
//
// The directory text is lower-cased; a text holding "*." is a complete search pattern, otherwise the
// slot's "*.job" files are searched. Entries are examined in name order, files and directories alike;
// an entry is stale when more than 20 minutes lie between the minute of its last write and the minute
// of `now`, whole dates included. Without moving, the scan stops at the first stale entry; with moving
// and an existing move directory, every stale entry is moved there (a failed move is found again next
// time). A pattern's entries are moved from the pattern's directory. A move never replaces a file in
// the move directory: an entry whose name is taken there stays where it is, and the log says so. An
// entry dated more than a day ahead of `now` is stale at once, and the log says why.
//
// When anything was stale, [JobDirWatcher] StartOnErrorType decides the one reaction: non-zero starts
// the alarm StartOnErrorAlarm, zero runs StartOnErrorProg; either is logged with the directory text,
// as started only when it was.
// A missing directory counts as clean. Every file step goes through `files`.
//
// True when stale files were found and the reaction was started, false when the slot is clean; a
// failure when stale files were found but the reaction could not be started (no alarm number, or the
// program could not be started), with the logged line as its reason.
Result<bool> CheckJobDir(Services& services, FileOperations& files, const JobSlot& slot, SysTime now);

// Minutes between the minute of `written` and the minute of `now` (negative for a time ahead of now).
long minutesBetween(SysTime written, SysTime now);

}  // namespace qx
