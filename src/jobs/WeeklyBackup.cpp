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
        return services.launcher.run(line) ? Result<>() : notStarted(line);
    }
    const std::string line = sibling::backupDirect(path);
    return services.launcher.start(line, Show::Hidden) ? Result<>() : notStarted(line);
}

}  // namespace qx
