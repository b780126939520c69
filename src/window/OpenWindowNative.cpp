// The Windows window program (qxmover-window.exe) draws the native window (src/winui); its test buttons run
// the operations of the forms layer.
#include "DialogJobs.h"
#include "OpenWindow.h"
#include "WinSession.h"

namespace qx {

std::unique_ptr<WindowHost> openWindow(int&, char**) {
    winui::MainDialogHooks hooks;
    hooks.operation = [jobs = dialogJobs()](Services& services, int buttonId, int moveMode, int reportType) {
        runDialogOperation(services, jobs, buttonId, moveMode, reportType);
    };
    hooks.jobs = dialogJobs();
    return std::make_unique<winui::WinSession>(std::move(hooks));
}

}  // namespace qx
