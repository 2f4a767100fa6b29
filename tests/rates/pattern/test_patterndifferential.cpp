// Random patterns from the part of the syntax that means the same in ECMAScript (ASCII
// texts without line breaks), searched by the matcher and by std::regex: the first match
// must be the same, position and text. A fixed seed keeps the cases the same every run.
#include "rates/pattern/patternmatcher.h"

#include <gtest/gtest.h>
#include <random>
#include <regex>
#include <string>

using namespace pattern;

namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    std::string pattern() { return alternatives(0); }

    std::string text()
    {
        static const std::string chars = "abc1A -_";
        std::string t;
        const int n = pick(12);
        for (int i = 0; i < n; ++i)
            t += chars[std::size_t(pick(int(chars.size())))];
        return t;
    }

private:
    int pick(int n) { return int(m_random() % unsigned(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    std::string alternatives(int depth)
    {
        std::string s = sequence(depth);
        while (chance(20))
            s += "|" + sequence(depth);
        return s;
    }

    std::string sequence(int depth)
    {
        std::string s;
        const int n = 1 + pick(4);
        for (int i = 0; i < n; ++i)
            s += item(depth);
        return s;
    }

    std::string item(int depth)
    {
        std::string a = atom(depth);
        if (chance(40))
            a += quantifier();
        return a;
    }

    std::string quantifier()
    {
        static const char* const simple[] = {"*", "+", "?"};
        std::string q;
        switch (pick(4)) {
        case 0:
            q = "{" + std::to_string(pick(3)) + "}";
            break;
        case 1: {
            const int n = pick(3);
            q = "{" + std::to_string(n) + "," + std::to_string(n + pick(3)) + "}";
            break;
        }
        case 2:
            q = "{" + std::to_string(pick(3)) + ",}";
            break;
        default:
            q = simple[pick(3)];
        }
        if (chance(30))
            q += "?";
        return q;
    }

    std::string atom(int depth)
    {
        static const char* const escapes[] = {"\\d", "\\D", "\\s", "\\S",
                                              "\\w", "\\W", "\\b", "\\B"};
        static const std::string literals = "abc1A _";
        const int kind = pick(depth < 3 ? 10 : 8);
        if (kind < 4)
            return std::string(1, literals[std::size_t(pick(int(literals.size())))]);
        if (kind < 6)
            return bracketClass();
        if (kind == 6)
            return escapes[pick(8)];
        if (kind == 7)
            return chance(50) ? "^" : "$";
        return "(" + alternatives(depth + 1) + ")";
    }

    std::string bracketClass()
    {
        static const char* const members[] = {"a",   "b",   "c",   "1",   "A",   " ", "a-c",
                                              "0-9", "A-Z", "\\d", "\\s", "\\w", "_"};
        std::string s = "[";
        if (chance(25))
            s += "^";
        if (chance(15))
            s += "-";
        const int n = 1 + pick(3);
        for (int i = 0; i < n; ++i)
            s += members[pick(13)];
        return s + "]";
    }

    std::mt19937 m_random;
};

TEST(PatternDifferential, FirstMatchAgreesWithEcmaScript)
{
    Generator g(20260512);
    int compared = 0;
    int matched = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string p = g.pattern();
        PatternMatcher m(QString::fromLatin1(p));
        std::regex re;
        try {
            re = std::regex(p, std::regex::ECMAScript);
        } catch (const std::regex_error&) {
            continue;
        }
        for (int k = 0; k < 4; ++k) {
            const std::string t = g.text();
            bool found = false;
            try {
                found = m.search(QString::fromLatin1(t));
            } catch (const PatternSyntaxError&) {
                break; // outside what both accept (an empty atom repeated, ...)
            }
            std::smatch expected;
            const bool expectedFound = std::regex_search(t, expected, re);
            ++compared;
            ASSERT_EQ(found, expectedFound) << "/" << p << "/ on \"" << t << '"';
            if (found) {
                ++matched;
                EXPECT_EQ(m.matchPosition(0), expected.position(0))
                    << "/" << p << "/ on \"" << t << '"';
                EXPECT_EQ(m.matchedText(0).toStdString(), expected.str(0))
                    << "/" << p << "/ on \"" << t << '"';
            }
        }
    }
    EXPECT_GT(compared, 3000) << "too few generated patterns were accepted by both";
    EXPECT_GT(matched, compared / 4) << "too few cases that match";
    EXPECT_LT(matched, compared * 3 / 4) << "too few cases that do not match";
}

} // namespace
