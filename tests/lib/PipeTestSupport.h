#pragma once

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "ProcessSupport.h"
#include "Sandbox.h"
#include "qxclass/CNamedPipe.h"

namespace qx::test {

// Gives each test a pipe directory of its own, inherited by the child processes it starts.
class PipeTest : public ::testing::Test {
protected:
    PipeTest() { ::setenv("QXCLASS_PIPE_DIR", sandbox.path("pipes").c_str(), 1); }
    ~PipeTest() override { ::unsetenv("QXCLASS_PIPE_DIR"); }

    // A server end of `name` with its instance made and no client yet.
    static void listen(CNamedPipe& server, const char* name, int maxInstances = 1) {
        ASSERT_EQ(server.InitServer(name), 1);
        ASSERT_EQ(server.Connect(maxInstances, 0), 0);
        ASSERT_EQ(server.State(), 1);
    }

    // Server and client of `name` connected to each other in this process.
    static void connectPair(CNamedPipe& server, CNamedPipe& client, const char* name) {
        listen(server, name);
        ASSERT_EQ(client.InitClient(nullptr, name), 1);
        ASSERT_EQ(client.Connect(1, 0), 1);
        ASSERT_EQ(server.Connect(1, 0), 1);
    }

    // The next string from `pipe`, waiting up to 30 s; "<none>" when none came.
    static std::string next(CNamedPipe& pipe) {
        char buf[256];
        return pipe.ReadString(buf, sizeof buf, nullptr, 300) ? std::string(buf) : std::string("<none>");
    }

    // Runs `body` in a child process under the account "nobody" (uid and gid 65534); its exit code,
    // 77 when the switch failed. Fork only while the test has no other threads.
    static pid_t asOtherAccount(const std::function<int()>& body) {
        return forkChild([&] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                return 77;
            return body();
        });
    }

    // True when this test can act as a second account: it runs as root and may change its user. The
    // sandbox is then opened for that account to reach the pipe directory.
    bool canActAsOtherAccount() {
        if (::geteuid() != 0 || waitChild(asOtherAccount([] { return 0; })) != 0)
            return false;
        ::chmod(sandbox.root().c_str(), 0711);
        return true;
    }

    Sandbox sandbox;
};

#define QX_NEEDS_OTHER_ACCOUNT()                                                                       \
    if (!canActAsOtherAccount())                                                                       \
    GTEST_SKIP() << "needs to act as a second account (\"nobody\"): runs only as root with the right " \
                    "to change user"

}  // namespace qx::test
