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
constexpr bool isBinary(OpKind kind)
{
    switch (kind) {
    case OpKind::Add:
    case OpKind::Subtract:
    case OpKind::Multiply:
    case OpKind::Divide:
    case OpKind::IntDivide:
    case OpKind::Remainder:
    case OpKind::Max:
    case OpKind::Min:
    case OpKind::Power:
    case OpKind::IntPower:
    case OpKind::LogN:
    case OpKind::Arg:
        return true;
    default:
        return false;
    }
}

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

// The same list in threaded form, for speed: one step per operation or per chain of
// operations fused into one (such as CEIL(VALUE/5)*5), whose handler is made for the
// kinds and operand sources and jumps to the next step's; the last one returns. The steps
// may run the operations in another order than the list (each subtree in turn, so that
// chains are contiguous) unless the formula draws random numbers; as every operation is
// a function of its operands only, the values are the same. Each step's result is also
// folded into a check value (r - r: 0 when r is finite, NaN otherwise); a NaN check means
// that some result was not finite.
struct Step;
struct StepResult {
    double value;
    double check;
};
using StepHandler = StepResult (*)(const Step*, RandomSource&, double previous, double check);
struct Step {
    StepHandler handler = nullptr;
    const double* a = nullptr; // first operand; for a chain its input (null: the previous result)
    const double* b = nullptr; // second operand; for a chain the first arithmetic link's
    const double* c = nullptr; // for a chain, the second arithmetic link's operand
    double* out = nullptr;     // where the result is stored (null: nowhere)
    mutable double slot = 0.0; // the result slot of one operation (indexed by operation)
};

// The evaluation entry of a compiled formula: one call that runs its threaded form and,
// when a result was not finite or a step raised, the checked walk again over ops to
// report the first failing operation exactly (or to pass a NaN or infinity from a variable
// through). A formula that is one chain is run by an entry made for that chain alone.
struct ThreadedForm;
using EntryHandler = double (*)(const ThreadedForm&, RandomSource&);

// 0.0: the entry of an empty formula.
double runNothing(const ThreadedForm&, RandomSource&);

// Which direct form (directforms.h) evaluates a formula, if any.
enum class DirectForm : std::uint8_t {
    None,
    Chain, // a chain of constant links on one input, such as CEIL(VALUE/5)*5
    Pair,  // MAX or MIN of two such chains, such as MAX(CEIL(VALUE/5)*5,VALUE^2/100)
};

struct ThreadedForm {
    EntryHandler entry = &runNothing;
    // A direct form's inputs (a variable's or a constant's storage) and the constants of
    // its links, held here so that the entry reads nothing else.
    const double* inputs[2] = {};
    double constants[4] = {};
    bool pairIsMax = false; // a pair's root: MAX, else MIN
    const Step* steps = nullptr;
    const Operation* ops = nullptr;
    std::size_t count = 0;      // operations
    std::size_t stepCount = 0;  // steps filled
    bool oneChain = false;      // the entry runs one chain
    DirectForm direct = DirectForm::None; // the entry, if direct
};

// Fills the steps for ops (count of them, at most count steps), whose result slots must
// be the steps' slots (or, for Operand, the operand's storage), and returns the form.
ThreadedForm buildSteps(const Operation* ops, std::size_t count, Step* steps);

// Evaluates like runOperations, through the threaded form.
inline double runSteps(const ThreadedForm& form, RandomSource& random)
{
    return form.entry(form, random);
}

// The function tables: the kind of a one- or two-argument function name (upper case).
std::optional<OpKind> oneArgumentFunction(std::u16string_view name);
std::optional<OpKind> twoArgumentFunction(std::u16string_view name);

// Longest name in either table.
inline constexpr std::size_t LongestFunctionName = 8;

} // namespace formula
