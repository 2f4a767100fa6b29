// The language as users type it: what formulas mean (precedence, associativity, where a
// minus may stand), what they evaluate to, and which texts are rejected with which
// message.
#include "formulatesting.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace formulatesting;
using formula::MathParser;

namespace {

// A = 10, B = 4, C = 2 and VALUE = 5 unless a case sets VALUE.
class LanguageTest : public testing::Test {
protected:
    LanguageTest()
    {
        names[&parser.AssignVariable(u"A", 10)] = "A";
        names[&parser.AssignVariable(u"B", 4)] = "B";
        names[&parser.AssignVariable(u"C", 2)] = "C";
        names[&parser.AssignVariable(u"VALUE", 5)] = "VALUE";
        names[&parser.AssignVariable(u"E", 0)] = "E";
    }
    MathParser parser;
    std::map<const double*, std::string> names;
};

struct MeaningCase {
    const char16_t* formula;
    const char* meaning; // the compiled operations, fully bracketed
};

class MeaningTest : public LanguageTest, public testing::WithParamInterface<MeaningCase> {};

TEST_P(MeaningTest, CompilesTo)
{
    const MeaningCase& c = GetParam();
    ASSERT_NO_THROW(parser.setExpression(q(c.formula))) << utf8(q(c.formula));
    EXPECT_EQ(render(parser, names), c.meaning) << utf8(q(c.formula));
}

INSTANTIATE_TEST_SUITE_P(
    PrecedenceAndAssociativity, MeaningTest,
    testing::Values(
        MeaningCase{u"A-B-C", "((A-B)-C)"}, MeaningCase{u"A/B/C", "((A/B)/C)"},
        MeaningCase{u"7DIV2DIV2", "((7 DIV 2) DIV 2)"}, MeaningCase{u"A/B*C", "((A/B)*C)"},
        MeaningCase{u"A+B+C", "(A+(B+C))"}, MeaningCase{u"A*B*C", "(A*(B*C))"},
        MeaningCase{u"A*B/C", "(A*(B/C))"}, MeaningCase{u"7*3DIV2", "(7*(3 DIV 2))"},
        MeaningCase{u"7DIV2*3", "((7 DIV 2)*3)"}, MeaningCase{u"A+B*C-A/B", "(A+((B*C)-(A/B)))"},
        MeaningCase{u"A-B+C", "((A-B)+C)"}, // "+" is searched first
        MeaningCase{u"AMODBDIVC", "((A MOD B) DIV C)"}, MeaningCase{u"-A^2", "(-(A^2))"},
        MeaningCase{u"-A^-2", "(-INTPOWER(A,-2))"}, MeaningCase{u"(A^B)^C", "POWER(POWER(A,B),C)"},
        MeaningCase{u"A^(B^C)", "POWER(A,POWER(B,C))"},
        MeaningCase{u"CEIL(VALUE/5)*5", "(CEIL((VALUE/5))*5)"},
        MeaningCase{u"CEIL(INT(VALUE*10)/10)", "CEIL((INT((VALUE*10))/10))"},
        MeaningCase{u"MAX(MIN(1,2),0)", "MAX(MIN(1,2),0)"}));

INSTANTIATE_TEST_SUITE_P(
    UnaryMinus, MeaningTest,
    testing::Values(MeaningCase{u"-A", "(-A)"}, MeaningCase{u"-(A+B)", "(-(A+B))"},
                    MeaningCase{u"-SIN(A)", "(-SIN(A))"}, MeaningCase{u"2*-3", "(2*-3)"},
                    MeaningCase{u"2--3", "(2--3)"}, MeaningCase{u"0-A-B", "((0-A)-B)"},
                    MeaningCase{u"(-A)-B", "((-A)-B)"}, MeaningCase{u"-A+B-C", "((-A)+(B-C))"},
                    MeaningCase{u"-A*B", "((-A)*B)"}, MeaningCase{u"-ADIVB", "((-A) DIV B)"},
                    MeaningCase{u"A--B*C", "(A-((-B)*C))"}, MeaningCase{u"-7MOD3", "(-7 MOD 3)"},
                    MeaningCase{u"(-A)", "(-A)"}, MeaningCase{u"MAX(-A,-B)", "MAX((-A),(-B))"},
                    MeaningCase{u"A*1E-5", "(A*1e-05)"}, MeaningCase{u"A-1E-5", "(A-1e-05)"},
                    MeaningCase{u"1E-5-A", "(1e-05-A)"}, MeaningCase{u"-PI", "-3.141592653589793"},
                    // The right side "-2^2" is acceptable because it fits the power form
                    // ((-2)^2); as a term of its own it is a negation, the first form that
                    // fits it.
                    MeaningCase{u"3*-2^2", "(3*(-(2^2)))"}));

INSTANTIATE_TEST_SUITE_P(
    PowerKindByExponent, MeaningTest,
    testing::Values(MeaningCase{u"A^2", "(A^2)"}, MeaningCase{u"A^3", "(A^3)"},
                    MeaningCase{u"A^4", "(A^4)"}, MeaningCase{u"A^5", "INTPOWER(A,5)"},
                    MeaningCase{u"A^-2", "INTPOWER(A,-2)"}, MeaningCase{u"A^2.0", "(A^2)"},
                    MeaningCase{u"A^2.5", "POWER(A,2.5)"}, MeaningCase{u"A^(2)", "POWER(A,2)"},
                    MeaningCase{u"A^B", "POWER(A,B)"},
                    MeaningCase{u"A^SQRT(4)", "POWER(A,SQRT(4))"},
                    MeaningCase{u"A^3E9", "POWER(A,3e+09)"}, MeaningCase{u"2^-2", "INTPOWER(2,-2)"},
                    MeaningCase{u"-2^2", "(-(2^2))"}, MeaningCase{u"(-2)^2", "(-2^2)"}));

INSTANTIATE_TEST_SUITE_P(
    BracketsAndLeaves, MeaningTest,
    testing::Values(MeaningCase{u"((VALUE))", "VALUE"}, MeaningCase{u"(((A+B)))*C", "((A+B)*C)"},
                    MeaningCase{u"SIN(((A)))", "SIN(A)"}, MeaningCase{u"value*2", "(VALUE*2)"},
                    MeaningCase{u"  VALUE*2  ", "(VALUE*2)"}, MeaningCase{u"E", "E"},
                    MeaningCase{u"E2", "0"}, MeaningCase{u".", "0"}, MeaningCase{u"+5", "5"},
                    MeaningCase{u"PI", "3.141592653589793"}));

struct ValueCase {
    const char16_t* formula;
    double value; // VALUE
    double expected;
};

class ValueTest : public LanguageTest, public testing::WithParamInterface<ValueCase> {};

TEST_P(ValueTest, Evaluates)
{
    const ValueCase& c = GetParam();
    parser.AssignVariable(u"value", c.value);
    const Outcome out = evaluate(parser, q(c.formula));
    ASSERT_EQ(out.kind, Kind::None) << utf8(q(c.formula)) << ": " << utf8(out.message);
    EXPECT_DOUBLE_EQ(out.value, c.expected) << utf8(q(c.formula)) << " with VALUE " << c.value;
}

INSTANTIATE_TEST_SUITE_P(DefaultRules, ValueTest,
                         testing::Values(ValueCase{u"CEIL(VALUE/5)*5", 2575.04, 2580},
                                         ValueCase{u"CEIL(INT(VALUE*10)/10)", 2575.04, 2575},
                                         ValueCase{u"CEIL(VALUE/5)*5", 79.04, 80},
                                         ValueCase{u"CEIL(INT(VALUE*10)/10)", 79.04, 79},
                                         ValueCase{u"CEIL(INT(VALUE*10)/10)", 79.15, 80},
                                         ValueCase{u"CEIL(VALUE/5)*5", 2580, 2580},
                                         ValueCase{u"ceil(value/5)*5", 1.5, 5}));

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ValueTest,
    testing::Values(
        ValueCase{u"value*2", 3, 6}, ValueCase{u"  VALUE*2  ", 3, 6}, ValueCase{u"((VALUE))", 7, 7},
        ValueCase{u"(2^3)^2", 0, 64}, ValueCase{u"2^(3^2)", 0, 512}, ValueCase{u"2^-2", 0, 0.25},
        ValueCase{u"-2^2", 0, -4}, ValueCase{u"(-2)^2", 0, 4}, ValueCase{u"0-VALUE-1", 5, -6},
        ValueCase{u"-VALUE+1", 5, -4}, ValueCase{u"7*3DIV2", 0, 7}, ValueCase{u"7DIV2*3", 0, 9},
        ValueCase{u"-7MOD3", 0, -1}, ValueCase{u"7.9DIV2", 0, 3}, ValueCase{u"7DIV2DIV2", 0, 1},
        ValueCase{u"2*-3", 0, -6}, ValueCase{u"2--3", 0, 5}, ValueCase{u"A-B-C", 0, 4},
        ValueCase{u"A/B/C", 0, 1.25}, ValueCase{u"A/B*C", 0, 5}, ValueCase{u"-A+B-C", 0, -8},
        ValueCase{u"(-A)-B", 0, -14}, ValueCase{u"CEIL(-2.5)", 0, -2},
        ValueCase{u"FLOOR(-2.5)", 0, -3}, ValueCase{u"INT(-2.5)", 0, -2},
        ValueCase{u"ZERO(5)", 0, 1}, ValueCase{u"HEAV(0)", 0, 1}, ValueCase{u"SIGN(0)", 0, 0},
        ValueCase{u"MAX(MIN(1,2),0)", 0, 1}, ValueCase{u"LOGN(2,8)", 0, 3},
        ValueCase{u"ARG(0,0)", 0, -std::numbers::pi / 2}, ValueCase{u"E", 0, 0},
        // A number literal before it is an addition: 0 times 10 to the 1.
        ValueCase{u"E+1", 0, 0}, ValueCase{u"1+E", 0, 1}, ValueCase{u"PI", 0, 3.141592653589793},
        ValueCase{u"E2", 0, 0}, ValueCase{u"-PI", 0, -3.141592653589793}, ValueCase{u".", 0, 0},
        ValueCase{u"-.5", 0, -0.5}, ValueCase{u"1.5E+2", 0, 150}, ValueCase{u"2.5E-1*4", 0, 1},
        ValueCase{u"", 9, 0}));

struct RejectCase {
    const char16_t* formula;
    Kind kind;
    const char16_t* message;
};

class RejectTest : public LanguageTest, public testing::WithParamInterface<RejectCase> {};

TEST_P(RejectTest, RaisesWithMessage)
{
    const RejectCase& c = GetParam();
    const Outcome out = evaluate(parser, q(c.formula));
    EXPECT_EQ(kindName(out.kind), std::string(kindName(c.kind))) << utf8(q(c.formula));
    EXPECT_EQ(utf8(out.message), utf8(q(c.message))) << utf8(q(c.formula));
}

INSTANTIATE_TEST_SUITE_P(
    CompileErrors, RejectTest,
    testing::Values(RejectCase{u"VALUE * 2", Kind::Blanks, u"Expression has blanks"},
                    RejectCase{u" VALUE *2", Kind::Blanks, u"Expression has blanks"},
                    RejectCase{u"(VALUE", Kind::Brackets, u"Missing brackets in expression"},
                    RejectCase{u"SIN(A))", Kind::Brackets, u"Missing brackets in expression"},
                    // Only the counts are compared, not the order.
                    RejectCase{u")VALUE(", Kind::Syntax, u"Error parsing expression:\r)VALUE("},
                    RejectCase{u"   ", Kind::Syntax, u"Error parsing expression:\r"},
                    RejectCase{u"VALUE+", Kind::Syntax, u"Error parsing expression:\rVALUE+"},
                    RejectCase{u"2^3^2", Kind::Syntax, u"Error parsing expression:\r2^3\r2"},
                    RejectCase{u"A^B^C", Kind::Syntax, u"Error parsing expression:\rA^B\rC"},
                    RejectCase{u"-VALUE-1", Kind::Syntax, u"Error parsing expression:\rVALUE-1\r "},
                    RejectCase{u"-A-B", Kind::Syntax, u"Error parsing expression:\rA-B\r "},
                    RejectCase{u"-A*B-C", Kind::Syntax, u"Error parsing expression:\r-A\rB-C"},
                    RejectCase{u"2*-A", Kind::Syntax, u"Error parsing expression:\r2\r-A"},
                    RejectCase{u"2^-A", Kind::Syntax, u"Error parsing expression:\r2\r-A"},
                    RejectCase{u"A^-B", Kind::Syntax, u"Error parsing expression:\rA\r-B"},
                    RejectCase{u"2(A)", Kind::Syntax, u"Error parsing expression:\r2(A)"},
                    RejectCase{u"2A", Kind::Syntax, u"Error parsing expression:\r2A"},
                    RejectCase{u"FOO*2", Kind::Syntax, u"Error parsing expression:\rFOO\r2"},
                    RejectCase{u"+A", Kind::Syntax, u"Error parsing expression:\r+A"},
                    RejectCase{u"--A", Kind::Syntax, u"Error parsing expression:\r-A\r "},
                    RejectCase{u"ADIV", Kind::Syntax, u"Error parsing expression:\rA\r"},
                    RejectCase{u"SIN(FOO)", Kind::Syntax, u"Error parsing expression:\rFOO\r "},
                    RejectCase{u"MAX(1)", Kind::Syntax, u"Error parsing expression:\rMAX(1)"},
                    RejectCase{u"MAX(1,2,3)", Kind::Syntax, u"Error parsing expression:\r1,2\r3"},
                    RejectCase{u"SIN(1,2)", Kind::Syntax, u"Error parsing expression:\r1,2\r "},
                    RejectCase{u"FOO(1)", Kind::Syntax, u"Error parsing expression:\rFOO(1)"},
                    RejectCase{u"()", Kind::Syntax, u"Error parsing expression:\r()"},
                    RejectCase{u"1E400", Kind::Overflow, u"Floating point overflow"},
                    RejectCase{u"2^1E400", Kind::Overflow, u"Floating point overflow"}));

INSTANTIATE_TEST_SUITE_P(
    EvaluationErrors, RejectTest,
    testing::Values(RejectCase{u"5DIV0", Kind::DivByZero, u"Division by zero"},
                    RejectCase{u"5MOD0.5", Kind::DivByZero, u"Division by zero"},
                    RejectCase{u"1/0", Kind::ZeroDivide, u"Floating point division by zero"},
                    RejectCase{u"-1/0", Kind::ZeroDivide, u"Floating point division by zero"},
                    RejectCase{u"0/0", Kind::InvalidOp, u"Invalid floating point operation"},
                    RejectCase{u"1E308*10", Kind::Overflow, u"Floating point overflow"},
                    RejectCase{u"0-1E308-1E308", Kind::Overflow, u"Floating point overflow"},
                    RejectCase{u"1E300^2", Kind::Overflow, u"Floating point overflow"}));

TEST_F(LanguageTest, AFailedCompileLeavesNoFormula)
{
    parser.setExpression(u"VALUE*2"_qs);
    EXPECT_THROW(parser.setExpression(u"VALUE*"_qs), formula::ESyntaxError);
    EXPECT_TRUE(parser.errorFlag());
    EXPECT_TRUE(parser.compiled().empty());
    EXPECT_EQ(parser.Value(), 0.0);
    EXPECT_EQ(parser.Expression(), u"VALUE*"_qs);
}

TEST_F(LanguageTest, UnderflowPassesSilently)
{
    const Outcome out = evaluate(parser, u"1E-308/1E10"_qs);
    EXPECT_EQ(out.kind, Kind::None) << utf8(out.message);
    EXPECT_GT(out.value, 0.0);
    EXPECT_LT(out.value, 1e-317);
    EXPECT_EQ(evaluate(parser, u"1E-400"_qs).value, 0.0);
}

} // namespace
