#pragma once

#include <string>
#include <string_view>

#include "Profile.h"

namespace qx {

class Prompts;
class StringTable;

// The writes of one save from a window: every write is tried, and the first that fails is kept as
// the line to show the user ("Cannot write KEY in [SECTION] of FILE: REASON"), as the settings did
// not all arrive.
class ProfileWrites {
public:
    explicit ProfileWrites(Profile& profile) : m_profile(profile) {}

    // Each returns whether this write succeeded.
    bool writeString(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value);
    bool writeInt(std::string_view file, std::string_view section, std::string_view key, int value);
    // Takes the result of a write made some other way.
    bool check(std::string_view file, std::string_view section, std::string_view key,
               const ProfileWriteResult& result);

    bool ok() const { return m_failure.empty(); }
    // The first failure, empty when every write succeeded.
    const std::string& failure() const { return m_failure; }

private:
    Profile& m_profile;
    std::string m_failure;
};

// A window's save: true when `failure` is empty; else shows it as a warning and returns false, so that
// the window stays open with what the user entered.
bool savedOrWarned(const std::string& failure, Prompts& prompts, const StringTable& strings);

}  // namespace qx
