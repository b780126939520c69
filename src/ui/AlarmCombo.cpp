#include "AlarmCombo.h"

#include <QComboBox>

#include "MainDialogRules.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

std::vector<AlarmListEntry> alarmChoices(Services& s) {
    auto alarms = readAlarmList(s.profile, s.paths, s.prompts, s.strings);
    return alarms ? *alarms : std::vector<AlarmListEntry>{};
}

void fillAlarmCombo(QComboBox* combo, const std::vector<AlarmListEntry>& alarms,
                    const std::string& separator) {
    combo->clear();
    for (const AlarmListEntry& alarm : alarms)
        combo->addItem(qs(std::to_string(alarm.number) + separator + alarm.name), alarm.number);
    combo->setCurrentIndex(-1);
}

void selectAlarm(QComboBox* combo, int number) {
    combo->setCurrentIndex(combo->findData(number));
}

int selectedAlarm(const QComboBox* combo) {
    if (combo->currentIndex() < 0)
        return -1;
    return alarmNumberOf(ss(combo->currentText()));
}

}  // namespace qx
