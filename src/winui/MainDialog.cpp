#include "MainDialog.h"

// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <set>

#include "ActivityLog.h"
#include "CAlarmTable.h"
#include "Clock.h"
#include "CodePage.h"
#include "DialogResources.h"
#include "DialogTexts.h"
#include "MainDialogRules.h"
#include "Profile.h"
#include "Prompts.h"
#include "SharedState.h"
#include "StringTable.h"
#include "SubDialogs.h"
#include "WeekTimer.h"
#include "WideText.h"
#include "WinPrompts.h"
#include "WinText.h"
#include "resource.h"

#ifndef QX_VERSION
#define QX_VERSION "0.0.0"
#endif

namespace qx::winui {
namespace {

// Posted by the operation's thread when it ended.
constexpr UINT kOperationDone = WM_APP + 1;

// The check boxes whose clicks change what is enabled.
constexpr int kRuleBoxes[] = {ctl::kDelLogFiles, ctl::kStart2ndBatch,   ctl::kPrintReport,  ctl::kConference,
                              ctl::kDelAlarmWav, ctl::kDeleteMoreFiles, ctl::kBackupActive, ctl::kDialPhone,
                              ctl::kSendSms,     ctl::kStartBatch,      ctl::kStartAlarm,   ctl::kHdActive};
// Every box and radio button whose state the rules read.
constexpr int kCheckable[] = {
    ctl::kWeekly,          ctl::kMonthly,      ctl::kNoMove,     ctl::kDelLogFiles, ctl::kStart2ndBatch,
    ctl::kPrintReport,     ctl::kPrintWeekly,  ctl::kPrintDaily, ctl::kConference,  ctl::kDelAlarmWav,
    ctl::kDeleteMoreFiles, ctl::kBackupActive, ctl::kDialPhone,  ctl::kSendSms,     ctl::kStartBatch,
    ctl::kStartAlarm,      ctl::kHdActive};
// The sub-dialogs' buttons and the test operations' buttons.
constexpr int kSubDialogButtons[] = {
    ctl::kConferenceSettings, ctl::kDeleteMoreSettings, ctl::kSelectDrives, ctl::kExtendedMonitor,
    ctl::kStartTasks,         ctl::kCheckJobFiles,      ctl::kWatchDog};
constexpr int kOperationButtons[] = {ctl::kTestMove, ctl::kTestDelete, ctl::kTestBatch, ctl::kEditBatch,
                                     ctl::kPrintNow};

bool isOneOf(int id, const auto& ids) {
    for (int each : ids)
        if (each == id)
            return true;
    return false;
}

const DLGTEMPLATE* templateFor(HMODULE module, int id, LANGID language) {
    if (const DLGTEMPLATE* found = dialogTemplate(module, id, language))
        return found;
    return dialogTemplate(module, id, kLanguages[0].id);
}

// The About box: the version fills its placeholder.
INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            WCHAR text[256] = {};
            GetDlgItemTextW(dialog, IDC_ABOUT_VERSION, text, static_cast<int>(std::size(text)));
            SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, replacePlaceholder(text, widen(QX_VERSION)).c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
                EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

std::wstring windowText(HMODULE module, const StringTable& strings, int id, LANGID language) {
    if (auto text = resourceString(module, id, language))
        return *text;
    return uiText(strings.get(id));
}

MainDialog::MainDialog(Services& services, MainDialogHooks hooks, LANGID language)
    : m_services(services), m_hooks(std::move(hooks)), m_language(language) {}

MainDialog::~MainDialog() {
    waitForOperation();
    if (m_window) {
        removeTrayIcon();
        DestroyWindow(m_window);
    }
    if (m_icon)
        DestroyIcon(m_icon);
}

bool MainDialog::create(HMODULE module, bool tray) {
    m_module = module;
    m_tray = tray;
    const DLGTEMPLATE* dialog = templateFor(module, IDD_MAIN, m_language);
    if (!dialog)
        return false;
    m_icon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(IDI_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    m_window =
        CreateDialogIndirectParamW(module, dialog, nullptr, dialogProc, reinterpret_cast<LPARAM>(this));
    if (!m_window)
        return false;
    m_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    if (m_tray)
        addTrayIcon();
    SetTimer(m_window, kClockTimer, 1000, nullptr);
    tick();
    ShowWindow(m_window, SW_SHOW);
    return true;
}

INT_PTR CALLBACK MainDialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        auto* self = reinterpret_cast<MainDialog*>(lParam);
        self->m_window = window;
    }
    auto* self = reinterpret_cast<MainDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->handle(message, wParam, lParam) : FALSE;
}

INT_PTR MainDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_taskbarCreated && m_taskbarCreated != 0) {
        // The shell started again (after a crash of the taskbar): the icon is gone with it.
        if (m_tray) {
            m_trayShown = false;
            addTrayIcon();
        }
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowTextW(m_window, uiText(m_services.strings.get(kStrTitle)).c_str());
            SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
            SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
            if (HMENU system = GetSystemMenu(m_window, FALSE)) {
                AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
                AppendMenuW(system, MF_STRING, IDM_ABOUTBOX,
                            windowText(m_module, m_services.strings, kStrAbout, m_language).c_str());
            }
            fillList(ctl::kDelAlarmWavList, waitEntries(1));
            std::vector<std::string> hours;
            for (int h = 0; h < 24; ++h) {
                char hour[8];
                std::snprintf(hour, sizeof hour, "%02d", h);
                hours.emplace_back(hour);
            }
            fillList(ctl::kCheckHour, hours);
            SendDlgItemMessageW(m_window, ctl::kMinSpace, EM_SETLIMITTEXT, 8, 0);
            fillAlarmList();
            load();
            return TRUE;
        }
        case WM_COMMAND:
            command(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            minimise();
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                about();
                return TRUE;
            }
            if ((wParam & 0xFFF0) == SC_MINIMIZE && m_trayShown) {
                minimise();
                return TRUE;
            }
            return FALSE;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED && m_trayShown)
                ShowWindow(m_window, SW_HIDE);
            return FALSE;
        case WM_TIMER:
            if (wParam == kStartHideTimer) {
                KillTimer(m_window, kStartHideTimer);
                minimise();
            } else {
                tick();
            }
            return TRUE;
        case kTrayMessage:
            trayNotification(lParam);
            return TRUE;
        case WinPrompts::kShowWarning:
            WinPrompts::showPosted(m_window, lParam);
            return TRUE;
        case kOperationDone:
            waitForOperation();
            return TRUE;
        case WM_DESTROY:
            removeTrayIcon();
            return FALSE;
    }
    return FALSE;
}

void MainDialog::command(int id, int notification) {
    if (id == ctl::kWaitList && notification == CBN_SELCHANGE) {
        // The wait takes effect for the mover at once, before any save.
        if (int index = selection(ctl::kWaitList); index >= 0)
            m_services.state.waitBeforeDel = index + 1;
        return;
    }
    if (notification != BN_CLICKED)
        return;
    if (isOneOf(id, kRuleBoxes)) {
        applyRules();
    } else if (id == ctl::kWeekly || id == ctl::kMonthly || id == ctl::kNoMove) {
        chooseMoveMode(id == ctl::kWeekly ? 1 : id == ctl::kMonthly ? 2 : 0);
    } else if (isOneOf(id, kOperationButtons)) {
        runOperation(id);
    } else if (isOneOf(id, kSubDialogButtons)) {
        if (!openSubDialog(ViewContext{m_module, m_language, m_services, m_hooks.jobs}, m_window, id,
                           m_driveList))
            m_services.log.note("This dialog is not part of this build: " + std::to_string(id));
        // Whatever closed it, the label shows the list as it is now.
        showDriveList();
    } else if (id == ctl::kAbout) {
        about();
    } else if (id == ctl::kSave) {
        save();
    } else if (id == ctl::kCancel || id == IDCANCEL) {
        minimise();
    }
}

bool MainDialog::checked(int id) const {
    return IsDlgButtonChecked(m_window, id) == BST_CHECKED;
}

void MainDialog::check(int id, bool on) {
    CheckDlgButton(m_window, id, on ? BST_CHECKED : BST_UNCHECKED);
}

std::optional<std::string> MainDialog::bytes(int id) const {
    HWND control = GetDlgItem(m_window, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

void MainDialog::setText(int id, const std::string& bytes) {
    SetDlgItemTextW(m_window, id, widen(bytes).c_str());
}

int MainDialog::selection(int id) const {
    return static_cast<int>(SendDlgItemMessageW(m_window, id, CB_GETCURSEL, 0, 0));
}

void MainDialog::fillList(int id, const std::vector<std::string>& entries) {
    SendDlgItemMessageW(m_window, id, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries)
        SendDlgItemMessageW(m_window, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(entry).c_str()));
}

void MainDialog::fillAlarmList() {
    std::vector<std::string> entries;
    for (const AlarmKeyEntry& entry : m_services.state.alarmKeys())
        entries.push_back(alarmEntryText(entry.key, entry.name));
    fillList(ctl::kAlarmList, entries);
}

void MainDialog::applyRules() {
    std::set<int> on;
    for (int id : kCheckable)
        if (checked(id))
            on.insert(id);
    for (auto [id, enabled] : enabledControls(on))
        EnableWindow(GetDlgItem(m_window, id), enabled);
    SetDlgItemTextW(
        m_window, ctl::kWaitUnit,
        windowText(m_module, m_services.strings, m_moveMode == 2 ? kStrMonths : kStrWeeks, m_language)
            .c_str());
}

void MainDialog::chooseMoveMode(int mode) {
    // The three are radio buttons of their own groups: the dialog sets them.
    check(ctl::kWeekly, mode == 1);
    check(ctl::kMonthly, mode == 2);
    check(ctl::kNoMove, mode == 0);
    if (mode == 0) {
        check(ctl::kDelLogFiles, false);
    } else if (mode != m_moveMode) {
        // Only a change of mode refills the list: choosing the mode again keeps the selection.
        m_moveMode = mode;
        const auto entries = waitEntries(mode);
        fillList(ctl::kWaitList, entries);
        SendDlgItemMessageW(
            m_window, ctl::kWaitList, CB_SETCURSEL,
            entryIndexFor(m_services.state.waitBeforeDel.load(), static_cast<int>(entries.size())), 0);
    }
    if (mode != 0)
        m_services.state.moveMode = mode;
    applyRules();
}

void MainDialog::load() {
    std::string problem;
    setAnsiCodePage(static_cast<unsigned>(codePageSetting(m_services.profile, &problem)));
    if (!problem.empty() && problem != m_codePageProblem)
        m_services.log.note(problem);
    m_codePageProblem = problem;
    m_settings = loadSettings(m_services.profile, m_settings);
    publishSettings(m_settings, m_services.state);
    m_driveList = m_settings.checkDrives;
    toControls(m_settings);
}

void MainDialog::toControls(const MoverSettings& s) {
    m_moveMode = s.moveMode;
    check(ctl::kWeekly, s.moveMode == 1);
    check(ctl::kMonthly, s.moveMode == 2);
    check(ctl::kNoMove, s.moveMode == 0);
    const auto wait = waitEntries(s.moveMode);
    fillList(ctl::kWaitList, wait);
    SendDlgItemMessageW(m_window, ctl::kWaitList, CB_SETCURSEL,
                        entryIndexFor(s.waitBeforeDel, static_cast<int>(wait.size())), 0);
    check(ctl::kDelLogFiles, s.delLogFiles && s.moveMode != 0);
    check(ctl::kStart2ndBatch, s.start2ndBatch);
    check(ctl::kDeleteMoreFiles, s.deleteMoreFiles);
    check(ctl::kConference, s.moveConferWav);
    check(ctl::kDelAlarmWav, s.delAlarmWav);
    SendDlgItemMessageW(m_window, ctl::kDelAlarmWavList, CB_SETCURSEL,
                        entryIndexFor(s.delAlarmWavAfterWeeks, static_cast<int>(waitEntries(1).size())), 0);
    check(ctl::kPrintReport, s.printReport);
    check(ctl::kPrintWeekly, s.reportType != 1);
    check(ctl::kPrintDaily, s.reportType == 1);

    check(ctl::kHdActive, s.hdActive);
    SendDlgItemMessageW(m_window, ctl::kCheckHour, CB_SETCURSEL,
                        s.checkTime >= 0 && s.checkTime < 24 ? s.checkTime : -1, 0);
    SetDlgItemInt(m_window, ctl::kMinSpace, static_cast<UINT>(std::max(0, s.minSpace)), FALSE);
    check(ctl::kDialPhone, s.dialPhoneIfLow);
    setText(ctl::kPhoneNumber, s.phoneNumber);
    check(ctl::kSendSms, s.sendSmsIfLow);
    setText(ctl::kSmsNumber, s.smsNumber);
    check(ctl::kStartBatch, s.startBatchIfLow);
    setText(ctl::kBatchProg, s.batchProg);
    check(ctl::kStartAlarm, s.startAlarmIfLow);
    int alarm = -1;
    const auto keys = m_services.state.alarmKeys();
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i].key == s.alarmKey)
            alarm = static_cast<int>(i);
    SendDlgItemMessageW(m_window, ctl::kAlarmList, CB_SETCURSEL, alarm, 0);
    showDriveList();
    check(ctl::kBackupActive, s.autoBackupActive);
    setText(ctl::kBackupPath, s.autoBackupPath);
    applyRules();
}

void MainDialog::showDriveList() {
    if (m_driveList.empty())
        SetDlgItemTextW(m_window, ctl::kDriveList,
                        windowText(m_module, m_services.strings, kStrNoDrive, m_language).c_str());
    else
        setText(ctl::kDriveList, m_driveList);
}

std::optional<MoverSettings> MainDialog::fromControls(int* field) const {
    MoverSettings s = m_settings;
    s.moveMode = checked(ctl::kWeekly) ? 1 : checked(ctl::kMonthly) ? 2 : 0;
    s.delLogFiles = checked(ctl::kDelLogFiles);
    if (s.moveMode != 0)
        s.waitBeforeDel = selection(ctl::kWaitList) + 1;
    s.start2ndBatch = checked(ctl::kStart2ndBatch);
    s.deleteMoreFiles = checked(ctl::kDeleteMoreFiles);
    s.moveConferWav = checked(ctl::kConference);
    s.delAlarmWav = checked(ctl::kDelAlarmWav);
    s.delAlarmWavAfterWeeks = selection(ctl::kDelAlarmWavList) + 1;
    s.printReport = checked(ctl::kPrintReport);
    s.reportType = checked(ctl::kPrintDaily) ? 1 : 0;
    s.hdActive = checked(ctl::kHdActive);
    s.checkTime = std::max(0, selection(ctl::kCheckHour));
    BOOL number = FALSE;
    const UINT space = GetDlgItemInt(m_window, ctl::kMinSpace, &number, FALSE);
    // The field takes digits only and at most eight of them.
    s.minSpace = number && space <= 99999999u ? static_cast<int>(space) : 0;
    s.dialPhoneIfLow = checked(ctl::kDialPhone);
    s.sendSmsIfLow = checked(ctl::kSendSms);
    s.startBatchIfLow = checked(ctl::kStartBatch);
    s.startAlarmIfLow = checked(ctl::kStartAlarm);
    const int alarm = selection(ctl::kAlarmList);
    const auto keys = m_services.state.alarmKeys();
    s.alarmKey = alarm >= 0 && static_cast<std::size_t>(alarm) < keys.size() ? keys[alarm].key : -1;
    s.checkDrives = m_driveList;
    s.autoBackupActive = checked(ctl::kBackupActive);
    for (auto [id, value] :
         {std::pair{ctl::kPhoneNumber, &s.phoneNumber}, std::pair{ctl::kSmsNumber, &s.smsNumber},
          std::pair{ctl::kBatchProg, &s.batchProg}, std::pair{ctl::kBackupPath, &s.autoBackupPath}}) {
        auto text = bytes(id);
        if (!text) {
            if (field)
                *field = id;
            return std::nullopt;
        }
        *value = std::move(*text);
    }
    return s;
}

bool MainDialog::save() {
    int field = 0;
    std::optional<MoverSettings> s = fromControls(&field);
    if (!s) {
        warnUnwritable(m_services, m_window, field);
        return false;
    }
    if (!saveSettings(m_services.profile, *s, m_services.prompts, m_services.strings)) {
        // The failure has been shown. The dialog stays as the user filled it; the threads go on with
        // what the file holds now.
        publishSettings(readSettings(m_services.profile, m_settings), m_services.state);
        return false;
    }
    // What the file holds now: "no move" has also switched the deletion off there.
    if (s->moveMode == 0)
        s->delLogFiles = false;
    m_settings = *s;
    publishSettings(*s, m_services.state);
    minimise();
    return true;
}

void MainDialog::minimise() {
    KillTimer(m_window, kStartHideTimer);
    // With the tray icon, minimising ends in hiding.
    ShowWindow(m_window, m_trayShown ? SW_HIDE : SW_MINIMIZE);
}

void MainDialog::showFromTray() {
    // Asked for before the start-up hide came: it stays shown.
    KillTimer(m_window, kStartHideTimer);
    ++m_shows;
    load();
    ShowWindow(m_window, IsIconic(m_window) ? SW_RESTORE : SW_SHOW);
    ShowWindow(m_window, SW_SHOWNORMAL);
    SetForegroundWindow(m_window);
    m_services.log.note("Show mover");
}

void MainDialog::tick() {
    if (m_showRequested && m_showRequested())
        showFromTray();
    LocalTime local = toLocal(m_services.clock.now());
    SetDlgItemTextW(m_window, ctl::kClock, uiText(clockText(m_services.strings, local)).c_str());
    if (int week = weekTimerTick(local, m_services.state); week >= 0)
        SetDlgItemTextW(m_window, ctl::kWeek, uiText(weekText(m_services.strings, week)).c_str());
}

bool MainDialog::addTrayIcon() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = m_window;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = m_icon;
    // The tip keeps its first 63 characters.
    const std::wstring tip = windowText(m_module, m_services.strings, kStrTrayTip, m_language);
    wcsncpy(data.szTip, tip.c_str(), 63);
    m_trayShown = Shell_NotifyIconW(m_trayShown ? NIM_MODIFY : NIM_ADD, &data) != FALSE;
    return m_trayShown;
}

void MainDialog::removeTrayIcon() {
    if (!m_trayShown)
        return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = m_window;
    data.uID = kTrayIconId;
    Shell_NotifyIconW(NIM_DELETE, &data);
    m_trayShown = false;
}

void MainDialog::trayNotification(LPARAM lParam) {
    switch (LOWORD(lParam)) {
        case WM_LBUTTONDBLCLK:
            showFromTray();
            break;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU:
            trayMenu();
            break;
    }
}

void MainDialog::trayMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    AppendMenuW(menu, MF_STRING, kMenuShow,
                windowText(m_module, m_services.strings, kTxtShowSettings, m_language).c_str());
    AppendMenuW(menu, MF_STRING, kMenuAbout,
                windowText(m_module, m_services.strings, kStrAbout, m_language).c_str());
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only while the window is the foreground one.
    SetForegroundWindow(m_window);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                                         at.x, at.y, 0, m_window, nullptr));
    DestroyMenu(menu);
    if (chosen == kMenuShow)
        showFromTray();
    else if (chosen == kMenuAbout)
        about();
}

void MainDialog::about() {
    if (const DLGTEMPLATE* dialog = templateFor(m_module, IDD_ABOUTBOX, m_language))
        DialogBoxIndirectParamW(m_module, dialog, m_window, aboutProc, 0);
}

void MainDialog::runOperation(int id) {
    if (m_busy)
        return;
    if (!m_hooks.operation) {
        m_services.log.note("This operation is not part of this build: " + std::to_string(id));
        return;
    }
    const int mode = checked(ctl::kNoMove) ? 0 : m_moveMode;
    const int reportType = checked(ctl::kPrintDaily) ? 1 : 0;
    m_busy = true;
    ShowWindow(GetDlgItem(m_window, IDC_BUSY), SW_SHOW);
    HWND window = m_window;
    auto work = m_hooks.operation;
    Services& services = m_services;
    m_operation = std::thread([work, &services, id, mode, reportType, window] {
        work(services, id, mode, reportType);
        PostMessageW(window, kOperationDone, 0, 0);
    });
}

void MainDialog::waitForOperation() {
    if (m_operation.joinable())
        m_operation.join();
    if (m_busy && m_window)
        ShowWindow(GetDlgItem(m_window, IDC_BUSY), SW_HIDE);
    m_busy = false;
}

bool restoreRunningWindow(const std::string& title) {
    HWND window = FindWindowW(L"#32770", uiText(title).c_str());
    if (!window)
        return false;
    // The first instance may be hung: nothing here waits for it.
    ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
    return true;
}

int runMessages(MainDialog& dialog, HANDLE showRequest, const std::function<bool()>& stop) {
    for (;;) {
        const DWORD handles = showRequest ? 1 : 0;
        const DWORD woken = MsgWaitForMultipleObjects(handles, &showRequest, FALSE, 200, QS_ALLINPUT);
        // The event resets itself when the wait returns it: every later start shows the dialog.
        if (handles && woken == WAIT_OBJECT_0)
            dialog.showFromTray();
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return static_cast<int>(message.wParam);
            if (!IsDialogMessageW(dialog.window(), &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        if (stop && stop())
            return 0;
    }
}

}  // namespace qx::winui
