#pragma once

#include <windows.h>

#include "MainDialog.h"
#include "WindowHost.h"

namespace qx::winui {

class WinPrompts;

// The dialogs' language: that of the language file the start-up loads (qxmover.ini DefaultLanguage).
LANGID dialogLanguage(Profile& profile);

// The native window for the start-up: the settings dialog with its tray icon over the started service,
// and the message boxes. `hooks` carry what the dialog's buttons reach beyond the settings.
class WinSession : public WindowHost {
public:
    explicit WinSession(MainDialogHooks hooks, HMODULE resources = GetModuleHandleW(nullptr))
        : m_hooks(std::move(hooks)), m_resources(resources) {}

    std::unique_ptr<Prompts> makePrompts(bool unattended) override;
    int run(Services& services, SingleInstance* instance, ClockMember self,
            const std::filesystem::path& screenshots) override;
    void showRunning(Services& services) override;

private:
    MainDialogHooks m_hooks;
    HMODULE m_resources;
    WinPrompts* m_prompts = nullptr;
};

}  // namespace qx::winui
