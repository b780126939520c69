#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "DbfTestSupport.h"
#include "PeerTools.h"
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

    int open(const std::string& bytes) { return db.Open(sandbox.file("t.dbf", bytes).string().c_str()); }

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

TEST_F(DbfBrokenTableTest, AFieldOfLengthZeroHoldsNothingAndTheOthersAreRead) {
    std::string file = sandbox
                           .file("zero.dbf", rawTable({{"EMPTY", 'C', 0}, {"NAME", 'C', 3}, {"NONE", 'N', 0}},
                                                      {" abc", " xyz"}))
                           .string();
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(db.FieldCount(), 3u);
    EXPECT_EQ(db.FieldLength("EMPTY"), 0u);
    char text[8] = "unread";
    ASSERT_EQ(db.Read("EMPTY", text, sizeof text), 1);
    EXPECT_STREQ(text, "");
    ASSERT_EQ(db.Read("NAME", text, sizeof text), 1);
    EXPECT_STREQ(text, "abc");
    db.Go(2);
    EXPECT_EQ(db.Replace("NAME", "new"), 1);
    EXPECT_EQ(db.Replace("EMPTY", ""), 1);
    EXPECT_THAT(boxes.boxes(), ::testing::IsEmpty());
    EXPECT_EQ(db.Replace("NONE", 5), 0);  // no digit fits
    db.Close();
    QX_SKIP_WITHOUT_LINUX_PEERS();
    auto peer = qx::test::runPython(sandbox, R"(
import sys, dbfread
print([list(r.values()) for r in dbfread.DBF(sys.argv[1])])
)",
                                    {file});
    EXPECT_EQ(peer.output, "[['', 'abc', None], ['', 'new', None]]\n");
}

TEST_F(DbfBrokenTableTest, RandomBytesNeverCrashTheReaderNorChangeTheFile) {
    std::mt19937 random(20240229);
    std::string base = good();
    int opened = 0;
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
        SCOPED_TRACE("round " + std::to_string(round));
        std::string file = sandbox.file("t.dbf", bytes).string();
        if (!db.Open(file.c_str())) {
            EXPECT_EQ(db.FieldCount(), 0u);  // a refused table leaves the object closed
            EXPECT_EQ(db.RecCount(), 0u);
            continue;
        }
        ++opened;
        // What was opened is a table whose records lie inside the file and whose fields fit a record.
        std::size_t headerLength = std::uint8_t(bytes[8]) | std::uint8_t(bytes[9]) << 8;
        std::size_t recordLength = std::uint8_t(bytes[10]) | std::uint8_t(bytes[11]) << 8;
        ASSERT_GE(bytes.size(), headerLength);
        EXPECT_LE(db.RecCount(), (bytes.size() - headerLength) / recordLength);
        std::size_t fieldBytes = 1;
        for (unsigned f = 1; f <= db.FieldCount(); ++f)
            fieldBytes += db.FieldLengthAt(f);
        EXPECT_LE(fieldBytes, recordLength);
        boxes.clear();
        for (unsigned n = 1; n <= db.RecCount() && n <= 10; ++n) {
            db.Go(n);
            EXPECT_EQ(db.RecNo(), n);
            for (unsigned f = 1; f <= db.FieldCount(); ++f) {
                // A text is cut at the size given and never written past it.
                char text[24];
                std::memset(text, '#', sizeof text);
                EXPECT_EQ(db.Read(db.Fieldname(f), text, 16), 1);
                EXPECT_LT(std::strlen(text), 16u);
                EXPECT_EQ(std::string(text + 16, 8), std::string(8, '#'));
                int value;
                EXPECT_EQ(db.Read(db.Fieldname(f), value), 1);
            }
        }
        EXPECT_TRUE(boxes.boxes().empty());  // every record within the count is read whole
        db.Close();
        EXPECT_EQ(qx::test::readFile(file), bytes);  // reading never writes
    }
    EXPECT_GT(opened, 200);  // the damage leaves enough tables to read
}

}  // namespace
