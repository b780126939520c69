#include "StatisticMover.h"

#include <sstream>

#include "DryRun.h"

#include "ActivityLog.h"
#include "Clock.h"
#include "JobsFixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

class StatisticMoverTest : public JobsTest {
protected:
    StatisticMoverTest() { clock.advanceTo(now); }

    SysTime now = at(2026, 12, 7, 1);
    SysTime young = now - std::chrono::hours(2);
    SysTime old = now - std::chrono::hours(13);
};

TEST_F(StatisticMoverTest, AgeCheckIsDecidedForEachFile) {
    // Files go in name order, so the exempt ALARM.LOG comes first: it must not switch the check off
    // for the young names after it.
    for (const char* name : {"ALARM.LOG", "LINE0001.LOG", "QXSRV001.LOG", "t.dbf"})
        sandbox.file(std::string("root/qxt/log/") + name, "", young);
    sandbox.file("root/qxt/log/LINE0002.log", "", old);
    sandbox.file("root/qxt/log/u.dbf", "", now - kYoungFileAge);  // exactly twelve hours: old
    std::ostringstream out;
    DryRunFileOperations dry(out);
    StatisticMover dryMover(services, dry, hooks);
    const std::string_view patterns[] = {"*.dbf", "*.log"};
    EXPECT_TRUE(dryMover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    const std::string separator(1, fs::path::preferred_separator);
    std::string l = logDir().string() + separator, w = l + "log49" + separator;
    EXPECT_EQ(out.str(), "move " + l + "ALARM.LOG " + w + "ALARM.LOG\ncopy " + l + "LINE0001.LOG " + w +
                             "LINE0001.LOG\nmove " + l + "LINE0002.log " + w + "LINE0002.log\nmove " + l +
                             "QXSRV001.LOG " + w + "QXSRV001.LOG\ncopy " + l + "t.dbf " + w + "t.dbf\nmove " +
                             l + "u.dbf " + w + "u.dbf\n");
}

TEST_F(StatisticMoverTest, YoungLogIsCopiedWithItsBytesAndTimeAndStays) {
    sandbox.file("root/qxt/log/LINE0001.LOG", "still growing", young);
    sandbox.dir("root/qxt/log/log49");
    const std::string_view patterns[] = {"*.log"};
    EXPECT_TRUE(mover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    EXPECT_EQ(sandbox.read("root/qxt/log/LINE0001.LOG"), "still growing");
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/LINE0001.LOG"), "still growing");
    EXPECT_EQ(fs::last_write_time(logDir() / "log49/LINE0001.LOG"),
              fs::last_write_time(logDir() / "LINE0001.LOG"));
}

TEST_F(StatisticMoverTest, MoveIsARenameThatNeverReplacesTheTarget) {
    fs::path source = sandbox.file("root/qxt/log/b.dbf", "new", old);
    sandbox.file("root/qxt/log/a.dbf", "this week", old);
    sandbox.file("root/qxt/log/log49/a.dbf", "last week");
    const std::uint64_t before = fileIdentity(source);
    const std::string_view patterns[] = {"*.dbf"};
    EXPECT_TRUE(mover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    EXPECT_NE(before, 0u);
    EXPECT_EQ(fileIdentity(logDir() / "log49/b.dbf"), before);
    EXPECT_FALSE(sandbox.exists("root/qxt/log/b.dbf"));
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "last week");
    EXPECT_EQ(sandbox.read("root/qxt/log/a.dbf"), "this week");
    EXPECT_THAT(activity(50), ElementsAre(HasSubstr("Keep " + shownPath("a.dbf") + ": " + shownPath("log49") +
                                                    " has a file of that name already")));
}

TEST_F(StatisticMoverTest, FailedMoveKeepsTheSourceAndIsLogged) {
    sandbox.file("root/qxt/log/a.dbf", "abc", old);
    sandbox.file("root/qxt/log/LINE0001.LOG", "young", young);
    for (int i = 0; i < 5; ++i)
        sandbox.file("root/qxt/log/b" + std::to_string(i) + ".dbf", "b", old);
    sandbox.file("root/qxt/log/log49", "a file where the week directory should be");
    const std::string_view patterns[] = {"*.dbf", "*.log"};
    EXPECT_FALSE(mover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    EXPECT_EQ(sandbox.read("root/qxt/log/a.dbf"), "abc");
    EXPECT_EQ(sandbox.read("root/qxt/log/LINE0001.LOG"), "young");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sandbox.read("root/qxt/log/b" + std::to_string(i) + ".dbf"), "b");
    // One reason, one line for the first file and one with the count of the rest.
    auto lines = activity(50);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], HasSubstr("Cannot copy " + shownPath("LINE0001.LOG")));
    EXPECT_THAT(lines[1], HasSubstr("6 more files could not be moved to " + shownPath("log49") + ": "));
}

TEST_F(StatisticMoverTest, MissingTargetIsCreatedOnlyWhenAskedAndNeeded) {
    const std::string_view patterns[] = {"*.wav"};
    EXPECT_TRUE(mover.moveFiles(logDir() / "nowhere", patterns, logDir() / "wav49", AgeCheck::On, now, true));
    EXPECT_TRUE(mover.moveFiles(logDir(), patterns, logDir() / "wav49", AgeCheck::Off, now, true));
    EXPECT_FALSE(sandbox.exists("root/qxt/log/wav49"));
    sandbox.file("root/qxt/log/a.wav", "RIFF");
    EXPECT_FALSE(mover.moveFiles(logDir(), patterns, logDir() / "wav48", AgeCheck::Off, now));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/a.wav"));
    EXPECT_TRUE(mover.moveFiles(logDir(), patterns, logDir() / "wav49", AgeCheck::Off, now, true));
    EXPECT_EQ(sandbox.read("root/qxt/log/wav49/a.wav"), "RIFF");
}

TEST_F(StatisticMoverTest, DeleteSparesSubdirectoriesOtherPatternsAndLinkTargets) {
    sandbox.file("root/qxt/log/log47/a.DBF");
    sandbox.file("root/qxt/log/log47/b.txt");
    sandbox.file("root/qxt/log/log47/keep.xyz");
    sandbox.dir("root/qxt/log/log47/sub.dbf");
    fs::path target = sandbox.file("root/precious.dbf", "keep me");
    QX_PLANT_LINK_OR_SKIP(target, logDir() / "log47/link.dbf");
    const std::string_view patterns[] = {"*.dbf", "*.txt"};
    mover.deleteFiles(logDir() / "log47", patterns);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(logDir() / "log47"))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_THAT(left, ElementsAre("keep.xyz", "sub.dbf"));
    EXPECT_EQ(sandbox.read("root/precious.dbf"), "keep me");
    EXPECT_THAT(activity(50), IsEmpty());
}

TEST_F(StatisticMoverTest, WeekDirectoryFallsBackToTheShellAndRefusesAFileInTheWay) {
    EXPECT_TRUE(mover.ensureWeekDirectory("\\qxt\\log", 9));
    EXPECT_TRUE(fs::is_directory(logDir() / "log09"));
    EXPECT_THAT(launcher.calls(), IsEmpty());

    sandbox.file("root/qxt/log/log49", "in the way");
    launcher.missing.insert("md");
    EXPECT_FALSE(mover.ensureWeekDirectory("\\qxt\\log", 49));
    EXPECT_THAT(launcher.calls(), ElementsAre("run md \\qxt\\log.\\log49"));
    EXPECT_THAT(activity(50), ElementsAre(HasSubstr("Cannot create directory " + joinedPath("log49"))));
}

// A place that no mover step may empty, however the directories are configured, and how the activity
// log names it.
struct ProtectedPlace {
    const char* directory;   // below the sandbox
    const char* linkTarget;  // when set, `directory` is a link to this place
    const char* shown;       // empty: the native path
    const char* described;
};

class MoverRefusalTest : public StatisticMoverTest, public ::testing::WithParamInterface<ProtectedPlace> {};

TEST_P(MoverRefusalTest, AProtectedPlaceIsNeitherEmptiedNorMovedFrom) {
    const ProtectedPlace& p = GetParam();
    const fs::path place = sandbox.path(p.directory);
    if (p.linkTarget)
        QX_PLANT_LINK_OR_SKIP(sandbox.path(p.linkTarget), place, true);
    const std::string keep = std::string(p.linkTarget ? p.linkTarget : p.directory) + "/a.dbf";
    sandbox.file(keep, "keep", old);
    const std::string_view patterns[] = {"*.dbf"};
    const auto monday = std::chrono::floor<std::chrono::days>(now);

    // Each refusal says where, for the terminal and the job record.
    const std::string refusedHere = "Refused to delete files in " + mover.shown(place);
    EXPECT_EQ(mover.emptyDueWeekDirectory(place, monday - std::chrono::weeks(2), patterns, 2).reason(),
              refusedHere);
    EXPECT_EQ(mover.claimWeekDirectory(place, monday, 2).reason(), refusedHere);
    EXPECT_EQ(mover.deleteFiles(place, patterns), StatisticMover::kRefused);
    EXPECT_THAT(mover.moveFiles(place, patterns, logDir() / "log49", AgeCheck::Off, now, true).reason(),
                ::testing::StartsWith("Refused to move files from " + mover.shown(place) + ": it is "));

    EXPECT_EQ(sandbox.read(keep), "keep");
    EXPECT_FALSE(sandbox.exists("root/qxt/log/log49"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(place / ".qxcycle")));
    EXPECT_EQ(mover.deleted(), 0);
    const std::string shown = *p.shown ? p.shown : place.string();
    const std::string refused = "Refused to delete files in " + shown + ": it is " + p.described;
    EXPECT_THAT(activity(50),
                ElementsAre(HasSubstr(refused), HasSubstr(refused), HasSubstr(refused),
                            HasSubstr("Refused to move files from " + shown + ": it is " + p.described)));
}

std::string placeName(const ::testing::TestParamInfo<ProtectedPlace>& place) {
    static const char* const names[] = {"InstallationRoot", "ProfileDirectory", "WorkingDirectory",
                                        "WeekDirectoryLinkedToTheRoot"};
    return names[place.index];
}

INSTANTIATE_TEST_SUITE_P(Places, MoverRefusalTest,
                         ::testing::Values(ProtectedPlace{"root", nullptr, "\\", "the installation root"},
                                           ProtectedPlace{"root/windows", nullptr, "\\windows",
                                                          "the profile directory"},
                                           ProtectedPlace{"work", nullptr, "", "the working directory"},
                                           ProtectedPlace{"root/qxt/log/log47", "root", "\\qxt\\log\\log47",
                                                          "the installation root"}),
                         placeName);

}  // namespace
}  // namespace qx::test
