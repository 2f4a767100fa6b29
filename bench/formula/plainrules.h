// The three benchmark rules written as plain C++ in their own translation unit, so the
// compiler cannot fold them into the benchmark loop: the floor of what evaluation costs.
#pragma once

double plainFareRule(double value); // CEIL(VALUE/5)*5
double plainTaxRule(double value);  // CEIL(INT(VALUE*10)/10)
double plainMaxRule(double value);  // MAX(CEIL(VALUE/5)*5,VALUE^2/100)
