// Every function and operation at a few points, with its error cases: the errors are
// told from the results (no floating-point traps), with the stated messages.
#include "formulatesting.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

using namespace formulatesting;
using formula::MathParser;

namespace {

constexpr double Pi = std::numbers::pi;

struct FunctionCase {
    const char16_t* formula;
    Kind kind; // None: expected holds the value
    double expected;
};

class FunctionTest : public testing::TestWithParam<FunctionCase> {};

TEST_P(FunctionTest, Evaluates)
{
    const FunctionCase& c = GetParam();
    MathParser parser;
    const Outcome out = evaluate(parser, q(c.formula));
    ASSERT_EQ(kindName(out.kind), std::string(kindName(c.kind)))
        << utf8(q(c.formula)) << ": " << utf8(out.message);
    if (c.kind == Kind::None) {
        EXPECT_DOUBLE_EQ(out.value, c.expected) << utf8(q(c.formula));
    }
}

FunctionCase value(const char16_t* f, double v)
{
    return {f, Kind::None, v};
}
FunctionCase fails(const char16_t* f, Kind k)
{
    return {f, k, 0};
}

INSTANTIATE_TEST_SUITE_P(
    Trigonometric, FunctionTest,
    testing::Values(value(u"SIN(0)", 0), value(u"SIN(PI/2)", 1), value(u"COS(0)", 1),
                    value(u"COS(PI)", -1), value(u"SIN(1E19)", 0), value(u"COS(-1E19)", 0),
                    value(u"TAN(1)", 1.5574077246549023), value(u"COTAN(1)", 0.6420926159343306),
                    fails(u"COTAN(0)", Kind::ZeroDivide), value(u"ARCTAN(1)", Pi / 4),
                    value(u"ARCTAN(-1E300)", -Pi / 2)));

INSTANTIATE_TEST_SUITE_P(
    ExponentialsAndLogarithms, FunctionTest,
    testing::Values(value(u"SINH(1)", 1.1752011936438014), value(u"SINH(0)", 0),
                    value(u"COSH(0)", 1), value(u"COSH(1)", 1.5430806348152437),
                    value(u"EXP(1)", std::numbers::e), fails(u"EXP(1000)", Kind::Overflow),
                    value(u"EXP(-1000)", 0), fails(u"COSH(12000)", Kind::Overflow),
                    value(u"LN(1)", 0), value(u"LN(EXP(2))", 2), fails(u"LN(0)", Kind::ZeroDivide),
                    fails(u"LN(-1)", Kind::InvalidOp), value(u"LOG10(1000)", 3),
                    fails(u"LOG10(0)", Kind::ZeroDivide), fails(u"LOG10(-5)", Kind::InvalidOp),
                    value(u"LOG2(8)", 3), fails(u"LOG2(0)", Kind::ZeroDivide),
                    fails(u"LOG2(-8)", Kind::InvalidOp), value(u"LOGN(2,8)", 3),
                    value(u"LOGN(10,1000)", 3), fails(u"LOGN(1,5)", Kind::ZeroDivide),
                    fails(u"LOGN(1,1)", Kind::InvalidOp), fails(u"LOGN(2,0)", Kind::ZeroDivide),
                    fails(u"LOGN(2,-1)", Kind::InvalidOp), fails(u"LOGN(-2,8)", Kind::InvalidOp)));

INSTANTIATE_TEST_SUITE_P(
    Powers, FunctionTest,
    testing::Values(
        value(u"SQR(-3)", 9), fails(u"SQR(1E200)", Kind::Overflow), value(u"SQRT(16)", 4),
        fails(u"SQRT(-1)", Kind::InvalidOp), value(u"POWER(2,10)", 1024),
        value(u"POWER(2,0.5)", std::numbers::sqrt2), value(u"POWER(0,0)", 1),
        value(u"POWER(0,2)", 0), value(u"POWER(-2,3)", -8), value(u"POWER(-8,0)", 1),
        value(u"POWER(4,-0.5)", 0.5), fails(u"POWER(0,-1)", Kind::ZeroDivide),
        fails(u"POWER(0,-0.5)", Kind::ZeroDivide), fails(u"POWER(-8,1/3)", Kind::InvalidOp),
        fails(u"POWER(10,400)", Kind::Overflow), fails(u"POWER(2,1E19)", Kind::InvalidOp),
        value(u"POWER(2,3E9*0+31)", 2147483648.0), value(u"INTPOWER(2,10)", 1024),
        value(u"INTPOWER(2,-2)", 0.25), value(u"INTPOWER(2,3.9)", 8),
        value(u"INTPOWER(2,-3.9)", 0.125), value(u"INTPOWER(0,0)", 1),
        value(u"INTPOWER(-3,3)", -27), value(u"INTPOWER(10,-400)", 0),
        fails(u"INTPOWER(0,-1)", Kind::ZeroDivide), fails(u"INTPOWER(10,400)", Kind::Overflow),
        fails(u"INTPOWER(2,1E19)", Kind::InvalidOp),
        // A 64-bit exponent is used whole, not cut to 32 bits (2^32 + 2 would
        // otherwise give 2^2).
        fails(u"INTPOWER(2,4294967298)", Kind::Overflow), value(u"INTPOWER(1,4294967298)", 1),
        value(u"2^10", 1024), value(u"3^3", 27), value(u"(-2)^4", 16), value(u"2^0", 1),
        value(u"4^0.5", 2), value(u"0^0.5", 0), fails(u"(-8)^0.5", Kind::InvalidOp),
        fails(u"0^-1", Kind::ZeroDivide), fails(u"1E100^4", Kind::Overflow),
        fails(u"1E200^3", Kind::Overflow)));

INSTANTIATE_TEST_SUITE_P(Rounding, FunctionTest,
                         testing::Values(value(u"ABS(-2.5)", 2.5), value(u"ABS(2.5)", 2.5),
                                         value(u"TRUNC(-2.7)", -2), value(u"TRUNC(2.7)", 2),
                                         value(u"INT(2.7)", 2), value(u"INT(-2.5)", -2),
                                         value(u"INT(1E300)", 1e300), value(u"CEIL(2.1)", 3),
                                         value(u"CEIL(2)", 2), value(u"CEIL(-2.5)", -2),
                                         value(u"CEIL(-0.5)", 0), value(u"CEIL(1E20)", 1e20),
                                         value(u"FLOOR(2.9)", 2), value(u"FLOOR(-2.5)", -3),
                                         value(u"FLOOR(-2)", -2), value(u"FLOOR(0.5)", 0)));

// Either side of 2^52 (from where every double is whole) and of 2^63 (the 64-bit range).
INSTANTIATE_TEST_SUITE_P(
    RoundingAtTheIntegerLimits, FunctionTest,
    testing::Values(value(u"INT(4503599627370497)", 4503599627370497.0),
                    value(u"TRUNC(-4503599627370493.5)", -4503599627370493.0),
                    value(u"CEIL(9223372036854774784)", 9223372036854774784.0),
                    value(u"CEIL(9223372036854775808)", 9223372036854775808.0),
                    value(u"FLOOR(-9223372036854775808)", -9223372036854775808.0),
                    value(u"FLOOR(-1E19)", -1e19)));

INSTANTIATE_TEST_SUITE_P(StepsAndSigns, FunctionTest,
                         testing::Values(value(u"HEAV(-1)", 0), value(u"HEAV(0)", 1),
                                         value(u"HEAV(3)", 1), value(u"SIGN(-5)", -1),
                                         value(u"SIGN(5)", 1), value(u"SIGN(0)", 0),
                                         value(u"ZERO(0)", 0), value(u"ZERO(5)", 1),
                                         value(u"ZERO(-0.001)", 1), value(u"MAX(1,2)", 2),
                                         value(u"MAX(2,1)", 2), value(u"MIN(1,2)", 1),
                                         value(u"MIN(2,1)", 1), value(u"MAX(-1,-2)", -1)));

INSTANTIATE_TEST_SUITE_P(
    Angles, FunctionTest,
    testing::Values(value(u"ARG(1,1)", Pi / 4), value(u"ARG(-1,0)", Pi),
                    value(u"ARG(-1,-1)", 3.9269908169872414), value(u"ARG(0,1)", Pi / 2),
                    value(u"ARG(0,0)", -Pi / 2), value(u"ARG(0,-1)", -Pi / 2),
                    value(u"ARG(1E-308,1E308)", Pi / 2), value(u"PH(1)", -2.6967662132698145),
                    // t = 2.5 and t = 0.5 round to the even neighbour: +pi, not -pi.
                    value(u"PH(1.5915494309189535)", Pi), value(u"PH(0.3183098861837907)", Pi),
                    value(u"PH(0.954929658551372)", -Pi), value(u"PH(0)", 0)));

INSTANTIATE_TEST_SUITE_P(
    IntegerDivision, FunctionTest,
    testing::Values(value(u"7DIV2", 3), value(u"7DIV-2", -3), value(u"-7DIV2", -3),
                    value(u"7MOD-2", 1), value(u"-7MOD2", -1), value(u"7.9MOD2.9", 1),
                    fails(u"5MOD0", Kind::DivByZero), fails(u"1DIV0.5", Kind::DivByZero),
                    fails(u"1E19DIV2", Kind::InvalidOp), fails(u"2DIV1E19", Kind::InvalidOp),
                    fails(u"1E19MOD2", Kind::InvalidOp),
                    // The smallest 64-bit integer by -1: 2^63 as a double, no overflow.
                    value(u"-9223372036854775808DIV-1", 9223372036854775808.0),
                    value(u"-9223372036854775808MOD-1", 0)));

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, FunctionTest,
    testing::Values(value(u"1+2", 3), value(u"1-2", -1), value(u"3*4", 12), value(u"1/4", 0.25),
                    fails(u"1E308+1E308", Kind::Overflow), fails(u"1E308*-10", Kind::Overflow),
                    fails(u"1E300/1E-300", Kind::Overflow), fails(u"1/0", Kind::ZeroDivide),
                    fails(u"0/0", Kind::InvalidOp), fails(u"-0/0", Kind::InvalidOp),
                    value(u"-(2)", -2), value(u"0.1+0.2", 0.30000000000000004)));

TEST(RandomFunctions, DrawANewNumberAtEachEvaluationInTheirRange)
{
    MathParser parser;
    parser.setRandomSeed(42);
    parser.setExpression(u"RANDOM(5)"_qs);
    double previous = -1;
    for (int i = 0; i < 100; ++i) {
        const double r = parser.Value();
        EXPECT_GE(r, 0.0);
        EXPECT_LT(r, 1.0);
        EXPECT_NE(r, previous);
        previous = r;
    }
    parser.setExpression(u"RND(10.9)"_qs);
    for (int i = 0; i < 100; ++i) {
        const double r = parser.Value();
        EXPECT_GE(r, 0.0);
        EXPECT_LT(r, 10.0);
    }
}

TEST(RandomFunctions, FollowTheSeed)
{
    MathParser a;
    MathParser b;
    a.setRandomSeed(7);
    b.setRandomSeed(7);
    a.setExpression(u"RANDOM(0)+RND(100)"_qs);
    b.setExpression(u"RANDOM(0)+RND(100)"_qs);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(a.Value(), b.Value());
}

// A NaN or infinity that comes in through a variable passes through quietly; an
// operation that makes one from ordinary numbers raises.
TEST(NonFiniteVariables, PassThroughUnlessAnOperationMakesThem)
{
    const double inf = std::numeric_limits<double>::infinity();
    MathParser parser;
    parser.AssignVariable(u"VALUE", inf);
    EXPECT_EQ(evaluate(parser, u"VALUE+1"_qs).value, inf);
    EXPECT_EQ(evaluate(parser, u"VALUE/0"_qs).value, inf);
    EXPECT_EQ(evaluate(parser, u"VALUE-VALUE"_qs).kind, Kind::InvalidOp);
    EXPECT_EQ(evaluate(parser, u"VALUE*0"_qs).kind, Kind::InvalidOp);
    parser.AssignVariable(u"VALUE", std::numeric_limits<double>::quiet_NaN());
    const Outcome nan = evaluate(parser, u"CEIL(VALUE/5)*5"_qs);
    EXPECT_EQ(nan.kind, Kind::None);
    EXPECT_TRUE(std::isnan(nan.value));
}

} // namespace
