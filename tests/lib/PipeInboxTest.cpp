#include "PipeInbox.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using qx::detail::PipeInbox;

void arrive(PipeInbox& inbox, std::string_view bytes) {
    inbox.append(bytes.data(), bytes.size());
}

std::string take(PipeInbox& inbox, std::size_t size = 64) {
    std::string buffer(size, '#');
    if (!inbox.takeString(buffer.data(), size))
        return "(none)";
    return buffer.substr(0, buffer.find('\0'));
}

TEST(PipeInboxTest, StringsComeWholeAndInOrderWhateverThePieces) {
    PipeInbox inbox(1024);
    arrive(inbox, std::string_view("on", 2));
    EXPECT_EQ(take(inbox), "(none)");  // incomplete: not returned, not lost
    arrive(inbox, std::string_view("e\0tw", 4));
    arrive(inbox, std::string_view("o\0\0thr", 6));
    EXPECT_EQ(take(inbox), "one");
    EXPECT_EQ(take(inbox), "two");
    EXPECT_EQ(take(inbox), "");
    EXPECT_EQ(take(inbox), "(none)");
    EXPECT_EQ(inbox.size(), 3u);
}

TEST(PipeInboxTest, ALongStringIsCutToTheBufferAndItsRestDropped) {
    PipeInbox inbox(1024);
    arrive(inbox, std::string_view("abcdefgh\0next\0", 14));
    char small[4] = {'#', '#', '#', '#'};
    ASSERT_TRUE(inbox.takeString(small, 3));
    EXPECT_STREQ(small, "ab");
    EXPECT_EQ(small[3], '#');  // nothing written past the size given
    EXPECT_FALSE(inbox.takeString(small, 0));
    EXPECT_EQ(take(inbox), "next");
}

// Single bytes taken between string reads must not upset where the next string is known to end.
TEST(PipeInboxTest, BytesTakenSingly_LeaveTheNextStringIntact) {
    PipeInbox inbox(1024);
    arrive(inbox, std::string_view("xy\0ab\0", 6));
    ASSERT_TRUE(inbox.hasString());
    char ch = 0;
    ASSERT_TRUE(inbox.takeChar(ch));
    EXPECT_EQ(ch, 'x');
    EXPECT_EQ(take(inbox), "y");
    for (char expected : {'a', 'b', '\0'}) {
        ASSERT_TRUE(inbox.takeChar(ch));
        EXPECT_EQ(ch, expected);
    }
    EXPECT_FALSE(inbox.hasString());
    EXPECT_FALSE(inbox.takeChar(ch));
    arrive(inbox, std::string_view("z\0", 2));
    EXPECT_EQ(take(inbox), "z");
}

TEST(PipeInboxTest, KeepsNoMoreThanItsLimitAndIsStuckOnlyWhenFullWithoutAString) {
    PipeInbox inbox(8);
    EXPECT_EQ(inbox.append("abcde", 5), 5u);
    EXPECT_FALSE(inbox.stuck());
    EXPECT_EQ(inbox.append("fghij", 5), 3u);
    EXPECT_EQ(inbox.room(), 0u);
    EXPECT_TRUE(inbox.stuck());
    EXPECT_TRUE(inbox.contains('h'));
    EXPECT_FALSE(inbox.contains('i'));

    PipeInbox ended(8);
    arrive(ended, std::string_view("abc\0defg", 8));
    EXPECT_FALSE(ended.stuck());
    EXPECT_EQ(take(ended), "abc");
    EXPECT_EQ(ended.room(), 4u);  // taking makes room again
    ended.clear();
    EXPECT_EQ(ended.size(), 0u);
    EXPECT_EQ(ended.room(), 8u);
}

// A long conversation of short strings: everything sent is taken, in order, however it is cut.
TEST(PipeInboxTest, AStreamOfManyStringsArrivingByteByByteIsTakenComplete) {
    PipeInbox inbox(64);
    std::string sent, taken;
    for (int i = 0; i < 2000; ++i) {
        const std::string word = std::to_string(i);
        for (char c : word + '\0')
            ASSERT_EQ(inbox.append(&c, 1), 1u);
        sent += word + ',';
        if (i % 3 == 2)
            while (inbox.hasString())
                taken += take(inbox) + ',';
    }
    while (inbox.hasString())
        taken += take(inbox) + ',';
    EXPECT_EQ(taken, sent);
    EXPECT_EQ(inbox.size(), 0u);
}

// The wait for a complete string that both systems' pipe ends share: each wait is followed by a pull
// that brings the next piece; it ends with a string, with the other end gone, or at its time limit.
struct AwaitCase {
    const char* name;
    std::string before;               // in the inbox before the wait
    std::vector<std::string> pieces;  // one arrives with each pull
    int overAfter;                    // pulls after which no more bytes can come (-1: never)
    int ms;
    bool found;
    int waits;
};

void PrintTo(const AwaitCase& c, std::ostream* os) {
    *os << c.name;
}

class PipeInboxAwaitTest : public testing::TestWithParam<AwaitCase> {};

TEST_P(PipeInboxAwaitTest, EndsWithAStringTheOtherEndGoneOrTheLimit) {
    const AwaitCase& c = GetParam();
    PipeInbox inbox(64);
    arrive(inbox, c.before);
    int pulls = 0, waits = 0;
    std::vector<int> lefts;
    bool found = qx::detail::awaitString(
        inbox, c.ms, [&] { return c.overAfter >= 0 && pulls >= c.overAfter; },
        [&](int left) {
            ++waits;
            lefts.push_back(left);
        },
        [&] {
            if (pulls < static_cast<int>(c.pieces.size()))
                arrive(inbox, c.pieces[static_cast<std::size_t>(pulls)]);
            ++pulls;
        });
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(waits, c.waits);
    for (int left : lefts) {
        if (c.ms < 0) {
            EXPECT_EQ(left, -1);
        } else {
            EXPECT_TRUE(left > 0 && left <= c.ms) << left;
        }
    }
    if (found) {
        EXPECT_EQ(take(inbox), "abc");
    }
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Cases, PipeInboxAwaitTest,
    testing::Values(AwaitCase{"AlreadyThere", "abc\0"s, {}, -1, 0, true, 0},
                    AwaitCase{"InPiecesWithoutLimit", "a", {"", "b", "c\0rest"s}, -1, -1, true, 3},
                    AwaitCase{"InPiecesWithinTheLimit", "", {"ab", "c\0"s}, -1, 60000, true, 2},
                    AwaitCase{"OtherEndGoneHalfway", "", {"ab"}, 1, -1, false, 1},
                    AwaitCase{"OtherEndGoneBeforeTheWait", "ab", {}, 0, -1, false, 0},
                    AwaitCase{"NoTimeLeft", "ab", {"c\0"s}, -1, 0, false, 0}),
    [](const testing::TestParamInfo<AwaitCase>& param) { return std::string(param.param.name); });

}  // namespace
