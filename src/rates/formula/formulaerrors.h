// Errors of the formula language: a rule that does not compile (EMathParserError and its
// kinds) and a rule whose evaluation fails (EMathError). what() is UTF-8.
#pragma once

#include <QString>

#include <stdexcept>

namespace formula {

// Base of every error the formula language raises.
class FormulaError : public std::runtime_error {
public:
    explicit FormulaError(const QString& message);
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// A formula text that cannot be compiled, or a variable name that cannot be defined.
class EMathParserError : public FormulaError {
public:
    using FormulaError::FormulaError;
};

// The trimmed formula still contains a blank.
class EExpressionHasBlanks : public EMathParserError {
public:
    EExpressionHasBlanks();
};

// The formula holds a different number of "(" and ")".
class EMissMatchingBracket : public EMathParserError {
public:
    EMissMatchingBracket();
};

// A term matches no form. The message is "Error parsing expression:" followed by a
// carriage return and one or two texts, each after a carriage return.
class ESyntaxError : public EMathParserError {
public:
    explicit ESyntaxError(const QString& rootText);
    ESyntaxError(const QString& leftText, const QString& rightText);
};

// A term would lie deeper than the nesting limit.
class ETooManyNestings : public EMathParserError {
public:
    ETooManyNestings();
};

// More operations at one level than the limit allows.
class EExpressionTooComplex : public EMathParserError {
public:
    EExpressionTooComplex();
};

// A variable name that is not an identifier; the message is the name, upper-cased.
class EBadName : public EMathParserError {
public:
    explicit EBadName(const QString& upperName);
};

// A floating-point or integer fault while evaluating (or, for a literal beyond the double
// range, while compiling). Told by checking results; the FPU raises nothing.
class EMathError : public FormulaError {
public:
    enum class Kind {
        ZeroDivide, // "Floating point division by zero"
        InvalidOp,  // "Invalid floating point operation"
        Overflow,   // "Floating point overflow"
        DivByZero,  // "Division by zero" (DIV, MOD)
    };
    explicit EMathError(Kind kind);
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace formula
