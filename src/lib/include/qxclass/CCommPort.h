#pragma once

#include <memory>

#include "qxclass/Export.h"

namespace qx::detail {
struct CommPortState;
}

// A serial device opened for exclusive use in raw mode, with its line parameters, read timeouts and
// block transfers.
//
// On Linux the device name "COMn" (any letter case) is /dev/ttyS(n-1); an absolute path is used as it
// is; any other name ("ttyUSB0", "pts/3") lies under /dev/. On Windows "COMn" is \\.\COMn (which also
// reaches ports beyond COM9) and any other name lies in the device namespace "\\.\"; the device's
// control block (DCB) carries the line parameters and its COMMTIMEOUTS the read timeouts below. Line
// parameters given while the device is closed are kept and applied by Open. Operations returning int give 1
// for success and 0 for failure, except the transfers, which give a byte count or -1. One thread uses an
// object at a time, except that Close from another thread releases a thread waiting in a transfer. Objects
// cannot be copied.
class QXCLASS_API CCommPort {
public:
    explicit CCommPort(const char* name);
    // `parity` one of 'N', 'O', 'E', 'M', 'S'; `stopBits` 1 or 2 (see SetCommParms).
    CCommPort(const char* name, int baud, char parity, int dataBits, int stopBits);
    // `definition` in the "mode" syntax (see SetCommParms).
    CCommPort(const char* name, const char* definition);
    // Closes the device when open.
    ~CCommPort();
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // Opens the device for reading and writing, not shared with other openers; a device that is still
    // open is closed first. Switches it to raw bytes (no echo, no line editing, no character
    // translation), applies the line parameters when a baud rate was given (without one, baud rate,
    // data bits, parity and stop bits stay as the device has them), sets SetTimeOut(500) and discards
    // both buffers. 0 when the device is missing, in use, refused or not a serial device; the object
    // then stays closed. `reserved` is not used.
    int Open(int reserved = 0);
    // Releases a transfer waiting in another thread (it returns -1) and closes. 1 also when not open;
    // otherwise whether the close succeeded.
    int Close();
    int IsOpen() const;

    // Stores the baud rate and data bits; parity 'N', 'O', 'E', 'M', 'S' (either case) sets none, odd,
    // even, mark, space, any other character keeps the parity in force; stop bits 1 or 2 set that
    // many, any other value keeps the setting in force. Then applies them as SetCommParms().
    int SetCommParms(int baud, char parity, int dataBits, int stopBits);
    // Takes the settings of a "mode" definition, "baud=9600 parity=n data=8 stop=1" or "9600,n,8,1"
    // (optionally after "COMn:"; baud rates may be abbreviated: 96 = 9600, 19 = 19200), keeping what
    // it does not name, and applies them. 0 and nothing changed when the text does not parse.
    int SetCommParms(const char* definition);
    // Applies the stored parameters when the device is open and a baud rate was given. 1 when applied
    // or when there is nothing to apply; 0 when the device refuses them (for example a baud rate it
    // does not know or data bits outside 5 to 8).
    int SetCommParms();
    // Read timeouts, t x 10 ms each: the longest pause between two bytes and, for a read of n bytes, a
    // whole-read limit of t x 10 ms + n x t x 10 ms. SetTimeOut(0) waits without limit. 0 when closed.
    int SetTimeOut(int t);
    // Discards what is waiting to be sent and what was received and not read. 0 when closed.
    int FlushBuffers();

    // Reads `count` bytes, waiting within the read timeouts; returns the bytes read, fewer when a
    // timeout ended the wait (0 when nothing came). -1 when closed, on a device error, or when Close
    // released the wait.
    int Read(char* buf, int count, int reserved = 0);
    int Read(unsigned char* buf, int count, int reserved = 0);
    // Writes all `count` bytes, waiting while the device is busy; returns `count`. -1 when closed, on a
    // device error, or when Close released the wait.
    int Write(const char* buf, int count, int reserved = 0);
    int Write(const unsigned char* buf, int count, int reserved = 0);
    // Writes the characters of `str` without its NUL; as Write.
    int WriteString(const char* str, int reserved = 0);

    // The device path opened; the stored parameters (baud 0: none given; parity 0 none, 1 odd, 2 even,
    // 3 mark, 4 space; stop code 0 one, 1 one and a half, 2 two stop bits).
    const char* DevicePath() const;
    int BaudRate() const;
    int DataBits() const;
    int Parity() const;
    int StopBits() const;

private:
    std::unique_ptr<qx::detail::CommPortState> m;
};
