#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "Profile.h"
#include "StringTable.h"
#include "TextFormat.h"
#include "WeekTimer.h"

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

// A language file's texts are formats (the clock, the week, the report's headings): whatever they
// hold, they take the arguments given and never read past them.
TEST(LanguageFileTest, FormatsCannotReadPastTheirArguments) {
    EXPECT_EQ(formatText("week %02d / %04d", {7, 2026}), "week 07 / 2026");
    EXPECT_EQ(formatText("%s %s %s %n %x", {"a", "b"}), "a b %s %n %x");
    EXPECT_EQ(formatText("100% sure %d", {3}), "100% sure 3");
    EXPECT_EQ(formatText("%i|%5d|%03d|%", {-4, 42, -7}), "-4|   42|-07|%");

    StringTable strings;
    const LocalTime now{.year = 2026, .month = 12, .day = 9, .hour = 8, .minute = 5, .second = 3};
    EXPECT_EQ(clockText(strings, now), "09.12.2026   08:05:03");
    EXPECT_EQ(weekText(strings, 50), "Week (50)");
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "qx-hostile-formats.lng";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[Strings]\n103=%s%s%s%s%s%s%s%s%n %d\n104=KW %i %s %p %n\n";
    }
    ASSERT_TRUE(strings.loadLanguageFile(file));
    std::filesystem::remove(file);
    EXPECT_EQ(clockText(strings, now), "9122026853%s%s%n %d");
    EXPECT_EQ(weekText(strings, 50), "KW 50 %s %p %n");
}

}  // namespace
}  // namespace qx
