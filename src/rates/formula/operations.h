// The compiled form of a formula: a flat list of operations, each reading its operands
// through references (a variable's storage, a constant, or an earlier operation's result
// slot) and writing its own result slot; and the walk that evaluates the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace formula {

enum class OpKind : std::uint8_t {
    Operand, // the formula is a single variable or number: nothing to compute
    Add,
    Subtract,
    Multiply,
    Divide,
    IntDivide,
    Remainder,
    Negate,
    Square,
    Cube,
    FourthPower,
    // One-argument functions.
    Sin,
    Cos,
    Tan,
    Cotan,
    Arctan,
    Sinh,
    Cosh,
    Exp,
    Ln,
    Log10,
    Log2,
    Sqr,
    Sqrt,
    Abs,
    Trunc,
    Int,
    Ceil,
    Floor,
    Heav,
    Sign,
    Zero,
    Ph,
    Rnd,
    Random,
    // Two-argument functions (POWER and INTPOWER also serve "^").
    Max,
    Min,
    Power,
    IntPower,
    LogN,
    Arg,
};

// True for the kinds that read a second operand.
bool isBinary(OpKind kind);

struct Operation {
    OpKind kind = OpKind::Operand;
    const double* a = nullptr; // first operand
    const double* b = nullptr; // second operand; unused by unary kinds
    double* result = nullptr;  // for Operand, the operand's own storage
};

// The pseudo-random numbers of RND and RANDOM: splitmix64, uniform in [0, 1).
class RandomSource {
public:
    void seed(std::uint64_t seed) { m_state = seed; }
    double next();

private:
    std::uint64_t m_state = 0;
};

// Runs ops[0..count) in order, each storing its result, and returns the last result.
// A failing operation stops the walk with EMathError. Never allocates unless it raises.
double runOperations(const Operation* ops, std::size_t count, RandomSource& random);

// The function tables: the kind of a one- or two-argument function name (upper case).
std::optional<OpKind> oneArgumentFunction(std::u16string_view name);
std::optional<OpKind> twoArgumentFunction(std::u16string_view name);

// Longest name in either table.
inline constexpr std::size_t LongestFunctionName = 8;

} // namespace formula
