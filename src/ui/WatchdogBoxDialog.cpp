#include "WatchdogBoxDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "AlarmCombo.h"
#include "DialogTexts.h"
#include "OperationRunner.h"
#include "Profile.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

WatchdogBoxDialog::WatchdogBoxDialog(Services& s, QWidget* parent) : QDialog(parent), m_services(s) {
    const StringTable& t = s.strings;
    auto text = [&](int id) { return uiText(t, id); };
    setWindowTitle(text(kTxtWatchdogTitle));
    WatchdogBoxSettings w = readWatchdogBox(SettingReader(s.profile));
    std::vector<AlarmListEntry> alarms = alarmChoices(s);

    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    auto* box = new QGroupBox(text(kTxtWatchdogBox));
    auto* grid = new QGridLayout(box);
    int r = 0;

    m_active = new QCheckBox(text(kTxtCallNumber));
    m_number = new QLineEdit(qs(w.numberToDial));
    m_interval = new QComboBox;
    for (std::size_t i = 0; i < kWatchdogIntervals.size(); ++i)
        m_interval->addItem(uiString(intervalText(t, static_cast<int>(i))));
    m_interval->setMaxVisibleItems(12);
    m_interval->setCurrentIndex(intervalIndex(w.interval));
    auto* callRow = new QHBoxLayout;
    callRow->addWidget(m_number, 1);
    callRow->addWidget(new QLabel(text(kTxtEvery)));
    callRow->addWidget(m_interval);
    grid->addWidget(m_active, r, 0);
    grid->addLayout(callRow, r++, 1);

    m_alarmOnNoAnswer = new QCheckBox(text(kTxtAlarmNoAnswer));
    m_noAnswerAlarm = new QComboBox;
    m_noAnswerAlarm->setMinimumWidth(240);
    fillAlarmCombo(m_noAnswerAlarm, alarms);
    selectAlarm(m_noAnswerAlarm, w.startAlarmOnNoAnswer);
    grid->addWidget(m_alarmOnNoAnswer, r, 0);
    grid->addWidget(m_noAnswerAlarm, r++, 1);

    m_sendCode = new QCheckBox(text(kTxtSendCode));
    m_sendCodeText = new QLineEdit(qs(w.sendCode));
    grid->addWidget(m_sendCode, r++, 0, 1, 2);
    auto* sendRow = new QHBoxLayout;
    sendRow->addSpacing(20);
    sendRow->addWidget(new QLabel(text(kTxtCode)));
    sendRow->addWidget(m_sendCodeText);
    sendRow->addStretch(1);
    grid->addLayout(sendRow, r++, 0, 1, 2);

    m_getCode = new QCheckBox(text(kTxtGetCode));
    m_confCode = new QLineEdit(qs(w.confCode));
    grid->addWidget(m_getCode, r++, 0, 1, 2);
    auto* getRow = new QHBoxLayout;
    getRow->addSpacing(20);
    getRow->addWidget(new QLabel(text(kTxtCode)));
    getRow->addWidget(m_confCode);
    getRow->addStretch(1);
    grid->addLayout(getRow, r++, 0, 1, 2);
    m_noCodeAlarm = new QComboBox;
    fillAlarmCombo(m_noCodeAlarm, alarms);
    selectAlarm(m_noCodeAlarm, w.alarmOnNoConf);
    grid->addWidget(new QLabel(text(kTxtAlarmNoCode)), r, 0);
    grid->addWidget(m_noCodeAlarm, r++, 1);

    m_writeWarning = new QCheckBox(text(kTxtWriteWarning));
    m_warning = new QLineEdit(qs(w.warningMessage));
    grid->addWidget(m_writeWarning, r++, 0, 1, 2);
    grid->addWidget(new QLabel(text(kTxtWarningMessage)), r, 0);
    grid->addWidget(m_warning, r++, 1);
    top->addWidget(box);

    m_active->setChecked(w.active);
    m_alarmOnNoAnswer->setChecked(w.startAlarmActive);
    m_sendCode->setChecked(w.sendConfCode);
    m_getCode->setChecked(w.getConfCode);
    m_writeWarning->setChecked(w.writeWarning);
    for (QCheckBox* check : {m_active, m_alarmOnNoAnswer, m_sendCode, m_getCode, m_writeWarning})
        connect(check, &QCheckBox::toggled, this, [this] { applyRules(); });
    applyRules();

    auto* buttons = new QHBoxLayout;
    auto* test = new QPushButton(text(kTxtTestCall));
    auto* log = new QPushButton(text(kTxtLogfile));
    auto* save = new QPushButton(text(kTxtSave));
    auto* cancel = new QPushButton(text(kTxtCancel));
    save->setDefault(true);
    buttons->addWidget(test);
    buttons->addWidget(log);
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    top->addLayout(buttons);
    // The call waits for the job queue program: beside the window's thread, so that it stays usable.
    m_runner = new OperationRunner(this);
    connect(test, &QPushButton::clicked, this, [this] {
        std::string number = ss(m_number->text());
        Services& services = m_services;
        m_runner->start([&services, number] { testWatchdogCall(services, number); });
    });
    connect(m_runner, &OperationRunner::busyChanged, test, [test](bool busy) { test->setEnabled(!busy); });
    connect(log, &QPushButton::clicked, this, [this] { openWatchdogLog(m_services); });
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void WatchdogBoxDialog::applyRules() {
    WatchdogBoxSettings switches;
    switches.active = m_active->isChecked();
    switches.startAlarmActive = m_alarmOnNoAnswer->isChecked();
    switches.sendConfCode = m_sendCode->isChecked();
    switches.getConfCode = m_getCode->isChecked();
    switches.writeWarning = m_writeWarning->isChecked();
    const WatchdogBoxEnabled on = watchdogBoxEnabled(switches);
    m_number->setEnabled(on.number);
    m_interval->setEnabled(on.interval);
    m_noAnswerAlarm->setEnabled(on.noAnswerAlarm);
    m_sendCodeText->setEnabled(on.sendCode);
    m_confCode->setEnabled(on.confCode);
    m_noCodeAlarm->setEnabled(on.noCodeAlarm);
    m_warning->setEnabled(on.warning);
}

WatchdogBoxSettings WatchdogBoxDialog::fromControls() const {
    WatchdogBoxSettings w = readWatchdogBox(SettingReader(m_services.profile));
    w.active = m_active->isChecked();
    w.numberToDial = ss(m_number->text());
    if (m_interval->currentIndex() >= 0)
        w.interval = kWatchdogIntervals[m_interval->currentIndex()];
    w.startAlarmActive = m_alarmOnNoAnswer->isChecked();
    w.startAlarmOnNoAnswer = selectedAlarm(m_noAnswerAlarm);
    w.sendConfCode = m_sendCode->isChecked();
    w.sendCode = ss(m_sendCodeText->text());
    w.getConfCode = m_getCode->isChecked();
    w.confCode = ss(m_confCode->text());
    w.alarmOnNoConf = selectedAlarm(m_noCodeAlarm);
    w.writeWarning = m_writeWarning->isChecked();
    w.warningMessage = ss(m_warning->text());
    return w;
}

void WatchdogBoxDialog::testCall() {
    testWatchdogCall(m_services, ss(m_number->text()));
}

void WatchdogBoxDialog::accept() {
    if (saveWatchdogBox(m_services, fromControls()))
        QDialog::accept();
}

}  // namespace qx
