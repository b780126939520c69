// The weekly filing killed (SIGKILL) at any point and run again, as the catch-up does at the next
// start: every file of the manifest taken before is whole at its source or in the week directory,
// the old-dated and future-dated files among them, within one file system and from tmpfs to disk.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "JobsFixture.h"
#include "WeekCalendar.h"

namespace qx::test {
namespace {

namespace fs = std::filesystem;

std::uint64_t checksum(const std::string& bytes) {
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::optional<std::uint64_t> checksumOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    return checksum(std::string(std::istreambuf_iterator<char>(in), {}));
}

// Kills the process at its `killAt`-th move (before or after the real one) or, across file systems, at
// its `killAt`-th step of a batch (a copy, a sync, a deletion).
class KillingFiles : public PosixFileOperations {
public:
    KillingFiles(int killAt, bool afterTheMove, std::size_t batch)
        : PosixFileOperations([this](std::string_view, std::string_view) { count(); }, batch),
          m_killAt(killAt),
          m_after(afterTheMove) {}

    std::unique_ptr<FileTransfer> transfer(const fs::path& from, const fs::path& to) override {
        struct Killing : FileTransfer {
            std::unique_ptr<FileTransfer> real;
            KillingFiles& owner;
            Killing(std::unique_ptr<FileTransfer> r, KillingFiles& o) : real(std::move(r)), owner(o) {}
            std::optional<SysTime> lastWrite(std::string_view n, std::error_code& e) override {
                return real->lastWrite(n, e);
            }
            std::error_code move(std::string_view n) override {
                if (!owner.m_after)
                    owner.count();
                std::error_code ec = real->move(n);
                if (owner.m_after)
                    owner.count();
                return ec;
            }
            std::error_code copy(std::string_view n) override { return real->copy(n); }
            std::vector<TransferProblem> complete() override { return real->complete(); }
            std::vector<std::string> clearPartialCopies() override { return real->clearPartialCopies(); }
        };
        return std::make_unique<Killing>(PosixFileOperations::transfer(from, to), *this);
    }

private:
    void count() {
        if (++m_steps == m_killAt)
            ::raise(SIGKILL);
    }
    int m_killAt;
    bool m_after;
    int m_steps = 0;
};

enum class Route { SameFileSystem, TmpfsToDisk };

class KillAndRerunTest : public JobsTest, public ::testing::WithParamInterface<Route> {
protected:
    void SetUp() override {
        clock.advanceTo(now);
        if (GetParam() == Route::TmpfsToDisk) {
            std::string pattern = "/dev/shm/qxtest-XXXXXX";
            if (::mkdtemp(pattern.data()))
                m_shm = pattern;
            struct stat a {
            }, b{};
            if (m_shm.empty() || ::stat(m_shm.c_str(), &a) != 0 || ::stat(sandbox.root().c_str(), &b) != 0 ||
                a.st_dev == b.st_dev)
                GTEST_SKIP() << "no second file system at /dev/shm";
        }
    }
    void TearDown() override {
        std::error_code ec;
        if (!m_shm.empty())
            fs::remove_all(m_shm, ec);
    }

    fs::path source() const { return m_shm.empty() ? logDir() : m_shm / "log"; }
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
        return manifest;
    }

    // The filing of the weekly 01:00 work, as the week job does it.
    static bool fileWeek(StatisticMover& mover, const fs::path& from, const fs::path& to, SysTime when) {
        mover.clearPartialCopies(to);
        return mover.claimWeekDirectory(to, mondayOf(toLocal(when)), 2) &&
               mover.moveFiles(from, kStatisticPatterns, to, AgeCheck::On, when);
    }

    // The filing in a child process killed at a move or batch step, or from outside after `delay`.
    void killedFiling(int killAt, bool afterTheMove, std::chrono::microseconds delay) {
        pid_t child = ::fork();
        if (child == 0) {
            KillingFiles killing(killAt, afterTheMove, kBatch);
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
            EXPECT_TRUE(manifest.count(name) || name == ".qxcycle")
                << trial << ": " << name << " left behind";
        }
    }

    static constexpr int kFiles = 60;
    static constexpr std::size_t kBatch = 16;
    SysTime now = at(2026, 12, 7, 1);
    fs::path m_shm;
};

TEST_P(KillAndRerunTest, EveryFileIsWholeAtItsSourceOrInTheWeekDirectoryAfterTheRerun) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    // Moves, and across file systems also the copies, syncs and deletions of the batches.
    const int steps = GetParam() == Route::TmpfsToDisk ? 2 * kFiles + 6 : kFiles;
    std::uniform_int_distribution<int> step(1, steps), micros(50, 2000), coin(0, 1);
    struct Kill {
        int at;
        bool after;
        std::chrono::microseconds delay;
    };
    std::vector<Kill> kills = {
        {1, false, {}}, {kFiles / 2, true, {}}, {0, false, std::chrono::microseconds(micros(random))}};
    for (int i = 0; i < 3; ++i)
        kills.push_back({step(random), coin(random) == 1, {}});
    for (const Kill& kill : kills) {
        const std::string trial = "seed " + std::to_string(seed) + ", killed at step " +
                                  std::to_string(kill.at) + (kill.after ? " after" : " before") +
                                  " its move, or after " + std::to_string(kill.delay.count()) + " us";
        const auto manifest = prepare(random);
        killedFiling(kill.at, kill.after, kill.delay);
        expectEveryFileWhole(manifest, trial + ", before the rerun", false);
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
                         ::testing::Values(Route::SameFileSystem, Route::TmpfsToDisk));

}  // namespace
}  // namespace qx::test
