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

TEST_F(PathMapTest, RelativePathsStayRelative) {
    EXPECT_EQ(paths.native("..\\a\\..\\b"), std::filesystem::path("../b"));
    EXPECT_EQ(paths.native("log\\qxmover_50.log"), std::filesystem::path("log/qxmover_50.log"));
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
