// A move across file systems killed at any point leaves every file whole in at least one place.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "CrashTools.h"
#include "FileOperations.h"
#include "Sandbox.h"

namespace qx::test {
namespace {

namespace fs = std::filesystem;

class BatchedMoveCrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_shm.available())
            GTEST_SKIP() << "no second file system at /dev/shm";
    }

    // Fresh source files of random sizes (more than one batch of them) and an empty target.
    void prepare(std::mt19937& random) {
        std::error_code ec;
        fs::remove_all(source(), ec);
        fs::remove_all(target(), ec);
        fs::create_directories(source());
        fs::create_directories(target());
        m_sums.clear();
        std::uniform_int_distribution<int> size(0, 50000), byte(0, 255);
        for (std::size_t i = 0; i < kFiles; ++i) {
            std::string name = "s" + std::to_string(10000 + i) + ".dbf";
            std::string content(static_cast<std::size_t>(size(random)), '\0');
            for (char& c : content)
                c = static_cast<char>(byte(random));
            std::ofstream(source() / name, std::ios::binary) << content;
            m_sums[name] = checksum(content);
        }
    }

    // The move of every file in a child process, killed at its `killAtStep`-th step (0: never).
    pid_t startMove(int killAtStep) {
        pid_t child = ::fork();
        if (child != 0)
            return child;
        KillSwitch kill{killAtStep};
        PosixFileOperations files([&kill](std::string_view, std::string_view) { kill.step(); }, kBatch);
        auto transfer = files.transfer(source(), target());
        for (const auto& [name, sum] : m_sums)
            if (transfer->move(name))
                ::_exit(2);
        ::_exit(transfer->complete().empty() ? 0 : 3);
    }

    // Every file whole at its source or its target, by checksum; then a later move clears what the
    // killed process left half done and completes the work.
    void expectEveryFileWhole(const std::string& trial) {
        for (const auto& [name, sum] : m_sums) {
            std::optional<std::string> atSource = readWhole(source() / name);
            std::optional<std::string> atTarget = readWhole(target() / name);
            bool whole = (atSource && checksum(*atSource) == sum) || (atTarget && checksum(*atTarget) == sum);
            ASSERT_TRUE(whole) << trial << ": " << name << " is lost";
            if (atSource && atTarget) {
                EXPECT_EQ(checksum(*atTarget), sum) << trial << ": " << name << " differs in the target";
            }
        }
        PosixFileOperations files;
        auto transfer = files.transfer(source(), target());
        transfer->clearPartialCopies();
        for (const auto& entry : fs::directory_iterator(source()))
            ASSERT_FALSE(transfer->move(entry.path().filename().string())) << trial;
        EXPECT_THAT(transfer->complete(), ::testing::IsEmpty()) << trial;
        std::size_t inTarget = 0;
        for (const auto& entry : fs::directory_iterator(target())) {
            ++inTarget;
            EXPECT_EQ(checksum(*readWhole(entry.path())), m_sums.at(entry.path().filename().string()))
                << trial;
        }
        EXPECT_EQ(inTarget, kFiles) << trial << ": partial copies left or files missing";
        EXPECT_TRUE(fs::is_empty(source())) << trial;
    }

    fs::path source() const { return m_shm.path() / "log"; }
    fs::path target() const { return sandbox.path("week"); }

    // Small batches, so that a few dozen files make several of them.
    static constexpr std::size_t kBatch = 20;
    static constexpr std::size_t kFiles = 2 * kBatch + 10;
    Sandbox sandbox;
    SecondFileSystem m_shm{sandbox.root()};
    std::map<std::string, std::uint64_t> m_sums;
};

TEST_F(BatchedMoveCrashTest, KilledBetweenAnyTwoStepsEveryFileIsWholeSomewhere) {
    // Steps: a copy per file, a sync per batch, a deletion per file.
    const int steps = static_cast<int>(2 * kFiles + 3);
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> step(1, steps);
    // The edges of a batch, and random points.
    const int batch = static_cast<int>(kBatch);
    std::vector<int> killPoints = {1, batch, batch + 1, batch + 2, 2 * batch + batch + 1};
    for (int i = 0; i < 4; ++i)
        killPoints.push_back(step(random));
    for (int killAt : killPoints) {
        const std::string trial =
            "seed " + std::to_string(seed) + ", killed at step " + std::to_string(killAt);
        prepare(random);
        pid_t child = startMove(killAt);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << trial << ": the move was not killed";
        expectEveryFileWhole(trial);
    }
}

TEST_F(BatchedMoveCrashTest, KilledAtARandomMomentEveryFileIsWholeSomewhere) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> micros(0, 3000);
    for (int i = 0; i < 3; ++i) {
        prepare(random);
        const int delay = micros(random);
        const std::string trial =
            "seed " + std::to_string(seed) + ", killed after " + std::to_string(delay) + " us";
        pid_t child = startMove(0);
        // A kill from outside lands wherever the move is, in the middle of a copy as well.
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        expectEveryFileWhole(trial);
    }
}

}  // namespace
}  // namespace qx::test
