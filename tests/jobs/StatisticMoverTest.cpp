#include "StatisticMover.h"

#include <sys/stat.h>

#include "JobsFixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

// Lists a prepared directory in a chosen order and records what is done to it.
class ScriptedFiles : public FileOperations {
public:
    struct Entry {
        std::string name;
        SysTime written;
    };

    std::vector<DirectoryEntry> list(const fs::path&) override {
        ++lists;
        std::vector<DirectoryEntry> listed;
        for (const auto& e : entries)
            listed.push_back({e.name, false});
        return listed;
    }
    std::unique_ptr<FileTransfer> transfer(const fs::path&, const fs::path&) override {
        return std::make_unique<Transfer>(*this);
    }
    std::error_code createDirectory(const fs::path& d) override {
        return add("mkdir " + d.filename().string());
    }
    std::error_code remove(const fs::path& f) override { return add("delete " + f.filename().string()); }
    std::error_code createFile(const fs::path& f, std::string_view) override {
        return add("create " + f.filename().string());
    }

    std::vector<Entry> entries;
    std::vector<std::string> done;
    int lists = 0;

private:
    class Transfer : public FileTransfer {
    public:
        explicit Transfer(ScriptedFiles& files) : m_files(files) {}
        std::optional<SysTime> lastWrite(std::string_view name, std::error_code&) override {
            m_files.done.push_back("stat " + std::string(name));
            for (const auto& e : m_files.entries)
                if (e.name == name)
                    return e.written;
            return std::nullopt;
        }
        std::error_code move(std::string_view name) override {
            return m_files.add("move " + std::string(name));
        }
        std::error_code copy(std::string_view name) override {
            return m_files.add("copy " + std::string(name));
        }

    private:
        ScriptedFiles& m_files;
    };

    std::error_code add(std::string what) {
        done.push_back(std::move(what));
        return {};
    }
};

class StatisticMoverTest : public JobsTest {
protected:
    StatisticMoverTest() { clock.advanceTo(now); }

    SysTime now = at(2026, 12, 7, 1);
    SysTime young = now - std::chrono::hours(2);
    SysTime old = now - std::chrono::hours(13);

    static ScriptedFiles::Entry entry(std::string name, SysTime written) {
        return {std::move(name), written};
    }
};

TEST_F(StatisticMoverTest, AgeCheckIsDecidedForEachFile) {
    ScriptedFiles scripted;
    // Files go in name order, so the exempt ALARM.LOG comes first: it must not switch the check off
    // for the young names after it.
    scripted.entries = {entry("u.dbf", old),        entry("QXSRV001.LOG", young),
                        entry("LINE0002.log", old), entry("LINE0001.LOG", young),
                        entry("ALARM.LOG", young),  entry("t.dbf", young)};
    StatisticMover scriptedMover(services, scripted, hooks);
    const std::string_view patterns[] = {"*.dbf", "*.log"};
    EXPECT_TRUE(scriptedMover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    EXPECT_THAT(scripted.done, ElementsAre("move ALARM.LOG", "stat LINE0001.LOG", "copy LINE0001.LOG",
                                           "stat LINE0002.log", "move LINE0002.log", "move QXSRV001.LOG",
                                           "stat t.dbf", "copy t.dbf", "stat u.dbf", "move u.dbf"));
    EXPECT_EQ(scripted.lists, 1);
}

TEST_F(StatisticMoverTest, WithoutAgeCheckEverythingMoves) {
    ScriptedFiles scripted;
    scripted.entries = {entry("LINE0001.LOG", young), entry("a.inf", young)};
    StatisticMover scriptedMover(services, scripted, hooks);
    const std::string_view patterns[] = {"*.log", "*.inf"};
    scriptedMover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::Off, now);
    EXPECT_THAT(scripted.done, ElementsAre("move LINE0001.LOG", "move a.inf"));
}

TEST_F(StatisticMoverTest, ExemptNamesAreOnlyThoseOfTheLogPattern) {
    EXPECT_TRUE(ageChecked("*.log", "20261207.log"));
    EXPECT_FALSE(ageChecked("*.log", "2026120.log"));
    EXPECT_FALSE(ageChecked("*.log", "QXAB1234.LOG"));
    EXPECT_TRUE(ageChecked("*.dbf", "qxalarm.dbf"));
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

TEST_F(StatisticMoverTest, MoveIsARenameThatReplacesTheTarget) {
    fs::path source = sandbox.file("root/qxt/log/a.dbf", "new", old);
    sandbox.file("root/qxt/log/log49/a.dbf", "last year");
    struct stat before {};
    ::stat(source.c_str(), &before);
    const std::string_view patterns[] = {"*.dbf"};
    EXPECT_TRUE(mover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    struct stat after {};
    ::stat((logDir() / "log49/a.dbf").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(sandbox.read("root/qxt/log/log49/a.dbf"), "new");
    EXPECT_FALSE(sandbox.exists("root/qxt/log/a.dbf"));
}

TEST_F(StatisticMoverTest, FailedMoveKeepsTheSourceAndIsLogged) {
    sandbox.file("root/qxt/log/a.dbf", "abc", old);
    sandbox.file("root/qxt/log/LINE0001.LOG", "young", young);
    sandbox.file("root/qxt/log/log49", "a file where the week directory should be");
    const std::string_view patterns[] = {"*.dbf", "*.log"};
    EXPECT_FALSE(mover.moveFiles(logDir(), patterns, logDir() / "log49", AgeCheck::On, now));
    EXPECT_EQ(sandbox.read("root/qxt/log/a.dbf"), "abc");
    EXPECT_EQ(sandbox.read("root/qxt/log/LINE0001.LOG"), "young");
    auto lines = activity(50);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], HasSubstr("Cannot copy " + logPath("LINE0001.LOG")));
    EXPECT_THAT(lines[1], HasSubstr("Cannot move " + logPath("a.dbf")));
}

TEST_F(StatisticMoverTest, MissingTargetIsCreatedOnlyWhenAskedAndNeeded) {
    const std::string_view patterns[] = {"*.wav"};
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
    fs::create_symlink(target, logDir() / "log47/link.dbf");
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

TEST_F(StatisticMoverTest, MissingDirectoriesDoNothing) {
    const std::string_view patterns[] = {"*.dbf"};
    mover.deleteFiles(logDir() / "log12", patterns);
    EXPECT_TRUE(mover.moveFiles(logDir() / "nowhere", patterns, logDir() / "log49", AgeCheck::On, now));
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
    EXPECT_THAT(activity(50), ElementsAre(HasSubstr("Cannot create directory " + logPath("log49"))));
}

TEST_F(StatisticMoverTest, SecondBatchFallsBackToTheOldName) {
    EXPECT_EQ(mover.secondBatchProgram(), "qxmove2.bat");
    sandbox.file("work/qxmover2.bat", "rem old\n");
    EXPECT_EQ(mover.secondBatchProgram(), "qxmover2.bat");
    sandbox.file("work/QXMOVE2.BAT", "rem new\n");
    EXPECT_EQ(mover.secondBatchProgram(), "qxmove2.bat");
}

}  // namespace
}  // namespace qx::test
