// The conference archive and the deleting jobs killed at any point, then run again as the next start
// would: every file is whole at its source or its target, or was deleted by a rule, and the rerun
// leaves what an uninterrupted run leaves; also into an archive that fills up, and with no room left
// for the activity log.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "AdditionalDeletion.h"
#include "AlarmWavs.h"
#include "ConferenceRecordings.h"
#include "FileAge.h"
#include "ProfileNames.h"

#include "JobsFixture.h"
#include "KillingJobs.h"

namespace qx::test {
namespace {

namespace fs = std::filesystem;

enum class Scenario {
    ConferenceWithinOneFileSystem,
    ConferenceAcrossTwo,
    DeletingJobs,
    ConferenceIntoAFullArchive,
    ConferenceWithAFullLogDirectory,
    DeletingJobsWithAFullLogDirectory
};

// Where a file of the manifest ends after an uninterrupted run.
enum class End { AtSource, AtTarget, Deleted };

struct Entry {
    std::string source;  // sandbox-relative
    std::string target;  // where the job files it; empty when it never moves
    End end;
    std::string content;
};

class HousekeepingCrashTest : public JobsTest, public ::testing::WithParamInterface<Scenario> {
protected:
    void SetUp() override {
        clock.advanceTo(now);
        sandbox.dir("root/archive");
        if (GetParam() == Scenario::ConferenceAcrossTwo) {
            if (!m_shm.available())
                GTEST_SKIP() << "no second file system at /dev/shm";
            // The archive on the other file system: a directory below a link, as the components above
            // a directory are followed (the directory itself never is).
            fs::create_directory_symlink(m_shm.path(), sandbox.path("root/shm"));
        }
        if (GetParam() == Scenario::ConferenceIntoAFullArchive)
            m_small.emplace(sandbox.path("root/archive"), 1 << 20);
        if (GetParam() == Scenario::ConferenceWithAFullLogDirectory ||
            GetParam() == Scenario::DeletingJobsWithAFullLogDirectory)
            m_small.emplace(sandbox.path("work/log"), 64 << 10);
        if (m_small && !m_small->mounted())
            GTEST_SKIP() << "cannot mount a file system of our own here";
        if (GetParam() == Scenario::ConferenceWithAFullLogDirectory ||
            GetParam() == Scenario::DeletingJobsWithAFullLogDirectory) {
            ASSERT_TRUE(fill(sandbox.path("work/log/filler")));
        }
        ini(ini::kMover, "Config", "MoveConferWavAfterWeeks", "2");
        ini(ini::kMover, "Config", "DelConferWavAfterWeeks", "6");
        ini(ini::kMover, "Config", "DelConferEvtFiles", "1");
        ini(ini::kMover, "Config", "MoveConferWavTo", m_shm.available() ? "\\shm\\archive" : "\\archive");
        ini(ini::kMover, "Config", "DelAlarmWavAfterWeeks", "2");
        ini(ini::kMover, ini::kDeleteAdditionalLogs, "DelPath1", "\\extra");
        ini(ini::kMover, ini::kDeleteAdditionalLogs, "DelExt1", "*.log;*.err");
        ini(ini::kMover, ini::kDeleteAdditionalLogs, "DelAfterWeeks1", "2");
    }
    std::string archive() const { return m_shm.available() ? "root/shm/archive" : "root/archive"; }
    bool deleting() const {
        return GetParam() == Scenario::DeletingJobs ||
               GetParam() == Scenario::DeletingJobsWithAFullLogDirectory;
    }

    // Fresh files for the scenario, with the manifest of where each must end.
    void prepare(std::mt19937& random) {
        std::error_code ec;
        for (const char* dir : {"root/qxt/log/confwav", "root/dbv1", "root/extra"})
            fs::remove_all(sandbox.path(dir), ec);
        // The archive may be the mount point of a file system or lie below a link: emptied, not removed.
        for (const auto& entry :
             fs::directory_iterator(sandbox.path(m_shm.available() ? "root/shm" : "root/archive")))
            fs::remove_all(entry.path(), ec);
        sandbox.dir("root/qxt/log/confwav");
        sandbox.dir(archive());
        m_manifest.clear();
        std::uniform_int_distribution<int> size(0, 20000), byte(0, 255);
        auto add = [&](const std::string& source, const std::string& target, End end, int weeksOld) {
            std::string content(static_cast<std::size_t>(size(random)), '\0');
            for (char& c : content)
                c = static_cast<char>(byte(random));
            sandbox.file(source, content, now - weeksOld * kWeek - std::chrono::hours(1));
            m_manifest.push_back({source, target, end, std::move(content)});
        };
        auto numbered = [](const char* prefix, int i, const char* suffix) {
            char name[64];
            std::snprintf(name, sizeof name, "%s%03d%s", prefix, i, suffix);
            return std::string(name);
        };
        if (deleting()) {
            for (int i = 0; i < 12; ++i)
                add(numbered("root/dbv1/A0000", i, ".WAV"), "", End::Deleted, 5);
            for (int i = 0; i < 3; ++i) {
                add(numbered("root/dbv1/B0000", i, ".WAV"), "", End::AtSource, 1);  // young
                add(numbered("root/dbv1/v0000", i, ".wav"), "", End::AtSource, 9);  // the server's own
                add(numbered("root/dbv1/s", i, ".wav"), "", End::AtSource, 9);      // not an 8.3 name
                add(numbered("root/extra/young", i, ".log"), "", End::AtSource, 1);
                add(numbered("root/extra/other", i, ".txt"), "", End::AtSource, 9);
            }
            for (int i = 0; i < 8; ++i)
                add(numbered("root/extra/old", i, ".log"), "", End::Deleted, 3);
            for (int i = 0; i < 4; ++i)
                add(numbered("root/extra/old", i, ".err"), "", End::Deleted, 3);
            return;
        }
        const std::string from = "root/qxt/log/confwav/";
        const std::string to = archive() + "/";
        for (int i = 0; i < 5; ++i)
            add(from + numbered("young", i, ".wav"), to + numbered("young", i, ".wav"), End::AtSource, 1);
        for (int i = 0; i < 10; ++i)
            add(from + numbered("kept", i, ".wav"), to + numbered("kept", i, ".wav"), End::AtTarget, 4);
        // Old enough for both steps: archived, then deleted there.
        for (int i = 0; i < 10; ++i)
            add(from + numbered("old", i, ".wav"), to + numbered("old", i, ".wav"), End::Deleted, 10);
        add(from + "event.evt", "", End::AtSource, 10);  // the move takes recordings only
        for (int i = 0; i < 4; ++i) {
            add(to + numbered("archived", i, ".wav"), "", End::Deleted, 8);
            add(to + numbered("recent", i, ".wav"), "", End::AtSource, 3);
            add(to + numbered("archived", i, ".evt"), "", End::Deleted, 8);
            add(to + numbered("recent", i, ".evt"), "", End::AtSource, 3);
        }
        // Room for about a third of the recordings to be archived.
        if (GetParam() == Scenario::ConferenceIntoAFullArchive) {
            EXPECT_TRUE(fill(sandbox.path(archive()) / kFiller, 20 * 10000 / 3));
        }
    }

    // Room in the archive again.
    void makeRoom() {
        std::error_code ec;
        fs::remove(sandbox.path(archive()) / kFiller, ec);
    }

    // Runs the scenario's jobs with `kill` counting their steps; true when they did all their work.
    bool runJobs(KillSwitch& kill) {
        KillingFiles counting(kill, 4);
        KillingDeleter deleter(kill);
        if (deleting()) {
            HousekeepingResult result = deleteOldAlarmWavs(services, deleter, now);
            result += deleteAdditionalFiles(services, deleter, now);
            return result.ok();
        }
        return processConferenceWavs(services, counting, deleter, now).ok();
    }

    // The jobs in a child process, killed at their `killAt`-th step (0: never). The child writes how
    // many steps it made into `steps.txt` when it ends by itself.
    pid_t start(int killAt) {
        pid_t child = ::fork();
        if (child != 0)
            return child;
        KillSwitch kill{killAt};
        const bool ok = runJobs(kill);
        std::ofstream(sandbox.path("steps.txt")) << kill.steps;
        ::_exit(ok ? 0 : 1);
    }

    static int waitFor(pid_t child) {
        int status = 0;
        ::waitpid(child, &status, 0);
        return status;
    }

    std::optional<std::string> content(const std::string& relative) const {
        return readWhole(sandbox.path(relative));
    }

    // After a kill: every file whole wherever it has its name, and at its source or its target unless
    // a rule deletes it.
    void expectWholeOrDeletedByARule(const std::string& trial) {
        for (const Entry& entry : m_manifest) {
            std::optional<std::string> atSource = content(entry.source);
            std::optional<std::string> atTarget = entry.target.empty() ? std::nullopt : content(entry.target);
            if (atSource) {
                EXPECT_EQ(*atSource, entry.content) << trial << ": " << entry.source << " is torn";
            }
            if (atTarget) {
                EXPECT_EQ(*atTarget, entry.content) << trial << ": " << entry.target << " is torn";
            }
            EXPECT_TRUE(atSource || atTarget || entry.end == End::Deleted)
                << trial << ": " << entry.source << " is lost";
        }
    }

    // After the rerun: what an uninterrupted run leaves, and nothing else but the partial copies of
    // the killed process.
    void expectTheEndOfAWholeRun(const std::string& trial) {
        std::set<fs::path> expected;
        for (const Entry& entry : m_manifest) {
            const std::string* at = entry.end == End::AtSource   ? &entry.source
                                    : entry.end == End::AtTarget ? &entry.target
                                                                 : nullptr;
            if (at) {
                EXPECT_EQ(content(*at), entry.content) << trial << ": " << *at;
                expected.insert(sandbox.path(*at));
            }
        }
        for (const char* dir : {"root/qxt/log/confwav", "root/dbv1", "root/extra"}) {
            if (!sandbox.exists(dir))
                continue;
            for (const auto& entry : fs::directory_iterator(sandbox.path(dir))) {
                EXPECT_TRUE(expected.count(entry.path())) << trial << ": " << entry.path() << " is left";
            }
        }
        for (const auto& entry : fs::directory_iterator(sandbox.path(archive()))) {
            const std::string name = entry.path().filename().string();
            if ((name.front() == '.' && name.find(".qxcopy-") != std::string::npos) || name == kFiller)
                continue;
            EXPECT_TRUE(expected.count(entry.path())) << trial << ": " << entry.path() << " is left";
        }
    }

    // The run after a kill, as the next start makes it. Into a full archive it files what fits and
    // keeps the rest whole at its source; once there is room again, the run after it ends where an
    // uninterrupted run ends.
    void runAgainToTheEnd(const std::string& trial) {
        KillSwitch never;
        if (GetParam() == Scenario::ConferenceIntoAFullArchive) {
            const bool ok = runJobs(never);
            expectWholeOrDeletedByARule(trial + ", full");
            // It says that it failed exactly when a recording due for the archive stayed behind.
            bool left = false;
            for (const Entry& entry : m_manifest)
                left = left || (!entry.target.empty() && entry.end != End::AtSource && content(entry.source));
            EXPECT_EQ(ok, !left) << trial << ", full";
            makeRoom();
        }
        EXPECT_TRUE(runJobs(never)) << trial;
        expectTheEndOfAWholeRun(trial);
    }

    static constexpr const char* kFiller = ".qxfiller";
    SysTime now = at(2026, 12, 1, 0);
    SecondFileSystem m_shm{GetParam() == Scenario::ConferenceAcrossTwo ? sandbox.root() : fs::path()};
    std::optional<SmallFileSystem> m_small;  // after the sandbox, so that it goes first
    std::vector<Entry> m_manifest;
};

TEST_P(HousekeepingCrashTest, KilledAnywhereThenRunAgainEveryFileIsWholeOrDeletedByARule) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);

    // An uninterrupted run in a child counts the steps and times the job.
    prepare(random);
    const auto began = std::chrono::steady_clock::now();
    const int uninterrupted = waitFor(start(0));
    const auto took = std::chrono::steady_clock::now() - began;
    ASSERT_TRUE(WIFEXITED(uninterrupted));
    const int steps = std::stoi(sandbox.read("steps.txt"));
    ASSERT_GT(steps, 20);
    if (GetParam() == Scenario::ConferenceIntoAFullArchive) {
        EXPECT_EQ(WEXITSTATUS(uninterrupted), 1) << "the full archive took every recording";
        expectWholeOrDeletedByARule("uninterrupted, full");
        makeRoom();
        KillSwitch never;
        EXPECT_TRUE(runJobs(never));
        expectTheEndOfAWholeRun("uninterrupted, then with room");
    } else {
        EXPECT_EQ(WEXITSTATUS(uninterrupted), 0);
        expectTheEndOfAWholeRun("uninterrupted");
    }

    std::vector<int> killPoints = {1, 2, 3, steps / 2, steps - 1, steps};
    std::uniform_int_distribution<int> step(1, steps);
    for (int i = 0; i < 4; ++i)
        killPoints.push_back(step(random));
    for (int killAt : killPoints) {
        const std::string trial =
            "seed " + std::to_string(seed) + ", killed at step " + std::to_string(killAt);
        prepare(random);
        const int status = waitFor(start(killAt));
        // Into a full archive the number of steps depends on how many recordings fit: a late kill
        // point may never come.
        if (GetParam() != Scenario::ConferenceIntoAFullArchive) {
            ASSERT_TRUE(WIFSIGNALED(status)) << trial << ": the job was not killed";
        }
        expectWholeOrDeletedByARule(trial);
        runAgainToTheEnd(trial);
    }

    // A kill from outside lands wherever the job is, in the middle of a copy or a scan as well.
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
    std::uniform_int_distribution<long> delay(0, std::max<long>(micros, 1));
    for (int i = 0; i < 3; ++i) {
        prepare(random);
        const long after = delay(random);
        const std::string trial =
            "seed " + std::to_string(seed) + ", killed after " + std::to_string(after) + " us";
        pid_t child = start(0);
        std::this_thread::sleep_for(std::chrono::microseconds(after));
        ::kill(child, SIGKILL);
        waitFor(child);
        expectWholeOrDeletedByARule(trial);
        runAgainToTheEnd(trial);
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, HousekeepingCrashTest,
                         ::testing::Values(Scenario::ConferenceWithinOneFileSystem,
                                           Scenario::ConferenceAcrossTwo, Scenario::DeletingJobs,
                                           Scenario::ConferenceIntoAFullArchive,
                                           Scenario::ConferenceWithAFullLogDirectory,
                                           Scenario::DeletingJobsWithAFullLogDirectory),
                         [](const ::testing::TestParamInfo<Scenario>& scenario) {
                             switch (scenario.param) {
                                 case Scenario::ConferenceWithinOneFileSystem:
                                     return std::string("ConferenceWithinOneFileSystem");
                                 case Scenario::ConferenceAcrossTwo:
                                     return std::string("ConferenceAcrossTwo");
                                 case Scenario::DeletingJobs:
                                     return std::string("DeletingJobs");
                                 case Scenario::ConferenceIntoAFullArchive:
                                     return std::string("ConferenceIntoAFullArchive");
                                 case Scenario::ConferenceWithAFullLogDirectory:
                                     return std::string("ConferenceWithAFullLogDirectory");
                                 case Scenario::DeletingJobsWithAFullLogDirectory:
                                     break;
                             }
                             return std::string("DeletingJobsWithAFullLogDirectory");
                         });

}  // namespace
}  // namespace qx::test
