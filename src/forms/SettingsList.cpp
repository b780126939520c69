#include "SettingsList.h"

#include <cstdio>

#include "DialogTexts.h"
#include "ListEntries.h"
#include "Profile.h"
#include "ProfileNames.h"
#include "ProfileWrites.h"
#include "StringTable.h"
#include "TimedTasks.h"

namespace qx {

const ListLayout& listLayout(ListKind kind) {
    static const ListLayout tasks{
        ini::kStartMore,
        {&keys::kTaskProgram, &keys::kTaskDay, &keys::kTaskTime, &keys::kTaskType, &keys::kTaskWeekParameter},
        {{kTxtColProgram, 220}, {kTxtColDay, 100}, {kTxtColTime, 100}, {kTxtColType, 132}},
        kTxtTaskListTitle,
        kTxtTaskEditorTitle,
        kTxtEditTask,
        kTxtAddTask,
        kTxtSelectTaskFirst,
        kTxtAskDeleteTask};
    static const ListLayout deletion{ini::kDeleteAdditionalLogs,
                                     {&keys::kDeletePath, &keys::kDeleteExtension, &keys::kDeleteWeeks},
                                     {{kTxtColDelPath, 210}, {kTxtColDelFiles, 170}, {kTxtColDelAfter, 120}},
                                     kTxtDeleteListTitle,
                                     kTxtDeleteEditorTitle,
                                     kTxtEditDeleteRule,
                                     kTxtAddDeleteRule,
                                     kTxtSelectEntryFirst,
                                     kTxtAskDeleteRule};
    static const ListLayout drives{ini::kMonitorAdditionalDrives,
                                   {&keys::kDrive, &keys::kDriveSpace, &keys::kDriveAlarm},
                                   {{kTxtColDrive, 110}, {kTxtColUsedSpace, 170}, {kTxtColStartAlarm, 220}},
                                   kTxtDriveListTitle,
                                   kTxtDriveEditorTitle,
                                   kTxtEditDrive,
                                   kTxtAddDrive,
                                   kTxtSelectEntryFirst,
                                   kTxtAskDeleteDrive};
    switch (kind) {
        case ListKind::TimedTasks:
            return tasks;
        case ListKind::ExtraDeletion:
            return deletion;
        case ListKind::Drives:
            break;
    }
    return drives;
}

std::string SettingsList::key(std::size_t index, int number) const {
    return m_layout.keys[index]->keyName(number);
}

std::string SettingsList::value(int number, std::size_t index) const {
    return SettingReader(m_profile).stored(*m_layout.keys[index], number).value_or("");
}

std::string dayText(const StringTable& strings, int day) {
    if (day >= 0 && day <= 7)
        return strings.get(kTxtEveryDay + day);
    if (day == 8)
        return strings.get(kTxtEveryWeekday);
    return std::to_string(day);
}

std::vector<std::vector<std::string>> SettingsList::rows(const StringTable& strings) const {
    std::vector<std::vector<std::string>> rows;
    const SettingReader settings(m_profile);
    for (int n = 1; n <= kShownEntries; ++n) {
        // As the job reads it: the first empty one ends the list.
        std::string primary = settings.text(*m_layout.keys[0], n);
        if (primary.empty())
            break;
        std::vector<std::string> row{primary};
        if (m_kind == ListKind::TimedTasks) {
            const TimedTask task = readTimedTask(m_profile, n);
            if (task.type == 1)
                row[0] += moduleParameters(SettingReader(m_profile), n);
            row.push_back(dayText(strings, task.day));
            char time[16];
            std::snprintf(time, sizeof time, "%02d:00", task.hour);
            row.push_back(time);
            row.push_back(task.type >= 0 && task.type <= 2 ? strings.get(kTxtTypeProgram + task.type)
                                                           : std::to_string(task.type));
        } else if (m_kind == ListKind::ExtraDeletion) {
            const DeletionRule rule = readDeletionRule(m_profile, n);
            row.push_back(rule.extension == "*.*" ? strings.get(kTxtAllFiles) : rule.extension);
            row.push_back(std::to_string(rule.weeks) + " " +
                          strings.get(rule.weeks == 1 ? kTxtWeek : kTxtWeeksPlural));
        } else {
            const MonitoredDrive drive = readMonitoredDrive(m_profile, n);
            row.push_back(std::to_string(drive.percent));
            row.push_back(drive.alarm);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<int> SettingsList::newEntryNumber() const {
    const SettingReader settings(m_profile);
    for (int n = 1; n <= kShownEntries; ++n)
        if (settings.text(*m_layout.keys[0], n).empty())
            return n;
    return std::nullopt;
}

bool SettingsList::copyParameterSection(int from, int to, ProfileWrites& writes) {
    const SettingReader settings(m_profile);
    const std::string target = parameterSection(to);
    if (!writes.check(ini::kMover, target, "", m_profile.deleteSection(ini::kMover, target)))
        return false;
    for (int k = 1; k <= 9; ++k)
        for (const SettingKey* row : {&keys::kTaskParameterText, &keys::kTaskParameterNumber}) {
            const std::optional<std::string> value = settings.stored(*row, k, from);
            if (value && !writes.writeString(ini::kMover, target, row->keyName(k), *value))
                return false;
        }
    return true;
}

std::string SettingsList::removeEntry(int number) {
    ProfileWrites writes(m_profile);
    for (int n = number; n <= kShownEntries + 1; ++n) {
        bool last = false;
        for (std::size_t k = 0; k < m_layout.keys.size(); ++k) {
            std::string next = value(n + 1, k);
            if (k == 0)
                last = next.empty();
            // An empty value is written as empty rather than deleted, as the keys were copied.
            if (!writes.writeString(ini::kMover, m_layout.section, key(k, n), next))
                return writes.failure();
        }
        if (m_kind == ListKind::TimedTasks && !copyParameterSection(n + 1, n, writes))
            return writes.failure();
        if (last)
            break;
    }
    return {};
}

std::string formatArguments(std::string_view format, const std::vector<std::string>& arguments) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && next < arguments.size()) {
            out += arguments[next++];
            ++i;
        } else {
            out.push_back(format[i]);
        }
    }
    return out;
}

}  // namespace qx
