// The controls of the main settings dialog and their places.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <tuple>
#include <type_traits>

#include "CMoverDlg.h"
#include "Clock.h"
#include "DialogTexts.h"
#include "MainDialogRules.h"
#include "MoverIcon.h"
#include "StringTable.h"
#include "UiText.h"

namespace qx {

template <class T>
T* CMoverDlg::add(int id, T* widget) {
    m_controls[id] = widget;
    if constexpr (std::is_base_of_v<QAbstractButton, T>)
        m_buttons[id] = widget;
    if constexpr (std::is_base_of_v<QComboBox, T>)
        m_lists[id] = widget;
    widget->setObjectName(QString("c%1").arg(id));
    return widget;
}

namespace {

QHBoxLayout* row(std::initializer_list<QWidget*> widgets, bool stretch = true) {
    auto* layout = new QHBoxLayout;
    for (QWidget* w : widgets)
        layout->addWidget(w);
    if (stretch)
        layout->addStretch(1);
    return layout;
}

}  // namespace

QWidget* CMoverDlg::buildStatisticGroup() {
    const StringTable& t = m_services.strings;
    auto text = [&](int id) { return uiText(t, id); };
    auto* box = new QGroupBox(text(kTxtStatisticGroup));
    auto* v = new QVBoxLayout(box);

    auto* modes = new QButtonGroup(box);
    auto* weekly = add(ctl::kWeekly, new QRadioButton(text(ctl::kWeekly)));
    auto* monthly = add(ctl::kMonthly, new QRadioButton(text(ctl::kMonthly)));
    auto* noMove = add(ctl::kNoMove, new QRadioButton(text(ctl::kNoMove)));
    for (auto* r : {weekly, monthly, noMove})
        modes->addButton(r);
    v->addLayout(row({new QLabel(text(kTxtMoveFiles)), weekly, monthly, noMove}));

    auto* wait = m_fields.waitList = add(ctl::kWaitList, new QComboBox);
    wait->setMaxVisibleItems(12);
    m_fields.waitUnit = add(ctl::kWaitUnit, new QLabel(text(kStrWeeks)));
    v->addLayout(
        row({add(ctl::kDelLogFiles, new QCheckBox(text(ctl::kDelLogFiles))), wait, m_fields.waitUnit}));
    v->addLayout(row({add(ctl::kTestMove, new QPushButton(text(ctl::kTestMove))),
                      add(ctl::kTestDelete, new QPushButton(text(ctl::kTestDelete)))}));
    v->addSpacing(6);
    v->addLayout(row({add(ctl::kDeleteMoreFiles, new QCheckBox(text(ctl::kDeleteMoreFiles))),
                      add(ctl::kDeleteMoreSettings, new QPushButton(text(ctl::kDeleteMoreSettings)))}));
    v->addLayout(row({add(ctl::kStart2ndBatch, new QCheckBox(text(ctl::kStart2ndBatch))),
                      add(ctl::kEditBatch, new QPushButton(text(ctl::kEditBatch))),
                      add(ctl::kTestBatch, new QPushButton(text(ctl::kTestBatch)))}));
    v->addSpacing(6);
    v->addLayout(row({add(ctl::kPrintReport, new QCheckBox(text(ctl::kPrintReport)))}));
    auto* period = new QButtonGroup(box);
    auto* printWeekly = add(ctl::kPrintWeekly, new QRadioButton(text(ctl::kPrintWeekly)));
    auto* printDaily = add(ctl::kPrintDaily, new QRadioButton(text(ctl::kPrintDaily)));
    period->addButton(printWeekly);
    period->addButton(printDaily);
    auto* printRow =
        row({printWeekly, printDaily, add(ctl::kPrintNow, new QPushButton(text(ctl::kPrintNow)))});
    printRow->insertSpacing(0, 20);
    v->addLayout(printRow);
    v->addSpacing(6);
    v->addLayout(row({add(ctl::kConference, new QCheckBox(text(ctl::kConference))),
                      add(ctl::kConferenceSettings, new QPushButton(text(ctl::kConferenceSettings)))}));
    auto* alarmWeeks = m_fields.alarmWeeks = add(ctl::kDelAlarmWavList, new QComboBox);
    alarmWeeks->setMaxVisibleItems(12);
    for (const auto& entry : waitEntries(1))
        alarmWeeks->addItem(qs(entry));
    v->addLayout(row({add(ctl::kDelAlarmWav, new QCheckBox(text(ctl::kDelAlarmWav))), alarmWeeks,
                      new QLabel(text(kStrWeeks))}));
    v->addStretch(1);
    auto* picture = add(ctl::kPicture, new QLabel);
    picture->setPixmap(moverIcon().pixmap(48, 48));
    v->addLayout(row({picture}));
    return box;
}

QWidget* CMoverDlg::buildMonitorGroup() {
    const StringTable& t = m_services.strings;
    auto text = [&](int id) { return uiText(t, id); };
    auto* box = new QGroupBox(text(kTxtHarddiskGroup));
    auto* v = new QVBoxLayout(box);

    auto* hours = m_fields.checkHour = add(ctl::kCheckHour, new QComboBox);
    for (int h = 0; h < 24; ++h)
        hours->addItem(QString::asprintf("%02d", h));
    hours->setMaxVisibleItems(12);
    v->addLayout(
        row({add(ctl::kHdActive, new QCheckBox(text(ctl::kHdActive))), hours, new QLabel(text(kTxtOclock))}));
    auto* drives = m_fields.driveList = add(ctl::kDriveList, new QLabel);
    drives->setMinimumWidth(90);
    v->addLayout(row({add(ctl::kDrivesLabel, new QLabel(text(ctl::kDrivesLabel))), drives,
                      add(ctl::kSelectDrives, new QPushButton(text(ctl::kSelectDrives))),
                      add(ctl::kExtendedMonitor, new QPushButton(text(ctl::kExtendedMonitor)))}));
    auto* limitLabel = add(ctl::kMinSpaceLabel, new QLabel(text(ctl::kMinSpaceLabel)));
    v->addLayout(row({limitLabel}));
    auto* space = m_fields.minSpace = add(ctl::kMinSpace, new QSpinBox);
    space->setRange(0, 99999999);
    v->addLayout(row({space, add(ctl::kMbLabel, new QLabel(text(ctl::kMbLabel)))}));

    auto* grid = new QGridLayout;
    const std::tuple<int, int, QLineEdit**> options[] = {
        {ctl::kDialPhone, ctl::kPhoneNumber, &m_fields.phoneNumber},
        {ctl::kSendSms, ctl::kSmsNumber, &m_fields.smsNumber},
        {ctl::kStartBatch, ctl::kBatchProg, &m_fields.batchProg}};
    int r = 0;
    for (auto [check, field, member] : options) {
        grid->addWidget(add(check, new QCheckBox(text(check))), r, 0);
        auto* edit = *member = add(field, new QLineEdit);
        edit->setMinimumWidth(220);
        grid->addWidget(edit, r++, 1);
    }
    grid->addWidget(add(ctl::kStartAlarm, new QCheckBox(text(ctl::kStartAlarm))), r, 0);
    auto* alarms = m_fields.alarmList = add(ctl::kAlarmList, new QComboBox);
    alarms->setMinimumWidth(220);
    alarms->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    grid->addWidget(alarms, r, 1);
    grid->setColumnStretch(1, 1);
    v->addLayout(grid);
    v->addStretch(1);
    return box;
}

QWidget* CMoverDlg::buildBackupGroup() {
    const StringTable& t = m_services.strings;
    auto* box = new QGroupBox(uiText(t, kTxtBackupGroup));
    auto* v = new QVBoxLayout(box);
    v->addWidget(add(ctl::kBackupActive, new QCheckBox(uiText(t, ctl::kBackupActive))));
    v->addWidget(m_fields.backupPath = add(ctl::kBackupPath, new QLineEdit));
    return box;
}

QWidget* CMoverDlg::buildButtonRow() {
    const StringTable& t = m_services.strings;
    auto* bar = new QWidget;
    auto* h = new QHBoxLayout(bar);
    h->setContentsMargins(0, 0, 0, 0);
    for (int id : {ctl::kStartTasks, ctl::kCheckJobFiles, ctl::kWatchDog, ctl::kAbout})
        h->addWidget(add(id, new QPushButton(uiText(t, id))));
    h->addStretch(1);
    m_busyLabel = new QLabel(uiText(t, kTxtWorking));
    m_busyLabel->setObjectName("busy");
    m_busyLabel->setVisible(false);
    h->addWidget(m_busyLabel);
    h->addStretch(1);
    auto* cancel = add(ctl::kCancel, new QPushButton(uiText(t, ctl::kCancel)));
    auto* save = m_fields.save = add(ctl::kSave, new QPushButton(uiText(t, ctl::kSave)));
    save->setDefault(true);
    h->addWidget(cancel);
    h->addWidget(save);
    return bar;
}

void CMoverDlg::build() {
    const StringTable& t = m_services.strings;
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);

    auto* menuBar = new QMenuBar;
    QMenu* window = menuBar->addMenu(uiText(t, kTxtWindowMenu));
    QString about = uiText(t, kStrAbout);
    if (!about.isEmpty())
        connect(window->addAction(about), &QAction::triggered, this, [this] { openSubDialog(ctl::kAbout); });
    top->setMenuBar(menuBar);

    auto* columns = new QHBoxLayout;
    columns->addWidget(buildStatisticGroup(), 0);
    auto* right = new QVBoxLayout;
    auto* clock = m_fields.clock = add(ctl::kClock, new QLabel);
    auto* week = m_fields.week = add(ctl::kWeek, new QLabel);
    auto* clockRow = new QHBoxLayout;
    clockRow->addStretch(1);
    clockRow->addWidget(clock);
    clockRow->addSpacing(16);
    clockRow->addWidget(week);
    right->addLayout(clockRow);
    right->addWidget(buildMonitorGroup(), 1);
    right->addWidget(buildBackupGroup());
    columns->addLayout(right, 1);
    top->addLayout(columns);
    top->addWidget(buildButtonRow());
    // Return saves, wherever the focus is: no other button takes over as the default when it has the
    // focus (the first button, "Test move", has it when the dialog opens).
    for (auto* pushButton : findChildren<QPushButton*>())
        pushButton->setAutoDefault(pushButton == m_fields.save);
}

}  // namespace qx
