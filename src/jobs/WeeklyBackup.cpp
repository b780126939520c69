#include "WeeklyBackup.h"

#include "Launcher.h"
#include "PathMap.h"
#include "SiblingCommands.h"

namespace qx {

bool startBackup(Services& services, const MoverSettings& settings) {
    std::string path = services.paths.native(settings.autoBackupPath).string();
    if (settings.startSaveBaseAsPostjob)
        return services.launcher.run(sibling::backupPostjob(path));
    return services.launcher.start(sibling::backupDirect(path), Show::Hidden);
}

}  // namespace qx
