#include "PathMap.h"

#include <gtest/gtest.h>

#include "Sandbox.h"

namespace qx {
namespace {

class PathMapTest : public ::testing::Test {
protected:
    test::Sandbox sandbox;
    PathMap paths{sandbox.path("root"), sandbox.path("root/windows"), {{'d', sandbox.path("data")}}};
};

TEST_F(PathMapTest, BackslashPathsLieBelowTheRootAndDrives) {
    EXPECT_EQ(paths.native("\\qxt\\log"), sandbox.path("root/qxt/log"));
    EXPECT_EQ(paths.native("C:\\qxt"), sandbox.path("root/qxt"));
    EXPECT_EQ(paths.native("d:\\rec\\a.wav"), sandbox.path("data/rec/a.wav"));
    EXPECT_EQ(paths.native("\\"), sandbox.path("root"));
}

// The activity log names what the jobs touched as the installation configures it.
TEST_F(PathMapTest, NativePathsAreNamedAsTheInstallationConfiguresThem) {
    EXPECT_EQ(paths.configured(sandbox.path("root/qxt/log/log49")), "\\qxt\\log\\log49");
    EXPECT_EQ(paths.configured(sandbox.path("root")), "\\");
    EXPECT_EQ(paths.configured(sandbox.path("data/rec/a.wav")), "D:\\rec\\a.wav");
    EXPECT_EQ(paths.configured(sandbox.path("data")), "D:\\");
    EXPECT_EQ(paths.configured(sandbox.path("root/qxt/log/./log49/../log48/")), "\\qxt\\log\\log48");
    for (const char* configured : {"\\qxt\\log\\log49\\a.dbf", "D:\\rec", "\\"})
        EXPECT_EQ(paths.configured(paths.native(configured)), configured);
    EXPECT_EQ(paths.native(configuredJoin("\\qxt\\log\\", "log49")), sandbox.path("root/qxt/log/log49"));
    EXPECT_EQ(paths.configured("log/qxmover_50.log"), "log\\qxmover_50.log");
    // A drive mounted below the root is named by its letter.
    PathMap nested{sandbox.path("root"), sandbox.path("root/windows"), {{'e', sandbox.path("root/mnt/e")}}};
    EXPECT_EQ(nested.configured(sandbox.path("root/mnt/e/x")), "E:\\x");
    EXPECT_EQ(nested.configured(sandbox.path("root/mnt/x")), "\\mnt\\x");
    // Outside the root and the drives there is no such name; a name that only begins like the root's
    // does not lie below it.
    EXPECT_EQ(paths.configured(sandbox.path("elsewhere/x")), sandbox.path("elsewhere/x").string());
    EXPECT_EQ(paths.configured(sandbox.path("rootless/x")), sandbox.path("rootless/x").string());
}

TEST_F(PathMapTest, UnmappedDriveStaysInsideTheRoot) {
    EXPECT_EQ(paths.native("X:\\a").parent_path(), sandbox.path("root/drive_x"));
}

TEST_F(PathMapTest, DotJointsNameTheSameDirectory) {
    EXPECT_EQ(paths.native("\\qxt\\log.\\log49"), sandbox.path("root/qxt/log/log49"));
    EXPECT_EQ(paths.native("\\qxt\\log\\.\\log49"), sandbox.path("root/qxt/log/log49"));
    EXPECT_EQ(paths.native("\\qxt\\log\\.\\*.job"), sandbox.path("root/qxt/log/*.job"));
}

TEST_F(PathMapTest, DotDotStopsAtTheRootOfItsDrive) {
    EXPECT_EQ(paths.native("\\..\\escaped.ini"), sandbox.path("root/escaped.ini"));
    EXPECT_EQ(paths.native("\\..\\..\\..\\outside"), sandbox.path("root/outside"));
    EXPECT_EQ(paths.native("C:\\qxt\\..\\..\\x"), sandbox.path("root/x"));
    EXPECT_EQ(paths.native("d:\\..\\x"), sandbox.path("data/x"));
    EXPECT_EQ(paths.native("D:\\rec\\..\\..\\..\\x"), sandbox.path("data/x"));
    EXPECT_EQ(paths.native("X:\\..\\..\\a").parent_path(), sandbox.path("root/drive_x"));
    // Within the drive `..` takes back one component, also after a dotted joint.
    EXPECT_EQ(paths.native("\\qxt\\log.\\..\\db"), sandbox.path("root/qxt/db"));
    // A name of dots only is no way up.
    EXPECT_EQ(paths.native("\\...\\x"), sandbox.path("root/x"));
    EXPECT_EQ(paths.native("\\..."), sandbox.path("root"));
    EXPECT_EQ(paths.profileFile("\\..\\escaped.ini"), sandbox.path("root/escaped.ini"));
}

// Relative paths are taken from the working directory; their `..` climbs no higher than the root of
// the drive that holds it, or than the working directory itself where it lies below no drive.
TEST_F(PathMapTest, RelativePathsStayWithinTheDriveOfTheWorkingDirectory) {
    sandbox.dir("root/qxt/work");
    sandbox.dir("data/rec/deep");
    sandbox.dir("outside/work");
    const std::map<char, std::filesystem::path> drives{{'d', sandbox.path("data")}};
    PathMap inRoot(sandbox.path("root"), sandbox.path("root/windows"), drives, sandbox.path("root/qxt/work"));
    EXPECT_EQ(inRoot.native("log\\qxmover_50.log"), std::filesystem::path("log/qxmover_50.log"));
    EXPECT_EQ(inRoot.native("..\\a\\..\\b"), std::filesystem::path("../b"));
    EXPECT_EQ(inRoot.native("..\\..\\x"), std::filesystem::path("../../x"));
    EXPECT_EQ(inRoot.native("..\\..\\..\\..\\x"), std::filesystem::path("../../x"));
    EXPECT_EQ(inRoot.native("..\\..\\..\\outside\\a.job"), std::filesystem::path("../../outside/a.job"));

    PathMap inDrive(sandbox.path("root"), sandbox.path("root/windows"), drives,
                    sandbox.path("data/rec/deep"));
    EXPECT_EQ(inDrive.native("..\\..\\..\\..\\x"), std::filesystem::path("../../x"));

    PathMap nowhere(sandbox.path("root"), sandbox.path("root/windows"), drives, sandbox.path("outside/work"));
    EXPECT_EQ(nowhere.native("..\\outside"), std::filesystem::path("outside"));
    EXPECT_EQ(nowhere.native("..\\..\\x\\..\\y"), std::filesystem::path("y"));
    EXPECT_EQ(nowhere.native(".."), std::filesystem::path("."));

    // A working directory reached through a symbolic link climbs as the kernel does, by the real parent.
    std::filesystem::create_directory_symlink(sandbox.path("outside/work"), sandbox.path("root/qxt/link"));
    PathMap linked(sandbox.path("root"), sandbox.path("root/windows"), drives, sandbox.path("root/qxt/link"));
    EXPECT_EQ(linked.native("..\\x"), std::filesystem::path("x"));
}

TEST_F(PathMapTest, ExistingFilesAreFoundIgnoringLetterCase) {
    sandbox.file("root/DB1/VM001.DBF", "x");
    EXPECT_EQ(paths.native("\\db1\\vm001.dbf"), sandbox.path("root/DB1/VM001.DBF"));
    // A missing tail keeps its spelling below the part that was found.
    EXPECT_EQ(paths.native("\\db1\\new\\File.txt"), sandbox.path("root/DB1/new/File.txt"));
}

TEST_F(PathMapTest, ExactSpellingWinsOverOtherCases) {
    sandbox.file("root/a/Log", "1");
    sandbox.file("root/a/log", "2");
    EXPECT_EQ(paths.native("\\a\\log"), sandbox.path("root/a/log"));
    EXPECT_EQ(paths.native("\\a\\Log"), sandbox.path("root/a/Log"));
}

TEST_F(PathMapTest, BareProfileNamesLieInTheProfileDirectory) {
    sandbox.file("root/windows/QXMOVER.INI", "");
    EXPECT_EQ(paths.profileFile("qxmover.ini"), sandbox.path("root/windows/QXMOVER.INI"));
    EXPECT_EQ(paths.profileFile("qxalarm.ini"), sandbox.path("root/windows/qxalarm.ini"));
    EXPECT_EQ(paths.profileFile("\\etc\\x.ini"), sandbox.path("root/etc/x.ini"));
}

TEST(TextCase, FoldsAsciiOnly) {
    EXPECT_EQ(asciiUpper("c:\xe4x"), "C:\xe4X");
    EXPECT_TRUE(equalsIgnoreCase("VM001.DBF", "vm001.dbf"));
    EXPECT_FALSE(equalsIgnoreCase("vm001.dbf", "vm001.db"));
}

}  // namespace
}  // namespace qx
