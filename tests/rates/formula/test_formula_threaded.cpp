// The threaded form (chains of operations in one step, a one-chain formula in one call,
// subtrees run in turn) and the direct forms (a chain of constant links, or MAX or MIN of
// two, in one call) against the checked walk of the operation list: the same value, to
// the bit, and the same error with the same message, at edge inputs.
#include "formulatesting.h"

#include <QString>

#include <bit>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using namespace formulatesting;
using formula::MathParser;

namespace {

struct Result {
    Kind kind = Kind::None;
    std::uint64_t bits = 0; // the value's representation
    QString message;
};

template <typename Evaluate> Result resultOf(Evaluate&& evaluate)
{
    Result out;
    try {
        out.bits = std::bit_cast<std::uint64_t>(evaluate());
    } catch (const formula::FormulaError& error) {
        out.kind = kindOf(error);
        out.message = error.message();
    }
    return out;
}

struct ThreadedCase {
    const char* name;
    const char16_t* formula;
    std::size_t steps; // of the threaded form
    bool oneChain;     // evaluated by one call
    formula::DirectForm direct = formula::DirectForm::None;
};

void PrintTo(const ThreadedCase& c, std::ostream* os)
{
    *os << c.name;
}

class ThreadedTest : public testing::TestWithParam<ThreadedCase> {};
using Direct = formula::DirectForm;

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// VALUE; B, the second variable some formulas divide or multiply by. Beside the signs,
// zeros, subnormals and non-finite values: whole multiples (CEIL and FLOOR at their
// edge), amounts just below zero (a rounding to a zero of either sign), the limits of
// the 64-bit conversion (2^52, 2^63) and squares beyond the double range.
constexpr double Inputs[][2] = {
    {2575.04, 5},   {-2575.04, 5}, {79.15, 10},    {0.0, 0.0},  {-0.0, 1},
    {12.5, -0.0},   {4.9e-324, 1}, {4.5e15, 3},    {-1e19, 7},  {1e300, 1e10},
    {-1e300, 1e10}, {1e308, 0.5},  {Inf, 2},       {-Inf, 0},   {NaN, 1},
    {3, Inf},       {3, NaN},      {-7.5, -1e-310}, {99.99, 100}, {100, 1e-320},
    {25, 5},        {-25, 5},      {-0.5, 1},      {-4.9e-324, 2}, {-0.04, 3},
    {4503599627370497.0, 1},     {-4503599627370495.5, 1}, {9223372036854775808.0, 1},
    {-9223372036854775808.0, 1}, {9.3e18, 2},              {1.4e154, 1},
    {-1.5e154, 1},
};

TEST_P(ThreadedTest, GivesTheValueAndErrorOfTheCheckedWalk)
{
    const ThreadedCase& c = GetParam();
    MathParser parser;
    double& value = parser.AssignVariable(u"VALUE", 0);
    double& b = parser.AssignVariable(u"B", 0);
    parser.setExpression(q(c.formula));
    EXPECT_EQ(parser.compiled().stepCount(), c.steps);
    EXPECT_EQ(parser.compiled().isOneChain(), c.oneChain);
    EXPECT_EQ(int(parser.compiled().directForm()), int(c.direct));
    formula::RandomSource random;
    const auto& ops = parser.compiled().operations();
    for (const auto& input : Inputs) {
        value = input[0];
        b = input[1];
        const Result threaded = resultOf([&] { return parser.Value(); });
        const Result walked =
            resultOf([&] { return formula::runOperations(ops.data(), ops.size(), random); });
        const std::string at = "VALUE=" + std::to_string(input[0]) + " B=" + std::to_string(input[1]);
        EXPECT_EQ(kindName(threaded.kind), std::string(kindName(walked.kind))) << at;
        EXPECT_EQ(utf8(threaded.message), utf8(walked.message)) << at;
        EXPECT_EQ(threaded.bits, walked.bits)
            << at << ": " << std::bit_cast<double>(threaded.bits) << " against "
            << std::bit_cast<double>(walked.bits);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ThreadedTest,
    testing::Values(
        ThreadedCase{"FareRule", u"CEIL(VALUE/5)*5", 1, true, Direct::Chain},
        ThreadedCase{"TaxRule", u"CEIL(INT(VALUE*10)/10)", 1, true, Direct::Chain},
        ThreadedCase{"MaxRule", u"MAX(CEIL(VALUE/5)*5,VALUE^2/100)", 2, false, Direct::Pair},
        ThreadedCase{"MaxRuleInASum", u"MAX(CEIL(VALUE/5)*5,VALUE^2/100)+1", 3, false},
        ThreadedCase{"FloorOfADifferencePlus", u"FLOOR(VALUE-0.5)+2", 1, true, Direct::Chain},
        ThreadedCase{"ByAVariable", u"TRUNC(VALUE/B)", 1, true},
        ThreadedCase{"TimesAVariableRounded", u"FLOOR(VALUE*B)/B", 1, true},
        ThreadedCase{"ByZeroRounded", u"CEIL(VALUE/0)", 1, true, Direct::Chain},
        ThreadedCase{"SquareOfASumAndMore", u"SQR(VALUE+1)*3-1", 2, false, Direct::Chain},
        ThreadedCase{"RoundedSquared", u"CEIL(VALUE)^2", 1, true, Direct::Chain},
        ThreadedCase{"OverflowInTheChain", u"INT(VALUE*1E300)*10", 1, true, Direct::Chain},
        ThreadedCase{"MinWithAVariable", u"MIN(VALUE,FLOOR(VALUE)/2)", 1, false, Direct::Pair},
        ThreadedCase{"OneByAChain", u"1/(CEIL(VALUE)*B)", 1, false},
        ThreadedCase{"MinusAChain", u"B-FLOOR(VALUE/3)", 2, false},
        ThreadedCase{"ChainInAChain", u"CEIL(CEIL(VALUE/B)*B/7)*7", 3, false},
        ThreadedCase{"BothSidesChains", u"FLOOR(VALUE/B)*B-CEIL(VALUE*B)/B", 3, false},
        ThreadedCase{"AfterARaisingStep", u"CEIL(SQRT(VALUE)/B)", 2, false},
        ThreadedCase{"IntDivisionThenChain", u"CEIL((VALUEDIVB)/3)+1", 2, false},
        ThreadedCase{"ASingleOperation", u"VALUE/B", 1, false},
        ThreadedCase{"AVariable", u"VALUE", 1, false},
        ThreadedCase{"SubtractingZeros", u"TRUNC(VALUE-0)-0", 1, true, Direct::Chain},
        ThreadedCase{"ConstantsFirst", u"2+FLOOR(0.5*VALUE)", 2, false, Direct::Chain},
        ThreadedCase{"RoundedLessACent", u"CEIL(VALUE/5)*5-0.01", 2, false, Direct::Chain},
        ThreadedCase{"FiveLinks", u"CEIL(INT(VALUE*10)/10)*2", 2, false, Direct::Chain},
        ThreadedCase{"SixLinks", u"CEIL(INT(VALUE*10)/10)*2+1", 2, false},
        ThreadedCase{"MaxOfTwoRoundings", u"MAX(FLOOR(VALUE/3)*3,CEIL(VALUE*2)-7)", 3, false,
                     Direct::Pair},
        ThreadedCase{"MinWithADivisionByZero", u"MIN(CEIL(VALUE/0)*5,VALUE^2/100)", 2, false,
                     Direct::Pair},
        ThreadedCase{"AtLeastAConstant", u"MAX(CEIL(VALUE/5)*5,10)", 2, false, Direct::Pair},
        ThreadedCase{"OfConstantsOnly", u"MAX(CEIL(7/2)*2,VALUE)", 2, false, Direct::Pair},
        ThreadedCase{"SquareBeyondTheRange", u"MAX(VALUE,VALUE^2)", 1, false, Direct::Pair},
        ThreadedCase{"MaxOfZerosOfBothSigns", u"MAX(VALUE*0,CEIL(VALUE)*0)", 2, false,
                     Direct::Pair},
        ThreadedCase{"MaxOfZerosTheOtherWay", u"MAX(CEIL(VALUE)*0,VALUE*0)", 2, false,
                     Direct::Pair},
        ThreadedCase{"MinOfZerosOfBothSigns", u"MIN(VALUE*0,CEIL(VALUE)*0)", 2, false,
                     Direct::Pair},
        ThreadedCase{"MinOfZerosTheOtherWay", u"MIN(CEIL(VALUE)*0,VALUE*0)", 2, false,
                     Direct::Pair},
        ThreadedCase{"ASideTooLong", u"MAX(CEIL(INT(VALUE*10)/10),5)", 2, false},
        ThreadedCase{"ConstantMinusASide", u"MAX(7-VALUE,VALUE)", 2, false},
        ThreadedCase{"ASideWithAVariable", u"MIN(FLOOR(VALUE/B),VALUE)", 2, false}),
    [](const testing::TestParamInfo<ThreadedCase>& info) { return std::string(info.param.name); });

// With random numbers drawn the steps keep the list order: the same sequence of numbers
// lands on the same operations as in the checked walk.
TEST(Threaded, KeepsTheOrderOfRandomDraws)
{
    for (const char16_t* text : {u"RND(VALUE)+CEIL(VALUE/2)*RANDOM(0)", u"CEIL(RND(VALUE)/5)*5"}) {
        MathParser threaded;
        MathParser walked;
        threaded.AssignVariable(u"VALUE", 1000);
        walked.AssignVariable(u"VALUE", 1000);
        threaded.setRandomSeed(42);
        threaded.setExpression(q(text));
        walked.setExpression(q(text));
        formula::RandomSource random;
        random.seed(42);
        const auto& ops = walked.compiled().operations();
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(threaded.Value(), formula::runOperations(ops.data(), ops.size(), random))
                << utf8(q(text)) << " draw " << i;
    }
}

} // namespace
