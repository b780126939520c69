#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
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

// Every record as dbfread sees it in raw mode: '-' or '*', then each field's bytes up to a NUL with
// trailing blanks cut (what Read hands out; a 4-byte memo reference as its block number),
// hex-encoded and joined by '|'. Live records first.
constexpr const char* kDbfreadDump = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], raw=True, ignore_missing_memofile=True, load=False)
def text(field, value):
    if field.type in 'MGP' and field.length == 4:
        block = int.from_bytes(value, 'little')
        return str(block).encode() if block else b''
    return value.split(b'\0')[0].rstrip(b' ')
for mark, records in (('-', t.records), ('*', t.deleted)):
    for r in records:
        print(mark + '|'.join(text(f, v).hex() for f, v in zip(t.fields, r.values())))
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
    void SetUp() override { QX_SKIP_WITHOUT_LINUX_PEERS(); }

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

TEST_F(DbfPeerTest, ReadsTablesOfEveryLayoutTheirWritersMake) {
    // dBASE III, Clipper, FoxPro and Visual FoxPro headers, with a memo field, a deleted record,
    // bytes of a Windows code page and a value that fills its field.
    for (const char* type : {"db3", "clp", "fp", "vfp"}) {
        std::string file = sandbox.path(std::string(type) + ".dbf").string();
        CommandResult made = runPython(sandbox, R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'name C(12); qty N(5,0); price N(8,2); day D; ok L; note M', dbf_type=sys.argv[2],
              codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(('M\xfcller', 12345, -0.5, dbf.Date(2026, 12, 7), True, 'memo text'))
t.append(('gone', 1, 1, None, False, ''))
t.append(('twelve chars', None, None, None, None, ''))
dbf.delete(t[1])
t.close()
)",
                                       {file, type});
        ASSERT_EQ(made.exitCode, 0) << made.output;
        expectSameAsDbfread(file);
        CDatabase db;
        ASSERT_EQ(db.Open(file.c_str()), 1);
        EXPECT_EQ(text(db, "NAME"), "M\xfcller") << type;
        EXPECT_EQ(number(db, "QTY"), 12345);
        EXPECT_EQ(number(db, "DAY"), 20261207);
        db.Go(2);
        EXPECT_EQ(db.Deleted(), 1);
        db.Go(3);
        EXPECT_EQ(text(db, "NAME"), "twelve chars");
        db.Close();
    }
    EXPECT_THAT(boxes.boxes(), IsEmpty());
}

TEST_F(DbfPeerTest, AHeaderCountingMoreRecordsThanTheFileHoldsReadsTheRecordsHeld) {
    // A table whose writer died between the header and the records.
    std::string file = sandbox
                           .file("cut.dbf", qx::test::rawTable({{"NAME", 'C', 5}, {"N", 'N', 3}},
                                                               {" first  1", " secnd  2"}, false, 10))
                           .string();
    CDatabase db;
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(db.RecCount(), 2u);
    db.Bottom();
    EXPECT_EQ(text(db, "NAME"), "secnd");
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
        const char* amount;
        const char* day;
        int ok;
    };
    for (Row row : {Row{"Smith", "42", "20260101", 1}, Row{"gone", "-7", "", 0},
                    Row{"  Lee", "12345", "19991231", 0}, Row{"blanked", "1", "20000101", 1}}) {
        ASSERT_EQ(db.Append(), 1);
        EXPECT_EQ(db.Replace("NAME", row.name), 1);
        EXPECT_EQ(db.Replace("AMOUNT", row.amount), 1);
        EXPECT_EQ(db.Replace("DAY", row.day), 1);
        EXPECT_EQ(db.Replace("OK", row.ok), 1);
    }
    db.Blank();
    ASSERT_EQ(db.Append(), 1);
    EXPECT_EQ(db.Replace("NAME", "last"), 1);
    EXPECT_EQ(db.Replace("AMOUNT", "-0.5"), 1);
    db.Go(2);
    db.Delete();
    db.Pack();
    EXPECT_EQ(db.RecCount(), 4u);
    ASSERT_EQ(db.Append(), 1);
    EXPECT_EQ(db.Replace("NAME", "deleted"), 1);
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
              "False '  Lee       ' 12345.0 1999-12-31 False\n"
              "False '            ' None None None\n"
              "False 'last        ' -0.5 None None\n"
              "True 'deleted     ' None None None\n");
    expectSameAsDbfread(file);

    // GDAL reads the live records with their types (and cuts leading blanks of texts).
    if (qx::test::havePeer("/usr/bin/ogrinfo")) {
        CommandResult ogr = qx::test::runCommand("ogrinfo -ro -al -q " + qx::test::shellQuote(file));
        EXPECT_EQ(ogr.exitCode, 0) << ogr.output;
        std::string values;
        std::istringstream lines(ogr.output);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("  ", 0) == 0 && line.find(") = ") != std::string::npos)
                values += line.substr(2) + "\n";
        EXPECT_EQ(values,
                  "NAME (String) = Smith\nAMOUNT (Real) = 42.00\nDAY (Date) = 2026/01/01\nOK (String) = T\n"
                  "NAME (String) = Lee\nAMOUNT (Real) = 12345.00\nDAY (Date) = 1999/12/31\nOK (String) = F\n"
                  "NAME (String) = (null)\nAMOUNT (Real) = (null)\nOK (String) = (null)\n"
                  "NAME (String) = last\nAMOUNT (Real) = -0.50\nOK (String) = (null)\n");
    }
}

}  // namespace
