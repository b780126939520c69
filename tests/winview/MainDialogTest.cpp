// The native main dialog driven through its window messages, as a user's clicks would send them.
#include "MainDialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <commctrl.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "../forms/MainDialogRuleCases.h"
#include "DialogJobs.h"
#include "DialogResources.h"
#include "MainDialogRules.h"
#include "ServiceBundle.h"
#include "SingleInstance.h"
#include "WideText.h"
#include "WinPrompts.h"
#include "resource.h"

using ::testing::HasSubstr;

namespace qx::winui {
namespace {

class WinMainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.set("qxmover.ini", "Config", "DelLogFiles", "1");
        s.set("qxmover.ini", "Config", "WaitBeforeDel", "4");
        s.set("qxmover.ini", "HDCheck", "Active", "1");
        s.set("qxmover.ini", "HDCheck", "DialPhoneIfLow", "1");
        s.set("qxmover.ini", "HDCheck", "PhoneNumber", "M\xE4rz 0815");
        s.set("qxmover.ini", "HDCheck", "CheckDrives", "C:");
        s.set("qxaview.ini", "Config", "AlarmSelectionRange", "week");
    }
    void TearDown() override { setAnsiCodePage(1252); }

    // The dialog, made on first use; the test is skipped where no window can be made (Wine without a
    // display to draw on).
    MainDialog* dialog(bool tray = false) {
        if (!m_dialog) {
            INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
            InitCommonControlsEx(&controls);
            m_dialog = std::make_unique<MainDialog>(s.services, MainDialogHooks{}, kLanguages[0].id);
            if (!m_dialog->create(GetModuleHandleW(nullptr), tray)) {
                m_dialog.reset();
                m_failure = GetLastError();
                return nullptr;
            }
        }
        return m_dialog.get();
    }
    HWND window() { return m_dialog->window(); }
    HWND item(int id) { return GetDlgItem(window(), id); }
    // A click as the control reports it: the box toggles itself, then tells the dialog.
    void click(int id) { SendMessageW(item(id), BM_CLICK, 0, 0); }
    void command(int id) { SendMessageW(window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)item(id)); }
    bool checked(int id) { return IsDlgButtonChecked(window(), id) == BST_CHECKED; }
    bool enabled(int id) { return IsWindowEnabled(item(id)) != FALSE; }
    std::wstring text(int id) {
        WCHAR buffer[256] = {};
        GetDlgItemTextW(window(), id, buffer, static_cast<int>(std::size(buffer)));
        return buffer;
    }
    int selection(int id) { return static_cast<int>(SendDlgItemMessageW(window(), id, CB_GETCURSEL, 0, 0)); }
    void select(int id, int index) {
        SendDlgItemMessageW(window(), id, CB_SETCURSEL, index, 0);
        SendMessageW(window(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)item(id));
    }
    bool shown() { return IsWindowVisible(window()) && !IsIconic(window()); }
    void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    test::ServiceBundle s;
    std::unique_ptr<MainDialog> m_dialog;
    DWORD m_failure = 0;
};

TEST(WinMainDialogResourcesTest, TheTestProgramCarriesTheMainDialogInEveryLanguage) {
    for (const Language& language : kLanguages)
        EXPECT_NE(dialogTemplate(GetModuleHandleW(nullptr), IDD_MAIN, language.id), nullptr) << language.code;
}

#define QX_NEED_WINDOW(...)                                           \
    if (!dialog(__VA_ARGS__))                                         \
    GTEST_SKIP() << "no window can be made here (error " << m_failure \
                 << "; Wine needs an X display: scripts/with-xvfb.sh)"

TEST_F(WinMainDialogTest, LoadsTheSettingsIntoTheControlsWithTheTextsOfTheCodePage) {
    QX_NEED_WINDOW();
    EXPECT_TRUE(checked(ctl::kWeekly));
    EXPECT_FALSE(checked(ctl::kMonthly));
    EXPECT_TRUE(checked(ctl::kDelLogFiles));
    EXPECT_EQ(SendDlgItemMessageW(window(), ctl::kWaitList, CB_GETCOUNT, 0, 0), 51);
    EXPECT_EQ(selection(ctl::kWaitList), 3);
    EXPECT_TRUE(checked(ctl::kHdActive));
    EXPECT_EQ(text(ctl::kPhoneNumber), L"M\u00E4rz 0815");
    EXPECT_EQ(text(ctl::kDriveList), L"C:");
    EXPECT_EQ(text(ctl::kMinSpace), L"200");
    EXPECT_EQ(text(ctl::kWaitUnit), L"weeks");
    // The clock of the virtual time and the week.
    EXPECT_EQ(text(ctl::kClock), L"07.12.2026   08:05:00");
    EXPECT_THAT(narrow(text(ctl::kWeek)).value_or(""), HasSubstr("50"));
    // The title is the program's, exactly: a second start looks for it.
    WCHAR title[128] = {};
    GetWindowTextW(window(), title, 128);
    EXPECT_EQ(narrow(title).value_or(""), s.strings.get(kStrTitle));
}

// A language file is UTF-8 and an installation value is code-page bytes; each is shown as its own
// characters, in the same dialog.
TEST_F(WinMainDialogTest, TheLanguageFilesTextsAreUtf8AndTheInstallationsTheCodePage) {
    const std::filesystem::path file = s.sandbox.path("root/windows/qxmovedt.lng");
    {
        std::ofstream out(file, std::ios::binary);
        out << "[Strings]\r\n120=Platten\xC3\xBC"
               "berwachung\r\n104=Woche (%d) \xE2\x80\x93 \xC3\x84\r\n";
    }
    ASSERT_TRUE(s.strings.loadLanguageFile(file));
    QX_NEED_WINDOW();
    WCHAR title[128] = {};
    GetWindowTextW(window(), title, 128);
    EXPECT_EQ(std::wstring(title),
              L"Platten\u00FC"
              L"berwachung");
    EXPECT_EQ(text(ctl::kWeek), L"Woche (50) \u2013 \u00C4");
    EXPECT_EQ(text(ctl::kPhoneNumber), L"M\u00E4rz 0815");
}

TEST_F(WinMainDialogTest, SaveWritesWhatTheControlsHoldAndTheCodePageTextByteForByte) {
    QX_NEED_WINDOW();
    click(ctl::kMonthly);
    EXPECT_EQ(SendDlgItemMessageW(window(), ctl::kWaitList, CB_GETCOUNT, 0, 0), 12);
    EXPECT_EQ(text(ctl::kWaitUnit), L"months");
    select(ctl::kWaitList, 5);
    EXPECT_EQ(s.state.waitBeforeDel.load(), 6);
    click(ctl::kSendSms);
    SetDlgItemTextW(window(), ctl::kSmsNumber, L"+49 170 \u00C4\u00D6\u00DC");
    SetDlgItemTextW(window(), ctl::kMinSpace, L"4711");
    click(ctl::kBackupActive);
    SetDlgItemTextW(window(), ctl::kBackupPath, L"\\Sicherung M\u00E4rz\\");
    select(ctl::kCheckHour, 23);
    click(ctl::kSave);

    EXPECT_EQ(s.get("qxaview.ini", "Config", "AlarmSelectionRange"), "month");
    EXPECT_EQ(s.get("qxmover.ini", "Config", "WaitBeforeDel"), "6");
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "PhoneNumber"), "M\xE4rz 0815");
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "SmsNumber"), "+49 170 \xC4\xD6\xDC");
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "SendSmsIfLow"), "1");
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "MinSpace"), "4711");
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "CheckTime"), "23");
    EXPECT_EQ(s.get("qxmover.ini", "AutoBackup", "Path"), "\\Sicherung M\xE4rz\\");
    EXPECT_TRUE(s.prompts.warnings().empty());
    // Save minimises: without a tray icon to the task bar.
    EXPECT_FALSE(shown());
}

TEST_F(WinMainDialogTest, TheDriveSelectionOffersTheMappedDrivesAndItsListIsSaved) {
    QX_NEED_WINDOW();
    // The selection is modal: a second thread answers it as a user would, through its messages. Wine
    // beside a full test run has taken more than ten seconds to show it. The box exists before its
    // WM_INITDIALOG has set its controls; it is shown only after.
    std::array<bool, 4> enabled{}, checkedWhenOpened{};
    std::thread user([&] {
        for (int i = 0; i < 1200; ++i) {
            HWND box = FindWindowW(L"#32770", L"Select drives");
            if (box && IsWindowVisible(box)) {
                for (int d = 0; d < 4; ++d) {
                    enabled[d] = IsWindowEnabled(GetDlgItem(box, IDC_SEL_DRIVE_FIRST + d));
                    checkedWhenOpened[d] = IsDlgButtonChecked(box, IDC_SEL_DRIVE_FIRST + d) == BST_CHECKED;
                }
                SendMessageW(GetDlgItem(box, IDC_SEL_DRIVE_FIRST + 3), BM_CLICK, 0, 0);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(50);
        }
    });
    click(ctl::kSelectDrives);
    user.join();
    // C: always, D: and F: as the installation maps them (whether E: is there is the system's).
    EXPECT_TRUE(enabled[0] && enabled[1] && enabled[3]);
    EXPECT_EQ(checkedWhenOpened, (std::array<bool, 4>{true, false, false, false}));
    EXPECT_EQ(text(ctl::kDriveList), L"C:,F:");
    click(ctl::kSave);
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "CheckDrives"), "C:,F:");
}

TEST_F(WinMainDialogTest, ATextTheCodePageCannotWriteIsRefusedAndNothingIsSaved) {
    QX_NEED_WINDOW();
    SetDlgItemTextW(window(), ctl::kPhoneNumber, L"\u4E2D 0815");
    click(ctl::kSave);
    EXPECT_EQ(s.get("qxmover.ini", "HDCheck", "PhoneNumber"), "M\xE4rz 0815");
    ASSERT_EQ(s.prompts.warnings().size(), 1u);
    EXPECT_TRUE(shown());
}

class WinMainDialogRulesTest : public WinMainDialogTest,
                               public ::testing::WithParamInterface<test::RuleCase> {};

TEST_P(WinMainDialogRulesTest, TheViewEnablesAsTheRulesSay) {
    QX_NEED_WINDOW();
    const test::RuleCase& rule = GetParam();
    // The move mode by its radio button, then every box as the case has it; a click on the disk
    // monitor's box (as the dialog hears it, without toggling) applies the rules to the whole state.
    for (int mode : {ctl::kWeekly, ctl::kMonthly, ctl::kNoMove})
        if (rule.checked.count(mode))
            click(mode);
    for (int id : {ctl::kDelLogFiles, ctl::kStart2ndBatch, ctl::kPrintReport, ctl::kConference,
                   ctl::kDelAlarmWav, ctl::kDeleteMoreFiles, ctl::kBackupActive, ctl::kDialPhone,
                   ctl::kSendSms, ctl::kStartBatch, ctl::kStartAlarm, ctl::kHdActive})
        CheckDlgButton(window(), id, rule.checked.count(id) ? BST_CHECKED : BST_UNCHECKED);
    command(ctl::kHdActive);
    for (int id : rule.enabled)
        EXPECT_TRUE(enabled(id)) << id;
    for (int id : rule.disabled)
        EXPECT_FALSE(enabled(id)) << id;
}

INSTANTIATE_TEST_SUITE_P(Cases, WinMainDialogRulesTest, ::testing::ValuesIn(test::mainDialogRuleCases()),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(WinMainDialogTest, CloseCancelAndSaveMinimiseAndTheTrayDoubleClickShowsItEveryTime) {
    QX_NEED_WINDOW(true);
    for (int cycle = 0; cycle < 20; ++cycle) {
        switch (cycle % 3) {
            case 0:
                SendMessageW(window(), WM_CLOSE, 0, 0);
                break;
            case 1:
                click(ctl::kCancel);
                break;
            case 2:
                click(ctl::kSave);
                break;
        }
        ASSERT_FALSE(shown()) << cycle;
        // A setting changed behind the window's back is shown by the next double click.
        s.set("qxmover.ini", "HDCheck", "MinSpace", std::to_string(100 + cycle));
        SendMessageW(window(), kTrayMessage, kTrayIconId, WM_LBUTTONDBLCLK);
        ASSERT_TRUE(shown()) << cycle;
        EXPECT_EQ(text(ctl::kMinSpace), std::to_wstring(100 + cycle));
    }
    EXPECT_EQ(m_dialog->shows(), 20u);
    // Other notifications of the icon leave it as it is.
    SendMessageW(window(), kTrayMessage, kTrayIconId, WM_MOUSEMOVE);
    EXPECT_EQ(m_dialog->shows(), 20u);
    EXPECT_THAT(s.sandbox.read("work/log/qxmover_50.log"), HasSubstr("Show mover"));
}

TEST_F(WinMainDialogTest, TheTrayIconComesBackWhenTheTaskbarStartsAgain) {
    QX_NEED_WINDOW(true);
    if (!m_dialog->trayIconShown())
        GTEST_SKIP() << "the shell here takes no tray icons";
    m_dialog->removeTrayIcon();
    SendMessageW(window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(m_dialog->trayIconShown());
}

// Twenty times each, in turn: hidden, shown by a double click on the tray icon; hidden, shown by a
// second start, which sets the first one's event and restores its window by its exact title.
TEST_F(WinMainDialogTest, TheTrayDoubleClickAndASecondStartShowTheDialogEveryTime) {
    QX_NEED_WINDOW(true);
    SingleInstance first("winview-test", s.sandbox.dir("run"));
    ASSERT_EQ(first.acquire(), SingleInstance::Result::First) << first.problem();
    for (int cycle = 0; cycle < 20; ++cycle) {
        click(ctl::kCancel);
        ASSERT_FALSE(shown()) << cycle;
        s.set("qxmover.ini", "HDCheck", "MinSpace", std::to_string(300 + cycle));
        SendMessageW(window(), kTrayMessage, kTrayIconId, WM_LBUTTONDBLCLK);
        ASSERT_TRUE(shown()) << cycle;
        EXPECT_EQ(text(ctl::kMinSpace), std::to_wstring(300 + cycle));

        SendMessageW(window(), WM_CLOSE, 0, 0);
        ASSERT_FALSE(shown()) << cycle;
        s.set("qxmover.ini", "HDCheck", "MinSpace", std::to_string(400 + cycle));
        std::atomic<bool> found{false}, ended{false};
        std::thread second([&] {
            SingleInstance later("winview-test", s.sandbox.path("run"));
            EXPECT_EQ(later.acquire(), SingleInstance::Result::AnotherRuns);
            found = restoreRunningWindow(s.strings.get(kStrTitle));
            ended = true;
        });
        int polls = 0;
        runMessages(*m_dialog, static_cast<HANDLE>(first.showRequestEvent()),
                    [&] { return (ended && m_dialog->shows() == 2u * cycle + 2) || ++polls > 25; });
        second.join();
        EXPECT_TRUE(found) << cycle;
        ASSERT_TRUE(shown()) << cycle;
        // The first instance heard the request too: the settings are read again.
        EXPECT_EQ(text(ctl::kMinSpace), std::to_wstring(400 + cycle));
    }
    EXPECT_EQ(m_dialog->shows(), 40u);
    // No window of another title is taken for it.
    EXPECT_FALSE(restoreRunningWindow(s.strings.get(kStrTitle) + " "));
}

// Answers Yes after it has noted how many files were still waiting and, the operation's thread being
// held here, whether the window answered meanwhile.
class WindowWatchingPrompts : public Prompts {
public:
    void warn(std::string_view text, std::string_view) override { warnings.push_back(std::string(text)); }
    bool ask(std::string_view, std::string_view) override {
        ++questions;
        waitingWhenAsked = waiting();
        std::thread probe([this] {
            DWORD_PTR result = 0;
            busyShown = IsWindowVisible(GetDlgItem(window, IDC_BUSY)) != FALSE;
            answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
        });
        probe.join();
        return true;
    }
    std::function<std::size_t()> waiting;
    HWND window = nullptr;
    std::atomic<int> questions{0};
    std::size_t waitingWhenAsked = 0;
    std::atomic<bool> busyShown{false}, answered{false};
    std::vector<std::string> warnings;
};

TEST_F(WinMainDialogTest, ATestMoveOfManyFilesRunsBesideTheWindowAndAsksBeforeItWorks) {
    constexpr std::size_t kFiles = 800;
    for (std::size_t i = 0; i < kFiles; ++i)
        s.sandbox.file("root/qxt/log/f" + std::to_string(i) + ".dbf", "x");
    auto waiting = [&] {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(s.sandbox.path("root/qxt/log")))
            n += entry.is_regular_file() && entry.path().extension() == ".dbf";
        return n;
    };
    WindowWatchingPrompts prompts;
    prompts.waiting = waiting;
    Services services{s.paths, s.profile, s.clock, s.state, s.launcher, prompts, s.strings, s.log};
    MainDialogHooks hooks;
    hooks.operation = [jobs = dialogJobs()](Services& sv, int id, int mode, int report) {
        runDialogOperation(sv, jobs, id, mode, report);
    };
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    MainDialog dialog(services, hooks, kLanguages[0].id);
    if (!dialog.create(GetModuleHandleW(nullptr), false))
        GTEST_SKIP() << "no window can be made here (Wine needs an X display: scripts/with-xvfb.sh)";
    prompts.window = dialog.window();
    SendMessageW(GetDlgItem(dialog.window(), ctl::kTestMove), BM_CLICK, 0, 0);
    // The click returned at once: the work goes on beside the window's thread.
    EXPECT_TRUE(dialog.busy());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    runMessages(dialog, nullptr, [&] { return !dialog.busy() || std::chrono::steady_clock::now() > until; });
    ASSERT_FALSE(dialog.busy());
    EXPECT_EQ(prompts.questions.load(), 1);
    EXPECT_EQ(prompts.waitingWhenAsked, kFiles);
    EXPECT_TRUE(prompts.answered);
    EXPECT_TRUE(prompts.busyShown);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog.window(), IDC_BUSY)));
    EXPECT_EQ(waiting(), 0u);
    EXPECT_TRUE(s.sandbox.exists("root/qxt/log/log49/f799.dbf"));
    EXPECT_THAT(prompts.warnings, ::testing::IsEmpty());
}

TEST_F(WinMainDialogTest, AWarningWaitsForItsWindowAndIsShownThere) {
    QX_NEED_WINDOW();
    WinPrompts prompts(false);
    const unsigned before = prompts.shown();
    prompts.warn("Nicht gespeichert: M\xE4rz", "Fehler");
    pump();
    EXPECT_EQ(prompts.shown(), before);
    // The box is modal: it is closed as soon as it is up.
    std::thread closer([] {
        for (int i = 0; i < 100; ++i) {
            if (HWND box = FindWindowW(L"#32770", L"Fehler")) {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(50);
        }
    });
    prompts.setOwner(window());
    pump();
    closer.join();
    EXPECT_EQ(prompts.shown(), before + 1);
    prompts.setOwner(nullptr);
}

}  // namespace
}  // namespace qx::winui
