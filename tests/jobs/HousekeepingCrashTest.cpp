// The conference archive and the deleting jobs killed at any point, then run again as the next start
// would: every file is whole at its source or its target, or was deleted by a rule, and the rerun
// leaves what an uninterrupted run leaves.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "AdditionalDeletion.h"
#include "AlarmWavs.h"
#include "ConferenceRecordings.h"
#include "FileAge.h"
#include "ProfileNames.h"

#include "JobsFixture.h"

namespace qx::test {
namespace {

namespace fs = std::filesystem;

// Counts the steps of a job and kills the process at step `killAt` (0: never).
struct KillSwitch {
    int killAt = 0;
    int steps = 0;
    void step() {
        if (++steps == killAt)
            ::raise(SIGKILL);
    }
};

// Each removal is a step before and after.
struct CountingDeleter : Deleter {
    explicit CountingDeleter(KillSwitch& kill) : m_kill(kill) {}
    std::error_code remove(const DeletionDirectory& directory, std::string_view name) override {
        m_kill.step();
        std::error_code ec = Deleter::remove(directory, name);
        m_kill.step();
        return ec;
    }
    KillSwitch& m_kill;
};

// The real transfers in small batches: each move is a step before and after, and so is each step of a
// move across file systems (copied, synced, deleted).
struct CountingFiles : PosixFileOperations {
    struct Transfer : FileTransfer {
        std::unique_ptr<FileTransfer> real;
        KillSwitch* kill = nullptr;
        std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override {
            return real->lastWrite(name, error);
        }
        std::error_code move(std::string_view name) override {
            kill->step();
            std::error_code ec = real->move(name);
            kill->step();
            return ec;
        }
        std::error_code copy(std::string_view name) override { return real->copy(name); }
        std::vector<TransferProblem> complete() override { return real->complete(); }
        std::vector<std::string> clearPartialCopies() override { return real->clearPartialCopies(); }
    };
    explicit CountingFiles(KillSwitch& kill)
        : PosixFileOperations([&kill](std::string_view, std::string_view) { kill.step(); }, 4),
          m_kill(kill) {}
    std::unique_ptr<FileTransfer> transfer(const fs::path& from, const fs::path& to) override {
        auto transfer = std::make_unique<Transfer>();
        transfer->real = PosixFileOperations::transfer(from, to);
        transfer->kill = &m_kill;
        return transfer;
    }
    KillSwitch& m_kill;
};

enum class Scenario { ConferenceWithinOneFileSystem, ConferenceAcrossTwo, DeletingJobs };

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
        if (GetParam() == Scenario::ConferenceAcrossTwo) {
            std::string pattern = "/dev/shm/qxtest-XXXXXX";
            if (::mkdtemp(pattern.data()))
                m_shm = pattern;
            struct stat a {
            }, b{};
            if (m_shm.empty() || ::stat(m_shm.c_str(), &a) != 0 || ::stat(sandbox.root().c_str(), &b) != 0 ||
                a.st_dev == b.st_dev)
                GTEST_SKIP() << "no second file system at /dev/shm";
            // The archive on the other file system: a directory below a link, as the components above
            // a directory are followed (the directory itself never is).
            fs::create_directory_symlink(m_shm, sandbox.path("root/shm"));
        }
        ini(ini::kMover, "Config", "MoveConferWavAfterWeeks", "2");
        ini(ini::kMover, "Config", "DelConferWavAfterWeeks", "6");
        ini(ini::kMover, "Config", "DelConferEvtFiles", "1");
        ini(ini::kMover, "Config", "MoveConferWavTo", m_shm.empty() ? "\\archive" : "\\shm\\archive");
        ini(ini::kMover, "Config", "DelAlarmWavAfterWeeks", "2");
        ini(ini::kMover, ini::kDeleteAdditionalLogs, "DelPath1", "\\extra");
        ini(ini::kMover, ini::kDeleteAdditionalLogs, "DelExt1", "*.log;*.err");
        ini(ini::kMover, ini::kDeleteAdditionalLogs, "DelAfterWeeks1", "2");
    }
    void TearDown() override {
        std::error_code ec;
        if (!m_shm.empty())
            fs::remove_all(m_shm, ec);
    }

    std::string archive() const { return m_shm.empty() ? "root/archive" : "root/shm/archive"; }

    // Fresh files for the scenario, with the manifest of where each must end.
    void prepare(std::mt19937& random) {
        std::error_code ec;
        for (const char* dir : {"root/qxt/log/confwav", "root/dbv1", "root/extra"})
            fs::remove_all(sandbox.path(dir), ec);
        if (m_shm.empty())
            fs::remove_all(sandbox.path("root/archive"), ec);
        else
            for (const auto& entry : fs::directory_iterator(m_shm))
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
        if (GetParam() == Scenario::DeletingJobs) {
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
    }

    // Runs the scenario's jobs with `kill` counting their steps; true when they did all their work.
    bool runJobs(KillSwitch& kill) {
        CountingFiles counting(kill);
        CountingDeleter deleter(kill);
        if (GetParam() == Scenario::DeletingJobs) {
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
        std::ifstream in(sandbox.path(relative), std::ios::binary);
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
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
            if (name.front() == '.' && name.find(".qxcopy-") != std::string::npos)
                continue;
            EXPECT_TRUE(expected.count(entry.path())) << trial << ": " << entry.path() << " is left";
        }
    }

    SysTime now = at(2026, 12, 1, 0);
    fs::path m_shm;
    std::vector<Entry> m_manifest;
};

TEST_P(HousekeepingCrashTest, KilledAnywhereThenRunAgainEveryFileIsWholeOrDeletedByARule) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);

    // An uninterrupted run in a child counts the steps and times the job.
    prepare(random);
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(waitFor(start(0)), 0);
    const auto took = std::chrono::steady_clock::now() - began;
    const int steps = std::stoi(sandbox.read("steps.txt"));
    ASSERT_GT(steps, 20);
    expectTheEndOfAWholeRun("uninterrupted");

    std::vector<int> killPoints = {1, 2, 3, steps / 2, steps - 1, steps};
    std::uniform_int_distribution<int> step(1, steps);
    for (int i = 0; i < 4; ++i)
        killPoints.push_back(step(random));
    for (int killAt : killPoints) {
        const std::string trial =
            "seed " + std::to_string(seed) + ", killed at step " + std::to_string(killAt);
        prepare(random);
        const int status = waitFor(start(killAt));
        ASSERT_TRUE(WIFSIGNALED(status)) << trial << ": the job was not killed";
        expectWholeOrDeletedByARule(trial);
        KillSwitch never;
        EXPECT_TRUE(runJobs(never)) << trial;
        expectTheEndOfAWholeRun(trial);
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
        KillSwitch never;
        EXPECT_TRUE(runJobs(never)) << trial;
        expectTheEndOfAWholeRun(trial);
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, HousekeepingCrashTest,
                         ::testing::Values(Scenario::ConferenceWithinOneFileSystem,
                                           Scenario::ConferenceAcrossTwo, Scenario::DeletingJobs),
                         [](const ::testing::TestParamInfo<Scenario>& scenario) {
                             switch (scenario.param) {
                                 case Scenario::ConferenceWithinOneFileSystem:
                                     return std::string("ConferenceWithinOneFileSystem");
                                 case Scenario::ConferenceAcrossTwo:
                                     return std::string("ConferenceAcrossTwo");
                                 case Scenario::DeletingJobs:
                                     break;
                             }
                             return std::string("DeletingJobs");
                         });

}  // namespace
}  // namespace qx::test
