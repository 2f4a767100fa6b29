#include "rates/formula/compiler.h"

#include "rates/formula/directforms.h"
#include "rates/formula/formulaerrors.h"
#include "rates/formula/formulatext.h"
#include "rates/formula/recogniser.h"
#include "rates/formula/variables.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace formula {

using detail::Form;
using detail::Piece;
using detail::Recogniser;
using detail::Term;
using detail::TriedSplit;

namespace {

// An operand while building: a variable's storage, a constant, or a node's result.
struct Ref {
    enum class Type { Storage, Constant, Node } type = Type::Storage;
    double* storage = nullptr;
    int index = 0;
};

struct Node {
    OpKind kind;
    int level;
    Ref a;
    Ref b;
};

QString pieceText(const Recogniser& rec, Piece p)
{
    const std::u16string_view t = rec.text(p);
    return QString::fromUtf16(t.data(), qsizetype(t.size()));
}

OpKind binaryKind(Form f)
{
    switch (f) {
    case Form::Addition:
        return OpKind::Add;
    case Form::Subtraction:
        return OpKind::Subtract;
    case Form::Multiplication:
        return OpKind::Multiply;
    case Form::IntDivision:
        return OpKind::IntDivide;
    case Form::Remainder:
        return OpKind::Remainder;
    default:
        return OpKind::Divide;
    }
}

} // namespace

class Builder {
public:
    Builder(Recogniser& rec, VariableTable& variables) : m_rec(rec), m_variables(variables) {}

    Ref term(const Term& t, Piece p, int level)
    {
        switch (t.form) {
        case Form::Variable:
            return Ref{Ref::Type::Storage, m_variables.find(m_rec.text(p)), 0};
        case Form::Number:
            return constant(literal(p));
        case Form::Negation:
            return unary(OpKind::Negate, t.left, level);
        case Form::Addition:
        case Form::Subtraction:
        case Form::Multiplication:
        case Form::IntDivision:
        case Form::Remainder:
        case Form::Division:
            return binary(binaryKind(t.form), t.left, t.right, level);
        case Form::Power:
            return power(t, level);
        case Form::Call1:
            return unary(t.function, t.left, level);
        case Form::Call2:
            return binary(t.function, t.left, t.right, level);
        case Form::None:
            break;
        }
        throw ESyntaxError(pieceText(m_rec, p));
    }

    CompiledFormula finish(Ref root)
    {
        const int nodes = int(m_nodes.size());
        std::vector<int> order(nodes);
        for (int i = 0; i < nodes; ++i)
            order[i] = i;
        // Deepest level first; within a level, in the order the terms were recognised.
        std::stable_sort(order.begin(), order.end(),
                         [&](int x, int y) { return m_nodes[x].level > m_nodes[y].level; });
        std::vector<int> position(nodes);
        for (int i = 0; i < nodes; ++i)
            position[order[i]] = i;

        CompiledFormula out;
        out.m_steps = std::make_unique<Step[]>(std::size_t(std::max(nodes, 1)));
        out.m_constants = std::make_unique<double[]>(m_constants.size());
        std::copy(m_constants.begin(), m_constants.end(), out.m_constants.get());
        auto resolve = [&](const Ref& ref) -> double* {
            switch (ref.type) {
            case Ref::Type::Storage:
                return ref.storage;
            case Ref::Type::Constant:
                return &out.m_constants[std::size_t(ref.index)];
            case Ref::Type::Node:
                break;
            }
            return &out.m_steps[std::size_t(position[ref.index])].slot;
        };

        if (nodes == 0) {
            // A single variable or number: one operation whose result is that operand.
            double* operand = resolve(root);
            out.m_operations.push_back(Operation{OpKind::Operand, operand, nullptr, operand});
        } else {
            out.m_operations.reserve(std::size_t(nodes));
            for (int i = 0; i < nodes; ++i) {
                const Node& node = m_nodes[order[i]];
                Operation op;
                op.kind = node.kind;
                op.a = resolve(node.a);
                op.b = isBinary(node.kind) ? resolve(node.b) : nullptr;
                op.result = &out.m_steps[std::size_t(i)].slot;
                out.m_operations.push_back(op);
            }
        }
        out.m_threaded =
            buildSteps(out.m_operations.data(), out.m_operations.size(), out.m_steps.get());
        makeDirect(out.m_threaded, out.m_operations.data(), out.m_operations.size(),
                   out.m_constants.get(), m_constants.size());
        return out;
    }

private:
    Ref child(Piece p, int level)
    {
        if (level > MaxNesting)
            throw ETooManyNestings();
        p = m_rec.stripBrackets(p);
        const Term t = m_rec.classify(p);
        return term(t, p, level);
    }

    int addNode(OpKind kind, int level)
    {
        if (++m_perLevel[std::size_t(level)] > MaxOperationsPerLevel)
            throw EExpressionTooComplex();
        m_nodes.push_back(Node{kind, level, {}, {}});
        return int(m_nodes.size()) - 1;
    }

    Ref unary(OpKind kind, Piece operand, int level)
    {
        const int index = addNode(kind, level);
        const Ref a = child(operand, level + 1);
        m_nodes[std::size_t(index)].a = a;
        return Ref{Ref::Type::Node, nullptr, index};
    }

    Ref binary(OpKind kind, Piece left, Piece right, int level)
    {
        const int index = addNode(kind, level);
        const Ref a = child(left, level + 1);
        const Ref b = child(right, level + 1);
        m_nodes[std::size_t(index)].a = a;
        m_nodes[std::size_t(index)].b = b;
        return Ref{Ref::Type::Node, nullptr, index};
    }

    // A literal exponent that is a whole 32-bit number gives a square, cube, fourth power
    // or integer power; any other exponent gives POWER.
    Ref power(const Term& t, int level)
    {
        if (!m_rec.isNumber(t.right))
            return binary(OpKind::Power, t.left, t.right, level);
        const double x = literal(t.right);
        const bool whole = x >= -2147483648.0 && x <= 2147483647.0 && x == std::trunc(x);
        if (!whole)
            return binary(OpKind::Power, t.left, t.right, level);
        if (x == 2)
            return unary(OpKind::Square, t.left, level);
        if (x == 3)
            return unary(OpKind::Cube, t.left, level);
        if (x == 4)
            return unary(OpKind::FourthPower, t.left, level);
        return binary(OpKind::IntPower, t.left, t.right, level);
    }

    double literal(Piece p) const
    {
        const auto value = m_rec.numberValue(p);
        if (!value)
            throw EMathError(EMathError::Kind::Overflow);
        return *value;
    }

    Ref constant(double value)
    {
        m_constants.push_back(value);
        return Ref{Ref::Type::Constant, nullptr, int(m_constants.size()) - 1};
    }

    Recogniser& m_rec;
    VariableTable& m_variables;
    std::vector<Node> m_nodes;
    std::vector<double> m_constants;
    std::array<int, MaxNesting + 1> m_perLevel{};
};

bool CompiledFormula::usesRandom() const
{
    return std::any_of(m_operations.begin(), m_operations.end(), [](const Operation& op) {
        return op.kind == OpKind::Rnd || op.kind == OpKind::Random;
    });
}

CompiledFormula compileFormula(QStringView text, VariableTable& variables, char16_t decimalPoint)
{
    std::u16string s = upperAscii(text);
    const auto first = s.find_first_not_of(u' ');
    if (first == std::u16string::npos)
        s.clear();
    else
        s = s.substr(first, s.find_last_not_of(u' ') - first + 1);
    if (s.find(u' ') != std::u16string::npos)
        throw EExpressionHasBlanks();
    if (std::count(s.begin(), s.end(), u'(') != std::count(s.begin(), s.end(), u')'))
        throw EMissMatchingBracket();
    if (s.size() > std::size_t(MaxFormulaLength))
        throw EExpressionTooComplex();

    Recogniser rec(s, variables, decimalPoint);
    const Piece root = rec.stripBrackets(Piece{0, int(s.size())});
    TriedSplit tried;
    const Term t = rec.classify(root, &tried);
    if (t.form == Form::None) {
        if (!tried.left && !tried.right)
            throw ESyntaxError(pieceText(rec, root));
        const QString blank = QStringLiteral(" ");
        throw ESyntaxError(tried.left ? pieceText(rec, *tried.left) : blank,
                           tried.right ? pieceText(rec, *tried.right) : blank);
    }
    Builder builder(rec, variables);
    const Ref result = builder.term(t, root, 0);
    return builder.finish(result);
}

} // namespace formula
