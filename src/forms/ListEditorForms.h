#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "CAlarmTable.h"
#include "Services.h"
#include "SettingRecords.h"
#include "SettingsList.h"

namespace qx {

// What the three settings lists and their editors do, for every view: the view shows what a form
// offers, hands back what the user chose, and leaves checks, questions and writes to the form.

// The alarm definitions for a dialog's alarm lists, read from the alarm table when the dialog opens.
// A table that cannot be opened has been reported (text 116) and gives no entries.
std::vector<AlarmListEntry> alarmChoices(Services& services);

// The texts of an alarm list: number, `separator`, name ("%d  %s" or "%d %s").
std::vector<std::string> alarmChoiceTexts(const std::vector<AlarmListEntry>& alarms,
                                          const std::string& separator = "  ");

// The entry of alarm `number` in `alarms`; -1 when the list has no such alarm.
int alarmChoiceIndex(const std::vector<AlarmListEntry>& alarms, int number);

// A drop-down list and its selected entry (-1: none).
struct Choices {
    std::vector<std::string> texts;
    int selected = -1;
};

// Add in a list dialog: true when the list takes another entry; else the user has been told that it is
// full and no editor opens.
bool listTakesEntry(Services& services, const SettingsList& list);

// Delete in a list dialog for row `row` (0 is entry 1; -1 when no row is selected): asks to select one
// first, or asks whether to delete the entry and removes it, showing a failed write. True when the
// list was asked to change (the view shows its rows again).
bool deleteListRow(Services& services, SettingsList& list, int row);

// The part that every editor shares: its title and heading (adding or editing) and the number its entry
// is stored under.
class ListEditorForm {
public:
    // `number` 0 adds a new entry.
    ListEditorForm(Services& services, ListKind kind, int number)
        : m_services(services), m_kind(kind), m_number(number), m_adding(number <= 0) {}

    int title() const;
    int heading() const;
    // The entry's number: its own, or for a new entry the lowest free one, taken at the first call (so
    // that the task parameters and the task land in one entry). 0 when the list filled up while the
    // editor was open: the user has been told, and nothing may be stored.
    int storeNumber();
    int number() const { return m_number; }

protected:
    Services& m_services;
    ListKind m_kind;
    int m_number;
    bool m_adding;
};

// The controls of the task editor that its kind of task (0 program, 1 module, 2 alarm) leaves usable.
struct TaskEditorEnabled {
    bool program = false;  // the command line, its browse button and the calendar parameters
    bool module = false;   // the module list and its parameters
    bool alarm = false;
};
TaskEditorEnabled taskEditorEnabled(int kind);

class TaskEditorForm : public ListEditorForm {
public:
    // Reads entry `number` (0: a new one); the modules are the *.qxe files of `moduleDirectory`.
    TaskEditorForm(Services& services, int number, const std::filesystem::path& moduleDirectory);

    // The task as stored, its kind kept to 0..2 and its day and hour to the lists' ranges.
    const TimedTask& task() const { return m_task; }
    // "every day" .. "Every weekday" (day 0 to 8) and "00:00" .. "23:00".
    std::vector<std::string> dayTexts() const;
    static std::vector<std::string> hourTexts();
    // The module and alarm lists; a stored choice that is not offered (any more) is added to its list
    // and stays selected.
    const Choices& modules() const { return m_modules; }
    const Choices& alarms() const { return m_alarms; }

    // OK with `task` as the controls hold it (its program: the command line, the module or the alarm
    // entry, by kind). False without a program (an entry without one would end the list for every
    // entry after it), or when it could not be stored (shown).
    bool save(const TimedTask& task);

private:
    TimedTask m_task;
    Choices m_modules;
    Choices m_alarms;
};

// OK in the task parameter dialog of task `number`; false when a value could not be written (shown).
bool saveTaskParameterForm(Services& services, int number, const TaskParameters& parameters);

class DeletionEditorForm : public ListEditorForm {
public:
    DeletionEditorForm(Services& services, int number);
    const DeletionRule& rule() const { return m_rule; }
    // The age list: "1" .. "51" weeks; the index of a rule's weeks.
    static std::vector<std::string> weekTexts();
    static int weekIndex(int weeks);

    // OK: refuses (silently) a rule without a directory or a pattern, refuses with a warning one for
    // the working directory (it would delete the service's own logs and batches), asks the question
    // of texts 2158/2159, then stores it. False when it was not stored.
    bool save(const DeletionRule& rule, const std::filesystem::path& workingDirectory);

private:
    DeletionRule m_rule;
};

class DriveEditorForm : public ListEditorForm {
public:
    DriveEditorForm(Services& services, int number);
    // The stored entry, a percentage outside 1..100 shown as 90.
    const MonitoredDrive& entry() const { return m_entry; }
    // The alarm list ("%d  %s"); a stored alarm text that is not offered is added and selected.
    const Choices& alarms() const { return m_alarms; }
    // OK: refuses (silently) a drive that is not "X:", else stores it. False when not stored.
    bool save(const MonitoredDrive& entry);

private:
    MonitoredDrive m_entry;
    Choices m_alarms;
};

}  // namespace qx
