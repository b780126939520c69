#include "TableCommands.h"

#include <CLI/CLI.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "../lib/DbfTestSupport.h"
#include "PeerTools.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "TableCommandLine.h"

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
    QX_SKIP_WITHOUT_LINUX_PEERS();
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

TEST_F(TableCommandsTest, DbfSaysWhyATableCannotBeOpened) {
    EXPECT_EQ(dbf(sandbox.path("missing.dbf")), 1);
    EXPECT_EQ(err,
              "qxmover: cannot open the table " + sandbox.path("missing.dbf").string() + ": no such file\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(dbf(sandbox.dir("folder.dbf")), 1);
    EXPECT_THAT(err, HasSubstr("folder.dbf: not a regular file"));
    EXPECT_EQ(dbf(sandbox.file("text.dbf", "just some text, long enough to look like a header")), 1);
    EXPECT_THAT(err, HasSubstr("text.dbf: not a dBASE table"));
#ifdef _WIN32
    GTEST_SKIP()
        << "a FIFO and a file its owner may not read are POSIX's: Windows' file systems have neither";
#else
    std::filesystem::path fifo = sandbox.path("fifo.dbf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(dbf(fifo), 1);
    EXPECT_THAT(err, HasSubstr("fifo.dbf: not a regular file"));
    if (geteuid() != 0) {  // root reads every file
        std::filesystem::path locked = sandbox.file("locked.dbf", test::rawTable({{"A", 'C', 1}}, {"  "}));
        std::filesystem::permissions(locked, std::filesystem::perms::none);
        EXPECT_EQ(dbf(locked), 1);
        EXPECT_THAT(err, HasSubstr("locked.dbf: Permission denied"));
    }
#endif
}

TEST_F(TableCommandsTest, DbfPrintsFieldsByPositionAndEscapesWhatWouldBreakTheLine) {
    // A NUL inside a text is shown with what follows it; NULs that pad the field are not.
    std::string record =
        std::string(" a|b") + "x\\y" + "1\n2" + "t\tu" + "\x01\x7f;" + std::string("a\0b\0\0", 5);
    std::filesystem::path file = sandbox.file(
        "odd.dbf",
        test::rawTable(
            {{"NAME", 'C', 3}, {"NAME", 'C', 3}, {"LINES", 'C', 3}, {"CTRL", 'C', 6}, {"NUL", 'C', 5}},
            {record}));
    ASSERT_EQ(dbf(file), 0) << err;
    EXPECT_EQ(out,
              "NAME C 3 0\nNAME C 3 0\nLINES C 3 0\nCTRL C 6 0\nNUL C 5 0\n\n"
              "1 - a\\|b|x\\\\y|1\\n2|t\\tu\\x01\\x7f;|a\\x00b\n");
    EXPECT_EQ(err, "");

    // A field's type is a byte of the header like its name: a line end is escaped, and JSON takes a
    // byte that is no UTF-8 as Latin-1 instead of failing the whole command.
    std::filesystem::path types =
        sandbox.file("types.dbf", test::rawTable({{"A", '\n', 1}, {"B", '\xe9', 1}}, {" xy"}));
    ASSERT_EQ(dbf(types), 0) << err;
    EXPECT_THAT(out, ::testing::StartsWith("A \\n 1 0\nB \xe9 1 0\n\n1 - "));
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4);
    std::ostringstream json, jsonErr;
    ASSERT_EQ(printTable(types, json, jsonErr, TableFormat::Json), 0) << jsonErr.str();
    EXPECT_THAT(json.str(), HasSubstr(R"("name":"A","type":"\n")"));
    EXPECT_THAT(json.str(), HasSubstr("\"name\":\"B\",\"type\":\"\xc3\xa9\""));
}

// A FoxPro date-time is a Julian day and the milliseconds of that day; a day that no calendar date
// of four digits has, or a time past the day, is no date-time and reads as blank.
TEST_F(TableCommandsTest, DbfShowsDateTimesOutOfTheCalendarAsBlank) {
    auto dateTime = [](std::uint32_t day, std::uint32_t milliseconds) {
        std::string bytes(8, '\0');
        for (int i = 0; i < 4; ++i) {
            bytes[std::size_t(i)] = char(day >> (8 * i));
            bytes[std::size_t(4 + i)] = char(milliseconds >> (8 * i));
        }
        return bytes;
    };
    std::filesystem::path file = sandbox.file(
        "times.dbf",
        test::rawTable({{"T", 'T', 8}}, {" " + dateTime(2460370, 49506000), " " + dateTime(0x7FFFFFFF, 0),
                                         " " + dateTime(1, 0), " " + dateTime(2460370, 86400000),
                                         " " + dateTime(0xFFFFFFFF, 0xFFFFFFFF)}));
    ASSERT_EQ(dbf(file), 0) << err;
    EXPECT_EQ(out, "T T 8 0\n\n1 - 20240229134506\n2 - \n3 - \n4 - \n5 - \n");
}

TEST_F(TableCommandsTest, DbfJsonGivesOneObjectPerRecordWithTheValuesUnescaped) {
    std::filesystem::path file = sandbox.file(
        "json.dbf", test::rawTable({{"NAME", 'C', 5}, {"NAME", 'C', 3}, {"N", 'N', 4, 1}},
                                   {std::string(" a|\"\n ") + "\xfc  " + " 1.5", "*     xy     "}));
    std::ostringstream outStream, errStream;
    ASSERT_EQ(printTable(file, outStream, errStream, TableFormat::Json), 0) << errStream.str();
    std::istringstream lines(outStream.str());
    std::vector<nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0]["fields"][1],
              nlohmann::json({{"name", "NAME"}, {"type", "C"}, {"length", 3}, {"decimals", 0}}));
    EXPECT_EQ(objects[0]["fields"][2]["decimals"], 1);
    EXPECT_EQ(objects[1],
              nlohmann::json::parse(R"({"record":1,"deleted":false,"values":["a|\"\n","\u00fc"," 1.5"]})"));
    EXPECT_EQ(objects[2], nlohmann::json::parse(R"({"record":2,"deleted":true,"values":["","xy",""]})"));
}

TEST_F(TableCommandsTest, DbfWarnsWhenTheHeaderDisagreesWithTheFileSize) {
    std::string bytes = test::rawTable({{"A", 'C', 2}}, {" ab", " cd"}, true, 5);
    ASSERT_EQ(dbf(sandbox.file("long.dbf", bytes)), 0);
    EXPECT_THAT(err, HasSubstr("qxmover: warning: "));
    EXPECT_THAT(err, HasSubstr("the header states 5 records of 3 bytes"));
    EXPECT_THAT(out, HasSubstr("1 - ab\n2 - cd\n"));
    ASSERT_EQ(dbf(sandbox.file("extra.dbf", test::rawTable({{"A", 'C', 2}}, {" ab"}, false) + "junk!")), 0);
    EXPECT_THAT(err, HasSubstr("and 2 bytes more"));
    ASSERT_EQ(dbf(sandbox.file("fine.dbf", test::rawTable({{"A", 'C', 2}}, {" ab"}, true))), 0);
    EXPECT_EQ(err, "");
    // Records of one byte: the end-of-file mark is no record more.
    std::string flagsOnly = test::rawTable({{"A", 'C', 0}}, {" ", "*"}, true);
    ASSERT_EQ(dbf(sandbox.file("flags.dbf", flagsOnly)), 0) << err;
    EXPECT_EQ(err, "");
    ASSERT_EQ(dbf(sandbox.file("flags3.dbf", flagsOnly + " ")), 0) << err;
    EXPECT_THAT(err, HasSubstr("the header states 2 records of 1 bytes"));
}

TEST_F(TableCommandsTest, AlarmsPrintsOneLinePerDefinitionOrFailsWithMessage116) {
    QX_SKIP_WITHOUT_LINUX_PEERS();
    PathMap paths{sandbox.dir("root"), sandbox.dir("root/windows")};
    Profile profile{sandbox.path("root/windows")};
    test::RecordingPrompts prompts;
    std::ostringstream missing, why;
    EXPECT_EQ(printAlarmList(profile, paths, prompts, missing, why), 1);
    EXPECT_EQ(missing.str(), "");
    EXPECT_THAT(prompts.warnings(), ElementsAre("Error !|Failed to open the database \\db1.\\vm001.dbf !"));
    // As the dbf command does: the configured and the native path, and why.
    EXPECT_EQ(why.str(), "qxmover: cannot open the alarm table \\db1.\\vm001.dbf (" +
                             sandbox.path("root/db1/vm001.dbf").string() + "): no such file\n");
    sandbox.dir("root/db1/vm001.dbf");
    std::ostringstream folder;
    EXPECT_EQ(printAlarmList(profile, paths, prompts, missing, folder), 1);
    EXPECT_THAT(folder.str(), HasSubstr("vm001.dbf): not a regular file"));
    std::filesystem::remove(sandbox.path("root/db1/vm001.dbf"));
    std::filesystem::remove(sandbox.path("root/db1"));

    makeTable(sandbox.dir("root/DB1").string() + "/VM001.DBF", R"(
t = dbf.Table(sys.argv[1], 'T02 N(4,0); T33 C(49)', dbf_type='db3')
t.open(dbf.READ_WRITE)
for r in range(1, 16):
    t.append((91 if r in (11, 14) else 90, 'Alarm %d  ' % (r - 1)))
t.close()
)");
    std::ostringstream listed;
    EXPECT_EQ(printAlarmList(profile, paths, prompts, listed, why), 0);
    EXPECT_EQ(listed.str(), "10  Alarm 10\n13  Alarm 13\n");
    EXPECT_EQ(prompts.warnings().size(), 2u);
}

// The command line as main parses it: one table, the switch anywhere, anything else a usage error.
TEST(TableCommandLine, TakesOneTableAndTheJsonSwitchAndRefusesTheRest) {
    struct Case {
        std::vector<std::string> words;
        bool parses;
        std::string file;
        TableFormat format;
    };
    const Case cases[] = {
        {{"dbf", "a.dbf"}, true, "a.dbf", TableFormat::Text},
        {{"dbf", "a.dbf", "--json"}, true, "a.dbf", TableFormat::Json},
        {{"dbf", "--json", "--", "-x.dbf"}, true, "-x.dbf", TableFormat::Json},
        {{"dbf"}, false, "", TableFormat::Text},
        {{"dbf", "a.dbf", "b.dbf"}, false, "", TableFormat::Text},
        {{"dbf", "--xml", "a.dbf"}, false, "", TableFormat::Text},
    };
    for (const Case& c : cases) {
        CLI::App app{"qxmover"};
        TableCommandOptions options;
        CLI::App* dbf = addTableCommand(app, options);
        std::vector<std::string> args{"qxmover"};
        args.insert(args.end(), c.words.begin(), c.words.end());
        std::vector<char*> argv;
        for (std::string& word : args)
            argv.push_back(word.data());
        bool parsed = true;
        try {
            app.parse(static_cast<int>(argv.size()), argv.data());
        } catch (const CLI::ParseError&) {
            parsed = false;
        }
        const std::string line = ::testing::PrintToString(c.words);
        ASSERT_EQ(parsed, c.parses) << line;
        if (!parsed)
            continue;
        EXPECT_TRUE(*dbf) << line;
        EXPECT_EQ(options.file, c.file) << line;
        EXPECT_EQ(options.format(), c.format) << line;
    }
}

}  // namespace
}  // namespace qx
