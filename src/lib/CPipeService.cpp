#include "qxclass/CPipeService.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "qxclass/CNamedPipe.h"

namespace qx::detail {

struct PipeServiceState {
    std::string name;
    int count = 0;
    CPipeService::Handler handler = nullptr;
    std::vector<char*> lines;
    int currentLine = 0;
    void* console = nullptr;

    std::vector<std::unique_ptr<CNamedPipe>> pipes;
    std::vector<std::thread> threads;
    std::atomic<bool> stop{false};
    std::atomic<int> exited{0};
    int started = 0;

    // Wakes Stop when a thread ends and the threads' pauses when Stop is asked.
    std::mutex lock;
    std::condition_variable changed;

    bool allEnded() const { return exited.load() == started; }

    // Waits up to `duration` for `done`; wakes early on every change.
    template <class Done>
    bool waitFor(std::chrono::milliseconds duration, Done done) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, duration, done);
    }

    void joinAll() {
        for (std::thread& t : threads)
            if (t.joinable())
                t.join();
        threads.clear();
    }
};

}  // namespace qx::detail

namespace {

// Which service, and which of its threads, the calling thread is; set before the thread first looks.
thread_local const CPipeService* tlsService = nullptr;
thread_local int tlsIndex = -1;

}  // namespace

CPipeService::CPipeService(const char* name, int count, Handler handler, int lines)
    : m(std::make_unique<qx::detail::PipeServiceState>()) {
    m->name = std::string(name ? name : "").substr(0, 128);
    m->count = count > 0 ? count : 0;
    m->handler = handler;
    m->lines.assign(lines > 0 ? static_cast<std::size_t>(lines) : 0, nullptr);
}

CPipeService::~CPipeService() {
    m->stop = true;
    m->changed.notify_all();
    if (!m->allEnded())
        for (auto& pipe : m->pipes)
            pipe->Abort();
    m->joinAll();
    for (char* line : m->lines)
        std::free(line);
}

int CPipeService::Start() {
    if (!m->handler)
        return 1;
    if (!m->allEnded())
        return 0;
    m->joinAll();
    m->stop = false;
    m->exited = 0;
    m->started = m->count;
    m->pipes.clear();
    for (int i = 0; i < m->count; ++i)
        m->pipes.push_back(std::make_unique<CNamedPipe>());
    for (int i = 0; i < m->count; ++i) {
        try {
            m->threads.emplace_back([this, i] { ServiceThread(i); });
        } catch (const std::system_error&) {
            // No more threads for this process (a process limit, no memory): the service does not
            // run half started. The threads already there end, and the caller learns of it.
            {
                std::lock_guard<std::mutex> guard(m->lock);
                m->stop = true;
                m->started = i;
            }
            m->changed.notify_all();
            for (int j = 0; j < i; ++j)
                m->pipes[std::size_t(j)]->Abort();
            m->joinAll();
            return 0;
        }
    }
    return 1;
}

int CPipeService::Stop(int waitMs, int kill) {
    {
        std::lock_guard<std::mutex> guard(m->lock);
        m->stop = true;
    }
    m->changed.notify_all();
    if (m->allEnded())
        return 1;
    auto steps = std::chrono::milliseconds(waitMs > 0 ? waitMs / 100 * 100 : 0);
    if (m->waitFor(steps, [this] { return m->allEnded(); }))
        return 1;
    if (kill) {
        for (auto& pipe : m->pipes)
            pipe->Abort();
        m->waitFor(std::chrono::milliseconds(5000), [this] { return m->allEnded(); });
    }
    return m->allEnded() ? 1 : 0;
}

void CPipeService::SetConsole(void* console) {
    m->console = console;
}

void* CPipeService::GetConsole() const {
    return m->console;
}

int CPipeService::GetId() const {
    return tlsService == this ? tlsIndex : -1;
}

CNamedPipe* CPipeService::Pipe() const {
    int id = GetId();
    return id < 0 ? nullptr : m->pipes[static_cast<std::size_t>(id)].get();
}

int CPipeService::Stopping() const {
    return m->stop.load() ? 1 : 0;
}

int CPipeService::WaitForConn() {
    CNamedPipe* pipe = Pipe();
    if (!pipe)
        return 0;
    if (pipe->State() == 2 && !pipe->IsConnected())
        pipe->Disconnect();
    auto pause = std::chrono::milliseconds(100 * m->count);
    while (!pipe->Connect(m->count, 0)) {
        if (m->waitFor(pause, [this] { return m->stop.load(); }) || m->stop.load()) {
            pipe->Disconnect();
            return 0;
        }
    }
    return 1;
}

void CPipeService::WaitForDisconn(int waitMs) {
    CNamedPipe* pipe = Pipe();
    if (!pipe)
        return;
    for (int step = 0; step < waitMs / 100; ++step) {
        if (!pipe->IsConnected())
            return;
        if (m->stop.load()) {
            pipe->Disconnect();
            return;
        }
        m->waitFor(std::chrono::milliseconds(100), [this] { return m->stop.load(); });
    }
}

void CPipeService::NewConsoleLine(const char*) {}

char** CPipeService::ConsoleLines() const {
    return m->lines.data();
}

int CPipeService::ConsoleLineCount() const {
    return static_cast<int>(m->lines.size());
}

int& CPipeService::CurrentConsoleLine() {
    return m->currentLine;
}

void CPipeService::ServiceThread(int index) {
    tlsService = this;
    tlsIndex = index;
    NewConsoleLine("boot...");
    CNamedPipe* pipe = Pipe();
    if (pipe->InitServer(m->name.c_str())) {
        NewConsoleLine("InitServer OK.");
        while (!m->stop.load())
            m->handler(this);
    } else {
        NewConsoleLine("InitServer failed !");
    }
    NewConsoleLine("Exit.");
    {
        std::lock_guard<std::mutex> guard(m->lock);
        m->exited.fetch_add(1);
    }
    m->changed.notify_all();
    tlsService = nullptr;
    tlsIndex = -1;
}
