#pragma once

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "Result.h"

namespace qx {

// The outcome of a file operation of this layer: a Result whose failure's number counts as errno does
// on every system (a Windows error is given the nearest errno value, EIO when there is none), so that
// callers test for a full disk (full()) or a refusal (EACCES, EPERM) alike, and whose reason is
// "STEP: TEXT OF THE ERROR", for a log line.
using FileResult = Result<>;

// The failure of the step `what` (a zero error number, a step that failed without one, becomes EIO).
Failure fileFailure(const char* what, int number);

struct AtomicWriteOptions {
    // The mode of a new file, less the umask. A file that replaces another takes the old one's mode
    // (and owner where the process may give it) unless `exactMode` is set, which gives every new
    // version exactly `mode`, whatever the umask. Windows files have no such mode: ignored there.
    unsigned mode = 0666;
    bool exactMode = false;
    // The temporary file's name beside the target; empty gives "." + the target's name + ".qxtmp". A
    // file or link left under that name by a writer cut short is removed first, never followed: the
    // caller serialises the writers of one name, or sets `perProcess`, which appends "-" and the
    // process id, for a file that several processes write.
    std::string temporaryName;
    bool perProcess = false;
};

// Replaces `target` by a file holding `bytes`: written under a temporary name beside it (created
// exclusively, never through a link), flushed to the disk, then renamed over it, and on Linux the
// directory synced, so that readers and a crash at any moment find the old file or the new one, never
// a mix. On failure the temporary file is gone and `target` is as it was, except after a failed sync
// of the directory (step "sync the directory"), when the new file is in place but may not survive a
// power loss. A link in `target`'s place is replaced, not followed: callers resolve it first.
FileResult writeFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                               const AtomicWriteOptions& options = {});

// For a small file that must still be written when its file system has filled up: a reserve file of
// `bytes` allocated bytes, made while there is room. Nothing is left behind when the room cannot be had.
FileResult makeReserveFile(const std::filesystem::path& reserve, std::uintmax_t bytes);

// Writes `bytes` into the existing reserve file within the room it holds (ENOSPC when they do not fit),
// cuts it to their length, flushes it and renames it over `target` as writeFileAtomically does. The
// reserve is used up by a success; on failure it stays.
FileResult replaceFromReserve(const std::filesystem::path& target, const std::filesystem::path& reserve,
                              std::string_view bytes);

}  // namespace qx
