#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DbfTable.h"
#include "DbfTestSupport.h"
#include "Sandbox.h"
#include "qxclass/CDatabase.h"
#include "qxclass/DbfSettings.h"

// Tables that other objects and programs hold at the same time, on both systems: the table lock and
// packing beside other open tables. Peers in processes of their own are in the system's test files.

namespace {

using qx::test::ErrorBoxRecorder;
using qx::test::rawTable;
using qx::test::Sandbox;

class DbfLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A lock held elsewhere is tried once, so refusals are immediate.
        saved = qx::dbf::lockSettings();
        qx::dbf::LockSettings impatient = saved;
        impatient.attempts = 1;
        qx::dbf::setLockSettings(impatient);
        file = sandbox
                   .file("shared.dbf", rawTable({{"NAME", 'C', 10}, {"N", 'N', 5}},
                                                {" rec1          1", " rec2          2", " rec3          3"}))
                   .string();
    }
    void TearDown() override { qx::dbf::setLockSettings(saved); }

    Sandbox sandbox;
    ErrorBoxRecorder boxes;
    std::string file;
    qx::dbf::LockSettings saved;
};

TEST_F(DbfLockTest, ChangesGiveUpWhileAnotherProgramHoldsTheTableLock) {
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

TEST_F(DbfLockTest, PackWaitsForOtherTablesOfOursToClose) {
    std::string table = sandbox.file("t.dbf", rawTable({{"N", 'N', 3}}, {"   1", "*  2", "   3"})).string();
    CDatabase reader, packer;
    ASSERT_EQ(reader.Open(table.c_str()), 1);
    ASSERT_EQ(packer.Open(table.c_str()), 1);
    packer.Pack();
    EXPECT_EQ(packer.RecCount(), 3u);
    reader.Go(3);
    int value = 0;
    reader.Read("N", value);
    EXPECT_EQ(value, 3);
    reader.Close();
    packer.Pack();
    EXPECT_EQ(packer.RecCount(), 2u);
    packer.Close();
    EXPECT_TRUE(boxes.boxes().empty());
}

}  // namespace
