// Evaluating the rounding rules after one compile, with VALUE changing on every
// evaluation, beside muparser, fparser and the rules as plain C++ (another translation
// unit), all through one timing loop; the program's whole per-amount sequence
// (EvaluateRule); and compiling the two default rules and 2,000-character formulas.
#include "plainrules.h"
#include "rates/formula/evaluaterule.h"
#include "rates/formula/mathparser.h"

#include <array>
#include <benchmark/benchmark.h>
#include <cmath>
#include <fparser.hh>
#include <muParser.h>
#include <stdexcept>

namespace {

// The amounts fed to every evaluator, in the same order.
const std::array<double, 1024>& amounts()
{
    static const std::array<double, 1024> values = [] {
        std::array<double, 1024> a{};
        for (std::size_t i = 0; i < a.size(); ++i)
            a[i] = 12.5 + double(i) * 7.31;
        return a;
    }();
    return values;
}

struct Rule {
    const char* sprRate; // the system's language
    const char* muParser;
    const char* fParser;
    double (*plain)(double);
};

// muparser names are case-sensitive and it has no ceil or trunc: defined here.
double muCeil(double v)
{
    return std::ceil(v);
}
double muTrunc(double v)
{
    return std::trunc(v);
}
double muMax(double a, double b)
{
    return a >= b ? a : b;
}

constexpr Rule Rules[] = {
    {"CEIL(VALUE/5)*5", "CEIL(VALUE/5)*5", "ceil(VALUE/5)*5", plainFareRule},
    {"CEIL(INT(VALUE*10)/10)", "CEIL(INT(VALUE*10)/10)", "ceil(trunc(VALUE*10)/10)", plainTaxRule},
    {"MAX(CEIL(VALUE/5)*5,VALUE^2/100)", "MAX(CEIL(VALUE/5)*5,VALUE^2/100)",
     "max(ceil(VALUE/5)*5,VALUE^2/100)", plainMaxRule},
};

// Every evaluator is timed by this one loop, as a run uses a rule: each amount of the
// table goes in on its own (nothing depends on the previous result), through the
// evaluator's ordinary call, and the result is kept the same way.
template <typename Evaluate> void evaluateAmounts(benchmark::State& state, Evaluate&& evaluate)
{
    const auto& a = amounts();
    std::size_t i = 0;
    for (auto _ : state) {
        double result = evaluate(a[i++ & 1023]);
        benchmark::DoNotOptimize(result);
    }
}

void BM_SPRRate(benchmark::State& state)
{
    const Rule& rule = Rules[state.range(0)];
    formula::MathParser parser;
    double& value = parser.AssignVariable(u"VALUE", 0);
    parser.setExpression(QString::fromLatin1(rule.sprRate));
    evaluateAmounts(state, [&](double amount) {
        value = amount;
        return parser.Value();
    });
    state.SetLabel(rule.sprRate);
}

void BM_MuParser(benchmark::State& state)
{
    const Rule& rule = Rules[state.range(0)];
    double value = 0;
    mu::Parser parser;
    parser.DefineVar("VALUE", &value);
    parser.DefineFun("CEIL", muCeil);
    parser.DefineFun("INT", muTrunc);
    parser.DefineFun("MAX", muMax);
    parser.SetExpr(rule.muParser);
    parser.Eval(); // parses on the first evaluation
    evaluateAmounts(state, [&](double amount) {
        value = amount;
        return parser.Eval();
    });
    state.SetLabel(rule.muParser);
}

void BM_FParser(benchmark::State& state)
{
    const Rule& rule = Rules[state.range(0)];
    FunctionParser parser;
    if (parser.Parse(rule.fParser, "VALUE") >= 0)
        throw std::runtime_error(parser.ErrorMsg());
    parser.Optimize();
    evaluateAmounts(state, [&](double amount) { return parser.Eval(&amount); });
    state.SetLabel(rule.fParser);
}

void BM_PlainCpp(benchmark::State& state)
{
    const Rule& rule = Rules[state.range(0)];
    evaluateAmounts(state, [&](double amount) { return rule.plain(amount); });
    state.SetLabel(rule.sprRate);
}

// What a run pays per amount: the program's entry point creates the evaluator, defines
// VALUE, compiles the rule, reads Value and destroys it; beside muparser doing the same.
void BM_EvaluateRule(benchmark::State& state)
{
    const Rule& rule = Rules[state.range(0)];
    const QString text = QString::fromLatin1(rule.sprRate);
    evaluateAmounts(state, [&](double amount) { return formula::EvaluateRule(text, amount); });
    state.SetLabel(rule.sprRate);
}

void BM_MuParserEachAmount(benchmark::State& state)
{
    const Rule& rule = Rules[state.range(0)];
    evaluateAmounts(state, [&](double amount) {
        mu::Parser parser;
        parser.DefineVar("VALUE", &amount);
        parser.DefineFun("CEIL", muCeil);
        parser.DefineFun("INT", muTrunc);
        parser.DefineFun("MAX", muMax);
        parser.SetExpr(rule.muParser);
        return parser.Eval();
    });
    state.SetLabel(rule.muParser);
}

BENCHMARK(BM_SPRRate)->DenseRange(0, 2);
BENCHMARK(BM_MuParser)->DenseRange(0, 2);
BENCHMARK(BM_FParser)->DenseRange(0, 2);
BENCHMARK(BM_PlainCpp)->DenseRange(0, 2);
BENCHMARK(BM_EvaluateRule)->DenseRange(0, 2);
BENCHMARK(BM_MuParserEachAmount)->DenseRange(0, 2);

// ---- Compiling ----------------------------------------------------------------------

QString repeated(const QString& part, const QString& tail)
{
    QString out;
    while (out.size() + part.size() + tail.size() <= 2000)
        out += part;
    return out + tail;
}

// 32 chains of 15 multiplications under a tree of 31 additions: within both limits.
QString wideFormula()
{
    QString chain = QStringLiteral("1.1");
    for (int i = 1; i < 16; ++i)
        chain += i < 10 ? QStringLiteral("*1.1") : QStringLiteral("*11");
    std::function<QString(int)> tree = [&](int level) -> QString {
        if (level == 5)
            return chain;
        return QStringLiteral("(") + tree(level + 1) + QStringLiteral(")+(") + tree(level + 1) +
               QStringLiteral(")");
    };
    return tree(0);
}

void compile(benchmark::State& state, const QString& text, bool expectError)
{
    for (auto _ : state) {
        formula::MathParser parser;
        parser.AssignVariable(u"value", 2575.04);
        try {
            parser.setExpression(text);
            if (expectError)
                state.SkipWithError("compiled unexpectedly");
        } catch (const formula::FormulaError&) {
            if (!expectError)
                state.SkipWithError("did not compile");
        }
    }
    state.SetLabel(std::to_string(text.size()) + " characters");
}

void BM_CompileFareRule(benchmark::State& s)
{
    compile(s, QStringLiteral("CEIL(VALUE/5)*5"), false);
}
void BM_CompileTaxRule(benchmark::State& s)
{
    compile(s, QStringLiteral("CEIL(INT(VALUE*10)/10)"), false);
}
void BM_Compile2000Wide(benchmark::State& s)
{
    compile(s, wideFormula(), false);
}
// Rejected (too deep) after every split of the chain has been considered.
void BM_Compile2000SignedProducts(benchmark::State& s)
{
    compile(s, repeated(QStringLiteral("2*-"), QStringLiteral("2")), true);
}
// Rejected (no form fits): every "-" could be an exponent's sign.
void BM_Compile2000ExponentLike(benchmark::State& s)
{
    compile(s, repeated(QStringLiteral("1E-"), QStringLiteral("1")), true);
}
void BM_Compile2000Subtractions(benchmark::State& s)
{
    compile(s, repeated(QStringLiteral("VALUE-"), QStringLiteral("1")), true);
}

BENCHMARK(BM_CompileFareRule);
BENCHMARK(BM_CompileTaxRule);
BENCHMARK(BM_Compile2000Wide);
BENCHMARK(BM_Compile2000SignedProducts);
BENCHMARK(BM_Compile2000ExponentLike);
BENCHMARK(BM_Compile2000Subtractions);

void BM_CompileFareRuleMuParser(benchmark::State& state)
{
    for (auto _ : state) {
        double value = 0;
        mu::Parser parser;
        parser.DefineVar("VALUE", &value);
        parser.DefineFun("CEIL", muCeil);
        parser.SetExpr("CEIL(VALUE/5)*5");
        benchmark::DoNotOptimize(parser.Eval());
    }
}
void BM_CompileFareRuleFParser(benchmark::State& state)
{
    for (auto _ : state) {
        FunctionParser parser;
        benchmark::DoNotOptimize(parser.Parse("ceil(VALUE/5)*5", "VALUE"));
        parser.Optimize();
    }
}
BENCHMARK(BM_CompileFareRuleMuParser);
BENCHMARK(BM_CompileFareRuleFParser);

} // namespace

BENCHMARK_MAIN();
