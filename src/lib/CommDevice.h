#pragma once

// The system's side of CCommPort (CommDevicePosix.cpp, CommDeviceWin32.cpp); private to the library.

#include <memory>
#include <string>

namespace qx::detail {

// The line parameters as CCommPort stores them.
struct CommLine {
    int baud = 0;  // 0: none given, the device keeps its own
    int dataBits = 8;
    int parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopCode = 0;  // 0 one, 1 one and a half, 2 two stop bits
};

// An open serial device, or none. Transfers may wait in one thread while another closes it: closing
// releases them first.
class CommDevice;
struct CommDeviceDeleter {
    void operator()(CommDevice* device) const;
};
using CommDevicePtr = std::unique_ptr<CommDevice, CommDeviceDeleter>;
CommDevicePtr makeCommDevice();

// The path of serial device `name` on this system ("COMn": the n-th serial port).
std::string commDevicePath(const std::string& name);

// Opens `path` for reading and writing, for this object alone, as raw bytes; the line parameters stay
// as the device has them. False when missing, in use, refused or not a serial device.
bool openComm(CommDevice& device, const std::string& path);
bool isCommOpen(const CommDevice& device);
// Releases waiting transfers, then closes; false when the close failed.
bool closeComm(CommDevice& device);
// Sets baud rate, data bits, parity and stop bits; false when the device refuses them.
bool applyComm(CommDevice& device, const CommLine& line);
// The read timeouts, `ms` each (0: without limit): between two bytes, per byte and the constant part
// of a whole read.
bool setCommTimeouts(CommDevice& device, int ms);
// Discards what is waiting to be sent and what was received.
bool flushComm(CommDevice& device);
// As CCommPort::Read and CCommPort::Write: a byte count or -1.
int readComm(CommDevice& device, char* buf, int count);
int writeComm(CommDevice& device, const char* buf, int count);

}  // namespace qx::detail
