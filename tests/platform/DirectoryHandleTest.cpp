#include "DirectoryHandle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "Sandbox.h"
#include "Transfer.h"

using ::testing::ElementsAre;

namespace qx {
namespace {

namespace fs = std::filesystem;

// The same cases over the POSIX and the Windows backend.
class DirectoryHandleTest : public ::testing::Test {
protected:
    // A link to `target` at `link`; false where the system does not let the test make one.
    bool link(const char* target, const char* link, bool directory) {
        std::error_code ec;
        if (directory)
            fs::create_directory_symlink(sandbox.path(target), sandbox.path(link), ec);
        else
            fs::create_symlink(sandbox.path(target), sandbox.path(link), ec);
        return !ec;
    }

    std::vector<std::string> names(const DirectoryHandle& handle) {
        std::vector<std::string> all;
        for (const DirectoryEntry& entry : handle.list())
            all.push_back(entry.name + (entry.isDirectory ? "/" : ""));
        std::sort(all.begin(), all.end());
        return all;
    }

    test::Sandbox sandbox;
};

TEST_F(DirectoryHandleTest, ListsLooksAtAndRemovesEntriesButNoDirectory) {
    const auto when = std::chrono::system_clock::now() - std::chrono::hours(30);
    sandbox.file("d/a.dbf", "12345", when);
    sandbox.dir("d/sub");
    DirectoryHandle handle(sandbox.path("d"));
    ASSERT_TRUE(handle.isOpen());
    EXPECT_THAT(names(handle), ElementsAre("a.dbf", "sub/"));
    std::optional<EntryStatus> st = handle.status("a.dbf");
    ASSERT_TRUE(st);
    EXPECT_EQ(st->size, 5);
    EXPECT_FALSE(st->isDirectory || st->isSymlink);
    EXPECT_LT(std::chrono::abs(st->lastWrite - when), std::chrono::seconds(1));
    std::error_code missing;
    EXPECT_FALSE(handle.status("gone.dbf", &missing));
    EXPECT_EQ(missing, std::errc::no_such_file_or_directory);

    EXPECT_FALSE(handle.remove("a.dbf"));
    EXPECT_FALSE(sandbox.exists("d/a.dbf"));
    EXPECT_EQ(handle.remove("a.dbf"), std::errc::no_such_file_or_directory);
    EXPECT_TRUE(handle.remove("sub"));
    EXPECT_TRUE(sandbox.exists("d/sub"));
}

TEST_F(DirectoryHandleTest, NamesThatLeaveTheDirectoryAreRefused) {
    sandbox.file("outside.dbf", "keep");
    sandbox.dir("d/sub");
    sandbox.file("d/sub/inner.dbf", "keep");
    DirectoryHandle handle(sandbox.path("d"));
    for (const char* name : {"", ".", "..", "../outside.dbf", "sub/inner.dbf"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(handle.remove(name), std::errc::invalid_argument);
        EXPECT_FALSE(handle.status(name));
        EXPECT_EQ(handle.createFile(name, "x"), std::errc::invalid_argument);
    }
    EXPECT_EQ(sandbox.read("outside.dbf"), "keep");
    EXPECT_EQ(sandbox.read("d/sub/inner.dbf"), "keep");
}

TEST_F(DirectoryHandleTest, ADirectoryThatIsALinkIsNotOpenedAndALinkEntryGoesAsItself) {
    sandbox.file("real/target.dbf", "keep");
    fs::create_directories(sandbox.path("d"));
    if (!link("real", "linked", true) || !link("real/target.dbf", "d/link.dbf", false))
        GTEST_SKIP() << "no links here";
    DirectoryHandle linked(sandbox.path("linked"));
    EXPECT_FALSE(linked.isOpen());
    EXPECT_TRUE(linked.isLink());
    EXPECT_TRUE(linked.list().empty());

    DirectoryHandle handle(sandbox.path("d"));
    std::optional<EntryStatus> st = handle.status("link.dbf");
    ASSERT_TRUE(st);
    EXPECT_TRUE(st->isSymlink);
    EXPECT_FALSE(handle.remove("link.dbf"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(sandbox.path("d/link.dbf"))));
    EXPECT_EQ(sandbox.read("real/target.dbf"), "keep");
}

struct Place {
    const char* directory;
    DirectoryRefusal refusal;
};

class ProtectedPlaceTest : public DirectoryHandleTest, public ::testing::WithParamInterface<Place> {};

TEST_P(ProtectedPlaceTest, IsRefusedBeforeItIsOpened) {
    sandbox.dir("root/windows");
    sandbox.dir("root/qxt/log");
    const PathMap paths(sandbox.path("root"), sandbox.path("root/windows"));
    const fs::path directory =
        *GetParam().directory ? sandbox.path(GetParam().directory) : fs::current_path();
    DirectoryHandle handle(directory, {&paths, nullptr});
    EXPECT_EQ(handle.refusal(), GetParam().refusal);
    EXPECT_EQ(handle.isOpen(), GetParam().refusal == DirectoryRefusal::None);
    if (!handle.isOpen()) {
        EXPECT_EQ(handle.error(), std::errc::operation_not_permitted);
    }
    // Without the rule the same place opens.
    EXPECT_TRUE(DirectoryHandle(directory).isOpen());
}

INSTANTIATE_TEST_SUITE_P(Places, ProtectedPlaceTest,
                         ::testing::Values(Place{"root", DirectoryRefusal::InstallationRoot},
                                           Place{"root/qxt/..", DirectoryRefusal::InstallationRoot},
                                           Place{"root/windows", DirectoryRefusal::ProfileDirectory},
                                           Place{"", DirectoryRefusal::WorkingDirectory},
                                           Place{"root/qxt/log", DirectoryRefusal::None}));

TEST_F(DirectoryHandleTest, ADryRunPrintsItsChangesAndMakesNone) {
    sandbox.file("d/a.dbf", "keep");
    std::ostringstream out;
    DryRunOutput dry(out);
    DirectoryHandle handle(sandbox.path("d"), {nullptr, &dry});
    EXPECT_FALSE(handle.remove("a.dbf"));
    EXPECT_FALSE(handle.createFile("new.txt", "x"));
    EXPECT_FALSE(handle.replaceFile(".qxcycle", "x"));
    EXPECT_FALSE(DirectoryHandle(sandbox.path("missing"), {nullptr, &dry}).replaceFile(".qxcycle", "x"));
    EXPECT_FALSE(createDirectories(sandbox.path("d/new"), &dry));
    EXPECT_EQ(out.str(), "delete " + (sandbox.path("d") / "a.dbf").string() + "\ncreate-file " +
                             (sandbox.path("d") / "new.txt").string() + "\ncreate-directory " +
                             sandbox.path("d/new").string() + "\n");
    EXPECT_THAT(test::namesIn(sandbox.path("d")), ElementsAre("a.dbf"));
}

TEST_F(DirectoryHandleTest, FilesAreCreatedOnlyNewAndReplacedWhole) {
    sandbox.dir("d");
    DirectoryHandle handle(sandbox.path("d"));
    EXPECT_FALSE(handle.createFile("w.txt", "first"));
    EXPECT_EQ(handle.createFile("w.txt", "second"), std::errc::file_exists);
    EXPECT_EQ(sandbox.read("d/w.txt"), "first");
    EXPECT_FALSE(handle.replaceFile(".qxcycle", "2026-12-07\n"));
    EXPECT_FALSE(handle.replaceFile(".qxcycle", "2026-12-14\n"));
    EXPECT_EQ(sandbox.read("d/.qxcycle"), "2026-12-14\n");
    EXPECT_THAT(test::namesIn(sandbox.path("d")), ElementsAre(".qxcycle", "w.txt"));
}

TEST_F(DirectoryHandleTest, AMoveWithinAVolumeNeverReplacesAndACopyKeepsTheSource) {
    const auto when = std::chrono::system_clock::now() - std::chrono::hours(30);
    sandbox.file("from/a.dbf", "this week", when);
    sandbox.file("from/b.dbf", "new", when);
    sandbox.file("from/c.dbf", "young", when);
    sandbox.file("to/b.dbf", "last week");
    std::unique_ptr<FileTransfer> transfer = openTransfer(sandbox.path("from"), sandbox.path("to"));
    EXPECT_FALSE(transfer->move("a.dbf"));
    EXPECT_EQ(transfer->move("b.dbf"), std::errc::file_exists);
    EXPECT_FALSE(transfer->copy("c.dbf"));
    EXPECT_EQ(transfer->move("gone.dbf"), std::errc::no_such_file_or_directory);
    EXPECT_TRUE(transfer->complete().empty());
    EXPECT_THAT(test::namesIn(sandbox.path("from")), ElementsAre("b.dbf", "c.dbf"));
    EXPECT_EQ(sandbox.read("to/a.dbf"), "this week");
    EXPECT_EQ(sandbox.read("to/b.dbf"), "last week");
    EXPECT_EQ(sandbox.read("to/c.dbf"), "young");
    EXPECT_LT(std::chrono::abs(DirectoryHandle(sandbox.path("to")).status("c.dbf")->lastWrite - when),
              std::chrono::seconds(1));
}

TEST_F(DirectoryHandleTest, APartialCopyThatNoWriterHoldsIsCleared) {
    sandbox.file("to/.a.dbf.qxcopy-7-1", "half");
    sandbox.file("to/.qxcopy-7-1", "no partial copy's name");
    sandbox.file("to/a.dbf", "whole");
    sandbox.dir("from");
    EXPECT_THAT(abandonedPartialCopies(sandbox.path("to")), ElementsAre(".a.dbf.qxcopy-7-1"));
    EXPECT_THAT(openTransfer(sandbox.path("from"), sandbox.path("to"))->clearPartialCopies(),
                ElementsAre(".a.dbf.qxcopy-7-1"));
    EXPECT_THAT(test::namesIn(sandbox.path("to")), ElementsAre(".qxcopy-7-1", "a.dbf"));
}

}  // namespace
}  // namespace qx
