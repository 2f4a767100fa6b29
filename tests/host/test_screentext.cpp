#include "host/screentext.h"

#include <gtest/gtest.h>

using namespace host;

namespace {
QString q(const char16_t* s) { return QString::fromUtf16(s); }
} // namespace

TEST(AddXXSuffix, MarksCodesAndLeavesBlankTextAlone)
{
    EXPECT_EQ(AddXXSuffix(q(u"YQ")), q(u"YQ XX"));
    EXPECT_EQ(AddXXSuffix(QString()), QString());
    EXPECT_EQ(AddXXSuffix(q(u"  ")), q(u"  "));
    EXPECT_EQ(AddXXSuffix(q(u"\t\x01")), q(u"\t\x01"));
    EXPECT_EQ(AddXXSuffix(q(u" UH")), q(u" UH XX")); // untrimmed
}

TEST(MonthNumber, ExactUpperCaseAbbreviationsOnly)
{
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(MonthNumber(QString::fromUtf16(MonthNames[m - 1])), m);
    for (const char16_t* s : {u"Mar", u"MARCH", u" MAR", u"MAR ", u"", u"XYZ", u"mar"})
        EXPECT_EQ(MonthNumber(q(s)), 0) << QString::fromUtf16(s).toStdString();
}

TEST(EncodeDate, CountsDaysFromTheLastDaysOf1899)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1899, 12, 31), 1);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(1900, 3, 1), 61); // 1900 was no leap year
    EXPECT_EQ(EncodeDate(2007, 3, 12), 39153);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
    EXPECT_EQ(EncodeDate(2007, 2, 29), 0);
    EXPECT_EQ(EncodeDate(2007, 13, 1), 0);
}

struct DateCase {
    const char16_t* text;
    int expected; // day count, 0 for none
};

class DecodeScreenDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(DecodeScreenDateTest, Decodes)
{
    EXPECT_EQ(DecodeScreenDate(q(GetParam().text)), GetParam().expected)
        << QString::fromUtf16(GetParam().text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeScreenDateTest,
    testing::Values(DateCase{u"12MAR07", EncodeDate(2007, 3, 12)},
                    DateCase{u"29FEB08", EncodeDate(2008, 2, 29)},
                    DateCase{u"01JAN99", EncodeDate(2099, 1, 1)},
                    DateCase{u"31DEC26", EncodeDate(2026, 12, 31)},
                    DateCase{u" 5MAR07", EncodeDate(2007, 3, 5)},     // leading blank
                    DateCase{u"12MAR07XYZ", EncodeDate(2007, 3, 12)}, // rest ignored
                    DateCase{u"12MAR7", EncodeDate(207, 3, 12)},      // year 207
                    DateCase{u"12MAR", EncodeDate(20, 3, 12)},        // year 20
                    DateCase{u"12mar07", 0}, DateCase{u"", 0}, DateCase{u"   ", 0},
                    DateCase{u"31JUN07", 0}, DateCase{u"29FEB07", 0},
                    DateCase{u"00MAR07", 0}, DateCase{u"5 MAR07", 0}, // blank after digits
                    DateCase{u"12MAR 7", 0}, DateCase{u"AAMAR07", 0},
                    DateCase{u"12XXX07", 0}, DateCase{u"-1MAR07", 0}));

TEST(DecodeScreenDate, ShortYearsLieBeforeDayZero)
{
    EXPECT_LT(DecodeScreenDate(q(u"12MAR7")), 0);
    EXPECT_LT(DecodeScreenDate(q(u"12MAR")), 0);
}

struct FieldCase {
    const char16_t* text;
    int n;
    char16_t delimiter;
    const char16_t* expected;
};

class GetFieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(GetFieldTest, TakesTheNthDelimitedField)
{
    const FieldCase& c = GetParam();
    EXPECT_EQ(GetField(q(c.text), c.n, QChar(c.delimiter)), q(c.expected))
        << QString::fromUtf16(c.text).toStdString() << " field " << c.n;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetFieldTest,
    testing::Values(FieldCase{u"EUR 12.50YQ ", 1, u' ', u"EUR"},
                    FieldCase{u"EUR 12.50YQ ", 2, u' ', u"12.50YQ"},
                    FieldCase{u"EUR 12.50YQ ", 3, u' ', u""},
                    FieldCase{u"EUR 12.50YQ", 2, u' ', u""}, // no delimiter after it
                    FieldCase{u"A  B ", 1, u' ', u"A"}, FieldCase{u"A  B ", 2, u' ', u""},
                    FieldCase{u"A  B ", 3, u' ', u"B"}, FieldCase{u"A  B ", 4, u' ', u""},
                    FieldCase{u"A B ", 0, u' ', u""}, FieldCase{u"A B ", -1, u' ', u""},
                    FieldCase{u"ABC", 1, u' ', u""}, FieldCase{u"", 1, u' ', u""},
                    FieldCase{u"a;b;c;", 3, u';', u"c"}, FieldCase{u" x ", 1, u' ', u""},
                    FieldCase{u" x ", 2, u' ', u"x"}));

TEST(TrimText, RemovesBlanksAndControlCharactersAtBothEnds)
{
    EXPECT_EQ(trimText(q(u" \t\x01" u"A B\r\n ")), q(u"A B"));
    EXPECT_EQ(trimText(q(u"   ")), QString());
    EXPECT_TRUE(isBlank(q(u" \t\r\n\x1f")));
    EXPECT_FALSE(isBlank(q(u" .")));
}

TEST(Columns, CountsFromOneAndStopsAtTheLineEnd)
{
    const QString line = q(u"EUR  500.00");
    EXPECT_EQ(columns(line, 1, 3), q(u"EUR"));
    EXPECT_EQ(columns(line, 4, 12), q(u"  500.00"));
    EXPECT_EQ(columns(line, 12, 20), QString());
    EXPECT_EQ(columns(line, 11, 20), q(u"0"));
    EXPECT_EQ(columns(QString(), 1, 3), QString());
}
