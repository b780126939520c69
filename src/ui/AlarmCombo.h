#pragma once

#include <string>
#include <vector>

#include "CAlarmTable.h"
#include "ListEditorForms.h"
#include "Services.h"

class QComboBox;

namespace qx {

// Fills `combo` with one entry per alarm: number, `separator`, name ("%d  %s" or "%d %s").
void fillAlarmCombo(QComboBox* combo, const std::vector<AlarmListEntry>& alarms,
                    const std::string& separator = "  ");

// Selects the entry of alarm `number`; none when the list has no such alarm.
void selectAlarm(QComboBox* combo, int number);

// The alarm number of the selected entry; -1 when none is selected.
int selectedAlarm(const QComboBox* combo);

}  // namespace qx
