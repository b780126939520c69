#include "qxclass/CPipeService.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>

#include "RunBinary.h"
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Sandbox.h"
#include "WaitUntil.h"
#include "qxclass/CNamedPipe.h"

// The pipe service on both systems: threads serving clients of this process and of others, and
// stopping. What needs a second account is in the system's own test file.

namespace {

using qx::test::waitUntil;

// The client program (tests/lib/peer) in a process of its own, sending `request`; it ends with 0 when
// the service answered "re: " and the request. Its output goes to `out` and `out`.err (Linux).
class Client {
public:
#ifdef _WIN32
    Client(const std::string& pipe, const std::string& request, const std::filesystem::path&) {
        std::string line = std::string("\"") + QX_PIPE_CLIENT + "\" " + pipe + " \"" + request +
                           "\" \"re: " + request + "\"";
        std::wstring wide(line.begin(), line.end());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            CloseHandle(process.hThread);
            m_process = process.hProcess;
        }
    }
    Client(Client&& other) noexcept : m_process(std::exchange(other.m_process, nullptr)) {}
    Client& operator=(Client&&) = delete;
    ~Client() {
        if (m_process)
            CloseHandle(m_process);
    }
    bool started() const {
        return m_process != nullptr;
    }
    // The exit code; -1 when it did not end within two minutes.
    int wait() {
        if (WaitForSingleObject(m_process, 120000) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 99;
        GetExitCodeProcess(m_process, &code);
        return int(code);
    }

private:
    HANDLE m_process = nullptr;
#else
    Client(const std::string& pipe, const std::string& request, const std::filesystem::path& out)
        : m_pid(qx::test::spawnBinary(QX_PIPE_CLIENT, {pipe, request, "re: " + request}, out)) {}
    bool started() const {
        return m_pid > 0;
    }
    // The exit code; -1 when it did not end within two minutes.
    int wait() {
        return qx::test::waitChild(m_pid, std::chrono::seconds(120));
    }

private:
    int m_pid = -1;
#endif
};

// Pipe names of each test's own: on Linux in a pipe directory of the test's (inherited by the client
// processes), on Windows, where names are machine-wide, with this process's id in them.
class PipeServiceTest : public ::testing::Test {
protected:
#ifdef _WIN32
    std::string name(const char* what) {
        static std::atomic<int> next{0};
        return std::string("qxtest-") + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(next++);
    }
#else
    PipeServiceTest() {
        ::setenv("QXCLASS_PIPE_DIR", sandbox.path("pipes").c_str(), 1);
    }
    ~PipeServiceTest() override {
        ::unsetenv("QXCLASS_PIPE_DIR");
    }
    std::string name(const char* what) {
        return what;
    }
#endif

    qx::test::Sandbox sandbox;
};

// Answers each client's string with "re: " in front, keeping track of how many conversations each
// instance holds at once.
class EchoService : public CPipeService {
public:
    EchoService(const std::string& name, int count)
        : CPipeService(name.c_str(), count, &Converse, 4), m_active(count), m_served(count) {}
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

TEST_F(PipeServiceTest, ThreeInstancesServeTenClientsOneAtATimeEach) {
    const std::string echo = name("echo");
    EchoService service(echo, 3);
    ASSERT_EQ(service.Start(), 1);

    std::atomic<int> connected{0}, mostConnected{0};
    std::vector<std::string> replies(10);
    std::vector<std::thread> clients;
    for (int i = 0; i < 10; ++i)
        clients.emplace_back([&, i] {
            CNamedPipe pipe;
            // Until the service threads have made their instances the pipe does not exist, which
            // Connect reports at once; busy instances it waits for.
            if (!pipe.InitClient(nullptr, echo.c_str()) ||
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
    const std::string echo = name("echo");
    EchoService service(echo, 3);
    ASSERT_EQ(service.Start(), 1);
    std::vector<Client> clients;
    for (int i = 0; i < 10; ++i) {
        std::string request = "process " + std::to_string(i);
        clients.emplace_back(echo, request, sandbox.path("client" + std::to_string(i) + ".out"));
        ASSERT_TRUE(clients.back().started());
    }
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(clients[i].wait(), 0) << i;

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
    explicit GatedService(const std::string& name) : CPipeService(name.c_str(), 2, &Hold, 0) {}
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
    GatedService service(name("gated"));
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
    CPipeService service(name("idle").c_str(), 3, nullptr, 2);
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
    CPipeService service(name("lonely").c_str(), 2, &WaitForever, 0);
    ASSERT_EQ(service.Start(), 1);
    EXPECT_EQ(service.Stop(30000, 0), 1);
}

TEST_F(PipeServiceTest, KillCutsAConversationThatWouldNeverEnd) {
    const std::string silent = name("silent");
    CPipeService service(silent.c_str(), 1, &WaitForever, 0);
    ASSERT_EQ(service.Start(), 1);
    CNamedPipe client;
    ASSERT_EQ(client.InitClient(nullptr, silent.c_str()), 1);
    ASSERT_TRUE(waitUntil([&] { return client.Connect(1, 0) == 1; }));
    ASSERT_TRUE(waitUntil([&] { return g_talking.load() == 1; }));
    EXPECT_EQ(service.Stop(0, 0), 0);
    EXPECT_EQ(service.Stop(0, 1), 1);
    EXPECT_EQ(g_talking.load(), 0);
    ASSERT_TRUE(waitUntil([&] { return client.IsConnected() == 0; }));
}

}  // namespace
