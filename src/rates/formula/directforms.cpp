#include "rates/formula/directforms.h"

#include "rates/formula/rounding.h"

#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <utility>

namespace formula {
namespace {

// The links. Subtracting a constant is adding its negation (IEEE arithmetic defines
// x - y as x + (-y), so the bits are the same), and a constant first operand of an
// addition or multiplication may stand second; so three arithmetic kinds cover the six
// ways a rule writes them. An arithmetic place without a link multiplies by 1, which
// gives x itself for every x (zeros of either sign included): one multiplication more
// there saves a fourth arithmetic kind, and so more than half of the shapes to build.
enum class Arithmetic : std::uint8_t { Add, Multiply, Divide };
enum class Function : std::uint8_t { None, Ceil, Floor, Trunc, Square };
constexpr std::size_t Arithmetics = 3;
constexpr std::size_t Functions = 5;

template <Arithmetic A> [[gnu::always_inline]] inline double apply(double v, double k)
{
    if constexpr (A == Arithmetic::Add)
        return v + k;
    else if constexpr (A == Arithmetic::Multiply)
        return v * k;
    else
        return v / k;
}

template <Function F> [[gnu::always_inline]] inline double apply(double v)
{
    if constexpr (F == Function::Ceil)
        return rounding::ceiling(v);
    else if constexpr (F == Function::Floor)
        return rounding::floor(v);
    else if constexpr (F == Function::Trunc)
        return rounding::truncate(v);
    else if constexpr (F == Function::Square)
        return v * v;
    else
        return v;
}

// A chain's places in order: arithmetic, function, arithmetic, function, arithmetic (the
// last one may also be empty, so that a rule such as CEIL(VALUE/5)*5 pays no
// multiplication for it); a side of a pair has the first three. Shapes number the kinds
// of the places, the first place most significant.
constexpr std::size_t NoLastLink = Arithmetics; // the kind of an empty last place
constexpr std::size_t SideShapes = Arithmetics * Functions * Arithmetics;
constexpr std::size_t ChainShapes = SideShapes * Functions * (Arithmetics + 1);
// 900 chain and 2,025 pair functions: about 25 s to build at -O2 -g, in a unit of its own
// so that it builds beside operations.cpp.
constexpr std::size_t PairShapes = SideShapes * SideShapes;

// The links of a side of shape Side on input v, with the constants k[0] and k[1]. None of
// them raises, and each passes a NaN or infinity in v on to its result (the constants are
// finite), so a finite result means that every link's result was finite.
template <std::size_t Side>
[[gnu::always_inline]] inline double sideValue(double v, const double* k)
{
    v = apply<Arithmetic(Side / (Functions * Arithmetics))>(v, k[0]);
    v = apply<Function(Side / Arithmetics % Functions)>(v);
    return apply<Arithmetic(Side % Arithmetics)>(v, k[1]);
}

template <std::size_t Shape> double chainEntry(const ThreadedForm& form, RandomSource& random)
{
    constexpr std::size_t Last = Shape % (Arithmetics + 1);
    double v = apply<Function(Shape / (Arithmetics + 1) % Functions)>(
        sideValue<Shape / (Arithmetics + 1) / Functions>(*form.inputs[0], form.constants));
    if constexpr (Last != NoLastLink)
        v = apply<Arithmetic(Last)>(v, form.constants[2]);
    if (std::isfinite(v)) [[likely]]
        return v;
    return runOperations(form.ops, form.count, random);
}

// MAX or MIN (form.pairIsMax: a test rather than a shape, so that half as many functions
// are built) of two sides.
template <std::size_t Shape> double pairEntry(const ThreadedForm& form, RandomSource& random)
{
    const double v = sideValue<Shape / SideShapes>(*form.inputs[0], form.constants);
    const double w = sideValue<Shape % SideShapes>(*form.inputs[1], form.constants + 2);
    // v - w is finite only when both are (a difference beyond the double range merely
    // sends a finite pair the slow way). With neither a NaN these are MAX's v >= w ? v : w
    // and MIN's v >= w ? w : v, zeros of either sign included, in the form of the
    // processor's max and min instructions.
    if (std::isfinite(v - w)) [[likely]]
        return form.pairIsMax ? (w > v ? w : v) : (v < w ? v : w);
    return runOperations(form.ops, form.count, random);
}

template <std::size_t... Shape>
constexpr std::array<EntryHandler, ChainShapes> chainEntries(std::index_sequence<Shape...>)
{
    return {&chainEntry<Shape>...};
}
template <std::size_t... Shape>
constexpr std::array<EntryHandler, PairShapes> pairEntries(std::index_sequence<Shape...>)
{
    return {&pairEntry<Shape>...};
}
constexpr std::array<EntryHandler, ChainShapes> ChainEntries =
    chainEntries(std::make_index_sequence<ChainShapes>());
constexpr std::array<EntryHandler, PairShapes> PairEntries =
    pairEntries(std::make_index_sequence<PairShapes>());

// A chain found in the operation list: its input, the kind index of each place (a
// function place without a link: None; the first two arithmetic ones: Multiply; the
// last: NoLastLink) and the constants of its arithmetic places (1 without a link).
struct Chain {
    const double* input = nullptr;
    std::array<std::size_t, 5> places{
        std::size_t(Arithmetic::Multiply), std::size_t(Function::None),
        std::size_t(Arithmetic::Multiply), std::size_t(Function::None), NoLastLink};
    std::array<double, 3> constants{1.0, 1.0, 1.0};
};

class Matcher {
public:
    Matcher(const Operation* ops, std::size_t count, const double* constants,
            std::size_t constantCount)
        : m_ops(ops), m_count(count), m_constants(constants),
          m_constantsEnd(constants + constantCount)
    {}

    // The chain whose last link is the operation computing operand (or, when no operation
    // computes it, the chain of no links on it), fitted into placeCount places.
    std::optional<Chain> chainOf(const double* operand, std::size_t placeCount) const
    {
        struct Link {
            bool arithmetic;
            std::size_t kind;
            double constant;
        };
        std::array<Link, 5> links{}; // from the last link down
        std::size_t linkCount = 0;
        for (std::optional<std::size_t> op = producerOf(operand); op; op = producerOf(operand)) {
            if (linkCount == placeCount)
                return std::nullopt;
            const Operation& o = m_ops[*op];
            Link link{false, 0, 0.0};
            switch (o.kind) {
            case OpKind::Ceil:
                link.kind = std::size_t(Function::Ceil);
                break;
            case OpKind::Floor:
                link.kind = std::size_t(Function::Floor);
                break;
            case OpKind::Trunc:
            case OpKind::Int:
                link.kind = std::size_t(Function::Trunc);
                break;
            case OpKind::Square:
            case OpKind::Sqr:
                link.kind = std::size_t(Function::Square);
                break;
            case OpKind::Add:
            case OpKind::Subtract:
            case OpKind::Multiply:
            case OpKind::Divide:
                link.arithmetic = true;
                break;
            default:
                return std::nullopt;
            }
            operand = o.a;
            if (link.arithmetic) {
                const bool commutes = o.kind == OpKind::Add || o.kind == OpKind::Multiply;
                if (isConstant(o.b)) {
                    link.constant = *o.b;
                } else if (commutes && isConstant(o.a)) {
                    link.constant = *o.a;
                    operand = o.b;
                } else {
                    return std::nullopt;
                }
                link.kind = o.kind == OpKind::Divide     ? std::size_t(Arithmetic::Divide)
                            : o.kind == OpKind::Multiply ? std::size_t(Arithmetic::Multiply)
                                                         : std::size_t(Arithmetic::Add);
                if (o.kind == OpKind::Subtract)
                    link.constant = -link.constant;
            }
            links[linkCount++] = link;
        }
        // Each link, from the first, in the earliest place of its type after the previous.
        Chain chain;
        chain.input = operand;
        std::size_t place = 0;
        for (std::size_t i = linkCount; i-- > 0;) {
            const Link& link = links[i];
            if (link.arithmetic != (place % 2 == 0))
                ++place;
            if (place >= placeCount)
                return std::nullopt;
            chain.places[place] = link.kind;
            if (link.arithmetic)
                chain.constants[place / 2] = link.constant;
            ++place;
        }
        return chain;
    }

private:
    bool isConstant(const double* p) const
    {
        const std::less_equal<const double*> notAfter;
        return notAfter(m_constants, p) && std::less<const double*>()(p, m_constantsEnd);
    }

    std::optional<std::size_t> producerOf(const double* operand) const
    {
        for (std::size_t i = 0; i < m_count; ++i)
            if (m_ops[i].result == operand)
                return i;
        return std::nullopt;
    }

    const Operation* m_ops;
    std::size_t m_count;
    const double* m_constants;
    const double* m_constantsEnd;
};

std::size_t sideShape(const Chain& c)
{
    return (c.places[0] * Functions + c.places[1]) * Arithmetics + c.places[2];
}

// The longest list a direct shape has: two sides of three links and the MAX or MIN.
constexpr std::size_t LongestDirect = 7;

} // namespace

void makeDirect(ThreadedForm& form, const Operation* ops, std::size_t count,
                const double* constants, std::size_t constantCount)
{
    if (count == 0 || count > LongestDirect || ops[count - 1].kind == OpKind::Operand)
        return;
    const Matcher matcher(ops, count, constants, constantCount);
    const Operation& root = ops[count - 1];
    if (root.kind == OpKind::Max || root.kind == OpKind::Min) {
        const auto v = matcher.chainOf(root.a, 3);
        const auto w = v ? matcher.chainOf(root.b, 3) : std::nullopt;
        if (!w)
            return;
        form.inputs[0] = v->input;
        form.inputs[1] = w->input;
        form.constants[0] = v->constants[0];
        form.constants[1] = v->constants[1];
        form.constants[2] = w->constants[0];
        form.constants[3] = w->constants[1];
        form.pairIsMax = root.kind == OpKind::Max;
        form.entry = PairEntries[sideShape(*v) * SideShapes + sideShape(*w)];
        form.direct = DirectForm::Pair;
        return;
    }
    const auto chain = matcher.chainOf(root.result, 5);
    if (!chain)
        return;
    form.inputs[0] = chain->input;
    form.constants[0] = chain->constants[0];
    form.constants[1] = chain->constants[1];
    form.constants[2] = chain->constants[2];
    form.entry =
        ChainEntries[(sideShape(*chain) * Functions + chain->places[3]) * (Arithmetics + 1) +
                     chain->places[4]];
    form.direct = DirectForm::Chain;
}

} // namespace formula
