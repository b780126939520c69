#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "Prompts.h"

namespace qx::winui {

// The message boxes of the native window, owned by the main dialog once it is there. A question is
// asked at once on the calling thread (the operation's thread asks before it works) and waits for its
// answer. A warning never holds its caller: it is posted to the window's thread and shown there, and
// one from before the window exists waits for it.
class WinPrompts : public Prompts {
public:
    // `unattended`: nobody is there to answer (pictures are being taken): warnings go to standard
    // error and questions are answered No, without boxes.
    explicit WinPrompts(bool unattended = false) : m_unattended(unattended) {}

    void warn(std::string_view text, std::string_view caption) override;
    bool ask(std::string_view text, std::string_view caption) override;

    // The window that owns the boxes and shows the warnings; the waiting warnings are handed to it.
    // Null: from now on questions are answered No and warnings go to standard error (it is going).
    void setOwner(HWND owner);

    // The warning that the owner's window procedure passes here when it receives kShowWarning.
    static constexpr UINT kShowWarning = WM_APP + 2;
    static void showPosted(HWND owner, LPARAM posted);

    // How many boxes were shown (for the tests).
    unsigned shown() const { return m_shown; }

private:
    struct Box {
        std::wstring text, caption;
    };
    void post(Box box);

    std::mutex m_mutex;
    HWND m_owner = nullptr;
    bool m_closing = false;
    std::vector<Box> m_waiting;
    bool m_unattended;
    static std::atomic<unsigned> m_shown;
};

}  // namespace qx::winui
