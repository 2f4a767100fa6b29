#include "rates/formula/mathparser.h"

#include <QLocale>

#include <random>

namespace formula {
namespace {

char16_t localeDecimalPoint()
{
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 ? point.at(0).unicode() : u'.';
}

} // namespace

MathParser::MathParser() = default;
MathParser::~MathParser() = default;

double& MathParser::AssignVariable(QStringView name, double value)
{
    return m_variables.assign(name, value);
}

double MathParser::ReadVariable(QStringView name) const
{
    return m_variables.read(name);
}

void MathParser::setExpression(const QString& text)
{
    m_compiled = CompiledFormula();
    m_expression = text;
    m_errorFlag = false;
    if (text.isEmpty())
        return;
    try {
        m_compiled =
            compileFormula(text, m_variables, m_pascalNumberformat ? u'.' : localeDecimalPoint());
    } catch (const FormulaError& error) {
        m_errorFlag = true;
        if (!m_onParserError)
            throw;
        m_onParserError(*this, error);
        return;
    }
    if (m_compiled.usesRandom() && !m_randomSeeded) {
        std::random_device device;
        setRandomSeed((std::uint64_t(device()) << 32) ^ device());
    }
}

void MathParser::setRandomSeed(std::uint64_t seed)
{
    m_random.seed(seed);
    m_randomSeeded = true;
}

} // namespace formula
