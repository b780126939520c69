#include <windows.h>

#include <cstdlib>

#include "DisplayProbe.h"

namespace qx {

bool displayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    // A service runs in a window station of its own that no one sees; a user's session is "WinSta0",
    // visible.
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace qx
