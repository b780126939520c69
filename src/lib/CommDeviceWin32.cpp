#include <windows.h>

#include <atomic>
#include <mutex>
#include <shared_mutex>

#include "CommDevice.h"
#include "CommMode.h"
#include "DbfIo.h"

namespace qx::detail {

class CommDevice {
public:
    HANDLE handle = INVALID_HANDLE_VALUE;
    // Manual-reset events of the read and the write transfer, made with the object.
    HANDLE readEvent = nullptr;
    HANDLE writeEvent = nullptr;
    // Transfers hold `io` shared; Close sets `closing`, signals both events and then takes `io` alone,
    // so a waiting transfer leaves before the handle is closed under it.
    std::atomic<bool> closing{false};
    std::shared_mutex io;
};

void CommDeviceDeleter::operator()(CommDevice* device) const {
    if (device->readEvent)
        CloseHandle(device->readEvent);
    if (device->writeEvent)
        CloseHandle(device->writeEvent);
    delete device;
}

CommDevicePtr makeCommDevice() {
    CommDevicePtr device(new CommDevice);
    device->readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    device->writeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!device->readEvent || !device->writeEvent)
        return nullptr;
    return device;
}

std::string commDevicePath(const std::string& name) {
    // COM1 to COM9 open under their own names, higher numbers and every other device only in the
    // device namespace: "\\.\" fits them all.
    std::string device = bareDeviceName(name);
    if (int number = comPortNumber(device))
        return "\\\\.\\COM" + std::to_string(number);
    if (name.rfind("\\\\", 0) == 0)
        return name;
    return "\\\\.\\" + device;
}

bool openComm(CommDevice& device, const std::string& path) {
    std::filesystem::path wide = qx::dbf::io::pathOf(path.c_str());
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // Only a serial device has a control block; raw bytes: no flow control by characters, no
    // replacement of bytes with parity errors, no dropped NULs, no stop on errors.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        CloseHandle(h);
        return false;
    }
    dcb.fBinary = TRUE;
    dcb.fOutX = dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    SetCommState(h, &dcb);
    std::unique_lock<std::shared_mutex> guard(device.io);
    device.handle = h;
    return true;
}

bool isCommOpen(const CommDevice& device) {
    return device.handle != INVALID_HANDLE_VALUE;
}

bool closeComm(CommDevice& device) {
    device.closing = true;
    SetEvent(device.readEvent);
    SetEvent(device.writeEvent);
    // Pending transfers end now; their threads see `closing` and leave.
    PurgeComm(device.handle, PURGE_TXABORT | PURGE_RXABORT);
    std::unique_lock<std::shared_mutex> guard(device.io);
    bool closed = CloseHandle(device.handle);
    device.handle = INVALID_HANDLE_VALUE;
    ResetEvent(device.readEvent);
    ResetEvent(device.writeEvent);
    device.closing = false;
    return closed;
}

bool applyComm(CommDevice& device, const CommLine& line) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(device.handle, &dcb))
        return false;
    dcb.BaudRate = DWORD(line.baud);
    dcb.ByteSize = BYTE(line.dataBits);
    // The parity and stop-bit codes are the system's own (NOPARITY .. SPACEPARITY, ONESTOPBIT ..
    // TWOSTOPBITS).
    dcb.Parity = BYTE(line.parity);
    dcb.StopBits = BYTE(line.stopCode);
    dcb.fParity = line.parity != NOPARITY;
    dcb.fAbortOnError = FALSE;
    return SetCommState(device.handle, &dcb);
}

bool setCommTimeouts(CommDevice& device, int ms) {
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(device.handle, &timeouts))
        return false;
    // All three 0: a read waits without limit, as on every system.
    timeouts.ReadIntervalTimeout = DWORD(ms);
    timeouts.ReadTotalTimeoutMultiplier = DWORD(ms);
    timeouts.ReadTotalTimeoutConstant = DWORD(ms);
    return SetCommTimeouts(device.handle, &timeouts);
}

bool flushComm(CommDevice& device) {
    return PurgeComm(device.handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

namespace {

// A read that its timeouts end is no failure: it gives the bytes that came (Wine reports it so).
bool timedOut(DWORD error) {
    return error == ERROR_TIMEOUT || error == WAIT_TIMEOUT || error == ERROR_SEM_TIMEOUT;
}

// Waits for an overlapped transfer begun (or refused) by `started`; the bytes moved or -1. Close
// releases the wait: the transfer is then cancelled and -1 returned.
int finish(CommDevice& device, OVERLAPPED& transfer, BOOL started, DWORD done) {
    if (started) {
        ResetEvent(transfer.hEvent);
        return int(done);
    }
    DWORD error = GetLastError();
    if (timedOut(error))
        return int(done);
    if (error != ERROR_IO_PENDING)
        return -1;
    while (WaitForSingleObject(transfer.hEvent, 100) != WAIT_OBJECT_0 || device.closing.load()) {
        if (device.closing.load()) {
            CancelIoEx(device.handle, &transfer);
            GetOverlappedResult(device.handle, &transfer, &done, TRUE);
            return -1;
        }
    }
    BOOL ok = GetOverlappedResult(device.handle, &transfer, &done, FALSE);
    bool endedByTimeout = !ok && timedOut(GetLastError());
    ResetEvent(transfer.hEvent);
    return ok || endedByTimeout ? int(done) : -1;
}

}  // namespace

int readComm(CommDevice& device, char* buf, int count) {
    std::shared_lock<std::shared_mutex> guard(device.io);
    if (device.handle == INVALID_HANDLE_VALUE || device.closing.load())
        return -1;
    OVERLAPPED transfer{};
    transfer.hEvent = device.readEvent;
    ResetEvent(transfer.hEvent);
    DWORD done = 0;
    BOOL started = ReadFile(device.handle, buf, DWORD(count), &done, &transfer);
    return finish(device, transfer, started, done);
}

int writeComm(CommDevice& device, const char* buf, int count) {
    std::shared_lock<std::shared_mutex> guard(device.io);
    if (device.handle == INVALID_HANDLE_VALUE || device.closing.load())
        return -1;
    OVERLAPPED transfer{};
    transfer.hEvent = device.writeEvent;
    ResetEvent(transfer.hEvent);
    DWORD done = 0;
    BOOL started = WriteFile(device.handle, buf, DWORD(count), &done, &transfer);
    int sent = finish(device, transfer, started, done);
    return sent == count ? count : -1;
}

}  // namespace qx::detail
