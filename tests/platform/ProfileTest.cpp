#include "Profile.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <optional>
#include <random>
#include <string_view>
#include <thread>
#include <vector>

#include "Sandbox.h"

namespace fs = std::filesystem;
using qx::Profile;
using qx::test::Sandbox;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    Sandbox sandbox;
    Profile profile{sandbox.root()};

    std::string get(std::string_view section, std::string_view key, std::string_view fallback = "<default>",
                    std::size_t size = 256) {
        return profile.getString("test.ini", section, key, fallback, size);
    }
    void put(std::string_view content) { sandbox.file("test.ini", content); }
    std::string content() { return sandbox.read("test.ini"); }
    // The file's bytes after an edit. Wine's profile functions write the whole file anew in a layout of
    // their own (CRLF, blanks cut, blank lines dropped), so under Wine what the reads give must do.
    void expectBytes(const std::string& expected, int line) {
        if (!qx::test::underWine()) {
            EXPECT_EQ(content(), expected) << "line " << line;
        }
    }
};

}  // namespace

// --- reading -------------------------------------------------------------------------------------

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(get("Config", "Key"), "<default>");
    EXPECT_EQ(profile.getInt("test.ini", "Config", "Key", -9), -9);
    put("[Config]\r\nOther=1\r\n");
    EXPECT_EQ(get("Config", "Key"), "<default>");
    EXPECT_EQ(get("Missing", "Other"), "<default>");
    EXPECT_EQ(profile.getInt("test.ini", "Missing", "Other", -9), -9);
}

TEST_F(ProfileTest, NamesMatchIgnoringCaseAndSurroundingBlanks) {
    put("[ CoNfIg ]\r\n\t WaitBeforeDel \t=  10  \r\n");
    EXPECT_EQ(get("config", "WAITBEFOREDEL"), "10");
    EXPECT_EQ(get(" CONFIG", "waitbeforedel "), "10");
}

TEST_F(ProfileTest, FileNameInAnotherLetterCaseIsFoundEvenAfterARename) {
    sandbox.file("UPPER.INI", "[a]\nb=c\n");
    EXPECT_EQ(profile.getString("upper.ini", "A", "B", "", 10), "c");
    fs::rename(sandbox.path("UPPER.INI"), sandbox.path("Upper.Ini"));
    EXPECT_EQ(profile.getString("upper.ini", "A", "B", "", 10), "c");
    fs::remove(sandbox.path("Upper.Ini"));
    EXPECT_EQ(profile.getString("upper.ini", "A", "B", "gone", 10), "gone");
}

TEST_F(ProfileTest, FirstOfDuplicateSectionsAndKeysWins) {
    put("[A]\nk=1\nk=2\n[B]\nk=5\n[a]\nk=3\nonlyInSecond=4\n");
    EXPECT_EQ(get("A", "k"), "1");
    EXPECT_EQ(get("A", "onlyInSecond"), "<default>");
    EXPECT_EQ(get("B", "k"), "5");
}

TEST_F(ProfileTest, SemicolonStartsACommentOnlyAtTheStartOfALine) {
    put("[A]\n;hidden=1\n   ;indented=2\nvalue=a ;b\n#hash=3\n");
    if (!qx::test::underWine()) {  // Wine keeps comment lines as keys
        EXPECT_EQ(get("A", ";hidden"), "<default>");
    }
    EXPECT_EQ(get("A", "hidden"), "<default>");
    EXPECT_EQ(get("A", "indented"), "<default>");
    EXPECT_EQ(get("A", "value"), "a ;b");
    EXPECT_EQ(get("A", "#hash"), "3");
}

TEST_F(ProfileTest, OnePairOfMatchingOuterQuotesIsStripped) {
    put("[Q]\ndouble=\"x y\"\nsingle='x'\nnested=\"\"x\"\"\nmixed=\"x'\nlone=\"\nempty=\"\"\n"
        "padded=  \"  p  \"  \ninner=a\"b\"\n");
    EXPECT_EQ(get("Q", "double"), "x y");
    EXPECT_EQ(get("Q", "single"), "x");
    EXPECT_EQ(get("Q", "nested"), "\"x\"");
    EXPECT_EQ(get("Q", "mixed"), "\"x'");
    EXPECT_EQ(get("Q", "lone"), "\"");
    EXPECT_EQ(get("Q", "empty"), "");
    EXPECT_EQ(get("Q", "padded"), "  p  ");
    EXPECT_EQ(get("Q", "inner"), "a\"b\"");
}

TEST_F(ProfileTest, LinesOutsideSectionsOrWithoutEqualsHoldNoKeys) {
    put("early=1\n[A]\nflag\n[broken\nlate=2\nnoEnd=3");
    EXPECT_EQ(get("A", "flag"), "<default>");
    // Wine reads the lines before the first section as a section named "", and a header without ']'
    // as a line of the section before it.
    if (qx::test::underWine())
        return;
    EXPECT_EQ(get("", "early"), "<default>");
    // "[broken" opens section "broken", as the installation's other programs read it.
    EXPECT_EQ(get("A", "late"), "<default>");
    EXPECT_EQ(get("broken", "late"), "2");
    EXPECT_EQ(get("broken", "noEnd"), "3");
}

TEST_F(ProfileTest, TextReadReturnsAtMostSizeMinusOneCharacters) {
    put("[A]\nk=abcdef\n");
    EXPECT_EQ(get("A", "k", "", 4), "abc");
    EXPECT_EQ(get("A", "k", "", 7), "abcdef");
    EXPECT_EQ(get("A", "k", "", 1), "");
    EXPECT_EQ(get("A", "k", "", 0), "");
    EXPECT_EQ(get("A", "missing", "xyz", 3), "xy");
    EXPECT_EQ(get("A", "missing", "week   ", 40), "week");  // trailing spaces of a default go, as on Windows
}

TEST(ParseProfileIntTest, ParsesLikeTheWindowsIntegerRead) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"42", 42},
        {"  42", 42},
        {"\t+42", 42},
        {"-42", -42},
        {"007", 7},
        {"010", 10},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-0x10", -16},
        {"42A", 42},
        {"12 34", 12},
        {"B42", 0},
        {"yes", 0},
        {"0x", 0},
        {"0xZ", 0},
        {"- 5", 0},
        {"", 0},
        {"4294967295", -1},
        {"4294967296", 0},
        {"2147483648", INT_MIN},
        {"-2147483649", INT_MAX},
        {"0xFFFFFFFF", -1},
        {"0x100000001", 1},
        {"99999999999", 1215752191},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qx::parseProfileInt(c.text), c.expected) << "text: \"" << c.text << '"';
}

TEST_F(ProfileTest, IntegerReadGivesZeroForGarbageButTheDefaultForAnEmptyValue) {
    put("[A]\ngarbage=yes\nempty=\nquoted=\"15\"\nhex=0x10\n");
    EXPECT_EQ(profile.getInt("test.ini", "A", "garbage", -9), 0);
    EXPECT_EQ(profile.getInt("test.ini", "A", "empty", -9), -9);
    EXPECT_EQ(profile.getInt("test.ini", "A", "quoted", -9), 15);
    EXPECT_EQ(profile.getInt("test.ini", "A", "hex", -9), 16);
}

// --- writing -------------------------------------------------------------------------------------

namespace {

// One write into a file: every byte but the written line stays, and the key reads back as written.
struct WriteCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    std::optional<std::string_view> value;  // nullopt deletes the key
    const char* after;
};

const WriteCase kWrites[] = {
    {"ChangesOnlyTheValueAndKeepsEveryOtherByte",
     "; installation settings\r\n\r\n[CoNfIg]\r\n  WaitBeforeDel = 10  \r\nstray text\r\n"
     "; note=1\r\n\r\n[HDCheck]\r\nActive=1\r\n",
     "config", "WAITBEFOREDEL", "5",
     "; installation settings\r\n\r\n[CoNfIg]\r\n  WaitBeforeDel = 5  \r\nstray text\r\n"
     "; note=1\r\n\r\n[HDCheck]\r\nActive=1\r\n"},
    {"NewKeyGoesAfterTheLastKeyLineOfItsSection", "[A]\r\na=1\r\n\r\n; about B\r\n[B]\r\nb=1\r\n", "A", "c",
     "2", "[A]\r\na=1\r\nc=2\r\n\r\n; about B\r\n[B]\r\nb=1\r\n"},
    {"NewKeyOfASectionWithoutKeysGoesRightAfterItsHeader", "[Empty]\n; only a comment\n[B]\n", "empty", "k",
     "v", "[Empty]\nk=v\n; only a comment\n[B]\n"},
    {"WriteTouchesOnlyTheFirstOfDuplicates", "[A]\nk=1\nk=2\n[a]\nk=3\n", "A", "K", "9",
     "[A]\nk=9\nk=2\n[a]\nk=3\n"},
    {"NewSectionGoesAtTheEndInTheFilesLineEndStyle", "[A]\na=1\n", "B", "b", "2", "[A]\na=1\n[B]\nb=2\n"},
    {"FileWithoutFinalLineEndGetsOneBeforeANewKey", "[A]\r\na=1", "A", "b", "2", "[A]\r\na=1\r\nb=2\r\n"},
    {"FileWithoutFinalLineEndGetsOneBeforeANewSection", "[A]\na=1", "C", "c", "3", "[A]\na=1\n[C]\nc=3\n"},
    {"NullValueDeletesEveryLineOfTheKeyInItsSection", "[A]\r\nk=1\r\nj=2\r\nK=3\r\n[B]\r\nk=4\r\n", "a", "k",
     std::nullopt, "[A]\r\nj=2\r\n[B]\r\nk=4\r\n"},
};

class ProfileWriteTest : public ProfileTest, public ::testing::WithParamInterface<WriteCase> {};

}  // namespace

TEST_P(ProfileWriteTest, ChangesOnlyTheWrittenLine) {
    const WriteCase& c = GetParam();
    put(c.before);
    ASSERT_TRUE(profile.writeString("test.ini", c.section, c.key, c.value));
    expectBytes(c.after, __LINE__);
    EXPECT_EQ(get(c.section, c.key), c.value ? *c.value : "<default>");
}

INSTANTIATE_TEST_SUITE_P(Edits, ProfileWriteTest, ::testing::ValuesIn(kWrites),
                         [](const ::testing::TestParamInfo<WriteCase>& c) { return c.param.name; });

TEST_F(ProfileTest, NewFileEndsLinesWithCrlf) {
    ASSERT_TRUE(profile.writeInt("test.ini", "Config", "Start2ndBatch", 0));
    ASSERT_TRUE(profile.writeInt("test.ini", "Config", "Wait", -9));
    EXPECT_EQ(content(), "[Config]\r\nStart2ndBatch=0\r\nWait=-9\r\n");
    EXPECT_EQ(profile.getInt("test.ini", "Config", "Wait", 0), -9);
}

TEST_F(ProfileTest, DeleteSectionRemovesEverySectionOfThatName) {
    put("; top\n[A]\na=1\n\n[B]\nb=1\n[a]\na=2\n");
    ASSERT_TRUE(profile.deleteSection("test.ini", "A"));
    expectBytes("; top\n[B]\nb=1\n", __LINE__);
}

TEST_F(ProfileTest, DeletionsInAMissingFileCreateNothing) {
    EXPECT_TRUE(profile.writeString("test.ini", "A", "k", std::nullopt));
    EXPECT_TRUE(profile.deleteSection("test.ini", "A"));
    EXPECT_FALSE(sandbox.exists("test.ini"));
}

TEST_F(ProfileTest, RefusesNamesAndValuesThatWouldNotReadBack) {
    put("[A]\na=1\n");
    EXPECT_FALSE(profile.writeString("test.ini", "A", "a", "1\n[Evil]"));
    EXPECT_FALSE(profile.writeString("test.ini", "A", "x=y", "1"));
    EXPECT_FALSE(profile.writeString("test.ini", "A", ";x", "1"));
    EXPECT_FALSE(profile.writeString("test.ini", "A]", "x", "1"));
    EXPECT_EQ(content(), "[A]\na=1\n");
}

TEST_F(ProfileTest, WriteFailsWhenTheDirectoryIsMissing) {
    EXPECT_FALSE(profile.writeString(sandbox.path("no/such/dir/x.ini").string(), "A", "k", "v"));
}

TEST_F(ProfileTest, ReadsSeeInPlaceChangesOfTheSameSizeAtOnce) {
    for (int round = 0; round < 20; ++round) {
        std::string value = std::to_string(round % 10);
        put("[A]\nk=" + value + "\n");
        ASSERT_EQ(get("A", "k"), value) << "round " << round;
    }
}

TEST_F(ProfileTest, Utf8ByteOrderMarkIsKeptAndNotPartOfTheFirstLine) {
    put("\xEF\xBB\xBF[A]\r\nk=1\r\n");
    EXPECT_EQ(get("A", "k"), "1");
    ASSERT_TRUE(profile.writeString("test.ini", "A", "k", "2"));
    EXPECT_EQ(content(), "\xEF\xBB\xBF[A]\r\nk=2\r\n");
}

// --- concurrency ---------------------------------------------------------------------------------

TEST_F(ProfileTest, ThreadsOfTwoProfileObjectsWritingAndReadingLoseNoWrite) {
    Profile second(sandbox.root());
    constexpr int kWriters = 4, kKeys = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kWriters; ++t)
        threads.emplace_back([&, t] {
            Profile& mine = t % 2 ? second : profile;
            for (int i = 0; i < kKeys; ++i) {
                EXPECT_TRUE(
                    mine.writeInt("test.ini", "S", "t" + std::to_string(t) + "_" + std::to_string(i), i));
                mine.getInt("test.ini", "S", "t0_0", -1);
            }
        });
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < kWriters; ++t)
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(profile.getInt("test.ini", "S", "t" + std::to_string(t) + "_" + std::to_string(i), -1),
                      i);
}
