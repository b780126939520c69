#include "AtomicFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "AppendFile.h"
#include "Sandbox.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;

namespace qx {
namespace {

// --- the atomic replace ----------------------------------------------------------------------------

struct Replace {
    const char* name;
    const char* before;    // the target's text beforehand; nullptr: no target
    const char* leftover;  // a file left under the temporary name by a writer cut short
    AtomicWriteOptions options;
    const char* temporary;  // the temporary name that must be gone afterwards
};

void PrintTo(const Replace& r, std::ostream* out) {
    *out << r.name;
}

class AtomicReplaceTest : public ::testing::TestWithParam<Replace> {
protected:
    test::Sandbox sandbox;
};

TEST_P(AtomicReplaceTest, LeavesTheNewTextAndNothingElse) {
    const Replace& r = GetParam();
    if (r.before)
        sandbox.file("d/state", r.before);
    else
        sandbox.dir("d");
    if (r.leftover)
        sandbox.file(std::string("d/") + r.temporary, r.leftover);
    const FileResult result = writeFileAtomically(sandbox.path("d/state"), "new\n", r.options);
    ASSERT_TRUE(result) << result.reason();
    EXPECT_EQ(sandbox.read("d/state"), "new\n");
    EXPECT_THAT(test::namesIn(sandbox.path("d")), ElementsAre("state"));
}

AtomicWriteOptions named(const char* temporary, bool perProcess = false) {
    AtomicWriteOptions options;
    options.temporaryName = temporary;
    options.perProcess = perProcess;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AtomicReplaceTest,
    ::testing::Values(Replace{"NewFile", nullptr, nullptr, {}, ".state.qxtmp"},
                      Replace{
                          "OverAnOldFile", "old text, longer than the new\n", nullptr, {}, ".state.qxtmp"},
                      Replace{"AfterAWriterCutShort", "old\n", "half", {}, ".state.qxtmp"},
                      Replace{"UnderAGivenName", "old\n", "half", named(".state.new"), ".state.new"},
                      Replace{"EmptyText", "old\n", nullptr, {}, ".state.qxtmp"},
                      Replace{"PerProcess", "old\n", nullptr, named("state.new", true), "state.new"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(AtomicFileTest, MissingDirectoryFailsWithTheReason) {
    test::Sandbox sandbox;
    const FileResult result = writeFileAtomically(sandbox.path("none/state"), "x");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.number(), ENOENT);
    EXPECT_THAT(result.reason(), ::testing::StartsWith("create the temporary file: "));
    EXPECT_EQ(result.reason(), "create the temporary file: No such file or directory");
    EXPECT_FALSE(sandbox.exists("none"));
}

TEST(AtomicFileTest, DirectoryInTheTargetsPlaceStaysAndNoTemporaryIsLeft) {
    test::Sandbox sandbox;
    sandbox.dir("d/state");
    const FileResult result = writeFileAtomically(sandbox.path("d/state"), "x");
    EXPECT_FALSE(result);
    EXPECT_THAT(result.reason(), ::testing::StartsWith("rename: "));
    EXPECT_TRUE(fs::is_directory(sandbox.path("d/state")));
    EXPECT_THAT(test::namesIn(sandbox.path("d")), ElementsAre("state"));
}

TEST(AtomicFileTest, ReadersSeeTheOldTextOrTheNewNeverAMix) {
    test::Sandbox sandbox;
    const std::string a(64 * 1024, 'a'), b(64 * 1024, 'b');
    const fs::path file = sandbox.file("state", a);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 50; ++i)
            ASSERT_TRUE(writeFileAtomically(file, i % 2 ? a : b));
        done = true;
    });
    int mixed = 0;
    while (!done) {
        const std::string seen = test::readFile(file);
        mixed += seen != a && seen != b && !seen.empty();
    }
    writer.join();
    EXPECT_EQ(mixed, 0);
}

// --- the reserve -----------------------------------------------------------------------------------

TEST(ReserveFileTest, TakesTheTextWithinItsRoomAndIsUsedUp) {
    test::Sandbox sandbox;
    sandbox.file("state", "old\n");
    const fs::path reserve = sandbox.path("state.reserve");
    ASSERT_TRUE(makeReserveFile(reserve, 4096));
    EXPECT_EQ(makeReserveFile(reserve, 4096).number(), EEXIST);
    // Too long for the room it holds: refused, the reserve and the old text stay.
    const FileResult tooLong =
        replaceFromReserve(sandbox.path("state"), reserve, std::string(64 * 1024, 'x'));
    EXPECT_EQ(tooLong.number(), ENOSPC);
    EXPECT_TRUE(tooLong.full());
    EXPECT_EQ(sandbox.read("state"), "old\n");
    ASSERT_TRUE(fs::exists(reserve));

    ASSERT_TRUE(replaceFromReserve(sandbox.path("state"), reserve, "new\n"));
    EXPECT_EQ(sandbox.read("state"), "new\n");
    EXPECT_THAT(test::namesIn(sandbox.root()), ElementsAre("state"));
    EXPECT_EQ(replaceFromReserve(sandbox.path("state"), reserve, "again\n").number(), ENOENT);
}

// --- the append-only file --------------------------------------------------------------------------

TEST(AppendFileTest, CreatesTheFileAndKeepsConcurrentLinesWhole) {
    test::Sandbox sandbox;
    const fs::path file = sandbox.path("log");
    std::vector<std::thread> writers;
    for (char c : std::string("abcd"))
        writers.emplace_back([&file, c] {
            const std::string line = std::string(300, c) + "\n";
            for (int i = 0; i < 100; ++i)
                EXPECT_TRUE(AppendFile(file).append(line));
        });
    for (auto& writer : writers)
        writer.join();
    const std::string text = sandbox.read("log");
    ASSERT_EQ(text.size(), 4u * 100 * 301);
    for (std::size_t at = 0; at < text.size(); at += 301)
        EXPECT_EQ(text.substr(at, 301), std::string(300, text[at]) + "\n") << "at " << at;
}

TEST(AppendFileTest, MissingDirectoryFailsTheOpenAndEveryAppend) {
    test::Sandbox sandbox;
    AppendFile file(sandbox.path("none/log"));
    EXPECT_EQ(file.opened().number(), ENOENT);
    EXPECT_THAT(file.opened().reason(), ::testing::StartsWith("open: "));
    EXPECT_EQ(file.append("x\n").number(), ENOENT);
    EXPECT_FALSE(sandbox.exists("none"));
}

}  // namespace
}  // namespace qx
