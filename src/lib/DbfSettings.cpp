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

unsigned& currentCodePage() {
    static unsigned codePage = 1252;
    return codePage;
}

}  // namespace

unsigned tableCodePage() {
    std::lock_guard lock(settingsMutex());
    return currentCodePage();
}

void setTableCodePage(unsigned codePage) {
    std::lock_guard lock(settingsMutex());
    currentCodePage() = codePage;
}

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
    options.codePage = tableCodePage();
    return options;
}

}  // namespace qx::dbf
