#include "rates/formula/operations.h"

#include "rates/formula/formulaerrors.h"

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

constexpr double TwoPow52 = 4503599627370496.0;
constexpr double TwoPow63 = 9223372036854775808.0;
constexpr double Pi = 3.141592653589793;

// Truncation toward zero as a double; beyond 2^52 every double is already whole.
inline double truncate(double v)
{
    return std::fabs(v) < TwoPow52 ? double(std::int64_t(v)) : v;
}

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
    case OpKind::Ceil: {
        const double t = truncate(v);
        r = v - t > 0.0 ? t + 1.0 : t;
        break;
    }
    case OpKind::Floor: {
        const double t = truncate(v);
        r = v - t >= 0.0 ? t : t - 1.0;
        break;
    }
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
// previous step's result stays in a register); it stores its result and jumps straight
// to the next step. Instead of a test per step, every result is folded into one check
// value (r - r is 0 for a finite r and NaN otherwise); the caller falls back to the
// checked walk when that check is NaN or a step raises, so errors come out exactly as
// the checked walk reports them.

namespace {

enum class Source { Previous, Memory };

template <Source A, Source B, bool Store, bool Check, bool Last, OpKind K>
StepResult step(const Step* s, RandomSource& random, double previous, double check)
{
    const double v = A == Source::Previous ? previous : *s->a;
    const double w = B == Source::Previous ? previous : (isBinary(K) ? *s->b : 0.0);
    const double r = compute(K, v, w, random);
    if constexpr (Store)
        s->slot = r;
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

} // namespace

void buildSteps(const Operation* ops, std::size_t count, Step* steps)
{
    // Every result has one consumer (the formula is a tree): find it and how it reads.
    struct Use {
        std::size_t consumer = 0;
        int position = -1; // -1: the root, nobody reads it
        bool fromRegister = false;
    };
    std::vector<Use> uses(count);
    for (std::size_t j = 0; j < count; ++j) {
        for (int position = 0; position < 2; ++position) {
            const double* operand = position == 0 ? ops[j].a : ops[j].b;
            if (!operand || (position == 1 && !isBinary(ops[j].kind)))
                continue;
            for (std::size_t i = 0; i < j; ++i) {
                if (ops[i].result == operand) {
                    uses[i] = Use{j, position, false};
                    break;
                }
            }
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Operation& op = ops[i];
        Step& s = steps[i];
        s.a = op.a;
        s.b = op.b;
        if (op.kind == OpKind::Operand) {
            s.handler = &operandStep;
            continue;
        }
        const double* previous = i > 0 ? ops[i - 1].result : nullptr;
        const bool binary = isBinary(op.kind);
        Source a = Source::Memory;
        Source b = Source::Memory;
        if (previous && op.a == previous && !(binary && op.b == previous))
            a = Source::Previous;
        else if (previous && binary && op.b == previous)
            b = Source::Previous;
        if (i > 0 && uses[i - 1].position >= 0 && uses[i - 1].consumer == i &&
            (a == Source::Previous || b == Source::Previous))
            uses[i - 1].fromRegister = true;
        // Filled below once every consumer is known.
        s.handler = reinterpret_cast<StepHandler>(std::uintptr_t(a == Source::Previous ? 1 : 0) |
                                                  std::uintptr_t(b == Source::Previous ? 2 : 0));
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Operation& op = ops[i];
        Step& s = steps[i];
        if (op.kind == OpKind::Operand)
            continue;
        const auto sources = reinterpret_cast<std::uintptr_t>(s.handler);
        const Use& use = uses[i];
        const bool store = use.position >= 0 && !use.fromRegister;
        const bool check =
            use.position < 0 || !passesOnNonFinite(ops[use.consumer].kind, use.position);
        const bool last = i + 1 == count;
        if (sources & 1)
            s.handler = handlerOf<Source::Previous, Source::Memory>(op.kind, store, check, last);
        else if (sources & 2)
            s.handler = handlerOf<Source::Memory, Source::Previous>(op.kind, store, check, last);
        else
            s.handler = handlerOf<Source::Memory, Source::Memory>(op.kind, store, check, last);
    }
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
