#include "qxclass/CNamedPipe.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <string>

#include "PipeTestSupport.h"
#include "ProcessSupport.h"

namespace {

using qx::test::forkChild;
using qx::test::waitChild;
using qx::test::waitUntil;

class NamedPipeTest : public qx::test::PipeTest {};

// The five cases a peer in another process relies on: order, pieces, not waiting, busy, empty strings.
TEST_F(NamedPipeTest, TwoProcessesExchangeWholeStringsInOrder) {
    CNamedPipe server;
    listen(server, "exchange");
    pid_t child = forkChild([] {
        CNamedPipe client;
        if (!client.InitClient(nullptr, "exchange") || !client.Connect(1, 0))
            return 10;
        // Two strings and the start of a third in one write.
        static const char burst[] = "one\0two\0thr";
        if (!client.WriteBuffer(burst, sizeof burst - 1))
            return 11;
        char buf[64];
        if (!client.ReadString(buf, sizeof buf, nullptr, 300) || std::strcmp(buf, "go on") != 0)
            return 12;
        if (!client.WriteBuffer("ee", 3) || !client.WriteString(""))
            return 13;
        if (!client.ReadString(buf, sizeof buf, nullptr, 300) || std::strcmp(buf, "bye") != 0)
            return 14;
        return 0;
    });
    ASSERT_EQ(server.Connect(1, nullptr, 300), 1);
    EXPECT_EQ(server.ConnectionCount(), 1u);

    EXPECT_EQ(next(server), "one");
    char buf[64];
    ASSERT_EQ(server.ReadString(buf, sizeof buf, 0), 1);  // already buffered, oldest first
    EXPECT_STREQ(buf, "two");
    ASSERT_TRUE(waitUntil([&] { return server.TestChar('r') && server.ReceivedLength() == 3; }));
    EXPECT_EQ(server.ReadString(buf, sizeof buf, 0), 0);  // incomplete: not returned, not lost
    EXPECT_EQ(server.ReceivedLength(), 3u);

    ASSERT_EQ(server.WriteString("go on"), 1);
    EXPECT_EQ(next(server), "three");
    EXPECT_EQ(next(server), "");  // WriteString("") is one NUL byte
    EXPECT_EQ(server.ReceivedLength(), 0u);
    EXPECT_EQ(server.ReadString(buf, sizeof buf, 0), 0);
    ASSERT_EQ(server.WriteString("bye"), 1);
    EXPECT_EQ(waitChild(child), 0);
}

TEST_F(NamedPipeTest, ClientFindsAllInstancesBusyThenWaitsForAFreeOne) {
    CNamedPipe server;
    listen(server, "busy");
    pid_t child = forkChild([] {
        CNamedPipe client;
        if (!client.InitClient(".", "busy") || !client.Connect(1, 0))
            return 10;
        char buf[16];
        client.ReadString(buf, sizeof buf, nullptr, 300);  // holds the instance until told to go
        return client.Disconnect() ? 0 : 11;
    });
    ASSERT_EQ(server.Connect(1, nullptr, 300), 1);

    CNamedPipe late;
    ASSERT_EQ(late.InitClient(nullptr, "busy"), 1);
    EXPECT_EQ(late.Connect(1, 0), 0);
    EXPECT_EQ(late.State(), 0);
    EXPECT_EQ(late.Connect(1, nullptr, 0), 0);
    EXPECT_EQ(late.State(), 0);

    ASSERT_EQ(server.WriteString("go"), 1);
    EXPECT_EQ(waitChild(child), 0);
    // As on Windows, the instance is the server's until it disconnects, also after its client left.
    EXPECT_EQ(late.Connect(1, 0), 0);
    ASSERT_EQ(server.Disconnect(), 1);
    ASSERT_EQ(late.Connect(1, nullptr, 300), 1);
    EXPECT_EQ(late.State(), 2);
    ASSERT_EQ(late.WriteString("late"), 1);
    ASSERT_EQ(server.Connect(1, nullptr, 300), 1);
    EXPECT_EQ(next(server), "late");
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST_F(NamedPipeTest, ConnectFailsCleanlyForMissingPipesAndOtherMachines) {
    CNamedPipe client;
    ASSERT_EQ(client.InitClient(nullptr, "nobody-here"), 1);
    EXPECT_EQ(client.Connect(1, 1), 0);  // waiting does not help a pipe that does not exist
    EXPECT_EQ(client.State(), 0);

    CNamedPipe server;
    listen(server, "Alarm");
    CNamedPipe remote;
    ASSERT_EQ(remote.InitClient("faraway", "alarm"), 1);
    EXPECT_EQ(remote.Connect(1, 0), 0);
    EXPECT_EQ(remote.State(), 0);

    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    CNamedPipe local;
    ASSERT_EQ(local.InitClient(host, "ALARM"), 1);  // this machine by name; names ignore case
    EXPECT_EQ(local.Connect(1, 0), 1);

    CNamedPipe uninitialised;
    EXPECT_EQ(uninitialised.Connect(1, 0), 0);
    EXPECT_EQ(uninitialised.Disconnect(), 0);
    EXPECT_EQ(uninitialised.InitServer(nullptr), 0);
    char ch;
    EXPECT_EQ(uninitialised.ReadChar(ch), 0);
    EXPECT_EQ(uninitialised.WriteString("x"), 0);
}

TEST_F(NamedPipeTest, ServerThatDiedLeavesNoInstanceBehind) {
    pid_t child = forkChild([]() -> int {
        CNamedPipe server;
        bool made = server.InitServer("crash") && server.Connect(1, 0) == 0 && server.State() == 1;
        ::_exit(made ? 0 : 1);  // no destructor: the socket file stays as a crash leaves it
    });
    ASSERT_EQ(waitChild(child), 0);

    CNamedPipe client;
    ASSERT_EQ(client.InitClient(nullptr, "crash"), 1);
    EXPECT_EQ(client.Connect(1, nullptr, 10), 0);  // not found, not busy
    EXPECT_EQ(client.State(), 0);

    CNamedPipe successor;
    listen(successor, "crash");  // takes the dead server's instance over
    ASSERT_EQ(client.Connect(1, 0), 1);
    ASSERT_EQ(successor.Connect(1, nullptr, 300), 1);
}

TEST_F(NamedPipeTest, InstancesBeyondTheMaximumAreRefused) {
    CNamedPipe first, second, third;
    listen(first, "two", 2);
    listen(second, "two", 2);
    ASSERT_EQ(third.InitServer("two"), 1);
    EXPECT_EQ(third.Connect(2, 0), 0);
    EXPECT_EQ(third.State(), 0);
}

TEST_F(NamedPipeTest, LongStringIsCutToTheCallersBufferAndTheNextStaysWhole) {
    CNamedPipe server, client;
    connectPair(server, client, "cut");
    static const char data[] = "abcdefghij\0xyz";
    ASSERT_EQ(client.WriteBuffer(data, sizeof data), 1);
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    ASSERT_EQ(server.ReadString(buf, 5, nullptr, 300), 1);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(std::string(buf + 5, 3), "###");
    EXPECT_EQ(next(server), "xyz");
    EXPECT_EQ(server.ReadString(buf, 0, 0), 0);
    EXPECT_EQ(server.ReadString(nullptr, 8, 0), 0);
}

TEST_F(NamedPipeTest, CharactersAndTheReceivedBuffer) {
    CNamedPipe server, client;
    connectPair(server, client, "chars");
    ASSERT_EQ(client.WriteChar('a'), 1);
    ASSERT_EQ(client.WriteBuffer("bc", 2), 1);
    ASSERT_TRUE(waitUntil([&] { return server.TestCharOvl('c'); }));
    EXPECT_EQ(server.TestChar('z'), 0);
    char ch = 0;
    ASSERT_EQ(server.ReadChar(ch), 1);
    EXPECT_EQ(ch, 'a');
    EXPECT_EQ(server.ReceivedLength(), 2u);
    ASSERT_EQ(server.ReadChar(ch), 1);
    ASSERT_EQ(server.ReadChar(ch), 1);
    EXPECT_EQ(ch, 'c');
    EXPECT_EQ(server.ReadChar(ch), 0);
}

TEST_F(NamedPipeTest, GoneClientIsNoticedAndItsLeftoversAreNotGivenToTheNext) {
    CNamedPipe server;
    {
        CNamedPipe first;
        connectPair(server, first, "leftover");
        ASSERT_EQ(first.WriteBuffer("partial", 7), 1);
        ASSERT_TRUE(waitUntil([&] { return server.TestChar('l'); }));
    }
    EXPECT_EQ(server.IsConnected(), 0);
    char buf[32];
    EXPECT_EQ(server.ReadString(buf, sizeof buf, 1), 0);  // never completes: must not wait for ever
    EXPECT_EQ(server.WriteString("anyone?"), 0);

    ASSERT_EQ(server.Disconnect(), 1);
    CNamedPipe second;
    ASSERT_EQ(second.InitClient(nullptr, "leftover"), 1);
    ASSERT_EQ(second.Connect(1, 0), 1);
    ASSERT_EQ(server.Connect(1, nullptr, 300), 1);
    ASSERT_EQ(second.WriteString("fresh"), 1);
    EXPECT_EQ(next(server), "fresh");
}

TEST_F(NamedPipeTest, WaitsWithLimitsGiveUp) {
    CNamedPipe server;
    ASSERT_EQ(server.InitServer("limits"), 1);
    EXPECT_EQ(server.Connect(1, nullptr, 1), 0);  // no client within 100 ms
    EXPECT_EQ(server.State(), 0);

    CNamedPipe client;
    ASSERT_EQ(client.InitClient(nullptr, "limits"), 1);
    ASSERT_EQ(client.Connect(1, nullptr, 0), 1);
    ASSERT_EQ(server.Connect(1, nullptr, 10), 1);
    char buf[8];
    EXPECT_EQ(server.ReadString(buf, sizeof buf, nullptr, 1), 0);
    EXPECT_EQ(server.ReadString(buf, sizeof buf, nullptr, 0), 0);
    EXPECT_EQ(client.IsConnected(), 1);
    EXPECT_EQ(server.IsConnected(), 1);
}

TEST_F(NamedPipeTest, WaitingConnectsAndReadsMeetTheOtherEnd) {
    CNamedPipe server, client;
    ASSERT_EQ(server.InitServer("meet"), 1);
    int accepted = -1;
    std::thread serverThread([&] { accepted = server.Connect(1, 1); });
    ASSERT_EQ(client.InitClient(nullptr, "meet"), 1);
    // The pipe does not exist until the server thread has made its instance; that is no busy wait.
    ASSERT_TRUE(waitUntil([&] { return client.Connect(1, 1) == 1; }));
    serverThread.join();
    ASSERT_EQ(accepted, 1);
    ASSERT_EQ(client.WriteString("hello"), 1);
    char buf[16];
    ASSERT_EQ(server.ReadString(buf, sizeof buf, 1), 1);
    EXPECT_STREQ(buf, "hello");
    EXPECT_EQ(server.Connect(1, 0), 1);  // still the same client
    EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST_F(NamedPipeTest, AbortEndsAWaitWithoutLimit) {
    CNamedPipe server, client;
    connectPair(server, client, "abort");
    int result = -1;
    std::thread reader([&] {
        char buf[8];
        result = server.ReadString(buf, sizeof buf, 1);
    });
    server.Abort();
    reader.join();
    EXPECT_EQ(result, 0);
}

TEST_F(NamedPipeTest, OnlyAPublicServerAcceptsClientsOfOtherAccounts) {
    QX_NEEDS_OTHER_ACCOUNT();
    auto client = [](const char* name) {
        return [name] {
            CNamedPipe pipe;
            if (!pipe.InitClient(nullptr, name) || !pipe.Connect(1, 0))
                return 1;
            return pipe.WriteString("from nobody") ? 0 : 2;
        };
    };

    CNamedPipe closed;
    listen(closed, "private");
    EXPECT_EQ(waitChild(asOtherAccount(client("private"))), 1);

    CNamedPipe open;
    open.SetPublic();
    listen(open, "public");
    EXPECT_EQ(waitChild(asOtherAccount(client("public"))), 0);
    ASSERT_EQ(open.Connect(1, nullptr, 300), 1);
    EXPECT_EQ(next(open), "from nobody");
}

}  // namespace
