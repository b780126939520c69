#include "qxclass/CDosFile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "Sandbox.h"

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
    ASSERT_EQ(file.ReadLine(buf, 4), 1);
    EXPECT_STREQ(buf, "def");
    ASSERT_EQ(file.ReadLine(buf, 4), 1);  // just the line end
    EXPECT_STREQ(buf, "");
    ASSERT_EQ(file.ReadLine(buf, 5), 1);
    EXPECT_STREQ(buf, "xy");
    EXPECT_EQ(file.GetPos(), 12);
    EXPECT_EQ(file.ReadLine(buf, 0), 0);
}

}  // namespace
