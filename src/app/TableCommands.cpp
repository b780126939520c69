#include "TableCommands.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "CAlarmTable.h"
#include "ErrorBoxBridge.h"
#include "StringTable.h"
#include "qxclass/CDatabase.h"
#include "qxclass/ErrorBox.h"

namespace qx {
namespace {

// The command has no window: the library's boxes become lines on its error stream.
class ErrorBoxesToStream {
public:
    explicit ErrorBoxesToStream(std::ostream& err)
        : m_previous(setErrorBoxHandler([&err](const char* text, const char* caption) {
              err << "qxmover: " << caption << ": " << text << '\n';
          })) {}
    ~ErrorBoxesToStream() { setErrorBoxHandler(std::move(m_previous)); }

private:
    ErrorBoxHandler m_previous;
};

}  // namespace

int printTable(const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
    ErrorBoxesToStream boxes(err);
    CDatabase table;
    if (!table.Open(file.c_str())) {
        err << "qxmover: cannot open the table " << file.string() << '\n';
        return 1;
    }
    unsigned fields = table.FieldCount();
    std::size_t longest = 0;
    std::vector<const char*> names;
    for (unsigned f = 1; f <= fields; ++f) {
        const char* name = table.Fieldname(f);
        names.push_back(name);
        longest = std::max<std::size_t>(longest, table.FieldLength(name));
        out << name << ' ' << table.FieldType(f) << ' ' << table.FieldLength(name) << ' '
            << table.FieldDecimals(f) << '\n';
    }
    out << '\n';
    std::vector<char> text(longest + 1);
    unsigned count = table.RecCount();
    for (unsigned record = 1; record <= count; ++record) {
        table.Go(record);
        if (table.RecNo() != record) {
            err << "qxmover: cannot read record " << record << " of " << file.string() << '\n';
            table.Close();
            return 1;
        }
        out << record << ' ' << (table.Deleted() ? '*' : '-') << ' ';
        for (unsigned f = 0; f < fields; ++f) {
            table.Read(names[f], text.data(), text.size());
            if (f > 0)
                out << '|';
            out << text.data();
        }
        out << '\n';
    }
    table.Close();
    out.flush();
    return out ? 0 : 1;
}

int printAlarmList(Profile& profile, const PathMap& paths, Prompts& prompts, std::ostream& out) {
    ErrorBoxesToPrompts boxes(prompts);
    StringTable strings;
    auto alarms = readAlarmList(profile, paths, prompts, strings);
    if (!alarms)
        return 1;
    for (const AlarmListEntry& alarm : *alarms)
        out << alarmEntryText(alarm.number, alarm.name) << '\n';
    out.flush();
    return out ? 0 : 1;
}

}  // namespace qx
