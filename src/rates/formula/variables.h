// The evaluator's variable table: unique upper-case names, each bound to storage of its
// own that stays in place until the table is destroyed (compiled formulas point into it).
#pragma once

#include <QStringView>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace formula {

class VariableTable {
public:
    // The eight one-letter variables A, B, C, D, E, T, X, Y, each 0.0.
    VariableTable();
    VariableTable(const VariableTable&) = delete;
    VariableTable& operator=(const VariableTable&) = delete;

    // Sets the variable (name upper-cased) to value, adding it when new; a new name must
    // be an identifier, else EBadName. Returns the variable's storage.
    double& assign(QStringView name, double value);
    // The variable's value, or 0.0 when the table has no such name.
    double read(QStringView name) const;
    // The storage of an upper-case name, or nullptr.
    const double* find(std::u16string_view upperName) const;
    double* find(std::u16string_view upperName);

    std::size_t longestName() const { return m_longest; }
    // True when some name contains part (an upper-case text).
    bool anyNameContains(std::u16string_view part) const;

private:
    std::map<std::u16string, double, std::less<>> m_values;
    std::size_t m_longest = 1;
};

} // namespace formula
