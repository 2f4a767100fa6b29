#include "rates/pattern/patterntranslator.h"

#include "rates/pattern/patternerror.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <algorithm>
#include <array>
#include <optional>
#include <pcre2.h>
#include <utility>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace pattern {

namespace {

// Inclusive ranges of UTF-16 code units.
using Range = std::pair<char16_t, char16_t>;
using RangeSet = std::vector<Range>;

const RangeSet DigitSet{{u'0', u'9'}};
const RangeSet SpaceSet{{u'\t', u'\n'}, {u'\f', u'\r'}, {u' ', u' '}};
const RangeSet WordSet{{u'0', u'9'}, {u'A', u'Z'}, {u'_', u'_'}, {u'a', u'z'}};

// The set of a class escape "\d", "\s" or "\w" (lower case), or of its complement
// (upper case); null for any other letter.
const RangeSet* classEscapeSet(char16_t letter)
{
    switch (QChar::toLower(char32_t(letter))) {
    case u'd':
        return &DigitSet;
    case u's':
        return &SpaceSet;
    case u'w':
        return &WordSet;
    default:
        return nullptr;
    }
}

// The Cyrillic letters of the range rules of mode r.
constexpr char16_t CapitalA = 0x410;
constexpr char16_t CapitalYa = 0x42F;
constexpr char16_t SmallA = 0x430;
constexpr char16_t SmallYa = 0x44F;
constexpr char16_t CapitalYo = 0x401;
constexpr char16_t SmallYo = 0x451;

constexpr int Unbounded = -1;
constexpr int MaxCountDigits = 8;

struct Modes {
    bool caseless = false;      // i
    bool multiLine = false;     // m
    bool dotAll = true;         // s
    bool greedy = true;         // g
    bool extended = false;      // x
    bool cyrillicRanges = true; // r

    // The switch of a mode letter; null for any other character.
    bool* byLetter(char16_t letter)
    {
        switch (letter) {
        case u'i':
            return &caseless;
        case u'm':
            return &multiLine;
        case u's':
            return &dotAll;
        case u'g':
            return &greedy;
        case u'x':
            return &extended;
        case u'r':
            return &cyrillicRanges;
        default:
            return nullptr;
        }
    }
};

// One emitted item: a single PCRE2 token (a character, a class, an assertion or a group).
struct Atom {
    QString text;
    bool canBeEmpty = false;
    bool zeroWidth = false;
};

struct Repeat {
    int min = 0;
    int max = Unbounded;
    bool braced = false;
};

// A class member: one character, or the set of \d, \s or \w.
struct ClassMember {
    char16_t ch = 0;
    const RangeSet* set = nullptr;
};

bool isAsciiAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Letters and digits stand for themselves in PCRE2 everywhere; everything else is
// written as a code so that it can never be read as syntax.
void appendLiteral(QString& out, char16_t c)
{
    if (isAsciiAlnum(c)) {
        out += QChar(c);
        return;
    }
    static constexpr char16_t Hex[] = u"0123456789abcdef";
    out += u"\\x{";
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const int digit = (c >> shift) & 0xF;
        if (digit != 0 || started || shift == 0) {
            out += QChar(Hex[digit]);
            started = true;
        }
    }
    out += u'}';
}

QString literalText(char16_t c)
{
    QString out;
    appendLiteral(out, c);
    return out;
}

QString classText(RangeSet set, bool negated)
{
    std::sort(set.begin(), set.end());
    QString out;
    out.reserve(qsizetype(8 + 16 * set.size()));
    out += negated ? u"[^" : u"[";
    for (std::size_t i = 0; i < set.size();) {
        char16_t lo = set[i].first;
        char16_t hi = set[i].second;
        for (++i; i < set.size() && set[i].first <= hi + 1; ++i)
            hi = std::max(hi, set[i].second);
        appendLiteral(out, lo);
        if (hi != lo) {
            if (hi > lo + 1)
                out += u'-';
            appendLiteral(out, hi);
        }
    }
    out += u']';
    return out;
}

QString caselessIf(bool caseless, QString text)
{
    return caseless ? u"(?i:"_s + text + u')' : text;
}

class Translator {
public:
    // knownGroups is the final group count when a first pass found it, else -1.
    Translator(QStringView text, int knownGroups) : m_text(text), m_knownGroups(knownGroups) {}

    TranslatedPattern run()
    {
        Atom all = alternatives(Modes{});
        if (!atEnd())
            fail(u"unmatched \")\""_s, m_pos);
        return {all.text, m_groups, m_hasLargeCount};
    }

    bool referencesMissingGroup() const { return m_maxReference > m_groups; }

private:
    enum class GroupState : char { Unknown, Open, Empty, NonEmpty };

    [[noreturn]] void fail(const QString& reason, qsizetype at) const
    {
        throw PatternSyntaxError(reason, at + 1);
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char16_t peek(qsizetype ahead = 0) const { return m_text[m_pos + ahead].unicode(); }
    bool hasAhead(qsizetype ahead) const { return m_pos + ahead < m_text.size(); }

    // Alternatives up to the ")" that closes the group, or to the end; mode groups
    // change the modes for the rest of the group, over later alternatives too.
    Atom alternatives(Modes modes)
    {
        Atom result;
        for (;;) {
            Atom branch = sequence(modes);
            result.text += branch.text;
            result.canBeEmpty = result.canBeEmpty || branch.canBeEmpty;
            if (atEnd() || peek() != u'|')
                return result;
            ++m_pos;
            result.text += u'|';
        }
    }

    Atom sequence(Modes& modes)
    {
        enum class Prev { Nothing, Atom, Repetition };
        Prev prev = Prev::Nothing;
        std::optional<Atom> pending;
        Atom result;
        result.canBeEmpty = true;
        auto flush = [&] {
            if (pending) {
                result.text += pending->text;
                result.canBeEmpty = result.canBeEmpty && pending->canBeEmpty;
                pending.reset();
            }
        };

        for (;;) {
            if (modes.extended)
                skipExtendedSpace();
            if (atEnd())
                break;
            const qsizetype at = m_pos;
            const char16_t c = peek();
            if (c == u'|' || c == u')')
                break;

            std::optional<Repeat> repeat;
            if (c == u'*' || c == u'+' || c == u'?') {
                ++m_pos;
                repeat = Repeat{c == u'+' ? 1 : 0, c == u'?' ? 1 : Unbounded, false};
            } else if (c == u'{' && prev != Prev::Nothing) {
                repeat = braceRepeat();
            }
            if (repeat) {
                if (prev == Prev::Nothing)
                    fail(u"nothing to repeat before \""_s + QChar(c) + u'"', at);
                if (prev == Prev::Repetition)
                    fail(u"a repetition directly after a repetition"_s, at);
                applyRepeat(*pending, *repeat, modes, at);
                prev = Prev::Repetition;
                continue;
            }

            if (c == u'(' && hasAhead(1) && peek(1) == u'?') {
                if (hasAhead(2) && peek(2) == u'#') {
                    skipComment(at); // a comment is transparent, like blanks in mode x
                    continue;
                }
                modeGroup(modes, at);
                flush();
                prev = Prev::Nothing;
                continue;
            }

            flush();
            pending = atom(modes);
            prev = Prev::Atom;
        }
        flush();
        return result;
    }

    void applyRepeat(Atom& target, const Repeat& repeat, const Modes& modes, qsizetype at)
    {
        const bool plainOptional = !repeat.braced && repeat.min == 0 && repeat.max == 1;
        if (target.canBeEmpty && !plainOptional)
            fail(u"a repetition of something that can match the empty text"_s, at);
        bool lazyMark = false;
        if (!atEnd() && peek() == u'?') {
            lazyMark = true;
            ++m_pos;
        }
        const bool lazy = modes.greedy ? lazyMark : !lazyMark;

        if (target.zeroWidth)
            target.text = u"(?:"_s + target.text + u')';
        if (repeat.min > MaxExactCount) {
            // Needs more characters than any input it may search has: never matches; the
            // atom stays so that its groups keep their numbers.
            m_hasLargeCount = true;
            target.text = u"(?:(?!)"_s + target.text + u')';
            target.canBeEmpty = false;
            target.zeroWidth = false;
            return;
        }
        int max = repeat.max;
        if (max > MaxExactCount) {
            m_hasLargeCount = true;
            max = Unbounded;
        }
        QString quantifier;
        if (repeat.braced) {
            quantifier = u'{' + QString::number(repeat.min);
            if (max != repeat.min || repeat.max != repeat.min)
                quantifier += u',' + (max == Unbounded ? QString() : QString::number(max));
            quantifier += u'}';
        } else if (repeat.max == 1) {
            quantifier = u"?"_s;
        } else {
            quantifier = repeat.min == 0 ? u"*"_s : u"+"_s;
        }
        if (lazy)
            quantifier += u'?';
        target.text += quantifier;
        target.canBeEmpty = target.canBeEmpty || repeat.min == 0;
        target.zeroWidth = false;
    }

    // "{n}", "{n,}" or "{n,m}" at the current "{"; none when the text there is not of
    // that shape (the "{" is then an ordinary character).
    std::optional<Repeat> braceRepeat()
    {
        const qsizetype at = m_pos;
        qsizetype q = at + 1;
        auto digitsFrom = [&](qsizetype from) {
            qsizetype k = from;
            while (k < m_text.size() && m_text[k].unicode() >= u'0' && m_text[k].unicode() <= u'9')
                ++k;
            return k - from;
        };
        const qsizetype minDigits = digitsFrom(q);
        if (minDigits == 0)
            return std::nullopt;
        const qsizetype minAt = q;
        q += minDigits;
        bool comma = false;
        qsizetype maxDigits = 0;
        qsizetype maxAt = 0;
        if (q < m_text.size() && m_text[q] == u',') {
            comma = true;
            maxAt = ++q;
            maxDigits = digitsFrom(q);
            q += maxDigits;
        }
        if (q >= m_text.size() || m_text[q] != u'}')
            return std::nullopt;
        if (minDigits > MaxCountDigits || maxDigits > MaxCountDigits)
            fail(u"a repetition count of more than 8 digits"_s, at);
        auto number = [&](qsizetype from, qsizetype count) {
            int v = 0;
            for (qsizetype k = from; k < from + count; ++k)
                v = v * 10 + (m_text[k].unicode() - u'0');
            return v;
        };
        Repeat r;
        r.braced = true;
        r.min = number(minAt, minDigits);
        r.max = !comma ? r.min : (maxDigits == 0 ? Unbounded : number(maxAt, maxDigits));
        if (r.max != Unbounded && r.max < r.min)
            fail(u"a repetition {n,m} with m less than n"_s, at);
        m_pos = q + 1;
        return r;
    }

    void skipExtendedSpace()
    {
        while (!atEnd()) {
            if (isSpace(peek())) {
                ++m_pos;
            } else if (peek() == u'#') {
                while (!atEnd() && peek() != u'\n' && peek() != u'\r')
                    ++m_pos;
            } else {
                return;
            }
        }
    }

    void skipComment(qsizetype at)
    {
        const qsizetype close = m_text.indexOf(u')', m_pos + 3);
        if (close < 0)
            fail(u"unclosed comment \"(?#\""_s, at);
        m_pos = close + 1;
    }

    // "(?" mode letters, "-" switching the following ones off, ")".
    void modeGroup(Modes& modes, qsizetype at)
    {
        m_pos += 2;
        bool on = true;
        for (;;) {
            if (atEnd())
                fail(u"unmatched \"(\""_s, at);
            const char16_t c = peek();
            ++m_pos;
            if (c == u')')
                return;
            if (c == u'-') {
                on = false;
            } else if (bool* mode = modes.byLetter(c)) {
                *mode = on;
            } else {
                fail(u"\""_s + QChar(c) + u"\" is not a mode letter after \"(?\""_s, m_pos - 1);
            }
        }
    }

    Atom atom(const Modes& modes)
    {
        const qsizetype at = m_pos;
        const char16_t c = peek();
        ++m_pos;
        switch (c) {
        case u'(':
            return group(modes, at);
        case u'[':
            return bracketClass(modes, at);
        case u'.':
            return {modes.dotAll ? u"(?s:.)"_s : u"[^\\x{a}\\x{d}]"_s, false, false};
        case u'^':
            return {modes.multiLine ? u"(?:\\A|(?<=\\x{a})|(?<=\\x{d})(?!\\x{a}))"_s : u"\\A"_s,
                    true, true};
        case u'$':
            return {modes.multiLine ? u"(?:\\z|(?=\\x{d})|(?<!\\x{d})(?=\\x{a}))"_s : u"\\z"_s,
                    true, true};
        case u'\\':
            return escape(modes, at);
        default:
            return {caselessIf(modes.caseless, literalText(c)), false, false};
        }
    }

    Atom group(const Modes& modes, qsizetype at)
    {
        if (m_groups == MaxGroups)
            fail(u"more than 14 groups"_s, at);
        const int number = ++m_groups;
        m_groupStates[number] = GroupState::Open;
        Atom inner = alternatives(modes);
        if (atEnd())
            fail(u"unmatched \"(\""_s, at);
        ++m_pos;
        m_groupStates[number] = inner.canBeEmpty ? GroupState::Empty : GroupState::NonEmpty;
        return {u'(' + inner.text + u')', inner.canBeEmpty, false};
    }

    Atom escape(const Modes& modes, qsizetype at)
    {
        if (atEnd())
            fail(u"\"\\\" at the end of the pattern"_s, at);
        const char16_t c = peek();
        ++m_pos;
        if (const RangeSet* set = classEscapeSet(c))
            return {classText(*set, QChar::isUpper(char32_t(c)))};
        switch (c) {
        case u'b':
        case u'B':
            return wordBoundary(c == u'b');
        case u'A':
            return {u"\\A"_s, true, true};
        case u'Z':
            return {u"\\z"_s, true, true};
        default:
            break;
        }
        if (c >= u'1' && c <= u'9')
            return backReference(modes, c - u'0');
        return {caselessIf(modes.caseless, literalText(escapedChar(c, at)))};
    }

    // "\b" (at a boundary) or "\B" (not at one): a word character on exactly one side.
    static Atom wordBoundary(bool at)
    {
        static const QString word = classText(WordSet, false);
        const QString after = at ? u"(?!"_s : u"(?="_s;
        const QString notAfter = at ? u"(?="_s : u"(?!"_s;
        return {u"(?:(?<="_s + word + u")"_s + after + word + u")|(?<!"_s + word + u")"_s +
                    notAfter + word + u"))"_s,
                true, true};
    }

    // The character of a one-character escape (after its "\"): the control characters,
    // \x codes, and any other character standing for itself.
    char16_t escapedChar(char16_t c, qsizetype at)
    {
        switch (c) {
        case u't':
            return u'\t';
        case u'n':
            return u'\n';
        case u'r':
            return u'\r';
        case u'f':
            return u'\f';
        case u'a':
            return 7;
        case u'e':
            return 27;
        case u'x':
            return hexEscape(at);
        default:
            return c;
        }
    }

    // After "\x": two hexadecimal digits, or digits in braces, at most FF.
    char16_t hexEscape(qsizetype at)
    {
        const QString bad = u"a bad or missing hexadecimal digit after \"\\x\""_s;
        if (atEnd())
            fail(bad, at);
        int value = 0;
        if (peek() == u'{') {
            ++m_pos;
            int digits = 0;
            while (!atEnd() && hexValue(peek()) >= 0) {
                value = std::min(value * 16 + hexValue(peek()), 0x10000);
                ++digits;
                ++m_pos;
            }
            if (digits == 0 || atEnd() || peek() != u'}')
                fail(bad, at);
            ++m_pos;
            if (value > 0xFF)
                fail(u"a character code above FF after \"\\x\""_s, at);
            return char16_t(value);
        }
        for (int k = 0; k < 2; ++k) {
            if (atEnd() || hexValue(peek()) < 0)
                fail(bad, at);
            value = value * 16 + hexValue(peek());
            ++m_pos;
        }
        return char16_t(value);
    }

    Atom backReference(const Modes& modes, int number)
    {
        m_maxReference = std::max(m_maxReference, number);
        // A group not closed before the reference (later, enclosing or missing) is taken
        // as one that may have matched the empty text.
        const bool closed = number <= m_groups && m_groupStates[number] != GroupState::Open;
        const bool canBeEmpty = !closed || m_groupStates[number] == GroupState::Empty;
        if (m_knownGroups >= 0 && number > m_knownGroups)
            return {u"(?!)"_s, canBeEmpty, false}; // the text of a group that never matches
        return {caselessIf(modes.caseless, u"\\g{"_s + QString::number(number) + u'}'), canBeEmpty,
                false};
    }

    ClassMember classMember()
    {
        const char16_t c = peek();
        const qsizetype at = m_pos;
        ++m_pos;
        if (c != u'\\')
            return {c};
        if (atEnd())
            fail(u"\"\\\" at the end of the pattern"_s, at);
        const char16_t e = peek();
        ++m_pos;
        if (QChar::isLower(char32_t(e)))
            if (const RangeSet* set = classEscapeSet(e))
                return {0, set};
        return {escapedChar(e, at)};
    }

    void addRange(RangeSet& set, char16_t lo, char16_t hi, const Modes& modes, qsizetype at)
    {
        if (modes.cyrillicRanges && lo == SmallA && hi == CapitalYa) {
            set.push_back({CapitalA, SmallYa});
            set.push_back({CapitalYo, CapitalYo});
            set.push_back({SmallYo, SmallYo});
            return;
        }
        if (lo > hi)
            fail(u"a class range whose first character is greater than its last"_s, at);
        set.push_back({lo, hi});
        if (modes.cyrillicRanges && lo == SmallA && hi == SmallYa)
            set.push_back({SmallYo, SmallYo});
        if (modes.cyrillicRanges && lo == CapitalA && hi == CapitalYa)
            set.push_back({CapitalYo, CapitalYo});
    }

    Atom bracketClass(const Modes& modes, qsizetype at)
    {
        bool negated = false;
        if (!atEnd() && peek() == u'^') {
            negated = true;
            ++m_pos;
        }
        RangeSet set;
        bool first = true;
        bool afterRangeOrSet = false; // a "-" there is itself and starts no range
        for (;;) {
            if (atEnd())
                fail(u"unmatched \"[\""_s, at);
            if (peek() == u']' && !first) {
                ++m_pos;
                break;
            }
            first = false;
            const qsizetype memberAt = m_pos;
            const bool plainDash = peek() == u'-';
            const ClassMember member = classMember();
            if (member.set) {
                set.insert(set.end(), member.set->begin(), member.set->end());
                afterRangeOrSet = true;
                continue;
            }
            const bool mayStartRange = !(plainDash && afterRangeOrSet);
            afterRangeOrSet = false;
            if (mayStartRange && hasAhead(1) && peek() == u'-' && peek(1) != u']') {
                ++m_pos;
                const ClassMember last = classMember();
                if (last.set) {
                    set.push_back({member.ch, member.ch});
                    set.push_back({u'-', u'-'});
                    set.insert(set.end(), last.set->begin(), last.set->end());
                } else {
                    addRange(set, member.ch, last.ch, modes, memberAt);
                }
                afterRangeOrSet = true;
                continue;
            }
            set.push_back({member.ch, member.ch});
        }
        return {caselessIf(modes.caseless, classText(std::move(set), negated))};
    }

    QStringView m_text;
    qsizetype m_pos = 0;
    int m_knownGroups;
    int m_groups = 0;
    int m_maxReference = 0;
    bool m_hasLargeCount = false;
    std::array<GroupState, MaxGroups + 1> m_groupStates{};
};

} // namespace

TranslatedPattern translatePattern(QStringView text)
{
    Translator first(text, -1);
    TranslatedPattern result = first.run();
    if (first.referencesMissingGroup())
        result = Translator(text, result.groupCount).run();
    return result;
}

std::uint32_t translatedCompileOptions()
{
    // UCP only for the case folding of mode i beyond ASCII; every class is spelled out.
    return PCRE2_UCP | PCRE2_NEVER_UTF | PCRE2_NEVER_BACKSLASH_C;
}

} // namespace pattern
