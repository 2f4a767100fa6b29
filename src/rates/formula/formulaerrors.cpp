#include "rates/formula/formulaerrors.h"

namespace formula {
namespace {

QString mathErrorText(EMathError::Kind kind)
{
    switch (kind) {
    case EMathError::Kind::ZeroDivide:
        return QStringLiteral("Floating point division by zero");
    case EMathError::Kind::InvalidOp:
        return QStringLiteral("Invalid floating point operation");
    case EMathError::Kind::Overflow:
        return QStringLiteral("Floating point overflow");
    case EMathError::Kind::DivByZero:
        return QStringLiteral("Division by zero");
    }
    return {};
}

const QString& syntaxPrefix()
{
    static const QString prefix = QStringLiteral("Error parsing expression:");
    return prefix;
}

} // namespace

FormulaError::FormulaError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message)
{}

EExpressionHasBlanks::EExpressionHasBlanks()
    : EMathParserError(QStringLiteral("Expression has blanks"))
{}

EMissMatchingBracket::EMissMatchingBracket()
    : EMathParserError(QStringLiteral("Missing brackets in expression"))
{}

ESyntaxError::ESyntaxError(const QString& rootText)
    : EMathParserError(syntaxPrefix() + QChar(u'\r') + rootText)
{}

ESyntaxError::ESyntaxError(const QString& leftText, const QString& rightText)
    : EMathParserError(syntaxPrefix() + QChar(u'\r') + leftText + QChar(u'\r') + rightText)
{}

ETooManyNestings::ETooManyNestings()
    : EMathParserError(QStringLiteral("Expression contains too many nestings"))
{}

EExpressionTooComplex::EExpressionTooComplex()
    : EMathParserError(QStringLiteral("Expression is too complex"))
{}

EBadName::EBadName(const QString& upperName) : EMathParserError(upperName) {}

EMathError::EMathError(Kind kind) : FormulaError(mathErrorText(kind)), m_kind(kind) {}

} // namespace formula
