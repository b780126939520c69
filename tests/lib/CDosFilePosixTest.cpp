#include "qxclass/CDosFile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <string>

#include "ProcessSupport.h"
#include "Sandbox.h"

// What needs a second process, and so fork: the shared cases are in CDosFileTest.cpp.

namespace {

class CDosFileProcessTest : public ::testing::Test {
protected:
    qx::test::Sandbox sandbox;
    std::string path(const char* name) const { return sandbox.path(name).string(); }
};

TEST_F(CDosFileProcessTest, CreateLeavesAFileHeldExclusivelyInAnotherProcessWhole) {
    sandbox.file("held.txt", "precious");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::string held = path("held.txt");
    pid_t holder = qx::test::forkChild([&] {
        CDosFile file(held.c_str());
        char go = file.Open(CDosFile::OF_READWRITE | CDosFile::OF_SHARE_EXCLUSIVE) ? '1' : '0';
        if (::write(ready[1], &go, 1) != 1)
            return 2;
        ::pause();  // holds the file until killed
        return 0;
    });
    char go = 0;
    ASSERT_EQ(::read(ready[0], &go, 1), 1);
    ASSERT_EQ(go, '1');

    CDosFile other(held.c_str());
    EXPECT_EQ(other.Create(CDosFile::OF_READWRITE), 0);
    EXPECT_EQ(other.Create(CDosFile::OF_READ | CDosFile::OF_SHARE_DENY_NONE), 0);
    EXPECT_EQ(sandbox.read("held.txt"), "precious");

    ::kill(holder, SIGKILL);
    qx::test::waitChild(holder);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(other.Create(CDosFile::OF_READWRITE), 1);  // the holder has gone
    other.Close();
    EXPECT_EQ(sandbox.read("held.txt"), "");
}

TEST_F(CDosFileProcessTest, TwoProcessesAppendingToOneLogLoseNoLine) {
    constexpr int kLines = 20000;
    std::string log = path("shared.log");
    auto appender = [&](char tag) {
        return [&, tag] {
            CLogFile file(log.c_str());
            if (!file.Open(CDosFile::OF_WRITE | CDosFile::OF_SHARE_DENY_NONE) || !file.SeekEof())
                return 1;
            for (int i = 0; i < kLines; ++i) {
                std::string line = std::string(1, tag) + " line " + std::to_string(i) + "\r\n";
                if (!file.Write(line.data(), line.size()))
                    return 2;
            }
            return 0;
        };
    };
    sandbox.file("shared.log", "");
    pid_t a = qx::test::forkChild(appender('a'));
    pid_t b = qx::test::forkChild(appender('b'));
    ASSERT_EQ(qx::test::waitChild(a), 0);
    ASSERT_EQ(qx::test::waitChild(b), 0);

    std::string all = sandbox.read("shared.log");
    int count[2] = {};
    int next[2] = {};
    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t end = all.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        std::string line = all.substr(at, end - at);
        int who = line[0] == 'a' ? 0 : 1;
        // Each process's lines whole and in its own order.
        ASSERT_EQ(line, std::string(1, line[0]) + " line " + std::to_string(next[who]));
        ++next[who];
        ++count[who];
        at = end + 2;
    }
    EXPECT_EQ(count[0], kLines);
    EXPECT_EQ(count[1], kLines);
}

}  // namespace
