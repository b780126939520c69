#include "ListEditorForms.h"

#include <cstdio>
#include <cstdlib>

#include "DialogTexts.h"
#include "InstallationPath.h"
#include "ListEntries.h"
#include "MainDialogRules.h"
#include "Profile.h"
#include "ProfileWrites.h"
#include "Prompts.h"
#include "StringTable.h"

namespace fs = std::filesystem;

namespace qx {

namespace {

// The entry of `texts` that is `stored`, else the one `matches` accepts; a stored text that neither
// finds is added, so that opening and saving an editor never changes what it holds.
Choices choicesWith(std::vector<std::string> texts, const std::string& stored,
                    bool (*matches)(const std::string& text, const std::string& stored) = nullptr) {
    Choices choices{std::move(texts), -1};
    for (std::size_t i = 0; i < choices.texts.size() && choices.selected < 0; ++i)
        if (choices.texts[i] == stored)
            choices.selected = static_cast<int>(i);
    for (std::size_t i = 0; matches && i < choices.texts.size() && choices.selected < 0; ++i)
        if (matches(choices.texts[i], stored))
            choices.selected = static_cast<int>(i);
    if (choices.selected < 0 && !stored.empty()) {
        choices.texts.push_back(stored);
        choices.selected = static_cast<int>(choices.texts.size()) - 1;
    }
    return choices;
}

// An alarm task stores the alarm entry; one that holds only its number still finds its alarm.
bool sameAlarmNumber(const std::string& text, const std::string& stored) {
    const int number = std::atoi(stored.c_str());
    return number > 0 && alarmNumberOf(text) == number;
}

}  // namespace

std::vector<AlarmListEntry> alarmChoices(Services& s) {
    auto alarms = readAlarmList(s.profile, s.paths, s.prompts, s.strings);
    return alarms ? *alarms : std::vector<AlarmListEntry>{};
}

std::vector<std::string> alarmChoiceTexts(const std::vector<AlarmListEntry>& alarms,
                                          const std::string& separator) {
    std::vector<std::string> texts;
    texts.reserve(alarms.size());
    for (const AlarmListEntry& alarm : alarms)
        texts.push_back(std::to_string(alarm.number) + separator + alarm.name);
    return texts;
}

int alarmChoiceIndex(const std::vector<AlarmListEntry>& alarms, int number) {
    for (std::size_t i = 0; i < alarms.size(); ++i)
        if (alarms[i].number == number)
            return static_cast<int>(i);
    return -1;
}

bool listTakesEntry(Services& s, const SettingsList& list) {
    if (list.newEntryNumber())
        return true;
    s.prompts.warn(s.strings.get(kTxtListFull), s.strings.get(kStrErrorCaption));
    return false;
}

bool deleteListRow(Services& s, SettingsList& list, int row) {
    const ListLayout& layout = list.layout();
    if (row < 0) {
        s.prompts.warn(s.strings.get(layout.selectFirst), s.strings.get(kStrErrorCaption));
        return false;
    }
    const int number = row + 1;
    if (!s.prompts.ask(s.strings.format(layout.askDelete, list.value(number, 0)),
                       s.strings.get(kStrConfirmCaption)))
        return false;
    savedOrWarned(list.removeEntry(number), s.prompts, s.strings);
    return true;
}

int ListEditorForm::title() const {
    switch (m_kind) {
        case ListKind::TimedTasks:
            return kTxtTaskEditorTitle;
        case ListKind::ExtraDeletion:
            return kTxtDeleteEditorTitle;
        case ListKind::Drives:
            break;
    }
    return kTxtDriveEditorTitle;
}

int ListEditorForm::heading() const {
    const ListLayout& layout = listLayout(m_kind);
    return m_adding ? layout.addHeading : layout.editHeading;
}

int ListEditorForm::storeNumber() {
    if (m_number > 0)
        return m_number;
    std::optional<int> free = SettingsList(m_services.profile, m_kind).newEntryNumber();
    if (!free) {
        m_services.prompts.warn(m_services.strings.get(kTxtListFull),
                                m_services.strings.get(kStrErrorCaption));
        return 0;
    }
    m_number = *free;
    return m_number;
}

TaskEditorEnabled taskEditorEnabled(int kind) {
    return {kind == 0, kind == 1, kind == 2};
}

TaskEditorForm::TaskEditorForm(Services& s, int number, const fs::path& moduleDirectory)
    : ListEditorForm(s, ListKind::TimedTasks, number) {
    if (number > 0)
        m_task = readTimedTask(s.profile, number);
    if (m_task.type < 0 || m_task.type > 2)
        m_task.type = 0;
    if (m_task.day < 0 || m_task.day > 8)
        m_task.day = 0;
    if (m_task.hour < 0 || m_task.hour > 23)
        m_task.hour = 0;
    const std::string none;
    m_modules = choicesWith(moduleNames(moduleDirectory), m_task.type == 1 ? m_task.program : none);
    m_alarms = choicesWith(alarmChoiceTexts(alarmChoices(s), " "), m_task.type == 2 ? m_task.program : none,
                           sameAlarmNumber);
}

std::vector<std::string> TaskEditorForm::dayTexts() const {
    std::vector<std::string> days;
    for (int day = 0; day <= 8; ++day)
        days.push_back(dayText(m_services.strings, day));
    return days;
}

std::vector<std::string> TaskEditorForm::hourTexts() {
    std::vector<std::string> hours;
    for (int hour = 0; hour < 24; ++hour) {
        char text[8];
        std::snprintf(text, sizeof text, "%02d:00", hour);
        hours.emplace_back(text);
    }
    return hours;
}

bool TaskEditorForm::save(const TimedTask& task) {
    if (task.program.empty())
        return false;
    const int n = storeNumber();
    return n > 0 &&
           savedOrWarned(writeTimedTask(m_services.profile, n, task), m_services.prompts, m_services.strings);
}

bool saveTaskParameterForm(Services& s, int number, const TaskParameters& parameters) {
    return savedOrWarned(writeTaskParameters(s.profile, number, parameters), s.prompts, s.strings);
}

DeletionEditorForm::DeletionEditorForm(Services& s, int number)
    : ListEditorForm(s, ListKind::ExtraDeletion, number) {
    if (number > 0)
        m_rule = readDeletionRule(s.profile, number);
}

std::vector<std::string> DeletionEditorForm::weekTexts() {
    std::vector<std::string> weeks;
    for (int w = 1; w <= 51; ++w)
        weeks.push_back(std::to_string(w));
    return weeks;
}

int DeletionEditorForm::weekIndex(int weeks) {
    return weeks >= 1 && weeks <= 51 ? weeks - 1 : 0;
}

bool DeletionEditorForm::save(const DeletionRule& rule, const fs::path& workingDirectory) {
    Services& s = m_services;
    if (rule.directory.empty() || rule.extension.empty())
        return false;
    if (namesDirectory(s.paths, rule.directory, workingDirectory)) {
        s.prompts.warn(s.strings.format(kTxtOwnDirectoryWarning, rule.directory),
                       s.strings.get(kStrErrorCaption));
        return false;
    }
    if (!s.prompts.ask(deletionQuestion(s.strings, rule), s.strings.get(kStrConfirmCaption)))
        return false;
    const int n = storeNumber();
    return n > 0 && savedOrWarned(writeDeletionRule(s.profile, n, rule), s.prompts, s.strings);
}

DriveEditorForm::DriveEditorForm(Services& s, int number) : ListEditorForm(s, ListKind::Drives, number) {
    if (number > 0)
        m_entry = readMonitoredDrive(s.profile, number);
    if (m_entry.percent < 1 || m_entry.percent > 100)
        m_entry.percent = 90;
    m_alarms = choicesWith(alarmChoiceTexts(alarmChoices(s)), m_entry.alarm);
}

bool DriveEditorForm::save(const MonitoredDrive& entry) {
    if (!validDriveText(entry.drive))
        return false;
    const int n = storeNumber();
    return n > 0 && savedOrWarned(writeMonitoredDrive(m_services.profile, n, entry), m_services.prompts,
                                  m_services.strings);
}

}  // namespace qx
