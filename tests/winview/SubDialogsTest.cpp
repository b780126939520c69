// The native sub-dialogs, opened from their buttons in the main dialog and answered by a second thread
// as a user would, through their messages; what they store is read back from the INI files.
#include "MainDialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include "DialogResources.h"
#include "MainDialogRules.h"
#include "ServiceBundle.h"
#include "SettingRecords.h"
#include "WideText.h"
#include "resource.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace qx::winui {
namespace {

// The user's side: finds the dialog that is up (the enabled one of the window's thread: a modal
// dialog disables its owner) and works its controls. A click that opens a dialog is posted, so that
// the user does not wait for the dialog it opens to close.
struct User {
    HWND main;

    HWND top(HWND other = nullptr) const {
        struct Search {
            HWND main, other, found;
        } search{main, other, nullptr};
        EnumThreadWindows(
            GetWindowThreadProcessId(main, nullptr),
            [](HWND window, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                WCHAR name[16] = {};
                GetClassNameW(window, name, 16);
                if (window != s->main && window != s->other && std::wstring(name) == L"#32770" &&
                    IsWindowVisible(window) && IsWindowEnabled(window)) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    // The dialog that came up over `below` (the main dialog when null); null after five seconds.
    HWND await(HWND below = nullptr) const {
        for (int i = 0; i < 100; ++i) {
            if (HWND found = top(below); found && (!below || GetWindow(found, GW_OWNER) == below))
                return found;
            Sleep(50);
        }
        return nullptr;
    }
    // Waits until `dialog` is gone; false after five seconds.
    static bool gone(HWND dialog) {
        for (int i = 0; i < 100 && IsWindow(dialog); ++i)
            Sleep(50);
        return !IsWindow(dialog);
    }
    static void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    static void press(HWND dialog, int id) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    static void type(HWND dialog, int id, const std::wstring& text) {
        SetDlgItemTextW(dialog, id, text.c_str());
    }
    static void choose(HWND dialog, int id, int index) {
        SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0);
    }
    static bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
    static bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    static std::wstring text(HWND dialog, int id) {
        WCHAR buffer[512] = {};
        GetDlgItemTextW(dialog, id, buffer, static_cast<int>(std::size(buffer)));
        return buffer;
    }
    static int rows(HWND dialog) { return ListView_GetItemCount(GetDlgItem(dialog, IDC_LIST_ROWS)); }
    static void selectRow(HWND dialog, int row) {
        ListView_SetItemState(GetDlgItem(dialog, IDC_LIST_ROWS), row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }
};

using Key = std::tuple<const char*, const char*, const char*, std::string>;

// One sub-dialog: the settings before, the main dialog's button, what the user does there (false: it
// did not go as planned), and the keys it must have written.
struct SubDialogCase {
    const char* name;
    std::function<void(test::ServiceBundle&)> before;
    int button;
    std::function<bool(const User&, HWND dialog, test::ServiceBundle&)> use;
    std::vector<Key> written;
    std::vector<std::string> questions;
};

void PrintTo(const SubDialogCase& c, std::ostream* out) {
    *out << c.name;
}

class WinSubDialogTest : public ::testing::TestWithParam<SubDialogCase> {
protected:
    void TearDown() override { setAnsiCodePage(1252); }
    MainDialog* dialog() {
        if (!m_dialog) {
            INITCOMMONCONTROLSEX controls{sizeof controls,
                                          ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
            InitCommonControlsEx(&controls);
            MainDialogHooks hooks;
            hooks.jobs = dialogJobs();
            m_dialog = std::make_unique<MainDialog>(s.services, hooks, kLanguages[0].id);
            if (!m_dialog->create(GetModuleHandleW(nullptr), false))
                m_dialog.reset();
        }
        return m_dialog.get();
    }
    // Opens the sub-dialog of `button` and lets `use` work it from a second thread; true when `use`
    // went as planned and every dialog it opened has closed.
    bool openAndUse(int button, const std::function<bool(const User&, HWND, test::ServiceBundle&)>& use) {
        User user{m_dialog->window()};
        bool went = false;
        std::thread answering([&] {
            HWND opened = user.await();
            went = opened && use(user, opened, s) && User::gone(opened);
            // Whatever went wrong, nothing may stay open: the click below would wait for ever.
            for (int i = 0; i < 100; ++i) {
                HWND left = user.top();
                if (!left)
                    break;
                PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
                Sleep(50);
            }
        });
        SendMessageW(GetDlgItem(user.main, button), BM_CLICK, 0, 0);
        answering.join();
        return went;
    }

    test::ServiceBundle s;
    std::unique_ptr<MainDialog> m_dialog;
};

#define QX_NEED_DIALOG() \
    if (!dialog())       \
    GTEST_SKIP() << "no window can be made here (Wine needs an X display: scripts/with-xvfb.sh)"

TEST_P(WinSubDialogTest, OpensFromItsButtonAndStoresThroughItsForm) {
    const SubDialogCase& c = GetParam();
    if (c.before)
        c.before(s);
    QX_NEED_DIALOG();
    EXPECT_TRUE(openAndUse(c.button, c.use));
    for (const auto& [file, section, key, value] : c.written)
        EXPECT_EQ(s.get(file, section, key), value) << section << " " << key;
    EXPECT_EQ(s.prompts.questions(), c.questions);
}

const std::string kPleaseConfirm = "Please confirm ...|";

INSTANTIATE_TEST_SUITE_P(
    Dialogs, WinSubDialogTest,
    ::testing::Values(
        SubDialogCase{"TimedTaskAddedWithItsParameters",
                      nullptr,
                      ctl::kStartTasks,
                      [](const User& user, HWND list, test::ServiceBundle&) {
                          User::press(list, IDC_LIST_ADD);
                          HWND editor = user.await(list);
                          if (!editor)
                              return false;
                          // A program task: the module's fields are off until the module is chosen.
                          const bool programRules = User::enabled(editor, IDC_TASK_PROGRAM) &&
                                                    !User::enabled(editor, IDC_TASK_PARAMETERS);
                          User::click(editor, IDC_TASK_KIND_MODULE);
                          const bool moduleRules = !User::enabled(editor, IDC_TASK_PROGRAM) &&
                                                   User::enabled(editor, IDC_TASK_PARAMETERS);
                          User::click(editor, IDC_TASK_KIND_PROGRAM);
                          User::type(editor, IDC_TASK_PROGRAM, L"\\qxt\\M\u00E4rz.bat");
                          User::click(editor, IDC_TASK_WEEK_PARAMETER);
                          User::choose(editor, IDC_TASK_DAY, 3);
                          User::choose(editor, IDC_TASK_HOUR, 22);
                          User::click(editor, IDC_TASK_KIND_MODULE);
                          User::press(editor, IDC_TASK_PARAMETERS);
                          HWND parameters = user.await(editor);
                          if (!parameters)
                              return false;
                          User::type(parameters, IDC_PARAM_TEXT_FIRST, L"M\u00E4rz");
                          User::type(parameters, IDC_PARAM_NUMBER_FIRST + 8, L"42");
                          User::press(parameters, IDOK);
                          if (!User::gone(parameters))
                              return false;
                          User::click(editor, IDC_TASK_KIND_PROGRAM);
                          User::press(editor, IDOK);
                          const bool stored = User::gone(editor) && User::rows(list) == 1;
                          User::press(list, IDCANCEL);
                          return programRules && moduleRules && stored;
                      },
                      {{"qxmover.ini", "StartMore", "Prog1", "\\qxt\\M\xE4rz.bat"},
                       {"qxmover.ini", "StartMore", "WeekParameter1", "1"},
                       {"qxmover.ini", "StartMore", "Day1", "3"},
                       {"qxmover.ini", "StartMore", "Time1", "22"},
                       {"qxmover.ini", "StartMore", "Type1", "0"},
                       {"qxmover.ini", "QxeTaskParameter1", "s1", "M\xE4rz"},
                       {"qxmover.ini", "QxeTaskParameter1", "i9", "42"}},
                      {}},
        SubDialogCase{"DeletionRuleAskedThenStored",
                      nullptr,
                      ctl::kDeleteMoreSettings,
                      [](const User& user, HWND list, test::ServiceBundle&) {
                          User::press(list, IDC_LIST_ADD);
                          HWND editor = user.await(list);
                          if (!editor)
                              return false;
                          const bool allOffersNoPattern = !User::enabled(editor, IDC_DEL_PATTERN);
                          User::click(editor, IDC_DEL_ONLY);
                          const bool onlyTakesOne = User::enabled(editor, IDC_DEL_PATTERN);
                          User::type(editor, IDC_DEL_PATH, L"\\qxt\\M\u00E4rz");
                          User::type(editor, IDC_DEL_PATTERN, L"*.tmp");
                          User::choose(editor, IDC_DEL_WEEKS, 2);
                          User::press(editor, IDOK);
                          const bool stored = User::gone(editor) && User::rows(list) == 1;
                          User::press(list, IDCANCEL);
                          return allOffersNoPattern && onlyTakesOne && stored;
                      },
                      {{"qxmover.ini", "DeleteAddtionalLogs", "DelPath1", "\\qxt\\M\xE4rz"},
                       {"qxmover.ini", "DeleteAddtionalLogs", "DelExt1", "*.tmp"},
                       {"qxmover.ini", "DeleteAddtionalLogs", "DelAfterWeeks1", "3"}},
                      {kPleaseConfirm +
                       "Delete files with the extension *.tmp from directory \\qxt\\M\xE4rz which are older "
                       "than 3 weeks ?"}},
        SubDialogCase{
            "MonitoredDriveEditedAndTheSecondOfThreeDeleted",
            [](test::ServiceBundle& s) {
                for (int n = 1; n <= 3; ++n)
                    writeMonitoredDrive(s.profile, n, {std::string(1, char('c' + n)) + ":", 90, ""});
            },
            ctl::kExtendedMonitor,
            [](const User& user, HWND list, test::ServiceBundle&) {
                const bool listed = User::rows(list) == 3;
                User::selectRow(list, 0);
                User::press(list, IDC_LIST_EDIT);
                HWND editor = user.await(list);
                if (!editor)
                    return false;
                const bool shown = User::text(editor, IDC_DRV_DRIVE) == L"d:";
                User::type(editor, IDC_DRV_PERCENT, L"75");
                User::press(editor, IDOK);
                if (!User::gone(editor))
                    return false;
                User::selectRow(list, 1);
                User::press(list, IDC_LIST_DELETE);
                for (int i = 0; i < 100 && User::rows(list) != 2; ++i)
                    Sleep(50);
                const bool deleted = User::rows(list) == 2;
                User::press(list, IDCANCEL);
                return listed && shown && deleted;
            },
            {{"qxmover.ini", "MonitorAddtionalDrives", "Drive1", "d:"},
             {"qxmover.ini", "MonitorAddtionalDrives", "Space1", "75"},
             {"qxmover.ini", "MonitorAddtionalDrives", "Drive2", "f:"},
             {"qxmover.ini", "MonitorAddtionalDrives", "Drive3", ""}},
            {kPleaseConfirm + "Delete the entry to monitor the used space on drive e: ?"}},
        SubDialogCase{"WatchdogBoxSavedWithItsRules",
                      nullptr,
                      ctl::kWatchDog,
                      [](const User&, HWND box, test::ServiceBundle&) {
                          const bool off =
                              !User::enabled(box, IDC_WD_NUMBER) && !User::enabled(box, IDC_WD_WARNING);
                          User::click(box, IDC_WD_ACTIVE);
                          User::click(box, IDC_WD_GET_CODE);
                          const bool on =
                              User::enabled(box, IDC_WD_NUMBER) && User::enabled(box, IDC_WD_INTERVAL) &&
                              User::enabled(box, IDC_WD_CONF_CODE) &&
                              User::enabled(box, IDC_WD_NO_CODE_ALARM) && !User::enabled(box, IDC_WD_WARNING);
                          User::type(box, IDC_WD_NUMBER, L"M\u00E4rz 0815");
                          User::choose(box, IDC_WD_INTERVAL, 19);
                          User::type(box, IDC_WD_CONF_CODE, L"\u00E9t\u00E9");
                          User::press(box, IDOK);
                          return off && on;
                      },
                      {{"qxalarm.ini", "WatchDog", "Active", "1"},
                       {"qxalarm.ini", "WatchDog", "NumberToDial", "M\xE4rz 0815"},
                       {"qxalarm.ini", "WatchDog", "Intervall", "1560"},
                       {"qxalarm.ini", "WatchDog", "GetConfCode", "1"},
                       {"qxalarm.ini", "WatchDog", "ConfCode", "\xE9t\xE9"}},
                      {}},
        SubDialogCase{"JobWatcherSlotAndReaction",
                      nullptr,
                      ctl::kCheckJobFiles,
                      [](const User&, HWND box, test::ServiceBundle&) {
                          const int check = IDC_JOB_SLOT_FIRST + IDC_JOB_SLOT_STRIDE + IDC_JOB_OFS_CHECK;
                          const int dir = IDC_JOB_SLOT_FIRST + IDC_JOB_SLOT_STRIDE + IDC_JOB_OFS_DIR;
                          const int moveDir = IDC_JOB_SLOT_FIRST + IDC_JOB_SLOT_STRIDE + IDC_JOB_OFS_MOVE_DIR;
                          const bool titled =
                              User::text(box, IDC_JOB_SLOT_FIRST + IDC_JOB_SLOT_STRIDE).find(L'2') !=
                              std::wstring::npos;
                          const bool off = !User::enabled(box, dir) && !User::enabled(box, moveDir);
                          User::click(box, check);
                          const bool watching = User::enabled(box, dir) && !User::enabled(box, moveDir);
                          User::type(box, dir, L"\\jobs\\M\u00E4rz");
                          User::click(box, IDC_JOB_ON_ALARM);
                          const bool alarm =
                              User::enabled(box, IDC_JOB_ALARM) && !User::enabled(box, IDC_JOB_PROGRAM);
                          User::press(box, IDOK);
                          return titled && off && watching && alarm;
                      },
                      {{"qxmover.ini", "JobDirWatcher", "CheckJob2", "1"},
                       {"qxmover.ini", "JobDirWatcher", "CheckDir2", "\\jobs\\M\xE4rz"},
                       {"qxmover.ini", "JobDirWatcher", "CheckJob1", "0"},
                       {"qxmover.ini", "JobDirWatcher", "StartOnErrorType", "1"}},
                      {}},
        SubDialogCase{"ConferenceSavedWithItsRules",
                      nullptr,
                      ctl::kConferenceSettings,
                      [](const User&, HWND box, test::ServiceBundle&) {
                          const bool on = User::enabled(box, IDC_CONF_MOVE_TO) &&
                                          User::enabled(box, IDC_CONF_DELETE_WEEKS);
                          User::click(box, IDC_CONF_MOVE);
                          const bool off = !User::enabled(box, IDC_CONF_MOVE_TO) &&
                                           !User::enabled(box, IDC_CONF_MOVE_WEEKS);
                          User::type(box, IDC_CONF_DELETE_WEEKS, L"30");
                          User::type(box, IDC_CONF_DELETE_FROM, L"\\Archiv M\u00E4rz");
                          User::press(box, IDOK);
                          return on && off;
                      },
                      {{"qxmover.ini", "Config", "MoveToConferWav", "0"},
                       {"qxmover.ini", "Config", "DelConferWavAfterWeeks", "30"},
                       {"qxmover.ini", "Config", "DelConferWavFrom", "\\Archiv M\xE4rz"}},
                      {}},
        SubDialogCase{"ConferenceTestDeleteListsAndDeletesNow",
                      [](test::ServiceBundle& s) {
                          s.set("qxmover.ini", "Config", "MoveConferWavTo", "\\arch");
                          s.set("qxmover.ini", "Config", "DelConferWav", "0");
                          s.sandbox.file("root/arch/old.wav", "",
                                         s.clock.now() - std::chrono::hours(24 * 7 * 30));
                      },
                      ctl::kConferenceSettings,
                      [](const User& user, HWND box, test::ServiceBundle& s) {
                          // Deleting is ticked in the dialog, not saved: Delete now goes by the dialog.
                          User::click(box, IDC_CONF_DELETE);
                          User::press(box, IDC_CONF_TEST_DELETE);
                          HWND test = user.await(box);
                          if (!test)
                              return false;
                          const bool listed =
                              SendDlgItemMessageW(test, IDC_TD_FILES, LB_GETCOUNT, 0, 0) == 1 &&
                              User::text(test, IDC_TD_CAPTION).find(L"20") != std::wstring::npos;
                          User::press(test, IDC_TD_DELETE_NOW);
                          // The test dialog closes itself when the work is done.
                          const bool deleted = User::gone(test) && !s.sandbox.exists("root/arch/old.wav");
                          User::press(box, IDCANCEL);
                          return listed && deleted;
                      },
                      {{"qxmover.ini", "Config", "DelConferWav", "1"}},
                      {}},
        SubDialogCase{"AboutShowsTheVersion",
                      nullptr,
                      ctl::kAbout,
                      [](const User&, HWND box, test::ServiceBundle&) {
                          const bool version =
                              User::text(box, IDC_ABOUT_VERSION).find(L"%") == std::wstring::npos;
                          User::press(box, IDOK);
                          return version;
                      },
                      {},
                      {}}),
    [](const auto& c) { return std::string(c.param.name); });

// Cancel writes nothing, in every dialog that has settings.
class WinSubDialogCancelTest : public WinSubDialogTest {};

TEST_P(WinSubDialogCancelTest, CancelWritesNothing) {
    QX_NEED_DIALOG();
    const std::string before =
        s.sandbox.read("root/windows/qxmover.ini") + s.sandbox.read("root/windows/qxalarm.ini");
    const int button = GetParam().button;
    EXPECT_TRUE(openAndUse(button, [](const User&, HWND box, test::ServiceBundle&) {
        // Every text field gets a value that would be written.
        EnumChildWindows(
            box,
            [](HWND control, LPARAM) -> BOOL {
                WCHAR name[16] = {};
                GetClassNameW(control, name, 16);
                if (std::wstring(name) == L"Edit")
                    SetWindowTextW(control, L"9");
                return TRUE;
            },
            0);
        User::press(box, IDCANCEL);
        return true;
    }));
    EXPECT_EQ(s.sandbox.read("root/windows/qxmover.ini") + s.sandbox.read("root/windows/qxalarm.ini"),
              before);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, WinSubDialogCancelTest,
    ::testing::Values(SubDialogCase{"WatchdogBox", nullptr, ctl::kWatchDog, nullptr, {}, {}},
                      SubDialogCase{"JobWatcher", nullptr, ctl::kCheckJobFiles, nullptr, {}, {}},
                      SubDialogCase{"Conference", nullptr, ctl::kConferenceSettings, nullptr, {}, {}},
                      SubDialogCase{"DriveSelection", nullptr, ctl::kSelectDrives, nullptr, {}, {}}),
    [](const auto& c) { return std::string(c.param.name); });

// A text that the installation's code page cannot write is refused, and the dialog stays open.
TEST_F(WinSubDialogTest, ATextTheCodePageCannotWriteKeepsTheBoxOpenAndWritesNothing) {
    QX_NEED_DIALOG();
    EXPECT_TRUE(openAndUse(ctl::kWatchDog, [](const User&, HWND box, test::ServiceBundle&) {
        User::click(box, IDC_WD_ACTIVE);
        User::type(box, IDC_WD_NUMBER, L"\u4E2D 0815");
        User::press(box, IDOK);
        Sleep(300);
        const bool open = IsWindow(box) != FALSE;
        User::press(box, IDCANCEL);
        return open;
    }));
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "Active"), "<none>");
    // (The sandbox has no alarm table: the box's alarm lists have said so first.)
    EXPECT_THAT(s.prompts.warnings(), ::testing::Contains(HasSubstr("cannot write; nothing was saved")));
}

}  // namespace
}  // namespace qx::winui
