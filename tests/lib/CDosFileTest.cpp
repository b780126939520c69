#include "qxclass/CDosFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "Sandbox.h"

// CDosFile and CLogFile on both systems: the system's own sharing modes on Windows, their stand-in of
// locks on Linux, are held to one table. The cases that need a second process are in the
// system's own test file.

namespace {

class CDosFileTest : public ::testing::Test {
protected:
    qx::test::Sandbox sandbox;
    std::string path(const char* name) const { return sandbox.path(name).string(); }
};

TEST_F(CDosFileTest, FailsWithoutNameOrFileAndStaysUsable) {
    CDosFile unnamed(nullptr);
    EXPECT_EQ(unnamed.Open(CDosFile::OF_READ), 0);
    EXPECT_EQ(unnamed.Create(CDosFile::OF_WRITE), 0);

    CDosFile missing(path("missing.txt").c_str());
    EXPECT_EQ(missing.Open(CDosFile::OF_READ), 0);
    EXPECT_EQ(missing.IsOpen(), 0);
    EXPECT_EQ(missing.Close(), 0);
    EXPECT_EQ(missing.GetPos(), -1);
    EXPECT_EQ(missing.Seek(0), 0);
    char buf[8];
    EXPECT_EQ(missing.ReadLine(buf, sizeof buf), 0);

    sandbox.file("missing.txt", "now here");
    EXPECT_EQ(missing.Open(CDosFile::OF_READ), 1);
    EXPECT_EQ(missing.Close(), 1);
}

TEST_F(CDosFileTest, CreateEmptiesAnExistingFile) {
    sandbox.file("log.txt", "old contents");
    CLogFile log(path("log.txt").c_str());
    ASSERT_EQ(log.Create(CDosFile::OF_READWRITE), 1);
    ASSERT_EQ(log.SeekEof(), 1);
    EXPECT_EQ(log.GetPos(), 0);
    EXPECT_EQ(log.Write("new", 3), 1);
    log.Close();
    EXPECT_EQ(sandbox.read("log.txt"), "new");
}

TEST_F(CDosFileTest, BlockTransfersReportTheirCounts) {
    sandbox.file("data.bin", std::string("0123456789"));
    CDosFile file(path("data.bin").c_str());
    ASSERT_EQ(file.Open(CDosFile::OF_READ), 1);
    char buf[16] = {};
    std::size_t done = 99;
    ASSERT_EQ(file.Seek(7), 1);
    EXPECT_EQ(file.Read(buf, sizeof buf, done), 1);  // short at the end of the file, not a failure
    EXPECT_EQ(done, 3u);
    EXPECT_STREQ(buf, "789");
    EXPECT_EQ(file.Read(buf, 4, done), 1);
    EXPECT_EQ(done, 0u);
    // Opened for reading only: writing fails and reports nothing written.
    EXPECT_EQ(file.Write("x", 1, done), 0);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file.Seek(-1), 0);
}

TEST_F(CDosFileTest, ExclusiveOpenExcludesEveryOtherOpen) {
    sandbox.file("shared.txt", "x");
    CDosFile first(path("shared.txt").c_str()), second(path("shared.txt").c_str());
    ASSERT_EQ(first.Open(CDosFile::OF_READ | CDosFile::OF_SHARE_DENY_NONE), 1);
    EXPECT_EQ(second.Open(CDosFile::OF_READ | CDosFile::OF_SHARE_DENY_NONE), 1);
    second.Close();
    EXPECT_EQ(second.Open(CDosFile::OF_READWRITE | CDosFile::OF_SHARE_EXCLUSIVE), 0);
    first.Close();
    ASSERT_EQ(second.Open(CDosFile::OF_READWRITE | CDosFile::OF_SHARE_EXCLUSIVE), 1);
    EXPECT_EQ(first.Open(CDosFile::OF_READ), 0);
}

TEST_F(CDosFileTest, CreateLeavesAFileHeldExclusivelyWholeAndEmptiesItOtherwise) {
    sandbox.file("held.txt", "keep me");
    {
        CDosFile holder(path("held.txt").c_str()), creator(path("held.txt").c_str());
        ASSERT_EQ(holder.Open(CDosFile::OF_READ | CDosFile::OF_SHARE_EXCLUSIVE), 1);
        EXPECT_EQ(creator.Create(CDosFile::OF_READWRITE | CDosFile::OF_SHARE_DENY_NONE), 0);
        EXPECT_EQ(creator.Create(CDosFile::OF_READ | CDosFile::OF_SHARE_DENY_NONE),
                  0);  // emptying is writing
    }
    EXPECT_EQ(sandbox.read("held.txt"), "keep me");
    CDosFile creator(path("held.txt").c_str());
    ASSERT_EQ(creator.Create(CDosFile::OF_READ | CDosFile::OF_SHARE_DENY_NONE), 1);
    creator.Close();
    EXPECT_EQ(sandbox.read("held.txt"), "");
}

// An open held as `first`, then `second` tried beside it in the same process: whether sharing lets it
// in. Two objects of one process exclude each other as two processes do.
struct SharingCase {
    int first;
    int second;
    bool allowed;
};

void PrintTo(const SharingCase& c, std::ostream* os) {
    *os << "first 0x" << std::hex << c.first << ", second 0x" << c.second
        << (c.allowed ? ": allowed" : ": refused");
}

class SharingTest : public CDosFileTest, public ::testing::WithParamInterface<SharingCase> {};

TEST_P(SharingTest, SecondOpenMeetsTheFirstOnesDenialsAndAccess) {
    sandbox.file("shared.txt", "x");
    CDosFile first(path("shared.txt").c_str()), second(path("shared.txt").c_str());
    ASSERT_EQ(first.Open(GetParam().first), 1);
    EXPECT_EQ(second.Open(GetParam().second), GetParam().allowed ? 1 : 0);
    EXPECT_EQ(second.IsOpen(), GetParam().allowed ? 1 : 0);
    second.Close();
    first.Close();
    EXPECT_EQ(second.Open(GetParam().second), 1);  // alone it is always let in
}

constexpr int R = CDosFile::OF_READ, W = CDosFile::OF_WRITE, RW = CDosFile::OF_READWRITE;
constexpr int DenyW = CDosFile::OF_SHARE_DENY_WRITE, DenyR = CDosFile::OF_SHARE_DENY_READ,
              DenyNone = CDosFile::OF_SHARE_DENY_NONE, Excl = CDosFile::OF_SHARE_EXCLUSIVE,
              Compat = CDosFile::OF_SHARE_COMPAT;

INSTANTIATE_TEST_SUITE_P(
    WindowsRules, SharingTest,
    ::testing::Values(SharingCase{R | DenyW, R | DenyNone, true}, SharingCase{R | DenyW, W | DenyNone, false},
                      SharingCase{R | DenyW, RW, false}, SharingCase{R | DenyNone, R | DenyW, true},
                      SharingCase{W | DenyNone, R | DenyW, false}, SharingCase{W | DenyR, W | DenyNone, true},
                      SharingCase{W | DenyR, R | DenyNone, false},
                      SharingCase{R | DenyR, R | DenyNone, false}, SharingCase{R | DenyR, W | DenyNone, true},
                      SharingCase{R | DenyNone, W | DenyR, false}, SharingCase{W | DenyNone, W | DenyR, true},
                      SharingCase{R | DenyNone, RW | Excl, false}, SharingCase{RW | Excl, R, false},
                      SharingCase{R | Excl, R | DenyNone, false}, SharingCase{R | DenyW, R | DenyW, true},
                      SharingCase{RW | DenyNone, RW | DenyNone, true},
                      SharingCase{RW | Compat, R | DenyNone, true}));

TEST_F(CDosFileTest, UnknownSharingValueIsRefused) {
    sandbox.file("shared.txt", "x");
    CDosFile file(path("shared.txt").c_str());
    EXPECT_EQ(file.Open(CDosFile::OF_READ | 0x50), 0);
    EXPECT_EQ(file.IsOpen(), 0);
}

TEST_F(CDosFileTest, LogFilesOfSeveralWritersOnlyGrowAtTheirEnd) {
    sandbox.file("log.txt", "");
    CLogFile a(path("log.txt").c_str()), b(path("log.txt").c_str());
    ASSERT_EQ(a.Open(W | DenyNone), 1);
    ASSERT_EQ(b.Open(W | DenyNone), 1);
    ASSERT_EQ(a.Write("a1\r\n", 4), 1);
    ASSERT_EQ(b.Write("b1\r\n", 4), 1);
    ASSERT_EQ(a.Seek(0), 1);  // moves where reads start, never where writes land
    ASSERT_EQ(a.Write("a2\r\n", 4), 1);
    a.Close();
    b.Close();
    EXPECT_EQ(sandbox.read("log.txt"), "a1\r\nb1\r\na2\r\n");
}

class ReadLineTest : public CDosFileTest {
protected:
    // Opens a file holding `content` for reading.
    CDosFile& open(const std::string& content) {
        sandbox.file("lines.txt", content);
        m_file = std::make_unique<CDosFile>(path("lines.txt").c_str());
        EXPECT_EQ(m_file->Open(CDosFile::OF_READ), 1);
        return *m_file;
    }
    std::unique_ptr<CDosFile> m_file;
};

TEST_F(ReadLineTest, ReadsCrLfLinesThenEmptyAtTheEndWithoutMoving) {
    CDosFile& file = open("ab\r\ncd\r\n");
    char buf[64];
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "ab");
    EXPECT_EQ(file.GetPos(), 4);
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "cd");
    EXPECT_EQ(file.GetPos(), 8);
    for (int i = 0; i < 2; ++i) {
        std::memset(buf, 'x', sizeof buf);
        ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
        EXPECT_STREQ(buf, "");
        EXPECT_EQ(file.GetPos(), 8);
    }
}

TEST_F(ReadLineTest, EmptyLinesAndALastLineWithoutEnd) {
    CDosFile& file = open("\r\n\r\nlast");
    char buf[64];
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(file.GetPos(), 2);
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "");
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "last");
    EXPECT_EQ(file.GetPos(), 8);
}

TEST_F(ReadLineTest, LoneLfOrCrDoesNotEndALine) {
    CDosFile& file = open("a\nb\rc\r\nd");
    char buf[64];
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "a\nb\rc");
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "d");
}

TEST_F(ReadLineTest, LongLinesComeInPiecesThatFitTheBuffer) {
    CDosFile& file = open("abcdef\r\nxy\r\n");
    char buf[5];
    std::memset(buf, '#', sizeof buf);
    ASSERT_EQ(file.ReadLine(buf, 4), 1);  // room for three bytes and the NUL
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(buf[4], '#');
    ASSERT_EQ(file.ReadLine(buf, 4), 1);  // fills the buffer up to the CR LF, which it takes along
    EXPECT_STREQ(buf, "def");
    EXPECT_EQ(file.GetPos(), 8);
    ASSERT_EQ(file.ReadLine(buf, 5), 1);
    EXPECT_STREQ(buf, "xy");
    EXPECT_EQ(file.GetPos(), 12);
    EXPECT_EQ(file.ReadLine(buf, 0), 0);
}

TEST_F(ReadLineTest, CrLfWhereTheBufferEndsIsNotSplit) {
    CDosFile& file = open("abc\r\ndef\r\nxy\r");
    char buf[5];
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);  // reads "abc\r": its LF comes next
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(file.GetPos(), 5);
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "def");
    ASSERT_EQ(file.ReadLine(buf, sizeof buf), 1);  // a lone CR at the end stays text
    EXPECT_STREQ(buf, "xy\r");
    EXPECT_EQ(file.GetPos(), 13);
}

TEST_F(ReadLineTest, ReadAndPositionsAfterLinesStayInStep) {
    CDosFile& file = open("first\r\nsecond\nstill\r\n\r\nlast");
    char line[64];
    for (const char* expected : {"first", "second\nstill", "", "last", ""}) {
        ASSERT_EQ(file.ReadLine(line, sizeof line), 1) << expected;
        EXPECT_STREQ(line, expected);
    }
    EXPECT_EQ(file.GetPos(), 27);
    std::size_t done = 99;
    ASSERT_EQ(file.Seek(2), 1);
    ASSERT_EQ(file.Read(line, 10, done), 1);
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(std::string(line, 10), "rst\r\nsecon");
    ASSERT_EQ(file.SeekEof(), 1);
    EXPECT_EQ(file.GetPos(), 27);
}

}  // namespace
