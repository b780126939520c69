#include "GroupList.h"

#include <qxclass/CDatabase.h>

#include <cstdlib>

#include "WideText.h"

namespace qx {

std::vector<AlarmGroup> loadGroupList(const std::filesystem::path& table) {
    std::vector<AlarmGroup> groups;
    CDatabase database;
    const std::optional<std::string> file = pathBytes(table);
    if (!file || !database.Open(file->c_str()))
        return groups;
    const unsigned count = database.RecCount();
    if (count >= 1) {
        database.Top();
        // The field names are copied: the engine's text lives only while the table is open.
        const std::string numberField = database.Fieldname(3);
        const std::string nameField = database.Fieldname(2);
        for (unsigned record = 1; record <= count && groups.size() < kGroupListLimit; ++record) {
            database.Go(record);
            char number[64] = {};
            char name[kGroupNameLimit + 1] = {};
            if (!database.Read(numberField.c_str(), number, sizeof number) ||
                !database.Read(nameField.c_str(), name, sizeof name))
                break;
            groups.push_back({static_cast<std::int32_t>(std::strtol(number, nullptr, 10)), name});
        }
    }
    database.Close();
    return groups;
}

const std::string* groupName(const std::vector<AlarmGroup>& groups, std::int32_t number) {
    for (const AlarmGroup& group : groups)
        if (group.number == number)
            return &group.name;
    return nullptr;
}

}  // namespace qx
