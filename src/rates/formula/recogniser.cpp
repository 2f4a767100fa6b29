#include "rates/formula/recogniser.h"

#include "rates/formula/formulatext.h"
#include "rates/formula/variables.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace formula::detail {
namespace {

constexpr std::u16string_view DivWord = u"DIV";
constexpr std::u16string_view ModWord = u"MOD";

} // namespace

// The binary forms: the operator each searches for and what its two sides may be. Both
// searches, the literal and the pruned one, take them from here.
struct Recogniser::BinaryForm {
    std::u16string_view op;
    Side left;
    Side right;
};

const Recogniser::BinaryForm& Recogniser::binaryForm(Form f)
{
    static const BinaryForm Addition{u"+", Side::AddLeft, Side::AddRight};
    static const BinaryForm Subtraction{u"-", Side::AddLeft, Side::SubRight};
    static const BinaryForm Multiplication{u"*", Side::MulLeft, Side::SubRight};
    static const BinaryForm IntDivision{DivWord, Side::MulLeft, Side::DivRight};
    static const BinaryForm Remainder{ModWord, Side::MulLeft, Side::DivRight};
    static const BinaryForm Division{u"/", Side::MulLeft, Side::DivRight};
    static const BinaryForm Power{u"^", Side::PowSide, Side::PowSide};
    switch (f) {
    case Form::Addition:
        return Addition;
    case Form::Subtraction:
        return Subtraction;
    case Form::Multiplication:
        return Multiplication;
    case Form::IntDivision:
        return IntDivision;
    case Form::Remainder:
        return Remainder;
    case Form::Division:
        return Division;
    default:
        return Power;
    }
}

Recogniser::Recogniser(std::u16string_view text, const VariableTable& variables,
                       char16_t decimalPoint, Mode mode)
    : m_text(text), m_n(int(text.size())), m_variables(variables), m_point(decimalPoint),
      // With "," as the decimal point a literal may hold a comma, which the pruning
      // rules assume it cannot: such a text is recognised literally.
      m_mode(decimalPoint == u',' ? Mode::Literal : mode),
      m_wordsInNames(variables.anyNameContains(DivWord) || variables.anyNameContains(ModWord)),
      m_stride(m_n + 1)
{
    const int n = m_n;
    m_depth.assign(n + 1, 0);
    int minDepth = 0;
    int maxDepth = 0;
    for (int k = 0; k < n; ++k) {
        m_depth[k + 1] = m_depth[k] + (m_text[k] == u'(') - (m_text[k] == u')');
        minDepth = std::min(minDepth, m_depth[k + 1]);
        maxDepth = std::max(maxDepth, m_depth[k + 1]);
    }

    // First later position whose depth is lower, by a scan from the right with a stack
    // of the positions still waiting for a lower one.
    m_dropAt.assign(n + 1, n + 1);
    std::vector<int> waiting;
    for (int k = 0; k <= n; ++k) {
        while (!waiting.empty() && m_depth[waiting.back()] > m_depth[k]) {
            m_dropAt[waiting.back()] = k;
            waiting.pop_back();
        }
        waiting.push_back(k);
    }

    m_firstOpen.assign(n + 1, -1);
    for (int k = n - 1; k >= 0; --k)
        m_firstOpen[k] = m_text[k] == u'(' ? k : m_firstOpen[k + 1];

    // Class membership of each position.
    std::vector<std::uint16_t> classes(n, 0);
    for (int k = 0; k < n; ++k) {
        const char16_t c = m_text[k];
        std::uint16_t bits = 0;
        auto mark = [&bits](Class cls) { bits |= std::uint16_t(1u << cls); };
        switch (c) {
        case u'+':
            mark(CPlus);
            if (!isSoftSign(k))
                mark(CHardPlus);
            break;
        case u'-':
            mark(CMinus);
            if (!isSoftSign(k))
                mark(CHardMinus);
            break;
        case u'*':
            mark(CStar);
            break;
        case u'/':
            mark(CSlash);
            break;
        case u'^':
            mark(CCaret);
            break;
        case u',':
            mark(CComma);
            break;
        default:
            if (isWordAt(DivWord, k))
                mark(CDivWord);
            else if (isWordAt(ModWord, k))
                mark(CModWord);
        }
        classes[k] = bits;
    }

    // Top-level occurrences: the same depth with no lower depth in between. Scans keep
    // the nearest occurrence per class and depth and forget a depth where a bracket
    // group ends (from the group's side).
    const int depths = maxDepth - minDepth + 2;
    const int none = n + 1;
    std::vector<int> last(std::size_t(ClassCount) * depths);
    auto at = [&](int cls, int depth) -> int& {
        return last[std::size_t(cls) * depths + std::size_t(depth - minDepth)];
    };
    // The depth inside the bracket group that the bracket at k opens or closes.
    auto groupDepth = [&](int k) { return m_text[k] == u'(' ? m_depth[k] + 1 : m_depth[k]; };
    auto isBracket = [&](int k) { return m_text[k] == u'(' || m_text[k] == u')'; };

    m_next.assign(std::size_t(ClassCount) * m_stride, none);
    std::fill(last.begin(), last.end(), none);
    for (int k = n; k >= 0; --k) {
        if (k < n && isBracket(k)) {
            const int d = groupDepth(k);
            if (d - minDepth < depths)
                for (int cls = 0; cls < ClassCount; ++cls)
                    at(cls, d) = none;
        } else if (k < n) {
            for (int cls = 0; cls < ClassCount; ++cls)
                if (classes[k] & (1u << cls))
                    at(cls, m_depth[k]) = k;
        }
        for (int cls = 0; cls < ClassCount; ++cls)
            m_next[std::size_t(cls) * m_stride + k] = at(cls, m_depth[k]);
    }

    m_prev.assign(std::size_t(ClassCount) * m_stride, -1);
    std::fill(last.begin(), last.end(), -1);
    for (int k = 0; k <= n; ++k) {
        for (int cls = 0; cls < ClassCount; ++cls)
            m_prev[std::size_t(cls) * m_stride + k] = at(cls, m_depth[k]);
        if (k == n)
            break;
        if (isBracket(k)) {
            const int d = groupDepth(k);
            if (d - minDepth < depths)
                for (int cls = 0; cls < ClassCount; ++cls)
                    at(cls, d) = -1;
        } else {
            for (int cls = 0; cls < ClassCount; ++cls)
                if (classes[k] & (1u << cls))
                    at(cls, m_depth[k]) = k;
        }
    }

    m_subtractionLefts.resize(std::size_t(n) + 1);

    std::size_t capacity = 64;
    m_memoShift = 64 - 6;
    while (capacity < std::size_t(n) * 8) {
        capacity *= 2;
        --m_memoShift;
    }
    m_memo.assign(capacity, Slot{});
}

Recogniser::~Recogniser() = default;

// ---- Tables -------------------------------------------------------------------------

bool Recogniser::nested(Piece p) const
{
    return m_depth[p.begin] == m_depth[p.end] && m_dropAt[p.begin] > p.end;
}

bool Recogniser::hasTop(Class c, Piece p) const
{
    const int q = nextTop(c, p.begin);
    return q + classWidth(c) <= p.end;
}

bool Recogniser::hasTopAfterStart(Class c, Piece p) const
{
    int q = nextTop(c, p.begin);
    if (q == p.begin)
        q = nextTop(c, p.begin + 1); // a sign is no bracket: same depth after it
    return q < p.end;
}

int Recogniser::lastTop(Class c, Piece p) const
{
    int q = prevTop(c, p.end);
    if (q >= 0 && q + classWidth(c) > p.end)
        q = prevTop(c, q); // a word that runs past the end is not in the piece
    return q >= p.begin ? q : -1;
}

int Recogniser::firstOpen(Piece p) const
{
    const int q = p.begin < m_n ? m_firstOpen[p.begin] : -1;
    return q >= 0 && q < p.end ? q : -1;
}

bool Recogniser::isWordAt(std::u16string_view word, int k) const
{
    return m_text.substr(k, word.size()) == word;
}

// Whether the "+" or "-" at k could be the sign of a number literal, the sign of an
// exponent, or a negation inside a multiplicative term. Any other one, not at the start
// of a piece, can only be a binary operator, so a piece that may hold no binary "+"
// (or "-") is ruled out at once when it contains one.
bool Recogniser::isSoftSign(int k) const
{
    if (k == 0)
        return false;
    const char16_t prev = m_text[k - 1];
    const char16_t next = k + 1 < m_n ? m_text[k + 1] : u'\0';
    if (prev == u'*' || prev == u'+' || prev == u'-')
        return true;
    if (prev == u'/' || prev == u'^' || prev == u'V' || prev == u'D')
        return isDigit(next) || next == m_point || next == u'E' ||
               (m_text[k] == u'-' && next == u'P');
    if (prev == u'E')
        return isDigit(next);
    return false;
}

// Whether a side may end before k / begin at k: every acceptable text ends with an
// identifier character, a point or ")", and begins with one of those, "(" or a sign.
bool Recogniser::endOk(int k) const
{
    const char16_t c = m_text[k - 1];
    return isIdentifierChar(c) || c == m_point || c == u')';
}

bool Recogniser::startOk(int k) const
{
    if (k >= m_n)
        return false;
    const char16_t c = m_text[k];
    return isIdentifierChar(c) || c == m_point || c == u'(' || c == u'+' || c == u'-';
}

// ---- Memo ---------------------------------------------------------------------------

namespace {
// Fibonacci hashing: the high bits of the product, as many as the table has.
inline std::size_t slotOf(std::uint32_t key, int shift)
{
    return std::size_t((std::uint64_t(key) * 0x9E3779B97F4A7C15ULL) >> shift);
}
} // namespace

int Recogniser::memoGet(Piece p, Predicate pred) const
{
    const std::uint32_t key = std::uint32_t(p.begin) * std::uint32_t(m_n + 1) + p.end + 1;
    const std::size_t mask = m_memo.size() - 1;
    for (std::size_t i = slotOf(key, m_memoShift);; i = (i + 1) & mask) {
        const Slot& slot = m_memo[i];
        if (slot.key == key) {
            const std::uint32_t bits = slot.bits >> (2 * pred);
            return bits & 1 ? int((bits >> 1) & 1) : -1;
        }
        if (slot.key == 0)
            return -1;
    }
}

void Recogniser::memoSet(Piece p, Predicate pred, bool value)
{
    if ((m_memoUsed + 1) * 2 > m_memo.size())
        memoGrow();
    const std::uint32_t key = std::uint32_t(p.begin) * std::uint32_t(m_n + 1) + p.end + 1;
    const std::size_t mask = m_memo.size() - 1;
    for (std::size_t i = slotOf(key, m_memoShift);; i = (i + 1) & mask) {
        Slot& slot = m_memo[i];
        if (slot.key == 0) {
            slot.key = key;
            ++m_memoUsed;
        }
        if (slot.key == key) {
            slot.bits |= (1u | (value ? 2u : 0u)) << (2 * pred);
            return;
        }
    }
}

void Recogniser::memoGrow()
{
    std::vector<Slot> old(m_memo.size() * 2);
    old.swap(m_memo);
    --m_memoShift;
    const std::size_t mask = m_memo.size() - 1;
    for (const Slot& slot : old) {
        if (slot.key == 0)
            continue;
        std::size_t i = slotOf(slot.key, m_memoShift);
        while (m_memo[i].key != 0)
            i = (i + 1) & mask;
        m_memo[i] = slot;
    }
}

// ---- Predicates ---------------------------------------------------------------------

bool Recogniser::fits(Predicate pred, Piece p)
{
    const int known = memoGet(p, pred);
    if (known >= 0)
        return known == 1;
    const bool value = compute(pred, p);
    memoSet(p, pred, value);
    return value;
}

bool Recogniser::compute(Predicate pred, Piece p)
{
    // The predicates of the forms, in the order of the forms.
    static_assert(PCall2 - PNegation == int(Form::Call2) - int(Form::Negation));
    switch (pred) {
    case PVariable:
        return variable(p);
    case PNumber:
        return isNumber(p);
    case PBracketed:
        return bracketed(p);
    case PValid:
        if (p.size() <= 0)
            return false;
        if (m_mode == Mode::Pruned && !sideTierHolds(Side::AddRight, p))
            return false;
        if (fits(PNumber, p) || fits(PVariable, p) || fits(PBracketed, p))
            return true;
        for (int q = PNegation; q <= PCall2; ++q)
            if (fits(Predicate(q), p))
                return true;
        return false;
    case PredicateCount:
        return false;
    default: // the form predicates
        return form(Form(int(Form::Negation) + (pred - PNegation)), p, nullptr, nullptr);
    }
}

bool Recogniser::isValid(Piece p)
{
    return fits(PValid, p);
}

Piece Recogniser::stripBrackets(Piece p)
{
    while (fits(PBracketed, p))
        p = Piece{p.begin + 1, p.end - 1};
    return p;
}

bool Recogniser::variable(Piece p) const
{
    if (p.size() <= 0 || std::size_t(p.size()) > m_variables.longestName())
        return false;
    return m_variables.find(text(p)) != nullptr;
}

bool Recogniser::isNumber(Piece p) const
{
    const std::u16string_view t = text(p);
    if (t == u"PI" || t == u"-PI")
        return true;
    std::size_t i = 0;
    const std::size_t n = t.size();
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    if (i == n)
        return false; // empty, or a lone sign
    while (i < n && isDigit(t[i]))
        ++i;
    if (i < n && t[i] == m_point) {
        ++i;
        while (i < n && isDigit(t[i]))
            ++i;
    }
    if (i < n && t[i] == u'E') {
        std::size_t j = i + 1;
        if (j < n && (t[j] == u'+' || t[j] == u'-'))
            ++j;
        if (j == n || !isDigit(t[j]))
            return false;
        while (j < n && isDigit(t[j]))
            ++j;
        i = j;
    }
    return i == n;
}

std::optional<double> Recogniser::numberValue(Piece p) const
{
    const std::u16string_view t = text(p);
    constexpr double Pi = 3.141592653589793;
    if (t == u"PI")
        return Pi;
    if (t == u"-PI")
        return -Pi;

    // Rewritten as [-]digits.digitsEexponent for from_chars, with the exponent kept in a
    // range where the outcome (overflow, underflow or a value) is still decided exactly.
    std::string ascii;
    std::size_t i = 0;
    bool negative = false;
    if (t[i] == u'+' || t[i] == u'-')
        negative = t[i++] == u'-';
    std::string integer;
    std::string fraction;
    while (i < t.size() && isDigit(t[i]))
        integer += char(t[i++]);
    if (i < t.size() && t[i] == m_point) {
        ++i;
        while (i < t.size() && isDigit(t[i]))
            fraction += char(t[i++]);
    }
    long long exponent = 0;
    if (i < t.size() && t[i] == u'E') {
        ++i;
        bool negativeExponent = false;
        if (t[i] == u'+' || t[i] == u'-')
            negativeExponent = t[i++] == u'-';
        for (; i < t.size(); ++i)
            exponent = std::min<long long>(exponent * 10 + (t[i] - u'0'), 100000000);
        if (negativeExponent)
            exponent = -exponent;
    }
    const std::string digits = integer + fraction;
    const auto firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos)
        return negative ? -0.0 : 0.0;
    // Decimal exponent of the leading significant digit.
    const long long magnitude = (long long)integer.size() - (long long)firstNonZero + exponent;
    if (magnitude > 400)
        return std::nullopt;
    if (magnitude < -400)
        return negative ? -0.0 : 0.0;

    ascii = (negative ? "-" : "") + (integer.empty() ? std::string("0") : integer) + "." +
            (fraction.empty() ? std::string("0") : fraction) + "e" + std::to_string(exponent);
    double value = 0.0;
    const auto res = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (res.ec == std::errc::result_out_of_range)
        return magnitude > 0 ? std::nullopt : std::optional<double>(negative ? -0.0 : 0.0);
    if (std::isinf(value))
        return std::nullopt;
    return value;
}

bool Recogniser::bracketed(Piece p)
{
    if (p.size() < 2 || m_text[p.begin] != u'(' || m_text[p.end - 1] != u')')
        return false;
    return fits(PValid, Piece{p.begin + 1, p.end - 1});
}

// ---- What each side and form may hold -------------------------------------------------
//
// Tiers: a piece that may hold no top-level binary "+" has no hard "+"; no binary "-",
// no hard "-"; no multiplication, no top-level "*"; no division, no top-level "/" (nor
// DIV or MOD, unless a variable's name contains one); no power, no top-level "^". Every
// valid piece is properly bracketed and has no top-level comma. These are necessary
// conditions only: they rule pieces out early and never decide that one fits.

bool Recogniser::sideTierHolds(Side side, Piece p) const
{
    if (!startOk(p.begin) || !endOk(p.end) || !nested(p) || hasTop(CComma, p))
        return false;
    if (side == Side::AddRight)
        return true;
    if (hasTopAfterStart(CHardPlus, p))
        return false;
    if (side == Side::AddLeft)
        return true;
    if (hasTopAfterStart(CHardMinus, p))
        return false;
    if (side == Side::SubRight)
        return true;
    if (hasTop(CStar, p))
        return false;
    if (side == Side::MulLeft)
        return true;
    if (hasTop(CSlash, p) || (!m_wordsInNames && (hasTop(CDivWord, p) || hasTop(CModWord, p))))
        return false;
    if (side == Side::DivRight)
        return true;
    return !hasTop(CCaret, p);
}

bool Recogniser::formTierHolds(Form f, Piece p) const
{
    switch (f) {
    case Form::Addition:
        return sideTierHolds(Side::AddRight, p);
    case Form::Subtraction:
        return sideTierHolds(Side::AddLeft, p);
    case Form::Multiplication:
        return sideTierHolds(Side::SubRight, p);
    case Form::IntDivision:
    case Form::Remainder:
    case Form::Division:
        return sideTierHolds(Side::MulLeft, p);
    case Form::Negation:
    case Form::Power:
        return sideTierHolds(Side::DivRight, p);
    default:
        return sideTierHolds(Side::PowSide, p);
    }
}

bool Recogniser::acceptable(Side side, Piece p)
{
    if (p.size() <= 0)
        return false;
    if (m_mode == Mode::Pruned && !sideTierHolds(side, p))
        return false;
    if (fits(PVariable, p) || fits(PNumber, p) || fits(PBracketed, p))
        return true;
    if (fits(PCall1, p) || fits(PCall2, p))
        return true;
    if (side == Side::PowSide)
        return false;
    if (fits(PPower, p))
        return true;
    if (side == Side::DivRight)
        return false;
    if (fits(PIntDivision, p) || fits(PRemainder, p) || fits(PDivision, p))
        return true;
    if (side == Side::MulLeft)
        return fits(PNegation, p);
    if (fits(PMultiplication, p))
        return true;
    if (side == Side::SubRight)
        return false;
    if (fits(PSubtraction, p))
        return true;
    if (side == Side::AddLeft)
        return fits(PNegation, p);
    return fits(PAddition, p); // AddRight
}

bool Recogniser::splitAt(Piece p, int q, const BinaryForm& b, Term* out)
{
    const int width = int(b.op.size());
    if (q <= p.begin || q + width >= p.end)
        return false; // no occurrence, one at the start, or nothing after it
    return accept(b.left, Piece{p.begin, q}, b.right, Piece{q + width, p.end}, out);
}

bool Recogniser::accept(Side left, Piece l, Side right, Piece r, Term* out)
{
    if (!acceptable(left, l) || !acceptable(right, r))
        return false;
    if (out) {
        out->left = l;
        out->right = r;
    }
    return true;
}

// ---- Forms --------------------------------------------------------------------------

Term Recogniser::classify(Piece p, TriedSplit* tried)
{
    static constexpr Form Order[] = {Form::Variable,    Form::Number,      Form::Negation,
                                     Form::Addition,    Form::Subtraction, Form::Multiplication,
                                     Form::IntDivision, Form::Remainder,   Form::Division,
                                     Form::Power,       Form::Call1,       Form::Call2};
    Term term;
    for (Form f : Order) {
        if (form(f, p, tried, &term)) {
            term.form = f;
            return term;
        }
    }
    term.form = Form::None;
    return term;
}

bool Recogniser::form(Form f, Piece p, TriedSplit* tried, Term* out)
{
    if (p.size() <= 0)
        return false;
    const bool literal = m_mode == Mode::Literal || tried;
    if (!literal && !formTierHolds(f, p))
        return false;
    switch (f) {
    case Form::Variable:
        return fits(PVariable, p);
    case Form::Number:
        return fits(PNumber, p);
    case Form::Negation:
        return negation(p, tried, out);
    case Form::Call1:
        return call1(p, tried, out);
    case Form::Call2:
        return call2(p, tried, out);
    case Form::None:
        return false;
    default:
        break;
    }
    const BinaryForm& b = binaryForm(f);
    if (literal)
        return literalSplit(b, p, tried, out);
    switch (f) {
    case Form::Addition:
        return addition(b, p, out);
    case Form::Subtraction:
        return subtraction(b, p, out);
    case Form::IntDivision:
    case Form::Remainder:
        return wordDivision(f, b, p, out);
    case Form::Division:
        return division(b, p, out);
    default: // multiplication and power: only the first occurrence can work
        return firstOccurrence(b, p, out);
    }
}

bool Recogniser::negation(Piece p, TriedSplit* tried, Term* out)
{
    if (m_text[p.begin] != u'-')
        return false;
    const Piece rest{p.begin + 1, p.end};
    if (tried)
        tried->left = rest;
    if (rest.size() <= 0)
        return false;
    if (fits(PBracketed, rest) || fits(PVariable, rest) || fits(PPower, rest) ||
        fits(PCall1, rest) || fits(PCall2, rest)) {
        if (out)
            out->left = rest;
        return true;
    }
    return false;
}

// A binary operator exactly as the language states the search: each occurrence from the
// left is a split point. A single-character operator gives up at an occurrence that is
// the first or last character; DIV and MOD skip one at the start, and one without text
// after it fails.
bool Recogniser::literalSplit(const BinaryForm& b, Piece p, TriedSplit* tried, Term* out)
{
    const int w = int(b.op.size());
    const bool word = w > 1;
    for (int q = p.begin; q + w <= p.end; ++q) {
        if (word ? !isWordAt(b.op, q) : m_text[q] != b.op.front())
            continue;
        if (q == p.begin) {
            if (word)
                continue;
            return false;
        }
        if (!word && q == p.end - 1)
            return false;
        const Piece l{p.begin, q};
        const Piece r{q + w, p.end};
        if (tried) {
            tried->left = l;
            tried->right = r;
        }
        if (balanced(l.begin, l.end) && balanced(r.begin, r.end) &&
            accept(b.left, l, b.right, r, out))
            return true;
    }
    return false;
}

// The pruned searches below try only the occurrences that the literal search could
// accept, in the same order, so they find the same split. A split point is at the top
// level of the piece (otherwise a side is unbalanced), and sides are ruled out by what
// they contain (see the tiers above).

bool Recogniser::addition(const BinaryForm& b, Piece p, Term* out)
{
    if (m_text[p.begin] == u'+')
        return false;
    // The left side may hold no hard "+": no occurrence after the first hard one works.
    int firstHard = nextTop(CHardPlus, p.begin);
    for (int q = nextTop(CPlus, p.begin); q < p.end && q <= firstHard; q = nextTop(CPlus, q + 1)) {
        if (q == p.end - 1)
            return false;
        if (endOk(q) && startOk(q + 1) && splitAt(p, q, b, out))
            return true;
    }
    return false;
}

bool Recogniser::subtraction(const BinaryForm& b, Piece p, Term* out)
{
    if (m_text[p.begin] == u'-')
        return false;
    // Whether the text from this start to a "-" is an acceptable left side does not
    // depend on where the piece ends: found once per start, in increasing order (a
    // search for a shorter piece with the same start, made while this one is being
    // extended, needs only the split points found so far).
    SplitPoints& points = m_subtractionLefts[std::size_t(p.begin)];
    if (points.scanFrom < p.begin)
        points.scanFrom = p.begin;
    for (int q = nextTop(CMinus, points.scanFrom); q < p.end - 1; q = nextTop(CMinus, q + 1)) {
        if (endOk(q) && startOk(q + 1) && acceptable(b.left, Piece{p.begin, q}))
            m_subtractionLefts[std::size_t(p.begin)].lefts.push_back(q);
        m_subtractionLefts[std::size_t(p.begin)].scanFrom = q + 1;
    }
    // The right side may hold no hard "-" (after its own start): the split is at the
    // last hard one or later. (The piece holds no hard "+", by its tier.)
    const int lastHard = lastTop(CHardMinus, p);
    const std::vector<int>& lefts = m_subtractionLefts[std::size_t(p.begin)].lefts;
    auto it = std::lower_bound(lefts.begin(), lefts.end(), lastHard > p.begin ? lastHard : p.begin);
    for (std::size_t i = std::size_t(it - lefts.begin()); i < lefts.size(); ++i) {
        const int q = lefts[i];
        if (q >= p.end - 1)
            break;
        if (splitAt(p, q, b, out))
            return true;
    }
    return false;
}

bool Recogniser::firstOccurrence(const BinaryForm& b, Piece p, Term* out)
{
    // "*": the left side may hold no top-level "*"; "^": neither side may hold a
    // top-level "^". Either way only the first occurrence can work (one at the start
    // gives up).
    return splitAt(p, nextTop(b.op == u"*" ? CStar : CCaret, p.begin), b, out);
}

bool Recogniser::division(const BinaryForm& b, Piece p, Term* out)
{
    // The right side may hold no top-level "/": only the last occurrence can work.
    if (m_text[p.begin] == u'/')
        return false;
    return splitAt(p, lastTop(CSlash, p), b, out);
}

bool Recogniser::wordDivision(Form f, const BinaryForm& b, Piece p, Term* out)
{
    const Class cls = f == Form::IntDivision ? CDivWord : CModWord;
    // The right side may hold no top-level "/", and no DIV or MOD unless a variable's
    // name contains one: the split lies after the last "/", and ends at or after the
    // start of the last DIV or MOD (a MOD may overlap a DIV by one letter, "MODIV").
    int start = p.begin + 1;
    const int slash = lastTop(CSlash, p);
    if (slash >= 0)
        start = std::max(start, slash + 1);
    if (!m_wordsInNames) {
        const int last = std::max(lastTop(CDivWord, p), lastTop(CModWord, p));
        if (last < 0)
            return false;
        int from = std::max(p.begin, last - 2);
        for (int k = from; k < last; ++k)
            if (m_text[k] == u'(' || m_text[k] == u')')
                from = last;
        start = std::max(start, from);
    }
    int q = start == p.begin + 1 ? nextTop(cls, p.begin) : nextTop(cls, start);
    for (; q + 3 <= p.end; q = nextTop(cls, q + 1)) {
        if (splitAt(p, q, b, out))
            return true;
    }
    return false;
}

std::optional<Piece> Recogniser::callArguments(Piece p, Piece* name) const
{
    const int open = firstOpen(p);
    if (open <= p.begin || m_text[p.end - 1] != u')')
        return std::nullopt;
    *name = Piece{p.begin, open};
    return Piece{open + 1, p.end - 1};
}

bool Recogniser::call1(Piece p, TriedSplit* tried, Term* out)
{
    Piece name;
    const auto inside = callArguments(p, &name);
    if (!inside)
        return false;
    const auto kind = oneArgumentFunction(text(name));
    if (!kind)
        return false;
    if (tried)
        tried->left = *inside;
    if (!fits(PValid, *inside))
        return false;
    if (out) {
        out->left = *inside;
        out->function = *kind;
    }
    return true;
}

bool Recogniser::call2(Piece p, TriedSplit* tried, Term* out)
{
    Piece name;
    const auto arguments = callArguments(p, &name);
    if (!arguments)
        return false;
    const auto kind = twoArgumentFunction(text(name));
    if (!kind)
        return false;
    const Piece inside = *arguments;
    auto take = [&](int comma) {
        const Piece l{inside.begin, comma};
        const Piece r{comma + 1, inside.end};
        if (!fits(PValid, l) || !fits(PValid, r))
            return false;
        if (out) {
            out->left = l;
            out->right = r;
            out->function = *kind;
        }
        return true;
    };
    if (m_mode == Mode::Literal || tried) {
        for (int c = inside.begin; c < inside.end; ++c) {
            if (m_text[c] != u',')
                continue;
            if (c == inside.begin || c == inside.end - 1)
                return false;
            if (tried) {
                tried->left = Piece{inside.begin, c};
                tried->right = Piece{c + 1, inside.end};
            }
            if (take(c))
                return true;
        }
        return false;
    }
    // Neither argument may hold a top-level comma: only a single one can work.
    if (inside.size() <= 0 || m_text[inside.begin] == u',' || !nested(inside))
        return false;
    const int comma = nextTop(CComma, inside.begin);
    if (comma >= inside.end - 1 || nextTop(CComma, comma + 1) < inside.end)
        return false;
    return take(comma);
}

} // namespace formula::detail
