#pragma once

#include <functional>

#include "qxclass/Export.h"

namespace qx {

// The library's message boxes ("CDatabase::Go" under "Error" and the like). The library knows no
// windows: an application routes them to its own prompts by installing a handler.
using ErrorBoxHandler = std::function<void(const char* text, const char* caption)>;

// Installs `handler` for the whole process and returns the one it replaces (empty when the default
// was in force). An empty handler restores the default, which writes "caption: text" to stderr.
// Safe to call from any thread; a box being shown while the handler changes goes to the old one.
QXCLASS_API ErrorBoxHandler setErrorBoxHandler(ErrorBoxHandler handler);

// Shows a box through the installed handler and returns when the handler returns. Null texts count
// as empty. Exceptions thrown by a handler are swallowed: a box must never break the caller.
QXCLASS_API void showErrorBox(const char* text, const char* caption);

}  // namespace qx
