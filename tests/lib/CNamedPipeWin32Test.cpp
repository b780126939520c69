#include <aclapi.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "qxclass/CNamedPipe.h"

namespace {

// Pipes are machine-wide: every test takes names of its own process.
std::string uniqueName(const char* what) {
    static std::atomic<int> next{0};
    return std::string("qxtest-") + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(next++);
}

std::wstring pipePath(const std::string& name) {
    return L"\\\\.\\pipe\\" + std::wstring(name.begin(), name.end());
}

// A server end that has made its instance and waits for a client.
void listen(CNamedPipe& server, const std::string& name, int instances = 1) {
    ASSERT_EQ(server.InitServer(name.c_str()), 1);
    ASSERT_EQ(server.Connect(instances, 0), 0);
    ASSERT_EQ(server.State(), 1) << server.FailureReason();
}

TEST(NamedPipeWin32, StringsArriveWholeInOrderAndPiecesWaitForTheirNul) {
    std::string name = uniqueName("order");
    CNamedPipe server, client;
    listen(server, name);
    ASSERT_EQ(client.InitClient(".", name.c_str()), 1);
    ASSERT_EQ(client.Connect(1, 0), 1) << client.FailureReason();
    ASSERT_EQ(server.Connect(1, nullptr, 50), 1);

    // Two strings in one write come out as two, oldest first; an empty string is one NUL byte.
    ASSERT_EQ(client.WriteBuffer("one\0two\0", 8), 1);
    ASSERT_EQ(client.WriteString(""), 1);
    char buf[64];
    ASSERT_EQ(server.ReadString(buf, sizeof buf, nullptr, 50), 1);
    EXPECT_STREQ(buf, "one");
    ASSERT_EQ(server.ReadString(buf, sizeof buf, nullptr, 50), 1);
    EXPECT_STREQ(buf, "two");
    ASSERT_EQ(server.ReadString(buf, sizeof buf, nullptr, 50), 1);
    EXPECT_STREQ(buf, "");

    // A piece without its NUL stays buffered; wait 0 returns at once.
    ASSERT_EQ(client.WriteBuffer("hal", 3), 1);
    EXPECT_EQ(server.ReadString(buf, sizeof buf, 0), 0);
    ASSERT_EQ(client.WriteString("f"), 1);
    ASSERT_EQ(server.ReadString(buf, sizeof buf, nullptr, 50), 1);
    EXPECT_STREQ(buf, "half");

    // The server's write returns once the client has read it all.
    std::thread reader([&] {
        char reply[64];
        EXPECT_EQ(client.ReadString(reply, sizeof reply, nullptr, 50), 1);
        EXPECT_STREQ(reply, "answer");
    });
    EXPECT_EQ(server.WriteString("answer"), 1);
    reader.join();
    EXPECT_EQ(server.ConnectionCount(), 1u);
}

TEST(NamedPipeWin32, BusyMissingAndGoneEndsFailCleanly) {
    std::string name = uniqueName("busy");
    CNamedPipe server, first, second, missing;
    listen(server, name);
    ASSERT_EQ(first.InitClient(nullptr, name.c_str()), 1);
    ASSERT_EQ(first.Connect(1, 0), 1);
    ASSERT_EQ(server.Connect(1, nullptr, 50), 1);

    // Every instance busy: no wait gives 0 and state 0.
    ASSERT_EQ(second.InitClient(nullptr, name.c_str()), 1);
    EXPECT_EQ(second.Connect(1, 0), 0);
    EXPECT_EQ(second.State(), 0);

    ASSERT_EQ(missing.InitClient(nullptr, uniqueName("missing").c_str()), 1);
    EXPECT_EQ(missing.Connect(1, 0), 0);
    EXPECT_STRNE(missing.FailureReason(), "");

    // The client goes: the server notices, and after its Disconnect the next client gets the instance.
    ASSERT_EQ(first.WriteBuffer("left", 4), 1);
    first.Disconnect();
    char buf[16];
    EXPECT_EQ(server.ReadString(buf, sizeof buf, nullptr, 10), 0);
    EXPECT_EQ(server.IsConnected(), 0);
    ASSERT_EQ(server.Disconnect(), 1);
    EXPECT_EQ(server.ReceivedLength(), 0u);
    EXPECT_EQ(server.Connect(1, 0), 0);
    EXPECT_EQ(second.Connect(1, 0), 1) << second.FailureReason();
    EXPECT_EQ(server.Connect(1, nullptr, 50), 1);
}

TEST(NamedPipeWin32, ANameServedOutsideThisProcessIsNotTakenOver) {
    // An instance made without the class stands for another process that serves (or squats on) the
    // name: our first instance is made with FILE_FLAG_FIRST_PIPE_INSTANCE and refused.
    std::string name = uniqueName("squat");
    HANDLE squatter = CreateNamedPipeW(pipePath(name).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 4, 4096,
                                       4096, 0, nullptr);
    ASSERT_NE(squatter, INVALID_HANDLE_VALUE);
    // The system must refuse a first instance of a served name, as the class makes it.
    HANDLE probe = CreateNamedPipeW(
        pipePath(name).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 4, 4096, 4096, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        CloseHandle(squatter);
        GTEST_SKIP() << "this system (Wine) does not enforce FILE_FLAG_FIRST_PIPE_INSTANCE";
    }
    CNamedPipe server;
    ASSERT_EQ(server.InitServer(name.c_str()), 1);
    EXPECT_EQ(server.Connect(4, 0), 0);
    EXPECT_EQ(server.State(), 0);
    EXPECT_NE(std::string(server.FailureReason()).find("another process"), std::string::npos)
        << server.FailureReason();
    CloseHandle(squatter);

    // Two instances of our own are fine.
    CNamedPipe one, two;
    listen(one, name, 2);
    listen(two, name, 2);
}

TEST(NamedPipeWin32, APublicPipeLetsEveryoneReadAndWriteAndNothingMore) {
    std::string name = uniqueName("public");
    CNamedPipe server;
    server.SetPublic();
    listen(server, name);
    HANDLE client = CreateFileW(pipePath(name).c_str(), GENERIC_READ | GENERIC_WRITE | READ_CONTROL, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE) << GetLastError();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(client, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor),
              DWORD(ERROR_SUCCESS));
    ASSERT_NE(dacl, nullptr) << "a null DACL lets anyone change the pipe's security";
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    ACCESS_MASK granted = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && EqualSid(&ace->SidStart, everyone))
            granted |= ace->Mask;
    }
    EXPECT_EQ(granted & FILE_READ_DATA, ACCESS_MASK(FILE_READ_DATA));
    EXPECT_EQ(granted & FILE_WRITE_DATA, ACCESS_MASK(FILE_WRITE_DATA));
    EXPECT_EQ(granted & (WRITE_DAC | WRITE_OWNER | FILE_CREATE_PIPE_INSTANCE | DELETE), 0u);
    FreeSid(everyone);
    LocalFree(descriptor);

    // And it is a working pipe for that client.
    ASSERT_EQ(server.Connect(1, nullptr, 50), 1);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(client, "hi", 3, &written, nullptr));
    char buf[8];
    EXPECT_EQ(server.ReadString(buf, sizeof buf, nullptr, 50), 1);
    EXPECT_STREQ(buf, "hi");
    CloseHandle(client);
}

TEST(NamedPipeWin32, AbortEndsWaitsWithoutLimit) {
    std::string name = uniqueName("abort");
    CNamedPipe server;
    ASSERT_EQ(server.InitServer(name.c_str()), 1);
    // Abort once the server waits (state 1 is set before the wait begins; an Abort a moment early
    // is seen by the wait as well).
    std::thread stopper([&] {
        while (server.State() != 1)
            std::this_thread::yield();
        server.Abort();
    });
    EXPECT_EQ(server.Connect(1, 1), 0);
    stopper.join();
}

}  // namespace
