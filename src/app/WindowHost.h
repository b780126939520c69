#pragma once

#include <filesystem>
#include <memory>

#include "Clock.h"
#include "Prompts.h"
#include "Services.h"

namespace qx {

class SingleInstance;

// The service's window, as the start-up sees it: only the window executable links the toolkit, so
// that the commands and the headless service start without loading it.
class WindowHost {
public:
    virtual ~WindowHost() = default;

    // The message boxes of the window, for the environment (made once). `unattended`: no boxes wait
    // for an answer (pictures are being taken).
    virtual std::unique_ptr<Prompts> makePrompts(bool unattended) = 0;

    // Shows the settings dialog and the tray icon on top of the started service and runs until the
    // service is asked to stop; with `screenshots` set, saves pictures of every dialog there and ends.
    // Stops every thread before it returns the exit code.
    virtual int run(Services& services, SingleInstance* instance, ClockMember self,
                    const std::filesystem::path& screenshots) = 0;

    // A second start, after the first instance was asked to show itself: brings the first one's window
    // forward where the system lets only the process the user just started do that (Windows).
    virtual void showRunning(Services& /*services*/) {}
};

}  // namespace qx
