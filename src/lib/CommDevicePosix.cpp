#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include "CommDevice.h"
#include "CommMode.h"

namespace qx::detail {

class CommDevice {
public:
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

void CommDeviceDeleter::operator()(CommDevice* device) const {
    if (device->wake >= 0)
        ::close(device->wake);
    delete device;
}

CommDevicePtr makeCommDevice() {
    CommDevicePtr device(new CommDevice);
    device->wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return device;
}

std::string commDevicePath(const std::string& name) {
    std::string device = bareDeviceName(name);
    if (int number = comPortNumber(device))
        return "/dev/ttyS" + std::to_string(number - 1);
    if (!device.empty() && device[0] == '/')
        return device;
    return "/dev/" + device;
}

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

bool openComm(CommDevice& device, const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios t{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    makeRaw(t);
    ::tcsetattr(fd, TCSANOW, &t);
    std::unique_lock<std::shared_mutex> guard(device.io);
    device.fd = fd;
    return true;
}

bool isCommOpen(const CommDevice& device) {
    return device.fd >= 0;
}

bool closeComm(CommDevice& device) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t signalled = ::write(device.wake, &one, sizeof one);
    std::unique_lock<std::shared_mutex> guard(device.io);
    // Bytes already written stay on their way: every transfer has completed or been released above.
    ::ioctl(device.fd, TIOCNXCL);
    int result = ::close(device.fd);
    device.fd = -1;
    std::uint64_t drained;
    [[maybe_unused]] ssize_t reset = ::read(device.wake, &drained, sizeof drained);
    return result == 0;
}

bool applyComm(CommDevice& device, const CommLine& line) {
    termios t{};
    speed_t speed;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (!speedOf(line.baud, speed) || ::tcgetattr(device.fd, &t) != 0)
        return false;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    t.c_cflag |= sizes[line.dataBits - 5];
    switch (line.parity) {
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
    if (line.stopCode != 0)
        t.c_cflag |= CSTOPB;
    return ::tcsetattr(device.fd, TCSANOW, &t) == 0;
}

bool setCommTimeouts(CommDevice& device, int ms) {
    device.interval = device.perByte = device.constant = ms;
    return true;
}

bool flushComm(CommDevice& device) {
    return ::tcflush(device.fd, TCIOFLUSH) == 0;
}

int readComm(CommDevice& device, char* buf, int count) {
    std::shared_lock<std::shared_mutex> guard(device.io);
    if (device.fd < 0)
        return -1;
    bool limited = device.constant > 0 || device.perByte > 0;
    auto whole = Clock::now() +
                 std::chrono::milliseconds(device.constant + static_cast<long long>(count) * device.perByte);
    Clock::time_point lastByte{};
    int got = 0;
    while (got < count) {
        ssize_t n = ::read(device.fd, buf + got, static_cast<std::size_t>(count - got));
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
        if (got > 0 && device.interval > 0) {
            Clock::time_point gap = lastByte + std::chrono::milliseconds(device.interval);
            until = anyLimit ? std::min(until, gap) : gap;
            anyLimit = true;
        }
        int waitMs = anyLimit ? msUntil(until) : -1;
        if (anyLimit && waitMs == 0)
            break;
        bool released = false;
        if (!waitFor(device.fd, device.wake, POLLIN, waitMs, released) && released)
            return -1;
    }
    return got;
}

int writeComm(CommDevice& device, const char* buf, int count) {
    std::shared_lock<std::shared_mutex> guard(device.io);
    if (device.fd < 0)
        return -1;
    int sent = 0;
    while (sent < count) {
        ssize_t n = ::write(device.fd, buf + sent, static_cast<std::size_t>(count - sent));
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return -1;
        bool released = false;
        if (!waitFor(device.fd, device.wake, POLLOUT, -1, released) && released)
            return -1;
    }
    return count;
}

}  // namespace qx::detail
