// The pruned recognition (which skips split points that cannot work) against the
// literal procedure (which tries every occurrence): on every piece of many random texts
// both must agree on validity, form and operands, and on the texts the syntax error
// reports. And long pathological formulas must compile or be rejected, not hang.
#include "formulatesting.h"
#include "rates/formula/recogniser.h"
#include "rates/formula/variables.h"

#include <gtest/gtest.h>
#include <random>

using namespace formulatesting;
using formula::VariableTable;
using formula::detail::Form;
using formula::detail::Piece;
using formula::detail::Recogniser;
using formula::detail::Term;
using formula::detail::TriedSplit;

namespace {

const std::vector<std::u16string> Tokens = {
    u"A",    u"B",     u"E",   u"VALUE", u"MO",  u"DI", u"X1E", u"1", u"2", u"0",
    u"2.5",  u".",     u"E2",  u"1E-5",  u"1E+", u"PI", u"+",   u"-", u"-", u"*",
    u"/",    u"^",     u"DIV", u"MOD",   u"(",   u"(",  u")",   u")", u",", u"SIN(",
    u"MAX(", u"CEIL(", u"IV",  u"D",     u"E-",  u"+",  u"*",   u"-", u"(", u")"};

std::u16string randomText(std::mt19937& rng)
{
    std::uniform_int_distribution<int> count(1, 16);
    std::uniform_int_distribution<std::size_t> pick(0, Tokens.size() - 1);
    std::u16string text;
    for (int n = count(rng); n > 0; --n)
        text += Tokens[pick(rng)];
    return text;
}

std::string narrow(std::u16string_view s)
{
    return QString::fromUtf16(s.data(), s.size()).toStdString();
}

bool sameTerm(const Term& a, const Term& b)
{
    if (a.form != b.form)
        return false;
    switch (a.form) {
    case Form::Variable:
    case Form::Number:
    case Form::None:
        return true;
    case Form::Negation:
        return a.left == b.left;
    case Form::Call1:
        return a.left == b.left && a.function == b.function;
    case Form::Call2:
        return a.left == b.left && a.right == b.right && a.function == b.function;
    default:
        return a.left == b.left && a.right == b.right;
    }
}

void compareAllPieces(const std::u16string& text, const VariableTable& variables)
{
    Recogniser pruned(text, variables, u'.');
    Recogniser literal(text, variables, u'.', Recogniser::Mode::Literal);
    const int n = int(text.size());
    for (int b = 0; b <= n; ++b) {
        for (int e = b; e <= n; ++e) {
            const Piece p{b, e};
            ASSERT_EQ(pruned.isValid(p), literal.isValid(p))
                << narrow(text) << " piece " << narrow(pruned.text(p));
            ASSERT_TRUE(sameTerm(pruned.classify(p), literal.classify(p)))
                << narrow(text) << " piece " << narrow(pruned.text(p));
        }
    }
    TriedSplit a;
    TriedSplit b;
    const Term ta = pruned.classify(Piece{0, n}, &a);
    const Term tb = literal.classify(Piece{0, n}, &b);
    ASSERT_TRUE(sameTerm(ta, tb)) << narrow(text);
    ASSERT_EQ(a.left, b.left) << narrow(text);
    ASSERT_EQ(a.right, b.right) << narrow(text);
}

// A random formula from the language's own shapes, with signs in odd places; then,
// half of the time, one character deleted, doubled or replaced.
std::u16string grammarText(std::mt19937& rng, int depth)
{
    static const std::vector<std::u16string> leaves = {u"A",   u"VALUE", u"1",   u"2.5", u"1E-5",
                                                       u"E",   u"PI",    u"-2",  u".5",  u"E2",
                                                       u"X1E", u"MO",    u"-PI", u"+3"};
    static const std::vector<std::u16string> ops = {u"+",   u"-",  u"*",  u"/",  u"^",  u"DIV",
                                                    u"MOD", u"+-", u"*-", u"-+", u"--", u"^-"};
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    const std::size_t r = pick(10);
    if (depth <= 0 || r < 3)
        return leaves[pick(leaves.size())];
    if (r < 7)
        return grammarText(rng, depth - 1) + ops[pick(ops.size())] + grammarText(rng, depth - 1);
    if (r < 8)
        return std::u16string(pick(2) ? u"SIN(" : u"-(") + grammarText(rng, depth - 1) + u")";
    if (r < 9)
        return u"MAX(" + grammarText(rng, depth - 1) + u"," + grammarText(rng, depth - 1) + u")";
    return u"(" + grammarText(rng, depth - 1) + u")";
}

std::u16string mutated(std::mt19937& rng, std::u16string text)
{
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    if (text.empty() || pick(2) == 0)
        return text;
    const std::size_t at = pick(text.size());
    static const std::u16string chars = u"()+-*/^,E.1A";
    switch (pick(3)) {
    case 0:
        text.erase(at, 1);
        break;
    case 1:
        text.insert(at, 1, text[at]);
        break;
    default:
        text[at] = chars[pick(chars.size())];
    }
    return text;
}

TEST(Recogniser, PrunedAgreesWithTheLiteralProcedureOnGrammarShapes)
{
    VariableTable variables;
    variables.assign(u"VALUE", 0);
    variables.assign(u"MO", 0);
    variables.assign(u"X1E", 0);
    std::mt19937 rng(4242);
    for (int i = 0; i < 1500; ++i) {
        const std::u16string text = mutated(rng, grammarText(rng, 4));
        if (text.size() <= 48)
            compareAllPieces(text, variables);
    }
}

TEST(Recogniser, PrunedAgreesWithTheLiteralProcedureOnEveryPiece)
{
    VariableTable variables;
    variables.assign(u"VALUE", 0);
    variables.assign(u"MO", 0);
    variables.assign(u"X1E", 0);
    std::mt19937 rng(20261209);
    for (int i = 0; i < 3000; ++i)
        compareAllPieces(randomText(rng), variables);
}

// With a variable whose name holds DIV or MOD those words may stand inside an operand,
// which turns off the pruning that relies on them.
TEST(Recogniser, PrunedAgreesWhenVariableNamesHoldDivOrMod)
{
    VariableTable variables;
    variables.assign(u"MODI", 0);
    variables.assign(u"ADIVB", 0);
    variables.assign(u"DI", 0);
    std::mt19937 rng(77);
    for (int i = 0; i < 1500; ++i)
        compareAllPieces(randomText(rng), variables);
    for (const char16_t* text : {u"ADIVB", u"ADIVBDIVA", u"1+ADIVB*2", u"XMODIV", u"AMODIDIVB",
                                 u"MODIMODMODI", u"SIN(ADIVB)MODI"})
        compareAllPieces(text, variables);
}

TEST(Recogniser, StripsOnlyBracketsAroundAValidExpression)
{
    VariableTable variables;
    const std::u16string text = u"((A)+(B))";
    Recogniser rec(text, variables, u'.');
    EXPECT_EQ(rec.stripBrackets(Piece{0, 9}), (Piece{1, 8}));
    const std::u16string separate = u"(A)+(B)";
    Recogniser rec2(separate, variables, u'.');
    EXPECT_EQ(rec2.stripBrackets(Piece{0, 7}), (Piece{0, 7}));
}

// ---- Long formulas ------------------------------------------------------------------

// part repeated to about 2,000 characters, then tail.
QString repeat(const QString& part, const QString& tail = {})
{
    QString out;
    while (out.size() + part.size() + tail.size() <= 2000)
        out += part;
    return out + tail;
}

QString nest(const QString& open, int levels, const QString& inner, const QString& close)
{
    QString out;
    for (int i = 0; i < levels; ++i)
        out += open;
    out += inner;
    for (int i = 0; i < levels; ++i)
        out += close;
    return out;
}

// 32 chains of 15 multiplications under a tree of 31 additions: 2,000 characters within
// both limits (32 operations at each of levels 5 to 19).
QString wideAndDeep()
{
    QString chain = u"1.1"_qs;
    for (int i = 1; i < 16; ++i)
        chain += i < 10 ? u"*1.1"_qs : u"*11"_qs;
    std::function<QString(int)> tree = [&](int level) -> QString {
        if (level == 5)
            return chain;
        return u"("_qs + tree(level + 1) + u")+("_qs + tree(level + 1) + u")"_qs;
    };
    return tree(0);
}

QString randomLong(unsigned seed)
{
    std::mt19937 rng(seed);
    std::u16string text;
    while (text.size() < 2000)
        text += randomText(rng);
    text.resize(2000);
    return QString::fromStdU16String(text);
}

struct LongCase {
    const char* name;
    QString formula;
    Kind kind;
};

class LongFormulaTest : public testing::TestWithParam<LongCase> {};

// No timing here: the benchmark measures compile time. These must simply finish.
TEST_P(LongFormulaTest, CompilesOrIsRejected)
{
    const LongCase& c = GetParam();
    ASSERT_GE(c.formula.size(), 1900);
    ASSERT_LE(c.formula.size(), 2047);
    formula::MathParser parser;
    parser.AssignVariable(u"VALUE", 1);
    const Outcome out = evaluate(parser, c.formula);
    EXPECT_EQ(kindName(out.kind), std::string(kindName(c.kind))) << utf8(out.message.left(80));
}

INSTANTIATE_TEST_SUITE_P(
    Pathological, LongFormulaTest,
    testing::Values(
        LongCase{"WideAndDeep", wideAndDeep(), Kind::None},
        LongCase{"SubtractionChain", repeat(u"A-"_qs, u"A"_qs), Kind::Nestings},
        LongCase{"AdditionChainWithTrailingPlus", repeat(u"A+"_qs), Kind::Syntax},
        LongCase{"ExponentLikeMinuses", repeat(u"1E-"_qs, u"1"_qs), Kind::Syntax},
        LongCase{"ExponentLikePluses", repeat(u"1E+"_qs, u"1"_qs), Kind::Syntax},
        LongCase{"SignedProducts", repeat(u"2*-"_qs, u"2"_qs), Kind::Nestings},
        LongCase{"SignedQuotients", repeat(u"2/-"_qs, u"2"_qs), Kind::Nestings},
        LongCase{"DivChain", repeat(u"ADIV"_qs, u"A"_qs), Kind::Nestings},
        LongCase{"DivisionChain", repeat(u"A/"_qs, u"A"_qs), Kind::Nestings},
        LongCase{"PowerChain", repeat(u"A^"_qs, u"A"_qs), Kind::Syntax},
        LongCase{"NegatedSubtractions", repeat(u"-A"_qs), Kind::Syntax},
        LongCase{"MixedProductsAndSums", repeat(u"A*A+"_qs, u"A"_qs), Kind::Nestings},
        LongCase{"MixedSumsAndDifferences", repeat(u"A-A*A+"_qs, u"A"_qs), Kind::Nestings},
        LongCase{"Brackets", nest(u"("_qs, 999, u"A"_qs, u")"_qs), Kind::None},
        LongCase{"NestedSums", nest(u"(A+"_qs, 499, u"A"_qs, u")"_qs), Kind::Nestings},
        LongCase{"NestedCalls", nest(u"SIN("_qs, 399, u"A"_qs, u")"_qs), Kind::Nestings},
        LongCase{"NestedTwoArgumentCalls", nest(u"MAX(A,"_qs, 285, u"A"_qs, u")"_qs),
                 Kind::Nestings},
        LongCase{"BracketedProducts", nest(u"(2*"_qs, 499, u"2"_qs, u")"_qs), Kind::Nestings},
        LongCase{"ManyCommas", u"MAX("_qs + repeat(u"A,"_qs).left(1990) + u"A)"_qs, Kind::Syntax},
        LongCase{"UnbalancedInside", u"("_qs + repeat(u"A)+(A"_qs).left(1990) + u")"_qs,
                 Kind::Syntax},
        LongCase{"Random1", randomLong(1), Kind::Brackets},
        LongCase{"Random2", randomLong(2), Kind::Brackets}),
    [](const testing::TestParamInfo<LongCase>& info) { return std::string(info.param.name); });

TEST(LongFormula, BeyondTheRecognitionLimitIsTooComplex)
{
    formula::MathParser parser;
    QString text = u"A"_qs;
    while (text.size() <= formula::MaxFormulaLength)
        text += u"+A"_qs;
    EXPECT_THROW(parser.setExpression(text), formula::EExpressionTooComplex);
}

} // namespace
