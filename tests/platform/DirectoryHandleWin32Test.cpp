#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DirectoryHandle.h"
#include "Sandbox.h"
#include "Transfer.h"

using ::testing::ElementsAre;

namespace qx {
namespace {

namespace fs = std::filesystem;

// Another program's hold on a file: open, sharing reading and writing but not its deletion.
HANDLE holdWithoutDeleteSharing(const fs::path& file) {
    return CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(DirectoryHandleWin32, AFileHeldByAnotherProgramStaysAndGoesAtTheNextRun) {
    test::Sandbox sandbox;
    sandbox.file("from/a.dbf", "held");
    sandbox.file("from/b.dbf", "held");
    sandbox.dir("to");
    HANDLE a = holdWithoutDeleteSharing(sandbox.path("from/a.dbf"));
    HANDLE b = holdWithoutDeleteSharing(sandbox.path("from/b.dbf"));
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    DirectoryHandle from(sandbox.path("from"));
    EXPECT_EQ(from.remove("a.dbf"), std::errc::device_or_resource_busy);
    EXPECT_EQ(openTransfer(sandbox.path("from"), sandbox.path("to"))->move("b.dbf"),
              std::errc::device_or_resource_busy);
    EXPECT_THAT(test::namesIn(sandbox.path("from")), ElementsAre("a.dbf", "b.dbf"));
    CloseHandle(a);
    CloseHandle(b);
    // The next run.
    EXPECT_FALSE(from.remove("a.dbf"));
    EXPECT_FALSE(openTransfer(sandbox.path("from"), sandbox.path("to"))->move("b.dbf"));
    EXPECT_TRUE(test::namesIn(sandbox.path("from")).empty());
    EXPECT_EQ(sandbox.read("to/b.dbf"), "held");
}

TEST(DirectoryHandleWin32, APartialCopyThatItsWriterHoldsIsKept) {
    test::Sandbox sandbox;
    sandbox.dir("from");
    const fs::path partial = sandbox.file("to/.a.dbf.qxcopy-7-1", "half");
    HANDLE writer = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(abandonedPartialCopies(sandbox.path("to")).empty());
    EXPECT_TRUE(openTransfer(sandbox.path("from"), sandbox.path("to"))->clearPartialCopies().empty());
    CloseHandle(writer);
    EXPECT_THAT(openTransfer(sandbox.path("from"), sandbox.path("to"))->clearPartialCopies(),
                ElementsAre(".a.dbf.qxcopy-7-1"));
}

TEST(DirectoryHandleWin32, ADirectoryLinkIsNeitherOpenedNorEnteredButRemovedAsALink) {
    test::Sandbox sandbox;
    sandbox.file("real/keep.dbf", "keep");
    sandbox.dir("d");
    const fs::path link = sandbox.path("d/linked");
    if (!CreateSymbolicLinkW(link.c_str(), sandbox.path("real").c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "no directory links here";
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "the system made the link but does not report it as a reparse point (Wine 8 does so)";
    DirectoryHandle linked(link);
    EXPECT_FALSE(linked.isOpen());
    EXPECT_TRUE(linked.isLink());
    DirectoryHandle d(sandbox.path("d"));
    ASSERT_EQ(d.list().size(), 1u);
    EXPECT_FALSE(d.list()[0].isDirectory);
    EXPECT_TRUE(d.status("linked")->isSymlink);
    EXPECT_FALSE(d.remove("linked"));
    EXPECT_TRUE(test::namesIn(sandbox.path("d")).empty());
    EXPECT_EQ(sandbox.read("real/keep.dbf"), "keep");
}

}  // namespace
}  // namespace qx
