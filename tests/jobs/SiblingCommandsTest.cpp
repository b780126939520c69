#include "SiblingCommands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Launcher.h"

using ::testing::ElementsAre;

namespace qx {
namespace {

TEST(SiblingCommandsTest, ValuesStaySingleArgumentsWhateverTheyHold) {
    for (std::string value :
         {"plain", "two words", "say \"hi\"", "C:\\dir with blank\\", "", "a\\\\\"b", "\t"}) {
        EXPECT_THAT(splitCommandLine("x " + sibling::word(value) + " y"), ElementsAre("x", value, "y"))
            << value;
    }
    EXPECT_EQ(sibling::word("plain"), "plain");
}

TEST(SiblingCommandsTest, ScriptEngineLines) {
    EXPECT_EQ(sibling::qxeModule("qxsms", sibling::textParameter(2, "x")), "qxe qxsms 1  -s2x");
    EXPECT_EQ(sibling::qxeModule("qxping", ""), "qxe qxping 1 ");
    EXPECT_EQ(sibling::textParameter(3, "a b"), " \"-s3a b\"");
    EXPECT_EQ(sibling::intParameter(4, 17), " -i417");
    EXPECT_EQ(sibling::timedAlarm("120"), "qxe qxarun 1 -i4120 -s8Mover");
}

TEST(SiblingCommandsTest, PathsWithBlanksStayOneArgument) {
    EXPECT_EQ(sibling::moveBatch("/srv/qx log", 3), "qxmover.bat \"/srv/qx log\" log03");
    EXPECT_EQ(sibling::backupDirect("/srv/my save"), "qxsavebase.exe \"/srv/my save\"");
    EXPECT_EQ(sibling::makeWeekDirectory("\\qxt\\log", 9), "md \\qxt\\log.\\log09");
}

}  // namespace
}  // namespace qx
