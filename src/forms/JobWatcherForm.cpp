#include "JobWatcherForm.h"

#include "ProfileWrites.h"
#include "Prompts.h"
#include "StringTable.h"

namespace qx {

JobWatcherEnabled jobWatcherEnabled(const JobWatcherSettings& w) {
    JobWatcherEnabled on;
    for (std::size_t i = 0; i < on.directories.size(); ++i) {
        const JobSlot& slot = w.directories[i];
        on.directories[i] = {slot.watched, slot.watched, slot.watched && slot.moveFiles};
    }
    on.program = w.startOnErrorType == 0;
    on.alarm = !on.program;
    return on;
}

bool saveJobWatcher(Services& s, const JobWatcherSettings& settings) {
    return savedOrWarned(writeJobWatcher(s.profile, settings), s.prompts, s.strings);
}

}  // namespace qx
