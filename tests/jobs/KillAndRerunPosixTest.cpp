// The weekly filing killed (SIGKILL) at any point and run again, as the catch-up does at the next
// start: every file of the manifest taken before is whole at its source or in the week directory,
// the old-dated and future-dated files among them, within one file system, from tmpfs to disk, into a
// week directory that fills up, and with no room left for the activity log.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include "JobsFixture.h"
#include "KillingJobs.h"
#include "WeekCalendar.h"

namespace qx::test {
namespace {

namespace fs = std::filesystem;

enum class Route { SameFileSystem, TmpfsToDisk, IntoAFullWeekDirectory, WithAFullLogDirectory };

class KillAndRerunTest : public JobsTest, public ::testing::WithParamInterface<Route> {
protected:
    void SetUp() override {
        clock.advanceTo(now);
        fs::create_directories(week());
        if (GetParam() == Route::TmpfsToDisk && !m_shm.available())
            GTEST_SKIP() << "no second file system at /dev/shm";
        if (GetParam() == Route::IntoAFullWeekDirectory)
            m_small.emplace(week(), 2 << 20);
        if (GetParam() == Route::WithAFullLogDirectory)
            m_small.emplace(sandbox.path("work/log"), 64 << 10);
        if (m_small && !m_small->mounted())
            GTEST_SKIP() << "cannot mount a file system of our own here";
        if (GetParam() == Route::WithAFullLogDirectory) {
            ASSERT_TRUE(fill(sandbox.path("work/log/filler")));
        }
    }

    fs::path source() const { return m_shm.available() ? m_shm.path() / "log" : logDir(); }
    fs::path week() const { return logDir() / "log49"; }

    // Statistic files of random sizes, some not written for years and some dated in the future, and a
    // week directory that last year's cycle filled. Returns the manifest of the files to be filed.
    std::map<std::string, std::uint64_t> prepare(std::mt19937& random) {
        std::error_code ec;
        fs::remove_all(source(), ec);
        fs::remove_all(week(), ec);
        fs::create_directories(source());
        fs::create_directories(week());
        sandbox.file("root/qxt/log/log49/.qxcycle", "2025-12-08\n");
        sandbox.file("root/qxt/log/log49/last.dbf", "last year's", at(2025, 12, 3, 10));
        std::map<std::string, std::uint64_t> manifest;
        std::uniform_int_distribution<int> size(0, 20000), byte(0, 255), age(0, 9);
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "s" + std::to_string(100 + i) +
                                     (i % 3 == 0   ? ".dbf"
                                      : i % 3 == 1 ? ".l1"
                                                   : ".txt");
            std::string content(static_cast<std::size_t>(size(random)), '\0');
            for (char& c : content)
                c = static_cast<char>(byte(random));
            {
                std::ofstream out(source() / name, std::ios::binary);
                out << content;
            }
            const int kind = age(random);
            setMtime(source() / name, kind == 0   ? at(1990, 3, 1, 12)     // not written for decades
                                      : kind == 1 ? at(2025, 10, 1, 12)    // a config dump of last year
                                      : kind == 2 ? at(2040, 1, 1, 12)     // a clock that was wrong
                                                  : at(2026, 12, 2, 10));  // written last week
            manifest[name] = checksum(content);
        }
        // Room for about a third of the files.
        if (GetParam() == Route::IntoAFullWeekDirectory) {
            EXPECT_TRUE(fill(week() / kFiller, kFiles * 10000 / 3));
        }
        return manifest;
    }

    // The filing of the weekly 01:00 work, as the week job does it.
    static bool fileWeek(StatisticMover& mover, const fs::path& from, const fs::path& to, SysTime when) {
        mover.clearPartialCopies(to);
        return mover.claimWeekDirectory(to, mondayOf(toLocal(when)), 2) &&
               mover.moveFiles(from, kStatisticPatterns, to, AgeCheck::On, when);
    }

    // The filing in a child process killed at a move or batch step, or from outside after `delay`.
    void killedFiling(int killAt, std::chrono::microseconds delay) {
        pid_t child = ::fork();
        if (child == 0) {
            KillSwitch kill{killAt};
            KillingFiles killing(kill, kBatch);
            StatisticMover dying(services, killing, hooks);
            ::_exit(fileWeek(dying, source(), week(), now) ? 0 : 3);
        }
        if (delay.count() > 0) {
            std::this_thread::sleep_for(delay);
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
    }

    // With `afterTheRerun` the week directory holds nothing else: no partial copy, nothing of last year.
    void expectEveryFileWhole(const std::map<std::string, std::uint64_t>& manifest, const std::string& trial,
                              bool afterTheRerun) {
        for (const auto& [name, sum] : manifest) {
            const std::optional<std::uint64_t> atSource = checksumOf(source() / name);
            const std::optional<std::uint64_t> atTarget = checksumOf(week() / name);
            EXPECT_TRUE(atSource == sum || atTarget == sum) << trial << ": " << name << " is lost";
            EXPECT_TRUE(!atTarget || atTarget == sum)
                << trial << ": " << name << " differs in the week directory";
        }
        for (const auto& entry : fs::directory_iterator(week())) {
            if (!afterTheRerun)
                break;
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(manifest.count(name) || name == ".qxcycle" || name == kFiller)
                << trial << ": " << name << " left behind";
        }
    }

    static constexpr int kFiles = 60;
    static constexpr std::size_t kBatch = 16;
    static constexpr const char* kFiller = ".qxfiller";
    SysTime now = at(2026, 12, 7, 1);
    SecondFileSystem m_shm{GetParam() == Route::TmpfsToDisk ? sandbox.root() : fs::path()};
    std::optional<SmallFileSystem> m_small;  // after the sandbox, so that it goes first
};

TEST_P(KillAndRerunTest, EveryFileIsWholeAtItsSourceOrInTheWeekDirectoryAfterTheRerun) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    // A move is a step before and after; across file systems so are the copies, syncs and deletions of
    // the batches.
    const bool across = GetParam() == Route::TmpfsToDisk || GetParam() == Route::IntoAFullWeekDirectory;
    const int steps = (across ? 4 : 2) * kFiles + 6;
    std::uniform_int_distribution<int> step(1, steps), micros(50, 2000);
    struct Kill {
        int at;
        std::chrono::microseconds delay;
    };
    std::vector<Kill> kills = {
        {1, {}}, {2, {}}, {kFiles, {}}, {0, std::chrono::microseconds(micros(random))}};
    for (int i = 0; i < 3; ++i)
        kills.push_back({step(random), {}});
    for (const Kill& kill : kills) {
        const std::string trial = "seed " + std::to_string(seed) + ", killed at step " +
                                  std::to_string(kill.at) + " or after " +
                                  std::to_string(kill.delay.count()) + " us";
        const auto manifest = prepare(random);
        killedFiling(kill.at, kill.delay);
        expectEveryFileWhole(manifest, trial + ", before the rerun", false);
        if (GetParam() == Route::IntoAFullWeekDirectory) {
            // The rerun files what fits, keeps the rest whole at its source and says that it failed.
            EXPECT_FALSE(fileWeek(mover, source(), week(), now + std::chrono::hours(7))) << trial;
            expectEveryFileWhole(manifest, trial + ", full", true);
            fs::remove(week() / kFiller);
        }
        // The rerun, as the next start's catch-up: later that Monday.
        EXPECT_TRUE(fileWeek(mover, source(), week(), now + std::chrono::hours(8))) << trial;
        expectEveryFileWhole(manifest, trial, true);
        for (const auto& [name, sum] : manifest)
            EXPECT_EQ(checksumOf(week() / name), sum) << trial << ": " << name << " not filed by the rerun";
        EXPECT_FALSE(fs::exists(week() / "last.dbf")) << trial;
        if (HasFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, KillAndRerunTest,
                         ::testing::Values(Route::SameFileSystem, Route::TmpfsToDisk,
                                           Route::IntoAFullWeekDirectory, Route::WithAFullLogDirectory),
                         [](const ::testing::TestParamInfo<Route>& route) {
                             switch (route.param) {
                                 case Route::SameFileSystem:
                                     return std::string("SameFileSystem");
                                 case Route::TmpfsToDisk:
                                     return std::string("TmpfsToDisk");
                                 case Route::IntoAFullWeekDirectory:
                                     return std::string("IntoAFullWeekDirectory");
                                 case Route::WithAFullLogDirectory:
                                     break;
                             }
                             return std::string("WithAFullLogDirectory");
                         });

}  // namespace
}  // namespace qx::test
