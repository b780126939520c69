#pragma once

#include "MoverSettings.h"
#include "Result.h"
#include "Services.h"

namespace qx {

// Starts the backup tool for the backup path of the settings: as a job-queue post job through the
// command shell when StartSaveBaseAsPostjob is on, else directly and hidden. The path is handed on as
// the native path it names. Fails when the tool could not be started.
Result<> startBackup(Services& services, const MoverSettings& settings);

}  // namespace qx
