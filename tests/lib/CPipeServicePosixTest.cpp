#include "qxclass/CPipeService.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PipeTestSupport.h"
#include "ProcessSupport.h"
#include "RunBinary.h"
#include "qxclass/CNamedPipe.h"

namespace {

using qx::test::waitUntil;

// Answers each client's string with "re: " in front, keeping track of how many conversations each
// instance holds at once.
class EchoService : public CPipeService {
public:
    explicit EchoService(int count)
        : CPipeService("echo", count, &Converse, 4), m_active(count), m_served(count) {}
    ~EchoService() override { Stop(30000, 1); }

    void NewConsoleLine(const char* text) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_console.push_back(text);
    }

    std::vector<std::string> console() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_console;
    }

    std::vector<std::atomic<int>> m_active;
    std::vector<std::atomic<int>> m_served;
    std::atomic<bool> m_overlap{false};

private:
    static void Converse(CPipeService* service) {
        auto* self = static_cast<EchoService*>(service);
        if (!service->WaitForConn())
            return;
        int id = service->GetId();
        if (self->m_active[id].fetch_add(1) != 0)
            self->m_overlap = true;
        char buf[64];
        if (service->Pipe()->ReadString(buf, sizeof buf, nullptr, 300) &&
            service->Pipe()->WriteString(("re: " + std::string(buf)).c_str()))
            self->m_served[id].fetch_add(1);
        self->m_active[id].fetch_sub(1);
        service->WaitForDisconn(30000);
    }

    std::mutex m_lock;
    std::vector<std::string> m_console;
};

class PipeServiceTest : public qx::test::PipeTest {};

TEST_F(PipeServiceTest, ThreeInstancesServeTenClientsOneAtATimeEach) {
    EchoService service(3);
    ASSERT_EQ(service.Start(), 1);

    std::atomic<int> connected{0}, mostConnected{0};
    std::vector<std::string> replies(10);
    std::vector<std::thread> clients;
    for (int i = 0; i < 10; ++i)
        clients.emplace_back([&, i] {
            CNamedPipe pipe;
            // Until the service threads have made their instances the pipe does not exist, which
            // Connect reports at once; busy instances it waits for.
            if (!pipe.InitClient(nullptr, "echo") ||
                !waitUntil([&] { return pipe.Connect(3, nullptr, 600) == 1; }))
                return;
            int now = connected.fetch_add(1) + 1;
            int seen = mostConnected.load();
            while (now > seen && !mostConnected.compare_exchange_weak(seen, now)) {
            }
            std::string request = "client " + std::to_string(i);
            char buf[64];
            if (pipe.WriteString(request.c_str()) && pipe.ReadString(buf, sizeof buf, nullptr, 300))
                replies[i] = buf;
            connected.fetch_sub(1);
            pipe.Disconnect();
        });
    for (std::thread& t : clients)
        t.join();

    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(replies[i], "re: client " + std::to_string(i));
    EXPECT_LE(mostConnected.load(), 3);

    EXPECT_EQ(service.Stop(30000, 0), 1);
    EXPECT_FALSE(service.m_overlap.load());
    int served = 0;
    for (auto& count : service.m_served)
        served += count.load();
    EXPECT_EQ(served, 10);
    std::vector<std::string> console = service.console();
    for (const char* line : {"boot...", "InitServer OK.", "Exit."})
        EXPECT_EQ(std::count(console.begin(), console.end(), line), 3) << line;
}

TEST_F(PipeServiceTest, ClientsInProcessesOfTheirOwnAreServed) {
    EchoService service(3);
    ASSERT_EQ(service.Start(), 1);
    std::vector<int> clients;
    for (int i = 0; i < 10; ++i) {
        std::string request = "process " + std::to_string(i);
        clients.push_back(qx::test::spawnBinary(QX_PIPE_CLIENT, {"echo", request, "re: " + request},
                                                sandbox.path("client" + std::to_string(i) + ".out")));
        ASSERT_GT(clients.back(), 0);
    }
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(qx::test::waitChild(clients[i], std::chrono::seconds(120)), 0)
            << sandbox.read("client" + std::to_string(i) + ".out.err");

    EXPECT_EQ(service.Stop(30000, 0), 1);
    EXPECT_FALSE(service.m_overlap.load());
    int served = 0;
    for (auto& count : service.m_served)
        served += count.load();
    EXPECT_EQ(served, 10);
}

// Holds each handler call until the test lets it go.
class GatedService : public CPipeService {
public:
    GatedService() : CPipeService("gated", 2, &Hold, 0) {}
    ~GatedService() override {
        open();
        Stop(30000, 1);
    }

    void open() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_open = true;
        m_changed.notify_all();
    }

    std::atomic<int> m_inside{0};

private:
    static void Hold(CPipeService* service) {
        auto* self = static_cast<GatedService*>(service);
        self->m_inside.fetch_add(1);
        std::unique_lock<std::mutex> guard(self->m_lock);
        self->m_changed.wait(guard, [self] { return self->m_open; });
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
};

TEST_F(PipeServiceTest, StopWithoutWaitingReportsRunningHandlersAndALaterStopTheirEnd) {
    GatedService service;
    ASSERT_EQ(service.Start(), 1);
    ASSERT_TRUE(waitUntil([&] { return service.m_inside.load() == 2; }));
    EXPECT_EQ(service.Start(), 0);  // the first threads still run
    EXPECT_EQ(service.Stop(0, 0), 0);
    EXPECT_EQ(service.Stopping(), 1);
    service.open();
    EXPECT_EQ(service.Stop(30000, 0), 1);
    EXPECT_EQ(service.m_inside.load(), 2);  // stopped threads call the handler no more
    EXPECT_EQ(service.Stop(0, 0), 1);
}

TEST_F(PipeServiceTest, WithoutHandlerNothingStartsAndOtherThreadsAreNotServiceThreads) {
    CPipeService service("idle", 3, nullptr, 2);
    EXPECT_EQ(service.Start(), 1);
    EXPECT_EQ(service.Stop(0, 0), 1);
    EXPECT_EQ(service.GetId(), -1);
    EXPECT_EQ(service.Pipe(), nullptr);
    EXPECT_EQ(service.WaitForConn(), 0);
    service.WaitForDisconn(100);
    int console = 7;
    service.SetConsole(&console);
    EXPECT_EQ(service.GetConsole(), &console);
}

std::atomic<int> g_talking{0};

// Waits for clients that never come, or holds a client that never speaks.
void WaitForever(CPipeService* service) {
    if (!service->WaitForConn())
        return;
    g_talking.fetch_add(1);
    char buf[8];
    service->Pipe()->ReadString(buf, sizeof buf, 1);
    g_talking.fetch_sub(1);
}

TEST_F(PipeServiceTest, StopEndsTheWaitForClients) {
    CPipeService service("lonely", 2, &WaitForever, 0);
    ASSERT_EQ(service.Start(), 1);
    EXPECT_EQ(service.Stop(30000, 0), 1);
}

TEST_F(PipeServiceTest, KillCutsAConversationThatWouldNeverEnd) {
    CPipeService service("silent", 1, &WaitForever, 0);
    ASSERT_EQ(service.Start(), 1);
    CNamedPipe client;
    ASSERT_EQ(client.InitClient(nullptr, "silent"), 1);
    ASSERT_TRUE(waitUntil([&] { return client.Connect(1, 0) == 1; }));
    ASSERT_TRUE(waitUntil([&] { return g_talking.load() == 1; }));
    EXPECT_EQ(service.Stop(0, 0), 0);
    EXPECT_EQ(service.Stop(0, 1), 1);
    EXPECT_EQ(g_talking.load(), 0);
    ASSERT_TRUE(waitUntil([&] { return client.IsConnected() == 0; }));
}

// Under a process limit that leaves no room for a thread (prlimit --nproc), Start reports the failure
// instead of ending the process, and a later Start with room works. Root is above that limit, so the
// service runs as a second account.
TEST_F(PipeServiceTest, StartFailsWhenNoThreadCanBeMade) {
    QX_NEEDS_OTHER_ACCOUNT();
    pid_t child = asOtherAccount([] {
        CPipeService service("crowded", 3, &WaitForever, 0);
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
