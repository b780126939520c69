#include "CodePage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Sandbox.h"

namespace qx {
namespace {

// Values of the installation pass through the window as UTF-8 and come back as the same bytes.
TEST(CodePageTest, EveryByteRoundTripsInEveryCodePage) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    for (CodePage page :
         {CodePage::Windows1250, CodePage::Windows1251, CodePage::Windows1252, CodePage::Windows1253,
          CodePage::Windows1254, CodePage::Windows1257, CodePage::Iso8859_1, CodePage::Iso8859_15})
        EXPECT_EQ(fromUtf8(toUtf8(all, page), page), all) << static_cast<int>(page);
}

TEST(CodePageTest, WindowsLettersAreTheirCharacters) {
    EXPECT_EQ(toUtf8("\\Sicherung\\M\xe4rz\\", CodePage::Windows1252), "\\Sicherung\\März\\");
    EXPECT_EQ(toUtf8("\x80 \x9c", CodePage::Windows1252), "€ œ");
    EXPECT_EQ(toUtf8("\xa4", CodePage::Iso8859_15), "€");
    EXPECT_EQ(toUtf8("\x8a", CodePage::Windows1250), "Š");
    EXPECT_EQ(fromUtf8("Café Müller", CodePage::Windows1252),
              "Caf\xe9 M\xfc"
              "ller");
    // What the code page cannot hold, and bytes that are no UTF-8, become "?" as on Windows.
    EXPECT_EQ(fromUtf8("Ω \xff", CodePage::Windows1252), "? ?");
}

TEST(CodePageTest, DisplayKeepsUtf8AndReadsOtherBytesInTheCodePage) {
    EXPECT_EQ(displayUtf8("Löschen: \\M\xe4rz", CodePage::Windows1252), "Löschen: \\März");
}

TEST(CodePageTest, NamesCountCharactersNotBytes) {
    EXPECT_EQ(characterCount("a0000001.wav"), 12u);
    EXPECT_EQ(characterCount("\xe4"
                             "0000001.wav"),
              12u);                                  // code page
    EXPECT_EQ(characterCount("ä0000001.wav"), 12u);  // UTF-8, 13 bytes
    EXPECT_EQ(characterCount("ä000001.wav"), 11u);
}

TEST(CodePageTest, SettingTakesNumbersAndNamesAndFallsBackWithAReason) {
    test::Sandbox sandbox;
    Profile profile(sandbox.dir("windows"));
    EXPECT_EQ(codePageSetting(profile), CodePage::Windows1252);
    for (auto [text, page] : {std::pair{"1250", CodePage::Windows1250},
                              {"Windows-1251", CodePage::Windows1251},
                              {"cp1252", CodePage::Windows1252},
                              {"ISO-8859-15", CodePage::Iso8859_15},
                              {"latin1", CodePage::Iso8859_1}}) {
        ASSERT_TRUE(profile.writeString("qxmover.ini", "Config", "CodePage", text));
        EXPECT_EQ(codePageSetting(profile), page) << text;
    }
    ASSERT_TRUE(profile.writeString("qxmover.ini", "Config", "CodePage", "utf-8"));
    std::string problem;
    EXPECT_EQ(codePageSetting(profile, &problem), CodePage::Windows1252);
    EXPECT_THAT(problem, ::testing::HasSubstr("Unknown CodePage \"utf-8\""));
}

}  // namespace
}  // namespace qx
