#include "ProfileWrites.h"

#include "Prompts.h"
#include "StringTable.h"

namespace qx {

bool ProfileWrites::check(std::string_view file, std::string_view section, std::string_view key,
                          const ProfileWriteResult& result) {
    if (!result && m_failure.empty())
        m_failure = profileWriteFailure(file, section, key, result);
    return static_cast<bool>(result);
}

bool ProfileWrites::writeString(std::string_view file, std::string_view section, std::string_view key,
                                std::string_view value) {
    return check(file, section, key, m_profile.writeString(file, section, key, value));
}

bool ProfileWrites::writeInt(std::string_view file, std::string_view section, std::string_view key,
                             int value) {
    return check(file, section, key, m_profile.writeInt(file, section, key, value));
}

bool savedOrWarned(const std::string& failure, Prompts& prompts, const StringTable& strings) {
    if (failure.empty())
        return true;
    prompts.warn(failure, strings.get(kStrErrorCaption));
    return false;
}

}  // namespace qx
