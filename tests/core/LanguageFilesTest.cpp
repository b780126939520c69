#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Profile.h"
#include "StringTable.h"

namespace qx {
namespace {

// The language files that come with the program translate every text of the string table.
class LanguageFilesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(LanguageFilesTest, TranslatesEveryEntry) {
    std::filesystem::path file = std::filesystem::path(QX_SOURCE_DIR) / "lang" / GetParam();
    StringTable english;
    StringTable translated;
    ASSERT_TRUE(translated.loadLanguageFile(file));
    Profile raw([file](std::string_view) { return file; });
    for (int id : english.ids()) {
        std::string value = raw.getString("", "Strings", std::to_string(id), "\x01missing", 1024);
        EXPECT_NE(value, "\x01missing") << "text " << id << " is not translated";
        EXPECT_FALSE(translated.get(id).empty()) << id;
    }
    // Placeholders survive the translation, so that formatting never reads a missing argument.
    for (int id : english.ids()) {
        auto count = [](const std::string& text, const char* mark) {
            std::size_t n = 0;
            for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1))
                ++n;
            return n;
        };
        for (const char* mark : {"%1", "%2", "%s", "%d", "%i", "%02d"})
            EXPECT_EQ(count(translated.get(id), mark), count(english.get(id), mark)) << id << " " << mark;
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, LanguageFilesTest, ::testing::Values("qxmovedt.lng", "qxmovefr.lng"));

TEST(LanguageFileTest, LineBreaksAreWrittenAsBackslashN) {
    StringTable strings;
    ASSERT_TRUE(strings.loadLanguageFile(std::filesystem::path(QX_SOURCE_DIR) / "lang/qxmovedt.lng"));
    EXPECT_NE(strings.get(1072).find('\n'), std::string::npos);
    EXPECT_EQ(strings.get(1072).find("\\n"), std::string::npos);
}

}  // namespace
}  // namespace qx
