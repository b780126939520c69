#pragma once

// Unix-domain-socket plumbing behind CNamedPipe; private to the library.
//
// Instance k of pipe NAME is three files in the pipe directory, all made by the server end that owns
// the instance: "NAME.k" the listening socket, "NAME.k.srv" locked by that server for as long as it
// owns the instance, and "NAME.k.lock", the claim: a client locks it (flock, which needs no write
// access, so the file is writable by its owner only) before it connects, so that a second client finds
// the instance busy instead of queueing. Once the server has taken the client it puts a fresh claim
// file in place that it holds itself, and lets it go at Disconnect: the client's own lock is then on
// a file that no longer counts, so no client, gone, idle or malicious, keeps an instance busy against
// the server's will. A claim held for a while without its client connecting is replaced as well.
// Clients check that the claim they hold is still the current one before they connect.
//
// Nothing here follows a link: files are opened relative to the directory's descriptor with
// O_NOFOLLOW, modes are changed through descriptors, and the directory is used only when it is
// owned by root or by the calling account and not writable by others unless sticky.

#include <sys/types.h>
#include <atomic>
#include <cstddef>
#include <string>

#include "PipeInbox.h"

namespace qx::detail {

// The pipe directory, open; fd -1 (and `why` set) when it cannot be trusted or made.
struct PipeDirectory {
    int fd = -1;
    std::string path;
    PipeDirectory() = default;
    PipeDirectory(const PipeDirectory&) = delete;
    PipeDirectory& operator=(const PipeDirectory&) = delete;
    PipeDirectory(PipeDirectory&& other) noexcept;
    PipeDirectory& operator=(PipeDirectory&& other) noexcept;
    ~PipeDirectory();
};

// $QXCLASS_PIPE_DIR or /tmp/.qxpipe, made when missing (root makes it like /tmp, sticky and open to
// every account; another account makes it for itself alone). Refused, with the reason in `why`, when
// it is a link or not a directory, is owned by an account other than root and the caller, or is
// writable by others without being sticky.
PipeDirectory openPipeDirectory(std::string& why);
// The file name stem of pipe `name`: lower case, bytes other than [a-z0-9._-] as %XX.
std::string pipeStem(const std::string& name);
// True for null, "", ".", "localhost" and this machine's own name (with or without domain).
bool isLocalHost(const char* host);

struct ServerInstance {
    PipeDirectory dir;
    int listenFd = -1;
    int ownerLockFd = -1;
    int claimFd = -1;  // the server's own descriptor of the current claim file
    std::string name;  // "NAME.k" within the directory
    bool isPublic = false;
    long claimedSinceMs = -1;  // when a claim without a connection was first seen (steady ms)
};

// Claims the first free instance number below `maxInstances` and listens on it. False (reason in
// `why`) when every instance exists, belongs to another account, or the files cannot be made.
bool makeInstance(const std::string& stem, int maxInstances, bool isPublic, ServerInstance& out,
                  std::string& why);
void closeInstance(ServerInstance& instance);
// Replaces the claim file by a fresh one: whoever holds the old one no longer makes the instance busy.
// `hold`: the server holds the new one itself (it has taken a client) until releaseClaim.
bool renewClaim(ServerInstance& instance, bool hold);
void releaseClaim(ServerInstance& instance);
// True when a client holds the current claim (it may not have connected yet).
bool claimHeld(const ServerInstance& instance);
// For a server waiting for a client: renews the claim when a client has held it for a while without
// connecting (a lock holder that never connects keeps no instance busy). True when renewed.
bool noteClaimWithoutClient(ServerInstance& instance);

// Takes one waiting client from the listener, skipping clients that have already gone without sending
// anything and, unless `isPublic`, clients of other accounts. -1 when none is waiting.
int acceptClient(int listenFd, bool isPublic);

enum class ClientAttempt { Connected, Busy, NotFound, Refused };
// One pass over the instances of pipe `stem`: connects to the first free one whose server is
// acceptable (unless `anyServer`: its account's or root's). On success `fd` is the connection and
// `claimFd` the held claim. `why` says what was refused.
ClientAttempt connectClient(const std::string& stem, bool anyServer, int& fd, int& claimFd, std::string& why);

// Adds what can be read now without waiting to `inbox`, never more than it has room for. Returns
// false when the other end has gone (or the connection failed); what arrived before that is still
// added.
bool pullAvailable(int fd, PipeInbox& inbox);
// Waits until `fd` is readable (or hung up) for at most `ms` (< 0: 100 ms slices without limit), giving
// up when `abort` is set. True when readable.
bool waitReadable(int fd, int ms, const std::atomic<bool>& abort);
// Sends every byte, waiting while the connection is full, at most `ms` in all (< 0: without limit).
// False when the other end has gone, the time ran out or `abort` was set.
bool sendAll(int fd, const char* data, std::size_t len, int ms, const std::atomic<bool>& abort);
// Waits until the other end has read every byte sent, at most `ms` (< 0: without limit). False when
// aborted or out of time.
bool waitDrained(int fd, int ms, const std::atomic<bool>& abort);
// True while the other end is there or bytes it sent are still unread.
bool peerPresent(int fd);
// A monotonic clock in milliseconds.
long steadyMilliseconds();

}  // namespace qx::detail
