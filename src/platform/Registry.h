#pragma once

namespace qx {

// Deletes HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\AeDebug, which removes a
// registered just-in-time debugger, so that a crash of the service ends it instead of holding it in a
// debugger's dialog on an unattended server. True when the key is gone afterwards (also when it was
// never there); the start-up ignores the result. Does nothing (and returns true) where there is no
// registry.
bool removeJustInTimeDebugger();

}  // namespace qx
