#pragma once

#include <cstdint>

#include "qxclass/Export.h"

namespace qx::dbf {

// Where the programs sharing a table place their byte-range locks, and how long a lock held elsewhere
// is waited for. Record n is locked at base + n (downward: base - n), one byte each; the whole table
// is `tableLength` bytes from base upward (downward: ending at base). Another program sees our locks
// only when both use the same convention. The defaults are Clipper's.
struct LockSettings {
    std::uint64_t base = 1'000'000'000;
    std::uint64_t tableLength = 1'000'000'000;
    bool downward = false;
    int attempts = 50;           // tries before a change gives up (at least one)
    int pauseMilliseconds = 10;  // between two tries
};

// The settings in force for every CDatabase of the process. Tables take the settings in force when
// they are opened. Safe from any thread.
QXCLASS_API LockSettings lockSettings();
QXCLASS_API void setLockSettings(const LockSettings& settings);

// The code page of the text in the tables that CDatabase::Create makes, stated in their header's
// language-driver byte so that other programs show their text right: the installation's 8-bit code
// page, 1252 (Windows-1252) unless set. A code page that has no driver byte is stated as 0 (none).
// Safe from any thread.
QXCLASS_API unsigned tableCodePage();
QXCLASS_API void setTableCodePage(unsigned codePage);

}  // namespace qx::dbf
