#include "qxclass/CCommPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "CommMode.h"

namespace qx::detail {

struct CommPortState {
    std::string path;
    int baud = 0;
    int dataBits = 8;
    int parity = 0;
    int stopCode = 0;
    // Read timeouts in ms: between two bytes, per byte, and the constant part of a whole read.
    int interval = 0;
    int perByte = 0;
    int constant = 0;

    // Transfers hold `io` shared; Close raises `wake` and then takes `io` alone, so a waiting transfer
    // leaves before the descriptor is closed under it.
    int fd = -1;
    int wake = -1;
    std::shared_mutex io;
};

}  // namespace qx::detail

namespace {

using Clock = std::chrono::steady_clock;

bool speedOf(int baud, speed_t& speed) {
    static const struct {
        int baud;
        speed_t speed;
    } speeds[] = {{50, B50},         {75, B75},         {110, B110},        {134, B134},
                  {150, B150},       {200, B200},       {300, B300},        {600, B600},
                  {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
                  {9600, B9600},     {19200, B19200},   {38400, B38400},    {57600, B57600},
                  {115200, B115200}, {230400, B230400}, {460800, B460800},  {500000, B500000},
                  {576000, B576000}, {921600, B921600}, {1000000, B1000000}};
    for (const auto& s : speeds)
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    return false;
}

// Raw bytes as the platform's serial ports deliver them; the line parameters are not touched here.
void makeRaw(termios& t) {
    t.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

int msUntil(Clock::time_point deadline) {
    // Rounded up: a read must never give up before its time.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Waits for `events` on `fd` or for Close; false when released by Close or when `timeoutMs` (< 0: no
// limit) ran out.
bool waitFor(int fd, int wake, short events, int timeoutMs, bool& released) {
    pollfd p[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
    int r;
    do {
        r = ::poll(p, 2, timeoutMs);
    } while (r < 0 && errno == EINTR);
    released = r > 0 && (p[1].revents & POLLIN);
    return r > 0 && !released;
}

}  // namespace

CCommPort::CCommPort(const char* name) : m(std::make_unique<qx::detail::CommPortState>()) {
    m->path = qx::detail::commDevicePath(name ? name : "");
    m->wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CCommPort::CCommPort(const char* name, int baud, char parity, int dataBits, int stopBits) : CCommPort(name) {
    SetCommParms(baud, parity, dataBits, stopBits);
}

CCommPort::CCommPort(const char* name, const char* definition) : CCommPort(name) {
    SetCommParms(definition);
}

CCommPort::~CCommPort() {
    Close();
    if (m->wake >= 0)
        ::close(m->wake);
}

int CCommPort::Open(int) {
    Close();
    int fd = ::open(m->path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    termios t{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return 0;
    }
    ::ioctl(fd, TIOCEXCL);
    makeRaw(t);
    ::tcsetattr(fd, TCSANOW, &t);
    {
        std::unique_lock<std::shared_mutex> guard(m->io);
        m->fd = fd;
    }
    SetCommParms();
    SetTimeOut(500);
    FlushBuffers();
    return 1;
}

int CCommPort::Close() {
    if (m->fd < 0)
        return 1;
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t signalled = ::write(m->wake, &one, sizeof one);
    std::unique_lock<std::shared_mutex> guard(m->io);
    // Bytes already written stay on their way: every transfer has completed or been released above.
    ::ioctl(m->fd, TIOCNXCL);
    int result = ::close(m->fd);
    m->fd = -1;
    std::uint64_t drained;
    [[maybe_unused]] ssize_t reset = ::read(m->wake, &drained, sizeof drained);
    return result == 0 ? 1 : 0;
}

int CCommPort::IsOpen() const {
    return m->fd >= 0 ? 1 : 0;
}

int CCommPort::SetCommParms(int baud, char parity, int dataBits, int stopBits) {
    m->baud = baud;
    m->dataBits = dataBits;
    static const char letters[] = "NOEMS";
    const char* at =
        parity ? std::strchr(letters, std::toupper(static_cast<unsigned char>(parity))) : nullptr;
    if (at)
        m->parity = static_cast<int>(at - letters);
    if (stopBits == 1)
        m->stopCode = 0;
    else if (stopBits == 2)
        m->stopCode = 2;
    return SetCommParms();
}

int CCommPort::SetCommParms(const char* definition) {
    qx::detail::CommMode mode;
    if (!definition || !qx::detail::parseCommMode(definition, mode))
        return 0;
    m->baud = mode.baud.value_or(m->baud);
    m->dataBits = mode.dataBits.value_or(m->dataBits);
    m->parity = mode.parity.value_or(m->parity);
    m->stopCode = mode.stopCode.value_or(m->stopCode);
    return SetCommParms();
}

int CCommPort::SetCommParms() {
    if (m->fd < 0 || m->baud == 0)
        return 1;
    termios t{};
    speed_t speed;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (!speedOf(m->baud, speed) || m->dataBits < 5 || m->dataBits > 8 || ::tcgetattr(m->fd, &t) != 0)
        return 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    t.c_cflag |= sizes[m->dataBits - 5];
    switch (m->parity) {
        case 1:
            t.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            t.c_cflag |= PARENB;
            break;
        case 3:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 4:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    // Two stop bits; with five data bits the device makes them one and a half.
    if (m->stopCode != 0)
        t.c_cflag |= CSTOPB;
    return ::tcsetattr(m->fd, TCSANOW, &t) == 0 ? 1 : 0;
}

int CCommPort::SetTimeOut(int t) {
    if (m->fd < 0)
        return 0;
    int ms = t > 0 ? t * 10 : 0;
    m->interval = m->perByte = m->constant = ms;
    return 1;
}

int CCommPort::FlushBuffers() {
    if (m->fd < 0)
        return 0;
    return ::tcflush(m->fd, TCIOFLUSH) == 0 ? 1 : 0;
}

int CCommPort::Read(char* buf, int count, int) {
    std::shared_lock<std::shared_mutex> guard(m->io);
    if (m->fd < 0 || !buf || count < 0)
        return -1;
    bool limited = m->constant > 0 || m->perByte > 0;
    auto whole =
        Clock::now() + std::chrono::milliseconds(m->constant + static_cast<long long>(count) * m->perByte);
    Clock::time_point lastByte{};
    int got = 0;
    while (got < count) {
        ssize_t n = ::read(m->fd, buf + got, static_cast<std::size_t>(count - got));
        if (n > 0) {
            got += static_cast<int>(n);
            lastByte = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return got > 0 ? got : -1;
        Clock::time_point until = whole;
        bool anyLimit = limited;
        if (got > 0 && m->interval > 0) {
            Clock::time_point gap = lastByte + std::chrono::milliseconds(m->interval);
            until = anyLimit ? std::min(until, gap) : gap;
            anyLimit = true;
        }
        int waitMs = anyLimit ? msUntil(until) : -1;
        if (anyLimit && waitMs == 0)
            break;
        bool released = false;
        if (!waitFor(m->fd, m->wake, POLLIN, waitMs, released) && released)
            return -1;
    }
    return got;
}

int CCommPort::Read(unsigned char* buf, int count, int reserved) {
    return Read(reinterpret_cast<char*>(buf), count, reserved);
}

int CCommPort::Write(const char* buf, int count, int) {
    std::shared_lock<std::shared_mutex> guard(m->io);
    if (m->fd < 0 || (!buf && count > 0) || count < 0)
        return -1;
    int sent = 0;
    while (sent < count) {
        ssize_t n = ::write(m->fd, buf + sent, static_cast<std::size_t>(count - sent));
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return -1;
        bool released = false;
        if (!waitFor(m->fd, m->wake, POLLOUT, -1, released) && released)
            return -1;
    }
    return count;
}

int CCommPort::Write(const unsigned char* buf, int count, int reserved) {
    return Write(reinterpret_cast<const char*>(buf), count, reserved);
}

int CCommPort::WriteString(const char* str, int reserved) {
    if (!str)
        return -1;
    return Write(str, static_cast<int>(std::strlen(str)), reserved);
}

const char* CCommPort::DevicePath() const {
    return m->path.c_str();
}

int CCommPort::BaudRate() const {
    return m->baud;
}

int CCommPort::DataBits() const {
    return m->dataBits;
}

int CCommPort::Parity() const {
    return m->parity;
}

int CCommPort::StopBits() const {
    return m->stopCode;
}
