#pragma once

#include <string>
#include <vector>

#include "CAlarmTable.h"
#include "Services.h"

class QComboBox;

namespace qx {

// The alarm definitions for a dialog's alarm lists, read from the alarm table when the dialog opens.
// A table that cannot be opened has been reported (text 116) and gives no entries.
std::vector<AlarmListEntry> alarmChoices(Services& services);

// Fills `combo` with one entry per alarm: number, `separator`, name ("%d  %s" or "%d %s").
void fillAlarmCombo(QComboBox* combo, const std::vector<AlarmListEntry>& alarms,
                    const std::string& separator = "  ");

// Selects the entry of alarm `number`; none when the list has no such alarm.
void selectAlarm(QComboBox* combo, int number);

// The alarm number of the selected entry; -1 when none is selected.
int selectedAlarm(const QComboBox* combo);

}  // namespace qx
