#pragma once

#include <memory>

#include "qxclass/Export.h"

class CNamedPipe;

namespace qx::detail {
struct PipeServiceState;
}

// A named-pipe server with a fixed number of threads: thread i owns server end i of the same pipe name
// and calls the handler over and over until the service is stopped. The handler holds one conversation
// per call, typically WaitForConn, a few reads and writes on Pipe(), then WaitForDisconn.
//
// A server's write returns only when the client has read it, so a client that sends and never reads
// holds its service thread in the handler until Stop with kill cuts the conversation; a handler that
// must not be held so sets a limit with Pipe()->SetWriteTimeout (see CNamedPipe).
//
// Status texts of the threads ("boot...", "InitServer OK.", "Exit.") go to NewConsoleLine, which a
// derived class may show; it is called from the service threads, concurrently. A derived class calls
// Stop in its own destructor, before its part of the object is gone. Objects cannot be copied: a copy
// would share the pipes and threads of the original.
class QXCLASS_API CPipeService {
public:
    using Handler = void (*)(CPipeService* service);

    // `name` (at most 128 characters kept), `count` threads and pipe ends, `handler` (may be null),
    // `lines` entries of the console-line array carried for a derived class.
    CPipeService(const char* name, int count, Handler handler, int lines);
    // Stops the service: cuts every conversation and waits for every handler to return.
    virtual ~CPipeService();
    CPipeService(const CPipeService&) = delete;
    CPipeService& operator=(const CPipeService&) = delete;

    // Starts the threads, each with a fresh CNamedPipe. 1; also 1 without doing anything when there is
    // no handler. 0 when threads of an earlier Start are still running, and when a thread cannot be
    // created (a process limit, no memory): the threads already started are then ended again, and
    // Start may be called again later.
    int Start();
    // Asks every thread to end after its current handler call, then waits up to waitMs (in whole
    // 100 ms steps) for them. When they have not all ended by then and `kill` is non-zero, cuts every
    // thread's conversation and waits (up to five seconds) for the handlers to notice. 1 when every thread
    // has ended (at once when none runs), else 0; a later Stop may still see them end.
    int Stop(int waitMs, int kill);

    void SetConsole(void* console);
    void* GetConsole() const;
    // The calling thread's index (0 .. count - 1); -1 for a thread that is not one of this service's.
    int GetId() const;
    // The calling thread's pipe end; null for a thread that is not one of this service's.
    CNamedPipe* Pipe() const;
    // 1 while Stop has been asked and Start not called again.
    int Stopping() const;

    // For a service thread: takes the next client, asking every count x 100 ms (an earlier client that
    // has gone is let go first). 1 with a client; 0 when the service is stopping (the pipe is then
    // disconnected) or when called from another thread.
    int WaitForConn();
    // For a service thread: waits up to waitMs (in whole 100 ms steps) for the client to go. Returns as
    // soon as it has gone; disconnects it when the service is stopping; leaves it connected when the
    // time runs out.
    void WaitForDisconn(int waitMs);

    // Receives each status text; does nothing here.
    virtual void NewConsoleLine(const char* text);

protected:
    // The console-line array for a derived class: ConsoleLineCount() entries, each null or a text from
    // malloc that the service frees with the object; and the current-line index (0 at first).
    char** ConsoleLines() const;
    int ConsoleLineCount() const;
    int& CurrentConsoleLine();

private:
    QXCLASS_LOCAL void ServiceThread(int index);

    std::unique_ptr<qx::detail::PipeServiceState> m;
};
