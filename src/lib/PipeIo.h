#pragma once

// Unix-domain-socket plumbing behind CNamedPipe; private to the library.
//
// Instance k of pipe NAME is three files in the pipe directory: "NAME.k" the listening socket,
// "NAME.k.srv" locked by the server end that owns the instance, and "NAME.k.lock" locked by the one
// client that holds the instance. The client's lock is what makes an instance busy, so a second client
// never queues behind the first on a socket whose server will not take it.

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace qx::detail {

// The pipe directory ($QXCLASS_PIPE_DIR or /tmp/.qxpipe), made when missing; "" when unusable.
std::string pipeDirectory();
// The file name stem of pipe `name`: lower case, bytes other than [a-z0-9._-] as %XX.
std::string pipeStem(const std::string& name);
// True for null, "", ".", "localhost" and this machine's own name (with or without domain).
bool isLocalHost(const char* host);

struct ServerInstance {
    int listenFd = -1;
    int ownerLockFd = -1;
    std::string socketPath;
};

// Claims the first free instance number below `maxInstances` and listens on it. False when every
// instance exists or the files cannot be made.
bool makeInstance(const std::string& stem, int maxInstances, bool isPublic, ServerInstance& out);
void closeInstance(ServerInstance& instance);

// Takes one waiting client from the listener, skipping clients that have already gone without sending
// anything and, unless `isPublic`, clients of other accounts. -1 when none is waiting.
int acceptClient(int listenFd, bool isPublic);

enum class ClientAttempt { Connected, Busy, NotFound, Refused };
// One pass over the instances of pipe `stem`: connects to the first free one. On success `fd` is the
// connection and `claimFd` the held instance lock.
ClientAttempt connectClient(const std::string& stem, int& fd, int& claimFd);

// Appends what can be read now without waiting. Returns false when the other end has gone (or the
// connection failed); what arrived before that is still appended.
bool pullAvailable(int fd, std::string& received);
// Waits until `fd` is readable (or hung up) for at most `ms` (< 0: 100 ms slices without limit), giving
// up when `abort` is set. True when readable.
bool waitReadable(int fd, int ms, const std::atomic<bool>& abort);
// Sends every byte, waiting while the connection is full. False when the other end has gone.
bool sendAll(int fd, const char* data, std::size_t len, const std::atomic<bool>& abort);
// Waits until the other end has read every byte sent. False when aborted.
bool waitDrained(int fd, const std::atomic<bool>& abort);
// True while the other end is there or bytes it sent are still unread.
bool peerPresent(int fd);

}  // namespace qx::detail
