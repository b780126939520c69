#include "TableCommands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "PeerTools.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"

namespace qx {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class TableCommandsTest : public ::testing::Test {
protected:
    void makeTable(const std::string& path, const std::string& python) {
        test::CommandResult made = test::runPython(sandbox, "import sys, dbf\n" + python, {path});
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }

    int dbf(const std::filesystem::path& file) {
        std::ostringstream outStream, errStream;
        int code = printTable(file, outStream, errStream);
        out = outStream.str();
        err = errStream.str();
        return code;
    }

    test::Sandbox sandbox;
    std::string out, err;
};

TEST_F(TableCommandsTest, DbfPrintsFieldsThenRecordsAsStored) {
    std::string file = sandbox.path("people.dbf").string();
    makeTable(file, R"(
t = dbf.Table(sys.argv[1], 'name C(8); qty N(4,0); price N(6,2); born D; ok L', dbf_type='db3')
t.open(dbf.READ_WRITE)
t.append(('Jones', 7, 1.5, dbf.Date(1999, 12, 31), True))
t.append(('Smith', 42, None, dbf.Date(2026, 1, 1), False))
t.append(('', None, None, None, None))
dbf.delete(t[1])
t.close()
)");
    ASSERT_EQ(dbf(file), 0) << err;
    EXPECT_EQ(out,
              "NAME C 8 0\nQTY N 4 0\nPRICE N 6 2\nBORN D 8 0\nOK L 1 0\n\n"
              "1 - Jones|   7|  1.50|19991231|T\n"
              "2 * Smith|  42||20260101|F\n"
              "3 - ||||?\n");
    EXPECT_EQ(err, "");
}

TEST_F(TableCommandsTest, DbfOfAFileThatIsNoTableFails) {
    EXPECT_EQ(dbf(sandbox.path("missing.dbf")), 1);
    EXPECT_THAT(err, HasSubstr("missing.dbf"));
    EXPECT_EQ(out, "");
    EXPECT_EQ(dbf(sandbox.file("text.dbf", "just some text, long enough to look like a header")), 1);
}

TEST_F(TableCommandsTest, AlarmsPrintsOneLinePerDefinitionOrFailsWithMessage116) {
    PathMap paths{sandbox.dir("root"), sandbox.dir("root/windows")};
    Profile profile{sandbox.path("root/windows")};
    test::RecordingPrompts prompts;
    std::ostringstream missing;
    EXPECT_EQ(printAlarmList(profile, paths, prompts, missing), 1);
    EXPECT_EQ(missing.str(), "");
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|Failed to open the database \\db1.\\vm001.dbf !"));

    makeTable(sandbox.dir("root/DB1").string() + "/VM001.DBF", R"(
t = dbf.Table(sys.argv[1], 'T02 N(4,0); T33 C(49)', dbf_type='db3')
t.open(dbf.READ_WRITE)
for r in range(1, 16):
    t.append((91 if r in (11, 14) else 90, 'Alarm %d  ' % (r - 1)))
t.close()
)");
    std::ostringstream listed;
    EXPECT_EQ(printAlarmList(profile, paths, prompts, listed), 0);
    EXPECT_EQ(listed.str(), "10  Alarm 10\n13  Alarm 13\n");
    EXPECT_EQ(prompts.warnings().size(), 1u);
}

}  // namespace
}  // namespace qx
