#include "Environment.h"

#include <gtest/gtest.h>

#include <string>

#include "PathMap.h"
#include "Sandbox.h"
#include "WideText.h"

namespace qx {
namespace {

struct CodePageCase {
    const char* ini;  // qxmover.ini's text; nullptr: no file
    unsigned expected;
};

class EnvironmentCodePageTest : public ::testing::TestWithParam<CodePageCase> {};

// File names from the installation's settings reach the system's wide API in its code page, for the
// service and every command alike.
TEST_P(EnvironmentCodePageTest, StartTakesTheInstallationsCodePage) {
    test::Sandbox sandbox;
    sandbox.dir("windows");
    if (GetParam().ini)
        sandbox.file("windows/qxmover.ini", GetParam().ini);
    setAnsiCodePage(1);
    GlobalOptions options;
    options.root = sandbox.root();
    Environment env(options);
    EXPECT_EQ(ansiCodePage(), GetParam().expected);
    setAnsiCodePage(1252);
}

INSTANTIATE_TEST_SUITE_P(Settings, EnvironmentCodePageTest,
                         ::testing::Values(CodePageCase{nullptr, 1252}, CodePageCase{"[Config]\r\n", 1252},
                                           CodePageCase{"[Config]\r\nCodePage=1250\r\n", 1250},
                                           CodePageCase{"[Config]\r\nCodePage=windows-1253\r\n", 1253},
                                           CodePageCase{"[Config]\r\nCodePage=latin9\r\n", 28605},
                                           CodePageCase{"[Config]\r\nCodePage=utf-8\r\n", 1252}));

// Where the profile files are looked for: the directory given, else the root's windows/; on Windows
// without a root, the system's Windows directory (not the windows folder of the working directory's
// drive, which an installation on D: would otherwise read).
TEST(EnvironmentProfileDirectory, GivenRootOrTheSystemsWindowsDirectory) {
    test::Sandbox sandbox;
    GlobalOptions options;
    options.root = sandbox.root();
    EXPECT_EQ(profileDirectory(options), sandbox.root() / "windows");
    options.windir = sandbox.dir("ini");
    EXPECT_EQ(profileDirectory(options), sandbox.path("ini"));
    const GlobalOptions system;
#ifdef _WIN32
    const std::filesystem::path expected = systemWindowsDirectory();
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(std::filesystem::is_directory(expected)) << expected;
#else
    const std::filesystem::path expected = "/windows";
    EXPECT_TRUE(systemWindowsDirectory().empty());
#endif
    EXPECT_EQ(profileDirectory(system), expected);
}

}  // namespace
}  // namespace qx
