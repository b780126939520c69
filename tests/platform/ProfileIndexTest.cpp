#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ProfileParser.h"

namespace {

TEST(ProfileIndexTest, AgreesWithTheScanOnRandomTexts) {
    std::mt19937 random(4242);
    const char* pieces[] = {"[a]",  "[A ]", "[b", " [c] x", "k=1", "K = 2", "k2='q'", "j=\"3\"",
                            ";k=4", "x",    "",   "=5",     "k =", "j=6",   " b=7"};
    const char* ends[] = {"\r\n", "\n", "\r"};
    const char* names[] = {"a", "b", "c", "k", "K", "k2", "j", "x", "", " a "};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        int lines = static_cast<int>(random() % 12);
        for (int i = 0; i < lines; ++i)
            text.append(pieces[random() % std::size(pieces)]).append(ends[random() % std::size(ends)]);
        if (random() % 2 && !text.empty())
            text.pop_back();
        qx::ProfileIndex index(text);
        for (const char* section : names)
            for (const char* key : names)
                ASSERT_EQ(index.find(section, key), qx::findProfileValue(text, section, key))
                    << "[" << section << "] " << key << " in:\n"
                    << text;
    }
}

TEST(ProfileIndexTest, FirstOfDuplicateSectionsAndKeysWinsAlsoAmongThousands) {
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "[S" + std::to_string(i % 700) + "]\r\nk" + std::to_string(i % 3) + "=" + std::to_string(i) +
                "\r\n";
    qx::ProfileIndex index(text);
    // [S5] first holds k2=5 (i = 5); its repetitions at i = 705 and 1405 do not count.
    EXPECT_EQ(index.find("s5", "K2"), "5");
    EXPECT_EQ(index.find("S5", "k0"), std::nullopt);
    EXPECT_EQ(index.find("S699", "k0"), "699");
    EXPECT_EQ(index.find("S700", "k0"), std::nullopt);
}

}  // namespace
