// Helpers of the formula tests: the kind of a raised error by name, and a compiled
// formula written back as a fully bracketed text, so that tables can state what a
// formula means.
#pragma once

#include "rates/formula/mathparser.h"

#include <QString>

#include <map>
#include <string>

namespace formulatesting {

enum class Kind {
    None,
    Blanks,
    Brackets,
    Syntax,
    Nestings,
    TooComplex,
    BadName,
    ZeroDivide,
    InvalidOp,
    Overflow,
    DivByZero,
};

const char* kindName(Kind kind);
Kind kindOf(const formula::FormulaError& error);

// What compiling and reading text gives: the value, or the error's kind and message.
struct Outcome {
    Kind kind = Kind::None;
    double value = 0.0;
    QString message;
};
Outcome evaluate(formula::MathParser& parser, const QString& text);

// The compiled operations as one bracketed text: variables by name (names gives the
// storage of each), constants by shortest value, e.g. "(CEIL((VALUE/5))*5)".
std::string render(const formula::MathParser& parser,
                   const std::map<const double*, std::string>& names);

inline QString q(const char16_t* s)
{
    return QString::fromUtf16(s);
}
inline std::string utf8(const QString& s)
{
    return s.toStdString();
}

} // namespace formulatesting
