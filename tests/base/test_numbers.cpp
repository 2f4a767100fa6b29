#include "base/numbers.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <limits>

using namespace base::numbers;

namespace {
QString q(const char16_t* s) { return QString::fromUtf16(s); }
} // namespace

struct MaskCase {
    double value;
    const char16_t* mask;
    const char16_t* expected;
};

class FormatMaskTest : public testing::TestWithParam<MaskCase> {};

TEST_P(FormatMaskTest, Writes)
{
    const MaskCase& c = GetParam();
    EXPECT_EQ(formatMask(c.value, q(c.mask)), q(c.expected))
        << c.value << " with " << QString::fromUtf16(c.mask).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    HalvesAwayFromZeroOnTheShortestForm, FormatMaskTest,
    testing::Values(MaskCase{2.675, u"0.00", u"2.68"}, MaskCase{1.005, u"0.00", u"1.01"},
                    MaskCase{-2.5, u"0", u"-3"}, MaskCase{2.5, u"0", u"3"},
                    MaskCase{0.125, u"0.00", u"0.13"}, MaskCase{-0.125, u"0.00", u"-0.13"},
                    MaskCase{2.665, u"0.00", u"2.67"}, MaskCase{2.6749999, u"0.00", u"2.67"},
                    MaskCase{9.995, u"0.00", u"10.00"}, MaskCase{99.5, u"0", u"100"},
                    MaskCase{0.49999999999999994, u"0", u"0"},
                    MaskCase{92.5, u"0.0000", u"92.5000"},
                    MaskCase{92.123456, u"0.0000", u"92.1235"},
                    MaskCase{0.0985, u"0.0000", u"0.0985"}));

INSTANTIATE_TEST_SUITE_P(
    Placeholders, FormatMaskTest,
    testing::Values(MaskCase{2.5, u"0.00", u"2.50"}, MaskCase{2575, u"0.00", u"2575.00"},
                    MaskCase{0, u"0.00", u"0.00"}, MaskCase{-0.001, u"0.00", u"0.00"},
                    MaskCase{-0.0, u"0", u"0"}, MaskCase{5, u"000", u"005"},
                    MaskCase{12345, u"0", u"12345"}, MaskCase{12345, u"00", u"12345"},
                    MaskCase{2.5, u"0.##", u"2.5"}, MaskCase{2, u"0.##", u"2"},
                    MaskCase{2.001, u"0.##", u"2"}, MaskCase{0.5, u"#.##", u".5"},
                    MaskCase{0, u"#", u""}, MaskCase{0, u"#0", u"0"},
                    MaskCase{2.5, u"0.0#", u"2.5"}, MaskCase{2.567, u"0.0#", u"2.57"},
                    MaskCase{1234.5, u"#,##0.00", u"1,234.50"},
                    MaskCase{12, u"#,##0.00", u"12.00"}, MaskCase{380, u"0", u"380"},
                    MaskCase{1e20, u"0", u"100000000000000000000"}));

INSTANTIATE_TEST_SUITE_P(
    LiteralsAsTheyStand, FormatMaskTest,
    testing::Values(MaskCase{12.5, u"0.00 RUB", u"12.50 RUB"},
                    MaskCase{12.5, u"RUB 0.00", u"RUB 12.50"},
                    MaskCase{-12.5, u"RUB 0.00", u"-RUB 12.50"},
                    MaskCase{12.5, u"X", u"X"}, MaskCase{12.5, u"0.00.0", u"12.50.0"},
                    MaskCase{3, u"[0]", u"[3]"}));

INSTANTIATE_TEST_SUITE_P(
    EmptyMaskIsTheGeneralForm, FormatMaskTest,
    testing::Values(MaskCase{2575.04, u"", u"2575.04"}, MaskCase{0.1, u"", u"0.1"},
                    MaskCase{1.0 / 3, u"", u"0.333333333333333"}, MaskCase{80, u"", u"80"},
                    MaskCase{-7, u"", u"-7"}, MaskCase{1e20, u"", u"1E20"},
                    MaskCase{1.5e-7, u"", u"1.5E-7"}, MaskCase{0.00001, u"", u"0.00001"},
                    MaskCase{123456789012345.0, u"", u"123456789012345"},
                    MaskCase{1e15, u"", u"1E15"}, MaskCase{0, u"", u"0"}));

TEST(FormatMask, NonFiniteValues)
{
    EXPECT_EQ(formatMask(std::numeric_limits<double>::quiet_NaN(), u"0.00"), q(u"NAN"));
    EXPECT_EQ(formatMask(std::numeric_limits<double>::infinity(), u"0.00"), q(u"INF"));
    EXPECT_EQ(formatMask(-std::numeric_limits<double>::infinity(), u"0.00"), q(u"-INF"));
}

TEST(FormatMask, IgnoresTheProcessLocale)
{
    // Russian regional settings write a decimal comma; they must change nothing here.
    QTemporaryDir locales;
    const int built = std::system(("localedef -i ru_RU -f UTF-8 " +
                                   locales.filePath(QStringLiteral("ru_RU.UTF-8")).toStdString() +
                                   " >/dev/null 2>&1")
                                      .c_str());
    ASSERT_EQ(built, 0) << "localedef could not build the ru_RU locale";
    setenv("LOCPATH", locales.path().toLocal8Bit().constData(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "ru_RU.UTF-8"), nullptr);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    EXPECT_STREQ(probe, "2,5") << "the locale is not in force";

    EXPECT_EQ(formatMask(2.675, u"0.00"), q(u"2.68"));
    EXPECT_EQ(formatMask(1234.5, u"#,##0.00"), q(u"1,234.50"));
    EXPECT_EQ(formatMask(1.0 / 3, u""), q(u"0.333333333333333"));
    EXPECT_EQ(formatMask(1e20, u""), q(u"1E20"));
    EXPECT_EQ(parseDecimal(u"12.5"), 12.5);
    EXPECT_EQ(parseDecimal(u"12,5"), std::nullopt);

    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
}

struct DecimalCase {
    const char16_t* text;
    std::optional<double> expected;
};

class ParseDecimalTest : public testing::TestWithParam<DecimalCase> {};

TEST_P(ParseDecimalTest, Parses)
{
    EXPECT_EQ(parseDecimal(q(GetParam().text)), GetParam().expected)
        << QString::fromUtf16(GetParam().text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDecimalTest,
    testing::Values(DecimalCase{u"12.50", 12.5}, DecimalCase{u"-3", -3.0},
                    DecimalCase{u"+3", 3.0}, DecimalCase{u" 92.5000 ", 92.5},
                    DecimalCase{u".5", 0.5}, DecimalCase{u"5.", 5.0},
                    DecimalCase{u"1E3", 1000.0}, DecimalCase{u"1.5e-2", 0.015},
                    DecimalCase{u"1e-400", 0.0}, DecimalCase{u"0.0000", 0.0},
                    DecimalCase{u"", std::nullopt}, DecimalCase{u" ", std::nullopt},
                    DecimalCase{u".", std::nullopt}, DecimalCase{u"-", std::nullopt},
                    DecimalCase{u"1.2.3", std::nullopt}, DecimalCase{u"12,50", std::nullopt},
                    DecimalCase{u"1E", std::nullopt}, DecimalCase{u"E2", std::nullopt},
                    DecimalCase{u"12X", std::nullopt}, DecimalCase{u"1e999", std::nullopt},
                    DecimalCase{u"0x10", std::nullopt}, DecimalCase{u"inf", std::nullopt},
                    DecimalCase{u"nan", std::nullopt}, DecimalCase{u"1 2", std::nullopt}));

struct IntegerCase {
    const char16_t* text;
    std::optional<int> expected;
};

class ParseIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIntegerTest, Parses)
{
    EXPECT_EQ(parseInteger(q(GetParam().text)), GetParam().expected)
        << QString::fromUtf16(GetParam().text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseIntegerTest,
    testing::Values(IntegerCase{u"001", 1}, IntegerCase{u" 5", 5}, IntegerCase{u"-12", -12},
                    IntegerCase{u"+7", 7}, IntegerCase{u"2147483647", 2147483647},
                    IntegerCase{u"-2147483648", -2147483647 - 1},
                    IntegerCase{u"2147483648", std::nullopt},
                    IntegerCase{u"99999999999999999999", std::nullopt},
                    IntegerCase{u"5 ", std::nullopt}, IntegerCase{u"", std::nullopt},
                    IntegerCase{u" ", std::nullopt}, IntegerCase{u"-", std::nullopt},
                    IntegerCase{u"1.0", std::nullopt}, IntegerCase{u"A1", std::nullopt}));
