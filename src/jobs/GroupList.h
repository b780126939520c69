#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qx {

// One alarm group of the group table (qxgroups.dbf).
struct AlarmGroup {
    std::int32_t number = 0;
    std::string name;  // at most kGroupNameLimit characters
};

inline constexpr std::size_t kGroupListLimit = 1000;
inline constexpr std::size_t kGroupNameLimit = 39;

// The groups of the table `table` (native path) in table order, read through CDatabase: the group
// number from the third field and the name from the second (by position, whatever they are called).
// At most kGroupListLimit groups; longer names are cut. Stops at the first record that cannot be
// read; empty when the table cannot be opened.
std::vector<AlarmGroup> loadGroupList(const std::filesystem::path& table);

// The name of the first group numbered `number`; nullptr when there is none.
const std::string* groupName(const std::vector<AlarmGroup>& groups, std::int32_t number);

}  // namespace qx
