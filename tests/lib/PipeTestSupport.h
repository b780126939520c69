#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

    Sandbox sandbox;
};

}  // namespace qx::test
