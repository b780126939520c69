#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "PeerTools.h"
#include "PipeTestSupport.h"
#include "ProcessSupport.h"
#include "qxclass/CNamedPipe.h"

namespace {

using qx::test::waitChild;
using ::testing::HasSubstr;

// The programs of an installation meet in a shared pipe directory, some as root; no other account
// may take their conversations over or stop them.
class PipeSecurityTest : public qx::test::PipeTest {
protected:
    std::string pipes() const { return sandbox.path("pipes").string(); }
    std::string pipeFile(const std::string& name) const { return pipes() + "/" + name; }

    // The pipe directory as root makes it at its first use: owned by root, sticky, open to all.
    void makeDirectoryAsRoot() {
        CNamedPipe first;
        ASSERT_EQ(first.InitServer("first"), 1);
        ASSERT_EQ(first.Connect(1, 0), 0);
        ASSERT_EQ(first.State(), 1);
    }

    // Waits for the one byte a child writes into `channel` when it is ready.
    static char awaitReady(int channel[2]) {
        char ready = 0;
        if (::read(channel[0], &ready, 1) != 1)
            return 0;
        return ready;
    }

    static mode_t modeOf(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
};

TEST_F(PipeSecurityTest, DirectoryTakenFirstByAnotherAccountIsNotTrusted) {
    QX_NEEDS_OTHER_ACCOUNT();
    std::string shared = sandbox.dir("shared").string();  // like /tmp
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    std::string dir = shared + "/pipes";
    ::setenv("QXCLASS_PIPE_DIR", dir.c_str(), 1);
    ASSERT_EQ(waitChild(asOtherAccount([&] { return ::mkdir(dir.c_str(), 01777) == 0 ? 0 : 1; })), 0);

    CNamedPipe server, client;
    ASSERT_EQ(server.InitServer("secret"), 1);
    EXPECT_EQ(server.Connect(1, 0), 0);
    EXPECT_EQ(server.State(), 0);
    EXPECT_THAT(server.FailureReason(), HasSubstr("not trusted"));
    ASSERT_EQ(client.InitClient(nullptr, "secret"), 1);
    EXPECT_EQ(client.Connect(1, 0), 0);
    EXPECT_THAT(client.FailureReason(), HasSubstr("not trusted"));
    EXPECT_TRUE(qx::test::namesIn(dir).empty());  // nothing of ours was put into it
}

// The package's tmpfiles entry makes the shared directory at boot as a directory every account trusts.
TEST_F(PipeSecurityTest, TmpfilesEntryMakesATrustedSharedDirectory) {
    if (::geteuid() != 0 || ::access("/usr/bin/systemd-tmpfiles", X_OK) != 0)
        GTEST_SKIP() << "needs root and systemd-tmpfiles to apply the entry below a scratch root";
    std::string root = sandbox.dir("root/tmp").parent_path().string();
    qx::test::CommandResult made = qx::test::runCommand(
        "/usr/bin/systemd-tmpfiles --create --root=" + qx::test::shellQuote(root) + " " +
        qx::test::shellQuote(std::string(QX_SOURCE_DIR) + "/packaging/qxclass-tmpfiles.conf"));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    std::string dir = root + "/tmp/.qxpipe";
    struct stat info {};
    ASSERT_EQ(::lstat(dir.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, 0u);
    EXPECT_EQ(info.st_mode & 07777, 01777u);
    ::setenv("QXCLASS_PIPE_DIR", dir.c_str(), 1);
    CNamedPipe server;
    ASSERT_EQ(server.InitServer("boot"), 1);
    EXPECT_EQ(server.Connect(1, 0), 0);
    EXPECT_EQ(server.State(), 1) << server.FailureReason();
}

TEST_F(PipeSecurityTest, DirectoryWritableByOthersWithoutStickyBitOrBehindALinkIsNotTrusted) {
    std::string dir = pipes();
    ASSERT_EQ(::mkdir(dir.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    CNamedPipe server;
    ASSERT_EQ(server.InitServer("secret"), 1);
    EXPECT_EQ(server.Connect(1, 0), 0);
    EXPECT_THAT(server.FailureReason(), HasSubstr("writable by others"));

    ASSERT_EQ(::chmod(dir.c_str(), 01777), 0);
    EXPECT_EQ(server.Connect(1, 0), 0);  // now trusted: the instance is made, no client yet
    EXPECT_EQ(server.State(), 1);

    ::setenv("QXCLASS_PIPE_DIR", sandbox.path("link").c_str(), 1);
    ASSERT_EQ(::symlink(dir.c_str(), sandbox.path("link").c_str()), 0);
    CNamedPipe other;
    ASSERT_EQ(other.InitServer("other"), 1);
    EXPECT_EQ(other.Connect(1, 0), 0);
    EXPECT_EQ(other.State(), 0);
}

TEST_F(PipeSecurityTest, LinksPlantedUnderAnInstancesNamesAreNeverFollowed) {
    QX_NEEDS_OTHER_ACCOUNT();
    makeDirectoryAsRoot();
    std::string victim = sandbox.file("victim.txt", "keep").string();
    ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
    std::string created = sandbox.path("created-by-link").string();
    std::string dir = pipes();
    ASSERT_EQ(waitChild(asOtherAccount([&] {
                  bool planted = ::symlink(victim.c_str(), (dir + "/trap.0.srv").c_str()) == 0 &&
                                 ::symlink(created.c_str(), (dir + "/trap.0.lock").c_str()) == 0 &&
                                 ::symlink(victim.c_str(), (dir + "/trap.0").c_str()) == 0;
                  return planted ? 0 : 1;
              })),
              0);

    CNamedPipe server;
    server.SetPublic();
    ASSERT_EQ(server.InitServer("trap"), 1);
    EXPECT_EQ(server.Connect(2, 0), 0);
    EXPECT_EQ(server.State(), 1);  // instance 0 is another account's: it took instance 1
    EXPECT_EQ(modeOf(victim), 0600u);
    EXPECT_EQ(sandbox.read("victim.txt"), "keep");
    EXPECT_FALSE(sandbox.exists("created-by-link"));
    EXPECT_EQ(modeOf(pipeFile("trap.1")) & 0777, 0666u);
}

TEST_F(PipeSecurityTest, SquattersOnAPrivatePipeGetNoClient) {
    QX_NEEDS_OTHER_ACCOUNT();
    makeDirectoryAsRoot();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // Another account takes instance 0 before the real server, then waits three seconds for a client.
    pid_t squatter = asOtherAccount([&] {
        CNamedPipe fake;
        char made = fake.InitServer("vault") && fake.Connect(2, 0) == 0 && fake.State() == 1 ? '1' : '0';
        if (::write(ready[1], &made, 1) != 1)
            return 1;
        return fake.Connect(2, nullptr, 30) ? 3 : 0;  // 3: it got a client
    });
    ASSERT_EQ(awaitReady(ready), '1');

    CNamedPipe server;
    ASSERT_EQ(server.InitServer("vault"), 1);
    EXPECT_EQ(server.Connect(2, 0), 0);
    EXPECT_EQ(server.State(), 1);
    EXPECT_EQ(modeOf(pipeFile("vault.1.lock")), 0600u);

    CNamedPipe client;
    ASSERT_EQ(client.InitClient(nullptr, "vault"), 1);
    ASSERT_EQ(client.Connect(2, 0), 1) << client.FailureReason();
    ASSERT_EQ(client.WriteString("password=hunter2"), 1);
    ASSERT_EQ(server.Connect(2, nullptr, 300), 1);
    EXPECT_EQ(next(server), "password=hunter2");

    // Instance 1 is busy now; the squatter's instance 0 is no free instance for our clients.
    CNamedPipe late;
    ASSERT_EQ(late.InitClient(nullptr, "vault"), 1);
    EXPECT_EQ(late.Connect(2, 0), 0);
    EXPECT_EQ(waitChild(squatter), 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(PipeSecurityTest, ClientOfAPrivatePipeRefusesAServerOfAnotherAccount) {
    QX_NEEDS_OTHER_ACCOUNT();
    makeDirectoryAsRoot();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::string socketPath = pipeFile("spoof.0");
    pid_t spoofer = asOtherAccount([&] {
        int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        char made = s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                            ::chmod(socketPath.c_str(), 0666) == 0 && ::listen(s, 4) == 0
                        ? '1'
                        : '0';
        if (::write(ready[1], &made, 1) != 1)
            return 1;
        ::pause();
        return 0;
    });
    ASSERT_EQ(awaitReady(ready), '1');
    // The claim file is one of ours, as after a server of ours that has gone: only the connection
    // itself tells who serves it.
    sandbox.file("pipes/spoof.0.lock", "");

    CNamedPipe client;
    ASSERT_EQ(client.InitClient(nullptr, "spoof"), 1);
    EXPECT_EQ(client.Connect(1, 0), 0);
    EXPECT_THAT(client.FailureReason(), HasSubstr("another account"));

    CNamedPipe trusting;  // a public client takes whatever serves the name
    trusting.SetPublic();
    ASSERT_EQ(trusting.InitClient(nullptr, "spoof"), 1);
    EXPECT_EQ(trusting.Connect(1, 0), 1);

    ::kill(spoofer, SIGKILL);
    waitChild(spoofer);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(PipeSecurityTest, PublicServerOfAnotherAccountServesAPublicClient) {
    QX_NEEDS_OTHER_ACCOUNT();
    makeDirectoryAsRoot();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t server = asOtherAccount([&] {
        CNamedPipe pipe;
        pipe.SetPublic();
        char made = pipe.InitServer("board") && pipe.Connect(1, 0) == 0 ? '1' : '0';
        if (::write(ready[1], &made, 1) != 1 || !pipe.Connect(1, nullptr, 300))
            return 1;
        return pipe.WriteString("hello from nobody") ? 0 : 2;
    });
    ASSERT_EQ(awaitReady(ready), '1');
    CNamedPipe careful, open;
    ASSERT_EQ(careful.InitClient(nullptr, "board"), 1);
    EXPECT_EQ(careful.Connect(1, 0), 0);  // private by default: not another account's server
    open.SetPublic();
    ASSERT_EQ(open.InitClient(nullptr, "board"), 1);
    ASSERT_EQ(open.Connect(1, 0), 1);
    EXPECT_EQ(next(open), "hello from nobody");
    EXPECT_EQ(waitChild(server), 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(PipeSecurityTest, DisconnectFreesTheInstanceWhateverTheClientDoes) {
    CNamedPipe server, first;
    connectPair(server, first, "held");
    EXPECT_EQ(modeOf(pipeFile("held.0.lock")) & 022, 0u);  // no other account may write a lock file
    ASSERT_EQ(server.Disconnect(), 1);

    CNamedPipe second;
    ASSERT_EQ(second.InitClient(nullptr, "held"), 1);
    EXPECT_EQ(second.Connect(1, 0), 1);  // the first client has not let go, yet the instance is free
    ASSERT_EQ(server.Connect(1, nullptr, 300), 1);
    ASSERT_EQ(second.WriteString("next"), 1);
    EXPECT_EQ(next(server), "next");
    EXPECT_EQ(first.IsConnected(), 0);
}

TEST_F(PipeSecurityTest, AClaimHeldWithoutConnectingIsLetGo) {
    QX_NEEDS_OTHER_ACCOUNT();
    CNamedPipe server;
    server.SetPublic();
    listen(server, "squat");
    EXPECT_EQ(modeOf(pipeFile("squat.0.lock")), 0644u);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::string claim = pipeFile("squat.0.lock");
    // Another account only locks the claim file and never connects.
    pid_t holder = asOtherAccount([&] {
        int fd = ::open(claim.c_str(), O_RDONLY);
        char locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
        if (::write(ready[1], &locked, 1) != 1)
            return 1;
        ::pause();
        return 0;
    });
    ASSERT_EQ(awaitReady(ready), '1');

    std::thread serving([&] { server.Connect(1, nullptr, 100); });
    CNamedPipe client;
    ASSERT_EQ(client.InitClient(nullptr, "squat"), 1);
    EXPECT_EQ(client.Connect(1, 0), 0);  // busy while the claim is fresh
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Connect(1, nullptr, 50), 1);  // within five seconds
    serving.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(server.State(), 2);

    ::kill(holder, SIGKILL);
    waitChild(holder);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(PipeSecurityTest, AStringLongerThanTheReceiveLimitCutsTheConnection) {
    CNamedPipe server, client;
    connectPair(server, client, "flood");
    std::string flood(4 * CNamedPipe::kMaxReceived, 'x');  // no NUL anywhere
    int written = -1;
    std::thread writer([&] { written = client.WriteBuffer(flood.data(), flood.size()); });
    char buf[64];
    EXPECT_EQ(server.ReadString(buf, sizeof buf, nullptr, 300), 0);
    EXPECT_LE(server.ReceivedLength(), CNamedPipe::kMaxReceived);
    EXPECT_EQ(server.IsConnected(), 0);
    EXPECT_THAT(server.FailureReason(), HasSubstr("limit"));
    writer.join();
    EXPECT_EQ(written, 0);  // the client learns that the rest was not taken
    ASSERT_EQ(server.Disconnect(), 1);
    EXPECT_EQ(server.ReceivedLength(), 0u);
}

TEST_F(PipeSecurityTest, AWriteToAClientThatNeverReadsGivesUpAtTheLimitSet) {
    CNamedPipe server, client;
    connectPair(server, client, "deaf");
    server.SetWriteTimeout(200);
    std::string lots(4 << 20, 'y');
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(server.WriteBuffer(lots.data(), lots.size()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(server.IsConnected(), 0);  // a string may be half sent: the connection is cut
    EXPECT_EQ(server.WriteString("more"), 0);
    EXPECT_THAT(server.FailureReason(), HasSubstr("connection cut"));
}

}  // namespace
