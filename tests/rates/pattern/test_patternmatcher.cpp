// The matcher object: search, search again, matched text and groups, the pattern's
// life cycle, the bounds of a search, and the shipped patterns on host display lines.
#include "base/settings.h"
#include "rates/pattern/patternmatcher.h"

#include <gtest/gtest.h>
#include <vector>

using namespace pattern;
using namespace Qt::Literals::StringLiterals;

namespace {

QString q(const char16_t* s)
{
    return QString::fromUtf16(s);
}
std::string show(const QString& s)
{
    return s.toStdString();
}

struct Found {
    qsizetype position;
    QString text;
    bool operator==(const Found&) const = default;
};

void PrintTo(const Found& f, std::ostream* os)
{
    *os << f.position << ":\"" << show(f.text) << '"';
}

// Every match the system's loop visits: search once, then search again while found.
std::vector<Found> allMatches(PatternMatcher& m, const QString& text)
{
    std::vector<Found> found;
    for (bool ok = m.search(text); ok; ok = m.searchAgain())
        found.push_back({m.matchPosition(0), m.matchedText(0)});
    return found;
}

TEST(PatternMatcherSearchAgain, VisitsEveryNonOverlappingMatchThenFails)
{
    PatternMatcher m(u"AB"_s);
    ASSERT_TRUE(m.search(u"AB AB"_s));
    EXPECT_EQ(m.matchPosition(0), 0);
    ASSERT_TRUE(m.searchAgain());
    EXPECT_EQ(m.matchPosition(0), 3);
    EXPECT_EQ(m.matchedText(0), u"AB"_s);
    EXPECT_FALSE(m.searchAgain());
    EXPECT_EQ(m.matchedText(0), QString());
    EXPECT_THROW(m.searchAgain(), PatternUsageError);
}

TEST(PatternMatcherSearchAgain, ContinuesAtTheEndOfTheMatchSoMatchesDoNotOverlap)
{
    PatternMatcher m(u"aa"_s);
    EXPECT_EQ(allMatches(m, u"aaaaa"_s), (std::vector<Found>{{0, u"aa"_s}, {2, u"aa"_s}}));
}

TEST(PatternMatcherSearchAgain, StepsOneCharacterPastAnEmptyMatch)
{
    PatternMatcher m(u"x*"_s);
    EXPECT_EQ(allMatches(m, u"axxb"_s),
              (std::vector<Found>{{0, u""_s}, {1, u"xx"_s}, {3, u""_s}, {4, u""_s}}));
    PatternMatcher empty(u""_s);
    EXPECT_EQ(allMatches(empty, u""_s), (std::vector<Found>{{0, u""_s}}));
}

TEST(PatternMatcherSearchAgain, SeesTheCharactersBeforeWhereItStarts)
{
    // The rest of the input is not a new text: ^ and \A stay at its start, \b sees the
    // character before.
    PatternMatcher anchored(u"^a"_s);
    EXPECT_EQ(allMatches(anchored, u"aaa"_s), (std::vector<Found>{{0, u"a"_s}}));
    PatternMatcher word(u"\\b\\w"_s);
    EXPECT_EQ(allMatches(word, u"ab cd"_s), (std::vector<Found>{{0, u"a"_s}, {3, u"c"_s}}));
}

TEST(PatternMatcherSearchAgain, NeedsAPrecedingSuccessfulSearch)
{
    PatternMatcher m(u"a"_s);
    EXPECT_THROW(m.searchAgain(), PatternUsageError);
    EXPECT_FALSE(m.search(u"bbb"_s));
    EXPECT_THROW(m.searchAgain(), PatternUsageError);
}

TEST(PatternMatcherSearchAgain, UsesANewPatternOnTheSameInput)
{
    PatternMatcher m(u"[A-Z]{3}"_s);
    ASSERT_TRUE(m.search(u"EUR 12.50 USD 7"_s));
    m.setPattern(u"\\d+"_s);
    ASSERT_TRUE(m.searchAgain());
    EXPECT_EQ(m.matchedText(0), u"12"_s);
    EXPECT_EQ(m.matchPosition(0), 4);
}

TEST(PatternMatcherMatchedText, IsEmptyAfterAFailedSearch)
{
    PatternMatcher m(u"(A)(B)"_s);
    ASSERT_TRUE(m.search(u"xAB"_s));
    EXPECT_EQ(m.matchedText(2), u"B"_s);
    EXPECT_FALSE(m.search(u"xAC"_s));
    for (int g = 0; g <= MaxGroups; ++g) {
        EXPECT_EQ(m.matchedText(g), QString()) << "group " << g;
        EXPECT_EQ(m.matchPosition(g), -1) << "group " << g;
    }
    EXPECT_FALSE(m.hasMatch());
}

TEST(PatternMatcherMatchedText, GivesEachGroupInTheOrderOfItsOpeningBracket)
{
    PatternMatcher m(u"((a)|(b))(c)?(d)"_s);
    ASSERT_TRUE(m.search(u"xbd"_s));
    EXPECT_EQ(m.matchedText(0), u"bd"_s);
    EXPECT_EQ(m.matchedText(1), u"b"_s);
    EXPECT_EQ(m.matchedText(2), QString()) << "took no part";
    EXPECT_EQ(m.matchPosition(2), -1);
    EXPECT_EQ(m.matchedText(3), u"b"_s);
    EXPECT_EQ(m.matchedText(4), QString());
    EXPECT_EQ(m.matchedText(5), u"d"_s);
    EXPECT_EQ(m.matchPosition(5), 2);
    EXPECT_EQ(m.matchLength(5), 1);
    EXPECT_EQ(m.matchedText(14), QString()) << "no such group";
    EXPECT_THROW(m.matchedText(15), PatternUsageError);
    EXPECT_THROW(m.matchedText(-1), PatternUsageError);
}

TEST(PatternMatcherMatchedText, FourteenGroupsAllReported)
{
    PatternMatcher m(u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)"_s);
    ASSERT_TRUE(m.search(u"abcdefghijklmn"_s));
    for (int g = 1; g <= MaxGroups; ++g)
        EXPECT_EQ(m.matchedText(g), QString(QChar(u'a' + g - 1))) << "group " << g;
}

TEST(PatternMatcherInput, IsAPrivateCopyEndingAtTheFirstNulCharacter)
{
    PatternMatcher m(u"b$"_s);
    QString text = u"ab"_s + QChar(0) + u"cb"_s;
    ASSERT_TRUE(m.search(text));
    EXPECT_EQ(m.matchPosition(0), 1);
    EXPECT_EQ(m.input(), u"ab"_s);
    text[0] = u'z';
    EXPECT_EQ(m.input(), u"ab"_s);
    m.setPattern(u"cb"_s);
    EXPECT_FALSE(m.search(u"ab"_s + QChar(0) + u"cb"_s));
}

TEST(PatternMatcherPattern, RejectedPatternRaisesUntilReplaced)
{
    PatternMatcher m(u"(ab"_s);
    EXPECT_THROW(m.search(u"ab"_s), PatternSyntaxError);
    EXPECT_FALSE(m.hasMatch());
    EXPECT_THROW(m.search(u"ab"_s), PatternSyntaxError);
    m.setPattern(u"(ab)"_s);
    ASSERT_TRUE(m.search(u"xab"_s));
    EXPECT_EQ(m.matchedText(1), u"ab"_s);
    m.setPattern(u"(ab)"_s); // the same text again keeps the pattern and the match
    EXPECT_EQ(m.matchedText(1), u"ab"_s);
    m.setPattern(u"a{2,1}"_s);
    EXPECT_THROW(m.search(u"ab"_s), PatternError);
}

TEST(PatternMatcherPattern, ErrorsShareOneBase)
{
    PatternMatcher m(u"[z-a]"_s);
    try {
        m.search(u"a"_s);
        FAIL() << "accepted";
    } catch (const PatternError& e) {
        EXPECT_NE(dynamic_cast<const PatternSyntaxError*>(&e), nullptr);
        EXPECT_FALSE(e.message().isEmpty());
    }
}

TEST(PatternMatcherBounds, RunawayBacktrackingRaisesInsteadOfHanging)
{
    PatternMatcher m(u"(a|aa)+\\d"_s);
    const QString text = QString(60, u'a') + u'x';
    EXPECT_THROW(m.search(text), PatternLimitError);
    EXPECT_FALSE(m.hasMatch());
    // The same pattern on a text where it ends early still works.
    EXPECT_TRUE(m.search(u"aaa1"_s));
}

TEST(PatternMatcherBounds, LongInputWithAGroupInALoop)
{
    // Each repetition of a group keeps a backtracking frame; a long text must give a
    // result or a limit error, never a crash.
    PatternMatcher m(u"(a|b)*c"_s);
    const QString text = QString(200'000, u'a') + u'c';
    try {
        ASSERT_TRUE(m.search(text));
        EXPECT_EQ(m.matchLength(0), text.size());
    } catch (const PatternLimitError&) {
    }
    PatternMatcher plain(u"a*c"_s);
    ASSERT_TRUE(plain.search(text));
    EXPECT_EQ(plain.matchLength(0), text.size());
}

TEST(PatternMatcherBounds, CountsAboveTheEngineLimitAreExactOnTextsUpToIt)
{
    PatternMatcher m(u"a{70000}"_s);
    EXPECT_FALSE(m.search(QString(100, u'a')));
    EXPECT_FALSE(m.search(QString(MaxExactCount, u'a')));
    EXPECT_THROW(m.search(QString(MaxExactCount + 1, u'a')), PatternLimitError);
    PatternMatcher upTo(u"a{2,70000}"_s);
    ASSERT_TRUE(upTo.search(QString(MaxExactCount, u'a')));
    EXPECT_EQ(upTo.matchLength(0), MaxExactCount);
}

TEST(PatternMatcherBounds, PatternTooLargeForTheEngineRaises)
{
    // Valid syntax whose compiled form exceeds what the engine holds.
    PatternMatcher m(u"(abcdefgh){10000}"_s);
    EXPECT_THROW(m.search(u"abcdefgh"_s), PatternError);
    m.setPattern(QString(100'000, u'a'));
    EXPECT_THROW(m.search(u"a"_s), PatternError);
    m.setPattern(u"(abcdefgh){2}"_s);
    EXPECT_TRUE(m.search(u"abcdefghabcdefgh"_s));
}

// The shipped patterns on host display lines.
struct HostLineCase {
    QStringView pattern;
    const char16_t* line;
    const char16_t* expected; // null: no match
};

void PrintTo(const HostLineCase& c, std::ostream* os)
{
    *os << '"' << show(q(c.line)) << '"';
}

class ShippedPatterns : public testing::TestWithParam<HostLineCase> {};

TEST_P(ShippedPatterns, OnHostLine)
{
    const HostLineCase& c = GetParam();
    PatternMatcher m(c.pattern.toString());
    const bool found = m.search(q(c.line));
    if (!c.expected) {
        EXPECT_FALSE(found) << show(q(c.line)) << " gave " << show(m.matchedText(0));
        return;
    }
    ASSERT_TRUE(found) << show(q(c.line));
    EXPECT_EQ(show(m.matchedText(0)), show(q(c.expected)));
    EXPECT_EQ(m.matchedText(1), m.matchedText(0)) << "one group around the whole pattern";
}

using namespace base;

INSTANTIATE_TEST_SUITE_P(
    Fare, ShippedPatterns,
    testing::Values(
        HostLineCase{defaults::FareRegExp, u"FARE  F EUR      500.00", u"FARE  F EUR      500.00"},
        HostLineCase{defaults::FareRegExp, u"AREF  F EUR      500.00", u"AREF  F EUR      500.00"},
        HostLineCase{defaults::FareRegExp, u"FARE  F USD 12345678.12345678X",
                     u"FARE  F USD 12345678.12345678"},
        HostLineCase{defaults::FareRegExp, u"FARE  I EUR        1234\r\n",
                     u"FARE  I EUR        1234"},
        HostLineCase{defaults::FareRegExp, u"fare  F EUR      500.00", nullptr},
        HostLineCase{defaults::FareRegExp, u"FARE F EUR      500.00", nullptr},
        HostLineCase{defaults::FareRegExp, u"FARE  F EUR           500.00", nullptr},
        HostLineCase{defaults::FareRegExp, u"FARE  F EU      500.00", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    Equivalent, ShippedPatterns,
    testing::Values(
        HostLineCase{defaults::EquivRegExp, u"EQUIV   RUB    45000", u"EQUIV   RUB    45000"},
        HostLineCase{defaults::EquivRegExp, u"VIEQU   RUB    45000.5", u"VIEQU   RUB    45000.5"},
        HostLineCase{defaults::EquivRegExp, u"EQUIV  RUB    45000", nullptr},
        HostLineCase{defaults::EquivRegExp, u"EQUIV   rub    45000", nullptr},
        HostLineCase{defaults::EquivRegExp, u"FARE  F EUR      500.00", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    Tax, ShippedPatterns,
    testing::Values(
        HostLineCase{defaults::TaxRegExp, u"TX001 X EUR     12.50YQ", u"TX001 X EUR     12.50YQ"},
        HostLineCase{defaults::TaxRegExp, u"TAX01 X USD      5.00XT", u"TAX01 X USD      5.00XT"},
        HostLineCase{defaults::TaxRegExp, u"TX012 X EUR      3.20RUAB",
                     u"TX012 X EUR      3.20RUAB"},
        HostLineCase{defaults::TaxRegExp, u"TX001 X EUR     12.50", nullptr},
        HostLineCase{defaults::TaxRegExp, u"TX001 XX EUR     12.50YQ", nullptr},
        HostLineCase{defaults::TaxRegExp, u"TX1 X EUR     12.50YQ", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    FirstSegment, ShippedPatterns,
    testing::Values(HostLineCase{defaults::SegmentFv, u"  1   SVO SU 1234 Y 15JUN LED HK1",
                                 u"  1   SVO SU "},
                    HostLineCase{defaults::SegmentFv, u"  1   SVO S7 1234", u"  1   SVO S7 "},
                    HostLineCase{defaults::SegmentFv, u"  1   SVO SU,1234", nullptr},
                    HostLineCase{defaults::SegmentFv, u"  2   SVO SU 1234", nullptr},
                    HostLineCase{defaults::SegmentFv, u"  1  SVO SU 1234", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    FvElement, ShippedPatterns,
    testing::Values(HostLineCase{defaults::ElementFv, u" 5.FV SU", u" 5.FV SU"},
                    HostLineCase{defaults::ElementFv, u"  12.FV S7", u"  12.FV S7"},
                    HostLineCase{defaults::ElementFv, u"   5.FV SU", u"  5.FV SU"},
                    HostLineCase{defaults::ElementFv, u" 5.FV  SU", nullptr},
                    HostLineCase{defaults::ElementFv, u"5.FV SU", nullptr},
                    HostLineCase{defaults::ElementFv, u" 5.fv SU", nullptr}));

INSTANTIATE_TEST_SUITE_P(
    ConversionAnswer, ShippedPatterns,
    testing::Values(
        HostLineCase{ConversionAmountPattern, u"12.50 USD = RUB 382.40 - ROUNDED AS OTHER CHARGES",
                     u"RUB 382.40 - ROUNDED AS OTHER CHARGES"},
        HostLineCase{ConversionAmountPattern, u"RUB 1.2.3---CHARGES AS OTHER ROUNDED",
                     u"RUB 1.2.3---CHARGES AS OTHER ROUNDED"},
        HostLineCase{ConversionAmountPattern, u"RUB 382.40 ROUNDED AS OTHER CHARGES", nullptr},
        HostLineCase{ConversionAmountPattern, u"RUB 382.40 - AMOUNT TRUNCATED", nullptr},
        HostLineCase{ConversionNumberPattern, u"RUB 382.40 - ROUNDED AS OTHER CHARGES", u"382.40"},
        HostLineCase{ConversionNumberPattern, u"RUB 1.2.3 - ROUNDED", u"1.2.3"},
        HostLineCase{ConversionNumberPattern, u"RUB", nullptr}));

TEST(ShippedTaxPattern, FindsEveryTaxOnALineInOrder)
{
    PatternMatcher m(defaults::TaxRegExp.toString());
    const QString line = u"TX001 X EUR     12.50YQ  TX002 X EUR      3.20RU  TAX03 X USD     "
                         u"10.00XT"_s;
    EXPECT_EQ(allMatches(m, line), (std::vector<Found>{{0, u"TX001 X EUR     12.50YQ"_s},
                                                       {25, u"TX002 X EUR      3.20RU"_s},
                                                       {50, u"TAX03 X USD     10.00XT"_s}}));
}

} // namespace
