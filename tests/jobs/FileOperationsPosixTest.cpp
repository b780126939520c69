#include "FileOperations.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "CrashTools.h"
#include "DryRun.h"
#include "Sandbox.h"

using ::testing::ElementsAre;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

bool succeeded(std::error_code ec) {
    return !ec;
}

class FileOperationsTest : public ::testing::Test {
protected:
    std::error_code move(const fs::path& from, const fs::path& to) {
        return files.transfer(from.parent_path(), to.parent_path())->move(from.filename().string());
    }
    std::error_code copy(const fs::path& from, const fs::path& to) {
        return files.transfer(from.parent_path(), to.parent_path())->copy(from.filename().string());
    }

    SysTime written = std::chrono::system_clock::now() - std::chrono::hours(50);
    Sandbox sandbox;
    PosixFileOperations files;
};

TEST_F(FileOperationsTest, MoveAcrossFileSystemsCopiesEveryByteWithTimeThenDeletes) {
    SecondFileSystem shm{sandbox.root()};
    if (!shm.available())
        GTEST_SKIP() << "no second file system at /dev/shm";
    std::string content(300000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    fs::path source = shm.path() / "a.dbf";
    {
        std::ofstream out(source, std::ios::binary);
        out << content;
    }
    fs::permissions(source, fs::perms::owner_read | fs::perms::group_read);
    fs::last_write_time(source, fs::last_write_time(sandbox.file("stamp", "", written)));
    sandbox.dir("week");

    EXPECT_TRUE(succeeded(move(source, sandbox.path("week/a.dbf"))));
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(sandbox.read("week/a.dbf"), content);
    EXPECT_EQ(fs::last_write_time(sandbox.path("week/a.dbf")), fs::last_write_time(sandbox.path("stamp")));
    EXPECT_EQ(fs::status(sandbox.path("week/a.dbf")).permissions(),
              fs::perms::owner_read | fs::perms::group_read);
    EXPECT_THAT(namesIn(sandbox.path("week")), ElementsAre("a.dbf"));
}

TEST_F(FileOperationsTest, FailedCopyAcrossFileSystemsKeepsTheSourceAndLeavesNothing) {
    SecondFileSystem shm{sandbox.root()};
    if (!shm.available())
        GTEST_SKIP() << "no second file system at /dev/shm";
    fs::path source = shm.path() / "a.dbf";
    std::ofstream(source) << "abc";
    sandbox.dir("week/a.dbf");  // a directory where the file should go

    EXPECT_FALSE(succeeded(move(source, sandbox.path("week/a.dbf"))));
    EXPECT_EQ(readFile(source), "abc");
    EXPECT_TRUE(fs::is_directory(sandbox.path("week/a.dbf")));
    EXPECT_THAT(namesIn(sandbox.path("week")), ElementsAre("a.dbf"));
}

TEST_F(FileOperationsTest, CopyKeepsSourceAndReplacesTargetWhole) {
    sandbox.file("log/a.log", "line 1\nline 2\n", written);
    sandbox.file("week/a.log", "an older and much longer text than the new one");
    EXPECT_TRUE(succeeded(copy(sandbox.path("log/a.log"), sandbox.path("week/a.log"))));
    EXPECT_EQ(sandbox.read("log/a.log"), "line 1\nline 2\n");
    EXPECT_EQ(sandbox.read("week/a.log"), "line 1\nline 2\n");
    EXPECT_EQ(fs::last_write_time(sandbox.path("week/a.log")),
              fs::last_write_time(sandbox.path("log/a.log")));
}

TEST_F(FileOperationsTest, LinksAreMovedCopiedAndDeletedAsLinks) {
    fs::path target = sandbox.file("precious.txt", "keep");
    fs::create_symlink(target, sandbox.dir("log") / "l.log");
    sandbox.dir("week");
    EXPECT_TRUE(succeeded(copy(sandbox.path("log/l.log"), sandbox.path("week/l.log"))));
    EXPECT_TRUE(fs::is_symlink(sandbox.path("week/l.log")));
    EXPECT_EQ(fs::read_symlink(sandbox.path("week/l.log")), target);
    EXPECT_TRUE(succeeded(files.remove(sandbox.path("week/l.log"))));
    EXPECT_TRUE(succeeded(files.remove(sandbox.path("log/l.log"))));
    EXPECT_EQ(sandbox.read("precious.txt"), "keep");
}

TEST_F(FileOperationsTest, TransferReportsWhatItCannotOpenOrRead) {
    sandbox.file("log/a.dbf", "x", written);
    auto intoNowhere = files.transfer(sandbox.path("log"), sandbox.path("nowhere"));
    std::error_code ec;
    EXPECT_TRUE(intoNowhere->lastWrite("a.dbf", ec).has_value());
    EXPECT_EQ(intoNowhere->move("a.dbf"), std::errc::no_such_file_or_directory);
    EXPECT_EQ(sandbox.read("log/a.dbf"), "x");
    auto fromNowhere = files.transfer(sandbox.path("nowhere"), sandbox.path("log"));
    EXPECT_FALSE(fromNowhere->lastWrite("a.dbf", ec).has_value());
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    auto both = files.transfer(sandbox.path("log"), sandbox.path("log"));
    EXPECT_FALSE(both->lastWrite("gone.dbf", ec).has_value());
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_EQ(*both->lastWrite("a.dbf", ec), std::chrono::floor<std::chrono::nanoseconds>(written));
}

TEST_F(FileOperationsTest, CreateDirectoryFailsForAFileInTheWay) {
    EXPECT_TRUE(succeeded(files.createDirectory(sandbox.path("a/b/log49"))));
    sandbox.file("log50", "file");
    EXPECT_FALSE(succeeded(files.createDirectory(sandbox.path("log50"))));
}

TEST_F(FileOperationsTest, DryRunPrintsAndChangesNothing) {
    sandbox.file("log/a.dbf", "a");
    std::ostringstream out;
    DryRunFileOperations dry(out);
    EXPECT_EQ(dry.list(sandbox.path("log")).size(), 1u);
    EXPECT_TRUE(succeeded(dry.createDirectory(sandbox.path("log/log49"))));
    EXPECT_TRUE(succeeded(dry.createDirectory(sandbox.path("log"))));  // exists: nothing to say
    auto transfer = dry.transfer(sandbox.path("log"), sandbox.path("log/log49"));
    std::error_code ec;
    EXPECT_TRUE(transfer->lastWrite("a.dbf", ec).has_value());
    EXPECT_TRUE(succeeded(transfer->move("a.dbf")));
    EXPECT_TRUE(succeeded(transfer->copy("a.dbf")));
    EXPECT_TRUE(succeeded(dry.remove(sandbox.path("log/a.dbf"))));
    EXPECT_TRUE(succeeded(dry.createFile(sandbox.path("x.bat"), "x")));
    std::string log = sandbox.path("log").string();
    EXPECT_EQ(out.str(), "create-directory " + log + "/log49\nmove " + log + "/a.dbf " + log +
                             "/log49/a.dbf\ncopy " + log + "/a.dbf " + log + "/log49/a.dbf\ndelete " + log +
                             "/a.dbf\ncreate-file " + sandbox.path("x.bat").string() + "\n");
    EXPECT_THAT(namesIn(sandbox.path("log")), ElementsAre("a.dbf"));
    EXPECT_FALSE(sandbox.exists("x.bat"));
}

TEST_F(FileOperationsTest, DryRunLauncherStartsOnlyWhatWouldBeFound) {
    std::ostringstream out;
    fs::path old = fs::current_path();
    fs::current_path(sandbox.dir("work"));
    sandbox.file("work/qxmover2.bat", "rem\n");
    PosixLauncher real(PathMap(sandbox.path("root"), sandbox.path("root/windows")));
    DryRunLauncher dry(out, [&](std::string_view line) { return wouldStart(real, line); });
    EXPECT_FALSE(dry.start("qxmove2.bat 49 50 12 2026", Show::Hidden));
    EXPECT_TRUE(dry.start("qxmover2.bat 49 50 12 2026", Show::Hidden));
    EXPECT_TRUE(dry.run("start /MIN qxmover2.bat \"a b\""));
    EXPECT_TRUE(dry.run("md \\qxt\\log.\\log49"));
    fs::current_path(old);
    EXPECT_EQ(out.str(),
              "start qxmove2.bat 49 50 12 2026   [program not found]\nstart qxmover2.bat 49 50 12 2026\n"
              "run start /MIN qxmover2.bat \"a b\"\nrun md \\qxt\\log.\\log49\n");
    EXPECT_FALSE(sandbox.exists("root/qxt"));
}

// Where a move goes: within the sandbox's file system, from tmpfs to disk, or from disk to tmpfs.
enum class Route { SameFileSystem, TmpfsToDisk, DiskToTmpfs };

class NeverReplaceTest : public FileOperationsTest, public ::testing::WithParamInterface<Route> {
protected:
    void SetUp() override {
        if (GetParam() != Route::SameFileSystem && !shm.available())
            GTEST_SKIP() << "no second file system at /dev/shm";
        fs::create_directories(from());
        fs::create_directories(to());
    }
    fs::path from() const {
        return GetParam() == Route::TmpfsToDisk ? shm.path() / "log" : sandbox.path("log");
    }
    fs::path to() const {
        return GetParam() == Route::DiskToTmpfs ? shm.path() / "week" : sandbox.path("week");
    }

    SecondFileSystem shm{sandbox.root()};
};

TEST_P(NeverReplaceTest, AFileOfTheSameNameInTheTargetStaysAndSoDoesTheSource) {
    std::ofstream(from() / "qxalarms.dbf") << "this week";
    std::ofstream(to() / "qxalarms.dbf") << "last week";
    std::ofstream(from() / "new.dbf") << "new";
    auto transfer = files.transfer(from(), to());
    EXPECT_EQ(transfer->move("qxalarms.dbf"), std::errc::file_exists);
    EXPECT_TRUE(succeeded(transfer->move("new.dbf")));
    EXPECT_THAT(transfer->complete(), ::testing::IsEmpty());
    EXPECT_EQ(readFile(to() / "qxalarms.dbf"), "last week");
    EXPECT_EQ(readFile(from() / "qxalarms.dbf"), "this week");
    EXPECT_EQ(readFile(to() / "new.dbf"), "new");
    EXPECT_FALSE(fs::exists(from() / "new.dbf"));
}

TEST_P(NeverReplaceTest, TheSameFileLeftInBothPlacesByAKilledMoveGoesFromTheSource) {
    std::ofstream(from() / "a.dbf") << "same bytes";
    fs::copy_file(from() / "a.dbf", to() / "a.dbf");
    fs::last_write_time(to() / "a.dbf", fs::last_write_time(from() / "a.dbf"));
    fs::create_symlink("/nowhere", from() / "l.log");
    fs::create_symlink("/nowhere", to() / "l.log");
    auto transfer = files.transfer(from(), to());
    EXPECT_TRUE(succeeded(transfer->move("a.dbf")));
    EXPECT_TRUE(succeeded(transfer->move("l.log")));
    EXPECT_THAT(transfer->complete(), ::testing::IsEmpty());
    EXPECT_FALSE(fs::exists(from() / "a.dbf"));
    EXPECT_FALSE(fs::is_symlink(from() / "l.log"));
    EXPECT_EQ(readFile(to() / "a.dbf"), "same bytes");
}

INSTANTIATE_TEST_SUITE_P(Routes, NeverReplaceTest,
                         ::testing::Values(Route::SameFileSystem, Route::TmpfsToDisk, Route::DiskToTmpfs));

}  // namespace
}  // namespace qx::test
