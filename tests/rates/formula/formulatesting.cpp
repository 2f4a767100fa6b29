#include "formulatesting.h"

#include <charconv>
#include <vector>

using formula::OpKind;

namespace formulatesting {

const char* kindName(Kind kind)
{
    switch (kind) {
    case Kind::None:
        return "none";
    case Kind::Blanks:
        return "EExpressionHasBlanks";
    case Kind::Brackets:
        return "EMissMatchingBracket";
    case Kind::Syntax:
        return "ESyntaxError";
    case Kind::Nestings:
        return "ETooManyNestings";
    case Kind::TooComplex:
        return "EExpressionTooComplex";
    case Kind::BadName:
        return "EBadName";
    case Kind::ZeroDivide:
        return "ZeroDivide";
    case Kind::InvalidOp:
        return "InvalidOp";
    case Kind::Overflow:
        return "Overflow";
    case Kind::DivByZero:
        return "DivByZero";
    }
    return "?";
}

Kind kindOf(const formula::FormulaError& error)
{
    using namespace formula;
    if (dynamic_cast<const EExpressionHasBlanks*>(&error))
        return Kind::Blanks;
    if (dynamic_cast<const EMissMatchingBracket*>(&error))
        return Kind::Brackets;
    if (dynamic_cast<const ESyntaxError*>(&error))
        return Kind::Syntax;
    if (dynamic_cast<const ETooManyNestings*>(&error))
        return Kind::Nestings;
    if (dynamic_cast<const EExpressionTooComplex*>(&error))
        return Kind::TooComplex;
    if (dynamic_cast<const EBadName*>(&error))
        return Kind::BadName;
    if (const auto* math = dynamic_cast<const EMathError*>(&error)) {
        switch (math->kind()) {
        case EMathError::Kind::ZeroDivide:
            return Kind::ZeroDivide;
        case EMathError::Kind::InvalidOp:
            return Kind::InvalidOp;
        case EMathError::Kind::Overflow:
            return Kind::Overflow;
        case EMathError::Kind::DivByZero:
            return Kind::DivByZero;
        }
    }
    return Kind::None;
}

Outcome evaluate(formula::MathParser& parser, const QString& text)
{
    Outcome out;
    try {
        parser.setExpression(text);
        out.value = parser.Value();
    } catch (const formula::FormulaError& error) {
        out.kind = kindOf(error);
        out.message = error.message();
    }
    return out;
}

namespace {

const char* functionName(OpKind kind)
{
    switch (kind) {
    case OpKind::Sin:
        return "SIN";
    case OpKind::Cos:
        return "COS";
    case OpKind::Tan:
        return "TAN";
    case OpKind::Cotan:
        return "COTAN";
    case OpKind::Arctan:
        return "ARCTAN";
    case OpKind::Sinh:
        return "SINH";
    case OpKind::Cosh:
        return "COSH";
    case OpKind::Exp:
        return "EXP";
    case OpKind::Ln:
        return "LN";
    case OpKind::Log10:
        return "LOG10";
    case OpKind::Log2:
        return "LOG2";
    case OpKind::Sqr:
        return "SQR";
    case OpKind::Sqrt:
        return "SQRT";
    case OpKind::Abs:
        return "ABS";
    case OpKind::Trunc:
        return "TRUNC";
    case OpKind::Int:
        return "INT";
    case OpKind::Ceil:
        return "CEIL";
    case OpKind::Floor:
        return "FLOOR";
    case OpKind::Heav:
        return "HEAV";
    case OpKind::Sign:
        return "SIGN";
    case OpKind::Zero:
        return "ZERO";
    case OpKind::Ph:
        return "PH";
    case OpKind::Rnd:
        return "RND";
    case OpKind::Random:
        return "RANDOM";
    case OpKind::Max:
        return "MAX";
    case OpKind::Min:
        return "MIN";
    case OpKind::Power:
        return "POWER";
    case OpKind::IntPower:
        return "INTPOWER";
    case OpKind::LogN:
        return "LOGN";
    case OpKind::Arg:
        return "ARG";
    default:
        return nullptr;
    }
}

std::string shortest(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

} // namespace

std::string render(const formula::MathParser& parser,
                   const std::map<const double*, std::string>& names)
{
    const auto& ops = parser.compiled().operations();
    std::map<const double*, std::string> results;
    auto operand = [&](const double* p) {
        if (auto it = results.find(p); it != results.end())
            return it->second;
        if (auto it = names.find(p); it != names.end())
            return it->second;
        return shortest(*p);
    };
    std::string last;
    for (const formula::Operation& op : ops) {
        const std::string a = operand(op.a);
        const std::string b = op.b ? operand(op.b) : std::string();
        std::string text;
        switch (op.kind) {
        case OpKind::Operand:
            text = a;
            break;
        case OpKind::Add:
            text = "(" + a + "+" + b + ")";
            break;
        case OpKind::Subtract:
            text = "(" + a + "-" + b + ")";
            break;
        case OpKind::Multiply:
            text = "(" + a + "*" + b + ")";
            break;
        case OpKind::Divide:
            text = "(" + a + "/" + b + ")";
            break;
        case OpKind::IntDivide:
            text = "(" + a + " DIV " + b + ")";
            break;
        case OpKind::Remainder:
            text = "(" + a + " MOD " + b + ")";
            break;
        case OpKind::Negate:
            text = "(-" + a + ")";
            break;
        case OpKind::Square:
            text = "(" + a + "^2)";
            break;
        case OpKind::Cube:
            text = "(" + a + "^3)";
            break;
        case OpKind::FourthPower:
            text = "(" + a + "^4)";
            break;
        default:
            text = std::string(functionName(op.kind)) + "(" + a + (op.b ? "," + b : "") + ")";
        }
        results[op.result] = text;
        last = text;
    }
    return last;
}

} // namespace formulatesting
