#pragma once

#include <QDialog>

#include "ListEntries.h"
#include "Services.h"
#include "SettingsList.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace qx {

// The editors of one list entry. Each is opened for entry `number` (0: a new entry, which takes the
// lowest free number when it is stored) and writes only on OK.
class ListEditor : public QDialog {
    Q_OBJECT
public:
    ListEditor(Services& services, int number, int title, int heading, QWidget* parent);

    // The entry number the editor writes to (a new entry's number is chosen at OK).
    int number() const { return m_number; }

protected:
    // The OK button's row (OK, Cancel) below `content`.
    void finish(QLayout* content);
    // The entry number to write: a new entry's is chosen now; 0, after telling the user, when the list
    // is full.
    int storeNumber(ListKind kind);

    Services& m_services;
    int m_number;
};

// "Task settings": day, hour and one of program, QXE module or alarm.
class TaskEditor : public ListEditor {
    Q_OBJECT
public:
    TaskEditor(Services& services, int number, QWidget* parent = nullptr);
    void accept() override;

    QComboBox* dayList() const { return m_day; }
    QLineEdit* programField() const { return m_program; }

private:
    void applyRules();

    QComboBox* m_day;
    QComboBox* m_hour;
    QButtonGroup* m_kind;
    QLineEdit* m_program;
    QCheckBox* m_weekParameter;
    QComboBox* m_module;
    QComboBox* m_alarm;
};

// "Parameter settings": the nine texts and nine numbers of a module task.
class TaskParameterDialog : public ListEditor {
    Q_OBJECT
public:
    TaskParameterDialog(Services& services, int number, QWidget* parent = nullptr);
    void accept() override;

private:
    std::array<QLineEdit*, 9> m_texts{};
    std::array<QSpinBox*, 9> m_numbers{};
};

// "Delete settings": path, all files or a pattern, age in weeks. Refuses the working directory.
class DeletionEditor : public ListEditor {
    Q_OBJECT
public:
    DeletionEditor(Services& services, int number, QWidget* parent = nullptr);
    void accept() override;

    QLineEdit* pathField() const { return m_path; }
    QComboBox* weeksList() const { return m_weeks; }

private:
    QLineEdit* m_path;
    QRadioButton* m_all;
    QRadioButton* m_only;
    QLineEdit* m_pattern;
    QComboBox* m_weeks;
};

// "Drive monitor settings": drive, used-space percentage and alarm. Refuses a drive text that is not
// a letter and a colon, silently.
class DriveEditor : public ListEditor {
    Q_OBJECT
public:
    DriveEditor(Services& services, int number, QWidget* parent = nullptr);
    void accept() override;

    QLineEdit* driveField() const { return m_drive; }
    QSpinBox* percentField() const { return m_percent; }

private:
    QLineEdit* m_drive;
    QSpinBox* m_percent;
    QComboBox* m_alarm;
};

}  // namespace qx
