#include "qxclass/DbfSettings.h"

#include <mutex>

#include "DbfSettingsInternal.h"

namespace qx::dbf {
namespace {

std::mutex& settingsMutex() {
    static std::mutex mutex;
    return mutex;
}

LockSettings& current() {
    static LockSettings settings;
    return settings;
}

}  // namespace

LockSettings lockSettings() {
    std::lock_guard lock(settingsMutex());
    return current();
}

void setLockSettings(const LockSettings& settings) {
    std::lock_guard lock(settingsMutex());
    current() = settings;
}

TableOptions tableOptions() {
    LockSettings settings = lockSettings();
    TableOptions options;
    options.locking = LockConvention(settings.base, settings.tableLength, settings.downward);
    options.patience.attempts = settings.attempts;
    options.patience.pause =
        std::chrono::milliseconds(settings.pauseMilliseconds < 0 ? 0 : settings.pauseMilliseconds);
    return options;
}

}  // namespace qx::dbf
