#include "WeeklyBackup.h"

#include "Launcher.h"
#include "PathMap.h"
#include "SiblingCommands.h"
#include "StatisticMover.h"

namespace qx {

Result<> startBackup(Services& services, const MoverSettings& settings) {
    std::string path = services.paths.native(settings.autoBackupPath).string();
    if (settings.startSaveBaseAsPostjob) {
        const std::string line = sibling::backupPostjob(path);
        const Result<> started = services.launcher.run(line);
        return started ? Result<>() : notStarted(line, started);
    }
    const std::string line = sibling::backupDirect(path);
    const Result<> started = services.launcher.start(line, Show::Hidden);
    return started ? Result<>() : notStarted(line, started);
}

}  // namespace qx
