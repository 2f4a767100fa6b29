// The formula evaluator: a variable table, a formula text compiled once into a flat list
// of operations bound to the variables by reference, and its value on request.
// Every rounding rule is evaluated through it (see evaluaterule.h for the usual sequence).
#pragma once

#include "rates/formula/compiler.h"
#include "rates/formula/formulaerrors.h"
#include "rates/formula/operations.h"
#include "rates/formula/variables.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>

namespace formula {

class MathParser {
public:
    // Receives a compilation error instead of its being raised.
    using ParserErrorHandler = std::function<void(MathParser&, const FormulaError&)>;

    // The eight one-letter variables (each 0.0) and no compiled formula.
    MathParser();
    ~MathParser();
    // Compiled operations point into this object's variables and slots.
    MathParser(const MathParser&) = delete;
    MathParser& operator=(const MathParser&) = delete;

    // Sets a variable (name upper-cased), adding it when new; a new name must be an
    // identifier, else EBadName. Returns the variable's storage: changing it changes the
    // next Value() of a formula compiled with it, without recompiling.
    double& AssignVariable(QStringView name, double value);
    // The variable's value, or 0.0 when there is no such variable.
    double ReadVariable(QStringView name) const;

    const QString& Expression() const { return m_expression; }
    // Discards the compiled form, keeps text and compiles it unless it is empty. A
    // failure leaves no compiled form, sets the error flag and raises the error (or hands
    // it to OnParserError when set).
    void setExpression(const QString& text);

    // Runs the compiled operations and returns the last result; 0.0 when nothing is
    // compiled. Raises EMathError for a failing operation. Does not allocate.
    double Value() { return m_compiled.run(m_random); }

    // Set when the last compilation failed.
    bool errorFlag() const { return m_errorFlag; }

    // On (the default): number literals use "." as the decimal point whatever the locale.
    bool PascalNumberformat() const { return m_pascalNumberformat; }
    void setPascalNumberformat(bool on) { m_pascalNumberformat = on; }

    const ParserErrorHandler& OnParserError() const { return m_onParserError; }
    void setOnParserError(ParserErrorHandler handler) { m_onParserError = std::move(handler); }

    // Fixes the sequence of RND and RANDOM (otherwise seeded from the system's entropy
    // when a formula using them is compiled).
    void setRandomSeed(std::uint64_t seed);

    // The compiled operations in evaluation order (empty when nothing is compiled).
    const CompiledFormula& compiled() const { return m_compiled; }

private:
    VariableTable m_variables;
    QString m_expression;
    CompiledFormula m_compiled;
    RandomSource m_random;
    bool m_randomSeeded = false;
    bool m_errorFlag = false;
    bool m_pascalNumberformat = true;
    ParserErrorHandler m_onParserError;
};

} // namespace formula
