#include "qxclass/CPipeService.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include "PipeTestSupport.h"
#include "ProcessSupport.h"
#include "qxclass/CNamedPipe.h"

// What needs a second account; the cases of both systems are in CPipeServiceTest.cpp.

namespace {

// Waits for clients that never come, or holds a client that never speaks.
void AwaitClientForever(CPipeService* service) {
    if (!service->WaitForConn())
        return;
    char buf[8];
    service->Pipe()->ReadString(buf, sizeof buf, 1);
}

class PipeServiceAccountTest : public qx::test::PipeTest {};

// Under a process limit that leaves no room for a thread (prlimit --nproc), Start reports the failure
// instead of ending the process, and a later Start with room works. Root is above that limit, so the
// service runs as a second account.
TEST_F(PipeServiceAccountTest, StartFailsWhenNoThreadCanBeMade) {
    QX_NEEDS_OTHER_ACCOUNT();
    pid_t child = asOtherAccount([] {
        CPipeService service("crowded", 3, &AwaitClientForever, 0);
        rlimit tight{}, saved{};
        ::getrlimit(RLIMIT_NPROC, &saved);
        tight.rlim_cur = 1;
        tight.rlim_max = saved.rlim_max;
        if (::setrlimit(RLIMIT_NPROC, &tight) != 0)
            return 10;
        int crowded = service.Start();
        ::setrlimit(RLIMIT_NPROC, &saved);
        if (crowded != 0)
            return 11;
        if (service.Start() != 1 || service.Stop(30000, 1) != 1)
            return 12;
        return 0;
    });
    EXPECT_EQ(qx::test::waitChild(child), 0);
}

}  // namespace
