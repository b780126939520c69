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
    int writeTimeoutMs = -1;
    std::string why;

    // Written only by the owning thread, and then under `fdLock`, so that Abort never shuts down a
    // descriptor number that has meanwhile been closed and reused.
    int fd = -1;
    int claimFd = -1;
    ServerInstance instance;
    std::mutex fdLock;
    std::atomic<bool> aborted{false};
    bool peerGone = false;
    bool cutOff = false;  // by us: bytes still unread do not make the other end present

    PipeInbox received{CNamedPipe::kMaxReceived};

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
        peerGone = cutOff = false;
    }

    // Ends the conversation for both ends without waiting for anyone; the descriptor stays until
    // Disconnect, so that the state and the counts stay as the caller knows them.
    void cut(const char* reason) {
        why = reason;
        peerGone = cutOff = true;
        std::lock_guard<std::mutex> guard(fdLock);
        if (fd >= 0)
            ::shutdown(fd, SHUT_RDWR);
        if (claimFd >= 0) {
            ::close(claimFd);
            claimFd = -1;
        }
    }

    // Takes what has arrived, up to the limit of the received buffer. A client that finds its server
    // gone gives the instance up at once, so that the next client does not have to wait for this
    // object's Disconnect. A full buffer without a NUL can never give a string: the connection is cut.
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
        if (received.stuck())
            cut(kStuckReason);
    }

    // Waits up to `ms` (< 0: without limit) for a complete string; false when none came.
    bool awaitString(int ms) {
        return qx::detail::awaitString(
            received, ms, [this] { return peerGone || aborted.load(); },
            [this](int left) { waitReadable(fd, left, aborted); }, [this] { pull(); });
    }

    int connected() {
        state = 2;
        ++connections;
        why.clear();
        return 1;
    }
};

}  // namespace qx::detail

using qx::detail::ClientAttempt;

namespace {

constexpr auto kInstancePoll = std::chrono::milliseconds(20);

// Waits for a client on the server's instance for `ms` (< 0: without limit). True with a client.
// While it waits, a claim held without a connection is let go after a grace period.
bool acceptWithin(qx::detail::PipeEnd& p, int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    while (!p.aborted.load()) {
        int client = qx::detail::acceptClient(p.instance.listenFd, p.isPublic);
        if (client >= 0) {
            // From now on the server holds the instance's claim, not the client.
            qx::detail::renewClaim(p.instance, true);
            p.setConnection(client, -1);
            return true;
        }
        qx::detail::noteClaimWithoutClient(p.instance);
        int left = 250;
        if (ms >= 0) {
            auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (rest.count() <= 0)
                return false;
            left = std::min(left, static_cast<int>(rest.count()));
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
        ClientAttempt attempt = qx::detail::connectClient(stem, p.isPublic, fd, claim, p.why);
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

// Sends `len` bytes, then, when `drain`, waits for the other end to have read them; both waits share
// the write limit. Past it a string may be half sent, so the connection cannot go on: it is cut.
int sendBytes(qx::detail::PipeEnd& p, const char* data, std::size_t len, bool drain) {
    if (p.fd < 0 || p.peerGone)
        return 0;
    long start = qx::detail::steadyMilliseconds();
    bool sent = qx::detail::sendAll(p.fd, data, len, p.writeTimeoutMs, p.aborted);
    if (sent && drain) {
        long left = p.writeTimeoutMs < 0
                        ? -1
                        : std::max(0L, p.writeTimeoutMs - (qx::detail::steadyMilliseconds() - start));
        sent = qx::detail::waitDrained(p.fd, int(left), p.aborted);
    }
    if (!sent && !p.aborted.load())
        p.cut("write not taken by the other end in time, or the other end has gone: connection cut");
    return sent ? 1 : 0;
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
            if (!qx::detail::makeInstance(qx::detail::pipeStem(p.name), maxInstances, p.isPublic, p.instance,
                                          p.why))
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
            p.why = "host " + p.host + " is another machine: pipes reach only this one";
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
    bool hadClient = m->mode == 1 && m->fd >= 0;
    m->closeConnection();
    // The instance is free again whatever the client does: its own claim no longer counts.
    if (hadClient)
        qx::detail::releaseClaim(m->instance);
    m->received.clear();  // gives the memory back, not just the bytes
    m->peerGone = m->cutOff = false;
    m->state = 0;
    return 1;
}

int CNamedPipe::IsConnected() {
    return m->state == 2 && m->fd >= 0 && !m->cutOff && qx::detail::peerPresent(m->fd) ? 1 : 0;
}

int CNamedPipe::TestChar(char ch) {
    m->pull();
    return m->received.contains(ch) ? 1 : 0;
}

int CNamedPipe::TestCharOvl(char ch) {
    return TestChar(ch);
}

int CNamedPipe::ReadChar(char& ch) {
    if (m->fd < 0)
        return 0;
    m->pull();
    return m->received.takeChar(ch) ? 1 : 0;
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
    return m->received.takeString(buf, size) ? 1 : 0;
}

int CNamedPipe::WriteChar(char ch) {
    return sendBytes(*m, &ch, 1, false);
}

int CNamedPipe::WriteString(const char* str) {
    if (!str)
        return 0;
    return WriteBuffer(str, std::strlen(str) + 1);
}

int CNamedPipe::WriteBuffer(const void* buf, std::size_t len) {
    if (!buf && len > 0)
        return 0;
    // A server end returns only when the client has read everything (WriteChar does not wait so).
    return sendBytes(*m, static_cast<const char*>(buf), len, m->mode == 1);
}

void CNamedPipe::SetWriteTimeout(int milliseconds) {
    m->writeTimeoutMs = milliseconds < 0 ? -1 : milliseconds;
}

const char* CNamedPipe::FailureReason() const {
    return m->why.c_str();
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
