#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "DbfTable.h"
#include "DbfTestSupport.h"
#include "PeerTools.h"
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

TEST_F(DbfSharingTest, ChangesGiveUpWhileAnotherProgramHoldsTheTableLock) {
    auto other = qx::dbf::Table::open(file);
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->lockTable());
    CDatabase db;
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(db.Append(), 0);
    EXPECT_EQ(db.RecCount(), 3u);
    db.Go(2);
    db.Delete();  // the record cannot be locked for writing: the flush step reports it
    EXPECT_EQ(boxes.boxes(), std::vector<std::string>{"Error: CDatabase::Delete"});
    db.Recall();
    db.Pack();
    EXPECT_EQ(db.RecCount(), 3u);
    other->unlock();
    EXPECT_EQ(db.Append(), 1);
    EXPECT_EQ(db.RecCount(), 4u);
}

}  // namespace
