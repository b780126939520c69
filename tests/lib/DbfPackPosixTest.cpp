#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "DbfTestSupport.h"
#include "Sandbox.h"
#include "WaitUntil.h"
#include "qxclass/CDatabase.h"

namespace {

using qx::test::ErrorBoxRecorder;
using qx::test::rawTable;
using qx::test::Sandbox;

constexpr int kRecords = 100000;
constexpr int kRounds = 4;
constexpr int kAppendsPerRound = 50;

// The check text of record `id`: a torn record (half of one write, half of another) cannot match.
std::string checkOf(long id) {
    std::string text = std::to_string(id * 7919 % 1000003);
    return "c" + text + std::string(text.rbegin(), text.rend());
}

// ID N(7,0), CHECK C(16): records 1 .. kRecords in order.
std::string bigTable() {
    std::vector<std::string> records;
    records.reserve(kRecords);
    for (long id = 1; id <= kRecords; ++id) {
        std::string number = std::to_string(id);
        std::string check = checkOf(id);
        records.push_back(' ' + std::string(7 - number.size(), ' ') + number + check +
                          std::string(16 - check.size(), ' '));
    }
    return rawTable({{"ID", 'N', 7}, {"CHECK", 'C', 16}}, records);
}

// One scan as a reader of ours sees it. Ids rise strictly (no record twice), every check matches
// (no torn record), no record that was never deleted is missing, appended ids follow each other,
// and a blank record (appended, not yet filled) may only end the table. Returns "" or the fault.
std::string scan(const std::string& file) {
    CDatabase db;
    if (!db.Open(file.c_str()))
        return "cannot open";
    unsigned count = db.RecCount();
    long previous = 0;
    int neverDeletedSeen = 0;
    bool blankSeen = false;
    char check[32];
    for (unsigned n = 1; n <= count; ++n) {
        if (!db.Seek(n))
            return "cannot read record " + std::to_string(n) + " of " + std::to_string(count);
        int id = 0;
        db.Read("ID", id);
        db.Read("CHECK", check, sizeof check);
        std::string where = "record " + std::to_string(n) + " (id " + std::to_string(id) + "): ";
        if (id == 0 && check[0] == '\0') {
            blankSeen = true;
            continue;
        }
        if (blankSeen)
            return where + "after a blank record";
        if (id <= previous)
            return where + "id not above " + std::to_string(previous);
        if (check != checkOf(id))
            return where + "torn, check " + check;
        if (id > kRecords && id != std::max<long>(previous, kRecords) + 1)
            return where + "appended records missing before it";
        if (id <= kRecords && (id % 10 == 0 || id % 10 > kRounds))
            ++neverDeletedSeen;
        previous = id;
    }
    int neverDeleted = kRecords / 10 * (10 - kRounds);
    if (neverDeletedSeen != neverDeleted)
        return std::to_string(neverDeleted - neverDeletedSeen) + " records missing";
    return "";
}

// A child process that does `work` each time a byte arrives on `go`, and writes its faults to `report`.
// It ends when `go` is closed: the other pipe ends it inherited (`others`) are closed first.
template <typename Work>
pid_t child(int go, int report, std::initializer_list<int> others, Work work) {
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    for (int fd : others)
        if (fd != go && fd != report)
            close(fd);
    char byte;
    int faults = 0;
    while (read(go, &byte, 1) == 1) {
        std::string fault = work();
        if (!fault.empty()) {
            fault += '\n';
            faults += write(report, fault.data(), fault.size()) > 0;
        }
    }
    _exit(faults == 0 ? 0 : 1);
}

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(pipe(fds), 0); }
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0)
                close(fd);
    }
    void closeEnd(int which) {
        close(fds[which]);
        fds[which] = -1;
    }
};

class DbfPackTest : public ::testing::Test {
protected:
    Sandbox sandbox;
    ErrorBoxRecorder boxes;
};

TEST_F(DbfPackTest, AReaderAndAnAppenderBesideAPackNeverSeeARecordTwiceTornOrMissing) {
    std::string file = sandbox.file("big.dbf", bigTable()).string();
    Pipe readerGo, appenderGo, report;
    std::initializer_list<int> ends = {readerGo.fds[0],   readerGo.fds[1], appenderGo.fds[0],
                                       appenderGo.fds[1], report.fds[0],   report.fds[1]};
    pid_t reader = child(readerGo.fds[0], report.fds[1], ends, [&] { return scan(file); });
    long nextId = kRecords + 1;
    pid_t appender = child(appenderGo.fds[0], report.fds[1], ends, [&]() -> std::string {
        CDatabase db;
        if (!db.Open(file.c_str()))
            return "appender cannot open";
        db.SetFlush(0);
        for (int i = 0; i < kAppendsPerRound; ++i, ++nextId)
            if (!db.Append() || !db.Replace("ID", int(nextId)) ||
                !db.Replace("CHECK", checkOf(nextId).c_str()))
                return "cannot append id " + std::to_string(nextId);
        return db.Close() ? "" : "appended records not written";
    });
    readerGo.closeEnd(0);
    appenderGo.closeEnd(0);
    report.closeEnd(1);

    CDatabase packer;
    ASSERT_EQ(packer.Open(file.c_str()), 1);
    packer.SetFlush(0);
    int packs = 0;
    for (int round = 1; round <= kRounds; ++round) {
        for (unsigned n = 1; n <= packer.RecCount(); ++n) {
            packer.Go(n);
            int id = 0;
            packer.Read("ID", id);
            if (id <= kRecords && id % 10 == round)
                packer.Delete();
        }
        packer.Flush();
        unsigned before = packer.RecCount();
        ASSERT_EQ(write(readerGo.fds[1], "g", 1), 1);
        ASSERT_EQ(write(appenderGo.fds[1], "g", 1), 1);
        // Refused while the reader or the appender has the table open; they close it after each turn.
        ASSERT_TRUE(qx::test::waitUntil(
            [&] {
                packer.Pack();
                return packer.RecCount() < before;
            },
            std::chrono::seconds(60), std::chrono::microseconds(0)))
            << "round " << round << ": pack never ran";
        ++packs;
    }
    ASSERT_EQ(write(readerGo.fds[1], "g", 1), 1);  // one last scan of the packed table
    readerGo.closeEnd(1);
    appenderGo.closeEnd(1);
    int readerStatus = 0, appenderStatus = 0;
    waitpid(reader, &readerStatus, 0);
    waitpid(appender, &appenderStatus, 0);
    std::string faults;
    char buffer[4096];
    for (ssize_t n; (n = read(report.fds[0], buffer, sizeof buffer)) > 0;)
        faults.append(buffer, std::size_t(n));
    EXPECT_EQ(faults, "");
    EXPECT_TRUE(WIFEXITED(readerStatus) && WEXITSTATUS(readerStatus) == 0);
    EXPECT_TRUE(WIFEXITED(appenderStatus) && WEXITSTATUS(appenderStatus) == 0);
    EXPECT_EQ(packs, kRounds);
    // Every appended record landed in the table that is read, none in a file left behind.
    EXPECT_EQ(packer.RecCount(), unsigned(kRecords / 10 * (10 - kRounds) + kRounds * kAppendsPerRound));
    EXPECT_EQ(scan(file), "");
    packer.Close();
}

}  // namespace
