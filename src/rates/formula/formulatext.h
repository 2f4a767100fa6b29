// Character rules of the formula language: upper-casing (letters a to z only) and
// identifiers, shared by the variable table and the compiler.
#pragma once

#include <QStringView>

#include <string>
#include <string_view>

namespace formula {

inline char16_t upperAscii(char16_t c)
{
    return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c;
}

inline std::u16string upperAscii(QStringView text)
{
    std::u16string out(text.utf16(), text.utf16() + text.size());
    for (char16_t& c : out)
        c = upperAscii(c);
    return out;
}

inline bool isLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
inline bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}
inline bool isIdentifierChar(char16_t c)
{
    return isLetter(c) || isDigit(c) || c == u'_';
}

// A letter or "_", then letters, digits or "_".
inline bool isIdentifier(std::u16string_view name)
{
    if (name.empty() || !(isLetter(name.front()) || name.front() == u'_'))
        return false;
    for (char16_t c : name)
        if (!isIdentifierChar(c))
            return false;
    return true;
}

} // namespace formula
