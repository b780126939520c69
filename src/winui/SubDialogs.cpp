#include "SubDialogs.h"

// After windows.h, which they build on.
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "ActivityLog.h"
#include "ConferenceForm.h"
#include "DialogResources.h"
#include "DialogTexts.h"
#include "DriveSelectionForm.h"
#include "InstallationPath.h"
#include "JobWatcherForm.h"
#include "ListEditorForms.h"
#include "MainDialog.h"
#include "MainDialogRules.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "StringTable.h"
#include "WatchdogBoxForm.h"
#include "WideText.h"
#include "WinText.h"
#include "resource.h"

namespace fs = std::filesystem;

namespace qx::winui {
namespace {

// Posted by an operation's thread when it ended.
constexpr UINT kOperationEnded = WM_APP + 3;

const DLGTEMPLATE* templateFor(HMODULE module, int id, LANGID language) {
    if (const DLGTEMPLATE* found = dialogTemplate(module, id, language))
        return found;
    return dialogTemplate(module, id, kLanguages[0].id);
}

// One modal dialog over its template. The subclass fills the controls from its form (init), applies
// the form's rules after every click (rules), hands the controls' values to the form on OK (accept)
// and handles its other buttons (command). Texts cross into the controls through widen() and back
// through narrow().
class Dialog {
public:
    Dialog(const ViewContext& view, int templateId)
        : m_view(view), m_s(view.services), m_template(templateId) {}
    virtual ~Dialog() { waitForOperation(); }
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // IDOK or IDCANCEL as the dialog was left; -1 when its template is missing or it could not be made.
    INT_PTR run(HWND owner) {
        const DLGTEMPLATE* dialog = templateFor(m_view.module, m_template, m_view.language);
        if (!dialog)
            return -1;
        return DialogBoxIndirectParamW(m_view.module, dialog, owner, proc, reinterpret_cast<LPARAM>(this));
    }

protected:
    virtual void init() {}
    virtual void rules() {}
    virtual bool accept() { return true; }
    virtual void command(int /*id*/, int /*notification*/) {}
    virtual bool notify(const NMHDR& /*header*/) { return false; }
    // After an operation of start() ended, on the dialog's thread.
    virtual void operationEnded() {}

    HWND item(int id) const { return GetDlgItem(m_dialog, id); }
    bool checked(int id) const { return IsDlgButtonChecked(m_dialog, id) == BST_CHECKED; }
    void check(int id, bool on) { CheckDlgButton(m_dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
    void enable(int id, bool on) { EnableWindow(item(id), on); }
    // Radio buttons that the template puts in groups of their own (each is followed by its field, for
    // the tab order): a click on one of `group` checks it alone.
    bool chooseRadio(std::initializer_list<int> group, int clicked) {
        if (std::find(group.begin(), group.end(), clicked) == group.end())
            return false;
        for (int id : group)
            check(id, id == clicked);
        return true;
    }
    void setText(int id, const std::string& bytes) { SetDlgItemTextW(m_dialog, id, widen(bytes).c_str()); }
    void setWide(int id, const std::wstring& text) { SetDlgItemTextW(m_dialog, id, text.c_str()); }
    std::wstring wide(int id) const {
        HWND control = item(id);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
        text.resize(
            static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
        return text;
    }
    // The control's text as bytes; "" and a note of the field when the code page cannot write it
    // (writable() then refuses the save).
    std::string bytes(int id) {
        if (auto text = narrow(wide(id)))
            return *text;
        if (!m_unwritable)
            m_unwritable = id;
        return {};
    }
    // False, after telling the user, when a text read by bytes() since the last call cannot be written.
    bool writable() {
        const int field = m_unwritable;
        m_unwritable = 0;
        if (!field)
            return true;
        warnUnwritable(m_s, m_dialog, field);
        return false;
    }
    // `texts` are installation text, read back by selectedText(); `crossing` is uiText for texts of the
    // string table.
    void fill(int id, const std::vector<std::string>& texts, int selected,
              std::wstring (*crossing)(std::string_view) = widen) {
        SendDlgItemMessageW(m_dialog, id, CB_RESETCONTENT, 0, 0);
        for (const std::string& text : texts)
            SendDlgItemMessageW(m_dialog, id, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(crossing(text).c_str()));
        SendDlgItemMessageW(m_dialog, id, CB_SETCURSEL, selected, 0);
    }
    int selection(int id) const {
        return static_cast<int>(SendDlgItemMessageW(m_dialog, id, CB_GETCURSEL, 0, 0));
    }
    std::string selectedText(int id) {
        const int index = selection(id);
        if (index < 0)
            return {};
        const auto length = SendDlgItemMessageW(m_dialog, id, CB_GETLBTEXTLEN, index, 0);
        if (length < 0)
            return {};
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        SendDlgItemMessageW(m_dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        if (auto bytes = narrow(text))
            return *bytes;
        if (!m_unwritable)
            m_unwritable = id;
        return {};
    }
    // The number in a digits-only field, kept to [low, high].
    int number(int id, int low, int high) const {
        BOOL ok = FALSE;
        const UINT value = GetDlgItemInt(m_dialog, id, &ok, FALSE);
        if (!ok)
            return low;
        return value > static_cast<UINT>(high) ? high : std::max(low, static_cast<int>(value));
    }
    void spinRange(int spin, int low, int high, int value) {
        SendDlgItemMessageW(m_dialog, spin, UDM_SETRANGE32, low, high);
        SendDlgItemMessageW(m_dialog, spin, UDM_SETPOS32, 0, value);
    }
    std::wstring text(int id) const { return viewText(m_view, id); }
    // Completes the "%1" of a control's template text.
    void complete(int id, const std::wstring& value) { setWide(id, replacePlaceholder(wide(id), value)); }

    // A directory or a program chosen by the user, as the installation writes paths.
    std::optional<std::string> pickDirectory(int titleId) {
        BROWSEINFOW browse{};
        browse.hwndOwner = m_dialog;
        const std::wstring title = text(titleId);
        browse.lpszTitle = title.c_str();
        browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
        if (!chosen)
            return std::nullopt;
        WCHAR path[MAX_PATH] = {};
        const bool got = SHGetPathFromIDListW(chosen, path) != FALSE;
        CoTaskMemFree(chosen);
        if (!got)
            return std::nullopt;
        return installationPath(m_s.paths, fs::path(path));
    }
    std::optional<std::string> pickProgram() {
        WCHAR path[MAX_PATH] = {};
        const std::wstring title = text(kTxtSelectProgram);
        std::wstring filter = text(kTxtSelectProgramPrompt) + L" (*.exe;*.bat;*.cmd)";
        filter.push_back(L'\0');
        filter += L"*.exe;*.bat;*.cmd";
        filter.push_back(L'\0');
        OPENFILENAMEW open{};
        open.lStructSize = sizeof open;
        open.hwndOwner = m_dialog;
        open.lpstrFilter = filter.c_str();
        open.lpstrFile = path;
        open.nMaxFile = MAX_PATH;
        open.lpstrTitle = title.c_str();
        open.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        if (!GetOpenFileNameW(&open))
            return std::nullopt;
        return installationPath(m_s.paths, fs::path(path));
    }

    // Runs `work` beside the dialog's thread; while it runs the dialog cannot be left, and
    // operationEnded() follows on the dialog's thread. False while another one runs.
    bool start(std::function<void()> work) {
        if (m_busy)
            return false;
        waitForOperation();
        m_busy = true;
        HWND dialog = m_dialog;
        m_operation = std::thread([work = std::move(work), dialog] {
            work();
            PostMessageW(dialog, kOperationEnded, 0, 0);
        });
        return true;
    }
    bool busy() const { return m_busy; }
    void waitForOperation() {
        if (m_operation.joinable())
            m_operation.join();
        m_busy = false;
    }
    void end(INT_PTR result) {
        if (!m_busy)
            EndDialog(m_dialog, result);
    }

    const ViewContext& m_view;
    Services& m_s;
    HWND m_dialog = nullptr;

private:
    static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            reinterpret_cast<Dialog*>(lParam)->m_dialog = dialog;
        }
        auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        return self ? self->handle(message, wParam, lParam) : FALSE;
    }

    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_INITDIALOG:
                init();
                rules();
                return TRUE;
            case WM_COMMAND: {
                const int id = LOWORD(wParam);
                if (id == IDOK) {
                    if (!m_busy && accept())
                        end(IDOK);
                } else if (id == IDCANCEL) {
                    end(IDCANCEL);
                } else {
                    command(id, HIWORD(wParam));
                    if (HIWORD(wParam) == BN_CLICKED)
                        rules();
                }
                return TRUE;
            }
            case WM_NOTIFY:
                return notify(*reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : FALSE;
            case WM_CLOSE:
                end(IDCANCEL);
                return TRUE;
            case kOperationEnded:
                waitForOperation();
                operationEnded();
                return TRUE;
        }
        return FALSE;
    }

    int m_template;
    int m_unwritable = 0;
    std::thread m_operation;
    bool m_busy = false;
};

// ---------------------------------------------------------------------------------------------------
// Drive selection: four boxes, C: to F:, set and enabled as the form opens them; OK rebuilds the list.
class DriveSelection : public Dialog {
public:
    DriveSelection(const ViewContext& view, std::string& driveList)
        : Dialog(view, IDD_DRIVE_SELECT), m_driveList(driveList) {}

private:
    void init() override {
        const DriveChecks checks = openDriveChecks(m_s.paths, m_driveList, fs::current_path());
        for (std::size_t i = 0; i < kCheckableDrives.size(); ++i) {
            const int id = IDC_SEL_DRIVE_FIRST + static_cast<int>(i);
            complete(id, std::wstring{static_cast<WCHAR>(kCheckableDrives[i]), L':'});
            check(id, checks.checked[i]);
            enable(id, checks.available[i]);
        }
    }
    bool accept() override {
        std::array<bool, 4> on{};
        for (std::size_t i = 0; i < on.size(); ++i)
            on[i] = checked(IDC_SEL_DRIVE_FIRST + static_cast<int>(i));
        m_driveList = driveListOf(on);
        return true;
    }
    std::string& m_driveList;
};

// ---------------------------------------------------------------------------------------------------
// The editors of the three lists.
class TaskParameterDialog : public Dialog {
public:
    TaskParameterDialog(const ViewContext& view, int number)
        : Dialog(view, IDD_TASK_PARAMETERS), m_number(number) {}

private:
    void init() override {
        const TaskParameters p = readTaskParameters(SettingReader(m_s.profile), m_number);
        for (int k = 0; k < IDC_PARAM_COUNT; ++k) {
            SendDlgItemMessageW(m_dialog, IDC_PARAM_NUMBER_FIRST + k, EM_SETLIMITTEXT, 6, 0);
            setText(IDC_PARAM_TEXT_FIRST + k, p.texts[k]);
            SetDlgItemInt(m_dialog, IDC_PARAM_NUMBER_FIRST + k, static_cast<UINT>(std::max(0, p.numbers[k])),
                          FALSE);
        }
    }
    bool accept() override {
        TaskParameters p;
        for (int k = 0; k < IDC_PARAM_COUNT; ++k) {
            p.texts[k] = bytes(IDC_PARAM_TEXT_FIRST + k);
            p.numbers[k] = number(IDC_PARAM_NUMBER_FIRST + k, 0, 999999);
        }
        return writable() && saveTaskParameterForm(m_s, m_number, p);
    }
    int m_number;
};

class TaskEditor : public Dialog {
public:
    TaskEditor(const ViewContext& view, int number)
        : Dialog(view, IDD_TASK_EDITOR), m_form(view.services, number, fs::current_path()) {}

private:
    int kind() const { return checked(IDC_TASK_KIND_MODULE) ? 1 : checked(IDC_TASK_KIND_ALARM) ? 2 : 0; }
    void init() override {
        const TimedTask& task = m_form.task();
        setWide(IDC_EDITOR_HEADING, text(m_form.heading()));
        fill(IDC_TASK_DAY, m_form.dayTexts(), task.day, uiText);
        fill(IDC_TASK_HOUR, TaskEditorForm::hourTexts(), task.hour);
        fill(IDC_TASK_MODULE, m_form.modules().texts, m_form.modules().selected);
        fill(IDC_TASK_ALARM, m_form.alarms().texts, m_form.alarms().selected);
        check(IDC_TASK_KIND_PROGRAM, task.type == 0);
        check(IDC_TASK_KIND_MODULE, task.type == 1);
        check(IDC_TASK_KIND_ALARM, task.type == 2);
        if (task.type == 0) {
            setText(IDC_TASK_PROGRAM, task.program);
            check(IDC_TASK_WEEK_PARAMETER, task.weekParameter);
        }
    }
    void rules() override {
        const TaskEditorEnabled on = taskEditorEnabled(kind());
        for (int id : {IDC_TASK_PROGRAM, IDC_TASK_BROWSE, IDC_TASK_WEEK_PARAMETER})
            enable(id, on.program);
        enable(IDC_TASK_MODULE, on.module);
        enable(IDC_TASK_PARAMETERS, on.module);
        enable(IDC_TASK_ALARM, on.alarm);
    }
    void command(int id, int notification) override {
        if (notification != BN_CLICKED)
            return;
        if (chooseRadio({IDC_TASK_KIND_PROGRAM, IDC_TASK_KIND_MODULE, IDC_TASK_KIND_ALARM}, id))
            return;
        if (id == IDC_TASK_BROWSE) {
            if (auto program = pickProgram())
                setText(IDC_TASK_PROGRAM, *program);
        } else if (id == IDC_TASK_PARAMETERS) {
            // The parameters belong to the task's entry: a new task takes its number now.
            if (const int n = m_form.storeNumber(); n > 0)
                TaskParameterDialog(m_view, n).run(m_dialog);
        }
    }
    bool accept() override {
        TimedTask task;
        task.type = kind();
        task.day = std::max(0, selection(IDC_TASK_DAY));
        task.hour = std::max(0, selection(IDC_TASK_HOUR));
        task.weekParameter = checked(IDC_TASK_WEEK_PARAMETER);
        task.program = task.type == 0   ? bytes(IDC_TASK_PROGRAM)
                       : task.type == 1 ? selectedText(IDC_TASK_MODULE)
                                        : selectedText(IDC_TASK_ALARM);
        return writable() && m_form.save(task);
    }
    TaskEditorForm m_form;
};

class DeletionEditor : public Dialog {
public:
    DeletionEditor(const ViewContext& view, int number)
        : Dialog(view, IDD_DELETE_EDITOR), m_form(view.services, number) {}

private:
    void init() override {
        const DeletionRule& rule = m_form.rule();
        setWide(IDC_EDITOR_HEADING, text(m_form.heading()));
        setText(IDC_DEL_PATH, rule.directory);
        const bool all = rule.extension == "*.*";
        check(IDC_DEL_ALL, all);
        check(IDC_DEL_ONLY, !all);
        setText(IDC_DEL_PATTERN, all ? std::string() : rule.extension);
        fill(IDC_DEL_WEEKS, DeletionEditorForm::weekTexts(), DeletionEditorForm::weekIndex(rule.weeks));
    }
    void rules() override { enable(IDC_DEL_PATTERN, checked(IDC_DEL_ONLY)); }
    void command(int id, int notification) override {
        if (id == IDC_DEL_BROWSE && notification == BN_CLICKED)
            if (auto directory = pickDirectory(kTxtSelectPathPrompt))
                setText(IDC_DEL_PATH, *directory);
    }
    bool accept() override {
        DeletionRule rule;
        rule.directory = bytes(IDC_DEL_PATH);
        rule.extension = checked(IDC_DEL_ALL) ? std::string("*.*") : bytes(IDC_DEL_PATTERN);
        rule.weeks = std::max(0, selection(IDC_DEL_WEEKS)) + 1;
        return writable() && m_form.save(rule, fs::current_path());
    }
    DeletionEditorForm m_form;
};

class DriveEditor : public Dialog {
public:
    DriveEditor(const ViewContext& view, int number)
        : Dialog(view, IDD_DRIVE_EDITOR), m_form(view.services, number) {}

private:
    void init() override {
        const MonitoredDrive& entry = m_form.entry();
        setWide(IDC_EDITOR_HEADING, text(m_form.heading()));
        SendDlgItemMessageW(m_dialog, IDC_DRV_DRIVE, EM_SETLIMITTEXT, 2, 0);
        setText(IDC_DRV_DRIVE, entry.drive);
        spinRange(IDC_DRV_PERCENT_SPIN, 1, 100, entry.percent);
        SetDlgItemInt(m_dialog, IDC_DRV_PERCENT, static_cast<UINT>(entry.percent), FALSE);
        fill(IDC_DRV_ALARM, m_form.alarms().texts, m_form.alarms().selected);
    }
    bool accept() override {
        MonitoredDrive entry;
        entry.drive = bytes(IDC_DRV_DRIVE);
        entry.percent = number(IDC_DRV_PERCENT, 1, 100);
        entry.alarm = selectedText(IDC_DRV_ALARM);
        return writable() && m_form.save(entry);
    }
    DriveEditorForm m_form;
};

// ---------------------------------------------------------------------------------------------------
// The three settings lists: rows as the list reads them, Add, Edit (or a double click), Delete, Back.
class ListDialog : public Dialog {
public:
    ListDialog(const ViewContext& view, ListKind kind)
        : Dialog(view, kind == ListKind::TimedTasks      ? IDD_TASK_LIST
                       : kind == ListKind::ExtraDeletion ? IDD_DELETE_LIST
                                                         : IDD_DRIVE_LIST),
          m_list(view.services.profile, kind) {}

private:
    HWND rows() const { return item(IDC_LIST_ROWS); }
    void init() override {
        HWND list = rows();
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        const auto& columns = m_list.layout().columns;
        HDC screen = GetDC(m_dialog);
        const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
        if (screen)
            ReleaseDC(m_dialog, screen);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            std::wstring heading = text(columns[c].first);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            column.pszText = heading.data();
            // The widths are pixels at 96 dots per inch.
            column.cx = MulDiv(columns[c].second, dpi, 96);
            column.iSubItem = static_cast<int>(c);
            ListView_InsertColumn(list, static_cast<int>(c), &column);
        }
        reload();
    }
    void reload() {
        HWND list = rows();
        ListView_DeleteAllItems(list);
        int index = 0;
        for (const auto& row : m_list.rows(m_s.strings)) {
            for (std::size_t c = 0; c < row.size(); ++c) {
                std::wstring cell = displayText(row[c]);
                LVITEMW entry{};
                entry.mask = LVIF_TEXT;
                entry.iItem = index;
                entry.iSubItem = static_cast<int>(c);
                entry.pszText = cell.data();
                if (c == 0)
                    ListView_InsertItem(list, &entry);
                else
                    ListView_SetItem(list, &entry);
            }
            ++index;
        }
    }
    int selectedRow() const { return ListView_GetNextItem(rows(), -1, LVNI_SELECTED); }
    void edit(int number) {
        switch (m_list.kind()) {
            case ListKind::TimedTasks:
                TaskEditor(m_view, number).run(m_dialog);
                break;
            case ListKind::ExtraDeletion:
                DeletionEditor(m_view, number).run(m_dialog);
                break;
            case ListKind::Drives:
                DriveEditor(m_view, number).run(m_dialog);
                break;
        }
        reload();
    }
    void command(int id, int notification) override {
        if (notification != BN_CLICKED)
            return;
        if (id == IDC_LIST_ADD) {
            if (listTakesEntry(m_s, m_list))
                edit(0);
        } else if (id == IDC_LIST_EDIT) {
            if (const int row = selectedRow(); row >= 0)
                edit(row + 1);
        } else if (id == IDC_LIST_DELETE) {
            if (deleteListRow(m_s, m_list, selectedRow()))
                reload();
        }
    }
    bool notify(const NMHDR& header) override {
        if (header.idFrom != IDC_LIST_ROWS || header.code != NM_DBLCLK)
            return false;
        const int row = reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
        if (row >= 0)
            edit(row + 1);
        return true;
    }
    SettingsList m_list;
};

// ---------------------------------------------------------------------------------------------------
// The watchdog box's call: its settings, a test call beside the window's thread, and its log.
class WatchdogBoxDialog : public Dialog {
public:
    explicit WatchdogBoxDialog(const ViewContext& view) : Dialog(view, IDD_WATCHDOG_BOX) {}

private:
    void init() override {
        const WatchdogBoxSettings w = readWatchdogBox(SettingReader(m_s.profile));
        m_alarms = alarmChoices(m_s);
        const auto alarmTexts = alarmChoiceTexts(m_alarms);
        std::vector<std::string> intervals;
        for (std::size_t i = 0; i < kWatchdogIntervals.size(); ++i)
            intervals.push_back(intervalText(m_s.strings, static_cast<int>(i)));
        check(IDC_WD_ACTIVE, w.active);
        setText(IDC_WD_NUMBER, w.numberToDial);
        fill(IDC_WD_INTERVAL, intervals, intervalIndex(w.interval));
        check(IDC_WD_ALARM_NO_ANSWER, w.startAlarmActive);
        fill(IDC_WD_NO_ANSWER_ALARM, alarmTexts, alarmChoiceIndex(m_alarms, w.startAlarmOnNoAnswer));
        check(IDC_WD_SEND_CODE, w.sendConfCode);
        setText(IDC_WD_SEND_CODE_TEXT, w.sendCode);
        check(IDC_WD_GET_CODE, w.getConfCode);
        setText(IDC_WD_CONF_CODE, w.confCode);
        fill(IDC_WD_NO_CODE_ALARM, alarmTexts, alarmChoiceIndex(m_alarms, w.alarmOnNoConf));
        check(IDC_WD_WRITE_WARNING, w.writeWarning);
        setText(IDC_WD_WARNING, w.warningMessage);
    }
    int alarm(int id) const {
        const int index = selection(id);
        return index >= 0 && static_cast<std::size_t>(index) < m_alarms.size() ? m_alarms[index].number : -1;
    }
    WatchdogBoxSettings fromControls() {
        WatchdogBoxSettings w = readWatchdogBox(SettingReader(m_s.profile));
        w.active = checked(IDC_WD_ACTIVE);
        w.numberToDial = bytes(IDC_WD_NUMBER);
        if (const int index = selection(IDC_WD_INTERVAL); index >= 0)
            w.interval = kWatchdogIntervals[static_cast<std::size_t>(index)];
        w.startAlarmActive = checked(IDC_WD_ALARM_NO_ANSWER);
        w.startAlarmOnNoAnswer = alarm(IDC_WD_NO_ANSWER_ALARM);
        w.sendConfCode = checked(IDC_WD_SEND_CODE);
        w.sendCode = bytes(IDC_WD_SEND_CODE_TEXT);
        w.getConfCode = checked(IDC_WD_GET_CODE);
        w.confCode = bytes(IDC_WD_CONF_CODE);
        w.alarmOnNoConf = alarm(IDC_WD_NO_CODE_ALARM);
        w.writeWarning = checked(IDC_WD_WRITE_WARNING);
        w.warningMessage = bytes(IDC_WD_WARNING);
        return w;
    }
    void rules() override {
        WatchdogBoxSettings switches;
        switches.active = checked(IDC_WD_ACTIVE);
        switches.startAlarmActive = checked(IDC_WD_ALARM_NO_ANSWER);
        switches.sendConfCode = checked(IDC_WD_SEND_CODE);
        switches.getConfCode = checked(IDC_WD_GET_CODE);
        switches.writeWarning = checked(IDC_WD_WRITE_WARNING);
        const WatchdogBoxEnabled on = watchdogBoxEnabled(switches);
        enable(IDC_WD_NUMBER, on.number);
        enable(IDC_WD_INTERVAL, on.interval);
        enable(IDC_WD_NO_ANSWER_ALARM, on.noAnswerAlarm);
        enable(IDC_WD_SEND_CODE_TEXT, on.sendCode);
        enable(IDC_WD_CONF_CODE, on.confCode);
        enable(IDC_WD_NO_CODE_ALARM, on.noCodeAlarm);
        enable(IDC_WD_WARNING, on.warning);
    }
    void command(int id, int notification) override {
        if (notification != BN_CLICKED)
            return;
        if (id == IDC_WD_TEST_CALL) {
            std::string number = bytes(IDC_WD_NUMBER);
            if (!writable())
                return;
            // The call waits for the job queue program: beside the window's thread.
            Services& s = m_s;
            if (start([&s, number] { testWatchdogCall(s, number); }))
                enable(IDC_WD_TEST_CALL, false);
        } else if (id == IDC_WD_LOGFILE) {
            openWatchdogLog(m_s);
        }
    }
    void operationEnded() override { enable(IDC_WD_TEST_CALL, true); }
    bool accept() override {
        const WatchdogBoxSettings w = fromControls();
        return writable() && saveWatchdogBox(m_s, w);
    }
    std::vector<AlarmListEntry> m_alarms;
};

// ---------------------------------------------------------------------------------------------------
// The job directory watcher: three watched directories and the reaction to a job file left over.
class JobWatcherDialog : public Dialog {
public:
    explicit JobWatcherDialog(const ViewContext& view) : Dialog(view, IDD_JOB_WATCHER) {}

private:
    static int slotId(std::size_t slot, int offset) {
        return IDC_JOB_SLOT_FIRST + static_cast<int>(slot) * IDC_JOB_SLOT_STRIDE + offset;
    }
    void init() override {
        const JobWatcherSettings w = readJobWatcher(m_s.profile);
        for (std::size_t i = 0; i < w.directories.size(); ++i) {
            const JobSlot& slot = w.directories[i];
            complete(slotId(i, IDC_JOB_OFS_BOX), std::to_wstring(i + 1));
            check(slotId(i, IDC_JOB_OFS_CHECK), slot.watched);
            setText(slotId(i, IDC_JOB_OFS_DIR), slot.directory);
            check(slotId(i, IDC_JOB_OFS_MOVE), slot.moveFiles);
            setText(slotId(i, IDC_JOB_OFS_MOVE_DIR), slot.moveDirectory);
        }
        m_alarms = alarmChoices(m_s);
        check(IDC_JOB_ON_PROGRAM, w.startOnErrorType == 0);
        check(IDC_JOB_ON_ALARM, w.startOnErrorType != 0);
        setText(IDC_JOB_PROGRAM, w.startOnErrorProgram);
        fill(IDC_JOB_ALARM, alarmChoiceTexts(m_alarms), alarmChoiceIndex(m_alarms, w.startOnErrorAlarm));
    }
    JobWatcherSettings fromControls() {
        JobWatcherSettings w;
        for (std::size_t i = 0; i < w.directories.size(); ++i)
            w.directories[i] = {checked(slotId(i, IDC_JOB_OFS_CHECK)), bytes(slotId(i, IDC_JOB_OFS_DIR)),
                                checked(slotId(i, IDC_JOB_OFS_MOVE)), bytes(slotId(i, IDC_JOB_OFS_MOVE_DIR))};
        w.startOnErrorType = checked(IDC_JOB_ON_ALARM) ? 1 : 0;
        w.startOnErrorProgram = bytes(IDC_JOB_PROGRAM);
        const int index = selection(IDC_JOB_ALARM);
        w.startOnErrorAlarm =
            index >= 0 && static_cast<std::size_t>(index) < m_alarms.size() ? m_alarms[index].number : -1;
        return w;
    }
    void rules() override {
        JobWatcherSettings switches;
        for (std::size_t i = 0; i < switches.directories.size(); ++i) {
            switches.directories[i].watched = checked(slotId(i, IDC_JOB_OFS_CHECK));
            switches.directories[i].moveFiles = checked(slotId(i, IDC_JOB_OFS_MOVE));
        }
        switches.startOnErrorType = checked(IDC_JOB_ON_ALARM) ? 1 : 0;
        const JobWatcherEnabled on = jobWatcherEnabled(switches);
        for (std::size_t i = 0; i < on.directories.size(); ++i) {
            enable(slotId(i, IDC_JOB_OFS_DIR), on.directories[i].directory);
            enable(slotId(i, IDC_JOB_OFS_DIR_BROWSE), on.directories[i].directory);
            enable(slotId(i, IDC_JOB_OFS_MOVE), on.directories[i].moveFiles);
            enable(slotId(i, IDC_JOB_OFS_MOVE_DIR), on.directories[i].moveDirectory);
            enable(slotId(i, IDC_JOB_OFS_MOVE_BROWSE), on.directories[i].moveDirectory);
        }
        enable(IDC_JOB_PROGRAM, on.program);
        enable(IDC_JOB_ALARM, on.alarm);
    }
    void command(int id, int notification) override {
        if (notification != BN_CLICKED || chooseRadio({IDC_JOB_ON_PROGRAM, IDC_JOB_ON_ALARM}, id))
            return;
        for (std::size_t i = 0; i < 3; ++i)
            for (auto [browse, field] : {std::pair{IDC_JOB_OFS_DIR_BROWSE, IDC_JOB_OFS_DIR},
                                         std::pair{IDC_JOB_OFS_MOVE_BROWSE, IDC_JOB_OFS_MOVE_DIR}})
                if (id == slotId(i, browse))
                    if (auto directory = pickDirectory(kTxtSelectPath))
                        setText(slotId(i, field), *directory);
    }
    bool accept() override {
        const JobWatcherSettings w = fromControls();
        return writable() && saveJobWatcher(m_s, w);
    }
    std::vector<AlarmListEntry> m_alarms;
};

// ---------------------------------------------------------------------------------------------------
// "Test delete" of the conference recordings: what would go, and "Delete now" beside the window.
class TestDeleteDialog : public Dialog {
public:
    TestDeleteDialog(const ViewContext& view, const ConferenceSettings& settings)
        : Dialog(view, IDD_TEST_DELETE), m_form(view.services, view.jobs, settings) {}

private:
    void init() override {
        SetDlgItemTextW(m_dialog, IDC_TD_CAPTION, uiText(m_form.caption()).c_str());
        for (const std::string& line : m_form.lines())
            SendDlgItemMessageW(m_dialog, IDC_TD_FILES, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(displayText(line).c_str()));
    }
    void command(int id, int notification) override {
        if (id != IDC_TD_DELETE_NOW || notification != BN_CLICKED || busy() || !m_form.prepareDeletion())
            return;
        TestDeleteForm& form = m_form;
        if (start([&form] { form.deleteListed(); })) {
            enable(IDC_TD_DELETE_NOW, false);
            enable(IDCANCEL, false);
        }
    }
    void operationEnded() override {
        m_form.finished();
        end(IDOK);
    }
    TestDeleteForm m_form;
};

class ConferenceDialog : public Dialog {
public:
    explicit ConferenceDialog(const ViewContext& view) : Dialog(view, IDD_CONFERENCE) {}

private:
    void init() override {
        const ConferenceSettings c = readConferenceSettings(m_s.profile);
        check(IDC_CONF_MOVE, c.moveStep);
        spinRange(IDC_CONF_MOVE_WEEKS_SPIN, 0, 999, c.moveWeeks);
        SetDlgItemInt(m_dialog, IDC_CONF_MOVE_WEEKS, static_cast<UINT>(std::max(0, c.moveWeeks)), FALSE);
        setText(IDC_CONF_MOVE_TO, c.archiveDirectory);
        check(IDC_CONF_DELETE, c.deleteStep);
        spinRange(IDC_CONF_DELETE_WEEKS_SPIN, 0, 999, c.deleteWeeks);
        SetDlgItemInt(m_dialog, IDC_CONF_DELETE_WEEKS, static_cast<UINT>(std::max(0, c.deleteWeeks)), FALSE);
        setText(IDC_CONF_DELETE_FROM, c.deleteFrom);
        check(IDC_CONF_DAILY, c.daily);
    }
    ConferenceSettings fromControls() {
        ConferenceSettings c = readConferenceSettings(m_s.profile);
        c.moveStep = checked(IDC_CONF_MOVE);
        c.moveWeeks = number(IDC_CONF_MOVE_WEEKS, 0, 999);
        c.archiveDirectory = bytes(IDC_CONF_MOVE_TO);
        c.deleteStep = checked(IDC_CONF_DELETE);
        c.deleteWeeks = number(IDC_CONF_DELETE_WEEKS, 0, 999);
        c.deleteFrom = bytes(IDC_CONF_DELETE_FROM);
        c.daily = checked(IDC_CONF_DAILY);
        return c;
    }
    void rules() override {
        ConferenceSettings switches;
        switches.moveStep = checked(IDC_CONF_MOVE);
        switches.deleteStep = checked(IDC_CONF_DELETE);
        const ConferenceEnabled on = conferenceEnabled(switches);
        for (int id :
             {IDC_CONF_MOVE_WEEKS, IDC_CONF_MOVE_WEEKS_SPIN, IDC_CONF_MOVE_TO, IDC_CONF_MOVE_TO_BROWSE})
            enable(id, on.move);
        for (int id : {IDC_CONF_DELETE_WEEKS, IDC_CONF_DELETE_WEEKS_SPIN, IDC_CONF_DELETE_FROM,
                       IDC_CONF_DELETE_FROM_BROWSE})
            enable(id, on.remove);
    }
    void command(int id, int notification) override {
        if (notification != BN_CLICKED)
            return;
        if (id == IDC_CONF_MOVE_TO_BROWSE || id == IDC_CONF_DELETE_FROM_BROWSE) {
            if (auto directory = pickDirectory(kTxtSelectPath))
                setText(id == IDC_CONF_MOVE_TO_BROWSE ? IDC_CONF_MOVE_TO : IDC_CONF_DELETE_FROM, *directory);
        } else if (id == IDC_CONF_TEST_DELETE) {
            // What the dialog holds now, saved or not.
            const ConferenceSettings c = fromControls();
            if (writable())
                TestDeleteDialog(m_view, c).run(m_dialog);
        }
    }
    bool accept() override {
        const ConferenceSettings c = fromControls();
        return writable() && saveConference(m_s, c);
    }
};

}  // namespace

std::wstring viewText(const ViewContext& view, int id) {
    return windowText(view.module, view.services.strings, id, view.language);
}

void warnUnwritable(Services& s, HWND dialog, int field) {
    // Nothing is written: a "?" in its place would store another value than the one shown.
    s.prompts.warn("The text of field " + std::to_string(field) + " has a character that code page " +
                       std::to_string(ansiCodePage()) + " cannot write; nothing was saved.",
                   s.strings.get(kStrErrorCaption));
    SetFocus(GetDlgItem(dialog, field));
}

bool openSubDialog(const ViewContext& view, HWND owner, int buttonId, std::string& driveList) {
    INT_PTR result = -1;
    switch (buttonId) {
        case ctl::kSelectDrives:
            result = DriveSelection(view, driveList).run(owner);
            break;
        case ctl::kStartTasks:
            result = ListDialog(view, ListKind::TimedTasks).run(owner);
            break;
        case ctl::kDeleteMoreSettings:
            result = ListDialog(view, ListKind::ExtraDeletion).run(owner);
            break;
        case ctl::kExtendedMonitor:
            result = ListDialog(view, ListKind::Drives).run(owner);
            break;
        case ctl::kWatchDog:
            result = WatchdogBoxDialog(view).run(owner);
            break;
        case ctl::kCheckJobFiles:
            result = JobWatcherDialog(view).run(owner);
            break;
        case ctl::kConferenceSettings:
            result = ConferenceDialog(view).run(owner);
            break;
    }
    return result != -1;
}

}  // namespace qx::winui
