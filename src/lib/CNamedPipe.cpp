#include "qxclass/CNamedPipe.h"

#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "PipeIo.h"

namespace qx::detail {

struct PipeEnd {
    std::string host;
    std::string name;
    int mode = 0;
    int state = 0;
    unsigned connections = 0;
    bool isPublic = false;

    // Written only by the owning thread, and then under `fdLock`, so that Abort never shuts down a
    // descriptor number that has meanwhile been closed and reused.
    int fd = -1;
    int claimFd = -1;
    ServerInstance instance;
    std::mutex fdLock;
    std::atomic<bool> aborted{false};
    bool peerGone = false;

    std::string received;

    void closeConnection() {
        std::lock_guard<std::mutex> guard(fdLock);
        if (fd >= 0)
            ::close(fd);
        if (claimFd >= 0)
            ::close(claimFd);
        fd = claimFd = -1;
    }

    void closeAll() {
        closeConnection();
        std::lock_guard<std::mutex> guard(fdLock);
        closeInstance(instance);
    }

    void setConnection(int connection, int claim) {
        std::lock_guard<std::mutex> guard(fdLock);
        fd = connection;
        claimFd = claim;
        peerGone = false;
    }

    // Takes what has arrived. A client that finds its server gone gives the instance up at once, so
    // that the next client does not have to wait for this object's Disconnect.
    void pull() {
        if (fd < 0 || peerGone)
            return;
        if (!pullAvailable(fd, received)) {
            peerGone = true;
            if (mode == 2 && claimFd >= 0) {
                std::lock_guard<std::mutex> guard(fdLock);
                ::close(claimFd);
                claimFd = -1;
            }
        }
    }

    // Waits up to `ms` (< 0: without limit) for a complete string; false when none came.
    bool awaitString(int ms) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
        while (received.find('\0') == std::string::npos) {
            if (peerGone || aborted.load())
                return false;
            int left = -1;
            if (ms >= 0) {
                auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (rest.count() <= 0)
                    return false;
                left = static_cast<int>(rest.count());
            }
            waitReadable(fd, left, aborted);
            pull();
        }
        return true;
    }

    int takeString(char* buf, std::size_t size) {
        std::size_t end = received.find('\0');
        std::size_t copy = std::min(end, size - 1);
        std::memcpy(buf, received.data(), copy);
        buf[copy] = '\0';
        received.erase(0, end + 1);
        return 1;
    }

    int connected() {
        state = 2;
        ++connections;
        return 1;
    }
};

}  // namespace qx::detail

using qx::detail::ClientAttempt;

namespace {

constexpr auto kInstancePoll = std::chrono::milliseconds(20);

// Waits for a client on the server's instance for `ms` (< 0: without limit). True with a client.
bool acceptWithin(qx::detail::PipeEnd& p, int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    while (!p.aborted.load()) {
        int client = qx::detail::acceptClient(p.instance.listenFd, p.isPublic);
        if (client >= 0) {
            p.setConnection(client, -1);
            return true;
        }
        int left = -1;
        if (ms >= 0) {
            auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (rest.count() <= 0)
                return false;
            left = static_cast<int>(rest.count());
        }
        qx::detail::waitReadable(p.instance.listenFd, left, p.aborted);
    }
    return false;
}

// One client attempt, then more while busy until `ms` runs out (< 0: without limit).
ClientAttempt clientWithin(qx::detail::PipeEnd& p, int ms) {
    std::string stem = qx::detail::pipeStem(p.name);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    while (true) {
        int fd = -1, claim = -1;
        ClientAttempt attempt = qx::detail::connectClient(stem, fd, claim);
        if (attempt == ClientAttempt::Connected)
            p.setConnection(fd, claim);
        if (attempt != ClientAttempt::Busy)
            return attempt;
        p.state = 1;
        if (ms == 0 || p.aborted.load() || (ms > 0 && std::chrono::steady_clock::now() >= deadline))
            return ClientAttempt::Busy;
        std::this_thread::sleep_for(kInstancePoll);
    }
}

}  // namespace

CNamedPipe::CNamedPipe() : m(std::make_unique<qx::detail::PipeEnd>()) {}

CNamedPipe::~CNamedPipe() {
    m->closeAll();
}

int CNamedPipe::InitServer(const char* name) {
    if (!name)
        return 0;
    m->closeAll();
    m->name = name;
    m->host.clear();
    m->mode = 1;
    m->state = 0;
    m->received.clear();
    m->aborted = false;
    return 1;
}

int CNamedPipe::InitClient(const char* host, const char* name) {
    if (!name)
        return 0;
    m->closeAll();
    m->name = name;
    m->host = host ? host : "";
    m->mode = 2;
    m->state = 0;
    m->received.clear();
    m->aborted = false;
    return 1;
}

void CNamedPipe::SetPublic() {
    m->isPublic = true;
}

int CNamedPipe::Connect(int maxInstances, int wait) {
    // Asking once leaves a server end waiting (state 1) for the next call to ask again.
    return ConnectWithin(maxInstances, wait ? -1 : 0, false);
}

int CNamedPipe::Connect(int maxInstances, const char*, int timeout) {
    return ConnectWithin(maxInstances, timeout < 0 ? -1 : timeout * 100, true);
}

int CNamedPipe::ConnectWithin(int maxInstances, int ms, bool giveUpDisconnects) {
    qx::detail::PipeEnd& p = *m;
    if (p.mode == 1) {
        if (p.state == 2) {
            if (p.fd >= 0 && qx::detail::peerPresent(p.fd))
                return p.connected();  // still the same client
            return 0;
        }
        if (p.instance.listenFd < 0) {
            std::lock_guard<std::mutex> guard(p.fdLock);
            if (!qx::detail::makeInstance(qx::detail::pipeStem(p.name), maxInstances, p.isPublic, p.instance))
                return 0;
        }
        p.state = 1;
        if (acceptWithin(p, ms))
            return p.connected();
        if (giveUpDisconnects)
            Disconnect();
        return 0;
    }
    if (p.mode == 2) {
        if (p.state == 2)
            Disconnect();
        if (!qx::detail::isLocalHost(p.host.c_str())) {
            p.state = 0;
            return 0;
        }
        if (clientWithin(p, ms) == ClientAttempt::Connected)
            return p.connected();
        p.state = 0;
        return 0;
    }
    Disconnect();
    return 0;
}

int CNamedPipe::Disconnect() {
    if (m->mode == 0)
        return 0;
    m->closeConnection();
    m->received.clear();
    m->peerGone = false;
    m->state = 0;
    return 1;
}

int CNamedPipe::IsConnected() {
    return m->state == 2 && m->fd >= 0 && qx::detail::peerPresent(m->fd) ? 1 : 0;
}

int CNamedPipe::TestChar(char ch) {
    m->pull();
    return m->received.find(ch) != std::string::npos ? 1 : 0;
}

int CNamedPipe::TestCharOvl(char ch) {
    return TestChar(ch);
}

int CNamedPipe::ReadChar(char& ch) {
    if (m->fd < 0)
        return 0;
    m->pull();
    if (m->received.empty())
        return 0;
    ch = m->received.front();
    m->received.erase(0, 1);
    return 1;
}

int CNamedPipe::ReadString(char* buf, std::size_t size, int wait) {
    return ReadString(buf, size, nullptr, wait ? -1 : 0);
}

int CNamedPipe::ReadString(char* buf, std::size_t size, const char*, int timeout) {
    if (m->fd < 0 || !buf || size == 0)
        return 0;
    m->pull();
    if (!m->awaitString(timeout < 0 ? -1 : timeout * 100))
        return 0;
    return m->takeString(buf, size);
}

int CNamedPipe::WriteChar(char ch) {
    if (m->fd < 0)
        return 0;
    return qx::detail::sendAll(m->fd, &ch, 1, m->aborted) ? 1 : 0;
}

int CNamedPipe::WriteString(const char* str) {
    if (!str)
        return 0;
    return WriteBuffer(str, std::strlen(str) + 1);
}

int CNamedPipe::WriteBuffer(const void* buf, std::size_t len) {
    if (m->fd < 0 || (!buf && len > 0))
        return 0;
    if (!qx::detail::sendAll(m->fd, static_cast<const char*>(buf), len, m->aborted))
        return 0;
    if (m->mode == 1 && !qx::detail::waitDrained(m->fd, m->aborted))
        return 0;
    return 1;
}

int CNamedPipe::Mode() const {
    return m->mode;
}

int CNamedPipe::State() const {
    return m->state;
}

unsigned CNamedPipe::ConnectionCount() const {
    return m->connections;
}

std::size_t CNamedPipe::ReceivedLength() const {
    return m->received.size();
}

void CNamedPipe::Abort() {
    std::lock_guard<std::mutex> guard(m->fdLock);
    m->aborted = true;
    if (m->fd >= 0)
        ::shutdown(m->fd, SHUT_RDWR);
}
