#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DbfTestSupport.h"
#include "Sandbox.h"
#include "qxclass/CDatabase.h"
#include "qxclass/DbfSettings.h"

namespace {

using qx::test::ErrorBoxRecorder;
using qx::test::rawTable;
using qx::test::Sandbox;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class CDatabaseTest : public ::testing::Test {
protected:
    // NAME C(8), QTY N(4), records: "ab", "  word  ", blanks only, "b" (deleted), quantities 1, 42, "*", -7.
    std::string people() {
        return sandbox
            .file("people.dbf", rawTable({{"NAME", 'C', 8}, {"QTY", 'N', 4}},
                                         {rec(' ', "ab", "1"), rec(' ', "  word", "42"), rec(' ', "", "*"),
                                          rec('*', "b", "-7")}))
            .string();
    }

    // A record of people(): the name left-justified in 8 bytes, the quantity right-justified in 4.
    static std::string rec(char flag, std::string name, std::string qty) {
        name.resize(8, ' ');
        return flag + name + std::string(4 - qty.size(), ' ') + qty;
    }

    // The bytes of record `n` as the file holds them now.
    std::string storedRecord(const std::string& file, unsigned n, std::size_t headerLength = 97,
                             std::size_t recordLength = 13) {
        return qx::test::readFile(file).substr(headerLength + (n - 1) * recordLength, recordLength);
    }

    Sandbox sandbox;
    ErrorBoxRecorder boxes;
    CDatabase db;
};

TEST_F(CDatabaseTest, OpenOfAMissingFileFailsSilentlyAndALaterOpenWorks) {
    EXPECT_EQ(db.Open(sandbox.path("missing.dbf").string().c_str()), 0);
    EXPECT_EQ(db.RecCount(), 0u);
    EXPECT_EQ(db.IsField("NAME"), 0);
    EXPECT_THAT(boxes.boxes(), IsEmpty());
    ASSERT_EQ(db.Open(people().c_str()), 1);
    EXPECT_EQ(db.RecCount(), 4u);
    EXPECT_EQ(db.RecNo(), 1u);
}

TEST_F(CDatabaseTest, OpenAddsTheDbfExtensionToANameWithout) {
    people();
    EXPECT_EQ(db.Open(sandbox.path("people").string().c_str()), 1);
    EXPECT_EQ(db.Open(sandbox.path("people.txt").string().c_str()), 0);
}

TEST_F(CDatabaseTest, SecondOpenReplacesTheFieldCacheOfTheFirst) {
    ASSERT_EQ(db.Open(people().c_str()), 1);
    std::string codes = sandbox.file("codes.dbf", rawTable({{"CODE", 'C', 20}}, {" x"})).string();
    ASSERT_EQ(db.Open(codes.c_str()), 1);
    EXPECT_EQ(db.IsField("NAME"), 0);
    EXPECT_EQ(db.IsField("code"), 1);
    EXPECT_EQ(db.FieldLength("CODE"), 20u);
    EXPECT_EQ(db.FieldCount(), 1u);
    EXPECT_STREQ(db.Fieldname(1), "CODE");
    EXPECT_STREQ(db.Fieldname(2), "");
    EXPECT_STREQ(db.Fieldname(0), "");
}

TEST_F(CDatabaseTest, ReadTextCutsTrailingBlanksOnly) {
    ASSERT_EQ(db.Open(people().c_str()), 1);
    char text[16];
    db.Go(2);
    ASSERT_EQ(db.Read("NAME", text, sizeof text), 1);
    EXPECT_STREQ(text, "  word");
    db.Go(3);
    ASSERT_EQ(db.Read("name", text, sizeof text), 1);
    EXPECT_STREQ(text, "");
}

TEST_F(CDatabaseTest, ReadOfAnUnknownFieldLeavesTheCallersValuesAlone) {
    ASSERT_EQ(db.Open(people().c_str()), 1);
    char text[16] = "sentinel";
    int number = 77;
    EXPECT_EQ(db.Read("NOPE", text, sizeof text), 0);
    EXPECT_EQ(db.Read("NAMELONGERTHANANY", number), 0);
    EXPECT_STREQ(text, "sentinel");
    EXPECT_EQ(number, 77);
    EXPECT_EQ(db.FieldLength("NOPE"), 0u);
    EXPECT_EQ(db.ReadField(0, number), 0);
    EXPECT_EQ(db.ReadField(db.FieldCount() + 1, number), 0);
    EXPECT_EQ(number, 77);
}

TEST_F(CDatabaseTest, ReadIntoASmallBufferCutsTheTextAndNeverWritesPastIt) {
    ASSERT_EQ(db.Open(people().c_str()), 1);
    db.Go(2);
    char area[12];
    std::memset(area, '#', sizeof area);
    ASSERT_EQ(db.Read("NAME", area, 4), 1);
    EXPECT_EQ(std::string(area, sizeof area), std::string("  w\0########", 12));
    std::memset(area, '#', sizeof area);
    EXPECT_EQ(db.Read("NAME", area, 0), 1);
    EXPECT_EQ(area[0], '#');
}

TEST_F(CDatabaseTest, ReadIntegerTreatsBlanksAndTheOverflowMarkAsZero) {
    ASSERT_EQ(db.Open(people().c_str()), 1);
    int values[4] = {};
    for (unsigned n = 1; n <= 4; ++n) {
        db.Go(n);
        ASSERT_EQ(db.Read("QTY", values[n - 1]), 1);
    }
    EXPECT_THAT(values, ElementsAre(1, 42, 0, -7));
    unsigned qty = 0;
    for (unsigned f = 1; f <= db.FieldCount(); ++f)
        if (std::string(db.Fieldname(f)) == "QTY")
            qty = f;
    db.Go(4);
    ASSERT_EQ(db.ReadField(qty, values[0]), 1);  // by number as by name
    EXPECT_EQ(values[0], -7);
    int name = 5;
    db.Go(1);
    EXPECT_EQ(db.Read("NAME", name), 1);  // "ab": no digits
    EXPECT_EQ(name, 0);
}

TEST_F(CDatabaseTest, FindStartsAtTheCurrentRecordAndEndsOnTheLast) {
    std::string file =
        sandbox
            .file("k.dbf", rawTable({{"K", 'C', 3}, {"N", 'N', 2}}, {" a   1", " b   2", " c   3", " b   2"}))
            .string();
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(db.Find("K", "b"), 2u);
    EXPECT_EQ(db.Find("K", "b"), 2u);  // a match on the current record does not move
    db.Go(3);
    EXPECT_EQ(db.Find("K", "b"), 4u);
    db.Top();
    EXPECT_EQ(db.Find("K", "zz"), 0u);
    EXPECT_EQ(db.RecNo(), 4u);
    db.Top();
    EXPECT_EQ(db.Find("N", 3), 3u);
    EXPECT_EQ(db.Find("N", 9), 0u);
    EXPECT_EQ(db.Find("NOPE", "a"), 0u);
    EXPECT_THAT(boxes.boxes(), IsEmpty());
}

TEST_F(CDatabaseTest, PositioningFailuresShowABoxAndKeepTheRecord) {
    ASSERT_EQ(db.Open(people().c_str()), 1);
    db.Go(2);
    db.Go(5);
    db.Go(0);
    EXPECT_EQ(db.RecNo(), 2u);
    char text[16];
    db.Read("NAME", text, sizeof text);
    EXPECT_STREQ(text, "  word");
    EXPECT_THAT(boxes.boxes(), ElementsAre("Error: CDatabase::Go", "Error: CDatabase::Go"));
    db.Close();
    boxes.clear();
    db.Top();
    db.Bottom();
    EXPECT_THAT(boxes.boxes(), ElementsAre("Error: CDatabase::Top", "Error: CDatabase::Bottom"));
}

TEST_F(CDatabaseTest, SkipStopsAtTheFirstAndTheLastRecord) {
    ASSERT_EQ(db.Open(people().c_str()), 1);
    EXPECT_EQ(db.Skip(2), 3u);
    EXPECT_EQ(db.Skip(5), 4u);
    EXPECT_EQ(db.Skip(1), 4u);
    EXPECT_EQ(db.Skip(-9), 1u);
    EXPECT_EQ(db.Skip(-1), 1u);
}

TEST_F(CDatabaseTest, ReplaceWithoutFlushingIsWrittenByFlush) {
    std::string file = people();
    ASSERT_EQ(db.Open(file.c_str()), 1);
    db.SetFlush(0);
    ASSERT_EQ(db.Replace("QTY", 9), 1);
    EXPECT_EQ(storedRecord(file, 1), rec(' ', "ab", "1"));
    db.Flush();
    EXPECT_EQ(storedRecord(file, 1), rec(' ', "ab", "9"));
    ASSERT_EQ(db.Replace("NAME", "moved"), 1);
    db.Go(2);  // leaving the record writes its change
    EXPECT_EQ(storedRecord(file, 1), rec(' ', "moved", "9"));
}

TEST_F(CDatabaseTest, ReplaceRefusesNumbersTooWideAndUnknownFields) {
    std::string file = people();
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(db.Replace("QTY", 12345), 0);
    EXPECT_EQ(db.Replace("QTY", -1000), 0);
    EXPECT_EQ(db.Replace("NOPE", 1), 0);  // an unknown field is no error worth a box
    EXPECT_EQ(storedRecord(file, 1), rec(' ', "ab", "1"));
    EXPECT_EQ(db.Replace("QTY", -999), 1);
    EXPECT_EQ(db.Replace("NAME", "a name longer than eight"), 1);
    EXPECT_EQ(storedRecord(file, 1), rec(' ', "a name l", "-999"));
    EXPECT_EQ(db.Replace("QTY", " 12 "), 1);
    EXPECT_EQ(db.Replace("QTY", "12345"), 0);
    EXPECT_EQ(storedRecord(file, 1), rec(' ', "a name l", "12"));
    EXPECT_EQ(boxes.boxes(), std::vector<std::string>(3, "Error: CDatabase::Replace"));
}

TEST_F(CDatabaseTest, AScanSeesWhatItWroteItselfAndRecordsAppendedMeanwhile) {
    std::string file = people();
    ASSERT_EQ(db.Open(file.c_str()), 1);
    CDatabase other;
    ASSERT_EQ(other.Open(file.c_str()), 1);
    EXPECT_EQ(db.Skip(1), 2u);
    ASSERT_EQ(db.Replace("NAME", "changed"), 1);
    ASSERT_EQ(other.Append(), 1);
    ASSERT_EQ(other.Replace("NAME", "appended"), 1);
    char text[16];
    std::vector<std::string> names;
    for (unsigned n = db.Skip(1); names.size() < 10; n = db.Skip(1)) {
        db.Read("NAME", text, sizeof text);
        names.push_back(std::to_string(n) + ":" + text);
        if (n == db.RecCount())
            break;
    }
    EXPECT_THAT(names, ElementsAre("3:", "4:b", "5:appended"));
    db.Go(2);
    db.Read("NAME", text, sizeof text);
    EXPECT_STREQ(text, "changed");
    other.Close();
}

TEST_F(CDatabaseTest, CopyRecordCopiesFieldsUntrimmedButNotTheDeletedMark) {
    std::string file = people();
    ASSERT_EQ(db.Open(file.c_str()), 1);
    db.CopyRecord(2, 4);
    EXPECT_EQ(storedRecord(file, 4), rec('*', "  word", "42"));
    EXPECT_EQ(db.RecNo(), 4u);
    db.CopyRecord(9, 1);
    db.CopyRecord(1, 9);
    EXPECT_EQ(storedRecord(file, 1), rec(' ', "ab", "1"));
    EXPECT_THAT(boxes.boxes(), ElementsAre("Error: CDatabase::Go", "Error: CDatabase::Go"));
}

TEST_F(CDatabaseTest, AppendDeleteRecallAndPackKeepTheFileWellFormed) {
    std::string file = people();
    ASSERT_EQ(db.Open(file.c_str()), 1);
    ASSERT_EQ(db.Append(), 1);
    EXPECT_EQ(db.RecNo(), 5u);
    EXPECT_EQ(db.RecCount(), 5u);
    ASSERT_EQ(db.Replace("NAME", "new"), 1);
    EXPECT_EQ(storedRecord(file, 5), rec(' ', "new", ""));
    EXPECT_EQ(qx::test::readFile(file).back(), '\x1A');
    db.Go(1);
    db.Delete();
    EXPECT_EQ(db.Deleted(), 1);
    EXPECT_EQ(storedRecord(file, 1)[0], '*');
    db.Recall();
    EXPECT_EQ(storedRecord(file, 1)[0], ' ');
    db.Go(2);
    db.Blank();
    EXPECT_EQ(storedRecord(file, 2), std::string(13, ' '));
    db.Pack();  // removes record 4, deleted from the start
    EXPECT_EQ(db.RecCount(), 4u);
    EXPECT_EQ(db.RecNo(), 1u);
    std::string bytes = qx::test::readFile(file);
    EXPECT_EQ(bytes.size(), 97u + 4 * 13 + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(storedRecord(file, 4), rec(' ', "new", ""));
    EXPECT_THAT(boxes.boxes(), IsEmpty());
}

TEST_F(CDatabaseTest, CreateMakesAnEmptyTableOrReportsWhyNot) {
    std::string file = sandbox.file("made.dbf", "old contents").string();
    FIELD4INFO fields[] = {
        {"NAME", 'C', 10, 0}, {"amount", 'N', 8, 2}, {"DAY", 'D', 0, 0}, {nullptr, 0, 0, 0}};
    ASSERT_EQ(db.Create(file.c_str(), fields), 1);
    EXPECT_EQ(db.RecCount(), 0u);
    EXPECT_EQ(db.RecNo(), 0u);
    EXPECT_STREQ(db.Fieldname(2), "AMOUNT");
    EXPECT_EQ(db.FieldLength("DAY"), 8u);
    EXPECT_EQ(db.Replace("NAME", "x"), 0);  // no current record yet
    EXPECT_THAT(boxes.boxes(), IsEmpty());

    FIELD4INFO memo[] = {{"NOTE", 'M', 10, 0}, {nullptr, 0, 0, 0}};
    FIELD4INFO twice[] = {{"A", 'C', 1, 0}, {"a", 'C', 1, 0}, {nullptr, 0, 0, 0}};
    FIELD4INFO badName[] = {{"1ST", 'C', 1, 0}, {nullptr, 0, 0, 0}};
    FIELD4INFO none[] = {{"", 'C', 1, 0}};
    EXPECT_EQ(db.Create(file.c_str(), memo), 0);
    EXPECT_EQ(db.Create(file.c_str(), twice), 0);
    EXPECT_EQ(db.Create(file.c_str(), badName), 0);
    EXPECT_EQ(db.Create(file.c_str(), none), 0);
    EXPECT_EQ(boxes.boxes().size(), 4u);
    EXPECT_EQ(boxes.boxes()[0], "Error: CDatabase::Create");
    // None of the invalid lists cost the table that was there.
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_STREQ(db.Fieldname(2), "AMOUNT");
}

TEST_F(CDatabaseTest, CreateStatesTheCodePageOfItsText) {
    std::string file = sandbox.path("coded.dbf").string();
    FIELD4INFO fields[] = {{"NAME", 'C', 10, 0}, {nullptr, 0, 0, 0}};
    ASSERT_EQ(db.Create(file.c_str(), fields), 1);
    db.Close();
    EXPECT_EQ(qx::test::readFile(file)[29], '\x03');  // Windows-1252, the default

    unsigned saved = qx::dbf::tableCodePage();
    qx::dbf::setTableCodePage(1251);
    EXPECT_EQ(db.Create(file.c_str(), fields), 1);
    qx::dbf::setTableCodePage(saved);
    db.Close();
    EXPECT_EQ(qx::test::readFile(file)[29], '\xC9');
}

TEST_F(CDatabaseTest, CopiesShareTheTableAndMayBothBeClosed) {
    ASSERT_EQ(db.Open(people().c_str()), 1);
    CDatabase copy(db);
    EXPECT_EQ(copy.Close(), 1);
    db.Go(2);
    char text[16];
    ASSERT_EQ(db.Read("NAME", text, sizeof text), 1);
    EXPECT_STREQ(text, "  word");
    EXPECT_EQ(db.Close(), 1);
    EXPECT_EQ(copy.Close(), 1);
}

TEST_F(CDatabaseTest, ATableWithAProductionIndexIsOnlyRead) {
    std::string bytes = rawTable({{"NAME", 'C', 8}, {"QTY", 'N', 4}}, {rec(' ', "ab", "1")});
    bytes[28] = 0x01;
    std::string file = sandbox.file("indexed.dbf", bytes).string();
    ASSERT_EQ(db.Open(file.c_str()), 1);
    EXPECT_EQ(db.Replace("QTY", 2), 0);
    EXPECT_EQ(db.Append(), 0);
    db.Pack();
    EXPECT_EQ(qx::test::readFile(file), bytes);
}

// Other programs of the installation call the class through its virtual table, so the slots must stay
// where they are. In the Itanium C++ ABI a pointer to a virtual member holds 1 + the slot's byte offset.
template <typename Member>
std::ptrdiff_t slotOf(Member member) {
    struct Representation {
        std::ptrdiff_t pointer;
        std::ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(Member) == sizeof(Representation));
    std::memcpy(&representation, &member, sizeof representation);
    return (representation.pointer - 1) / std::ptrdiff_t(sizeof(void*));
}

TEST(CDatabaseLayoutTest, VirtualOperationsKeepTheirSlotOrder) {
    using C = CDatabase;
    EXPECT_EQ(slotOf(&C::Open), 0);
    EXPECT_EQ(slotOf(&C::Create), 1);
    EXPECT_EQ(slotOf(&C::Close), 2);
    EXPECT_EQ(slotOf(&C::Top), 3);
    EXPECT_EQ(slotOf(&C::Bottom), 4);
    EXPECT_EQ(slotOf(&C::Go), 5);
    EXPECT_EQ(slotOf(&C::Skip), 6);
    EXPECT_EQ(slotOf(&C::RecNo), 7);
    EXPECT_EQ(slotOf(&C::RecCount), 8);
    EXPECT_EQ(slotOf(&C::Lock), 9);
    EXPECT_EQ(slotOf(&C::Unlock), 10);
    EXPECT_EQ(slotOf(&C::SetFlush), 11);
    EXPECT_EQ(slotOf(&C::Flush), 12);
    EXPECT_EQ(slotOf(&C::IsField), 13);
    EXPECT_EQ(slotOf(static_cast<unsigned (C::*)(const char*, int)>(&C::Find)), 14);
    EXPECT_EQ(slotOf(static_cast<unsigned (C::*)(const char*, const char*)>(&C::Find)), 15);
    EXPECT_EQ(slotOf(static_cast<int (C::*)(const char*, int&)>(&C::Read)), 16);
    EXPECT_EQ(slotOf(static_cast<int (C::*)(const char*, char*, std::size_t)>(&C::Read)), 17);
    EXPECT_EQ(slotOf(static_cast<int (C::*)(const char*, int)>(&C::Replace)), 18);
    EXPECT_EQ(slotOf(static_cast<int (C::*)(const char*, const char*)>(&C::Replace)), 19);
    EXPECT_EQ(slotOf(&C::Append), 20);
    EXPECT_EQ(slotOf(&C::Blank), 21);
    EXPECT_EQ(slotOf(&C::Delete), 22);
    EXPECT_EQ(slotOf(&C::Recall), 23);
    EXPECT_EQ(slotOf(&C::Pack), 24);
    EXPECT_EQ(slotOf(&C::CopyRecord), 25);
}

}  // namespace
