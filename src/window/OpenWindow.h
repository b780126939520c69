#pragma once

#include <memory>

#include "WindowHost.h"

namespace qx {

// The window of this executable. The window executable makes it; the service executable replaces its
// process by the window executable with the same command line (which then makes it) and returns null
// only when it cannot, after saying why on standard error: the service then runs without a window.
std::unique_ptr<WindowHost> openWindow(int& argc, char** argv);

}  // namespace qx
