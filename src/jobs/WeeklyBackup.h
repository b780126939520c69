#pragma once

#include "MoverSettings.h"
#include "Services.h"

namespace qx {

// Starts the backup tool for the backup path of the settings: as a job-queue post job through the
// command shell when StartSaveBaseAsPostjob is on, else directly and hidden. The path is handed on as
// the native path it names. Returns whether the start succeeded.
bool startBackup(Services& services, const MoverSettings& settings);

}  // namespace qx
