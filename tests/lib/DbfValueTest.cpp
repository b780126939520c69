#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <limits>
#include <string>

#include "DbfValue.h"
#include "qxclass/CDatabase.h"

namespace {

using qx::dbf::formatNumber;
using qx::dbf::storedBinaryToInt;
using qx::dbf::storedTextToInt;

TEST(DbfValueTest, IntegerOfStoredTextAcceptsBlanksSignsAndFractions) {
    EXPECT_EQ(storedTextToInt("        42"), 42);
    EXPECT_EQ(storedTextToInt("  -17"), -17);
    EXPECT_EQ(storedTextToInt("+5"), 5);
    EXPECT_EQ(storedTextToInt("0091"), 91);  // leading zeros stay decimal
    EXPECT_EQ(storedTextToInt("  12.75"), 12);
    EXPECT_EQ(storedTextToInt(" -12.75"), -12);  // cut toward zero, as a C cast does
    EXPECT_EQ(storedTextToInt("1.5E+03"), 1500);
    EXPECT_EQ(storedTextToInt("12AB"), 12);
    EXPECT_EQ(storedTextToInt("20260101"), 20260101);  // a date field read as a number
}

TEST(DbfValueTest, IntegerOfEmptyOrOverflowMarkedTextIsZero) {
    EXPECT_EQ(storedTextToInt(""), 0);
    EXPECT_EQ(storedTextToInt("     "), 0);
    EXPECT_EQ(storedTextToInt("*****"), 0);
    EXPECT_EQ(storedTextToInt("  1**"), 0);
    EXPECT_EQ(storedTextToInt("Smith"), 0);
    EXPECT_EQ(storedTextToInt(" - "), 0);
    EXPECT_EQ(storedTextToInt("."), 0);
}

TEST(DbfValueTest, IntegerBeyondThirtyTwoBitsIsClamped) {
    EXPECT_EQ(storedTextToInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(storedTextToInt("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(storedTextToInt("2147483648"), INT_MAX);
    EXPECT_EQ(storedTextToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(storedTextToInt("1e400"), INT_MAX);
}

TEST(DbfValueTest, BinaryIntegersAreLittleEndianAndSigned) {
    EXPECT_EQ(storedBinaryToInt(std::string("\x01\x00\x00\x00", 4)), 1);
    EXPECT_EQ(storedBinaryToInt(std::string("\xFB\xFF\xFF\xFF", 4)), -5);
    EXPECT_EQ(storedBinaryToInt(std::string("\xFF\xFF", 2)), -1);
    EXPECT_EQ(storedBinaryToInt(""), 0);
}

TEST(DbfValueTest, NumbersAreRightJustifiedWithTheDeclaredDecimals) {
    char field[8];
    auto formatted = [&](double value, unsigned width, unsigned decimals) -> std::string {
        std::memset(field, '#', sizeof field);
        if (!formatNumber(value, width, decimals, field))
            return "refused";
        return std::string(field, width);
    };
    EXPECT_EQ(formatted(42, 5, 0), "   42");
    EXPECT_EQ(formatted(7, 6, 2), "  7.00");
    EXPECT_EQ(formatted(-3.125, 6, 2), " -3.12");  // round half to even of the binary value
    EXPECT_EQ(formatted(-999, 4, 0), "-999");
    EXPECT_EQ(formatted(12345, 4, 0), "refused");
    EXPECT_EQ(formatted(-1000, 4, 0), "refused");
    EXPECT_EQ(formatted(99.5, 4, 2), "refused");
    EXPECT_EQ(formatted(std::numeric_limits<double>::infinity(), 8, 0), "refused");
    EXPECT_EQ(std::string(field, sizeof field), std::string(8, '#'));  // a refusal writes nothing
}

TEST(DbfValueTest, TrimBlanksCutsOnlyTrailingBlanks) {
    char word[] = "word  ";
    char inner[] = " a b ";
    char tab[] = "x\t ";
    char blanks[] = "   ";
    char empty[] = "";
    EXPECT_STREQ(TrimBlanks(word), "word");
    EXPECT_STREQ(TrimBlanks(inner), " a b");
    EXPECT_STREQ(TrimBlanks(tab), "x\t");
    EXPECT_STREQ(TrimBlanks(blanks), "");
    EXPECT_EQ(TrimBlanks(empty), empty);
    EXPECT_EQ(TrimBlanks(nullptr), nullptr);
}

}  // namespace
