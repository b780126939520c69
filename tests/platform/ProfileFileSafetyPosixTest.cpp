#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "PathMap.h"
#include "Profile.h"
#include "ProfileFile.h"
#include "Sandbox.h"

namespace fs = std::filesystem;
using qx::Profile;
using qx::ProfileWriteError;
using qx::test::Sandbox;

namespace {

// Runs `body` in a child that an alarm ends after a few seconds, so that a call that hangs fails the
// test instead of stopping the run. The exit code is body's (0 for true), -1 when the child was killed.
template <typename Body>
int inGuardedChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) {
        alarm(5);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ProfileFileSafetyTest : public ::testing::Test {
protected:
    Sandbox sandbox;
    Profile profile{sandbox.root()};
    fs::path ini = sandbox.path("test.ini");
};

TEST_F(ProfileFileSafetyTest, FifoInPlaceOfTheFileNeitherHangsReadsNorWrites) {
    ASSERT_EQ(mkfifo(ini.c_str(), 0666), 0);
    EXPECT_EQ(inGuardedChild([&] { return profile.getString("test.ini", "S", "k", "d", 16) == "d"; }), 0);
    EXPECT_EQ(inGuardedChild([&] { return profile.getInt("test.ini", "S", "k", 7) == 7; }), 0);
    // Refused before the directory lock: another writer holding it does not make the refusal wait.
    qx::ProfileDirectoryLock held(sandbox.root());
    ASSERT_TRUE(held.held());
    EXPECT_EQ(inGuardedChild([&] {
                  return profile.writeString("test.ini", "S", "k", "1").error() ==
                         ProfileWriteError::NotRegular;
              }),
              0);
    EXPECT_TRUE(fs::is_fifo(ini));
}

TEST_F(ProfileFileSafetyTest, DeviceBehindALinkIsNeverWritten) {
    fs::create_symlink("/dev/null", ini);
    EXPECT_EQ(profile.getString("test.ini", "S", "k", "d", 16), "d");
    EXPECT_EQ(profile.writeString("test.ini", "S", "k", "1").error(), ProfileWriteError::NotRegular);
    EXPECT_EQ(profile.deleteSection("test.ini", "S").error(), ProfileWriteError::NotRegular);
    EXPECT_EQ(fs::read_symlink(ini), "/dev/null");
}

// A qxmover.ini that links to a share that is not mounted: a write would put a file of defaults in the
// link's place for good, so it is refused, with the reason, and the link stays.
TEST_F(ProfileFileSafetyTest, LinkToAMissingFileIsNeverReplaced) {
    fs::create_symlink(sandbox.path("share/test.ini"), ini);
    auto result = profile.writeString("test.ini", "S", "k", "1");
    EXPECT_EQ(result.error(), ProfileWriteError::DanglingLink);
    EXPECT_EQ(result.reason(), "the file is a symbolic link to a file that does not exist");
    EXPECT_EQ(profile.deleteSection("test.ini", "S").error(), ProfileWriteError::DanglingLink);
    EXPECT_EQ(fs::read_symlink(ini), sandbox.path("share/test.ini"));
    EXPECT_FALSE(fs::exists(sandbox.path("share")));
    // Once the share is there, the write goes through the link to it.
    sandbox.file("share/test.ini", "[S]\r\n");
    EXPECT_TRUE(profile.writeString("test.ini", "S", "k", "1"));
    EXPECT_EQ(sandbox.read("share/test.ini"), "[S]\r\nk=1\r\n");
    EXPECT_TRUE(fs::is_symlink(ini));
}

TEST_F(ProfileFileSafetyTest, FileWithoutWriteBitsRefusesTheWriteEvenForRoot) {
    sandbox.file("test.ini", "[S]\r\nk=1\r\n");
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto result = profile.writeString("test.ini", "S", "k", "2");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error(), ProfileWriteError::ReadOnly);
    EXPECT_EQ(result.reason(), "the file is read-only");
    EXPECT_EQ(qx::profileWriteFailure("test.ini", "S", "k", result),
              "Cannot write k in [S] of test.ini: the file is read-only");
    EXPECT_FALSE(profile.deleteSection("test.ini", "S"));
    EXPECT_EQ(sandbox.read("test.ini"), "[S]\r\nk=1\r\n");
    EXPECT_EQ(fs::status(ini).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // Reading is not affected.
    EXPECT_EQ(profile.getInt("test.ini", "S", "k", 0), 1);
}

// The directory forbids the temporary file beside the profile file, the file itself is writable: it
// is written in place (same inode). Root may create files anywhere, so the writer runs as "nobody".
TEST_F(ProfileFileSafetyTest, WritableFileInAReadOnlyDirectoryIsWrittenInPlace) {
    fs::path dir = sandbox.dir("ro");
    fs::path file = sandbox.file("ro/test.ini", "[S]\r\nk=1\r\nother=x\r\n");
    fs::permissions(
        file, fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec & ~fs::perms::others_exec);
    const bool root = geteuid() == 0;
    if (root) {
        fs::permissions(sandbox.root(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    }
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    int code = inGuardedChild([&] {
        if (root && (setgid(65534) != 0 || setuid(65534) != 0))
            return false;
        Profile own(dir);
        return static_cast<bool>(own.writeString("test.ini", "S", "k", "22")) &&
               own.getString("test.ini", "S", "k", "", 16) == "22";
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(sandbox.read("ro/test.ini"), "[S]\r\nk=22\r\nother=x\r\n");
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_FALSE(fs::exists(dir / ".test.ini.qxtmp"));
}

TEST_F(ProfileFileSafetyTest, NewFileInAReadOnlyDirectoryFailsWithTheReason) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root creates files in read-only directories";
    sandbox.makeReadOnly("ro");
    Profile own(sandbox.path("ro"));
    auto result = own.writeString("test.ini", "S", "k", "1");
    EXPECT_EQ(result.error(), ProfileWriteError::Failed);
    EXPECT_EQ(result.reason(), "Permission denied");
}

// --- bare names ----------------------------------------------------------------------------------

TEST(ProfileNameTest, OneRuleForBareNames) {
    EXPECT_TRUE(qx::isBareProfileName("qxmover.ini"));
    EXPECT_TRUE(qx::isBareProfileName("QXMOVER.INI"));
    EXPECT_FALSE(qx::isBareProfileName("C:x.ini"));
    EXPECT_FALSE(qx::isBareProfileName("\\windows\\x.ini"));
    EXPECT_FALSE(qx::isBareProfileName("sub/x.ini"));

    Sandbox sandbox;
    Profile profile(sandbox.root());
    EXPECT_EQ(profile.resolve("x.ini"), sandbox.root() / "x.ini");
    EXPECT_NE(profile.resolve("C:x.ini"), sandbox.root() / "C:x.ini");
    qx::PathMap paths(sandbox.path("root"), sandbox.path("root/windows"));
    EXPECT_EQ(paths.profileFile("C:x.ini"), paths.native("C:x.ini"));
    EXPECT_EQ(paths.profileFile("x.ini"), sandbox.path("root/windows/x.ini"));
}

}  // namespace
