#include "rates/formula/operations.h"

#include "rates/formula/formulaerrors.h"

#include <array>
#include <cmath>
#include <utility>

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

bool isBinary(OpKind kind)
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
        const double v = *op->a;
        double r;
        switch (op->kind) {
        case OpKind::Operand:
            continue;
        case OpKind::Add:
            r = v + *op->b;
            break;
        case OpKind::Subtract:
            r = v - *op->b;
            break;
        case OpKind::Multiply:
            r = v * *op->b;
            break;
        case OpKind::Divide:
            r = v / *op->b;
            break;
        case OpKind::IntDivide:
            r = intDivide(v, *op->b);
            break;
        case OpKind::Remainder:
            r = remainder(v, *op->b);
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
            const double w = *op->b;
            r = v >= w ? v : w;
            break;
        }
        case OpKind::Min: {
            const double w = *op->b;
            r = v >= w ? w : v;
            break;
        }
        case OpKind::Power:
            r = power(v, *op->b);
            break;
        case OpKind::IntPower:
            r = intPower(v, *op->b);
            break;
        case OpKind::LogN:
            r = logN(v, *op->b);
            break;
        case OpKind::Arg:
            r = arg(v, *op->b);
            break;
        default:
            __builtin_unreachable();
        }
        if (!std::isfinite(r)) [[unlikely]]
            checkNonFinite(*op, r);
        *op->result = r;
    }
    return *end[-1].result;
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
