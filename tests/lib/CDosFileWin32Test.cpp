#include <gtest/gtest.h>

#include <string>

#include "Sandbox.h"
#include "qxclass/CDosFile.h"

namespace {

using qx::test::Sandbox;

struct SharingCase {
    int first;
    int second;
    int allowed;
};

class DosFileSharingWin32 : public ::testing::TestWithParam<SharingCase> {};

// The system's own sharing modes decide: also two objects of one process exclude each other.
TEST_P(DosFileSharingWin32, SecondOpenMeetsTheFirstOnesDenialsAndAccess) {
    Sandbox sandbox;
    std::string file = sandbox.file("shared.txt", "data").string();
    CDosFile first(file.c_str()), second(file.c_str());
    ASSERT_EQ(first.Open(GetParam().first), 1);
    EXPECT_EQ(second.Open(GetParam().second), GetParam().allowed);
    EXPECT_EQ(second.IsOpen(), GetParam().allowed);
}

constexpr int R = CDosFile::OF_READ, W = CDosFile::OF_WRITE, RW = CDosFile::OF_READWRITE;
constexpr int EXCL = CDosFile::OF_SHARE_EXCLUSIVE, DW = CDosFile::OF_SHARE_DENY_WRITE,
              DR = CDosFile::OF_SHARE_DENY_READ, DN = CDosFile::OF_SHARE_DENY_NONE;

INSTANTIATE_TEST_SUITE_P(Modes, DosFileSharingWin32,
                         ::testing::Values(SharingCase{R | EXCL, R | DN, 0}, SharingCase{R | DN, R | EXCL, 0},
                                           SharingCase{R | DW, R | DW, 1}, SharingCase{R | DW, W | DN, 0},
                                           SharingCase{W | DN, R | DW, 0}, SharingCase{R | DR, R | DN, 0},
                                           SharingCase{R | DR, W | DN, 1}, SharingCase{RW | DN, RW | DN, 1},
                                           SharingCase{RW | CDosFile::OF_SHARE_COMPAT, R | DN, 1}));

TEST(DosFileWin32, CreateLeavesAFileHeldExclusivelyWholeAndEmptiesItOtherwise) {
    Sandbox sandbox;
    std::string file = sandbox.file("held.txt", "keep me").string();
    {
        CDosFile holder(file.c_str()), creator(file.c_str());
        ASSERT_EQ(holder.Open(R | EXCL), 1);
        EXPECT_EQ(creator.Create(RW | DN), 0);
        EXPECT_EQ(creator.Create(R | DN), 0);  // emptying counts as writing, even for a reader
    }
    EXPECT_EQ(qx::test::readFile(file), "keep me");
    CDosFile creator(file.c_str());
    ASSERT_EQ(creator.Create(R | DN), 1);
    creator.Close();
    EXPECT_EQ(qx::test::readFile(file), "");
}

TEST(DosFileWin32, LogFilesOfSeveralWritersOnlyGrowAtTheirEnd) {
    Sandbox sandbox;
    std::string file = sandbox.file("log.txt", "").string();
    CLogFile a(file.c_str()), b(file.c_str());
    ASSERT_EQ(a.Open(W | DN), 1);
    ASSERT_EQ(b.Open(W | DN), 1);
    ASSERT_EQ(a.Write("a1\r\n", 4), 1);
    ASSERT_EQ(b.Write("b1\r\n", 4), 1);
    ASSERT_EQ(a.Seek(0), 1);  // moves where reads start, never where writes land
    ASSERT_EQ(a.Write("a2\r\n", 4), 1);
    a.Close();
    b.Close();
    EXPECT_EQ(qx::test::readFile(file), "a1\r\nb1\r\na2\r\n");
}

TEST(DosFileWin32, LinesPositionsAndCounts) {
    Sandbox sandbox;
    std::string file = sandbox.file("lines.txt", "first\r\nsecond\nstill\r\n\r\nlast").string();
    CDosFile dos(file.c_str());
    ASSERT_EQ(dos.Open(R | DN), 1);
    char line[64];
    ASSERT_EQ(dos.ReadLine(line, sizeof line), 1);
    EXPECT_STREQ(line, "first");
    EXPECT_EQ(dos.GetPos(), 7);
    ASSERT_EQ(dos.ReadLine(line, sizeof line), 1);
    EXPECT_STREQ(line, "second\nstill");
    ASSERT_EQ(dos.ReadLine(line, sizeof line), 1);
    EXPECT_STREQ(line, "");
    ASSERT_EQ(dos.ReadLine(line, sizeof line), 1);
    EXPECT_STREQ(line, "last");
    ASSERT_EQ(dos.ReadLine(line, sizeof line), 1);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(dos.GetPos(), 27);
    std::size_t done = 99;
    ASSERT_EQ(dos.Seek(2), 1);
    ASSERT_EQ(dos.Read(line, 10, done), 1);
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(dos.Write("x", 1), 0);  // opened for reading only
    ASSERT_EQ(dos.SeekEof(), 1);
    EXPECT_EQ(dos.GetPos(), 27);
}

}  // namespace
