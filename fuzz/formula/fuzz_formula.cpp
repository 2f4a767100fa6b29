// Arbitrary texts through the formula compiler and evaluator: anything but a
// FormulaError is a fault. On short texts the pruned recognition is also compared
// with the literal procedure, piece by piece.
#include "rates/formula/formulatext.h"
#include "rates/formula/mathparser.h"
#include "rates/formula/recogniser.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool sameTerm(const formula::detail::Term& x, const formula::detail::Term& y)
{
    using formula::detail::Form;
    if (x.form != y.form)
        return false;
    if (x.form == Form::Variable || x.form == Form::Number || x.form == Form::None)
        return true;
    return x.left == y.left && (x.form == Form::Negation || x.form == Form::Call1 ||
                                x.right == y.right);
}

// The whole text (with the texts a syntax error reports) and, when short, every piece.
void compareRecognisers(const std::u16string& text, const formula::VariableTable& variables,
                        bool everyPiece)
{
    using formula::detail::Piece;
    using formula::detail::Recogniser;
    using formula::detail::TriedSplit;
    Recogniser pruned(text, variables, u'.');
    Recogniser literal(text, variables, u'.', Recogniser::Mode::Literal);
    const int n = int(text.size());
    TriedSplit a;
    TriedSplit b;
    if (!sameTerm(pruned.classify(Piece{0, n}, &a), literal.classify(Piece{0, n}, &b)) ||
        !(a.left == b.left) || !(a.right == b.right))
        std::abort();
    for (int begin = 0; everyPiece && begin <= n; ++begin) {
        for (int end = begin; end <= n; ++end) {
            const Piece p{begin, end};
            if (pruned.isValid(p) != literal.isValid(p) ||
                !sameTerm(pruned.classify(p), literal.classify(p)))
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4200)
        return 0;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));

    formula::MathParser parser;
    parser.setRandomSeed(1);
    double& value = parser.AssignVariable(u"value", 2575.04);
    parser.AssignVariable(u"MODE", 3); // a name holding MOD turns off part of the pruning
    try {
        parser.setExpression(text);
    } catch (const formula::FormulaError&) {
        if (!parser.errorFlag() || !parser.compiled().empty() || parser.Value() != 0.0)
            std::abort();
    }
    if (!parser.errorFlag() && !text.isEmpty() && parser.compiled().empty())
        std::abort();
    for (double v : {2575.04, 0.0, -1.5, 1e300}) {
        value = v;
        try {
            (void)parser.Value();
        } catch (const formula::FormulaError&) {
        }
    }

    if (size <= 64) {
        formula::VariableTable variables;
        variables.assign(u"VALUE", 0);
        variables.assign(u"MODE", 0);
        compareRecognisers(formula::upperAscii(text), variables, size <= 16);
    }
    return 0;
}
