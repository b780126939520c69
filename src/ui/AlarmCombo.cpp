#include "AlarmCombo.h"

#include <QComboBox>

#include "MainDialogRules.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

void fillAlarmCombo(QComboBox* combo, const std::vector<AlarmListEntry>& alarms,
                    const std::string& separator) {
    combo->clear();
    const std::vector<std::string> texts = alarmChoiceTexts(alarms, separator);
    for (std::size_t i = 0; i < alarms.size(); ++i)
        combo->addItem(qs(texts[i]), alarms[i].number);
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
