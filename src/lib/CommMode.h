#pragma once

// The device-control definition strings of serial ports, as the platform's "mode" command writes
// them; private to the library.

#include <optional>
#include <string>

namespace qx::detail {

// What a definition sets; a setting it does not name stays as it was.
struct CommMode {
    std::optional<int> baud;
    std::optional<int> parity;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::optional<int> dataBits;  // 5 to 8
    std::optional<int> stopCode;  // 0 one, 1 one and a half, 2 two stop bits
};

// Parses "baud=9600 parity=n data=8 stop=1" (keys in any order and letter case; the handshake keys
// to, xon, odsr, octs, dtr, rts and idsr are accepted and not used) or "9600,n,8,1" (later fields may be
// left out or empty, a fifth handshake field x or p is accepted), either with an optional "COMn:" in
// front. Baud rates may be abbreviated to their first two digits (96 = 9600, 19 = 19200, 11 = 110).
// False, and `out` untouched, for anything else.
bool parseCommMode(const std::string& text, CommMode& out);

// `name` without a "\\.\" or "\\?\" in front and a ":" behind.
std::string bareDeviceName(const std::string& name);
// n for "COMn" (any letter case, n >= 1), else 0.
int comPortNumber(const std::string& device);

}  // namespace qx::detail
