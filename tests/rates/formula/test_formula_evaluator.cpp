// The evaluator's interface: variables bound by reference, the expression and its error
// flag, the error handler, the number format, the limits at both sides, the compiled
// order, and EvaluateRule.
#include "formulatesting.h"
#include "rates/formula/evaluaterule.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace formulatesting;
using formula::MathParser;
using formula::OpKind;

namespace {

TEST(Variables, AreBoundByReferenceAfterCompiling)
{
    MathParser parser;
    double& value = parser.AssignVariable(u"value", 1);
    parser.setExpression(u"VALUE*2"_qs);
    EXPECT_EQ(parser.Value(), 2);
    parser.AssignVariable(u"value", 3);
    EXPECT_EQ(parser.Value(), 6);
    value = 4;
    EXPECT_EQ(parser.Value(), 8);
    EXPECT_EQ(&parser.AssignVariable(u"VaLuE", 5), &value);
    EXPECT_EQ(parser.Value(), 10);
}

TEST(Variables, PredefinedOnesExistWithZero)
{
    MathParser parser;
    for (const char16_t* name : {u"A", u"B", u"C", u"D", u"E", u"T", u"X", u"Y"}) {
        EXPECT_NO_THROW(parser.setExpression(u"1+"_qs + q(name))) << utf8(q(name));
        EXPECT_EQ(parser.Value(), 1);
    }
    EXPECT_THROW(parser.setExpression(u"F+1"_qs), formula::ESyntaxError);
}

TEST(Variables, ReadVariableUpperCasesAndGivesZeroForUnknown)
{
    MathParser parser;
    parser.AssignVariable(u"value", 2575.04);
    EXPECT_EQ(parser.ReadVariable(u"value"), 2575.04);
    EXPECT_EQ(parser.ReadVariable(u"VALUE"), 2575.04);
    EXPECT_EQ(parser.ReadVariable(u"nothing"), 0.0);
    parser.AssignVariable(u"x", -1);
    EXPECT_EQ(parser.ReadVariable(u"X"), -1);
}

struct BadNameCase {
    const char16_t* name;
    const char16_t* message;
};

class BadNameTest : public testing::TestWithParam<BadNameCase> {};

TEST_P(BadNameTest, IsRejectedWithTheUpperCasedName)
{
    MathParser parser;
    try {
        parser.AssignVariable(q(GetParam().name), 0);
        FAIL() << "no EBadName for " << utf8(q(GetParam().name));
    } catch (const formula::EBadName& e) {
        EXPECT_EQ(utf8(e.message()), utf8(q(GetParam().message)));
    }
    EXPECT_EQ(parser.ReadVariable(q(GetParam().name)), 0.0);
}

INSTANTIATE_TEST_SUITE_P(NotIdentifiers, BadNameTest,
                         testing::Values(BadNameCase{u"1X", u"1X"}, BadNameCase{u"1x", u"1X"},
                                         BadNameCase{u"x-y", u"X-Y"}, BadNameCase{u"", u""},
                                         BadNameCase{u"A B", u"A B"}, BadNameCase{u"ä", u"ä"}));

TEST(Variables, IdentifiersMayUseDigitsAndUnderscores)
{
    MathParser parser;
    parser.AssignVariable(u"_rate2", 3);
    parser.AssignVariable(u"foo", 4);
    parser.setExpression(u"_RATE2*foo"_qs);
    EXPECT_EQ(parser.Value(), 12);
}

TEST(Variables, AnUnknownNameIsASyntaxErrorEvenIfAssignedLater)
{
    MathParser parser;
    EXPECT_THROW(parser.setExpression(u"FOO*2"_qs), formula::ESyntaxError);
    parser.AssignVariable(u"FOO", 4);
    EXPECT_EQ(parser.Value(), 0.0);
    parser.setExpression(u"FOO*2"_qs);
    EXPECT_EQ(parser.Value(), 8);
}

TEST(Expression, EmptyCompilesNothingAndRaisesNothing)
{
    MathParser parser;
    parser.setExpression(u"A+1"_qs);
    EXPECT_NO_THROW(parser.setExpression(QString()));
    EXPECT_FALSE(parser.errorFlag());
    EXPECT_TRUE(parser.compiled().empty());
    EXPECT_EQ(parser.Value(), 0.0);
}

TEST(Expression, ErrorFlagFollowsTheLastCompilation)
{
    MathParser parser;
    EXPECT_FALSE(parser.errorFlag());
    EXPECT_THROW(parser.setExpression(u"(1"_qs), formula::EMissMatchingBracket);
    EXPECT_TRUE(parser.errorFlag());
    EXPECT_EQ(parser.Expression(), u"(1"_qs);
    parser.setExpression(u"1+1"_qs);
    EXPECT_FALSE(parser.errorFlag());
    EXPECT_EQ(parser.Value(), 2);
    EXPECT_THROW(parser.setExpression(u"1E999"_qs), formula::EMathError);
    EXPECT_TRUE(parser.errorFlag());
}

TEST(Expression, OnParserErrorReceivesCompileErrorsInsteadOfRaising)
{
    MathParser parser;
    int calls = 0;
    QString message;
    MathParser* seen = nullptr;
    parser.setOnParserError([&](MathParser& p, const formula::FormulaError& e) {
        ++calls;
        seen = &p;
        message = e.message();
    });
    EXPECT_NO_THROW(parser.setExpression(u"2^3^2"_qs));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, &parser);
    EXPECT_EQ(message, u"Error parsing expression:\r2^3\r2"_qs);
    EXPECT_TRUE(parser.errorFlag());
    EXPECT_EQ(parser.Value(), 0.0);
    // Evaluation errors are still raised.
    parser.setExpression(u"1/0"_qs);
    EXPECT_EQ(calls, 1);
    EXPECT_THROW(parser.Value(), formula::EMathError);
}

TEST(Expression, PascalNumberformatReadsLiteralsWithAPointWhateverTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    MathParser parser;
    EXPECT_TRUE(parser.PascalNumberformat());
    parser.setExpression(u"1.5*2"_qs);
    EXPECT_EQ(parser.Value(), 3);
    parser.setPascalNumberformat(false);
    parser.setExpression(u"1,5*2"_qs);
    EXPECT_EQ(parser.Value(), 3);
    EXPECT_THROW(parser.setExpression(u"1.5*2"_qs), formula::ESyntaxError);
    QLocale::setDefault(saved);
}

// ---- Limits -------------------------------------------------------------------------

QString repeated(const QString& part, int times)
{
    QString out;
    for (int i = 0; i < times; ++i)
        out += part;
    return out;
}

QString plusChain(int signs)
{
    return u"A"_qs + repeated(u"+A"_qs, signs);
}
QString nestedSin(int calls)
{
    return repeated(u"SIN("_qs, calls) + u"VALUE"_qs + repeated(u")"_qs, calls);
}

// A bracketed tree of additions, full down to level 5 (63 additions) and with `bottom`
// more additions at level 6.
QString treeWithBottomLevel(int bottom)
{
    int remaining = bottom;
    std::function<QString(int)> build = [&](int level) -> QString {
        if (level == 6) {
            if (remaining > 0) {
                --remaining;
                return u"A+A"_qs;
            }
            return u"A"_qs;
        }
        const QString left = build(level + 1);
        const QString right = build(level + 1);
        return u"("_qs + left + u")+("_qs + right + u")"_qs;
    };
    return build(0);
}

struct LimitCase {
    const char* name;
    QString formula;
    Kind kind;
};

class LimitTest : public testing::TestWithParam<LimitCase> {};

TEST_P(LimitTest, HoldsAtBothSides)
{
    MathParser parser;
    parser.AssignVariable(u"VALUE", 0.5);
    const Outcome out = evaluate(parser, GetParam().formula);
    EXPECT_EQ(kindName(out.kind), std::string(kindName(GetParam().kind))) << utf8(out.message);
    if (GetParam().kind == Kind::Nestings) {
        EXPECT_EQ(out.message, u"Expression contains too many nestings"_qs);
    } else if (GetParam().kind == Kind::TooComplex) {
        EXPECT_EQ(out.message, u"Expression is too complex"_qs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    NestingAndWidth, LimitTest,
    testing::Values(LimitCase{"plus20", plusChain(20), Kind::None},
                    LimitCase{"plus21", plusChain(21), Kind::Nestings},
                    LimitCase{"sin20", nestedSin(20), Kind::None},
                    LimitCase{"sin21", nestedSin(21), Kind::Nestings},
                    // Brackets add no level.
                    LimitCase{"sin20bracketed",
                              repeated(u"SIN(("_qs, 20) + u"VALUE"_qs + repeated(u"))"_qs, 20),
                              Kind::None},
                    LimitCase{"ops50", treeWithBottomLevel(50), Kind::None},
                    LimitCase{"ops51", treeWithBottomLevel(51), Kind::TooComplex}),
    [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

TEST(Limits, TheWidestLevelIsCountedExactly)
{
    MathParser parser;
    parser.AssignVariable(u"A", 1);
    parser.setExpression(treeWithBottomLevel(50));
    // 63 additions down to level 5 and 50 at level 6, over 64 + 50 leaves.
    EXPECT_EQ(parser.compiled().operations().size(), 113u);
    EXPECT_EQ(parser.Value(), 114);
}

// ---- The compiled form ----------------------------------------------------------------

std::vector<OpKind> kinds(const MathParser& parser)
{
    std::vector<OpKind> out;
    for (const auto& op : parser.compiled().operations())
        out.push_back(op.kind);
    return out;
}

TEST(CompiledForm, IsOrderedDeepestLevelFirstWithOperandsWired)
{
    MathParser parser;
    const double& value = parser.AssignVariable(u"VALUE", 2575.04);
    parser.setExpression(u"CEIL(VALUE/5)*5"_qs);
    const auto& ops = parser.compiled().operations();
    ASSERT_EQ(kinds(parser), (std::vector{OpKind::Divide, OpKind::Ceil, OpKind::Multiply}));
    EXPECT_EQ(ops[0].a, &value);
    EXPECT_EQ(*ops[0].b, 5);
    EXPECT_EQ(ops[1].a, ops[0].result);
    EXPECT_EQ(ops[2].a, ops[1].result);
    EXPECT_EQ(*ops[2].b, 5);
    EXPECT_EQ(parser.Value(), 2580);
}

TEST(CompiledForm, WithinALevelKeepsTheOrderOfRecognition)
{
    MathParser parser;
    parser.AssignVariable(u"VALUE", 100);
    parser.setExpression(u"MAX(CEIL(VALUE/5)*5,VALUE^2/100)"_qs);
    // Level 3: VALUE/5; level 2: CEIL, square; level 1: *, /; level 0: MAX.
    EXPECT_EQ(kinds(parser), (std::vector{OpKind::Divide, OpKind::Ceil, OpKind::Square,
                                          OpKind::Multiply, OpKind::Divide, OpKind::Max}));
    EXPECT_EQ(parser.Value(), 100);
}

TEST(CompiledForm, ASingleOperandIsOneOperationOnItsStorage)
{
    MathParser parser;
    const double& value = parser.AssignVariable(u"VALUE", 3);
    parser.setExpression(u"((value))"_qs);
    ASSERT_EQ(parser.compiled().operations().size(), 1u);
    EXPECT_EQ(parser.compiled().operations()[0].result, &value);
    parser.AssignVariable(u"VALUE", 4);
    EXPECT_EQ(parser.Value(), 4);
    parser.setExpression(u"2.5"_qs);
    EXPECT_EQ(parser.Value(), 2.5);
}

// ---- EvaluateRule ---------------------------------------------------------------------

struct RuleCase {
    const char16_t* rule;
    double amount;
    Kind kind;
    double expected;
};

class EvaluateRuleTest : public testing::TestWithParam<RuleCase> {};

TEST_P(EvaluateRuleTest, DefinesValueCompilesAndReads)
{
    const RuleCase& c = GetParam();
    Kind kind = Kind::None;
    double result = 0;
    try {
        result = formula::EvaluateRule(q(c.rule), c.amount);
    } catch (const formula::FormulaError& e) {
        kind = kindOf(e);
    }
    EXPECT_EQ(kindName(kind), std::string(kindName(c.kind))) << utf8(q(c.rule));
    EXPECT_EQ(result, c.expected) << utf8(q(c.rule));
}

INSTANTIATE_TEST_SUITE_P(Rules, EvaluateRuleTest,
                         testing::Values(RuleCase{u"CEIL(VALUE/5)*5", 2575.04, Kind::None, 2580},
                                         RuleCase{u"CEIL(INT(VALUE*10)/10)", 79.15, Kind::None, 80},
                                         RuleCase{u"ceil(value)", 1.2, Kind::None, 2},
                                         RuleCase{u"", 12.5, Kind::None, 0},
                                         RuleCase{u"VALUE/0", 12.5, Kind::ZeroDivide, 0},
                                         RuleCase{u"VALUE/", 12.5, Kind::Syntax, 0},
                                         RuleCase{u"AMOUNT*2", 12.5, Kind::Syntax, 0}));

} // namespace
