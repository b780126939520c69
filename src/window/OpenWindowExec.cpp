// The service executable does not link the toolkit: it hands over to the window executable, which lies
// beside it in a build tree and in libexec/qxmover when installed.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "ExecutablePath.h"
#include "OpenWindow.h"

namespace fs = std::filesystem;

namespace qx {

std::unique_ptr<WindowHost> openWindow(int&, char** argv) {
    const fs::path self = executablePath();
    if (!self.empty()) {
        const fs::path directory = self.parent_path();
        for (const fs::path& candidate :
             {directory / "qxmover-window", directory / "../libexec/qxmover/qxmover-window"}) {
            if (::access(candidate.c_str(), X_OK) != 0)
                continue;
            ::execv(candidate.c_str(), argv);
            std::cerr << "qxmover: cannot start " << candidate.string() << " (" << std::strerror(errno)
                      << "); running without a window" << std::endl;
            return nullptr;
        }
    }
    std::cerr << "qxmover: the window program qxmover-window is not installed; running without a window"
              << std::endl;
    return nullptr;
}

}  // namespace qx
