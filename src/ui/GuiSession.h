#pragma once

#include <filesystem>
#include <memory>

#include "Clock.h"
#include "DialogJobs.h"
#include "Prompts.h"
#include "Services.h"

namespace qx {

class SingleInstance;

// Whether the service can show its window here: a display is named ($DISPLAY, $WAYLAND_DISPLAY), or
// Qt is told which platform to draw on ($QT_QPA_PLATFORM).
bool displayAvailable();

// The service with its window: the settings dialog and the tray icon on top of the started service.
class GuiSession {
public:
    // Makes the application object; `argc` and `argv` must outlive the session.
    GuiSession(int& argc, char** argv);
    ~GuiSession();
    GuiSession(const GuiSession&) = delete;
    GuiSession& operator=(const GuiSession&) = delete;

    // The message boxes of the session, for the environment (made once; the session keeps a hold on
    // them to end pending questions when the window goes). `unattended`: no boxes (see QtPrompts).
    std::unique_ptr<Prompts> makePrompts(bool unattended = false);

    // Shows the dialog and the tray icon (or, without a tray, the dialog in the task bar), hides the
    // dialog five seconds later, and runs until the service is asked to stop. A second start's request
    // shows the dialog. With `screenshots` set, saves a PNG of the main dialog and of every sub-dialog
    // there instead and ends. Stops every thread before it returns the exit code.
    int run(Services& services, DialogJobs jobs, SingleInstance* instance, ClockMember self,
            const std::filesystem::path& screenshots = {});

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace qx
