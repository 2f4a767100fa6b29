// Compiling a formula text into its flat list of operations: normalising the text,
// recognising the root term (with the texts the syntax error reports), building one
// operation per term within the nesting and per-level limits, and ordering them deepest
// level first so that every operand is computed before its use.
#pragma once

#include "rates/formula/operations.h"

#include <QStringView>

#include <memory>
#include <utility>
#include <vector>

namespace formula {

class VariableTable;

// No term may lie deeper than this level (the root term is level 0).
inline constexpr int MaxNesting = 20;
// At most this many operations at one level.
inline constexpr int MaxOperationsPerLevel = 50;
// A longer normalised text is rejected as too complex: recognising it would need deeper
// recursion than is safe. The longest settings value is 2,047 characters.
inline constexpr int MaxFormulaLength = 4096;

class CompiledFormula {
public:
    CompiledFormula() = default;
    // The threaded form points into the moved buffers; the source is left empty.
    CompiledFormula(CompiledFormula&& other) noexcept { *this = std::move(other); }
    CompiledFormula& operator=(CompiledFormula&& other) noexcept
    {
        if (this == &other)
            return *this;
        m_operations = std::move(other.m_operations);
        m_steps = std::move(other.m_steps);
        m_constants = std::move(other.m_constants);
        m_threaded = std::exchange(other.m_threaded, ThreadedForm());
        other.m_operations.clear();
        return *this;
    }

    bool empty() const { return m_operations.empty(); }
    // Runs the operations and returns the last result; 0.0 when empty.
    double run(RandomSource& random) const
    {
        return runSteps(m_threaded, random);
    }
    // In evaluation order; operand references point into the variables, the constants
    // and the result slots held here.
    const std::vector<Operation>& operations() const { return m_operations; }
    bool usesRandom() const;
    // The number of steps of the threaded form (operations chained into one step count once).
    std::size_t stepCount() const { return m_threaded.stepCount; }
    // Whether the formula is one chain, evaluated by a single call.
    bool isOneChain() const { return m_threaded.oneChain; }
    // The direct form that evaluates the formula by one call, if any (directforms.h).
    DirectForm directForm() const { return m_threaded.direct; }

private:
    friend class Builder;
    std::vector<Operation> m_operations;
    std::unique_ptr<Step[]> m_steps; // the threaded form; holds the result slots
    std::unique_ptr<double[]> m_constants;
    ThreadedForm m_threaded;
};

// Compiles text against the variables (bound by reference). decimalPoint is the point of
// number literals. Raises the EMathParserError kinds, or EMathError for a literal beyond
// the double range.
CompiledFormula compileFormula(QStringView text, VariableTable& variables, char16_t decimalPoint);

} // namespace formula
