// The resources of the built preview program: every dialog in every language, the control ids that
// the dialog rules use, and string tables that leave no English text untranslated.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "DialogResources.h"
#include "MainDialogRules.h"
#include "resource.h"

namespace qx::winui {
namespace {

class DialogResources : public testing::Test {
protected:
    static void SetUpTestSuite() {
        WCHAR self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path = self;
        path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"qxdialogs-preview.exe";
        s_module =
            LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(s_module); }

    void SetUp() override { ASSERT_NE(s_module, nullptr) << "qxdialogs-preview.exe is not beside the test"; }

    static TemplateContents contents(int dialog, LANGID language) {
        std::size_t size = 0;
        const DLGTEMPLATE* data = dialogTemplate(s_module, dialog, language, &size);
        if (!data) {
            ADD_FAILURE() << "dialog " << dialog << " is missing in language " << std::hex << language;
            return {};
        }
        auto read = readTemplate(data, size);
        if (!read)
            ADD_FAILURE() << "dialog " << dialog << " is no extended template";
        return read.value_or(TemplateContents{});
    }

    static inline HMODULE s_module = nullptr;
};

std::set<int> idsOf(const TemplateContents& contents) {
    std::set<int> ids;
    for (const auto& control : contents.controls)
        ids.insert(control.id);
    return ids;
}

// Every dialog in every language: an extended template in the shell font with a caption, each control
// id once (labels aside), inside the dialog, and a button that closes it.
TEST_F(DialogResources, EveryDialogIsCompleteInEveryLanguage) {
    for (const Language& language : kLanguages) {
        for (const NamedDialog& dialog : kDialogs) {
            SCOPED_TRACE(std::string(dialog.name) + " " + language.code);
            TemplateContents c = contents(dialog.id, language.id);
            EXPECT_EQ(c.style & DS_SHELLFONT, static_cast<DWORD>(DS_SHELLFONT));
            EXPECT_EQ(c.font, L"MS Shell Dlg 2");
            EXPECT_FALSE(c.caption.empty());
            EXPECT_FALSE(c.caption.find(L"QXT_") != std::wstring::npos);
            std::multiset<int> seen;
            for (const auto& control : c.controls) {
                if (control.id != IDC_STATIC) {
                    EXPECT_EQ(seen.count(control.id), 0u) << "control " << control.id << " twice";
                }
                seen.insert(control.id);
                EXPECT_GE(control.x, 0) << control.id;
                EXPECT_LE(control.x + control.cx, c.cx) << "control " << control.id << " leaves the dialog";
                // A drop-down list's height is that of its open list.
                if (control.className != L"ComboBox") {
                    EXPECT_LE(control.y + control.cy, c.cy)
                        << "control " << control.id << " leaves the dialog";
                }
            }
            auto ids = idsOf(c);
            EXPECT_TRUE(ids.count(IDOK) || ids.count(IDCANCEL) || ids.count(IDC_CANCEL));
        }
    }
}

// The main dialog carries every control that the enable rules govern or read, every button and list
// of the dialog, and a control with a text shows the string of its own id.
TEST_F(DialogResources, MainDialogHasTheControlsOfTheRules) {
    std::set<int> expected;
    std::set<int> everyCheck;
    for (int check :
         {ctl::kWeekly, ctl::kMonthly, ctl::kNoMove, ctl::kDelLogFiles, ctl::kStart2ndBatch,
          ctl::kPrintReport, ctl::kConference, ctl::kDelAlarmWav, ctl::kDeleteMoreFiles, ctl::kBackupActive,
          ctl::kHdActive, ctl::kDialPhone, ctl::kSendSms, ctl::kStartBatch, ctl::kStartAlarm})
        everyCheck.insert(check), expected.insert(check);
    for (const std::set<int>& checked : {std::set<int>{}, everyCheck})
        for (const auto& [id, enabled] : enabledControls(checked))
            expected.insert(id);
    for (int id : {ctl::kSave, ctl::kClock, ctl::kWeek, ctl::kAbout, ctl::kStartTasks, ctl::kCancel,
                   ctl::kTestMove, ctl::kCheckJobFiles, ctl::kWatchDog, ctl::kExtendedMonitor, ctl::kPrintNow,
                   ctl::kPrintDaily, ctl::kPrintWeekly, ctl::kPicture})
        expected.insert(id);

    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.code);
        TemplateContents c = contents(IDD_MAIN, language.id);
        std::set<int> ids = idsOf(c);
        for (int id : expected)
            EXPECT_TRUE(ids.count(id)) << "control " << id << " is missing";
        for (const auto& control : c.controls) {
            auto own = resourceString(s_module, control.id, language.id);
            if (control.id == ctl::kWaitUnit || control.text.empty() || !own)
                continue;
            EXPECT_EQ(control.text, *own) << "control " << control.id;
        }
    }
}

// German and French translate every English text, and name no id that English lacks.
TEST_F(DialogResources, TranslationsCoverTheEnglishTable) {
    const std::vector<int> english = stringIds(s_module, kLanguages[0].id);
    ASSERT_GT(english.size(), 150u);
    EXPECT_TRUE(std::binary_search(english.begin(), english.end(), 120));
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.code);
        EXPECT_EQ(stringIds(s_module, language.id), english);
    }
    // The texts keep their code page: a German umlaut and a French accent arrive as themselves.
    EXPECT_EQ(resourceString(s_module, 1003, kLanguages[1].id), L"w\u00f6chentlich");
    EXPECT_EQ(resourceString(s_module, 2560, kLanguages[2].id), L"\u00c0 propos de qxmover");
}

}  // namespace
}  // namespace qx::winui
