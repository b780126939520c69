#include "LoggedProfileWrite.h"

#include "ActivityLog.h"
#include "Profile.h"

namespace qx {

bool writeProfileLogged(Profile& profile, const ActivityLog& log, std::string_view file,
                        std::string_view section, std::string_view key, std::string_view value) {
    ProfileWriteResult result = profile.writeString(file, section, key, value);
    if (!result)
        log.write(profileWriteFailure(file, section, key, result));
    return result.ok();
}

}  // namespace qx
