// Direct forms for the shapes rounding rules have: a chain of up to five links (an
// arithmetic operation with a constant, a whole-number function or a square, in turn) on
// one variable or constant, such as CEIL(VALUE/5)*5, CEIL(VALUE/5)*5-0.01 or
// CEIL(INT(VALUE*10)/10), and MAX or MIN of two chains of up to three links, such as
// MAX(CEIL(VALUE/5)*5,VALUE^2/100). Such a formula is evaluated by one call to a function
// made for its shape, which reads its inputs and constants from the threaded form and,
// when a result is not finite, runs the checked walk of the operation list instead (so
// values and errors are the walk's).
#pragma once

#include "rates/formula/operations.h"

#include <cstddef>

namespace formula {

// Gives form a direct entry when ops (count of them, the root last) have one of the
// direct shapes; the constants of the formula are constants[0..constantCount), any other
// operand is a variable. Leaves form as it is otherwise.
void makeDirect(ThreadedForm& form, const Operation* ops, std::size_t count,
                const double* constants, std::size_t constantCount);

} // namespace formula
