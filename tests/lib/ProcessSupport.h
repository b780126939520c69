#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>

#include "RunBinary.h"
#include "WaitUntil.h"

namespace qx::test {

// Runs `body` in a forked child process; its result becomes the child's exit code. Fork only while the
// test process has no other threads.
inline pid_t forkChild(const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    return pid;
}

}  // namespace qx::test
