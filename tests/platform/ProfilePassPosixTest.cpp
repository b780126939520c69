#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <thread>

#include "Profile.h"
#include "Sandbox.h"

namespace fs = std::filesystem;
using qx::Profile;
using qx::test::Sandbox;

namespace {

class ProfilePassTest : public ::testing::Test {
protected:
    Sandbox sandbox;
    std::atomic<int> resolved{0};  // one per file look-up, each of which costs a stat
    Profile profile{[this](std::string_view file) {
        ++resolved;
        return sandbox.root() / file;
    }};

    int get(const char* file = "a.ini") { return profile.getInt(file, "S", "k", -1); }
};

// Waits until the kernel's coarse clock, which stamps file changes, has moved past `file`'s last
// change: the moment from which a version's stamp tells it from every later one.
void waitPastLastChange(const fs::path& file) {
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (now.tv_sec > status.st_ctim.tv_sec ||
            (now.tv_sec == status.st_ctim.tv_sec && now.tv_nsec > status.st_ctim.tv_nsec))
            return;
        std::this_thread::yield();
    }
}

TEST_F(ProfilePassTest, APassLooksAtEachFileOnceHoweverManyKeysItReads) {
    sandbox.file("a.ini", "[S]\r\nk=1\r\n");
    {
        Profile::Pass pass(profile);
        for (int i = 0; i < 30; ++i)
            ASSERT_EQ(get(), 1);
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(get("missing.ini"), -1);
        EXPECT_EQ(resolved.load(), 2);
        EXPECT_EQ(profile.parseCount(), 1u);
        Profile::Pass nested(profile);  // joins the outer scope
        EXPECT_EQ(get(), 1);
        EXPECT_EQ(resolved.load(), 2);
    }
    // Outside a pass every read looks again.
    get();
    get();
    EXPECT_EQ(resolved.load(), 4);
}

TEST_F(ProfilePassTest, ChangesByOthersShowAtTheNextPassAndOwnWritesAtOnce) {
    sandbox.file("a.ini", "[S]\r\nk=1\r\n");
    {
        Profile::Pass pass(profile);
        EXPECT_EQ(get(), 1);
        sandbox.file("a.ini", "[S]\r\nk=2\r\n");
        EXPECT_EQ(get(), 1);  // the pass reads the file as it found it
    }
    {
        Profile::Pass pass(profile);
        EXPECT_EQ(get(), 2);
        ASSERT_TRUE(profile.writeInt("a.ini", "S", "k", 3));
        EXPECT_EQ(get(), 3);
    }
}

TEST_F(ProfilePassTest, PassesAreThreadsOwnAndProfilesOwn) {
    sandbox.file("a.ini", "[S]\r\nk=1\r\n");
    Profile other(sandbox.root());
    Profile::Pass pass(profile);
    EXPECT_EQ(get(), 1);
    sandbox.file("a.ini", "[S]\r\nk=22\r\n");
    EXPECT_EQ(other.getInt("a.ini", "S", "k", -1), 22);
    int seen = 0;
    std::thread([&] { seen = get(); }).join();
    EXPECT_EQ(seen, 22);
    EXPECT_EQ(get(), 1);
}

// A rehearsal reads the same files thousands of times a second of real time, a few of them just
// after its own writes: an unchanged file must not be parsed again, whoever wrote it last.
TEST_F(ProfilePassTest, AnUnchangedFileIsParsedOnceAlsoRightAfterAWrite) {
    ASSERT_TRUE(profile.writeInt("a.ini", "S", "k", 1));
    waitPastLastChange(sandbox.path("a.ini"));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(get(), 1);
    EXPECT_EQ(profile.parseCount(), 1u);  // with the default settle time of two seconds

    // Another program's change of the same size is seen at once.
    sandbox.file("a.ini", "[S]\r\nk=2\r\n");
    EXPECT_EQ(get(), 2);
    waitPastLastChange(sandbox.path("a.ini"));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(get(), 2);
    EXPECT_LE(profile.parseCount(), 3u);
}

}  // namespace
