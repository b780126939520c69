#include "CMoverDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "AboutBox.h"
#include "ActivityLog.h"
#include "CAlarmTable.h"
#include "Clock.h"
#include "CodePage.h"
#include "ConferenceDialog.h"
#include "DialogTexts.h"
#include "DriveSelectionDialog.h"
#include "FileOperations.h"
#include "JobWatcherDialog.h"
#include "MainDialogRules.h"
#include "ManualOperations.h"
#include "MoverIcon.h"
#include "OperationRunner.h"
#include "Profile.h"
#include "Prompts.h"
#include "SettingsListDialog.h"
#include "SharedState.h"
#include "StringTable.h"
#include "UiText.h"
#include "WatchdogBoxDialog.h"
#include "WeekTimer.h"

namespace qx {

CMoverDlg::CMoverDlg(Services& services, DialogJobs jobs, QWidget* parent)
    : QDialog(parent), m_services(services), m_jobs(std::move(jobs)) {
    setWindowTitle(uiText(services.strings, kStrTitle));
    setWindowIcon(moverIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_runner = new OperationRunner(this);
    connect(m_runner, &OperationRunner::busyChanged, this, &CMoverDlg::setBusy);
    // The alarm names of the lists are filled before the first load: their code page first.
    applyCodePage();
    build();
    connectRules();
    fillAlarmList();
    load();
    m_clockTimer = new QTimer(this);
    connect(m_clockTimer, &QTimer::timeout, this, &CMoverDlg::tick);
    m_clockTimer->start(1000);
    tick();
}

CMoverDlg::~CMoverDlg() {
    m_runner->wait();
}

QWidget* CMoverDlg::control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QAbstractButton* CMoverDlg::button(int id) const {
    auto it = m_buttons.find(id);
    return it == m_buttons.end() ? nullptr : it->second;
}

QComboBox* CMoverDlg::list(int id) const {
    auto it = m_lists.find(id);
    return it == m_lists.end() ? nullptr : it->second;
}

void CMoverDlg::connectRules() {
    for (int id : {ctl::kDelLogFiles, ctl::kStart2ndBatch, ctl::kPrintReport, ctl::kConference,
                   ctl::kDelAlarmWav, ctl::kDeleteMoreFiles, ctl::kBackupActive, ctl::kDialPhone,
                   ctl::kSendSms, ctl::kStartBatch, ctl::kStartAlarm, ctl::kHdActive})
        connect(button(id), &QAbstractButton::clicked, this, [this] { applyRules(); });
    connect(button(ctl::kWeekly), &QAbstractButton::clicked, this, [this] { chooseMoveMode(1); });
    connect(button(ctl::kMonthly), &QAbstractButton::clicked, this, [this] { chooseMoveMode(2); });
    connect(button(ctl::kNoMove), &QAbstractButton::clicked, this, [this] { chooseMoveMode(0); });
    // The wait takes effect for the mover at once, before any save.
    connect(m_fields.waitList, &QComboBox::activated, this,
            [this](int index) { m_services.state.waitBeforeDel = index + 1; });

    for (int id : {ctl::kTestMove, ctl::kTestDelete, ctl::kTestBatch, ctl::kEditBatch, ctl::kPrintNow})
        connect(button(id), &QAbstractButton::clicked, this, [this, id] { runOperation(id); });
    for (int id : {ctl::kConferenceSettings, ctl::kDeleteMoreSettings, ctl::kSelectDrives,
                   ctl::kExtendedMonitor, ctl::kStartTasks, ctl::kCheckJobFiles, ctl::kWatchDog, ctl::kAbout})
        connect(button(id), &QAbstractButton::clicked, this, [this, id] { openSubDialog(id); });
    connect(button(ctl::kCancel), &QAbstractButton::clicked, this, [this] { minimise(); });
    connect(button(ctl::kSave), &QAbstractButton::clicked, this, [this] { save(); });
}

void CMoverDlg::applyRules() {
    std::set<int> checked;
    for (auto& [id, b] : m_buttons)
        if (b->isCheckable() && b->isChecked())
            checked.insert(id);
    for (auto [id, enabled] : enabledControls(checked))
        control(id)->setEnabled(enabled);
    m_fields.waitUnit->setText(uiText(m_services.strings, m_moveMode == 2 ? kStrMonths : kStrWeeks));
}

void CMoverDlg::chooseMoveMode(int mode) {
    if (mode == 0) {
        button(ctl::kDelLogFiles)->setChecked(false);
    } else if (mode != m_moveMode) {
        // Only a change of mode refills the list: choosing the mode again keeps the selection.
        m_moveMode = mode;
        fillWaitList(mode);
        m_fields.waitList->setCurrentIndex(
            entryIndexFor(m_services.state.waitBeforeDel.load(), m_fields.waitList->count()));
    }
    if (mode != 0)
        m_services.state.moveMode = mode;
    applyRules();
}

void CMoverDlg::fillWaitList(int mode) {
    QComboBox* wait = m_fields.waitList;
    wait->clear();
    for (const auto& entry : waitEntries(mode))
        wait->addItem(qs(entry));
}

void CMoverDlg::applyCodePage() {
    std::string problem;
    setUiCodePage(codePageSetting(m_services.profile, &problem));
    if (!problem.empty() && problem != m_codePageProblem)
        m_services.log.note(problem);
    m_codePageProblem = problem;
}

void CMoverDlg::load() {
    applyCodePage();
    m_settings = loadSettings(m_services.profile, m_settings);
    publishSettings(m_settings, m_services.state);
    m_driveList = m_settings.checkDrives;
    toControls(m_settings);
}

void CMoverDlg::toControls(const MoverSettings& s) {
    auto check = [&](int id, bool on) { button(id)->setChecked(on); };
    m_moveMode = s.moveMode;
    check(ctl::kWeekly, s.moveMode == 1);
    check(ctl::kMonthly, s.moveMode == 2);
    check(ctl::kNoMove, s.moveMode == 0);
    fillWaitList(s.moveMode);
    QComboBox* wait = m_fields.waitList;
    wait->setCurrentIndex(entryIndexFor(s.waitBeforeDel, wait->count()));
    check(ctl::kDelLogFiles, s.delLogFiles && s.moveMode != 0);
    check(ctl::kStart2ndBatch, s.start2ndBatch);
    check(ctl::kDeleteMoreFiles, s.deleteMoreFiles);
    check(ctl::kConference, s.moveConferWav);
    check(ctl::kDelAlarmWav, s.delAlarmWav);
    QComboBox* alarmWeeks = m_fields.alarmWeeks;
    alarmWeeks->setCurrentIndex(entryIndexFor(s.delAlarmWavAfterWeeks, alarmWeeks->count()));
    check(ctl::kPrintReport, s.printReport);
    check(ctl::kPrintWeekly, s.reportType != 1);
    check(ctl::kPrintDaily, s.reportType == 1);

    check(ctl::kHdActive, s.hdActive);
    QComboBox* hours = m_fields.checkHour;
    hours->setCurrentIndex(s.checkTime >= 0 && s.checkTime < hours->count() ? s.checkTime : -1);
    m_fields.minSpace->setValue(s.minSpace);
    check(ctl::kDialPhone, s.dialPhoneIfLow);
    m_fields.phoneNumber->setText(qs(s.phoneNumber));
    check(ctl::kSendSms, s.sendSmsIfLow);
    m_fields.smsNumber->setText(qs(s.smsNumber));
    check(ctl::kStartBatch, s.startBatchIfLow);
    m_fields.batchProg->setText(qs(s.batchProg));
    check(ctl::kStartAlarm, s.startAlarmIfLow);
    QComboBox* alarms = m_fields.alarmList;
    alarms->setCurrentIndex(-1);
    for (const AlarmKeyEntry& entry : m_services.state.alarmKeys())
        if (entry.key == s.alarmKey) {
            QString text = qs(alarmEntryText(entry.key, entry.name));
            for (int i = 0; i < alarms->count(); ++i)
                if (alarms->itemText(i).startsWith(text))
                    alarms->setCurrentIndex(i);
        }
    showDriveList();
    check(ctl::kBackupActive, s.autoBackupActive);
    m_fields.backupPath->setText(qs(s.autoBackupPath));
    applyRules();
}

void CMoverDlg::fillAlarmList() {
    QComboBox* alarms = m_fields.alarmList;
    alarms->clear();
    for (const AlarmKeyEntry& entry : m_services.state.alarmKeys())
        alarms->addItem(qs(alarmEntryText(entry.key, entry.name)));
}

void CMoverDlg::showDriveList() {
    m_fields.driveList->setText(m_driveList.empty() ? uiText(m_services.strings, kStrNoDrive)
                                                    : qs(m_driveList));
}

MoverSettings CMoverDlg::fromControls() const {
    MoverSettings s = m_settings;
    auto checked = [&](int id) { return button(id)->isChecked(); };
    s.moveMode = checked(ctl::kWeekly) ? 1 : checked(ctl::kMonthly) ? 2 : 0;
    s.delLogFiles = checked(ctl::kDelLogFiles);
    if (s.moveMode != 0)
        s.waitBeforeDel = m_fields.waitList->currentIndex() + 1;
    s.start2ndBatch = checked(ctl::kStart2ndBatch);
    s.deleteMoreFiles = checked(ctl::kDeleteMoreFiles);
    s.moveConferWav = checked(ctl::kConference);
    s.delAlarmWav = checked(ctl::kDelAlarmWav);
    s.delAlarmWavAfterWeeks = m_fields.alarmWeeks->currentIndex() + 1;
    s.printReport = checked(ctl::kPrintReport);
    s.reportType = checked(ctl::kPrintDaily) ? 1 : 0;
    s.hdActive = checked(ctl::kHdActive);
    s.checkTime = std::max(0, m_fields.checkHour->currentIndex());
    s.minSpace = m_fields.minSpace->value();
    s.dialPhoneIfLow = checked(ctl::kDialPhone);
    s.phoneNumber = ss(m_fields.phoneNumber->text());
    s.sendSmsIfLow = checked(ctl::kSendSms);
    s.smsNumber = ss(m_fields.smsNumber->text());
    s.startBatchIfLow = checked(ctl::kStartBatch);
    s.batchProg = ss(m_fields.batchProg->text());
    s.startAlarmIfLow = checked(ctl::kStartAlarm);
    QComboBox* alarms = m_fields.alarmList;
    s.alarmKey = alarms->currentIndex() < 0 ? -1 : alarmNumberOf(ss(alarms->currentText()));
    s.checkDrives = m_driveList;
    s.autoBackupActive = checked(ctl::kBackupActive);
    s.autoBackupPath = ss(m_fields.backupPath->text());
    return s;
}

void CMoverDlg::save() {
    MoverSettings s = fromControls();
    if (!saveSettings(m_services.profile, s, m_services.prompts, m_services.strings)) {
        // The failure has been shown. The dialog stays as the user filled it, to save again once the
        // cause is mended; the threads go on with what the file holds now.
        publishSettings(readSettings(m_services.profile, m_settings), m_services.state);
        return;
    }
    // What the file holds now: "no move" has also switched the deletion off there.
    if (s.moveMode == 0)
        s.delLogFiles = false;
    m_settings = s;
    publishSettings(s, m_services.state);
    minimise();
}

void CMoverDlg::minimise() {
    // With a tray, minimising ends in hiding: hide at once rather than wait for the window manager's
    // minimise notification, which may come after a later show and would hide the window again.
    if (m_trayAvailable)
        hide();
    else
        showMinimized();
}

void CMoverDlg::hideAfterStart(std::chrono::milliseconds delay) {
    m_startHide = new QTimer(this);
    m_startHide->setSingleShot(true);
    connect(m_startHide, &QTimer::timeout, this, [this] { minimise(); });
    m_startHide->start(delay);
}

void CMoverDlg::reject() {
    minimise();
}

void CMoverDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    minimise();
}

void CMoverDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !m_trayAvailable)
        return;
    // A minimise notification this soon after a show belongs to an earlier minimise that the window
    // manager reports late: the show stands.
    if (m_shown.isValid() && m_shown.elapsed() < kLateMinimise.count()) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~Qt::WindowMinimized);
            showNormal();
        });
        return;
    }
    // The user minimised it from the title bar: the tray icon brings it back.
    const unsigned shows = m_shows;
    QTimer::singleShot(0, this, [this, shows] {
        if (isMinimized() && shows == m_shows)
            hide();
    });
}

void CMoverDlg::showFromTray() {
    // Asked for before the start-up hide came: it stays shown.
    if (m_startHide)
        m_startHide->stop();
    ++m_shows;
    m_shown.start();
    load();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
    m_services.log.note("Show mover");
}

void CMoverDlg::tick() {
    if (m_showRequested && m_showRequested())
        showFromTray();
    LocalTime local = toLocal(m_services.clock.now());
    m_fields.clock->setText(uiString(clockText(m_services.strings, local)));
    if (int week = weekTimerTick(local, m_services.state); week >= 0)
        m_fields.week->setText(uiString(weekText(m_services.strings, week)));
}

void CMoverDlg::setBusy(bool busy) {
    m_busyLabel->setVisible(busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CMoverDlg::runOperation(int id) {
    Services& s = m_services;
    int mode = m_moveMode;
    if (button(ctl::kNoMove)->isChecked())
        mode = 0;
    int reportType = button(ctl::kPrintDaily)->isChecked() ? 1 : 0;
    DialogJobs jobs = m_jobs;
    m_runner->start([&s, id, mode, reportType, jobs] { runDialogOperation(s, jobs, id, mode, reportType); });
}

void CMoverDlg::openSubDialog(int id) {
    Services& s = m_services;
    switch (id) {
        case ctl::kConferenceSettings: {
            ConferenceDialog dialog(s, m_jobs, this);
            dialog.exec();
            break;
        }
        case ctl::kDeleteMoreSettings:
        case ctl::kExtendedMonitor:
        case ctl::kStartTasks: {
            ListKind kind = id == ctl::kStartTasks        ? ListKind::TimedTasks
                            : id == ctl::kExtendedMonitor ? ListKind::Drives
                                                          : ListKind::ExtraDeletion;
            SettingsListDialog dialog(s, kind, this);
            dialog.exec();
            break;
        }
        case ctl::kSelectDrives: {
            DriveSelectionDialog dialog(s, m_driveList, this);
            if (dialog.exec() == QDialog::Accepted)
                m_driveList = dialog.driveList();
            // Whatever closed it, the label shows the list as it is now.
            showDriveList();
            break;
        }
        case ctl::kCheckJobFiles: {
            JobWatcherDialog dialog(s, this);
            dialog.exec();
            break;
        }
        case ctl::kWatchDog: {
            WatchdogBoxDialog dialog(s, this);
            dialog.exec();
            break;
        }
        case ctl::kAbout: {
            AboutBox dialog(s.strings, this);
            dialog.exec();
            break;
        }
    }
}

std::vector<std::pair<std::string, QDialog*>> CMoverDlg::subDialogs() {
    Services& s = m_services;
    return {{"conference", new ConferenceDialog(s, m_jobs, this)},
            {"test-delete", ConferenceDialog::testDeleteDialog(s, m_jobs, this)},
            {"timed-tasks", new SettingsListDialog(s, ListKind::TimedTasks, this)},
            {"task-editor", SettingsListDialog::editor(s, ListKind::TimedTasks, 1, this)},
            {"task-parameters", SettingsListDialog::parameterDialog(s, 1, this)},
            {"extra-deletion", new SettingsListDialog(s, ListKind::ExtraDeletion, this)},
            {"deletion-editor", SettingsListDialog::editor(s, ListKind::ExtraDeletion, 0, this)},
            {"extended-monitor", new SettingsListDialog(s, ListKind::Drives, this)},
            {"drive-editor", SettingsListDialog::editor(s, ListKind::Drives, 0, this)},
            {"select-drives", new DriveSelectionDialog(s, m_driveList, this)},
            {"job-watcher", new JobWatcherDialog(s, this)},
            {"watchdog-box", new WatchdogBoxDialog(s, this)},
            {"about", new AboutBox(s.strings, this)}};
}

}  // namespace qx
