// The pattern syntax: what each construct matches, the modes, and every rejected pattern.
#include "rates/pattern/patternmatcher.h"

#include <gtest/gtest.h>
#include <optional>

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

// expected null: the pattern compiles and finds nothing.
struct MatchCase {
    const char16_t* pattern;
    const char16_t* text;
    const char16_t* expected;
};
constexpr const char16_t* NoMatch = nullptr;

void PrintTo(const MatchCase& c, std::ostream* os)
{
    *os << '/' << show(q(c.pattern)) << "/ on \"" << show(q(c.text)) << '"';
}

std::optional<QString> firstMatch(const QString& patternText, const QString& text)
{
    PatternMatcher m(patternText);
    if (!m.search(text))
        return std::nullopt;
    return m.matchedText(0);
}

class PatternMatches : public testing::TestWithParam<MatchCase> {};

TEST_P(PatternMatches, FirstMatch)
{
    const MatchCase& c = GetParam();
    const std::optional<QString> found = firstMatch(q(c.pattern), q(c.text));
    if (c.expected == NoMatch)
        EXPECT_FALSE(found) << show(q(c.pattern)) << " found " << show(found.value_or(QString()));
    else if (!found)
        ADD_FAILURE() << show(q(c.pattern)) << " found nothing in " << show(q(c.text));
    else
        EXPECT_EQ(show(*found), show(q(c.expected))) << show(q(c.pattern));
}

const char16_t* const ElevenBlanks = u"a           b";

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, PatternMatches,
    testing::Values(
        MatchCase{u"[A-Z]{3}", u"AB1CDE", u"CDE"},
        MatchCase{u"\\d{1,8}[.]{0,1}\\d{0,8}", u"12.50X", u"12.50"},
        MatchCase{u"\\d{1,8}[.]{0,1}\\d{0,8}", u"12X", u"12"},
        MatchCase{u"[TAX]{2,3}\\d{2,3}", u"TX001", u"TX001"},
        MatchCase{u"[TAX]{2,3}\\d{2,3}", u"TAX01", u"TAX01"},
        MatchCase{u"[- ]{3}", u"x - y", u" - "}, MatchCase{u"[- ]{3}", u"x---y", u"---"},
        MatchCase{u"a\\s{1,10}b", u"a          b", u"a          b"},
        MatchCase{u"a\\s{1,10}b", ElevenBlanks, NoMatch},
        MatchCase{u"a\\s{1,10}b", u"a \t\n\r\fb", u"a \t\n\r\fb"},
        MatchCase{u"a\\sb", u"a\vb", NoMatch}, MatchCase{u"a\\sb", u"a\u00a0b", NoMatch},
        MatchCase{u"[FARE]{4}", u"fare", NoMatch}, MatchCase{u"[FARE]{4}", u"AREF", u"AREF"},
        MatchCase{u"[FARE]{4}", u"EEEE", u"EEEE"}, MatchCase{u"a{b", u"xa{b", u"a{b"},
        MatchCase{u"a{,2}", u"a{,2}", u"a{,2}"}, MatchCase{u"a{,2}", u"aa", NoMatch},
        MatchCase{u"a{2", u"a{2", u"a{2"}, MatchCase{u"a{2,x}", u"a{2,x}", u"a{2,x}"},
        MatchCase{u"{2}a", u"{2}a", u"{2}a"}, MatchCase{u"a}", u"a}", u"a}"},
        MatchCase{u"a]", u"a]", u"a]"}, MatchCase{u"", u"abc", u""}));

INSTANTIATE_TEST_SUITE_P(
    Repetitions, PatternMatches,
    testing::Values(MatchCase{u"a{2}", u"aaa", u"aa"}, MatchCase{u"a{2,}", u"aaaa", u"aaaa"},
                    MatchCase{u"a{2,3}", u"aaaa", u"aaa"}, MatchCase{u"a{2,3}?", u"aaaa", u"aa"},
                    MatchCase{u"a{0}b", u"ab", u"b"}, MatchCase{u"a{00000003}", u"aaaa", u"aaa"},
                    MatchCase{u"a+?", u"aaa", u"a"}, MatchCase{u"a*?b", u"aab", u"aab"},
                    MatchCase{u"a??b", u"ab", u"ab"}, MatchCase{u"<.*>", u"<a><b>", u"<a><b>"},
                    MatchCase{u"<.*?>", u"<a><b>", u"<a>"}, MatchCase{u"(a*)?b", u"aab", u"aab"},
                    MatchCase{u"^?a", u"ba", u"a"}, MatchCase{u"a{12345678}", u"aaaa", NoMatch},
                    MatchCase{u"a{2,12345678}", u"aaaa", u"aaaa"},
                    MatchCase{u"(a{70000})?b", u"ab", u"b"}));

INSTANTIATE_TEST_SUITE_P(FirstInBacktrackingOrderNotLongest, PatternMatches,
                         testing::Values(MatchCase{u"a|ab", u"ab", u"a"},
                                         MatchCase{u"ab|a", u"ab", u"ab"},
                                         MatchCase{u"a(b|bc)", u"abc", u"ab"},
                                         MatchCase{u"x(a|ab)*c", u"xababc", u"xababc"},
                                         MatchCase{u"b|ab", u"ab", u"ab"}));

INSTANTIATE_TEST_SUITE_P(
    Classes, PatternMatches,
    testing::Values(
        MatchCase{u"[a-c]+", u"xbcay", u"bca"}, MatchCase{u"[^a-c]+", u"abxyc", u"xy"},
        MatchCase{u"[-a]+", u"b-a-", u"-a-"}, MatchCase{u"[a-]+", u"b-a-", u"-a-"},
        MatchCase{u"[a-c-e]+", u"e-b", u"e-b"}, MatchCase{u"[a-c-e]", u"d", NoMatch},
        MatchCase{u"[\\d-z]+", u"5-z", u"5-z"}, MatchCase{u"[\\d-z]", u"a", NoMatch},
        MatchCase{u"[a-\\d]+", u"a-5", u"a-5"}, MatchCase{u"[a-\\d]", u"b", NoMatch},
        MatchCase{u"[]a]+", u"x]a]", u"]a]"}, MatchCase{u"[^]a]", u"]ab", u"b"},
        MatchCase{u"[]-a]+", u"^_`", u"^_`"}, MatchCase{u"[\\D]", u"5xD", u"D"},
        MatchCase{u"[\\D]", u"5", NoMatch}, MatchCase{u"[\\S\\W]+", u"aSW", u"SW"},
        MatchCase{u"[\\w]+", u"-a_9-", u"a_9"}, MatchCase{u"[\\s]+", u"x \t\n\r\fx", u" \t\n\r\f"},
        MatchCase{u"[\\t\\n\\r\\f\\a\\e]+", u"x\t\n\r\f\a\x1bx", u"\t\n\r\f\a\x1b"},
        MatchCase{u"[\\x41-\\x43]+", u"ABCD", u"ABC"}, MatchCase{u"[\\x{44}]", u"ABCD", u"D"},
        MatchCase{u"[\\]]", u"a]", u"]"}, MatchCase{u"[\\-]", u"a-", u"-"},
        MatchCase{u"[\\b]", u"ab", u"b"}, MatchCase{u"[\\b]", u"\b", NoMatch},
        MatchCase{u"[A-Z,0-9]{2}", u"s,7", u",7"}, MatchCase{u"[.]", u"ab", NoMatch},
        MatchCase{u"[.]", u"a.", u"."}, MatchCase{u"[[:alpha:]]", u"x:]", u":]"},
        MatchCase{u"[[:alpha:]]", u"x", NoMatch}, MatchCase{u"[^a]", u"a\n", u"\n"},
        MatchCase{u"[$^]+", u"a^$", u"^$"}, MatchCase{u"[(|)*+?{]+", u"a(|)*+?{", u"(|)*+?{"},
        MatchCase{u"[--/]+", u"a-./", u"-./"}));

INSTANTIATE_TEST_SUITE_P(
    Escapes, PatternMatches,
    testing::Values(
        MatchCase{u"\\d+", u"x123", u"123"}, MatchCase{u"\\d", u"\u0663", NoMatch},
        MatchCase{u"\\D+", u"12ab3", u"ab"}, MatchCase{u"\\S+", u" \tab c", u"ab"},
        MatchCase{u"\\w+", u"\u00e9 ab_1-", u"ab_1"}, MatchCase{u"\\w", u"\u0436", NoMatch},
        MatchCase{u"\\W+", u"ab, c", u", "}, MatchCase{u"\\bab\\b", u"cab ab", u"ab"},
        MatchCase{u"\\bab", u"\u00e9ab", u"ab"}, MatchCase{u"\\Bb", u"b ab", u"b"},
        MatchCase{u"a\\b", u"a", u"a"}, MatchCase{u"\\b", u"", NoMatch},
        MatchCase{u"\\B", u"", u""},
        MatchCase{u"\\t\\n\\r\\f\\a\\e", u"\t\n\r\f\a\x1b", u"\t\n\r\f\a\x1b"},
        MatchCase{u"\\x41\\x{42}\\x{000043}", u"ABC", u"ABC"},
        MatchCase{u"\\x{ff}", u"\u00ff", u"\u00ff"}, MatchCase{u"\\z", u"az", u"z"},
        MatchCase{u"\\Q.\\E", u"Q.E", u"Q.E"}, MatchCase{u"\\K\\G\\p\\h\\R", u"KGphR", u"KGphR"},
        MatchCase{u"\\0", u"a0", u"0"}, MatchCase{u"\\.\\*\\(\\[\\{\\\\", u"x.*([{\\", u".*([{\\"},
        MatchCase{u"(a|b)\\1", u"abb", u"bb"}, MatchCase{u"(a)\\2", u"aa", NoMatch},
        MatchCase{u"(a)\\10", u"aa0", u"aa0"}, MatchCase{u"(a)(b)?\\2c", u"ac", NoMatch},
        MatchCase{u"(a+)-\\1+", u"aa-aaaa", u"aa-aaaa"}, MatchCase{u"\\A\\d", u"a1", NoMatch},
        MatchCase{u"\\Aa", u"ab", u"a"}));

INSTANTIATE_TEST_SUITE_P(
    WholeInputAnchorsAndDot, PatternMatches,
    testing::Values(MatchCase{u"a.b", u"a\nb", u"a\nb"}, MatchCase{u"a.b", u"a\rb", u"a\rb"},
                    MatchCase{u"^b", u"a\nb", NoMatch}, MatchCase{u"a$", u"a\nb", NoMatch},
                    MatchCase{u"a$", u"ba", u"a"}, MatchCase{u"a$", u"a\n", NoMatch},
                    MatchCase{u"a\\Z", u"a\n", NoMatch}, MatchCase{u"a\\Z", u"ba", u"a"},
                    MatchCase{u"^a", u"ab", u"a"}, MatchCase{u"(^|x)a", u"xa", u"xa"},
                    MatchCase{u"(^|x)a", u"ya", NoMatch}));

INSTANTIATE_TEST_SUITE_P(Groups, PatternMatches,
                         testing::Values(MatchCase{u"a(?#note)b", u"ab", u"ab"},
                                         MatchCase{u"a(?#x)*b", u"aaab", u"aaab"},
                                         MatchCase{u"a(?#(x)b", u"ab", u"ab"},
                                         MatchCase{u"(|a)b", u"ab", u"ab"},
                                         MatchCase{u"a|", u"b", u""},
                                         MatchCase{u"(((a)))", u"a", u"a"},
                                         MatchCase{u"()()()()()()()()()()()()()()a", u"a", u"a"}));

INSTANTIATE_TEST_SUITE_P(
    Modes, PatternMatches,
    testing::Values(
        MatchCase{u"(?i)fare", u"FaRe", u"FaRe"}, MatchCase{u"a(?i)b", u"aB", u"aB"},
        MatchCase{u"a(?i)b", u"AB", NoMatch}, MatchCase{u"(x(?i)a)b", u"xAB", NoMatch},
        MatchCase{u"(x(?i)a)b", u"xAb", u"xAb"}, MatchCase{u"a(?i)b|c", u"C", u"C"},
        MatchCase{u"(?i)[a-c]+", u"xAbC", u"AbC"}, MatchCase{u"(?i)[^a]", u"Ab", u"b"},
        MatchCase{u"(?i)\\x41", u"a", u"a"}, MatchCase{u"(?i)(a)\\1", u"aA", u"aA"},
        MatchCase{u"(?i)\u0436", u"\u0416", u"\u0416"}, MatchCase{u"(?i-i)a", u"A", NoMatch},
        MatchCase{u"(?-s).", u"\n\ra", u"a"}, MatchCase{u"(?-s)a.+", u"ab\ncd", u"ab"},
        MatchCase{u"((?-s).)", u"\n", NoMatch}, MatchCase{u"((?-s)x).", u"x\n", u"x\n"},
        MatchCase{u"(?m)^b", u"a\nb", u"b"}, MatchCase{u"(?m)^b", u"a\r\nb", u"b"},
        MatchCase{u"(?m)^b", u"ab", NoMatch}, MatchCase{u"(?m)a$", u"a\nb", u"a"},
        MatchCase{u"(?m)a$", u"a\r\nb", u"a"}, MatchCase{u"(?m)a$", u"ab", NoMatch},
        MatchCase{u"(?m)^$", u"\r\n", u""}, MatchCase{u"(?-g)a+", u"aaa", u"a"},
        MatchCase{u"(?-g)a+?", u"aaa", u"aaa"}, MatchCase{u"(?-g)a{1,3}", u"aaa", u"a"},
        MatchCase{u"(?g)a+", u"aaa", u"aaa"}, MatchCase{u"(?x)a b", u"ab", u"ab"},
        MatchCase{u"(?x)a b", u"a b", NoMatch}, MatchCase{u"(?x)a b # note\n c", u"abc", u"abc"},
        MatchCase{u"(?x)[ ]", u"a ", u" "}, MatchCase{u"(?x)a\\ b", u"a b", u"a b"},
        MatchCase{u"(?x)a +", u"aa", u"aa"}, MatchCase{u"a b", u"a b", u"a b"},
        MatchCase{u"[\u0430-\u044f]+", u"\u0451\u0436\u0438\u043a", u"\u0451\u0436\u0438\u043a"},
        MatchCase{u"[\u0410-\u042f]", u"\u0401", u"\u0401"},
        MatchCase{u"[\u0430-\u042f]+", u"\u0401\u0436\u0418\u0451x", u"\u0401\u0436\u0418\u0451"},
        MatchCase{u"[\u0430-\u044f]", u"\u0401", NoMatch},
        MatchCase{u"[\u0430-\u0435]", u"\u0451", NoMatch},
        MatchCase{u"(?-r)[\u0430-\u044f]", u"\u0451", NoMatch},
        MatchCase{u"(?-r)[\u0410-\u042f]", u"\u0401", NoMatch}));

// A rejected pattern makes every search raise; position counts from 1.
struct RejectCase {
    const char16_t* pattern;
    qsizetype position;
};

void PrintTo(const RejectCase& c, std::ostream* os)
{
    *os << '/' << show(q(c.pattern)) << '/';
}

class PatternRejections : public testing::TestWithParam<RejectCase> {};

TEST_P(PatternRejections, SearchRaises)
{
    const RejectCase& c = GetParam();
    PatternMatcher m(q(c.pattern));
    try {
        m.search(u"aaa bbb"_s);
        ADD_FAILURE() << show(q(c.pattern)) << " was accepted";
    } catch (const PatternSyntaxError& e) {
        EXPECT_EQ(e.position(), c.position) << show(q(c.pattern)) << ": " << e.what();
    }
    EXPECT_THROW(m.search(u"a"_s), PatternError) << "a second search raises again";
}

INSTANTIATE_TEST_SUITE_P(Brackets, PatternRejections,
                         testing::Values(RejectCase{u"(ab", 1}, RejectCase{u"a(b(c)", 2},
                                         RejectCase{u"ab)", 3}, RejectCase{u"(a))", 4},
                                         RejectCase{u"[ab", 1}, RejectCase{u"x[]", 2},
                                         RejectCase{u"[^]", 1}, RejectCase{u"[a-", 1},
                                         RejectCase{u"(?i", 1}, RejectCase{u"(?#abc", 1},
                                         RejectCase{u"a(?#", 2}));

INSTANTIATE_TEST_SUITE_P(NothingToRepeat, PatternRejections,
                         testing::Values(RejectCase{u"*a", 1}, RejectCase{u"+a", 1},
                                         RejectCase{u"?a", 1}, RejectCase{u"(*a)", 2},
                                         RejectCase{u"a|*", 3}, RejectCase{u"a(?i)*", 6},
                                         RejectCase{u"(?#x)+", 6}));

INSTANTIATE_TEST_SUITE_P(RepetitionOfEmpty, PatternRejections,
                         testing::Values(RejectCase{u"(a*)*", 5}, RejectCase{u"(a?)+", 5},
                                         RejectCase{u"(|a){2}", 5}, RejectCase{u"()+", 3},
                                         RejectCase{u"^*", 2}, RejectCase{u"$+", 2},
                                         RejectCase{u"\\b*", 3}, RejectCase{u"\\A{1}", 3},
                                         RejectCase{u"(a*){1}", 5}, RejectCase{u"(a|b*)+", 7},
                                         RejectCase{u"(a*)\\1+", 7}, RejectCase{u"\\1*(a)", 3},
                                         RejectCase{u"(a\\1*)", 5}));

INSTANTIATE_TEST_SUITE_P(RepetitionAfterRepetition, PatternRejections,
                         testing::Values(RejectCase{u"a**", 3}, RejectCase{u"a+*", 3},
                                         RejectCase{u"a?+", 3}, RejectCase{u"a{2}{3}", 5},
                                         RejectCase{u"a{2}*", 5}, RejectCase{u"a*??", 4},
                                         RejectCase{u"a{1,2}?+", 8}, RejectCase{u"(?-g)a*??", 9}));

INSTANTIATE_TEST_SUITE_P(Counts, PatternRejections,
                         testing::Values(RejectCase{u"a{2,1}", 2}, RejectCase{u"a{123456789}", 2},
                                         RejectCase{u"a{1,123456789}", 2},
                                         RejectCase{u"a{000000001}", 2}));

INSTANTIATE_TEST_SUITE_P(TooManyGroups, PatternRejections,
                         testing::Values(RejectCase{u"()()()()()()()()()()()()()()()", 29},
                                         RejectCase{u"((((((((((((((()))))))))))))))", 15}));

INSTANTIATE_TEST_SUITE_P(Escapes, PatternRejections,
                         testing::Values(RejectCase{u"ab\\", 3}, RejectCase{u"[a\\", 3},
                                         RejectCase{u"\\x", 1}, RejectCase{u"a\\xg1", 2},
                                         RejectCase{u"\\x4", 1}, RejectCase{u"\\x4z", 1},
                                         RejectCase{u"\\x{}", 1}, RejectCase{u"\\x{41", 1},
                                         RejectCase{u"\\x{100}", 1},
                                         RejectCase{u"\\x{123456789}", 1}, RejectCase{u"[\\x4]", 2},
                                         RejectCase{u"[\\x{1ff}]", 2}));

INSTANTIATE_TEST_SUITE_P(Ranges, PatternRejections,
                         testing::Values(RejectCase{u"[z-a]", 2}, RejectCase{u"[ab-a]", 3},
                                         RejectCase{u"[\\x42-\\x41]", 2},
                                         RejectCase{u"(?-r)[\u0430-\u042f]", 7},
                                         RejectCase{u"[\u044f-\u0430]", 2}));

INSTANTIATE_TEST_SUITE_P(ModeLetters, PatternRejections,
                         testing::Values(RejectCase{u"(?q)", 3}, RejectCase{u"(?:a)", 3},
                                         RejectCase{u"(?=a)", 3}, RejectCase{u"(?!a)", 3},
                                         RejectCase{u"(?<=a)b", 3}, RejectCase{u"(?I)", 3},
                                         RejectCase{u"(?i-sa)", 6}, RejectCase{u"(?P<n>a)", 3}));

} // namespace
