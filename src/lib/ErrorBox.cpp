#include "qxclass/ErrorBox.h"

#include <cstdio>
#include <mutex>

namespace qx {
namespace {

std::mutex& handlerMutex() {
    static std::mutex mutex;
    return mutex;
}

ErrorBoxHandler& installedHandler() {
    static ErrorBoxHandler handler;
    return handler;
}

}  // namespace

ErrorBoxHandler setErrorBoxHandler(ErrorBoxHandler handler) {
    std::lock_guard lock(handlerMutex());
    ErrorBoxHandler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

void showErrorBox(const char* text, const char* caption) {
    if (!text)
        text = "";
    if (!caption)
        caption = "";
    ErrorBoxHandler handler;
    {
        std::lock_guard lock(handlerMutex());
        handler = installedHandler();
    }
    // Called outside the lock so that a handler may show a box of its own or swap handlers.
    if (!handler) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    try {
        handler(text, caption);
    } catch (...) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
    }
}

}  // namespace qx
