#include "plainrules.h"

#include <algorithm>
#include <cmath>

double plainFareRule(double value)
{
    return std::ceil(value / 5) * 5;
}

double plainTaxRule(double value)
{
    return std::ceil(std::trunc(value * 10) / 10);
}

double plainMaxRule(double value)
{
    return std::max(std::ceil(value / 5) * 5, value * value / 100);
}
