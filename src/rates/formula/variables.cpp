#include "rates/formula/variables.h"

#include "rates/formula/formulaerrors.h"
#include "rates/formula/formulatext.h"

namespace formula {

VariableTable::VariableTable()
{
    for (const char16_t* name : {u"A", u"B", u"C", u"D", u"E", u"T", u"X", u"Y"})
        m_values.emplace(name, 0.0);
}

double& VariableTable::assign(QStringView name, double value)
{
    std::u16string upper = upperAscii(name);
    if (auto it = m_values.find(upper); it != m_values.end()) {
        it->second = value;
        return it->second;
    }
    if (!isIdentifier(upper))
        throw EBadName(QString::fromStdU16String(upper));
    m_longest = std::max(m_longest, upper.size());
    return m_values.emplace(std::move(upper), value).first->second;
}

double VariableTable::read(QStringView name) const
{
    const double* storage = find(upperAscii(name));
    return storage ? *storage : 0.0;
}

const double* VariableTable::find(std::u16string_view upperName) const
{
    auto it = m_values.find(upperName);
    return it == m_values.end() ? nullptr : &it->second;
}

double* VariableTable::find(std::u16string_view upperName)
{
    auto it = m_values.find(upperName);
    return it == m_values.end() ? nullptr : &it->second;
}

bool VariableTable::anyNameContains(std::u16string_view part) const
{
    for (const auto& entry : m_values)
        if (entry.first.find(part) != std::u16string::npos)
            return true;
    return false;
}

} // namespace formula
