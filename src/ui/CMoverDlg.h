#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <map>
#include <set>

#include "DialogJobs.h"
#include "MoverSettings.h"
#include "Services.h"

class QAbstractButton;
class QComboBox;
class QPushButton;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTimer;

namespace qx {

class OperationRunner;

// The main settings dialog: shows and edits the main settings, opens the sub-dialogs, runs the
// test operations, and shows the clock and the week. Its controls carry the ids of ctl:: and their
// texts come from the string table by the same ids.
//
// It never ends by its own controls: Close, Cancel and Save minimise it, and minimising hides it
// while a tray icon can bring it back (without a tray it stays in the task bar).
class CMoverDlg : public QDialog {
    Q_OBJECT
public:
    CMoverDlg(Services& services, DialogJobs jobs, QWidget* parent = nullptr);
    ~CMoverDlg() override;

    // Loads the settings (writing back the missing defaults), publishes them and shows them.
    void load();
    // Takes the controls' values, writes them in the save order, publishes them and minimises. When a
    // key cannot be written the failure is shown and the dialog stays open with the user's entries.
    void save();

    // Shows the dialog again from the tray or a second start: reloads, restores, brings it forward
    // and notes "Show mover".
    void showFromTray();

    // The clock timer's work (every second): clock and week labels; once a day the weeks.
    void tick();

    // Hides the window (to the tray, else the task bar) after `delay`, unless it is shown from the tray
    // or a second start before.
    void hideAfterStart(std::chrono::milliseconds delay);

    // Whether minimising hides the window (a tray icon can show it again).
    void setTrayAvailable(bool available) { m_trayAvailable = available; }

    // Called at every tick; true asks the dialog to show itself (a second start asked for it).
    void setShowRequestPoll(std::function<bool()> poll) { m_showRequested = std::move(poll); }

    // The settings as the controls hold them now.
    MoverSettings fromControls() const;

    // The control of an id (ctl::), its button or its list; null for an id the dialog does not have or
    // whose control is of another kind.
    QWidget* control(int id) const;
    QAbstractButton* button(int id) const;
    QComboBox* list(int id) const;
    OperationRunner& runner() { return *m_runner; }

    // Opens the sub-dialog of a button as a modal dialog (the buttons' action).
    void openSubDialog(int buttonId);
    // Every sub-dialog, created but not shown, for the screenshots.
    std::vector<std::pair<std::string, QDialog*>> subDialogs();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;

private:
    void applyCodePage();
    void build();
    QWidget* buildStatisticGroup();
    QWidget* buildMonitorGroup();
    QWidget* buildBackupGroup();
    QWidget* buildButtonRow();
    void connectRules();
    void applyRules();
    void chooseMoveMode(int mode);
    void fillWaitList(int mode);
    void toControls(const MoverSettings& settings);
    void fillAlarmList();
    void showDriveList();
    void minimise();
    void runOperation(int buttonId);
    void setBusy(bool busy);

    // Enters a control under its id (and as a button or list where it is one) and names it after it.
    template <class T>
    T* add(int id, T* widget);

    Services& m_services;
    DialogJobs m_jobs;
    MoverSettings m_settings;
    std::string m_driveList;
    int m_moveMode = 1;
    bool m_trayAvailable = false;
    std::string m_codePageProblem;
    QTimer* m_startHide = nullptr;
    unsigned m_shows = 0;   // how often the dialog was shown from the tray or a second start
    QElapsedTimer m_shown;  // since the last of those shows
    static constexpr std::chrono::milliseconds kLateMinimise{800};
    std::function<bool()> m_showRequested;
    // Every control by id, for the enabling rules and the tests; buttons and lists by id as well, so
    // that no lookup needs a cast. The fields the dialog reads and writes are typed members.
    std::map<int, QWidget*> m_controls;
    std::map<int, QAbstractButton*> m_buttons;
    std::map<int, QComboBox*> m_lists;
    struct Fields {
        QComboBox* waitList = nullptr;
        QLabel* waitUnit = nullptr;
        QComboBox* alarmWeeks = nullptr;
        QComboBox* checkHour = nullptr;
        QLabel* driveList = nullptr;
        QSpinBox* minSpace = nullptr;
        QLineEdit* phoneNumber = nullptr;
        QLineEdit* smsNumber = nullptr;
        QLineEdit* batchProg = nullptr;
        QComboBox* alarmList = nullptr;
        QLineEdit* backupPath = nullptr;
        QLabel* clock = nullptr;
        QLabel* week = nullptr;
        QPushButton* save = nullptr;
    } m_fields;
    QLabel* m_busyLabel = nullptr;
    QTimer* m_clockTimer = nullptr;
    OperationRunner* m_runner = nullptr;
};

}  // namespace qx
