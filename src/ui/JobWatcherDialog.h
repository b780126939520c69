#pragma once

#include <QDialog>
#include <array>

#include "Services.h"
#include "SettingRecords.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace qx {

// "Check job files": the three watched job directories and what a left-over job file starts.
// Reads when it opens, writes only on OK.
class JobWatcherDialog : public QDialog {
    Q_OBJECT
public:
    JobWatcherDialog(Services& services, QWidget* parent = nullptr);
    void accept() override;

    JobWatcherSettings fromControls() const;

private:
    struct Slot {
        QCheckBox* check;
        QLineEdit* directory;
        QCheckBox* moveFiles;
        QLineEdit* moveDirectory;
    };
    void applyRules();

    Services& m_services;
    std::array<Slot, 3> m_slots{};
    QRadioButton* m_program;
    QRadioButton* m_alarm;
    QLineEdit* m_programField;
    QComboBox* m_alarmList;
};

}  // namespace qx
