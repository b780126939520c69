#include <cstdlib>

#include "DisplayProbe.h"

namespace qx {

bool displayAvailable() {
    return displayReachable(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                            std::getenv("DISPLAY"), std::getenv("XDG_RUNTIME_DIR"));
}

}  // namespace qx
