#pragma once

#include "JobSettings.h"
#include "StatisticMover.h"

namespace qx {

// The monthly housekeeping at the first hour of a new month in monthly mode, for the remembered month
// M of the context: qxmover.bat moves M's files; the .wav files go to M's wave directory; with
// DelLogFiles = 1 qxlogdel.bat deletes the due month's directory (and its wave directory is emptied);
// then the second batch when Start2ndBatch is on. The caller takes the current month as the remembered
// month afterwards. Fails, with the first reason, when a batch program could not be started (shown in
// a box that does not hold the caller) or a file could not be moved.
Result<> monthlyMove(StatisticMover& mover, const MoverContext& context);

}  // namespace qx
