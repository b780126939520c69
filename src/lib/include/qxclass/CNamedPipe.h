#pragma once

#include <cstddef>
#include <memory>

#include "qxclass/Export.h"

namespace qx::detail {
struct PipeEnd;
}

// One end of a named pipe over which two processes of the installation exchange NUL-terminated strings.
//
// A server end (InitServer) is one instance of the pipe `name`; up to `maxInstances` server ends of one
// name serve one client each at the same time. A client end (InitClient) takes a free instance, or finds
// the pipe busy when every instance has its client.
//
// On Windows these are the system's named pipes, "\\.\PIPE\NAME" (on another machine
// "\\HOST\PIPE\NAME"), in byte mode with 4096-byte buffers. A private pipe keeps the system's default
// security (only its own account, the system and administrators may write to it), and a private client
// takes only a local server process of its own account or the system. A public pipe lets everyone read
// and write it and nothing more (no new instances, no change of its security or owner). The first
// instance a process makes of a name is made with FILE_FLAG_FIRST_PIPE_INSTANCE: a name that another
// process serves is refused, so no other process can pose as the server of a pipe we serve.
//
// On Linux the pipe lives as Unix domain sockets in the pipe
// directory: $QXCLASS_PIPE_DIR, else /tmp/.qxpipe. The package's tmpfiles entry makes that directory
// owned by root, world-writable and sticky, like /tmp, so that the programs of every account meet
// there and no account can take it first. A directory is used only when it is owned by root or by the
// calling account and not writable by others unless sticky; otherwise every Connect fails and
// FailureReason() says why. Links in the directory are never followed. Pipe names ignore letter case,
// as on Windows.
//
// What a pipe promises:
//  - Private (the default): a server end takes only clients of its own account or root, and a client
//    end only servers of its own account or root (checked on the connection itself). No other account
//    can serve such a pipe to our clients, listen in on it, or use files it planted under the pipe's
//    names (a server refuses instance files it does not own, a client instances owned by others).
//    Another account can still make a name unusable by taking its instance files first in a shared
//    directory: Connect then fails with the reason. Programs that must not be stopped so give the pipe
//    a directory of their own ($QXCLASS_PIPE_DIR).
//  - Public (SetPublic, on both ends): clients and servers of every account. A public client cannot
//    tell the real server from any other account's server of the same name, and any account can take
//    instances as server or client; send nothing over a public pipe that another account must not see,
//    and trust nothing it brings.
//  - An instance is busy only while its server wants it so: from the moment the server takes a client
//    until its Disconnect (as on Windows, also when the client has left before), whatever the client
//    does; a client that claims an instance without connecting loses the claim after a second.
//
// The wire format is the bytes of each string followed by its NUL byte; what arrives is kept in the
// received buffer until the caller takes it out, at most kMaxReceived bytes: a string longer than that
// cuts the connection and the read fails. Results are 1 for success and 0 for failure; a failed call
// leaves the object usable and FailureReason() says why where a reason is known. One object is used by
// one thread at a time, except Abort. Objects cannot be copied.
class QXCLASS_API CNamedPipe {
public:
    CNamedPipe();
    // Closes the connection; a server end also removes its instance.
    ~CNamedPipe();
    CNamedPipe(const CNamedPipe&) = delete;
    CNamedPipe& operator=(const CNamedPipe&) = delete;

    // The most bytes one connection may have received and not yet taken. A string longer than this
    // cannot be received: the connection is cut and the read fails. Disconnect gives the buffer's
    // memory back.
    static constexpr std::size_t kMaxReceived = 1 << 20;

    // Makes this object a server end of pipe `name` (at most 39 characters). 0 for a null name.
    int InitServer(const char* name);
    // Makes this object a client end of pipe `name` on machine `host` (null, "", "." or this machine's
    // own name: here; no other machine can be reached, and Connect then fails). 0 for a null name.
    int InitClient(const char* host, const char* name);
    // A server end made public accepts clients of every user account (takes effect when the instance
    // is made at the next Connect); a client end made public accepts a server of every account.
    // Otherwise both accept only their own account and root; see "What a pipe promises" above.
    void SetPublic();

    // Server end: makes the instance when there is none and takes a client that has come; `wait`
    // non-zero waits for one without limit, 0 asks once (0 when none has come yet; a later call asks
    // again). 1 at once while the client taken earlier is still there. 0 when the instance cannot be
    // made (all `maxInstances` instances of the name exist, or the pipe directory is unusable).
    // Client end: takes a free instance of the pipe. When every instance is busy, `wait` 0 gives 0,
    // non-zero waits without limit for a free instance; 0 when the pipe does not exist (or stops
    // existing while waiting), the account may not use it, or the host is another machine.
    int Connect(int maxInstances, int wait);
    // As above with a time limit in steps of 100 ms (-1: no limit). A server end that sees no client
    // in time disconnects and returns 0; a client end gives up when no instance became free in time
    // (at once for 0). `reserved` is not used.
    int Connect(int maxInstances, const char* reserved, int timeout);
    // Ends the conversation: closes the connection and forgets what was received and not yet taken
    // (giving its memory back), so the next client never sees bytes of the last one. A server end keeps
    // its instance for the next Connect and frees it for the next client at once, also when the last
    // client holds on. State 0. 0 when the object was never initialised.
    int Disconnect();
    // 1 while connected and the other end has not gone (bytes it sent before going still count).
    int IsConnected();

    // Takes what has arrived into the received buffer; 1 when `ch` occurs in it. The two forms behave
    // the same here.
    int TestChar(char ch);
    int TestCharOvl(char ch);
    // Takes the oldest received byte. 0 without a connection or when nothing has arrived.
    int ReadChar(char& ch);
    // Copies the oldest complete string into `buf` of `size` bytes and removes it with its NUL from the
    // received buffer. A string longer than size - 1 bytes is cut to fit (NUL-terminated, never written
    // past `size`) and its rest is dropped, so the next call still gets the next whole string. When no
    // complete string has arrived: `wait` 0 returns 0 at once (partial bytes stay buffered), otherwise
    // waits without limit. 0 without a connection, for a null buffer or size 0, and when the other end
    // has gone without completing a string.
    int ReadString(char* buf, std::size_t size, int wait);
    // As above, waiting at most `timeout` steps of 100 ms (0: not at all, -1: without limit).
    int ReadString(char* buf, std::size_t size, const char* reserved, int timeout);

    // Write one byte / the string with its NUL / exactly `len` bytes, waiting while the pipe is full.
    // A server end's WriteString and WriteBuffer return only when the client has taken everything
    // written, so a client that sends and never reads holds the server's thread in the write: without
    // limit by default, as the installation's programs expect (CPipeService::Stop with kill ends such
    // a wait), or up to the limit set with SetWriteTimeout. 0 without a connection, when the other end
    // has gone, and when the limit ran out; the connection is then cut, as a string may be half sent.
    int WriteChar(char ch);
    int WriteString(const char* str);
    int WriteBuffer(const void* buf, std::size_t len);
    // The longest a write may wait for the other end, in milliseconds; -1 (the default): no limit.
    void SetWriteTimeout(int milliseconds);

    // Why the last Connect failed or the connection was cut, for a log ("" when no reason is known):
    // an untrusted pipe directory, an instance of another account, a missing pipe, a cut connection.
    const char* FailureReason() const;

    // 0 not initialised, 1 server end, 2 client end.
    int Mode() const;
    // 0 not connected, 1 instance made or waiting for a free instance, 2 connected.
    int State() const;
    // Number of successful connects so far.
    unsigned ConnectionCount() const;
    // Bytes received and not yet taken.
    std::size_t ReceivedLength() const;

    // May be called from any thread: cuts the connection and ends every wait of this object at once
    // (they return 0), also those that would wait without limit, until the next InitServer/InitClient.
    void Abort();

private:
    QXCLASS_LOCAL int ConnectWithin(int maxInstances, int ms, bool giveUpDisconnects);

    std::unique_ptr<qx::detail::PipeEnd> m;
};
