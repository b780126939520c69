#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DbfTestSupport.h"
#include "PeerTools.h"
#include "ProcessSupport.h"
#include "Sandbox.h"
#include "qxclass/CDatabase.h"
#include "qxclass/DbfSettings.h"

namespace {

using qx::test::CommandResult;
using qx::test::ErrorBoxRecorder;
using qx::test::runPython;
using qx::test::Sandbox;

// The alarm server and its tools keep working on the tables while we have them open.
class DbfSharingTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A lock held elsewhere is tried once, so refusals are immediate.
        saved = qx::dbf::lockSettings();
        qx::dbf::LockSettings impatient = saved;
        impatient.attempts = 1;
        qx::dbf::setLockSettings(impatient);
        file = sandbox.path("shared.dbf").string();
        CommandResult made = runPython(sandbox, R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'name C(10); n N(5,0)', dbf_type='db3')
t.open(dbf.READ_WRITE)
for i in range(1, 4):
    t.append(('rec%d' % i, i))
t.close()
)",
                                       {file});
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }
    void TearDown() override { qx::dbf::setLockSettings(saved); }

    // The lock type another open file of the table would meet at `offset` (F_UNLCK when free).
    short lockAt(off_t offset) {
        int fd = ::open(file.c_str(), O_RDWR);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = offset;
        probe.l_len = 1;
        int result = fcntl(fd, F_OFD_GETLK, &probe);
        ::close(fd);
        return result == 0 ? probe.l_type : -1;
    }

    std::string name(CDatabase& db) {
        char text[16] = {};
        db.Read("NAME", text, sizeof text);
        return text;
    }

    Sandbox sandbox;
    ErrorBoxRecorder boxes;
    std::string file;
    qx::dbf::LockSettings saved;
};

TEST_F(DbfSharingTest, RecordsAppendedAndChangedByAnotherProcessAreSeen) {
    CDatabase db;
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(db.RecCount(), 3u);
    CommandResult appended = runPython(sandbox, R"(
import sys, dbf
t = dbf.Table(sys.argv[1])
t.open(dbf.READ_WRITE)
t.append(('rec4', 4))
t.append(('rec5', 5))
with t[0] as r:
    r.name = 'changed'
t.close()
)",
                                       {file});
    ASSERT_EQ(appended.exitCode, 0) << appended.output;
    EXPECT_EQ(db.RecCount(), 5u);
    db.Go(5);
    EXPECT_EQ(name(db), "rec5");
    db.Go(1);
    EXPECT_EQ(name(db), "changed");
    db.Bottom();
    EXPECT_EQ(db.RecNo(), 5u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(DbfSharingTest, TheTableLockLiesWhereClipperPutsItAndIsSeenByOtherPrograms) {
    constexpr const char* probe = R"(
import sys, fcntl
with open(sys.argv[1], 'r+b') as f:
    try:
        fcntl.lockf(f, fcntl.LOCK_EX | fcntl.LOCK_NB, 1, int(sys.argv[2]))
        print('free')
    except OSError:
        print('locked')
)";
    CDatabase db;
    ASSERT_EQ(db.Open(file.c_str()), 1);
    db.Lock();
    EXPECT_EQ(lockAt(1'000'000'000), F_WRLCK);
    EXPECT_EQ(lockAt(1'999'999'999), F_WRLCK);
    EXPECT_EQ(lockAt(999'999'999), F_UNLCK);
    EXPECT_EQ(runPython(sandbox, probe, {file, "1000000003"}).output, "locked\n");
    db.Unlock();
    EXPECT_EQ(lockAt(1'000'000'003), F_UNLCK);
    EXPECT_EQ(runPython(sandbox, probe, {file, "1000000003"}).output, "free\n");
}

// A writer in another process changes two records over and over, each all 'A' or all 'B': one that
// crosses a page boundary of the file and one inside a page. Every read of ours sees one or the other
// whole, never a mixture.
TEST_F(DbfSharingTest, AReaderNeverSeesARecordHalfWritten) {
    constexpr int kReads = 200000;
    std::string table = sandbox.path("torn.dbf").string();
    FIELD4INFO fields[] = {{"A", 'C', 254, 0}, {"B", 'C', 254, 0}, {"C", 'C', 254, 0}, {nullptr, 0, 0, 0}};
    CDatabase made;
    ASSERT_EQ(made.Create(table.c_str(), fields), 1);
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(made.Append(), 1);
    made.Close();
    // Records are 763 bytes after a 129-byte header: record 6 spans 3944 to 4707, record 2 lies in
    // the first page.
    const unsigned watched[] = {2, 6};

    pid_t writer = qx::test::forkChild([&] {
        CDatabase db;
        if (!db.Open(table.c_str()))
            return 1;
        db.SetFlush(0);  // as fast as it can: written at each move, never synced
        std::string a(254, 'A'), b(254, 'B');
        for (unsigned round = 0;; ++round) {
            const std::string& text = round % 2 ? a : b;
            for (unsigned record : watched) {
                db.Go(record);
                for (const char* field : {"A", "B", "C"})
                    db.Replace(field, text.c_str());
                db.Go(1);
            }
        }
    });

    CDatabase db;
    ASSERT_EQ(db.Open(table.c_str()), 1);
    int torn = 0;
    char first[256], field[256];
    for (int i = 0; i < kReads; ++i) {
        db.Go(watched[i % 2]);
        db.Read("A", first, sizeof first);
        for (const char* name : {"B", "C"}) {
            db.Read(name, field, sizeof field);
            if (std::string(field) != first)
                ++torn;
        }
        if (std::strspn(first, first[0] == 'A' ? "A" : "B") != std::strlen(first))
            ++torn;
    }
    ::kill(writer, SIGKILL);
    qx::test::waitChild(writer);
    EXPECT_EQ(torn, 0);
    EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
