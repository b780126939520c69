#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DbfTestSupport.h"
#include "PeerTools.h"
#include "Sandbox.h"
#include "qxclass/CDatabase.h"

namespace {

using qx::test::ErrorBoxRecorder;
using qx::test::rawTable;
using qx::test::Sandbox;
using ::testing::IsEmpty;

// Text written into number, date and logical fields must be what those types hold, or readers of the
// table stop at the record (dbfread) or read nonsense (GDAL).
class DbfTypedWriteTest : public ::testing::Test {
protected:
    // AMOUNT N(10,2), COUNT N(4,0), DAY D, OK L, NAME C(6); one blank record.
    void SetUp() override {
        file = sandbox
                   .file("typed.dbf", rawTable({{"AMOUNT", 'N', 10, 2},
                                                {"COUNT", 'N', 4},
                                                {"DAY", 'D', 8},
                                                {"OK", 'L', 1},
                                                {"NAME", 'C', 6}},
                                               {std::string(30, ' ')}))
                   .string();
        ASSERT_EQ(db.Open(file.c_str()), 1);
    }

    std::string stored(const char* field) {
        char buffer[32] = {};
        db.Read(field, buffer, sizeof buffer);
        return buffer;
    }

    // The whole record as the file holds it now.
    std::string record() { return qx::test::readFile(file).substr(32 + 5 * 32 + 1, 30); }

    Sandbox sandbox;
    ErrorBoxRecorder boxes;
    CDatabase db;
    std::string file;
};

TEST_F(DbfTypedWriteTest, NumbersAreStoredRightAlignedWithTheFieldsDecimals) {
    EXPECT_EQ(db.Replace("AMOUNT", "12.5"), 1);
    EXPECT_EQ(record().substr(1, 10), "     12.50");
    EXPECT_EQ(db.Replace("AMOUNT", " -0.005 "), 1);  // half away from zero, on the decimal digits
    EXPECT_EQ(stored("AMOUNT"), "     -0.01");
    EXPECT_EQ(db.Replace("AMOUNT", "+1234567.994"), 1);
    EXPECT_EQ(stored("AMOUNT"), "1234567.99");
    EXPECT_EQ(db.Replace("AMOUNT", "9999999.995"), 0);  // rounds to 11 characters
    EXPECT_EQ(db.Replace("AMOUNT", "-0.001"), 1);
    EXPECT_EQ(stored("AMOUNT"), "      0.00");
    EXPECT_EQ(db.Replace("COUNT", "12.5"), 1);
    EXPECT_EQ(stored("COUNT"), "  13");
    EXPECT_EQ(db.Replace("COUNT", ".4"), 1);
    EXPECT_EQ(stored("COUNT"), "   0");
    EXPECT_EQ(db.Replace("COUNT", ""), 1);  // the blank number
    EXPECT_EQ(record().substr(11, 4), "    ");
    EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(DbfTypedWriteTest, ValuesOfTheWrongTypeAreRefusedWithTheBoxAndChangeNothing) {
    ASSERT_EQ(db.Replace("AMOUNT", "1"), 1);
    ASSERT_EQ(db.Replace("DAY", "20240229"), 1);
    ASSERT_EQ(db.Replace("OK", "y"), 1);
    std::string before = record();
    EXPECT_EQ(before, "       1.00    20240229Y      ");
    for (const char* number : {"abc", "12a", "1e5", "1.2.3", "--1", "-", ".", "0x10", "1 2"})
        EXPECT_EQ(db.Replace("AMOUNT", number), 0) << number;
    for (const char* date : {"2024-02-29", "20230229", "20241301", "2024022", "202402290", "29.02.2024"})
        EXPECT_EQ(db.Replace("DAY", date), 0) << date;
    EXPECT_EQ(db.Replace("DAY", 2024229), 0);
    for (const char* logical : {"x", "TRUE", "1", ".T."})
        EXPECT_EQ(db.Replace("OK", logical), 0) << logical;
    EXPECT_EQ(record(), before);
    EXPECT_EQ(boxes.boxes(), std::vector<std::string>(20, "Error: CDatabase::Replace"));
}

TEST_F(DbfTypedWriteTest, DatesLogicalsAndTextTakeTheirOwnForms) {
    EXPECT_EQ(db.Replace("DAY", 20240229), 1);
    EXPECT_EQ(stored("DAY"), "20240229");
    EXPECT_EQ(db.Replace("DAY", ""), 1);
    EXPECT_EQ(stored("DAY"), "");
    for (const char* logical : {"t", "F", "n", "?", "Y"}) {
        EXPECT_EQ(db.Replace("OK", logical), 1);
        EXPECT_EQ(stored("OK")[0], std::toupper(logical[0]));
    }
    EXPECT_EQ(db.Replace("OK", 0), 1);
    EXPECT_EQ(stored("OK"), "F");
    EXPECT_EQ(db.Replace("NAME", "a|b\\c and more"), 1);  // text is cut, never refused
    EXPECT_EQ(stored("NAME"), "a|b\\c");
    EXPECT_THAT(boxes.boxes(), IsEmpty());

    // What we stored reads back in the peers as the values meant.
    ASSERT_EQ(db.Replace("AMOUNT", "-4.25"), 1);
    ASSERT_EQ(db.Replace("DAY", "19991231"), 1);
    db.Close();
    QX_SKIP_WITHOUT_LINUX_PEERS();
    auto peers = qx::test::runPython(sandbox, R"(
import sys, dbfread
for r in dbfread.DBF(sys.argv[1]):
    print(list(r.values()))
)",
                                     {file});
    ASSERT_EQ(peers.exitCode, 0) << peers.output;
    EXPECT_EQ(peers.output, "[-4.25, None, datetime.date(1999, 12, 31), False, 'a|b\\\\c']\n");
}

}  // namespace
