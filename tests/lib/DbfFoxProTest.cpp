#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "DbfTestSupport.h"
#include "PeerTools.h"
#include "Sandbox.h"
#include "qxclass/CDatabase.h"

namespace {

using qx::test::CommandResult;
using qx::test::ErrorBoxRecorder;
using qx::test::runPython;
using qx::test::Sandbox;
using ::testing::IsEmpty;

// Visual FoxPro tables with every binary field type, every field nullable, as python3-dbf writes them.
constexpr const char* kFields =
    "name C(10) null; qty I null; price B null; cost Y null; at T null; born D null; ok L null; note M null";

// Every record as python3-dbf and as dbfread read it, one line per record and reader.
constexpr const char* kPeerDump = R"(
import sys, dbf, dbfread
t = dbf.Table(sys.argv[1])
t.open(dbf.READ_ONLY)
for r in t:
    print('dbf', dbf.is_deleted(r), [v.strip() if isinstance(v, str) else v for v in r])
t.close()
for r in dbfread.DBF(sys.argv[1], ignore_missing_memofile=True):
    print('dbfread', [v for k, v in r.items() if k != '_NULLFLAGS'])
)";

class DbfFoxProTest : public ::testing::Test {
protected:
    void SetUp() override { QX_SKIP_WITHOUT_LINUX_PEERS(); }

    std::string make(const std::string& rows) {
        std::string file = sandbox.path("fox.dbf").string();
        CommandResult made = runPython(sandbox,
                                       "import sys, dbf, datetime\n"
                                       "t = dbf.Table(sys.argv[1], '" +
                                           std::string(kFields) +
                                           "', dbf_type='vfp')\n"
                                           "t.open(dbf.READ_WRITE)\n" +
                                           rows + "t.close()\n",
                                       {file});
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return file;
    }

    std::string text(const char* field) {
        char buffer[64] = "unread";
        EXPECT_EQ(db.Read(field, buffer, sizeof buffer), 1) << field;
        return buffer;
    }

    int number(const char* field) {
        int value = -12345;
        EXPECT_EQ(db.Read(field, value), 1) << field;
        return value;
    }

    Sandbox sandbox;
    ErrorBoxRecorder boxes;
    CDatabase db;
};

TEST_F(DbfFoxProTest, BinaryFieldsAreReadAsTheirWriterMeantThem) {
    std::string file = make(
        "t.append(('Alice', -42, 3.5, 12.34, datetime.datetime(2024, 2, 29, 13, 45, 6, 250000),\n"
        "          dbf.Date(2024, 2, 29), True, 'a memo'))\n"
        "t.append((None, 2000000001, -1e+100, -0.01, None, None, None, None))\n");
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(text("NAME"), "Alice");
    EXPECT_EQ(text("QTY"), "-42");
    EXPECT_EQ(text("PRICE"), "3.5");
    EXPECT_EQ(text("COST"), "12.3400");
    EXPECT_EQ(text("AT"), "20240229134506.250");
    EXPECT_EQ(text("BORN"), "20240229");
    EXPECT_EQ(text("OK"), "T");
    EXPECT_NE(text("NOTE"), "");  // the memo's block number
    EXPECT_EQ(number("QTY"), -42);
    EXPECT_EQ(number("PRICE"), 3);
    EXPECT_EQ(number("COST"), 12);
    EXPECT_EQ(number("AT"), 20240229);
    db.Go(2);
    EXPECT_EQ(text("QTY"), "2000000001");
    EXPECT_EQ(text("PRICE"), "-1e+100");
    EXPECT_EQ(number("PRICE"), -2147483647 - 1);
    EXPECT_EQ(text("COST"), "-0.0100");
    EXPECT_EQ(number("COST"), 0);
    EXPECT_EQ(text("AT"), "");
    EXPECT_EQ(number("AT"), 0);
    EXPECT_EQ(text("NOTE"), "");
    // Searching compares the same texts.
    db.Top();
    EXPECT_EQ(db.Find("QTY", "2000000001"), 2u);
    db.Top();
    EXPECT_EQ(db.Find("COST", "-0.0100"), 2u);
    db.Top();
    EXPECT_EQ(db.Find("QTY", -42), 1u);
    EXPECT_THAT(boxes.boxes(), IsEmpty());
}

TEST_F(DbfFoxProTest, AppendedAndBlankedRecordsAreZeroNotBlanksAndNotNull) {
    std::string file = make("t.append((dbf.Null,) * 8)\n");
    ASSERT_EQ(db.Open(file.c_str()), 1);
    // The NULL record is blanked, and a new one appended: peers must read zeros and empty values.
    db.Blank();
    ASSERT_EQ(db.Append(), 1);
    EXPECT_EQ(text("QTY"), "0");
    EXPECT_EQ(text("PRICE"), "0");
    EXPECT_EQ(text("COST"), "0.0000");
    EXPECT_EQ(text("AT"), "");
    db.Close();
    CommandResult peers = runPython(sandbox, kPeerDump, {file});
    ASSERT_EQ(peers.exitCode, 0) << peers.output;
    EXPECT_EQ(peers.output,
              "dbf False ['', 0, 0.0, Decimal('0.0000'), None, None, None, '']\n"
              "dbf False ['', 0, 0.0, Decimal('0.0000'), None, None, None, '']\n"
              "dbfread ['', 0, 0.0, Decimal('0'), None, None, None, None]\n"
              "dbfread ['', 0, 0.0, Decimal('0'), None, None, None, None]\n");
    EXPECT_THAT(boxes.boxes(), IsEmpty());
}

TEST_F(DbfFoxProTest, ValuesWeWriteArePeersValuesAndNoLongerNull) {
    std::string file = make("t.append((dbf.Null,) * 8)\n");
    ASSERT_EQ(db.Open(file.c_str()), 1);
    // Written over a record whose every field is NULL: each field written must read as its value (the
    // memo, never written by us, stays NULL).
    EXPECT_EQ(db.Replace("NAME", "Bob"), 1);
    EXPECT_EQ(db.Replace("QTY", "-17"), 1);
    EXPECT_EQ(db.Replace("PRICE", "0.125"), 1);
    EXPECT_EQ(db.Replace("COST", "1234.56789"), 1);
    EXPECT_EQ(db.Replace("AT", "19991231235959"), 1);
    EXPECT_EQ(db.Replace("BORN", "20000229"), 1);
    EXPECT_EQ(db.Replace("OK", "f"), 1);
    ASSERT_EQ(db.Append(), 1);
    EXPECT_EQ(db.Replace("QTY", 2000000000), 1);
    EXPECT_EQ(db.Replace("PRICE", -3), 1);
    EXPECT_EQ(db.Replace("COST", 7), 1);
    EXPECT_EQ(db.Replace("AT", 20240301), 1);
    ASSERT_EQ(db.Append(), 1);
    EXPECT_EQ(db.Replace("NAME", "gone"), 1);
    db.Delete();
    EXPECT_THAT(boxes.boxes(), IsEmpty());
    // Values that the types cannot hold are refused with the box, and nothing changes.
    for (const char* wrong : {"abc", "1.5", "2147483648"})
        EXPECT_EQ(db.Replace("QTY", wrong), 0) << wrong;
    EXPECT_EQ(db.Replace("PRICE", "1,5"), 0);
    EXPECT_EQ(db.Replace("COST", "12e3"), 0);
    EXPECT_EQ(db.Replace("AT", "20240230120000"), 0);
    EXPECT_EQ(db.Replace("AT", "20240229250000"), 0);
    EXPECT_EQ(db.Replace("AT", 99), 0);
    EXPECT_EQ(boxes.boxes().size(), 8u);
    db.Pack();
    EXPECT_EQ(db.RecCount(), 2u);
    db.Close();

    CommandResult peers = runPython(sandbox, kPeerDump, {file});
    ASSERT_EQ(peers.exitCode, 0) << peers.output;
    EXPECT_EQ(
        peers.output,
        "dbf False ['Bob', -17, 0.125, Decimal('1234.5679'), datetime.datetime(1999, 12, 31, 23, 59, 59), "
        "datetime.date(2000, 2, 29), False, <null>]\n"
        "dbf False ['', 2000000000, -3.0, Decimal('7.0000'), datetime.datetime(2024, 3, 1, 0, 0), None, "
        "None, '']\n"
        "dbfread ['Bob', -17, 0.125, Decimal('1234.5679'), datetime.datetime(1999, 12, 31, 23, 59, 59), "
        "datetime.date(2000, 2, 29), False, None]\n"
        "dbfread ['', 2000000000, -3.0, Decimal('7'), datetime.datetime(2024, 3, 1, 0, 0), None, None, "
        "None]\n");
}

}  // namespace
