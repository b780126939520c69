#pragma once

#include <filesystem>
#include <memory>

#include "WindowHost.h"

namespace qx {

// The service with its window: the settings dialog and the tray icon on top of the started service.
class GuiSession final : public WindowHost {
public:
    // Makes the application object; `argc` and `argv` must outlive the session.
    GuiSession(int& argc, char** argv);
    ~GuiSession() override;
    GuiSession(const GuiSession&) = delete;
    GuiSession& operator=(const GuiSession&) = delete;

    // The session keeps a hold on its boxes to end pending questions when the window goes.
    std::unique_ptr<Prompts> makePrompts(bool unattended) override;

    // The dialog is hidden five seconds after the start (without a tray it stays in the task bar); a
    // second start's request shows it. The buttons run the jobs of this build (dialogJobs).
    int run(Services& services, SingleInstance* instance, ClockMember self,
            const std::filesystem::path& screenshots) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace qx
