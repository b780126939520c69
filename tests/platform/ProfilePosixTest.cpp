#include "Profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "Sandbox.h"

namespace fs = std::filesystem;
using qx::Profile;
using qx::test::Sandbox;

namespace {

class ProfilePosixTest : public ::testing::Test {
protected:
    Sandbox sandbox;
    Profile profile{sandbox.root()};

    std::string get(std::string_view section, std::string_view key, std::string_view fallback = "<default>",
                    std::size_t size = 256) {
        return profile.getString("test.ini", section, key, fallback, size);
    }
    void put(std::string_view content) { sandbox.file("test.ini", content); }
    std::string content() { return sandbox.read("test.ini"); }
};

// Runs `body` in a child process and returns its pid; the child exits 0 unless body throws.
template <typename Body>
pid_t runChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) {
        int code = 0;
        try {
            code = body() ? 0 : 1;
        } catch (...) {
            code = 2;
        }
        _exit(code);
    }
    return pid;
}

int waitExitCode(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string utf16le(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

}  // namespace

TEST_F(ProfilePosixTest, WriteKeepsModeSymlinkAndExistingSpellingOfTheFileName) {
    fs::path real = sandbox.file("real/QXMOVER.INI", "[A]\na=1\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, sandbox.path("link.ini"));

    ASSERT_TRUE(profile.writeString("link.ini", "A", "a", "2"));
    ASSERT_TRUE(profile.writeString(sandbox.path("real/qxmover.ini").string(), "A", "b", "3"));

    EXPECT_TRUE(fs::is_symlink(sandbox.path("link.ini")));
    EXPECT_EQ(sandbox.read("real/QXMOVER.INI"), "[A]\na=2\nb=3\n");
    EXPECT_FALSE(sandbox.exists("real/qxmover.ini"));
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// --- freshness -----------------------------------------------------------------------------------

TEST_F(ProfilePosixTest, StampCatchesChangesThatKeepSizeAndSecond) {
    profile.setSettleTime(std::chrono::nanoseconds(0));  // no re-reading: only the stamp can tell
    auto base = std::chrono::system_clock::now() - std::chrono::hours(1);
    put("[A]\nk=1\n");
    fs::last_write_time(sandbox.path("test.ini"), fs::file_time_type::clock::from_sys(base));
    ASSERT_EQ(get("A", "k"), "1");

    // The same size, one nanosecond later.
    sandbox.file("test.ini", "[A]\nk=2\n", base + std::chrono::nanoseconds(1));
    EXPECT_EQ(get("A", "k"), "2");

    // Replaced by rename: same size, a new inode.
    sandbox.file("other.ini", "[A]\nk=3\n", base + std::chrono::nanoseconds(1));
    fs::rename(sandbox.path("other.ini"), sandbox.path("test.ini"));
    EXPECT_EQ(get("A", "k"), "3");
}

// --- UTF-16 --------------------------------------------------------------------------------------

TEST_F(ProfilePosixTest, Utf16FileIsReadAsUtf8AndWrittenBackAsUtf16) {
    // A lone surrogate in a comment must survive the round trip untouched.
    put(utf16le(u"; \xD800 \U0001F514\r\n[Grüße]\r\nName=Müller\r\n"));
    EXPECT_EQ(get("Grüße", "Name"), "Müller");
    EXPECT_EQ(get("Grüße", "Name", "", 3), "M");  // never half a character

    ASSERT_TRUE(profile.writeString("test.ini", "Grüße", "Name", "Zoë"));
    ASSERT_TRUE(profile.writeString("test.ini", "Grüße", "Ort", "Köln"));
    EXPECT_EQ(content(), utf16le(u"; \xD800 \U0001F514\r\n[Grüße]\r\nName=Zoë\r\nOrt=Köln\r\n"));
}

TEST_F(ProfilePosixTest, TwoProcessesWritingAThousandKeysEachLoseNoWrite) {
    constexpr int kWrites = 1000;
    auto writer = [&](const std::string& prefix) {
        return runChild([&] {
            Profile own(sandbox.root());
            for (int i = 0; i < kWrites; ++i)
                if (!own.writeInt("test.ini", "S", prefix + std::to_string(i), i))
                    return false;
            return true;
        });
    };
    pid_t first = writer("a"), second = writer("b");
    ASSERT_EQ(waitExitCode(first), 0);
    ASSERT_EQ(waitExitCode(second), 0);
    int missing = 0;
    for (const char* prefix : {"a", "b"})
        for (int i = 0; i < kWrites; ++i)
            missing += profile.getInt("test.ini", "S", prefix + std::to_string(i), -1) != i;
    EXPECT_EQ(missing, 0);
}

TEST_F(ProfilePosixTest, WriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    // A large file makes the window of each write wide enough for kills to land inside it.
    const std::string padding(512 * 1024, 'p');
    const std::string head = "[S]\r\npad=" + padding + "\r\nn=";
    put(head + "0\r\n");
    std::mt19937 random(12345);
    for (int round = 0; round < 15; ++round) {
        pid_t child = runChild([&] {
            Profile own(sandbox.root());
            for (int i = 1;; ++i)
                if (!own.writeInt("test.ini", "S", "n", round * 1000000 + i))
                    return false;
        });
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);

        std::string bytes = content();
        ASSERT_TRUE(bytes.starts_with(head) && bytes.ends_with("\r\n")) << "torn file in round " << round;
        std::string number = bytes.substr(head.size(), bytes.size() - head.size() - 2);
        ASSERT_FALSE(number.empty());
        ASSERT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << number;
        ASSERT_EQ(profile.getString("test.ini", "S", "n", "", 64), number);
    }
    // A temporary file left by a killed writer does not stand in the way of the next one.
    ASSERT_TRUE(profile.writeInt("test.ini", "S", "n", 7));
    EXPECT_EQ(content(), head + "7\r\n");
}
