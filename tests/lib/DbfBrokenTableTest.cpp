#include <gtest/gtest.h>

#include <random>
#include <string>

#include "DbfTestSupport.h"
#include "Sandbox.h"
#include "qxclass/CDatabase.h"

namespace {

using qx::test::ErrorBoxRecorder;
using qx::test::rawTable;
using qx::test::Sandbox;

// Tables damaged by crashes, copies cut short or other programs' bugs: Open fails with 0, or the
// records the file really holds are read. Nothing may read or write outside its buffers (the
// sanitizer builds run these too).
class DbfBrokenTableTest : public ::testing::Test {
protected:
    static std::string good(bool endByte = true, long statedCount = -1) {
        return rawTable({{"NAME", 'C', 4}, {"N", 'N', 3}}, {" abcd  1", " efgh  2", "*ijkl  3"}, endByte,
                        statedCount);
    }
    static constexpr std::size_t kHeader = 32 + 2 * 32 + 1;

    int open(const std::string& bytes) { return db.Open(sandbox.file("t.dbf", bytes).c_str()); }

    Sandbox sandbox;
    ErrorBoxRecorder boxes;
    CDatabase db;
};

TEST_F(DbfBrokenTableTest, AFileCutWithinARecordHoldsOnlyItsWholeRecords) {
    std::string bytes = good(false);
    ASSERT_EQ(open(bytes.substr(0, bytes.size() - 3)), 1);
    EXPECT_EQ(db.RecCount(), 2u);
    db.Go(3);
    EXPECT_EQ(boxes.boxes().size(), 1u);
    db.Go(2);
    char text[8];
    ASSERT_EQ(db.Read("NAME", text, sizeof text), 1);
    EXPECT_STREQ(text, "efgh");
}

TEST_F(DbfBrokenTableTest, ACountLargerThanTheFileIsCutToTheRecordsHeld) {
    ASSERT_EQ(open(good(true, 1000)), 1);
    EXPECT_EQ(db.RecCount(), 3u);
    // An append goes after the last whole record and repairs the count.
    ASSERT_EQ(db.Append(), 1);
    EXPECT_EQ(db.RecNo(), 4u);
    EXPECT_EQ(db.RecCount(), 4u);
}

TEST_F(DbfBrokenTableTest, BytesAfterTheLastRecordAreNoRecord) {
    ASSERT_EQ(open(good(true, 2) + "garbage garbage"), 1);
    EXPECT_EQ(db.RecCount(), 2u);
    db.Go(3);
    EXPECT_EQ(db.RecNo(), 1u);
}

TEST_F(DbfBrokenTableTest, AHeaderLongerThanTheFileIsRefused) {
    std::string bytes = good();
    bytes[8] = char(0xFF);
    bytes[9] = char(0x7F);
    EXPECT_EQ(open(bytes), 0);
    EXPECT_EQ(open(good().substr(0, kHeader - 1)), 0);
}

TEST_F(DbfBrokenTableTest, DescriptorsWithoutTerminatorAreRefused) {
    std::string bytes = good();
    bytes[kHeader - 1] = ' ';
    EXPECT_EQ(open(bytes), 0);
}

TEST_F(DbfBrokenTableTest, ImpossibleFieldsAreRefused) {
    EXPECT_EQ(open(rawTable({{"", 'C', 3}}, {"    "})), 0);
    EXPECT_EQ(open(rawTable({{"A", '\0', 3}}, {"    "})), 0);
    std::string tooLong = good();
    tooLong[10] = 5;  // record length below the fields' total
    EXPECT_EQ(open(tooLong), 0);
    EXPECT_EQ(open(rawTable({}, {})), 0);
    EXPECT_EQ(open(""), 0);
    EXPECT_EQ(open(good().substr(0, 20)), 0);
}

TEST_F(DbfBrokenTableTest, OtherLayoutVersionsAreRefused) {
    for (char version : {'\x02', '\x04', '\x00', '\x8C'}) {
        std::string bytes = good();
        bytes[0] = version;
        EXPECT_EQ(open(bytes), 0) << int(version);
    }
}

TEST_F(DbfBrokenTableTest, LongCharacterFieldsInClipperStyleAreRead) {
    // 300 bytes stored as length 44 + 256 * decimals 1.
    std::string bytes = rawTable({{"LONG", 'C', 44, 1}}, {}, false);
    bytes[10] = char(301 & 0xFF);
    bytes[11] = char(301 >> 8);
    bytes += ' ' + std::string(299, 'x') + 'y';
    bytes[4] = 1;
    ASSERT_EQ(open(bytes), 1);
    EXPECT_EQ(db.FieldLength("LONG"), 300u);
    char text[400];
    ASSERT_EQ(db.Read("LONG", text, sizeof text), 1);
    EXPECT_EQ(std::string(text), std::string(299, 'x') + 'y');
}

TEST_F(DbfBrokenTableTest, RandomBytesNeverCrashTheReader) {
    std::mt19937 random(20240229);
    std::string base = good();
    char text[16];
    int value;
    for (int round = 0; round < 3000; ++round) {
        // Half the rounds start from a sound header and damage it; the others are noise.
        std::string bytes;
        if (round % 2 == 0) {
            bytes = base.substr(0, random() % (base.size() + 1));
            for (int flips = 1 + random() % 6; flips > 0 && !bytes.empty(); --flips)
                bytes[random() % bytes.size()] = char(random());
        } else {
            bytes.resize(random() % 300);
            for (char& c : bytes)
                c = char(random());
            if (bytes.size() > 12)
                bytes[0] = 0x03;
        }
        if (!open(bytes))
            continue;
        for (unsigned n = 1; n <= db.RecCount() && n <= 10; ++n) {
            db.Go(n);
            for (unsigned f = 1; f <= db.FieldCount(); ++f) {
                db.Read(db.Fieldname(f), text, sizeof text);
                db.Read(db.Fieldname(f), value);
            }
        }
        db.Close();
    }
}

}  // namespace
