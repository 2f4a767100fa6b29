#include "rates/formula/operations.h"

#include "rates/formula/formulaerrors.h"
#include "rates/formula/rounding.h"

#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace formula {
namespace {

using Kind = EMathError::Kind;

[[noreturn]] [[gnu::cold]] void raise(Kind kind)
{
    throw EMathError(kind);
}

using rounding::truncate;

constexpr double TwoPow63 = 9223372036854775808.0;
constexpr double Pi = 3.141592653589793;

// Truncation toward zero to a 64-bit integer; the range (and NaN) is checked.
inline std::int64_t toInt64(double v)
{
    if (!(v >= -TwoPow63 && v < TwoPow63))
        raise(Kind::InvalidOp);
    return std::int64_t(v);
}

double intDivide(double v, double w)
{
    const std::int64_t a = toInt64(v);
    const std::int64_t b = toInt64(w);
    if (b == 0)
        raise(Kind::DivByZero);
    if (b == -1) // the quotient of the smallest integer by -1 is 2^63, still a double
        return -double(a);
    return double(a / b);
}

double remainder(double v, double w)
{
    const std::int64_t a = toInt64(v);
    const std::int64_t b = toInt64(w);
    if (b == 0)
        raise(Kind::DivByZero);
    if (b == -1)
        return 0.0;
    return double(a % b);
}

// v to the power n by repeated squaring over the bits of |n|, in extended precision.
double intPowerOf(double v, std::int64_t n)
{
    long double base = v;
    long double r = 1.0L;
    std::uint64_t m = n < 0 ? 0 - std::uint64_t(n) : std::uint64_t(n);
    while (m != 0) {
        if (m & 1)
            r *= base;
        m >>= 1;
        if (m != 0)
            base *= base;
    }
    if (n < 0) {
        if (r == 0.0L)
            raise(v == 0.0 ? Kind::ZeroDivide : Kind::Overflow);
        r = 1.0L / r;
    }
    return double(r);
}

double intPower(double v, double w)
{
    return intPowerOf(v, toInt64(w));
}

double power(double v, double w)
{
    if (w == 0.0)
        return 1.0;
    if (v == 0.0 && w > 0.0)
        return 0.0;
    const std::int64_t whole = toInt64(w);
    if (double(whole) == w && whole >= -2147483647 && whole <= 2147483647)
        return intPowerOf(v, whole);
    if (v == 0.0)
        raise(Kind::ZeroDivide); // ln 0
    if (v < 0.0)
        raise(Kind::InvalidOp);
    return double(std::exp(static_cast<long double>(w) * std::log(static_cast<long double>(v))));
}

double logarithm(double v, double (*log)(double))
{
    if (v == 0.0)
        raise(Kind::ZeroDivide);
    if (v < 0.0)
        raise(Kind::InvalidOp);
    return log(v);
}

double logN(double v, double w)
{
    const double lw = logarithm(w, std::log);
    const double lv = logarithm(v, std::log);
    if (lv == 0.0)
        raise(lw == 0.0 ? Kind::InvalidOp : Kind::ZeroDivide);
    return lw / lv;
}

double arg(double v, double w)
{
    const long double ratio = static_cast<long double>(w) / v;
    if (v > 0.0)
        return double(std::atan(ratio));
    if (v < 0.0)
        return double(std::atan(ratio) + static_cast<long double>(Pi));
    if (v == 0.0)
        return w > 0.0 ? Pi / 2 : -Pi / 2;
    return v; // NaN
}

double cotan(double v)
{
    const double t = std::tan(v);
    if (t == 0.0)
        raise(Kind::ZeroDivide);
    return 1.0 / t;
}

double ph(double v)
{
    const double t = v / 0.6366197723675814;
    if (std::isinf(t) && std::isfinite(v))
        raise(Kind::Overflow);
    return 6.283185307179586 * (t - std::nearbyint(t));
}

double sinh(double v)
{
    const long double ev = std::exp(static_cast<long double>(v));
    const long double emv = std::exp(-static_cast<long double>(v));
    return double((ev - emv) * 0.5L);
}

double cosh(double v)
{
    const long double ev = std::exp(static_cast<long double>(v));
    const long double emv = std::exp(-static_cast<long double>(v));
    return double((ev + emv) * 0.5L);
}

// A result that is not finite: an error when the operation itself produced it (NaN from
// non-NaN operands, infinity from finite ones), else a NaN or infinity passed through.
[[gnu::cold]] void checkNonFinite(const Operation& op, double r)
{
    const double a = *op.a;
    const bool binary = isBinary(op.kind);
    const double b = binary ? *op.b : 0.0;
    if (std::isnan(r)) {
        if (!std::isnan(a) && !std::isnan(b))
            raise(Kind::InvalidOp);
        return;
    }
    if (std::isfinite(a) && std::isfinite(b))
        raise(op.kind == OpKind::Divide && b == 0.0 ? Kind::ZeroDivide : Kind::Overflow);
}

// The result of one operation on operand values v and w (w unused by unary kinds).
// Domain errors raise here; a result that is not finite is judged by the caller.
[[gnu::always_inline]] inline double compute(OpKind kind, double v, double w, RandomSource& random)
{
    double r;
    switch (kind) {
    case OpKind::Operand:
        r = v;
        break;
    case OpKind::Add:
        r = v + w;
        break;
    case OpKind::Subtract:
        r = v - w;
        break;
    case OpKind::Multiply:
        r = v * w;
        break;
    case OpKind::Divide:
        r = v / w;
        break;
    case OpKind::IntDivide:
        r = intDivide(v, w);
        break;
    case OpKind::Remainder:
        r = remainder(v, w);
        break;
    case OpKind::Negate:
        r = -v;
        break;
    case OpKind::Square:
    case OpKind::Sqr:
        r = v * v;
        break;
    case OpKind::Cube:
        r = v * v * v;
        break;
    case OpKind::FourthPower: {
        const double s = v * v;
        r = s * s;
        break;
    }
    case OpKind::Sin:
        r = std::fabs(v) >= TwoPow63 ? 0.0 : std::sin(v);
        break;
    case OpKind::Cos:
        r = std::fabs(v) >= TwoPow63 ? 0.0 : std::cos(v);
        break;
    case OpKind::Tan:
        r = std::tan(v);
        break;
    case OpKind::Cotan:
        r = cotan(v);
        break;
    case OpKind::Arctan:
        r = std::atan(v);
        break;
    case OpKind::Sinh:
        r = sinh(v);
        break;
    case OpKind::Cosh:
        r = cosh(v);
        break;
    case OpKind::Exp:
        r = std::exp(v);
        break;
    case OpKind::Ln:
        r = logarithm(v, std::log);
        break;
    case OpKind::Log10:
        r = logarithm(v, std::log10);
        break;
    case OpKind::Log2:
        r = logarithm(v, std::log2);
        break;
    case OpKind::Sqrt:
        if (v < 0.0)
            raise(Kind::InvalidOp);
        r = std::sqrt(v);
        break;
    case OpKind::Abs:
        r = std::fabs(v);
        break;
    case OpKind::Trunc:
    case OpKind::Int:
        r = truncate(v);
        break;
    case OpKind::Ceil:
        r = rounding::ceiling(v);
        break;
    case OpKind::Floor:
        r = rounding::floor(v);
        break;
    case OpKind::Heav:
        r = v < 0.0 ? 0.0 : 1.0;
        break;
    case OpKind::Sign:
        r = v < 0.0 ? -1.0 : v > 0.0 ? 1.0 : 0.0;
        break;
    case OpKind::Zero:
        r = v == 0.0 ? 0.0 : 1.0;
        break;
    case OpKind::Ph:
        r = ph(v);
        break;
    case OpKind::Rnd:
        r = truncate(v) * random.next();
        break;
    case OpKind::Random:
        r = random.next();
        break;
    case OpKind::Max: {
        r = v >= w ? v : w;
        break;
    }
    case OpKind::Min: {
        r = v >= w ? w : v;
        break;
    }
    case OpKind::Power:
        r = power(v, w);
        break;
    case OpKind::IntPower:
        r = intPower(v, w);
        break;
    case OpKind::LogN:
        r = logN(v, w);
        break;
    case OpKind::Arg:
        r = arg(v, w);
        break;
    default:
        __builtin_unreachable();
    }
    return r;
}

struct NamedKind {
    std::u16string_view name;
    OpKind kind;
};

constexpr std::array<NamedKind, 24> OneArgument{{
    {u"ABS", OpKind::Abs},   {u"ARCTAN", OpKind::Arctan}, {u"CEIL", OpKind::Ceil},
    {u"COS", OpKind::Cos},   {u"COSH", OpKind::Cosh},     {u"COTAN", OpKind::Cotan},
    {u"EXP", OpKind::Exp},   {u"FLOOR", OpKind::Floor},   {u"HEAV", OpKind::Heav},
    {u"INT", OpKind::Int},   {u"LN", OpKind::Ln},         {u"LOG10", OpKind::Log10},
    {u"LOG2", OpKind::Log2}, {u"PH", OpKind::Ph},         {u"RANDOM", OpKind::Random},
    {u"RND", OpKind::Rnd},   {u"SIGN", OpKind::Sign},     {u"SIN", OpKind::Sin},
    {u"SINH", OpKind::Sinh}, {u"SQR", OpKind::Sqr},       {u"SQRT", OpKind::Sqrt},
    {u"TAN", OpKind::Tan},   {u"TRUNC", OpKind::Trunc},   {u"ZERO", OpKind::Zero},
}};

constexpr std::array<NamedKind, 6> TwoArgument{{
    {u"ARG", OpKind::Arg},
    {u"INTPOWER", OpKind::IntPower},
    {u"LOGN", OpKind::LogN},
    {u"MAX", OpKind::Max},
    {u"MIN", OpKind::Min},
    {u"POWER", OpKind::Power},
}};

template <std::size_t N>
std::optional<OpKind> lookup(const std::array<NamedKind, N>& table, std::u16string_view name)
{
    if (name.size() > LongestFunctionName)
        return std::nullopt;
    for (const NamedKind& entry : table)
        if (entry.name == name)
            return entry.kind;
    return std::nullopt;
}

} // namespace

double RandomSource::next()
{
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return double(z >> 11) * 0x1.0p-53;
}

double runOperations(const Operation* ops, std::size_t count, RandomSource& random)
{
    const Operation* const end = ops + count;
    for (const Operation* op = ops; op != end; ++op) {
        if (op->kind == OpKind::Operand)
            continue;
        const double r = compute(op->kind, *op->a, op->b ? *op->b : 0.0, random);
        if (!std::isfinite(r)) [[unlikely]]
            checkNonFinite(*op, r);
        *op->result = r;
    }
    return *end[-1].result;
}

// ---- The threaded form ----------------------------------------------------------------
//
// Each step is a handler made for its kind and for where its operands come from (the
// previous step's result stays in a register); it stores its result where it is read
// from memory and jumps straight to the next step. Instead of a test per step, every
// result is folded into one check value (r - r is 0 for a finite r and NaN otherwise);
// the caller falls back to the checked walk when that check is NaN or a step raises, so
// errors come out exactly as the checked walk reports them.
//
// A chain step runs up to four operations that feed each other in one handler: an
// arithmetic link "x op m" (m a variable, a constant or a stored result), a rounding or
// squaring function, a second arithmetic link and a second function, each of them
// optional. Rounding rules are mostly one such chain (CEIL(VALUE/5)*5,
// CEIL(INT(VALUE*10)/10)), which then costs one indirect call. None of the chained kinds
// raises, and each passes a NaN or infinity in its chained operand on to its result, so
// checking the chain's result covers every link.

namespace {

enum class Source { Previous, Memory };

template <Source A, Source B, bool Store, bool Check, bool Last, OpKind K>
StepResult step(const Step* s, RandomSource& random, double previous, double check)
{
    const double v = A == Source::Previous ? previous : *s->a;
    const double w = B == Source::Previous ? previous : (isBinary(K) ? *s->b : 0.0);
    const double r = compute(K, v, w, random);
    if constexpr (Store)
        *s->out = r;
    if constexpr (Check)
        check += r - r;
    if constexpr (Last)
        return StepResult{r, check};
    else
        return s[1].handler(s + 1, random, r, check);
}

StepResult operandStep(const Step* s, RandomSource&, double, double)
{
    const double v = *s->a;
    return StepResult{v, v - v};
}

template <Source A, Source B, bool Store, bool Check, bool Last> StepHandler handlerOf(OpKind kind)
{
    switch (kind) {
#define SPRRATE_FORMULA_KIND(K)                                                                    \
    case OpKind::K:                                                                                \
        return &step<A, B, Store, Check, Last, OpKind::K>;
        SPRRATE_FORMULA_KIND(Add)
        SPRRATE_FORMULA_KIND(Subtract)
        SPRRATE_FORMULA_KIND(Multiply)
        SPRRATE_FORMULA_KIND(Divide)
        SPRRATE_FORMULA_KIND(IntDivide)
        SPRRATE_FORMULA_KIND(Remainder)
        SPRRATE_FORMULA_KIND(Negate)
        SPRRATE_FORMULA_KIND(Square)
        SPRRATE_FORMULA_KIND(Cube)
        SPRRATE_FORMULA_KIND(FourthPower)
        SPRRATE_FORMULA_KIND(Sin)
        SPRRATE_FORMULA_KIND(Cos)
        SPRRATE_FORMULA_KIND(Tan)
        SPRRATE_FORMULA_KIND(Cotan)
        SPRRATE_FORMULA_KIND(Arctan)
        SPRRATE_FORMULA_KIND(Sinh)
        SPRRATE_FORMULA_KIND(Cosh)
        SPRRATE_FORMULA_KIND(Exp)
        SPRRATE_FORMULA_KIND(Ln)
        SPRRATE_FORMULA_KIND(Log10)
        SPRRATE_FORMULA_KIND(Log2)
        SPRRATE_FORMULA_KIND(Sqr)
        SPRRATE_FORMULA_KIND(Sqrt)
        SPRRATE_FORMULA_KIND(Abs)
        SPRRATE_FORMULA_KIND(Trunc)
        SPRRATE_FORMULA_KIND(Int)
        SPRRATE_FORMULA_KIND(Ceil)
        SPRRATE_FORMULA_KIND(Floor)
        SPRRATE_FORMULA_KIND(Heav)
        SPRRATE_FORMULA_KIND(Sign)
        SPRRATE_FORMULA_KIND(Zero)
        SPRRATE_FORMULA_KIND(Ph)
        SPRRATE_FORMULA_KIND(Rnd)
        SPRRATE_FORMULA_KIND(Random)
        SPRRATE_FORMULA_KIND(Max)
        SPRRATE_FORMULA_KIND(Min)
        SPRRATE_FORMULA_KIND(Power)
        SPRRATE_FORMULA_KIND(IntPower)
        SPRRATE_FORMULA_KIND(LogN)
        SPRRATE_FORMULA_KIND(Arg)
#undef SPRRATE_FORMULA_KIND
    case OpKind::Operand:
        break;
    }
    return &operandStep;
}

template <Source A, Source B> StepHandler handlerOf(OpKind kind, bool store, bool check, bool last)
{
    if (last)
        return handlerOf<A, B, false, true, true>(kind);
    if (store)
        return check ? handlerOf<A, B, true, true, false>(kind)
                     : handlerOf<A, B, true, false, false>(kind);
    return check ? handlerOf<A, B, false, true, false>(kind)
                 : handlerOf<A, B, false, false, false>(kind);
}

// The links a chain may hold at each of its four places; Operand means none. A chain
// whose places are the middle two only may end in a binary operation whose second operand
// is the chain's value ("trailing": MAX(m, VALUE^2/100)).
constexpr std::array<OpKind, 5> ChainArithmetic{OpKind::Operand, OpKind::Add, OpKind::Subtract,
                                                OpKind::Multiply, OpKind::Divide};
constexpr std::array<OpKind, 5> ChainFunction{OpKind::Operand, OpKind::Ceil, OpKind::Floor,
                                              OpKind::Trunc, OpKind::Square};
constexpr std::array<OpKind, 7> ChainTrailing{OpKind::Operand, OpKind::Add,      OpKind::Subtract,
                                              OpKind::Multiply, OpKind::Divide, OpKind::Max,
                                              OpKind::Min};
constexpr std::size_t ChainShapes = 5 * 5 * 5 * 5;
constexpr std::size_t TrailingShapes = 5 * 5 * 6;

template <std::size_t N> int indexIn(const std::array<OpKind, N>& table, OpKind kind)
{
    if (kind == OpKind::Int) // the same computation as TRUNC
        kind = OpKind::Trunc;
    else if (kind == OpKind::Sqr) // the same computation as a square
        kind = OpKind::Square;
    for (std::size_t i = 1; i < N; ++i)
        if (table[i] == kind)
            return int(i);
    return 0;
}

// The chain's links applied to its input v; the operands of the arithmetic links are
// s->b and s->c.
template <OpKind A1, OpKind F1, OpKind A2, OpKind F2>
[[gnu::always_inline]] inline double chainValue(const Step* s, double v)
{
    RandomSource unused; // no chained kind draws random numbers
    if constexpr (A1 != OpKind::Operand)
        v = compute(A1, v, *s->b, unused);
    if constexpr (F1 != OpKind::Operand)
        v = compute(F1, v, 0.0, unused);
    if constexpr (A2 != OpKind::Operand)
        v = compute(A2, v, *s->c, unused);
    if constexpr (F2 != OpKind::Operand)
        v = compute(F2, v, 0.0, unused);
    return v;
}

// Stores r where it is read from memory and goes on to the next step (a tail call).
template <bool Last>
[[gnu::always_inline]] inline StepResult continueWith(const Step* s, RandomSource& random,
                                                      double r, double check)
{
    if (s->out)
        *s->out = r;
    if constexpr (Last)
        return StepResult{r, check};
    else
        return s[1].handler(s + 1, random, r, check);
}

template <std::size_t Shape, bool Last>
StepResult chainStep(const Step* s, RandomSource& random, double previous, double check)
{
    const double r = chainValue<ChainArithmetic[Shape / 125], ChainFunction[Shape / 25 % 5],
                                ChainArithmetic[Shape / 5 % 5], ChainFunction[Shape % 5]>(
        s, s->a ? *s->a : previous);
    return continueWith<Last>(s, random, r, check + (r - r));
}

// The entry of a formula that is one chain on a variable or constant.
template <std::size_t Shape> double wholeChain(const ThreadedForm& form, RandomSource& random)
{
    const Step* s = form.steps;
    const double r = chainValue<ChainArithmetic[Shape / 125], ChainFunction[Shape / 25 % 5],
                                ChainArithmetic[Shape / 5 % 5], ChainFunction[Shape % 5]>(s, *s->a);
    if (r - r == 0.0) [[likely]]
        return r;
    return runOperations(form.ops, form.count, random);
}

// The entry of every other formula: the steps from the first.
double threadedEntry(const ThreadedForm& form, RandomSource& random)
{
    StepResult r;
    try {
        r = form.steps[0].handler(form.steps, random, 0.0, 0.0);
    } catch (...) {
        return runOperations(form.ops, form.count, random);
    }
    if (r.check != r.check) [[unlikely]]
        return runOperations(form.ops, form.count, random);
    return r.value;
}

// A chain of the middle two places and a trailing binary operation T(*s->b, chain).
template <std::size_t Shape, bool Last>
StepResult trailingStep(const Step* s, RandomSource& random, double previous, double check)
{
    constexpr OpKind T = ChainTrailing[Shape % 6 + 1];
    const double v = chainValue<OpKind::Operand, ChainFunction[Shape / 30], OpKind::Operand,
                                OpKind::Operand>(s, s->a ? *s->a : previous);
    const double w = ChainArithmetic[Shape / 6 % 5] == OpKind::Operand
                         ? v
                         : compute(ChainArithmetic[Shape / 6 % 5], v, *s->c, random);
    const double r = compute(T, *s->b, w, random);
    return continueWith<Last>(s, random, r, check + (w - w) + (r - r));
}

template <bool Last, std::size_t... Shape>
constexpr std::array<StepHandler, ChainShapes> chainHandlers(std::index_sequence<Shape...>)
{
    return {&chainStep<Shape, Last>...};
}
template <std::size_t... Shape>
constexpr std::array<EntryHandler, ChainShapes> wholeHandlers(std::index_sequence<Shape...>)
{
    return {&wholeChain<Shape>...};
}
template <bool Last, std::size_t... Shape>
constexpr std::array<StepHandler, TrailingShapes> trailingHandlers(std::index_sequence<Shape...>)
{
    return {&trailingStep<Shape, Last>...};
}
// Indexed by [last][shape].
constexpr std::array<std::array<StepHandler, ChainShapes>, 2> ChainHandlers{
    chainHandlers<false>(std::make_index_sequence<ChainShapes>()),
    chainHandlers<true>(std::make_index_sequence<ChainShapes>())};
constexpr std::array<EntryHandler, ChainShapes> WholeHandlers =
    wholeHandlers(std::make_index_sequence<ChainShapes>());
constexpr std::array<std::array<StepHandler, TrailingShapes>, 2> TrailingHandlers{
    trailingHandlers<false>(std::make_index_sequence<TrailingShapes>()),
    trailingHandlers<true>(std::make_index_sequence<TrailingShapes>())};

// Whether a NaN or infinity as the operand at position (0 or 1) surely gives a NaN or
// infinity as the result, so that checking the result covers the operand.
bool passesOnNonFinite(OpKind kind, int position)
{
    switch (kind) {
    case OpKind::Add:
    case OpKind::Subtract:
    case OpKind::Multiply:
        return true;
    case OpKind::Divide:
        return position == 0; // x / inf is 0
    case OpKind::Negate:
    case OpKind::Square:
    case OpKind::Cube:
    case OpKind::FourthPower:
    case OpKind::Sqr:
    case OpKind::Sqrt:
    case OpKind::Abs:
    case OpKind::Trunc:
    case OpKind::Int:
    case OpKind::Ceil:
    case OpKind::Floor:
        return true;
    default:
        return false;
    }
}

constexpr std::size_t None = std::size_t(-1);

// One step while building: the operations it runs, from position first of the run order.
struct Group {
    std::size_t first = 0;
    std::size_t length = 1;          // operations run (1: a plain step)
    std::array<int, 4> places{};     // for a chain, the index of each place's link (0: none)
    int trailing = 0;                // for a chain, the index of its trailing operation
    const double* operands[2] = {};  // for a chain, the memory operands of its links
    std::size_t fromRegister = None; // the operation whose result it takes from the register
};

} // namespace

double runNothing(const ThreadedForm&, RandomSource&)
{
    return 0.0;
}

ThreadedForm buildSteps(const Operation* ops, std::size_t count, Step* steps)
{
    ThreadedForm form;
    form.entry = &threadedEntry;
    form.steps = steps;
    form.ops = ops;
    form.count = count;
    if (count == 1 && ops[0].kind == OpKind::Operand) {
        steps[0].handler = &operandStep;
        steps[0].a = ops[0].a;
        form.stepCount = 1;
        return form;
    }
    // Every result has one consumer (the formula is a tree): find the producers.
    std::vector<std::array<std::size_t, 2>> producer(count, {None, None});
    std::vector<std::size_t> consumer(count, None);
    std::vector<int> position(count, -1); // where the consumer reads it; -1: the root
    bool drawsRandom = false;
    for (std::size_t j = 0; j < count; ++j) {
        drawsRandom = drawsRandom || ops[j].kind == OpKind::Rnd || ops[j].kind == OpKind::Random;
        for (int p = 0; p < 2; ++p) {
            const double* operand = p == 0 ? ops[j].a : ops[j].b;
            if (!operand || (p == 1 && !isBinary(ops[j].kind)))
                continue;
            for (std::size_t i = 0; i < j; ++i) {
                if (ops[i].result == operand) {
                    producer[j][std::size_t(p)] = i;
                    consumer[i] = j;
                    position[i] = p;
                    break;
                }
            }
        }
    }

    // The run order: each operand's subtree just before its consumer, so that chains are
    // contiguous; the list order when random numbers are drawn (their sequence is fixed).
    std::vector<std::size_t> order;
    order.reserve(count);
    if (drawsRandom) {
        for (std::size_t i = 0; i < count; ++i)
            order.push_back(i);
    } else {
        // Iterative post-order from the root (the last operation).
        std::vector<std::pair<std::size_t, int>> stack{{count - 1, 0}};
        while (!stack.empty()) {
            auto& [op, next] = stack.back();
            if (next < 2) {
                const std::size_t child = producer[op][std::size_t(next++)];
                if (child != None)
                    stack.emplace_back(child, 0);
                continue;
            }
            order.push_back(op);
            stack.pop_back();
        }
    }

    // Whether the operation at order position p reads, as its first operand, the result
    // of the one at position p - 1, and as its second (if any) no computed result.
    auto fedByPrevious = [&](std::size_t p) {
        const std::size_t op = order[p];
        return producer[op][0] == order[p - 1] &&
               (!isBinary(ops[op].kind) || producer[op][1] == None);
    };
    // The longest chain from position p: its places in turn (arithmetic, function,
    // arithmetic, function), each link fed by the one before.
    auto chainAt = [&](std::size_t p) {
        Group g;
        g.first = p;
        std::size_t q = p;
        for (int place = 0; place < 4 && q < count; ++place) {
            const std::size_t op = order[q];
            const bool arithmetic = place % 2 == 0;
            const int index = arithmetic ? indexIn(ChainArithmetic, ops[op].kind)
                                         : indexIn(ChainFunction, ops[op].kind);
            if (index == 0 || (arithmetic && producer[op][1] != None) ||
                (q > p && !fedByPrevious(q)))
                continue;
            g.places[std::size_t(place)] = index;
            if (arithmetic)
                g.operands[place / 2] = ops[op].b;
            ++q;
        }
        // A lone arithmetic link may stand second, so that a trailing operation can follow.
        if (g.places[0] != 0 && g.places[1] == 0 && g.places[2] == 0 && g.places[3] == 0) {
            std::swap(g.places[0], g.places[2]);
            std::swap(g.operands[0], g.operands[1]);
        }
        if (q > p && q < count && g.places[0] == 0 && g.places[3] == 0) {
            const std::size_t op = order[q];
            const int index = indexIn(ChainTrailing, ops[op].kind);
            if (index != 0 && producer[op][1] == order[q - 1]) {
                g.trailing = index;
                g.operands[0] = ops[op].a;
                ++q;
            }
        }
        g.length = q - p;
        return g;
    };

    std::vector<Group> groups;
    for (std::size_t p = 0; p < count;) {
        Group g = chainAt(p);
        if (g.length < 2)
            g = Group{p};
        p += g.length;
        groups.push_back(g);
    }

    // Register passing, then the handlers.
    for (std::size_t k = 1; k < groups.size(); ++k) {
        Group& g = groups[k];
        const std::size_t op = order[g.first];
        const std::size_t before = order[groups[k - 1].first + groups[k - 1].length - 1];
        if (producer[op][0] == before || (isBinary(ops[op].kind) && producer[op][1] == before))
            g.fromRegister = before;
    }
    for (std::size_t k = 0; k < groups.size(); ++k) {
        const Group& g = groups[k];
        Step& s = steps[k];
        const std::size_t first = order[g.first];
        const std::size_t final = order[g.first + g.length - 1];
        const bool last = k + 1 == groups.size();
        const bool store =
            consumer[final] != None && !(k + 1 < groups.size() && groups[k + 1].fromRegister == final);
        s.out = store ? ops[final].result : nullptr;
        if (g.length > 1) {
            const auto [a1, f1, a2, f2] = g.places;
            s.a = g.fromRegister == None ? ops[first].a : nullptr;
            s.b = g.operands[0];
            s.c = g.operands[1];
            if (g.trailing != 0) {
                s.handler =
                    TrailingHandlers[last][std::size_t((f1 * 5 + a2) * 6 + g.trailing - 1)];
                continue;
            }
            const std::size_t shape = std::size_t(((a1 * 5 + f1) * 5 + a2) * 5 + f2);
            s.handler = ChainHandlers[last][shape];
            if (groups.size() == 1) {
                form.entry = WholeHandlers[shape];
                form.oneChain = true;
            }
            continue;
        }
        const Operation& op = ops[first];
        s.a = op.a;
        s.b = op.b;
        Source a = Source::Memory;
        Source b = Source::Memory;
        if (g.fromRegister != None) {
            if (producer[first][0] == g.fromRegister)
                a = Source::Previous;
            else
                b = Source::Previous;
        }
        const bool check = position[final] < 0 ||
                           !passesOnNonFinite(ops[consumer[final]].kind, position[final]);
        if (a == Source::Previous)
            s.handler = handlerOf<Source::Previous, Source::Memory>(op.kind, store, check, last);
        else if (b == Source::Previous)
            s.handler = handlerOf<Source::Memory, Source::Previous>(op.kind, store, check, last);
        else
            s.handler = handlerOf<Source::Memory, Source::Memory>(op.kind, store, check, last);
    }
    form.stepCount = groups.size();
    return form;
}

std::optional<OpKind> oneArgumentFunction(std::u16string_view name)
{
    return lookup(OneArgument, name);
}

std::optional<OpKind> twoArgumentFunction(std::u16string_view name)
{
    return lookup(TwoArgument, name);
}

} // namespace formula
