// Evaluating a rounding rule for one amount: the single place that runs the evaluator's
// sequence (create, define VALUE, compile, read, destroy) for the conversion run, the
// ticket image estimate and the rule tests.
#pragma once

#include <QString>

namespace formula {

// The value of rule (a formula in which VALUE stands for the amount) for the amount x.
// Compile and evaluation errors are raised (FormulaError); an empty rule gives 0.0.
double EvaluateRule(const QString& rule, double x);

} // namespace formula
