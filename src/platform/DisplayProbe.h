#pragma once

#include <filesystem>

namespace qx {

// Whether a window can be shown, from the environment's values (null: not set): Qt is told which
// platform to draw on, or a Wayland display's socket exists (in `runtimeDir` unless absolute), or a
// local X display ":N[.S]" has its socket in `x11Sockets` (a remote "host:N" is taken on trust). The
// window system library ends the process when it cannot connect, so a display that is named but
// gone (a closed session) must count as none.
bool displayReachable(const char* qpaPlatform, const char* waylandDisplay, const char* display,
                      const char* runtimeDir, const std::filesystem::path& x11Sockets = "/tmp/.X11-unix");

// Whether this process can show a window: displayReachable of its environment ($QT_QPA_PLATFORM,
// $WAYLAND_DISPLAY, $DISPLAY, $XDG_RUNTIME_DIR); on Windows whether it runs in an interactive session
// (its window station is visible; a service's is not), or $QT_QPA_PLATFORM names a platform to draw on.
bool displayAvailable();

}  // namespace qx
