#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "FileHandle.h"

namespace qx {

// Reaps the children nobody waits for (detached starts), so that none of them stays a zombie. One
// thread serves every child; it is started with the first one and sleeps without a timeout while
// they run (on kernels without pidfd_open it looks every second instead).
class ChildReaper {
public:
    explicit ChildReaper(bool usePidfd = true);
    // Ends the thread. Children still running are not waited for; whoever inherits them reaps them.
    ~ChildReaper();
    ChildReaper(const ChildReaper&) = delete;
    ChildReaper& operator=(const ChildReaper&) = delete;

    // Takes `pid`, a child of this process, into care.
    void adopt(pid_t pid);

    // The children taken into care that have not been reaped yet.
    std::size_t pending() const;

    // Blocks until no child is pending (for tests and an orderly end); false when `limit` passed first.
    bool awaitNonePending(std::chrono::milliseconds limit) const;

private:
    struct Child {
        pid_t pid;
        FileHandle pidfd;  // invalid where the kernel has no pidfd_open
    };
    void loop();
    void wake();

    bool m_usePidfd;
    FileHandle m_wakeFd;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_reaped;
    std::vector<Child> m_children;
    bool m_quit = false;
    std::thread m_thread;
};

}  // namespace qx
