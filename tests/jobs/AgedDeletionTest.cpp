#include <sstream>

#include "AdditionalDeletion.h"
#include "AlarmWavs.h"
#include "FileAge.h"
#include "ProfileNames.h"

#include "ActivityLog.h"
#include "Clock.h"
#include "JobsFixture.h"

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

// Refuses every removal, as a directory without write permission does for the service's user.
struct RefusingDeleter : Deleter {
    std::error_code remove(DirectoryHandle&, std::string_view) override {
        return std::make_error_code(std::errc::permission_denied);
    }
};

// Removes for real and asks for a stop after the first removal, as a SIGTERM in the middle of a job.
struct StoppingDeleter : Deleter {
    explicit StoppingDeleter(std::stop_source& source) : stop(source) {}
    std::error_code remove(DirectoryHandle& directory, std::string_view name) override {
        std::error_code ec = Deleter::remove(directory, name);
        stop.request_stop();
        return ec;
    }
    std::stop_source& stop;
};

class AgedDeletionTest : public JobsTest {
protected:
    AgedDeletionTest() { clock.advanceTo(now); }

    std::vector<std::string> bodies() {
        std::vector<std::string> out;
        for (const auto& line : activity(49))
            out.push_back(line.substr(15));
        return out;
    }
    SysTime weeksAgo(int weeks, int extraSeconds = 1) {
        return now - weeks * kWeek - std::chrono::seconds(extraSeconds);
    }
    void rule(int n, const std::string& path, const std::string& patterns, const std::string& weeks) {
        ini(ini::kMover, ini::kDeleteAdditionalLogs, ("DelPath" + std::to_string(n)).c_str(), path);
        ini(ini::kMover, ini::kDeleteAdditionalLogs, ("DelExt" + std::to_string(n)).c_str(), patterns);
        ini(ini::kMover, ini::kDeleteAdditionalLogs, ("DelAfterWeeks" + std::to_string(n)).c_str(), weeks);
    }

    // The services of a job that `stop` ends.
    Services stoppable(const std::stop_source& stop) {
        return {paths, profile, clock, state, launcher, prompts, strings, log, nullptr, stop.get_token()};
    }
    std::size_t filesIn(const char* directory) {
        auto it = fs::directory_iterator(sandbox.path(directory));
        return static_cast<std::size_t>(std::distance(it, fs::directory_iterator()));
    }

    SysTime now = at(2026, 12, 1, 0);
    Deleter deleter;
};

TEST_F(AgedDeletionTest, AlarmWavsKeepLowerCaseVNamesAndShortNames) {
    ini(ini::kMover, "Config", "DelAlarmWavAfterWeeks", "0");  // one week
    // Where the file system ignores letter case (Windows), "v0001234.wav" would be "V0001234.WAV".
    sandbox.file("root/case/v");
    const bool caseSensitive = !sandbox.exists("root/case/V");
    // File names are bytes on POSIX, where the UTF-8 spelling is a name of 12 characters in 13 bytes; on
    // Windows they are characters, and the narrow text is read in the code page: 13 characters there.
#ifdef _WIN32
    const bool namesAreBytes = false;
#else
    const bool namesAreBytes = true;
#endif
    for (const char* name : {"A0001234.WAV", "V0001234.WAV", "v0001234.wav", "12345678.wav", "short", "a.wav",
                             // 12 characters in the code page, and in UTF-8 (13 bytes)
                             "\xc4"
                             "0001234.WAV",
                             "Ä0001234.WAV"})
        if ((caseSensitive || std::string_view(name) != "v0001234.wav") &&
            (namesAreBytes || std::string_view(name) != "Ä0001234.WAV"))
            sandbox.file(std::string("root/dbv1/") + name, "", weeksAgo(1));
    sandbox.file("root/dbv1/B0001234.WAV", "", weeksAgo(1, 0));  // in the threshold second
    sandbox.dir("root/dbv1/DIRECTORY.12");
    setMtime(sandbox.path("root/dbv1/DIRECTORY.12"), weeksAgo(9));
    HousekeepingResult result = deleteOldAlarmWavs(services, deleter, now);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.done, namesAreBytes ? 5 : 4);
    EXPECT_FALSE(sandbox.exists("root/dbv1/A0001234.WAV"));
    EXPECT_FALSE(sandbox.exists("root/dbv1/V0001234.WAV"));
    EXPECT_FALSE(sandbox.exists("root/dbv1/12345678.wav"));
    EXPECT_FALSE(
        sandbox.exists("root/dbv1/\xc4"
                       "0001234.WAV"));
    EXPECT_FALSE(sandbox.exists("root/dbv1/Ä0001234.WAV"));
    for (const char* kept : {"v0001234.wav", "short", "a.wav", "B0001234.WAV", "DIRECTORY.12"}) {
        if (caseSensitive || std::string_view(kept) != "v0001234.wav") {
            EXPECT_TRUE(sandbox.exists(std::string("root/dbv1/") + kept)) << kept;
        }
    }
    EXPECT_THAT(bodies(), ElementsAre("Delete alarmwavfiles which are older then 1 weeks"));
}

TEST_F(AgedDeletionTest, AlarmWavsWithoutTheirDirectoryLogNothing) {
    EXPECT_TRUE(deleteOldAlarmWavs(services, deleter, now).ok());
    EXPECT_FALSE(sandbox.exists("work/log/qxmover_49.log"));
    // Absent DelAlarmWavAfterWeeks, and the marker -9 that means absent: four weeks.
    for (const char* weeks : {"", "-9"}) {
        if (*weeks)
            ini(ini::kMover, "Config", "DelAlarmWavAfterWeeks", weeks);
        sandbox.file("root/dbv1/A0000001.WAV", "", weeksAgo(4, -1));
        sandbox.file("root/dbv1/A0000002.WAV", "", weeksAgo(4));
        EXPECT_TRUE(deleteOldAlarmWavs(services, deleter, now).ok());
        EXPECT_TRUE(sandbox.exists("root/dbv1/A0000001.WAV")) << weeks;
        EXPECT_FALSE(sandbox.exists("root/dbv1/A0000002.WAV")) << weeks;
    }
    EXPECT_THAT(bodies(), ElementsAre("Delete alarmwavfiles which are older then 4 weeks",
                                      "Delete alarmwavfiles which are older then 4 weeks"));
}

TEST_F(AgedDeletionTest, RulesStopAtTheFirstEmptyPathAndLogEachPatternThatFoundEntries) {
    rule(1, "\\extra", "*.log; *.err;;*.job", "0");
    rule(3, "\\never", "*.*", "1");  // after the empty rule 2
    sandbox.file("root/extra/a.log", "", weeksAgo(1));
    sandbox.file("root/extra/b.LOG", "", weeksAgo(1, -5));
    sandbox.file("root/extra/c.err", "", weeksAgo(3));
    sandbox.file("root/extra/d.txt", "", weeksAgo(3));
    sandbox.file("root/never/x.log", "", weeksAgo(9));
    sandbox.dir("root/extra/sub.log");
    sandbox.makeReadOnly("root/extra/sub.log");
    setMtime(sandbox.path("root/extra/sub.log"), weeksAgo(9));
    EXPECT_TRUE(deleteAdditionalFiles(services, deleter, now).ok());
    EXPECT_FALSE(sandbox.exists("root/extra/a.log"));
    EXPECT_FALSE(sandbox.exists("root/extra/c.err"));
    EXPECT_TRUE(sandbox.exists("root/extra/b.LOG"));
    EXPECT_TRUE(sandbox.exists("root/extra/d.txt"));
    EXPECT_TRUE(sandbox.exists("root/extra/sub.log"));
    EXPECT_TRUE(sandbox.exists("root/never/x.log"));
    // The directory as configured, as every line of the activity log names it.
    EXPECT_THAT(bodies(),
                ElementsAre("Delete files *.log which are older then 1 weeks from directory \\extra",
                            "Delete files *.err which are older then 1 weeks from directory \\extra"));
}

TEST_F(AgedDeletionTest, DeletionsThatFailFailTheJobWithTheFirstReasonAndACount) {
    sandbox.file("root/dbv1/A0000001.WAV", "", weeksAgo(9));
    sandbox.file("root/dbv1/A0000002.WAV", "", weeksAgo(9));
    rule(1, "\\extra", "*.log", "1");
    sandbox.file("root/extra/a.log", "", weeksAgo(9));
    RefusingDeleter refusing;

    HousekeepingResult wavs = deleteOldAlarmWavs(services, refusing, now);
    EXPECT_FALSE(wavs.ok());
    EXPECT_EQ(wavs.failedFiles, 2);
    EXPECT_THAT(wavs.reason(), StartsWith("Failed to delete alarmwavfile \\dbv1\\A000000"));
    EXPECT_THAT(wavs.reason(), EndsWith(".WAV: Permission denied (2 files failed)"));

    HousekeepingResult extra = deleteAdditionalFiles(services, refusing, now);
    EXPECT_FALSE(extra.ok());
    EXPECT_EQ(extra.reason(), "Failed to delete file \\extra.\\a.log: Permission denied");

    // The first failure with its reason, then a count: not one line per file of a refusing directory.
    EXPECT_THAT(bodies(),
                ElementsAre(StartsWith("Failed to delete alarmwavfile \\dbv1\\A000000"),
                            "Delete alarmwavfiles which are older then 4 weeks",
                            "2 alarmwavfiles could not be deleted",
                            "Failed to delete file \\extra.\\a.log: Permission denied",
                            "Delete files *.log which are older then 1 weeks from directory \\extra"));
    EXPECT_TRUE(sandbox.exists("root/extra/a.log"));
}

TEST_F(AgedDeletionTest, AStopEndsEachJobBetweenTwoFiles) {
    rule(1, "\\extra", "*.log", "1");
    rule(2, "\\more", "*.log", "1");
    for (int i = 0; i < 5; ++i) {
        sandbox.file("root/dbv1/A000000" + std::to_string(i) + ".WAV", "", weeksAgo(9));
        sandbox.file("root/extra/" + std::to_string(i) + ".log", "", weeksAgo(9));
        sandbox.file("root/more/" + std::to_string(i) + ".log", "", weeksAgo(9));
    }
    {
        std::stop_source stop;
        Services job = stoppable(stop);
        StoppingDeleter stopping(stop);
        HousekeepingResult result = deleteOldAlarmWavs(job, stopping, now);
        EXPECT_TRUE(result.stopped);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.done, 1);
        EXPECT_EQ(filesIn("root/dbv1"), 4u);
    }
    {
        std::stop_source stop;
        Services job = stoppable(stop);
        StoppingDeleter stopping(stop);
        HousekeepingResult result = deleteAdditionalFiles(job, stopping, now);
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(result.done, 1);
        EXPECT_EQ(filesIn("root/extra"), 4u);
        EXPECT_EQ(filesIn("root/more"), 5u);  // the next rule does not begin
    }
    {
        // A stop that came before the job (in the one before it) cuts its scan: nothing goes, and
        // nothing is reported as done.
        std::stop_source stop;
        stop.request_stop();
        Services job = stoppable(stop);
        EXPECT_TRUE(deleteOldAlarmWavs(job, deleter, now).stopped);
        EXPECT_TRUE(deleteAdditionalFiles(job, deleter, now).stopped);
        EXPECT_EQ(filesIn("root/dbv1"), 4u);
        EXPECT_EQ(filesIn("root/extra"), 4u);
    }
    EXPECT_THAT(bodies(), ::testing::Contains("Delete of alarmwavfiles stopped"));
    EXPECT_THAT(bodies(), ::testing::Contains("Extra deletion stopped in directory \\extra"));
}

// The patterns the deletion editor stores are the ones the rule deletes, and the ones it reads back:
// the job reads 39 characters, so the editor stores no more than that.
TEST_F(AgedDeletionTest, TheEditorsPatternsAreWhatTheRuleDeletes) {
    const std::string patterns = "*.log;*.err;*.job;*.tmp;*.bak;*.old;*.x";  // 39 characters
    ASSERT_EQ(writeDeletionRule(profile, 1, {"\\extra", patterns, 2}), "");
    sandbox.file("root/extra/a.x", "", weeksAgo(2));
    sandbox.file("root/extra/b.old", "", weeksAgo(2));
    sandbox.file("root/extra/c.txt", "", weeksAgo(2));
    EXPECT_TRUE(deleteAdditionalFiles(services, deleter, now).ok());
    EXPECT_FALSE(sandbox.exists("root/extra/a.x"));
    EXPECT_FALSE(sandbox.exists("root/extra/b.old"));
    EXPECT_TRUE(sandbox.exists("root/extra/c.txt"));
    EXPECT_EQ(readDeletionRule(profile, 1).extension, patterns);
    EXPECT_EQ(patternsOf(readDeletionRules(profile).at(0)).size(), 7u);

    EXPECT_EQ(writeDeletionRule(profile, 1, {"\\extra", patterns + "y", 2}),
              "Cannot write DelExt1 in [DeleteAddtionalLogs] of qxmover.ini: the text is longer than 39 "
              "characters");
    EXPECT_EQ(readDeletionRule(profile, 1).extension, patterns);
}

TEST_F(AgedDeletionTest, WeeksBeyondWhatTheClockCountsKeepEveryFile) {
    rule(1, "\\extra", "*.log", "2000000000");
    sandbox.file("root/extra/a.log", "", at(1971, 1, 1, 0));
    EXPECT_TRUE(deleteAdditionalFiles(services, deleter, now).ok());
    EXPECT_TRUE(sandbox.exists("root/extra/a.log"));
}

TEST_F(AgedDeletionTest, EmptyFirstRuleRunsNoRule) {
    rule(1, "", "*.log", "1");
    rule(2, "\\extra", "*.log", "1");
    sandbox.file("root/extra/a.log", "", weeksAgo(5));
    EXPECT_TRUE(deleteAdditionalFiles(services, deleter, now).ok());
    EXPECT_TRUE(sandbox.exists("root/extra/a.log"));
    EXPECT_THAT(readDeletionRules(profile), IsEmpty());
}

TEST_F(AgedDeletionTest, NothingOutsideTheNamedDirectoryIsTouched) {
    sandbox.file("root/outside/victim.log", "data", weeksAgo(9));
    sandbox.file("root/outside/linked.log", "data", weeksAgo(9));
    sandbox.dir("root/extra/inner");
    sandbox.file("root/extra/inner/deep.log", "data", weeksAgo(9));
    QX_PLANT_LINK_OR_SKIP(sandbox.path("root/outside/linked.log"), sandbox.path("root/extra/link.log"));
    setMtime(sandbox.path("root/extra/link.log"), weeksAgo(9));
    QX_PLANT_LINK_OR_SKIP(sandbox.path("root/outside"), sandbox.path("root/linkdir"), true);
    rule(1, "\\extra", "*.log;..\\outside\\*.log;inner/*.log", "1");
    rule(2, "\\linkdir", "*.log", "1");
    rule(3, "\\windows", "*.ini", "1");
    rule(4, "\\", "*.*", "1");
    // Refused: the job could not do what its rules ask, and says why.
    HousekeepingResult result = deleteAdditionalFiles(services, deleter, now);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.reason(),
              "Refused pattern ..\\outside\\*.log of directory \\extra: it names another directory");
    EXPECT_FALSE(fs::exists(fs::symlink_status(sandbox.path("root/extra/link.log"))));
    EXPECT_EQ(sandbox.read("root/outside/linked.log"), "data");
    EXPECT_EQ(sandbox.read("root/outside/victim.log"), "data");
    EXPECT_EQ(sandbox.read("root/extra/inner/deep.log"), "data");
    std::string all;
    for (const auto& line : bodies())
        all += line + "\n";
    EXPECT_THAT(all, HasSubstr("Refused pattern ..\\outside\\*.log"));
    EXPECT_THAT(all, HasSubstr("Refused pattern inner/*.log"));
    EXPECT_THAT(all, HasSubstr("Refused to delete files in \\linkdir: it is a symbolic link"));
    EXPECT_THAT(all, HasSubstr("it is the profile directory"));
    EXPECT_THAT(all, HasSubstr("it is the installation root"));
}

TEST_F(AgedDeletionTest, RefusalNamesEachProtectedPlace) {
    EXPECT_EQ(refusalOf("/", paths), DirectoryRefusal::FileSystemRoot);
    EXPECT_EQ(refusalOf(sandbox.path("root/qxt/.."), paths), DirectoryRefusal::InstallationRoot);
    EXPECT_EQ(refusalOf(sandbox.path("root/windows/"), paths), DirectoryRefusal::ProfileDirectory);
    EXPECT_EQ(refusalOf("", paths), DirectoryRefusal::WorkingDirectory);
    EXPECT_EQ(refusalOf(sandbox.path("root/qxt"), paths), DirectoryRefusal::None);
    EXPECT_EQ(refusalOf(sandbox.path("root/missing"), paths), DirectoryRefusal::None);
}

}  // namespace
}  // namespace qx::test
