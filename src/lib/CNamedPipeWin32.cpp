#include <aclapi.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DbfIo.h"
#include "PipeInbox.h"
#include "qxclass/CNamedPipe.h"

// Named pipes of the system itself: "\\.\PIPE\NAME" here, "\\HOST\PIPE\NAME" on another machine, in
// byte mode with 4096-byte buffers and overlapped I/O, so that every wait can be ended by Abort.

namespace qx::detail {
namespace {

constexpr DWORD kBufferSize = 4096;
constexpr int kSliceMs = 10;

std::wstring wide(const std::string& text) {
    return qx::dbf::io::pathOf(text.c_str()).native();
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

// The instances this process serves, by lower-case name: the first instance of a name is made with
// FILE_FLAG_FIRST_PIPE_INSTANCE, so that a name another process serves (or squats on) is refused;
// further instances of our own are made without it.
std::mutex gInstancesLock;
std::map<std::string, int> gInstances;

std::vector<unsigned char> processUserSid(DWORD pid);

// The token user of this process, for the security descriptors below; empty when it cannot be read.
std::vector<unsigned char> processUserSid() {
    return processUserSid(GetCurrentProcessId());
}

// Everyone may read and write a public pipe, and nothing more: no new instances (FILE_APPEND_DATA is
// FILE_CREATE_PIPE_INSTANCE on a pipe), no change of its security, no taking of ownership. Its own
// account keeps full control. A null DACL would grant all of that to anyone.
struct PublicSecurity {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    std::vector<unsigned char> user = processUserSid();
    std::vector<unsigned char> acl;
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
    bool ready = false;

    PublicSecurity() {
        if (user.empty() ||
            !AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
            return;
        DWORD size =
            DWORD(sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(everyone) + user.size());
        acl.resize(size);
        auto* list = reinterpret_cast<ACL*>(acl.data());
        ready = InitializeAcl(list, size, ACL_REVISION) &&
                AddAccessAllowedAce(list, ACL_REVISION, kEveryoneAccess, everyone) &&
                AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, user.data()) &&
                InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE);
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = &descriptor;
        attributes.bInheritHandle = FALSE;
    }
    ~PublicSecurity() {
        if (everyone)
            FreeSid(everyone);
    }
    PublicSecurity(const PublicSecurity&) = delete;
    PublicSecurity& operator=(const PublicSecurity&) = delete;

    static constexpr DWORD kEveryoneAccess =
        (FILE_GENERIC_READ | FILE_GENERIC_WRITE) & ~FILE_CREATE_PIPE_INSTANCE;
};

// The token user of process `pid`; empty when it cannot be read.
std::vector<unsigned char> processUserSid(DWORD pid) {
    std::vector<unsigned char> sid;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return sid;
    HANDLE token = nullptr;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<unsigned char> buffer(size);
        if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
            PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
            sid.assign(static_cast<unsigned char*>(user),
                       static_cast<unsigned char*>(user) + GetLengthSid(user));
        }
        CloseHandle(token);
    }
    CloseHandle(process);
    return sid;
}

// A private client talks only to a server process of its own account or of the system; a server
// whose account cannot be read is not trusted.
bool serverTrusted(HANDLE pipe) {
    ULONG pid = 0;
    if (!GetNamedPipeServerProcessId(pipe, &pid))
        return false;
    std::vector<unsigned char> server = processUserSid(pid);
    std::vector<unsigned char> user = processUserSid();
    if (server.empty() || user.empty())
        return false;
    return EqualSid(server.data(), user.data()) || IsWellKnownSid(server.data(), WinLocalSystemSid);
}

bool isLocal(const std::string& host) {
    return host.empty() || host == "." || lowerAscii(host) == "localhost";
}

}  // namespace

struct PipeEnd {
    std::string host;
    std::string name;
    int mode = 0;
    int state = 0;
    unsigned connections = 0;
    bool isPublic = false;
    int writeTimeoutMs = -1;
    std::string why;

    // Written only by the owning thread, and then under `handleLock`, so that Abort never acts on a
    // handle that has meanwhile been closed.
    HANDLE pipe = INVALID_HANDLE_VALUE;  // a server's instance, a client's connection
    std::string registeredAs;            // the name counted in gInstances while the instance exists
    HANDLE connectEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ioEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED connecting{};
    bool connectPending = false;
    bool connected = false;
    std::mutex handleLock;
    std::atomic<bool> aborted{false};
    bool peerGone = false;
    bool cutOff = false;  // by us: bytes still unread do not make the other end present

    PipeInbox received{CNamedPipe::kMaxReceived};

    ~PipeEnd() {
        CloseHandle(connectEvent);
        CloseHandle(ioEvent);
    }

    std::wstring localPath() const { return L"\\\\.\\pipe\\" + wide(name); }

    bool makeInstance(int maxInstances) {
        DWORD instances = DWORD(std::clamp(maxInstances, 1, int(PIPE_UNLIMITED_INSTANCES) - 1));
        std::unique_ptr<PublicSecurity> security;
        if (isPublic) {
            security = std::make_unique<PublicSecurity>();
            if (!security->ready) {
                why = "the public pipe's security could not be made";
                return false;
            }
        }
        std::string key = lowerAscii(name);
        std::lock_guard<std::mutex> registry(gInstancesLock);
        bool first = gInstances[key] == 0;
        HANDLE h = CreateNamedPipeW(
            localPath().c_str(),
            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, instances, kBufferSize, kBufferSize, 0,
            security ? &security->attributes : nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (gInstances[key] == 0)
                gInstances.erase(key);
            why = error == ERROR_ACCESS_DENIED && first ? "pipe " + name + " is served by another process"
                  : error == ERROR_PIPE_BUSY            ? "every instance of pipe " + name + " exists"
                                                        : "pipe " + name + " cannot be made";
            return false;
        }
        ++gInstances[key];
        std::lock_guard<std::mutex> guard(handleLock);
        pipe = h;
        registeredAs = key;
        return true;
    }

    void cancelConnect() {
        if (!connectPending)
            return;
        CancelIoEx(pipe, &connecting);
        DWORD ignored = 0;
        GetOverlappedResult(pipe, &connecting, &ignored, TRUE);
        connectPending = false;
    }

    void closeConnection() {
        if (pipe == INVALID_HANDLE_VALUE)
            return;
        if (mode == 1) {
            cancelConnect();
            if (connected)
                DisconnectNamedPipe(pipe);
        } else {
            std::lock_guard<std::mutex> guard(handleLock);
            CloseHandle(pipe);
            pipe = INVALID_HANDLE_VALUE;
        }
        connected = false;
    }

    void closeAll() {
        closeConnection();
        if (pipe == INVALID_HANDLE_VALUE)
            return;
        {
            std::lock_guard<std::mutex> guard(handleLock);
            CloseHandle(pipe);
            pipe = INVALID_HANDLE_VALUE;
        }
        std::lock_guard<std::mutex> registry(gInstancesLock);
        if (!registeredAs.empty() && --gInstances[registeredAs] <= 0)
            gInstances.erase(registeredAs);
        registeredAs.clear();
    }

    // Ends the conversation for both ends without waiting for anyone; the handle stays until
    // Disconnect, so that the state and the counts stay as the caller knows them.
    void cut(const char* reason) {
        why = reason;
        peerGone = cutOff = true;
        std::lock_guard<std::mutex> guard(handleLock);
        if (pipe == INVALID_HANDLE_VALUE)
            return;
        CancelIoEx(pipe, nullptr);
        if (mode == 1)
            DisconnectNamedPipe(pipe);
    }

    // True while the other end is there or bytes it sent are still unread.
    bool peerPresent() {
        DWORD available = 0;
        return connected && PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);
    }

    // Takes what has arrived, up to the limit of the received buffer. A full buffer without a NUL can
    // never give a string: the connection is cut.
    void pull() {
        if (!connected || peerGone)
            return;
        char chunk[kBufferSize];
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
                peerGone = true;
                break;
            }
            DWORD take = DWORD(std::min<std::size_t>({available, received.room(), sizeof chunk}));
            if (take == 0)
                break;
            OVERLAPPED reading{};
            reading.hEvent = ioEvent;
            ResetEvent(ioEvent);
            DWORD got = 0;
            if (!ReadFile(pipe, chunk, take, &got, &reading) &&
                (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(pipe, &reading, &got, TRUE)))
                got = 0;
            if (got == 0)
                break;
            received.append(chunk, got);
        }
        if (received.stuck())
            cut(kStuckReason);
    }

    // Waits until bytes arrived or the other end left, at most `ms` (< 0: without limit).
    void waitReadable(int ms) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
        for (;;) {
            DWORD available = 0;
            if (aborted.load() || !PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) ||
                available > 0)
                return;
            if (ms >= 0 && std::chrono::steady_clock::now() >= deadline)
                return;
            Sleep(kSliceMs);
        }
    }

    // Waits up to `ms` (< 0: without limit) for a complete string; false when none came.
    bool awaitString(int ms) {
        return qx::detail::awaitString(
            received, ms, [this] { return peerGone || aborted.load(); },
            [this](int left) { waitReadable(left); }, [this] { pull(); });
    }

    int connectedNow() {
        connected = true;
        peerGone = cutOff = false;
        state = 2;
        ++connections;
        why.clear();
        return 1;
    }
};

}  // namespace qx::detail

namespace {

using qx::detail::PipeEnd;

// Waits for a client on the server's instance for `ms` (< 0: without limit); a wait that runs out
// stays pending for the next call. True with a client.
bool acceptWithin(PipeEnd& p, int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    while (!p.aborted.load()) {
        if (!p.connectPending) {
            p.connecting = OVERLAPPED{};
            p.connecting.hEvent = p.connectEvent;
            ResetEvent(p.connectEvent);
            if (ConnectNamedPipe(p.pipe, &p.connecting))
                return true;
            DWORD error = GetLastError();
            if (error == ERROR_PIPE_CONNECTED)  // the client came before we asked
                return true;
            if (error == ERROR_NO_DATA) {  // a client came and went: the instance is free again
                DisconnectNamedPipe(p.pipe);
                continue;
            }
            if (error != ERROR_IO_PENDING) {
                p.why = "the pipe instance cannot take a client";
                return false;
            }
            p.connectPending = true;
        }
        int slice = 100;
        if (ms >= 0) {
            auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            slice = int(std::clamp<long long>(rest.count(), 0, 100));
        }
        if (WaitForSingleObject(p.connectEvent, DWORD(slice)) == WAIT_OBJECT_0) {
            DWORD ignored = 0;
            p.connectPending = false;
            if (GetOverlappedResult(p.pipe, &p.connecting, &ignored, FALSE))
                return true;
            DisconnectNamedPipe(p.pipe);
            continue;
        }
        if (ms >= 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
    }
    return false;
}

// Client: opens a free instance, waiting while all are busy until `ms` runs out (< 0: without limit).
bool clientWithin(PipeEnd& p, int ms) {
    std::wstring path = qx::detail::isLocal(p.host)
                            ? p.localPath()
                            : L"\\\\" + qx::detail::wide(p.host) + L"\\pipe\\" + qx::detail::wide(p.name);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    for (;;) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            // On another machine the network's own authentication stands for the server.
            if (!p.isPublic && qx::detail::isLocal(p.host) && !qx::detail::serverTrusted(h)) {
                CloseHandle(h);
                p.why = "pipe " + p.name + " is served by another account";
                return false;
            }
            std::lock_guard<std::mutex> guard(p.handleLock);
            p.pipe = h;
            return true;
        }
        DWORD error = GetLastError();
        if (error != ERROR_PIPE_BUSY) {
            p.why = error == ERROR_FILE_NOT_FOUND  ? "pipe " + p.name + " does not exist"
                    : error == ERROR_ACCESS_DENIED ? "pipe " + p.name + " may not be used by this account"
                                                   : "pipe " + p.name + " cannot be reached";
            return false;
        }
        p.state = 1;
        if (ms == 0 || p.aborted.load() || (ms > 0 && std::chrono::steady_clock::now() >= deadline))
            return false;
        // Every instance is busy: wait a little for one to become free, then try again (another client
        // may take it first).
        WaitNamedPipeW(path.c_str(), 100);
    }
}

// Waits for the overlapped transfer `op` of `p`, at most until `deadline` when `limited`; false when
// it failed, was aborted or ran out of time (then cancelled).
bool finishTransfer(PipeEnd& p, OVERLAPPED& op, bool limited,
                    std::chrono::steady_clock::time_point deadline) {
    while (WaitForSingleObject(op.hEvent, 50) != WAIT_OBJECT_0) {
        if (p.aborted.load() || (limited && std::chrono::steady_clock::now() >= deadline)) {
            CancelIoEx(p.pipe, &op);
            DWORD ignored = 0;
            GetOverlappedResult(p.pipe, &op, &ignored, TRUE);
            return false;
        }
    }
    DWORD done = 0;
    return GetOverlappedResult(p.pipe, &op, &done, FALSE);
}

// Waits until the client has read everything written: FlushFileBuffers, which only a disconnection
// ends early. A limit, and Abort, end it so.
bool drain(PipeEnd& p, bool limited, std::chrono::steady_clock::time_point deadline) {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::thread watchdog;
    if (limited)
        watchdog = std::thread([&] {
            std::unique_lock<std::mutex> guard(lock);
            if (!done.wait_until(guard, deadline, [&] { return finished; }))
                p.cut("write not taken by the other end in time, or the other end has gone: connection cut");
        });
    bool flushed = FlushFileBuffers(p.pipe);
    {
        std::lock_guard<std::mutex> guard(lock);
        finished = true;
    }
    done.notify_all();
    if (watchdog.joinable())
        watchdog.join();
    return flushed && !p.cutOff;
}

int sendBytes(PipeEnd& p, const char* data, std::size_t len, bool drainAfter) {
    if (!p.connected || p.peerGone)
        return 0;
    bool limited = p.writeTimeoutMs >= 0;
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(limited ? p.writeTimeoutMs : 0);
    bool sent = true;
    for (std::size_t at = 0; sent && at < len;) {
        OVERLAPPED writing{};
        writing.hEvent = p.ioEvent;
        ResetEvent(p.ioEvent);
        DWORD chunk = DWORD(std::min<std::size_t>(len - at, 1u << 20));
        DWORD done = 0;
        if (WriteFile(p.pipe, data + at, chunk, &done, &writing)) {
            at += done;
            continue;
        }
        sent = GetLastError() == ERROR_IO_PENDING && finishTransfer(p, writing, limited, deadline);
        if (sent) {
            GetOverlappedResult(p.pipe, &writing, &done, FALSE);
            at += done;
        }
    }
    if (sent && drainAfter)
        sent = drain(p, limited, deadline);
    if (!sent && !p.aborted.load() && !p.cutOff)
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
    PipeEnd& p = *m;
    if (p.mode == 1) {
        if (p.state == 2)
            return p.connected && !p.cutOff && p.peerPresent() ? p.connectedNow() : 0;
        if (p.pipe == INVALID_HANDLE_VALUE && !p.makeInstance(maxInstances))
            return 0;
        p.state = 1;
        if (acceptWithin(p, ms))
            return p.connectedNow();
        if (giveUpDisconnects)
            Disconnect();
        return 0;
    }
    if (p.mode == 2) {
        if (p.state == 2)
            Disconnect();
        if (clientWithin(p, ms))
            return p.connectedNow();
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
    m->received.clear();  // gives the memory back, not just the bytes
    m->peerGone = m->cutOff = false;
    m->state = 0;
    return 1;
}

int CNamedPipe::IsConnected() {
    return m->state == 2 && !m->cutOff && m->peerPresent() ? 1 : 0;
}

int CNamedPipe::TestChar(char ch) {
    m->pull();
    return m->received.contains(ch) ? 1 : 0;
}

int CNamedPipe::TestCharOvl(char ch) {
    return TestChar(ch);
}

int CNamedPipe::ReadChar(char& ch) {
    if (!m->connected)
        return 0;
    m->pull();
    return m->received.takeChar(ch) ? 1 : 0;
}

int CNamedPipe::ReadString(char* buf, std::size_t size, int wait) {
    return ReadString(buf, size, nullptr, wait ? -1 : 0);
}

int CNamedPipe::ReadString(char* buf, std::size_t size, const char*, int timeout) {
    if (!m->connected || !buf || size == 0)
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
    std::lock_guard<std::mutex> guard(m->handleLock);
    m->aborted = true;
    if (m->pipe == INVALID_HANDLE_VALUE)
        return;
    CancelIoEx(m->pipe, nullptr);
    // A server's flush waiting for its client ends only when the connection goes.
    if (m->mode == 1 && m->connected)
        DisconnectNamedPipe(m->pipe);
}
