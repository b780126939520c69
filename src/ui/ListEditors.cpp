#include "ListEditors.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>

#include "AlarmCombo.h"
#include "DialogTexts.h"
#include "InstallationPath.h"
#include "PathMap.h"
#include "PathPicker.h"
#include "Profile.h"
#include "ProfileWrites.h"
#include "Prompts.h"
#include "SettingsList.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

ListEditor::ListEditor(Services& services, int title, int heading, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setWindowTitle(uiText(services.strings, title));
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    if (heading) {
        auto* label = new QLabel(uiText(services.strings, heading));
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        top->addWidget(label);
    }
}

void ListEditor::finish(QLayout* content) {
    auto* top = static_cast<QVBoxLayout*>(layout());
    top->addLayout(content);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(uiText(m_services.strings, kTxtOk), QDialogButtonBox::AcceptRole);
    buttons->addButton(uiText(m_services.strings, kTxtCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

namespace {

QPushButton* browseButton(const StringTable& strings) {
    return new QPushButton(uiText(strings, kTxtBrowse));
}

void fillChoices(QComboBox* combo, const Choices& choices) {
    for (const std::string& text : choices.texts)
        combo->addItem(qs(text));
    combo->setCurrentIndex(choices.selected);
}

}  // namespace

TaskEditor::TaskEditor(Services& s, int number, QWidget* parent)
    : ListEditor(s, kTxtTaskEditorTitle, ListEditorForm(s, ListKind::TimedTasks, number).heading(), parent),
      m_form(s, number, std::filesystem::current_path()) {
    const StringTable& t = s.strings;
    const TimedTask& task = m_form.task();

    auto* form = new QVBoxLayout;
    auto* when = new QFormLayout;
    m_day = new QComboBox;
    fillChoices(m_day, {m_form.dayTexts(), task.day});
    m_hour = new QComboBox;
    fillChoices(m_hour, {TaskEditorForm::hourTexts(), task.hour});
    when->addRow(uiText(t, kTxtStartOnDay), m_day);
    when->addRow(uiText(t, kTxtStartAtTime), m_hour);
    form->addLayout(when);

    auto* grid = new QGridLayout;
    m_kind = new QButtonGroup(this);
    auto* program = new QRadioButton(uiText(t, kTxtStartProgram));
    auto* module = new QRadioButton(uiText(t, kTxtStartModule));
    auto* alarm = new QRadioButton(uiText(t, kTxtStartAlarmTask));
    m_kind->addButton(program, 0);
    m_kind->addButton(module, 1);
    m_kind->addButton(alarm, 2);

    m_program = new QLineEdit;
    m_program->setMinimumWidth(260);
    auto* browse = browseButton(t);
    connect(browse, &QPushButton::clicked, this, [this, &t] {
        QString file = pickProgram(this, uiText(t, kTxtSelectProgram),
                                   uiText(t, kTxtSelectProgramPrompt) + " (*.exe *.bat *.cmd)",
                                   m_services.paths, m_program->text());
        if (!file.isEmpty())
            m_program->setText(file);
    });
    m_weekParameter = new QCheckBox(uiText(t, kTxtWeekParameter));
    m_module = new QComboBox;
    fillChoices(m_module, m_form.modules());
    auto* parameters = new QPushButton(uiText(t, kTxtParameters));
    connect(parameters, &QPushButton::clicked, this, [this] {
        int n = m_form.storeNumber();
        if (n <= 0)
            return;
        TaskParameterDialog dialog(m_services, n, this);
        dialog.exec();
    });
    m_alarm = new QComboBox;
    fillChoices(m_alarm, m_form.alarms());

    grid->addWidget(program, 0, 0);
    grid->addWidget(m_program, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(m_weekParameter, 1, 1, 1, 2);
    grid->addWidget(module, 2, 0);
    grid->addWidget(m_module, 2, 1);
    grid->addWidget(parameters, 2, 2);
    grid->addWidget(alarm, 3, 0);
    grid->addWidget(m_alarm, 3, 1, 1, 2);
    form->addLayout(grid);

    const int type = task.type;
    m_kind->button(type)->setChecked(true);
    if (type == 0) {
        m_program->setText(qs(task.program));
        m_weekParameter->setChecked(task.weekParameter);
    }
    connect(m_kind, &QButtonGroup::idClicked, this, [this] { applyRules(); });
    m_parameters = parameters;
    m_browse = browse;
    finish(form);
    applyRules();
}

void TaskEditor::applyRules() {
    const TaskEditorEnabled on = taskEditorEnabled(m_kind->checkedId());
    m_program->setEnabled(on.program);
    m_browse->setEnabled(on.program);
    m_weekParameter->setEnabled(on.program);
    m_module->setEnabled(on.module);
    m_parameters->setEnabled(on.module);
    m_alarm->setEnabled(on.alarm);
}

void TaskEditor::accept() {
    TimedTask task;
    task.type = m_kind->checkedId();
    task.day = m_day->currentIndex();
    task.hour = m_hour->currentIndex();
    task.weekParameter = m_weekParameter->isChecked();
    task.program = ss(task.type == 0   ? m_program->text()
                      : task.type == 1 ? m_module->currentText()
                                       : m_alarm->currentText());
    if (m_form.save(task))
        QDialog::accept();
}

TaskParameterDialog::TaskParameterDialog(Services& s, int number, QWidget* parent)
    : ListEditor(s, kTxtParameterTitle, 0, parent), m_number(number) {
    const StringTable& t = s.strings;
    TaskParameters p = readTaskParameters(SettingReader(s.profile), number);
    auto* box = new QGroupBox(uiText(t, kTxtParameterBox));
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(uiText(t, kTxtTextParameters)), 0, 1);
    grid->addWidget(new QLabel(uiText(t, kTxtNumberParameters)), 0, 3);
    for (int k = 0; k < 9; ++k) {
        grid->addWidget(new QLabel(QString("s%1").arg(k + 1)), k + 1, 0);
        m_texts[k] = new QLineEdit(qs(p.texts[k]));
        m_texts[k]->setMinimumWidth(200);
        grid->addWidget(m_texts[k], k + 1, 1);
        grid->addWidget(new QLabel(QString("i%1").arg(k + 1)), k + 1, 2);
        m_numbers[k] = new QSpinBox;
        m_numbers[k]->setRange(0, 999999);
        m_numbers[k]->setValue(p.numbers[k]);
        grid->addWidget(m_numbers[k], k + 1, 3);
    }
    auto* content = new QVBoxLayout;
    content->addWidget(box);
    finish(content);
}

void TaskParameterDialog::accept() {
    TaskParameters p;
    for (int k = 0; k < 9; ++k) {
        p.texts[k] = ss(m_texts[k]->text());
        p.numbers[k] = m_numbers[k]->value();
    }
    if (saveTaskParameterForm(m_services, m_number, p))
        QDialog::accept();
}

DeletionEditor::DeletionEditor(Services& s, int number, QWidget* parent)
    : ListEditor(s, kTxtDeleteEditorTitle, ListEditorForm(s, ListKind::ExtraDeletion, number).heading(),
                 parent),
      m_form(s, number) {
    const StringTable& t = s.strings;
    const DeletionRule& rule = m_form.rule();
    auto* form = new QVBoxLayout;
    form->addWidget(new QLabel(uiText(t, kTxtDeletePath)));
    m_path = new QLineEdit(qs(rule.directory));
    m_path->setMinimumWidth(300);
    auto* browse = browseButton(t);
    connect(browse, &QPushButton::clicked, this, [this, &t] {
        QString dir = pickDirectory(this, uiText(t, kTxtSelectPath) + " - " + uiText(t, kTxtSelectPathPrompt),
                                    m_services.paths, m_path->text());
        if (!dir.isEmpty())
            m_path->setText(dir);
    });
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(browse);
    form->addLayout(pathRow);

    m_all = new QRadioButton(uiText(t, kTxtAllFilesInPath));
    m_only = new QRadioButton(uiText(t, kTxtOnlyExtension));
    auto* group = new QButtonGroup(this);
    group->addButton(m_all);
    group->addButton(m_only);
    bool all = rule.extension == "*.*";
    m_all->setChecked(all);
    m_only->setChecked(!all);
    m_pattern = new QLineEdit(all ? QString() : qs(rule.extension));
    m_pattern->setEnabled(!all);
    connect(m_only, &QRadioButton::toggled, m_pattern, &QLineEdit::setEnabled);
    form->addWidget(m_all);
    auto* patternRow = new QHBoxLayout;
    patternRow->addWidget(m_only);
    patternRow->addWidget(m_pattern, 1);
    form->addLayout(patternRow);
    auto* hint = new QLabel(uiText(t, kTxtExtensionHint));
    hint->setIndent(24);
    form->addWidget(hint);

    m_weeks = new QComboBox;
    fillChoices(m_weeks, {DeletionEditorForm::weekTexts(), DeletionEditorForm::weekIndex(rule.weeks)});
    m_weeks->setMaxVisibleItems(12);
    auto* ageRow = new QHBoxLayout;
    ageRow->addWidget(new QLabel(uiText(t, kTxtOlderThan)));
    ageRow->addWidget(m_weeks);
    ageRow->addWidget(new QLabel(uiText(t, kTxtWeeksPlural)));
    ageRow->addStretch(1);
    form->addLayout(ageRow);
    finish(form);
}

void DeletionEditor::accept() {
    DeletionRule rule;
    rule.directory = ss(m_path->text());
    rule.extension = m_all->isChecked() ? "*.*" : ss(m_pattern->text());
    rule.weeks = m_weeks->currentIndex() + 1;
    if (m_form.save(rule, std::filesystem::current_path()))
        QDialog::accept();
}

DriveEditor::DriveEditor(Services& s, int number, QWidget* parent)
    : ListEditor(s, kTxtDriveEditorTitle, ListEditorForm(s, ListKind::Drives, number).heading(), parent),
      m_form(s, number) {
    const StringTable& t = s.strings;
    const MonitoredDrive& entry = m_form.entry();
    auto* form = new QGridLayout;
    m_drive = new QLineEdit(qs(entry.drive));
    m_drive->setMaxLength(2);
    m_drive->setMaximumWidth(60);
    form->addWidget(new QLabel(uiText(t, kTxtDriveToMonitor)), 0, 0);
    form->addWidget(m_drive, 0, 1);
    form->addWidget(new QLabel(uiText(t, kTxtDriveExample)), 0, 2);
    m_percent = new QSpinBox;
    m_percent->setRange(1, 100);
    m_percent->setSuffix(" %");
    m_percent->setValue(entry.percent);
    form->addWidget(new QLabel(uiText(t, kTxtUsedSpaceReaches)), 1, 0);
    form->addWidget(m_percent, 1, 1);
    m_alarm = new QComboBox;
    m_alarm->setMinimumWidth(220);
    fillChoices(m_alarm, m_form.alarms());
    form->addWidget(new QLabel(uiText(t, kTxtStartTheAlarm)), 2, 0);
    form->addWidget(m_alarm, 2, 1, 1, 2);
    finish(form);
}

void DriveEditor::accept() {
    MonitoredDrive entry{ss(m_drive->text()), m_percent->value(), ss(m_alarm->currentText())};
    if (m_form.save(entry))
        QDialog::accept();
}

}  // namespace qx
