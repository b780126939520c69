#include "WinSession.h"

#include <commctrl.h>

#include "DialogResources.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "StringTable.h"
#include "ThreadSet.h"
#include "WinPrompts.h"

namespace qx::winui {

LANGID dialogLanguage(Profile& profile) {
    const std::string file = languageFileName(profile);
    if (file == "qxmovedt.lng")
        return *winui::languageOf("de");
    if (file == "qxmovefr.lng")
        return *winui::languageOf("fr");
    return kLanguages[0].id;
}

std::unique_ptr<Prompts> WinSession::makePrompts(bool unattended) {
    auto prompts = std::make_unique<WinPrompts>(unattended);
    m_prompts = prompts.get();
    return prompts;
}

void WinSession::showRunning(Services& s) {
    restoreRunningWindow(s.strings.get(kStrTitle));
}

int WinSession::run(Services& s, SingleInstance* instance, ClockMember self,
                    const std::filesystem::path& screenshots) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    const LANGID language = dialogLanguage(s.profile);
    SetThreadUILanguage(language);
    int code = 0;
    {
        MainDialog dialog(s, m_hooks, language);
        if (!dialog.create(m_resources, screenshots.empty())) {
            s.log.note("The settings dialog could not be made; the service runs without it");
            code = 1;
        } else {
            if (m_prompts)
                m_prompts->setOwner(dialog.window());
            // Five seconds after start the dialog goes to the tray; without one it stays in the task bar.
            dialog.hideAfterStart(5000);
            std::stop_token stop = s.threads ? s.threads->token() : std::stop_token();
            ClockMember member = std::move(self);
            HANDLE showRequest = instance ? static_cast<HANDLE>(instance->showRequestEvent()) : nullptr;
            code = runMessages(dialog, showRequest, [&] { return stop.stop_requested(); });
        }
        if (m_prompts)
            m_prompts->setOwner(nullptr);
    }
    if (s.threads)
        s.threads->stop();
    return code;
}

}  // namespace qx::winui
