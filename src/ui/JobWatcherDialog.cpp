#include "JobWatcherDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "AlarmCombo.h"
#include "DialogTexts.h"
#include "JobWatcherForm.h"
#include "PathMap.h"
#include "PathPicker.h"
#include "Profile.h"
#include "ProfileWrites.h"
#include "Prompts.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

JobWatcherDialog::JobWatcherDialog(Services& s, QWidget* parent) : QDialog(parent), m_services(s) {
    const StringTable& t = s.strings;
    auto text = [&](int id) { return uiText(t, id); };
    setWindowTitle(text(kTxtJobWatcherTitle));
    JobWatcherSettings w = readJobWatcher(s.profile);

    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    auto* box = new QGroupBox(text(kTxtJobWatcherBox));
    auto* v = new QVBoxLayout(box);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        Slot& slot = m_slots[i];
        const JobSlot& stored = w.directories[i];
        auto* slotBox = new QGroupBox(uiString(t.format(kTxtJobSlot, std::to_string(i + 1))));
        auto* grid = new QGridLayout(slotBox);
        slot.check = new QCheckBox(text(kTxtWatchJobDir));
        slot.directory = new QLineEdit(qs(stored.directory));
        slot.moveFiles = new QCheckBox(text(kTxtMoveJobFiles));
        slot.moveDirectory = new QLineEdit(qs(stored.moveDirectory));
        grid->addWidget(slot.check, 0, 0);
        grid->addWidget(withFolderPicker(slot.directory, text(kTxtSelectPath), s.paths), 0, 1);
        grid->addWidget(slot.moveFiles, 1, 0, 1, 2);
        grid->addWidget(new QLabel(text(kTxtMoveToDir)), 2, 0);
        grid->addWidget(withFolderPicker(slot.moveDirectory, text(kTxtSelectPath), s.paths), 2, 1);
        slot.check->setChecked(stored.watched);
        slot.moveFiles->setChecked(stored.moveFiles);
        for (QCheckBox* c : {slot.check, slot.moveFiles})
            connect(c, &QCheckBox::toggled, this, [this] { applyRules(); });
        v->addWidget(slotBox);
    }

    auto* reaction = new QGridLayout;
    reaction->addWidget(new QLabel(text(kTxtOnLeftOverJob)), 0, 0, 1, 2);
    m_program = new QRadioButton(text(kTxtOnErrorProgram));
    m_alarm = new QRadioButton(text(kTxtOnErrorAlarm));
    m_programField = new QLineEdit(qs(w.startOnErrorProgram));
    m_alarmList = new QComboBox;
    m_alarmList->setMinimumWidth(240);
    fillAlarmCombo(m_alarmList, alarmChoices(s));
    selectAlarm(m_alarmList, w.startOnErrorAlarm);
    reaction->addWidget(m_program, 1, 0);
    reaction->addWidget(m_programField, 1, 1);
    reaction->addWidget(m_alarm, 2, 0);
    reaction->addWidget(m_alarmList, 2, 1);
    (w.startOnErrorType == 1 ? m_alarm : m_program)->setChecked(true);
    connect(m_program, &QRadioButton::toggled, this, [this] { applyRules(); });
    v->addLayout(reaction);
    top->addWidget(box);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(text(kTxtOk), QDialogButtonBox::AcceptRole);
    buttons->addButton(text(kTxtCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
    applyRules();
}

void JobWatcherDialog::applyRules() {
    JobWatcherSettings switches;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        switches.directories[i].watched = m_slots[i].check->isChecked();
        switches.directories[i].moveFiles = m_slots[i].moveFiles->isChecked();
    }
    switches.startOnErrorType = m_alarm->isChecked() ? 1 : 0;
    const JobWatcherEnabled on = jobWatcherEnabled(switches);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        Slot& slot = m_slots[i];
        slot.directory->parentWidget()->setEnabled(on.directories[i].directory);
        slot.moveFiles->setEnabled(on.directories[i].moveFiles);
        slot.moveDirectory->parentWidget()->setEnabled(on.directories[i].moveDirectory);
    }
    m_programField->setEnabled(on.program);
    m_alarmList->setEnabled(on.alarm);
}

JobWatcherSettings JobWatcherDialog::fromControls() const {
    JobWatcherSettings w;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        const Slot& slot = m_slots[i];
        w.directories[i] = {slot.check->isChecked(), ss(slot.directory->text()), slot.moveFiles->isChecked(),
                            ss(slot.moveDirectory->text())};
    }
    w.startOnErrorType = m_alarm->isChecked() ? 1 : 0;
    w.startOnErrorProgram = ss(m_programField->text());
    w.startOnErrorAlarm = selectedAlarm(m_alarmList);
    return w;
}

void JobWatcherDialog::accept() {
    if (saveJobWatcher(m_services, fromControls()))
        QDialog::accept();
}

}  // namespace qx
