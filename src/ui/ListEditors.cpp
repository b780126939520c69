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

ListEditor::ListEditor(Services& services, int number, int title, int heading, QWidget* parent)
    : QDialog(parent), m_services(services), m_number(number) {
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

int ListEditor::storeNumber(ListKind kind) {
    if (m_number > 0)
        return m_number;
    std::optional<int> free = SettingsList(m_services.profile, kind).newEntryNumber();
    if (!free) {
        // Filled up while this editor was open.
        m_services.prompts.warn(m_services.strings.get(kTxtListFull),
                                m_services.strings.get(kStrErrorCaption));
        return 0;
    }
    m_number = *free;
    return m_number;
}

namespace {

int headingFor(ListKind kind, int number) {
    const ListLayout& table = listLayout(kind);
    return number > 0 ? table.editHeading : table.addHeading;
}

QPushButton* browseButton(const StringTable& strings) {
    return new QPushButton(uiText(strings, kTxtBrowse));
}

}  // namespace

TaskEditor::TaskEditor(Services& s, int number, QWidget* parent)
    : ListEditor(s, number, kTxtTaskEditorTitle, headingFor(ListKind::TimedTasks, number), parent) {
    const StringTable& t = s.strings;
    TimedTask task = number > 0 ? readTimedTask(s.profile, number) : TimedTask{};

    auto* form = new QVBoxLayout;
    auto* when = new QFormLayout;
    m_day = new QComboBox;
    for (int day = 0; day <= 8; ++day)
        m_day->addItem(uiString(dayText(t, day)));
    m_day->setCurrentIndex(task.day >= 0 && task.day <= 8 ? task.day : 0);
    m_hour = new QComboBox;
    for (int h = 0; h < 24; ++h)
        m_hour->addItem(QString::asprintf("%02d:00", h));
    m_hour->setCurrentIndex(task.hour >= 0 && task.hour < 24 ? task.hour : 0);
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
    for (const auto& name : moduleNames(std::filesystem::current_path()))
        m_module->addItem(qs(name));
    auto* parameters = new QPushButton(uiText(t, kTxtParameters));
    connect(parameters, &QPushButton::clicked, this, [this] {
        int n = storeNumber(ListKind::TimedTasks);
        if (n <= 0)
            return;
        TaskParameterDialog dialog(m_services, n, this);
        dialog.exec();
    });
    m_alarm = new QComboBox;
    fillAlarmCombo(m_alarm, alarmChoices(s), " ");

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

    int type = task.type >= 0 && task.type <= 2 ? task.type : 0;
    m_kind->button(type)->setChecked(true);
    if (type == 0) {
        m_program->setText(qs(task.program));
        m_weekParameter->setChecked(task.weekParameter);
    } else {
        // A stored module or alarm that is not offered (any more) stays the task's choice.
        QComboBox* choice = type == 1 ? m_module : m_alarm;
        int index = choice->findText(qs(task.program));
        if (index < 0 && type == 2)
            index = choice->findData(std::atoi(task.program.c_str()));
        if (index < 0 && !task.program.empty()) {
            choice->addItem(qs(task.program));
            index = choice->count() - 1;
        }
        choice->setCurrentIndex(index);
    }
    connect(m_kind, &QButtonGroup::idClicked, this, [this] { applyRules(); });
    connect(m_kind, &QButtonGroup::idClicked, this,
            [parameters, this] { parameters->setEnabled(m_kind->checkedId() == 1); });
    parameters->setEnabled(type == 1);
    finish(form);
    applyRules();
}

void TaskEditor::applyRules() {
    int kind = m_kind->checkedId();
    m_program->setEnabled(kind == 0);
    m_weekParameter->setEnabled(kind == 0);
    m_module->setEnabled(kind == 1);
    m_alarm->setEnabled(kind == 2);
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
    // An entry without a program would end the list for every entry after it.
    if (task.program.empty())
        return;
    Services& s = m_services;
    const int n = storeNumber(ListKind::TimedTasks);
    if (n > 0 && savedOrWarned(writeTimedTask(s.profile, n, task), s.prompts, s.strings))
        QDialog::accept();
}

TaskParameterDialog::TaskParameterDialog(Services& s, int number, QWidget* parent)
    : ListEditor(s, number, kTxtParameterTitle, 0, parent) {
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
    Services& s = m_services;
    if (savedOrWarned(writeTaskParameters(s.profile, m_number, p), s.prompts, s.strings))
        QDialog::accept();
}

DeletionEditor::DeletionEditor(Services& s, int number, QWidget* parent)
    : ListEditor(s, number, kTxtDeleteEditorTitle, headingFor(ListKind::ExtraDeletion, number), parent) {
    const StringTable& t = s.strings;
    DeletionRule rule = number > 0 ? readDeletionRule(s.profile, number) : DeletionRule{};
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
    for (int w = 1; w <= 51; ++w)
        m_weeks->addItem(QString::number(w));
    m_weeks->setMaxVisibleItems(12);
    m_weeks->setCurrentIndex(rule.weeks >= 1 && rule.weeks <= 51 ? rule.weeks - 1 : 0);
    auto* ageRow = new QHBoxLayout;
    ageRow->addWidget(new QLabel(uiText(t, kTxtOlderThan)));
    ageRow->addWidget(m_weeks);
    ageRow->addWidget(new QLabel(uiText(t, kTxtWeeksPlural)));
    ageRow->addStretch(1);
    form->addLayout(ageRow);
    finish(form);
}

void DeletionEditor::accept() {
    Services& s = m_services;
    DeletionRule rule;
    rule.directory = ss(m_path->text());
    rule.extension = m_all->isChecked() ? "*.*" : ss(m_pattern->text());
    rule.weeks = m_weeks->currentIndex() + 1;
    if (rule.directory.empty() || rule.extension.empty())
        return;
    if (namesDirectory(s.paths, rule.directory, std::filesystem::current_path())) {
        s.prompts.warn(s.strings.format(kTxtOwnDirectoryWarning, rule.directory),
                       s.strings.get(kStrErrorCaption));
        return;
    }
    if (!s.prompts.ask(deletionQuestion(s.strings, rule), s.strings.get(kStrConfirmCaption)))
        return;
    const int n = storeNumber(ListKind::ExtraDeletion);
    if (n > 0 && savedOrWarned(writeDeletionRule(s.profile, n, rule), s.prompts, s.strings))
        QDialog::accept();
}

DriveEditor::DriveEditor(Services& s, int number, QWidget* parent)
    : ListEditor(s, number, kTxtDriveEditorTitle, headingFor(ListKind::Drives, number), parent) {
    const StringTable& t = s.strings;
    MonitoredDrive entry = number > 0 ? readMonitoredDrive(s.profile, number) : MonitoredDrive{};
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
    m_percent->setValue(entry.percent >= 1 && entry.percent <= 100 ? entry.percent : 90);
    form->addWidget(new QLabel(uiText(t, kTxtUsedSpaceReaches)), 1, 0);
    form->addWidget(m_percent, 1, 1);
    m_alarm = new QComboBox;
    m_alarm->setMinimumWidth(220);
    fillAlarmCombo(m_alarm, alarmChoices(s));
    int index = m_alarm->findText(qs(entry.alarm));
    if (index < 0 && !entry.alarm.empty()) {
        m_alarm->addItem(qs(entry.alarm));
        index = m_alarm->count() - 1;
    }
    m_alarm->setCurrentIndex(index);
    form->addWidget(new QLabel(uiText(t, kTxtStartTheAlarm)), 2, 0);
    form->addWidget(m_alarm, 2, 1, 1, 2);
    finish(form);
}

void DriveEditor::accept() {
    std::string drive = ss(m_drive->text());
    if (!validDriveText(drive))
        return;
    MonitoredDrive entry{drive, m_percent->value(), ss(m_alarm->currentText())};
    Services& s = m_services;
    const int n = storeNumber(ListKind::Drives);
    if (n > 0 && savedOrWarned(writeMonitoredDrive(s.profile, n, entry), s.prompts, s.strings))
        QDialog::accept();
}

}  // namespace qx
