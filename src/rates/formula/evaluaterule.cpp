#include "rates/formula/evaluaterule.h"

#include "rates/formula/mathparser.h"

namespace formula {

double EvaluateRule(const QString& rule, double x)
{
    MathParser parser;
    parser.AssignVariable(u"value", x);
    parser.setExpression(rule);
    return parser.Value();
}

} // namespace formula
