#pragma once

#include <QDialog>

#include "ListEditorForms.h"
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
// lowest free number when it is stored) and writes only on OK, through its form (ListEditorForms.h).
class ListEditor : public QDialog {
    Q_OBJECT
public:
    // `title` and `heading` are text ids (heading 0: none).
    ListEditor(Services& services, int title, int heading, QWidget* parent);

protected:
    // The OK button's row (OK, Cancel) below `content`.
    void finish(QLayout* content);

    Services& m_services;
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

    TaskEditorForm m_form;
    QComboBox* m_day;
    QComboBox* m_hour;
    QButtonGroup* m_kind;
    QLineEdit* m_program;
    QCheckBox* m_weekParameter;
    QComboBox* m_module;
    QComboBox* m_alarm;
    QWidget* m_parameters = nullptr;
    QWidget* m_browse = nullptr;
};

// "Parameter settings": the nine texts and nine numbers of a module task.
class TaskParameterDialog : public ListEditor {
    Q_OBJECT
public:
    TaskParameterDialog(Services& services, int number, QWidget* parent = nullptr);
    void accept() override;

private:
    int m_number;
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
    DeletionEditorForm m_form;
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
    DriveEditorForm m_form;
    QLineEdit* m_drive;
    QSpinBox* m_percent;
    QComboBox* m_alarm;
};

}  // namespace qx
