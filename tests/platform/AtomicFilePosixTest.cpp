#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "AppendFile.h"
#include "AtomicFile.h"
#include "Sandbox.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;

namespace qx {
namespace {

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_old(::umask(mask)) {}
    ~UmaskScope() { ::umask(m_old); }

private:
    mode_t m_old;
};

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0);
    return status.st_mode & 07777;
}

struct ModeCase {
    const char* name;
    int before;  // the old file's mode; -1: no old file
    AtomicWriteOptions options;
    mode_t expected;  // under umask 027
};

void PrintTo(const ModeCase& c, std::ostream* out) {
    *out << c.name;
}

class AtomicFileModeTest : public ::testing::TestWithParam<ModeCase> {};

AtomicWriteOptions exactly(unsigned mode) {
    AtomicWriteOptions options;
    options.mode = mode;
    options.exactMode = true;
    return options;
}

TEST_P(AtomicFileModeTest, NewVersionGetsItsMode) {
    const ModeCase& c = GetParam();
    test::Sandbox sandbox;
    const fs::path file = sandbox.path("f");
    if (c.before >= 0) {
        sandbox.file("f", "old");
        ASSERT_EQ(::chmod(file.c_str(), static_cast<mode_t>(c.before)), 0);
    }
    UmaskScope mask(027);
    ASSERT_TRUE(writeFileAtomically(file, "new", c.options));
    EXPECT_EQ(modeOf(file), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, AtomicFileModeTest,
                         ::testing::Values(ModeCase{"NewFileLessTheUmask", -1, {}, 0640},
                                           ModeCase{"OldFilesModeKept", 0604, {}, 0604},
                                           ModeCase{"ExactModeDespiteTheUmask", -1, exactly(0644), 0644},
                                           ModeCase{"ExactModeOverTheOldOne", 0600, exactly(0644), 0644}),
                         [](const auto& test) { return std::string(test.param.name); });

// A link planted under the temporary name is removed, never written through.
TEST(AtomicFilePosixTest, LinkUnderTheTemporaryNameIsNeverFollowed) {
    test::Sandbox sandbox;
    sandbox.file("victim", "victim's");
    sandbox.dir("d");
    fs::create_symlink(sandbox.path("victim"), sandbox.path("d/.state.qxtmp"));
    ASSERT_TRUE(writeFileAtomically(sandbox.path("d/state"), "new"));
    EXPECT_EQ(sandbox.read("victim"), "victim's");
    EXPECT_EQ(sandbox.read("d/state"), "new");
    EXPECT_THAT(test::namesIn(sandbox.path("d")), ElementsAre("state"));
}

TEST(AtomicFilePosixTest, ReadOnlyDirectoryRefusesWithTheReason) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root creates files in read-only directories";
    test::Sandbox sandbox;
    sandbox.file("ro/state", "old");
    sandbox.makeReadOnly("ro");
    const FileResult result = writeFileAtomically(sandbox.path("ro/state"), "new");
    EXPECT_EQ(result.number(), EACCES);
    EXPECT_EQ(result.reason(), "create the temporary file: Permission denied");
    EXPECT_EQ(sandbox.read("ro/state"), "old");
}

TEST(AppendFilePosixTest, LinkInTheLogsPlaceIsNeverFollowed) {
    test::Sandbox sandbox;
    sandbox.file("victim", "victim's");
    fs::create_symlink(sandbox.path("victim"), sandbox.path("log"));
    EXPECT_EQ(AppendFile(sandbox.path("log")).append("x\n").number(), ELOOP);
    EXPECT_EQ(sandbox.read("victim"), "victim's");
}

}  // namespace
}  // namespace qx
