#pragma once

#include <functional>

// The sharing modes of CDosFile, kept among the library's users in every process; private to the
// library.
//
// Each open marks what it does and what it denies with shared open-file-description locks on bytes
// far beyond any data (no lock of a table convention ever meets them), and an open is let in only
// when its access meets no one's denial and its denials meet no one's access. The check and the
// marking happen under an exclusive gate (a flock of the file), so two opens never both pass a check that
// only one of them may pass. Closing the descriptor drops its marks.

namespace qx::detail {

struct SharingRequest {
    bool reads = false;
    bool writes = false;
    bool denyRead = false;
    bool denyWrite = false;
    bool truncates = false;  // counts as writing for the check only (Create empties a file it may only read)
};

// Checks `request` against every other open of the file behind `fd` and, when it may go on, marks it
// on `markFd`, a descriptor of the same file that allows reading (shared locks need it). Without one
// (-1: the file cannot be read by this account) the open is checked but not marked, so it may deny
// nothing. `whileGated` runs after the check passed and before anyone else can check (Create empties
// the file there); when it returns false nothing is marked. False when sharing forbids the open, the
// locks cannot be taken, or `whileGated` failed.
bool claimSharing(int fd, int markFd, const SharingRequest& request,
                  const std::function<bool()>& whileGated = {});

}  // namespace qx::detail
