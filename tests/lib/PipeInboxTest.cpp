#include "PipeInbox.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
