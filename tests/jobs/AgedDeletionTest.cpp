#include <fcntl.h>
#include <sys/stat.h>

#include <sstream>

#include "AdditionalDeletion.h"
#include "AlarmWavs.h"
#include "FileAge.h"
#include "ProfileNames.h"

#include "JobsFixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

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

    SysTime now = at(2026, 12, 1, 0);
    Deleter deleter;
};

TEST_F(AgedDeletionTest, AlarmWavsKeepLowerCaseVNamesAndShortNames) {
    ini(ini::kMover, "Config", "DelAlarmWavAfterWeeks", "0");  // one week
    for (const char* name : {"A0001234.WAV", "V0001234.WAV", "v0001234.wav", "12345678.wav", "short", "a.wav",
                             // 12 characters in the code page, and in UTF-8 (13 bytes)
                             "\xc4"
                             "0001234.WAV",
                             "Ä0001234.WAV"})
        sandbox.file(std::string("root/dbv1/") + name, "", weeksAgo(1));
    sandbox.file("root/dbv1/B0001234.WAV", "", weeksAgo(1, 0));  // in the threshold second
    sandbox.dir("root/dbv1/DIRECTORY.12");
    setMtime(sandbox.path("root/dbv1/DIRECTORY.12"), weeksAgo(9));
    deleteOldAlarmWavs(services, deleter, now);
    EXPECT_FALSE(sandbox.exists("root/dbv1/A0001234.WAV"));
    EXPECT_FALSE(sandbox.exists("root/dbv1/V0001234.WAV"));
    EXPECT_FALSE(sandbox.exists("root/dbv1/12345678.wav"));
    EXPECT_FALSE(
        sandbox.exists("root/dbv1/\xc4"
                       "0001234.WAV"));
    EXPECT_FALSE(sandbox.exists("root/dbv1/Ä0001234.WAV"));
    for (const char* kept : {"v0001234.wav", "short", "a.wav", "B0001234.WAV", "DIRECTORY.12"})
        EXPECT_TRUE(sandbox.exists(std::string("root/dbv1/") + kept)) << kept;
    EXPECT_THAT(bodies(), ElementsAre("Delete alarmwavfiles which are older then 1 weeks"));
}

TEST_F(AgedDeletionTest, AlarmWavsWithoutTheirDirectoryLogNothing) {
    deleteOldAlarmWavs(services, deleter, now);
    EXPECT_FALSE(sandbox.exists("work/log/qxmover_49.log"));
    // Absent DelAlarmWavAfterWeeks: four weeks.
    sandbox.file("root/dbv1/A0000001.WAV", "", weeksAgo(4, -1));
    sandbox.file("root/dbv1/A0000002.WAV", "", weeksAgo(4));
    deleteOldAlarmWavs(services, deleter, now);
    EXPECT_TRUE(sandbox.exists("root/dbv1/A0000001.WAV"));
    EXPECT_FALSE(sandbox.exists("root/dbv1/A0000002.WAV"));
    EXPECT_THAT(bodies(), ElementsAre("Delete alarmwavfiles which are older then 4 weeks"));
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
    deleteAdditionalFiles(services, deleter, now);
    EXPECT_FALSE(sandbox.exists("root/extra/a.log"));
    EXPECT_FALSE(sandbox.exists("root/extra/c.err"));
    EXPECT_TRUE(sandbox.exists("root/extra/b.LOG"));
    EXPECT_TRUE(sandbox.exists("root/extra/d.txt"));
    EXPECT_TRUE(sandbox.exists("root/extra/sub.log"));
    EXPECT_TRUE(sandbox.exists("root/never/x.log"));
    const std::string dir = sandbox.path("root/extra").string();
    EXPECT_THAT(bodies(),
                ElementsAre("Delete files *.log which are older then 1 weeks from directory " + dir,
                            "Delete files *.err which are older then 1 weeks from directory " + dir));
}

TEST_F(AgedDeletionTest, EmptyFirstRuleRunsNoRule) {
    rule(1, "", "*.log", "1");
    rule(2, "\\extra", "*.log", "1");
    sandbox.file("root/extra/a.log", "", weeksAgo(5));
    deleteAdditionalFiles(services, deleter, now);
    EXPECT_TRUE(sandbox.exists("root/extra/a.log"));
    EXPECT_THAT(readDeletionRules(profile), IsEmpty());
}

TEST_F(AgedDeletionTest, NothingOutsideTheNamedDirectoryIsTouched) {
    sandbox.file("root/outside/victim.log", "data", weeksAgo(9));
    sandbox.file("root/outside/linked.log", "data", weeksAgo(9));
    sandbox.dir("root/extra/inner");
    sandbox.file("root/extra/inner/deep.log", "data", weeksAgo(9));
    fs::create_symlink(sandbox.path("root/outside/linked.log"), sandbox.path("root/extra/link.log"));
    const timespec times[2] = {{0, UTIME_OMIT}, {std::chrono::system_clock::to_time_t(weeksAgo(9)), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, sandbox.path("root/extra/link.log").c_str(), times, AT_SYMLINK_NOFOLLOW),
              0);
    fs::create_directory_symlink(sandbox.path("root/outside"), sandbox.path("root/linkdir"));
    rule(1, "\\extra", "*.log;..\\outside\\*.log;inner/*.log", "1");
    rule(2, "\\linkdir", "*.log", "1");
    rule(3, "\\windows", "*.ini", "1");
    rule(4, "\\", "*.*", "1");
    deleteAdditionalFiles(services, deleter, now);
    EXPECT_FALSE(fs::exists(fs::symlink_status(sandbox.path("root/extra/link.log"))));
    EXPECT_EQ(sandbox.read("root/outside/linked.log"), "data");
    EXPECT_EQ(sandbox.read("root/outside/victim.log"), "data");
    EXPECT_EQ(sandbox.read("root/extra/inner/deep.log"), "data");
    std::string all;
    for (const auto& line : bodies())
        all += line + "\n";
    EXPECT_THAT(all, HasSubstr("Refused pattern ..\\outside\\*.log"));
    EXPECT_THAT(all, HasSubstr("Refused pattern inner/*.log"));
    EXPECT_THAT(all, HasSubstr("linkdir: it is a symbolic link"));
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
