#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "DialogJobs.h"
#include "MoverSettings.h"
#include "Services.h"

namespace qx::winui {

// The tray icon's identifier and the message its notifications come with (the first user message + 1).
inline constexpr UINT kTrayIconId = 128;
inline constexpr UINT kTrayMessage = WM_USER + 1;
// The clock timer (every second) and the one-shot hide after the start.
inline constexpr UINT_PTR kClockTimer = 1;
inline constexpr UINT_PTR kStartHideTimer = 2;
// The tray menu's commands.
inline constexpr UINT kMenuShow = 40001;
inline constexpr UINT kMenuAbout = 40002;

// What the dialog's buttons reach beyond the settings and the forms: the test operations. An empty
// function leaves its buttons without effect but a line in the activity log.
struct MainDialogHooks {
    // The work of a test button (ctl::kTestMove, kTestDelete, kTestBatch, kEditBatch, kPrintNow) with the
    // dialog's move mode (0 for "no move") and report type; runs beside the window's thread and asks its
    // questions through the prompts before any work.
    std::function<void(Services&, int buttonId, int moveMode, int reportType)> operation;
    // The jobs that the sub-dialogs' buttons start ("Delete now" of the conference recordings).
    DialogJobs jobs;
};

// The main settings dialog over the Win32 dialog template IDD_MAIN: loads the settings into the
// controls, applies the enabling rules of the forms layer, saves through the core's writer, keeps the
// clock and the week, and carries the tray icon. It never ends by its own controls: Close, Cancel and
// Save minimise it, which hides it while the tray icon can bring it back.
//
// Texts of the installation (values, names) cross into the controls through widen() and come back
// through narrow(): byte for byte in the code page of [Config] CodePage.
class MainDialog {
public:
    MainDialog(Services& services, MainDialogHooks hooks, LANGID language);
    ~MainDialog();
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // Creates the dialog (modeless, shown) from the resources of `module`, its timers and, with `tray`,
    // the tray icon. False when the template is missing or the window cannot be made.
    bool create(HMODULE module, bool tray);
    HWND window() const { return m_window; }

    // Loads the settings (writing back the missing defaults), publishes them and shows them.
    void load();
    // Takes the controls' values, writes them, publishes them and minimises. False, and the dialog stays
    // as filled, when a key could not be written (the failure has been shown).
    bool save();
    // Reloads, restores, brings the window forward and notes "Show mover".
    void showFromTray();
    // Hides the window, or minimises it without a tray icon.
    void minimise();
    // Hides the window `delay` after now, unless it is shown from the tray or a second start before.
    void hideAfterStart(UINT delayMs) { SetTimer(m_window, kStartHideTimer, delayMs, nullptr); }
    // The clock timer's work: a show request of a second start, the clock and the week.
    void tick();

    // The settings as the controls hold them now; nullopt when a text field holds a character that the
    // installation's code page cannot write (`field` then names its control).
    std::optional<MoverSettings> fromControls(int* field = nullptr) const;

    // Called at every tick; true asks the dialog to show itself (a second start asked for it).
    void setShowRequestPoll(std::function<bool()> poll) { m_showRequested = std::move(poll); }

    // The tray icon: added (again after the taskbar restarted) or removed. False when the shell refused.
    bool addTrayIcon();
    void removeTrayIcon();
    bool trayIconShown() const { return m_trayShown; }

    // Whether a test operation runs; waits for it.
    bool busy() const { return m_busy; }
    void waitForOperation();

    // Shows the About box (modal).
    void about();

    // The number of shows from the tray or a second start.
    unsigned shows() const { return m_shows; }

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void command(int id, int notification);
    void applyRules();
    void chooseMoveMode(int mode);
    void fillList(int id, const std::vector<std::string>& entries);
    void fillAlarmList();
    void toControls(const MoverSettings& settings);
    void showDriveList();
    void runOperation(int id);
    void trayNotification(LPARAM lParam);
    void trayMenu();
    bool checked(int id) const;
    void check(int id, bool on);
    void setText(int id, const std::string& bytes);
    std::optional<std::string> bytes(int id) const;
    int selection(int id) const;

    Services& m_services;
    MainDialogHooks m_hooks;
    LANGID m_language;
    HMODULE m_module = nullptr;
    HWND m_window = nullptr;
    HICON m_icon = nullptr;
    UINT m_taskbarCreated = 0;
    bool m_tray = false;
    bool m_trayShown = false;
    MoverSettings m_settings;
    std::string m_driveList;
    int m_moveMode = 1;
    unsigned m_shows = 0;
    std::string m_codePageProblem;
    std::function<bool()> m_showRequested;
    std::thread m_operation;
    bool m_busy = false;
};

// Runs the window's messages until `stop` answers true (asked at least every 200 ms) or WM_QUIT comes:
// keyboard navigation for `dialog`, and a show of it whenever `showRequest` (an auto-reset event, may
// be null) is set by a second start.
int runMessages(MainDialog& dialog, HANDLE showRequest, const std::function<bool()>& stop);

// A second start's part: finds the first instance's settings dialog by its exact title (`title`, in the
// installation's code page), restores it and brings it to the foreground, which only the process the
// user just started may do. False when there is no such window.
bool restoreRunningWindow(const std::string& title);

// The window's text of string `id` in `language` from the resources of `module`, else the string
// table's text widened.
std::wstring windowText(HMODULE module, const StringTable& strings, int id, LANGID language);

}  // namespace qx::winui
