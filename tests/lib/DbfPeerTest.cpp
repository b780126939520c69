#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DbfTestSupport.h"
#include "PeerTools.h"
#include "Sandbox.h"
#include "qxclass/CDatabase.h"

namespace {

using qx::test::CommandResult;
using qx::test::ErrorBoxRecorder;
using qx::test::runPython;
using qx::test::Sandbox;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kShared = QX_SHARED_DIR;

// Every record as dbfread sees it in raw mode: '-' or '*', then each field's bytes up to a NUL with
// trailing blanks cut (what Read hands out), hex-encoded and joined by '|'. Live records first.
constexpr const char* kDbfreadDump = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], raw=True, ignore_missing_memofile=True, load=False)
for mark, records in (('-', t.records), ('*', t.deleted)):
    for r in records:
        print(mark + '|'.join(v.split(b'\0')[0].rstrip(b' ').hex() for v in r.values()))
)";

std::string hex(const char* text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        out += digits[*p >> 4];
        out += digits[*p & 15];
    }
    return out;
}

// The same dump made through CDatabase.
std::string ourDump(CDatabase& db) {
    std::string live, deleted;
    std::vector<char> text(70000);
    for (unsigned n = 1; n <= db.RecCount(); ++n) {
        db.Go(n);
        std::string line = db.Deleted() ? "*" : "-";
        for (unsigned f = 1; f <= db.FieldCount(); ++f) {
            db.Read(db.Fieldname(f), text.data(), text.size());
            line += (f > 1 ? "|" : "") + hex(text.data());
        }
        (db.Deleted() ? deleted : live) += line + "\n";
    }
    return live + deleted;
}

class DbfPeerTest : public ::testing::Test {
protected:
    void expectSameAsDbfread(const std::string& file) {
        SCOPED_TRACE(file);
        CommandResult peer = runPython(sandbox, kDbfreadDump, {file});
        ASSERT_EQ(peer.exitCode, 0) << peer.output;
        CDatabase db;
        ASSERT_EQ(db.Open(file.c_str()), 1);
        EXPECT_EQ(ourDump(db), peer.output);
        db.Close();
    }

    std::string text(CDatabase& db, const char* field) {
        char buffer[256] = "unread";
        db.Read(field, buffer, sizeof buffer);
        return buffer;
    }

    int number(CDatabase& db, const char* field) {
        int value = -12345;
        db.Read(field, value);
        return value;
    }

    Sandbox sandbox;
    ErrorBoxRecorder boxes;
};

TEST_F(DbfPeerTest, ReadsTheSampleTablesOfOtherProjects) {
    for (const char* name : {"people", "invalid_value", "memotest", "no_memofile", "latin1",
                             "corrupt_too_long", "edit", "blockgroups", "merge"})
        expectSameAsDbfread(kShared + "/testdata/dbf/" + name + ".dbf");

    CDatabase db;
    ASSERT_EQ(db.Open((kShared + "/testdata/dbf/people.dbf").c_str()), 1);
    EXPECT_EQ(db.RecCount(), 3u);
    db.Go(3);
    EXPECT_EQ(db.Deleted(), 1);
    EXPECT_EQ(text(db, "NAME"), "Deleted Guy");
    EXPECT_EQ(number(db, "BIRTHDATE"), 19791222);
    // A Visual FoxPro memo field is read as its block number.
    ASSERT_EQ(db.Open((kShared + "/testdata/dbf/memotest.dbf").c_str()), 1);
    db.Go(2);
    EXPECT_EQ(number(db, "MEMO"), 2);
    ASSERT_EQ(db.Open((kShared + "/testdata/dbf/corrupt_too_long.dbf").c_str()), 1);
    EXPECT_EQ(db.RecCount(), 10u);
    ASSERT_EQ(db.Open((kShared + "/testdata/dbf/edit.dbf").c_str()), 1);
    EXPECT_EQ(db.RecCount(), 663u);
    db.Bottom();
    EXPECT_EQ(db.RecNo(), 663u);
    db.Close();
    EXPECT_THAT(boxes.boxes(), IsEmpty());
}

TEST_F(DbfPeerTest, ReadsTablesWrittenByPythonDbf) {
    std::string file = sandbox.path("py.dbf").string();
    CommandResult made = runPython(sandbox, R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'name C(10); price N(7,2); born D; ok L; note M', dbf_type='db3')
t.open(dbf.READ_WRITE)
t.append(('Alice', 3.5, dbf.Date(2020, 1, 2), True, 'first memo'))
t.append(('Bob', -12.25, None, False, ''))
t.append(('gone', 1, None, None, 'second memo'))
dbf.delete(t[2])
t.close()
)",
                                   {file});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    expectSameAsDbfread(file);

    CDatabase db;
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(text(db, "NAME"), "Alice");
    EXPECT_EQ(text(db, "PRICE"), "   3.50");
    EXPECT_EQ(number(db, "PRICE"), 3);
    EXPECT_EQ(text(db, "BORN"), "20200102");
    EXPECT_EQ(text(db, "OK"), "T");
    EXPECT_EQ(number(db, "NOTE"), 1);  // a dBASE III memo reference is text
    db.Go(2);
    EXPECT_EQ(text(db, "NAME"), "Bob");
    EXPECT_EQ(number(db, "PRICE"), -12);
    EXPECT_EQ(text(db, "BORN"), "");
    db.Go(3);
    EXPECT_EQ(db.Deleted(), 1);
    EXPECT_EQ(db.Replace("NOTE", "x"), 0);  // memo references are never written
    db.Close();
}

TEST_F(DbfPeerTest, ReadsTablesWrittenByShapelib) {
    if (!qx::test::havePeer("/usr/bin/dbfcreate") || !qx::test::havePeer("/usr/bin/dbfadd"))
        return;
    std::string file = sandbox.path("shp.dbf").string();
    std::string q = qx::test::shellQuote(file);
    for (std::string command : {"dbfcreate " + q + " -s name 12 -n amount 9 3 -n count 5 0",
                                "dbfadd " + q + " 'Main street' 12.5 7", "dbfadd " + q + " '' -0.125 -3"}) {
        CommandResult result = qx::test::runCommand(command);
        ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.output;
    }
    expectSameAsDbfread(file);
    CDatabase db;
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(db.RecCount(), 2u);
    EXPECT_EQ(text(db, "name"), "Main street");
    EXPECT_EQ(text(db, "AMOUNT"), "   12.500");
    EXPECT_EQ(number(db, "COUNT"), 7);
    db.Go(2);
    EXPECT_EQ(text(db, "NAME"), "");
    EXPECT_EQ(number(db, "AMOUNT"), 0);
    EXPECT_EQ(number(db, "COUNT"), -3);
    db.Close();
}

TEST_F(DbfPeerTest, TablesWeWriteAreReadRightByPeers) {
    std::string file = sandbox.path("ours.dbf").string();
    FIELD4INFO fields[] = {{"NAME", 'C', 12, 0},
                           {"AMOUNT", 'N', 8, 2},
                           {"DAY", 'D', 8, 0},
                           {"OK", 'L', 1, 0},
                           {nullptr, 0, 0, 0}};
    CDatabase db;
    ASSERT_EQ(db.Create(file.c_str(), fields), 1);
    struct Row {
        const char* name;
        int amount;
        const char* day;
        int ok;
    };
    for (Row row :
         {Row{"Smith", 42, "20260101", 1}, Row{"gone", -7, "", 0}, Row{"  Lee", 12345, "19991231", 0}}) {
        ASSERT_EQ(db.Append(), 1);
        EXPECT_EQ(db.Replace("NAME", row.name), 1);
        EXPECT_EQ(db.Replace("AMOUNT", row.amount), 1);
        EXPECT_EQ(db.Replace("DAY", row.day), 1);
        EXPECT_EQ(db.Replace("OK", row.ok), 1);
    }
    db.Go(2);
    db.Delete();
    db.Close();
    EXPECT_THAT(boxes.boxes(), IsEmpty());

    if (qx::test::havePeer("/usr/bin/dbfdump")) {
        CommandResult dump = qx::test::runCommand("dbfdump -r " + qx::test::shellQuote(file));
        EXPECT_EQ(dump.exitCode, 0);
        EXPECT_THAT(dump.output, HasSubstr("Smith"));
        EXPECT_THAT(dump.output, HasSubstr("42.00"));
        EXPECT_THAT(dump.output, HasSubstr("12345.00"));
        EXPECT_THAT(dump.output, HasSubstr("(DELETED)"));
    }
    CommandResult peer = runPython(sandbox, R"(
import sys, dbf
t = dbf.Table(sys.argv[1])
t.open(dbf.READ_ONLY)
for r in t:
    print(dbf.is_deleted(r), repr(r.name), r.amount, r.day, r.ok)
t.close()
)",
                                   {file});
    EXPECT_EQ(peer.exitCode, 0) << peer.output;
    EXPECT_EQ(peer.output,
              "False 'Smith       ' 42.0 2026-01-01 True\n"
              "True 'gone        ' -7.0 None False\n"
              "False '  Lee       ' 12345.0 1999-12-31 False\n");
    expectSameAsDbfread(file);
}

}  // namespace
