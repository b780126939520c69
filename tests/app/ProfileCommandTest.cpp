#include "ProfileCommand.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "Sandbox.h"

namespace {

class ProfileCommandTest : public ::testing::Test {
protected:
    qx::test::Sandbox sandbox;
    qx::Profile profile{sandbox.root()};
    std::string out, err;

    int run(std::vector<std::string> args) {
        std::ostringstream outStream, errStream;
        int code = qx::runProfileCommand(profile, args, outStream, errStream);
        out = outStream.str();
        err = errStream.str();
        return code;
    }
};

TEST_F(ProfileCommandTest, BadArgumentsGiveOneLineAndExitCodeTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate", "a.ini"},
        {"get", "a.ini", "S"},
        {"get", "a.ini", "S", "k", "d", "12", "extra"},
        {"get", "a.ini", "S", "k", "d", "-1"},
        {"get", "a.ini", "S", "k", "d", "12x"},
        {"get-int", "a.ini", "S", "k"},
        {"get-int", "a.ini", "S", "k", "ten"},
        {"get-int", "a.ini", "S", "k", "4294967296"},
        {"set", "a.ini", "S", "k"},
        {"delete", "a.ini"},
    };
    for (const auto& args : bad) {
        EXPECT_EQ(run(args), 2) << ::testing::PrintToString(args);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(out, "");
    }
    EXPECT_FALSE(sandbox.exists("a.ini"));
}

TEST_F(ProfileCommandTest, FailedWriteGivesExitCodeOne) {
    EXPECT_EQ(run({"set", sandbox.path("missing/dir/a.ini").string(), "S", "k", "v"}), 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(ProfileCommandTest, RefusedWritesSayWhichRule) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"set", "a.ini", "S]x", "k", "v"}, "section name with ']'"},
        {{"set", "a.ini", "S", "k=1", "v"}, "key with '='"},
        {{"set", "a.ini", "S", ";k", "v"}, "key beginning with ';' or '['"},
        {{"set", "a.ini", "S", "\v\x1a[k", "v"}, "key beginning with ';' or '['"},
        {{"set", "a.ini", "S", "k", "two\nlines"}, "line break"},
        {{"set", sandbox.path("missing/a.ini").string(), "S", "k", "v"}, "missing does not exist"},
        {{"set", "dir.ini", "S", "k", "v"}, "dir.ini is not a regular file"},
    };
    sandbox.dir("dir.ini");
    for (const auto& [args, rule] : cases) {
        EXPECT_EQ(run(args), 1) << args[2];
        EXPECT_NE(err.find(rule), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    EXPECT_FALSE(sandbox.exists("a.ini"));
}

// A file that is not there or cannot be read gives the default as a missing key does, but the caller
// hears of it: a mistyped name would otherwise pass for a setting at its default.
TEST_F(ProfileCommandTest, ReadsOfAFileThatCannotBeReadWarnAndFailWithStrict) {
    sandbox.dir("dir.ini");
    std::vector<std::pair<std::string, std::string>> files{{"missing.ini", "missing.ini: no such file"},
                                                           {"dir.ini", "dir.ini: not a regular file"}};
#ifndef _WIN32  // Windows' file systems hold no FIFO
    ASSERT_EQ(mkfifo(sandbox.path("fifo.ini").c_str(), 0600), 0);
    files.emplace_back("fifo.ini", "fifo.ini: not a regular file");
#endif
    for (const auto& [file, why] : files) {
        EXPECT_EQ(run({"get", file, "S", "k", "fallback"}), 0) << file;
        EXPECT_EQ(out, "fallback\n");
        EXPECT_NE(err.find("warning: cannot read " + sandbox.path(file).string()), std::string::npos) << err;
        EXPECT_NE(err.find(why), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

        EXPECT_EQ(run({"get", "--strict", file, "S", "k", "fallback"}), 1) << file;
        EXPECT_EQ(out, "fallback\n");
        EXPECT_EQ(err.find("warning"), std::string::npos) << err;
        EXPECT_NE(err.find(why), std::string::npos) << err;
        EXPECT_EQ(run({"--strict", "get-int", file, "S", "k", "7"}), 1) << file;
        EXPECT_EQ(out, "7\n");
    }
    sandbox.file("a.ini", "[S]\r\n");
    EXPECT_EQ(run({"get", "--strict", "a.ini", "S", "k", "d"}), 0);
    EXPECT_EQ(err, "");
}

TEST_F(ProfileCommandTest, WriteThroughALinkToNothingSaysSo) {
    QX_PLANT_LINK_OR_SKIP(sandbox.path("share/qxmover.ini"), sandbox.path("a.ini"));
    EXPECT_EQ(run({"set", "a.ini", "S", "k", "v"}), 1);
    EXPECT_NE(err.find("is a symbolic link to " + sandbox.path("share/qxmover.ini").string() +
                       ", which does not exist"),
              std::string::npos)
        << err;
    EXPECT_TRUE(std::filesystem::is_symlink(sandbox.path("a.ini")));
}

TEST_F(ProfileCommandTest, ReadsAsWindowsDoesAndWritesInPlace) {
    sandbox.file("a.ini", "; keep\r\n[S]\r\nk=\"0x1F rest\"\r\n");
    EXPECT_EQ(run({"get", "a.ini", "s", "K"}), 0);
    EXPECT_EQ(out, "0x1F rest\n");
    run({"get", "a.ini", "S", "k", "", "4"});
    EXPECT_EQ(out, "0x1\n");
    run({"get", "a.ini", "S", "missing", "fallback", "5"});
    EXPECT_EQ(out, "fall\n");
    run({"get-int", "a.ini", "S", "k", "+7"});
    EXPECT_EQ(out, "31\n");
    run({"get-int", "a.ini", "S", "missing", "-9"});
    EXPECT_EQ(out, "-9\n");

    EXPECT_EQ(run({"set", "a.ini", "S", "n", "4294967295"}), 0);
    run({"get-int", "a.ini", "S", "n", "0"});
    EXPECT_EQ(out, "-1\n");
    EXPECT_EQ(run({"delete", "a.ini", "S", "k"}), 0);
    EXPECT_EQ(sandbox.read("a.ini"), "; keep\r\n[S]\r\nn=4294967295\r\n");
    EXPECT_EQ(run({"delete", "a.ini", "S"}), 0);
    EXPECT_EQ(sandbox.read("a.ini"), "; keep\r\n");
}

}  // namespace
