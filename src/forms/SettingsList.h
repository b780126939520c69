#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "Profile.h"
#include "SettingKeys.h"
#include "StringTable.h"

namespace qx {

class ProfileWrites;

// The three settings that are lists of numbered entries in qxmover.ini.
enum class ListKind { TimedTasks, ExtraDeletion, Drives };

// Entries 1 to 49 are shown and edited. A list of 49 takes no further entry: a 50th would be shown by no
// list, and the next Add would overwrite it.
inline constexpr int kShownEntries = 49;

// What tells the three lists apart: section, keys (the primary key first), columns and texts.
struct ListLayout {
    const char* section;
    std::vector<const SettingKey*> keys;       // the rows of the entry's keys, the primary key first
    std::vector<std::pair<int, int>> columns;  // (text id, width in pixels)
    int title;
    int editorTitle;
    int editHeading;
    int addHeading;
    int selectFirst;  // the message when Delete finds no selected row
    int askDelete;    // the question, with the entry's primary value for %1
};

const ListLayout& listLayout(ListKind kind);

// One list in its section of qxmover.ini. Reads the file afresh at every call.
class SettingsList {
public:
    SettingsList(Profile& profile, ListKind kind)
        : m_profile(profile), m_layout(listLayout(kind)), m_kind(kind) {}

    // The shown rows, entry 1 upward until an empty primary key (at most 49), each as its column texts.
    std::vector<std::vector<std::string>> rows(const StringTable& strings) const;

    // The value of key `key` (index into the layout's keys) of entry `number`, as it is stored (empty
    // when missing).
    std::string value(int number, std::size_t key) const;

    // The number a new entry gets: the lowest of 1 to 49 whose primary key is empty; nullopt when all
    // 49 are taken (Add is refused).
    std::optional<int> newEntryNumber() const;

    // Deletes entry `number` by shifting every later entry down by one: entry n takes the keys of
    // n + 1, up to and including the first entry with an empty primary key, or until entry 51 has
    // been copied into 50. Entries from 51 up stay where they are. A timed task's module parameters
    // ([QxeTaskParameter<n>]) move with their task: section n becomes a copy of section n + 1, so that
    // no task runs with the parameters of another. A failed write ends the shift there,
    // so that no entry is lost (the one being copied stays twice); its failure is returned, empty when
    // every write succeeded.
    std::string removeEntry(int number);

    const ListLayout& layout() const { return m_layout; }
    ListKind kind() const { return m_kind; }

private:
    std::string key(std::size_t index, int number) const;
    bool copyParameterSection(int from, int to, ProfileWrites& writes);

    Profile& m_profile;
    const ListLayout& m_layout;
    ListKind m_kind;
};

// "every day", "Monday" .. "Sunday", "Every weekday" for a timed task's day 0 to 8 (other values: the
// number).
std::string dayText(const StringTable& strings, int day);

// Replaces each "%s" of `format`, in order, with the next of `arguments`.
std::string formatArguments(std::string_view format, const std::vector<std::string>& arguments);

}  // namespace qx
