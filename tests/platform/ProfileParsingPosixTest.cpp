#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "Profile.h"
#include "ProfileFile.h"
#include "ProfileParser.h"
#include "Sandbox.h"

using qx::Profile;
using qx::test::Sandbox;

namespace {

class ProfileParsingTest : public ::testing::Test {
protected:
    Sandbox sandbox;
    Profile profile{sandbox.root()};

    std::string get(std::string_view section, std::string_view key) {
        return profile.getString("test.ini", section, key, "<default>", 256);
    }
    void put(std::string_view content) { sandbox.file("test.ini", content); }
    std::string content() { return sandbox.read("test.ini"); }
};

// --- how the installation's other programs' files read -------------------------------------------

TEST_F(ProfileParsingTest, LinesEndingInCrAloneReadLikeCrlfLines) {
    put("[A]\rone=1\rtwo = 2 \r[B]\rone=3\r");
    EXPECT_EQ(get("A", "one"), "1");
    EXPECT_EQ(get("A", "two"), "2");
    EXPECT_EQ(get("B", "one"), "3");
    EXPECT_EQ(profile.getInt("test.ini", "B", "one", -1), 3);
    // Mixed ends, as a file edited by hand on several systems has them.
    put("[A]\r\none=1\rtwo=2\nthree=3");
    EXPECT_EQ(get("A", "one"), "1");
    EXPECT_EQ(get("A", "two"), "2");
    EXPECT_EQ(get("A", "three"), "3");
}

TEST_F(ProfileParsingTest, WritesIntoACrFileChangeOnlyTheirLine) {
    put("[A]\rone=1\rtwo=2\r");
    ASSERT_TRUE(profile.writeString("test.ini", "A", "one", "9"));
    EXPECT_EQ(content(), "[A]\rone=9\rtwo=2\r");
    ASSERT_TRUE(profile.writeString("test.ini", "A", "two", std::nullopt));
    EXPECT_EQ(content(), "[A]\rone=9\r");
    ASSERT_TRUE(profile.deleteSection("test.ini", "A"));
    EXPECT_EQ(content(), "");
}

TEST_F(ProfileParsingTest, HeaderWithoutClosingBracketStillOpensItsSection) {
    put("[Config   \r\nKey=5\r\n[Other\r\nKey=6\r\n");
    EXPECT_EQ(get("Config", "Key"), "5");
    EXPECT_EQ(get("Other", "Key"), "6");
    // A write finds the same section rather than appending a second one.
    ASSERT_TRUE(profile.writeString("test.ini", "Config", "Key", "7"));
    EXPECT_EQ(content(), "[Config   \r\nKey=7\r\n[Other\r\nKey=6\r\n");
    ASSERT_TRUE(profile.writeString("test.ini", "config", "New", "1"));
    EXPECT_EQ(content(), "[Config   \r\nKey=7\r\nNew=1\r\n[Other\r\nKey=6\r\n");
}

TEST_F(ProfileParsingTest, UpdatingAKeyOnALastLineWithoutLineEndGivesItOne) {
    put("[S]\r\nA=1");
    ASSERT_TRUE(profile.writeString("test.ini", "S", "A", "22"));
    EXPECT_EQ(content(), "[S]\r\nA=22\r\n");
    put("[S]\nA=1   ");
    ASSERT_TRUE(profile.writeString("test.ini", "S", "A", "2"));
    EXPECT_EQ(content(), "[S]\nA=2   \n");  // the file's own line end; trailing blanks stay
    put("A=1");                             // a single line: CRLF, as the installation writes
    ASSERT_TRUE(profile.writeString("test.ini", "S", "B", "2"));
    EXPECT_EQ(content(), "A=1\r\n[S]\r\nB=2\r\n");
}

// --- the scan and the index agree ----------------------------------------------------------------

// Random texts of few names, so that duplicates, unclosed headers, odd line ends and keys before any
// section all occur; every lookup must give the same answer through the scan and through the index.
// The block-by-block read of one value sees the same as the scan of the whole text, wherever the
// blocks cut the lines (a CR at a block's end may be the first half of a CRLF).
TEST(ProfileSingleReadTest, AgreesWithTheScanWhereverTheBlocksEnd) {
    Sandbox sandbox;
    std::mt19937 random(777);
    const char* pieces[] = {"[a]",   "[A ]",   "[b",      "k=1",
                            "K = 2", "k2='q'", "j=\"3\"", "x",
                            "",      "k =",    "j=6",     "long=vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv"};
    const char* ends[] = {"\r\n", "\n", "\r"};
    const char* names[] = {"a", "b", "k", "K", "k2", "j", "x", "long"};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        int lines = static_cast<int>(random() % 14);
        for (int i = 0; i < lines; ++i)
            text.append(pieces[random() % std::size(pieces)]).append(ends[random() % std::size(ends)]);
        if (random() % 2 && !text.empty())
            text.pop_back();
        std::string bytes = (random() % 4 == 0 ? "\xEF\xBB\xBF" : "") + text;
        sandbox.file("single.ini", bytes);
        std::size_t block = 1 + random() % 9;
        for (const char* section : names)
            for (const char* key : names) {
                auto single = qx::findProfileValueInFile(sandbox.path("single.ini"), section, key, block);
                ASSERT_TRUE(single.has_value());
                auto scanned = qx::findProfileValue(text, section, key);
                ASSERT_EQ(*single, scanned ? std::optional<std::string>(*scanned) : std::nullopt)
                    << "[" << section << "] " << key << ", blocks of " << block << " in:\n"
                    << text;
            }
    }
    // What the block read does not do, the whole read does.
    sandbox.file("wide.ini", std::string("\xFF\xFE[\0a\0]\0", 8));
    EXPECT_EQ(qx::findProfileValueInFile(sandbox.path("wide.ini"), "a", "k"), std::nullopt);
    EXPECT_EQ(qx::findProfileValueInFile(sandbox.path("missing.ini"), "a", "k"), std::nullopt);
}

TEST_F(ProfileParsingTest, SingleReadsGiveWhatCachedReadsGive) {
    put("\xEF\xBB\xBF[S]\r\nA = one  \r\nN=42\r\n");
    profile.setSingleReads(true);
    EXPECT_EQ(get("s", "a"), "one");
    EXPECT_EQ(get("S", "missing"), "<default>");
    EXPECT_EQ(profile.getInt("test.ini", "S", "N", 0), 42);
    EXPECT_EQ(profile.getString("test.ini", "S", "A", "", 3), "on");    // cut as always
    EXPECT_EQ(profile.parseCount(), 0u);                                // nothing was kept
    EXPECT_EQ(profile.getString("TEST.INI", "S", "A", "", 64), "one");  // the letter case of the name
}

TEST_F(ProfileParsingTest, AMissingFileIsFoundAsSoonAsItAppearsInAnyLetterCase) {
    profile.setSettleTime(std::chrono::nanoseconds(0));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(get("S", "A"), "<default>");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the coarse clock's tick
    sandbox.file("TEST.INI", "[S]\r\nA=upper\r\n");
    EXPECT_EQ(get("S", "A"), "upper");
    std::filesystem::remove(sandbox.path("TEST.INI"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(get("S", "A"), "<default>");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    put("[S]\r\nA=lower\r\n");
    EXPECT_EQ(get("S", "A"), "lower");
}

}  // namespace
