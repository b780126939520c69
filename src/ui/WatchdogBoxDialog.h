#pragma once

#include <QDialog>

#include "Services.h"
#include "WatchdogBoxForm.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qx {

class OperationRunner;

// "Watchdog-box settings": the watchdog box call of [WatchDog] in qxalarm.ini, with "Test call" and
// "Logfile". Reads when it opens, writes only on Save.
class WatchdogBoxDialog : public QDialog {
    Q_OBJECT
public:
    WatchdogBoxDialog(Services& services, QWidget* parent = nullptr);
    void accept() override;

    WatchdogBoxSettings fromControls() const;
    QComboBox* intervalList() const { return m_interval; }
    QLineEdit* numberField() const { return m_number; }
    // "Test call" with the number of the field, on the calling thread (the button runs it beside it).
    void testCall();

private:
    void applyRules();

    Services& m_services;
    OperationRunner* m_runner = nullptr;
    QCheckBox* m_active;
    QLineEdit* m_number;
    QComboBox* m_interval;
    QCheckBox* m_alarmOnNoAnswer;
    QComboBox* m_noAnswerAlarm;
    QCheckBox* m_sendCode;
    QLineEdit* m_sendCodeText;
    QCheckBox* m_getCode;
    QLineEdit* m_confCode;
    QComboBox* m_noCodeAlarm;
    QCheckBox* m_writeWarning;
    QLineEdit* m_warning;
};

}  // namespace qx
