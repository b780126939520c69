#pragma once

#include <sys/types.h>

#include <chrono>
#include <stop_token>

namespace qx {

// How the waits for children end them. A child that has to go gets SIGTERM for its whole process
// group first, so that it can tidy up, and SIGKILL when it is still there after `grace`.
struct ChildPolicy {
    std::stop_token stop;  // a stop request ends every wait at once
    std::chrono::milliseconds grace{2000};
    // Wait through pidfd_open where the kernel has it; false takes the path of older kernels (a
    // waitpid poll), which must keep the same limits.
    bool usePidfd = true;
};

enum class ChildEnd {
    Exited,    // ended by itself
    TimedOut,  // ran past its limit and was ended
    Stopped,   // ended because a stop was requested
};

// Waits for the child `pid`, the leader of its own process group, at most `limit`. When the limit
// passes or a stop is requested, the group is ended as `policy` says. The child is reaped before this
// returns, whatever happened.
ChildEnd waitForChild(pid_t pid, std::chrono::milliseconds limit, const ChildPolicy& policy);

// Whether this kernel offers pidfd_open.
bool pidfdAvailable();

}  // namespace qx
