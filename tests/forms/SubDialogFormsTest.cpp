#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "ActivityLog.h"
#include "Clock.h"
#include "DialogJobs.h"
#include "DriveSelectionForm.h"
#include "InstallationPath.h"
#include "Launcher.h"
#include "PathMap.h"
#include "Profile.h"
#include "Prompts.h"
#include "ServiceBundle.h"
#include "SettingRecords.h"
#include "SharedState.h"
#include "StringTable.h"
#include "WatchdogBoxForm.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace qx {
namespace {

class SubDialogFormsTest : public ::testing::Test {
protected:
    test::ServiceBundle s;
};

TEST_F(SubDialogFormsTest, IntervalOf24HoursIs1560MinutesBothWays) {
    WatchdogBoxSettings w;
    w.interval = kWatchdogIntervals[19];
    writeWatchdogBox(s.profile, w);
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "Intervall"), "1560");
    int index = intervalIndex(readWatchdogBox(SettingReader(s.profile)).interval);
    EXPECT_EQ(index, 19);
    EXPECT_EQ(intervalText(s.strings, index), "24 hours");
    EXPECT_EQ(intervalText(s.strings, 0), "10 minutes");
    EXPECT_EQ(intervalText(s.strings, 5), "hour");
    EXPECT_EQ(intervalText(s.strings, 16), "12 hours");
    EXPECT_EQ(intervalText(s.strings, 23), "72 hours");
    EXPECT_EQ(intervalIndex(1440), -1);
}

TEST_F(SubDialogFormsTest, WatchdogKeysAreWrittenAsFlagsAndTextsAndNoChosenAlarmKeepsTheKey) {
    s.set("qxalarm.ini", "WatchDog", "AlarmOnNoConf", "17");
    WatchdogBoxSettings w;
    w.active = true;
    w.numberToDial = "0815";
    w.startAlarmOnNoAnswer = 12;
    w.warningMessage = "no answer";
    writeWatchdogBox(s.profile, w);
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "Active"), "1");
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "NumberToDial"), "0815");
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "StartAlarmOnNoAnsw"), "12");
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "SendConfCode"), "0");
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "AlarmOnNoConf"), "17");
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "WarningMessage"), "no answer");
}

// Texts that the editors stored longer than the jobs read them: each now has one room, the editor's
// record refuses what does not fit (the file keeps its value), and what fits is what the job reads.
struct TextRoom {
    const char* name;
    std::size_t room;  // characters the job reads
    std::function<std::string(Profile&, const std::string&)> write;
    std::function<std::string(const SettingReader&)> read;
    const char* refusal;
};

void PrintTo(const TextRoom& t, std::ostream* out) {
    *out << t.name;
}

class EditorAndJobTextTest : public ::testing::TestWithParam<TextRoom> {
protected:
    test::ServiceBundle s;
};

TEST_P(EditorAndJobTextTest, WhatTheEditorStoresIsWhatTheJobReads) {
    const TextRoom& t = GetParam();
    const std::string fits(t.room, 'x'), longer(t.room + 1, 'y');
    EXPECT_EQ(t.write(s.profile, fits), "");
    EXPECT_EQ(t.read(SettingReader(s.profile)), fits);
    EXPECT_EQ(t.write(s.profile, longer), std::string(t.refusal) + std::to_string(t.room) + " characters");
    EXPECT_EQ(t.read(SettingReader(s.profile)), fits);
}

INSTANTIATE_TEST_SUITE_P(
    RecordTexts, EditorAndJobTextTest,
    ::testing::Values(
        TextRoom{"TaskParameterText", 79,
                 [](Profile& p, const std::string& text) {
                     TaskParameters parameters;
                     parameters.texts[1] = text;
                     return writeTaskParameters(p, 3, parameters);
                 },
                 [](const SettingReader& r) { return readTaskParameters(r, 3).texts[1]; },
                 "Cannot write s2 in [QxeTaskParameter3] of qxmover.ini: the text is longer than "},
        TextRoom{"BoxNumberToDial", 255,
                 [](Profile& p, const std::string& text) {
                     WatchdogBoxSettings w;
                     w.numberToDial = text;
                     return writeWatchdogBox(p, w);
                 },
                 [](const SettingReader& r) { return readWatchdogBox(r).numberToDial; },
                 "Cannot write NumberToDial in [WatchDog] of qxalarm.ini: the text is longer than "},
        TextRoom{"BoxWarningMessage", 127,
                 [](Profile& p, const std::string& text) {
                     WatchdogBoxSettings w;
                     w.warningMessage = text;
                     return writeWatchdogBox(p, w);
                 },
                 [](const SettingReader& r) { return readWatchdogBox(r).warningMessage; },
                 "Cannot write WarningMessage in [WatchDog] of qxalarm.ini: the text is longer than "}),
    [](const auto& row) { return std::string(row.param.name); });

// The box's switches: the line watchdog acts only at 1, so the editor shows any other value as off.
TEST_F(SubDialogFormsTest, BoxSwitchesOtherThanOneAreOffForTheEditorAsForTheJob) {
    s.set("qxalarm.ini", "WatchDog", "Active", "2");
    s.set("qxalarm.ini", "WatchDog", "WriteWarningOnNoAnsw", "-1");
    const WatchdogBoxSettings w = readWatchdogBox(SettingReader(s.profile));
    EXPECT_FALSE(w.active);
    EXPECT_FALSE(w.writeWarning);
}

TEST_F(SubDialogFormsTest, TestCallNeedsTheModuleAndANumber) {
    EXPECT_EQ(testWatchdogCall(s.services, "0815"), BoxTestCall::ModuleMissing);
    s.sandbox.file("work/qxawdcall.qxe");
    EXPECT_EQ(testWatchdogCall(s.services, ""), BoxTestCall::NoNumber);
    EXPECT_THAT(
        s.prompts.warnings(),
        ElementsAre(
            "Error !|The qxe module qxawdcall.qxe, which is needed for this function, does not exist!",
            "Error !|ERROR ! No phonenumber defined for line watchdog to dial !"));
    EXPECT_THAT(s.launcher.calls(), IsEmpty());
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "NumberToDial"), "<none>");

    EXPECT_EQ(testWatchdogCall(s.services, "0815"), BoxTestCall::Started);
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "NumberToDial"), "0815");
    EXPECT_THAT(s.launcher.calls(), ElementsAre("run qxtque.exe postjob 1 qxawdcall -i51"));
}

TEST_F(SubDialogFormsTest, SavingWithoutTheQxtModuleWarnsAndStillWrites) {
    WatchdogBoxSettings w;
    w.interval = 120;
    saveWatchdogBox(s.services, w);
    EXPECT_EQ(s.prompts.warnings().size(), 1u);
    EXPECT_EQ(s.get("qxalarm.ini", "WatchDog", "Intervall"), "120");
    s.sandbox.file("root/qxt/qxawdcall.qxe");
    saveWatchdogBox(s.services, w);
    EXPECT_EQ(s.prompts.warnings().size(), 1u);
}

TEST_F(SubDialogFormsTest, LogfileOpensTheCallLogOfTheStatisticDirectory) {
    s.state.setLogDirectory("\\qxt\\log");
    openWatchdogLog(s.services);
    EXPECT_THAT(s.launcher.calls(), ElementsAre("start shown notepad.exe \\qxt\\log.\\qxawdcall.log"));
}

TEST_F(SubDialogFormsTest, JobWatcherWritesAllSlotsThenTheReaction) {
    JobWatcherSettings w;
    w.directories[1] = {true, "\\qxt\\job", true, "\\qxt\\old"};
    w.startOnErrorType = 1;
    w.startOnErrorAlarm = 15;
    writeJobWatcher(s.profile, w);
    JobWatcherSettings back = readJobWatcher(s.profile);
    EXPECT_TRUE(back.directories[1].watched);
    EXPECT_EQ(back.directories[1].moveDirectory, "\\qxt\\old");
    EXPECT_FALSE(back.directories[0].watched);
    EXPECT_EQ(s.get("qxmover.ini", "JobDirWatcher", "CheckJob3"), "0");
    EXPECT_EQ(s.get("qxmover.ini", "JobDirWatcher", "StartOnErrorType"), "1");
    EXPECT_EQ(s.get("qxmover.ini", "JobDirWatcher", "StartOnErrorAlarm"), "15");
    std::string file = s.sandbox.read("root/windows/qxmover.ini");
    EXPECT_LT(file.find("MoveDir3"), file.find("StartOnErrorType"));
}

TEST_F(SubDialogFormsTest, DriveListIsRebuiltInOrderWithoutALeadingComma) {
    EXPECT_EQ(driveListOf({false, true, false, true}), "D:,F:");
    EXPECT_EQ(driveListOf({true, false, true, false}), "C:,E:");
    EXPECT_EQ(driveListOf({false, false, false, false}), "");
}

TEST_F(SubDialogFormsTest, UnmappedDrivesAreUnavailableAndCleared) {
    DriveChecks checks = openDriveChecks(s.paths, "c:,e:,F:", s.sandbox.path("work"));
    EXPECT_THAT(checks.available, ElementsAre(true, true, false, true));
    EXPECT_THAT(checks.checked, ElementsAre(true, false, false, true));
}

TEST_F(SubDialogFormsTest, EmptyListStandsForTheWorkingDirectorysDrive) {
    EXPECT_EQ(workingDrive(s.paths, s.sandbox.path("work")), "C:");
    EXPECT_EQ(workingDrive(s.paths, s.sandbox.path("drive-f/sub")), "F:");
    DriveChecks checks = openDriveChecks(s.paths, "", s.sandbox.path("drive-d"));
    EXPECT_THAT(checks.checked, ElementsAre(false, true, false, false));
}

TEST_F(SubDialogFormsTest, ConferenceSettingsDefaultAndRoundTrip) {
    ConferenceSettings c = readConferenceSettings(s.profile);
    EXPECT_EQ(c.moveWeeks, 10);
    EXPECT_EQ(c.deleteWeeks, 20);
    c.archiveDirectory = "\\arch";
    c.deleteWeeks = 30;
    EXPECT_EQ(writeConferenceSettings(s.profile, c), "");
    EXPECT_EQ(s.get("qxmover.ini", "Config", "DelConferWavAfterWeeks"), "30");
    EXPECT_EQ(readConferenceSettings(s.profile).archiveDirectory, "\\arch");
    // A week count typed by hand is the number it starts with, as the installation's programs read it.
    s.set("qxmover.ini", "Config", "DelConferWavAfterWeeks", "30x");
    EXPECT_EQ(readConferenceSettings(s.profile).deleteWeeks, 30);
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

TEST_F(SubDialogFormsTest, PickedPathsAreWrittenAsTheInstallationWritesThem) {
    EXPECT_EQ(installationPath(s.paths, s.sandbox.path("root/qxt/log")), "\\qxt\\log");
    EXPECT_EQ(installationPath(s.paths, s.sandbox.path("root")), "\\");
    EXPECT_EQ(installationPath(s.paths, s.sandbox.path("drive-d/rec")), "D:\\rec");
    EXPECT_EQ(installationPath(s.paths, s.sandbox.path("elsewhere")), s.sandbox.path("elsewhere").string());
    // A name that only begins like the root is not below it.
    EXPECT_EQ(installationPath(s.paths, s.sandbox.path("rootless")), s.sandbox.path("rootless").string());
}

TEST_F(SubDialogFormsTest, RuleForTheWorkingDirectoryIsRecognisedTypedEitherWay) {
    s.sandbox.dir("root/qxt");
    PathMap rooted(s.sandbox.path("root"), s.sandbox.path("root/windows"));
    EXPECT_TRUE(namesDirectory(rooted, "\\QXT", s.sandbox.path("root/qxt")));
    EXPECT_TRUE(namesDirectory(rooted, s.sandbox.path("work").string(), s.sandbox.path("work")));
    EXPECT_FALSE(namesDirectory(rooted, "\\qxt\\log", s.sandbox.path("root/qxt")));
}

TEST_F(SubDialogFormsTest, PrintNowWithoutAnAlarmIndexSaysSo) {
    dialogJobs().printReport(s.services, 0, s.clock.now());
    EXPECT_THAT(s.prompts.warnings(), ElementsAre("Error !|No alarms to print in this week !"));
}

}  // namespace
}  // namespace qx
