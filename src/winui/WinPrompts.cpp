#include "WinPrompts.h"

#include <cstdio>
#include <memory>

#include "WinText.h"

namespace qx::winui {

std::atomic<unsigned> WinPrompts::m_shown{0};

void WinPrompts::warn(std::string_view text, std::string_view caption) {
    if (m_unattended) {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        return;
    }
    post({displayText(text), displayText(caption)});
}

void WinPrompts::post(Box box) {
    std::lock_guard lock(m_mutex);
    if (m_closing || !m_owner) {
        if (m_closing)
            std::fprintf(stderr, "%ls: %ls\n", box.caption.c_str(), box.text.c_str());
        else
            m_waiting.push_back(std::move(box));
        return;
    }
    auto posted = std::make_unique<Box>(std::move(box));
    if (PostMessageW(m_owner, kShowWarning, 0, reinterpret_cast<LPARAM>(posted.get())))
        posted.release();
}

void WinPrompts::showPosted(HWND owner, LPARAM posted) {
    std::unique_ptr<Box> box(reinterpret_cast<Box*>(posted));
    ++m_shown;
    MessageBoxW(owner, box->text.c_str(), box->caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

bool WinPrompts::ask(std::string_view text, std::string_view caption) {
    HWND owner = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_unattended || m_closing)
            return false;
        owner = m_owner;
    }
    ++m_shown;
    return MessageBoxW(owner, displayText(text).c_str(), displayText(caption).c_str(),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void WinPrompts::setOwner(HWND owner) {
    std::vector<Box> waiting;
    {
        std::lock_guard lock(m_mutex);
        m_owner = owner;
        m_closing = owner == nullptr;
        waiting.swap(m_waiting);
    }
    for (Box& box : waiting)
        post(std::move(box));
}

}  // namespace qx::winui
