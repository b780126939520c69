// The window executable draws the window itself.
#include "GuiSession.h"
#include "OpenWindow.h"

namespace qx {

std::unique_ptr<WindowHost> openWindow(int& argc, char** argv) {
    return std::make_unique<GuiSession>(argc, argv);
}

}  // namespace qx
