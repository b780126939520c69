#pragma once

#include <string_view>

namespace qx {

class ActivityLog;
class Profile;

// Writes one key of a profile file for a job and, when that fails, says so in the activity log with
// the reason: a thread has nobody else to tell. True when written.
bool writeProfileLogged(Profile& profile, const ActivityLog& log, std::string_view file,
                        std::string_view section, std::string_view key, std::string_view value);

}  // namespace qx
